#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <zlib.h>

#include "DecodedImage.h"
#include "ImageFileWriters.h"
#include "RKPNGDecoder.h"
#include "RKParam.h"
#include "TempPrefix.h"

using namespace RKSDK;
using namespace testimg;

namespace {

const int W = 13, H = 7;  // odd sizes: partial bytes and every interlace pass

int level(int x, int y, int c, int bits) {
  int max = (1 << bits) - 1;
  return ((x * 7 + y * 3 + c * 5) * (bits == 16 ? 2039 : 1)) % (max + 1);
}

// Colour type and depth as libpng writes them, from level() samples.
PngSpec spec(int colorType, int bits, bool interlaced) {
  PngSpec s;
  s.width = W;
  s.height = H;
  s.colorType = colorType;
  s.bitDepth = bits;
  s.interlaced = interlaced;
  int channels = colorType == 0 || colorType == 3 ? 1 : colorType == 4 ? 2 : colorType == 2 ? 3 : 4;
  if (colorType == 3)
    for (int i = 0; i < (1 << bits); ++i)
      s.palette.push_back(
          {static_cast<unsigned char>(i * 3), static_cast<unsigned char>(255 - i), static_cast<unsigned char>(i * 17)});
  s.rows = packRows(W, H, channels, bits, [&](int x, int y, int c) { return level(x, y, c, bits); });
  return s;
}

// An 8-bit value of a sample as the decoder gives it.
int eight(int v, int bits) { return bits == 16 ? v >> 8 : bits == 8 ? v : v * 255 / ((1 << bits) - 1); }

DecodedImage decode(const Bytes& file) { return decodeWith<RKPNGDecoder>(file); }

// The file with chunk bytes [from, to) replaced and every CRC recomputed.
Bytes withCrcs(Bytes file) {
  for (size_t at = 8; at + 12 <= file.size();) {
    size_t length = (size_t(file[at]) << 24) | (file[at + 1] << 16) | (file[at + 2] << 8) | file[at + 3];
    if (at + 12 + length > file.size()) break;
    uLong crc = crc32(0, file.data() + at + 4, static_cast<uInt>(length + 4));
    for (int i = 0; i < 4; ++i) file[at + 8 + length + i] = static_cast<unsigned char>(crc >> (24 - 8 * i));
    at += 12 + length;
  }
  return file;
}

}  // namespace

TEST(PngDecoderPixels, Rgb8FileGivesBgrBytesOfEveryPixel) {
  PngSpec s;
  s.width = 498;
  s.height = 312;
  s.rows = packRows(498, 312, 3, 8, [](int x, int y, int c) { return c == 0 ? x : c == 1 ? y : x + y; });
  Bytes file = writePng(s);
  DecodedImage image = decode(file);
  ASSERT_TRUE(image.ok);
  EXPECT_EQ(image.type, 1005u);
  EXPECT_EQ(image.width, 498);
  EXPECT_EQ(image.pixels.size(), 466128u);
  EXPECT_EQ(image.at(0, 0, 3), (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(image.at(300, 200, 3), (std::vector<int>{500 & 255, 200, 300 & 255}));
  EXPECT_EQ(image.pixels, referencePng(file, false));
}

TEST(PngDecoderPixels, GreyAndPaletteOfEveryDepthComeOutBgrInterlacedOrNot) {
  for (bool interlaced : {false, true}) {
    for (int bits : {1, 2, 4, 8, 16}) {
      SCOPED_TRACE(std::to_string(bits) + (interlaced ? " bits, interlaced" : " bits"));
      DecodedImage grey = decode(writePng(spec(0, bits, interlaced)));
      ASSERT_TRUE(grey.ok);
      EXPECT_EQ(grey.type, 1005u);
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
          int g = eight(level(x, y, 0, bits), bits);
          ASSERT_EQ(grey.at(x, y, 3), (std::vector<int>{g, g, g})) << x << "," << y;
        }
      if (bits == 16) continue;
      PngSpec ps = spec(3, bits, interlaced);
      DecodedImage palette = decode(writePng(ps));
      ASSERT_TRUE(palette.ok);
      EXPECT_EQ(palette.type, 1005u);
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
          auto& e = ps.palette[level(x, y, 0, bits)];
          ASSERT_EQ(palette.at(x, y, 3), (std::vector<int>{e[2], e[1], e[0]})) << x << "," << y;
        }
    }
  }
}

