// PNM, PGX and Sun raster decoders through their public operations.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "DecodedImage.h"
#include "RasterFileWriters.h"
#include "RKBufferStream.h"
#include "RKPGXDecoder.h"
#include "RKPNMDecoder.h"
#include "RKRASDecoder.h"
#if __has_include("RKParam.h")
#include "RKParam.h"
#define RK_HAVE_PARAM 1
#endif

using namespace RKSDK;

namespace {

using Bytes = std::vector<unsigned char>;

std::string str(std::initializer_list<int> values) { return byteString(values); }

int open(RKJasperDecoder& decoder, const std::string& file) {
  return decoder.openMemory(file.data(), static_cast<int>(file.size()));
}

Bytes pixelsOf(RKBuffer* b) { return bytesOf(b); }

struct Recorder : IRKCoderListener {
  std::vector<std::pair<int, int>> rows;
  int finished = 0;
  void rowDecoded(int row, int count) override { rows.emplace_back(row, count); }
  void decodeFinished() override { ++finished; }
};

// A stream that announces more bytes than it delivers.
class ShortStream : public IRKIOStream {
 public:
  explicit ShortStream(std::string data, int announced) : m_data(std::move(data)), m_announced(announced) {}
  int available() override { return m_announced; }
  int read(void* buffer, int count) override {
    int n = count < static_cast<int>(m_data.size()) ? count : static_cast<int>(m_data.size());
    std::copy(m_data.begin(), m_data.begin() + n, static_cast<char*>(buffer));
    return n;
  }

 private:
  std::string m_data;
  int m_announced;
};

const std::string kRedBlue = "P6\n2 1\n255\n" + str({255, 0, 0, 0, 0, 255});

}  // namespace

TEST(RKPNMDecoder, PixmapsGiveRedGreenBlue) {
  RKPNMDecoder decoder;
  EXPECT_NE(std::string(decoder.getClassName()).find(".RKCoder"), std::string::npos);
  EXPECT_NE(std::string(decoder.getClassName()).find(".RKPNMDecoder"), std::string::npos);
  ASSERT_EQ(open(decoder, kRedBlue), 1);
  EXPECT_EQ(decoder.getWidth(), 2);
  EXPECT_EQ(decoder.getHeight(), 1);
  DecodedImage img = imageOf(decoder);
  EXPECT_EQ(img.type, 1003u);
  EXPECT_EQ(img.width, 2);
  EXPECT_EQ(img.height, 1);
  EXPECT_EQ(img.pixels, (Bytes{0xFF, 0, 0, 0, 0, 0xFF}));

  // The plain form with comments gives the same pixels.
  ASSERT_EQ(open(decoder, "P3 # c\n2 1\n# m\n255\n255 0 0 0 0 255\n"), 1);
  EXPECT_EQ(imageOf(decoder).pixels, (Bytes{0xFF, 0, 0, 0, 0, 0xFF}));
}

TEST(RKPNMDecoder, GreyMapsAndBitmapsHoldOneByteAPixel) {
  RKPNMDecoder decoder;
  ASSERT_EQ(open(decoder, "P5 3 2 255\n" + str({1, 2, 3, 4, 5, 6})), 1);
  DecodedImage grey = imageOf(decoder);
  EXPECT_EQ(grey.type, 1011u);
  EXPECT_EQ(grey.pixels, (Bytes{1, 2, 3, 4, 5, 6}));
  // readRaw counts and copies what the pixels hold: one byte each.
  EXPECT_EQ(decoder.readRaw(nullptr), 6);
  Bytes raw(6);
  EXPECT_EQ(decoder.readRaw(raw.data()), 6);
  EXPECT_EQ(raw, grey.pixels);

  ASSERT_EQ(open(decoder, "P2 3 2 255 1 2 3 4 5 6"), 1);
  EXPECT_EQ(imageOf(decoder).pixels, grey.pixels);

  // Bitmaps: 1 for white, 0 for black (the file stores 1 for black).
  ASSERT_EQ(open(decoder, "P1\n3 2\n1 0 1\n0 1 1\n"), 1);
  DecodedImage bits = imageOf(decoder);
  EXPECT_EQ(bits.type, 1028u);
  EXPECT_EQ(bits.pixels, (Bytes{0, 1, 0, 1, 0, 0}));
  EXPECT_EQ(decoder.readRaw(nullptr), 6);
  ASSERT_EQ(open(decoder, "P4 3 2\n" + str({0xA0, 0x60})), 1);
  EXPECT_EQ(imageOf(decoder).type, 1028u);
  EXPECT_EQ(imageOf(decoder).pixels, bits.pixels);

  // The pixel type follows the last decode.
  ASSERT_EQ(open(decoder, kRedBlue), 1);
  EXPECT_EQ(imageOf(decoder).type, 1003u);
  EXPECT_EQ(decoder.readRaw(nullptr), 6);
}

