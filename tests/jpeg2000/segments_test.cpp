#include <gtest/gtest.h>

#include <fstream>

#include "j2k_test_support.h"
#include "param_tree.h"

namespace {

// A SIZ body for `n` components of 8 bits with sampling 1, on a canvas w x h.
byte_builder siz_body(int n, uint32_t w = 64, uint32_t h = 32) {
  byte_builder b;
  b.u16(0).u32(w).u32(h).u32(0).u32(0).u32(w).u32(h).u32(0).u32(0).u16((unsigned)n);
  for (int c = 0; c < n; c++) b.u8(7).u8(1).u8(1);
  return b;
}

std::string read_siz(const byte_builder &b, siz_params &siz) {
  return error_text([&] { EXPECT_TRUE(siz.read_segment(0xFF51, b.size(), b.data(), 0)); });
}

}  // namespace

TEST(SizSegment, FieldsAndLengths) {
  siz_params siz;
  byte_builder b;
  b.u16(0).u32(1024).u32(768).u32(1).u32(2).u32(512).u32(256).u32(0).u32(0).u16(1);
  b.u8(0x87).u8(2).u8(1);
  ASSERT_EQ(b.size(), 39);
  EXPECT_EQ(read_siz(b, siz), "");
  int v;
  bool sgn;
  siz.get_value("Ssize", 0, 1, v);
  EXPECT_EQ(v, 1024);
  siz.get_value("Ssize", 0, 0, v);
  EXPECT_EQ(v, 768);
  siz.get_value("Sorigin", 0, 1, v);
  EXPECT_EQ(v, 1);
  siz.get_value("Sorigin", 0, 0, v);
  EXPECT_EQ(v, 2);
  siz.get_value("Stiles", 0, 1, v);
  EXPECT_EQ(v, 512);
  siz.get_value("Sprecision", 0, 0, v);
  EXPECT_EQ(v, 8);
  siz.get_value("Ssigned", 0, 0, sgn);
  EXPECT_TRUE(sgn);
  siz.get_value("Ssampling", 0, 1, v);
  EXPECT_EQ(v, 2);
  siz.get_value("Ssampling", 0, 0, v);
  EXPECT_EQ(v, 1);
  EXPECT_FALSE(siz.read_segment(0xFF52, b.size(), b.data(), 0));
  EXPECT_FALSE(siz.read_segment(0xFF51, b.size(), b.data(), 1));

  siz_params s38, s40, s2;
  byte_builder shorter = b;
  shorter.bytes.pop_back();
  EXPECT_EQ(read_siz(shorter, s38), "Malformed SIZ marker segment encountered. Marker segment is too small.");
  byte_builder longer = b;
  longer.u8(0);
  EXPECT_EQ(read_siz(longer, s40), "Malformed SIZ marker segment encountered. The final 1 bytes were not consumed!");
  byte_builder tiny;
  tiny.u8(0);
  EXPECT_EQ(read_siz(tiny, s2), "Malformed SIZ marker segment encountered. Marker segment is too small.");
}

TEST(SizSegment, CapabilitiesPrecisionAndLargeCoordinates) {
  for (unsigned rsiz : {0u, 1u, 2u}) {
    siz_params siz;
    byte_builder b = siz_body(1);
    b.bytes[1] = (uint8_t)rsiz;
    EXPECT_EQ(read_siz(b, siz), "") << rsiz;
  }
  for (unsigned rsiz : {3u, 0x8000u, 0x4000u}) {
    siz_params siz;
    byte_builder b = siz_body(1);
    b.bytes[0] = (uint8_t)(rsiz >> 8);
    b.bytes[1] = (uint8_t)rsiz;
    EXPECT_EQ(read_siz(b, siz), "Non-Part1 SIZ marker segment encountered!") << rsiz;
  }
  siz_params p38, p39;
  byte_builder b38 = siz_body(1), b39 = siz_body(1);
  b38.bytes[36] = 37;
  b39.bytes[36] = 0x7F;
  EXPECT_EQ(read_siz(b38, p38), "");
  EXPECT_NE(read_siz(b39, p39).find("bit-depths may not exceed 38"), std::string::npos);
  siz_params big;
  EXPECT_NE(read_siz(siz_body(1, 0x80000000u), big).find("2^31"), std::string::npos);
}

