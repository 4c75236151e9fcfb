// Small helpers the raster decoders share: little-endian fields and bounded stream reads.
#ifndef RK_IMAGING_RKDECODEHELPERS_H
#define RK_IMAGING_RKDECODEHELPERS_H

#include <cstdint>

#include <new>

#include "IRKIOStream.h"
#include "RKBuffer.h"

namespace RKSDK {

inline uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t le32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

// Palette index of pixel x of a packed row of 1, 2, 4 or 8 bits a pixel: the most significant
// bits come first (the high nibble for even pixels).
inline int paletteIndex(const uint8_t* row, int x, int bits) {
  if (bits == 1) return (row[x >> 3] >> (7 - (x & 7))) & 1;
  if (bits == 2) return (row[x >> 2] >> (6 - 2 * (x & 3))) & 3;
  if (bits == 4) return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
  return row[x];
}

// Whether the bit-field masks (red, green, blue, little-endian) of a 16- or 32-bit bitmap are
// a layout the row converters decode: 5-6-5 and 5-5-5 for 16 bits, 8-8-8 for 32. Sets is565.
inline bool knownBitFields(const uint8_t* masks, int bitCount, int& is565) {
  const uint32_t red = le32(masks), green = le32(masks + 4), blue = le32(masks + 8);
  is565 = 0;
  if (bitCount == 16 && red == 0xF800 && green == 0x07E0 && blue == 0x001F) {
    is565 = 1;
    return true;
  }
  if (bitCount == 16) return red == 0x7C00 && green == 0x03E0 && blue == 0x001F;
  return bitCount == 32 && red == 0xFF0000 && green == 0xFF00 && blue == 0xFF;
}

// Reads exactly count bytes; false on a short read or failure.
inline bool readExact(IRKIOStream* stream, void* dst, int64_t count) {
  if (count < 0 || count > 0x7FFFFFFF) return false;
  return count == 0 || stream->read(dst, int(count)) == int(count);
}

// The stream's length (position plus what is left), or -1 when it cannot be told. Decoders
// compare what a header promises with it before allocating for the promise.
inline int64_t streamLength(IRKIOStream* stream) {
  int64_t pos = stream->tell();
  if (pos < 0) return -1;
  int64_t left = stream->available();
  return pos + (left < 0 ? 0 : left);
}

// A new buffer of exactly bytes bytes (1 to INT_MAX) holding one reference for the caller, or
// null when it cannot be had.
inline RKBuffer* newPixelBuffer(int64_t bytes) {
  if (bytes <= 0 || bytes > 0x7FFFFFFF) return nullptr;
  RKBuffer* buffer = new (std::nothrow) RKBuffer(int(bytes));
  if (!buffer) return nullptr;
  buffer->addRef();
  if (buffer->getSize() != bytes) {
    buffer->release();
    return nullptr;
  }
  return buffer;
}

// Asks the system to back a large pixel buffer that is about to be written whole with large
// pages: the first write of each small page of fresh memory costs a fault, which for a picture of
// tens of megabytes takes as long as decoding it. Only a hint; nothing changes where unsupported.
void adviseLargePages(void* data, int64_t bytes);

}  // namespace RKSDK

#endif
