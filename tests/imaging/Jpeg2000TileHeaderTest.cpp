// Coding-style, quantisation and region-of-interest segments (COD, COC, QCD, QCC, RGN) in the
// first tile-part header of a tile govern that tile (ISO/IEC 15444-1, A.6): its levels, layers,
// code-block and precinct sizes, mode switches, SOP/EPH use, colour transform, step sizes and
// ROI shift. The streams are made by taking the OpenJPEG encoder's output apart: one tile of four
// replaced by the same tile of an encoding with other settings, whose segments go into that
// tile's header; one component of a tile replaced likewise; or the main header's segments moved
// into every tile's header and other ones put in the main header. Reversible streams must decode
// to their picture exactly; the tools' decode of the same bytes is the reference for the others.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "Jpeg2000StreamParts.h"

using namespace j2kparts;

namespace {

const int W = 64, H = 48;  // four tiles of 32 x 32 (the lower two 16 rows high)
const char* const kTiles = "-t 32,32 ";

// The main header's COD, QCD and RGN segments (the parameters of every tile).
std::vector<Segment> codingSegments(const CodeStream& cs) {
  std::vector<Segment> out;
  for (const Segment& g : mainSegments(cs))
    if (g.code == 0xFF52 || g.code == 0xFF5C || g.code == 0xFF5E) out.push_back(g);
  return out;
}

// The stream encoded with `base`, with the tile-parts of `tile` taken from the stream encoded with
// `own` and that encoding's COD, QCD and RGN put into the tile's first tile-part header.
CodeStream spliced(const std::string& base, const std::string& own, int tile) {
  CodeStream a = split(encode(kTiles + base, W, H));
  CodeStream b = split(encode(kTiles + own, W, H));
  EXPECT_TRUE(a.parts.size() >= 4 && b.parts.size() >= 4) << base << " / " << own;
  std::vector<TilePart> parts;
  for (const TilePart& t : a.parts) {
    if (t.tile != tile) {
      parts.push_back(t);
      continue;
    }
    if (t.part != 0) continue;
    for (const TilePart& u : b.parts)
      if (u.tile == tile) parts.push_back(u);
  }
  a.parts = parts;
  std::vector<Segment> own_segments = codingSegments(b);
  std::vector<Segment>& header = partOf(a, tile, 0).header;
  header.insert(header.begin(), own_segments.begin(), own_segments.end());
  return a;
}

// Reversible: our decode and the tools' are the picture. Irreversible: ours is within 2 of the
// tools'.
void expectDecode(const std::vector<uint8_t>& stream, bool reversible) {
  std::vector<uint8_t> want = picture(W, H);
  std::vector<uint8_t> reference = referenceDecode(stream);
  if (reversible) {
    EXPECT_EQ(worstDifference(decode(stream), want), 0);
    EXPECT_EQ(worstDifference(reference, want), 0);
  } else {
    EXPECT_LE(worstDifference(reference, want), 4);
    EXPECT_LE(worstDifference(decode(stream), reference), 2);
  }
}

// The packets of a tile-part written with SOP markers, each from its SOP up to the next.
std::vector<std::vector<uint8_t>> packetsOf(const std::vector<uint8_t>& data) {
  std::vector<size_t> starts;
  for (size_t p = 0; p + 6 <= data.size(); p++)
    if (data[p] == 0xFF && data[p + 1] == 0x91 && data[p + 2] == 0 && data[p + 3] == 4) starts.push_back(p);
  if (starts.empty() || starts[0] != 0) return {};
  starts.push_back(data.size());
  std::vector<std::vector<uint8_t>> out;
  for (size_t k = 0; k + 1 < starts.size(); k++)
    out.emplace_back(data.begin() + (long)starts[k], data.begin() + (long)starts[k + 1]);
  return out;
}

}  // namespace

// One tile of four has its own COD and QCD: each setting differs from the main header's.
TEST(Jpeg2000TileHeader, OneTileWithItsOwnCodingStyleAndQuantisation) {
  REQUIRE_TOOLS();
  struct {
    const char *base, *own;
    bool reversible;
  } cases[] = {
      {"-n 5", "-n 2", true},                                    // decomposition levels
      {"-n 5", "-n 5 -b 8,4", true},                             // code-block size
      {"-n 5", "-n 5 -c [16,16],[8,8]", true},                   // precincts
      {"-n 5", "-n 5 -r 20,10,1", true},                         // more quality layers
      {"-n 5 -r 20,10,1", "-n 5", true},                         // fewer quality layers
      {"-n 5", "-n 5 -SOP -EPH", true},                          // SOP and EPH markers
      {"-n 5", "-n 5 -M 63", true},                              // code-block mode switches
      {"-n 5", "-n 5 -mct 0", true},                             // no colour transform in the tile
      {"-n 5 -mct 0", "-n 5", true},                             // a colour transform only in the tile
      {"-n 5", "-n 5 -GuardBits 4", true},                       // guard bits (the QCD alone differs)
      {"-n 5", "-n 4 -I", false},                                // an irreversible tile
      {"-n 5 -I", "-n 5", false},                                // a reversible tile
      {"-n 5 -I", "-n 5 -I -GuardBits 4", false},                // the QCD of an irreversible tile
      {"-n 5 -I -p RLCP", "-n 3 -I -r 30,10,1 -p RLCP", false},  // step sizes for other levels
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.base) + " / " + c.own);
    expectDecode(join(spliced(c.base, c.own, 1)), c.reversible);
  }
}

