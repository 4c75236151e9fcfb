#include "FuzzDecoder.h"
#include "RKPCXDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzDecoder<RKSDK::RKPCXDecoder>(data, size);
}
