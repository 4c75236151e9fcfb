#include "FuzzDecoder.h"
#include "RKJP2Decoder2.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzDecoder<RKSDK::RKJP2Decoder2>(data, size);
}
