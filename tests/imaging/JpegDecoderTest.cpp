#include <gtest/gtest.h>

#include <cstring>

#include "DecodedImage.h"
#include "ImageFileWriters.h"
#include "RKJPEGDecoder.h"
#include "RKParam.h"

using namespace RKSDK;
using namespace testimg;

namespace {

JpegSpec spec(int width, int height, int components, int density = 0) {
  JpegSpec s;
  s.width = width;
  s.height = height;
  s.components = components;
  s.density = density;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < components; ++c) s.pixels.push_back(static_cast<unsigned char>((x * (c + 1) + y * 2) & 255));
  return s;
}

DecodedImage decode(const Bytes& file) { return decodeWith<RKJPEGDecoder>(file); }

// Each row of the decoded image against the library's own rows of width x components bytes;
// grey samples appear three times. Columns past the width must be 0.
void expectRows(const DecodedImage& image, const Bytes& reference, int width, int components, int rows) {
  int bpp = components == 4 ? 4 : 3;
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < image.width; ++x) {
      std::vector<int> want(bpp, 0);
      if (x < width)
        for (int c = 0; c < bpp; ++c)
          want[c] = reference[(size_t(y) * width + x) * components + (components == 1 ? 0 : c)];
      ASSERT_EQ(image.at(x, y, bpp), want) << x << "," << y;
    }
}

}  // namespace

TEST(JpegDecoderPixels, ColourRowsAreRoundedUpToFourPixelsWithZeroPadding) {
  Bytes file = writeJpeg(spec(498, 312, 3, 72));
  RKJPEGDecoder decoder;
  ASSERT_EQ(decoder.openMemory(file.data(), static_cast<int>(file.size())), 1);
  EXPECT_EQ(decoder.getWidth(), 498);  // the header's width until the decode
  EXPECT_EQ(decoder.getComponents(), 3);
  EXPECT_EQ(decoder.getXDensity(), 72);
  EXPECT_EQ(decoder.getYDensity(), 72);
  RKParam info;
  ASSERT_EQ(decoder.getInfo(&info), 1);
  EXPECT_EQ(info.getInt("IMAGE_ImageType"), 1003);
  EXPECT_EQ(info.getInt("IMAGE_Width"), 498);
  EXPECT_EQ(info.getInt("IMAGE_Height"), 312);
  EXPECT_EQ(info.getInt("JPEG_NumComponents"), 3);
  EXPECT_EQ(info.getInt("JPEG_XDensity"), 72);
  EXPECT_EQ(info.getInt("JPEG_YDensity"), 72);
  DecodedImage image = decode(file);
  ASSERT_TRUE(image.ok);
  EXPECT_EQ(image.type, 1003u);
  EXPECT_EQ(image.width, 500);
  EXPECT_EQ(image.height, 312);
  EXPECT_EQ(image.pixels.size(), 500u * 312 * 3);
  EXPECT_EQ(image.densityX, 72u);
  expectRows(image, referenceJpeg(file), 498, 3, 312);
}

TEST(JpegDecoderPixels, GreyFileGivesEqualTriples) {
  Bytes file = writeJpeg(spec(37, 5, 1));
  DecodedImage image = decode(file);
  ASSERT_TRUE(image.ok);
  EXPECT_EQ(image.type, 1003u);
  EXPECT_EQ(image.width, 40);
  expectRows(image, referenceJpeg(file), 37, 1, 5);
}

TEST(JpegDecoderPixels, CmykFileKeepsItsWidthAndFourSamples) {
  Bytes file = writeJpeg(spec(37, 6, 4));
  RKJPEGDecoder decoder;
  ASSERT_EQ(decoder.openMemory(file.data(), static_cast<int>(file.size())), 1);
  EXPECT_EQ(decoder.readRaw(nullptr), 37 * 6 * 4);
  RKParam info;
  ASSERT_EQ(decoder.getInfo(&info), 1);
  EXPECT_EQ(info.getInt("IMAGE_ImageType"), 1027);
  EXPECT_EQ(info.getInt("JPEG_NumComponents"), 4);
  DecodedImage image = decode(file);
  ASSERT_TRUE(image.ok);
  EXPECT_EQ(image.type, 1027u);
  EXPECT_EQ(image.width, 37);
  EXPECT_EQ(image.pixels.size(), 37u * 6 * 4);
  expectRows(image, referenceJpeg(file), 37, 4, 6);
}

TEST(JpegDecoderFailure, EmptyAndForeignInputFailToOpen) {
  RKJPEGDecoder decoder;
  EXPECT_EQ(decoder.readRaw(nullptr), 0);  // before any open
  const unsigned char none[1] = {0};
  EXPECT_EQ(decoder.openMemory(none, 0), 0);
  const char text[] = "GIF89a, not a JPEG file at all";
  EXPECT_EQ(decoder.openMemory(text, sizeof text), 0);
  Bytes file = writeJpeg(spec(8, 8, 3));
  EXPECT_EQ(decoder.openMemory(file.data(), 2), 0);  // only the start-of-image marker
  EXPECT_EQ(decoder.getImage(), nullptr);
}

