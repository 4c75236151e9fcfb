#include <gtest/gtest.h>

#include "codestream_support.h"
#include "opj_streams.h"

namespace {

std::string decode(const std::vector<uint8_t> &s, decoded_stream &d) {
  return error_text([&] { decode_all_blocks(s, d); });
}

size_t find_marker(const std::vector<uint8_t> &s, uint8_t code, size_t from = 0) {
  for (size_t i = from; i + 1 < s.size(); i++)
    if (s[i] == 0xFF && s[i + 1] == code) return i;
  return std::string::npos;
}

int be16(const std::vector<uint8_t> &s, size_t at) { return (s[at] << 8) | s[at + 1]; }

}  // namespace

TEST(Packets, EncoderMatrixIsConsumedCompletely) {
  const char *matrix[] = {
      "-n 3",
      "-n 4 -I",
      "-n 3 -r 40,20,10 -p LRCP",
      "-n 3 -r 40,20,10 -p RLCP",
      "-n 3 -r 40,20,10 -p RPCL",
      "-n 3 -r 40,20,10 -p PCRL",
      "-n 3 -r 40,20,10 -p CPRL",
      "-n 3 -c [16,16],[8,8] -p RPCL -b 4,4",
      "-n 3 -c [32,32],[16,16] -p PCRL -SOP -EPH",
      "-n 3 -t 16,16 -TP R -r 20,5",
      "-n 3 -t 16,16 -TP L -r 20,5 -p LRCP",
      "-n 3 -t 16,16 -TP C -p CPRL",
      "-n 3 -t 8,8 -d 3,5 -T 1,2 -p RPCL",
      "-n 2 -M 63 -r 30,10",
      "-n 3 -M 9 -I -r 30,10",
      "-n 3 -ROI c=0,U=10",
      "-n 3 -I -ROI c=1,U=5",
      "-n 3 -GuardBits 0",
      "-n 3 -GuardBits 7 -I",
      "-n 3 -TLM -PLT -SOP",
      // -POC T1 is tile 0: the segments go to the tile-part headers.
      "-n 3 -POC T1=0,0,1,3,3,CPRL",
      "-n 3 -r 20,10 -POC T1=0,0,2,3,3,LRCP/T1=0,0,2,3,3,RLCP",
      "-n 3 -t 16,16 -r 20,10 -c [8,8] -SOP -EPH -PLT -POC T2=0,0,2,2,3,PCRL/T2=2,0,2,3,3,RPCL",
      "-n 3 -t 16,16 -r 20,10,1 -POC T1=0,0,3,2,3,CPRL/T1=2,0,3,3,3,LRCP -TP L",
  };
  for (const char *options : matrix) {
    auto s = opj_encode(options, 37, 23, 3);
    REQUIRE_OPJ(s);
    decoded_stream d;
    EXPECT_EQ(decode(s, d), "") << options;
    EXPECT_EQ(d.packets, d.expected_packets) << options;
    EXPECT_GT(d.coded_blocks, 0) << options;
  }
}

TEST(Packets, GreyAndHighDepthStreams) {
  for (const char *options : {"-n 5", "-n 6 -b 64,64", "-n 1 -I", "-n 1 -t 33,3 -b 4,4"}) {
    auto s = opj_encode(options, 64, 40, 1);
    REQUIRE_OPJ(s);
    decoded_stream d;
    EXPECT_EQ(decode(s, d), "") << options;
    EXPECT_EQ(d.packets, d.expected_packets) << options;
  }
}