// Every tile carries the main header's COD and QCD in its first tile-part header, and the main
// header says something else: the stream decodes as it did before. The main header's segments
// come from another encoding, or (irreversible) differ only in the step sizes, which would give a
// wrong picture without an error.
TEST(Jpeg2000TileHeader, EveryTileWithItsOwnSegments) {
  REQUIRE_TOOLS();
  CodeStream other = split(encode(std::string(kTiles) + "-n 1 -b 4,4 -r 50,20 -SOP", W, H));
  for (const char* options : {"-n 5", "-n 3 -I -SOP -EPH -r 30,10", "-n 4 -c [16,16] -TP R -mct 0", "-n 3 -I"}) {
    SCOPED_TRACE(options);
    std::vector<uint8_t> s = encode(kTiles + std::string(options), W, H);
    ASSERT_FALSE(s.empty());
    CodeStream cs = split(s);
    std::vector<Segment> own = codingSegments(cs), main;
    for (const Segment& g : mainSegments(cs))
      if (g.code != 0xFF52 && g.code != 0xFF5C) main.push_back(g);
    for (TilePart& t : cs.parts)
      if (t.part == 0) t.header.insert(t.header.begin(), own.begin(), own.end());
    CodeStream elsewhere = cs;
    std::vector<Segment> withOther = main;
    for (const Segment& g : codingSegments(other)) withOther.push_back(g);
    setMainSegments(elsewhere, withOther);
    std::vector<uint8_t> want = decode(s);
    ASSERT_FALSE(want.empty());
    EXPECT_EQ(worstDifference(decode(join(elsewhere)), want), 0);
    // The same main header with the step sizes' mantissas changed.
    Segment qcd = mainSegment(cs, 0xFF5C);
    if ((qcd.body[0] & 0x1F) != 2) continue;
    for (size_t i = 1; i + 1 < qcd.body.size(); i += 2) qcd.body[i] ^= 0x02;
    std::vector<Segment> otherSteps = main;
    otherSteps.push_back(mainSegment(cs, 0xFF52));
    otherSteps.push_back(qcd);
    CodeStream steps = cs;
    setMainSegments(steps, otherSteps);
    std::vector<uint8_t> stream = join(steps);
    EXPECT_EQ(worstDifference(decode(stream), want), 0);
    EXPECT_LE(worstDifference(referenceDecode(stream), want), 2);
  }
}

// One component of a tile has its own COC and QCC: the tile's packets of that component come
// from an encoding with other settings (CPRL order, so a component's packets follow each other,
// with SOP markers to find them, renumbered in their new places).
TEST(Jpeg2000TileHeader, OneComponentWithItsOwnCocAndQcc) {
  REQUIRE_TOOLS();
  const std::string base = "-mct 0 -p CPRL -SOP -n 5";
  struct {
    const char* own;
    bool reversible;
  } cases[] = {{"-n 2", true},       {"-n 5 -b 4,8", true},       {"-n 5 -c [16,16],[8,8]", true},
               {"-n 5 -M 63", true}, {"-n 5 -GuardBits 4", true}, {"-n 3 -I", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.own);
    CodeStream a = split(encode(kTiles + base, W, H));
    CodeStream b = split(encode(kTiles + std::string("-mct 0 -p CPRL -SOP ") + c.own, W, H));
    ASSERT_GE(a.parts.size(), 4u);
    ASSERT_GE(b.parts.size(), 4u);
    std::vector<std::vector<uint8_t>> pa = packetsOf(partOf(a, 1, 0).data), pb = packetsOf(partOf(b, 1, 0).data);
    ASSERT_TRUE(pa.size() % 3 == 0 && pb.size() % 3 == 0 && !pa.empty() && !pb.empty());
    std::vector<std::vector<uint8_t>> packets(pa.begin(), pa.begin() + (long)(pa.size() / 3));
    packets.insert(packets.end(), pb.begin() + (long)(pb.size() / 3), pb.begin() + (long)(2 * pb.size() / 3));
    packets.insert(packets.end(), pa.begin() + (long)(2 * pa.size() / 3), pa.end());
    std::vector<uint8_t> data;
    for (size_t k = 0; k < packets.size(); k++) {
      data.insert(data.end(), {0xFF, 0x91, 0x00, 0x04, (uint8_t)(k >> 8), (uint8_t)k});
      data.insert(data.end(), packets[k].begin() + 6, packets[k].end());
    }
    partOf(a, 1, 0).data = data;
    Segment cod = mainSegment(b, 0xFF52), qcd = mainSegment(b, 0xFF5C);
    Segment coc{0xFF53, {1, (uint8_t)(cod.body[0] & 1)}}, qcc{0xFF5D, {1}};
    coc.body.insert(coc.body.end(), cod.body.begin() + 5, cod.body.end());
    qcc.body.insert(qcc.body.end(), qcd.body.begin(), qcd.body.end());
    partOf(a, 1, 0).header = {coc, qcc};
    expectDecode(join(a), c.reversible);
  }
}

