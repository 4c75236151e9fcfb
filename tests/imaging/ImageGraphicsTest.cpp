// Drawing into images through IRKGraphics, checked at exact pixels.
#include <gtest/gtest.h>

#ifdef RKWIN_COMPAT
#include <compat_gdi.h>
#endif

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "GraphicsTestSupport.h"
#include "ImplRKImageGraphics.h"
#include "RKPixelConvert.h"

using namespace RKSDK;
using namespace rktest;

namespace {

struct Drawing {
  RKImage* image;
  IRKGraphics* g;
  Drawing(int w, int h, Rgb bg) : image(bgrImage(w, h, bg)), g(image->getGraphics()) {}
  ~Drawing() {
    if (g) g->release();
    image->release();
  }
  Rgb at(int x, int y) { return pixelOf(image, x, y); }
};

}  // namespace

TEST(ImageGraphics, FilledRectangleOnAnRgbImage) {
  std::vector<uint8_t> px(10 * 8 * 3, 7);
  RKImage* im = new RKImage(1003, px.data(), int(px.size()), 0, 0, 10, 8, 0);
  im->addRef();
  IRKGraphics* g = im->getGraphics();
  ASSERT_NE(g, nullptr);
  EXPECT_NE(std::strstr(g->getClassName(), ".IRKGraphics"), nullptr);
  setPen(g, kRed);
  setFill(g, kRed);
  g->drawRect(2, 2, 4, 3);
  RKBuffer* b = im->getBuffer();
  const uint8_t* p = b->getData(0);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 10; ++x) {
      const uint8_t* q = p + (y * 10 + x) * 3;
      bool in = x >= 2 && x < 6 && y >= 2 && y < 5;
      if (in) {
        EXPECT_TRUE(q[0] == 255 && q[1] == 0 && q[2] == 0) << x << "," << y;
      } else {
        EXPECT_TRUE(q[0] == 7 && q[1] == 7 && q[2] == 7) << x << "," << y;
      }
    }
  b->release();
  IRKGraphics* again = im->getGraphics();
  EXPECT_EQ(again, g);  // the same back-end every time
  again->release();
  g->release();
  im->release();
}

TEST(ImageGraphics, DirtyFlagAndCopyBackOnce) {
  Drawing d(6, 6, kWhite);
  ImplRKImageGraphics* ig = dynamic_cast<ImplRKImageGraphics*>(d.g);
  ASSERT_NE(ig, nullptr);
  EXPECT_EQ(ig->isDirty(), 0u);
  d.g->setPixel(1, 1, RKColor(0, 0, 255));
  EXPECT_EQ(ig->isDirty(), 1u);
  EXPECT_TRUE(d.at(1, 1) == kBlue);
  EXPECT_EQ(ig->isDirty(), 0u);  // the read copied back and cleared it
  // Getters, setters and measurements leave it alone; path calls too.
  RKColor* c = d.g->getColor();
  c->release();
  d.g->setTransparentText(1);
  d.g->getTextSize(RKString("abc"));
  d.g->getFontHeight();
  EXPECT_EQ(d.g->beginPath(), 1);
  d.g->drawLine(0, 0, 5, 5, 1);
  EXPECT_EQ(ig->isDirty(), 1u);
  d.at(0, 0);
  EXPECT_EQ(d.g->endPath(), 1);
  EXPECT_EQ(d.g->strokePath(), 1);
  EXPECT_EQ(ig->isDirty(), 0u);
  EXPECT_EQ(d.g->fillPath(), 0);  // no path any more
}

TEST(ImageGraphics, AttachWithZeroWidthKeepsTheBitmap) {
  Drawing d(4, 4, kWhite);
  ImplRKImageGraphics* ig = dynamic_cast<ImplRKImageGraphics*>(d.g);
  RKBuffer other(48);
  ig->attach(1005, &other, 0, 4);
  ig->attach(1005, nullptr, 4, 4);
  d.g->setPixel(2, 2, RKColor(255, 0, 0));
  EXPECT_TRUE(d.at(2, 2) == kRed);
  EXPECT_TRUE(d.at(0, 0) == kWhite);
}

