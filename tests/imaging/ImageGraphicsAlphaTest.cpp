// Drawing into images with alpha (types 1004 and 1007): the pixels a drawing touches come back
// opaque, every other pixel keeps its alpha exactly, on the stand-in and under Wine alike.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "GraphicsTestSupport.h"
#include "ImplRKImageGraphics.h"

using namespace RKSDK;
using namespace rktest;

namespace {

// An alpha that runs through every value, the back-end's mark among them.
uint8_t alphaAt(int x, int y) { return uint8_t(x * 7 + y * 31); }

// Byte offsets of red, green, blue and alpha in a pixel of type 1004 or 1007.
struct Layout {
  int r, g, b, a;
  explicit Layout(unsigned int type)
      : r(type == 1004 ? 1 : 2), g(type == 1004 ? 2 : 1), b(type == 1004 ? 3 : 0), a(type == 1004 ? 0 : 3) {}
};

std::vector<uint8_t> alphaPixels(unsigned int type, int w, int h, Rgb c, bool patterned, uint8_t alpha = 0) {
  Layout l(type);
  std::vector<uint8_t> px(size_t(w) * h * 4);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &px[(size_t(y) * w + x) * 4];
      p[l.r] = c.r;
      p[l.g] = c.g;
      p[l.b] = c.b;
      p[l.a] = patterned ? alphaAt(x, y) : alpha;
    }
  return px;
}

// A w x h image of type 1004 or 1007 in one colour, its alpha alphaAt (patterned) or one value.
struct AlphaDrawing {
  unsigned int type;
  int w, h;
  RKImage* image;
  IRKGraphics* g;
  AlphaDrawing(unsigned int t, int width, int height, Rgb c, bool patterned = true, uint8_t alpha = 0)
      : type(t), w(width), h(height) {
    std::vector<uint8_t> px = alphaPixels(t, w, h, c, patterned, alpha);
    image = new RKImage(t, px.data(), int(px.size()), 0, 0, w, h, 0);
    image->addRef();
    g = image->getGraphics();
  }
  ~AlphaDrawing() {
    g->release();
    image->release();
  }
  // The pixels now, pending drawing copied back.
  std::vector<uint8_t> read() {
    RKBuffer* b = image->getBuffer();
    EXPECT_EQ(b->getSize(), w * h * 4);
    std::vector<uint8_t> px(b->getData(0), b->getData(0) + w * h * 4);
    b->release();
    return px;
  }
  Rgb rgb(const std::vector<uint8_t>& px, int x, int y) const {
    Layout l(type);
    const uint8_t* p = &px[(size_t(y) * w + x) * 4];
    return Rgb{p[l.r], p[l.g], p[l.b]};
  }
  uint8_t alpha(const std::vector<uint8_t>& px, int x, int y) const {
    return px[(size_t(y) * w + x) * 4 + size_t(Layout(type).a)];
  }
};

bool inBox(int x, int y, int l, int t, int r, int b) { return x >= l && x < r && y >= t && y < b; }

}  // namespace

