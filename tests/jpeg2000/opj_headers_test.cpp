#include <gtest/gtest.h>

#include "opj_streams.h"
#include "kdu_kernels.h"
#include "param_tree.h"

namespace {

struct header_walk {
  std::unique_ptr<siz_params> tree;
  int tiles = 0, comps = 0;
  int unaccepted = 0;  // segments that no object took (COM, TLM, PLT ...)
  int tile_parts = 0;
};

int be16(const std::vector<uint8_t> &s, size_t at) { return (s[at] << 8) | s[at + 1]; }
uint32_t be32(const std::vector<uint8_t> &s, size_t at) {
  return ((uint32_t)be16(s, at) << 16) | (uint32_t)be16(s, at + 2);
}

// Reads the main header and every tile-part header of a well-formed stream into a tree.
std::string walk(const std::vector<uint8_t> &s, header_walk &hw) {
  return error_text([&] {
    size_t p = 0;
    ASSERT_EQ(be16(s, p), 0xFF4F);
    p += 2;
    ASSERT_EQ(be16(s, p), 0xFF51);
    int len = be16(s, p + 2);
    hw.tree.reset(new siz_params);
    ASSERT_TRUE(hw.tree->route_segment(0xFF51, len - 2, &s[p + 4], -1, 0));
    hw.tree->finalize();
    p += 2 + (size_t)len;
    int ty, tx, sy, sx, oy, ox, toy, tox;
    hw.tree->get_value("Scomponents", 0, 0, hw.comps);
    hw.tree->get_value("Stiles", 0, 0, ty);
    hw.tree->get_value("Stiles", 0, 1, tx);
    hw.tree->get_value("Ssize", 0, 0, sy);
    hw.tree->get_value("Ssize", 0, 1, sx);
    hw.tree->get_value("Sorigin", 0, 0, oy);
    hw.tree->get_value("Sorigin", 0, 1, ox);
    hw.tree->get_value("Stile_origin", 0, 0, toy);
    hw.tree->get_value("Stile_origin", 0, 1, tox);
    hw.tiles = ((sy - toy + ty - 1) / ty) * ((sx - tox + tx - 1) / tx);
    make_tree(hw.tiles, hw.comps, hw.tree.get()).release();
    int tile = -1, tpart = 0;
    size_t tile_part_end = 0;
    while (p + 4 <= s.size()) {
      int code = be16(s, p);
      if (code == 0xFFD9) break;
      if (code == 0xFF93) {  // SOD: skip the tile-part body
        p = tile_part_end;
        continue;
      }
      len = be16(s, p + 2);
      if (code == 0xFF90) {
        tile = be16(s, p + 4);
        tpart = s[p + 10];
        tile_part_end = p + be32(s, p + 6);
        hw.tile_parts++;
      } else if (!hw.tree->route_segment((uint16_t)code, len - 2, &s[p + 4], tile, tpart))
        hw.unaccepted++;
      p += 2 + (size_t)len;
    }
  });
}

int get_int(kdu_params *p, const char *name, int rec = 0, int fld = 0) {
  int v = -999;
  p->get_value(name, rec, fld, v);
  return v;
}

}  // namespace

TEST(OpjHeaders, GeometryOfTiledStreamWithOffsets) {
  auto s = opj_encode("-n 3 -t 16,8 -d 3,5 -T 1,2", 33, 17, 3);
  REQUIRE_OPJ(s);
  header_walk hw;
  ASSERT_EQ(walk(s, hw), "");
  EXPECT_EQ(hw.comps, 3);
  kdu_params *siz = hw.tree.get();
  EXPECT_EQ(get_int(siz, "Sorigin", 0, 1), 3);
  EXPECT_EQ(get_int(siz, "Sorigin", 0, 0), 5);
  EXPECT_EQ(get_int(siz, "Ssize", 0, 1), 36);
  EXPECT_EQ(get_int(siz, "Ssize", 0, 0), 22);
  EXPECT_EQ(get_int(siz, "Stile_origin", 0, 1), 1);
  EXPECT_EQ(get_int(siz, "Stiles", 0, 1), 16);
  EXPECT_EQ(get_int(siz, "Sdims", 2, 1), 33);
  EXPECT_EQ(get_int(siz, "Sdims", 2, 0), 17);
  EXPECT_EQ(get_int(siz, "Sprecision", 1), 8);
  EXPECT_EQ(hw.tile_parts, hw.tiles);
  kdu_params *cod = object(siz, "COD", hw.tiles - 1, 2);
  EXPECT_EQ(get_int(cod, "Clevels"), 2);  // three resolutions
  bool b = false;
  cod->get_value("Creversible", 0, 0, b);
  EXPECT_TRUE(b);
  EXPECT_EQ(get_int(object(siz, "QCD", 0, 1), "Qabs_ranges", 9), get_int(siz->access_cluster("QCD"), "Qabs_ranges", 9));
  EXPECT_GE(hw.unaccepted, 1);  // the comment segment
}

