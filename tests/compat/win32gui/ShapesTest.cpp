// Lines, shapes and fills of the graphics stand-in, checked at exact pixels.
#include <gtest/gtest.h>

#include "GdiTestSupport.h"

TEST(Lines, EndPointIsNotDrawn) {
  Canvas c(20, 20);
  Tools t(c.dc, kRed, kWhite);
  MoveToEx(c.dc, 2, 5, nullptr);
  LineTo(c.dc, 10, 5);
  for (int x = 2; x < 10; ++x) EXPECT_EQ(c.at(x, 5), kRed) << x;
  EXPECT_EQ(c.at(10, 5), kWhite);
  EXPECT_EQ(c.at(1, 5), kWhite);
  EXPECT_EQ(c.countNotOutside(kWhite, 2, 5, 10, 6), 0);
}

TEST(Lines, PolylineToJoinsSegmentsAndMovesTheCurrentPosition) {
  Canvas c(20, 20);
  Tools t(c.dc, kBlue, kWhite);
  POINT pts[] = {{10, 2}, {10, 10}, {2, 10}};
  MoveToEx(c.dc, 2, 2, nullptr);
  EXPECT_TRUE(PolylineTo(c.dc, pts, 3));
  EXPECT_EQ(c.at(2, 2), kBlue);
  EXPECT_EQ(c.at(10, 2), kBlue);  // a corner: start of the next segment
  EXPECT_EQ(c.at(10, 10), kBlue);
  EXPECT_EQ(c.at(2, 10), kWhite);  // the last point
  POINT cur;
  MoveToEx(c.dc, 0, 0, &cur);
  EXPECT_EQ(cur.x, 2);
  EXPECT_EQ(cur.y, 10);
}

TEST(Lines, WidePensAreGeometricWithRoundCaps) {
  Canvas c(40, 20);
  {
    Tools t(c.dc, kBlack, kWhite, 3);
    MoveToEx(c.dc, 10, 5, nullptr);
    LineTo(c.dc, 30, 5);
  }
  for (int y = 4; y <= 6; ++y) EXPECT_EQ(c.at(20, y), kBlack) << y;
  EXPECT_EQ(c.at(20, 3), kWhite);
  EXPECT_EQ(c.at(20, 7), kWhite);
  EXPECT_EQ(c.at(30, 5), kBlack);  // the cap covers the end point
  EXPECT_EQ(c.at(31, 5), kBlack);
  EXPECT_EQ(c.at(32, 5), kWhite);
  EXPECT_EQ(c.at(32, 4), kWhite);  // rounded, not square
  {
    Tools t(c.dc, kRed, kWhite, 2);
    MoveToEx(c.dc, 10, 14, nullptr);
    LineTo(c.dc, 30, 14);
  }
  EXPECT_EQ(c.countNot(kWhite, 20, 10, 21, 20), 2);
}

TEST(Shapes, RectangleOutlineInsideTheBoxAndFilledInterior) {
  Canvas c(20, 20);
  Tools t(c.dc, kRed, kBlue);
  EXPECT_TRUE(Rectangle(c.dc, 2, 3, 12, 10));
  EXPECT_EQ(c.at(2, 3), kRed);
  EXPECT_EQ(c.at(11, 9), kRed);
  EXPECT_EQ(c.at(11, 5), kRed);
  EXPECT_EQ(c.at(12, 5), kWhite);  // right edge excluded
  EXPECT_EQ(c.at(5, 10), kWhite);  // bottom edge excluded
  EXPECT_EQ(c.countNot(kBlue, 3, 4, 11, 9), 0);
  EXPECT_EQ(c.countNotOutside(kWhite, 2, 3, 12, 10), 0);
}

// True when the pixels of [l, r) x [t, b) mirror left-right and top-bottom.
static bool symmetric(const Canvas& c, int l, int t, int r, int b) {
  for (int y = t; y < b; ++y)
    for (int x = l; x < r; ++x) {
      COLORREF p = c.at(x, y);
      if (p != c.at(r - 1 - (x - l), y) || p != c.at(x, b - 1 - (y - t))) return false;
    }
  return true;
}