TEST(ImageGraphics, ReattachReloadsFromNewPixels) {
  Drawing d(4, 4, kWhite);
  std::vector<uint8_t> green(4 * 4 * 3, 0);
  for (size_t i = 1; i < green.size(); i += 3) green[i] = 255;
  d.image->setPixels(1005, green.data(), int(green.size()));
  d.g->setPixel(0, 0, RKColor(255, 0, 0));
  EXPECT_TRUE(d.at(0, 0) == kRed);
  EXPECT_TRUE(d.at(3, 3) == kGreen);
  // A buffer too short for the size is not read; copying back gives a whole image again.
  std::vector<uint8_t> shortBuf(5, 9);
  d.image->setPixels(1005, shortBuf.data(), int(shortBuf.size()));
  d.g->setPixel(0, 0, RKColor(0, 0, 255));
  RKBuffer* b = d.image->getBuffer();
  EXPECT_EQ(b->getSize(), 48);
  b->release();
  EXPECT_TRUE(d.at(0, 0) == kBlue);
}

TEST(ImageGraphics, LinesPolylinesAndPens) {
  Drawing d(20, 20, kWhite);
  setPen(d.g, kBlack);
  d.g->drawLine(2, 2, 10, 2, 0);  // width 0 draws nothing
  EXPECT_EQ(countNot(d.image, kWhite, 0, 0, 20, 20), 0);
  d.g->drawLine(2, 2, 10, 2, 1);
  EXPECT_TRUE(d.at(9, 2) == kBlack);
  EXPECT_TRUE(d.at(10, 2) == kWhite);  // end point not drawn
  RKPoint pts[2] = {RKPoint(2, 5), RKPoint(12, 5)};
  d.g->drawPolyline(pts, 2);
  EXPECT_EQ(countNot(d.image, kWhite, 0, 5, 20, 6), 10);
  d.g->drawLine(2, 10, 12, 10, 3);
  EXPECT_TRUE(d.at(7, 9) == kBlack);
  EXPECT_TRUE(d.at(7, 11) == kBlack);
  EXPECT_TRUE(d.at(7, 12) == kWhite);
  d.g->drawRectOutline(14, 14, 4, 4);
  EXPECT_TRUE(d.at(14, 14) == kBlack);
  EXPECT_TRUE(d.at(18, 18) == kBlack);  // the outline runs through x + w and y + h
  EXPECT_TRUE(d.at(16, 16) == kWhite);
}

TEST(ImageGraphics, ShapesFillWithTheFillColourInsideAPenOutline) {
  Drawing d(40, 40, kWhite);
  setPen(d.g, kBlack);
  setFill(d.g, kGreen);
  d.g->drawEllipse(0, 0, 20, 20);
  EXPECT_TRUE(d.at(10, 10) == kGreen);
  EXPECT_TRUE(d.at(0, 10) == kBlack);
  EXPECT_TRUE(d.at(0, 0) == kWhite);
  d.g->drawRoundRect(20, 0, 20, 20, 6, 6);
  EXPECT_TRUE(d.at(30, 10) == kGreen);
  EXPECT_TRUE(d.at(20, 0) == kWhite);
  RKPoint tri[3] = {RKPoint(2, 38), RKPoint(18, 38), RKPoint(10, 22)};
  d.g->drawPolygon(tri, 3, 1);
  EXPECT_TRUE(d.at(10, 34) == kGreen);
  d.g->drawPie(20, 20, 20, 20, 40, 30, 30, 20);  // upper right quarter
  EXPECT_TRUE(d.at(34, 25) == kGreen);
  EXPECT_TRUE(d.at(25, 35) == kWhite);
  EXPECT_EQ(d.g->drawArc(0, 0, 20, 20, 0, 0, 0, 0), 1);
  RKPoint bez[5] = {RKPoint(0, 0), RKPoint(1, 1), RKPoint(2, 2), RKPoint(3, 3), RKPoint(4, 4)};
  EXPECT_EQ(d.g->drawBezier(bez, 5), 0);
  EXPECT_EQ(d.g->drawBezier(bez, 4), 1);
}

