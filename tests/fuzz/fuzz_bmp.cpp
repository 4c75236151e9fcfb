#include "FuzzDecoder.h"
#include "RKBMPDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzDecoder<RKSDK::RKBMPDecoder>(data, size);
}
