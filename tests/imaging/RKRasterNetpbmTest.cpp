// Files written by the netpbm tools decode to the pixels they were made from.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DecodedImage.h"
#include "HostPrograms.h"
#include "NetpbmTools.h"
#include "RKBMPDecoder.h"
#include "RKGIFDecoder.h"
#include "RKICODecoder.h"
#include "RKPCXDecoder.h"
#include "RKTGADecoder.h"

using namespace RKSDK;

namespace {

using Bytes = std::vector<unsigned char>;

class RasterNetpbm : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!NetpbmFolder::available() || !haveProgram({"ppmtobmp", "pamtotga", "ppmtopcx", "pamtogif", "ppmtowinicon"}))
      GTEST_SKIP() << "netpbm tools not installed";
    ASSERT_FALSE(dir.path().empty());
    const std::string colourful = NetpbmFolder::colourfulPixmap();
    dir.write("many.ppm", colourful);
    manyRgb.assign(colourful.end() - 20 * 15 * 3, colourful.end());
    // 13 x 7 pixels of 12 colours (odd width, so that rows need padding).
    std::string few = "P6\n13 7\n255\n";
    static const unsigned char colours[12][3] = {{0, 0, 0},     {255, 255, 255}, {255, 0, 0},   {0, 255, 0},
                                                 {0, 0, 255},   {9, 99, 199},    {200, 100, 0}, {1, 2, 3},
                                                 {128, 128, 0}, {0, 128, 128},   {77, 0, 77},   {250, 240, 230}};
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 13; ++x)
        for (int c = 0; c < 3; ++c) {
          few.push_back(char(colours[(x * 5 + y * 3) % 12][c]));
          fewRgb.push_back(colours[(x * 5 + y * 3) % 12][c]);
        }
    dir.write("few.ppm", few);
    // Black and white only.
    std::string two = "P6\n13 3\n255\n";
    for (int i = 0; i < 13 * 3; ++i)
      for (int c = 0; c < 3; ++c) {
        two.push_back(char((i % 3 == 0) ? 255 : 0));
        twoRgb.push_back((i % 3 == 0) ? 255 : 0);
      }
    dir.write("two.ppm", two);
  }

  static Bytes toBgr(const Bytes& rgb) {
    Bytes out(rgb);
    for (size_t i = 0; i + 2 < out.size(); i += 3) std::swap(out[i], out[i + 2]);
    return out;
  }
  static Bytes toBgra(const Bytes& rgb) {
    Bytes out;
    for (size_t i = 0; i + 2 < rgb.size(); i += 3) out.insert(out.end(), {rgb[i + 2], rgb[i + 1], rgb[i], 255});
    return out;
  }
  std::string make(const std::string& cmd, const std::string& name) {
    EXPECT_TRUE(dir.run(cmd + " > " + name)) << cmd;
    return dir.read(name);
  }
  // First image of a group decoder's result, as pixels.
  static Bytes firstFrame(RKImageGroupDecoder& decoder, const std::string& file) {
    if (!decoder.openMemory(file.data(), int(file.size()))) return Bytes();
    RKImageGroup* group = decoder.getImage();
    if (!group) return Bytes();
    RKImage* image = group->getImage(0);
    Bytes out = image ? bytesOf(image->getBuffer()) : Bytes();
    if (image) image->release();
    group->release();
    return out;
  }

  NetpbmFolder dir;
  Bytes manyRgb, fewRgb, twoRgb;
};

}  // namespace

TEST_F(RasterNetpbm, BmpAtEveryDepthNetpbmWrites) {
  RKBMPDecoder decoder;
  DecodedImage img = decodeImage(decoder, make("ppmtobmp -bpp 24 many.ppm", "a.bmp"));
  EXPECT_EQ(img.type, 1005u);
  EXPECT_EQ(img.pixels, toBgr(manyRgb));
  EXPECT_EQ(decodeImage(decoder, make("ppmtobmp -bpp 8 few.ppm", "b.bmp")).pixels, toBgr(fewRgb));
  EXPECT_EQ(decodeImage(decoder, make("ppmtobmp -bpp 4 few.ppm", "c.bmp")).pixels, toBgr(fewRgb));
  EXPECT_EQ(decodeImage(decoder, make("ppmtobmp -bpp 1 two.ppm", "d.bmp")).pixels, toBgr(twoRgb));
}

