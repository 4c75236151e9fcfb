#include <gtest/gtest.h>

#include "codestream_support.h"
#include "opj_streams.h"

namespace {

// The test picture of opj_streams.h, one component's samples level-shifted to signed.
int picture_sample(int x, int y, int c) { return ((x * 7 + y * 3 + c * 50 + ((x * y) % 13)) & 255) - 128; }

void expect_picture(const decoded_stream &d, int comps) {
  for (int c = 0; c < comps; c++) {
    int mismatches = 0;
    for (int y = 0; y < d.height; y++)
      for (int x = 0; x < d.width; x++)
        if (d.samples[(size_t)c][(size_t)(y * d.width + x)] != picture_sample(x, y, c))
          mismatches++;
    EXPECT_EQ(mismatches, 0) << "component " << c;
  }
}

} // namespace

TEST(CodestreamMainHeader, GeometryAndTileRange) {
  auto s = opj_encode("-n 3 -t 16,8 -d 3,5 -T 1,2", 33, 17, 3);
  REQUIRE_OPJ(s);
  memory_source src(s);
  kdu_codestream cs;
  ASSERT_EQ(error_text([&] { cs.start_input(&src); }), "");
  kd_region r;
  cs.get_component_region(0, r);
  EXPECT_EQ(r.pos_x, 3);
  EXPECT_EQ(r.pos_y, 5);
  EXPECT_EQ(r.size_x, 33);
  EXPECT_EQ(r.size_y, 17);
  cs.get_tile_range(r);
  EXPECT_EQ(r.pos_x, 0);
  EXPECT_EQ(r.pos_y, 0);
  EXPECT_EQ(r.size_x, 3); // columns 1..16, 17..32, 33..48 cover 3..35
  EXPECT_EQ(r.size_y, 3); // rows 2..9, 10..17, 18..25 cover 5..21
  EXPECT_EQ(cs.get_bit_depth(1), 8);
  EXPECT_FALSE(cs.get_signed(1));
  cs.destroy();
}

TEST(CodestreamMainHeader, StartErrors) {
  std::vector<uint8_t> not_soc = {0xFF, 0x4E, 0xFF, 0x51};
  memory_source a(not_soc);
  kdu_codestream cs;
  EXPECT_EQ(error_text([&] { cs.start_input(&a); }), "Code-stream must start with an SOC marker!");
  cs.destroy();
  std::vector<uint8_t> no_siz = {0xFF, 0x4F, 0xFF, 0x52, 0x00, 0x02};
  memory_source b(no_siz);
  EXPECT_EQ(error_text([&] { cs.start_input(&b); }),
            "Code-stream must contain a valid SIZ marker segment, immediately after the SOC marker!");
  cs.destroy();
  auto s = opj_encode("-n 1", 8, 8, 1);
  REQUIRE_OPJ(s);
  // Cut just before the first SOT.
  size_t sot = 0;
  for (size_t i = 0; i + 1 < s.size(); i++)
    if (s[i] == 0xFF && s[i + 1] == 0x90) {
      sot = i;
      break;
    }
  std::vector<uint8_t> head(s.begin(), s.begin() + (long)sot);
  head.push_back(0xFF);
  head.push_back(0xD9);
  memory_source c(head);
  EXPECT_EQ(error_text([&] { cs.start_input(&c); }), "Code-stream must contain at least one SOT marker!");
  cs.destroy();
}

TEST(CodeBlocks, LosslessWithoutTransformGivesTheSamples) {
  struct {
    const char *options;
    int comps;
  } cases[] = {
      {"-n 1", 1},
      {"-n 1 -b 4,4", 1},
      {"-n 1 -b 16,32 -r 30,10,1", 1},
      {"-n 1 -M 1", 1},
      {"-n 1 -M 2", 1},
      {"-n 1 -M 4", 1},
      {"-n 1 -M 8", 1},
      {"-n 1 -M 16", 1},
      {"-n 1 -M 32", 1},
      {"-n 1 -M 63", 1},
      {"-n 1 -M 63 -b 8,8 -r 20,5,1", 1},
      {"-n 1 -mct 0 -t 16,8 -p RPCL -SOP -EPH", 3},
      {"-n 1 -mct 0 -p CPRL -c [16,16] -b 8,8", 3},
      {"-n 1 -mct 0 -p PCRL -d 3,5 -T 1,2 -t 16,16", 3},
  };
  for (auto &c : cases) {
    auto s = opj_encode(c.options, 33, 17, c.comps);
    REQUIRE_OPJ(s);
    decoded_stream d;
    ASSERT_EQ(error_text([&] { decode_all_blocks(s, d); }), "") << c.options;
    EXPECT_EQ(d.packets, d.expected_packets) << c.options;
    EXPECT_GT(d.coded_blocks, 0) << c.options;
    SCOPED_TRACE(c.options);
    expect_picture(d, c.comps);
  }
}
