// Blits, device-independent bitmaps, paths and surface DCs of the graphics stand-in.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "../../../compat/win32/src/gui/gdi_internal.h"
#include "GdiTestSupport.h"

static BITMAPINFO header(int w, int h, int bits) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = WORD(bits);
  bi.bmiHeader.biCompression = BI_RGB;
  return bi;
}

TEST(StretchDIBits, TopDown24BitRowsArePaddedAndSampledNearest) {
  // 3 x 2, rows padded to 12 bytes: red green blue / white black red.
  const unsigned char bits[] = {0, 0, 255, 0, 255, 0, 255, 0, 0, 9, 9, 9, 255, 255, 255, 0, 0, 0, 0, 0, 255, 9, 9, 9};
  Canvas c(12, 8, kGreen);
  BITMAPINFO bi = header(3, -2, 24);
  SetStretchBltMode(c.dc, COLORONCOLOR);
  EXPECT_EQ(StretchDIBits(c.dc, 0, 0, 6, 4, 0, 0, 3, 2, bits, &bi, DIB_RGB_COLORS, SRCCOPY), 2);
  const COLORREF want[2][3] = {{kRed, kGreen, kBlue}, {kWhite, kBlack, kRed}};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(c.at(x, y), want[y / 2][x / 2]) << x << "," << y;
  EXPECT_EQ(c.at(6, 0), kGreen);
  EXPECT_EQ(c.at(0, 4), kGreen);
}

TEST(StretchDIBits, BottomUp32BitAndShrinking) {
  // 4 x 2 bottom-up: the first stored row is the bottom one.
  std::vector<unsigned char> bits(4 * 2 * 4, 0);
  for (int x = 0; x < 4; ++x) {
    bits[size_t(x) * 4 + 2] = 255;       // bottom row red
    bits[16 + size_t(x) * 4 + 0] = 255;  // top row blue
  }
  Canvas c(8, 8, kWhite);
  BITMAPINFO bi = header(4, 2, 32);
  StretchDIBits(c.dc, 0, 0, 4, 2, 0, 0, 4, 2, bits.data(), &bi, DIB_RGB_COLORS, SRCCOPY);
  EXPECT_EQ(c.at(0, 0), kBlue);
  EXPECT_EQ(c.at(3, 1), kRed);
  StretchDIBits(c.dc, 0, 4, 2, 1, 0, 0, 4, 2, bits.data(), &bi, DIB_RGB_COLORS, SRCCOPY);
  EXPECT_EQ(c.at(0, 4), kRed);  // centre of the lower half of the rows
  EXPECT_EQ(c.at(2, 4), kWhite);
  EXPECT_EQ(StretchDIBits(c.dc, 0, 0, 4, 2, 0, 0, 4, 2, nullptr, &bi, DIB_RGB_COLORS, SRCCOPY), 0);
  BITMAPINFO bad = header(4, 2, 16);
  EXPECT_EQ(StretchDIBits(c.dc, 0, 0, 4, 2, 0, 0, 4, 2, bits.data(), &bad, DIB_RGB_COLORS, SRCCOPY), 0);
}

TEST(StretchDIBits, HugeDestinationsVisitOnlyTheBitmap) {
  const unsigned char bits[] = {0, 0, 255, 0, 255, 0, 255, 0, 0, 9, 9, 9, 255, 255, 255, 0, 0, 0, 0, 0, 255, 9, 9, 9};
  BITMAPINFO bi = header(3, -2, 24);
  auto start = std::chrono::steady_clock::now();
  // Pixel (0, 0) lies 2^30 pixels into a destination of INT_MAX x INT_MAX: just past the middle
  // source column and row, the black pixel.
  Canvas c(128, 128, kGreen);
  EXPECT_EQ(
      StretchDIBits(c.dc, -(1 << 30), -(1 << 30), INT_MAX, INT_MAX, 0, 0, 3, 2, bits, &bi, DIB_RGB_COLORS, SRCCOPY), 2);
  EXPECT_EQ(c.countNot(kBlack, 0, 0, 128, 128), 0);
  // Mirrored across the whole range, ending at (100, 100): the first source pixel lands there.
  Canvas m(128, 128, kGreen);
  StretchDIBits(m.dc, 100, 100, INT_MIN, INT_MIN, 0, 0, 3, 2, bits, &bi, DIB_RGB_COLORS, SRCCOPY);
  EXPECT_EQ(m.countNot(kRed, 0, 0, 101, 101), 0);
  EXPECT_EQ(m.countNotOutside(kGreen, 0, 0, 101, 101), 0);
  // Work in proportion to the destination's pixels, not the stretched extent (which would take
  // hours); the bound is loose so that a loaded machine does not fail it.
  double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(ms, 2000.0);
}