TEST(OpjHeaders, CodingStyleOptionsArriveAsAttributes) {
  auto s = opj_encode("-n 4 -p RPCL -SOP -EPH -c [64,64],[32,32] -b 16,32 -M 63 -r 20,10,1 -I");
  REQUIRE_OPJ(s);
  header_walk hw;
  ASSERT_EQ(walk(s, hw), "");
  kdu_params *cod = object(hw.tree.get(), "COD", 0, 1);
  EXPECT_EQ(get_int(cod, "Corder"), Corder_RPCL);
  EXPECT_EQ(get_int(cod, "Clayers"), 3);
  EXPECT_EQ(get_int(cod, "Cmodes"), 63);
  EXPECT_EQ(get_int(cod, "Cblk", 0, 1), 16);
  EXPECT_EQ(get_int(cod, "Cblk", 0, 0), 32);
  EXPECT_EQ(get_int(cod, "Ckernels"), Ckernels_W9X7);
  EXPECT_EQ(get_int(cod, "Cprecincts", 0, 0), 64);
  EXPECT_EQ(get_int(cod, "Cprecincts", 1, 1), 32);
  EXPECT_EQ(get_int(cod, "Cprecincts", 2, 1), 16);  // the encoder halves the last record
  EXPECT_EQ(get_int(cod, "Cprecincts", 7, 1), 8);
  bool sop = false, eph = false, ycc = false;
  cod->get_value("Cuse_sop", 0, 0, sop);
  cod->get_value("Cuse_eph", 0, 0, eph);
  cod->get_value("Cycc", 0, 0, ycc);
  EXPECT_TRUE(sop && eph && ycc);
  float step = 0;
  ASSERT_TRUE(object(hw.tree.get(), "QCD", 0, 0)->get_value("Qabs_steps", 9, 0, step));
  EXPECT_GT(step, 0.0f);
  int steps = 0;
  float f;
  while (hw.tree->access_cluster("QCD")->get_value("Qabs_steps", steps, 0, f, false, false)) steps++;
  EXPECT_EQ(steps, 10);
}

TEST(OpjHeaders, RegionOfInterestAndProgressionChanges) {
  auto s = opj_encode("-n 3 -t 16,16 -ROI c=1,U=10 -POC T0=0,0,1,3,3,CPRL/T1=0,0,1,2,2,LRCP");
  REQUIRE_OPJ(s);
  header_walk hw;
  ASSERT_EQ(walk(s, hw), "");
  EXPECT_EQ(get_int(object(hw.tree.get(), "RGN", 0, 1), "Rshift"), 10);
  EXPECT_EQ(get_int(object(hw.tree.get(), "RGN", 0, 0), "Rshift"), -999);
  kdu_params *poc = hw.tree->access_cluster("POC");
  int records = 0;
  for (int t = -1; t < hw.tiles; t++)
    for (int i = 0; object(hw.tree.get(), "POC", t, -1, i) != nullptr; i++) {
      kdu_params *p = object(hw.tree.get(), "POC", t, -1, i);
      int v;
      for (int r = 0; p->get_value("Porder", r, 0, v, false, false); r++) records++;
    }
  EXPECT_GE(records, 1);
  EXPECT_NE(poc, nullptr);
}

TEST(OpjHeaders, ManyLevelsAndOneComponent) {
  auto s = opj_encode("-n 6", 64, 40, 1);
  REQUIRE_OPJ(s);
  header_walk hw;
  ASSERT_EQ(walk(s, hw), "");
  EXPECT_EQ(hw.comps, 1);
  EXPECT_EQ(get_int(object(hw.tree.get(), "COD", 0, 0), "Clevels"), 5);  // six resolutions
  std::ostringstream out;
  hw.tree->print_attributes(out, -1, -1, false);
  EXPECT_NE(out.str().find("Ssize={40,64}\n"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("Clevels="), std::string::npos);
}