// Extents come from files and may reach past the int range: the far edge stops at INT_MAX, so the
// visible part is what a box reaching to the end of the plane shows.
TEST(ImageGraphics, ExtentsPastTheIntRangeDrawTheirVisiblePart) {
  Drawing d(20, 20, kWhite);
  setPen(d.g, kBlack);
  setFill(d.g, kGreen);
  d.g->drawRect(10, 10, INT_MAX, INT_MAX);
  EXPECT_TRUE(d.at(15, 15) == kGreen);
  EXPECT_TRUE(d.at(10, 15) == kBlack);
  EXPECT_TRUE(d.at(5, 5) == kWhite);
  d.g->drawEllipse(5, INT_MIN, INT_MAX, INT_MAX);
  d.g->drawPie(5, 5, INT_MAX, INT_MAX, 0, 0, 1, 1);
  d.g->drawRoundRect(5, 5, INT_MAX, INT_MAX, 4, 4);
  EXPECT_EQ(d.g->drawArc(5, 5, INT_MAX, INT_MAX, 0, 0, 0, 0), 1);
  d.g->drawOval(INT_MAX, INT_MAX, INT_MAX, INT_MAX);
  d.g->drawFocusRect(INT_MIN, INT_MIN, INT_MIN, INT_MIN, 3);
  setBackground(d.g, kRed);
  d.g->fillRect(RKRect(0, 0, INT_MAX, 3));
  EXPECT_TRUE(d.at(19, 2) == kRed);
  EXPECT_FALSE(d.at(19, 3) == kRed);
}

TEST(ImageGraphics, ThreeDimensionalFramesHaveTheirLineColours) {
  const Rgb gray1{172, 168, 153}, dark{113, 111, 100}, light{241, 239, 226}, mid{123, 123, 123};
  {
    Drawing d(30, 20, kBlue);
    setPen(d.g, kRed);
    d.g->draw3DFrame(2, 2, 20, 10, 1);
    EXPECT_TRUE(d.at(2, 2) == gray1);
    EXPECT_TRUE(d.at(21, 2) == gray1);
    EXPECT_TRUE(d.at(2, 11) == gray1);
    EXPECT_TRUE(d.at(22, 2) == kWhite);
    EXPECT_TRUE(d.at(22, 12) == kWhite);
    EXPECT_TRUE(d.at(3, 12) == kWhite);
    EXPECT_TRUE(d.at(2, 12) == kBlue);  // the line's end point
    EXPECT_TRUE(d.at(3, 3) == dark);
    EXPECT_TRUE(d.at(3, 10) == dark);
    EXPECT_TRUE(d.at(21, 5) == light);
    EXPECT_TRUE(d.at(10, 11) == light);
    EXPECT_TRUE(d.at(10, 6) == kBlue);
    RKColor* pen = d.g->getColor();
    EXPECT_EQ(pen->getRed(), 255);  // the pen colour is given back
    EXPECT_EQ(pen->getBlue(), 0);
    pen->release();
  }
  {
    Drawing d(30, 20, kBlue);
    d.g->draw3DFrame(2, 2, 20, 10, 2);
    EXPECT_TRUE(d.at(22, 12) == kBlack);
    EXPECT_TRUE(d.at(22, 3) == kBlack);
    EXPECT_TRUE(d.at(22, 2) == kBlue);
    EXPECT_TRUE(d.at(21, 11) == mid);
    EXPECT_TRUE(d.at(21, 2) == kWhite);
    EXPECT_TRUE(d.at(2, 11) == kWhite);
    EXPECT_TRUE(d.at(2, 12) == kBlue);
  }
  {
    Drawing d(30, 20, kBlue);
    d.g->draw3DFrame(2, 2, 20, 10, 4);
    const Rgb g127{127, 127, 127};
    EXPECT_TRUE(d.at(2, 2) == g127);
    EXPECT_TRUE(d.at(21, 5) == g127);
    EXPECT_TRUE(d.at(10, 11) == g127);
    EXPECT_TRUE(d.at(3, 3) == kWhite);
    EXPECT_TRUE(d.at(22, 5) == kWhite);
    EXPECT_TRUE(d.at(10, 12) == kWhite);
    EXPECT_TRUE(d.at(3, 8) == kWhite);
  }
  Drawing d(30, 20, kBlue);
  d.g->draw3DFrame(2, 2, 20, 10, 3);
  EXPECT_EQ(countNot(d.image, kBlue, 0, 0, 30, 20), 0);
}

