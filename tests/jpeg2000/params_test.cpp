#include <gtest/gtest.h>

#include <cmath>

#include "j2k_test_support.h"
#include "kdu_kernels.h"
#include "param_tree.h"

TEST(KduParamsTree, ObjectsJoinTheirClusterTileAndComponent) {
  auto tree = make_tree(3, 2);
  kdu_params *cod = object(tree.get(), "COD", 2, 1);
  ASSERT_NE(cod, nullptr);
  EXPECT_STREQ(cod->identify_cluster(), "COD");
  EXPECT_EQ(cod->get_tile(), 2);
  EXPECT_EQ(cod->get_comp(), 1);
  EXPECT_EQ(cod->get_num_comps(), 2);
  EXPECT_EQ(object(tree.get(), "COD", -1, -1)->get_num_comps(), 2);
  EXPECT_EQ(object(tree.get(), "POC", 1, -1)->get_num_comps(), 0);
  EXPECT_EQ(object(tree.get(), "COD", 3, 0), nullptr);
  EXPECT_EQ(object(tree.get(), "CRG", 0, -1), nullptr);
  EXPECT_EQ(cod->access_cluster("SIZ"), tree.get());
}

TEST(KduParamsTree, InheritanceOrderSelfTileMainComponentMainDefault) {
  auto tree = make_tree(3, 2);
  kdu_params *tc = object(tree.get(), "COD", 2, 1);
  int v = -5;
  EXPECT_FALSE(tc->get_value("Clevels", 0, 0, v));
  EXPECT_EQ(v, -5);
  object(tree.get(), "COD", -1, -1)->set_value("Clevels", 0, 0, 5);
  ASSERT_TRUE(tc->get_value("Clevels", 0, 0, v));
  EXPECT_EQ(v, 5);
  object(tree.get(), "COD", -1, 1)->set_value("Clevels", 0, 0, 4);
  tc->get_value("Clevels", 0, 0, v);
  EXPECT_EQ(v, 4);
  object(tree.get(), "COD", 2, -1)->set_value("Clevels", 0, 0, 3);
  tc->get_value("Clevels", 0, 0, v);
  EXPECT_EQ(v, 3);
  tc->set_value("Clevels", 0, 0, 2);
  tc->get_value("Clevels", 0, 0, v);
  EXPECT_EQ(v, 2);
  // Other tiles and components are unaffected.
  object(tree.get(), "COD", 1, 0)->get_value("Clevels", 0, 0, v);
  EXPECT_EQ(v, 5);
  object(tree.get(), "COD", 1, 1)->get_value("Clevels", 0, 0, v);
  EXPECT_EQ(v, 4);
  EXPECT_FALSE(object(tree.get(), "COD", 1, 1)->get_value("Clevels", 0, 0, v, false));
}

TEST(KduParamsTree, OwnRecordsNeverInheritAndExtensionUsesTheLastRecord) {
  siz_params siz;
  for (int c = 0; c < 3; c++) siz.set_value("Sprecision", c, 0, 8 + c);
  int v = 0;
  ASSERT_TRUE(siz.get_value("Sprecision", 5, 0, v));
  EXPECT_EQ(v, 10);
  EXPECT_FALSE(siz.get_value("Sprecision", 5, 0, v, true, false));
  // "Ssize" may not be extended: a missing record is simply absent.
  siz.set_value("Ssize", 0, 0, 7);
  EXPECT_FALSE(siz.get_value("Ssize", 1, 0, v));
  EXPECT_FALSE(siz.get_value("Ssize", 0, 1, v));  // field 1 never set

  auto tree = make_tree(1, 1);
  object(tree.get(), "COD", -1, -1)->set_value("Clevels", 0, 0, 5);
  kdu_params *tile = object(tree.get(), "COD", 0, -1);
  tile->set_value("Cprecincts", 0, 0, 64);
  tile->set_value("Cprecincts", 0, 1, 64);
  EXPECT_FALSE(tile->get_value("Cprecincts", 1, 0, v, true, false));
}

