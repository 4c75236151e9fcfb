#include "FuzzDecoder.h"
#include "RKGIFDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzDecoder<RKSDK::RKGIFDecoder>(data, size);
}
