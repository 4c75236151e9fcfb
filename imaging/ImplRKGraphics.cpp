#include "ImplRKGraphics.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

#include "RKImage.h"
#include "RKPixelConvert.h"

namespace RKSDK {

namespace {

// The far edge of a box given by origin and extent, kept in int range: extents come from files
// and may be anything, so the sum is taken in 64 bits and clamped rather than left to overflow.
int edge(long long value) {
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return int(value);
}
int farEdge(int origin, int extent) { return edge((long long)origin + extent); }

}  // namespace

ImplRKGraphics::ImplRKGraphics()
    : memDC(nullptr),
      bitmap(nullptr),
      previousBitmap(nullptr),
      penColor(new RKColor()),
      backgroundColor(new RKColor()),
      fillColor(new RKColor()),
      font(RKFont::createDefault()),
      nullPen(0),
      nullFill(0) {
  penColor->addRef();
  backgroundColor->addRef();
  fillColor->addRef();
}

ImplRKGraphics::~ImplRKGraphics() {
  deleteBitmap();
  deleteDC();
  penColor->release();
  backgroundColor->release();
  fillColor->release();
  if (font) font->release();
}

void ImplRKGraphics::selectBitmap() { previousBitmap = SelectObject(memDC, bitmap); }

void ImplRKGraphics::deleteBitmap() {
  if (!bitmap) return;
  // A bitmap still selected into a device context cannot be deleted.
  if (memDC && previousBitmap) SelectObject(memDC, previousBitmap);
  previousBitmap = nullptr;
  DeleteObject(bitmap);
  bitmap = nullptr;
}

void ImplRKGraphics::deleteDC() {
  if (!memDC) return;
  DeleteDC(memDC);
  memDC = nullptr;
  previousBitmap = nullptr;
}

HFONT ImplRKGraphics::makeFont() {
  if (!font) return nullptr;
  RKString face = font->getFaceName();
  return CreateFontA(font->getHeight(), font->getWidth(), 0, 0, font->getWeight(), font->getItalic(),
                     font->getUnderline(), font->getStrikeOut(), DEFAULT_CHARSET, 0, 0, 0, 0,
                     face.data ? face.data : "");
}

HPEN ImplRKGraphics::makePen(int width) { return CreatePen(nullPen ? PS_NULL : PS_SOLID, width, penColor->getABGR()); }

// The null brush is a stock object, which deleting leaves alone.
HBRUSH ImplRKGraphics::makeFillBrush() {
  return nullFill ? static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)) : CreateSolidBrush(fillColor->getABGR());
}

void ImplRKGraphics::continueFrom(int x, int y) {
  POINT at;
  if (!GetCurrentPositionEx(memDC, &at) || at.x != x || at.y != y) MoveToEx(memDC, x, y, nullptr);
}

void ImplRKGraphics::moveTo(int x, int y) {
  if (memDC) MoveToEx(memDC, x, y, nullptr);
}

void ImplRKGraphics::polylineTo(int fromX, int fromY, RKPoint* points, int count) {
  POINT* pts = memDC ? nativePoints(points, count) : nullptr;
  if (!pts) return;
  withPen(1, [&] {
    continueFrom(fromX, fromY);
    PolylineTo(memDC, pts, DWORD(count));
  });
  std::free(pts);
}

int ImplRKGraphics::polyBezierTo(int fromX, int fromY, RKPoint* points, int count) {
  POINT* pts = memDC ? nativePoints(points, count) : nullptr;
  if (!pts) return 0;
  BOOL result = FALSE;
  withPen(1, [&] {
    continueFrom(fromX, fromY);
    result = PolyBezierTo(memDC, pts, DWORD(count));
  });
  std::free(pts);
  return result;
}

void ImplRKGraphics::drawPolyPolygon(RKPoint* points, const int* counts, int lists, int alternate) {
  if (!counts || lists < 1 || !memDC) return;
  int64_t total = 0;
  for (int i = 0; i < lists; ++i) {
    if (counts[i] < 2) return;
    total += counts[i];
  }
  POINT* pts = total <= INT_MAX ? nativePoints(points, int(total)) : nullptr;
  if (!pts) return;
  withPenAndBrush([&] {
    int oldMode = SetPolyFillMode(memDC, alternate ? ALTERNATE : WINDING);
    PolyPolygon(memDC, pts, counts, lists);
    if (oldMode) SetPolyFillMode(memDC, oldMode);
  });
  std::free(pts);
}

