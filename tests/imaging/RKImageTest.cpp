#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "RKImage.h"

using namespace RKSDK;

namespace {

std::vector<uint8_t> sequence(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 7 + 1);
  return v;
}

std::vector<uint8_t> bytesOf(RKBuffer* buffer) {
  if (!buffer || buffer->getSize() == 0) return {};
  return std::vector<uint8_t>(buffer->getData(0), buffer->getData(0) + buffer->getSize());
}

RKImage* makeImage(unsigned int type, int w, int h, const std::vector<uint8_t>& bytes) {
  RKImage* image = new RKImage(type, bytes.data(), static_cast<int>(bytes.size()), 0, 0, w, h, 0);
  image->addRef();
  return image;
}

const unsigned int kPackedTypes[] = {1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1011, 1027, 1028};

}  // namespace

TEST(RKImageModel, EmptyImageHasNothing) {
  RKImage image;
  EXPECT_NE(std::strstr(image.getClassName(), ".RKImage"), nullptr);
  EXPECT_EQ(image.getWidth(), 0);
  EXPECT_EQ(image.getHeight(), 0);
  EXPECT_EQ(image.getPixelType(), 0u);
  EXPECT_EQ(image.getDelay(), 0u);
  EXPECT_EQ(image.getBuffer(), nullptr);
  EXPECT_EQ(image.getExtraBuffer(), nullptr);
  EXPECT_EQ(image.clone(), nullptr);
  EXPECT_EQ(image.cropBuffer(0, 0, 1, 1), nullptr);
  RKColor out(1, 2, 3);
  EXPECT_EQ(image.getTransparentColor(out), 0);
  EXPECT_EQ(out.getRed(), 1);
  unsigned int dx = 9, dy = 9;
  image.getDensity(&dx, &dy);
  EXPECT_EQ(dx, 0u);
  EXPECT_EQ(dy, 0u);
}

TEST(RKImageModel, ConstructorsCopyOrAdoptPixels) {
  auto bytes = sequence(12);
  RKImage* copied = new RKImage(1003, bytes.data(), 12, 5, 6, 2, 2, 40);
  copied->addRef();
  EXPECT_EQ(copied->getLeft(), 5);
  EXPECT_EQ(copied->getTop(), 6);
  EXPECT_EQ(copied->getDelay(), 40u);
  RKBuffer* pixels = copied->getBuffer();
  ASSERT_NE(pixels, nullptr);
  EXPECT_EQ(bytesOf(pixels), bytes);
  bytes[0] = 99;  // the image holds its own copy
  EXPECT_NE(pixels->getData(0)[0], 99);

  RKImage* adopted = new RKImage(1003, pixels, 0, 0, 2, 2, 0);
  adopted->addRef();
  RKBuffer* same = adopted->getBuffer();
  EXPECT_EQ(same, pixels);
  same->release();
  adopted->release();
  pixels->release();
  copied->release();
}

TEST(RKImageModel, SettersAndBuffers) {
  RKImage image;
  image.setLeft(-3);
  image.setTop(4);
  image.setWidth(7);
  image.setHeight(8);
  image.setDelay(100);
  image.setDensity(72, 96);
  EXPECT_EQ(image.getLeft(), -3);
  EXPECT_EQ(image.getTop(), 4);
  EXPECT_EQ(image.getWidth(), 7);
  EXPECT_EQ(image.getHeight(), 8);
  EXPECT_EQ(image.getDelay(), 100u);
  unsigned int dx, dy;
  image.getDensity(&dx, &dy);
  EXPECT_EQ(dx, 72u);
  EXPECT_EQ(dy, 96u);

  const uint8_t data[4] = {1, 2, 3, 4};
  image.setPixels(1006, data, 4);
  EXPECT_EQ(image.getPixelType(), 1006u);
  RKBuffer* pixels = image.getBuffer();
  EXPECT_EQ(bytesOf(pixels), std::vector<uint8_t>(data, data + 4));

  RKBuffer* other = new RKBuffer(6);
  other->addRef();
  image.setBuffer(1011, other);
  EXPECT_EQ(image.getPixelType(), 1011u);
  RKBuffer* got = image.getBuffer();
  EXPECT_EQ(got, other);
  got->release();
  pixels->release();

  image.setExtraData(data, 3);
  RKBuffer* extra = image.getExtraBuffer();
  ASSERT_NE(extra, nullptr);
  EXPECT_EQ(extra->getSize(), 3);
  extra->release();
  image.setExtraBuffer(other);
  extra = image.getExtraBuffer();
  EXPECT_EQ(extra, other);
  extra->release();
  image.setExtraBuffer(nullptr);
  EXPECT_EQ(image.getExtraBuffer(), nullptr);
  other->release();

  RKColor key(10, 20, 30);
  key.setAlpha(40);
  EXPECT_EQ(image.setTransparentColor(key), 1);
  RKColor out;
  EXPECT_EQ(image.getTransparentColor(out), 1);
  EXPECT_EQ(out.getRed(), 10);
  EXPECT_EQ(out.getGreen(), 20);
  EXPECT_EQ(out.getBlue(), 30);
  EXPECT_EQ(out.getAlpha(), 40);
}

