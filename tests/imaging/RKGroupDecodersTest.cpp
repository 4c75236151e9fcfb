// GIF and ICO/CUR decoders through their public operations, on files built here.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ByteWriter.h"
#include "DecodedImage.h"
#include "RasterFileWriters.h"
#include "RKGIFDecoder.h"
#include "RKICODecoder.h"
#include "RKParam.h"

using namespace RKSDK;

namespace {

using Bytes = std::vector<unsigned char>;

struct Frame {
  unsigned type = 0;
  int left = 0, top = 0, width = 0, height = 0;
  unsigned delay = 0;
  Bytes pixels;
};

// All images of the decoder's group; empty when there is none.
std::vector<Frame> framesOf(RKImageGroupDecoder& decoder, const std::string& file) {
  std::vector<Frame> out;
  if (!decoder.openMemory(file.data(), int(file.size()))) return out;
  RKImageGroup* group = decoder.getImage();
  if (!group) return out;
  for (int i = 0; i < group->getCount(); ++i) {
    RKImage* image = group->getImage(i);
    Frame f;
    f.type = image->getPixelType();
    f.left = image->getLeft();
    f.top = image->getTop();
    f.width = image->getWidth();
    f.height = image->getHeight();
    f.delay = image->getDelay();
    f.pixels = bytesOf(image->getBuffer());
    image->release();
    out.push_back(f);
  }
  group->release();
  return out;
}

// ---- GIF files ----

std::string graphicControl(int delay, bool transparent, int index) {
  std::string s = "\x21\xF9\x04";
  s.push_back(char(transparent ? 1 : 0));
  put16(s, delay);
  s.push_back(char(index));
  return s + std::string(1, '\0');
}

// Four colours: black, red, green, blue.
const std::string kTable = std::string("\0\0\0\xFF\0\0\0\xFF\0\0\0\xFF", 12);

Bytes bgra(std::initializer_list<int> colours, int transparentColour = -1) {
  static const unsigned char rgb[4][3] = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  Bytes out;
  for (int c : colours) {
    out.push_back(rgb[c][2]);
    out.push_back(rgb[c][1]);
    out.push_back(rgb[c][0]);
    out.push_back(c == transparentColour ? 0 : 255);
  }
  return out;
}

}  // namespace

TEST(RKGIFDecoder, SingleFrameWithItsOwnSizeAndOffsets) {
  const std::string file = gifHeader(5, 4, kTable) + frameData(1, 2, 2, 2, {0, 1, 2, 3}) + ";";
  RKGIFDecoder decoder;
  EXPECT_NE(std::string(decoder.getClassName()).find(".RKGIFDecoder"), std::string::npos);
  std::vector<Frame> frames = framesOf(decoder, file);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].type, 1007u);
  EXPECT_EQ(frames[0].left, 1);
  EXPECT_EQ(frames[0].top, 2);
  EXPECT_EQ(frames[0].width, 2);
  EXPECT_EQ(frames[0].height, 2);
  EXPECT_EQ(frames[0].pixels, bgra({0, 1, 2, 3}));
  EXPECT_EQ(decoder.getWidth(), 5);
  EXPECT_EQ(decoder.getHeight(), 4);
  RKImageGroup* group = decoder.getImage();
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(group->getWidth(), 5);
  EXPECT_EQ(group->getHeight(), 4);
  group->release();
  RKParam params;
  ASSERT_EQ(decoder.getInfo(&params), 1);
  EXPECT_EQ(params.getInt("IMAGE_ImageType"), 1007);
  EXPECT_EQ(params.getInt("IMAGE_Width"), 5);
  EXPECT_EQ(decoder.readRaw(nullptr), 16);
}

TEST(RKGIFDecoder, AnimationComposesFramesAndKeepsTheGraphicControl) {
  const std::string file = gifHeader(3, 1, kTable) + graphicControl(10, true, 0) + frameData(0, 0, 3, 1, {1, 1, 1}) +
                           "\x21\xFE\x03"
                           "abc" +
                           std::string(1, '\0') +
                           std::string(
                               "\x21\xFF\x0B"
                               "NETSCAPE2.0\x03\x01\x00\x00\x00",
                               19) +
                           frameData(1, 0, 2, 1, {0, 3}) + ";";
  RKGIFDecoder decoder;
  std::vector<Frame> frames = framesOf(decoder, file);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].delay, 100u);
  EXPECT_EQ(frames[0].pixels, bgra({1, 1, 1}));
  // The second frame keeps the transparent index 0 and the delay, and is drawn over the first.
  EXPECT_EQ(frames[1].delay, 100u);
  EXPECT_EQ(frames[1].width, 3);
  EXPECT_EQ(frames[1].pixels, bgra({1, 1, 3}));
}

