#include <gtest/gtest.h>

#include "codestream_support.h"
#include <cmath>

#include "opj_streams.h"

namespace {

// The test picture of opj_streams.h, one component's samples level-shifted to signed.
int picture_sample(int x, int y, int c) { return ((x * 7 + y * 3 + c * 50 + ((x * y) % 13)) & 255) - 128; }

void expect_picture(const decoded_stream &d, int comps) {
  for (int c = 0; c < comps; c++) {
    int mismatches = 0;
    for (int y = 0; y < d.height; y++)
      for (int x = 0; x < d.width; x++)
        if (d.samples[(size_t)c][(size_t)(y * d.width + x)] != picture_sample(x, y, c)) mismatches++;
    EXPECT_EQ(mismatches, 0) << "component " << c;
  }
}

}  // namespace

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
  EXPECT_EQ(r.size_x, 3);  // columns 1..16, 17..32, 33..48 cover 3..35
  EXPECT_EQ(r.size_y, 3);  // rows 2..9, 10..17, 18..25 cover 5..21
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
      {"-n 1 -ROI c=0,U=10", 1},
      {"-n 1 -GuardBits 7 -M 5", 1},
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

namespace {

// Reference reversible 5/3 analysis on absolute coordinates [i0, i1): even positions become
// low-band samples, odd positions high-band samples.
void analyse_53(std::vector<int> &x, int i0, int i1) {
  int n = i1 - i0;
  if (n == 1) {
    if (i0 & 1) x[0] *= 2;
    return;
  }
  auto at = [&](std::vector<int> &v, int i) -> int & {
    // Whole-sample symmetric extension.
    while (i < i0 || i >= i1) i = (i < i0) ? 2 * i0 - i : 2 * (i1 - 1) - i;
    return v[(size_t)(i - i0)];
  };
  for (int i = i0; i < i1; i++)
    if (i & 1) at(x, i) -= (int)std::floor((at(x, i - 1) + at(x, i + 1)) / 2.0);
  for (int i = i0; i < i1; i++)
    if (!(i & 1)) at(x, i) += (int)std::floor((at(x, i - 1) + at(x, i + 1) + 2) / 4.0);
}

}  // namespace

TEST(CodeBlocks, LosslessWaveletBandsMatchAReferenceAnalysis) {
  struct {
    const char *options;
    int x0, y0, levels;
  } cases[] = {
      {"-n 3 -mct 0", 0, 0, 2},
      {"-n 4 -mct 0 -d 3,5 -b 8,8", 3, 5, 3},
      {"-n 3 -mct 0 -d 1,2 -c [16,16],[8,8] -p RPCL -M 63", 1, 2, 2},
      {"-n 4 -mct 0 -M 8 -b 4,8", 0, 0, 3},
      {"-n 3 -mct 0 -M 3 -r 30,8,1 -p LRCP", 0, 0, 2},
      {"-n 2 -mct 0 -M 20 -d 7,0 -SOP", 7, 0, 1},
  };
  for (auto &c : cases) {
    auto s = opj_encode(c.options, 37, 23, 1);
    REQUIRE_OPJ(s);
    decoded_stream d;
    ASSERT_EQ(error_text([&] { decode_all_blocks(s, d); }), "") << c.options;
    // Analyse the picture level by level: columns, then rows, then recurse on the low band.
    int u0 = c.x0, u1 = c.x0 + 37, v0 = c.y0, v1 = c.y0 + 23;
    std::vector<std::vector<int>> img(23, std::vector<int>(37));
    for (int y = 0; y < 23; y++)
      for (int x = 0; x < 37; x++) img[(size_t)y][(size_t)x] = picture_sample(x, y, 0);
    int mismatches = 0, checked = 0;
    for (int level = 1; level <= c.levels; level++) {
      int w = u1 - u0, h = v1 - v0;
      for (int x = 0; x < w; x++) {
        std::vector<int> col((size_t)h);
        for (int y = 0; y < h; y++) col[(size_t)y] = img[(size_t)y][(size_t)x];
        analyse_53(col, v0, v1);
        for (int y = 0; y < h; y++) img[(size_t)y][(size_t)x] = col[(size_t)y];
      }
      for (int y = 0; y < h; y++) analyse_53(img[(size_t)y], u0, u1);
      int res = c.levels - level + 1;
      for (int band = 1; band <= 3; band++) {
        int ox = (band == 1 || band == 3) ? 1 : 0, oy = (band == 2 || band == 3) ? 1 : 0;
        auto it = d.bands.find(std::make_tuple(0, res, band));
        ASSERT_NE(it, d.bands.end());
        const kd_region &r = it->second.first;
        for (int y = 0; y < r.size_y; y++)
          for (int x = 0; x < r.size_x; x++) {
            int ay = 2 * (r.pos_y + y) + oy, ax = 2 * (r.pos_x + x) + ox;
            int expect = img[(size_t)(ay - v0)][(size_t)(ax - u0)];
            mismatches += (it->second.second[(size_t)(y * r.size_x + x)] != expect);
            checked++;
          }
      }
      // Keep the low band for the next level.
      int nu0 = (u0 + 1) / 2, nu1 = (u1 + 1) / 2, nv0 = (v0 + 1) / 2, nv1 = (v1 + 1) / 2;
      std::vector<std::vector<int>> low((size_t)(nv1 - nv0), std::vector<int>((size_t)(nu1 - nu0)));
      for (int y = nv0; y < nv1; y++)
        for (int x = nu0; x < nu1; x++)
          low[(size_t)(y - nv0)][(size_t)(x - nu0)] = img[(size_t)(2 * y - v0)][(size_t)(2 * x - u0)];
      img = low;
      u0 = nu0;
      u1 = nu1;
      v0 = nv0;
      v1 = nv1;
    }
    auto ll = d.bands.find(std::make_tuple(0, 0, 0));
    ASSERT_NE(ll, d.bands.end());
    for (int y = 0; y < v1 - v0; y++)
      for (int x = 0; x < u1 - u0; x++) {
        mismatches += (ll->second.second[(size_t)(y * (u1 - u0) + x)] != img[(size_t)y][(size_t)x]);
        checked++;
      }
    EXPECT_EQ(mismatches, 0) << c.options;
    EXPECT_EQ(checked, 37 * 23) << c.options;
  }
}

