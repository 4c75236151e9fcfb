#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "RKPixelConvert.h"

using namespace RKSDK;

namespace {

struct Rgba {
  int r, g, b, a;  // a is -1 for types without alpha
};

// Channel offsets (red, green, blue, alpha) and size of the four drawable types.
void layout(unsigned int type, int& r, int& g, int& b, int& a, int& n) {
  switch (type) {
    case 1003:
      r = 0;
      g = 1;
      b = 2;
      a = -1;
      n = 3;
      break;
    case 1004:
      a = 0;
      r = 1;
      g = 2;
      b = 3;
      n = 4;
      break;
    case 1005:
      b = 0;
      g = 1;
      r = 2;
      a = -1;
      n = 3;
      break;
    default:
      b = 0;
      g = 1;
      r = 2;
      a = 3;
      n = 4;
      break;
  }
}

RKImage* solid(unsigned int type, int w, int h, Rgba c) {
  int r, g, b, a, n;
  layout(type, r, g, b, a, n);
  std::vector<uint8_t> bytes(w * h * n);
  for (int i = 0; i < w * h; ++i) {
    bytes[i * n + r] = c.r;
    bytes[i * n + g] = c.g;
    bytes[i * n + b] = c.b;
    if (a >= 0) bytes[i * n + a] = c.a;
  }
  RKImage* image = new RKImage(type, bytes.data(), static_cast<int>(bytes.size()), 0, 0, w, h, 0);
  image->addRef();
  return image;
}

Rgba pixel(RKImage* image, int x, int y) {
  int r, g, b, a, n;
  layout(image->getPixelType(), r, g, b, a, n);
  RKBuffer* buf = image->getBuffer();
  const uint8_t* p = buf->getData((y * image->getWidth() + x) * n);
  Rgba out{p[r], p[g], p[b], a >= 0 ? p[a] : -1};
  buf->release();
  return out;
}

const unsigned int kDrawable[] = {1003, 1004, 1005, 1007};

int blend(int s, int d, int a) { return s * a / 255 + d * (255 - a) / 255; }

}  // namespace

TEST(RKRowConverters, SixteenBitWordsWidenWithoutRescaling) {
  const uint8_t w565[4] = {0xFF, 0xFF, 0x1F, 0xF8};  // 0xFFFF, then 0xF81F
  uint8_t out[8] = {};
  EXPECT_EQ(convertRGB565ToBGR(w565, out, 2), 1);
  EXPECT_EQ(out[0], 248);
  EXPECT_EQ(out[1], 252);
  EXPECT_EQ(out[2], 248);
  EXPECT_EQ(out[3], 248);  // blue of 0xF81F
  EXPECT_EQ(out[4], 0);
  EXPECT_EQ(out[5], 248);

  const uint8_t w555[2] = {0xFF, 0x7F};
  EXPECT_EQ(convertRGB555ToBGR(w555, out, 1), 1);
  EXPECT_EQ(out[0], 248);
  EXPECT_EQ(out[1], 248);
  EXPECT_EQ(out[2], 248);

  const uint8_t red555[2] = {0x00, 0x7C};  // 0x7C00: red only
  uint8_t four[4] = {};
  EXPECT_EQ(convertRGB555ToBGRA(red555, four, 1), 1);
  EXPECT_EQ(four[0], 0);
  EXPECT_EQ(four[1], 0);
  EXPECT_EQ(four[2], 248);
  EXPECT_EQ(four[3], 255);
  const uint8_t green565[2] = {0xE0, 0x07};  // 0x07E0: green only
  EXPECT_EQ(convertRGB565ToBGRA(green565, four, 1), 1);
  EXPECT_EQ(four[0], 0);
  EXPECT_EQ(four[1], 252);
  EXPECT_EQ(four[2], 0);
  EXPECT_EQ(four[3], 255);
}

TEST(RKRowConverters, ByteOrderConverters) {
  const uint8_t rgb[6] = {1, 2, 3, 4, 5, 6};
  uint8_t out[8] = {};
  EXPECT_EQ(swapRGB24(rgb, out, 2), 1);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 6), (std::vector<uint8_t>{3, 2, 1, 6, 5, 4}));
  EXPECT_EQ(expandRGB24To32(rgb, out, 2), 1);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 8), (std::vector<uint8_t>{1, 2, 3, 255, 4, 5, 6, 255}));
  const uint8_t argb[8] = {10, 20, 30, 40, 50, 60, 70, 80};
  EXPECT_EQ(reverseRGB32(argb, out, 2), 1);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 8), (std::vector<uint8_t>{40, 30, 20, 10, 80, 70, 60, 50}));
}