TEST(RKGIFDecoder, TransparencyAndInterlace) {
  RKGIFDecoder decoder;
  std::vector<Frame> frames =
      framesOf(decoder, gifHeader(2, 1, kTable) + graphicControl(0, true, 2) + frameData(0, 0, 2, 1, {2, 1}) + ";");
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].pixels, bgra({2, 1}, 2));

  // A 1 x 10 interlaced frame stores rows 0, 8, 4, 2, 6, 1, 3, 5, 7, 9.
  std::string table;
  for (int i = 0; i < 16; ++i) table += std::string{char(i), char(i), char(i)};
  frames =
      framesOf(decoder, gifHeader(1, 10, table) + frameData(0, 0, 1, 10, {0, 8, 4, 2, 6, 1, 3, 5, 7, 9}, true) + ";");
  ASSERT_EQ(frames.size(), 1u);
  for (int row = 0; row < 10; ++row) EXPECT_EQ(frames[0].pixels[size_t(row) * 4], row) << row;
  // Three rows: 0, 2, 1.
  frames = framesOf(decoder, gifHeader(1, 3, table) + frameData(0, 0, 1, 3, {0, 2, 1}, true) + ";");
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].pixels[4], 1);
  EXPECT_EQ(frames[0].pixels[8], 2);
}

TEST(RKGIFDecoder, LocalTablesAndCompressedCodes) {
  RKGIFDecoder decoder;
  const std::string local = std::string("\x10\x20\x30\x40\x50\x60", 6);
  std::vector<Frame> frames =
      framesOf(decoder, gifHeader(2, 1, kTable) + frameData(0, 0, 2, 1, {1, 0}, false, local) + ";");
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].pixels, (Bytes{0x60, 0x50, 0x40, 255, 0x30, 0x20, 0x10, 255}));

  // Real LZW with minimum code size 2: clear, 1, 6 (= 1 1, the code being defined), 6, end.
  // 3-bit codes: 4, 1, 6, 6, 5.
  std::string data = "\x02\x02";
  uint32_t bits = 4 | (1 << 3) | (6 << 6) | (6 << 9) | (5 << 12);
  data.push_back(char(bits & 0xFF));
  data.push_back(char(bits >> 8));
  data += std::string(1, '\0');
  std::string file = gifHeader(5, 1, kTable) + "\x2C";
  put16(file, 0);
  put16(file, 0);
  put16(file, 5);
  put16(file, 1);
  file.push_back(0);
  frames = framesOf(decoder, file + data + ";");
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].pixels, bgra({1, 1, 1, 1, 1}));
}

