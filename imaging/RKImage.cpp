#include "RKImage.h"

#include "ImplRKImageGraphics.h"

#include <cstring>
#include <new>

namespace RKSDK {

namespace {

// A new buffer holding a copy of length bytes (one reference), or null.
RKBuffer* copyBytes(const void* data, int length) {
  if (length < 0) return nullptr;
  RKBuffer* buffer = new (std::nothrow) RKBuffer();
  if (!buffer) return nullptr;
  buffer->addRef();
  if (length > 0) {
    if (!buffer->allocate(length)) {
      buffer->release();
      return nullptr;
    }
    if (data)
      buffer->writeAt(0, data, length);
    else
      std::memset(buffer->getData(0), 0, length);
  }
  return buffer;
}

bool rangeInside(int64_t offset, int64_t count, int64_t size) {
  return offset >= 0 && count >= 0 && offset + count <= size;
}

}  // namespace

RKImage::RKImage() { init(); }

RKImage::RKImage(unsigned int pixelType, const void* data, int length, int left, int top, int width, int height,
                 unsigned int delay) {
  init();
  m_pixelType = pixelType;
  m_pixels = copyBytes(data, length);
  m_left = left;
  m_top = top;
  m_width = width;
  m_height = height;
  m_delay = delay;
}

RKImage::RKImage(unsigned int pixelType, RKBuffer* pixels, int left, int top, int width, int height,
                 unsigned int delay) {
  init();
  m_pixelType = pixelType;
  m_pixels = pixels;
  if (m_pixels) m_pixels->addRef();
  m_left = left;
  m_top = top;
  m_width = width;
  m_height = height;
  m_delay = delay;
}

void RKImage::init() {
  appendClassName("RKImage");
  m_delay = 0;
  m_pixels = nullptr;
  m_extra = nullptr;
  m_left = m_top = m_width = m_height = 0;
  m_pixelType = 0;
  m_densityX = m_densityY = 0;
  m_hasTransparent = 0;
  m_graphics = nullptr;
}

RKImage::~RKImage() {
  releaseGraphics();
  if (m_pixels) m_pixels->release();
  if (m_extra) m_extra->release();
}

// The drawing back-end is made on the first request and attached to the pixels; pending
// drawing is copied back before the pixels are read.
IRKGraphics* RKImage::getGraphics() {
  if (!m_graphics) {
    ImplRKImageGraphics* g = new (std::nothrow) ImplRKImageGraphics();
    if (!g) return nullptr;
    g->addRef();
    m_graphics = g;
    g->attach(m_pixelType, m_pixels, m_width, m_height);
  }
  m_graphics->addRef();
  return m_graphics;
}

void RKImage::syncGraphics() {
  ImplRKImageGraphics* g = dynamic_cast<ImplRKImageGraphics*>(m_graphics);
  if (g && m_pixels && g->isDirty()) g->copyBack(m_pixelType, m_pixels);
}

void RKImage::reattachGraphics() {
  ImplRKImageGraphics* g = dynamic_cast<ImplRKImageGraphics*>(m_graphics);
  if (g) g->attach(m_pixelType, m_pixels, m_width, m_height);
}

void RKImage::releaseGraphics() {
  if (m_graphics) m_graphics->release();
  m_graphics = nullptr;
}

int RKImage::getLeft() { return m_left; }
void RKImage::setLeft(int left) { m_left = left; }
int RKImage::getTop() { return m_top; }
void RKImage::setTop(int top) { m_top = top; }
int RKImage::getWidth() { return m_width; }
void RKImage::setWidth(int width) { m_width = width; }
int RKImage::getHeight() { return m_height; }
void RKImage::setHeight(int height) { m_height = height; }
unsigned int RKImage::getPixelType() { return m_pixelType; }
unsigned int RKImage::getDelay() { return m_delay; }
void RKImage::setDelay(unsigned int delay) { m_delay = delay; }

void RKImage::setPixels(unsigned int pixelType, const void* data, int length) {
  if (m_pixels) m_pixels->release();
  m_pixelType = pixelType;
  m_pixels = copyBytes(data, length);
  reattachGraphics();
}

void RKImage::setBuffer(unsigned int pixelType, RKBuffer* pixels) {
  if (pixels) pixels->addRef();
  if (m_pixels) m_pixels->release();
  m_pixelType = pixelType;
  m_pixels = pixels;
  if (m_pixels) reattachGraphics();
}

RKBuffer* RKImage::getExtraBuffer() {
  if (m_extra) m_extra->addRef();
  return m_extra;
}

void RKImage::setExtraData(const void* data, int length) {
  if (m_extra) m_extra->release();
  m_extra = copyBytes(data, length);
}

void RKImage::setExtraBuffer(RKBuffer* extra) {
  if (extra) extra->addRef();
  if (m_extra) m_extra->release();
  m_extra = extra;
}

RKBuffer* RKImage::getBuffer() {
  if (!m_pixels) return nullptr;
  syncGraphics();
  m_pixels->addRef();
  return m_pixels;
}

int RKImage::bytesPerPixel(unsigned int pixelType) {
  switch (pixelType) {
    case RK_PIXEL_RGB565:
    case RK_PIXEL_RGB555:
    case RK_PIXEL_OTHER16:
      return 2;
    case RK_PIXEL_RGB24:
    case RK_PIXEL_BGR24:
    case RK_PIXEL_OTHER24:
      return 3;
    case RK_PIXEL_ARGB32:
    case RK_PIXEL_BGRA32:
    case RK_PIXEL_CMYK32:
      return 4;
    case RK_PIXEL_INDEX8:
    case RK_PIXEL_GREY8:
    case RK_PIXEL_BILEVEL:
      return 1;
    default:
      return 0;
  }
}

int64_t RKImage::pixelBytes(unsigned int pixelType, int width, int height) {
  if (width < 0 || height < 0) return -1;
  int64_t area = static_cast<int64_t>(width) * height;
  if (pixelType == RK_PIXEL_YUV420) return area + 2 * (area / 4);
  int bpp = bytesPerPixel(pixelType);
  return bpp ? area * bpp : -1;
}

int RKImage::hasAllPixels() {
  if (!m_pixels) return 0;
  int64_t need = pixelBytes(m_pixelType, m_width, m_height);
  return need >= 0 && need <= m_pixels->getSize() ? 1 : 0;
}

RKBuffer* RKImage::cropBuffer(int x0, int y0, int x1, int y1) {
  if (x0 < 0) x0 = 0;
  if (y0 < 0) y0 = 0;
  if (x1 > m_width) x1 = m_width;
  if (y1 > m_height) y1 = m_height;
  if (!(x0 < x1 && y0 < y1)) return nullptr;
  syncGraphics();
  if (!hasAllPixels()) return nullptr;
  const uint8_t* src = m_pixels->getData(0);
  int64_t srcSize = m_pixels->getSize();

  if (m_pixelType == RK_PIXEL_YUV420) {
    if ((x1 - x0) % 2) --x1;
    if (x0 == x1) return nullptr;
    int w = x1 - x0, h = y1 - y0;
    int64_t fullW = m_width, fullArea = fullW * m_height;
    int64_t area = static_cast<int64_t>(w) * h;
    RKBuffer* out = copyBytes(nullptr, static_cast<int>(area * 3 / 2));
    if (!out) return nullptr;
    uint8_t* dst = out->getData(0);
    int64_t dstSize = out->getSize();
    const int64_t srcPlane[2] = {fullArea, fullArea + fullArea / 4};
    const int64_t dstPlane[2] = {area, area + area / 4};
    for (int i = 0; i < h; ++i) {
      int64_t y = y0 + i;
      int64_t from = y * fullW + x0, to = static_cast<int64_t>(i) * w;
      if (!rangeInside(from, w, srcSize) || !rangeInside(to, w, dstSize)) {
        out->release();
        return nullptr;
      }
      std::memcpy(dst + to, src + from, w);
      for (int p = 0; p < 2; ++p) {
        int64_t qFrom = srcPlane[p] + (fullW * y + x0) / 4;
        int64_t qTo = dstPlane[p] + (static_cast<int64_t>(w) * i) / 4;
        if (!rangeInside(qFrom, w / 4, srcSize) || !rangeInside(qTo, w / 4, dstSize)) {
          out->release();
          return nullptr;
        }
        std::memcpy(dst + qTo, src + qFrom, w / 4);
      }
    }
    return out;
  }

  int bpp = bytesPerPixel(m_pixelType);
  if (!bpp) return nullptr;
  int w = x1 - x0, h = y1 - y0;
  int64_t rowBytes = static_cast<int64_t>(w) * bpp;
  RKBuffer* out = copyBytes(nullptr, static_cast<int>(rowBytes * h));
  if (!out) return nullptr;
  uint8_t* dst = out->getData(0);
  int64_t srcStride = static_cast<int64_t>(m_width) * bpp;
  for (int r = 0; r < h; ++r)
    std::memcpy(dst + r * rowBytes, src + (y0 + r) * srcStride + static_cast<int64_t>(x0) * bpp, rowBytes);
  return out;
}

int RKImage::getTransparentColor(RKColor& out) {
  if (!m_hasTransparent) return 0;
  out = m_transparent;
  return 1;
}

int RKImage::setTransparentColor(const RKColor& color) {
  m_transparent = color;
  m_hasTransparent = 1;
  return 1;
}

void RKImage::getDensity(unsigned int* x, unsigned int* y) {
  if (x) *x = m_densityX;
  if (y) *y = m_densityY;
}

void RKImage::setDensity(unsigned int x, unsigned int y) {
  m_densityX = x;
  m_densityY = y;
}

RKImage* RKImage::clone() {
  if (!m_pixels) return nullptr;
  syncGraphics();
  RKImage* copy = new (std::nothrow)
      RKImage(m_pixelType, m_pixels->getData(0), m_pixels->getSize(), m_left, m_top, m_width, m_height, m_delay);
  if (!copy) return nullptr;
  copy->addRef();
  return copy;
}

RKImage& RKImage::operator=(const RKImage& other) {
  if (this == &other) return *this;
  RKImage& src = const_cast<RKImage&>(other);
  if (m_extra) m_extra->release();
  m_extra = nullptr;
  if (m_pixels) m_pixels->release();
  m_pixels = nullptr;
  m_delay = src.m_delay;
  m_left = src.m_left;
  m_top = src.m_top;
  m_width = src.m_width;
  m_height = src.m_height;
  m_pixelType = src.m_pixelType;
  m_transparent = src.m_transparent;
  m_hasTransparent = src.m_hasTransparent;
  m_extra = src.m_extra;
  if (m_extra) m_extra->addRef();
  // Pending drawing on the other image is copied in first, so the copy shows what was drawn.
  src.syncGraphics();
  if (src.m_pixels && src.m_pixels->getSize() > 0)
    m_pixels = copyBytes(src.m_pixels->getData(0), src.m_pixels->getSize());
  releaseGraphics();
  return *this;
}

}  // namespace RKSDK
