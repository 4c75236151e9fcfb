// The image-file source on files of every format written to drive C: of a temporary machine.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "DecodedImage.h"
#include "ImageFileWriters.h"
#include "MetafileTestSupport.h"
#include "RKBMPDecoder.h"
#include "RKEMFDecoder.h"
#include "RKGIFDecoder.h"
#include "RKICODecoder.h"
#include "RKImgFileSrc.h"
#include "RKJP2Decoder2.h"
#include "RKJPEGDecoder.h"
#include "RKPCXDecoder.h"
#include "RKPGXDecoder.h"
#include "RKPNGDecoder.h"
#include "RKPNMDecoder.h"
#include "RKParam.h"
#include "RKRASDecoder.h"
#include "RKTGADecoder.h"
#include "RKTIFFDecoder.h"
#include "RKWMFDecoder.h"
#include "RasterFileWriters.h"
#include "RefCount.h"
#include "TempPrefix.h"

using namespace RKSDK;

namespace {

std::string text(const testimg::Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

// Small files of every format, with the decoder that reads each and its format code.
struct Sample {
  const char* name;  // file name on drive C:
  int format;
  std::string bytes;
};

std::string jpegFile() {
  testimg::JpegSpec spec;
  spec.width = 8;
  spec.height = 4;
  spec.pixels.assign(8 * 4 * 3, 0x80);
  return text(testimg::writeJpeg(spec));
}

std::string pngFile() {
  testimg::PngSpec spec;
  spec.width = 3;
  spec.height = 2;
  spec.rows = testimg::packRows(3, 2, 3, 8, [](int x, int y, int c) { return 40 * x + 10 * y + c; });
  return text(testimg::writePng(spec));
}

std::string tiffFile() {
  testimg::TiffSpec spec;
  spec.width = 3;
  spec.height = 2;
  spec.samples = 3;
  spec.photometric = 2;
  spec.rows = testimg::packRows(
      3, 2, 3, 8, [](int x, int y, int c) { return 50 * x + 20 * y + c; }, false);
  return text(testimg::writeTiff(spec));
}

const std::string kTable4 = std::string("\0\0\0\xFF\0\0\0\xFF\0\0\0\xFF", 12);

std::string gifFile() {
  return gifHeader(2, 2, kTable4) + frameData(0, 0, 2, 2, {0, 1, 2, 3}) + frameData(0, 0, 1, 1, {3}) + ";";
}

IconEntry iconEntry() { return IconEntry{1, 1, 24, "", std::string("\1\2\3\0", 4), std::string(4, '\0'), 0}; }

std::string wmfFile() {
  rktest::WmfWriter w(0, 0, 8, 6);
  w.end();
  return std::string(w.bytes.begin(), w.bytes.end());
}

std::string emfFile() {
  rktest::EmfWriter w(0, 0, 7, 5);
  w.end();
  return std::string(w.bytes.begin(), w.bytes.end());
}

std::vector<Sample> samples() {
  std::string bgrRows = byteString({1, 2, 3, 4, 5, 6, 0, 0});  // 2 x 1, row padded to four
  return {
      {"a.jpg", RK_FORMAT_JPEG, jpegFile()},
      {"a.bmp", RK_FORMAT_BMP, bmpFile(2, 1, 24, "", bgrRows)},
      {"a.png", RK_FORMAT_PNG, pngFile()},
      {"a.gif", RK_FORMAT_GIF, gifFile()},
      {"a.pcx", RK_FORMAT_PCX, pcxFile(8, 3, 2, 1, 2, byteString({1, 2, 3, 4, 5, 6}))},
      {"a.tif", RK_FORMAT_TIFF, tiffFile()},
      {"a.pgx", RK_FORMAT_PGX, "PG ML 8 2 2\n" + byteString({10, 20, 30, 40})},
      {"a.ppm", RK_FORMAT_PPM, "P6\n2 1\n255\n" + byteString({1, 2, 3, 4, 5, 6})},
      {"a.pgm", RK_FORMAT_PGM, "P5\n3 1\n255\n" + byteString({7, 8, 9})},
      {"a.pbm", RK_FORMAT_PBM, "P1\n4 2\n1 0 1 0\n0 1 0 1\n"},
      {"a.ras", RK_FORMAT_RAS, rasFile(2, 2, 24, byteString({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}))},
      {"a.tga", RK_FORMAT_TGA, tgaFile(2, 24, 2, 1, 0x20, byteString({1, 2, 3, 4, 5, 6}))},
      {"a.ico", RK_FORMAT_ICO, iconFile({iconEntry(), iconEntry()})},
      {"a.cur", RK_FORMAT_CUR, iconFile({iconEntry()}, 2)},
      {"a.wmf", RK_FORMAT_WMF, wmfFile()},
      {"a.emf", RK_FORMAT_EMF, emfFile()},
  };
}

// What the format's own decoder makes of the bytes (the first image for group formats).
DecodedImage expectedImage(int format, const std::string& bytes) {
  const std::vector<unsigned char> b(bytes.begin(), bytes.end());
  auto first = [&](RKImageGroupDecoder&& decoder) {
    if (!decoder.openMemory(bytes.data(), int(bytes.size()))) return DecodedImage();
    RKImageGroup* group = decoder.getImage();
    DecodedImage out = valuesOf(group ? group->getImage(0) : nullptr);
    if (group) group->release();
    return out;
  };
  auto played = [&](auto&& decoder) {
    if (!decoder.openMemory(bytes.data(), int(bytes.size()))) return DecodedImage();
    return valuesOf(decoder.getImage());
  };
  switch (format) {
    case RK_FORMAT_JPEG:
      return decodeWith<RKJPEGDecoder>(b);
    case RK_FORMAT_BMP:
      return decodeWith<RKBMPDecoder>(b);
    case RK_FORMAT_PNG:
      return decodeWith<RKPNGDecoder>(b);
    case RK_FORMAT_GIF:
      return first(RKGIFDecoder());
    case RK_FORMAT_PCX:
      return decodeWith<RKPCXDecoder>(b);
    case RK_FORMAT_TIFF:
      return decodeWith<RKTIFFDecoder>(b);
    case RK_FORMAT_PGX:
      return decodeWith<RKPGXDecoder>(b);
    case RK_FORMAT_PPM:
    case RK_FORMAT_PGM:
    case RK_FORMAT_PBM:
      return decodeWith<RKPNMDecoder>(b);
    case RK_FORMAT_RAS:
      return decodeWith<RKRASDecoder>(b);
    case RK_FORMAT_TGA:
      return decodeWith<RKTGADecoder>(b);
    case RK_FORMAT_ICO:
    case RK_FORMAT_CUR:
      return first(RKICODecoder());
    case RK_FORMAT_WMF:
      return played(RKWMFDecoder());
    case RK_FORMAT_EMF:
      return played(RKEMFDecoder());
    default:
      return DecodedImage();
  }
}

class ImageFileSource : public ::testing::Test {
 protected:
  // Writes bytes to C:\pics\name and returns the emulated path.
  std::string put(const std::string& name, const std::string& bytes) {
    std::filesystem::create_directories(prefix.onC("pics"));
    TempPrefix::writeFile(prefix.onC("pics/" + name), bytes);
    return "C:\\pics\\" + name;
  }

  // The format setFile recognises for bytes stored under name; 1000 when refused.
  int formatOf(const std::string& name, const std::string& bytes) {
    RKImgFileSrc source;
    int ok = source.setFile(RKString(put(name, bytes).c_str()));
    EXPECT_EQ(ok != 0, source.getFormat() != RK_FORMAT_NONE) << name;
    return source.getFormat();
  }

  TempPrefix prefix;
};

// A pin that keeps what it is given.
class RecordingPin : public IRKPin {
 public:
  void consume(RKObject* object) override {
    ASSERT_NE(std::strstr(object->getClassName(), ".RKImage"), nullptr);
    RKImage* image = dynamic_cast<RKImage*>(object);
    ASSERT_NE(image, nullptr);
    received.push_back(valuesOf((image->addRef(), image)));
    referencesSeen = countOf(image);
  }
  void broadcast(void* argument) override { arguments.push_back(argument); }

  std::vector<DecodedImage> received;
  std::vector<void*> arguments;
  unsigned int referencesSeen = 0;
};

}  // namespace

TEST_F(ImageFileSource, EveryFormatIsRecognisedAndDecodedByItsOwnDecoder) {
  for (const Sample& s : samples()) {
    SCOPED_TRACE(s.name);
    RKImgFileSrc source;
    ASSERT_EQ(source.setFile(RKString(put(s.name, s.bytes).c_str())), 1);
    EXPECT_EQ(source.getFormat(), s.format);
    DecodedImage want = expectedImage(s.format, s.bytes);
    ASSERT_TRUE(want.ok);
    RKImage* image = source.getImage();
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(countOf(image), 1u);  // the caller's reference only
    DecodedImage got = valuesOf(image);
    EXPECT_EQ(got.type, want.type);
    EXPECT_EQ(got.width, want.width);
    EXPECT_EQ(got.height, want.height);
    EXPECT_EQ(got.pixels, want.pixels);
    // Asked again, the file is decoded afresh into a new image.
    RKImage* again = source.getImage();
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(valuesOf(again).pixels, want.pixels);
  }
}

TEST_F(ImageFileSource, DecodedValuesOfSomeFormats) {
  RKImgFileSrc source;
  ASSERT_EQ(source.setFile(RKString(put("p.ppm", "P6\n2 1\n255\n" + byteString({1, 2, 3, 4, 5, 6})).c_str())), 1);
  DecodedImage ppm = valuesOf(source.getImage());
  EXPECT_EQ(ppm.type, 1003u);
  EXPECT_EQ(ppm.pixels, (std::vector<unsigned char>{1, 2, 3, 4, 5, 6}));

  ASSERT_EQ(source.setFile(RKString(put("b.bmp", bmpFile(2, 1, 24, "", byteString({1, 2, 3, 4, 5, 6, 0, 0}))).c_str())),
            1);
  DecodedImage bmp = valuesOf(source.getImage());
  EXPECT_EQ(bmp.width, 2);
  EXPECT_EQ(bmp.height, 1);
  EXPECT_EQ(bmp.at(1, 0, 3), (std::vector<int>{4, 5, 6}));

  ASSERT_EQ(source.setFile(RKString(put("two.ico", iconFile({iconEntry(), iconEntry()})).c_str())), 1);
  DecodedImage icon = valuesOf(source.getImage());
  EXPECT_EQ(icon.type, 1007u);
  EXPECT_EQ(icon.width, 1);
  EXPECT_EQ(icon.at(0, 0, 3), (std::vector<int>{1, 2, 3}));
}

TEST_F(ImageFileSource, MagicBytesDecideBeforeTheExtension) {
  const std::string jpeg = jpegFile();
  EXPECT_EQ(formatOf("photo.png", jpeg), RK_FORMAT_JPEG);
  EXPECT_EQ(formatOf("photo.tga", pngFile()), RK_FORMAT_PNG);
  const std::string gif = gifFile();
  EXPECT_EQ(formatOf("anim.pcx", gif), RK_FORMAT_GIF);
  std::string gif87 = gif;
  gif87[4] = '7';
  EXPECT_EQ(formatOf("x", gif87), RK_FORMAT_GIF);
  std::string gifOther = gif;
  gifOther[4] = 'x';  // byte 4 is not looked at
  EXPECT_EQ(formatOf("y", gifOther), RK_FORMAT_GIF);
  gifOther[5] = 'b';
  EXPECT_EQ(formatOf("z", gifOther), RK_FORMAT_NONE);
  EXPECT_EQ(formatOf("w", wmfFile()), RK_FORMAT_WMF);
  EXPECT_EQ(formatOf("m", std::string("BMxxxxxxxxxx")), RK_FORMAT_BMP);
  EXPECT_EQ(formatOf("p1", "P1\n1 1\n0\n  "), RK_FORMAT_PBM);
  EXPECT_EQ(formatOf("p4", "P4\n1 1\n\x80     "), RK_FORMAT_PBM);
  EXPECT_EQ(formatOf("p2", "P2\n1 1\n255\n0\n"), RK_FORMAT_PGM);
  EXPECT_EQ(formatOf("p5", "P5\n1 1\n255\n\x01"), RK_FORMAT_PGM);
  EXPECT_EQ(formatOf("p3", "P3\n1 1\n255\n0 0 0\n"), RK_FORMAT_PPM);
  // No line feed after the number: the extension decides.
  EXPECT_EQ(formatOf("space.ppm", "P6 1 1 255\n\1\2\3"), RK_FORMAT_NONE);
  EXPECT_EQ(formatOf("space.tga", "P6 1 1 255\n\1\2\3"), RK_FORMAT_TGA);
  EXPECT_EQ(formatOf("p7.pcx", "P7\n1 1 255\n\1\2\3"), RK_FORMAT_PCX);
  // A damaged bitmap signature under its own extension is not recognised.
  std::string bmp = bmpFile(2, 1, 24, "", byteString({1, 2, 3, 4, 5, 6, 0, 0}));
  bmp[1] = 'X';
  EXPECT_EQ(formatOf("bad.bmp", bmp), RK_FORMAT_NONE);
  std::string png = pngFile();
  png[2] = 'X';
  EXPECT_EQ(formatOf("bad.png", png), RK_FORMAT_NONE);
}

TEST_F(ImageFileSource, ExtensionsIgnoreCase) {
  const std::string plain(32, 'x');
  const struct {
    const char* extension;
    int format;
  } table[] = {{"pcx", RK_FORMAT_PCX}, {"tif", RK_FORMAT_TIFF}, {"tiff", RK_FORMAT_TIFF}, {"jp2", RK_FORMAT_JP2},
               {"jpc", RK_FORMAT_JPC}, {"pgx", RK_FORMAT_PGX},  {"ras", RK_FORMAT_RAS},   {"tga", RK_FORMAT_TGA},
               {"emf", RK_FORMAT_EMF}, {"ico", RK_FORMAT_ICO},  {"cur", RK_FORMAT_CUR}};
  for (const auto& entry : table) {
    std::string lower = entry.extension, upper = lower, mixed = lower;
    for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
    mixed[0] = upper[0];
    EXPECT_EQ(formatOf("f." + lower, plain), entry.format) << lower;
    EXPECT_EQ(formatOf("g." + upper, plain), entry.format) << upper;
    EXPECT_EQ(formatOf("h." + mixed, plain), entry.format) << mixed;
  }
  // Formats known by their bytes alone have no extension of their own.
  for (const char* name : {"a.bmp", "a.jpg", "a.png", "a.gif", "a.ppm", "a.wmf", "a.xyz", "noext", "dot."})
    EXPECT_EQ(formatOf(name, plain), RK_FORMAT_NONE) << name;
  // The extension is the text after the last full stop of the whole path.
  EXPECT_EQ(formatOf("a.tga.bak", plain), RK_FORMAT_NONE);
  EXPECT_EQ(formatOf("a.bak.tga", plain), RK_FORMAT_TGA);
  std::filesystem::create_directories(prefix.onC("pics/dir.tga"));
  TempPrefix::writeFile(prefix.onC("pics/dir.tga/noext"), plain);
  RKImgFileSrc source;
  // A full stop only in a folder name: "tga\noext" is the extension, and it matches nothing.
  EXPECT_EQ(source.setFile("C:\\pics\\dir.tga\\noext"), 0);
  EXPECT_EQ(source.getFormat(), RK_FORMAT_NONE);
}

TEST_F(ImageFileSource, ShortMissingAndUnknownFilesAreRefused) {
  RKImgFileSrc source;
  EXPECT_EQ(source.getFormat(), RK_FORMAT_NONE);
  EXPECT_EQ(source.getImage(), nullptr);
  EXPECT_EQ(source.getImageGroup(), nullptr);
  EXPECT_EQ(source.setFile("C:\\pics\\missing.png"), 0);
  EXPECT_EQ(source.setFile(""), 0);
  // Nine bytes are never enough, whatever the name or the bytes.
  EXPECT_EQ(formatOf("nine.ico", std::string(9, '\0')), RK_FORMAT_NONE);
  EXPECT_EQ(formatOf("nine.jpg", jpegFile().substr(0, 9)), RK_FORMAT_NONE);
  EXPECT_EQ(formatOf("empty.tga", ""), RK_FORMAT_NONE);
  EXPECT_EQ(formatOf("ten.tga", std::string(10, '\0')), RK_FORMAT_TGA);
  // A folder is no file.
  std::filesystem::create_directories(prefix.onC("pics/folder.tga"));
  EXPECT_EQ(source.setFile("C:\\pics\\folder.tga"), 0);

  // A refused file forgets the one set before.
  ASSERT_EQ(source.setFile(RKString(put("good.pgm", "P5\n3 1\n255\n" + byteString({7, 8, 9})).c_str())), 1);
  EXPECT_EQ(source.setFile(RKString(put("bad.xyz", std::string(20, 'x')).c_str())), 0);
  EXPECT_EQ(source.getFormat(), RK_FORMAT_NONE);
  EXPECT_EQ(source.getImage(), nullptr);
  // probeType alone keeps the format on failure and changes it on success.
  ASSERT_EQ(source.probeType(RKString(put("keep.tga", std::string(12, 'x')).c_str())), 1);
  EXPECT_EQ(source.probeType("C:\\pics\\bad.xyz"), 0);
  EXPECT_EQ(source.getFormat(), RK_FORMAT_TGA);
}

TEST_F(ImageFileSource, TruncatedAndDamagedFilesGiveNullImages) {
  for (const Sample& s : samples()) {
    SCOPED_TRACE(s.name);
    // Recognised (ten bytes are there), but the decoder cannot read the rest.
    std::string head = s.bytes.substr(0, 12);
    RKImgFileSrc source;
    ASSERT_EQ(source.setFile(RKString(put(std::string("cut_") + s.name, head).c_str())), 1);
    EXPECT_EQ(source.getFormat(), s.format);
    EXPECT_EQ(source.getImage(), nullptr);
    EXPECT_EQ(source.getImageGroup(), nullptr);
  }
  // A recognised name over bytes of no format: setFile succeeds, getImage gives null.
  RKImgFileSrc source;
  for (const char* name :
       {"junk.pcx", "junk.tif", "junk.pgx", "junk.ras", "junk.tga", "junk.ico", "junk.cur", "junk.emf"}) {
    ASSERT_EQ(source.setFile(RKString(put(name, std::string(64, 'q')).c_str())), 1) << name;
    EXPECT_EQ(source.getImage(), nullptr) << name;
  }
}

TEST_F(ImageFileSource, JpegTwoThousandFilesAreRecognisedButNotYetDecoded) {
  RKImgFileSrc source;
  const std::string jp2 = byteString({0, 0, 0, 12, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A});
  ASSERT_EQ(source.setFile(RKString(put("a.jp2", jp2).c_str())), 1);
  EXPECT_EQ(source.getFormat(), RK_FORMAT_JP2);
  EXPECT_EQ(source.getImage(), nullptr);
  const std::string jpc = byteString({0xFF, 0x4F, 0xFF, 0x51, 0, 41, 0, 0, 0, 0, 0, 0});
  ASSERT_EQ(source.setFile(RKString(put("a.JPC", jpc).c_str())), 1);
  EXPECT_EQ(source.getFormat(), RK_FORMAT_JPC);
  EXPECT_EQ(source.getImage(), nullptr);

  // The decoders fail cleanly through every operation.
  RKJP2Decoder2 jp2Decoder;
  RKJPCDecoder2 jpcDecoder;
  EXPECT_NE(std::strstr(jp2Decoder.getClassName(), ".RKCoder"), nullptr);
  EXPECT_NE(std::strstr(jp2Decoder.getClassName(), ".RKJP2Decoder2"), nullptr);
  EXPECT_NE(std::strstr(jpcDecoder.getClassName(), ".RKJPCDecoder2"), nullptr);
  for (RKJPEG2000Decoder* d :
       {static_cast<RKJPEG2000Decoder*>(&jp2Decoder), static_cast<RKJPEG2000Decoder*>(&jpcDecoder)}) {
    EXPECT_EQ(d->openFile("C:\\pics\\a.jp2"), 0);
    EXPECT_EQ(d->openFile("C:\\pics\\missing.jp2"), 0);
    EXPECT_EQ(d->openMemory(jp2.data(), int(jp2.size())), 0);
    EXPECT_EQ(d->openMemory(nullptr, 4), 0);
    EXPECT_EQ(d->getImage(), nullptr);
    EXPECT_EQ(d->getBuffer(), nullptr);
    EXPECT_EQ(d->readRaw(nullptr), -1);
    RKParam info;
    EXPECT_EQ(d->getInfo(&info), 0);
    EXPECT_EQ(d->getRate(), 1.0f);
    EXPECT_EQ(d->setRate(0.5f), 1);
    EXPECT_EQ(d->getRate(), 0.5f);
  }
}

TEST_F(ImageFileSource, GroupsOfGifFilesOnly) {
  RKImgFileSrc source;
  const std::string gif = gifFile();
  ASSERT_EQ(source.setFile(RKString(put("anim.gif", gif).c_str())), 1);
  RKImageGroup* group = source.getImageGroup();
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(countOf(group), 1u);
  EXPECT_EQ(group->getCount(), 2);
  RKGIFDecoder reference;
  ASSERT_EQ(reference.openMemory(gif.data(), int(gif.size())), 1);
  RKImageGroup* want = reference.getImage();
  ASSERT_NE(want, nullptr);
  for (int i = 0; i < 2; ++i) {
    DecodedImage a = valuesOf(group->getImage(i)), b = valuesOf(want->getImage(i));
    EXPECT_EQ(a.pixels, b.pixels) << i;
    EXPECT_EQ(a.width, b.width) << i;
  }
  want->release();
  // getImage gives the first frame alone; the group it came from is gone.
  RKImage* first = source.getImage();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(countOf(first), 1u);
  DecodedImage f = valuesOf(first);
  DecodedImage g0 = valuesOf(group->getImage(0));
  EXPECT_EQ(f.pixels, g0.pixels);
  group->release();

  // Icons and cursors have groups too, but the source hands out their first image only.
  ASSERT_EQ(source.setFile(RKString(put("two.ico", iconFile({iconEntry(), iconEntry()})).c_str())), 1);
  EXPECT_EQ(source.getImageGroup(), nullptr);
  RKImage* firstIcon = source.getImage();
  ASSERT_NE(firstIcon, nullptr);
  firstIcon->release();
  ASSERT_EQ(source.setFile(RKString(put("none.ico", iconFile({}) + std::string(8, '\0')).c_str())), 1);
  EXPECT_EQ(source.getImage(), nullptr);  // no entries, no first image
  ASSERT_EQ(source.setFile(RKString(put("one.png", pngFile()).c_str())), 1);
  EXPECT_EQ(source.getImageGroup(), nullptr);
  // A GIF cut after its header gives no group.
  ASSERT_EQ(source.setFile(RKString(put("cut.gif", gif.substr(0, 11)).c_str())), 1);
  EXPECT_EQ(source.getImageGroup(), nullptr);
}

TEST_F(ImageFileSource, PushFileHandsTheFileBytesToEveryPin) {
  RKImgFileSrc* source = new RKImgFileSrc();
  source->addRef();
  EXPECT_NE(std::strstr(source->getClassName(), ".IRKSrcPin"), nullptr);
  EXPECT_NE(std::strstr(source->getClassName(), ".IRKPin"), nullptr);
  const std::string bytes = pngFile();
  ASSERT_EQ(source->setFile(RKString(put("push.png", bytes).c_str())), 1);
  EXPECT_EQ(source->getFormat(), RK_FORMAT_PNG);

  RecordingPin* pins[3];
  for (RecordingPin*& p : pins) {
    p = new RecordingPin();
    p->addRef();
    ASSERT_EQ(source->connect(p), 1);
  }
  source->pushFile();
  for (RecordingPin* p : pins) {
    ASSERT_EQ(p->received.size(), 1u);
    const DecodedImage& got = p->received[0];
    EXPECT_EQ(got.type, unsigned(RK_PIXEL_FILE));
    EXPECT_EQ(got.width, 320);
    EXPECT_EQ(got.height, 240);
    EXPECT_EQ(std::string(got.pixels.begin(), got.pixels.end()), bytes);
    EXPECT_EQ(p->referencesSeen, 1u);  // only the source's own reference while pushed
  }
  int marker = 0;
  source->broadcast(&marker);
  for (RecordingPin* p : pins) EXPECT_EQ(p->arguments, (std::vector<void*>{&marker}));

  // The file is read afresh for every push.
  TempPrefix::writeFile(prefix.onC("pics/push.png"), "changed bytes");
  source->pushFile();
  for (RecordingPin* p : pins) {
    ASSERT_EQ(p->received.size(), 2u);
    EXPECT_EQ(std::string(p->received[1].pixels.begin(), p->received[1].pixels.end()), "changed bytes");
  }
  // A file that has gone, or is empty, is given to no pin.
  std::filesystem::remove(prefix.onC("pics/push.png"));
  source->pushFile();
  TempPrefix::writeFile(prefix.onC("pics/push.png"), "");
  source->pushFile();
  for (RecordingPin* p : pins) EXPECT_EQ(p->received.size(), 2u);

  EXPECT_EQ(source->disconnect(pins[1]), 2);
  TempPrefix::writeFile(prefix.onC("pics/push.png"), bytes);
  source->pushFile();
  EXPECT_EQ(pins[0]->received.size(), 3u);
  EXPECT_EQ(pins[1]->received.size(), 2u);
  EXPECT_EQ(pins[2]->received.size(), 3u);

  // Destroying the source releases the pins it lists.
  EXPECT_EQ(countOf(pins[0]), 2u);
  source->release();
  for (RecordingPin* p : pins) {
    EXPECT_EQ(countOf(p), 1u);
    p->release();
  }
}

TEST_F(ImageFileSource, PushFileWithoutAFileGivesNothing) {
  RKImgFileSrc source;
  RecordingPin* pin = new RecordingPin();
  pin->addRef();
  source.connect(pin);
  source.pushFile();
  EXPECT_TRUE(pin->received.empty());
  EXPECT_EQ(source.setFile("C:\\pics\\missing.png"), 0);
  source.pushFile();
  EXPECT_TRUE(pin->received.empty());
  source.disconnect(pin);
  pin->release();
}
