// Progression-order changes (POC) in tile-part headers, over several tile-parts and tiles, in
// code-streams that the encoder cannot write as they are: the OpenJPEG encoder's output is taken
// apart into its tile-parts and put together again with the POC segments moved or split, the
// tile-parts of several tiles interleaved, or records that leave packets out. Reversible streams
// must decode to their picture exactly, and the tools' decode of the same bytes is the reference
// where they read them as the standard does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "HostPrograms.h"
#include "RKJP2Decoder2.h"
#include "TempFolder.h"

using namespace RKSDK;

namespace {

// The picture: three 8-bit components, component-interleaved.
std::vector<uint8_t> picture(int w, int h) {
  std::vector<uint8_t> p;
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++)
      for (int c = 0; c < 3; c++) p.push_back((uint8_t)((x * 7 + y * 3 + c * 50 + ((x * y) % 13)) & 255));
  return p;
}

std::vector<uint8_t> readAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

void writeAll(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(bytes.data()), (std::streamsize)bytes.size());
}

bool haveTools() { return haveProgram({"opj_compress", "opj_decompress"}); }

// The picture encoded with the given options; empty when the encoder fails.
std::vector<uint8_t> encode(const std::string& options, int w, int h) {
  rktest::TempFolder dir("rkj2poc");
  std::vector<uint8_t> px = picture(w, h);
  {
    std::ofstream f(dir / "in.ppm", std::ios::binary);
    f << "P6\n" << w << " " << h << "\n255\n";
    f.write(reinterpret_cast<const char*>(px.data()), (std::streamsize)px.size());
  }
  std::string cmd =
      "opj_compress -i " + (dir / "in.ppm") + " -o " + (dir / "out.j2k") + " " + options + " > /dev/null 2>&1";
  if (std::system(cmd.c_str()) != 0) return {};
  return readAll(dir / "out.j2k");
}

// The tools' decode of a stream as R,G,B bytes; empty when they fail.
std::vector<uint8_t> referenceDecode(const std::vector<uint8_t>& stream) {
  rktest::TempFolder dir("rkj2poc");
  writeAll(dir / "in.j2k", stream);
  std::string cmd = "opj_decompress -i " + (dir / "in.j2k") + " -o " + (dir / "out.ppm") + " > /dev/null 2>&1";
  if (std::system(cmd.c_str()) != 0) return {};
  std::vector<uint8_t> b = readAll(dir / "out.ppm");
  size_t pos = 0;
  for (int fields = 0; pos < b.size() && fields < 4;) {
    while (pos < b.size() && isspace(b[pos])) pos++;
    if (pos < b.size() && b[pos] == '#') {
      while (pos < b.size() && b[pos] != '\n') pos++;
      continue;
    }
    while (pos < b.size() && !isspace(b[pos])) pos++;
    fields++;
  }
  pos++;
  return pos <= b.size() ? std::vector<uint8_t>(b.begin() + (long)pos, b.end()) : std::vector<uint8_t>();
}

// Our decode as R,G,B bytes; empty when it fails.
std::vector<uint8_t> decode(const std::vector<uint8_t>& stream) {
  RKJPCDecoder2 d;
  if (d.openMemory(stream.data(), (int)stream.size()) != 1) return {};
  RKBuffer* b = d.getBuffer();
  if (!b) return {};
  std::vector<uint8_t> out(b->getData(0), b->getData(0) + (size_t)d.getWidth() * d.getHeight() * 3);
  b->release();
  return out;
}

int worstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  if (a.size() != b.size() || a.empty()) return 1000;
  int worst = 0;
  for (size_t i = 0; i < a.size(); i++) worst = std::max(worst, std::abs((int)a[i] - (int)b[i]));
  return worst;
}

// A code-stream taken apart: the main header, and each tile-part with its header's marker
// segments and its packet data.
struct Segment {
  unsigned code;
  std::vector<uint8_t> body;
};
struct TilePart {
  int tile = 0, part = 0, parts = 0;
  std::vector<Segment> header;
  std::vector<uint8_t> data;
};
struct CodeStream {
  std::vector<uint8_t> main;  // SOC to the first SOT
  std::vector<TilePart> parts;
};

unsigned be16(const std::vector<uint8_t>& s, size_t at) { return (unsigned)(s[at] << 8 | s[at + 1]); }

