#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "RKDecoderFrame.h"
#include "RKFileStream.h"
#include "TempPrefix.h"
#include "RKParam.h"

using namespace RKSDK;

namespace {

// A minimal single-image format on the frame: "TST1", width and height as 16-bit words, then
// width x height x 3 bytes of red, green, blue rows.
class TestDecoder : public RKImageDecoder {
 public:
  TestDecoder() { appendClassName("TestDecoder"); }
  int decodes = 0;
  unsigned int type = 1003;
  IRKIOStream* stream() { return m_stream; }

 protected:
  int readHeader() override {
    unsigned char header[8];
    if (m_stream->read(header, 8) != 8 || std::memcmp(header, "TST1", 4) != 0) return 0;
    m_width = header[4] | (header[5] << 8);
    m_height = header[6] | (header[7] << 8);
    return 1;
  }
  int decode(RKBuffer* target) override {
    ++decodes;
    int row = m_width * 3;
    if (!target->allocate(row * m_height > 0 ? row * m_height : 1)) return 0;
    for (int y = 0; y < m_height; ++y) {
      if (m_stream->read(target->getData(y * row), row) != row) return 0;
      notifyRow(y, m_height);
    }
    notifyFinished();
    return 1;
  }
  unsigned int pixelType() override { return type; }
  void writeInfo(RKParam* properties) override { putInfo(properties, "TST_Rows", m_height); }
};

// A multi-image format on the frame: "TSG1", a count byte, then per image a width and a
// height byte and width x height x 4 bytes.
class TestGroupDecoder : public RKImageGroupDecoder {
 public:
  TestGroupDecoder() { appendClassName("TestGroupDecoder"); }

 protected:
  int count = 0;
  int readHeader() override {
    unsigned char header[5];
    if (m_stream->read(header, 5) != 5 || std::memcmp(header, "TSG1", 4) != 0) return 0;
    count = header[4];
    m_width = m_height = 0;
    return 1;
  }
  int decodeGroup(RKImageGroup* group) override {
    for (int i = 0; i < count; ++i) {
      unsigned char size[2];
      if (m_stream->read(size, 2) != 2) return 0;
      int bytes = size[0] * size[1] * 4;
      RKBuffer* pixels = new RKBuffer(bytes);
      pixels->addRef();
      if (m_stream->read(pixels->getData(0), bytes) != bytes) {
        pixels->release();
        return 0;
      }
      RKImage* image = new RKImage(1007, pixels, 0, 0, size[0], size[1], 0);
      image->addRef();
      group->addImage(image);
      image->release();
      pixels->release();
    }
    return 1;
  }
};

struct Recorder : IRKCoderListener {
  std::vector<std::pair<int, int>> rows;
  int finished = 0;
  void rowDecoded(int row, int count) override { rows.emplace_back(row, count); }
  void decodeFinished() override { ++finished; }
};

std::vector<unsigned char> tstFile(int w, int h, unsigned char seed = 0) {
  std::vector<unsigned char> f = {'T', 'S', 'T', '1', static_cast<unsigned char>(w), 0, static_cast<unsigned char>(h),
                                  0};
  for (int i = 0; i < w * h * 3; ++i) f.push_back(static_cast<unsigned char>(seed + i));
  return f;
}

RKBuffer* bufferOf(const std::vector<unsigned char>& bytes) {
  RKBuffer* b = new RKBuffer(static_cast<int>(bytes.size()));
  b->addRef();
  b->writeAt(0, bytes.data(), static_cast<int>(bytes.size()));
  return b;
}

// A temporary emulated machine; files go to its drive C.
class TempFolder : public TempPrefix {
 public:
  std::string write(const char* name, const std::vector<unsigned char>& bytes) {
    writeFile(onC(name), std::string(bytes.begin(), bytes.end()));
    return std::string("C:\\") + name;
  }
  std::string missing() const { return "C:\\missing.tst"; }
};

std::vector<unsigned char> pixelsOf(RKBuffer* b) {
  return std::vector<unsigned char>(b->getData(0), b->getData(0) + b->getSize());
}

}  // namespace