TEST(SizFinalize, DerivesComponentDimensions) {
  siz_params siz;
  byte_builder b;
  b.u16(0).u32(1024).u32(1024).u32(0).u32(0).u32(1024).u32(1024).u32(0).u32(0).u16(2);
  b.u8(7).u8(2).u8(2).u8(7).u8(1).u8(1);
  read_siz(b, siz);
  EXPECT_EQ(error_text([&] { siz.finalize(); }), "");
  int v;
  siz.get_value("Sdims", 0, 1, v);
  EXPECT_EQ(v, 512);
  siz.get_value("Sdims", 1, 1, v);
  EXPECT_EQ(v, 1024);

  siz_params odd;
  odd.set_value("Ssize", 0, 0, 1024);
  odd.set_value("Ssize", 0, 1, 1024);
  odd.set_value("Sorigin", 0, 0, 1);
  odd.set_value("Sorigin", 0, 1, 1);
  odd.set_value("Ssampling", 0, 0, 2);
  odd.set_value("Ssampling", 0, 1, 2);
  odd.set_value("Scomponents", 0, 0, 1);
  EXPECT_EQ(error_text([&] { odd.finalize(); }), "");
  odd.get_value("Sdims", 0, 1, v);
  EXPECT_EQ(v, 511);
  odd.get_value("Stile_origin", 0, 1, v);
  EXPECT_EQ(v, 1);
  odd.get_value("Stiles", 0, 1, v);
  EXPECT_EQ(v, 1023);
}

TEST(SizFinalize, ErrorsOfTheGeometry) {
  siz_params zero;
  byte_builder b = siz_body(1);
  b.bytes[37] = 0;
  read_siz(b, zero);
  EXPECT_EQ(error_text([&] { zero.finalize(); }), "Image component sub-sampling factors must be strictly positive!");

  siz_params no_width;
  byte_builder b2 = siz_body(1);
  b2.bytes[21] = 0;  // XTsiz = 0
  b2.bytes[20] = 0;
  b2.bytes[19] = 0;
  b2.bytes[18] = 0;
  read_siz(b2, no_width);
  std::string t = error_text([&] { no_width.finalize(); });
  EXPECT_EQ(t.find("Problems trying to finalize SIZ information. Illegal tile origin coordinates."), 0u) << t;
  // The attributes that the stream supplied follow the text.
  EXPECT_NE(t.find("Ssize={32,64}"), std::string::npos) << t;

  siz_params right;
  byte_builder b3 = siz_body(1);
  b3.bytes[29] = 5;  // XTOsiz 5 > XOsiz 0
  read_siz(b3, right);
  EXPECT_NE(error_text([&] { right.finalize(); }).find("Illegal tile origin"), std::string::npos);

  // Tile origin + tile size beyond 2^31 is compared without overflow.
  siz_params wide;
  wide.set_value("Scomponents", 0, 0, 1);
  wide.set_value("Ssampling", 0, 0, 1);
  wide.set_value("Ssampling", 0, 1, 1);
  wide.set_value("Ssize", 0, 0, 0x7FFFFFF0);
  wide.set_value("Ssize", 0, 1, 0x7FFFFFF0);
  wide.set_value("Sorigin", 0, 0, 0x7FFFFF00);
  wide.set_value("Sorigin", 0, 1, 0x7FFFFF00);
  wide.set_value("Stile_origin", 0, 0, 0x7FFFFEFF);
  wide.set_value("Stile_origin", 0, 1, 0x7FFFFEFF);
  wide.set_value("Stiles", 0, 0, 0x7FFFFFFF);
  wide.set_value("Stiles", 0, 1, 0x7FFFFFFF);
  EXPECT_EQ(error_text([&] { wide.finalize(); }), "");

  siz_params nothing;
  EXPECT_EQ(error_text([&] { nothing.finalize(); })
                .find("Problem trying to finalize SIZ information. Insufficient data supplied to "
                      "determine the number of image components!"),
            0u);
}

