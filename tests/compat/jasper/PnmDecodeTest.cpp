#include "JasperTestUtil.h"

#include <gtest/gtest.h>

using V = std::vector<long>;

TEST(PnmDecode, RawPixmapGivesRedGreenBlueComponents) {
  ImagePtr img = decodeBytes("P6\n2 1\n255\n" + bytes({255, 0, 0, 0, 0, 255}), "pnm");
  ASSERT_TRUE(img);
  EXPECT_EQ(jas_clrspc_fam(jas_image_clrspc(img.get())), JAS_CLRSPC_FAM_RGB);
  EXPECT_COMPONENTS(img.get(), 3, 8, 2, 1);
  EXPECT_EQ(samplesOf(img.get(), 0), (V{255, 0}));
  EXPECT_EQ(samplesOf(img.get(), 1), (V{0, 0}));
  EXPECT_EQ(samplesOf(img.get(), 2), (V{0, 255}));
}

TEST(PnmDecode, PlainPixmapWithCommentsInTheHeader) {
  ImagePtr img = decodeBytes("P3\n# made by hand\n2 # width\n1\n# max\n255\n255 0 0\n0 0 255\n", "pnm");
  ASSERT_TRUE(img);
  EXPECT_EQ(samplesOf(img.get(), 0), (V{255, 0}));
  EXPECT_EQ(samplesOf(img.get(), 2), (V{0, 255}));
}

TEST(PnmDecode, GreyMapsRawAndPlain) {
  ImagePtr raw = decodeBytes("P5 3 2 255\n" + bytes({1, 2, 3, 4, 5, 250}), "pnm");
  ASSERT_TRUE(raw);
  EXPECT_EQ(jas_clrspc_fam(jas_image_clrspc(raw.get())), JAS_CLRSPC_FAM_GRAY);
  ASSERT_EQ(jas_image_numcmpts(raw.get()), 1);
  EXPECT_EQ(jas_image_cmpttype(raw.get(), 0), JAS_IMAGE_CT_GRAY_Y);
  EXPECT_EQ(samplesOf(raw.get(), 0), (V{1, 2, 3, 4, 5, 250}));

  ImagePtr plain = decodeBytes("P2\r\n3 2\r\n255\r\n1 2 3\r\n4 5 250\r\n", "pnm");
  ASSERT_TRUE(plain);
  EXPECT_EQ(samplesOf(plain.get(), 0), (V{1, 2, 3, 4, 5, 250}));
}

TEST(PnmDecode, PrecisionIsTheBitsOfAFullMaximumElseEightOrSixteen) {
  struct Case {
    const char *maxval;
    int prec;
  } cases[] = {{"1", 1}, {"3", 2}, {"15", 4}, {"100", 8}, {"255", 8}, {"256", 16}, {"1023", 10}, {"65535", 16}};
  for (const Case &c : cases) {
    ImagePtr img = decodeBytes(std::string("P2 1 1 ") + c.maxval + " 1\n", "pnm");
    ASSERT_TRUE(img) << c.maxval;
    EXPECT_EQ(jas_image_cmptprec(img.get(), 0), c.prec) << c.maxval;
  }
}

TEST(PnmDecode, SamplesAboveEightBitsTakeTwoBytesMostSignificantFirst) {
  ImagePtr grey = decodeBytes("P5 2 1 1023\n" + bytes({0x03, 0xFF, 0x01, 0x02}), "pnm");
  ASSERT_TRUE(grey);
  EXPECT_EQ(jas_image_cmptprec(grey.get(), 0), 10);
  EXPECT_EQ(samplesOf(grey.get(), 0), (V{1023, 0x102}));

  ImagePtr rgb = decodeBytes("P6 1 1 65535\n" + bytes({0xFF, 0xFF, 0x80, 0x00, 0x00, 0x01}), "pnm");
  ASSERT_TRUE(rgb);
  EXPECT_EQ(jas_image_cmptprec(rgb.get(), 1), 16);
  EXPECT_EQ(samplesOf(rgb.get(), 0), (V{65535}));
  EXPECT_EQ(samplesOf(rgb.get(), 1), (V{0x8000}));
  EXPECT_EQ(samplesOf(rgb.get(), 2), (V{1}));

  ImagePtr plain = decodeBytes("P3 1 1 4095 4095 2048 7\n", "pnm");
  ASSERT_TRUE(plain);
  EXPECT_EQ(jas_image_cmptprec(plain.get(), 0), 12);
  EXPECT_EQ(samplesOf(plain.get(), 1), (V{2048}));
}

