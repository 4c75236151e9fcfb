// What the image drawing back-end (ImplRKImageGraphics) relies on from GDI for the alpha of
// 32-bit images, checked against the stand-in on Linux and against Wine's GDI in the Windows
// suite. GDI gives the fourth byte of a 32-bit pixel no meaning: a pixel it colours itself gets 0
// there, a 32-bit blit copies it, an untouched pixel keeps it, and an XOR changes the colour of
// every pixel whose fourth byte it may change.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <functional>
#include <vector>

namespace {

constexpr unsigned char kMark = 0x5A;
constexpr int kW = 48, kH = 24;

BITMAPINFO topDown(int w, int h, int bits) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = WORD(bits);
  bi.bmiHeader.biCompression = BI_RGB;
  return bi;
}

// A bitmap compatible with the screen, as the back-end makes, loaded with blue 10, green 20,
// red 30 (a colour no test draws) and the mark in every pixel's fourth byte.
struct MarkedBitmap {
  HDC screen, dc;
  HBITMAP bmp;
  HGDIOBJ old;
  MarkedBitmap() {
    screen = GetDC(nullptr);
    dc = CreateCompatibleDC(screen);
    bmp = CreateCompatibleBitmap(screen, kW, kH);
    old = SelectObject(dc, bmp);
    std::vector<unsigned char> rows(size_t(kW) * kH * 4);
    for (size_t i = 0; i < rows.size(); i += 4) {
      rows[i] = 10;
      rows[i + 1] = 20;
      rows[i + 2] = 30;
      rows[i + 3] = kMark;
    }
    BITMAPINFO bi = topDown(kW, kH, 32);
    StretchDIBits(dc, 0, 0, kW, kH, 0, 0, kW, kH, rows.data(), &bi, DIB_RGB_COLORS, SRCCOPY);
  }
  ~MarkedBitmap() {
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
  }
  std::vector<unsigned char> bits() const {
    std::vector<unsigned char> out(size_t(kW) * kH * 4);
    BITMAPINFO bi = topDown(kW, kH, 32);
    EXPECT_EQ(GetDIBits(dc, bmp, 0, kH, out.data(), &bi, DIB_RGB_COLORS), kH);
    return out;
  }
};

bool loaded(const unsigned char* p) { return p[0] == 10 && p[1] == 20 && p[2] == 30; }

// Draws on a marked bitmap; each pixel must then hold either its loaded colour and the mark, or 0
// in its fourth byte (a pixel that GDI coloured with the colour it had, as smoothed text may,
// counts as drawn). Returns the number of pixels drawn.
int drawn(const std::function<void(HDC)>& draw) {
  MarkedBitmap m;
  draw(m.dc);
  std::vector<unsigned char> b = m.bits();
  int n = 0;
  for (int i = 0; i < kW * kH; ++i) {
    const unsigned char* p = &b[size_t(i) * 4];
    if (loaded(p) && p[3] == kMark) continue;
    EXPECT_EQ(p[3], 0) << "pixel " << i % kW << "," << i / kW;
    ++n;
  }
  return n;
}

}  // namespace

TEST(GdiFourthByte, ThePixelsDrawingColoursGetZero) {
  MarkedBitmap probe;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  ASSERT_NE(GetDIBits(probe.dc, probe.bmp, 0, 0, nullptr, &info, DIB_RGB_COLORS), 0);
  ASSERT_EQ(info.bmiHeader.biBitCount, 32);  // the back-end's bitmap has a fourth byte
  EXPECT_EQ(drawn([](HDC dc) { SetPixel(dc, 3, 4, RGB(255, 0, 0)); }), 1);
  EXPECT_EQ(drawn([](HDC dc) {
              HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
              HGDIOBJ old = SelectObject(dc, pen);
              MoveToEx(dc, 2, 2, nullptr);
              LineTo(dc, 30, 2);
              SelectObject(dc, old);
              DeleteObject(pen);
            }),
            28);
  EXPECT_EQ(drawn([](HDC dc) {
              RECT r{2, 3, 12, 8};
              HBRUSH b = CreateSolidBrush(RGB(0, 255, 0));
              FillRect(dc, &r, b);
              DeleteObject(b);
            }),
            50);
  EXPECT_GT(drawn([](HDC dc) {
              HBRUSH b = CreateSolidBrush(RGB(0, 0, 255));
              HGDIOBJ old = SelectObject(dc, b);
              Ellipse(dc, 1, 1, 30, 20);
              SelectObject(dc, old);
              DeleteObject(b);
            }),
            300);
}