TEST(SizFinalize, CanvasAndFactorsFromComponentDimensions) {
  siz_params siz;
  siz.set_value("Sdims", 0, 0, 100);
  siz.set_value("Sdims", 0, 1, 200);
  siz.set_value("Sdims", 1, 0, 50);
  siz.set_value("Sdims", 1, 1, 100);
  EXPECT_EQ(error_text([&] { siz.finalize(); }), "");
  int v;
  siz.get_value("Ssize", 0, 1, v);
  EXPECT_EQ(v, 200);
  siz.get_value("Ssize", 0, 0, v);
  EXPECT_EQ(v, 100);
  siz.get_value("Ssampling", 1, 1, v);
  EXPECT_EQ(v, 2);
  siz.get_value("Ssampling", 0, 0, v);
  EXPECT_EQ(v, 1);
  int end = 0;
  int ext[] = {10, 4};
  EXPECT_TRUE(siz_params::find_canvas_extent(2, ext, 0, end));
  EXPECT_GE(end, 10);
}

// ---------------------------------------------------------------------------------------------
TEST(CodSegment, StyleBitsLengthsAndKernels) {
  auto tree = make_tree(1, 3);
  kdu_params *cod = object(tree.get(), "COD", -1, -1);
  const uint8_t body[] = {0x1F, 2, 0, 3, 1, 1, 4, 4, 0x09, 1, 0x77, 0x88};
  EXPECT_EQ(error_text([&] { EXPECT_TRUE(cod->read_segment(0xFF52, 12, body, 0)); }), "");
  bool b;
  int v;
  for (const char *n : {"Cuse_precincts", "Cuse_sop", "Cuse_eph"}) {
    ASSERT_TRUE(cod->get_value(n, 0, 0, b));
    EXPECT_TRUE(b) << n;
  }
  cod->get_value("Calign_blk_last", 0, 1, b);
  EXPECT_TRUE(b);
  cod->get_value("Corder", 0, 0, v);
  EXPECT_EQ(v, 2);
  cod->get_value("Clayers", 0, 0, v);
  EXPECT_EQ(v, 3);
  cod->get_value("Cycc", 0, 0, b);
  EXPECT_TRUE(b);
  cod->get_value("Cblk", 0, 0, v);
  EXPECT_EQ(v, 64);
  cod->get_value("Cmodes", 0, 0, v);
  EXPECT_EQ(v, 9);
  cod->get_value("Creversible", 0, 0, b);
  EXPECT_TRUE(b);
  cod->get_value("Ckernels", 0, 0, v);
  EXPECT_EQ(v, 1);
  cod->get_value("Cprecincts", 1, 0, v);
  EXPECT_EQ(v, 128);
  cod->get_value("Cprecincts", 0, 1, v);
  EXPECT_EQ(v, 256);

  auto t2 = make_tree(0, 1);
  kdu_params *c2 = object(t2.get(), "COD", -1, -1);
  const uint8_t bad_scod[] = {0x20, 0, 0, 1, 0, 5, 4, 4, 0, 1};
  EXPECT_EQ(error_text([&] { c2->read_segment(0xFF52, 10, bad_scod, 0); }),
            "Malformed COD marker segment encountered. Invalid \"Scod\" value!");
  const uint8_t short_cod[] = {0, 0, 0};
  EXPECT_EQ(error_text([&] { c2->read_segment(0xFF52, 3, short_cod, 0); }),
            "Malformed COD marker segment encountered. Marker segment is too small.");
  const uint8_t precinct_cod[] = {1, 0, 0, 1, 0, 5, 4, 4, 0, 1, 0x77, 0x77, 0x77, 0x77, 0x77, 0x77, 0};
  EXPECT_EQ(error_text([&] { c2->read_segment(0xFF52, 16, precinct_cod, 0); }), "");
  auto t3 = make_tree(0, 1);
  kdu_params *c3 = object(t3.get(), "COD", -1, -1);
  EXPECT_EQ(error_text([&] { c3->read_segment(0xFF52, 17, precinct_cod, 0); }),
            "Malformed COD/COC marker segment encountered. The final 1 bytes were not consumed!");
  auto t4 = make_tree(0, 1);
  kdu_params *c4 = object(t4.get(), "COD", -1, -1);
  EXPECT_EQ(error_text([&] { c4->read_segment(0xFF52, 15, precinct_cod, 0); }),
            "Malformed COD/COC marker segment encountered. Marker segment is too small.");
}

