#include "RKTGADecoder.h"

#include <climits>
#include <cstring>
#include <new>
#include <vector>

#include "RKDecodeHelpers.h"

namespace RKSDK {

namespace {

enum {
  ID_LENGTH = 0,
  MAP_TYPE = 1,
  IMAGE_TYPE = 2,
  MAP_FIRST = 3,
  MAP_LENGTH = 5,
  MAP_ENTRY_SIZE = 7,
  WIDTH = 12,
  HEIGHT = 14,
  DEPTH = 16,
  DESCRIPTOR = 17
};

// Run-length packets, read across row boundaries: a packet that a writer let run on into the
// next row continues there, and nothing is written past the last pixel of the image.
class RlePackets {
 public:
  RlePackets(IRKIOStream* stream, int bytesPerPixel) : m_stream(stream), m_bpp(bytesPerPixel) {}

  // Fills count pixels at dst; false on a short read.
  bool read(u8* dst, int count) {
    while (count > 0) {
      if (m_left == 0) {
        u8 head;
        if (!readExact(m_stream, &head, 1)) return false;
        m_run = head >= 128;
        m_left = (head & 127) + 1;
        if (m_run && !readExact(m_stream, m_pixel, m_bpp)) return false;
      }
      int n = m_left < count ? m_left : count;
      if (m_run) {
        for (int i = 0; i < n; ++i) std::memcpy(dst + i * m_bpp, m_pixel, size_t(m_bpp));
      } else if (!readExact(m_stream, dst, int64_t(n) * m_bpp)) {
        return false;
      }
      dst += int64_t(n) * m_bpp;
      count -= n;
      m_left -= n;
    }
    return true;
  }