// Text in the pen colour on a white image: every pixel it colours is opaque; outside the text's
// box every pixel is as it was. The same text in black on a black image shows only through the
// alpha: the pixels it coloured on white are opaque there too.
TEST(ImageGraphicsAlpha, TextIsOpaqueAndTheRestKeepsItsAlpha) {
  for (unsigned int type : {1004u, 1007u}) {
    const int W = 96, H = 40, X = 6, Y = 8;
    AlphaDrawing white(type, W, H, kWhite);
    RKSize sz = white.g->getTextSize(RKString("Hello, Wg"));
    ASSERT_GT(sz.getWidth(), 20);
    white.g->setTransparentText(1);
    setPen(white.g, kBlack);
    white.g->drawString(RKString("Hello, Wg"), X, Y);
    std::vector<uint8_t> a = white.read();
    // A pixel's margin around the box, for glyph overhangs.
    int l = X - 1, t = Y - 1, r = X + sz.getWidth() + 1, b = Y + sz.getHeight() + 1;
    std::vector<bool> coloured(size_t(W) * H, false);
    int inked = 0;
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) {
        if (!inBox(x, y, l, t, r, b)) {
          EXPECT_TRUE(white.rgb(a, x, y) == kWhite) << type << " " << x << "," << y;
          EXPECT_EQ(white.alpha(a, x, y), alphaAt(x, y)) << type << " " << x << "," << y;
        } else if (!(white.rgb(a, x, y) == kWhite)) {
          EXPECT_EQ(white.alpha(a, x, y), 255) << type << " " << x << "," << y;
          coloured[size_t(y) * W + x] = true;
          ++inked;
        } else {
          // Left alone, or coloured white by the smoothing: either way not transparent by the drawing.
          uint8_t al = white.alpha(a, x, y);
          EXPECT_TRUE(al == alphaAt(x, y) || al == 255) << type << " " << x << "," << y;
        }
      }
    EXPECT_GT(inked, 30) << type;

    AlphaDrawing black(type, W, H, kBlack);
    black.g->setTransparentText(1);
    setPen(black.g, kBlack);
    black.g->drawString(RKString("Hello, Wg"), X, Y);
    std::vector<uint8_t> k = black.read();
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) {
        EXPECT_TRUE(black.rgb(k, x, y) == kBlack);
        uint8_t al = black.alpha(k, x, y);
        if (coloured[size_t(y) * W + x])
          EXPECT_EQ(al, 255) << type << " " << x << "," << y;
        else if (!inBox(x, y, l, t, r, b))
          EXPECT_EQ(al, alphaAt(x, y)) << type << " " << x << "," << y;
        else
          EXPECT_TRUE(al == alphaAt(x, y) || al == 255) << type << " " << x << "," << y;
      }
  }
}

// Formatted, opaque and disabled text too.
TEST(ImageGraphicsAlpha, EveryTextOperationIsOpaque) {
  for (unsigned int type : {1004u, 1007u}) {
    AlphaDrawing d(type, 120, 60, kWhite, false, 0);
    d.g->setTransparentText(1);
    setPen(d.g, kBlue);
    d.g->drawText(RKString("&Text"), RKRect(0, 0, 120, 20), 0x21);
    d.g->drawDisabledText(RKString("&Off"), 2, 22);
    d.g->setTransparentText(0);
    d.g->drawString(RKString("Op"), 60, 40);
    RKSize op = d.g->getTextSize(RKString("Op"));
    std::vector<uint8_t> px = d.read();
    int shown = 0;
    for (int y = 0; y < 60; ++y)
      for (int x = 0; x < 120; ++x) {
        if (d.rgb(px, x, y) == kWhite && !inBox(x, y, 60, 40, 60 + op.getWidth(), 40 + op.getHeight())) continue;
        EXPECT_EQ(d.alpha(px, x, y), 255) << type << " " << x << "," << y;
        ++shown;
      }
    EXPECT_GT(shown, op.getWidth() * op.getHeight() + 20) << type;
    // The opaque cell, white on white, is drawn all the same.
    EXPECT_EQ(d.alpha(px, 60, 40), 255) << type;
    EXPECT_EQ(d.alpha(px, 119, 59), 0) << type;
  }
}

