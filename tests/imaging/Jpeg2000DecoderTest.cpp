// The JP2 and raw code-stream decoders against streams made by the OpenJPEG command-line tools:
// reversible streams must give the source picture exactly, irreversible ones must stay within a
// small tolerance of the tools' own decode.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "HostPrograms.h"
#include "Jpeg2000StreamParts.h"
#include "RKJP2Decoder2.h"
#include "RKParam.h"

using namespace RKSDK;
using j2kparts::picture;
using j2kparts::pnmSamples;
using j2kparts::readAll;
using j2kparts::writePnm;

namespace {

std::string tempDir() {
  char pattern[] = "/tmp/rkj2dec_XXXXXX";
  const char* dir = mkdtemp(pattern);
  return dir ? std::string(dir) : std::string("/tmp");
}

struct Encoded {
  std::vector<uint8_t> stream;
  std::vector<uint8_t> source;     // the picture encoded
  std::vector<uint8_t> reference;  // the tool's decode, empty unless asked for
};

// Encodes a picture with the given options; `ext` "j2k" or "jp2". Empty when the tools are absent.
Encoded encode(const std::string& options, int w, int h, int comps, const char* ext = "j2k",
               bool withReference = false) {
  Encoded e;
  if (!haveProgram("opj_compress") || !haveProgram("opj_decompress")) return e;
  std::string dir = tempDir();
  std::string in = dir + (comps == 1 ? "/in.pgm" : "/in.ppm");
  std::string out = dir + "/out." + ext;
  std::string ref = dir + (comps == 1 ? "/ref.pgm" : "/ref.ppm");
  e.source = picture(w, h, comps);
  writePnm(in, w, h, comps, e.source);
  std::string opts = options;
  if (opts.find("-n ") == std::string::npos) {
    // The encoder wants 2^(levels) <= the smallest dimension.
    int levels = 1;
    while (levels < 6 && (1 << levels) <= std::min(w, h)) levels++;
    opts += " -n " + std::to_string(levels);
  }
  std::string cmd = "opj_compress -i " + in + " -o " + out + " " + opts + " > /dev/null 2>&1";
  if (std::system(cmd.c_str()) == 0) e.stream = readAll(out);
  if (withReference && !e.stream.empty()) {
    cmd = "opj_decompress -i " + out + " -o " + ref + " > /dev/null 2>&1";
    if (std::system(cmd.c_str()) == 0) e.reference = pnmSamples(readAll(ref));
  }
  // Host paths: the C library's remove is the emulated machine's in this program.
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
  return e;
}

#define REQUIRE_STREAM(e)                                                          \
  if ((e).stream.empty()) {                                                        \
    if (haveProgram("opj_compress")) FAIL() << "opj_compress refused the options"; \
    GTEST_SKIP() << "the OpenJPEG tools are not available";                        \
  }

// Decodes a stream with the decoder; the R,G,B bytes, empty on failure.
std::vector<uint8_t> decodeWith(RKJPEG2000Decoder& d, const std::vector<uint8_t>& stream, int* w = nullptr,
                                int* h = nullptr) {
  if (d.openMemory(stream.data(), (int)stream.size()) != 1) return {};
  RKBuffer* buffer = d.getBuffer();
  if (!buffer) return {};
  std::vector<uint8_t> out(buffer->getData(0), buffer->getData(0) + (size_t)d.getWidth() * d.getHeight() * 3);
  buffer->release();
  if (w) *w = d.getWidth();
  if (h) *h = d.getHeight();
  return out;
}

// The source as R,G,B bytes (grey repeated).
std::vector<uint8_t> asRgb(const std::vector<uint8_t>& px, int comps) {
  if (comps == 3) return px;
  std::vector<uint8_t> out;
  for (uint8_t v : px) out.insert(out.end(), {v, v, v});
  return out;
}

int maxDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  int worst = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); i++) worst = std::max(worst, std::abs((int)a[i] - (int)b[i]));
  return a.size() == b.size() ? worst : 1000;
}

class CountingListener : public IRKCoderListener {
 public:
  void rowDecoded(int row, int rowCount) override {
    rows.push_back(row);
    total = rowCount;
  }
  void decodeFinished() override { finished++; }
  std::vector<int> rows;
  int total = 0, finished = 0;
};

}  // namespace