TEST(GetDIBits, ReturnsBottomUpRowsAndKeepsTheFourthByte) {
  Canvas c(3, 2, kWhite);
  const unsigned char src[] = {1,  2,  3,  40, 4,  5,  6,  50, 7,  8,  9,  60,  // top row
                               10, 11, 12, 70, 13, 14, 15, 80, 16, 17, 18, 90};
  BITMAPINFO bi = header(3, -2, 32);
  StretchDIBits(c.dc, 0, 0, 3, 2, 0, 0, 3, 2, src, &bi, DIB_RGB_COLORS, SRCCOPY);
  BITMAPINFO q{};
  q.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  ASSERT_NE(GetDIBits(c.dc, c.bmp, 0, 0, nullptr, &q, DIB_RGB_COLORS), 0);
  ASSERT_EQ(q.bmiHeader.biHeight, 2);
  std::vector<unsigned char> out(q.bmiHeader.biSizeImage);
  EXPECT_EQ(GetDIBits(c.dc, c.bmp, 0, 2, out.data(), &q, DIB_RGB_COLORS), 2);
  EXPECT_EQ(0, std::memcmp(out.data(), src + 12, 12));  // bottom row first
  EXPECT_EQ(0, std::memcmp(out.data() + 12, src, 12));
  // 24-bit rows, padded.
  BITMAPINFO q24 = header(3, 2, 24);
  std::vector<unsigned char> o24(24, 0xEE);
  EXPECT_EQ(GetDIBits(c.dc, c.bmp, 0, 2, o24.data(), &q24, DIB_RGB_COLORS), 2);
  EXPECT_EQ(o24[0], 10);
  EXPECT_EQ(o24[9], 0);  // padding
  EXPECT_EQ(o24[12], 1);
  // A primitive writes 0 into the fourth byte, as GDI does.
  SetPixel(c.dc, 0, 0, kRed);
  GetDIBits(c.dc, c.bmp, 0, 2, out.data(), &q, DIB_RGB_COLORS);
  EXPECT_EQ(out[12 + 3], 0);
  EXPECT_EQ(out[12 + 7], 50);
}

TEST(Blits, BitBltCopiesAndTransparentBltSkipsTheKey) {
  Canvas src(4, 4, kRed);
  SetPixel(src.dc, 1, 1, kGreen);
  SetPixel(src.dc, 2, 1, kBlue);
  Canvas dst(10, 10, kWhite);
  EXPECT_TRUE(BitBlt(dst.dc, 2, 2, 4, 4, src.dc, 0, 0, SRCCOPY));
  EXPECT_EQ(dst.at(3, 3), kGreen);
  EXPECT_EQ(dst.at(2, 2), kRed);
  EXPECT_EQ(dst.countNotOutside(kWhite, 2, 2, 6, 6), 0);

  Canvas t(10, 10, kWhite);
  EXPECT_TRUE(TransparentBlt(t.dc, 0, 0, 8, 8, src.dc, 0, 0, 4, 4, kRed));
  EXPECT_EQ(t.at(0, 0), kWhite);
  EXPECT_EQ(t.at(2, 2), kGreen);  // stretched twice
  EXPECT_EQ(t.at(3, 3), kGreen);
  EXPECT_EQ(t.at(4, 2), kBlue);
  EXPECT_EQ(t.at(7, 7), kWhite);
  EXPECT_FALSE(TransparentBlt(t.dc, 0, 0, -1, 8, src.dc, 0, 0, 4, 4, 0));

  // A key with its top byte set is no RGB colour: no pixel of the bitmap matches it.
  Canvas u(10, 10, kWhite);
  EXPECT_TRUE(TransparentBlt(u.dc, 0, 0, 8, 8, src.dc, 0, 0, 4, 4, 0x01000000 | kRed));
  EXPECT_EQ(u.at(0, 0), kRed);
  EXPECT_EQ(u.at(2, 2), kGreen);
}

