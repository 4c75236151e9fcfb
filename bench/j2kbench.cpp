// Decoding benchmark of the JPEG 2000 decoder against opj_decompress (one thread): encodes a
// 2048 x 2048 RGB picture reversibly (5/3) and irreversibly (9/7) with opj_compress, then
// reports the best of several decode times of each side and their ratio, with a checksum of
// the decoded bytes so that changes to the decoder can be checked for unchanged output.
// Usage: j2kbench [runs]
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "RKJP2Decoder2.h"

using namespace RKSDK;

namespace {

double seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

bool run(const std::string& cmd) { return std::system(cmd.c_str()) == 0; }

}  // namespace

int main(int argc, char** argv) {
  int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  const int size = 2048;
  char pattern[] = "/tmp/j2kbench_XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  std::string dir = pattern;
  {
    std::ofstream f(dir + "/in.ppm", std::ios::binary);
    f << "P6\n" << size << " " << size << "\n255\n";
    std::vector<char> row((size_t)size * 3);
    for (int y = 0; y < size; y++) {
      for (int x = 0; x < size; x++)
        for (int c = 0; c < 3; c++)
          row[(size_t)(x * 3 + c)] = (char)((x * (c + 1) / 3 + y / (c + 2) + ((x ^ y) & 31)) & 255);
      f.write(row.data(), (std::streamsize)row.size());
    }
  }
  int status = 0;
  for (const char* kind : {"5/3", "9/7"}) {
    bool irreversible = kind[0] == '9';
    std::string stream = dir + (irreversible ? "/i.j2k" : "/r.j2k");
    if (!run("opj_compress -i " + dir + "/in.ppm -o " + stream + (irreversible ? " -I" : "") + " > /dev/null 2>&1")) {
      std::fprintf(stderr, "opj_compress failed (is libopenjp2-tools installed?)\n");
      status = 1;
      break;
    }
    std::ifstream f(stream, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    double ours = 1e9, theirs = 1e9;
    uint64_t checksum = 1469598103934665603ull;
    for (int r = 0; r < runs; r++) {
      auto t0 = std::chrono::steady_clock::now();
      RKJPCDecoder2 d;
      RKBuffer* b = d.openMemory(bytes.data(), (int)bytes.size()) ? d.getBuffer() : nullptr;
      ours = std::min(ours, seconds(t0));
      if (!b) {
        std::fprintf(stderr, "decode failed\n");
        return 1;
      }
      if (r == 0) {
        const unsigned char* p = b->getData(0);
        for (int i = 0, n = b->getSize(); p && i < n; i++) checksum = (checksum ^ p[i]) * 1099511628211ull;
      }
      b->release();
      t0 = std::chrono::steady_clock::now();
      run("opj_decompress -threads 1 -i " + stream + " -o " + dir + "/out.ppm > /dev/null 2>&1");
      theirs = std::min(theirs, seconds(t0));
    }
    std::printf("%s %dx%d RGB: ours %.3f s, opj_decompress %.3f s, ratio %.2f, output %016llx\n", kind, size, size,
                ours, theirs, ours / theirs, (unsigned long long)checksum);
    std::remove(stream.c_str());
  }
  std::remove((dir + "/in.ppm").c_str());
  std::remove((dir + "/out.ppm").c_str());
  std::remove(dir.c_str());
  return status;
}