TEST(RKPNMDecoder, SamplesOfOtherDepthsAreScaledToEightBits) {
  RKPNMDecoder decoder;
  ASSERT_EQ(open(decoder, "P2 4 1 15 0 5 10 15\n"), 1);
  EXPECT_EQ(imageOf(decoder).pixels, (Bytes{0, 85, 170, 255}));
  ASSERT_EQ(open(decoder, "P5 3 1 65535\n" + str({0xFF, 0xFF, 0x80, 0x00, 0x00, 0xFF})), 1);
  EXPECT_EQ(imageOf(decoder).pixels, (Bytes{255, 128, 1}));
  ASSERT_EQ(open(decoder, "P3 1 1 1023 1023 0 512\n"), 1);
  EXPECT_EQ(imageOf(decoder).pixels, (Bytes{255, 0, 128}));
  ASSERT_EQ(open(decoder, "P2 2 1 1 0 1\n"), 1);
  EXPECT_EQ(imageOf(decoder).pixels, (Bytes{0, 255}));
}

TEST(RKPGXDecoder, GreySpreadToRedGreenBlue) {
  RKPGXDecoder decoder;
  EXPECT_NE(std::string(decoder.getClassName()).find(".RKPGXDecoder"), std::string::npos);
  ASSERT_EQ(open(decoder, "PG ML + 8 2 2\n" + str({10, 20, 30, 40})), 1);
  DecodedImage img = imageOf(decoder);
  EXPECT_EQ(img.type, 1003u);
  EXPECT_EQ(img.width, 2);
  EXPECT_EQ(img.height, 2);
  EXPECT_EQ(img.pixels, (Bytes{10, 10, 10, 20, 20, 20, 30, 30, 30, 40, 40, 40}));
  EXPECT_EQ(decoder.readRaw(nullptr), 12);
}

TEST(RKPGXDecoder, BothByteOrdersSignedAndDeepSamples) {
  RKPGXDecoder decoder;
  ASSERT_EQ(open(decoder, "PG LM 16 2 1\n" + str({0xFF, 0xFF, 0x00, 0x80})), 1);
  EXPECT_EQ(imageOf(decoder).pixels, (Bytes{255, 255, 255, 128, 128, 128}));
  ASSERT_EQ(open(decoder, "PG ML 16 2 1\n" + str({0xFF, 0xFF, 0x80, 0x00})), 1);
  EXPECT_EQ(imageOf(decoder).pixels, (Bytes{255, 255, 255, 128, 128, 128}));
  // Signed samples are offset into the unsigned range: -128 black, 0 mid grey, 127 white.
  ASSERT_EQ(open(decoder, "PG ML -8 3 1\n" + str({0x80, 0x00, 0x7F})), 1);
  EXPECT_EQ(imageOf(decoder).pixels, (Bytes{0, 0, 0, 128, 128, 128, 255, 255, 255}));
}

TEST(RKRASDecoder, PixelsAreStoredBlueGreenRedAsLabelled) {
  RKRASDecoder decoder;
  EXPECT_NE(std::string(decoder.getClassName()).find(".RKRASDecoder"), std::string::npos);
  // 24 bits: the file holds blue, green, red; rows of 3 bytes are padded to 4.
  ASSERT_EQ(open(decoder, rasFile(1, 2, 24, str({0x10, 0x20, 0x30, 0, 0x40, 0x50, 0x60, 0}))), 1);
  DecodedImage img = imageOf(decoder);
  EXPECT_EQ(img.type, 1005u);
  EXPECT_EQ(img.width, 1);
  EXPECT_EQ(img.height, 2);
  EXPECT_EQ(img.pixels, (Bytes{0x10, 0x20, 0x30, 0x40, 0x50, 0x60}));

  // 32 bits: a pad byte, then blue, green, red.
  ASSERT_EQ(open(decoder, rasFile(2, 1, 32, str({0, 1, 2, 3, 0, 4, 5, 6}), 0)), 1);
  EXPECT_EQ(imageOf(decoder).pixels, (Bytes{1, 2, 3, 4, 5, 6}));

  // Grey (indexed) and compressed files are refused.
  EXPECT_EQ(open(decoder, rasFile(2, 1, 8, str({1, 2}))), 0);
  EXPECT_EQ(open(decoder, rasFile(1, 1, 24, str({0x80, 0, 5}), 2)), 0);
  EXPECT_EQ(decoder.getImage(), nullptr);
}

