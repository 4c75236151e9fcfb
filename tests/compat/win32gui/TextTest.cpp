// Fonts and text of the graphics stand-in: extents, metrics and where glyph pixels land.
#include <gtest/gtest.h>

#include <compat_gdi.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "GdiTestSupport.h"

namespace {

struct FontSel {
  HDC dc;
  HFONT font;
  HGDIOBJ old;
  FontSel(HDC d, int height, const char* face = "Arial", int weight = FW_NORMAL, DWORD underline = 0) : dc(d) {
    font = CreateFontA(height, 0, 0, 0, weight, 0, underline, 0, DEFAULT_CHARSET, 0, 0, 0, 0, face);
    old = SelectObject(dc, font);
  }
  ~FontSel() {
    SelectObject(dc, old);
    DeleteObject(font);
  }
};

SIZE extent(HDC dc, const char* s) {
  SIZE sz{-1, -1};
  EXPECT_TRUE(GetTextExtentPoint32A(dc, s, int(std::strlen(s)), &sz));
  return sz;
}

}  // namespace

TEST(TextMetrics, DefaultFontIsSystemWithASixteenPixelCell) {
  Canvas c(4, 4);
  char face[256] = {0};
  EXPECT_GT(GetTextFaceA(c.dc, 256, face), 0);
  EXPECT_STREQ(face, "System");
  TEXTMETRICA tm;
  ASSERT_TRUE(GetTextMetricsA(c.dc, &tm));
  EXPECT_EQ(tm.tmHeight, 16);
  EXPECT_EQ(tm.tmAscent + tm.tmDescent, 16);
  HDC desk = GetWindowDC(GetDesktopWindow());
  EXPECT_GT(GetTextFaceA(desk, 256, face), 0);
  EXPECT_STREQ(face, "System");
  ReleaseDC(GetDesktopWindow(), desk);
}

TEST(TextMetrics, CellAndCharacterHeights) {
  Canvas c(4, 4);
  {
    FontSel f(c.dc, 20);
    TEXTMETRICA tm;
    ASSERT_TRUE(GetTextMetricsA(c.dc, &tm));
    EXPECT_EQ(tm.tmHeight, 20);  // a positive height is the cell
    EXPECT_EQ(tm.tmWeight, FW_NORMAL);
    EXPECT_GT(tm.tmAveCharWidth, 0);
    char face[64];
    GetTextFaceA(c.dc, 64, face);
    EXPECT_STREQ(face, "Arial");
  }
  {
    FontSel f(c.dc, -20);
    TEXTMETRICA tm;
    ASSERT_TRUE(GetTextMetricsA(c.dc, &tm));
    EXPECT_GT(tm.tmHeight, 20);  // a negative height is the em, the cell is taller
    EXPECT_GT(tm.tmInternalLeading, 0);
  }
}

TEST(TextExtent, WidthsAddUpAndHeightIsTheCell) {
  Canvas c(4, 4);
  FontSel f(c.dc, 16);
  SIZE a = extent(c.dc, "Wi"), b = extent(c.dc, "ll"), ab = extent(c.dc, "Will");
  EXPECT_EQ(ab.cx, a.cx + b.cx);
  EXPECT_EQ(ab.cy, 16);
  EXPECT_GT(a.cx, 0);
  SIZE e = extent(c.dc, "");
  EXPECT_EQ(e.cx, 0);
  SIZE big;
  {
    FontSel g(c.dc, 32);
    big = extent(c.dc, "Will");
  }
  EXPECT_GT(big.cx, ab.cx * 3 / 2);
  // GBK bytes count as one character each pair.
  const char gbk[] = "\xd6\xd0\xce\xc4";
  SIZE z = extent(c.dc, gbk), one;
  GetTextExtentPoint32A(c.dc, gbk, 2, &one);
  EXPECT_EQ(z.cx, 2 * one.cx);
  EXPECT_GT(one.cx, 8);
  EXPECT_FALSE(GetTextExtentPoint32A(c.dc, "x", -1, &z));
}