TEST(Packets, PacketHeadersMovedIntoPptSegments) {
  // With SOP and EPH every packet is SOP + header + EPH + body; move each header (with its EPH)
  // into a PPT segment of the tile-part header and keep the bodies.
  auto s = opj_encode("-n 3 -SOP -EPH -r 20,10", 37, 23, 3);
  REQUIRE_OPJ(s);
  size_t sot = find_marker(s, 0x90);
  size_t sod = find_marker(s, 0x93, sot);
  ASSERT_NE(sod, std::string::npos);
  size_t eoc = s.size() - 2;
  std::vector<uint8_t> headers, bodies;
  size_t p = sod + 2;
  while (p < eoc) {
    ASSERT_EQ(s[p], 0xFF);
    ASSERT_EQ(s[p + 1], 0x91);
    size_t eph = find_marker(s, 0x92, p + 6);
    size_t next = find_marker(s, 0x91, eph + 2);
    if (next == std::string::npos || next > eoc) next = eoc;
    headers.insert(headers.end(), s.begin() + (long)p + 6, s.begin() + (long)eph + 2);
    bodies.insert(bodies.end(), s.begin() + (long)eph + 2, s.begin() + (long)next);
    p = next;
  }
  // Two PPT segments, given out of Z order.
  size_t half = headers.size() / 2;
  auto ppt = [&](int z, size_t from, size_t to) {
    byte_builder b;
    b.u16(0xFF61).u16((unsigned)(to - from + 3)).u8((unsigned)z);
    b.bytes.insert(b.bytes.end(), headers.begin() + (long)from, headers.begin() + (long)to);
    return b.bytes;
  };
  std::vector<uint8_t> out(s.begin(), s.begin() + (long)sod);
  auto second = ppt(1, half, headers.size()), first = ppt(0, 0, half);
  out.insert(out.end(), second.begin(), second.end());
  out.insert(out.end(), first.begin(), first.end());
  out.push_back(0xFF);
  out.push_back(0x93);
  out.insert(out.end(), bodies.begin(), bodies.end());
  out.push_back(0xFF);
  out.push_back(0xD9);
  // Fix Psot and drop the SOP flag (packets now start with their bodies).
  uint32_t psot = (uint32_t)(out.size() - 2 - sot);
  out[sot + 6] = (uint8_t)(psot >> 24);
  out[sot + 7] = (uint8_t)(psot >> 16);
  out[sot + 8] = (uint8_t)(psot >> 8);
  out[sot + 9] = (uint8_t)psot;
  size_t cod = find_marker(out, 0x52);
  out[cod + 4] &= (uint8_t)~2;
  decoded_stream d, ref;
  ASSERT_EQ(decode(s, ref), "");
  ASSERT_EQ(decode(out, d), "");
  EXPECT_EQ(d.packets, d.expected_packets);
  EXPECT_EQ(d.coded_blocks, ref.coded_blocks);

  // The same headers in a PPM segment of the main header, with Nppm straddling two segments.
  std::vector<uint8_t> main_hdr(s.begin(), s.begin() + (long)sot);
  byte_builder ppm_a, ppm_b;
  ppm_a.u16(0xFF60).u16(3 + 2).u8(0).u8(0).u8(0);
  uint32_t n = (uint32_t)headers.size();
  ppm_b.u16(0xFF60).u16((unsigned)(3 + 2 + headers.size())).u8(1).u8((n >> 8) & 0xFF).u8(n & 0xFF);
  ppm_b.bytes.insert(ppm_b.bytes.end(), headers.begin(), headers.end());
  std::vector<uint8_t> straddle = main_hdr;
  straddle.insert(straddle.end(), ppm_a.bytes.begin(), ppm_a.bytes.end());
  straddle.insert(straddle.end(), ppm_b.bytes.begin(), ppm_b.bytes.end());
  std::vector<uint8_t> tile_part(out.begin() + (long)sot, out.end());
  size_t tp_sod = find_marker(tile_part, 0x93, 12);
  std::vector<uint8_t> bare(tile_part.begin(), tile_part.begin() + 12);
  bare.insert(bare.end(), tile_part.begin() + (long)tp_sod, tile_part.end());
  uint32_t bare_psot = (uint32_t)(bare.size() - 2);
  bare[6] = (uint8_t)(bare_psot >> 24);
  bare[7] = (uint8_t)(bare_psot >> 16);
  bare[8] = (uint8_t)(bare_psot >> 8);
  bare[9] = (uint8_t)bare_psot;
  straddle.insert(straddle.end(), bare.begin(), bare.end());
  size_t cod2 = find_marker(straddle, 0x52);
  straddle[cod2 + 4] &= (uint8_t)~2;
  decoded_stream d2;
  EXPECT_NE(decode(straddle, d2).find("4-byte Nppm values may not straddle"), std::string::npos);

  // A well-formed PPM: one segment with Nppm and all headers.
  std::vector<uint8_t> ppm_stream = main_hdr;
  byte_builder ppm;
  ppm.u16(0xFF60).u16((unsigned)(3 + 4 + headers.size())).u8(0).u32(n);
  ppm.bytes.insert(ppm.bytes.end(), headers.begin(), headers.end());
  ppm_stream.insert(ppm_stream.end(), ppm.bytes.begin(), ppm.bytes.end());
  ppm_stream.insert(ppm_stream.end(), bare.begin(), bare.end());
  size_t cod3 = find_marker(ppm_stream, 0x52);
  ppm_stream[cod3 + 4] &= (uint8_t)~2;
  decoded_stream d3;
  EXPECT_EQ(decode(ppm_stream, d3), "");
  EXPECT_EQ(d3.packets, d3.expected_packets);
  EXPECT_EQ(d3.coded_blocks, ref.coded_blocks);
}