TEST(RKGIFDecoder, HostileFilesFailCleanly) {
  RKGIFDecoder decoder;
  const std::string good = gifHeader(2, 1, kTable) + frameData(0, 0, 2, 1, {1, 2}) + ";";
  EXPECT_TRUE(framesOf(decoder, "GIF88a" + good.substr(6)).empty());
  EXPECT_EQ(decoder.openMemory("GIF8", 4), 0);
  // Truncated after a frame: the frames read so far. Truncated inside the descriptor: none.
  EXPECT_EQ(framesOf(decoder, good.substr(0, good.size() - 1)).size(), 1u);
  EXPECT_TRUE(framesOf(decoder, good.substr(0, gifHeader(2, 1, kTable).size() + 5)).empty());
  for (size_t n = 0; n < good.size(); ++n) framesOf(decoder, good.substr(0, n));

  // No colour table at all: a default one.
  std::vector<Frame> frames = framesOf(decoder, gifHeader(2, 1, "") + frameData(0, 0, 2, 1, {0, 255}) + ";");
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].pixels, (Bytes{0, 0, 0, 255, 255, 255, 255, 255}));
  // An index past the table is black, one of 256 and above too (minimum code size 9: clear 512,
  // end 513), even where the graphic control makes its low byte transparent.
  frames = framesOf(decoder, gifHeader(2, 1, kTable) + frameData(0, 0, 2, 1, {9, 1}) + ";");
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].pixels, bgra({0, 1}));
  std::string wide = gifHeader(3, 1, kTable) + graphicControl(0, true, 2) + "\x2C";
  put16(wide, 0), put16(wide, 0), put16(wide, 3), put16(wide, 1);
  wide += std::string(1, '\0') + "\x09\x05";
  uint64_t codes = 512 | uint64_t(257) << 10 | uint64_t(258) << 20 | uint64_t(1) << 30 | uint64_t(513) << 40;
  for (int i = 0; i < 5; ++i) wide.push_back(char(codes >> (8 * i)));
  frames = framesOf(decoder, wide + std::string(1, '\0') + ";");
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].pixels, bgra({0, 0, 1}));

  // Minimum code sizes 0 and 12 give the only frame no pixel: the file is refused. A zero-sized
  // frame is skipped.
  for (char size : {'\0', '\x0C'}) {
    std::string f = gifHeader(1, 1, kTable) + "\x2C";
    put16(f, 0), put16(f, 0), put16(f, 1), put16(f, 1);
    f.push_back(0);
    f += std::string(1, size) + "\x02\xFF\xFF" + std::string(1, '\0') + ";";
    EXPECT_TRUE(framesOf(decoder, f).empty()) << int(size);
  }
  frames = framesOf(decoder, gifHeader(2, 1, kTable) + frameData(0, 0, 0, 0, {}) + frameData(0, 0, 2, 1, {1, 1}) + ";");
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].width, 2);

  // A graphic control shorter than its fields; a huge frame; a corrupt code stream.
  frames = framesOf(decoder, gifHeader(2, 1, kTable) + std::string("\x21\xF9\x02\x01\x05", 5) + std::string(1, '\0') +
                                 frameData(0, 0, 2, 1, {1, 1}) + ";");
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].pixels, bgra({1, 1}));
  EXPECT_TRUE(framesOf(decoder, gifHeader(2, 1, kTable) + frameData(0, 0, 65535, 65535, {1}) + ";").empty());
  std::string corrupt = gifHeader(2, 1, kTable) + "\x2C";
  put16(corrupt, 0), put16(corrupt, 0), put16(corrupt, 2), put16(corrupt, 1);
  corrupt += std::string("\0\x02\x02\xFF\xFF", 5) + std::string(1, '\0') + ";";
  EXPECT_TRUE(framesOf(decoder, corrupt).empty());
}

namespace {

// An image descriptor without a local table, then minimum code size minSize and codes of
// minSize + 1 bits each in one sub-block and the empty one (so at most a few codes after each
// clear, before the decoder would widen them).
std::string frameOfCodes(int w, int h, int minSize, const std::vector<int>& codes) {
  std::string s = "\x2C";
  put16(s, 0), put16(s, 0), put16(s, w), put16(s, h);
  s.push_back(0);
  s.push_back(char(minSize));
  std::string bytes;
  uint32_t acc = 0;
  int bits = 0;
  for (int c : codes) {
    acc |= uint32_t(c) << bits;
    for (bits += minSize + 1; bits >= 8; bits -= 8, acc >>= 8) bytes.push_back(char(acc & 0xFF));
  }
  if (bits > 0) bytes.push_back(char(acc & 0xFF));
  s.push_back(char(bytes.size()));
  return s + bytes + std::string(1, '\0');
}

}  // namespace

