// The JPEG 2000 decoders over the committed test vectors (tests/jpeg2000/data, made by the
// OpenJPEG tools): reversible streams give the encoded picture exactly in 8 bits, irreversible
// ones stay within two units of the tools' decode; the image-file source decodes .jp2 and .jpc
// files; a JP2 palette is read but not applied.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "RKImgFileSrc.h"
#include "RKJP2Decoder2.h"
#include "Jpeg2000VectorFiles.h"
#include "TempPrefix.h"

using namespace RKSDK;

namespace {

// A PGX component mapped to 8 bits the way the decoders present samples: centred on 128,
// deeper samples rounded down to 8 bits, shallower ones scaled up.
std::vector<int> eightBitComponent(const std::string& name, int& width, int& height) {
  std::vector<uint8_t> b = loadJpeg2000Vector(name);
  size_t eol = 0;
  while (eol < b.size() && b[eol] != '\n') eol++;
  std::string head(b.begin(), b.begin() + (long)eol);
  char sign = '+';
  int depth = 0;
  if (std::sscanf(head.c_str(), "PG ML %c %d %d %d", &sign, &depth, &width, &height) != 4) return {};
  int nb = depth <= 8 ? 1 : 2;
  std::vector<int> out;
  for (size_t k = eol + 1; k + (size_t)nb <= b.size() && out.size() < (size_t)width * height; k += (size_t)nb) {
    long long x = (nb == 1) ? b[k] : (b[k] << 8 | b[k + 1]);
    if (sign == '-' && x >= (1LL << (8 * nb - 1))) x -= 1LL << (8 * nb);
    long long s = (sign == '-') ? x : x - (1LL << (depth - 1));
    long long v;
    if (depth >= 8) {
      v = ((s + ((1LL << (depth - 8)) >> 1)) >> (depth - 8)) + 128;
    } else {
      v = s * (1LL << (8 - depth)) + 128;
      if (v > 255) v = 256 - (1LL << (8 - depth));
    }
    out.push_back((int)std::max(0LL, std::min(255LL, v)));
  }
  return out;
}

// R,G,B bytes expected from the first one or three components of a vector.
std::vector<int> expectedRgb(const std::string& stem, const char* kind, int comps, int& w, int& h) {
  std::vector<std::vector<int>> planes;
  for (int c = 0; c < comps; c++)
    planes.push_back(eightBitComponent(stem + "." + kind + std::to_string(c) + ".pgx", w, h));
  std::vector<int> out;
  for (size_t k = 0; k < planes[0].size(); k++)
    for (int c = 0; c < 3; c++) out.push_back(planes[(size_t)(comps == 3 ? c : 0)][k]);
  return out;
}

std::vector<int> decodeRgb(RKJPEG2000Decoder& d, const std::vector<uint8_t>& bytes) {
  if (d.openMemory(bytes.data(), (int)bytes.size()) != 1) return {};
  RKBuffer* b = d.getBuffer();
  if (!b) return {};
  const uint8_t* p = b->getData(0);
  std::vector<int> out(p, p + (size_t)d.getWidth() * d.getHeight() * 3);
  b->release();
  return out;
}

int worstDifference(const std::vector<int>& a, const std::vector<int>& b) {
  if (a.size() != b.size()) return 1000;
  int worst = 0;
  for (size_t i = 0; i < a.size(); i++) worst = std::max(worst, std::abs(a[i] - b[i]));
  return worst;
}

struct Vector {
  const char* stem;
  int comps;
};

const Vector kReversible[] = {{"r53_rgb8", 3},      {"r53_grey8", 1},    {"r53_grey4", 1},   {"r53_grey12", 1},
                              {"r53_grey16", 1},    {"r53_signed12", 1}, {"r53_rgb12", 3},   {"r53_roi", 3},
                              {"r53_modes", 1},     {"r53_nodwt", 3},    {"r53_rgb16", 3},   {"r53_erterm", 1},
                              {"r53_poc_tiles", 3}, {"r53_poc_12t", 3},  {"r53_poc_sop", 3}, {"r53_poc_tpl", 3}};
const Vector kIrreversible[] = {{"i97_rgb8", 3},     {"i97_grey8", 1},      {"i97_grey12", 1}, {"i97_rgb10", 3},
                                {"i97_rgb8_big", 3}, {"i97_grey12_big", 1}, {"i97_poc", 3}};

// Appends a box (length, type, body) to out.
void box(std::string& out, const char* type, const std::string& body) {
  uint32_t n = (uint32_t)(8 + body.size());
  out += std::string{(char)(n >> 24), (char)(n >> 16), (char)(n >> 8), (char)n};
  out += std::string(type, 4);
  out += body;
}

std::string be(uint32_t v, int bytes) {
  std::string s;
  for (int i = bytes - 1; i >= 0; i--) s += (char)(v >> (8 * i));
  return s;
}

}  // namespace