TEST(CodestreamSubSampling, ComponentRegionsAndSpatialOrders) {
  std::vector<uint8_t> planes;
  for (int i = 0; i < 33 * 24 + 2 * 17 * 12; i++) planes.push_back((uint8_t)(i * 7));
  for (const char *order : {"RPCL", "PCRL", "CPRL", "LRCP"}) {
    auto s = opj_encode_raw("33,24,3,8,u@1x1:2x2:2x2", planes, std::string("-n 3 -d 1,1 -r 20,5 -p ") + order);
    REQUIRE_OPJ(s);
    memory_source src(s);
    kdu_codestream cs;
    ASSERT_EQ(error_text([&] { cs.start_input(&src); }), "");
    kd_region r;
    cs.get_component_region(1, r);
    EXPECT_EQ(r.pos_x, 1);                  // ceiling(1 / 2)
    EXPECT_EQ(r.size_x, (34 + 1) / 2 - 1);  // ceiling(34 / 2) - ceiling(1 / 2)
    EXPECT_EQ(r.pos_y, 1);
    EXPECT_EQ(r.size_y, 13 - 1);
    cs.destroy();
    decoded_stream d;
    EXPECT_EQ(error_text([&] { decode_all_blocks(s, d); }), "") << order;
    EXPECT_EQ(d.packets, d.expected_packets) << order;
  }

  std::vector<uint8_t> thirds;
  for (int i = 0; i < 30 * 24 + 2 * 10 * 8; i++) thirds.push_back((uint8_t)(i * 5));
  auto rpcl = opj_encode_raw("30,24,3,8,u@1x1:3x3:3x3", thirds, "-n 2 -p RPCL");
  REQUIRE_OPJ(rpcl);
  decoded_stream d;
  EXPECT_EQ(
      error_text([&] { decode_all_blocks(rpcl, d); }).find("Attempting to use a spatially progressive packet sequence"),
      0u);
  auto cprl = opj_encode_raw("30,24,3,8,u@1x1:3x3:3x3", thirds, "-n 2 -p CPRL");
  decoded_stream e;
  EXPECT_EQ(error_text([&] { decode_all_blocks(cprl, e); }), "");
  EXPECT_EQ(e.packets, e.expected_packets);
}

TEST(CodestreamRestrictions, OnlyBeforeTheFirstTileAccess) {
  auto s = opj_encode("-n 2", 16, 16, 3);
  REQUIRE_OPJ(s);
  memory_source src(s);
  kdu_codestream cs;
  ASSERT_EQ(error_text([&] { cs.start_input(&src); }), "");
  cs.apply_input_restrictions(0, 1);
  EXPECT_EQ(cs.get_num_components(), 1);
  cs.apply_input_restrictions(0, 0);
  EXPECT_EQ(cs.get_num_components(), 3);
  kdu_tile_handle tile;
  ASSERT_EQ(error_text([&] { tile = cs.acquire_tile({0, 0}); }), "");
  EXPECT_EQ(error_text([&] { cs.apply_input_restrictions(0, 1); }),
            "You may apply restrictions to the resolution or number of image components only after "
            "closing all open tiles.");
  EXPECT_EQ(error_text([&] { cs.acquire_tile({0, 0}); }), "You must close a tile before you can re-open it.");
  tile.close();
  EXPECT_NE(error_text([&] { cs.apply_input_restrictions(0, 1); }).find("after the first tile access"),
            std::string::npos);
  EXPECT_EQ(error_text([&] {
              cs.acquire_tile({0, 0});
            }),
            "Attempting to access a tile which has already been discarded or closed!");
  cs.destroy();
}
