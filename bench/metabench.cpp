// Peak-memory benchmark of the metafile decoders (run by scripts/metabench.sh under
// /usr/bin/time -v): a small enhanced or placeable metafile with large bounds, a few shapes
// across the whole picture, decoded once. Prints the decoded picture's bytes and a checksum of
// them, so that the script can relate the process's peak to the picture and changes to the
// players can be checked for unchanged output.
// Usage: metabench emf|wmf [width height]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>
#include <windows.h>

#include "RKEMFDecoder.h"
#include "RKWMFDecoder.h"

using namespace RKSDK;

namespace {

void put16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
void put32(std::vector<uint8_t>& b, uint32_t v) {
  put16(b, v & 0xFFFF);
  put16(b, v >> 16);
}

void emfRecord(std::vector<uint8_t>& b, uint32_t type, std::initializer_list<uint32_t> values) {
  put32(b, type);
  put32(b, uint32_t(8 + 4 * values.size()));
  for (uint32_t v : values) put32(b, v);
}

std::vector<uint8_t> emf(int w, int h) {
  std::vector<uint8_t> b;
  put32(b, 1);
  put32(b, 88);
  for (int32_t v : {0, 0, w, h}) put32(b, uint32_t(v));
  while (b.size() < 88) put32(b, 0);
  b[56] = 4;                                                   // handles
  emfRecord(b, EMR_CREATEPEN, {1, 0, 1, 0, 0x0000FF});         // red pen
  emfRecord(b, EMR_CREATEBRUSHINDIRECT, {2, 0, 0xFF8000, 0});  // blue-ish brush
  emfRecord(b, EMR_SELECTOBJECT, {1});
  emfRecord(b, EMR_SELECTOBJECT, {2});
  emfRecord(b, EMR_RECTANGLE, {uint32_t(w / 10), uint32_t(h / 10), uint32_t(w / 2), uint32_t(h / 2)});
  emfRecord(b, EMR_ROUNDRECT, {uint32_t(w / 3), uint32_t(h / 3), uint32_t(w - 10), uint32_t(h - 10), 200, 200});
  emfRecord(b, EMR_MOVETOEX, {0, 0});
  emfRecord(b, EMR_LINETO, {uint32_t(w - 1), uint32_t(h - 1)});
  emfRecord(b, EMR_EOF, {0, 16, 0});
  return b;
}

void wmfRecord(std::vector<uint8_t>& b, uint16_t function, std::initializer_list<uint16_t> words) {
  put32(b, uint32_t(3 + words.size()));
  put16(b, function);
  for (uint16_t v : words) put16(b, v);
}

std::vector<uint8_t> wmf(int w, int h) {
  std::vector<uint8_t> b;
  uint16_t head[10] = {0xCDD7, 0x9AC6, 0, 0, 0, uint16_t(w), uint16_t(h), 96, 0, 0};
  uint16_t sum = 0;
  for (uint16_t v : head) {
    put16(b, v);
    sum ^= v;
  }
  put16(b, sum);
  for (uint16_t v : {1, 9, 0x300}) put16(b, v);
  put32(b, 1000);
  put16(b, 4);
  put32(b, 100);
  put16(b, 0);
  wmfRecord(b, 0x02FA, {0, 1, 0, 0x00FF, 0});    // red pen
  wmfRecord(b, 0x02FC, {0, 0x8000, 0x00FF, 0});  // blue-ish brush
  wmfRecord(b, 0x012D, {0});
  wmfRecord(b, 0x012D, {1});
  wmfRecord(b, 0x041B, {uint16_t(h / 2), uint16_t(w / 2), uint16_t(h / 10), uint16_t(w / 10)});
  wmfRecord(b, 0x0418, {uint16_t(h - 10), uint16_t(w - 10), uint16_t(h / 3), uint16_t(w / 3)});
  wmfRecord(b, 0x0214, {0, 0});
  wmfRecord(b, 0x0213, {uint16_t(h - 1), uint16_t(w - 1)});
  wmfRecord(b, 0, {});
  return b;
}

template <class Decoder>
int decode(const std::vector<uint8_t>& file) {
  Decoder* d = new Decoder();
  d->addRef();
  RKImage* image = d->openMemory(file.data(), int(file.size())) ? d->getImage() : nullptr;
  if (!image) {
    std::fprintf(stderr, "metabench: decode failed\n");
    d->release();
    return 1;
  }
  RKBuffer* pixels = image->getBuffer();
  uint64_t sum = 0;
  const uint8_t* p = pixels->getData(0);
  for (int i = 0; i < pixels->getSize(); ++i) sum = sum * 31 + p[i];
  std::printf("picture %dx%d, %d bytes, checksum %016llx\n", image->getWidth(), image->getHeight(), pixels->getSize(),
              (unsigned long long)sum);
  pixels->release();
  image->release();
  d->release();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  bool wmfFormat = argc > 1 && std::strcmp(argv[1], "wmf") == 0;
  int w = argc > 3 ? std::atoi(argv[2]) : 8000;
  int h = argc > 3 ? std::atoi(argv[3]) : 6000;
  return wmfFormat ? decode<RKWMFDecoder>(wmf(w, h)) : decode<RKEMFDecoder>(emf(w, h));
}