POINT* ImplRKGraphics::nativePoints(RKPoint* points, int count) {
  if (!points || count < 1) return nullptr;
  POINT* pts = static_cast<POINT*>(std::malloc(sizeof(POINT) * size_t(count)));
  if (!pts) return nullptr;
  for (int i = 0; i < count; ++i) pts[i] = POINT{points[i].getX(), points[i].getY()};
  return pts;
}

void ImplRKGraphics::drawRectOutline(int x, int y, int w, int h) {
  withPen(1, [&] {
    POINT pts[5] = {{x, y}, {farEdge(x, w), y}, {farEdge(x, w), farEdge(y, h)}, {x, farEdge(y, h)}, {x, y}};
    MoveToEx(memDC, x, y, nullptr);
    PolylineTo(memDC, pts, 5);
  });
}

void ImplRKGraphics::drawRoundRect(int x, int y, int w, int h, int ew, int eh) {
  withPenAndBrush([&] { RoundRect(memDC, x, y, farEdge(x, w), farEdge(y, h), ew, eh); });
}

void ImplRKGraphics::dibRow(u32 pixelType, const u8* src, u8* dst, int count) {
  switch (pixelType) {
    case RK_PIXEL_RGB24:
      swapRGB24(src, dst, count);
      break;
    case RK_PIXEL_ARGB32:
      reverseRGB32(src, dst, count);
      break;
    default:
      std::memcpy(dst, src, size_t(count) * (pixelType == RK_PIXEL_BGRA32 ? 4 : 3));
      break;
  }
}

void ImplRKGraphics::dibHeader(BITMAPINFO& info, int width, int height, int bitCount) {
  std::memset(&info, 0, sizeof(info));
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = WORD(bitCount);
  info.bmiHeader.biCompression = BI_RGB;
}

u8* ImplRKGraphics::imageBits(RKImage* image, int& sx, int& sy, int& sw, int& sh, BITMAPINFO& info) {
  // Clip the source to the image on every side; the target stays as given, so the part that
  // remains is stretched over the whole target.
  if (sx < 0) {
    sw = edge((long long)sw + sx);
    sx = 0;
  }
  if (sy < 0) {
    sh = edge((long long)sh + sy);
    sy = 0;
  }
  if ((long long)sx + sw > image->getWidth()) sw = image->getWidth() - sx;
  if ((long long)sy + sh > image->getHeight()) sh = image->getHeight() - sy;
  if (sw <= 0 || sh <= 0) return nullptr;
  unsigned int type = image->getPixelType();
  int bpp;
  switch (type) {
    case RK_PIXEL_RGB24:
    case RK_PIXEL_BGR24:
      bpp = 3;
      break;
    case RK_PIXEL_ARGB32:
    case RK_PIXEL_BGRA32:
      bpp = 4;
      break;
    default:
      return nullptr;
  }
  RKBuffer* crop = image->cropBuffer(sx, sy, sx + sw, sy + sh);
  if (!crop) return nullptr;
  size_t rowBytes = size_t(sw) * size_t(bpp);
  size_t stride = ((rowBytes + 3) / 4) * 4;
  u8* bits = nullptr;
  if (int64_t(crop->getSize()) >= int64_t(rowBytes) * sh) bits = static_cast<u8*>(std::calloc(stride, size_t(sh)));
  if (bits) {
    const u8* src = crop->getData(0);
    bool clearAlpha = bpp == 4 && !keepsImageAlpha();
    for (int r = 0; r < sh; ++r) {
      u8* row = bits + size_t(r) * stride;
      dibRow(type, src + size_t(r) * rowBytes, row, sw);
      if (clearAlpha)
        for (int x = 0; x < sw; ++x) row[size_t(x) * 4 + 3] = 0;
    }
    dibHeader(info, sw, sh, bpp * 8);
  }
  crop->release();
  return bits;
}

int ImplRKGraphics::drawImage(RKImage* image, int sx, int sy, int sw, int sh, int tx, int ty, int tw, int th) {
  if (!image || !memDC) return 0;
  bool hold = holdsDrawnImage();
  if (hold) image->addRef();
  BITMAPINFO info;
  u8* bits = imageBits(image, sx, sy, sw, sh, info);
  int result = 0;
  if (bits) {
    SetStretchBltMode(memDC, COLORONCOLOR);
    StretchDIBits(memDC, tx, ty, tw, th, 0, 0, sw, sh, bits, &info, DIB_RGB_COLORS, SRCCOPY);
    std::free(bits);
    drawn();
    result = 1;
  }
  if (hold) image->release();
  return result;
}

