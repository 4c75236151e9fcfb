#include "JasperTestUtil.h"

#include <gtest/gtest.h>

using V = std::vector<long>;

namespace {

// A PGX file of the given samples, written in (prec + 7) / 8 bytes each in the given byte order.
std::string pgx(bool bigEndian, const char *sign, int prec, int w, int h, const std::vector<long> &samples) {
  std::string s = std::string("PG ") + (bigEndian ? "ML" : "LM") + " " + sign + std::to_string(prec) + " " +
                  std::to_string(w) + " " + std::to_string(h) + "\n";
  const int bytes = (prec + 7) / 8;
  for (long v : samples) {
    for (int i = 0; i < bytes; ++i) {
      const int shift = bigEndian ? 8 * (bytes - 1 - i) : 8 * i;
      s.push_back(char((unsigned long)v >> shift));
    }
  }
  return s;
}

}  // namespace

TEST(PgxDecode, EightBitGreyComponent) {
  ImagePtr img = decodeBytes(pgx(true, "+", 8, 2, 2, {10, 20, 30, 40}), "pgx");
  ASSERT_TRUE(img);
  EXPECT_EQ(jas_clrspc_fam(jas_image_clrspc(img.get())), JAS_CLRSPC_FAM_GRAY);
  ASSERT_EQ(jas_image_numcmpts(img.get()), 1);
  EXPECT_EQ(jas_image_cmpttype(img.get(), 0), JAS_IMAGE_CT_GRAY_Y);
  EXPECT_EQ(jas_image_cmptprec(img.get(), 0), 8);
  EXPECT_EQ(jas_image_cmptsgnd(img.get(), 0), 0);
  EXPECT_EQ(jas_image_cmptwidth(img.get(), 0), 2);
  EXPECT_EQ(jas_image_cmptheight(img.get(), 0), 2);
  EXPECT_EQ(samplesOf(img.get(), 0), (V{10, 20, 30, 40}));
  EXPECT_EQ(jas_image_readcmptsample(img.get(), 0, 1, 1), 40);
}

TEST(PgxDecode, BothByteOrders) {
  ImagePtr big = decodeBytes("PG ML 16 2 1\n" + bytes({0x12, 0x34, 0x00, 0xFF}), "pgx");
  ImagePtr little = decodeBytes("PG LM 16 2 1\n" + bytes({0x34, 0x12, 0xFF, 0x00}), "pgx");
  ASSERT_TRUE(big);
  ASSERT_TRUE(little);
  EXPECT_EQ(samplesOf(big.get(), 0), (V{0x1234, 0x00FF}));
  EXPECT_EQ(samplesOf(little.get(), 0), (V{0x1234, 0x00FF}));
}

TEST(PgxDecode, SignedSamplesAreSignExtended) {
  // 12 bits: 0xFFF is -1, 0x800 the most negative value, 0x7FF the largest.
  ImagePtr img = decodeBytes("PG ML -12 3 1\n" + bytes({0x0F, 0xFF, 0x08, 0x00, 0x07, 0xFF}), "pgx");
  ASSERT_TRUE(img);
  EXPECT_EQ(jas_image_cmptsgnd(img.get(), 0), 1);
  EXPECT_EQ(jas_image_cmptprec(img.get(), 0), 12);
  EXPECT_EQ(samplesOf(img.get(), 0), (V{-1, -2048, 2047}));

  ImagePtr low = decodeBytes(pgx(false, "-", 8, 2, 1, {0x80, 0x7F}), "pgx");
  ASSERT_TRUE(low);
  EXPECT_EQ(samplesOf(low.get(), 0), (V{-128, 127}));
}

TEST(PgxDecode, EveryDepthFromOneToSixteenInBothOrders) {
  for (int prec = 1; prec <= 16; ++prec) {
    const long top = (1L << prec) - 1;
    for (bool bigEndian : {true, false}) {
      ImagePtr u = decodeBytes(pgx(bigEndian, "", prec, 3, 1, {0, top / 2, top}), "pgx");
      ASSERT_TRUE(u) << prec;
      EXPECT_EQ(jas_image_cmptprec(u.get(), 0), prec);
      EXPECT_EQ(samplesOf(u.get(), 0), (V{0, top / 2, top})) << prec << bigEndian;

      ImagePtr s = decodeBytes(pgx(bigEndian, "-", prec, 2, 1, {top, 1L << (prec - 1)}), "pgx");
      ASSERT_TRUE(s) << prec;
      EXPECT_EQ(samplesOf(s.get(), 0), (V{-1, -(1L << (prec - 1))})) << prec << bigEndian;
    }
  }
}

TEST(PgxDecode, BitsAboveThePrecisionAreIgnored) {
  ImagePtr img = decodeBytes("PG ML +1 3 1\n" + bytes({1, 0, 0xFF}), "pgx");
  ASSERT_TRUE(img);
  EXPECT_EQ(samplesOf(img.get(), 0), (V{1, 0, 1}));
}

TEST(PgxDecode, MalformedFilesFailCleanly) {
  const std::string bad[] = {
      "",
      "PX ML 8 1 1\n\1",
      "PG XY 8 1 1\n\1",
      "PG ML 0 1 1\n\1",
      "PG ML 40 1 1\n\1\1\1\1\1",
      "PG ML 8 0 1\n",
      "PG ML 8 1 0\n",
      "PG ML 8 1\n\1",
      "PG ML 8 1 1",
      "PG ML 8 1 1x\1",
      "PG ML * 8 1 1\n\1",
      "PG ML 8 99999999999 1\n\1",
      "PG ML 8 2 2\n\1\2\3",
      "PG ML 16 1 1\n\1",
      "PG ML 8 65536 65536\n\1",
  };
  for (const std::string &s : bad) EXPECT_FALSE(decodeBytes(s, "pgx")) << s;
}