TEST(RKGIFDecoder, FramesWithoutPixelsFailAndAFileWithoutPixelsIsRefused) {
  RKGIFDecoder decoder;
  const std::string head = gifHeader(2, 1, kTable);
  // Minimum code size 2: clear 4, end 5.
  const std::string good = frameOfCodes(2, 1, 2, {4, 1, 2, 5});
  ASSERT_EQ(framesOf(decoder, head + good + ";").size(), 1u);
  std::string noData = "\x2C";
  put16(noData, 0), put16(noData, 0), put16(noData, 2), put16(noData, 1);
  noData.push_back(0);
  const std::string failing[] = {
      frameOfCodes(2, 1, 2, {4, 6, 1}),   // a first code that is no index
      frameOfCodes(2, 1, 2, {7, 1, 2}),   // the same without the clear
      frameOfCodes(2, 1, 2, {4, 5}),      // clear, then at once the end
      frameOfCodes(2, 1, 12, {1, 2}),     // minimum code size 12
      noData + std::string("\x02\0", 2),  // no data sub-block
  };
  for (const std::string& f : failing) {
    EXPECT_TRUE(framesOf(decoder, head + f + ";").empty()) << testing::PrintToString(f);
    EXPECT_TRUE(framesOf(decoder, head + f + f + ";").empty());
    // A failed first frame is left out: the group starts with the next one.
    std::vector<Frame> frames = framesOf(decoder, head + f + graphicControl(3, false, 0) + good + ";");
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].delay, 30u);
    EXPECT_EQ(frames[0].pixels, bgra({1, 2}));
    // A failed later frame changes nothing on the screen.
    frames = framesOf(decoder, head + good + graphicControl(3, false, 0) + f + ";");
    ASSERT_FALSE(frames.empty());
    for (const Frame& frame : frames) EXPECT_EQ(frame.pixels, bgra({1, 2}));
  }
  // The file ends inside the only sub-block, before its first 9-bit code is whole.
  EXPECT_TRUE(framesOf(decoder, head + noData + std::string("\x08\x05\x01", 3)).empty());
}

TEST(RKGIFDecoder, FrameCutByTheEndOfTheFileKeepsThePixelsItsDataHolds) {
  RKGIFDecoder decoder;
  // 4 x 4 in 9-bit codes, clear first: cut inside the only sub-block after 10 of its bytes,
  // which hold the clear code, 7 codes and 8 bits of the next.
  const std::vector<int> indexes{1, 2, 3, 0, 3, 2, 1, 1, 2, 3, 0, 0, 1, 2, 3, 1};
  const std::string head = gifHeader(4, 4, kTable);
  const std::string file = head + frameData(0, 0, 4, 4, indexes);
  const size_t dataStart = head.size() + 10 + 2;  // descriptor, code size and count bytes
  std::vector<Frame> frames = framesOf(decoder, file.substr(0, dataStart + 10));
  ASSERT_EQ(frames.size(), 1u);
  Bytes expected = bgra({1, 2, 3, 0, 3, 2, 1});
  expected.resize(16 * 4, 0);  // the rest of the frame stays transparent
  EXPECT_EQ(frames[0].pixels, expected);
  frames = framesOf(decoder, file.substr(0, dataStart + 3));  // clear and one code
  ASSERT_EQ(frames.size(), 1u);
  expected = bgra({1});
  expected.resize(16 * 4, 0);
  EXPECT_EQ(frames[0].pixels, expected);
  EXPECT_TRUE(framesOf(decoder, file.substr(0, dataStart + 2)).empty());  // the clear code only

  // An interlaced 20 x 20 frame cut 100 bytes into its second sub-block: the 255 bytes of the
  // first and the 100 of the second hold 315 codes, of which two are clear codes.
  std::vector<int> many;
  for (int i = 0; i < 400; ++i) many.push_back((i * 7 + i / 20) % 4);
  const std::string big = gifHeader(20, 20, kTable) + frameData(0, 0, 20, 20, many, true);
  std::vector<Frame> whole = framesOf(decoder, big + ";");
  frames = framesOf(decoder, big.substr(0, gifHeader(20, 20, kTable).size() + 10 + 1 + 1 + 255 + 1 + 100));
  ASSERT_EQ(whole.size(), 1u);
  ASSERT_EQ(frames.size(), 1u);
  ASSERT_EQ(frames[0].pixels.size(), whole[0].pixels.size());
  int kept = 0;
  for (size_t p = 0; p < frames[0].pixels.size(); p += 4) {
    const Bytes pixel(frames[0].pixels.begin() + p, frames[0].pixels.begin() + p + 4);
    if (pixel[3] == 0) continue;
    ++kept;
    EXPECT_EQ(pixel, Bytes(whole[0].pixels.begin() + p, whole[0].pixels.begin() + p + 4)) << p / 4;
  }
  EXPECT_EQ(kept, 313);
}

namespace {

// A group decoder whose groups may hold only limit pixel bytes.
template <class Decoder>
class Capped : public Decoder {
 public:
  explicit Capped(int64_t limit) : m_limit(limit) {}