TEST(KduParamsTree, DerivedValuesHiddenWhenAsked) {
  auto tree = make_tree(1, 1);
  object(tree.get(), "QCD", -1, -1)->set_value("Qguard", 0, 0, 2);
  kdu_params *tile = object(tree.get(), "QCD", 0, -1);
  tile->set_value("Qguard", 0, 0, 3);
  tile->set_derived("Qguard");
  int v = 0;
  tile->get_value("Qguard", 0, 0, v);
  EXPECT_EQ(v, 3);
  ASSERT_TRUE(tile->get_value("Qguard", 0, 0, v, true, true, false));
  EXPECT_EQ(v, 2);
  EXPECT_NE(error_text([&] { tile->set_derived("Qnothing"); }), "");
}

TEST(KduParamsValues, TypeAndRangeChecks) {
  auto tree = make_tree(1, 2);
  kdu_params *cod = object(tree.get(), "COD", -1, -1);
  kdu_params *coc = object(tree.get(), "COD", -1, 1);
  EXPECT_EQ(error_text([&] { cod->set_value("Corder", 0, 0, 5); }),
            folded("Attempting to set a code-stream attribute field using an integer value which "
                   "does not match any of the defined translation values for the field!\nThe "
                   "attribute name is \"Corder\"."));
  EXPECT_EQ(error_text([&] { cod->set_value("Corder", 0, 0, 4); }), "");
  for (int ok : {0, 1, 48, 63}) EXPECT_EQ(error_text([&] { cod->set_value("Cmodes", 0, 0, ok); }), "") << ok;
  EXPECT_NE(error_text([&] { cod->set_value("Cmodes", 0, 0, 64); }).find("incompatible with the flags"),
            std::string::npos);
  EXPECT_NE(error_text([&] { cod->set_value("Cuse_sop", 0, 0, 2); }).find("not equal to 0 or 1"), std::string::npos);
  EXPECT_EQ(error_text([&] { coc->set_value("Clayers", 0, 0, 3); }),
            folded("Attempt to set a non-tile-specific code-stream attribute in a specific "
                   "component!\nThe attribute name is \"Clayers\"."));
  EXPECT_EQ(error_text([&] { coc->set_value("Clevels", 0, 0, 3); }), "");
  EXPECT_NE(error_text([&] {
              cod->set_value("Clevels", 0, 0, 2.5f);
            }).find("Attempting to set an integer code-stream parameter attribute field"),
            std::string::npos);
  EXPECT_EQ(error_text([&] { cod->set_value("Cblk", 0, 2, 64); }),
            folded("Attempt to set a code-stream attribute, with an invalid field index!\nThe "
                   "attribute name is \"Cblk\".\nThe field index is 2."));
  EXPECT_EQ(error_text([&] { cod->set_value("Cnothing", 0, 0, 1); }),
            folded("Attempt to set a code-stream attribute using the invalid name, "
                   "\"Cnothing\"!"));
  int i;
  bool b;
  float f;
  EXPECT_NE(error_text([&] { cod->get_value("Cnothing", 0, 0, i); }).find("invalid name"), std::string::npos);
  EXPECT_NE(error_text([&] { cod->get_value("Clevels", 0, 0, b); }).find("boolean access"), std::string::npos);
  EXPECT_NE(error_text([&] { cod->get_value("Clevels", 0, 0, f); }).find("floating point access"), std::string::npos);
  EXPECT_EQ(error_text([&] { cod->get_value("Cuse_sop", 0, 0, i); }), "");  // ints read "B"
}

TEST(KduParamsValues, RecordsGrowOnlyWhereAllowed) {
  siz_params siz;
  EXPECT_EQ(error_text([&] { siz.set_value("Ssize", 1, 0, 5); }),
            folded("Attempting to write multiple records to a code-stream attribute, \"Ssize\", "
                   "which can accept only single attributes!"));
  siz.set_value("Sprecision", 0, 0, 8);
  siz.set_value("Sprecision", 4, 0, 12);
  int v = 0;
  EXPECT_FALSE(siz.get_value("Sprecision", 2, 0, v, false, false));  // copied, not set
  ASSERT_TRUE(siz.get_value("Sprecision", 4, 0, v));
  EXPECT_EQ(v, 12);
  EXPECT_TRUE(siz.get_value("Sprecision", 9, 0, v));
  EXPECT_EQ(v, 12);
  siz.delete_unparsed_attribute("Sprecision");
  EXPECT_FALSE(siz.get_value("Sprecision", 0, 0, v));
  EXPECT_NE(error_text([&] { siz.delete_unparsed_attribute("Snothing"); }), "");
}

