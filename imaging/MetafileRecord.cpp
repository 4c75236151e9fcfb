#include "MetafileRecord.h"

#include <climits>
#include <cstring>
#include <new>
#include <vector>

#include "ImplRKImageGraphics.h"
#include "MetafileObject.h"

namespace RKSDK {

// Bodies above this size are only allocated when the stream reports that many bytes left, so a
// lying size cannot make a large allocation.
static const int64_t RK_METAFILE_TRUSTED_BODY = 1 << 20;

int MetafileRecord::read(IRKIOStream* stream, int64_t size) {
  std::free(m_data);
  m_data = nullptr;
  m_size = 0;
  if (!stream || size < 0 || size > INT_MAX) return 0;
  if (size > RK_METAFILE_TRUSTED_BODY) {
    int left = stream->available();
    if (left < 0 || left < size) return 0;
  }
  m_data = static_cast<uint8_t*>(std::malloc(size > 0 ? static_cast<size_t>(size) : 1));
  if (!m_data) return 0;
  if (metafileReadFully(stream, m_data, static_cast<int>(size)) < size) {
    std::free(m_data);
    m_data = nullptr;
    return 0;
  }
  m_size = size;
  return 1;
}

int metafileBandRows(int width, int height) {
  const int64_t smallSurface = int64_t(1) << 22;
  if (int64_t(width) * height * 4 <= smallSurface) return height;
  return height / 16 + (height % 16 != 0);
}

IRKGraphics* metafileBandBegin(unsigned int pixelType, RKBuffer* canvas, int width, int height, int top, int rows) {
  ImplRKImageGraphics* band = new (std::nothrow) ImplRKImageGraphics();
  if (!band) return nullptr;
  band->addRef();
  if (rows > 0 && !band->attachBand(pixelType, canvas, width, height, top, rows)) {
    band->release();
    return nullptr;
  }
  MetafileObjectStore::applyDefaults(band);
  return band;
}

void metafileBandEnd(IRKGraphics* band) {
  ImplRKImageGraphics* image = dynamic_cast<ImplRKImageGraphics*>(band);
  if (image) image->copyBackBand();
  band->release();
}

int metafileReadFully(IRKIOStream* stream, void* buffer, int count) {
  int got = 0;
  while (got < count) {
    int n = stream->read(static_cast<uint8_t*>(buffer) + got, count - got);
    if (n <= 0) break;
    got += n;
  }
  return got;
}

int metafileTruncate(float value) {
  if (!(value == value)) return 0;
  if (value >= 2147483647.0f) return INT_MAX;
  if (value <= -2147483648.0f) return INT_MIN;
  return static_cast<int>(value);
}

void mapMetafilePoints(RKPoint* points, int count, int width, int height, const RKSize& extent) {
  bool outside = false;
  for (int i = 0; i < count && !outside; ++i)
    outside = static_cast<uint32_t>(points[i].x) > static_cast<uint32_t>(width) ||
              static_cast<uint32_t>(points[i].y) > static_cast<uint32_t>(height);
  if (!outside || extent.width == 0 || extent.height == 0) return;
  for (int i = 0; i < count; ++i) {
    points[i].x = metafileTruncate(float(width) * float(points[i].x) / float(extent.width));
    points[i].y = metafileTruncate(float(height) * float(points[i].y) / float(extent.height));
  }
}

RKString metafileNarrowText(const uint8_t* text, int64_t length) {
  RKString result;
  if (!text || length <= 0) return result;
  const void* zero = std::memchr(text, 0, static_cast<size_t>(length));
  int64_t n = zero ? static_cast<const uint8_t*>(zero) - text : length;
  result.assign(reinterpret_cast<const char*>(text), static_cast<u32>(n));
  return result;
}

RKString metafileWideText(const uint8_t* text, int64_t count) {
  RKString result;
  if (!text || count <= 0) return result;
  std::vector<WCHAR> wide;
  try {
    wide.reserve(static_cast<size_t>(count) + 1);
  } catch (const std::bad_alloc&) {
    return result;
  }
  for (int64_t i = 0; i < count; ++i) {
    WCHAR c = WCHAR(text[2 * i] | (text[2 * i + 1] << 8));
    if (c == 0) break;
    wide.push_back(c);
  }
  wide.push_back(0);
  result.fromWide(wide.data());
  return result;
}

}  // namespace RKSDK
