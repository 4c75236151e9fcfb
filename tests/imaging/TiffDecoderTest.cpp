#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "AllocationCount.h"
#include "DecodedImage.h"
#include "ImageFileWriters.h"
#include "RKParam.h"
#include "RKTIFFDecoder.h"

using namespace RKSDK;
using namespace testimg;

namespace {

// TIFF tag values, spelled out here so that the tests need no library header.
enum { MINISWHITE = 0, MINISBLACK = 1, RGB = 2, PALETTE = 3, SEPARATED = 5, YCBCR = 6, CIELAB = 8 };
enum { NONE = 1, GROUP4 = 4, LZW = 5, JPEG = 7, DEFLATE = 8 };

int sample(int x, int y, int c, int bits) { return (x * 5 + y * 11 + c * 70) % (1 << bits); }

TiffSpec spec(int width, int height, int samples, int bits, int photometric, int compression = NONE) {
  TiffSpec s;
  s.width = width;
  s.height = height;
  s.samples = samples;
  s.bits = bits;
  s.photometric = photometric;
  s.compression = compression;
  s.rows = packRows(
      width, height, samples, bits, [&](int x, int y, int c) { return sample(x, y, c, bits); }, false);
  return s;
}

DecodedImage decode(const Bytes& file) { return decodeWith<RKTIFFDecoder>(file); }

void put16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<unsigned char>(v));
  b.push_back(static_cast<unsigned char>(v >> 8));
}
void put32(Bytes& b, uint32_t v) {
  put16(b, v & 0xFFFF);
  put16(b, v >> 16);
}

// A little-endian file of one uncompressed strip of 8-bit samples that holds stripBytes bytes,
// whatever its rows need.
Bytes shortStripTiff(uint32_t width, uint32_t height, uint16_t samples, uint32_t stripBytes) {
  const uint16_t tags[][2] = {{256, 4}, {257, 4}, {258, 3}, {259, 3}, {262, 3}, {273, 4}, {277, 3}, {278, 4}, {279, 4}};
  const uint32_t values[] = {width, height, 8, NONE, MINISWHITE, 0, samples, height, stripBytes};
  const uint16_t count = sizeof values / sizeof values[0];
  Bytes b = {'I', 'I', 42, 0};
  put32(b, 8);
  put16(b, count);
  const uint32_t data = 8 + 2 + 12 * count + 4;
  for (int i = 0; i < count; ++i) {
    put16(b, tags[i][0]);
    put16(b, tags[i][1]);
    put32(b, 1);
    const uint32_t v = tags[i][0] == 273 ? data : values[i];
    if (tags[i][1] == 3) {
      put16(b, v);
      put16(b, 0);
    } else {
      put32(b, v);
    }
  }
  put32(b, 0);
  for (uint32_t i = 0; i < stripBytes; ++i) b.push_back(static_cast<unsigned char>(i));
  return b;
}

}  // namespace

TEST(TiffDecoderPixels, BilevelFilesFollowTheirPhotometricInterpretation) {
  for (int photometric : {MINISWHITE, MINISBLACK}) {
    DecodedImage image = decode(writeTiff(spec(10, 3, 1, 1, photometric)));
    ASSERT_TRUE(image.ok);
    EXPECT_EQ(image.type, 1003u);
    EXPECT_EQ(image.pixels.size(), 90u);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 10; ++x) {
        bool set = sample(x, y, 0, 1) == 1;
        int v = set == (photometric == MINISBLACK) ? 255 : 0;
        ASSERT_EQ(image.at(x, y, 3), (std::vector<int>{v, v, v})) << x << "," << y;
      }
  }
}

TEST(TiffDecoderPixels, GreyFilesOfSeveralBitsAreGreyLevels) {
  for (int bits : {4, 8})
    for (int photometric : {MINISWHITE, MINISBLACK}) {
      SCOPED_TRACE(std::to_string(bits) + " bits, photometric " + std::to_string(photometric));
      Bytes file = writeTiff(spec(9, 4, 1, bits, photometric, LZW));
      DecodedImage image = decode(file);
      ASSERT_TRUE(image.ok);
      EXPECT_EQ(image.pixels, referenceTiff(file));
      int level = sample(1, 0, 0, bits) * 255 / ((1 << bits) - 1);
      EXPECT_EQ(image.at(1, 0, 1)[0], photometric == MINISBLACK ? level : 255 - level);
    }
  // One sample under an RGB interpretation has no palette: black.
  DecodedImage odd = decode(writeTiff(spec(4, 2, 1, 8, RGB)));
  ASSERT_TRUE(odd.ok);
  EXPECT_EQ(odd.pixels, Bytes(24, 0));
}