TEST(ImageGraphics, FocusRectanglesAndBackgroundFills) {
  Drawing d(20, 20, kWhite);
  d.g->drawFocusRect(2, 2, 14, 14, 3);
  EXPECT_GT(countNot(d.image, kWhite, 4, 4, 14, 14), 0);  // the third ring
  EXPECT_EQ(countNot(d.image, kWhite, 5, 5, 13, 13), 0);
  d.g->drawFocusRect(2, 2, 14, 14, 3);
  EXPECT_EQ(countNot(d.image, kWhite, 0, 0, 20, 20), 0);  // inverted back
  d.g->drawFocusRect(2, 2, 14, 14, 0);
  setBackground(d.g, kRed);
  d.g->fillRect(RKRect(1, 1, 3, 2));
  EXPECT_EQ(countNot(d.image, kRed, 1, 1, 4, 3), 0);
  EXPECT_TRUE(d.at(4, 1) == kWhite);
  d.g->clear();
  EXPECT_EQ(countNot(d.image, kRed, 0, 0, 20, 20), 0);
}

TEST(ImageGraphics, TextLandsInItsBoxAndMeasures) {
  Drawing d(120, 40, kWhite);
  EXPECT_EQ(d.g->getFontHeight(), 16);
  RKFont* f = d.g->getFont();
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(d.g->setFont(nullptr), 0);
  RKFont* same = d.g->getFont();
  EXPECT_EQ(same, f);
  same->release();
  f->release();
  RKSize sz = d.g->getTextSize(RKString("Hello"));
  EXPECT_GT(sz.getWidth(), 10);
  EXPECT_EQ(sz.getHeight(), 16);
  RKSize a = d.g->getTextSize(RKString("Hel")), b = d.g->getTextSize(RKString("lo"));
  EXPECT_EQ(a.getWidth() + b.getWidth(), sz.getWidth());
  d.g->setTransparentText(1);
  setPen(d.g, kBlue);
  d.g->drawString(RKString("Hello"), 10, 10);
  EXPECT_GT(countNot(d.image, kWhite, 10, 10, 10 + sz.getWidth(), 26), 10);
  EXPECT_EQ(countNot(d.image, kWhite, 0, 0, 120, 40) - countNot(d.image, kWhite, 9, 10, 11 + sz.getWidth(), 26), 0);
  // Opaque text paints the cell with the device context's white background.
  Drawing o(120, 40, kGreen);
  o.g->setTransparentText(0);
  o.g->drawString(RKString("Hi"), 0, 0);
  EXPECT_TRUE(o.at(0, 0) == kWhite);
  Drawing t(120, 40, kWhite);
  t.g->setTransparentText(1);
  t.g->drawText(RKString("Text"), RKRect(0, 0, 120, 20), 0x22);
  RKSize ts = t.g->getTextSize(RKString("Text"));
  EXPECT_EQ(countNot(t.image, kWhite, 0, 0, 119 - ts.getWidth(), 40), 0);
  EXPECT_GT(countNot(t.image, kWhite, 120 - ts.getWidth(), 0, 120, 16), 0);
  t.g->drawText(RKString("Text"), RKRect(0, 25, 0, 15), 0x20);  // empty rectangle
  EXPECT_EQ(countNot(t.image, kWhite, 0, 20, 120, 40), 0);
  t.g->drawDisabledText(RKString("&Off"), 2, 22);
  EXPECT_GT(countNot(t.image, kWhite, 2, 22, 60, 40), 0);
}