 private:
  IRKIOStream* m_stream;
  int m_bpp;
  bool m_run = false;
  int m_left = 0;
  u8 m_pixel[4] = {};
};

// Reverses the order of the count pixels of bpp bytes at row.
void mirrorRow(u8* row, int count, int bpp) {
  u8 pixel[4];
  for (int a = 0, b = count - 1; a < b; ++a, --b) {
    std::memcpy(pixel, row + int64_t(a) * bpp, size_t(bpp));
    std::memcpy(row + int64_t(a) * bpp, row + int64_t(b) * bpp, size_t(bpp));
    std::memcpy(row + int64_t(b) * bpp, pixel, size_t(bpp));
  }
}

}  // namespace

RKTGADecoder::RKTGADecoder() : m_alphaBits(0) {
  std::memset(m_header, 0, sizeof m_header);
  appendClassName("RKTGADecoder");
}

int RKTGADecoder::getAlphaBits() { return m_alphaBits; }

unsigned int RKTGADecoder::pixelType() { return m_header[DEPTH] == 32 ? RK_PIXEL_BGRA32 : RK_PIXEL_BGR24; }

void RKTGADecoder::writeInfo(RKParam* properties) { putInfo(properties, "TGA_AlphaBits", m_alphaBits); }

void RKTGADecoder::close() {
  dropDecoded();
  releaseStream();
}

int RKTGADecoder::readHeader() {
  if (!m_stream) return 0;
  dropDecoded();
  m_alphaBits = 0;
  if (!readExact(m_stream, m_header, sizeof m_header)) return 0;
  // Only whole-byte depths have a decoding; anything else is refused here.
  const int depth = m_header[DEPTH];
  if (depth != 8 && depth != 16 && depth != 24 && depth != 32) return 0;
  // Colour-mapped, true-colour and grey pixels, raw (1 to 3) or run-length encoded (9 to 11);
  // grey pixels of one byte only (two bytes hold grey and alpha, which have no decoding here).
  const int type = m_header[IMAGE_TYPE];
  if (type != 1 && type != 2 && type != 3 && type != 9 && type != 10 && type != 11) return 0;
  if ((type == 3 || type == 11) && depth != 8) return 0;
  // Colour-map indexes of one byte only; wider indexes would be read as colours.
  if ((type == 1 || type == 9) && depth != 8) return 0;
  // Colour-mapped pixels are looked up in the map: without one (map type other than 1), with a
  // map of no entries, or with one whose entries all lie past the last one-byte index, the
  // indexes have no colours.
  if ((type == 1 || type == 9) &&
      (m_header[MAP_TYPE] != 1 || le16(m_header + MAP_LENGTH) == 0 || le16(m_header + MAP_FIRST) > 255))
    return 0;
  // Descriptor bits 6 and 7 (TGA 1.0 row interleaving, which must be clear in TGA 2.0): rows
  // stored two- or four-way interleaved have no reading here.
  if (m_header[DESCRIPTOR] & 0xC0) return 0;
  m_width = le16(m_header + WIDTH);
  m_height = le16(m_header + HEIGHT);
  return 1;
}

int RKTGADecoder::decode(RKBuffer* target) {
  if (!m_headerRead || !target || !m_stream) return 0;
  const int depth = m_header[DEPTH];
  const int bpp = depth / 8;
  const int outBytes = depth > 24 ? 4 : 3;
  const int64_t total = imageBytes(m_width, m_height, outBytes);
  const bool rle = m_header[IMAGE_TYPE] >= 9;
  const bool mapped = m_header[MAP_TYPE] == 1;
  const int mapFirst = le16(m_header + MAP_FIRST);
  const int mapLength = le16(m_header + MAP_LENGTH);
  const int entrySize = m_header[MAP_ENTRY_SIZE];
  const int entryBytes = entrySize / 8;
  if (total <= 0 || (mapped && entrySize != 24 && entrySize != 32)) return 0;
  // What the header promises must be in the stream before anything is allocated: the ID, the
  // map and, for raw rows, every pixel; packets carry at most 128 pixels each.
  const int64_t pixels = int64_t(m_width) * m_height;
  const int64_t least = m_header[ID_LENGTH] + (mapped ? int64_t(mapLength) * entryBytes : 0) +
                        (rle ? (pixels + 127) / 128 * (1 + bpp) : pixels * bpp);
  const int64_t left = m_stream->available();
  if (left < least) return 0;
  if (!target->allocate(int(total))) return 0;

  std::vector<u8> work, map;
  try {
    if (depth < 24) work.resize(size_t(pixels) * bpp);
    if (mapped) map.assign(256 * 4, 0);  // indexes outside the map: black
  } catch (const std::bad_alloc&) {
    return 0;
  }
  if (m_header[ID_LENGTH] && !m_stream->seek(m_header[ID_LENGTH], 1)) return 0;
  if (mapped) {
    // The stored entries are those from the first entry on: index i looks up entry i - first.
    std::vector<u8> entries(size_t(mapLength) * entryBytes);
    if (!readExact(m_stream, entries.data(), int64_t(entries.size()))) return 0;
    for (int i = mapFirst; i < 256 && i - mapFirst < mapLength; ++i)
      std::memcpy(map.data() + i * 4, entries.data() + (i - mapFirst) * entryBytes, size_t(entryBytes));
  }

  const bool topFirst = (m_header[DESCRIPTOR] & 0x20) != 0;
  const bool rightFirst = (m_header[DESCRIPTOR] & 0x10) != 0;
  const int64_t rowBytes = int64_t(m_width) * bpp;
  u8* base = depth < 24 ? work.data() : target->getData(0);
  RlePackets packets(m_stream, bpp);
  for (int n = 0; n < m_height; ++n) {
    const int row = topFirst ? n : m_height - 1 - n;
    u8* dst = base + row * rowBytes;
    if (rle ? !packets.read(dst, m_width) : !readExact(m_stream, dst, rowBytes)) return 0;
    // Rows stored right to left; a packet that runs on into the next row was already split.
    if (rightFirst) mirrorRow(dst, m_width, bpp);
    notifyRow(topFirst ? row : m_height - row, m_height + 100);
  }
  m_alphaBits = m_header[DESCRIPTOR] & 15;
  // Grey pixels are levels even when the file carries a colour map (read past above).
  const bool grey = m_header[IMAGE_TYPE] == 3 || m_header[IMAGE_TYPE] == 11;
  if (depth < 24)
    for (int i = 0; i < m_height; ++i)
      convertRow(mapped && !grey ? map.data() : nullptr, work.data() + i * rowBytes,
                 target->getData(0) + int64_t(i) * m_width * 3, m_width, depth);
  notifyRow(m_height + 100, m_height + 100);
  notifyFinished();
  return 1;
}

void RKTGADecoder::convertRow(const u8* palette, const u8* src, u8* dst, int width, int depth) {
  if (depth == 8) {
    for (int x = 0; x < width; ++x, dst += 3) {
      if (palette) {
        std::memcpy(dst, palette + src[x] * 4, 3);
      } else {
        dst[0] = dst[1] = dst[2] = src[x];  // no colour map: grey
      }
    }
  } else if (depth == 16) {
    for (int x = 0; x < width; ++x, dst += 3) {
      const unsigned p = le16(src + x * 2);
      dst[0] = u8((p & 0x1F) << 3);
      dst[1] = u8((p >> 2) & 0xF8);
      dst[2] = u8((p >> 7) & 0xF8);
    }
  }
}

}  // namespace RKSDK
