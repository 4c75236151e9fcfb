#include <gtest/gtest.h>

#include "cod_params.h"
#include "codestream_support.h"

namespace {

// Packet-header bits with the bit stuffing of the format: after 0xFF only 7 bits follow.  The
// last byte is padded with 0 bits, or with 1 bits as some encoders do.
struct bit_writer {
  std::vector<uint8_t> bytes;
  int byte = 0, room = 8, used = 0;
  bool pad_ones = false;
  void bit(int b) {
    byte = (byte << 1) | (b & 1);
    used++;
    if (--room == 0) flush();
  }
  void bits(uint32_t v, int n) {
    while (n-- > 0) bit((int)((v >> n) & 1));
  }
  void ones(int n) {
    while (n-- > 0) bit(1);
  }
  void flush() {
    bytes.push_back((uint8_t)byte);
    room = (byte == 0xFF) ? 7 : 8;
    byte = 0;
    used = 0;
  }
  std::vector<uint8_t> finish() {
    int padding = pad_ones ? 0x7F : 0;
    if (used > 0) {
      byte = (byte << room) | (padding >> (7 - room));
      flush();
    }
    // A header never ends in 0xFF: the byte with the stuffed zero bit follows.
    if (!bytes.empty() && bytes.back() == 0xFF) bytes.push_back((uint8_t)padding);
    return bytes;
  }
};

// A one-component 4 x 4 stream without DWT levels, one 4 x 4 code-block.
std::vector<uint8_t> stream(const std::vector<uint8_t> &packets, int layers = 1, int scod = 0, uint32_t width = 4,
                            uint32_t height = 4, uint32_t tile_w = 4, uint32_t tile_h = 4) {
  byte_builder b;
  b.u16(0xFF4F);
  b.u16(0xFF51).u16(41).u16(0).u32(width).u32(height).u32(0).u32(0).u32(tile_w).u32(tile_h).u32(0).u32(0).u16(1);
  b.u8(7).u8(1).u8(1);
  b.u16(0xFF52).u16(12).u8((unsigned)scod).u8(0).u16((unsigned)layers).u8(0).u8(0).u8(0).u8(0).u8(0).u8(1);
  b.u16(0xFF5C).u16(4).u8(0x40).u8(9 << 3);
  b.u16(0xFF90).u16(10).u16(0).u32((uint32_t)(12 + 2 + packets.size())).u8(0).u8(1);
  b.u16(0xFF93);
  b.append(packets);
  b.u16(0xFFD9);
  return b.bytes;
}

// The stream of `stream` (by default with one empty packet) and extra segments at the end of its
// main header and in its tile-part header.
std::vector<uint8_t> stream_with_segments(const std::vector<uint8_t> &main_segments,
                                          const std::vector<uint8_t> &tile_segments,
                                          const std::vector<uint8_t> &packets = {0x00}, int layers = 1, int scod = 0) {
  std::vector<uint8_t> s = stream(packets, layers, scod);
  size_t sot = 0;
  while (!(s[sot] == 0xFF && s[sot + 1] == 0x90)) sot++;
  uint32_t psot = (uint32_t)(12 + tile_segments.size() + 2 + packets.size());
  for (int i = 0; i < 4; i++) s[sot + 6 + (size_t)i] = (uint8_t)(psot >> (24 - 8 * i));
  s.insert(s.begin() + (long)sot + 12, tile_segments.begin(), tile_segments.end());
  s.insert(s.begin() + (long)sot, main_segments.begin(), main_segments.end());
  return s;
}

std::string decode(const std::vector<uint8_t> &s, decoded_stream &d) {
  return error_text([&] { decode_all_blocks(s, d); });
}

// One packet (one layer) of a handmade stream.
struct packet_bytes {
  std::vector<uint8_t> header, body;
};

// Where the packet headers of a stream are: in the packets, or packed into a PPM segment of the
// main header or a PPT segment of the tile-part header.
enum class headers_in { packets, ppm, ppt };

// A stream of `stream` with one packet per layer; with SOP in use (scod & 2) each packet starts
// with SOP, with EPH in use (scod & 4) each header ends with EPH.
std::vector<uint8_t> stream_of(const std::vector<packet_bytes> &packets, headers_in where, int scod = 0) {
  std::vector<uint8_t> data, headers;
  for (size_t i = 0; i < packets.size(); i++) {
    if (scod & 2) data.insert(data.end(), {0xFF, 0x91, 0x00, 0x04, (uint8_t)(i >> 8), (uint8_t)i});
    std::vector<uint8_t> &h = (where == headers_in::packets) ? data : headers;
    h.insert(h.end(), packets[i].header.begin(), packets[i].header.end());
    if (scod & 4) h.insert(h.end(), {0xFF, 0x92});
    data.insert(data.end(), packets[i].body.begin(), packets[i].body.end());
  }
  int layers = (int)packets.size();
  if (where == headers_in::packets) return stream(data, layers, scod);
  byte_builder seg;
  if (where == headers_in::ppm)
    seg.u16(0xFF60).u16((unsigned)(3 + 4 + headers.size())).u8(0).u32((uint32_t)headers.size());
  else
    seg.u16(0xFF61).u16((unsigned)(3 + headers.size())).u8(0);
  seg.append(headers);
  if (where == headers_in::ppm) return stream_with_segments(seg.bytes, {}, data, layers, scod);
  return stream_with_segments({}, seg.bytes, data, layers, scod);
}

// Body bytes without 0xFF (so no marker codes), varied enough that a shift changes the picture.
std::vector<uint8_t> body_bytes(int count, uint32_t seed) {
  std::vector<uint8_t> out;
  for (int i = 0; i < count; i++) {
    seed = seed * 1103515245u + 12345u;
    out.push_back((uint8_t)((seed >> 16) & 0xFE));
  }
  return out;
}

// Header of a first inclusion in layer 0 with `passes` coded as given bits.
void first_inclusion(bit_writer &w) {
  w.bit(1);  // packet not empty
  w.bit(1);  // inclusion tree: included in layer 0
  w.bit(1);  // zero bit-planes: 0
}

// The packets of three two-layer streams whose headers include one that ends in 0xFF:
// case 0 and case 2 with padding bits in the 0xFF (1 bits when `pad_ones`), case 1 without.
// Case 0 includes the block again in the next layer; case 2 starts with an empty packet.
std::vector<packet_bytes> ff_packets(int row, bool pad_ones) {
  auto header = [&](const std::function<void(bit_writer &)> &bits) {
    bit_writer w;
    w.pad_ones = pad_ones;
    bits(w);
    return w.finish();
  };
  // The block again in the next layer: 2 passes, Lblock unchanged, 20 bytes.
  auto again = [&](int lblock) {
    return packet_bytes{header([&](bit_writer &w) {
                          w.bits(0x1C, 5);  // not empty, included, 2 passes, Lblock kept
                          w.bits(20, lblock + 1);
                        }),
                        body_bytes(20, 4)};
  };
  auto nineteen_passes = [](bit_writer &w) { w.bits(0x1ED, 9); };
  std::vector<packet_bytes> out;
  if (row == 0) {
    // Lblock 4, 127 bytes: the final 0xFF holds six length bits and two padding bits.
    out.push_back({header([&](bit_writer &w) {
                     first_inclusion(w);
                     nineteen_passes(w);
                     w.bits(0x2, 2);
                     w.bits(127, 8);
                   }),
                   body_bytes(127, 8)});
    out.push_back(again(4));
  } else if (row == 1) {
    // Lblock 5, 255 bytes: every bit of the final 0xFF is a length bit.
    out.push_back({header([&](bit_writer &w) {
                     first_inclusion(w);
                     nineteen_passes(w);
                     w.bits(0x6, 3);
                     w.bits(255, 9);
                   }),
                   body_bytes(255, 7)});
    out.push_back(again(5));
  } else {
    // An empty packet, then the first inclusion in layer 1 with Lblock 3 and 95 bytes: the
    // final 0xFF holds five length bits and three padding bits.
    out.push_back({header([](bit_writer &w) { w.bit(0); }), {}});
    out.push_back({header([&](bit_writer &w) {
                     w.bits(0x5, 3);  // not empty; inclusion value 1
                     w.bit(1);        // zero bit-planes 0
                     nineteen_passes(w);
                     w.bit(0);
                     w.bits(95, 7);
                   }),
                   body_bytes(95, 3)});
  }
  return out;
}

int warnings = 0;
void count_warning() { warnings++; }

}  // namespace