TEST(RKDecoderFrameOpen, ClassPathHoldsCoderAndDecoder) {
  TestDecoder decoder;
  const char* path = decoder.getClassName();
  EXPECT_NE(std::strstr(path, ".RKCoder"), nullptr);
  EXPECT_NE(std::strstr(path, ".TestDecoder"), nullptr);
}

TEST(RKDecoderFrameOpen, MemoryBufferAndStream) {
  auto file = tstFile(2, 3);
  TestDecoder decoder;
  EXPECT_EQ(decoder.openMemory(nullptr, 4), 0);
  EXPECT_EQ(decoder.openMemory(file.data(), -1), 0);
  IRKCoder* coder = &decoder;
  EXPECT_EQ(coder->openMemory(file.data(), static_cast<int>(file.size())), 1);
  EXPECT_EQ(decoder.getWidth(), 2);
  EXPECT_EQ(decoder.getHeight(), 3);

  RKBuffer* buffer = bufferOf(tstFile(4, 1));
  EXPECT_EQ(decoder.openBuffer(nullptr), 0);
  EXPECT_EQ(decoder.openBuffer(buffer), 1);
  EXPECT_EQ(decoder.getWidth(), 4);

  RKBufferStream* stream = new RKBufferStream(buffer);
  stream->addRef();
  EXPECT_EQ(decoder.openStream(nullptr), 0);
  EXPECT_EQ(decoder.openStream(stream), 1);
  EXPECT_EQ(decoder.getHeight(), 1);
  RKImage* image = decoder.getImage();
  ASSERT_NE(image, nullptr);
  image->release();
  stream->release();
  buffer->release();

  const unsigned char junk[8] = {'N', 'O', 'P', 'E', 1, 0, 1, 0};
  EXPECT_EQ(decoder.openMemory(junk, 8), 0);
  EXPECT_EQ(decoder.getImage(), nullptr);  // a failed open leaves the decoder closed
}

TEST(RKDecoderFrameOpen, FileAndContents) {
  TempFolder temp;
  auto bytes = tstFile(3, 2, 40);
  std::string path = temp.write("pic.tst", bytes);
  TestDecoder decoder;
  EXPECT_EQ(decoder.openFile(RKString(temp.missing().c_str())), 0);
  EXPECT_EQ(decoder.openFile(RKString(path.c_str())), 1);
  RKBuffer* pixels = decoder.getBuffer();
  ASSERT_NE(pixels, nullptr);
  EXPECT_EQ(pixels->getSize(), 18);
  EXPECT_EQ(pixels->getData(0)[0], 40);
  pixels->release();

  // An image of undecoded file bytes opens through its pixel buffer.
  RKImage* contents = new RKImage(3001, bytes.data(), static_cast<int>(bytes.size()), 0, 0, 320, 240, 0);
  contents->addRef();
  EXPECT_EQ(decoder.openContents(nullptr), 0);
  EXPECT_EQ(decoder.openContents(contents), 1);
  EXPECT_EQ(decoder.getWidth(), 3);
  RKImage empty;
  EXPECT_EQ(decoder.openContents(&empty), 0);
  // Objects that are no images are never asked for a buffer.
  RKImageGroup* group = new RKImageGroup();
  group->addRef();
  group->addImage(contents);
  EXPECT_EQ(decoder.openContents(group), 0);
  RKBuffer* plain = bufferOf(bytes);
  EXPECT_EQ(decoder.openContents(plain), 0);
  plain->release();
  group->release();
  contents->release();
}

TEST(RKDecoderFrameOpen, MemoryStreamsAreReadOnly) {
  RKBuffer* buffer = bufferOf(tstFile(1, 1));
  int size = buffer->getSize();
  TestDecoder decoder;
  ASSERT_EQ(decoder.openBuffer(buffer), 1);
  EXPECT_EQ(decoder.stream()->seek(0x7FFFFFF0, 0), 0);
  EXPECT_EQ(decoder.stream()->write("x", 1), -1);
  EXPECT_EQ(buffer->getSize(), size);
  auto bytes = tstFile(1, 1);
  ASSERT_EQ(decoder.openMemory(bytes.data(), static_cast<int>(bytes.size())), 1);
  EXPECT_EQ(decoder.stream()->seek(1 << 30, 0), 0);
  buffer->release();
}