// Each kind of drawing, in the colour the transparent black image already has, shows through the
// alpha alone: exactly the pixels it covers become opaque. The drawn image's alpha runs through
// every value, so that its pixels bring every possible fourth byte.
TEST(ImageGraphicsAlpha, EachKindOfDrawingMakesExactlyItsPixelsOpaque) {
  for (unsigned int type : {1004u, 1007u}) {
    AlphaDrawing d(type, 64, 32, kBlack, false, 0);
    setPen(d.g, kBlack);
    setFill(d.g, kBlack);
    setBackground(d.g, kBlack);
    d.g->setPixel(1, 1, RKColor(0, 0, 0));
    d.g->drawLine(0, 4, 10, 4, 1);
    d.g->drawRect(12, 0, 6, 5);
    d.g->fillRect(RKRect(20, 0, 4, 3));
    std::vector<uint8_t> src(16 * 16 * 4, 0);
    for (int i = 0; i < 256; ++i) src[size_t(i) * 4 + (type == 1004 ? 0 : 3)] = uint8_t(i);
    RKImage* im = new RKImage(type, src.data(), int(src.size()), 0, 0, 16, 16, 0);
    im->addRef();
    EXPECT_EQ(d.g->drawImage(im, 32, 0), 1);
    EXPECT_EQ(d.g->drawImage(im, 0, 0, 16, 16, 48, 16, 8, 8), 1);  // shrunk
    im->release();
    std::vector<uint8_t> px = d.read();
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 64; ++x) {
        bool drawnOn = (x == 1 && y == 1) || (y == 4 && x < 10) || inBox(x, y, 12, 0, 18, 5) ||
                       inBox(x, y, 20, 0, 24, 3) || inBox(x, y, 32, 0, 48, 16) || inBox(x, y, 48, 16, 56, 24);
        EXPECT_TRUE(d.rgb(px, x, y) == kBlack);
        EXPECT_EQ(d.alpha(px, x, y), drawnOn ? 255 : 0) << type << " " << x << "," << y;
      }
    // Clearing makes the whole image opaque.
    d.g->clear();
    px = d.read();
    for (int i = 0; i < 64 * 32; ++i) EXPECT_EQ(d.alpha(px, i % 64, i / 64), 255) << type << " " << i;
  }
}

// A focus rectangle inverts colours: on transparent pixels it shows, opaque; drawn twice it is
// gone and the alpha is as it was.
TEST(ImageGraphicsAlpha, FocusRectanglesShowAndVanishAgain) {
  for (unsigned int type : {1004u, 1007u}) {
    AlphaDrawing d(type, 20, 20, kWhite);
    d.g->drawFocusRect(2, 2, 14, 14, 1);
    std::vector<uint8_t> px = d.read();
    int shown = 0;
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 20; ++x) {
        if (d.rgb(px, x, y) == kWhite) {
          EXPECT_EQ(d.alpha(px, x, y), alphaAt(x, y)) << type << " " << x << "," << y;
        } else {
          EXPECT_EQ(d.alpha(px, x, y), 255) << type << " " << x << "," << y;
          ++shown;
        }
      }
    EXPECT_GT(shown, 20) << type;
    AlphaDrawing twice(type, 20, 20, kWhite);
    twice.g->drawFocusRect(2, 2, 14, 14, 1);
    twice.g->drawFocusRect(2, 2, 14, 14, 1);
    EXPECT_TRUE(twice.read() == alphaPixels(type, 20, 20, kWhite, true)) << type;
  }
}

// An image drawn with a key colour: its other pixels are opaque, the keyed ones keep the colour
// underneath and (as GDI documents TransparentBlt) its alpha.
TEST(ImageGraphicsAlpha, KeyedImagePixelsAreLeftAlone) {
  std::vector<uint8_t> px = {255, 0, 255, 0, 0, 255, 0, 0, 255, 255, 0, 255};  // magenta, blue / blue, magenta
  RKImage* src = new RKImage(1003, px.data(), int(px.size()), 0, 0, 2, 2, 0);
  src->addRef();
  for (unsigned int type : {1004u, 1007u}) {
    AlphaDrawing d(type, 8, 8, kWhite);
    EXPECT_EQ(d.g->drawImageTransparent(src, 0, 0, 2, 2, 0, 0, 4, 4, RKColor(255, 0, 255)), 1);
    std::vector<uint8_t> out = d.read();
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) {
        bool blue = inBox(x, y, 0, 0, 4, 4) && ((x / 2) + (y / 2)) % 2 == 1;
        if (blue) {
          EXPECT_TRUE(d.rgb(out, x, y) == kBlue) << type << " " << x << "," << y;
          EXPECT_EQ(d.alpha(out, x, y), 255) << type << " " << x << "," << y;
          continue;
        }
        EXPECT_TRUE(d.rgb(out, x, y) == kWhite) << type << " " << x << "," << y;
#ifdef _WIN32
        // Wine's TransparentBlt masks the whole target rectangle, which clears the fourth byte
        // of the keyed pixels too: under Wine they come back opaque.
        if (inBox(x, y, 0, 0, 4, 4)) continue;
#endif
        EXPECT_EQ(d.alpha(out, x, y), alphaAt(x, y)) << type << " " << x << "," << y;
      }
  }
  src->release();
}