TEST(KduParamsPrint, TextualFormOfEveryFieldKind) {
  auto tree = make_tree(3, 2);
  kdu_params *cod = object(tree.get(), "COD", 2, 1);
  cod->set_value("Clevels", 0, 0, 3);
  cod->set_value("Cmodes", 0, 0, 9);
  cod->set_value("Cblk", 0, 0, 64);
  cod->set_value("Cblk", 0, 1, 64);
  cod->set_value("Creversible", 0, 0, true);
  cod->set_value("Ckernels", 0, 0, 1);
  std::ostringstream out;
  cod->print_attributes(out, false);
  EXPECT_EQ(out.str(),
            "Clevels:T2C1=3\nCreversible:T2C1=yes\nCkernels:T2C1=W5X3\n"
            "Cblk:T2C1={64,64}\nCmodes:T2C1=BYPASS,CAUSAL\n");
  kdu_params *main_cod = object(tree.get(), "COD", -1, -1);
  main_cod->set_value("Cmodes", 0, 0, 0);
  main_cod->set_value("Corder", 0, 0, 2);
  std::ostringstream main_out;
  main_cod->print_attributes(main_out, false);
  EXPECT_EQ(main_out.str(), "Corder=RPCL\nCmodes=0\n");

  tree->set_value("Sprecision", 0, 0, 8);
  tree->set_value("Sprecision", 1, 0, 12);
  std::ostringstream all;
  tree->print_attributes(all, -1, 99, false);
  EXPECT_EQ(all.str(), "Sprecision=8,12\nCorder=RPCL\nCmodes=0\n" + out.str());
  std::ostringstream tile1;
  tree->print_attributes(tile1, 0, 1, false);
  EXPECT_EQ(tile1.str(), "");

  cod->set_value("Cprecincts", 1, 0, 32);  // record 0 and field 1 never set
  EXPECT_NE(error_text([&] {
              std::ostringstream x;
              cod->print_attributes(x, false);
            }).find("partially been set"),
            std::string::npos);
}

TEST(KduParamsRoute, SegmentsGoToTheFirstUnmarkedMatchingInstance) {
  auto tree = make_tree(2, 3);
  tree->set_value("Scomponents", 0, 0, 3);
  const uint8_t cod[] = {0, 0, 0, 1, 0, 5, 4, 4, 0, 1};
  EXPECT_TRUE(tree->route_segment(0xFF52, 10, cod, -1, 0));
  EXPECT_TRUE(object(tree.get(), "COD", -1, -1)->is_marked());
  EXPECT_FALSE(tree->route_segment(0xFF52, 10, cod, -1, 0));  // second main COD refused
  EXPECT_TRUE(tree->route_segment(0xFF52, 10, cod, 1, 0));
  EXPECT_FALSE(tree->route_segment(0xFF52, 10, cod, 1, 1));  // later tile-part
  EXPECT_FALSE(tree->route_segment(0xFF52, 10, cod, 5, 0));  // no such tile

  const uint8_t coc[] = {2, 0, 3, 4, 4, 0, 0};
  EXPECT_TRUE(tree->route_segment(0xFF53, 7, coc, -1, 0));
  EXPECT_FALSE(object(tree.get(), "COD", -1, 0)->is_marked());
  EXPECT_FALSE(object(tree.get(), "COD", -1, 1)->is_marked());
  EXPECT_TRUE(object(tree.get(), "COD", -1, 2)->is_marked());

  // POC: a tile's second segment lands in the instance that the first one created; the main
  // header creates no further instance.
  const uint8_t poc[] = {0, 0, 0, 1, 6, 3, 0};
  EXPECT_TRUE(tree->route_segment(0xFF5F, 7, poc, 0, 0));
  EXPECT_TRUE(tree->route_segment(0xFF5F, 7, poc, 0, 1));
  ASSERT_NE(object(tree.get(), "POC", 0, -1, 2), nullptr);
  EXPECT_EQ(object(tree.get(), "POC", 0, -1, 1)->get_instance(), 1);
  EXPECT_TRUE(object(tree.get(), "POC", 0, -1, 1)->is_marked());
  EXPECT_TRUE(tree->route_segment(0xFF5F, 7, poc, -1, 0));
  EXPECT_EQ(object(tree.get(), "POC", -1, -1, 1), nullptr);
  EXPECT_FALSE(tree->route_segment(0xFF5F, 7, poc, -1, 0));
  // Later instances never inherit.
  int v;
  EXPECT_FALSE(object(tree.get(), "POC", 0, -1, 2)->get_value("Porder", 0, 0, v));
}