TEST(CodSegment, FieldErrorsFromTheAttributeChecks) {
  struct {
    uint8_t byte_at, value;
    const char *expect;
  } cases[] = {
      {1, 5, "does not match any of the defined translation values"},
      {4, 2, "not equal to 0 or 1"},
      {8, 0x40, "incompatible with the flags"},
      {9, 3, "Illegal DWT kernels specification found in COD/COC marker segment."},
  };
  for (auto &c : cases) {
    auto tree = make_tree(0, 1);
    uint8_t body[] = {0, 0, 0, 1, 0, 5, 4, 4, 0, 1};
    body[c.byte_at] = c.value;
    std::string t = error_text([&] { object(tree.get(), "COD", -1, -1)->read_segment(0xFF52, 10, body, 0); });
    EXPECT_NE(t.find(c.expect), std::string::npos) << t;
  }
  auto tree = make_tree(0, 1);
  const uint8_t irr53[] = {0, 0, 0, 1, 0, 5, 4, 4, 0, 2};
  object(tree.get(), "COD", -1, -1)->read_segment(0xFF52, 10, irr53, 0);
  bool rev = true;
  int k = 0;
  object(tree.get(), "COD", -1, -1)->get_value("Creversible", 0, 0, rev);
  object(tree.get(), "COD", -1, -1)->get_value("Ckernels", 0, 0, k);
  EXPECT_FALSE(rev);
  EXPECT_EQ(k, 1);
}

TEST(CocSegment, ComponentIndexWidthAndRouting) {
  auto tree = make_tree(1, 3);
  const uint8_t coc[] = {2, 1, 2, 3, 3, 0, 0, 0x55, 0x66, 0x77};
  kdu_params *c0 = object(tree.get(), "COD", -1, 0), *c2 = object(tree.get(), "COD", -1, 2);
  EXPECT_FALSE(c0->read_segment(0xFF53, 10, coc, 0));
  EXPECT_FALSE(c2->read_segment(0xFF52, 10, coc, 0));
  EXPECT_FALSE(c2->read_segment(0xFF53, 10, coc, 1));
  EXPECT_TRUE(c2->read_segment(0xFF53, 10, coc, 0));
  int v;
  c2->get_value("Clevels", 0, 0, v);
  EXPECT_EQ(v, 2);
  c2->get_value("Cblk", 0, 1, v);
  EXPECT_EQ(v, 32);
  c2->get_value("Cprecincts", 2, 0, v);
  EXPECT_EQ(v, 32);
  c2->get_value("Cprecincts", 0, 1, v);
  EXPECT_EQ(v, 128);
  // Tile-component inherits from the main header's COC for its component.
  object(tree.get(), "COD", 0, 2)->get_value("Clevels", 0, 0, v);
  EXPECT_EQ(v, 2);

  const uint8_t bad_scoc[] = {1, 2, 2, 3, 3, 0, 0};
  EXPECT_EQ(error_text([&] { object(tree.get(), "COD", -1, 1)->read_segment(0xFF53, 7, bad_scoc, 0); }),
            "Malformed COC marker segment. Invalid \"Scoc\" value!");
  const uint8_t tiny[] = {1};
  EXPECT_EQ(error_text([&] { object(tree.get(), "COD", -1, 1)->read_segment(0xFF53, 1, tiny, 0); }),
            "Malformed COC marker segment encountered. Marker segment is too small.");

  auto many = make_tree(0, 300);
  const uint8_t coc2[] = {0x01, 0x02, 0, 1, 4, 4, 0, 1};
  EXPECT_TRUE(object(many.get(), "COD", -1, 258)->read_segment(0xFF53, 8, coc2, 0));
  auto just256 = make_tree(0, 256);
  const uint8_t coc1[] = {0xFF, 0, 1, 4, 4, 0, 1};
  EXPECT_TRUE(object(just256.get(), "COD", -1, 255)->read_segment(0xFF53, 7, coc1, 0));
}