TEST(GdiFourthByte, TextGetsZeroWhereverItColours) {
  for (DWORD quality : {DWORD(DEFAULT_QUALITY), DWORD(ANTIALIASED_QUALITY), DWORD(NONANTIALIASED_QUALITY)}) {
    EXPECT_GT(drawn([&](HDC dc) {
                HFONT f = CreateFontA(16, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, quality, 0, "Tahoma");
                HGDIOBJ old = SelectObject(dc, f);
                SetBkMode(dc, TRANSPARENT);
                SetTextColor(dc, RGB(0, 0, 0));
                TextOutA(dc, 1, 1, "Wgx", 3);
                SelectObject(dc, old);
                DeleteObject(f);
              }),
              20)
        << quality;
  }
  // Opaque text colours its whole cell.
  SIZE cell{0, 0};
  int n = drawn([&](HDC dc) {
    SetBkMode(dc, OPAQUE);
    TextOutA(dc, 0, 0, "i", 1);
    GetTextExtentPoint32A(dc, "i", 1, &cell);
  });
  EXPECT_GT(n, 0);
  EXPECT_EQ(n, cell.cx * cell.cy);
}

TEST(GdiFourthByte, BlitsCopyItFrom32BitPixelsAndWriteZeroFrom24BitOnes) {
  MarkedBitmap m;
  const unsigned char two[8] = {1, 2, 3, 0x33, 4, 5, 6, kMark};
  BITMAPINFO b32 = topDown(2, 1, 32);
  StretchDIBits(m.dc, 0, 0, 2, 1, 0, 0, 2, 1, two, &b32, DIB_RGB_COLORS, SRCCOPY);
  SetStretchBltMode(m.dc, COLORONCOLOR);
  StretchDIBits(m.dc, 0, 1, 4, 2, 0, 0, 2, 1, two, &b32, DIB_RGB_COLORS, SRCCOPY);
  const unsigned char three[8] = {1, 2, 3, 4, 5, 6, 0, 0};
  BITMAPINFO b24 = topDown(2, 1, 24);
  StretchDIBits(m.dc, 0, 3, 2, 1, 0, 0, 2, 1, three, &b24, DIB_RGB_COLORS, SRCCOPY);
  BitBlt(m.dc, 6, 0, 2, 1, m.dc, 0, 0, SRCCOPY);
  std::vector<unsigned char> b = m.bits();
  auto px = [&](int x, int y) { return &b[(size_t(y) * kW + x) * 4]; };
  EXPECT_EQ(0, std::memcmp(px(0, 0), two, 8));
  EXPECT_EQ(0, std::memcmp(px(0, 1), two, 4));
  EXPECT_EQ(0, std::memcmp(px(3, 2), two + 4, 4));
  EXPECT_EQ(px(0, 3)[3], 0);
  EXPECT_EQ(px(1, 3)[3], 0);
  EXPECT_EQ(0, std::memcmp(px(6, 0), two, 8));
  EXPECT_TRUE(loaded(px(2, 0)) && px(2, 0)[3] == kMark);
}

// Whatever an XOR does with the fourth byte, it changes the colour of each pixel it changes, and
// a second one gives back all four bytes.
TEST(GdiFourthByte, FocusRectanglesChangeTheColourOfWhatTheyChange) {
  MarkedBitmap m;
  RECT r{1, 1, 21, 11};
  DrawFocusRect(m.dc, &r);
  std::vector<unsigned char> b = m.bits();
  int changed = 0;
  for (int i = 0; i < kW * kH; ++i) {
    const unsigned char* p = &b[size_t(i) * 4];
    if (loaded(p) && p[3] == kMark) continue;
    EXPECT_FALSE(loaded(p)) << "pixel " << i % kW << "," << i / kW;
    ++changed;
  }
  EXPECT_GT(changed, 20);
  DrawFocusRect(m.dc, &r);
  b = m.bits();
  for (int i = 0; i < kW * kH; ++i) EXPECT_TRUE(loaded(&b[size_t(i) * 4]) && b[size_t(i) * 4 + 3] == kMark) << i;
}