TEST(RKJasperDecoders, EachRefusesTheOthersFormats) {
  const std::string pgx = "PG ML 8 1 1\n" + str({7});
  const std::string ras = rasFile(1, 1, 24, str({1, 2, 3, 0}));
  RKPNMDecoder pnm;
  RKPGXDecoder pgxDecoder;
  RKRASDecoder rasDecoder;
  EXPECT_EQ(open(pnm, pgx), 0);
  EXPECT_EQ(open(pnm, ras), 0);
  EXPECT_EQ(open(pgxDecoder, kRedBlue), 0);
  EXPECT_EQ(open(pgxDecoder, ras), 0);
  EXPECT_EQ(open(rasDecoder, kRedBlue), 0);
  EXPECT_EQ(open(rasDecoder, pgx), 0);
  // PPM files are not grey, so the PGX decoder cannot take them even where the library could.
  EXPECT_EQ(open(pgxDecoder, "P5 1 1 255\n" + str({7})), 0);
}

TEST(RKJasperDecoders, OpenOperations) {
  RKPNMDecoder decoder;
  EXPECT_EQ(decoder.openMemory(nullptr, 4), 0);
  EXPECT_EQ(decoder.openMemory(kRedBlue.data(), -1), 0);
  EXPECT_EQ(decoder.openMemory(kRedBlue.data(), 0), 0);
  EXPECT_EQ(decoder.openBuffer(nullptr), 0);
  EXPECT_EQ(decoder.openStream(nullptr), 0);

  RKBuffer* buffer = new RKBuffer(kRedBlue.data(), static_cast<int>(kRedBlue.size()));
  buffer->addRef();
  EXPECT_EQ(decoder.openBuffer(buffer), 1);
  EXPECT_EQ(decoder.setSource(buffer), 1);
  RKBufferStream* stream = new RKBufferStream(buffer);
  stream->addRef();
  EXPECT_EQ(decoder.openStream(stream), 1);
  EXPECT_EQ(decoder.openStream(stream), 0);  // at its end now: available() is -1
  EXPECT_EQ(decoder.getBuffer(), nullptr);
  stream->release();

  // A file-contents image.
  RKImage* contents = new RKImage(RK_PIXEL_FILE, buffer, 0, 0, 0, 0, 0);
  contents->addRef();
  EXPECT_EQ(decoder.openContents(contents), 1);
  EXPECT_EQ(imageOf(decoder).pixels, (Bytes{0xFF, 0, 0, 0, 0, 0xFF}));
  contents->release();
  buffer->release();

  // A stream that delivers fewer bytes than it announced.
  ShortStream* shortStream = new ShortStream(kRedBlue.substr(0, 10), static_cast<int>(kRedBlue.size()));
  shortStream->addRef();
  EXPECT_EQ(decoder.openStream(shortStream), 0);
  shortStream->release();

  // Files.
  char dir[] = "/tmp/rkjasXXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string path = std::string(dir) + "/a.ppm";
  FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(kRedBlue.data(), 1, kRedBlue.size(), f);
  std::fclose(f);
  EXPECT_EQ(decoder.openFile(RKString(path.c_str())), 1);
  EXPECT_EQ(imageOf(decoder).pixels, (Bytes{0xFF, 0, 0, 0, 0, 0xFF}));
  EXPECT_EQ(decoder.openFile(RKString((std::string(dir) + "/missing.ppm").c_str())), 0);
  EXPECT_EQ(std::system(("rm -rf '" + std::string(dir) + "'").c_str()), 0);
}

TEST(RKJasperDecoders, AFailedOpenLeavesNothingDecoded) {
  RKPNMDecoder decoder;
  EXPECT_EQ(decoder.getBuffer(), nullptr);
  EXPECT_EQ(decoder.readRaw(nullptr), -1);
  ASSERT_EQ(open(decoder, kRedBlue), 1);
  EXPECT_EQ(open(decoder, "P6\n2 1\n255\n" + str({1, 2, 3})), 0);
  EXPECT_EQ(decoder.getBuffer(), nullptr);
  EXPECT_EQ(decoder.getImage(), nullptr);
  EXPECT_EQ(decoder.readRaw(nullptr), -1);
  RKImage* target = new RKImage();
  target->addRef();
  EXPECT_EQ(decoder.decodeTo(target), 0);
  target->release();
}

TEST(RKJasperDecoders, DecodeToImagesAndBuffers) {
  RKRASDecoder decoder;
  RKImage* image = new RKImage();
  image->addRef();
  EXPECT_EQ(decoder.decodeTo(image), 0);
  ASSERT_EQ(open(decoder, rasFile(2, 1, 24, str({1, 2, 3, 4, 5, 6}))), 1);
  EXPECT_EQ(decoder.decodeTo(nullptr), 0);
  ASSERT_EQ(decoder.decodeTo(image), 1);
  EXPECT_EQ(image->getPixelType(), 1005u);
  EXPECT_EQ(image->getWidth(), 2);
  EXPECT_EQ(image->getHeight(), 1);
  EXPECT_EQ(pixelsOf(image->getBuffer()), (Bytes{1, 2, 3, 4, 5, 6}));
  image->release();

  RKBuffer* target = new RKBuffer();
  target->addRef();
  ASSERT_EQ(decoder.decodeTo(target), 1);
  EXPECT_EQ(Bytes(target->getData(0), target->getData(0) + target->getSize()), (Bytes{1, 2, 3, 4, 5, 6}));
  target->release();

  RKImageGroup* group = new RKImageGroup();
  group->addRef();
  EXPECT_EQ(decoder.decodeTo(group), 0);
  group->release();
}