TEST(RKDecoderFrameOpen, SetSourceDispatchesByKind) {
  TempFolder temp;
  auto bytes = tstFile(2, 2);
  std::string path = temp.write("a.tst", bytes);
  TestDecoder decoder;
  EXPECT_EQ(decoder.setSource(nullptr), 0);

  RKString* name = new RKString(path.c_str());
  name->addRef();
  EXPECT_EQ(decoder.setSource(name), 1);
  name->release();

  RKFileStream* file = new RKFileStream();
  file->addRef();
  ASSERT_EQ(file->open(RKString(path.c_str()), 0), 1);
  EXPECT_EQ(decoder.setSource(file), 1);
  file->release();

  RKBuffer* buffer = bufferOf(bytes);
  EXPECT_EQ(decoder.setSource(buffer), 1);

  RKImage* contents = new RKImage(3001, buffer, 0, 0, 320, 240, 0);
  contents->addRef();
  EXPECT_EQ(decoder.setSource(contents), 1);

  // A buffer stream's path holds ".RKBuffer" before ".IRKIOStream": refused.
  RKBufferStream* stream = new RKBufferStream(buffer);
  stream->addRef();
  EXPECT_EQ(decoder.setSource(stream), 0);
  stream->release();
  // An image group's path holds ".RKImage": refused.
  RKImageGroup* group = new RKImageGroup();
  group->addRef();
  EXPECT_EQ(decoder.setSource(group), 0);
  group->release();
  RKColor colour;
  EXPECT_EQ(decoder.setSource(&colour), 0);
  contents->release();
  buffer->release();
}

TEST(RKDecoderFrameDecode, CachesAndClosesOnFailure) {
  auto bytes = tstFile(2, 2, 10);
  TestDecoder decoder;
  EXPECT_EQ(decoder.getBuffer(), nullptr);
  EXPECT_EQ(decoder.getImage(), nullptr);
  ASSERT_EQ(decoder.openMemory(bytes.data(), static_cast<int>(bytes.size())), 1);
  RKImage* a = decoder.getImage();
  RKImage* b = decoder.getImage();
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(decoder.decodes, 1);
  EXPECT_EQ(a->getPixelType(), 1003u);
  EXPECT_EQ(a->getWidth(), 2);
  EXPECT_EQ(a->getHeight(), 2);
  EXPECT_EQ(a->getLeft(), 0);
  RKBuffer* pa = a->getBuffer();
  RKBuffer* pb = b->getBuffer();
  EXPECT_EQ(pa, pb);  // both images over the one cached buffer
  EXPECT_EQ(pa->getData(0)[0], 10);
  pa->release();
  pb->release();
  a->release();
  b->release();

  // A new open drops the cache of the previous one.
  auto other = tstFile(1, 1, 99);
  ASSERT_EQ(decoder.openMemory(other.data(), static_cast<int>(other.size())), 1);
  RKBuffer* p = decoder.getBuffer();
  EXPECT_EQ(p->getData(0)[0], 99);
  p->release();

  auto truncated = tstFile(4, 4);
  truncated.resize(20);
  ASSERT_EQ(decoder.openMemory(truncated.data(), static_cast<int>(truncated.size())), 1);
  EXPECT_EQ(decoder.getImage(), nullptr);
  int before = decoder.decodes;
  EXPECT_EQ(decoder.getBuffer(), nullptr);  // closed: no second attempt
  EXPECT_EQ(decoder.decodes, before);
  EXPECT_EQ(decoder.readRaw(nullptr), -1);
  ASSERT_EQ(decoder.openMemory(bytes.data(), static_cast<int>(bytes.size())), 1);
  RKImage* again = decoder.getImage();
  EXPECT_NE(again, nullptr);
  again->release();
}

