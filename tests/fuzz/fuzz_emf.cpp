// Fuzz entry: any bytes opened and played as an enhanced metafile.
#include <cstddef>
#include <cstdint>

#include "RKEMFDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 20) return 0;
  RKSDK::RKEMFDecoder decoder;
  decoder.addRef();
  // Canvases beyond a million pixels only cost time here.
  if (decoder.openMemory(data, int(size)) && int64_t(decoder.getWidth()) * decoder.getHeight() <= 1 << 20) {
    RKSDK::RKImage* image = decoder.getImage();
    if (image) image->release();
  }
  return 0;
}