TEST(RKImageModel, EveryPackedTypeCropsRowByRow) {
  const int w = 5, h = 4;
  for (unsigned int type : kPackedTypes) {
    SCOPED_TRACE(type);
    int bpp = RKImage::bytesPerPixel(type);
    ASSERT_GT(bpp, 0);
    auto bytes = sequence(w * h * bpp);
    RKImage* image = makeImage(type, w, h, bytes);

    RKBuffer* whole = image->cropBuffer(0, 0, w, h);
    ASSERT_NE(whole, nullptr);
    EXPECT_EQ(bytesOf(whole), bytes);
    whole->release();

    RKBuffer* part = image->cropBuffer(1, 2, 4, 4);
    ASSERT_NE(part, nullptr);
    std::vector<uint8_t> want;
    for (int y = 2; y < 4; ++y)
      for (int x = 1; x < 4; ++x)
        for (int b = 0; b < bpp; ++b) want.push_back(bytes[(y * w + x) * bpp + b]);
    EXPECT_EQ(bytesOf(part), want);
    part->release();

    RKBuffer* corner = image->cropBuffer(-5, -5, 2, 2);
    ASSERT_NE(corner, nullptr);
    EXPECT_EQ(corner->getSize(), 2 * 2 * bpp);
    EXPECT_EQ(corner->getData(0)[bpp], bytes[bpp]);
    corner->release();

    EXPECT_EQ(image->cropBuffer(3, 0, 3, 10), nullptr);
    EXPECT_EQ(image->cropBuffer(0, 4, 5, 9), nullptr);
    RKBuffer* clipped = image->cropBuffer(3, 3, 100, 100);
    ASSERT_NE(clipped, nullptr);
    EXPECT_EQ(clipped->getSize(), 2 * 1 * bpp);
    clipped->release();
    image->release();
  }
}

TEST(RKImageModel, PlanarCropCopiesThreePlanes) {
  const int W = 8, H = 4;
  auto bytes = sequence(W * H * 3 / 2);
  RKImage* image = makeImage(1010, W, H, bytes);

  RKBuffer* crop = image->cropBuffer(2, 1, 6, 3);  // w 4, h 2
  ASSERT_NE(crop, nullptr);
  ASSERT_EQ(crop->getSize(), 4 * 2 * 3 / 2);
  const uint8_t* c = crop->getData(0);
  for (int i = 0; i < 2; ++i)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(c[i * 4 + x], bytes[(1 + i) * W + 2 + x]);
  // Quarter planes: one byte a row from (W * y + x0) / 4 of each plane.
  const int srcU = W * H, srcV = W * H + W * H / 4, dstU = 8, dstV = 8 + 2;
  for (int i = 0; i < 2; ++i) {
    int y = 1 + i;
    EXPECT_EQ(c[dstU + (4 * i) / 4], bytes[srcU + (W * y + 2) / 4]);
    EXPECT_EQ(c[dstV + (4 * i) / 4], bytes[srcV + (W * y + 2) / 4]);
  }
  crop->release();

  RKBuffer* odd = image->cropBuffer(0, 0, 5, 2);  // odd width drops its last column
  ASSERT_NE(odd, nullptr);
  EXPECT_EQ(odd->getSize(), 4 * 2 * 3 / 2);
  odd->release();
  EXPECT_EQ(image->cropBuffer(3, 0, 4, 2), nullptr);  // one column wide
  image->release();
}

TEST(RKImageModel, FileBytesAndUnknownTypesDoNotCrop) {
  auto bytes = sequence(64);
  RKImage* file = makeImage(3001, 320, 240, bytes);
  EXPECT_EQ(file->cropBuffer(0, 0, 1, 1), nullptr);
  RKBuffer* contents = file->getBuffer();
  EXPECT_EQ(bytesOf(contents), bytes);
  contents->release();
  file->release();
  RKImage* odd = makeImage(1234, 2, 2, bytes);
  EXPECT_EQ(odd->cropBuffer(0, 0, 2, 2), nullptr);
  odd->release();
}