TEST(RKDecoderFrameDecode, GetInfoWritesKeysAfterHeader) {
  auto bytes = tstFile(5, 7);
  TestDecoder decoder;
  RKParam params;
  EXPECT_EQ(decoder.getInfo(&params), 0);
  ASSERT_EQ(decoder.openMemory(bytes.data(), static_cast<int>(bytes.size())), 1);
  EXPECT_EQ(decoder.getInfo(&params), 1);
  EXPECT_EQ(params.getInt("IMAGE_ImageType"), 1003);
  EXPECT_EQ(params.getInt("IMAGE_Width"), 5);
  EXPECT_EQ(params.getInt("IMAGE_Height"), 7);
  EXPECT_EQ(params.getInt("TST_Rows"), 7);
  EXPECT_EQ(decoder.decodes, 0);  // information needs no decode
}

TEST(RKDecoderFrameDecode, ReadRawSizesAndCopies) {
  auto bytes = tstFile(3, 2, 5);
  TestDecoder decoder;
  EXPECT_EQ(decoder.readRaw(nullptr), -1);
  ASSERT_EQ(decoder.openMemory(bytes.data(), static_cast<int>(bytes.size())), 1);
  EXPECT_EQ(decoder.readRaw(nullptr), 18);
  EXPECT_EQ(decoder.decodes, 0);
  std::vector<unsigned char> out(18);
  EXPECT_EQ(decoder.readRaw(out.data()), 18);
  EXPECT_EQ(std::vector<unsigned char>(bytes.begin() + 8, bytes.end()), out);

  // Four bytes a pixel for four-byte types; a decoded buffer shorter than that is not read
  // past.
  decoder.type = 1007;
  EXPECT_EQ(decoder.readRaw(nullptr), 24);
  std::vector<unsigned char> big(24);
  EXPECT_EQ(decoder.readRaw(big.data()), -1);
}

TEST(RKDecoderFrameDecode, DecodeToImageAndBuffer) {
  auto bytes = tstFile(2, 3, 1);
  TestDecoder decoder;
  RKImage* image = new RKImage();
  image->addRef();
  EXPECT_EQ(decoder.decodeTo(image), 0);
  ASSERT_EQ(decoder.openMemory(bytes.data(), static_cast<int>(bytes.size())), 1);
  EXPECT_EQ(decoder.decodeTo(nullptr), 0);
  EXPECT_EQ(decoder.decodeTo(image), 1);
  EXPECT_EQ(image->getPixelType(), 1003u);
  EXPECT_EQ(image->getWidth(), 2);
  EXPECT_EQ(image->getHeight(), 3);
  EXPECT_EQ(image->hasAllPixels(), 1);
  image->release();

  // Into a buffer: the first decode goes straight into the target, which becomes the cache;
  // a second target receives a copy.
  TestDecoder fresh;
  ASSERT_EQ(fresh.openMemory(bytes.data(), static_cast<int>(bytes.size())), 1);
  RKBuffer* first = new RKBuffer();
  first->addRef();
  EXPECT_EQ(fresh.decodeTo(first), 1);
  EXPECT_EQ(first->getSize(), 18);
  RKBuffer* cached = fresh.getBuffer();
  EXPECT_EQ(cached, first);
  cached->release();
  RKBuffer* second = new RKBuffer();
  second->addRef();
  EXPECT_EQ(fresh.decodeTo(second), 1);
  EXPECT_EQ(fresh.decodes, 1);
  EXPECT_NE(second, first);
  EXPECT_EQ(pixelsOf(second), pixelsOf(first));
  second->release();
  first->release();

  RKImageGroup* group = new RKImageGroup();
  group->addRef();
  EXPECT_EQ(fresh.decodeTo(group), 0);
  group->release();
  RKBuffer* buffer = bufferOf(bytes);
  RKBufferStream* stream = new RKBufferStream(buffer);
  stream->addRef();
  EXPECT_EQ(fresh.decodeTo(stream), 0);
  stream->release();
  buffer->release();
}

