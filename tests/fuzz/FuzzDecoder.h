// The body of every decoder's fuzz entry point: open the input from memory, decode it whole,
// read the pixels back.
#ifndef RK_TESTS_FUZZ_DECODER_H
#define RK_TESTS_FUZZ_DECODER_H

#include <climits>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "RKDecoderFrame.h"

template <class Decoder>
int fuzzDecoder(const uint8_t* data, size_t size) {
  if (size > INT_MAX) return 0;
  Decoder decoder;
  if (!decoder.openMemory(data, static_cast<int>(size))) return 0;
  int raw = decoder.readRaw(nullptr);
  // Large pictures take long under the sanitizers and teach the fuzzer little: a 4 MB bound keeps
  // it at hundreds of runs a second instead of a few.
  if (raw >= (4 << 20)) return 0;
  if (raw > 0) {
    std::vector<uint8_t> pixels(static_cast<size_t>(raw));
    decoder.readRaw(pixels.data());
  }
  auto* image = decoder.getImage();
  if (image) image->release();
  return 0;
}

#endif