TEST(HandmadePackets, EmptyPacketAndOneCodedPass) {
  bit_writer w;
  w.bit(0);
  decoded_stream d;
  EXPECT_EQ(decode(stream(w.finish()), d), "");
  EXPECT_EQ(d.packets, 1);
  EXPECT_EQ(d.coded_blocks, 0);

  // With EPH in use the marker must still follow an empty header.
  std::vector<uint8_t> eph = {0x00, 0xFF, 0x92};
  decoded_stream e;
  EXPECT_EQ(decode(stream(eph, 1, 4), e), "");
  EXPECT_EQ(e.packets, 1);
  std::vector<uint8_t> no_eph = {0x00, 0x12, 0x34};
  decoded_stream f;
  EXPECT_EQ(decode(stream(no_eph, 1, 4), f),
            "Expected to find EPH marker following packet header. Found 0x1234 instead.");
}

TEST(HandmadePackets, UnreasonablyLargeHeadersAreRefused) {
  const std::string large =
      "Packet header contains a representation which is not strictly illegal, but unreasonably large";
  bit_writer lblock;
  first_inclusion(lblock);
  lblock.bit(0);    // one pass
  lblock.ones(40);  // Lblock 43: a 43-bit length field
  lblock.bit(0);
  lblock.bits(0, 32);
  decoded_stream a;
  EXPECT_EQ(decode(stream(lblock.finish()), a).find(large), 0u);

  bit_writer passes;
  for (int layer = 0; layer < 2; layer++) {
    if (layer == 0)
      first_inclusion(passes);
    else {
      passes.bit(1);
      passes.bit(1);  // included again
    }
    passes.bits(0xF, 4);
    passes.bits(0x1F, 5);
    passes.bits(0x7F, 7);  // 164 passes
    passes.bit(0);         // Lblock stays 3
    passes.bits(0, 3 + 7);
  }
  decoded_stream b;
  EXPECT_EQ(decode(stream(passes.finish(), 2), b).find(large), 0u);

  // 164 passes in one packet are fine.
  bit_writer ok;
  first_inclusion(ok);
  ok.bits(0xF, 4);
  ok.bits(0x1F, 5);
  ok.bits(0x7F, 7);
  ok.bit(0);
  ok.bits(0, 10);
  decoded_stream c;
  EXPECT_EQ(decode(stream(ok.finish()), c), "");
  EXPECT_EQ(c.packets, 1);

  // Bytes of one block beyond 65535 over three layers (each 32767-byte body present).
  std::vector<uint8_t> three;
  for (int layer = 0; layer < 3; layer++) {
    bit_writer h;
    if (layer == 0)
      first_inclusion(h);
    else {
      h.bit(1);
      h.bit(1);
    }
    h.bit(0);    // one pass
    h.ones(12);  // Lblock 15
    h.bit(0);
    h.bits(0x7FFF, 15);
    std::vector<uint8_t> hb = h.finish();
    three.insert(three.end(), hb.begin(), hb.end());
    if (layer < 2) three.insert(three.end(), 0x7FFF, 0);
  }
  decoded_stream e;
  EXPECT_EQ(decode(stream(three, 3), e).find(large), 0u);
}