TEST(CodFinalize, DefaultsAndColourTransformChoice) {
  auto tree = make_tree(0, 3);
  byte_builder b = siz_body(3);
  read_siz(b, *tree);
  kdu_params *cod = object(tree.get(), "COD", -1, -1);
  cod->finalize();
  int v;
  bool ycc;
  cod->get_value("Clevels", 0, 0, v);
  EXPECT_EQ(v, 5);
  cod->get_value("Cblk", 0, 1, v);
  EXPECT_EQ(v, 64);
  cod->get_value("Ckernels", 0, 0, v);
  EXPECT_EQ(v, 0);
  ASSERT_TRUE(cod->get_value("Cycc", 0, 0, ycc));
  EXPECT_TRUE(ycc);

  auto two = make_tree(0, 2);
  read_siz(siz_body(2), *two);
  object(two.get(), "COD", -1, -1)->set_value("Cycc", 0, 0, true);
  object(two.get(), "COD", -1, -1)->finalize();
  object(two.get(), "COD", -1, -1)->get_value("Cycc", 0, 0, ycc);
  EXPECT_FALSE(ycc);
}

// ---------------------------------------------------------------------------------------------
TEST(QcdSegment, StylesRangesAndSteps) {
  auto tree = make_tree(0, 2);
  read_siz(siz_body(2), *tree);
  kdu_params *qcd = object(tree.get(), "QCD", -1, -1);
  const uint8_t ranges[] = {0x40, 0x47, 0x51, 0x52, 0x5F};
  EXPECT_TRUE(qcd->read_segment(0xFF5C, 5, ranges, 0));
  int v;
  qcd->get_value("Qguard", 0, 0, v);
  EXPECT_EQ(v, 2);
  int expected[] = {8, 10, 10, 11};
  for (int i = 0; i < 4; i++) {
    ASSERT_TRUE(qcd->get_value("Qabs_ranges", i, 0, v));
    EXPECT_EQ(v, expected[i]);
  }
  EXPECT_FALSE(qcd->get_value("Qabs_ranges", 4, 0, v));

  kdu_params *qcc = object(tree.get(), "QCD", -1, 1);
  const uint8_t steps[] = {1, 0x22, 0x08, 0x00, 0x4F, 0xFF};
  EXPECT_FALSE(object(tree.get(), "QCD", -1, 0)->read_segment(0xFF5D, 6, steps, 0));
  EXPECT_FALSE(qcc->read_segment(0xFF5C, 6, steps, 0));
  EXPECT_TRUE(qcc->read_segment(0xFF5D, 6, steps, 0));
  float f;
  bool derived;
  qcc->get_value("Qderived", 0, 0, derived);
  EXPECT_FALSE(derived);
  qcc->get_value("Qabs_steps", 0, 0, f);
  EXPECT_FLOAT_EQ(f, 1.0f / 2);
  qcc->get_value("Qabs_steps", 1, 0, f);
  EXPECT_FLOAT_EQ(f, (1.0f + 2047.0f / 2048.0f) / 512.0f);
  qcc->get_value("Qguard", 0, 0, v);
  EXPECT_EQ(v, 1);

  auto t2 = make_tree(0, 1);
  read_siz(siz_body(1), *t2);
  const uint8_t odd[] = {0x22, 0x08, 0x00, 0x01};
  EXPECT_EQ(error_text([&] { object(t2.get(), "QCD", -1, -1)->read_segment(0xFF5C, 4, odd, 0); }),
            "Malformed QCD/QCC marker segment encountered. The final 1 bytes were not consumed!");
  auto t3 = make_tree(0, 1);
  const uint8_t style3[] = {0x03, 0, 0};
  EXPECT_EQ(error_text([&] { object(t3.get(), "QCD", -1, -1)->read_segment(0xFF5C, 3, style3, 0); }),
            "Undefined style byte found in QCD/QCC marker segment!");
  auto t4 = make_tree(0, 1);
  const uint8_t none[] = {0x21};
  EXPECT_EQ(error_text([&] { object(t4.get(), "QCD", -1, -1)->read_segment(0xFF5C, 1, none, 0); }),
            "Malformed QCD/QCC marker segment encountered. Marker segment is too small.");
  EXPECT_FALSE(object(t4.get(), "QCD", -1, -1)->read_segment(0xFF5C, 1, none, 1));
}