TEST(Paths, FiguresGoIntoThePathAndFillOrStrokeIt) {
  Canvas c(30, 30);
  Tools t(c.dc, kBlack, kRed);
  EXPECT_FALSE(StrokePath(c.dc));  // no path
  EXPECT_TRUE(BeginPath(c.dc));
  Rectangle(c.dc, 5, 5, 15, 15);
  MoveToEx(c.dc, 20, 2, nullptr);
  LineTo(c.dc, 28, 2);
  EXPECT_EQ(c.countNot(kWhite, 0, 0, 30, 30), 0);  // nothing drawn yet
  EXPECT_FALSE(FillPath(c.dc));                    // still open
  EXPECT_TRUE(EndPath(c.dc));
  EXPECT_TRUE(StrokeAndFillPath(c.dc));
  EXPECT_EQ(c.at(10, 10), kRed);
  EXPECT_EQ(c.at(5, 5), kBlack);
  EXPECT_EQ(c.at(22, 2), kBlack);
  EXPECT_FALSE(StrokePath(c.dc));  // the path is used up
}

TEST(Paths, TheDcSaveStackKeepsThePath) {
  // A shape drawn between SaveDC and RestoreDC inside an open path is gone with the restore.
  Canvas c(30, 30);
  BeginPath(c.dc);
  SaveDC(c.dc);
  Rectangle(c.dc, 5, 5, 15, 15);
  RestoreDC(c.dc, -1);
  EndPath(c.dc);
  EXPECT_TRUE(FillPath(c.dc));
  EXPECT_EQ(c.countNot(kWhite, 0, 0, 30, 30), 0);
  // Outside a path, the default pen and brush draw.
  BeginPath(c.dc);
  Ellipse(c.dc, 2, 2, 22, 22);
  EndPath(c.dc);
  EXPECT_TRUE(StrokePath(c.dc));
  EXPECT_EQ(c.at(12, 12), kWhite);
  EXPECT_GT(c.countNot(kWhite, 0, 0, 30, 30), 40);
}

TEST(SurfaceDC, OriginAndClipPlaceAChildOnItsParentsPixels) {
  std::vector<uint32_t> px(20 * 10, 0xFFFFFFFF);
  RECT clip{5, 2, 12, 8};
  HDC dc = rkgdi::CreateSurfaceDC(px.data(), 20, 10, 80, 5, 2, &clip);
  ASSERT_NE(dc, nullptr);
  EXPECT_TRUE(rkgdi::IsDC(dc));
  HBRUSH b = CreateSolidBrush(kRed);
  RECT all{-10, -10, 100, 100};
  FillRect(dc, &all, b);
  DeleteObject(b);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) {
      bool in = x >= 5 && x < 12 && y >= 2 && y < 8;
      // Drawn pixels get 0 in their fourth byte; the others keep theirs.
      EXPECT_EQ(px[size_t(y) * 20 + x], in ? 0x00FF0000u : 0xFFFFFFFFu) << x << "," << y;
    }
  EXPECT_EQ(GetPixel(dc, 0, 0), kRed);  // logical (0, 0) is surface (5, 2)
  EXPECT_TRUE(rkgdi::SetSurfaceDCClip(dc, nullptr));
  SetPixel(dc, -5, -2, kBlue);
  EXPECT_EQ(px[0], 0x000000FFu);
  EXPECT_TRUE(rkgdi::ReleaseSurfaceDC(dc));
  EXPECT_FALSE(rkgdi::IsDC(dc));
  EXPECT_EQ(rkgdi::CreateSurfaceDC(px.data(), 20, 10, 40, 0, 0, nullptr), nullptr);
}

TEST(Paths, FiguresGoOnFromTheCurrentPositionAndClose) {
  Canvas c(30, 20);
  Tools t(c.dc, kBlack, kRed);
  // A square from a line, a straight Bezier curve and a line, as one figure.
  BeginPath(c.dc);
  MoveToEx(c.dc, 2, 2, nullptr);
  LineTo(c.dc, 12, 2);
  POINT down[] = {{12, 5}, {12, 9}, {12, 12}};
  EXPECT_TRUE(PolyBezierTo(c.dc, down, 3));
  POINT cur;
  EXPECT_TRUE(GetCurrentPositionEx(c.dc, &cur));
  EXPECT_EQ(cur.x, 12);
  EXPECT_EQ(cur.y, 12);
  LineTo(c.dc, 2, 12);
  EXPECT_TRUE(CloseFigure(c.dc));
  EndPath(c.dc);
  EXPECT_FALSE(CloseFigure(c.dc));  // no open path
  EXPECT_TRUE(StrokePath(c.dc));
  EXPECT_EQ(c.at(2, 7), kBlack);  // the closing side
  EXPECT_EQ(c.at(12, 7), kBlack);
  EXPECT_EQ(c.at(7, 7), kWhite);
  // A path given up draws nothing.
  BeginPath(c.dc);
  Rectangle(c.dc, 16, 2, 26, 12);
  EXPECT_TRUE(AbortPath(c.dc));
  EXPECT_FALSE(EndPath(c.dc));
  EXPECT_FALSE(FillPath(c.dc));
  EXPECT_EQ(c.countNot(kWhite, 15, 0, 30, 20), 0);
  // Outside a path the curve is drawn from the current position, its last point included.
  MoveToEx(c.dc, 16, 15, nullptr);
  POINT right[] = {{19, 15}, {23, 15}, {26, 15}};
  EXPECT_TRUE(PolyBezierTo(c.dc, right, 3));
  EXPECT_EQ(c.countNot(kBlack, 16, 15, 27, 16), 0);
  EXPECT_FALSE(PolyBezierTo(c.dc, right, 2));
}