TEST(HandmadePackets, InclusionTreeAndBodyChecks) {
  bit_writer w;
  w.bit(0);  // layer 0: empty packet
  w.finish();
  std::vector<uint8_t> bytes = w.bytes;
  bit_writer late;
  late.bit(1);
  late.bit(1);  // inclusion value 0 found in layer 1: illegal
  late.bit(1);
  late.bit(0);
  late.bit(0);
  late.bits(0, 3);
  std::vector<uint8_t> second = late.finish();
  bytes.insert(bytes.end(), second.begin(), second.end());
  decoded_stream d;
  EXPECT_EQ(decode(stream(bytes, 2), d).find("Illegal inclusion tag tree encountered"), 0u);

  // First included in layer 1 after an empty packet: inclusion value 1.
  bit_writer good;
  good.bit(0);
  good.finish();
  std::vector<uint8_t> two = good.bytes;
  bit_writer g2;
  g2.bit(1);
  g2.bit(0);  // not yet known at layer 0
  g2.bit(1);  // value 1
  g2.bit(1);  // zero bit-planes 0
  g2.bit(0);  // one pass
  g2.bit(0);
  g2.bits(0, 3);
  std::vector<uint8_t> g2b = g2.finish();
  two.insert(two.end(), g2b.begin(), g2b.end());
  decoded_stream e;
  EXPECT_EQ(decode(stream(two, 2), e), "");
  EXPECT_EQ(e.packets, 2);

  bit_writer ff;
  first_inclusion(ff);
  ff.bit(0);
  ff.bit(0);
  ff.bits(1, 3);  // one body byte
  std::vector<uint8_t> body = ff.finish();
  body.push_back(0xFF);
  decoded_stream f;
  EXPECT_EQ(decode(stream(body), f), "Packet body terminated with an FF!");
}