TEST(RKImageModel, ShortBufferIsNeverWalked) {
  // Pixels set before the size, as decoders do: a buffer smaller than the size promises.
  auto bytes = sequence(12);
  RKImage* image = makeImage(1003, 2, 2, bytes);
  EXPECT_EQ(image->hasAllPixels(), 1);
  image->setWidth(100);
  image->setHeight(100);
  EXPECT_EQ(image->hasAllPixels(), 0);
  EXPECT_EQ(image->cropBuffer(0, 0, 100, 100), nullptr);
  EXPECT_EQ(image->cropBuffer(0, 0, 1, 1), nullptr);
  image->release();

  RKImage* planar = makeImage(1010, 8, 8, sequence(40));
  EXPECT_EQ(planar->cropBuffer(0, 0, 4, 4), nullptr);
  planar->release();
}

TEST(RKImageModel, CloneCopiesPixelsAndGeometryOnly) {
  for (unsigned int type : kPackedTypes) {
    SCOPED_TRACE(type);
    auto bytes = sequence(3 * 2 * RKImage::bytesPerPixel(type));
    RKImage* image = new RKImage(type, bytes.data(), static_cast<int>(bytes.size()), 4, 5, 3, 2, 70);
    image->addRef();
    image->setExtraData("xyz", 3);
    image->setTransparentColor(RKColor(1, 2, 3));
    image->setDensity(10, 20);

    RKImage* copy = image->clone();
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(std::strstr(copy->getClassName(), ".RKImage"), nullptr);
    EXPECT_EQ(copy->getPixelType(), type);
    EXPECT_EQ(copy->getLeft(), 4);
    EXPECT_EQ(copy->getTop(), 5);
    EXPECT_EQ(copy->getWidth(), 3);
    EXPECT_EQ(copy->getHeight(), 2);
    EXPECT_EQ(copy->getDelay(), 70u);
    EXPECT_EQ(copy->getExtraBuffer(), nullptr);
    RKColor out;
    EXPECT_EQ(copy->getTransparentColor(out), 0);
    unsigned int dx, dy;
    copy->getDensity(&dx, &dy);
    EXPECT_EQ(dx, 0u);
    RKBuffer* a = image->getBuffer();
    RKBuffer* b = copy->getBuffer();
    EXPECT_NE(a, b);
    EXPECT_EQ(bytesOf(a), bytesOf(b));
    a->release();
    b->release();
    copy->release();
    image->release();
  }
}

TEST(RKImageModel, AssignCopiesPixelsAndSharesExtra) {
  auto bytes = sequence(2 * 2 * 4);
  RKImage* source = makeImage(1007, 2, 2, bytes);
  source->setLeft(3);
  source->setDelay(50);
  source->setExtraData("ab", 2);
  source->setTransparentColor(RKColor(9, 8, 7));

  RKImage* target = makeImage(1003, 1, 1, sequence(3));
  *target = *source;
  EXPECT_EQ(target->getPixelType(), 1007u);
  EXPECT_EQ(target->getWidth(), 2);
  EXPECT_EQ(target->getLeft(), 3);
  EXPECT_EQ(target->getDelay(), 50u);
  RKColor out;
  EXPECT_EQ(target->getTransparentColor(out), 1);
  EXPECT_EQ(out.getRed(), 9);
  RKBuffer* e1 = source->getExtraBuffer();
  RKBuffer* e2 = target->getExtraBuffer();
  EXPECT_EQ(e1, e2);
  e1->release();
  e2->release();
  RKBuffer* p1 = source->getBuffer();
  RKBuffer* p2 = target->getBuffer();
  EXPECT_NE(p1, p2);
  EXPECT_EQ(bytesOf(p1), bytesOf(p2));
  p1->release();
  p2->release();

  RKImage empty;
  *target = empty;
  EXPECT_EQ(target->getBuffer(), nullptr);
  EXPECT_EQ(target->getExtraBuffer(), nullptr);
  target->release();
  source->release();
}

TEST(RKImageModel, PixelByteCounts) {
  EXPECT_EQ(RKImage::pixelBytes(1001, 3, 2), 12);
  EXPECT_EQ(RKImage::pixelBytes(1005, 3, 2), 18);
  EXPECT_EQ(RKImage::pixelBytes(1027, 3, 2), 24);
  EXPECT_EQ(RKImage::pixelBytes(1028, 3, 2), 6);
  EXPECT_EQ(RKImage::pixelBytes(1010, 4, 4), 24);
  EXPECT_EQ(RKImage::pixelBytes(3001, 4, 4), -1);
  EXPECT_EQ(RKImage::pixelBytes(1003, -1, 4), -1);
  EXPECT_EQ(RKImage::pixelBytes(1007, 65535, 65535), int64_t(65535) * 65535 * 4);
}