TEST(JpegDecoderFailure, FileCutInItsScanDataStillDecodesToFullSize) {
  Bytes whole = writeJpeg(spec(64, 64, 3));
  Bytes reference = referenceJpeg(whole);
  Bytes cut(whole.begin(), whole.begin() + whole.size() * 2 / 3);
  DecodedImage image = decode(cut);
  ASSERT_TRUE(image.ok);
  EXPECT_EQ(image.width, 64);
  EXPECT_EQ(image.height, 64);
  expectRows(image, reference, 64, 3, 8);  // the first block row is intact
}

TEST(JpegDecoderFailure, EveryCutAndEveryFlippedByteEndsCleanly) {
  Bytes file = writeJpeg(spec(19, 11, 3));
  for (size_t n = 0; n < file.size(); ++n) {
    DecodedImage image = decode(Bytes(file.begin(), file.begin() + n));
    if (image.ok) {
      EXPECT_EQ(image.pixels.size(), size_t(20 * 11 * 3));
    }
    Bytes flipped = file;
    flipped[n] ^= 0xFF;
    image = decode(flipped);
    if (image.ok) {
      EXPECT_EQ(image.pixels.size(), size_t(image.width) * image.height * 3);
    }
  }
}

TEST(JpegDecoderFailure, CorruptFrameHeaderFailsAndTheDecoderOpensAgain) {
  Bytes file = writeJpeg(spec(16, 16, 3));
  // The frame header's component count (byte 9 of the segment) is made 0.
  size_t sof = 2;
  while (sof + 1 < file.size() && !(file[sof] == 0xFF && file[sof + 1] == 0xC0)) ++sof;
  ASSERT_LT(sof + 9, file.size());
  Bytes bad = file;
  bad[sof + 9] = 0;
  RKJPEGDecoder decoder;
  EXPECT_EQ(decoder.openMemory(bad.data(), static_cast<int>(bad.size())), 0);
  // A frame of 65500 x 65500 pixels is past the library's cap: refused before any allocation.
  Bytes huge = file;
  huge[sof + 5] = huge[sof + 7] = 0xFF;
  huge[sof + 6] = huge[sof + 8] = 0xDC;
  ASSERT_EQ(decoder.openMemory(huge.data(), static_cast<int>(huge.size())), 1);
  EXPECT_EQ(decoder.getWidth(), 65500);
  EXPECT_EQ(decoder.getBuffer(), nullptr);
  ASSERT_EQ(decoder.openMemory(file.data(), static_cast<int>(file.size())), 1);
  RKImage* image = decoder.getImage();
  ASSERT_NE(image, nullptr);
  image->release();
}

TEST(JpegDecoderFrame, ProgressCacheAndClosedStream) {
  struct Recorder : IRKCoderListener {
    std::vector<int> rows;
    int finished = 0;
    void rowDecoded(int row, int count) override {
      rows.push_back(row);
      EXPECT_EQ(count, 9);
    }
    void decodeFinished() override { ++finished; }
  } listener;
  RKJPEGDecoder decoder;
  EXPECT_NE(std::strstr(decoder.getClassName(), ".RKJPEGDecoder"), nullptr);
  decoder.setListener(&listener);
  for (int components : {3, 4}) {
    listener.rows.clear();
    listener.finished = 0;
    Bytes file = writeJpeg(spec(10, 9, components, 300));
    ASSERT_EQ(decoder.openMemory(file.data(), static_cast<int>(file.size())), 1);
    RKImage* target = new RKImage();
    target->addRef();
    ASSERT_EQ(decoder.decodeTo(target), 1);
    unsigned int dx = 0, dy = 0;
    target->getDensity(&dx, &dy);
    if (components == 3) {  // CMYK files carry no JFIF segment
      EXPECT_EQ(dx, 300u);
    }
    EXPECT_EQ(target->getWidth(), components == 4 ? 10 : 12);
    EXPECT_EQ(listener.rows.size(), 9u);
    EXPECT_EQ(listener.rows.front(), 1);  // rows read so far
    EXPECT_EQ(listener.finished, components == 4 ? 0 : 1);
    RKBuffer* copy = new RKBuffer();
    copy->addRef();
    EXPECT_EQ(decoder.decodeTo(copy), 1);  // served by the cache
    RKBuffer* pixels = target->getBuffer();
    EXPECT_EQ(copy->getSize(), pixels->getSize());
    EXPECT_EQ(0, std::memcmp(copy->getData(0), pixels->getData(0), copy->getSize()));
    std::vector<unsigned char> raw(copy->getSize());
    EXPECT_EQ(decoder.readRaw(raw.data()), components == 4 ? 10 * 9 * 4 : 12 * 9 * 3);
    pixels->release();
    copy->release();
    target->release();
  }
}