// A header's last byte 0xFF is followed by one more byte, also when some bits of the 0xFF are
// padding: the next packet starts after it, in the packets and in PPM and PPT segments alike.
TEST(HandmadePackets, HeadersEndingInFFWithPaddingBits) {
  const char *place_names[] = {"in the packets", "in PPM", "in PPT"};
  for (int row = 0; row < 3; row++) {
    decoded_stream want;
    ASSERT_EQ(decode(stream_of(ff_packets(row, false), headers_in::packets), want), "") << row;
    ASSERT_EQ(want.packets, want.expected_packets) << row;
    ASSERT_EQ(want.coded_blocks, 1) << row;
    ASSERT_NE(want.samples[0], std::vector<int>(16, 0)) << row;  // a picture that a shift changes
    // The header that the case is about is there.
    bool ends_in_ff = false;
    for (const packet_bytes &p : ff_packets(row, true))
      ends_in_ff |= p.header.size() >= 2 && p.header[p.header.size() - 2] == 0xFF;
    ASSERT_TRUE(ends_in_ff) << row;
    for (headers_in where : {headers_in::packets, headers_in::ppm, headers_in::ppt})
      for (int scod : {0, 6})
        for (bool pad_ones : {false, true}) {
          decoded_stream d;
          std::string where_text = std::string(place_names[(int)where]) + (scod ? " with SOP and EPH" : "") +
                                   (pad_ones ? ", 1-padded" : ", 0-padded") + ", case " + std::to_string(row);
          EXPECT_EQ(decode(stream_of(ff_packets(row, pad_ones), where, scod), d), "") << where_text;
          EXPECT_EQ(d.packets, want.packets) << where_text;
          EXPECT_EQ(d.samples, want.samples) << where_text;
        }
  }
}

TEST(HandmadeMarkers, CorruptSotNonTerminalEocAndTileCounts) {
  warnings = 0;
  kdu_customize_warnings(nullptr, count_warning);
  // A bogus SOT whose "length" is the start of the real SOT.
  auto s = stream({0x00});
  size_t sot = 0;
  for (size_t i = 0; i + 1 < s.size(); i++)
    if (s[i] == 0xFF && s[i + 1] == 0x90) {
      sot = i;
      break;
    }
  auto bogus = s;
  bogus.insert(bogus.begin() + (long)sot, {0xFF, 0x90});
  decoded_stream d;
  EXPECT_EQ(decode(bogus, d), "");
  EXPECT_EQ(warnings, 1);
  EXPECT_EQ(d.packets, 1);

  // A main header that ends with EOC has no SOT.
  std::vector<uint8_t> head(s.begin(), s.begin() + (long)sot);
  head.push_back(0xFF);
  head.push_back(0xD9);
  decoded_stream e;
  EXPECT_EQ(decode(head, e), "Code-stream must contain at least one SOT marker!");
  // A non-terminal EOC is disregarded with a warning (here it ends the header scan).
  auto mid = s;
  mid.insert(mid.begin() + (long)sot, {0xFF, 0xD9});
  warnings = 0;
  decoded_stream f;
  EXPECT_EQ(decode(mid, f), "Code-stream must contain at least one SOT marker!");
  EXPECT_EQ(warnings, 1);
  kdu_customize_warnings(nullptr, nullptr);

  // Exactly 65535 tiles are accepted, 65536 refused.
  auto many = stream({0x00}, 1, 0, 65535, 1, 1, 1);
  memory_source src(many);
  kdu_codestream cs;
  EXPECT_EQ(error_text([&] { cs.start_input(&src); }), "");
  kd_region range;
  cs.get_tile_range(range);
  EXPECT_EQ(range.size_x, 65535);
  EXPECT_EQ(range.size_y, 1);
  cs.destroy();
  auto too_many = stream({0x00}, 1, 0, 65536, 1, 1, 1);
  memory_source src2(too_many);
  EXPECT_NE(error_text([&] { cs.start_input(&src2); }).find("Maximum number of allowable tiles is 65535"),
            std::string::npos);
  cs.destroy();

  auto one = stream({0x00}, 1, 0, 1, 1, 1, 1);
  memory_source src3(one);
  EXPECT_EQ(error_text([&] { cs.start_input(&src3); }), "");
  cs.get_tile_range(range);
  EXPECT_EQ(range.pos_x, 0);
  EXPECT_EQ(range.size_x, 1);
  EXPECT_EQ(range.size_y, 1);
  cs.destroy();
}