 protected:
  int64_t groupLimit() override { return m_limit; }

 private:
  int64_t m_limit;
};

}  // namespace

TEST(RKGIFDecoder, GroupStopsAtTheSizeCapWithTheFramesSoFar) {
  // Each frame of a 2 x 1 screen takes 8 bytes; a cap of 20 keeps two of four.
  std::string file = gifHeader(2, 1, kTable);
  for (int c = 0; c < 4; ++c) file += graphicControl(c, false, 0) + frameData(0, 0, 2, 1, {c, c});
  file += ";";
  Capped<RKGIFDecoder> capped(20);
  std::vector<Frame> frames = framesOf(capped, file);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[1].delay, 10u);
  EXPECT_EQ(frames[1].pixels, bgra({1, 1}));
  // Exactly at the cap the frame is kept.
  Capped<RKGIFDecoder> exact(24);
  EXPECT_EQ(framesOf(exact, file).size(), 3u);
  // A first frame beyond the cap leaves nothing to show.
  Capped<RKGIFDecoder> tiny(3);
  EXPECT_TRUE(framesOf(tiny, file).empty());
}

TEST(RKGIFDecoder, FrameSizeIsCheckedAgainstItsOwnData) {
  // A 300 x 300 frame whose data is 3 bytes cannot be filled by it, however much of the file
  // follows: it is skipped, the frame before it stays.
  std::string file = gifHeader(300, 300, kTable) + frameData(0, 0, 1, 1, {1});
  file += "\x2C";
  put16(file, 0), put16(file, 0), put16(file, 300), put16(file, 300);
  file.push_back(0);
  file += std::string("\x02\x01\x04", 3) + std::string(1, '\0');
  file += "\x21\xFE";
  for (int i = 0; i < 200; ++i) file += "\xFF" + std::string(255, 'x');
  file += std::string(1, '\0') + ";";
  RKGIFDecoder decoder;
  std::vector<Frame> frames = framesOf(decoder, file);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].width, 1);
}

TEST(RKGIFDecoder, ZeroAreaFrameRepeatsThePreviousWithItsOwnDelay) {
  const std::string file = gifHeader(2, 1, kTable) + graphicControl(5, false, 0) + frameData(0, 0, 2, 1, {1, 2}) +
                           graphicControl(7, false, 0) + frameData(1, 0, 0, 0, {}) + ";";
  RKGIFDecoder decoder;
  std::vector<Frame> frames = framesOf(decoder, file);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[1].delay, 70u);
  EXPECT_EQ(frames[1].width, 2);
  EXPECT_EQ(frames[1].pixels, bgra({1, 2}));
}

// ---- ICO and CUR files ----

namespace {}  // namespace

TEST(RKICODecoder, EntriesWithMasksReadAsStored) {
  // 1-bit 3 x 2: palette black, white; colour rows bottom-up, padded to 4 bytes.
  IconEntry mono{3,
                 2,
                 1,
                 std::string("\0\0\0\0\xFF\xFF\xFF\0", 8),
                 std::string("\xA0\0\0\0\x40\0\0\0", 8),  // bottom row 1 0 1, top row 0 1 0
                 std::string("\x80\0\0\0\x20\0\0\0", 8),  // bottom row: left pixel; top row: right pixel
                 0};
  // 32-bit 2 x 1 keeps the file's alpha where the mask is clear.
  IconEntry rgba{2, 1, 32, "", std::string("\1\2\3\x40\4\5\6\x80", 8), std::string("\x40\0\0\0", 4), 0};
  RKICODecoder decoder;
  EXPECT_NE(std::string(decoder.getClassName()).find(".RKICODecoder"), std::string::npos);
  const std::string file = iconFile({mono, rgba});
  std::vector<Frame> frames = framesOf(decoder, file);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].type, 1007u);
  EXPECT_EQ(frames[0].width, 3);
  EXPECT_EQ(frames[0].height, 2);
  EXPECT_EQ(frames[0].pixels,
            (Bytes{0,   0,   0,   255, 255, 255, 255, 255, 0,   0,   0,   0,       // top: 0 1 0, right masked
                   255, 255, 255, 0,   0,   0,   0,   255, 255, 255, 255, 255}));  // bottom: left masked
  EXPECT_EQ(frames[1].pixels, (Bytes{1, 2, 3, 0x40, 4, 5, 6, 0}));

  // A cursor decodes alike.
  EXPECT_EQ(framesOf(decoder, iconFile({mono, rgba}, 2))[0].pixels, frames[0].pixels);
  EXPECT_EQ(decoder.getWidth(), 3);
  EXPECT_EQ(decoder.getHeight(), 2);
  RKParam params;
  ASSERT_EQ(decoder.getInfo(&params), 1);
  EXPECT_EQ(params.getInt("IMAGE_ImageType"), 1007);
  EXPECT_EQ(decoder.readRaw(nullptr), 24 + 8);
}