TEST(Shapes, EllipseIsSymmetricAndTouchesItsBox) {
  for (int w : {9, 10, 17, 30}) {
    Canvas c(40, 40);
    Tools t(c.dc, kRed, kBlue);
    EXPECT_TRUE(Ellipse(c.dc, 3, 4, 3 + w, 4 + w / 2 + 3));
    int r = 3 + w, b = 4 + w / 2 + 3;
    EXPECT_TRUE(symmetric(c, 3, 4, r, b)) << w;
    EXPECT_EQ(c.countNotOutside(kWhite, 3, 4, r, b), 0) << w;
    EXPECT_EQ(c.at(3, (4 + b) / 2), kRed) << w;  // left extreme on the outline
    EXPECT_EQ(c.at((3 + r) / 2, 4), kRed) << w;  // top extreme
    EXPECT_EQ(c.at(3, 4), kWhite) << w;          // corner outside
    if (w > 9) {
      EXPECT_EQ(c.at((3 + r) / 2, (4 + b) / 2), kBlue) << w;  // interior brush
    }
  }
}

TEST(Shapes, RoundRectIsSymmetricWithRoundedCorners) {
  Canvas c(40, 30);
  Tools t(c.dc, kBlack, kGreen);
  EXPECT_TRUE(RoundRect(c.dc, 2, 2, 32, 22, 10, 8));
  EXPECT_TRUE(symmetric(c, 2, 2, 32, 22));
  EXPECT_EQ(c.at(2, 2), kWhite);
  EXPECT_EQ(c.at(17, 2), kBlack);
  EXPECT_EQ(c.at(2, 12), kBlack);
  EXPECT_EQ(c.at(17, 12), kGreen);
  EXPECT_EQ(c.countNotOutside(kWhite, 2, 2, 32, 22), 0);
}

TEST(Shapes, PolygonFillModes) {
  // Two overlapping squares drawn as one figure running the same way round: the overlap is
  // inside under WINDING and outside under ALTERNATE.
  POINT pts[] = {{2, 2}, {20, 2}, {20, 20}, {2, 20}, {2, 2}, {10, 10}, {28, 10}, {28, 28}, {10, 28}, {10, 10}};
  for (int mode : {ALTERNATE, WINDING}) {
    Canvas c(32, 32);
    Tools t(c.dc, kBlack, kRed);
    SetPolyFillMode(c.dc, mode);
    EXPECT_TRUE(Polygon(c.dc, pts, 10));
    EXPECT_EQ(c.at(5, 12), kRed);
    EXPECT_EQ(c.at(25, 25), kRed);
    EXPECT_EQ(c.at(15, 15), mode == WINDING ? kRed : kWhite) << mode;
    EXPECT_EQ(c.at(2, 2), kBlack);
    EXPECT_EQ(c.at(30, 30), kWhite);
  }
  Canvas c(8, 8);
  EXPECT_FALSE(Polygon(c.dc, pts, 1));
}

TEST(Shapes, PieAndArcRunCounterClockwise) {
  Canvas c(60, 60);
  {
    Tools t(c.dc, kBlack, kRed);
    // From the east radial to the north radial: the upper right quarter.
    EXPECT_TRUE(Pie(c.dc, 0, 0, 40, 40, 40, 20, 20, 0));
  }
  EXPECT_EQ(c.at(30, 10), kRed);
  EXPECT_EQ(c.at(10, 10), kWhite);
  EXPECT_EQ(c.at(10, 30), kWhite);
  EXPECT_EQ(c.at(30, 30), kWhite);
  Canvas a(60, 60);
  {
    Tools t(a.dc, kBlue, kWhite);
    EXPECT_TRUE(Arc(a.dc, 0, 0, 40, 40, 0, 20, 20, 40));  // west to south: lower left quarter
  }
  EXPECT_GT(a.countNot(kWhite, 0, 20, 20, 40), 10);
  EXPECT_EQ(a.countNot(kWhite, 21, 0, 60, 60), 0);
  EXPECT_EQ(a.countNot(kWhite, 0, 0, 60, 19), 0);
  EXPECT_EQ(a.at(20, 20), kWhite);  // an arc has no fill
  // Equal radials give the whole outline.
  Canvas o(60, 60);
  {
    Tools t(o.dc, kBlue, kWhite);
    Arc(o.dc, 0, 0, 40, 40, 0, 0, 0, 0);
  }
  EXPECT_TRUE(symmetric(o, 0, 0, 40, 40));
  EXPECT_EQ(o.at(0, 20), kBlue);
  EXPECT_EQ(o.at(39, 20), kBlue);
}

