#include "RKPixelConvert.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace RKSDK {

namespace {

inline unsigned word16(const uint8_t* p) { return static_cast<unsigned>(p[0]) | (static_cast<unsigned>(p[1]) << 8); }

template <int OutBytes>
int convert555(const void* src, void* dst, int count) {
  const uint8_t* s = static_cast<const uint8_t*>(src);
  uint8_t* d = static_cast<uint8_t*>(dst);
  for (int i = 0; i < count; ++i, s += 2, d += OutBytes) {
    unsigned w = word16(s);
    d[0] = static_cast<uint8_t>((w << 3) & 0xFF);
    d[1] = static_cast<uint8_t>((w >> 2) & 0xF8);
    d[2] = static_cast<uint8_t>((w >> 7) & 0xF8);
    if (OutBytes == 4) d[3] = 255;
  }
  return 1;
}

template <int OutBytes>
int convert565(const void* src, void* dst, int count) {
  const uint8_t* s = static_cast<const uint8_t*>(src);
  uint8_t* d = static_cast<uint8_t*>(dst);
  for (int i = 0; i < count; ++i, s += 2, d += OutBytes) {
    unsigned w = word16(s);
    d[0] = static_cast<uint8_t>((w << 3) & 0xFF);
    d[1] = static_cast<uint8_t>((w >> 3) & 0xFC);
    d[2] = static_cast<uint8_t>((w >> 8) & 0xF8);
    if (OutBytes == 4) d[3] = 255;
  }
  return 1;
}

// Byte offsets of the channels of the four drawable types; alpha -1 when the type has none.
struct Layout {
  int red, green, blue, alpha, bytes;
};

bool layoutOf(unsigned int type, Layout& out) {
  switch (type) {
    case RK_PIXEL_RGB24:
      out = {0, 1, 2, -1, 3};
      return true;
    case RK_PIXEL_ARGB32:
      out = {1, 2, 3, 0, 4};
      return true;
    case RK_PIXEL_BGR24:
      out = {2, 1, 0, -1, 3};
      return true;
    case RK_PIXEL_BGRA32:
      out = {2, 1, 0, 3, 4};
      return true;
    default:
      return false;
  }
}

inline uint8_t blend(unsigned s, unsigned d, unsigned a) {
  return static_cast<uint8_t>((s * a) / 255 + (d * (255 - a)) / 255);
}

RKImage* makeCanvas(int width, int height, unsigned int delay) {
  if (width < 0 || height < 0) return nullptr;
  int64_t bytes = static_cast<int64_t>(width) * height * 3;
  if (bytes > 0x7FFFFFFF) return nullptr;
  uint8_t* pixels = static_cast<uint8_t*>(std::malloc(bytes > 0 ? bytes : 1));
  if (!pixels) return nullptr;
  std::memset(pixels, 0xFF, bytes);
  for (int row = 0; row < height; ++row) {
    uint8_t* line = pixels + static_cast<int64_t>(row) * width * 3;
    for (int cell = 0; cell * 8 < width; ++cell) {
      if (((row / 8) + cell) % 2 == 0) continue;
      int end = cell * 8 + 8 < width ? cell * 8 + 8 : width;
      std::memset(line + cell * 8 * 3, 0xCD, (end - cell * 8) * 3);
    }
  }
  RKImage* canvas =
      new (std::nothrow) RKImage(RK_PIXEL_RGB24, pixels, static_cast<int>(bytes), 0, 0, width, height, delay);
  std::free(pixels);
  if (canvas) canvas->addRef();
  return canvas;
}

}  // namespace

int convertRGB555ToBGR(const void* src, void* dst, int count) { return convert555<3>(src, dst, count); }
int convertRGB555ToBGRA(const void* src, void* dst, int count) { return convert555<4>(src, dst, count); }
int convertRGB565ToBGR(const void* src, void* dst, int count) { return convert565<3>(src, dst, count); }
int convertRGB565ToBGRA(const void* src, void* dst, int count) { return convert565<4>(src, dst, count); }

