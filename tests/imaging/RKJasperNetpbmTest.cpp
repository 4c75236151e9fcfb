// Files written by the netpbm tools decode to the 8-bit pixels netpbm itself makes of them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DecodedImage.h"
#include "NetpbmTools.h"
#include "RKPNMDecoder.h"
#include "RKRASDecoder.h"

using namespace RKSDK;

namespace {

class JasperNetpbm : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!NetpbmFolder::available()) GTEST_SKIP() << "netpbm tools not installed";
    ASSERT_FALSE(dir.path().empty());
    dir.write("in.ppm", NetpbmFolder::colourfulPixmap());
  }

  static std::vector<unsigned char> decode(RKJasperDecoder& decoder, const std::string& file, unsigned& type) {
    DecodedImage image = decodeImage(decoder, file);
    type = image.type;
    return image.pixels;
  }

  // netpbm's own 8-bit rendering of a file, as bytes.
  std::vector<unsigned char> reference(const std::string& name) {
    EXPECT_TRUE(dir.run("pnmdepth 255 " + name + " | pnmtoplainpnm > ref.pnm"));
    NetpbmFolder::Plain plain = NetpbmFolder::parsePlain(dir.read("ref.pnm"));
    return std::vector<unsigned char>(plain.samples.begin(), plain.samples.end());
  }

  NetpbmFolder dir;
};

}  // namespace

TEST_F(JasperNetpbm, PixmapsAndGreyMapsAtDepthsUpToSixteenBits) {
  RKPNMDecoder decoder;
  for (const std::string m : {"255", "15", "1", "65535", "100", "1000"}) {
    ASSERT_TRUE(dir.run("pnmdepth " + m + " in.ppm > c.ppm && pnmtoplainpnm c.ppm > cp.ppm"));
    ASSERT_TRUE(dir.run("ppmtopgm c.ppm > g.pgm && pnmtoplainpnm g.pgm > gp.pgm"));
    const std::vector<unsigned char> colour = reference("c.ppm"), grey = reference("g.pgm");
    unsigned type;
    for (const char* name : {"c.ppm", "cp.ppm"}) {
      EXPECT_EQ(decode(decoder, dir.read(name), type), colour) << name << " " << m;
      EXPECT_EQ(type, 1003u);
    }
    for (const char* name : {"g.pgm", "gp.pgm"}) {
      if (dir.read(name).compare(0, 2, "P1") == 0) continue;  // netpbm writes a plain grey map of maximum 1 as a bitmap
      EXPECT_EQ(decode(decoder, dir.read(name), type), grey) << name << " " << m;
      EXPECT_EQ(type, 1011u);
    }
  }
}

TEST_F(JasperNetpbm, Bitmaps) {
  RKPNMDecoder decoder;
  ASSERT_TRUE(dir.run("ppmtopgm in.ppm | pgmtopbm -threshold > b.pbm && pnmtoplainpnm b.pbm > bp.pbm"));
  NetpbmFolder::Plain plain = NetpbmFolder::parsePlain(dir.read("bp.pbm"));
  const std::vector<unsigned char> expected(plain.samples.begin(), plain.samples.end());
  unsigned type;
  for (const char* name : {"b.pbm", "bp.pbm"}) {
    EXPECT_EQ(decode(decoder, dir.read(name), type), expected) << name;
    EXPECT_EQ(type, 1028u);
  }
}

TEST_F(JasperNetpbm, SunRasterOfTwentyFourBitsComesOutBlueGreenRed) {
  ASSERT_TRUE(dir.run("pnmtorast -standard in.ppm > s.ras"));
  std::vector<unsigned char> rgb = reference("in.ppm");
  for (size_t i = 0; i + 2 < rgb.size(); i += 3) std::swap(rgb[i], rgb[i + 2]);
  RKRASDecoder decoder;
  unsigned type;
  EXPECT_EQ(decode(decoder, dir.read("s.ras"), type), rgb);
  EXPECT_EQ(type, 1005u);
}