TEST(ImageGraphics, DrawImageConvertsEachPixelType) {
  // One red and one blue pixel in each drawable type.
  struct Case {
    unsigned int type;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {1003, {255, 0, 0, 0, 0, 255}},
      {1004, {255, 255, 0, 0, 255, 0, 0, 255}},
      {1005, {0, 0, 255, 255, 0, 0}},
      {1007, {0, 0, 255, 255, 255, 0, 0, 255}},
  };
  for (auto& c : cases) {
    Drawing d(8, 4, kWhite);
    RKImage* src = new RKImage(c.type, c.bytes.data(), int(c.bytes.size()), 0, 0, 2, 1, 0);
    src->addRef();
    EXPECT_EQ(d.g->drawImage(src, 1, 1), 1) << c.type;
    EXPECT_TRUE(d.at(1, 1) == kRed) << c.type;
    EXPECT_TRUE(d.at(2, 1) == kBlue) << c.type;
    EXPECT_TRUE(d.at(3, 1) == kWhite) << c.type;
    EXPECT_EQ(d.g->drawImage(src, 0, 2, 8, 2), 1);  // stretched four times
    EXPECT_TRUE(d.at(3, 3) == kRed) << c.type;
    EXPECT_TRUE(d.at(4, 2) == kBlue) << c.type;
    src->release();
  }
  Drawing d(4, 4, kWhite);
  std::vector<uint8_t> idx(4, 1);
  RKImage* pal = new RKImage(1006, idx.data(), 4, 0, 0, 2, 2, 0);
  pal->addRef();
  EXPECT_EQ(d.g->drawImage(pal, 0, 0), 0);
  EXPECT_EQ(d.g->drawImage(nullptr, 0, 0), 0);
  EXPECT_EQ(countNot(d.image, kWhite, 0, 0, 4, 4), 0);
  pal->release();
}

TEST(ImageGraphics, SourceRectanglesAreClippedOnEverySide) {
  // Four pixels: red, green, blue, black.
  std::vector<uint8_t> px = {255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0};
  RKImage* src = new RKImage(1003, px.data(), int(px.size()), 0, 0, 4, 1, 0);
  src->addRef();
  Drawing d(8, 3, kWhite);
  // Wider than the image: the part left is stretched over the target.
  EXPECT_EQ(d.g->drawImage(src, 2, 0, 4, 1, 0, 0, 4, 1), 1);
  EXPECT_TRUE(d.at(0, 0) == kBlue);
  EXPECT_TRUE(d.at(1, 0) == kBlue);
  EXPECT_TRUE(d.at(2, 0) == kBlack);
  EXPECT_TRUE(d.at(3, 0) == kBlack);
  // A negative source x or y is clipped at the left and top edges too.
  EXPECT_EQ(d.g->drawImage(src, -2, 0, 4, 1, 0, 1, 4, 1), 1);
  EXPECT_TRUE(d.at(0, 1) == kRed);
  EXPECT_TRUE(d.at(1, 1) == kRed);
  EXPECT_TRUE(d.at(2, 1) == kGreen);
  EXPECT_TRUE(d.at(3, 1) == kGreen);
  EXPECT_EQ(d.g->drawImage(src, 0, -1, 2, 2, 0, 2, 2, 1), 1);
  EXPECT_TRUE(d.at(0, 2) == kRed);
  EXPECT_TRUE(d.at(1, 2) == kGreen);
  EXPECT_EQ(d.g->drawImage(src, -4, 0, 4, 1, 0, 0, 4, 1), 0);  // nothing of the image left
  EXPECT_EQ(d.g->drawImageTransparent(src, -2, 0, 4, 1, 4, 1, 4, 1, RKColor(255, 0, 0)), 1);
  EXPECT_TRUE(d.at(4, 1) == kWhite);
  EXPECT_TRUE(d.at(6, 1) == kGreen);
  src->release();
}

