#include "FuzzDecoder.h"
#include "RKPGXDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzDecoder<RKSDK::RKPGXDecoder>(data, size);
}