TEST(Shapes, PolyPolygonFillsTogetherAndNullObjectsDrawNothing) {
  Canvas c(40, 20);
  {
    Tools t(c.dc, kBlack, kRed);
    POINT pts[] = {{0, 0}, {20, 0}, {20, 20}, {0, 20}, {5, 5}, {15, 5}, {15, 15}, {5, 15}};
    INT counts[] = {4, 4};
    EXPECT_TRUE(PolyPolygon(c.dc, pts, counts, 2));
    EXPECT_EQ(c.at(2, 10), kRed);
    EXPECT_EQ(c.at(10, 10), kWhite);  // the hole under ALTERNATE
    EXPECT_EQ(c.at(5, 10), kBlack);   // the inner outline
    SetPolyFillMode(c.dc, WINDING);
    for (POINT& p : pts) p.x += 20;
    EXPECT_TRUE(PolyPolygon(c.dc, pts, counts, 2));
    EXPECT_EQ(c.at(30, 10), kRed);  // same turning sense: filled under WINDING
    INT bad[] = {4, 1};
    EXPECT_FALSE(PolyPolygon(c.dc, pts, bad, 2));
  }
  c.fill(kWhite);
  HGDIOBJ oldPen = SelectObject(c.dc, GetStockObject(NULL_PEN));
  HGDIOBJ oldBrush = SelectObject(c.dc, GetStockObject(NULL_BRUSH));
  Rectangle(c.dc, 2, 2, 12, 12);
  EXPECT_EQ(c.countNot(kWhite, 0, 0, 40, 20), 0);
  SelectObject(c.dc, GetStockObject(WHITE_BRUSH));
  SelectObject(c.dc, GetStockObject(BLACK_PEN));
  EXPECT_EQ(GetStockObject(HOLLOW_BRUSH), GetStockObject(NULL_BRUSH));
  EXPECT_EQ(GetStockObject(-1), nullptr);
  EXPECT_TRUE(DeleteObject(GetStockObject(NULL_PEN)));  // stock objects stay
  Rectangle(c.dc, 2, 2, 12, 12);
  EXPECT_EQ(c.at(2, 2), kBlack);
  EXPECT_EQ(c.at(6, 6), kWhite);
  SelectObject(c.dc, oldPen);
  SelectObject(c.dc, oldBrush);
}

TEST(DeviceContexts, ViewportOriginMovesEveryDrawing) {
  Canvas c(20, 10);
  POINT old{1, 1};
  EXPECT_TRUE(SetViewportOrgEx(c.dc, 0, -5, &old));
  EXPECT_EQ(old.x, 0);
  EXPECT_EQ(old.y, 0);
  {
    Tools t(c.dc, kBlack, kRed);
    Rectangle(c.dc, 2, 5, 8, 11);  // device rows 0 to 5
  }
  EXPECT_EQ(c.at(2, 5), kBlack);  // logical coordinates read back
  EXPECT_EQ(GetPixel(c.dc, 4, 7), kRed);
  SetPixel(c.dc, 10, 6, kGreen);
  // Saved with the state.
  SaveDC(c.dc);
  SetViewportOrgEx(c.dc, 0, 0, nullptr);
  EXPECT_EQ(c.at(2, 0), kBlack);  // the rectangle's top row, at device row 0
  EXPECT_EQ(c.at(10, 1), kGreen);
  RestoreDC(c.dc, -1);
  EXPECT_EQ(c.at(10, 6), kGreen);
  EXPECT_FALSE(SetViewportOrgEx(nullptr, 0, 0, nullptr));
}
