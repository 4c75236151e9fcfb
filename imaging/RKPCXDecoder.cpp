#include "RKPCXDecoder.h"

#include <cstring>
#include <new>

#include "RKDecodeHelpers.h"

namespace RKSDK {

namespace {

const int HEADER_BYTES = 128;
const u8 PALETTE_MARKER = 0x0C;
const int PALETTE_BYTES = 768;

}  // namespace

RKPCXDecoder::RKPCXDecoder()
    : m_bitsPerPixel(0),
      m_xDensity(0),
      m_yDensity(0),
      m_planes(0),
      m_bitsPerPlane(0),
      m_bytesPerLine(0),
      m_version(0),
      m_encoding(0) {
  std::memset(m_headerPalette, 0, sizeof m_headerPalette);
  appendClassName("RKPCXDecoder");
}

int RKPCXDecoder::getBitsPerPixel() { return m_bitsPerPixel; }
int RKPCXDecoder::getXDensity() { return m_xDensity; }
int RKPCXDecoder::getYDensity() { return m_yDensity; }
unsigned int RKPCXDecoder::pixelType() { return RK_PIXEL_RGB24; }
int RKPCXDecoder::keepsDecoded() { return 0; }

void RKPCXDecoder::writeInfo(RKParam* properties) {
  putInfo(properties, "PCX_NumComponents", m_bitsPerPixel);
  putInfo(properties, "PCX_XDensity", m_xDensity);
  putInfo(properties, "PCX_YDensity", m_yDensity);
}

int RKPCXDecoder::readHeader() {
  if (!m_stream || !m_stream->seek(0, 0)) return 0;
  u8 h[HEADER_BYTES];
  if (!readExact(m_stream, h, HEADER_BYTES)) return 0;
  const int xmin = le16(h + 4), ymin = le16(h + 6), xmax = le16(h + 8), ymax = le16(h + 10);
  // A maximum below its minimum would wrap into a huge size.
  if (xmax < xmin || ymax < ymin) return 0;
  m_width = xmax - xmin + 1;
  m_height = ymax - ymin + 1;
  m_planes = h[65];
  m_bitsPerPlane = h[3];
  m_bitsPerPixel = m_planes * h[3];
  std::memcpy(m_headerPalette, h + 16, sizeof m_headerPalette);
  m_xDensity = le16(h + 12);
  m_yDensity = le16(h + 14);
  m_bytesPerLine = le16(h + 66);
  m_version = h[1];
  m_encoding = h[2];
  return 1;
}

// Layouts decoded: one plane of 8-bit indexes, three or four planes of 8-bit red, green, blue
// (and alpha, dropped), four 1-bit planes of indexes into the header's 16 colours (which the
// versions without palette information do not hold); others are refused, as are rows in an
// encoding other than 0 (stored as they are) and 1 (run-length).
int RKPCXDecoder::decode(RKBuffer* target) {
  if (!target || (m_encoding != 0 && m_encoding != 1)) return 0;
  if (m_bitsPerPlane == 8 && m_planes == 1) return decodePalette(target);
  if ((m_bitsPerPlane == 8 && (m_planes == 3 || m_planes == 4)) ||
      (m_bitsPerPlane == 1 && m_planes == 4 && m_version != 0 && m_version != 3))
    return decodePlanes(target);
  return 0;
}

int RKPCXDecoder::decodeRow(const std::vector<u8>& data, size_t& pos, u8* dst, int n) {
  // Unencoded rows: n bytes of plain data, 0xC0 and above included.
  if (m_encoding == 0) {
    if (pos > data.size() || data.size() - pos < size_t(n)) return -1;
    std::memcpy(dst, data.data() + pos, size_t(n));
    pos += size_t(n);
    return n;
  }
  int produced = 0;
  while (produced < n) {
    if (pos >= data.size()) return -1;
    u8 b = data[pos++];
    int count = 1;
    if ((b & 0xC0) == 0xC0) {
      count = b & 0x3F;
      if (pos >= data.size()) return -1;
      b = data[pos++];
    }
    if (count > n - produced) count = n - produced;
    std::memset(dst + produced, b, size_t(count));
    produced += count;
  }
  return produced;
}

bool RKPCXDecoder::readData(std::vector<u8>& data, int rowBytes) {
  if (!m_stream || !m_stream->seek(HEADER_BYTES, 0)) return false;
  const int left = m_stream->available();
  if (left <= 0) return false;
  // A run-length row of rowBytes bytes takes at least one encoded byte per 63 decoded ones; an
  // unencoded row takes all rowBytes.
  const int64_t least = int64_t(m_height) * (m_encoding == 0 ? rowBytes : (rowBytes + 62) / 63);
  if (least > left) return false;
  try {
    data.reserve(size_t(left));
    adviseLargePages(data.data(), left);
    data.resize(size_t(left));
  } catch (const std::bad_alloc&) {
    return false;
  }
  return readExact(m_stream, data.data(), left);
}

int RKPCXDecoder::decodePlanes(RKBuffer* target) {
  const int bpl = m_bytesPerLine;
  const int rowBytes = m_planes * bpl;
  const int64_t total = imageBytes(m_width, m_height, 3);
  std::vector<u8> data, row;
  if (total <= 0 || rowBytes <= 0 || !readData(data, rowBytes)) return 0;
  try {
    row.resize(size_t(rowBytes));
  } catch (const std::bad_alloc&) {
    return 0;
  }
  if (!target->allocate(int(total))) return 0;
  adviseLargePages(target->getData(0), total);
  size_t pos = 0;
  // Bytes past the end of a plane's line (bytes per line below the width) count as 0; the
  // target is allocated zero-filled.
  const int inPlane = m_width < bpl ? m_width : bpl;
  for (int y = 0; y < m_height; ++y) {
    if (decodeRow(data, pos, row.data(), rowBytes) < 0) return 0;
    u8* out = target->getData(0) + int64_t(y) * m_width * 3;
    if (m_bitsPerPlane == 1) {
      // Bit x of plane p is bit p of pixel x's index into the header's 16 colours.
      const int inBits = m_width < 8 * bpl ? m_width : 8 * bpl;
      for (int x = 0; x < inBits; ++x) {
        int index = 0;
        for (int p = 0; p < 4; ++p) index |= ((row[size_t(p * bpl + x / 8)] >> (7 - x % 8)) & 1) << p;
        std::memcpy(out + x * 3, m_headerPalette + index * 3, 3);
      }
    } else {
      for (int x = 0; x < inPlane; ++x) {
        out[x * 3] = row[size_t(x)];
        out[x * 3 + 1] = row[size_t(bpl + x)];
        out[x * 3 + 2] = row[size_t(2 * bpl + x)];
      }
    }
    notifyRow(y, m_height);
  }
  notifyFinished();
  return 1;
}

int RKPCXDecoder::decodePalette(RKBuffer* target) {
  const int bpl = m_bytesPerLine;
  const int64_t total = imageBytes(m_width, m_height, 3);
  std::vector<u8> data, indexes, row;
  if (total <= 0 || bpl <= 0 || !readData(data, bpl)) return 0;
  try {
    indexes.assign(size_t(m_width) * size_t(m_height), 0);
    row.resize(size_t(bpl));
  } catch (const std::bad_alloc&) {
    return 0;
  }
  size_t pos = 0;
  const int inRow = m_width < bpl ? m_width : bpl;
  for (int y = 0; y < m_height; ++y) {
    if (decodeRow(data, pos, row.data(), bpl) < 0) return 0;
    std::memcpy(indexes.data() + size_t(y) * m_width, row.data(), size_t(inRow));
    notifyRow(y, m_height);
  }
  // The palette: a marker byte, then 256 entries of red, green, blue; right after the rows, or
  // in version 5 as the file's last bytes with other bytes between.
  size_t marker = pos;
  if (pos >= data.size() || data[pos] != PALETTE_MARKER || data.size() - pos - 1 < size_t(PALETTE_BYTES)) {
    if (m_version != 5 || data.size() < size_t(PALETTE_BYTES) + 1) return 0;
    marker = data.size() - PALETTE_BYTES - 1;
    if (marker <= pos || data[marker] != PALETTE_MARKER) return 0;
  }
  const u8* palette = data.data() + marker + 1;
  if (!target->allocate(int(total))) return 0;
  u8* out = target->getData(0);
  for (size_t i = 0; i < indexes.size(); ++i, out += 3) std::memcpy(out, palette + indexes[i] * 3, 3);
  notifyFinished();
  return 1;
}

}  // namespace RKSDK