TEST(Packets, InterleavedTilePartsAndRedundantSegments) {
  auto s = opj_encode("-n 1 -mct 0 -t 16,16 -TP C", 33, 17, 3);
  REQUIRE_OPJ(s);
  // Collect the tile-parts and reorder them T0P0, T1P0, ..., T0P1, T1P1, ...
  size_t first_sot = find_marker(s, 0x90);
  std::vector<std::vector<uint8_t>> parts;
  size_t p = first_sot;
  while (p + 12 <= s.size() && s[p] == 0xFF && s[p + 1] == 0x90) {
    uint32_t psot = ((uint32_t)s[p + 6] << 24) | (s[p + 7] << 16) | (s[p + 8] << 8) | s[p + 9];
    parts.emplace_back(s.begin() + (long)p, s.begin() + (long)(p + psot));
    p += psot;
  }
  ASSERT_GT(parts.size(), 6u);
  std::stable_sort(parts.begin(), parts.end(), [](const std::vector<uint8_t> &a, const std::vector<uint8_t> &b) {
    return a[10] < b[10];  // by TPsot, keeping tile order inside
  });
  std::vector<uint8_t> out(s.begin(), s.begin() + (long)first_sot);
  // Redundant main-header segments: a comment, an unknown marker, a CRG.
  byte_builder extra;
  extra.u16(0xFF64).u16(6).u16(1).u8('h').u8('i');
  extra.u16(0xFF70).u16(4).u16(0);
  extra.u16(0xFF63).u16(2 + 12).u32(0).u32(0).u32(0);
  out.insert(out.end(), extra.bytes.begin(), extra.bytes.end());
  for (auto &part : parts) out.insert(out.end(), part.begin(), part.end());
  out.push_back(0xFF);
  out.push_back(0xD9);
  decoded_stream d;
  ASSERT_EQ(decode(out, d), "");
  EXPECT_EQ(d.packets, d.expected_packets);
  for (int c = 0; c < 3; c++)
    for (int y = 0; y < d.height; y++)
      for (int x = 0; x < d.width; x++)
        ASSERT_EQ(d.samples[(size_t)c][(size_t)(y * d.width + x)],
                  ((x * 7 + y * 3 + c * 50 + ((x * y) % 13)) & 255) - 128);

  // A missing tile-part (TPsot out of sequence) is an error.
  std::vector<uint8_t> gap(s.begin(), s.begin() + (long)first_sot);
  for (size_t i = 0; i < parts.size(); i++)
    if (!(parts[i][10] == 1 && be16(parts[i], 4) == 0)) gap.insert(gap.end(), parts[i].begin(), parts[i].end());
  gap.push_back(0xFF);
  gap.push_back(0xD9);
  decoded_stream g;
  EXPECT_EQ(decode(gap, g), "Missing or out-of-sequence tile-parts for tile number 0 in code-stream!");
}

