#include "JasperTestUtil.h"

#include <gtest/gtest.h>

using V = std::vector<long>;

namespace {

void put32(std::string &s, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) s.push_back(char(v >> shift));
}

std::string rasHeader(uint32_t w, uint32_t h, uint32_t depth, uint32_t type = 1, uint32_t mapType = 0,
                      uint32_t mapLength = 0, uint32_t magic = 0x59A66A95) {
  std::string s;
  for (uint32_t v : {magic, w, h, depth, uint32_t(0), type, mapType, mapLength}) put32(s, v);
  return s;
}

}  // namespace

TEST(RasDecode, TwentyFourBitPixelsAreBlueGreenRedWithRowsPaddedTo16Bits) {
  // 1 x 2 pixels: 3 bytes a row, padded to 4.
  const std::string file = rasHeader(1, 2, 24) + bytes({0x10, 0x20, 0x30, 0, 0x40, 0x50, 0x60, 0});
  ImagePtr img = decodeBytes(file, "ras");
  ASSERT_TRUE(img);
  EXPECT_EQ(jas_clrspc_fam(jas_image_clrspc(img.get())), JAS_CLRSPC_FAM_RGB);
  EXPECT_COMPONENTS(img.get(), 3, 8, 1, 2);
  EXPECT_EQ(samplesOf(img.get(), 0), (V{0x30, 0x60}));  // red: last byte
  EXPECT_EQ(samplesOf(img.get(), 1), (V{0x20, 0x50}));
  EXPECT_EQ(samplesOf(img.get(), 2), (V{0x10, 0x40}));  // blue: first byte
}

TEST(RasDecode, ThirtyTwoBitPixelsSkipTheirFirstByte) {
  const std::string file = rasHeader(2, 1, 32, 0) + bytes({0xEE, 1, 2, 3, 0xEE, 4, 5, 6});
  ImagePtr img = decodeBytes(file, "ras");
  ASSERT_TRUE(img);
  ASSERT_EQ(jas_image_numcmpts(img.get()), 3);
  EXPECT_EQ(samplesOf(img.get(), 0), (V{3, 6}));
  EXPECT_EQ(samplesOf(img.get(), 1), (V{2, 5}));
  EXPECT_EQ(samplesOf(img.get(), 2), (V{1, 4}));
}

TEST(RasDecode, ColourMapIsSkippedAndIndexedDepthsAreGrey) {
  // Eight-bit indexes behind a two-entry map (red plane, green plane, blue plane).
  const std::string file = rasHeader(3, 1, 8, 1, 1, 6) + bytes({9, 9, 9, 9, 9, 9}) + bytes({0, 1, 1, 0});
  ImagePtr img = decodeBytes(file, "ras");
  ASSERT_TRUE(img);
  EXPECT_EQ(jas_clrspc_fam(jas_image_clrspc(img.get())), JAS_CLRSPC_FAM_GRAY);
  ASSERT_EQ(jas_image_numcmpts(img.get()), 1);
  EXPECT_EQ(jas_image_cmptprec(img.get(), 0), 8);
  EXPECT_EQ(samplesOf(img.get(), 0), (V{0, 1, 1}));

  ImagePtr rgb = decodeBytes(rasHeader(1, 1, 24, 1, 2, 3) + bytes({7, 7, 7}) + bytes({1, 2, 3, 0}), "ras");
  ASSERT_TRUE(rgb);
  EXPECT_EQ(samplesOf(rgb.get(), 0), (V{3}));
}

TEST(RasDecode, OneBitPixelsAreTakenMostSignificantBitFirst) {
  // 10 pixels a row take 2 bytes (already a multiple of 16 bits).
  const std::string file = rasHeader(10, 2, 1) + bytes({0xA0, 0x40, 0xFF, 0xC0});
  ImagePtr img = decodeBytes(file, "ras");
  ASSERT_TRUE(img);
  EXPECT_EQ(jas_image_cmptprec(img.get(), 0), 1);
  EXPECT_EQ(samplesOf(img.get(), 0), (V{1, 0, 1, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}));

  // 17 pixels need 3 bytes, padded to 4.
  ImagePtr wide = decodeBytes(rasHeader(17, 1, 1) + bytes({0, 0, 0x80, 0xFF}), "ras");
  ASSERT_TRUE(wide);
  EXPECT_EQ(samplesOf(wide.get(), 0).back(), 1);
}

TEST(RasDecode, CompressedAndRgbOrderedFilesAreRefused) {
  EXPECT_FALSE(decodeBytes(rasHeader(2, 1, 24, 2) + bytes({0x80, 2, 7, 0, 0}), "ras"));
  EXPECT_FALSE(decodeBytes(rasHeader(1, 1, 24, 3) + bytes({1, 2, 3, 0}), "ras"));
  EXPECT_FALSE(decodeBytes(rasHeader(1, 1, 24, 5) + bytes({1, 2, 3, 0}), "ras"));
}

TEST(RasDecode, MalformedFilesFailCleanly) {
  const std::string pixel = bytes({1, 2, 3, 0});
  const std::string bad[] = {
      "",
      rasHeader(1, 1, 24).substr(0, 31),
      rasHeader(1, 1, 24, 1, 0, 0, 0x956AA659) + pixel,
      rasHeader(0, 1, 24) + pixel,
      rasHeader(1, 0, 24) + pixel,
      rasHeader(0x80000000u, 1, 24) + pixel,
      rasHeader(1, 1, 0) + pixel,
      rasHeader(1, 1, 33) + pixel + pixel,
      rasHeader(1, 1, 24, 1, 3, 0) + pixel,
      rasHeader(1, 1, 24, 1, 1, 4) + pixel + pixel,
      rasHeader(1, 1, 24, 1, 1, 0xFFFFFFFF) + pixel,
      rasHeader(1, 1, 24) + pixel.substr(0, 3),
      rasHeader(1, 2, 24) + pixel,
      rasHeader(65536, 65536, 32) + pixel,
      rasHeader(0x7FFFFFFF, 0x7FFFFFFF, 32) + pixel,
  };
  for (const std::string &s : bad) EXPECT_FALSE(decodeBytes(s, "ras")) << s.size();
}

TEST(RasDecode, EveryTruncationFails) {
  const std::string file = rasHeader(3, 2, 24, 1, 1, 3) + bytes({1, 2, 3}) + std::string(20, '\x05');
  ASSERT_TRUE(decodeBytes(file, "ras"));
  for (size_t n = 0; n < file.size(); ++n) EXPECT_FALSE(decodeBytes(file.substr(0, n), "ras")) << n;
}