TEST(TextOut, GlyphsLandInTheCellAndTheBackgroundModeHolds) {
  Canvas c(120, 40, kWhite);
  FontSel f(c.dc, 16);
  SIZE sz = extent(c.dc, "Hello");
  SetBkMode(c.dc, TRANSPARENT);
  SetTextColor(c.dc, kBlue);
  EXPECT_TRUE(TextOutA(c.dc, 10, 5, "Hello", 5));
  EXPECT_GT(c.countNot(kWhite, 10, 5, 10 + sz.cx, 5 + sz.cy), 20);
  EXPECT_EQ(c.countNotOutside(kWhite, 9, 5, 11 + sz.cx, 5 + sz.cy), 0);
  // Opaque text fills its cell with the background colour.
  Canvas o(120, 40, kGreen);
  FontSel g(o.dc, 16);
  SetBkMode(o.dc, OPAQUE);
  TextOutA(o.dc, 10, 5, "Hello", 5);
  EXPECT_EQ(o.at(10, 5), kWhite);
  EXPECT_EQ(o.countNotOutside(kGreen, 10, 5, 10 + sz.cx, 5 + sz.cy), 0);
  EXPECT_EQ(o.countNot(kGreen, 10, 5, 10 + sz.cx, 5 + sz.cy), sz.cx * sz.cy);
  EXPECT_TRUE(TextOutA(o.dc, 0, 0, "x", 0));
}

TEST(DrawText, AlignmentPrefixesAndClipping) {
  Canvas c(200, 40);
  FontSel f(c.dc, 16);
  SetBkMode(c.dc, TRANSPARENT);
  SIZE sz = extent(c.dc, "Text");
  RECT r{0, 0, 200, 20};
  EXPECT_EQ(DrawTextA(c.dc, "Text", 4, &r, DT_SINGLELINE | DT_RIGHT), 16);
  // Glyph ink may overhang its advance by a pixel.
  EXPECT_EQ(c.countNot(kWhite, 0, 0, 200 - sz.cx - 1, 40), 0);
  EXPECT_GT(c.countNot(kWhite, 200 - sz.cx, 0, 200, 16), 10);
  c.fill(kWhite);
  DrawTextA(c.dc, "Text", -1, &r, DT_SINGLELINE | DT_CENTER);
  int l = (200 - sz.cx) / 2;
  EXPECT_EQ(c.countNotOutside(kWhite, l - 1, 0, l + sz.cx + 1, 16), 0);
  EXPECT_GT(c.countNot(kWhite, l, 0, l + sz.cx, 16), 10);
  // "&&" shows one "&", "&x" shows x: measured by DT_CALCRECT.
  RECT m1{0, 0, 0, 0}, m2{0, 0, 0, 0}, m3{0, 0, 0, 0};
  DrawTextA(c.dc, "A&&B", -1, &m1, DT_SINGLELINE | DT_CALCRECT);
  EXPECT_EQ(m1.right, extent(c.dc, "A&B").cx);
  DrawTextA(c.dc, "&File", -1, &m2, DT_SINGLELINE | DT_CALCRECT);
  EXPECT_EQ(m2.right, extent(c.dc, "File").cx);
  DrawTextA(c.dc, "&File", -1, &m3, DT_SINGLELINE | DT_CALCRECT | DT_NOPREFIX);
  EXPECT_EQ(m3.right, extent(c.dc, "&File").cx);
  // An empty rectangle draws nothing; a narrow one clips.
  c.fill(kWhite);
  RECT e{10, 10, 10, 30};
  DrawTextA(c.dc, "Text", 4, &e, DT_SINGLELINE);
  EXPECT_EQ(c.countNot(kWhite, 0, 0, 200, 40), 0);
  RECT n{10, 0, 14, 20};
  DrawTextA(c.dc, "WWWW", 4, &n, DT_SINGLELINE);
  EXPECT_EQ(c.countNotOutside(kWhite, 10, 0, 14, 20), 0);
}

TEST(DrawText, MultiLineBreaksOnlyAtLineEnds) {
  Canvas c(200, 60);
  FontSel f(c.dc, 16);
  RECT m{0, 0, 0, 0};
  EXPECT_EQ(DrawTextA(c.dc, "one\r\ntwo\nthree", -1, &m, DT_CALCRECT), 48);
  EXPECT_EQ(m.right, extent(c.dc, "three").cx);
  SetBkMode(c.dc, TRANSPARENT);
  RECT r{0, 0, 200, 60};
  DrawTextA(c.dc, "a b\tc\nd", -1, &r, 0);
  EXPECT_GT(c.countNot(kWhite, 0, 16, 200, 32), 0);
  EXPECT_EQ(c.countNot(kWhite, 0, 32, 200, 60), 0);
}

TEST(DrawState, DisabledTextIsEmbossed) {
  Canvas c(100, 30, kBlack);
  FontSel f(c.dc, 16);
  SetBkMode(c.dc, TRANSPARENT);
  const char* s = "&Disabled";
  EXPECT_TRUE(DrawStateA(c.dc, nullptr, nullptr, LPARAM(s), 0, 5, 5, 0, 0, DST_PREFIXTEXT | DSS_DISABLED));
  SIZE sz = extent(c.dc, "Disabled");
  int shadow = 0, light = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 100; ++x) {
      if (c.at(x, y) == GetSysColor(COLOR_3DSHADOW)) ++shadow;
      if (c.at(x, y) == GetSysColor(COLOR_3DHILIGHT)) ++light;
    }
  EXPECT_GT(shadow, 5);
  EXPECT_GT(light, 0);
  EXPECT_EQ(c.countNotOutside(kBlack, 5, 5, 6 + sz.cx, 6 + sz.cy), 0);
}

