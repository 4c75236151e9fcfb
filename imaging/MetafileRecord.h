// Pieces both metafile players share: the body of one record with bounds-checked reads, the
// reading of a record body from the stream, the mapping of point lists through the window
// extent, and text drawn in the text colour.
#ifndef RK_IMAGING_METAFILERECORD_H
#define RK_IMAGING_METAFILERECORD_H

#include <cstdint>
#include <cstdlib>
#include <new>

#include "IRKGraphics.h"
#include "IRKIOStream.h"
#include "RKColor.h"
#include "RKImage.h"
#include "RKPoint.h"
#include "RKSize.h"
#include "RKString.h"

namespace RKSDK {

// A record body held in one heap block. Every read names its offset and width and is checked
// against the body's size first (all arithmetic in 64 bits).
class MetafileRecord {
 public:
  MetafileRecord() : m_data(nullptr), m_size(0) {}
  ~MetafileRecord() { std::free(m_data); }
  MetafileRecord(const MetafileRecord&) = delete;
  MetafileRecord& operator=(const MetafileRecord&) = delete;

  // Reads a body of size bytes from stream, replacing the previous one. 0 when the stream
  // holds fewer bytes or memory runs out.
  int read(IRKIOStream* stream, int64_t size);

  int64_t size() const { return m_size; }
  const uint8_t* data() const { return m_data; }
  // 1 when the bytes [offset, offset + length) lie inside the body.
  bool has(int64_t offset, int64_t length) const {
    return offset >= 0 && length >= 0 && offset <= m_size && length <= m_size - offset;
  }
  // Little-endian values; the caller has checked the range with has().
  uint16_t u16(int64_t offset) const { return uint16_t(m_data[offset] | (m_data[offset + 1] << 8)); }
  int16_t i16(int64_t offset) const { return int16_t(u16(offset)); }
  uint32_t u32(int64_t offset) const {
    return uint32_t(m_data[offset]) | (uint32_t(m_data[offset + 1]) << 8) | (uint32_t(m_data[offset + 2]) << 16) |
           (uint32_t(m_data[offset + 3]) << 24);
  }
  int32_t i32(int64_t offset) const { return int32_t(u32(offset)); }

 private:
  uint8_t* m_data;
  int64_t m_size;
};

// When any point lies right of width or below height (compared as unsigned 32-bit values),
// every point becomes (width * x / extent width, height * y / extent height), in single
// precision, truncated. A zero extent leaves the points as they are.
void mapMetafilePoints(RKPoint* points, int count, int width, int height, const RKSize& extent);

// Rows of one band when a width x height canvas is played band by band: the whole height for a
// picture whose 32-bit drawing surface is small, else a sixteenth of it (rounded up).
int metafileBandRows(int width, int height);

// The drawing back-end of one band: rows [top, top + rows) of a width x height canvas of
// pixelType (no drawing surface at all when rows is 0), with the pen and brush a playback
// starts with; one reference for the caller, or null when it cannot be made.
IRKGraphics* metafileBandBegin(unsigned int pixelType, RKBuffer* canvas, int width, int height, int top, int rows);
// Writes the band back into its rows of the canvas and releases the back-end.
void metafileBandEnd(IRKGraphics* band);

// Reads count bytes, looping over short reads; the bytes read.
int metafileReadFully(IRKIOStream* stream, void* buffer, int count);

// Float to int, truncated towards zero and held to the int range.
int metafileTruncate(float value);

// Bytes of text up to its first zero byte (at most length bytes).
RKString metafileNarrowText(const uint8_t* text, int64_t length);
// UTF-16 characters (at most count) up to the first zero one, in the ANSI code page.
RKString metafileWideText(const uint8_t* text, int64_t count);

// Runs draw with the pen colour of graphics replaced by textColor, then puts the pen colour back.
template <class Draw>
void drawInTextColor(IRKGraphics* graphics, const RKColor& textColor, Draw draw) {
  RKColor* pen = graphics->getColor();
  if (!pen) {
    draw();
    return;
  }
  RKColor saved(*pen);
  *pen = textColor;
  draw();
  *pen = saved;
  pen->release();
}

// Draws a bitmap of width x |height| pixels: each stored row (stride bytes apart from bits, bottom
// row first unless height is negative) becomes one packed output row through convert (stored
// row, output row), top row first, in an image of pixelType that drawImage then draws with the
// given source and target rectangles. The caller has checked that the rows lie inside its data.
template <class Convert>
void drawMetafileBitmap(IRKGraphics* graphics, unsigned int pixelType, int32_t width, int32_t height,
                        const uint8_t* bits, int64_t stride, Convert convert, int sx, int sy, int sw, int sh, int tx,
                        int ty, int tw, int th) {
  int rows = height < 0 ? -height : height;
  int64_t rowBytes = int64_t(width) * RKImage::bytesPerPixel(pixelType);
  RKBuffer* block = new (std::nothrow) RKBuffer();
  if (!block) return;
  block->addRef();
  if (rowBytes <= 0 || rowBytes * rows > 0x7FFFFFFF || !block->allocate(int(rowBytes * rows))) {
    block->release();
    return;
  }
  uint8_t* out = block->getData(0);
  for (int i = 0; i < rows; ++i) convert(bits + stride * (height > 0 ? rows - 1 - i : i), out + rowBytes * i);
  RKImage* image = new (std::nothrow) RKImage(pixelType, block, 0, 0, width, rows, 0);
  block->release();
  if (!image) return;
  image->addRef();
  graphics->drawImage(image, sx, sy, sw, sh, tx, ty, tw, th);
  image->release();
}

}  // namespace RKSDK

#endif