TEST(RKDecoderFrameDecode, ListenerHearsRowsAndEnd) {
  auto bytes = tstFile(2, 3);
  TestDecoder decoder;
  Recorder recorder;
  EXPECT_EQ(decoder.setListener(&recorder), 1);
  ASSERT_EQ(decoder.openMemory(bytes.data(), static_cast<int>(bytes.size())), 1);
  EXPECT_EQ(decoder.readRaw(nullptr), 18);
  EXPECT_TRUE(recorder.rows.empty());
  RKBuffer* b = decoder.getBuffer();
  b->release();
  ASSERT_EQ(recorder.rows.size(), 3u);
  EXPECT_EQ(recorder.rows[0], std::make_pair(0, 3));
  EXPECT_EQ(recorder.rows[2], std::make_pair(2, 3));
  EXPECT_EQ(recorder.finished, 1);

  EXPECT_EQ(decoder.clearListener(), 1);
  ASSERT_EQ(decoder.openMemory(bytes.data(), static_cast<int>(bytes.size())), 1);
  b = decoder.getBuffer();
  b->release();
  EXPECT_EQ(recorder.rows.size(), 3u);
  EXPECT_EQ(recorder.finished, 1);
}

TEST(RKDecoderFrameGroup, GroupDecoderCachesSharesAndSums) {
  std::vector<unsigned char> file = {'T', 'S', 'G', '1', 2, 1, 2};
  for (int i = 0; i < 8; ++i) file.push_back(static_cast<unsigned char>(i));
  file.push_back(2);
  file.push_back(1);
  for (int i = 0; i < 8; ++i) file.push_back(static_cast<unsigned char>(100 + i));

  TestGroupDecoder decoder;
  EXPECT_EQ(decoder.getImage(), nullptr);
  EXPECT_EQ(decoder.readRaw(nullptr), -1);
  ASSERT_EQ(decoder.openMemory(file.data(), static_cast<int>(file.size())), 1);
  RKParam params;
  EXPECT_EQ(decoder.getInfo(&params), 1);
  EXPECT_EQ(params.getInt("IMAGE_ImageType"), 1007);

  EXPECT_EQ(decoder.readRaw(nullptr), 16);
  std::vector<unsigned char> all(16);
  EXPECT_EQ(decoder.readRaw(all.data()), 16);
  EXPECT_EQ(all[0], 0);
  EXPECT_EQ(all[8], 100);

  RKImageGroup* group = decoder.getImage();
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(group->getCount(), 2);
  RKImageGroup* target = new RKImageGroup();
  target->addRef();
  EXPECT_EQ(decoder.decodeTo(target), 1);
  ASSERT_EQ(target->getCount(), 2);
  RKImage* shared = target->getImage(1);
  RKImage* original = group->getImage(1);
  EXPECT_EQ(shared, original);
  shared->release();
  original->release();
  target->release();
  group->release();

  RKImage* image = new RKImage();
  image->addRef();
  EXPECT_EQ(decoder.decodeTo(image), 0);
  image->release();

  file.resize(12);
  TestGroupDecoder broken;
  ASSERT_EQ(broken.openMemory(file.data(), static_cast<int>(file.size())), 1);
  RKImageGroup* none = new RKImageGroup();
  none->addRef();
  EXPECT_EQ(broken.decodeTo(none), 0);
  EXPECT_EQ(broken.getImage(), nullptr);
  none->release();
}

TEST(RKDecoderFrameSizes, ImageBytesGuardsOverflowAndCap) {
  EXPECT_EQ(RKDecoderFrame::imageBytes(10, 20, 3), 600);
  EXPECT_EQ(RKDecoderFrame::imageBytes(0, 20, 3), 0);
  EXPECT_EQ(RKDecoderFrame::imageBytes(-1, 20, 3), -1);
  EXPECT_EQ(RKDecoderFrame::imageBytes(65535, 65535, 4), -1);
  EXPECT_EQ(RKDecoderFrame::imageBytes(0x7FFFFFFF, 0x7FFFFFFF, 4), -1);
  EXPECT_EQ(RKDecoderFrame::imageBytes(16384, 16384, 4), RK_MAX_IMAGE_BYTES);
}
