// A memory DC over a white bitmap, with pixel helpers, for the graphics tests.
#ifndef RK_TEST_GDI_SUPPORT_H
#define RK_TEST_GDI_SUPPORT_H

#include <windows.h>

struct Canvas {
  HDC screen = nullptr;
  HDC dc = nullptr;
  HBITMAP bmp = nullptr;
  HGDIOBJ oldBmp = nullptr;
  int w, h;
  Canvas(int width, int height, COLORREF bg = RGB(255, 255, 255)) : w(width), h(height) {
    screen = GetDC(nullptr);
    dc = CreateCompatibleDC(screen);
    bmp = CreateCompatibleBitmap(screen, w, h);
    oldBmp = SelectObject(dc, bmp);
    fill(bg);
  }
  ~Canvas() {
    SelectObject(dc, oldBmp);
    DeleteObject(bmp);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
  }
  void fill(COLORREF c) {
    HBRUSH b = CreateSolidBrush(c);
    RECT r{0, 0, w, h};
    FillRect(dc, &r, b);
    DeleteObject(b);
  }
  COLORREF at(int x, int y) const { return GetPixel(dc, x, y); }
  // Pixels that differ from c inside [l, r) x [t, b).
  int countNot(COLORREF c, int l, int t, int r, int b) const {
    int n = 0;
    for (int y = t; y < b; ++y)
      for (int x = l; x < r; ++x)
        if (at(x, y) != c) ++n;
    return n;
  }
  int countNotOutside(COLORREF c, int l, int t, int r, int b) const {
    return countNot(c, 0, 0, w, h) - countNot(c, l, t, r, b);
  }
};

// Selects a pen and a brush for the lifetime of the object.
struct Tools {
  HDC dc;
  HPEN pen;
  HBRUSH brush;
  HGDIOBJ oldPen, oldBrush;
  Tools(HDC d, COLORREF penColor, COLORREF brushColor, int width = 1) : dc(d) {
    pen = CreatePen(PS_SOLID, width, penColor);
    brush = CreateSolidBrush(brushColor);
    oldPen = SelectObject(dc, pen);
    oldBrush = SelectObject(dc, brush);
  }
  ~Tools() {
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(pen);
    DeleteObject(brush);
  }
};

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

#endif