TEST(Packets, TileSetUpRefusesImpossibleGeometry) {
  auto s = opj_encode("-n 2", 16, 16, 1);
  REQUIRE_OPJ(s);
  size_t cod = find_marker(s, 0x52);
  ASSERT_NE(cod, std::string::npos);
  struct {
    size_t at;
    uint8_t value;
    const char *expect;
  } cases[] = {
      {cod + 9, 33, "Illegal number of DWT levels"},
      {cod + 10, 9, "Illegal code-block dimensions"},
      {cod + 11, 9, "Illegal code-block dimensions"},
      {cod + 10, 5, "Illegal code-block dimensions"},  // 128 x 64 exceeds 4096 samples
  };
  for (auto &c : cases) {
    auto bad = s;
    bad[c.at] = c.value;
    decoded_stream d;
    EXPECT_NE(decode(bad, d).find(c.expect), std::string::npos) << c.expect;
  }
  // A QCD with fewer ranges than the levels need.
  size_t qcd = find_marker(s, 0x5C);
  int len = be16(s, qcd + 2);
  auto short_qcd = s;
  short_qcd.erase(short_qcd.begin() + (long)(qcd + 2 + len - 1));
  short_qcd[qcd + 3] = (uint8_t)(len - 1);
  decoded_stream d;
  EXPECT_NE(decode(short_qcd, d).find("Quantization parameters are missing"), std::string::npos);
}

TEST(Packets, TruncatedAndCorruptStreamsFailCleanly) {
  auto s = opj_encode("-n 3 -r 20,5 -SOP -EPH -M 63", 37, 23, 3);
  REQUIRE_OPJ(s);
  for (size_t n = 0; n < s.size(); n += 7) {
    std::vector<uint8_t> cut(s.begin(), s.begin() + (long)n);
    decoded_stream d;
    decode(cut, d);
  }
  uint32_t seed = 99;
  auto t = opj_encode("-n 3 -t 16,16 -r 20,5 -p RPCL", 37, 23, 3);
  for (const auto &base : {s, t}) {
    for (int round = 0; round < 150; round++) {
      auto bad = base;
      for (int k = 0; k < 4; k++) {
        seed = seed * 1103515245u + 12345u;
        bad[(seed >> 8) % bad.size()] ^= (uint8_t)(1u << ((seed >> 4) & 7));
      }
      decoded_stream d;
      decode(bad, d);
    }
  }
}

TEST(Packets, ResilientReadingRecoversAtTheNextSop) {
  auto s = opj_encode("-n 3 -r 20,10,5 -SOP", 37, 23, 3);
  REQUIRE_OPJ(s);
  decoded_stream ref;
  ASSERT_EQ(decode(s, ref), "");
  // Damage the header of one packet in the middle of the stream.
  size_t sop = 0;
  int seen = 0;
  for (size_t i = find_marker(s, 0x93); i + 1 < s.size(); i++)
    if (s[i] == 0xFF && s[i + 1] == 0x91 && ++seen == 20) {
      sop = i;
      break;
    }
  ASSERT_GT(sop, 0u);
  auto bad = s;
  for (size_t k = sop + 6; k < sop + 10 && k < bad.size(); k++) bad[k] ^= 0xA5;
  bad[sop + 4] ^= 0x01;  // an out-of-sequence number as well
  decoded_stream d;
  EXPECT_EQ(error_text([&] { decode_all_blocks(bad, d, true); }), "");
  EXPECT_EQ(d.packets, d.expected_packets);
  EXPECT_GT(d.coded_blocks, 0);

  // Random damage in resilient mode never leaves the buffers either.
  uint32_t seed = 5;
  for (int round = 0; round < 100; round++) {
    auto worse = s;
    for (int k = 0; k < 6; k++) {
      seed = seed * 1103515245u + 12345u;
      worse[(seed >> 8) % worse.size()] ^= (uint8_t)(1u << ((seed >> 4) & 7));
    }
    decoded_stream e;
    error_text([&] { decode_all_blocks(worse, e, true); });
  }
}