TEST(ImageGraphics, TransparentImagesSkipTheKeyColour) {
  std::vector<uint8_t> px = {255, 0, 255, 0, 0, 255, 0, 0, 255, 255, 0, 255};  // magenta, blue / blue, magenta
  RKImage* src = new RKImage(1003, px.data(), int(px.size()), 0, 0, 2, 2, 0);
  src->addRef();
  Drawing d(8, 8, kWhite);
  RKColor key(255, 0, 255);
  key.setAlpha(1);  // the top byte of the key is ignored
  EXPECT_EQ(d.g->drawImageTransparent(src, 0, 0, 2, 2, 0, 0, 4, 4, key), 1);
  EXPECT_TRUE(d.at(0, 0) == kWhite);
  EXPECT_TRUE(d.at(1, 1) == kWhite);
  EXPECT_TRUE(d.at(2, 0) == kBlue);
  EXPECT_TRUE(d.at(0, 3) == kBlue);
  EXPECT_TRUE(d.at(3, 3) == kWhite);
  EXPECT_EQ(d.g->drawImageTransparent(nullptr, 0, 0, 2, 2, 0, 0, 4, 4, key), 0);
  EXPECT_EQ(src->addRef(), 2u);  // the reference held for the call was given back
  src->release();
  src->release();
}

TEST(ImageGraphics, CopyBackOfEachPixelType) {
  struct Case {
    unsigned int type;
    int bpp;
    std::vector<uint8_t> red;  // the bytes a red pixel drawn opaque comes back as
  } cases[] = {
      {1003, 3, {255, 0, 0}},
      {1004, 4, {255, 255, 0, 0}},
      {1005, 3, {0, 0, 255}},
      {1007, 4, {0, 0, 255, 255}},
  };
  for (auto& c : cases) {
    std::vector<uint8_t> px(size_t(3 * 2 * c.bpp));
    for (size_t i = 0; i < px.size(); ++i) px[i] = uint8_t(i * 13 + 5);
    RKImage* im = new RKImage(c.type, px.data(), int(px.size()), 0, 0, 3, 2, 0);
    im->addRef();
    IRKGraphics* g = im->getGraphics();
    g->setPixel(2, 1, RKColor(255, 0, 0));
    RKBuffer* b = im->getBuffer();
    ASSERT_EQ(b->getSize(), int(px.size())) << c.type;
    const uint8_t* q = b->getData(0);
    // Untouched pixels come back as they were, alpha included.
    EXPECT_EQ(0, std::memcmp(q, px.data(), size_t(5 * c.bpp))) << c.type;
    EXPECT_EQ(0, std::memcmp(q + 5 * c.bpp, c.red.data(), size_t(c.bpp))) << c.type;
    b->release();
    g->release();
    im->release();
  }
}

TEST(ImageGraphics, PolylineFlushAndPathsOnImages) {
  Drawing d(20, 20, kWhite);
  RKPoint pts[3] = {RKPoint(2, 2), RKPoint(10, 2), RKPoint(10, 10)};
  d.g->drawPolyline(pts, 3);
  EXPECT_TRUE(d.at(10, 2) == kBlack);
  EXPECT_TRUE(d.at(10, 10) == kWhite);
  d.g->drawPolyline(pts, 0);
  d.g->flushToWindow(0, 0, 20, 20);
  // Shapes drawn inside an open path go into it and are dropped with the restored state.
  d.at(0, 0);
  d.g->beginPath();
  d.g->drawRect(12, 12, 6, 6);
  d.g->endPath();
  EXPECT_EQ(d.g->fillPath(), 1);
  EXPECT_TRUE(d.at(15, 15) == kWhite);
}