TEST(TiffDecoderPixels, PaletteFilesTakeTheHighByteOfTheColourMap) {
  for (int bits : {4, 8}) {
    TiffSpec s = spec(7, 3, 1, bits, PALETTE);
    for (int i = 0; i < (1 << bits); ++i) {
      s.red.push_back(static_cast<uint16_t>(i * 257));
      s.green.push_back(i == 2 ? 32896 : 0);
      s.blue.push_back(65535);
    }
    DecodedImage image = decode(writeTiff(s));
    ASSERT_TRUE(image.ok);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 7; ++x) {
        int i = sample(x, y, 0, bits);
        ASSERT_EQ(image.at(x, y, 3), (std::vector<int>{i, i == 2 ? 128 : 0, 255})) << x << "," << y;
      }
  }
}

TEST(TiffDecoderPixels, GreyAndPaletteFilesOfEveryDepthFromOneToEightBits) {
  // Width 11 leaves the last byte of each row part filled at every depth but 8.
  const int width = 11, height = 3;
  for (int bits = 1; bits <= 8; ++bits)
    for (int photometric : {MINISBLACK, MINISWHITE, PALETTE}) {
      SCOPED_TRACE(std::to_string(bits) + " bits, photometric " + std::to_string(photometric));
      const int top = (1 << bits) - 1;
      TiffSpec s = spec(width, height, 1, bits, photometric);
      for (int i = 0; i <= top; ++i) {
        s.red.push_back(static_cast<uint16_t>(i * 257));
        s.green.push_back(static_cast<uint16_t>((255 - i) * 257));
        s.blue.push_back(static_cast<uint16_t>(i * 37 % 256 * 257));
      }
      if (photometric != PALETTE) s.red.clear(), s.green.clear(), s.blue.clear();
      DecodedImage image = decode(writeTiff(s));
      ASSERT_TRUE(image.ok);
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
          const int v = sample(x, y, 0, bits);
          std::vector<int> expected;
          if (photometric == PALETTE) {
            expected = {v, 255 - v, v * 37 % 256};
          } else {
            const int level = static_cast<int>(std::lround(255.0 * (photometric == MINISBLACK ? v : top - v) / top));
            expected = {level, level, level};
          }
          ASSERT_EQ(image.at(x, y, 3), expected) << x << "," << y;
        }
    }
}

TEST(TiffDecoderFailure, NoReadableRowIsRefusedAndACutFileKeepsItsFirstRows) {
  // The only strip lies past the end of the file.
  TiffSpec planes = spec(6, 4, 3, 8, RGB);
  planes.planar = true;
  for (const TiffSpec& s : {spec(6, 4, 1, 8, MINISBLACK), spec(6, 4, 3, 8, RGB), spec(6, 4, 4, 8, SEPARATED), planes}) {
    Bytes file = writeTiff(s);
    ASSERT_TRUE(decode(file).ok);
    Bytes lost = file;
    for (int strip = 0; strip < (s.planar ? s.samples : 1); ++strip)
      lost = withStripOffset(lost, strip, static_cast<uint32_t>(file.size() + 4096));
    EXPECT_FALSE(decode(lost).ok) << s.samples;
  }
  // A cut in the last strip: the rows before it are the file's, the rest stay black.
  for (const TiffSpec& whole : {spec(6, 4, 3, 8, RGB), spec(6, 4, 4, 8, SEPARATED)}) {
    TiffSpec s = whole;
    s.rowsPerStrip = 1;
    Bytes file = writeTiff(s);
    DecodedImage image = decode(withStripOffset(file, 3, static_cast<uint32_t>(file.size() - 2)));
    ASSERT_TRUE(image.ok) << s.samples;
    const size_t line = s.rows.size() / 4;
    ASSERT_EQ(image.pixels.size(), s.rows.size());
    EXPECT_TRUE(std::equal(s.rows.begin(), s.rows.begin() + 3 * line, image.pixels.begin()));
    EXPECT_EQ(Bytes(image.pixels.begin() + 3 * line, image.pixels.end()), Bytes(line, 0));
  }
}