int ImplRKGraphics::drawImage(RKImage* image, int x, int y, int w, int h) {
  if (!image) return 0;
  return drawImage(image, 0, 0, image->getWidth(), image->getHeight(), x, y, w, h);
}

int ImplRKGraphics::drawImage(RKImage* image, int x, int y) {
  if (!image) return 0;
  return drawImage(image, 0, 0, image->getWidth(), image->getHeight(), x, y, image->getWidth(), image->getHeight());
}

int ImplRKGraphics::drawImageTransparent(RKImage* image, int sx, int sy, int sw, int sh, int tx, int ty, int tw, int th,
                                         RKColor key) {
  if (!image || !memDC) return 0;
  image->addRef();
  BITMAPINFO info;
  u8* bits = imageBits(image, sx, sy, sw, sh, info);
  int result = 0;
  if (bits) {
    HDC tmpDC = CreateCompatibleDC(memDC);
    HBITMAP tmpBitmap = tmpDC ? CreateCompatibleBitmap(memDC, sw, sh) : nullptr;
    if (tmpBitmap) {
      HGDIOBJ old = SelectObject(tmpDC, tmpBitmap);
      StretchDIBits(tmpDC, 0, 0, sw, sh, 0, 0, sw, sh, bits, &info, DIB_RGB_COLORS, SRCCOPY);
      // The key as a plain RGB colour: a set top byte would make it a palette form that matches nothing.
      TransparentBlt(memDC, tx, ty, tw, th, tmpDC, 0, 0, sw, sh, key.getABGR() & 0x00FFFFFFu);
      SelectObject(tmpDC, old);
      DeleteObject(tmpBitmap);
      drawn();
      result = 1;
    }
    if (tmpDC) DeleteDC(tmpDC);
    std::free(bits);
  }
  image->release();
  return result;
}

int ImplRKGraphics::drawArc(int x, int y, int w, int h, int startX, int startY, int endX, int endY) {
  return withPen(1, [&] { Arc(memDC, x, y, farEdge(x, w), farEdge(y, h), startX, startY, endX, endY); }) ? 1 : 0;
}

void ImplRKGraphics::drawLine(int x1, int y1, int x2, int y2, int width) {
  if (width < 1) return;
  withPen(width, [&] {
    MoveToEx(memDC, x1, y1, nullptr);
    LineTo(memDC, x2, y2);
  });
}

void ImplRKGraphics::drawOval(int x, int y, int w, int h) {
  withPen(1, [&] { Arc(memDC, x, y, farEdge(x, w), farEdge(y, h), x, y, x, y); });
}

void ImplRKGraphics::drawPolyline(RKPoint* points, int count) {
  if (count < 1 || !points) return;
  POINT* pts = nativePoints(points, count);
  if (!pts) return;
  withPen(1, [&] {
    MoveToEx(memDC, pts[0].x, pts[0].y, nullptr);
    PolylineTo(memDC, pts, DWORD(count));
  });
  std::free(pts);
}

int ImplRKGraphics::drawBezier(RKPoint* points, int count) {
  if (!memDC) return 0;
  POINT* pts = nativePoints(points, count);
  if (!pts) return 0;
  BOOL result = FALSE;
  withPen(1, [&] { result = PolyBezier(memDC, pts, DWORD(count)); });
  std::free(pts);
  return result;
}

template <class Draw>
void ImplRKGraphics::withFont(bool textColour, Draw draw) {
  if (!memDC || !font) return;
  HFONT f = makeFont();
  SaveDC(memDC);
  SelectObject(memDC, f);
  if (textColour) SetTextColor(memDC, penColor->getABGR());
  draw();
  RestoreDC(memDC, -1);
  if (f) DeleteObject(f);
  drawn();
}

void ImplRKGraphics::drawText(RKString text, RKRect rect, u32 format) {
  withFont(true, [&] {
    RECT r{rect.getX(), rect.getY(), farEdge(rect.getX(), rect.getWidth()), farEdge(rect.getY(), rect.getHeight())};
    DrawTextA(memDC, text.data ? text.data : "", int(text.length), &r, format);
  });
}

void ImplRKGraphics::drawString(RKString text, int x, int y) {
  withFont(true, [&] { TextOutA(memDC, x, y, text.data ? text.data : "", int(text.length)); });
}

