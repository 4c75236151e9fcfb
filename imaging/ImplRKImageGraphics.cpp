#include "ImplRKImageGraphics.h"

#include <cstdlib>
#include <cstring>

#include "RKImage.h"

namespace RKSDK {

ImplRKImageGraphics::ImplRKImageGraphics() : dirty(0), width(0), height(0), attached(nullptr) {}

ImplRKImageGraphics::~ImplRKImageGraphics() {
  if (attached) attached->release();
}

u32 ImplRKImageGraphics::isDirty() { return dirty; }

void ImplRKImageGraphics::attach(u32 pixelType, RKBuffer* pixels, int w, int h) {
  if (!pixels || w <= 0 || h <= 0) return;
  load(pixelType, pixels, w, h);
  dirty = 0;
}

void ImplRKImageGraphics::freeBitmap() { deleteBitmap(); }

void ImplRKImageGraphics::freeDC() { deleteDC(); }

void ImplRKImageGraphics::load(u32 pixelType, RKBuffer* pixels, int w, int h) {
  freeBitmap();
  freeDC();
  if (attached) attached->release();
  attached = nullptr;
  int bpp = (pixelType == RK_PIXEL_ARGB32 || pixelType == RK_PIXEL_BGRA32) ? 4 : 3;
  width = w;
  height = h;
  HDC screen = GetDC(nullptr);
  memDC = CreateCompatibleDC(screen);
  if (!memDC) {
    ReleaseDC(nullptr, screen);
    return;
  }
  bitmap = CreateCompatibleBitmap(screen, w, h);
  if (!bitmap) {
    deleteDC();
    ReleaseDC(nullptr, screen);
    return;
  }
  selectBitmap();
  size_t rowBytes = size_t(w) * size_t(bpp);
  size_t stride = ((rowBytes + 3) / 4) * 4;
  u8* rows = static_cast<u8*>(std::calloc(stride, size_t(h > 0 ? h : 1)));
  if (!rows) {
    deleteBitmap();
    deleteDC();
    ReleaseDC(nullptr, screen);
    return;
  }
  // Rows are filled only for the drawable types, and only when the buffer really holds
  // width x height pixels (the image may have been given a new buffer before its new size).
  bool drawable = pixelType == RK_PIXEL_RGB24 || pixelType == RK_PIXEL_ARGB32 || pixelType == RK_PIXEL_BGR24 ||
                  pixelType == RK_PIXEL_BGRA32;
  const u8* src = pixels ? pixels->getData(0) : nullptr;
  if (drawable && src && int64_t(pixels->getSize()) >= int64_t(rowBytes) * h) {
    for (int r = 0; r < h; ++r) dibRow(pixelType, src + size_t(r) * rowBytes, rows + size_t(r) * stride, w);
    BITMAPINFO info;
    dibHeader(info, w, h, bpp * 8);
    StretchDIBits(memDC, 0, 0, w, h, 0, 0, w, h, rows, &info, DIB_RGB_COLORS, SRCCOPY);
  }
  std::free(rows);
  ReleaseDC(nullptr, screen);
  attached = pixels;
  if (attached) attached->addRef();
}

void ImplRKImageGraphics::copyBack(u32 pixelType, RKBuffer* out) {
  if (!memDC || !bitmap) return;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  if (!GetDIBits(memDC, bitmap, 0, 0, nullptr, &info, DIB_RGB_COLORS)) return;
  int b = info.bmiHeader.biBitCount / 8;
  int W = info.bmiHeader.biWidth, H = info.bmiHeader.biHeight;
  u8* bits = static_cast<u8*>(std::malloc(info.bmiHeader.biSizeImage ? info.bmiHeader.biSizeImage : 1));
  if (!bits) return;
  if (GetDIBits(memDC, bitmap, 0, UINT(H), bits, &info, DIB_RGB_COLORS) != H) {
    std::free(bits);
    return;
  }
  size_t stride = ((size_t(W) * b + 3) / 4) * 4;
  int outBpp = (pixelType == RK_PIXEL_ARGB32 || pixelType == RK_PIXEL_BGRA32) ? 4 : 3;
  bool known = pixelType == RK_PIXEL_RGB24 || pixelType == RK_PIXEL_ARGB32 || pixelType == RK_PIXEL_BGR24 ||
               pixelType == RK_PIXEL_BGRA32;
  if (known && out && out->allocate(W * H * outBpp) && H > 0) {
    u8* dst = out->getData(0);
    for (int r = 0; r < H; ++r) {
      const u8* s = bits + size_t(H - 1 - r) * stride;
      u8* d = dst + size_t(r) * size_t(W) * outBpp;
      for (int x = 0; x < W; ++x, s += b, d += outBpp) {
        switch (pixelType) {
          case RK_PIXEL_RGB24:
            d[0] = s[2];
            d[1] = s[1];
            d[2] = s[0];
            break;
          case RK_PIXEL_ARGB32:
            d[0] = b == 3 ? 255 : s[3];
            d[1] = s[2];
            d[2] = s[1];
            d[3] = s[0];
            break;
          case RK_PIXEL_BGR24:
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
            break;
          default:
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
            d[3] = b == 3 ? 255 : s[3];
            break;
        }
      }
    }
  }
  std::free(bits);
  dirty = 0;
}

void ImplRKImageGraphics::drawPolyline(RKPoint* points, int count) {
  if (count < 1 || !points) return;
  withPen(1, [&] {
    MoveToEx(memDC, points[0].getX(), points[0].getY(), nullptr);
    for (int i = 1; i < count; ++i) LineTo(memDC, points[i].getX(), points[i].getY());
  });
}

int ImplRKImageGraphics::beginPath() { return memDC ? BeginPath(memDC) : 0; }
int ImplRKImageGraphics::endPath() { return memDC ? EndPath(memDC) : 0; }
int ImplRKImageGraphics::strokePath() { return memDC ? StrokePath(memDC) : 0; }
int ImplRKImageGraphics::fillPath() { return memDC ? FillPath(memDC) : 0; }
int ImplRKImageGraphics::strokeAndFillPath() { return memDC ? StrokeAndFillPath(memDC) : 0; }

void ImplRKImageGraphics::flushToWindow(int, int, int, int) {}

}  // namespace RKSDK