TEST(TiffDecoderFailure, RowsThatCannotBeReadCostTheirPixelsNotTheScanline) {
  // Scanlines of 32000 and 8192 samples a pixel (1000 and 512 MB) of which the file holds 16
  // bytes: no row can be read, and the decode asks for no more than the picture's own pixels.
  struct Case {
    uint32_t width, height;
    uint16_t samples;
  } cases[] = {{32768, 128, 32000}, {65535, 64, 8192}};
  for (const Case& c : cases) {
    const Bytes file = shortStripTiff(c.width, c.height, c.samples, 16);
    const size_t picture = size_t(c.width) * c.height * 3;
    AllocationCount allocations(picture);
    EXPECT_FALSE(decode(file).ok) << c.samples;
    EXPECT_LE(allocations.largest(), picture) << c.samples;
  }
  // A strip holding its first row: that row decodes, the others come out as index 0 (white).
  const Bytes file = shortStripTiff(300, 40, 20, 300 * 20);
  DecodedImage image = decode(file);
  ASSERT_TRUE(image.ok);
  for (int x = 0; x < 300; ++x) {
    const int v = 255 - (x * 20) % 256;  // white is zero
    ASSERT_EQ(image.at(x, 0, 3), (std::vector<int>{v, v, v})) << x;
  }
  EXPECT_EQ(Bytes(image.pixels.begin() + 900, image.pixels.end()), Bytes(900 * 39, 255));
}

TEST(TiffDecoderPixels, RgbStripsInEveryCompressionAndRgbaWithoutAlpha) {
  for (int compression : {NONE, LZW, DEFLATE}) {
    TiffSpec s = spec(23, 9, 3, 8, RGB, compression);
    s.rowsPerStrip = 2;
    Bytes file = writeTiff(s);
    DecodedImage image = decode(file);
    ASSERT_TRUE(image.ok) << compression;
    EXPECT_EQ(image.pixels, s.rows);
    EXPECT_EQ(image.pixels, referenceTiff(file));
  }
  TiffSpec rgba = spec(23, 9, 4, 8, RGB);
  rgba.extraSamples = 1;
  DecodedImage image = decode(writeTiff(rgba));
  ASSERT_TRUE(image.ok);
  EXPECT_EQ(image.type, 1003u);
  EXPECT_EQ(image.at(5, 3, 3), (std::vector<int>{sample(5, 3, 0, 8), sample(5, 3, 1, 8), sample(5, 3, 2, 8)}));
  EXPECT_EQ(image.at(22, 8, 3), (std::vector<int>{sample(22, 8, 0, 8), sample(22, 8, 1, 8), sample(22, 8, 2, 8)}));
}

TEST(TiffDecoderPixels, CmykFilesKeepTheirSamples) {
  TiffSpec s = spec(6, 5, 4, 8, SEPARATED);
  Bytes file = writeTiff(s);
  RKTIFFDecoder decoder;
  ASSERT_EQ(decoder.openMemory(file.data(), static_cast<int>(file.size())), 1);
  EXPECT_EQ(decoder.getComponentCount(), 4);
  EXPECT_EQ(decoder.readRaw(nullptr), 6 * 5 * 3);  // counted as three bytes a pixel
  RKParam info;
  ASSERT_EQ(decoder.getInfo(&info), 1);
  EXPECT_EQ(info.getInt("IMAGE_ImageType"), 1003);
  EXPECT_EQ(info.getInt("IMAGE_Width"), 6);
  EXPECT_EQ(info.getInt("TIFF_NumComponents"), 4);
  DecodedImage image = decode(file);
  ASSERT_TRUE(image.ok);
  EXPECT_EQ(image.type, 1027u);
  EXPECT_EQ(image.pixels, s.rows);

  // An extra (alpha) sample is dropped from every pixel, in one plane or in separate ones.
  for (bool planar : {false, true}) {
    TiffSpec wide = spec(6, 5, 5, 8, SEPARATED, planar ? LZW : NONE);
    wide.extraSamples = 1;
    wide.planar = planar;
    image = decode(writeTiff(wide));
    ASSERT_TRUE(image.ok) << planar;
    EXPECT_EQ(image.type, 1027u);
    ASSERT_EQ(image.pixels.size(), 6u * 5 * 4);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 6; ++x)
        ASSERT_EQ(image.at(x, y, 4),
                  (std::vector<int>{sample(x, y, 0, 8), sample(x, y, 1, 8), sample(x, y, 2, 8), sample(x, y, 3, 8)}))
            << planar << " " << x << "," << y;
  }
}