TEST(QcdFinalize, ReversibleRangesFromPrecision) {
  auto tree = make_tree(0, 1);
  read_siz(siz_body(1), *tree);
  kdu_params *cod = object(tree.get(), "COD", -1, -1);
  const uint8_t body[] = {0, 0, 0, 1, 0, 2, 4, 4, 0, 1};
  cod->read_segment(0xFF52, 10, body, 0);
  kdu_params *qcd = object(tree.get(), "QCD", -1, -1);
  qcd->finalize();
  int v;
  qcd->get_value("Qabs_ranges", 0, 0, v);
  EXPECT_EQ(v, 10);
  qcd->get_value("Qabs_ranges", 3, 0, v);
  EXPECT_EQ(v, 12);
  qcd->get_value("Qabs_ranges", 6, 0, v);
  EXPECT_EQ(v, 12);
  EXPECT_FALSE(qcd->get_value("Qabs_ranges", 7, 0, v));

  auto irr = make_tree(0, 1);
  read_siz(siz_body(1), *irr);
  const uint8_t b97[] = {0, 0, 0, 1, 0, 2, 4, 4, 0, 0};
  object(irr.get(), "COD", -1, -1)->read_segment(0xFF52, 10, b97, 0);
  kdu_params *q = object(irr.get(), "QCD", -1, -1);
  q->set_value("Qabs_steps", 0, 0, 0.75f);
  q->finalize();
  bool derived = false;
  q->get_value("Qderived", 0, 0, derived);
  EXPECT_TRUE(derived);
  float f;
  q->get_value("Qabs_steps", 0, 0, f);
  EXPECT_FLOAT_EQ(f, 0.75f);
}

TEST(RgnSegment, ShiftAndChecks) {
  auto tree = make_tree(0, 2);
  read_siz(siz_body(2), *tree);
  const uint8_t rgn[] = {1, 0, 37};
  EXPECT_FALSE(object(tree.get(), "RGN", -1, -1)->read_segment(0xFF5E, 3, rgn, 0));
  EXPECT_FALSE(object(tree.get(), "RGN", -1, 0)->read_segment(0xFF5E, 3, rgn, 0));
  kdu_params *r1 = object(tree.get(), "RGN", -1, 1);
  EXPECT_TRUE(r1->read_segment(0xFF5E, 3, rgn, 0));
  int v;
  r1->get_value("Rshift", 0, 0, v);
  EXPECT_EQ(v, 37);

  int warnings = 0;
  static int *counter;
  counter = &warnings;
  kdu_customize_warnings(nullptr, [] { (*counter)++; });
  r1->finalize();
  EXPECT_EQ(warnings, 0);
  r1->get_value("Rlevels", 0, 0, v);
  EXPECT_EQ(v, 4);
  r1->set_value("Rshift", 0, 0, 38);
  r1->finalize();
  EXPECT_EQ(warnings, 1);
  kdu_customize_warnings(nullptr, nullptr);

  const uint8_t part2[] = {0, 1, 5};
  EXPECT_EQ(error_text([&] { object(tree.get(), "RGN", -1, 0)->read_segment(0xFF5E, 3, part2, 0); }),
            "Encountered non-Part1 RGN marker segment!");
  const uint8_t longer[] = {0, 0, 5, 0};
  EXPECT_EQ(error_text([&] { object(tree.get(), "RGN", -1, 0)->read_segment(0xFF5E, 4, longer, 0); }),
            "Malformed RGN marker segment encountered. The final 1 bytes were not consumed!");
  EXPECT_EQ(error_text([&] { object(tree.get(), "RGN", -1, 0)->read_segment(0xFF5E, 2, longer, 0); }),
            "Malformed RGN marker segment encountered. Marker segment is too small.");
}