TEST(RKRowConverters, CountBelowOneWritesNothing) {
  const uint8_t src[4] = {1, 2, 3, 4};
  uint8_t out[4] = {9, 9, 9, 9};
  EXPECT_EQ(convertRGB555ToBGR(src, out, 0), 1);
  EXPECT_EQ(convertRGB565ToBGRA(src, out, -3), 1);
  EXPECT_EQ(swapRGB24(src, out, 0), 1);
  EXPECT_EQ(reverseRGB32(src, out, -1), 1);
  EXPECT_EQ(expandRGB24To32(src, out, 0), 1);
  EXPECT_EQ(out[0], 9);
  EXPECT_EQ(out[3], 9);
}

TEST(RKComposeImage, CheckerboardCanvas) {
  RKImage* clear = solid(1007, 4, 4, {0, 0, 0, 0});
  RKImage* out = composeImage(20, 16, nullptr, clear, 0, 0);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out->getPixelType(), 1003u);
  EXPECT_EQ(out->getWidth(), 20);
  EXPECT_EQ(out->getHeight(), 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 20; ++x) {
      int want = ((x / 8 + y / 8) % 2) ? 0xCD : 0xFF;
      Rgba p = pixel(out, x, y);
      ASSERT_EQ(p.r, want) << x << "," << y;
      ASSERT_EQ(p.g, want);
      ASSERT_EQ(p.b, want);
    }
  out->release();
  clear->release();
}

TEST(RKComposeImage, CanvasTakesSourceDelayAndDestinationIsUntouched) {
  RKImage* src = solid(1003, 2, 2, {1, 2, 3, -1});
  src->setDelay(70);
  RKImage* canvas = composeImage(4, 4, nullptr, src, 1, 1);
  ASSERT_NE(canvas, nullptr);
  EXPECT_EQ(canvas->getDelay(), 70u);
  Rgba p = pixel(canvas, 1, 1);
  EXPECT_EQ(p.r, 1);
  EXPECT_EQ(p.b, 3);
  EXPECT_EQ(pixel(canvas, 0, 0).r, 0xFF);

  RKImage* dst = solid(1005, 3, 3, {50, 60, 70, -1});
  dst->setLeft(7);
  RKImage* out = composeImage(0, 0, dst, src, 0, 0);
  ASSERT_NE(out, nullptr);
  EXPECT_NE(out, dst);
  EXPECT_EQ(out->getDelay(), 70u);
  EXPECT_EQ(out->getLeft(), 7);
  EXPECT_EQ(out->getWidth(), 3);  // width and height arguments are not used
  EXPECT_EQ(pixel(out, 0, 0).r, 1);
  EXPECT_EQ(pixel(out, 2, 2).r, 50);
  EXPECT_EQ(pixel(dst, 0, 0).r, 50);
  out->release();
  dst->release();
  canvas->release();
  src->release();
}

TEST(RKComposeImage, AllSixteenPairsPlaceChannelsByNameAndRound) {
  const Rgba src{200, 100, 30, 128};
  const Rgba dst{255, 10, 0, 77};
  for (unsigned int dt : kDrawable)
    for (unsigned int st : kDrawable) {
      SCOPED_TRACE(testing::Message() << dt << " <- " << st);
      RKImage* d = solid(dt, 3, 3, dst);
      RKImage* s = solid(st, 1, 1, src);
      RKImage* out = composeImage(0, 0, d, s, 1, 1);
      ASSERT_NE(out, nullptr);
      EXPECT_EQ(out->getPixelType(), dt);
      Rgba p = pixel(out, 1, 1);
      bool alpha = st == 1004 || st == 1007;
      EXPECT_EQ(p.r, alpha ? blend(200, 255, 128) : 200);
      EXPECT_EQ(p.g, alpha ? blend(100, 10, 128) : 100);
      EXPECT_EQ(p.b, alpha ? blend(30, 0, 128) : 30);
      if (dt == 1004 || dt == 1007) {
        EXPECT_EQ(p.a, 77);  // the result's own alpha is never changed
      }
      Rgba q = pixel(out, 0, 0);
      EXPECT_EQ(q.r, 255);
      EXPECT_EQ(q.g, 10);
      out->release();
      s->release();
      d->release();
    }
}