CodeStream split(const std::vector<uint8_t>& s) {
  CodeStream cs;
  size_t p = 2;
  while (p + 4 <= s.size() && be16(s, p) != 0xFF90) p += 2 + be16(s, p + 2);
  cs.main.assign(s.begin(), s.begin() + (long)p);
  while (p + 12 <= s.size() && be16(s, p) == 0xFF90) {
    TilePart t;
    size_t start = p;
    t.tile = (int)be16(s, p + 4);
    uint32_t psot = (uint32_t)be16(s, p + 6) << 16 | be16(s, p + 8);
    t.part = s[p + 10];
    t.parts = s[p + 11];
    p += 12;
    while (p + 4 <= s.size() && be16(s, p) != 0xFF93) {
      size_t len = be16(s, p + 2);
      t.header.push_back({be16(s, p), std::vector<uint8_t>(s.begin() + (long)p + 4, s.begin() + (long)(p + 2 + len))});
      p += 2 + len;
    }
    p += 2;
    size_t end = psot != 0 ? start + psot : s.size() - 2;
    t.data.assign(s.begin() + (long)p, s.begin() + (long)end);
    p = end;
    cs.parts.push_back(t);
  }
  return cs;
}

void put16(std::vector<uint8_t>& out, unsigned v) {
  out.push_back((uint8_t)(v >> 8));
  out.push_back((uint8_t)v);
}

std::vector<uint8_t> join(const CodeStream& cs) {
  std::vector<uint8_t> out = cs.main;
  for (const TilePart& t : cs.parts) {
    std::vector<uint8_t> header;
    for (const Segment& g : t.header) {
      put16(header, g.code);
      put16(header, (unsigned)g.body.size() + 2);
      header.insert(header.end(), g.body.begin(), g.body.end());
    }
    uint32_t psot = (uint32_t)(12 + header.size() + 2 + t.data.size());
    put16(out, 0xFF90);
    put16(out, 10);
    put16(out, (unsigned)t.tile);
    put16(out, psot >> 16);
    put16(out, psot & 0xFFFF);
    out.push_back((uint8_t)t.part);
    out.push_back((uint8_t)t.parts);
    out.insert(out.end(), header.begin(), header.end());
    put16(out, 0xFF93);
    out.insert(out.end(), t.data.begin(), t.data.end());
  }
  put16(out, 0xFFD9);
  return out;
}

// The tile-part of a tile with the given index.
TilePart& partOf(CodeStream& cs, int tile, int part) {
  for (TilePart& t : cs.parts)
    if (t.tile == tile && t.part == part) return t;
  static TilePart none;
  ADD_FAILURE() << "no tile-part " << part << " of tile " << tile;
  return none;
}

// Takes the POC segment out of a tile-part header; its body, or empty.
std::vector<uint8_t> takePoc(TilePart& t) {
  for (size_t i = 0; i < t.header.size(); i++)
    if (t.header[i].code == 0xFF5F) {
      std::vector<uint8_t> body = t.header[i].body;
      t.header.erase(t.header.begin() + (long)i);
      return body;
    }
  return {};
}

// A POC segment of the given records (7 bytes each with fewer than 257 components).
Segment pocOf(const std::vector<uint8_t>& records, size_t first, size_t count) {
  return {0xFF5F,
          std::vector<uint8_t>(records.begin() + (long)(7 * first), records.begin() + (long)(7 * (first + count)))};
}

#define REQUIRE_TOOLS()                                     \
  if (!haveTools()) {                                       \
    GTEST_SKIP() << "the OpenJPEG tools are not available"; \
  }

// Our decode must be the picture; the tools', when given, too (so the rewritten stream is sound).
void expectThePicture(const std::vector<uint8_t>& stream, int w, int h, bool toolsToo = true) {
  EXPECT_EQ(worstDifference(decode(stream), picture(w, h)), 0);
  if (toolsToo) {
    EXPECT_EQ(worstDifference(referenceDecode(stream), picture(w, h)), 0);
  }
}

}  // namespace