// Packed-header segments held by a header that then fails: the decode ends with the error and
// gives back what the header had stored (the sanitizer build checks for leaks).
TEST(HandmadeMarkers, PackedHeadersOfAFailingHeaderAreReleased) {
  const std::vector<uint8_t> ppt = {0xFF, 0x61, 0x00, 0x04, 0x00, 0x00};                          // Zppt 0, one byte
  const std::vector<uint8_t> ppm = {0xFF, 0x60, 0x00, 0x08, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00};  // Nppm 1
  const std::vector<uint8_t> short_cod = {0xFF, 0x52, 0x00, 0x03, 0x00};
  const std::vector<uint8_t> short_poc = {0xFF, 0x5F, 0x00, 0x04, 0x00, 0x00};
  const std::string same_z =
      "Found multiple PPM/PPT markers with identical Zppt/Zppm indices within the same header scope (main or "
      "tile-part header)!";
  const std::string too_short = "PPM/PPT marker segments must be at least 3 bytes long!";
  const std::string cod_small = "Malformed COD marker segment encountered. Marker segment is too small.";
  const std::string poc_small = "Malformed POC marker segment encountered. Marker segment is too small.";
  auto then = [](std::vector<uint8_t> first, const std::vector<uint8_t> &second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
  };
  struct Case {
    std::vector<uint8_t> main_segments, tile_segments;
    std::string error;
  } cases[] = {
      {{}, then(ppt, ppt), same_z},          {{}, then(ppt, {0xFF, 0x61, 0x00, 0x02}), too_short},
      {{}, then(ppt, short_cod), cod_small}, {{}, then(ppt, short_poc), poc_small},
      {then(ppm, ppm), {}, same_z},          {then(ppm, short_poc), {}, poc_small},
  };
  for (const Case &c : cases) {
    decoded_stream d;
    EXPECT_EQ(decode(stream_with_segments(c.main_segments, c.tile_segments), d), c.error);
  }
  // The same segments without the fault decode.
  decoded_stream d;
  EXPECT_EQ(decode(stream_with_segments({}, ppt), d), "");
  EXPECT_EQ(d.packets, 1);
  decoded_stream e;
  EXPECT_EQ(decode(stream_with_segments(ppm, {}), e), "");
  EXPECT_EQ(e.packets, 1);
}

