#include "FuzzDecoder.h"
#include "RKPNMDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzDecoder<RKSDK::RKPNMDecoder>(data, size);
}