TEST(Shapes, PolyBezierNeedsOnePlusThreeNPoints) {
  Canvas c(40, 40);
  Tools t(c.dc, kRed, kWhite);
  POINT pts[] = {{2, 2}, {10, 30}, {30, 30}, {38, 2}, {0, 0}};
  EXPECT_FALSE(PolyBezier(c.dc, pts, 5));
  EXPECT_FALSE(PolyBezier(c.dc, pts, 3));
  EXPECT_EQ(c.countNot(kWhite, 0, 0, 40, 40), 0);
  EXPECT_TRUE(PolyBezier(c.dc, pts, 4));
  EXPECT_EQ(c.at(2, 2), kRed);
  EXPECT_EQ(c.at(38, 2), kRed);
  EXPECT_EQ(c.countNot(kWhite, 0, 25, 40, 40), 0);   // the curve stays above its control points
  EXPECT_GT(c.countNot(kWhite, 15, 18, 25, 25), 0);  // and passes near the middle at y = 22.5
}

TEST(Shapes, SetPixelIgnoresTheTopByteAndReportsOutside) {
  Canvas c(4, 4);
  EXPECT_EQ(SetPixel(c.dc, 1, 1, 0x02112233), COLORREF(0x112233));
  EXPECT_EQ(c.at(1, 1), COLORREF(0x112233));
  EXPECT_EQ(SetPixel(c.dc, 4, 0, kRed), CLR_INVALID);
  EXPECT_EQ(SetPixel(c.dc, -1, 0, kRed), CLR_INVALID);
}