int swapRGB24(const void* src, void* dst, int count) {
  const uint8_t* s = static_cast<const uint8_t*>(src);
  uint8_t* d = static_cast<uint8_t*>(dst);
  for (int i = 0; i < count; ++i, s += 3, d += 3) {
    d[0] = s[2];
    d[1] = s[1];
    d[2] = s[0];
  }
  return 1;
}

int reverseRGB32(const void* src, void* dst, int count) {
  const uint8_t* s = static_cast<const uint8_t*>(src);
  uint8_t* d = static_cast<uint8_t*>(dst);
  for (int i = 0; i < count; ++i, s += 4, d += 4) {
    d[0] = s[3];
    d[1] = s[2];
    d[2] = s[1];
    d[3] = s[0];
  }
  return 1;
}

int expandRGB24To32(const void* src, void* dst, int count) {
  const uint8_t* s = static_cast<const uint8_t*>(src);
  uint8_t* d = static_cast<uint8_t*>(dst);
  for (int i = 0; i < count; ++i, s += 3, d += 4) {
    d[0] = s[0];
    d[1] = s[1];
    d[2] = s[2];
    d[3] = 255;
  }
  return 1;
}

RKImage* composeImage(int width, int height, RKImage* destination, RKImage* source, int x, int y) {
  if (!source) return nullptr;
  RKImage* result;
  if (destination) {
    result = destination->clone();
    if (!result) return nullptr;
    result->setDelay(source->getDelay());
  } else {
    result = makeCanvas(width, height, source->getDelay());
    if (!result) return nullptr;
  }

  Layout dl, sl;
  if (!layoutOf(result->getPixelType(), dl) || !layoutOf(source->getPixelType(), sl)) {
    result->release();
    return nullptr;
  }

  const int W = result->getWidth(), H = result->getHeight();
  const int sw = source->getWidth(), sh = source->getHeight();
  if (x > W || y > H) return result;
  int srcCol, dstCol, cols, srcRow, dstRow, rows;
  if (x < 0) {
    srcCol = -x;
    dstCol = 0;
    cols = sw + x;
  } else {
    srcCol = 0;
    dstCol = x;
    cols = sw;
  }
  if (cols < 1) return result;
  if (y < 0) {
    srcRow = -y;
    dstRow = 0;
    rows = sh + y;
  } else {
    srcRow = 0;
    dstRow = y;
    rows = sh;
  }
  if (rows < 1) return result;
  if (dstCol + cols > W) cols = W - dstCol;
  if (dstRow + rows > H) rows = H - dstRow;
  if (cols < 1 || rows < 1) return result;

  // Both buffers must hold every pixel that their sizes promise before they are walked.
  if (!result->hasAllPixels() || !source->hasAllPixels()) {
    result->release();
    return nullptr;
  }
  RKBuffer* dstBuf = result->getBuffer();
  if (!dstBuf) {
    result->release();
    return nullptr;
  }
  RKBuffer* srcBuf = source->getBuffer();
  if (!srcBuf) {
    dstBuf->release();
    result->release();
    return nullptr;
  }

  uint8_t* dstData = dstBuf->getData(0);
  const uint8_t* srcData = srcBuf->getData(0);
  for (int i = 0; i < rows; ++i) {
    uint8_t* d = dstData + (static_cast<int64_t>(dstRow + i) * W + dstCol) * dl.bytes;
    const uint8_t* s = srcData + (static_cast<int64_t>(srcRow + i) * sw + srcCol) * sl.bytes;
    if (sl.alpha < 0) {
      for (int j = 0; j < cols; ++j, d += dl.bytes, s += sl.bytes) {
        d[dl.red] = s[sl.red];
        d[dl.green] = s[sl.green];
        d[dl.blue] = s[sl.blue];
      }
    } else {
      for (int j = 0; j < cols; ++j, d += dl.bytes, s += sl.bytes) {
        unsigned a = s[sl.alpha];
        d[dl.red] = blend(s[sl.red], d[dl.red], a);
        d[dl.green] = blend(s[sl.green], d[dl.green], a);
        d[dl.blue] = blend(s[sl.blue], d[dl.blue], a);
      }
    }
  }
  srcBuf->release();
  dstBuf->release();
  return result;
}

}  // namespace RKSDK