TEST(Jpeg2000Decoders, ReversibleStreamsGiveTheSourceExactly) {
  struct Case {
    const char* options;
    int w, h, comps;
  } cases[] = {
      {"", 64, 48, 3},
      {"", 33, 17, 1},
      {"-n 1", 20, 10, 3},
      {"-n 6", 70, 65, 3},
      {"-mct 0", 40, 30, 3},
      {"-t 16,16 -n 4", 50, 37, 3},
      {"-t 20,12 -d 3,5 -T 1,1 -n 3", 45, 31, 1},
      {"-b 4,4 -c [16,16],[8,8] -p RPCL", 41, 29, 3},
      {"-r 40,10,1 -p CPRL -SOP -EPH", 32, 32, 3},
      {"-M 63 -b 16,16", 33, 21, 1},
      // Mode switches one or two at a time over whole code-blocks and across stripe borders.
      {"-M 1", 70, 65, 3},
      {"-M 9 -b 32,32", 64, 66, 1},
      {"-M 18 -b 8,64", 48, 40, 3},
      {"-d 1,1", 1, 9, 1},
      {"-d 1,1", 9, 1, 1},
  };
  for (const Case& c : cases) {
    Encoded e = encode(c.options, c.w, c.h, c.comps);
    REQUIRE_STREAM(e);
    RKJPCDecoder2 d;
    int w = 0, h = 0;
    std::vector<uint8_t> got = decodeWith(d, e.stream, &w, &h);
    ASSERT_FALSE(got.empty()) << c.options;
    EXPECT_EQ(w, c.w) << c.options;
    EXPECT_EQ(h, c.h) << c.options;
    EXPECT_EQ(maxDifference(got, asRgb(e.source, c.comps)), 0) << c.options;
  }
}

// Small precincts (down to single 1 x 1 code-blocks at the lowest resolutions) and three layers,
// in every progression order: the decode releases each precinct as it goes and must still give
// the picture exactly.
TEST(Jpeg2000Decoders, SmallPrecinctsAndLayersInEveryOrderGiveTheSourceExactly) {
  for (const char* order : {"LRCP", "RLCP", "RPCL", "PCRL", "CPRL"})
    for (const char* layout : {"-n 5 -c [16,16] -b 4,4", "-n 5 -c [32,32],[16,16] -b 8,8 -SOP -EPH"}) {
      std::string options = std::string(layout) + " -r 40,10,1 -p " + order;
      Encoded e = encode(options, 70, 37, 3);
      REQUIRE_STREAM(e);
      RKJPCDecoder2 d;
      std::vector<uint8_t> got = decodeWith(d, e.stream);
      ASSERT_FALSE(got.empty()) << options;
      EXPECT_EQ(maxDifference(got, e.source), 0) << options;
    }
}

TEST(Jpeg2000Decoders, IrreversibleStreamsStayCloseToTheReferenceDecode) {
  struct Case {
    const char* options;
    int w, h, comps;
  } cases[] = {
      {"-I", 64, 48, 3},        {"-I", 33, 17, 1},       {"-I -n 5 -t 32,32", 70, 65, 3},
      {"-I -mct 0", 40, 30, 3}, {"-I -r 20", 48, 40, 3}, {"-I -d 3,1", 37, 23, 1},
      {"-I -d 1,1", 1, 9, 1},   {"-I -d 1,1", 9, 1, 1},  {"-I -d 1,1 -n 1", 5, 4, 3},
  };
  for (const Case& c : cases) {
    Encoded e = encode(c.options, c.w, c.h, c.comps, "j2k", true);
    REQUIRE_STREAM(e);
    ASSERT_FALSE(e.reference.empty()) << c.options;
    RKJPCDecoder2 d;
    std::vector<uint8_t> got = decodeWith(d, e.stream);
    ASSERT_FALSE(got.empty()) << c.options;
    EXPECT_LE(maxDifference(got, asRgb(e.reference, c.comps)), 2) << c.options;
  }
}