TEST(TiffDecoderPixels, TwoBitGreyAndPaletteFiles) {
  for (int photometric : {MINISWHITE, MINISBLACK}) {
    Bytes file = writeTiff(spec(9, 3, 1, 2, photometric));
    DecodedImage image = decode(file);
    ASSERT_TRUE(image.ok);
    EXPECT_EQ(image.pixels, referenceTiff(file));
    for (int x = 0; x < 9; ++x) {
      int level = sample(x, 2, 0, 2) * 85;
      EXPECT_EQ(image.at(x, 2, 1)[0], photometric == MINISBLACK ? level : 255 - level) << x;
    }
  }
  TiffSpec s = spec(9, 3, 1, 2, PALETTE);
  s.red = {0, 65535, 0, 32896};
  s.green = {0, 0, 65535, 32896};
  s.blue = {65535, 0, 0, 32896};
  DecodedImage image = decode(writeTiff(s));
  ASSERT_TRUE(image.ok);
  const std::vector<int> colours[4] = {{0, 0, 255}, {255, 0, 0}, {0, 255, 0}, {128, 128, 128}};
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 9; ++x) ASSERT_EQ(image.at(x, y, 3), colours[sample(x, y, 0, 2)]) << x << "," << y;
}

TEST(TiffDecoderPixels, SeparatePlanesAndGreyWithAlpha) {
  // Red, green, blue (and alpha) planes of their own.
  for (int samples : {3, 4}) {
    TiffSpec s = spec(11, 7, samples, 8, RGB, LZW);
    s.extraSamples = samples - 3;
    s.planar = true;
    s.rowsPerStrip = 3;
    DecodedImage image = decode(writeTiff(s));
    ASSERT_TRUE(image.ok) << samples;
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 11; ++x)
        ASSERT_EQ(image.at(x, y, 3), (std::vector<int>{sample(x, y, 0, 8), sample(x, y, 1, 8), sample(x, y, 2, 8)}))
            << samples << " " << x << "," << y;
  }
  // Grey with alpha, in one plane or two: the grey level of each pixel, the alpha dropped.
  for (bool planar : {false, true}) {
    TiffSpec s = spec(5, 4, 2, 8, MINISBLACK);
    s.extraSamples = 1;
    s.planar = planar;
    DecodedImage image = decode(writeTiff(s));
    ASSERT_TRUE(image.ok) << planar;
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 5; ++x) {
        int v = sample(x, y, 0, 8);
        ASSERT_EQ(image.at(x, y, 3), (std::vector<int>{v, v, v})) << planar << " " << x << "," << y;
      }
  }
}

TEST(TiffDecoderPixels, JpegCompressedYCbCrComesOutAsRgb) {
  // A smooth picture, so that the lossy compression stays close to it.
  TiffSpec s;
  s.width = 40;
  s.height = 24;
  s.samples = 3;
  s.photometric = YCBCR;
  s.compression = JPEG;
  s.rowsPerStrip = 16;
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x)
      for (int c = 0; c < 3; ++c)
        s.rows.push_back(static_cast<unsigned char>(c == 0 ? 40 + x * 4 : c == 1 ? 200 - y * 5 : 120));
  Bytes file = writeTiff(s);
  DecodedImage image = decode(file);
  ASSERT_TRUE(image.ok);
  EXPECT_EQ(image.type, 1003u);
  ASSERT_EQ(image.pixels.size(), s.rows.size());
  for (size_t i = 0; i < s.rows.size(); ++i) ASSERT_NEAR(image.pixels[i], s.rows[i], 12) << i;
  const Bytes reference = referenceTiff(file);
  ASSERT_EQ(reference.size(), image.pixels.size());
  for (size_t i = 0; i < reference.size(); ++i) ASSERT_NEAR(image.pixels[i], reference[i], 3) << i;
}

TEST(TiffDecoderHeader, DensityFromTheResolutionUnit) {
  struct Case {
    int unit;
    float resolution;
    int density;
  } cases[] = {{2, 72.9f, 72}, {3, 28.3f, 2800}, {1, 300.0f, 0}};
  for (const Case& c : cases) {
    TiffSpec s = spec(4, 4, 3, 8, RGB);
    s.unit = c.unit;
    s.xResolution = c.resolution;
    s.yResolution = c.resolution * 2;
    Bytes file = writeTiff(s);
    RKTIFFDecoder decoder;
    ASSERT_EQ(decoder.openMemory(file.data(), static_cast<int>(file.size())), 1);
    EXPECT_EQ(decoder.getXDensity(), c.density) << c.unit;
    RKParam info;
    ASSERT_EQ(decoder.getInfo(&info), 1);
    EXPECT_EQ(info.getInt("TIFF_XDensity"), c.density);
    DecodedImage image = decode(file);
    EXPECT_EQ(image.densityX, static_cast<unsigned int>(c.density));
    EXPECT_EQ(image.densityY, static_cast<unsigned int>(c.unit == 2 ? 145 : c.unit == 3 ? 5600 : 0));
  }
}