TEST(Fills, FillRectExcludesRightAndBottom) {
  Canvas c(10, 10);
  HBRUSH b = CreateSolidBrush(kGreen);
  RECT r{2, 2, 5, 6};
  EXPECT_TRUE(FillRect(c.dc, &r, b));
  DeleteObject(b);
  EXPECT_EQ(c.countNot(kGreen, 2, 2, 5, 6), 0);
  EXPECT_EQ(c.countNotOutside(kWhite, 2, 2, 5, 6), 0);
  RECT s{0, 0, 1, 1};
  FillRect(c.dc, &s, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
  EXPECT_EQ(c.at(0, 0), GetSysColor(COLOR_BTNFACE));
}

TEST(Fills, FocusRectIsDottedAndSelfInverse) {
  Canvas c(20, 20);
  RECT r{2, 2, 12, 9};
  EXPECT_TRUE(DrawFocusRect(c.dc, &r));
  int changed = c.countNot(kWhite, 0, 0, 20, 20);
  EXPECT_GT(changed, 10);
  EXPECT_LT(changed, 30);  // every other pixel of the 30-pixel outline
  EXPECT_EQ(c.countNotOutside(kWhite, 2, 2, 12, 9), 0);
  EXPECT_EQ(c.countNot(kWhite, 3, 3, 11, 8), 0);
  for (int x = 2; x + 1 < 12; ++x) EXPECT_NE(c.at(x, 2), c.at(x + 1, 2)) << x;
  EXPECT_EQ(c.at(2, 2), kBlack);
  DrawFocusRect(c.dc, &r);
  EXPECT_EQ(c.countNot(kWhite, 0, 0, 20, 20), 0);
}

TEST(DeviceContexts, SaveAndRestoreBringBackObjectsAndColours) {
  Canvas c(10, 10);
  HPEN red = CreatePen(PS_SOLID, 1, kRed);
  HGDIOBJ orig = SelectObject(c.dc, red);
  int level = SaveDC(c.dc);
  EXPECT_EQ(level, 1);
  HPEN blue = CreatePen(PS_SOLID, 1, kBlue);
  SelectObject(c.dc, blue);
  SetTextColor(c.dc, kGreen);
  EXPECT_FALSE(DeleteObject(blue));  // still selected
  EXPECT_TRUE(RestoreDC(c.dc, -1));
  EXPECT_EQ(SetTextColor(c.dc, kBlack), kBlack);
  EXPECT_TRUE(DeleteObject(blue));
  MoveToEx(c.dc, 0, 0, nullptr);
  LineTo(c.dc, 5, 0);
  EXPECT_EQ(c.at(1, 0), kRed);
  EXPECT_FALSE(RestoreDC(c.dc, -1));  // nothing saved
  EXPECT_EQ(SelectObject(c.dc, orig), HGDIOBJ(red));
  EXPECT_TRUE(DeleteObject(red));
  EXPECT_FALSE(DeleteObject(red));  // gone
}

TEST(DeviceContexts, ModesPersistAndReportTheOldValue) {
  Canvas c(4, 4);
  EXPECT_EQ(SetBkMode(c.dc, TRANSPARENT), OPAQUE);
  EXPECT_EQ(SetBkMode(c.dc, OPAQUE), TRANSPARENT);
  EXPECT_EQ(SetBkMode(c.dc, 7), 0);
  EXPECT_EQ(SetPolyFillMode(c.dc, WINDING), ALTERNATE);
  EXPECT_EQ(SetStretchBltMode(c.dc, COLORONCOLOR), BLACKONWHITE);
}

TEST(DeviceContexts, DesktopDeviceContextWorksWithoutDisplay) {
  HWND desk = GetDesktopWindow();
  ASSERT_NE(desk, nullptr);
  HDC dc = GetWindowDC(desk);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 96);
  EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 32);
  EXPECT_EQ(-MulDiv(12, GetDeviceCaps(dc, LOGPIXELSY), 72), -16);
  EXPECT_EQ(-MulDiv(9, GetDeviceCaps(dc, LOGPIXELSY), 72), -12);
  EXPECT_EQ(ReleaseDC(desk, dc), 1);
  EXPECT_EQ(ReleaseDC(desk, dc), 0);
}

TEST(DeviceContexts, MulDivRoundsHalfAwayFromZero) {
  EXPECT_EQ(MulDiv(3, 1, 2), 2);
  EXPECT_EQ(MulDiv(-3, 1, 2), -2);
  EXPECT_EQ(MulDiv(5, 1, 3), 2);
  EXPECT_EQ(MulDiv(1, 1, 0), -1);
  EXPECT_EQ(MulDiv(0x7FFFFFFF, 2, 1), -1);
  EXPECT_EQ(MulDiv(0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF), 0x7FFFFFFF);
}

TEST(DeviceContexts, CompatibleBitmapsAreThirtyTwoBitsAndBounded) {
  HDC scr = GetDC(nullptr);
  EXPECT_EQ(CreateCompatibleBitmap(scr, -1, 5), nullptr);
  EXPECT_EQ(CreateCompatibleBitmap(scr, 100000, 100000), nullptr);
  HBITMAP b = CreateCompatibleBitmap(scr, 3, 2);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  EXPECT_NE(GetDIBits(scr, b, 0, 0, nullptr, &bi, DIB_RGB_COLORS), 0);
  EXPECT_EQ(bi.bmiHeader.biBitCount, 32);
  EXPECT_EQ(bi.bmiHeader.biWidth, 3);
  EXPECT_EQ(bi.bmiHeader.biHeight, 2);
  EXPECT_EQ(bi.bmiHeader.biSizeImage, 24u);
  EXPECT_EQ(bi.bmiHeader.biCompression, DWORD(BI_RGB));
  DeleteObject(b);
  ReleaseDC(nullptr, scr);
}