// A tile-part POC whose records leave packets out: those packets stay unread.
TEST(Packets, PocRecordsThatLeavePacketsOut) {
  auto s = opj_encode("-n 3 -r 20,5 -POC T1=0,0,2,3,3,LRCP", 37, 23, 3);
  REQUIRE_OPJ(s);
  size_t poc = find_marker(s, 0x5F, find_marker(s, 0x90));
  ASSERT_NE(poc, std::string::npos);
  ASSERT_EQ(be16(s, poc + 2), 9);
  decoded_stream all;
  ASSERT_EQ(decode(s, all), "");
  EXPECT_EQ(all.packets, all.expected_packets);
  // LYEpoc 1: the packets of layer 0 only.
  auto layer0 = s;
  layer0[poc + 7] = 1;
  decoded_stream a;
  ASSERT_EQ(decode(layer0, a), "");
  EXPECT_EQ(a.packets * 2, a.expected_packets);
  // REpoc 1: resolution 0 of each component in both layers.
  auto res0 = s;
  res0[poc + 8] = 1;
  decoded_stream b;
  ASSERT_EQ(decode(res0, b), "");
  EXPECT_EQ(b.packets, 6);
  // CSpoc 1: components 1 and 2 only.
  auto comps = s;
  comps[poc + 5] = 1;
  decoded_stream c;
  ASSERT_EQ(decode(comps, c), "");
  EXPECT_EQ(c.packets * 3, c.expected_packets * 2);
}

// The packets of a tile whose tile-part POC is read before the tile's first packet, also when
// the tile is made while another tile's packets are being read (tile-parts interleaved).
TEST(Packets, TilePartPocSetsTheFirstProgression) {
  auto s = opj_encode("-n 3 -t 16,16 -SOP -POC T1=0,0,1,2,3,CPRL/T1=2,0,1,3,3,RLCP/T2=0,0,1,2,3,CPRL/T2=2,0,1,3,3,RLCP",
                      32, 16, 3);
  REQUIRE_OPJ(s);
  // Lossless: tile 0's coefficients are those of the same picture without progression changes.
  auto plain = opj_encode("-n 3 -t 16,16", 32, 16, 3);
  decoded_stream want;
  ASSERT_EQ(decode(plain, want), "");
  ASSERT_FALSE(want.bands.empty());
  decoded_stream d;
  ASSERT_EQ(decode(s, d), "");  // SOP sequence numbers follow the packets read
  EXPECT_EQ(d.packets, d.expected_packets);
  ASSERT_EQ(d.bands.size(), want.bands.size());
  for (auto &band : want.bands) EXPECT_EQ(d.bands[band.first].second, band.second.second);
  // Interleave: tile 0 part 0, tile 1 part 0, tile 0 part 1, tile 1 part 1.
  std::vector<std::vector<uint8_t>> parts;
  size_t first = find_marker(s, 0x90);
  for (size_t p = first; p + 12 <= s.size() && s[p] == 0xFF && s[p + 1] == 0x90;) {
    size_t psot = (size_t)be16(s, p + 6) << 16 | (size_t)be16(s, p + 8);
    parts.emplace_back(s.begin() + (long)p, s.begin() + (long)(p + psot));
    p += psot;
  }
  ASSERT_EQ(parts.size(), 4u);
  std::vector<uint8_t> mixed(s.begin(), s.begin() + (long)first);
  for (int k : {0, 2, 1, 3}) mixed.insert(mixed.end(), parts[(size_t)k].begin(), parts[(size_t)k].end());
  mixed.push_back(0xFF);
  mixed.push_back(0xD9);
  decoded_stream e;
  ASSERT_EQ(decode(mixed, e), "");
  EXPECT_EQ(e.packets, e.expected_packets);
  ASSERT_EQ(e.bands.size(), want.bands.size());
  for (auto &band : want.bands) EXPECT_EQ(e.bands[band.first].second, band.second.second);
}