TEST_F(RasterNetpbm, TgaRawRunLengthAndColourMapped) {
  RKTGADecoder decoder;
  DecodedImage raw = decodeImage(decoder, make("pamtotga -rgb -norle many.ppm", "a.tga"));
  EXPECT_EQ(raw.type, 1005u);
  EXPECT_EQ(raw.pixels, toBgr(manyRgb));
  EXPECT_EQ(decodeImage(decoder, make("pamtotga -rgb many.ppm", "b.tga")).pixels, toBgr(manyRgb));
  EXPECT_EQ(decodeImage(decoder, make("pamtotga -cmap few.ppm", "c.tga")).pixels, toBgr(fewRgb));
  EXPECT_EQ(decodeImage(decoder, make("pamtotga -cmap -norle few.ppm", "d.tga")).pixels, toBgr(fewRgb));
  // Grey without a map: each value spread to blue, green and red.
  const std::string grey = make("ppmtopgm few.ppm | pnmtoplainpnm", "g.pgm");
  Bytes expected;
  for (long v : NetpbmFolder::parsePlain(grey).samples)
    expected.insert(expected.end(), 3, static_cast<unsigned char>(v));
  EXPECT_EQ(decodeImage(decoder, make("ppmtopgm few.ppm | pamtotga -mono -norle", "e.tga")).pixels, expected);
  // Run-length grey (type 11).
  const std::string rle = make("ppmtopgm few.ppm | pamtotga -mono", "f.tga");
  ASSERT_EQ(rle[2], 11);
  EXPECT_EQ(decodeImage(decoder, rle).pixels, expected);
}

TEST_F(RasterNetpbm, PcxPlanesAndPalette) {
  RKPCXDecoder decoder;
  DecodedImage planes = decodeImage(decoder, make("ppmtopcx -24bit many.ppm", "a.pcx"));
  EXPECT_EQ(planes.type, 1003u);
  EXPECT_EQ(planes.pixels, manyRgb);
  EXPECT_EQ(decodeImage(decoder, make("ppmtopcx -24bit few.ppm", "b.pcx")).pixels, fewRgb);
  EXPECT_EQ(decodeImage(decoder, make("ppmtopcx -8bit few.ppm", "c.pcx")).pixels, fewRgb);
  // Sixteen colours or fewer: four planes of one bit; packed 4-bit pixels are refused.
  EXPECT_EQ(decodeImage(decoder, make("ppmtopcx -planes 4 few.ppm", "d.pcx")).pixels, fewRgb);
  EXPECT_EQ(decodeImage(decoder, make("ppmtopcx -packed few.ppm", "e.pcx")).type, 0u);
}

TEST_F(RasterNetpbm, GifPlainInterlacedAndTransparent) {
  RKGIFDecoder decoder;
  EXPECT_EQ(firstFrame(decoder, make("pamtogif few.ppm", "a.gif")), toBgra(fewRgb));
  EXPECT_EQ(firstFrame(decoder, make("pamtogif -interlace few.ppm", "b.gif")), toBgra(fewRgb));
  Bytes keyed = toBgra(fewRgb);
  for (size_t i = 0; i < keyed.size(); i += 4)
    if (keyed[i] == 0 && keyed[i + 1] == 0 && keyed[i + 2] == 255) keyed[i + 3] = 0;
  EXPECT_EQ(firstFrame(decoder, make("pamtogif -transparent=rgb:ff/00/00 few.ppm", "c.gif")), keyed);
}

TEST_F(RasterNetpbm, IconsWrittenByNetpbm) {
  RKICODecoder decoder;
  // netpbm picks the depth for the colours: 4 bits for the twelve, 1 for black and white.
  EXPECT_EQ(firstFrame(decoder, make("ppmtowinicon few.ppm", "a.ico")), toBgra(fewRgb));
  EXPECT_EQ(firstFrame(decoder, make("ppmtowinicon two.ppm", "b.ico")), toBgra(twoRgb));

  // Several entries, each with an AND mask made from a grey map (black is transparent, as
  // netpbm has it). The pattern is asymmetric and the width odd, so a mirrored or unpadded
  // mask would show.
  std::string mask = "P5\n13 7\n255\n";
  for (int i = 0; i < 13 * 7; ++i) mask.push_back(char(i % 3 == 0 || i % 13 == 1 ? 255 : 0));
  dir.write("few.pgm", mask);
  make("pamscale 2 few.ppm", "big.ppm");
  make("pamscale 2 few.pgm", "big.pgm");
  const std::string file = make("ppmtowinicon -andpgms few.ppm few.pgm big.ppm big.pgm", "c.ico");
  ASSERT_EQ(decoder.openMemory(file.data(), int(file.size())), 1);
  RKImageGroup* group = decoder.getImage();
  ASSERT_NE(group, nullptr);
  ASSERT_EQ(group->getCount(), 2);
  RKImage* first = group->getImage(0);
  Bytes pixels = bytesOf(first->getBuffer());
  first->release();
  group->release();
  Bytes expected = toBgra(fewRgb);
  for (int i = 0; i < 13 * 7; ++i)
    if (mask[size_t(12 + i)] == 0) expected[size_t(i) * 4 + 3] = 0;
  EXPECT_EQ(pixels, expected);
}
