// The fourth byte of 32-bit pixels under the stand-in's drawing calls. GDI gives it no meaning:
// every pixel it colours itself gets 0 there (lines, fills, shapes, text, 24-bit bitmaps), 32-bit
// blits copy it from their source, pixels nothing touched keep it, and an XOR (a focus
// rectangle) leaves it as it was. Wine does the same, save for the exceptions noted below.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "GdiTestSupport.h"

namespace {

constexpr unsigned char kMark = 0x80;

BITMAPINFO header32(int w, int h, int bits = 32) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = WORD(bits);
  bi.bmiHeader.biCompression = BI_RGB;
  return bi;
}

// A canvas whose every pixel is blue 10, green 20, red 30 (a colour no test draws) with the mark
// in its fourth byte.
struct Marked : Canvas {
  Marked(int width, int height) : Canvas(width, height) {
    std::vector<unsigned char> rows(size_t(w) * size_t(h) * 4);
    for (size_t i = 0; i < rows.size(); i += 4) {
      rows[i] = 10;
      rows[i + 1] = 20;
      rows[i + 2] = 30;
      rows[i + 3] = kMark;
    }
    BITMAPINFO bi = header32(w, h);
    StretchDIBits(dc, 0, 0, w, h, 0, 0, w, h, rows.data(), &bi, DIB_RGB_COLORS, SRCCOPY);
  }
  std::vector<unsigned char> bits() const {
    std::vector<unsigned char> out(size_t(w) * size_t(h) * 4);
    BITMAPINFO bi = header32(w, h);
    EXPECT_EQ(GetDIBits(dc, bmp, 0, UINT(h), out.data(), &bi, DIB_RGB_COLORS), h);
    return out;
  }
  // The pixel's four bytes: blue, green, red, fourth.
  const unsigned char* px(const std::vector<unsigned char>& b, int x, int y) const {
    return b.data() + (size_t(y) * size_t(w) + size_t(x)) * 4;
  }
  static bool loadedColour(const unsigned char* p) { return p[0] == 10 && p[1] == 20 && p[2] == 30; }
};

// Runs draw on a fresh marked canvas and checks that each pixel holds either its loaded colour
// and the mark, or 0 in its fourth byte (a smoothed text edge of low coverage may keep the colour
// it blends with, and is drawn all the same); returns the number of pixels drawn.
int drawnPixels(const std::function<void(HDC)>& draw, int w = 40, int h = 30) {
  Marked c(w, h);
  draw(c.dc);
  std::vector<unsigned char> b = c.bits();
  int drawn = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const unsigned char* p = c.px(b, x, y);
      if (Marked::loadedColour(p) && p[3] == kMark) continue;
      EXPECT_EQ(p[3], 0) << x << "," << y;
      ++drawn;
    }
  return drawn;
}

}  // namespace

TEST(FourthByte, LinesAndPixelsWriteZero) {
  EXPECT_EQ(drawnPixels([](HDC dc) { SetPixel(dc, 3, 4, kRed); }), 1);
  EXPECT_EQ(drawnPixels([](HDC dc) {
              Tools t(dc, kBlack, kRed);
              MoveToEx(dc, 2, 2, nullptr);
              LineTo(dc, 30, 2);
            }),
            28);
  EXPECT_GT(drawnPixels([](HDC dc) {
              Tools t(dc, kBlue, kRed, 5);  // a geometric pen
              MoveToEx(dc, 5, 5, nullptr);
              LineTo(dc, 30, 20);
            }),
            50);
  EXPECT_GT(drawnPixels([](HDC dc) {
              Tools t(dc, kBlack, kRed);
              POINT pts[4] = {{2, 20}, {10, 2}, {20, 28}, {35, 5}};
              PolyBezier(dc, pts, 4);
              Arc(dc, 5, 5, 30, 25, 0, 0, 0, 0);
            }),
            40);
}

TEST(FourthByte, FillsAndShapesWriteZero) {
  EXPECT_EQ(drawnPixels([](HDC dc) {
              RECT r{2, 3, 12, 8};
              HBRUSH b = CreateSolidBrush(kGreen);
              FillRect(dc, &r, b);
              DeleteObject(b);
            }),
            50);
  EXPECT_EQ(drawnPixels([](HDC dc) {
              RECT r{2, 3, 12, 8};
              FillRect(dc, &r, HBRUSH(COLOR_WINDOW + 1));  // a system colour
            }),
            50);
  EXPECT_EQ(drawnPixels([](HDC dc) {
              Tools t(dc, kBlack, kRed);
              Rectangle(dc, 2, 2, 12, 10);
            }),
            80);
  auto shapes = [](HDC dc) {
    Tools t(dc, kBlack, kGreen);
    Ellipse(dc, 1, 1, 20, 15);
    RoundRect(dc, 20, 1, 39, 15, 6, 6);
    Pie(dc, 1, 15, 20, 29, 20, 22, 10, 15);
    POINT tri[3] = {{22, 28}, {38, 28}, {30, 16}};
    Polygon(dc, tri, 3);
  };
  EXPECT_GT(drawnPixels(shapes), 400);
  EXPECT_GT(drawnPixels([](HDC dc) {
              Tools t(dc, kBlack, kRed);
              BeginPath(dc);
              Rectangle(dc, 3, 3, 20, 20);
              EndPath(dc);
              StrokeAndFillPath(dc);
            }),
            250);
}