// Pixels drawn before one read stay opaque after the next; the untouched ones keep their alpha.
TEST(ImageGraphicsAlpha, AlphaSurvivesSeveralReads) {
  for (unsigned int type : {1004u, 1007u}) {
    AlphaDrawing d(type, 16, 16, kGreen);
    d.g->setPixel(3, 3, RKColor(255, 0, 0));
    std::vector<uint8_t> first = d.read();
    EXPECT_EQ(d.alpha(first, 3, 3), 255);
    d.g->setPixel(9, 9, RKColor(0, 255, 0));  // the colour that is there already
    std::vector<uint8_t> second = d.read();
    std::vector<uint8_t> want = alphaPixels(type, 16, 16, kGreen, true);
    Layout l(type);
    want[(3 * 16 + 3) * 4 + size_t(l.r)] = 255;
    want[(3 * 16 + 3) * 4 + size_t(l.g)] = 0;
    want[(3 * 16 + 3) * 4 + size_t(l.a)] = 255;
    want[(9 * 16 + 9) * 4 + size_t(l.a)] = 255;
    EXPECT_TRUE(second == want) << type;
    RKImage* c = d.image->clone();
    RKBuffer* cb = c->getBuffer();
    EXPECT_EQ(0, std::memcmp(cb->getData(0), want.data(), want.size())) << type;
    cb->release();
    c->release();
  }
}

// An image without pixels for its size is drawn on black and transparent: only the drawing shows.
TEST(ImageGraphicsAlpha, AnImageWithoutPixelsIsTransparentWhereNothingIsDrawn) {
  for (unsigned int type : {1004u, 1007u}) {
    AlphaDrawing d(type, 4, 4, kWhite);
    std::vector<uint8_t> few(5, 9);
    d.image->setPixels(type, few.data(), int(few.size()));
    d.g->setPixel(1, 2, RKColor(255, 0, 0));
    std::vector<uint8_t> px = d.read();
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) {
        bool red = x == 1 && y == 2;
        EXPECT_TRUE(d.rgb(px, x, y) == (red ? kRed : kBlack)) << type << " " << x << "," << y;
        EXPECT_EQ(d.alpha(px, x, y), red ? 255 : 0) << type << " " << x << "," << y;
      }
  }
}

// The band form (metafile players): rows outside the band are not written, and in the band the
// drawn pixels come back opaque and the others as they were.
TEST(ImageGraphicsAlpha, BandsKeepTheAlphaOfWhatTheyDoNotDraw) {
  for (unsigned int type : {1004u, 1007u}) {
    const int W = 24, H = 12, top = 4, rows = 5;
    std::vector<uint8_t> start = alphaPixels(type, W, H, kBlack, true);
    RKBuffer* canvas = new RKBuffer(start.data(), int(start.size()));
    canvas->addRef();
    ImplRKImageGraphics* band = new ImplRKImageGraphics();
    band->addRef();
    ASSERT_EQ(band->attachBand(type, canvas, W, H, top, rows), 1);
    setPen(band, kBlack);
    setFill(band, kBlack);
    band->drawRect(2, 2, 6, 5);  // rows 2 to 6, of which 4 to 6 are in the band
    band->setPixel(20, 8, RKColor(0, 0, 255));
    band->copyBackBand();
    band->release();
    const uint8_t* out = canvas->getData(0);
    Layout l(type);
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) {
        const uint8_t* p = out + (size_t(y) * W + x) * 4;
        bool inBand = y >= top && y < top + rows;
        bool drawnOn = inBand && (inBox(x, y, 2, 2, 8, 7) || (x == 20 && y == 8));
        EXPECT_EQ(p[l.a], drawnOn ? 255 : alphaAt(x, y)) << type << " " << x << "," << y;
        EXPECT_EQ(p[l.b], (x == 20 && y == 8) ? 255 : 0) << type << " " << x << "," << y;
      }
    canvas->release();
  }
}
