#include "RKBMPDecoder.h"

#include <climits>
#include <cstring>
#include <new>
#include <vector>

#include "RKDecodeHelpers.h"
#include "RKPixelConvert.h"

namespace RKSDK {

namespace {

const int HEADER_BYTES = 54;
const int FILE_HEADER_BYTES = 14;
const u32 COMPRESSION_NONE = 0;
const u32 COMPRESSION_BITFIELDS = 3;

}  // namespace

RKBMPDecoder::RKBMPDecoder()
    : m_components(0),
      m_xPerMeter(0),
      m_yPerMeter(0),
      m_xPerInch(0),
      m_yPerInch(0),
      m_dataOffset(0),
      m_bitsPerPixel(0),
      m_stride(0),
      m_is565(0),
      m_topDown(0) {
  std::memset(m_palette, 0, sizeof m_palette);
  appendClassName("RKBMPDecoder");
}

int RKBMPDecoder::getComponentCount() { return m_components; }
int RKBMPDecoder::getXPerMeter() { return m_xPerMeter; }
int RKBMPDecoder::getYPerMeter() { return m_yPerMeter; }
int RKBMPDecoder::getXPerInch() { return m_xPerInch; }
int RKBMPDecoder::getYPerInch() { return m_yPerInch; }

unsigned int RKBMPDecoder::pixelType() { return m_bitsPerPixel == 32 ? RK_PIXEL_BGRA32 : RK_PIXEL_BGR24; }

void RKBMPDecoder::writeInfo(RKParam* properties) {
  putInfo(properties, "BMP_ComponeNumber", m_components);
  putInfo(properties, "BMP_XPerMeter", m_xPerMeter);
  putInfo(properties, "BMP_YPerMeter", m_yPerMeter);
  putInfo(properties, "BMP_XPerInch", m_xPerInch);
  putInfo(properties, "BMP_YPerInch", m_yPerInch);
}

int RKBMPDecoder::readHeader() {
  if (!m_stream) return 0;
  dropDecoded();
  m_is565 = 0;
  m_topDown = 0;
  u8 h[HEADER_BYTES];
  if (!readExact(m_stream, h, HEADER_BYTES) || h[0] != 'B' || h[1] != 'M') return 0;
  int32_t width = int32_t(le32(h + 18));
  int32_t height = int32_t(le32(h + 22));
  // A negative width, or a height whose negation does not exist, describes no image.
  if (width < 0 || height == INT_MIN) return 0;
  if (height <= 0) {
    m_topDown = 1;
    height = -height;
  }
  m_width = width;
  m_height = height;
  const u32 infoSize = le32(h + 14);
  int bitCount = int16_t(le16(h + 28));
  u32 compression = le32(h + 30);
  // Headers shorter than 40 bytes lay their fields out otherwise; run-length and embedded
  // compressions are not decoded, and bit fields only with the masks of known layouts (below).
  if (infoSize < 40 || infoSize > 0x10000) return 0;
  if (bitCount != 1 && bitCount != 2 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
      bitCount != 32)
    return 0;
  if (compression != COMPRESSION_NONE && (compression != COMPRESSION_BITFIELDS || (bitCount != 16 && bitCount != 32)))
    return 0;
  m_components = bitCount > 8 ? 3 : 1;
  m_xPerMeter = int32_t(le32(h + 38));
  m_yPerMeter = int32_t(le32(h + 42));
  m_xPerInch = int(m_xPerMeter * 0.0254);
  m_yPerInch = int(m_yPerMeter * 0.0254);
  std::memset(m_palette, 0, sizeof m_palette);
  if (bitCount <= 8) {
    // The palette follows the info header, whatever its size; a file may store fewer entries
    // than its depth allows (the colours-used field).
    const u32 used = le32(h + 46);
    const int entries = used > 0 && used < (1u << bitCount) ? int(used) : 1 << bitCount;
    if (!m_stream->seek(int(FILE_HEADER_BYTES + infoSize), 0) || !readExact(m_stream, m_palette, 4 * entries)) return 0;
  } else if (compression == COMPRESSION_BITFIELDS) {
    // Right after the 40-byte header: behind it, or its own next fields in the longer headers.
    u8 masks[12];
    if (!readExact(m_stream, masks, sizeof masks) || !knownBitFields(masks, bitCount, m_is565)) return 0;
  }
  m_dataOffset = le32(h + 10);
  m_bitsPerPixel = bitCount;
  // Rows are padded to 4 bytes; a stride beyond 32 bits describes no real file.
  int64_t stride = ((int64_t(m_bitsPerPixel) * width + 7) / 8 + 3) & ~int64_t(3);
  if (stride > INT_MAX) return 0;
  m_stride = int(stride);
  return 1;
}

int RKBMPDecoder::decode(RKBuffer* target) {
  if (!target || m_width == 0 || m_height == 0 || !m_stream) return 0;
  const int outBytes = m_bitsPerPixel > 24 ? 4 : 3;
  const int64_t total = imageBytes(m_width, m_height, outBytes);
  // The rows must lie inside the file before anything is allocated for them.
  const int64_t end = int64_t(m_dataOffset) + int64_t(m_stride) * m_height;
  const int64_t length = streamLength(m_stream);
  if (total <= 0 || end > INT_MAX || (length >= 0 && end > length)) return 0;
  if (!target->allocate(int(total))) return 0;
  std::vector<u8> row;
  try {
    row.resize(size_t(m_stride) + 1);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  const int rowBytes = m_width * outBytes;
  for (int i = 0; i < m_height; ++i) {
    const int64_t stored = m_topDown ? i : m_height - 1 - i;
    if (!m_stream->seek(int(m_dataOffset + stored * m_stride), 0) || !readExact(m_stream, row.data(), m_stride))
      return 0;
    convertRow(m_palette, row.data(), target->getData(0) + int64_t(i) * rowBytes, m_width, m_bitsPerPixel);
    notifyRow(i, m_height);
  }
  notifyFinished();
  return 1;
}

void RKBMPDecoder::convertRow(const u8* palette, const u8* src, u8* dst, int width, int bitsPerPixel) {
  switch (bitsPerPixel) {
    case 1:
    case 2:
    case 4:
    case 8:
      for (int x = width - 1; x >= 0; --x) {
        std::memcpy(dst + x * 3, palette + paletteIndex(src, x, bitsPerPixel) * 4, 3);
      }
      break;
    case 16:
      if (m_is565)
        convertRGB565ToBGR(src, dst, width);
      else
        convertRGB555ToBGR(src, dst, width);
      break;
    case 24:
      std::memcpy(dst, src, size_t(width) * 3);
      break;
    case 32:
      for (int x = 0; x < width; ++x) {
        std::memcpy(dst + x * 4, src + x * 4, 3);
        dst[x * 4 + 3] = 255;
      }
      break;
    default:
      break;
  }
}

}  // namespace RKSDK
