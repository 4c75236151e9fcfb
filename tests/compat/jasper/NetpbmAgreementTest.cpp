// Files written by the netpbm tools decode to the samples those tools report.
#include "JasperTestUtil.h"
#include "NetpbmTools.h"

#include <gtest/gtest.h>

namespace {

class NetpbmAgreement : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!NetpbmFolder::available()) GTEST_SKIP() << "netpbm tools not installed";
    ASSERT_FALSE(dir.path().empty());
    dir.write("in.ppm", NetpbmFolder::colourfulPixmap());
  }

  // Interleaves the components of a decoded image by pixel.
  static std::vector<long> interleaved(jas_image_t *img) {
    const int n = jas_image_numcmpts(img);
    std::vector<std::vector<long>> planes;
    for (int c = 0; c < n; ++c) planes.push_back(samplesOf(img, c));
    std::vector<long> out;
    for (size_t i = 0; i < planes[0].size(); ++i)
      for (int c = 0; c < n; ++c) out.push_back(planes[size_t(c)][i]);
    return out;
  }

  void expectAgree(const std::string &name, const std::string &plainName, const char *format = "pnm") {
    const NetpbmFolder::Plain expected = NetpbmFolder::parsePlain(dir.read(plainName));
    ImagePtr img = decodeBytes(dir.read(name), format);
    ASSERT_TRUE(img) << name;
    ASSERT_EQ(jas_image_numcmpts(img.get()), expected.channels) << name;
    EXPECT_EQ(jas_image_cmptwidth(img.get(), 0), expected.width);
    EXPECT_EQ(jas_image_cmptheight(img.get(), 0), expected.height);
    // A maximum that is not 2^n - 1 is scaled to the full range of 8 or 16 bits.
    std::vector<long> samples = expected.samples;
    const long top = (1L << jas_image_cmptprec(img.get(), 0)) - 1;
    if (expected.maxval != top)
      for (long &v : samples) v = (v * top + expected.maxval / 2) / expected.maxval;
    EXPECT_EQ(interleaved(img.get()), samples) << name;
  }

  NetpbmFolder dir;
};

}  // namespace

TEST_F(NetpbmAgreement, RawAndPlainPixmapsAtSeveralDepths) {
  for (const std::string m : {"255", "15", "100", "1000", "65535"}) {
    ASSERT_TRUE(dir.run("pnmdepth " + m + " in.ppm > d" + m + ".ppm && pnmtoplainpnm d" + m + ".ppm > p" + m + ".ppm"));
    expectAgree("d" + m + ".ppm", "p" + m + ".ppm");
    expectAgree("p" + m + ".ppm", "p" + m + ".ppm");
  }
}

TEST_F(NetpbmAgreement, GreyMapsAndBitmaps) {
  ASSERT_TRUE(dir.run("ppmtopgm in.ppm > g.pgm && pnmtoplainpnm g.pgm > gp.pgm"));
  expectAgree("g.pgm", "gp.pgm");
  expectAgree("gp.pgm", "gp.pgm");
  ASSERT_TRUE(dir.run("pnmdepth 4000 g.pgm > g16.pgm && pnmtoplainpnm g16.pgm > g16p.pgm"));
  expectAgree("g16.pgm", "g16p.pgm");
  ASSERT_TRUE(dir.run("pgmtopbm -threshold g.pgm > b.pbm && pnmtoplainpnm b.pbm > bp.pbm"));
  expectAgree("b.pbm", "bp.pbm");
  expectAgree("bp.pbm", "bp.pbm");
}

TEST_F(NetpbmAgreement, SunRasterFilesOfTwentyFourBits) {
  ASSERT_TRUE(dir.run("pnmtorast -standard in.ppm > s.ras && rasttopnm s.ras | pnmtoplainpnm > sp.ppm"));
  const std::string ras = dir.read("s.ras");
  ASSERT_GE(ras.size(), 16u);
  EXPECT_EQ(ras[15], 24);  // the depth field
  expectAgree("s.ras", "sp.ppm", "ras");
}

TEST_F(NetpbmAgreement, SunRasterFilesWithAColourMap) {
  // Two colours: netpbm writes 8-bit indexes behind a colour map, compressed on request.
  dir.write("two.ppm", "P6\n4 2\n255\n" + bytes({255, 0, 0,   0, 0, 255, 255, 0, 0, 0,   0, 255,
                                                 0,   0, 255, 0, 0, 255, 255, 0, 0, 255, 0, 0}));
  ASSERT_TRUE(dir.run("pnmtorast -standard two.ppm > m.ras && pnmtorast -rle two.ppm > r.ras"));
  ImagePtr mapped = decodeBytes(dir.read("m.ras"), "ras");
  ASSERT_TRUE(mapped);
  ASSERT_EQ(jas_image_numcmpts(mapped.get()), 1);
  const std::vector<long> idx = samplesOf(mapped.get(), 0);
  ASSERT_EQ(idx.size(), 8u);
  EXPECT_NE(idx[0], idx[1]);
  EXPECT_EQ(idx[0], idx[2]);
  EXPECT_EQ(idx[1], idx[4]);
  EXPECT_EQ(idx[0], idx[6]);

  const std::string rle = dir.read("r.ras");
  ASSERT_GE(rle.size(), 24u);
  EXPECT_EQ(rle[23], 2);  // the type field: run-length encoded
  EXPECT_FALSE(decodeBytes(rle, "ras"));
}
