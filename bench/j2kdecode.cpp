// Decodes a JPEG 2000 code-stream (or JP2 file, by its extension) with the library's decoder and
// writes the picture as a binary PPM, the same work as the command-line decoders it is timed
// against by bench/j2kbench.
// Usage: j2kdecode INPUT OUTPUT.ppm
#include <cstdio>
#include <cstring>
#include <string>

#include "RKJP2Decoder2.h"
#include "RKString.h"

using namespace RKSDK;

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: j2kdecode INPUT OUTPUT.ppm\n");
    return 2;
  }
  std::string in = argv[1];
  bool jp2 = in.size() > 4 && in.compare(in.size() - 4, 4, ".jp2") == 0;
  RKJPCDecoder2 jpc;
  RKJP2Decoder2 box;
  RKJPEG2000Decoder& d = jp2 ? static_cast<RKJPEG2000Decoder&>(box) : jpc;
  if (!d.openFile(RKString(argv[1]))) {
    std::fprintf(stderr, "j2kdecode: cannot open %s\n", argv[1]);
    return 1;
  }
  RKBuffer* b = d.getBuffer();
  if (!b) {
    std::fprintf(stderr, "j2kdecode: decode failed\n");
    return 1;
  }
  int ok = 0;
  if (FILE* f = std::fopen(argv[2], "wb")) {
    std::fprintf(f, "P6\n%d %d\n255\n", d.getWidth(), d.getHeight());
    size_t n = (size_t)d.getWidth() * (size_t)d.getHeight() * 3;
    ok = std::fwrite(b->getData(0), 1, n, f) == n;
    ok = (std::fclose(f) == 0) && ok;
  }
  b->release();
  if (!ok) std::fprintf(stderr, "j2kdecode: cannot write %s\n", argv[2]);
  return ok ? 0 : 1;
}