TEST(PngDecoderPixels, ColourAndAlphaTypes) {
  struct Case {
    int colorType, bits;
    bool interlaced;
    unsigned int type;
  };
  // Interlaced files drop their alpha channel.
  const Case cases[] = {{2, 16, false, 1005}, {6, 8, false, 1007},  {6, 16, false, 1007},
                        {4, 8, false, 1007},  {4, 16, false, 1007}, {2, 8, true, 1005},
                        {2, 16, true, 1005},  {6, 8, true, 1005},   {4, 16, true, 1005}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.colorType) + "/" + std::to_string(c.bits) + (c.interlaced ? " interlaced" : ""));
    DecodedImage image = decode(writePng(spec(c.colorType, c.bits, c.interlaced)));
    ASSERT_TRUE(image.ok);
    EXPECT_EQ(image.type, c.type);
    int bpp = c.type == 1007 ? 4 : 3;
    bool grey = c.colorType == 4;
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) {
        int r = eight(level(x, y, 0, c.bits), c.bits);
        int g = grey ? r : eight(level(x, y, 1, c.bits), c.bits);
        int b = grey ? r : eight(level(x, y, 2, c.bits), c.bits);
        int a = eight(level(x, y, grey ? 1 : 3, c.bits), c.bits);
        std::vector<int> want = {b, g, r, a};
        want.resize(bpp);
        ASSERT_EQ(image.at(x, y, bpp), want) << x << "," << y;
      }
  }
}

TEST(PngDecoderPixels, TransparencyChunksBecomeAlpha) {
  PngSpec palette = spec(3, 4, false);
  palette.paletteAlpha = {0, 128};  // entries past the table are opaque
  Bytes file = writePng(palette);
  DecodedImage image = decode(file);
  ASSERT_TRUE(image.ok);
  EXPECT_EQ(image.type, 1007u);
  EXPECT_EQ(image.at(0, 0, 4), (std::vector<int>{0, 255, 0, 0}));  // index 0
  EXPECT_EQ(image.at(1, 1, 4)[3], 255);                            // index 10
  EXPECT_EQ(image.pixels, referencePng(file, true));

  PngSpec grey = spec(0, 8, false);
  grey.key = {level(2, 0, 0, 8), 0, 0};
  image = decode(writePng(grey));
  ASSERT_TRUE(image.ok);
  EXPECT_EQ(image.type, 1007u);
  EXPECT_EQ(image.at(2, 0, 4)[3], 0);
  EXPECT_EQ(image.at(3, 0, 4)[3], 255);

  PngSpec rgb = spec(2, 8, false);
  rgb.key = {level(4, 1, 0, 8), level(4, 1, 1, 8), level(4, 1, 2, 8)};
  image = decode(writePng(rgb));
  ASSERT_TRUE(image.ok);
  EXPECT_EQ(image.at(4, 1, 4)[3], 0);
  EXPECT_EQ(image.at(5, 1, 4)[3], 255);
}

TEST(PngDecoderPixels, PaletteIndexesPastThePaletteAreBlack) {
  for (bool interlaced : {false, true}) {
    PngSpec s = spec(3, 8, interlaced);
    s.palette.resize(2);
    DecodedImage image = decode(writePng(s));
    ASSERT_TRUE(image.ok) << interlaced;
    EXPECT_EQ(image.at(1, 0, 3), (std::vector<int>{0, 0, 0})) << interlaced;    // index 7
    EXPECT_EQ(image.at(0, 0, 3), (std::vector<int>{0, 255, 0})) << interlaced;  // index 0
  }
}

TEST(PngDecoderPixels, GammaChunkCorrectsForAScreenOf2_2) {
  PngSpec s;
  s.rows = {128, 128, 128};
  s.gamma = 1.0;
  DecodedImage corrected = decode(writePng(s));
  ASSERT_TRUE(corrected.ok);
  int want = static_cast<int>(std::lround(255 * std::pow(128 / 255.0, 1 / 2.2)));
  EXPECT_NEAR(corrected.pixels[0], want, 1);
  s.gamma = 1 / 2.2;
  EXPECT_EQ(decode(writePng(s)).pixels, (Bytes{128, 128, 128}));
}

TEST(PngDecoderFailure, BadSignatureEmptyAndCutHeaderFailToOpen) {
  Bytes file = writePng(spec(2, 8, false));
  RKPNGDecoder decoder;
  EXPECT_EQ(decoder.openMemory(file.data(), 0), 0);
  Bytes bad = file;
  bad[1] = 'Q';
  EXPECT_EQ(decoder.openMemory(bad.data(), static_cast<int>(bad.size())), 0);
  EXPECT_EQ(decoder.openMemory(file.data(), 20), 0);
  EXPECT_EQ(decoder.getImage(), nullptr);
}

TEST(PngDecoderFailure, CutOrCorruptImageDataFailsAndTheDecoderOpensAgain) {
  Bytes file = writePng(spec(6, 8, false));
  RKPNGDecoder decoder;
  ASSERT_EQ(decoder.openMemory(file.data(), static_cast<int>(file.size()) - 30), 1);
  EXPECT_EQ(decoder.getImage(), nullptr);
  EXPECT_EQ(decoder.readRaw(nullptr), -1);  // closed
  Bytes corrupt = file;
  corrupt[corrupt.size() - 30] ^= 0x40;  // inside the image data: CRC mismatch
  ASSERT_EQ(decoder.openMemory(corrupt.data(), static_cast<int>(corrupt.size())), 1);
  EXPECT_EQ(decoder.getBuffer(), nullptr);
  ASSERT_EQ(decoder.openMemory(file.data(), static_cast<int>(file.size())), 1);
  RKImage* image = decoder.getImage();
  ASSERT_NE(image, nullptr);
  image->release();
}