// An ROI shift in every tile's first tile-part header acts as the same shift in the main header.
// The stream has 7 guard bits; with 5 and a shift of 2 the decoder reads the same bit-planes and
// scales the samples that have none in the top planes as background.
TEST(Jpeg2000TileHeader, RegionOfInterestShiftOfEveryTile) {
  REQUIRE_TOOLS();
  CodeStream cs = split(encode(std::string(kTiles) + "-n 3 -GuardBits 7", W, H));
  ASSERT_GE(cs.parts.size(), 4u);
  Segment qcd = mainSegment(cs, 0xFF5C);
  qcd.body[0] = (uint8_t)((5 << 5) | (qcd.body[0] & 0x1F));
  std::vector<Segment> own{qcd};
  for (uint8_t c = 0; c < 3; c++) own.push_back({0xFF5E, {c, 0, 2}});
  std::vector<Segment> main = mainSegments(cs);
  main.erase(std::remove_if(main.begin(), main.end(), [](const Segment& g) { return g.code == 0xFF5C; }), main.end());
  CodeStream inMain = cs;
  std::vector<Segment> all = main;
  all.insert(all.end(), own.begin(), own.end());
  setMainSegments(inMain, all);
  std::vector<uint8_t> want = decode(join(inMain));
  CodeStream inTiles = cs, qcdOnly = cs;
  for (TilePart& t : inTiles.parts) t.header = own;
  for (TilePart& t : qcdOnly.parts) t.header = {qcd};
  EXPECT_EQ(worstDifference(decode(join(inTiles)), want), 0);
  EXPECT_GT(worstDifference(decode(join(qcdOnly)), want), 0);  // the shift matters
}

// A tile with its own segments in several tile-parts, read in the order the stream gives: tile-parts
// interleaved between tiles, the tiles in reverse order, packet headers in PPT segments; and a
// missing tile, which stays mid-grey while the others decode.
TEST(Jpeg2000TileHeader, TilePartsInterleavedReversedPackedOrMissing) {
  REQUIRE_TOOLS();
  CodeStream cs = spliced("-n 5 -TP R", "-n 2 -SOP -EPH -r 20,10,1 -TP R", 1);
  ASSERT_GT(partOf(cs, 1, 0).parts, 1);
  CodeStream interleaved = cs;
  std::stable_sort(interleaved.parts.begin(), interleaved.parts.end(),
                   [](const TilePart& a, const TilePart& b) { return a.part < b.part; });
  expectDecode(join(interleaved), true);
  CodeStream reversed = cs;
  std::stable_sort(reversed.parts.begin(), reversed.parts.end(),
                   [](const TilePart& a, const TilePart& b) { return a.tile > b.tile; });
  expectDecode(join(reversed), true);

  // Each packet header with its EPH into a PPT segment of its tile-part; SOP markers dropped.
  CodeStream packed = cs;
  for (TilePart& t : packed.parts) {
    if (t.tile != 1) continue;
    std::vector<uint8_t> headers{(uint8_t)t.part}, bodies;  // Zppt counts on over the tile's parts
    for (const std::vector<uint8_t>& p : packetsOf(t.data)) {
      size_t eph = 6;
      while (eph + 1 < p.size() && !(p[eph] == 0xFF && p[eph + 1] == 0x92)) eph++;
      ASSERT_LT(eph + 1, p.size());
      headers.insert(headers.end(), p.begin() + 6, p.begin() + (long)eph + 2);
      bodies.insert(bodies.end(), p.begin() + (long)eph + 2, p.end());
    }
    t.data = bodies;
    t.header.push_back({0xFF61, headers});
    if (t.part == 0) t.header[0].body[0] &= (uint8_t)~2;  // the tile's COD: no SOP
  }
  expectDecode(join(packed), true);

  CodeStream missing = cs;
  missing.parts.erase(
      std::remove_if(missing.parts.begin(), missing.parts.end(), [](const TilePart& t) { return t.tile == 3; }),
      missing.parts.end());
  std::vector<uint8_t> got = decode(join(missing)), want = picture(W, H);
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); i++) {
    bool inTile3 = i / 3 % W >= 32 && i / 3 / W >= 32;
    ASSERT_EQ(got[i], inTile3 ? 128 : want[i]) << "sample " << i;
  }
}