void ImplRKGraphics::setPixel(int x, int y, RKColor color) {
  if (!memDC) return;
  SetPixel(memDC, x, y, color.getABGR());
  drawn();
}

void ImplRKGraphics::drawPie(int x, int y, int w, int h, int startX, int startY, int endX, int endY) {
  withPenAndBrush([&] { Pie(memDC, x, y, farEdge(x, w), farEdge(y, h), startX, startY, endX, endY); });
}

void ImplRKGraphics::drawEllipse(int x, int y, int w, int h) {
  withPenAndBrush([&] { Ellipse(memDC, x, y, farEdge(x, w), farEdge(y, h)); });
}

void ImplRKGraphics::drawRect(int x, int y, int w, int h) {
  withPenAndBrush([&] { Rectangle(memDC, x, y, farEdge(x, w), farEdge(y, h)); });
}

void ImplRKGraphics::drawPolygon(RKPoint* points, int count, int alternate) {
  if (count < 1 || !points || !memDC) return;
  POINT* pts = nativePoints(points, count);
  if (!pts) return;
  withPenAndBrush([&] {
    int oldMode = SetPolyFillMode(memDC, alternate ? ALTERNATE : WINDING);
    Polygon(memDC, pts, count);
    if (oldMode) SetPolyFillMode(memDC, oldMode);
  });
  std::free(pts);
}

RKFont* ImplRKGraphics::getFont() {
  if (font) font->addRef();
  return font;
}

int ImplRKGraphics::setFont(RKFont* newFont) {
  if (!newFont) return 0;
  newFont->addRef();
  if (font) font->release();
  font = newFont;
  return 1;
}

RKColor* ImplRKGraphics::getBackgroundColor() {
  backgroundColor->addRef();
  return backgroundColor;
}

RKColor* ImplRKGraphics::getColor() {
  penColor->addRef();
  return penColor;
}

RKColor* ImplRKGraphics::getFillColor() {
  fillColor->addRef();
  return fillColor;
}

void ImplRKGraphics::setTransparentText(int transparent) {
  if (memDC) SetBkMode(memDC, transparent ? TRANSPARENT : OPAQUE);
}

void ImplRKGraphics::fillRect(RKRect rect) {
  if (!canFill()) return;
  HBRUSH b = CreateSolidBrush(backgroundColor->getABGR());
  RECT r{rect.getX(), rect.getY(), farEdge(rect.getX(), rect.getWidth()), farEdge(rect.getY(), rect.getHeight())};
  FillRect(memDC, &r, b);
  DeleteObject(b);
  drawn();
}

void ImplRKGraphics::clear() {
  if (!canFill()) return;
  HBRUSH b = CreateSolidBrush(backgroundColor->getABGR());
  RECT r = clearArea();
  FillRect(memDC, &r, b);
  DeleteObject(b);
  drawn();
}

void ImplRKGraphics::drawDisabledText(RKString text, int x, int y) {
  withFont(false, [&] {
    DrawStateA(memDC, nullptr, nullptr, LPARAM(text.data ? text.data : ""), 0, x, y, 0, 0,
               DST_PREFIXTEXT | DSS_DISABLED);
  });
}

void ImplRKGraphics::drawFocusRect(int x, int y, int w, int h, int thickness) {
  if (!memDC || thickness < 1) return;
  for (int i = 0; i < thickness; ++i) {
    RECT r{edge((long long)x + i), edge((long long)y + i), edge((long long)x + w - i), edge((long long)y + h - i)};
    DrawFocusRect(memDC, &r);
  }
  drawn();
}

RKSize ImplRKGraphics::getTextSize(RKString text) {
  if (!canMeasure()) return RKSize(0, 0);
  HFONT f = makeFont();
  SaveDC(memDC);
  if (f) SelectObject(memDC, f);
  SIZE sz{0, 0};
  BOOL ok = GetTextExtentPoint32A(memDC, text.data ? text.data : "", int(text.length), &sz);
  RestoreDC(memDC, -1);
  if (f) DeleteObject(f);
  return ok ? RKSize(sz.cx, sz.cy) : RKSize(0, 0);
}

int ImplRKGraphics::getFontHeight() {
  if (!canMeasure()) return -1;
  TEXTMETRICA tm;
  if (!GetTextMetricsA(memDC, &tm)) return -1;
  return tm.tmHeight;
}

}  // namespace RKSDK