TEST(RKICODecoder, MaskIsLeftOutWhenTheResourceHasNoRoomForIt) {
  std::string palette(1024, '\0');
  palette[4] = 9;
  IconEntry withField{4, 1, 8, palette, std::string("\1\1\1\1", 4), std::string("\xF0\0\0\0", 4), 8};
  RKICODecoder decoder;
  std::vector<Frame> frames = framesOf(decoder, iconFile({withField}));
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].pixels[3], 255);
  withField.imageSizeField = 0;
  frames = framesOf(decoder, iconFile({withField}));
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].pixels, (Bytes{9, 0, 0, 0, 9, 0, 0, 0, 9, 0, 0, 0, 9, 0, 0, 0}));
}

TEST(RKICODecoder, EntryLayoutsDecodeAsStoredOrAreRefused) {
  // 2 x 1 entries whose mask hides the right pixel. Expected: the two pixels' blue, green, red,
  // alpha, or empty for a refused file.
  const std::string mask("\x40\0\0\0", 4);
  const std::string twoColours("\1\2\3\0\4\5\6\0", 8);
  const Bytes seen{1, 2, 3, 255, 4, 5, 6, 0};
  auto masks = [](uint32_t r, uint32_t g, uint32_t b) {
    std::string m;
    for (uint32_t v : {r, g, b}) put32(m, v);
    return m;
  };
  IconEntry used{2, 1, 8, twoColours, std::string("\0\1\0\0", 4), mask, 0};
  used.coloursUsed = 2;
  IconEntry v4{2, 1, 24, "", std::string("\1\2\3\4\5\6\0\0", 8), mask, 0};
  v4.infoSize = 108;
  IconEntry rgb565{2, 1, 16, masks(0xF800, 0x07E0, 0x001F), std::string("\x1F\0\xE0\x07", 4), mask, 0};
  rgb565.compression = 3;
  IconEntry rgb444 = rgb565;
  rgb444.palette = masks(0x0F00, 0x00F0, 0x000F);
  IconEntry bgr32{2, 1, 32, masks(0xFF, 0xFF00, 0xFF0000), std::string("\1\2\3\xFF\4\5\6\xFF", 8), mask, 0};
  bgr32.compression = 3;
  IconEntry rle{2, 1, 8, std::string(1024, '\0'), std::string("\2\0\0\1", 4), mask, 0};
  rle.compression = 1;
  IconEntry threeBits{2, 1, 3, std::string(32, '\0'), std::string(4, '\0'), mask, 0};
  struct Case {
    const char* name;
    IconEntry entry;
    Bytes pixels;
  } cases[] = {
      {"palette of the colours used", used, seen},
      {"longer info header", v4, seen},
      {"5-6-5 bit fields", rgb565, Bytes{248, 0, 0, 255, 0, 252, 0, 0}},
      {"4-4-4 bit fields", rgb444, {}},
      {"32-bit fields in another order", bgr32, {}},
      {"run-length compression", rle, {}},
      {"3 bits a pixel", threeBits, {}},
  };
  RKICODecoder decoder;
  for (const Case& c : cases) {
    std::vector<Frame> frames = framesOf(decoder, iconFile({c.entry}));
    if (c.pixels.empty()) {
      EXPECT_TRUE(frames.empty()) << c.name;
    } else {
      EXPECT_EQ(frames.size(), 1u) << c.name;
      if (frames.size() == 1) {
        EXPECT_EQ(frames[0].pixels, c.pixels) << c.name;
      }
    }
  }
}