TEST(RKComposeImage, BlendRoundingExamples) {
  RKImage* white = solid(1003, 1, 1, {255, 255, 255, -1});
  RKImage* red = solid(1007, 1, 1, {200, 0, 0, 128});
  RKImage* out = composeImage(0, 0, white, red, 0, 0);
  Rgba p = pixel(out, 0, 0);
  EXPECT_EQ(p.r, 227);
  EXPECT_EQ(p.g, 127);
  EXPECT_EQ(p.b, 127);
  out->release();

  RKImage* clear = solid(1007, 1, 1, {0, 0, 0, 0});
  RKImage* opaque = solid(1007, 1, 1, {30, 20, 10, 255});
  out = composeImage(0, 0, clear, opaque, 0, 0);
  p = pixel(out, 0, 0);
  EXPECT_EQ(p.r, 30);
  EXPECT_EQ(p.g, 20);
  EXPECT_EQ(p.b, 10);
  EXPECT_EQ(p.a, 0);
  out->release();
  RKImage* none = solid(1004, 1, 1, {1, 2, 3, 0});
  out = composeImage(0, 0, white, none, 0, 0);
  EXPECT_EQ(pixel(out, 0, 0).r, 255);
  out->release();
  none->release();
  opaque->release();
  clear->release();
  red->release();
  white->release();
}

TEST(RKComposeImage, ClipsAtEveryEdge) {
  // Source pixel (x, y) has red = 10 * x + y, so each result pixel names its source.
  const int sw = 4, sh = 4;
  std::vector<uint8_t> bytes(sw * sh * 3);
  for (int y = 0; y < sh; ++y)
    for (int x = 0; x < sw; ++x) bytes[(y * sw + x) * 3] = static_cast<uint8_t>(10 * x + y);
  RKImage* src = new RKImage(1003, bytes.data(), static_cast<int>(bytes.size()), 0, 0, sw, sh, 0);
  src->addRef();
  RKImage* dst = solid(1003, 5, 5, {255, 255, 255, -1});

  struct Case {
    int x, y;
  } cases[] = {{-2, -3}, {3, 0}, {0, 3}, {3, 3}, {-3, 2}, {2, -3}, {4, 4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
    RKImage* out = composeImage(0, 0, dst, src, c.x, c.y);
    ASSERT_NE(out, nullptr);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 5; ++x) {
        int sx = x - c.x, sy = y - c.y;
        bool inside = sx >= 0 && sy >= 0 && sx < sw && sy < sh;
        ASSERT_EQ(pixel(out, x, y).r, inside ? 10 * sx + sy : 255) << x << "," << y;
      }
    out->release();
  }

  for (int off : {5, 6, -4, -9}) {
    RKImage* outX = composeImage(0, 0, dst, src, off, 0);
    RKImage* outY = composeImage(0, 0, dst, src, 0, off);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 5; ++x) {
        ASSERT_EQ(pixel(outX, x, y).r, 255);
        ASSERT_EQ(pixel(outY, x, y).r, 255);
      }
    outX->release();
    outY->release();
  }
  dst->release();
  src->release();
}

TEST(RKComposeImage, RefusesOtherTypesAndShortBuffers) {
  EXPECT_EQ(composeImage(4, 4, nullptr, nullptr, 0, 0), nullptr);
  uint8_t idx[4] = {};
  RKImage* indexed = new RKImage(1006, idx, 4, 0, 0, 2, 2, 0);
  indexed->addRef();
  EXPECT_EQ(composeImage(4, 4, nullptr, indexed, 0, 0), nullptr);
  RKImage* rgb = solid(1003, 2, 2, {1, 1, 1, -1});
  EXPECT_EQ(composeImage(0, 0, indexed, rgb, 0, 0), nullptr);

  // A size that the buffer cannot back is refused instead of read past.
  RKImage* lying = solid(1007, 2, 2, {1, 2, 3, 255});
  lying->setWidth(50);
  lying->setHeight(50);
  EXPECT_EQ(composeImage(8, 8, nullptr, lying, 0, 0), nullptr);
  EXPECT_EQ(composeImage(0, 0, lying, rgb, 0, 0), nullptr);
  lying->release();
  rgb->release();
  indexed->release();
}