TEST(FourthByte, TextWritesZeroOnEveryPixelItColours) {
  // Transparent text: the glyphs only, their smoothed edges included.
  EXPECT_GT(drawnPixels(
                [](HDC dc) {
                  SetBkMode(dc, TRANSPARENT);
                  TextOutA(dc, 2, 2, "Wg&", 3);
                },
                60, 24),
            20);
  // Opaque text: the whole cell, in the text and background colours.
  SIZE cell{0, 0};
  int opaque = drawnPixels(
      [&](HDC dc) {
        SetBkMode(dc, OPAQUE);
        TextOutA(dc, 0, 0, "i", 1);
        GetTextExtentPoint32A(dc, "i", 1, &cell);
      },
      60, 24);
  EXPECT_GT(opaque, 0);
  EXPECT_EQ(opaque, cell.cx * cell.cy);
  EXPECT_GT(drawnPixels(
                [](HDC dc) {
                  SetBkMode(dc, TRANSPARENT);
                  RECT r{0, 0, 60, 24};
                  DrawTextA(dc, "&Ab", -1, &r, DT_SINGLELINE);
                  DrawStateA(dc, nullptr, nullptr, LPARAM("x"), 0, 40, 4, 0, 0, DST_PREFIXTEXT | DSS_DISABLED);
                },
                60, 24),
            20);
}

TEST(FourthByte, BlitsOf32BitPixelsCopyItAnd24BitOnesWriteZero) {
  Marked c(12, 6);
  // 32-bit DIB pixels bring their own fourth byte, stretched or not.
  const unsigned char two[8] = {1, 2, 3, 0x33, 4, 5, 6, 0xC4};
  BITMAPINFO bi = header32(2, 1);
  StretchDIBits(c.dc, 0, 0, 2, 1, 0, 0, 2, 1, two, &bi, DIB_RGB_COLORS, SRCCOPY);
  SetStretchBltMode(c.dc, COLORONCOLOR);
  StretchDIBits(c.dc, 0, 1, 4, 2, 0, 0, 2, 1, two, &bi, DIB_RGB_COLORS, SRCCOPY);
  // 24-bit ones have none: 0.
  const unsigned char three[8] = {1, 2, 3, 4, 5, 6, 0, 0};
  BITMAPINFO b24 = header32(2, 1, 24);
  StretchDIBits(c.dc, 0, 3, 2, 1, 0, 0, 2, 1, three, &b24, DIB_RGB_COLORS, SRCCOPY);
  // BitBlt copies all four bytes.
  BitBlt(c.dc, 6, 0, 2, 1, c.dc, 0, 0, SRCCOPY);
  std::vector<unsigned char> b = c.bits();
  EXPECT_EQ(c.px(b, 0, 0)[3], 0x33);
  EXPECT_EQ(c.px(b, 1, 0)[3], 0xC4);
  EXPECT_EQ(c.px(b, 1, 2)[3], 0x33);
  EXPECT_EQ(c.px(b, 3, 1)[3], 0xC4);
  EXPECT_EQ(c.px(b, 0, 3)[3], 0);
  EXPECT_EQ(c.px(b, 1, 3)[3], 0);
  EXPECT_EQ(0, std::memcmp(c.px(b, 6, 0), two, 8));
  EXPECT_EQ(c.px(b, 2, 0)[3], kMark);
  EXPECT_EQ(c.px(b, 4, 1)[3], kMark);
  EXPECT_EQ(c.px(b, 2, 3)[3], kMark);
}

// The documented TransparentBlt: the pixels of the key colour are not transferred. (Wine masks
// the whole target rectangle and leaves 0 in the fourth byte of every pixel of it, keyed or not.)
TEST(FourthByte, TransparentBltCopiesItExceptAtTheKey) {
  Marked src(2, 1);
  const unsigned char two[8] = {255, 0, 255, 0x33, 4, 5, 6, 0xC4};  // magenta (the key), then a colour
  BITMAPINFO bi = header32(2, 1);
  StretchDIBits(src.dc, 0, 0, 2, 1, 0, 0, 2, 1, two, &bi, DIB_RGB_COLORS, SRCCOPY);
  Marked c(6, 2);
  EXPECT_TRUE(TransparentBlt(c.dc, 0, 0, 4, 2, src.dc, 0, 0, 2, 1, RGB(255, 0, 255)));
  std::vector<unsigned char> b = c.bits();
  for (int y = 0; y < 2; ++y) {
    EXPECT_TRUE(Marked::loadedColour(c.px(b, 0, y)));
    EXPECT_EQ(c.px(b, 1, y)[3], kMark);
    EXPECT_EQ(0, std::memcmp(c.px(b, 2, y), two + 4, 4));
    EXPECT_EQ(0, std::memcmp(c.px(b, 3, y), two + 4, 4));
  }
}

// A focus rectangle is an XOR of the colour: the fourth byte stays. (Wine's inverts it too.)
TEST(FourthByte, FocusRectanglesInvertTheColourOnly) {
  Marked c(12, 12);
  RECT r{1, 1, 11, 11};
  DrawFocusRect(c.dc, &r);
  std::vector<unsigned char> b = c.bits();
  int inverted = 0;
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 12; ++x) {
      const unsigned char* p = c.px(b, x, y);
      EXPECT_EQ(p[3], kMark);
      if (p[0] == 255 - 10 && p[1] == 255 - 20 && p[2] == 255 - 30) ++inverted;
    }
  EXPECT_EQ(inverted, 18);  // every other pixel of the 36 of the outline
  DrawFocusRect(c.dc, &r);
  b = c.bits();
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 12; ++x) EXPECT_TRUE(Marked::loadedColour(c.px(b, x, y)));
}