TEST(Jpeg2000Decoders, JpTwoFilesDecodeLikeTheirCodeStreams) {
  for (int comps : {1, 3}) {
    Encoded e = encode("", 30, 20, comps, "jp2");
    REQUIRE_STREAM(e);
    RKJP2Decoder2 jp2;
    std::vector<uint8_t> got = decodeWith(jp2, e.stream);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(maxDifference(got, asRgb(e.source, comps)), 0);
    // A raw code-stream decoder refuses the box layer.
    RKJPCDecoder2 jpc;
    EXPECT_TRUE(decodeWith(jpc, e.stream).empty());
  }
}

TEST(Jpeg2000Decoders, ImagesInfoAndRawCopiesAreThreeBytesAPixel) {
  Encoded e = encode("", 21, 13, 1);
  REQUIRE_STREAM(e);
  RKJPCDecoder2 d;
  ASSERT_EQ(d.openMemory(e.stream.data(), (int)e.stream.size()), 1);
  RKParam info;
  ASSERT_EQ(d.getInfo(&info), 1);
  EXPECT_EQ(d.readRaw(nullptr), 21 * 13 * 3);
  std::vector<uint8_t> raw((size_t)21 * 13 * 3 + 16, 0xEE);
  EXPECT_EQ(d.readRaw(raw.data()), 21 * 13 * 3);
  EXPECT_EQ(raw[21 * 13 * 3], 0xEE);  // nothing past the image
  raw.resize((size_t)21 * 13 * 3);
  EXPECT_EQ(raw, asRgb(e.source, 1));
  RKImage* image = d.getImage();
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->getWidth(), 21);
  EXPECT_EQ(image->getHeight(), 13);
  image->release();
}

TEST(Jpeg2000Decoders, ProgressIsReportedPerRowOfEachTile) {
  Encoded e = encode("-t 16,8 -n 3", 32, 16, 3);
  REQUIRE_STREAM(e);
  RKJPCDecoder2 d;
  CountingListener listener;
  d.setListener(&listener);
  ASSERT_EQ(d.openMemory(e.stream.data(), (int)e.stream.size()), 1);
  RKBuffer* b = d.getBuffer();
  ASSERT_NE(b, nullptr);
  b->release();
  d.clearListener();
  // Four tiles of eight rows each: rows 1..8 four times, one finish per tile.
  ASSERT_EQ(listener.rows.size(), 32u);
  for (size_t i = 0; i < listener.rows.size(); i++) EXPECT_EQ(listener.rows[i], (int)(i % 8) + 1);
  EXPECT_EQ(listener.total, 8);
  EXPECT_EQ(listener.finished, 4);
}

TEST(Jpeg2000Decoders, DamagedStreamsFailCleanly) {
  Encoded e = encode("-t 16,16 -n 3", 40, 40, 3);
  REQUIRE_STREAM(e);
  Encoded j = encode("", 24, 24, 1, "jp2");
  REQUIRE_STREAM(j);
  // Truncated at many lengths: no crash; a short header fails the open.
  for (const std::vector<uint8_t>* s : {&e.stream, &j.stream})
    for (size_t n = 0; n < s->size(); n += 7) {
      std::vector<uint8_t> cut(s->begin(), s->begin() + (long)n);
      RKJPCDecoder2 jpc;
      RKJP2Decoder2 jp2;
      decodeWith(s == &e.stream ? static_cast<RKJPEG2000Decoder&>(jpc) : jp2, cut);
    }
  RKJPCDecoder2 d;
  EXPECT_TRUE(decodeWith(d, std::vector<uint8_t>(e.stream.begin(), e.stream.begin() + 20)).empty());
  // Flipped bytes anywhere: the decode succeeds or fails, never crashes.
  unsigned seed = 12345;
  for (int k = 0; k < 150; k++) {
    std::vector<uint8_t> bad = e.stream;
    for (int f = 0; f < 3; f++) {
      seed = seed * 1103515245u + 12345u;
      bad[(seed >> 8) % bad.size()] ^= (uint8_t)(1u << ((seed >> 4) & 7));
    }
    RKJPCDecoder2 x;
    decodeWith(x, bad);
  }
  // A decoder that failed is closed.
  std::vector<uint8_t> junk(64, 0x5A);
  EXPECT_EQ(d.openMemory(junk.data(), (int)junk.size()), 0);
  EXPECT_EQ(d.getBuffer(), nullptr);
  EXPECT_EQ(d.readRaw(nullptr), -1);
}