// The stream of the report: tile 0 of four with CPRL for resolutions 0-2, then RLCP, in two
// tile-parts; then the same records with SOP and EPH markers and PLT segments.
TEST(Jpeg2000Progression, TilePartHeaderPocOverTwoTileParts) {
  REQUIRE_TOOLS();
  for (const char* extra : {"", " -SOP -EPH -PLT"}) {
    SCOPED_TRACE(extra);
    std::vector<uint8_t> s =
        encode(std::string("-n 6 -t 32,32 -POC T1=0,0,1,3,3,CPRL/T1=3,0,1,6,3,RLCP") + extra, 64, 48);
    ASSERT_FALSE(s.empty());
    CodeStream cs = split(s);
    ASSERT_EQ(partOf(cs, 0, 0).parts, 2);
    expectThePicture(s, 64, 48);
  }
}

// A POC segment only in the second tile-part header of the tile: the first tile-part follows the
// COD order (LRCP, which gives resolution 0 in the order of the first record too), the rest the
// records.
TEST(Jpeg2000Progression, PocOnlyInALaterTilePart) {
  REQUIRE_TOOLS();
  std::vector<uint8_t> s = encode("-n 5 -t 32,32 -POC T1=0,0,1,1,3,LRCP/T1=1,0,1,5,3,CPRL", 48, 40);
  ASSERT_FALSE(s.empty());
  CodeStream cs = split(s);
  std::vector<uint8_t> records = takePoc(partOf(cs, 0, 0));
  ASSERT_EQ(records.size(), 14u);
  partOf(cs, 0, 1).header.push_back(pocOf(records, 0, 2));
  expectThePicture(join(cs), 48, 40);
  // The same with a main-header POC in LRCP for all packets as the default instead of COD.
  cs.main.insert(cs.main.end(), {0xFF, 0x5F, 0x00, 0x09, 0, 0, 0, 1, 5, 3, 0});
  expectThePicture(join(cs), 48, 40, false);
}

// A tile's records spread over the POC segments of three tile-part headers, one segment each;
// then the first two segments both in the first header (the second applies from the second
// tile-part on, where its packets are).
TEST(Jpeg2000Progression, PocSegmentsInSeveralTilePartHeaders) {
  REQUIRE_TOOLS();
  std::vector<uint8_t> s = encode("-n 5 -t 32,32 -POC T1=0,0,1,2,3,CPRL/T1=2,0,1,4,3,RLCP/T1=4,0,1,5,3,PCRL", 40, 48);
  ASSERT_FALSE(s.empty());
  CodeStream cs = split(s);
  std::vector<uint8_t> records = takePoc(partOf(cs, 0, 0));
  ASSERT_EQ(records.size(), 21u);
  ASSERT_EQ(partOf(cs, 0, 0).parts, 3);
  CodeStream each = cs;
  for (int k = 0; k < 3; k++) partOf(each, 0, k).header.push_back(pocOf(records, (size_t)k, 1));
  expectThePicture(join(each), 40, 48);
  CodeStream two = cs;
  partOf(two, 0, 0).header.push_back(pocOf(records, 0, 1));
  partOf(two, 0, 0).header.push_back(pocOf(records, 1, 2));
  expectThePicture(join(two), 40, 48);
}

// Records over three layers, with precincts, in several tiles whose tile-parts are interleaved:
// the first tile-parts of all tiles, then the second ones.
TEST(Jpeg2000Progression, TilePartsInterleavedBetweenTiles) {
  REQUIRE_TOOLS();
  std::vector<uint8_t> s = encode(
      "-n 4 -t 24,16 -r 20,5,1 -c [16,16],[8,8] -SOP -EPH -POC "
      "T1=0,0,3,2,3,PCRL/T1=2,0,3,4,3,RLCP/T2=0,0,3,2,3,PCRL/T2=2,0,3,4,3,RLCP/T4=0,0,3,2,3,PCRL/"
      "T4=2,0,3,4,3,RLCP",
      48, 32);
  ASSERT_FALSE(s.empty());
  expectThePicture(s, 48, 32);
  CodeStream cs = split(s);
  std::stable_sort(cs.parts.begin(), cs.parts.end(),
                   [](const TilePart& a, const TilePart& b) { return a.part < b.part; });
  ASSERT_EQ(cs.parts[1].tile, 1);
  ASSERT_EQ(cs.parts[4].part, 1);
  expectThePicture(join(cs), 48, 32);
}