TEST(PnmDecode, SamplesAreScaledFromAMaximumThatIsNotAFullRange) {
  // Maximum 100: white is 100, brought to 255 at precision 8, rounded.
  ImagePtr raw = decodeBytes("P5 4 1 100\n" + bytes({100, 50, 1, 0}), "pnm");
  ASSERT_TRUE(raw);
  EXPECT_EQ(samplesOf(raw.get(), 0), (V{255, 128, 3, 0}));
  ImagePtr plain = decodeBytes("P3 1 1 100 100 50 1\n", "pnm");
  ASSERT_TRUE(plain);
  EXPECT_EQ(samplesOf(plain.get(), 0), (V{255}));
  EXPECT_EQ(samplesOf(plain.get(), 1), (V{128}));
  // Maximum 1000: two bytes a sample, brought to 65535 at precision 16.
  ImagePtr wide = decodeBytes("P6 1 1 1000\n" + bytes({0x03, 0xE8, 0x01, 0xF4, 0x00, 0x01}), "pnm");
  ASSERT_TRUE(wide);
  EXPECT_EQ(jas_image_cmptprec(wide.get(), 0), 16);
  EXPECT_EQ(samplesOf(wide.get(), 0), (V{65535}));
  EXPECT_EQ(samplesOf(wide.get(), 1), (V{32768}));
  EXPECT_EQ(samplesOf(wide.get(), 2), (V{66}));
}

TEST(PnmDecode, SamplesAboveTheMaximumAreClamped) {
  ImagePtr raw = decodeBytes("P5 2 1 100\n" + bytes({200, 50}), "pnm");
  ASSERT_TRUE(raw);
  EXPECT_EQ(samplesOf(raw.get(), 0), (V{255, 128}));
  ImagePtr plain = decodeBytes("P2 2 1 15 99999999999 3\n", "pnm");
  ASSERT_TRUE(plain);
  EXPECT_EQ(samplesOf(plain.get(), 0), (V{15, 3}));
}

TEST(PnmDecode, BitmapsAreGreyWithWhiteOneAndBlackZero) {
  // Plain bitmaps allow the digits with or without white space between them.
  ImagePtr plain = decodeBytes("P1\n# c\n3 2\n1 0 1\n011", "pnm");
  ASSERT_TRUE(plain);
  EXPECT_EQ(jas_clrspc_fam(jas_image_clrspc(plain.get())), JAS_CLRSPC_FAM_GRAY);
  ASSERT_EQ(jas_image_numcmpts(plain.get()), 1);
  EXPECT_EQ(jas_image_cmptprec(plain.get(), 0), 1);
  EXPECT_EQ(samplesOf(plain.get(), 0), (V{0, 1, 0, 1, 0, 0}));

  // Raw rows start on a new byte: 10 pixels take two bytes a row.
  ImagePtr raw = decodeBytes("P4 10 2\n" + bytes({0xA0, 0x40, 0xFF, 0xC0}), "pnm");
  ASSERT_TRUE(raw);
  EXPECT_EQ(samplesOf(raw.get(), 0), (V{0, 1, 0, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(PnmDecode, MalformedHeadersFailCleanly) {
  const std::string bad[] = {
      "",
      "P",
      "Q6 1 1 255\n\1\2\3",
      "P0 1 1 255\n\1",
      "P7 1 1 255\n\1\2\3",
      "P5",
      "P5 1",
      "P5 1 1",
      "P5 x 1 255\n\1",
      "P5 0 1 255\n",
      "P5 1 0 255\n",
      "P5 1 1 0\n\1",
      "P5 1 1 65536\n\1\1",
      "P5 1 1 255",
      "P5 1 1 255x\1",
      "P5 99999999999 1 255\n\1",
      "P6 65536 65536 255\n\1\2\3",
      "P4 2147483647 2147483647\n\1",
  };
  for (const std::string &s : bad) EXPECT_FALSE(decodeBytes(s, "pnm")) << s;
}

TEST(PnmDecode, TruncatedOrBadRastersFailCleanly) {
  EXPECT_FALSE(decodeBytes("P5 3 2 255\n" + bytes({1, 2, 3, 4, 5}), "pnm"));
  EXPECT_FALSE(decodeBytes("P5 1 1 256\n" + bytes({1}), "pnm"));
  EXPECT_FALSE(decodeBytes("P6 2 1 255\n" + bytes({1, 2, 3, 4, 5}), "pnm"));
  EXPECT_FALSE(decodeBytes("P4 9 2\n" + bytes({0, 0, 0}), "pnm"));
  EXPECT_FALSE(decodeBytes("P2 2 2 255 1 2 3", "pnm"));
  EXPECT_FALSE(decodeBytes("P2 2 1 255 1 x", "pnm"));
  EXPECT_FALSE(decodeBytes("P1 2 1 1 2", "pnm"));
  EXPECT_FALSE(decodeBytes("P3 1 1 255 1 2", "pnm"));
}

TEST(PnmDecode, EveryTruncationOfARawFileFails) {
  const std::string file = "P6\n# c\n3 2\n1000\n" + std::string(3 * 2 * 3 * 2, '\x01');
  ASSERT_TRUE(decodeBytes(file, "pnm"));
  for (size_t n = 0; n < file.size(); ++n) EXPECT_FALSE(decodeBytes(file.substr(0, n), "pnm")) << n;
}