TEST(PocSegment, RecordsAndComponentLimit) {
  auto tree = make_tree(1, 3);
  read_siz(siz_body(3), *tree);
  kdu_params *poc = object(tree.get(), "POC", 0, -1);
  const uint8_t two[] = {0, 0, 0, 2, 6, 0, 4, 1, 1, 0, 3, 5, 2, 0};
  EXPECT_TRUE(poc->read_segment(0xFF5F, 14, two, 3));
  int v;
  int want[2][6] = {{0, 0, 2, 6, 256, 4}, {1, 1, 3, 5, 2, 0}};
  for (int r = 0; r < 2; r++)
    for (int f = 0; f < 6; f++) {
      ASSERT_TRUE(poc->get_value("Porder", r, f, v));
      EXPECT_EQ(v, want[r][f]) << r << "," << f;
    }
  auto t2 = make_tree(1, 3);
  read_siz(siz_body(3), *t2);
  EXPECT_EQ(error_text([&] { object(t2.get(), "POC", 0, -1)->read_segment(0xFF5F, 6, two, 0); }),
            "Malformed POC marker segment encountered. Marker segment is too small.");
  EXPECT_EQ(error_text([&] { object(t2.get(), "POC", 0, -1)->read_segment(0xFF5F, 8, two, 0); }),
            "Malformed POC marker segment encountered. The final 1 bytes were not consumed!");
  const uint8_t bad_order[] = {0, 0, 0, 1, 6, 3, 5};
  EXPECT_NE(error_text([&] { object(t2.get(), "POC", -1, -1)->read_segment(0xFF5F, 7, bad_order, 0); }), "");
}

TEST(CrgSegment, OffsetsPerComponent) {
  auto tree = make_tree(1, 2);
  read_siz(siz_body(2), *tree);
  kdu_params *crg = object(tree.get(), "CRG", -1, -1);
  const uint8_t body[] = {0x80, 0, 0x40, 0, 0, 0, 0xC0, 0};
  EXPECT_TRUE(crg->read_segment(0xFF63, 8, body, 0));
  float f;
  crg->get_value("CRGoffset", 0, 1, f);
  EXPECT_FLOAT_EQ(f, 0.5f);
  crg->get_value("CRGoffset", 0, 0, f);
  EXPECT_FLOAT_EQ(f, 0.25f);
  crg->get_value("CRGoffset", 1, 0, f);
  EXPECT_FLOAT_EQ(f, 0.75f);
  crg->get_value("CRGoffset", 7, 0, f);  // extends the last record
  EXPECT_FLOAT_EQ(f, 0.75f);
  auto t2 = make_tree(0, 2);
  read_siz(siz_body(2), *t2);
  EXPECT_EQ(error_text([&] { object(t2.get(), "CRG", -1, -1)->read_segment(0xFF63, 6, body, 0); }),
            "Malformed CRG marker segment encountered. Marker segment is too small.");
  const uint8_t nine[9] = {};
  EXPECT_EQ(error_text([&] { object(t2.get(), "CRG", -1, -1)->read_segment(0xFF63, 9, nine, 0); }),
            "Malformed CRG marker segment encountered. The final 1 bytes were not consumed!");
}
