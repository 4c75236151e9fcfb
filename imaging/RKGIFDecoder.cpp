#include "RKGIFDecoder.h"

#include <cstring>
#include <new>

#include "RKDecodeHelpers.h"
#include "RKPixelConvert.h"

namespace RKSDK {

namespace {

const int MAX_CODES = 4096;

// Codes of the current size, least significant bit first, across the data sub-blocks of one
// frame. Once the empty sub-block has been read there are no more codes.
class CodeReader {
 public:
  explicit CodeReader(IRKIOStream* stream) : m_stream(stream) {}

  // The next code, or -1 when the data ends.
  int read(int size) {
    while (m_bits < size) {
      if (m_pos == m_length && !nextBlock()) return -1;
      m_acc |= uint32_t(m_block[m_pos++]) << m_bits;
      m_bits += 8;
    }
    int code = int(m_acc & ((1u << size) - 1));
    m_acc >>= size;
    m_bits -= size;
    return code;
  }

  // Skips what is left of the sub-blocks, up to the empty one.
  void finish() {
    while (!m_ended && nextBlock()) m_pos = m_length;
  }

 private:
  bool nextBlock() {
    if (m_ended) return false;
    u8 count;
    if (!readExact(m_stream, &count, 1) || count == 0) {
      m_ended = true;
      return false;
    }
    // A sub-block cut by the end of the file still gives the codes its bytes hold; nothing
    // follows it.
    const int got = m_stream->read(m_block, count);
    if (got < count) m_ended = true;
    if (got <= 0) return false;
    m_length = got;
    m_pos = 0;
    return true;
  }

  IRKIOStream* m_stream;
  u8 m_block[255];
  int m_length = 0;
  int m_pos = 0;
  uint32_t m_acc = 0;
  int m_bits = 0;
  bool m_ended = false;
};

// Rows in the order the frame stores them: top to bottom, or the four interlace passes
// (every 8th row from 0, every 8th from 4, every 4th from 2, every 2nd from 1).
class RowOrder {
 public:
  RowOrder(int height, bool interlaced) : m_height(height), m_interlaced(interlaced) {
    if (interlaced) skipEmptyPasses();
  }
  bool done() const { return m_row >= m_height; }
  int row() const { return m_row; }
  void next() {
    if (!m_interlaced) {
      ++m_row;
      return;
    }
    m_row += STEP[m_pass];
    skipEmptyPasses();
  }