TEST(KduParamsHelpers, ReadBigEndianThrowsAtTheShortField) {
  const uint8_t bytes[] = {0x12, 0x34, 0x56};
  const uint8_t *bp = bytes;
  EXPECT_EQ(read_big_endian(bp, bytes + 3, 2), 0x1234u);
  try {
    read_big_endian(bp, bytes + 3, 2);
    FAIL();
  } catch (kd_short_segment &s) {
    EXPECT_EQ(s.at, bytes + 2);
  }
  EXPECT_EQ(read_big_endian(bp, bytes + 3, 1), 0x56u);
}

TEST(KduParamsHelpers, SplitStepSize) {
  int e, m;
  split_step_size(1.0f, e, m);
  EXPECT_EQ(e, 0);
  EXPECT_EQ(m, 0);
  split_step_size(0.5f, e, m);
  EXPECT_EQ(e, 1);
  EXPECT_EQ(m, 0);
  split_step_size(0.75f, e, m);
  EXPECT_EQ(e, 1);
  EXPECT_EQ(m, 1024);
  split_step_size(1.0e-12f, e, m);
  EXPECT_EQ(e, 31);
  EXPECT_EQ(m, 0);
  split_step_size(3.0f, e, m);
  EXPECT_EQ(e, 0);
  EXPECT_EQ(m, 2047);
  EXPECT_EQ(error_text([] {
              int a, b;
              split_step_size(0.0f, a, b);
            }),
            "Absolute quantization step sizes must be strictly positive.");
  EXPECT_NE(error_text([] {
              int a, b;
              split_step_size(std::nanf(""), a, b);
            }),
            "");
}

TEST(KduKernels, LiftingStepsAndGains) {
  kdu_kernels rev(Ckernels_W5X3, true);
  ASSERT_EQ(rev.get_num_steps(), 2);
  EXPECT_FLOAT_EQ(rev.get_step(0).lambda, -0.5f);
  EXPECT_EQ(rev.get_step(0).downshift, 1);
  EXPECT_EQ(rev.get_step(1).downshift, 2);
  EXPECT_EQ(rev.get_low_factor(), 1.0f);
  // 5/3 synthesis: low-pass (1/2, 1, 1/2); high-pass (-1/8, -1/4, 3/4, -1/4, -1/8).
  std::vector<double> lo = rev.get_low_response(), hi = rev.get_high_response();
  ASSERT_EQ(lo.size(), 3u);
  EXPECT_DOUBLE_EQ(lo[0], 0.5);
  EXPECT_DOUBLE_EQ(lo[1], 1.0);
  ASSERT_EQ(hi.size(), 5u);
  EXPECT_DOUBLE_EQ(hi[2], 0.75);
  EXPECT_DOUBLE_EQ(hi[1], -0.25);
  EXPECT_DOUBLE_EQ(hi[0], -0.125);
  EXPECT_DOUBLE_EQ(rev.band_energy_gain(2, 0), 1.0);
  EXPECT_DOUBLE_EQ(rev.band_energy_gain(3, 0), 0.0);
  EXPECT_DOUBLE_EQ(rev.band_energy_gain(2, 1), 1.5);
  EXPECT_DOUBLE_EQ(rev.band_energy_gain(3, 1), 0.75 * 0.75 + 2 * 0.0625 + 2 * 0.015625);
  EXPECT_DOUBLE_EQ(rev.band_energy_gain(2, 6), rev.band_energy_gain(2, 4) * 4.0);

  kdu_kernels irr(Ckernels_W9X7, false);
  EXPECT_EQ(irr.get_num_steps(), 4);
  double dc = 0.0, ny = 0.0;
  const std::vector<double> &l9 = irr.get_low_response(), &h9 = irr.get_high_response();
  for (double v : l9) dc += v;
  int eh = (int)h9.size() / 2;
  for (int k = -eh; k <= eh; k++) ny += ((k & 1) ? -1.0 : 1.0) * h9[(size_t)(k + eh)];
  EXPECT_NEAR(dc, 1.0, 1e-6);
  EXPECT_NEAR(std::fabs(ny), 1.0, 1e-6);
  double lg, hg;
  std::vector<double> steps = irr.worst_case_gains(2, lg, hg);
  EXPECT_EQ(steps.size(), 4u);
  EXPECT_GT(lg, 1.0);
  irr.worst_case_gains(0, lg, hg);
  EXPECT_EQ(lg, 1.0);
  EXPECT_EQ(hg, 1.0);

  EXPECT_EQ(error_text([] { kdu_kernels k(Ckernels_W9X7, true); }),
            "The W9X7 kernel may not be used for reversible compression!");
  EXPECT_EQ(error_text([] { kdu_kernels k(7, false); }),
            "Illegal DWT kernel ID used to construct a `kdu_kernels' object.");
}