TEST(RKICODecoder, TwoBitRowsTakeFourPixelsAByte) {
  // 5 x 1, indexes 0 1 2 3 1: four palette entries, no mask bits set.
  const std::string palette("\1\1\1\0\2\2\2\0\3\3\3\0\4\4\4\0", 16);
  IconEntry entry{5, 1, 2, palette, std::string("\x1B\x40\0\0", 4), std::string(4, '\0'), 0};
  RKICODecoder decoder;
  std::vector<Frame> frames = framesOf(decoder, iconFile({entry}));
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].pixels, (Bytes{1, 1, 1, 255, 2, 2, 2, 255, 3, 3, 3, 255, 4, 4, 4, 255, 2, 2, 2, 255}));
}

TEST(RKICODecoder, HostileFilesFailCleanly) {
  IconEntry ok{1, 1, 24, "", std::string("\1\2\3\0", 4), std::string(4, '\0'), 0};
  RKICODecoder decoder;
  const std::string good = iconFile({ok});
  EXPECT_EQ(framesOf(decoder, good).size(), 1u);
  EXPECT_TRUE(framesOf(decoder, iconFile({ok}, 3)).empty());
  EXPECT_TRUE(framesOf(decoder, iconFile({ok}, 1, 1)).empty());
  // No entries: opens, but there is nothing to decode.
  const std::string none = iconFile({});
  EXPECT_EQ(decoder.openMemory(none.data(), int(none.size())), 1);
  EXPECT_EQ(decoder.getImage(), nullptr);
  for (size_t n = 0; n + 4 < good.size(); ++n) EXPECT_TRUE(framesOf(decoder, good.substr(0, n)).empty()) << n;
  IconEntry negative = ok;
  negative.width = -1;
  EXPECT_TRUE(framesOf(decoder, iconFile({negative})).empty());
  IconEntry huge = ok;
  huge.width = 0x7FFFFFFF;
  huge.height = 0x3FFFFFFF;
  EXPECT_TRUE(framesOf(decoder, iconFile({huge})).empty());
  IconEntry noBits = ok;
  noBits.bitCount = 0;
  noBits.width = 30000;
  noBits.height = 30000;
  EXPECT_TRUE(framesOf(decoder, iconFile({noBits})).empty());
  // One failing entry fails the whole file.
  IconEntry cut = ok;
  cut.colour = "\1";
  cut.mask = "";
  EXPECT_TRUE(framesOf(decoder, iconFile({ok, cut})).empty());
}

namespace {

// The one-entry icon file with its directory entry listed count times, every listing pointing
// at the same image data.
std::string sharedEntries(const std::string& one, int count) {
  std::string file = one.substr(0, 4);
  put16(file, count);
  std::string entry = one.substr(6, 16);
  const uint32_t data = uint32_t(6 + 16 * count);
  for (int i = 0; i < 4; ++i) entry[12 + i] = char(data >> (8 * i));
  for (int i = 0; i < count; ++i) file += entry;
  return file + one.substr(22);
}

}  // namespace

TEST(RKICODecoder, EntriesSharingTheirDataStopAtTheGroupCapWithTheEntriesSoFar) {
  // Each 8 x 8 image takes 256 pixel bytes; forty listings of one image, 22 bytes of file each.
  IconEntry entry{8, 8, 32, "", std::string(8 * 8 * 4, '\x40'), std::string(32, '\0'), 0};
  const std::string one = iconFile({entry});
  const std::string forty = sharedEntries(one, 40);
  RKICODecoder decoder;
  const std::vector<Frame> alone = framesOf(decoder, one);
  ASSERT_EQ(alone.size(), 1u);
  EXPECT_EQ(framesOf(decoder, forty).size(), 40u);
  Capped<RKICODecoder> capped(1000);
  const std::vector<Frame> frames = framesOf(capped, forty);
  ASSERT_EQ(frames.size(), 3u);
  for (const Frame& f : frames) EXPECT_EQ(f.pixels, alone[0].pixels);
  // Exactly at the cap the entry is kept; a first entry beyond it leaves nothing to show.
  Capped<RKICODecoder> exact(1024);
  EXPECT_EQ(framesOf(exact, forty).size(), 4u);
  Capped<RKICODecoder> tiny(255);
  EXPECT_TRUE(framesOf(tiny, forty).empty());
}