TEST(Text, ChineseTextRendersThroughTheFallbackFace) {
  Canvas c(100, 30);
  FontSel f(c.dc, 16, "\xcb\xce\xcc\xe5");  // a GBK face name
  SetBkMode(c.dc, TRANSPARENT);
  const char gbk[] = "\xd6\xd0\xce\xc4";
  TextOutA(c.dc, 2, 2, gbk, 4);
  SIZE sz = extent(c.dc, gbk);
  EXPECT_GT(c.countNot(kWhite, 2, 2, 2 + sz.cx, 2 + sz.cy), 20);
}

TEST(Overview, EveryOperationDrawnAndSavedAsPng) {
  Canvas c(320, 240);
  {
    Tools t(c.dc, kBlack, RGB(255, 200, 0));
    Rectangle(c.dc, 10, 10, 60, 50);
    RoundRect(c.dc, 70, 10, 130, 50, 16, 16);
    Ellipse(c.dc, 140, 10, 200, 50);
    Pie(c.dc, 210, 10, 260, 60, 260, 35, 235, 10);
    Arc(c.dc, 270, 10, 310, 50, 270, 30, 290, 50);
    POINT star[] = {{35, 60}, {50, 110}, {10, 80}, {60, 80}, {20, 110}};
    SetPolyFillMode(c.dc, WINDING);
    Polygon(c.dc, star, 5);
    for (int i = 0; i < 5; ++i) star[i].x += 60;
    SetPolyFillMode(c.dc, ALTERNATE);
    Polygon(c.dc, star, 5);
    POINT bz[] = {{140, 110}, {150, 60}, {190, 120}, {200, 70}};
    PolyBezier(c.dc, bz, 4);
    BeginPath(c.dc);
    MoveToEx(c.dc, 220, 70, nullptr);
    LineTo(c.dc, 300, 70);
    LineTo(c.dc, 260, 110);
    EndPath(c.dc);
    StrokeAndFillPath(c.dc);
  }
  for (int w = 1; w <= 5; ++w) {
    Tools t(c.dc, RGB(0, 0, 200), kWhite, w);
    MoveToEx(c.dc, 10, 120 + w * 8, nullptr);
    LineTo(c.dc, 110, 125 + w * 8);
  }
  RECT fr{120, 130, 200, 170};
  HBRUSH g = CreateSolidBrush(RGB(180, 230, 180));
  FillRect(c.dc, &fr, g);
  DeleteObject(g);
  DrawFocusRect(c.dc, &fr);
  for (int i = 0; i < 20; ++i) SetPixel(c.dc, 210 + i, 130 + i, kRed);
  unsigned char dib[4 * 4 * 3];
  for (int i = 0; i < 16; ++i) {
    dib[i * 3] = (i % 2) ? 255 : 0;
    dib[i * 3 + 1] = 0;
    dib[i * 3 + 2] = (i / 4 % 2) ? 255 : 0;
  }
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), 4, -4, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  SetStretchBltMode(c.dc, COLORONCOLOR);
  StretchDIBits(c.dc, 240, 130, 32, 32, 0, 0, 4, 4, dib, &bi, DIB_RGB_COLORS, SRCCOPY);
  TransparentBlt(c.dc, 280, 130, 32, 32, c.dc, 240, 130, 32, 32, RGB(0, 0, 0));
  FontSel f(c.dc, 16, "Arial");
  SetBkMode(c.dc, TRANSPARENT);
  SetTextColor(c.dc, RGB(128, 0, 0));
  TextOutA(c.dc, 10, 180, "TextOut \xd6\xd0\xce\xc4", 12);
  RECT tr{150, 180, 310, 200};
  Rectangle(c.dc, 150, 180, 310, 200);
  DrawTextA(c.dc, "&Centred text", -1, &tr, DT_SINGLELINE | DT_CENTER);
  DrawStateA(c.dc, nullptr, nullptr, LPARAM("&Disabled"), 0, 10, 210, 0, 0, DST_PREFIXTEXT | DSS_DISABLED);
  const char* dir = std::getenv("RK_BUILD_DIR");
  std::string path = std::string(dir ? dir : "/tmp") + "/gdi_overview.png";
  EXPECT_TRUE(compat_SaveDCPng(c.dc, path.c_str()));
  EXPECT_FALSE(compat_SaveDCPng(nullptr, path.c_str()));
}