TEST(KduParamsHelpers, ExpandBaseStepFillsAllBands) {
  qcd_params qcd;
  expand_base_step(&qcd, 2, Ckernels_W9X7, 1.0f / 256, false);
  float f;
  int n = 0;
  while (qcd.get_value("Qabs_steps", n, 0, f, false, false)) n++;
  EXPECT_EQ(n, 7);
  kdu_kernels k(Ckernels_W9X7, false);
  qcd.get_value("Qabs_steps", 0, 0, f);
  EXPECT_NEAR(f, 1.0 / 256 / k.band_energy_gain(2, 2), 1e-7);
  qcd.get_value("Qabs_steps", 3, 0, f);
  EXPECT_NEAR(f, 1.0 / 256 / k.band_energy_gain(3, 2), 1e-7);
  qcd_params one;
  expand_base_step(&one, 0, Ckernels_W9X7, 0.25f, false);
  one.get_value("Qabs_steps", 0, 0, f);
  EXPECT_EQ(f, 0.25f);
}

namespace {

// A parameter class whose one attribute has the translator pattern under test.
class translator_params : public kdu_params {
 public:
  explicit translator_params(const char *pattern) : kdu_params("TRN", false, false, false) {
    add_attribute("Tfield", "", 0, pattern);
  }
  kdu_params *make_instance() override { return nullptr; }
  void copy_transformed(kdu_params *, int, int, bool, bool, bool) override {}
};

}  // namespace

TEST(KduParamsTranslators, MalformedTranslatorsAreReportedWithTheEntry) {
  std::string long_name = "(" + std::string(90, 'N') + "=1)";
  struct {
    const char *pattern;
    std::string expect;
  } cases[] = {
      {"(NO,YES=1)",
       "String translators in code-stream attribute specifications must contain an '=' sign! Problem encountered "
       "at: \"NO,YES=1)\"."},
      {"(NO=x,YES=1)",
       "String translators in code-stream attribute specifications must be identified with integers and "
       "correctly delimited! Problem encountered at: \"x,YES=1)\"."},
      {"[A=1|B=2x]",
       "String translators in code-stream attribute specifications must be identified with integers and "
       "correctly delimited! Problem encountered at: \"2x]\"."},
  };
  for (auto &c : cases) {
    translator_params p(c.pattern);
    EXPECT_EQ(error_text([&] { p.set_value("Tfield", 0, 0, 1); }), c.expect) << c.pattern;
  }
  // The message breaks the over-long entry across lines, so only its start is compared.
  translator_params long_entry(long_name.c_str());
  EXPECT_EQ(
      error_text([&] { long_entry.set_value("Tfield", 0, 0, 1); })
          .rfind("String translators in code-stream attribute specifications may not exceed 79 characters in length! "
                 "Problem encountered at: \"NNNN",
                 0),
      0u);
  translator_params good("(NO=0,YES=1)");
  EXPECT_EQ(error_text([&] { good.set_value("Tfield", 0, 0, 1); }), "");
}
