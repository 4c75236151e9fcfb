#include "FuzzDecoder.h"
#include "RKTGADecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzDecoder<RKSDK::RKTGADecoder>(data, size);
}
