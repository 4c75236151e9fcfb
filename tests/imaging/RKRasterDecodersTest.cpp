// BMP, TGA and PCX decoders through their public operations, on files built here.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "ByteWriter.h"
#include "DecodedImage.h"
#include "RasterFileWriters.h"
#include "RKBMPDecoder.h"
#include "RKPCXDecoder.h"
#include "RKParam.h"
#include "RKTGADecoder.h"

using namespace RKSDK;

namespace {

using Bytes = std::vector<unsigned char>;

std::string palette256(int seed) {
  std::string p;
  for (int i = 0; i < 768; ++i) p.push_back(char(i * 7 + seed));
  return p;
}

}  // namespace

TEST(RKBMPDecoder, RowOrderFollowsTheSignOfTheHeight) {
  const std::string rows = byteString({1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0});
  RKBMPDecoder decoder;
  EXPECT_NE(std::string(decoder.getClassName()).find(".RKBMPDecoder"), std::string::npos);
  DecodedImage up = decodeImage(decoder, bmpFile(1, 3, 24, "", rows));
  EXPECT_EQ(up.type, 1005u);
  EXPECT_EQ(up.width, 1);
  EXPECT_EQ(up.height, 3);
  EXPECT_EQ(up.pixels, (Bytes{7, 8, 9, 4, 5, 6, 1, 2, 3}));
  DecodedImage down = decodeImage(decoder, bmpFile(1, -3, 24, "", rows));
  EXPECT_EQ(down.pixels, (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST(RKBMPDecoder, DepthsAndPalettes) {
  RKBMPDecoder decoder;
  // 32 bits: alpha is 255 whatever the file holds.
  DecodedImage rgba = decodeImage(decoder, bmpFile(2, 1, 32, "", byteString({1, 2, 3, 9, 4, 5, 6, 0})));
  EXPECT_EQ(rgba.type, 1007u);
  EXPECT_EQ(rgba.pixels, (Bytes{1, 2, 3, 255, 4, 5, 6, 255}));
  EXPECT_EQ(decoder.readRaw(nullptr), 8);

  // 16 bits: 5-6-5 with bit fields whose red mask is F800, else 5-5-5.
  std::string masks;
  put32(masks, 0xF800);
  put32(masks, 0x07E0);
  put32(masks, 0x001F);
  EXPECT_EQ(decodeImage(decoder, bmpFile(1, 1, 16, masks, byteString({0x00, 0xF8, 0, 0}), 3)).pixels,
            (Bytes{0, 0, 248}));
  EXPECT_EQ(decodeImage(decoder, bmpFile(1, 1, 16, "", byteString({0x00, 0xF8, 0, 0}))).pixels, (Bytes{0, 0, 240}));

  // 1, 2, 4 and 8 bits through the palette.
  const std::string pal2 = byteString({10, 11, 12, 0, 20, 21, 22, 0});
  EXPECT_EQ(decodeImage(decoder, bmpFile(3, 1, 1, pal2, byteString({0xA0, 0, 0, 0}))).pixels,
            (Bytes{20, 21, 22, 10, 11, 12, 20, 21, 22}));
  const std::string pal4 = pal2 + byteString({30, 31, 32, 0, 40, 41, 42, 0});
  EXPECT_EQ(decodeImage(decoder, bmpFile(5, 1, 2, pal4, byteString({0x1B, 0x80, 0, 0}))).pixels,
            (Bytes{10, 11, 12, 20, 21, 22, 30, 31, 32, 40, 41, 42, 30, 31, 32}));
  EXPECT_EQ(decodeImage(decoder, bmpFile(3, 1, 4, pal4 + std::string(48, '\0'), byteString({0x32, 0x10, 0, 0}))).pixels,
            (Bytes{40, 41, 42, 30, 31, 32, 20, 21, 22}));
  std::string pal256(1024, '\0');
  pal256[4 * 200] = 1;
  pal256[4 * 200 + 2] = 3;
  EXPECT_EQ(decodeImage(decoder, bmpFile(2, 1, 8, pal256, byteString({200, 7, 0, 0}))).pixels,
            (Bytes{1, 0, 3, 0, 0, 0}));
}

TEST(RKBMPDecoder, LongerInfoHeadersAndShortPalettes) {
  RKBMPDecoder decoder;
  // The palette follows the info header of 108 or 124 bytes.
  const std::string pal2 = byteString({10, 11, 12, 0, 20, 21, 22, 0});
  for (uint32_t size : {108u, 124u})
    EXPECT_EQ(decodeImage(decoder, bmpFile(3, 1, 1, pal2, byteString({0xA0, 0, 0, 0}), 0, size)).pixels,
              (Bytes{20, 21, 22, 10, 11, 12, 20, 21, 22}))
        << size;
  // Bit-field masks are the header's own fields there: 5-6-5, and 8-8-8 for 32 bits.
  std::string masks;
  for (uint32_t m : {0xF800u, 0x07E0u, 0x001Fu}) put32(masks, m);
  std::string file = bmpFile(1, 1, 16, "", byteString({0x00, 0xF8, 0, 0}), 3, 108);
  file.replace(54, 12, masks);
  EXPECT_EQ(decodeImage(decoder, file).pixels, (Bytes{0, 0, 248}));
  masks.clear();
  for (uint32_t m : {0xFF0000u, 0xFF00u, 0xFFu}) put32(masks, m);
  file = bmpFile(1, 1, 32, "", byteString({1, 2, 3, 4}), 3, 124);
  file.replace(54, 12, masks);
  EXPECT_EQ(decodeImage(decoder, file).pixels, (Bytes{1, 2, 3, 255}));
  // A palette of fewer entries than the depth allows (colours used), at the end of a short file.
  const std::string pal3 = pal2 + byteString({30, 31, 32, 0});
  EXPECT_EQ(decodeImage(decoder, bmpFile(3, 1, 8, pal3, byteString({2, 0, 1, 0}), 0, 40, 3)).pixels,
            (Bytes{30, 31, 32, 10, 11, 12, 20, 21, 22}));
}

TEST(RKBMPDecoder, CompressionsAndLayoutsWithoutADecodingAreRefused) {
  RKBMPDecoder decoder;
  const std::string pal = std::string(1024, '\x40');
  const std::string rows = byteString({0, 1, 2, 3, 4, 5, 6, 7});
  // Run-length (1, 2), embedded JPEG and PNG (4, 5) and alpha bit fields (6).
  for (uint32_t compression : {1u, 2u, 4u, 5u, 6u})
    EXPECT_EQ(decodeImage(decoder, bmpFile(2, 1, 8, pal, rows, compression)).type, 0u) << compression;
  EXPECT_EQ(decodeImage(decoder, bmpFile(2, 1, 24, "", rows, 3)).type, 0u);  // bit fields need 16 or 32 bits
  // Masks of another layout.
  std::string masks;
  for (uint32_t m : {0x0F00u, 0x00F0u, 0x000Fu}) put32(masks, m);
  EXPECT_EQ(decodeImage(decoder, bmpFile(1, 1, 16, masks, rows, 3)).type, 0u);
  EXPECT_EQ(decodeImage(decoder, bmpFile(1, 1, 32, masks, rows, 3)).type, 0u);
  // Depths of no format, and the 12-byte core header.
  for (int bits : {0, 3, 5, 12, 48}) EXPECT_EQ(decodeImage(decoder, bmpFile(1, 1, bits, pal, rows)).type, 0u) << bits;
  EXPECT_EQ(decodeImage(decoder, bmpFile(1, 1, 24, "", rows, 0, 12)).type, 0u);
}

TEST(RKBMPDecoder, InfoAndZeroWidth) {
  RKBMPDecoder decoder;
  const std::string file = bmpFile(1, 1, 24, "", byteString({1, 2, 3, 0}));
  ASSERT_EQ(decoder.openMemory(file.data(), int(file.size())), 1);
  RKParam params;
  ASSERT_EQ(decoder.getInfo(&params), 1);
  EXPECT_EQ(params.getInt("IMAGE_ImageType"), 1005);
  EXPECT_EQ(params.getInt("BMP_ComponeNumber"), 3);
  EXPECT_EQ(params.getInt("BMP_XPerMeter"), 2835);
  EXPECT_EQ(params.getInt("BMP_XPerInch"), 72);
  EXPECT_EQ(params.getInt("BMP_YPerInch"), 96);

  const std::string empty = bmpFile(0, 1, 24, "", "");
  ASSERT_EQ(decoder.openMemory(empty.data(), int(empty.size())), 1);
  EXPECT_EQ(decoder.getImage(), nullptr);
  EXPECT_EQ(decoder.readRaw(nullptr), -1);  // closed by the failed decode
}

TEST(RKBMPDecoder, HostileHeadersFailCleanly) {
  RKBMPDecoder decoder;
  const std::string row = byteString({1, 2, 3, 0});
  const std::string bad[] = {
      "",
      "BM",
      "XY" + bmpFile(1, 1, 24, "", row).substr(2),
      bmpFile(-1, 1, 24, "", row),
      bmpFile(1, INT_MIN, 24, "", row),
      bmpFile(0x7FFFFFFF, 0x7FFFFFFF, 24, "", row),
      bmpFile(0x40000000, 1, 32, "", row),
      bmpFile(1, 2, 24, "", row),
      bmpFile(1, 1, 8, "", row),
      bmpFile(1, 1, 24, "", row.substr(0, 3)),
      bmpFile(1, 1, 16, "", "", 3),
  };
  for (const std::string& f : bad) EXPECT_EQ(decodeImage(decoder, f).type, 0u) << f.size();
}

TEST(RKTGADecoder, RawRowsInBothOrders) {
  RKTGADecoder decoder;
  EXPECT_NE(std::string(decoder.getClassName()).find(".RKTGADecoder"), std::string::npos);
  const std::string data = byteString({1, 2, 3, 4, 5, 6});
  DecodedImage up = decodeImage(decoder, tgaFile(2, 24, 1, 2, 0, data));
  EXPECT_EQ(up.type, 1005u);
  EXPECT_EQ(up.pixels, (Bytes{4, 5, 6, 1, 2, 3}));
  EXPECT_EQ(decodeImage(decoder, tgaFile(2, 24, 1, 2, 0x20, data)).pixels, (Bytes{1, 2, 3, 4, 5, 6}));
  // The ID field is skipped.
  EXPECT_EQ(decodeImage(decoder, tgaFile(2, 24, 1, 2, 0x20, data, "", 0, 0, "abc")).pixels, (Bytes{1, 2, 3, 4, 5, 6}));

  const std::string rgba = tgaFile(2, 32, 2, 1, 0x28, byteString({1, 2, 3, 4, 5, 6, 7, 8}));
  ASSERT_EQ(decoder.openMemory(rgba.data(), int(rgba.size())), 1);
  EXPECT_EQ(decoder.getAlphaBits(), 0);
  DecodedImage img = imageOf(decoder);
  EXPECT_EQ(img.type, 1007u);
  EXPECT_EQ(img.pixels, (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(decoder.readRaw(nullptr), 8);
  EXPECT_EQ(decoder.getAlphaBits(), 8);
  RKParam params;
  ASSERT_EQ(decoder.getInfo(&params), 1);
  EXPECT_EQ(params.getInt("IMAGE_ImageType"), 1007);
  EXPECT_EQ(params.getInt("TGA_AlphaBits"), 8);
}

TEST(RKTGADecoder, RunLengthPackets) {
  RKTGADecoder decoder;
  // A run of four, then a raw packet of two.
  EXPECT_EQ(
      decodeImage(decoder, tgaFile(10, 24, 6, 1, 0x20, byteString({0x83, 1, 2, 3, 0x01, 4, 5, 6, 7, 8, 9}))).pixels,
      (Bytes{1, 2, 3, 1, 2, 3, 1, 2, 3, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  // A packet that runs on into the next row continues there.
  EXPECT_EQ(decodeImage(decoder, tgaFile(10, 24, 2, 2, 0x20, byteString({0x82, 1, 2, 3, 0x00, 4, 5, 6}))).pixels,
            (Bytes{1, 2, 3, 1, 2, 3, 1, 2, 3, 4, 5, 6}));
  // One past the image's last pixel is dropped.
  EXPECT_EQ(decodeImage(decoder, tgaFile(10, 24, 2, 1, 0x20, byteString({0xFF, 1, 2, 3}))).pixels,
            (Bytes{1, 2, 3, 1, 2, 3}));
  // Type 11 is run-length grey; type 9 run-length colour-mapped.
  EXPECT_EQ(decodeImage(decoder, tgaFile(11, 8, 5, 1, 0x20, byteString({0x82, 7, 0x01, 200, 9}))).pixels,
            (Bytes{7, 7, 7, 7, 7, 7, 7, 7, 7, 200, 200, 200, 9, 9, 9}));
  EXPECT_EQ(
      decodeImage(decoder, tgaFile(9, 8, 3, 1, 0x20, byteString({0x82, 1}), byteString({1, 2, 3, 4, 5, 6}), 2, 24))
          .pixels,
      (Bytes{4, 5, 6, 4, 5, 6, 4, 5, 6}));
  // A short packet fails.
  EXPECT_EQ(decodeImage(decoder, tgaFile(10, 24, 4, 1, 0x20, byteString({0x03, 1, 2, 3, 4, 5, 6}))).type, 0u);
}

TEST(RKTGADecoder, SixteenBitAndColourMappedPixels) {
  RKTGADecoder decoder;
  EXPECT_EQ(decodeImage(decoder, tgaFile(2, 16, 2, 1, 0x20, byteString({0xFF, 0x7F, 0x1F, 0x00}))).pixels,
            (Bytes{0xF8, 0xF8, 0xF8, 0xF8, 0, 0}));
  // Map entries blue, green, red; an index past the map is black.
  const std::string map = byteString({10, 11, 12, 20, 21, 22});
  EXPECT_EQ(decodeImage(decoder, tgaFile(1, 8, 3, 1, 0x20, byteString({1, 0, 9}), map, 2, 24)).pixels,
            (Bytes{20, 21, 22, 10, 11, 12, 0, 0, 0}));
  // 32-bit entries carry alpha, which a 3-byte pixel does not keep.
  EXPECT_EQ(decodeImage(decoder, tgaFile(1, 8, 1, 1, 0x20, byteString({0}), byteString({1, 2, 3, 4}), 1, 32)).pixels,
            (Bytes{1, 2, 3}));
  // Without a map, 8-bit pixels are grey.
  EXPECT_EQ(decodeImage(decoder, tgaFile(3, 8, 2, 1, 0x20, byteString({7, 200}))).pixels,
            (Bytes{7, 7, 7, 200, 200, 200}));
  // 16-bit map entries are refused; so are depths without a decoding.
  EXPECT_EQ(decodeImage(decoder, tgaFile(1, 8, 1, 1, 0x20, byteString({0}), byteString({1, 2}), 1, 16)).type, 0u);
  EXPECT_EQ(decodeImage(decoder, tgaFile(2, 15, 1, 1, 0x20, byteString({0, 0}))).type, 0u);
  EXPECT_EQ(decodeImage(decoder, tgaFile(2, 40, 1, 1, 0x20, byteString({0, 0, 0, 0, 0}))).type, 0u);
  // Image types without pixels or of other encodings, and grey of more than one byte.
  for (int type : {0, 4, 8, 12, 32, 33})
    EXPECT_EQ(decodeImage(decoder, tgaFile(type, 8, 2, 1, 0x20, byteString({1, 2, 3, 4}))).type, 0u) << type;
  for (int type : {3, 11})
    EXPECT_EQ(decodeImage(decoder, tgaFile(type, 16, 1, 1, 0x20, byteString({0, 1, 2}))).type, 0u) << type;
}

TEST(RKTGADecoder, FourStorageOrdersGiveOnePicture) {
  // The picture, 4 x 2 pixels numbered from the top left: 0 1 2 2 / 2 3 4 5. Stored in each order
  // (rows top or bottom first, pixels left or right first), raw or run-length packed without
  // regard to row ends, so that runs and raw packets cross them. Every storage gives the
  // picture of the raw top-left-first one.
  const int picture[8] = {0, 1, 2, 2, 2, 3, 4, 5};
  const std::string map = byteString({10, 11, 12, 20, 21, 22, 30, 31, 32, 40, 41, 42, 50, 51, 52, 60, 61, 62});
  RKTGADecoder decoder;
  for (int depth : {8, 16, 24, 32}) {
    auto pixel = [depth](int k) {
      std::string p;
      for (int b = 0; b < depth / 8; ++b) p.push_back(char(depth == 8 ? k : k * 8 + b * 64 + 8));
      return p;
    };
    Bytes expected;
    for (int rle : {0, 1})
      for (int order : {0x20, 0x30, 0x00, 0x10}) {
        SCOPED_TRACE("depth " + std::to_string(depth) + ", run-length " + std::to_string(rle) + ", order " +
                     std::to_string(order));
        std::vector<int> stored;
        for (int n = 0; n < 2; ++n)
          for (int m = 0; m < 4; ++m)
            stored.push_back(picture[(order & 0x20 ? n : 1 - n) * 4 + (order & 0x10 ? 3 - m : m)]);
        std::string data;
        for (size_t i = 0, j; i < stored.size(); i = j) {
          j = i + 1;
          if (!rle) {
            data += pixel(stored[i]);
            continue;
          }
          while (j < stored.size() && stored[j] == stored[i]) ++j;
          if (j - i > 1) {
            data += char(0x80 + j - i - 1) + pixel(stored[i]);
            continue;
          }
          while (j < stored.size() && (j + 1 == stored.size() || stored[j + 1] != stored[j])) ++j;
          data += char(j - i - 1);
          for (size_t k = i; k < j; ++k) data += pixel(stored[k]);
        }
        const int type = (depth == 8 ? 1 : 2) + (rle ? 8 : 0);
        const std::string file =
            tgaFile(type, depth, 4, 2, order | (depth == 32 ? 8 : 0), data, depth == 8 ? map : "", 6, 24);
        DecodedImage image = decodeImage(decoder, file);
        if (expected.empty()) expected = image.pixels;
        EXPECT_EQ(image.pixels, expected);
      }
    // The picture itself, through the map for 8 bits and unchanged for 24 and 32.
    const size_t out = depth == 32 ? 4 : 3;
    ASSERT_EQ(expected.size(), 8 * out);
    for (int k = 0; k < 8 && depth != 16; ++k) {
      const std::string p = depth == 8 ? map.substr(size_t(picture[k]) * 3, 3) : pixel(picture[k]);
      EXPECT_EQ(Bytes(expected.begin() + k * out, expected.begin() + (k + 1) * out), Bytes(p.begin(), p.end()));
    }
  }
}

TEST(RKTGADecoder, ColourMapFromItsFirstEntry) {
  // Entries 16 to 18; index 15 lies before the map and 19 past it: black.
  const std::string map = byteString({1, 2, 3, 4, 5, 6, 7, 8, 9});
  RKTGADecoder decoder;
  for (int type : {1, 9}) {
    const std::string data =
        type == 1 ? byteString({18, 16, 16, 17, 15, 19}) : byteString({0x00, 18, 0x81, 16, 0x02, 17, 15, 19});
    EXPECT_EQ(decodeImage(decoder, tgaFile(type, 8, 6, 1, 0x20, data, map, 3, 24, "", 16)).pixels,
              (Bytes{7, 8, 9, 1, 2, 3, 1, 2, 3, 4, 5, 6, 0, 0, 0, 0, 0, 0}))
        << type;
  }
}

TEST(RKTGADecoder, GreyIgnoresAMapAndLayoutsWithoutADecodingAreRefused) {
  RKTGADecoder decoder;
  const std::string map = byteString({1, 2, 3, 4, 5, 6});
  // Grey pixels are levels, whatever map the file carries.
  EXPECT_EQ(decodeImage(decoder, tgaFile(3, 8, 2, 1, 0x20, byteString({1, 200}), map, 2, 24)).pixels,
            (Bytes{1, 1, 1, 200, 200, 200}));
  EXPECT_EQ(decodeImage(decoder, tgaFile(11, 8, 2, 1, 0x20, byteString({0x81, 1}), map, 2, 24)).pixels,
            (Bytes{1, 1, 1, 1, 1, 1}));
  const std::string refused[] = {
      tgaFile(1, 16, 1, 1, 0x20, byteString({1, 0}), map, 2, 24),  // colour-map indexes of two bytes
      tgaFile(9, 24, 1, 1, 0x20, byteString({0x00, 1, 0, 0}), map, 2, 24),
      tgaFile(1, 8, 1, 1, 0x20, byteString({0}), map.substr(0, 3), 1, 25),  // map entries of 25 bits
      tgaFile(2, 24, 1, 2, 0x60, std::string(6, '\x11')),                   // rows interleaved two-way
      tgaFile(2, 24, 1, 2, 0x80, std::string(6, '\x11')),                   // four-way
  };
  for (const std::string& f : refused) EXPECT_EQ(decodeImage(decoder, f).type, 0u) << int(f[2]) << " " << int(f[17]);
}

TEST(RKTGADecoder, ColourMappedFilesWithoutMapEntriesAreRefused) {
  // Indexes need colours: refused without a map (map type 0 or 2), with a map of no entries, or
  // with one whose entries start past the last one-byte index.
  RKTGADecoder decoder;
  for (int type : {1, 9}) {
    const std::string pixels = type == 1 ? byteString({0, 1}) : byteString({0x01, 0, 1});
    for (int mapType : {0, 1, 2}) {
      std::string file = tgaFile(type, 8, 2, 1, 0x20, pixels, "", 0, 24);
      file[1] = char(mapType);
      EXPECT_EQ(decodeImage(decoder, file).type, 0u) << type << " " << mapType;
    }
    const std::string map(6, '\x40');
    EXPECT_EQ(decodeImage(decoder, tgaFile(type, 8, 2, 1, 0x20, pixels, map, 2, 24, "", 256)).type, 0u) << type;
    EXPECT_EQ(decodeImage(decoder, tgaFile(type, 8, 2, 1, 0x20, pixels, map, 2, 24, "", 0)).type, 1005u) << type;
    // A map length without a map (map type 0 or 2), with or without entry bytes behind the header.
    for (int mapType : {0, 2})
      for (const std::string& entries : {map, std::string()}) {
        std::string file = tgaFile(type, 8, 2, 1, 0x20, entries + pixels, "", 2, 24);
        file[1] = char(mapType);
        EXPECT_EQ(decodeImage(decoder, file).type, 0u) << type << " " << mapType << " " << entries.size();
      }
  }
}

TEST(RKTGADecoder, TruncatedAndLyingFilesFailCleanly) {
  RKTGADecoder decoder;
  const std::string whole = tgaFile(2, 24, 2, 2, 0, std::string(12, '\x11'));
  for (size_t n = 0; n < whole.size(); ++n) EXPECT_EQ(decodeImage(decoder, whole.substr(0, n)).type, 0u) << n;
  EXPECT_EQ(decodeImage(decoder, tgaFile(10, 32, 65535, 65535, 0, byteString({0xFF, 1, 2, 3, 4}))).type, 0u);
  EXPECT_EQ(decodeImage(decoder, tgaFile(2, 24, 0, 5, 0, "")).type, 0u);
}

TEST(RKPCXDecoder, ThreePlanesOfOddWidth) {
  // Width 5, bytes per line 6: each row is 6 red, 6 green, 6 blue bytes.
  std::string data;
  for (int y = 0; y < 2; ++y)
    for (int p = 0; p < 3; ++p)
      for (int x = 0; x < 6; ++x) data.push_back(char(0x10 * (p + 1) + x + y));
  RKPCXDecoder decoder;
  EXPECT_NE(std::string(decoder.getClassName()).find(".RKPCXDecoder"), std::string::npos);
  const std::string file = pcxFile(8, 3, 5, 2, 6, data);
  DecodedImage img = decodeImage(decoder, file);
  EXPECT_EQ(img.type, 1003u);
  EXPECT_EQ(img.width, 5);
  EXPECT_EQ(img.height, 2);
  ASSERT_EQ(img.pixels.size(), 30u);
  EXPECT_EQ(Bytes(img.pixels.begin(), img.pixels.begin() + 6), (Bytes{0x10, 0x20, 0x30, 0x11, 0x21, 0x31}));
  EXPECT_EQ(Bytes(img.pixels.end() - 3, img.pixels.end()), (Bytes{0x15, 0x25, 0x35}));
  // No cache: a second getImage decodes again, to the same pixels.
  EXPECT_EQ(imageOf(decoder).pixels, img.pixels);
  RKParam params;
  ASSERT_EQ(decoder.getInfo(&params), 1);
  EXPECT_EQ(params.getInt("PCX_NumComponents"), 24);
  EXPECT_EQ(params.getInt("PCX_XDensity"), 300);
  EXPECT_EQ(params.getInt("PCX_YDensity"), 300);
}

TEST(RKPCXDecoder, PaletteFilesAndRuns) {
  // Width 30 = bytes per line; a run C5 07 gives five 07 bytes, 3F is one data byte.
  std::string row = byteString({0xC5, 7, 0x3F});
  for (int i = 0; i < 24; ++i) row.push_back(char(i));
  const std::string pal = palette256(1);
  RKPCXDecoder decoder;
  const std::string file = pcxFile(8, 1, 30, 1, 30, row + "\x0C" + pal);
  DecodedImage img = decodeImage(decoder, file);
  ASSERT_EQ(img.pixels.size(), 90u);
  EXPECT_EQ(Bytes(img.pixels.begin(), img.pixels.begin() + 3), Bytes(pal.begin() + 21, pal.begin() + 24));
  EXPECT_EQ(Bytes(img.pixels.begin() + 15, img.pixels.begin() + 18), Bytes(pal.begin() + 189, pal.begin() + 192));
  RKParam params;
  ASSERT_EQ(decoder.getInfo(&params), 1);
  EXPECT_EQ(params.getInt("PCX_NumComponents"), 8);

  // A run past the row's end is cut there; the next row starts after its encoded bytes.
  DecodedImage cut = decodeImage(decoder, pcxFile(8, 1, 2, 2, 2, byteString({0xFF, 1, 2, 3, 0x0C}) + pal));
  ASSERT_EQ(cut.pixels.size(), 12u);
  EXPECT_EQ(Bytes(cut.pixels.begin(), cut.pixels.begin() + 3), Bytes(pal.begin() + 3, pal.begin() + 6));
  EXPECT_EQ(Bytes(cut.pixels.begin() + 6, cut.pixels.begin() + 9), Bytes(pal.begin() + 6, pal.begin() + 9));
  // Without the marker or with a short palette there are no colours: the decode fails.
  EXPECT_EQ(decodeImage(decoder, pcxFile(8, 1, 2, 1, 2, byteString({1, 2, 0x0D}) + pal)).type, 0u);
  EXPECT_EQ(decodeImage(decoder, pcxFile(8, 1, 2, 1, 2, byteString({1, 2, 0x0C}) + pal.substr(0, 767))).type, 0u);
}

TEST(RKPCXDecoder, PaletteAtTheEndOfTheFileAfterPadding) {
  // 3 x 2, bytes per line 4, a run in the second row.
  const std::string rows = byteString({5, 0xC1, 0xC7, 9, 0, 0xC4, 200});
  const std::string pal = palette256(5);
  RKPCXDecoder decoder;
  const DecodedImage plain = decodeImage(decoder, pcxFile(8, 1, 3, 2, 4, rows + "\x0C" + pal));
  ASSERT_EQ(plain.type, 1003u);
  ASSERT_EQ(plain.pixels.size(), 18u);
  EXPECT_EQ(Bytes(plain.pixels.begin() + 3, plain.pixels.begin() + 6),
            Bytes(pal.begin() + 0xC7 * 3, pal.begin() + 0xC8 * 3));
  // Bytes between the rows and the palette, which is then the file's last 769 bytes.
  for (const std::string& padding : {std::string(20, '\0'), std::string("\x0D\x0C\xFF", 3)}) {
    const std::string padded = pcxFile(8, 1, 3, 2, 4, rows + padding + "\x0C" + pal);
    const DecodedImage img = decodeImage(decoder, padded);
    EXPECT_EQ(img.type, 1003u) << padding.size();
    EXPECT_EQ(img.pixels, plain.pixels) << padding.size();
    // Without the marker there, or before version 5, the file has no palette.
    std::string unmarked = padded;
    unmarked[unmarked.size() - 769] = 0x0D;
    EXPECT_EQ(decodeImage(decoder, unmarked).type, 0u);
    std::string old = padded;
    old[1] = 3;
    EXPECT_EQ(decodeImage(decoder, old).type, 0u);
  }
  // Nor is a 0C that the rows hold 769 bytes before the end of the file.
  const std::string marked = byteString({5, 0xC1, 0xC7, 9, 0x0C, 0xC4, 200});
  EXPECT_EQ(decodeImage(decoder, pcxFile(8, 1, 3, 2, 4, marked + "\x0D" + pal.substr(0, 765))).type, 0u);
}

TEST(RKPCXDecoder, SixteenColourBitPlanesAndFourBytePlanes) {
  // Width 10 in four 1-bit planes of 2 bytes: plane p holds bit p of each index.
  const int indexes[10] = {0, 1, 2, 3, 4, 8, 15, 7, 9, 6};
  std::string row(8, '\0');
  for (int x = 0; x < 10; ++x)
    for (int p = 0; p < 4; ++p)
      if (indexes[x] >> p & 1) row[size_t(p * 2 + x / 8)] = char(row[size_t(p * 2 + x / 8)] | (0x80 >> (x % 8)));
  std::string file = pcxFile(1, 4, 10, 1, 2, row);
  for (int i = 0; i < 48; ++i) file[size_t(16 + i)] = char(i * 5 + 1);  // colour i: 15i+1, 15i+6, 15i+11
  RKPCXDecoder decoder;
  DecodedImage img = decodeImage(decoder, file);
  ASSERT_EQ(img.pixels.size(), 30u);
  for (int x = 0; x < 10; ++x)
    EXPECT_EQ(img.at(x, 0, 3), (std::vector<int>{15 * indexes[x] + 1, 15 * indexes[x] + 6, 15 * indexes[x] + 11})) << x;
  RKParam params;
  ASSERT_EQ(decoder.getInfo(&params), 1);
  EXPECT_EQ(params.getInt("PCX_NumComponents"), 4);

  // Four 8-bit planes: red, green, blue and an alpha plane that is dropped.
  EXPECT_EQ(decodeImage(decoder, pcxFile(8, 4, 2, 1, 2, byteString({1, 2, 3, 4, 5, 6, 7, 8}))).pixels,
            (Bytes{1, 3, 5, 2, 4, 6}));
  // Other layouts are refused: one plane of 1, 2 or 4 bits, two 8-bit planes, three 1-bit planes.
  const std::string data(64, '\x11');
  for (auto layout :
       {std::make_pair(1, 1), std::make_pair(2, 1), std::make_pair(4, 1), std::make_pair(8, 2), std::make_pair(1, 3)})
    EXPECT_EQ(decodeImage(decoder, pcxFile(layout.first, layout.second, 4, 1, 4, data)).type, 0u)
        << layout.first << " x " << layout.second;
}

TEST(RKPCXDecoder, VersionsAndEncodingsTheRowsDoNotFollowAreRefused) {
  // Byte 1 is the version, byte 2 the encoding (0: rows as stored, 1: run-length). Four 1-bit
  // planes take their colours from the header, which versions 0 and 3 leave without a palette.
  const std::string colour = pcxFile(8, 3, 2, 1, 2, byteString({1, 2, 3, 4, 5, 6}));
  const std::string cut = colour.substr(0, colour.size() - 1);
  const std::string sixteen = pcxFile(1, 4, 8, 1, 1, byteString({0xFF, 0, 0, 0}));
  struct Case {
    const std::string& file;
    int version, encoding;
    bool decodes;
  } cases[] = {{colour, 5, 1, true},  {colour, 5, 0, true},  {colour, 5, 2, false},  {cut, 5, 0, false},
               {sixteen, 5, 1, true}, {sixteen, 2, 1, true}, {sixteen, 3, 1, false}, {sixteen, 0, 1, false}};
  RKPCXDecoder decoder;
  for (const Case& c : cases) {
    std::string file = c.file;
    file[1] = char(c.version);
    file[2] = char(c.encoding);
    EXPECT_EQ(decodeImage(decoder, file).type, c.decodes ? 1003u : 0u) << c.version << "/" << c.encoding;
  }
}

TEST(RKPCXDecoder, UnencodedRowsGiveThePixelsOfRunLengthRows) {
  // Two rows of each layout, stored as they are (encoding 0) and run-length encoded; bytes of
  // 0xC0 and above are plain data in the first and one-byte runs in the second.
  std::string header16(48, '\0');
  for (int i = 0; i < 48; ++i) header16[size_t(i)] = char(i * 5 + 1);
  struct Layout {
    int bits, planes, width, bytesPerLine;
    std::string after;
  } layouts[] = {{8, 1, 5, 6, "\x0C" + palette256(3)}, {8, 3, 3, 4, ""}, {1, 4, 10, 2, ""}};
  RKPCXDecoder decoder;
  for (const Layout& l : layouts) {
    std::string rows, runs;
    for (int i = 0; i < 2 * l.planes * l.bytesPerLine; ++i) {
      const char b = char(0xB0 + i * 23);
      rows += b;
      runs += (b & 0xC0) == 0xC0 ? std::string{'\xC1', b} : std::string(1, b);
    }
    std::string stored = pcxFile(l.bits, l.planes, l.width, 2, l.bytesPerLine, rows + l.after);
    std::string encoded = pcxFile(l.bits, l.planes, l.width, 2, l.bytesPerLine, runs + l.after);
    stored[2] = 0;
    stored.replace(16, 48, header16);
    encoded.replace(16, 48, header16);
    DecodedImage image = decodeImage(decoder, stored);
    EXPECT_EQ(image.type, 1003u) << l.bits << " x " << l.planes;
    EXPECT_EQ(image.pixels, decodeImage(decoder, encoded).pixels) << l.bits << " x " << l.planes;
  }
}

TEST(RKPCXDecoder, HostileHeadersFailCleanly) {
  RKPCXDecoder decoder;
  // Bytes per line below the width: the missing bytes are 0.
  DecodedImage narrow = decodeImage(decoder, pcxFile(8, 3, 3, 1, 1, byteString({9, 8, 7})));
  EXPECT_EQ(narrow.pixels, (Bytes{9, 8, 7, 0, 0, 0, 0, 0, 0}));
  // A maximum below the minimum is refused at open.
  std::string wrapped = pcxFile(8, 3, 1, 1, 1, byteString({1, 2, 3}), 10, 0);
  wrapped[8] = 5;
  EXPECT_EQ(decoder.openMemory(wrapped.data(), int(wrapped.size())), 0);
  EXPECT_EQ(decodeImage(decoder, std::string(100, '\0')).type, 0u);
  EXPECT_EQ(decodeImage(decoder, pcxFile(8, 3, 65535, 65535, 65535, byteString({1, 2, 3}))).type, 0u);
  EXPECT_EQ(decodeImage(decoder, pcxFile(8, 3, 2, 2, 2, byteString({1, 2, 3}))).type, 0u);
  EXPECT_EQ(decodeImage(decoder, pcxFile(8, 3, 2, 2, 0, byteString({1, 2, 3}))).type, 0u);
}