 private:
  void skipEmptyPasses() {
    while (m_row >= m_height && m_pass < 3) {
      ++m_pass;
      m_row = START[m_pass];
    }
  }
  static constexpr int START[4] = {0, 4, 2, 1};
  static constexpr int STEP[4] = {8, 8, 4, 2};
  int m_height;
  bool m_interlaced;
  int m_pass = 0;
  int m_row = 0;
};

constexpr int RowOrder::START[4];
constexpr int RowOrder::STEP[4];

}  // namespace

RKGIFDecoder::RKGIFDecoder() : m_globalFlag(0), m_colourResolution(0), m_sortFlag(0) {
  appendClassName("RKGIFDecoder");
}

bool RKGIFDecoder::readTable(int count, ColourTable& table) {
  table.count = 0;
  table.rgb.assign(size_t(count) * 3, 0);
  if (!readExact(m_stream, table.rgb.data(), count * 3)) {
    table.rgb.clear();
    return false;
  }
  table.count = count;
  return true;
}

int RKGIFDecoder::readHeader() {
  if (!m_stream) return 0;
  m_global = ColourTable();
  dropDecoded();
  u8 h[13];
  if (!readExact(m_stream, h, 6) || std::memcmp(h, "GIF", 3) != 0 ||
      (std::memcmp(h + 3, "87a", 3) != 0 && std::memcmp(h + 3, "89a", 3) != 0))
    return 0;
  if (!readExact(m_stream, h + 6, 7)) return 0;
  m_width = le16(h + 6);
  m_height = le16(h + 8);
  const int packed = h[10];
  m_globalFlag = packed >> 7;
  m_colourResolution = ((packed >> 4) & 7) + 1;
  m_sortFlag = (packed >> 3) & 1;
  if (m_globalFlag && !readTable(2 << (packed & 7), m_global)) return 0;
  return 1;
}

void RKGIFDecoder::skipSubBlocks() {
  u8 count;
  while (readExact(m_stream, &count, 1) && count != 0)
    if (!m_stream->seek(count, 1)) return;
}

void RKGIFDecoder::readGraphicControl(GraphicControl& control) {
  control = GraphicControl();
  u8 count;
  if (!readExact(m_stream, &count, 1) || count == 0) return;
  u8 block[255];
  if (!readExact(m_stream, block, count)) return;
  // A block shorter than its four fields leaves the control cleared.
  if (count >= 4) {
    control.disposal = (block[0] >> 2) & 7;
    control.userInput = (block[0] >> 1) & 1;
    control.transparent = block[0] & 1;
    control.delay = le16(block + 1);
    control.transparentIndex = block[3];
  }
  skipSubBlocks();
}

int RKGIFDecoder::decodeGroup(RKImageGroup* group) {
  if (!m_headerRead || !m_stream || !group) return 0;
  group->setWidth(m_width);
  group->setHeight(m_height);
  GraphicControl control;
  int64_t groupBytes = 0;
  const int total = m_stream->available();
  for (;;) {
    notifyRow(m_stream->tell(), total);
    u8 block;
    if (!readExact(m_stream, &block, 1) || block == 0x3B) break;
    if (block == 0x21) {
      u8 label;
      if (!readExact(m_stream, &label, 1)) break;
      if (label == 0xF9)
        readGraphicControl(control);
      else
        skipSubBlocks();
    } else if (block == 0x2C) {
      FrameResult result = readFrame(group, control, groupBytes);
      if (result == FRAME_FAILED) return 0;
      // The frames so far are the picture, as when the file ends early.
      if (result == FRAME_LAST) break;
    }
  }
  // A file cut before its first frame has nothing to show.
  if (group->getCount() == 0) return 0;
  notifyFinished();
  return 1;
}

int64_t RKGIFDecoder::frameDataBytes() {
  const int start = m_stream->tell();
  int64_t bytes = 0;
  u8 count;
  // Counted as the count bytes declare them, the sub-block that the end of the file cuts too.
  if (readExact(m_stream, &count, 1))  // the minimum code size
    while (readExact(m_stream, &count, 1) && count != 0) {
      bytes += count;
      if (!m_stream->seek(count, RK_SEEK_CUR)) break;
    }
  m_stream->seek(start, RK_SEEK_SET);
  return bytes;
}

RKGIFDecoder::FrameResult RKGIFDecoder::readFrame(RKImageGroup* group, const GraphicControl& control,
                                                  int64_t& groupBytes) {
  u8 d[9];
  if (!readExact(m_stream, d, sizeof d)) return FRAME_FAILED;
  const int left = le16(d), top = le16(d + 2), width = le16(d + 4), height = le16(d + 6);
  const int packed = d[8];
  ColourTable local;
  if ((packed & 0x80) && !readTable(2 << (packed & 7), local)) return FRAME_FAILED;
  RKImage* last = group->getCount() > 0 ? group->getImage(group->getCount() - 1) : nullptr;
  int64_t bytes = imageBytes(width, height, 4);
  // Each code of at least 2 bits yields at most 4096 pixels: a frame that its own data could
  // not fill by a long way is a lying header, not worth its allocation.
  if (bytes > 0 && int64_t(width) * height > frameDataBytes() * 4 * 4096) bytes = -1;
  // A later frame is kept as a copy of the whole screen.
  const int64_t added = last ? imageBytes(last->getWidth(), last->getHeight(), 4) : bytes;
  if (bytes >= 0 && (bytes > 0 || last) && added >= 0 && groupBytes + added > groupLimit()) {
    if (last) last->release();
    return FRAME_LAST;
  }
  if (bytes <= 0) {
    // An empty frame shows the screen as it was for its own delay; one beyond the library's
    // size limit, or one its data cannot fill, is skipped with its code size byte and data.
    if (bytes == 0 && last) {
      RKImage* copy = last->clone();
      if (copy) {
        copy->setDelay(control.delay * 10);
        group->addImage(copy);
        groupBytes += added;
        copy->release();
      }
    }
    if (last) last->release();
    u8 codeSize;
    if (readExact(m_stream, &codeSize, 1)) skipSubBlocks();
    return FRAME_READ;
  }
  RKBuffer* pixels = newPixelBuffer(bytes);
  if (!pixels) {
    if (last) last->release();
    return FRAME_READ;
  }
  const int64_t written =
      decodeLzw(pixels->getData(0), width, height, (packed & 0x40) != 0, local.count ? local : m_global, control);
  // A frame whose data gives no pixel has failed: as the first it is left out, so that a file
  // without a frame that holds pixels is refused; a later one shows the screen as it was, as
  // an empty frame does.
  if (written == 0 && !last) {
    pixels->release();
    return FRAME_READ;
  }
  RKImage* frame = new (std::nothrow) RKImage(RK_PIXEL_BGRA32, pixels, left, top, width, height, control.delay * 10);
  pixels->release();
  if (frame) {
    frame->addRef();
    if (!last) {
      group->addImage(frame);
      groupBytes += added;
    } else {
      RKImage* composed = composeImage(m_width, m_height, last, frame, left, top);
      if (composed) {
        composed->setDelay(frame->getDelay());
        group->addImage(composed);
        groupBytes += added;
        composed->release();
      }
    }
    frame->release();
  }
  if (last) last->release();
  return FRAME_READ;
}

int64_t RKGIFDecoder::decodeLzw(u8* pixels, int width, int height, bool interlaced, const ColourTable& table,
                                const GraphicControl& control) {
  CodeReader codes(m_stream);
  u8 minSize;
  if (!readExact(m_stream, &minSize, 1)) return 0;
  // Sizes outside 1 to 11 would overflow the code table: the frame has no pixels.
  if (minSize < 1 || minSize > 11) {
    codes.finish();
    return 0;
  }
  const int clear = 1 << minSize;
  const int end = clear + 1;

  // Colours by index: the frame's table, or a grey ramp over the code range when the file has
  // none; indexes past the table are black.
  u8 colours[256 * 3];
  std::memset(colours, 0, sizeof colours);
  if (table.count > 0) {
    std::memcpy(colours, table.rgb.data(), size_t(table.count) * 3);
  } else {
    const int n = clear > 256 ? 256 : clear;
    for (int i = 0; i < n; ++i)
      colours[i * 3] = colours[i * 3 + 1] = colours[i * 3 + 2] = u8(n > 1 ? i * 255 / (n - 1) : 0);
  }

  std::vector<uint16_t> prefix(MAX_CODES);
  // Indexes run up to clear - 1, which above minimum code size 8 passes the largest table.
  std::vector<uint16_t> suffix(MAX_CODES), stack(MAX_CODES + 1);
  for (int i = 0; i < clear; ++i) suffix[size_t(i)] = uint16_t(i);
  int size = minSize + 1, next = clear + 2, previous = -1;
  uint16_t first = 0;

  RowOrder rows(height, interlaced);
  int x = 0;
  int64_t written = 0;
  static const u8 BLACK[3] = {0, 0, 0};
  auto put = [&](uint16_t index) {
    u8* p = pixels + (int64_t(rows.row()) * width + x) * 4;
    const u8* c = index < 256 ? colours + index * 3 : BLACK;
    p[0] = c[2];
    p[1] = c[1];
    p[2] = c[0];
    p[3] = control.transparent && index == control.transparentIndex ? 0 : 255;
    ++written;
    if (++x == width) {
      x = 0;
      rows.next();
    }
  };

  while (!rows.done()) {
    int code = codes.read(size);
    if (code < 0 || code == end) break;
    if (code == clear) {
      size = minSize + 1;
      next = clear + 2;
      previous = -1;
      continue;
    }
    if (previous < 0) {
      // The first code after a clear is a plain index.
      if (code >= clear) break;
      first = uint16_t(code);
      put(first);
      previous = code;
      continue;
    }
    // A code not yet in the table is only valid as the next one (the previous string plus
    // its own first byte); anything beyond is a corrupt stream that ends the frame.
    if (code > next) break;
    int depth = 0;
    int c = code;
    if (code == next) {
      stack[size_t(depth++)] = first;
      c = previous;
    }
    while (c >= clear) {
      stack[size_t(depth++)] = suffix[size_t(c)];
      c = prefix[size_t(c)];
    }
    first = uint16_t(c);
    stack[size_t(depth++)] = first;
    while (depth > 0 && !rows.done()) put(stack[size_t(--depth)]);
    if (next < MAX_CODES) {
      prefix[size_t(next)] = uint16_t(previous);
      suffix[size_t(next)] = first;
      ++next;
      if (next == (1 << size) && size < 12) ++size;
    }
    previous = code;
  }
  codes.finish();
  return written;
}

}  // namespace RKSDK