TEST(TiffDecoderHeader, WideSamplesTilesAndForeignBytesAreRefused) {
  RKTIFFDecoder decoder;
  EXPECT_EQ(decoder.readRaw(nullptr), 0);  // before any open
  Bytes deep = writeTiff(spec(4, 4, 3, 16, RGB));
  EXPECT_EQ(decoder.openMemory(deep.data(), static_cast<int>(deep.size())), 0);
  Bytes deepGrey = writeTiff(spec(4, 4, 1, 16, MINISBLACK));
  EXPECT_EQ(decoder.openMemory(deepGrey.data(), static_cast<int>(deepGrey.size())), 0);
  TiffSpec tiled = spec(32, 32, 3, 8, RGB);
  tiled.tiled = true;
  Bytes tiles = writeTiff(tiled);
  ASSERT_EQ(readableTiles(tiles), 4);  // a good file, only in tiles
  EXPECT_EQ(decoder.openMemory(tiles.data(), static_cast<int>(tiles.size())), 0);
  // Colour models without a conversion here.
  Bytes lab = writeTiff(spec(4, 4, 3, 8, CIELAB));
  EXPECT_EQ(decoder.openMemory(lab.data(), static_cast<int>(lab.size())), 0);
  Bytes deepPlanes = writeTiff(spec(4, 4, 2, 4, MINISBLACK));
  EXPECT_EQ(decoder.openMemory(deepPlanes.data(), static_cast<int>(deepPlanes.size())), 0);
  const char text[] = "II*\0 and then nothing of use";
  EXPECT_EQ(decoder.openMemory(text, sizeof text), 0);
  EXPECT_EQ(decoder.openMemory(text, 0), 0);
  EXPECT_EQ(decoder.getImage(), nullptr);
}

TEST(TiffDecoderHeader, OrientationsDecodeAsStoredAndSampleFormatsAndInkSetsWithoutAReadingAreRefused) {
  // The orientation asks the viewer to turn or mirror the picture: the rows come as stored.
  for (int samples : {1, 3})
    for (int orientation = 1; orientation <= 8; ++orientation) {
      TiffSpec s = spec(5, 3, samples, 8, samples == 1 ? MINISBLACK : RGB);
      s.orientation = orientation;
      Bytes expected;
      for (unsigned char v : s.rows) expected.insert(expected.end(), samples == 1 ? 3 : 1, v);
      DecodedImage image = decode(writeTiff(s));
      ASSERT_TRUE(image.ok) << samples << " samples, orientation " << orientation;
      EXPECT_EQ(image.pixels, expected) << samples << " samples, orientation " << orientation;
    }
  struct Case {
    int photometric, samples, sampleFormat, inkSet;
    bool decodes;
  } cases[] = {
      {RGB, 3, 1, 0, true},  {MINISBLACK, 1, 2, 0, false}, {RGB, 3, 2, 0, false},
      {RGB, 3, 3, 0, false}, {SEPARATED, 4, 0, 1, true},   {SEPARATED, 4, 0, 2, false},
  };
  for (const Case& c : cases) {
    TiffSpec s = spec(5, 3, c.samples, 8, c.photometric);
    s.sampleFormat = c.sampleFormat;
    s.inkSet = c.inkSet;
    DecodedImage image = decode(writeTiff(s));
    EXPECT_EQ(image.ok, c.decodes) << c.photometric << " " << c.sampleFormat << " " << c.inkSet;
    if (image.ok) {
      EXPECT_EQ(image.pixels, s.rows);
    }
  }
}