// Records that leave packets out: those packets stay unread, as they do for the tools, and the
// other tiles decode exactly.
TEST(Jpeg2000Progression, RecordsThatLeavePacketsOut) {
  REQUIRE_TOOLS();
  std::vector<uint8_t> s = encode("-n 4 -t 32,32 -r 20,5 -POC T1=0,0,2,4,3,LRCP/T1=0,0,2,4,3,RLCP", 48, 40);
  ASSERT_FALSE(s.empty());
  CodeStream cs = split(s);
  std::vector<uint8_t> records = takePoc(partOf(cs, 0, 0));
  ASSERT_EQ(records.size(), 14u);
  // Layer 0 only (LYEpoc 1 in both records).
  std::vector<uint8_t> layer0 = records;
  layer0[3] = layer0[10] = 1;
  CodeStream a = cs;
  partOf(a, 0, 0).header.push_back(pocOf(layer0, 0, 2));
  std::vector<uint8_t> oneLayer = join(a);
  std::vector<uint8_t> reference = referenceDecode(oneLayer);
  ASSERT_FALSE(reference.empty());
  std::vector<uint8_t> got = decode(oneLayer);
  EXPECT_EQ(worstDifference(got, reference), 0);
  EXPECT_GT(worstDifference(got, decode(s)), 0);  // the second layer is missing
  // Resolution 0 only: the tile's higher resolutions stay empty (the tools fill only a corner of
  // such a tile, so they are no reference); the other tiles are as in the whole stream.
  std::vector<uint8_t> res0 = records;
  res0[4] = res0[11] = 1;
  CodeStream b = cs;
  partOf(b, 0, 0).header.push_back(pocOf(res0, 0, 2));
  std::vector<uint8_t> lowOnly = decode(join(b)), full = decode(s);
  ASSERT_EQ(lowOnly.size(), (size_t)48 * 40 * 3);
  ASSERT_EQ(full.size(), lowOnly.size());
  int outside = 0, inside = 0;
  for (size_t i = 0; i < full.size(); i++) {
    size_t x = i / 3 % 48, y = i / 3 / 48;
    int d = std::abs((int)lowOnly[i] - (int)full[i]);
    int& worst = (x >= 32 || y >= 32) ? outside : inside;
    worst = std::max(worst, d);
  }
  EXPECT_EQ(outside, 0);
  EXPECT_GT(inside, 0);
}

// A tile-part POC overrides the main header's POC for its tile (ISO/IEC 15444-1, A.6). The
// OpenJPEG decoder reads the tile's records after the main header's instead, so only the
// picture is the reference here.
TEST(Jpeg2000Progression, TilePocOverridesTheMainHeaderPoc) {
  REQUIRE_TOOLS();
  std::vector<uint8_t> s = encode("-n 6 -t 32,32 -POC T1=0,0,1,3,3,CPRL/T1=3,0,1,6,3,RLCP", 64, 48);
  ASSERT_FALSE(s.empty());
  CodeStream cs = split(s);
  // The main header's one record: LRCP over all packets, the order of the other tiles.
  cs.main.insert(cs.main.end(), {0xFF, 0x5F, 0x00, 0x09, 0, 0, 0, 1, 6, 3, 0});
  expectThePicture(join(cs), 64, 48, false);
}

// The progression order of a COD segment in a tile's first tile-part header holds for that tile
// (ISO/IEC 15444-1, A.6: a tile-part COD before the main header's): the stream is written in CPRL
// and its main header made to say LRCP.
TEST(Jpeg2000Progression, TilePartCodOrderSetsTheProgression) {
  REQUIRE_TOOLS();
  std::vector<uint8_t> s = encode("-n 3 -t 32,32 -p CPRL", 48, 40);
  ASSERT_FALSE(s.empty());
  CodeStream cs = split(s);
  size_t at = 2;
  while (at + 4 <= cs.main.size() && be16(cs.main, at) != 0xFF52) at += 2 + be16(cs.main, at + 2);
  ASSERT_LT(at + 6, cs.main.size());
  Segment cod{0xFF52, std::vector<uint8_t>(cs.main.begin() + (long)at + 4,
                                           cs.main.begin() + (long)(at + 2 + be16(cs.main, at + 2)))};
  ASSERT_EQ(cod.body[1], 4);  // CPRL
  cs.main[at + 5] = 0;        // LRCP
  for (TilePart& t : cs.parts)
    if (t.part == 0) t.header.push_back(cod);
  expectThePicture(join(cs), 48, 40);
}