TEST(RKJasperDecoders, ListenersHearTheProgress) {
  Recorder rgb;
  RKPNMDecoder pnm;
  pnm.setListener(&rgb);
  ASSERT_EQ(open(pnm, "P6 1 2 255\n" + str({1, 2, 3, 4, 5, 6})), 1);
  EXPECT_EQ(rgb.rows, (std::vector<std::pair<int, int>>{{0, 6}, {1, 6}, {2, 6}, {3, 6}, {4, 6}, {5, 6}}));
  EXPECT_EQ(rgb.finished, 1);

  Recorder grey;
  pnm.setListener(&grey);
  ASSERT_EQ(open(pnm, "P5 1 2 255\n" + str({1, 2})), 1);
  EXPECT_EQ(grey.rows, (std::vector<std::pair<int, int>>{{100, 100}}));
  EXPECT_EQ(grey.finished, 1);

  Recorder rows;
  RKPGXDecoder pgx;
  pgx.setListener(&rows);
  ASSERT_EQ(open(pgx, "PG ML 8 1 3\n" + str({1, 2, 3})), 1);
  EXPECT_EQ(rows.rows, (std::vector<std::pair<int, int>>{{0, 3}, {1, 3}, {2, 3}}));
  EXPECT_EQ(rows.finished, 1);

  Recorder failed;
  pgx.setListener(&failed);
  EXPECT_EQ(open(pgx, "PG ML 8 1 3\n" + str({1, 2})), 0);
  EXPECT_EQ(failed.finished, 0);
}

TEST(RKJasperDecoders, MalformedFilesFailCleanly) {
  const std::string bad[] = {
      "",
      "P6",
      "P6 2 1 255\n",
      "P6 0 1 255\n",
      "P6 70000 70000 255\n" + str({1, 2, 3}),
      "P5 1 1 0\n" + str({1}),
      "PG ML 8 2 2\n" + str({1}),
      "PG XX 8 1 1\n" + str({1}),
      rasFile(2, 2, 24, str({1, 2, 3})),
      rasFile(0x7FFFFFFF, 0x7FFFFFFF, 24, str({1, 2, 3})),
  };
  RKPNMDecoder pnm;
  RKPGXDecoder pgx;
  RKRASDecoder ras;
  for (const std::string& file : bad) {
    EXPECT_EQ(open(pnm, file), 0);
    EXPECT_EQ(open(pgx, file), 0);
    EXPECT_EQ(open(ras, file), 0);
    EXPECT_EQ(pnm.getImage(), nullptr);
  }
  // Every truncation of a raw file fails.
  const std::string whole = "P6\n3 2\n255\n" + std::string(18, '\x40');
  for (size_t n = 0; n < whole.size(); ++n) EXPECT_EQ(open(pnm, whole.substr(0, n)), 0) << n;
}

#ifdef RK_HAVE_PARAM
TEST(RKJasperDecoders, InfoReportsTheFamilysTypes) {
  RKParam params;
  RKPNMDecoder pnm;
  EXPECT_EQ(pnm.getInfo(&params), 0);
  ASSERT_EQ(open(pnm, "P5 3 2 255\n" + str({1, 2, 3, 4, 5, 6})), 1);
  ASSERT_EQ(pnm.getInfo(&params), 1);
  EXPECT_EQ(params.getInt("IMAGE_ImageType"), 1003);
  EXPECT_EQ(params.getInt("IMAGE_Width"), 3);
  EXPECT_EQ(params.getInt("IMAGE_Height"), 2);
  RKRASDecoder ras;
  ASSERT_EQ(open(ras, rasFile(1, 1, 24, str({1, 2, 3, 0}))), 1);
  ASSERT_EQ(ras.getInfo(&params), 1);
  EXPECT_EQ(params.getInt("IMAGE_ImageType"), 1005);
  RKPGXDecoder pgx;
  ASSERT_EQ(open(pgx, "PG ML 8 1 1\n" + str({7})), 1);
  ASSERT_EQ(pgx.getInfo(&params), 1);
  EXPECT_EQ(params.getInt("IMAGE_ImageType"), 1003);
}
#endif