TEST(ImageGraphics, EveryOperationDrawnAndSavedAsPng) {
  Drawing d(320, 200, Rgb{240, 240, 240});
  IRKGraphics* g = d.g;
  setPen(g, kBlack);
  setFill(g, Rgb{255, 200, 0});
  g->drawRect(10, 10, 50, 40);
  g->drawRoundRect(70, 10, 60, 40, 16, 16);
  g->drawEllipse(140, 10, 60, 40);
  g->drawPie(210, 10, 50, 50, 260, 35, 235, 10);
  g->drawArc(270, 10, 40, 40, 270, 30, 290, 50);
  g->drawOval(270, 60, 40, 30);
  g->drawRectOutline(10, 60, 50, 30);
  RKPoint star[5] = {RKPoint(95, 60), RKPoint(110, 110), RKPoint(70, 80), RKPoint(120, 80), RKPoint(80, 110)};
  g->drawPolygon(star, 5, 0);
  RKPoint bz[4] = {RKPoint(140, 110), RKPoint(150, 60), RKPoint(190, 120), RKPoint(200, 70)};
  g->drawBezier(bz, 4);
  RKPoint pl[4] = {RKPoint(210, 70), RKPoint(230, 100), RKPoint(250, 70), RKPoint(260, 100)};
  g->drawPolyline(pl, 4);
  for (int w = 1; w <= 4; ++w) g->drawLine(10, 100 + w * 6, 60, 104 + w * 6, w);
  g->draw3DFrame(70, 120, 40, 25, 1);
  g->draw3DFrame(120, 120, 40, 25, 2);
  g->draw3DFrame(170, 120, 40, 25, 4);
  setBackground(g, Rgb{180, 230, 180});
  g->fillRect(RKRect(220, 120, 40, 25));
  g->drawFocusRect(220, 120, 40, 25, 2);
  for (int i = 0; i < 15; ++i) g->setPixel(270 + i, 120 + i, RKColor(255, 0, 0));
  std::vector<uint8_t> chk(4 * 4 * 3);
  for (int i = 0; i < 16; ++i) {
    chk[size_t(i) * 3] = (i % 2) ? 255 : 0;
    chk[size_t(i) * 3 + 2] = (i / 4 % 2) ? 255 : 0;
  }
  RKImage* pic = new RKImage(1003, chk.data(), int(chk.size()), 0, 0, 4, 4, 0);
  pic->addRef();
  g->drawImage(pic, 10, 150, 32, 32);
  g->drawImageTransparent(pic, 0, 0, 4, 4, 50, 150, 32, 32, RKColor(0, 0, 0));
  pic->release();
  g->setTransparentText(1);
  setPen(g, Rgb{128, 0, 0});
  g->drawString(RKString("drawString \xd6\xd0\xce\xc4"), 90, 150);
  g->drawText(RKString("&Centred"), RKRect(200, 150, 110, 20), 0x21);
  g->drawRectOutline(200, 150, 110, 20);
  g->drawDisabledText(RKString("&Disabled"), 90, 175);
  RKBuffer* b = d.image->getBuffer();
  std::vector<uint8_t> bgrx(320 * 200 * 4, 0xFF);
  for (int i = 0; i < 320 * 200; ++i) std::memcpy(&bgrx[size_t(i) * 4], b->getData(i * 3), 3);
  b->release();
  const char* dir = std::getenv("RK_BUILD_DIR");
  std::string path = std::string(dir ? dir : "/tmp") + "/imaging_overview.png";
#ifdef RKWIN_COMPAT
  EXPECT_TRUE(compat_WritePngBGRX(bgrx.data(), 320, 200, 320 * 4, path.c_str()));
#endif
}