TEST(Jpeg2000Vectors, ReversibleCodeStreamsMatchTheirPicturesExactly) {
  for (const Vector& v : kReversible) {
    std::vector<uint8_t> bytes = loadJpeg2000Vector(std::string(v.stem) + ".j2k");
    ASSERT_FALSE(bytes.empty()) << v.stem;
    int w = 0, h = 0;
    std::vector<int> want = expectedRgb(v.stem, "src", v.comps, w, h);
    RKJPCDecoder2 d;
    std::vector<int> got = decodeRgb(d, bytes);
    ASSERT_FALSE(got.empty()) << v.stem;
    EXPECT_EQ(d.getWidth(), w) << v.stem;
    EXPECT_EQ(d.getHeight(), h) << v.stem;
    EXPECT_EQ(worstDifference(got, want), 0) << v.stem;
  }
}

TEST(Jpeg2000Vectors, IrreversibleCodeStreamsStayWithinTwoOfTheReference) {
  for (const Vector& v : kIrreversible) {
    std::vector<uint8_t> bytes = loadJpeg2000Vector(std::string(v.stem) + ".j2k");
    int w = 0, h = 0;
    std::vector<int> want = expectedRgb(v.stem, "ref", v.comps, w, h);
    ASSERT_FALSE(want.empty()) << v.stem;
    RKJPCDecoder2 d;
    std::vector<int> got = decodeRgb(d, bytes);
    ASSERT_FALSE(got.empty()) << v.stem;
    EXPECT_LE(worstDifference(got, want), 2) << v.stem;
  }
}

TEST(Jpeg2000Vectors, JpTwoFilesAndPalettes) {
  for (const Vector& v : {Vector{"jp2_rgb8", 3}, Vector{"jp2_grey8", 1}}) {
    int w = 0, h = 0;
    std::vector<int> want = expectedRgb(v.stem, "src", v.comps, w, h);
    RKJP2Decoder2 d;
    EXPECT_EQ(worstDifference(decodeRgb(d, loadJpeg2000Vector(std::string(v.stem) + ".jp2")), want), 0) << v.stem;
  }
  // A hand-made JP2 with a palette and component mapping around a grey code-stream: the
  // palette is read and checked but the decoder hands out the code-stream's samples.
  std::vector<uint8_t> cs = loadJpeg2000Vector("r53_grey8.j2k");
  int w = 0, h = 0;
  std::vector<int> want = expectedRgb("r53_grey8", "src", 1, w, h);
  std::string file;
  box(file, "jP  ", be(0x0D0A870A, 4));
  box(file, "ftyp", "jp2 " + be(0, 4) + "jp2 ");
  std::string header;
  box(header, "ihdr", be((uint32_t)h, 4) + be((uint32_t)w, 4) + be(1, 2) + std::string{7, 7, 0, 0});
  box(header, "colr", std::string{1, 0, 0} + be(16, 4));
  std::string pclr = be(256, 2) + std::string{3, 7, 7, 7};
  for (int e = 0; e < 256; e++) pclr += std::string{(char)e, (char)(255 - e), (char)(e / 2)};
  box(header, "pclr", pclr);
  box(header, "cmap", be(0, 2) + std::string{1, 0} + be(0, 2) + std::string{1, 1} + be(0, 2) + std::string{1, 2});
  box(file, "jp2h", header);
  box(file, "jp2c", std::string(cs.begin(), cs.end()));
  RKJP2Decoder2 d;
  std::vector<uint8_t> bytes(file.begin(), file.end());
  EXPECT_EQ(worstDifference(decodeRgb(d, bytes), want), 0);
  // The same file cut inside its header fails cleanly.
  RKJP2Decoder2 cut;
  EXPECT_TRUE(decodeRgb(cut, std::vector<uint8_t>(bytes.begin(), bytes.begin() + 60)).empty());
}

TEST(Jpeg2000Vectors, ImageFileSourceDecodesJp2AndJpcFiles) {
  TempPrefix prefix;
  struct File {
    const char* vector;
    const char* name;
    int comps;
  } files[] = {{"jp2_rgb8.jp2", "photo.jp2", 3}, {"r53_grey8.j2k", "scan.jpc", 1}};
  for (const File& f : files) {
    std::vector<uint8_t> bytes = loadJpeg2000Vector(f.vector);
    {
      std::ofstream out(prefix.root() + "/drive_c/" + f.name, std::ios::binary);
      out.write(reinterpret_cast<const char*>(bytes.data()), (std::streamsize)bytes.size());
    }
    std::string stem(f.vector);
    stem = stem.substr(0, stem.find('.'));
    int w = 0, h = 0;
    std::vector<int> want = expectedRgb(stem, "src", f.comps, w, h);
    RKImgFileSrc source;
    ASSERT_EQ(source.setFile(RKString((std::string("C:\\") + f.name).c_str())), 1) << f.name;
    RKImage* image = source.getImage();
    ASSERT_NE(image, nullptr) << f.name;
    EXPECT_EQ(image->getWidth(), w);
    EXPECT_EQ(image->getHeight(), h);
    EXPECT_EQ(image->getPixelType(), (unsigned)RK_PIXEL_RGB24);
    RKBuffer* buffer = image->getBuffer();
    ASSERT_NE(buffer, nullptr);
    const uint8_t* p = buffer->getData(0);
    EXPECT_EQ(worstDifference(std::vector<int>(p, p + want.size()), want), 0) << f.name;
    buffer->release();
    image->release();
  }
}

