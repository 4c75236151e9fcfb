#include "RKICODecoder.h"

#include <climits>
#include <cstring>
#include <new>

#include "RKDecodeHelpers.h"
#include "RKPixelConvert.h"

namespace RKSDK {

namespace {

const int ENTRY_BYTES = 16;
const int INFO_BYTES = 40;

}  // namespace

RKICODecoder::RKICODecoder() : m_count(0), m_is565(0) { appendClassName("RKICODecoder"); }

int RKICODecoder::readHeader() { return readDirectory(); }

int RKICODecoder::decodeGroup(RKImageGroup* target) { return readEntries(target); }

int RKICODecoder::readDirectory() {
  if (!m_stream) return 0;
  dropDecoded();
  m_directory.clear();
  m_count = 0;
  u8 head[6];
  if (!readExact(m_stream, head, sizeof head) || le16(head) != 0) return 0;
  const int type = le16(head + 2);
  if (type != 1 && type != 2) return 0;
  const int count = le16(head + 4);
  try {
    m_directory.resize(size_t(count) * ENTRY_BYTES);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  if (!readExact(m_stream, m_directory.data(), int64_t(m_directory.size()))) {
    m_directory.clear();
    return 0;
  }
  m_count = count;
  m_width = m_height = 0;
  for (int i = 0; i < count; ++i) {
    const u8* e = m_directory.data() + i * ENTRY_BYTES;
    if (e[0] > m_width) m_width = e[0];
    if (e[1] > m_height) m_height = e[1];
  }
  return 1;
}

int RKICODecoder::readEntries(RKImageGroup* group) {
  if (!m_headerRead || !m_stream || !group || m_count < 1) return 0;
  int64_t groupBytes = 0;
  for (int i = 0; i < m_count; ++i) {
    bool over = false;
    RKImage* image = readEntry(m_directory.data() + i * ENTRY_BYTES, groupLimit() - groupBytes, over);
    if (over && i > 0) break;
    if (!image) return 0;
    groupBytes += imageBytes(image->getWidth(), image->getHeight(), 4);
    group->addImage(image);
    image->release();
  }
  notifyFinished();
  return 1;
}

RKImage* RKICODecoder::readEntry(const u8* entry, int64_t budget, bool& over) {
  const u32 resourceSize = le32(entry + 8);
  const u32 offset = le32(entry + 12);
  u8 info[INFO_BYTES];
  if (offset > INT_MAX || !m_stream->seek(int(offset), 0) || !readExact(m_stream, info, INFO_BYTES)) return nullptr;
  const u32 infoSize = le32(info);
  const int32_t width = int32_t(le32(info + 4));
  const int32_t rows = int32_t(le32(info + 8)) / 2;  // colour rows and mask rows share the height
  const int bitCount = le16(info + 14);
  const u32 compression = le32(info + 16);
  const u32 imageSize = le32(info + 20);
  const u32 coloursUsed = le32(info + 32);
  // Depths the rows are decoded at; stored rows without compression, or bit fields of the
  // layouts the 16- and 32-bit converters know. Headers shorter than 40 bytes lay their fields
  // out otherwise.
  if (width <= 0 || rows <= 0 || infoSize < INFO_BYTES || infoSize > 0x10000) return nullptr;
  if (bitCount != 1 && bitCount != 2 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
      bitCount != 32)
    return nullptr;
  if (compression != 0 && (compression != 3 || (bitCount != 16 && bitCount != 32))) return nullptr;

  u8 palette[256 * 4];
  std::memset(palette, 0, sizeof palette);
  m_is565 = 0;
  // The masks of bit fields follow the 40-byte header (or are its next fields in the longer
  // headers); then the colour table, of the colours used or of every index, then the rows.
  int64_t tableAt = int64_t(offset) + infoSize;
  if (compression == 3) {
    u8 masks[12];
    if (!readExact(m_stream, masks, sizeof masks) || !knownBitFields(masks, bitCount, m_is565)) return nullptr;
    if (infoSize == INFO_BYTES) tableAt += sizeof masks;
  }
  int64_t tableBytes = 0;
  if (bitCount <= 8) {
    const u32 all = 1u << bitCount;
    tableBytes = 4 * int64_t(coloursUsed > 0 && coloursUsed < all ? coloursUsed : all);
  } else if (coloursUsed <= 256) {
    tableBytes = 4 * int64_t(coloursUsed);
  } else {
    return nullptr;
  }
  const int64_t rowsAt = tableAt + tableBytes;
  if (rowsAt > INT_MAX || !m_stream->seek(int(tableAt), 0)) return nullptr;
  if (bitCount <= 8 && !readExact(m_stream, palette, tableBytes)) return nullptr;
  if (!m_stream->seek(int(rowsAt), 0)) return nullptr;

  const int64_t stride = ((int64_t(bitCount) * width + 7) / 8 + 3) & ~int64_t(3);
  const int64_t total = imageBytes(width, rows, 4);
  // The colour rows must be in the stream before anything is allocated for them.
  if (total <= 0 || stride * rows > m_stream->available()) return nullptr;
  if (total > budget) {
    over = true;
    return nullptr;
  }
  std::vector<u8> colour;
  try {
    colour.resize(size_t(stride * rows));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  if (!readExact(m_stream, colour.data(), int64_t(colour.size()))) return nullptr;
  RKBuffer* pixels = newPixelBuffer(total);
  if (!pixels) return nullptr;
  u8* out = pixels->getData(0);
  const int64_t outRow = int64_t(width) * 4;
  for (int r = 0; r < rows; ++r)
    convertRow(palette, colour.data() + (rows - 1 - r) * stride, out + r * outRow, width, bitCount);

  // The AND mask as the format stores it: rows of 32-bit padded bits, bottom row first, the
  // most significant bit leftmost; a set bit makes its pixel transparent. It is applied when
  // the resource still has room for it after the header, the colour table and the image-size
  // field's bytes.
  const int64_t maskStride = (int64_t(width) + 31) / 32 * 4;
  const int64_t maskBytes = maskStride * rows;
  const uint64_t room = uint64_t(resourceSize) - imageSize - uint64_t(tableBytes) - infoSize;
  if (room >= uint64_t(maskBytes) && maskBytes <= m_stream->available()) {
    std::vector<u8> mask;
    try {
      mask.resize(size_t(maskBytes));
    } catch (const std::bad_alloc&) {
      mask.clear();
    }
    if (!mask.empty() && readExact(m_stream, mask.data(), maskBytes)) {
      for (int r = 0; r < rows; ++r) {
        const u8* bits = mask.data() + (rows - 1 - r) * maskStride;
        u8* alpha = out + r * outRow + 3;
        for (int x = 0; x < width; ++x)
          if (bits[x >> 3] & (0x80 >> (x & 7))) alpha[x * 4] = 0;
      }
    }
  }

  RKImage* image = new (std::nothrow) RKImage(RK_PIXEL_BGRA32, pixels, 0, 0, width, rows, 0);
  pixels->release();
  if (image) image->addRef();
  return image;
}

void RKICODecoder::convertRow(const u8* palette, const u8* src, u8* dst, int width, int bitCount) {
  switch (bitCount) {
    case 1:
    case 2:
    case 4:
    case 8:
      for (int x = 0; x < width; ++x) {
        std::memcpy(dst + x * 4, palette + paletteIndex(src, x, bitCount) * 4, 3);
        dst[x * 4 + 3] = 255;
      }
      break;
    case 16:
      if (m_is565)
        convertRGB565ToBGRA(src, dst, width);
      else
        convertRGB555ToBGRA(src, dst, width);
      break;
    case 24:
      expandRGB24To32(src, dst, width);
      break;
    case 32:
      std::memcpy(dst, src, size_t(width) * 4);
      break;
    default:
      break;
  }
}

}  // namespace RKSDK