// Codes 0xFF30 to 0xFF3F are markers without a segment, skipped in the main header and in
// tile-part headers; the codes next to them keep their segments.
TEST(HandmadeMarkers, ReservedMarkersWithoutSegmentsAreSkipped) {
  std::vector<uint8_t> data;
  for (const packet_bytes &p : ff_packets(0, false)) {
    data.insert(data.end(), p.header.begin(), p.header.end());
    data.insert(data.end(), p.body.begin(), p.body.end());
  }
  decoded_stream want;
  ASSERT_EQ(decode(stream(data, 2), want), "");
  ASSERT_EQ(want.packets, 2);
  const std::vector<uint8_t> com = {0xFF, 0x64, 0x00, 0x04, 0x00, 0x01};
  auto then = [](std::vector<uint8_t> first, const std::vector<uint8_t> &second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
  };
  struct Case {
    std::vector<uint8_t> main_segments, tile_segments;
  } cases[] = {
      {{0xFF, 0x30}, {}},
      {{0xFF, 0x3F}, {}},
      {{}, {0xFF, 0x30}},
      {{}, {0xFF, 0x3F}},
      {then({0xFF, 0x30, 0xFF, 0x3F}, com), then(then({0xFF, 0x3F}, com), {0xFF, 0x30})},
      {{0xFF, 0x2F, 0x00, 0x04, 0xFF, 0x30}, {0xFF, 0x40, 0x00, 0x04, 0xFF, 0x3F}},
  };
  for (const Case &c : cases) {
    decoded_stream d;
    EXPECT_EQ(decode(stream_with_segments(c.main_segments, c.tile_segments, data, 2), d), "");
    EXPECT_EQ(d.packets, want.packets);
    EXPECT_EQ(d.samples, want.samples);
  }
}

TEST(HandmadeMarkers, MarkerNames) {
  std::ostringstream out;
  write_marker_name(0xFF90, out);
  write_marker_name(0xFF70, out);
  out << 12;
  EXPECT_EQ(out.str(), "<SOT>0xff7012");
}

TEST(BlockDecoder, ZeroPassesAndMissingBitPlanesBeyondTheWord) {
  kd_working_block blk;
  blk.size = {5, 7};
  blk.byte_store.assign(16, 0x55);
  blk.num_bytes = 10;
  blk.pass_lengths.assign(40, 1);
  kd_block_decoder decoder;
  for (int missing : {30, 31, 74, 255}) {
    blk.missing_msbs = missing;
    blk.num_passes = 20;
    blk.sample_area.assign(4096, 123);
    decoder.decode_block(&blk);
    EXPECT_EQ(blk.num_passes, 0) << missing;
    for (int k = 0; k < 35; k++) ASSERT_EQ(blk.sample_area[(size_t)k], 0) << missing;
  }
  // The pass count is capped to what the bit-planes allow: 3 * (30 - 29) - 2 = 1.
  blk.missing_msbs = 29;
  blk.num_passes = 20;
  decoder.decode_block(&blk);
  EXPECT_EQ(blk.num_passes, 1);
  // Only bit-plane 1 is coded: magnitudes are 0 or 1.5 x 2 (bits 1 and 0).
  for (int k = 0; k < 35; k++) {
    int mag = blk.sample_area[(size_t)k] & 0x7FFFFFFF;
    EXPECT_TRUE(mag == 0 || mag == 3) << k << ": " << mag;
  }
}

TEST(BlockDecoder, DamagedSegmentationSymbols) {
  kd_working_block blk;
  auto fill = [&] {
    blk.size = {8, 8};
    blk.missing_msbs = 20;
    blk.num_passes = 10;
    blk.modes = Cmodes_SEGMARK;
    blk.byte_store.assign(64, 0);
    uint32_t seed = 7;
    for (int i = 1; i < 41; i++) {
      seed = seed * 1103515245u + 12345u;
      blk.byte_store[(size_t)i] = (uint8_t)((seed >> 16) & 0x7F);
    }
    blk.num_bytes = 40;
    blk.pass_lengths.assign(64, 0);
    blk.pass_lengths[0] = 40;
  };
  kd_block_decoder decoder;
  fill();
  blk.fussy = true;
  EXPECT_NE(error_text([&] { decoder.decode_block(&blk); }).find("invalid SEGMARK symbol"), std::string::npos);
  fill();
  blk.fussy = false;
  blk.resilient = true;
  EXPECT_EQ(error_text([&] { decoder.decode_block(&blk); }), "");
  EXPECT_LT(blk.num_passes, 10);
  fill();
  blk.resilient = false;  // neither: the symbols are not checked
  decoder.decode_block(&blk);
  EXPECT_EQ(blk.num_passes, 10);
}
