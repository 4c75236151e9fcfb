#include "FuzzDecoder.h"
#include "RKICODecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzDecoder<RKSDK::RKICODecoder>(data, size);
}