TEST(Jpeg2000Vectors, EveryTruncationOfEveryVectorFailsOrDecodesCleanly) {
  for (const Vector& v : kReversible) {
    std::vector<uint8_t> bytes = loadJpeg2000Vector(std::string(v.stem) + ".j2k");
    for (size_t n = 0; n < bytes.size(); n += 1 + bytes.size() / 40) {
      RKJPCDecoder2 d;
      std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + (long)n);
      std::vector<int> got = decodeRgb(d, cut);
      EXPECT_TRUE(got.empty() || got.size() == (size_t)d.getWidth() * d.getHeight() * 3) << v.stem;
    }
  }
}

#ifdef __GLIBC__
namespace {

// Records the largest amount of heap in use while rows are handed out.
class HeapWatcher : public IRKCoderListener {
 public:
  static size_t inUse() {
    struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
  }
  void rowDecoded(int row, int) override {
    size_t now = inUse();
    if (row == 1) first = now;
    peak = std::max(peak, now);
  }
  void decodeFinished() override {}
  size_t first = 0, peak = 0;
};

}  // namespace

TEST(Jpeg2000Vectors, WorkingMemoryDoesNotGrowWithTheHeight) {
  // 256 x 65,536 grey in one tile: the decode keeps a few rows per level and one row of
  // code-blocks per subband, so the heap stays flat from the first row to the last.
  std::vector<uint8_t> bytes = loadJpeg2000Vector("i97_tall.j2k");
  ASSERT_FALSE(bytes.empty());
  if (HeapWatcher::inUse() == 0) GTEST_SKIP() << "heap statistics not available (sanitizer allocator)";
  RKJPCDecoder2 d;
  HeapWatcher watcher;
  d.setListener(&watcher);
  ASSERT_EQ(d.openMemory(bytes.data(), (int)bytes.size()), 1);
  EXPECT_EQ(d.getWidth(), 256);
  EXPECT_EQ(d.getHeight(), 65536);
  RKBuffer* b = d.getBuffer();
  d.clearListener();
  ASSERT_NE(b, nullptr);
  // The picture is a smooth wave: a middle row still carries it.
  const uint8_t* row = b->getData(0) + (size_t)30000 * 256 * 3;
  EXPECT_GT(*std::max_element(row, row + 256 * 3) - *std::min_element(row, row + 256 * 3), 100);
  b->release();
  EXPECT_LT(watcher.peak - watcher.first, (size_t)1 << 20);
}

TEST(Jpeg2000Vectors, EmptyTilesCostNoMemoryOfTheirOwn) {
  // 65,535 tiles of one pixel, none of them with a tile-part beyond the first: each tile that
  // has no marker segments of its own reads the main header's parameters, so the heap does not
  // grow from tile to tile.
  std::string s = be(0xFF4F, 2);
  s += be(0xFF51, 2) + be(41, 2) + be(0, 2) + be(65535, 4) + be(1, 4) + be(0, 4) + be(0, 4) + be(1, 4) + be(1, 4) +
       be(0, 4) + be(0, 4) + be(1, 2) + be(7, 1) + be(1, 1) + be(1, 1);
  s += be(0xFF52, 2) + be(12, 2) + be(0, 1) + be(0, 1) + be(1, 2) + be(0, 1) + be(0, 1) + be(0, 1) + be(0, 1) +
       be(0, 1) + be(1, 1);
  s += be(0xFF5C, 2) + be(4, 2) + be(0x40, 1) + be(9 << 3, 1);
  s += be(0xFF90, 2) + be(10, 2) + be(0, 2) + be(15, 4) + be(0, 1) + be(1, 1) + be(0xFF93, 2) + be(0, 1);
  s += be(0xFFD9, 2);
  if (HeapWatcher::inUse() == 0) GTEST_SKIP() << "heap statistics not available (sanitizer allocator)";
  RKJPCDecoder2 d;
  HeapWatcher watcher;
  d.setListener(&watcher);
  ASSERT_EQ(d.openMemory(s.data(), (int)s.size()), 1);
  EXPECT_EQ(d.getWidth(), 65535);
  RKBuffer* b = d.getBuffer();
  d.clearListener();
  ASSERT_NE(b, nullptr);
  // Tiles without data are mid-grey.
  EXPECT_EQ(b->getData(0)[3 * 40000], 128);
  b->release();
  EXPECT_LT(watcher.peak - watcher.first, (size_t)4 << 20);
}
#endif
