// Progression-order changes (POC) in tile-part headers, over several tile-parts and tiles, in
// code-streams that the encoder cannot write as they are: the OpenJPEG encoder's output is taken
// apart into its tile-parts and put together again with the POC segments moved or split, the
// tile-parts of several tiles interleaved, or records that leave packets out. Reversible streams
// must decode to their picture exactly, and the tools' decode of the same bytes is the reference
// where they read them as the standard does.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Jpeg2000StreamParts.h"

using namespace j2kparts;

namespace {

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
  Segment cod = mainSegment(cs, 0xFF52);
  ASSERT_GE(cod.body.size(), 2u);
  ASSERT_EQ(cod.body[1], 4);  // CPRL
  std::vector<Segment> main = mainSegments(cs);
  for (Segment& g : main)
    if (g.code == 0xFF52) g.body[1] = 0;  // LRCP
  setMainSegments(cs, main);
  for (TilePart& t : cs.parts)
    if (t.part == 0) t.header.push_back(cod);
  expectThePicture(join(cs), 48, 40);
}
