#include "ComponentGraphics.h"

#include <cstdlib>

namespace RKSDK {

ComponentGraphics::ComponentGraphics() : window(nullptr), surfaceX(0), surfaceY(0), surfaceWidth(0), surfaceHeight(0) {}

ComponentGraphics::~ComponentGraphics() {}

void ComponentGraphics::create(HDC windowDC, int width, int height) {
  freeBitmap();
  freeDC();
  surfaceX = 0;
  surfaceY = 0;
  surfaceWidth = width;
  surfaceHeight = height;
  memDC = CreateCompatibleDC(windowDC);
  if (!memDC) return;
  bitmap = CreateCompatibleBitmap(windowDC, width, height);
  if (!bitmap) {
    DeleteDC(memDC);
    memDC = nullptr;
    return;
  }
  selectBitmap();
}

void ComponentGraphics::setWindow(HWND w) { window = w; }

void ComponentGraphics::setColor(RKColor color) { penColor->setARGB(color.getARGB()); }

void ComponentGraphics::setBackgroundColor(RKColor color) { backgroundColor->setARGB(color.getARGB()); }

void ComponentGraphics::flush(HDC target, RKRect rect) {
  if (!memDC) return;
  BitBlt(target, rect.getX(), rect.getY(), rect.getWidth(), rect.getHeight(), memDC, rect.getX(), rect.getY(), SRCCOPY);
}

void ComponentGraphics::freeBitmap() { deleteBitmap(); }

void ComponentGraphics::freeDC() { deleteDC(); }

RECT ComponentGraphics::clearArea() {
  // The surface rectangle's fields taken as left, top, right and bottom: the whole buffer.
  return RECT{surfaceX, surfaceY, surfaceWidth, surfaceHeight};
}

void ComponentGraphics::flushToWindow(int x, int y, int w, int h) {
  if (!window) return;
  HDC dc = GetWindowDC(window);
  if (!dc) return;
  if (memDC) BitBlt(dc, x, y, w, h, memDC, x, y, SRCCOPY);
  ReleaseDC(window, dc);
}

int ComponentGraphics::readPixels(RKBuffer* out, u32* width, u32* height) {
  if (!memDC || !bitmap) return 0;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biBitCount = 0;
  if (!GetDIBits(memDC, bitmap, 0, 0, nullptr, &info, DIB_RGB_COLORS)) return 0;
  int w = info.bmiHeader.biWidth, h = info.bmiHeader.biHeight;
  if (width) *width = u32(w);
  if (height) *height = u32(h);
  u8* bits = static_cast<u8*>(std::malloc(info.bmiHeader.biSizeImage ? info.bmiHeader.biSizeImage : 1));
  if (!bits) return 0;
  if (GetDIBits(memDC, bitmap, 0, UINT(h), bits, &info, DIB_RGB_COLORS) != h) {
    std::free(bits);
    return 0;
  }
  int bpp = info.bmiHeader.biBitCount / 8;
  size_t stride = ((size_t(w) * bpp + 3) / 4) * 4;
  if (out && h > 0 && out->allocate(w * h * 3)) {
    u8* dst = out->getData(0);
    for (int r = 0; r < h; ++r) {
      const u8* s = bits + size_t(h - 1 - r) * stride;
      u8* d = dst + size_t(r) * size_t(w) * 3;
      for (int x = 0; x < w; ++x) {
        d[x * 3] = s[x * bpp];
        d[x * 3 + 1] = s[x * bpp + 1];
        d[x * 3 + 2] = s[x * bpp + 2];
      }
    }
  }
  std::free(bits);
  return 1;
}

}  // namespace RKSDK