TEST(TiffDecoderHeader, WithoutAPhotometricInterpretationOnlyWhatTheOtherTagsSettleDecodes) {
  // One-bit fax coding: white is zero. With the tag, the tag rules.
  for (int photometric : {-1, int(MINISBLACK)}) {
    DecodedImage image = decode(writeTiff(spec(19, 5, 1, 1, photometric, GROUP4)));
    ASSERT_TRUE(image.ok) << photometric;
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 19; ++x) {
        const int v = (sample(x, y, 0, 1) == 1) == (photometric == MINISBLACK) ? 255 : 0;
        ASSERT_EQ(image.at(x, y, 3), (std::vector<int>{v, v, v})) << photometric << " " << x << "," << y;
      }
  }
  // Four samples and the CMYK ink set: inks, not red, green and blue.
  TiffSpec inks = spec(6, 4, 4, 8, -1);
  inks.inkSet = 1;
  DecodedImage image = decode(writeTiff(inks));
  ASSERT_TRUE(image.ok);
  EXPECT_EQ(image.type, 1027u);
  EXPECT_EQ(image.pixels, inks.rows);
  // One sample and a colour map: palette indexes.
  TiffSpec mapped = spec(7, 3, 1, 4, -1);
  for (int i = 0; i < 16; ++i) {
    mapped.red.push_back(static_cast<uint16_t>(i * 4096));
    mapped.green.push_back(65535);
    mapped.blue.push_back(0);
  }
  image = decode(writeTiff(mapped));
  ASSERT_TRUE(image.ok);
  EXPECT_EQ(image.at(3, 2, 3), (std::vector<int>{sample(3, 2, 0, 4) * 16, 255, 0}));
  // Grey either way up, RGB or another colour model, other inks: refused.
  TiffSpec otherInks = inks;
  otherInks.inkSet = 2;
  for (const TiffSpec& s :
       {spec(8, 2, 1, 1, -1), spec(8, 2, 1, 8, -1, LZW), spec(8, 2, 3, 8, -1), spec(8, 2, 4, 8, -1), otherInks})
    EXPECT_FALSE(decode(writeTiff(s)).ok) << s.samples << " samples, " << s.bits << " bits";
}

TEST(TiffDecoderFailure, EveryCutAndEveryFlippedByteEndsCleanly) {
  for (int compression : {NONE, LZW}) {
    TiffSpec s = spec(9, 6, 1, 4, PALETTE, compression);
    s.rowsPerStrip = 2;
    s.red.assign(16, 0xFFFF);
    s.green.assign(16, 0);
    s.blue.assign(16, 0x8000);
    Bytes file = writeTiff(s);
    for (size_t n = 0; n < file.size(); ++n) {
      DecodedImage image = decode(Bytes(file.begin(), file.begin() + n));
      if (image.ok) {
        EXPECT_EQ(image.pixels.size(), size_t(image.width) * image.height * 3);
      }
      for (unsigned char mask : {0x01, 0x80, 0xFF}) {
        Bytes flipped = file;
        flipped[n] ^= mask;
        image = decode(flipped);
        if (image.ok) {
          EXPECT_EQ(image.pixels.size(), size_t(image.width) * image.height * RKImage::bytesPerPixel(image.type));
        }
      }
    }
  }
}

TEST(TiffDecoderFrame, StreamOffsetProgressAndCache) {
  struct Recorder : IRKCoderListener {
    std::vector<int> rows;
    int finished = 0;
    void rowDecoded(int row, int) override { rows.push_back(row); }
    void decodeFinished() override { ++finished; }
  } listener;
  // The file starts 5 bytes into the stream; offsets in it count from there.
  TiffSpec s = spec(8, 3, 3, 8, RGB, LZW);
  Bytes file = writeTiff(s);
  Bytes bytes = {'J', 'U', 'N', 'K', '!'};
  bytes.insert(bytes.end(), file.begin(), file.end());
  RKBufferStream* stream = new RKBufferStream(bytes.data(), static_cast<int>(bytes.size()));
  stream->addRef();
  stream->setMode(0);
  ASSERT_EQ(stream->seek(5, 0), 1);
  RKTIFFDecoder decoder;
  EXPECT_NE(std::strstr(decoder.getClassName(), ".RKTIFFDecoder"), nullptr);
  decoder.setListener(&listener);
  ASSERT_EQ(decoder.openStream(stream), 1);
  stream->release();
  RKBuffer* pixels = decoder.getBuffer();
  ASSERT_NE(pixels, nullptr);
  ASSERT_EQ(pixels->getSize(), 8 * 3 * 3);
  EXPECT_EQ(0, std::memcmp(pixels->getData(0), s.rows.data(), s.rows.size()));
  EXPECT_EQ(listener.rows, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(listener.finished, 1);
  RKBuffer* copy = new RKBuffer();
  copy->addRef();
  EXPECT_EQ(decoder.decodeTo(copy), 1);  // the cache; the decode closed the file
  EXPECT_EQ(copy->getSize(), pixels->getSize());
  copy->release();
  pixels->release();
}
