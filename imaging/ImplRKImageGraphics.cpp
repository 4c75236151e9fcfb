#include "ImplRKImageGraphics.h"

#include <cstdlib>
#include <cstring>

#include "RKImage.h"

namespace RKSDK {

namespace {

// The fourth byte of every pixel of a 32-bit image's bitmap as loaded. No drawing leaves it:
// GDI's own drawing writes 0, an inverting XOR its complement, and images are blitted with 0
// (keepsImageAlpha). An XOR that keeps the fourth byte changes the colour, which settleAlpha
// compares as well; a pixel drawn in the colour it had is told by the fourth byte alone.
const u8 kUntouched = 0x5A;

bool hasAlpha(u32 pixelType) { return pixelType == RK_PIXEL_ARGB32 || pixelType == RK_PIXEL_BGRA32; }

}  // namespace

ImplRKImageGraphics::ImplRKImageGraphics()
    : dirty(0), width(0), height(0), attached(nullptr), bandType(0), bandTop(0), markedType(0) {}

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
  markedType = 0;
  int bpp = hasAlpha(pixelType) ? 4 : 3;
  width = w;
  height = h;
  bandTop = 0;
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
  // A 32-bit type's bitmap is marked even without pixels to fill it: it is then black and, where
  // nothing is drawn, comes back transparent.
  const u8* src = pixels ? pixels->getData(0) : nullptr;
  bool filled = drawable && src && int64_t(pixels->getSize()) >= int64_t(rowBytes) * h;
  for (int r = 0; r < h && (filled || bpp == 4); ++r) {
    if (filled) dibRow(pixelType, src + size_t(r) * rowBytes, rows + size_t(r) * stride, w);
    if (bpp == 4) markDibRow(rows + size_t(r) * stride, w);
  }
  if (filled || bpp == 4) {
    BITMAPINFO info;
    dibHeader(info, w, h, bpp * 8);
    StretchDIBits(memDC, 0, 0, w, h, 0, 0, w, h, rows, &info, DIB_RGB_COLORS, SRCCOPY);
    if (bpp == 4) markedType = pixelType;
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
  int outBpp = hasAlpha(pixelType) ? 4 : 3;
  bool known = pixelType == RK_PIXEL_RGB24 || pixelType == RK_PIXEL_ARGB32 || pixelType == RK_PIXEL_BGR24 ||
               pixelType == RK_PIXEL_BGRA32;
  if (known && outBpp == 4 && b == 4 && H > 0) {
    // The marks become alpha before the buffer, which normally holds the loaded pixels, is
    // allocated anew. A bitmap without marks has no alpha to give back: all of it is opaque.
    const u8* loaded = nullptr;
    if (markedType && attached && W == width && H == height && int64_t(attached->getSize()) >= int64_t(W) * H * 4)
      loaded = attached->getData(0);
    for (int r = 0; r < H; ++r) {
      u8* row = bits + size_t(H - 1 - r) * stride;
      if (markedType)
        settleAlpha(row, markedType, loaded ? loaded + size_t(r) * size_t(W) * 4 : nullptr, W);
      else
        for (int x = 0; x < W; ++x) row[size_t(x) * 4 + 3] = 255;
    }
  }
  if (known && out && out->allocate(W * H * outBpp) && H > 0) {
    u8* dst = out->getData(0);
    for (int r = 0; r < H; ++r)
      fromDibRow(pixelType, bits + size_t(H - 1 - r) * stride, b, dst + size_t(r) * size_t(W) * outBpp, W);
  }
  std::free(bits);
  dirty = 0;
}

void ImplRKImageGraphics::markDibRow(u8* row, int count) {
  for (int x = 0; x < count; ++x) row[size_t(x) * 4 + 3] = kUntouched;
}

void ImplRKImageGraphics::settleAlpha(u8* row, u32 t, const u8* loaded, int count) {
  // The loaded pixel's blue, green, red and alpha bytes.
  int bi = t == RK_PIXEL_ARGB32 ? 3 : 0, gi = t == RK_PIXEL_ARGB32 ? 2 : 1, ri = t == RK_PIXEL_ARGB32 ? 1 : 2,
      ai = t == RK_PIXEL_ARGB32 ? 0 : 3;
  static const u8 kBlackTransparent[4] = {0, 0, 0, 0};
  for (int x = 0; x < count; ++x, row += 4) {
    const u8* p = loaded ? loaded + size_t(x) * 4 : kBlackTransparent;
    bool untouched = row[3] == kUntouched && row[0] == p[bi] && row[1] == p[gi] && row[2] == p[ri];
    row[3] = untouched ? p[ai] : 255;
  }
}

void ImplRKImageGraphics::fromDibRow(u32 pixelType, const u8* s, int b, u8* d, int count) {
  int outBpp = hasAlpha(pixelType) ? 4 : 3;
  for (int x = 0; x < count; ++x, s += b, d += outBpp) {
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

int ImplRKImageGraphics::attachBand(u32 pixelType, RKBuffer* pixels, int w, int h, int top, int rows) {
  freeBitmap();
  freeDC();
  if (attached) attached->release();
  attached = nullptr;
  markedType = 0;
  bool drawable = pixelType == RK_PIXEL_RGB24 || pixelType == RK_PIXEL_ARGB32 || pixelType == RK_PIXEL_BGR24 ||
                  pixelType == RK_PIXEL_BGRA32;
  int bpp = hasAlpha(pixelType) ? 4 : 3;
  size_t rowBytes = size_t(w) * size_t(bpp);
  if (!drawable || !pixels || w <= 0 || rows <= 0 || top < 0 || int64_t(top) + rows > h ||
      int64_t(pixels->getSize()) < int64_t(rowBytes) * h)
    return 0;
  HDC screen = GetDC(nullptr);
  memDC = CreateCompatibleDC(screen);
  bitmap = memDC ? CreateCompatibleBitmap(screen, w, rows) : nullptr;
  ReleaseDC(nullptr, screen);
  u8* row = bitmap ? static_cast<u8*>(std::malloc(size_t(w) * 4)) : nullptr;
  if (!row) {
    deleteBitmap();
    deleteDC();
    return 0;
  }
  selectBitmap();
  // Row by row, so that no copy of the band is held besides the bitmap.
  BITMAPINFO info;
  dibHeader(info, w, 1, bpp * 8);
  const u8* src = pixels->getData(0) + size_t(top) * rowBytes;
  for (int r = 0; r < rows; ++r) {
    dibRow(pixelType, src + size_t(r) * rowBytes, row, w);
    if (bpp == 4) markDibRow(row, w);
    StretchDIBits(memDC, 0, r, w, 1, 0, 0, w, 1, row, &info, DIB_RGB_COLORS, SRCCOPY);
  }
  std::free(row);
  SetViewportOrgEx(memDC, 0, -top, nullptr);
  width = w;
  height = rows;
  bandType = pixelType;
  bandTop = top;
  attached = pixels;
  attached->addRef();
  dirty = 0;
  return 1;
}

void ImplRKImageGraphics::copyBackBand() {
  if (!memDC || !bitmap || !attached) return;
  bool alpha = hasAlpha(bandType);
  int bpp = alpha ? 4 : 3;
  size_t rowBytes = size_t(width) * size_t(bpp);
  if (int64_t(attached->getSize()) < int64_t(rowBytes) * (int64_t(bandTop) + height)) return;
  u8* row = static_cast<u8*>(std::malloc(size_t(width) * 4));
  if (!row) return;
  // Bottom-up scan lines: line 0 is the band's last row.
  BITMAPINFO info;
  dibHeader(info, width, height, 32);
  info.bmiHeader.biHeight = height;
  u8* out = attached->getData(0) + size_t(bandTop) * rowBytes;
  // Each row's marks are settled against the row of pixels it was loaded from, then written there.
  for (int r = 0; r < height; ++r) {
    if (GetDIBits(memDC, bitmap, UINT(height - 1 - r), 1, row, &info, DIB_RGB_COLORS) != 1) continue;
    if (alpha) settleAlpha(row, bandType, out + size_t(r) * rowBytes, width);
    fromDibRow(bandType, row, 4, out + size_t(r) * rowBytes, width);
  }
  std::free(row);
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
// The path is drawn with the pen and fill of the graphics, as every other shape; the path
// calls leave the dirty flag as it was.
int ImplRKImageGraphics::strokePath() {
  BOOL result = FALSE;
  u32 wasDirty = dirty;
  withPen(1, [&] { result = StrokePath(memDC); });
  dirty = wasDirty;
  return result;
}

int ImplRKImageGraphics::fillPath() {
  BOOL result = FALSE;
  u32 wasDirty = dirty;
  withPenAndBrush([&] { result = FillPath(memDC); });
  dirty = wasDirty;
  return result;
}

int ImplRKImageGraphics::strokeAndFillPath() {
  BOOL result = FALSE;
  u32 wasDirty = dirty;
  withPenAndBrush([&] { result = StrokeAndFillPath(memDC); });
  dirty = wasDirty;
  return result;
}

int ImplRKImageGraphics::closeFigure() { return memDC ? CloseFigure(memDC) : 0; }
int ImplRKImageGraphics::abortPath() { return memDC ? AbortPath(memDC) : 0; }

void ImplRKImageGraphics::flushToWindow(int, int, int, int) {}

}  // namespace RKSDK
