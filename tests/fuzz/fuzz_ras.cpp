#include "FuzzDecoder.h"
#include "RKRASDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzDecoder<RKSDK::RKRASDecoder>(data, size);
}