TEST(PngDecoderFailure, EveryCutAndEveryFlippedByteEndsCleanly) {
  for (bool interlaced : {false, true}) {
    Bytes file = writePng(spec(3, 2, interlaced));
    for (size_t n = 0; n < file.size(); ++n) {
      Bytes cut(file.begin(), file.begin() + n);
      DecodedImage image = decode(cut);
      if (image.ok) {
        EXPECT_EQ(image.pixels.size(), size_t(W * H * 3));
      }
      Bytes flipped = withCrcs(file);
      flipped[n] ^= 0xA5;
      image = decode(withCrcs(flipped));
      if (image.ok) {
        EXPECT_EQ(image.pixels.size(), size_t(image.width) * image.height * 3);
      }
    }
  }
}

TEST(PngDecoderFailure, SizeBeyondTheLibraryCapIsRefusedBeforeAllocating) {
  Bytes file = writePng(spec(2, 8, false));
  // IHDR width and height (offsets 16 and 20) become 1,000,000 each.
  for (int at : {16, 20}) {
    file[at] = 0x00, file[at + 1] = 0x0F, file[at + 2] = 0x42, file[at + 3] = 0x40;
  }
  file = withCrcs(file);
  RKPNGDecoder decoder;
  ASSERT_EQ(decoder.openMemory(file.data(), static_cast<int>(file.size())), 1);
  EXPECT_EQ(decoder.getWidth(), 1000000);
  EXPECT_EQ(decoder.getBuffer(), nullptr);
}

TEST(PngDecoderFrame, DecodesOnceCachesAndReportsProgress) {
  struct Recorder : IRKCoderListener {
    std::vector<int> rows;
    int finished = 0;
    void rowDecoded(int row, int count) override {
      rows.push_back(row);
      EXPECT_EQ(count, H);
    }
    void decodeFinished() override { ++finished; }
  } listener;
  Bytes file = writePng(spec(6, 8, false));
  RKPNGDecoder decoder;
  EXPECT_NE(std::strstr(decoder.getClassName(), ".RKCoder"), nullptr);
  EXPECT_NE(std::strstr(decoder.getClassName(), ".RKPNGDecoder"), nullptr);
  EXPECT_EQ(decoder.getDepth(), 0);
  RKParam none;
  EXPECT_EQ(decoder.getInfo(&none), 0);
  decoder.setListener(&listener);
  ASSERT_EQ(decoder.openMemory(file.data(), static_cast<int>(file.size())), 1);
  EXPECT_EQ(decoder.getDepth(), 32);
  RKParam info;
  EXPECT_EQ(decoder.getInfo(&info), 1);
  EXPECT_EQ(info.getInt("IMAGE_ImageType"), 1007);
  EXPECT_EQ(info.getInt("IMAGE_Width"), W);
  EXPECT_EQ(info.getInt("IMAGE_Height"), H);
  EXPECT_EQ(info.getInt("IMAGE_Depth"), 32);

  // Before a decode: an image target gets nothing, a raw read only the size.
  RKImage* target = new RKImage();
  target->addRef();
  EXPECT_EQ(decoder.decodeTo(target), 0);
  std::vector<unsigned char> raw(W * H * 4, 0xEE);
  EXPECT_EQ(decoder.readRaw(raw.data()), W * H * 4);
  EXPECT_EQ(raw[0], 0xEE);

  RKBuffer* pixels = decoder.getBuffer();
  ASSERT_NE(pixels, nullptr);
  EXPECT_EQ(listener.rows.size(), size_t(H));
  EXPECT_EQ(listener.rows.back(), H - 1);
  EXPECT_EQ(listener.finished, 1);
  EXPECT_EQ(decoder.decodeTo(target), 1);
  EXPECT_EQ(target->getPixelType(), 1007u);
  EXPECT_EQ(target->getWidth(), W);
  EXPECT_EQ(decoder.readRaw(raw.data()), W * H * 4);
  EXPECT_EQ(0, std::memcmp(raw.data(), pixels->getData(0), raw.size()));
  RKBuffer* copy = new RKBuffer();
  copy->addRef();
  EXPECT_EQ(decoder.decodeTo(copy), 1);  // from the cache: the stream is closed by now
  EXPECT_EQ(copy->getSize(), pixels->getSize());
  EXPECT_EQ(listener.finished, 1);
  copy->release();
  pixels->release();
  target->release();
}

TEST(PngDecoderFrame, OpensAFileByPath) {
  TempPrefix prefix;
  Bytes file = writePng(spec(0, 4, true));
  TempPrefix::writeFile(prefix.onC("logo.png"), std::string(file.begin(), file.end()));
  RKPNGDecoder decoder;
  RKString path("C:\\logo.png");
  ASSERT_EQ(decoder.setSource(&path), 1);
  RKImage* image = decoder.getImage();
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->getHeight(), H);
  image->release();
}
