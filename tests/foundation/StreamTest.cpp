#include "RKBufferStream.h"
#include "RKFileStream.h"

#include <gtest/gtest.h>

#include <TempPrefix.h>

#include <string.h>

#include <algorithm>
#include <string>

using namespace RKSDK;

namespace {

class FileStream : public ::testing::Test {
 protected:
  TempPrefix prefix;
};

std::string bytesOf(RKBufferStream& stream) {
  RKBuffer* b = stream.getBuffer();
  std::string bytes(reinterpret_cast<const char*>(b->getData(0)), b->getSize());
  b->release();
  return bytes;
}

}  // namespace

TEST(StreamInterface, TypedValuesAreLittleEndianWithoutGaps) {
  RKBufferStream out;
  EXPECT_EQ(out.writeInt(258), 1);
  EXPECT_EQ(out.writeByte(0xAB), 1);
  EXPECT_EQ(out.writeShort(0x7FFF), 1);
  EXPECT_EQ(out.writeUInt(0xDEADBEEFu), 1);
  EXPECT_EQ(out.writeLong(-2), 1);
  EXPECT_EQ(out.writeFloat(1.5f), 1);
  EXPECT_EQ(out.writeDouble(-0.25), 1);
  EXPECT_EQ(out.writeString(RKString("abc")), 1);
  std::string bytes = bytesOf(out);
  ASSERT_EQ(bytes.size(), 4u + 1 + 2 + 4 + 4 + 4 + 8 + 4);
  EXPECT_EQ(bytes.substr(0, 7), std::string("\x02\x01\x00\x00\xAB\xFF\x7F", 7));
  EXPECT_EQ(bytes.substr(7, 4), std::string("\xEF\xBE\xAD\xDE", 4));
  EXPECT_EQ(bytes.substr(bytes.size() - 4), std::string("abc\0", 4));

  RKBufferStream in(bytes.data(), (int)bytes.size());
  EXPECT_EQ(in.readInt(), 258);
  EXPECT_EQ(in.readByte(), 0xAB);
  EXPECT_EQ(in.readShort(), 32767);
  EXPECT_EQ(in.readUInt(), 0xDEADBEEFu);
  EXPECT_EQ(in.readLong(), -2);
  EXPECT_EQ(in.readFloat(), 1.5f);
  EXPECT_EQ(in.readDouble(), -0.25);
  EXPECT_STREQ(in.readString().data, "abc");
  // At the end every typed read gives 0.
  EXPECT_EQ(in.readInt(), 0);
  EXPECT_EQ(in.readDouble(), 0.0);
  EXPECT_STREQ(in.readString().data, "");
}

TEST(StreamInterface, ShortReadsGiveZeroAndStringsNeedTheirTerminator) {
  RKBufferStream three("\x01\x02\x03", 3);
  EXPECT_EQ(three.readInt(), 0);  // only 3 of 4 bytes
  RKBufferStream s("ab\0c", 4);
  EXPECT_STREQ(s.readString().data, "ab");
  EXPECT_EQ(s.readByte(), 'c');
  RKBufferStream open("ab", 2);
  EXPECT_STREQ(open.readString().data, "");
  EXPECT_EQ(open.available(), -1);  // the bytes read stay consumed

  RKBufferStream empty;
  RKString blank(" \t");
  blank.trimRight();  // null data
  EXPECT_EQ(empty.writeString(blank), 1);
  EXPECT_EQ(bytesOf(empty), std::string("\0", 1));

  IRKIOStream base;  // the interface's own bodies
  EXPECT_EQ(base.read(nullptr, 1), -1);
  EXPECT_EQ(base.write("x", 1), -1);
  EXPECT_EQ(base.available(), -1);
  EXPECT_EQ(base.open(), 0);
  EXPECT_EQ(base.writeInt(1), 0);
  EXPECT_NE(strstr(base.getClassName(), ".IRKIOStream"), nullptr);
}

TEST_F(FileStream, NewAndClosedStreamsReportNotOpen) {
  RKFileStream s;
  EXPECT_EQ(s.getLastError(), 0u);
  EXPECT_STREQ(s.getClassName(), "RKObject.IRKIOStream.RKFileStream");
  char b[4];
  EXPECT_EQ(s.read(b, 4), -1);
  EXPECT_EQ(s.getLastError(), RKFILESTREAM_NOT_OPEN);
  EXPECT_EQ(s.write(b, 4), -1);
  EXPECT_EQ(s.tell(), -1);
  EXPECT_EQ(s.available(), -1);
  EXPECT_EQ(s.seek(0, 0), 0);
  EXPECT_EQ(s.close(), 0);
  EXPECT_EQ(s.flush(), 0);
  EXPECT_EQ(s.getLastError(), RKFILESTREAM_NOT_OPEN);
  EXPECT_STREQ(s.getErrorText(RKFILESTREAM_NOT_OPEN), "File is not openned");
  EXPECT_STREQ(s.getErrorText(RKFILESTREAM_OPEN_FAIL), "Open file fail");
  EXPECT_STREQ(s.getErrorText(RKFILESTREAM_LENGTH_FAIL), "Can not get file length");
  EXPECT_STREQ(s.getErrorText(RKFILESTREAM_READ_FAIL), "Read file data fail");
  EXPECT_STREQ(s.getErrorText(RKFILESTREAM_WRITE_FAIL), "Write file data fail");
  EXPECT_STREQ(s.getErrorText(RKFILESTREAM_SEEK_FAIL), "File seek fail");
  EXPECT_STREQ(s.getErrorText(0), "Success");
  EXPECT_STREQ(s.getErrorText(0xF0000007u), "Success");

  // The mode text of a new stream is no valid one: open fails.
  s.setPath("C:\\x.bin");
  TempPrefix::writeFile(prefix.onC("x.bin"), "x");
  EXPECT_EQ(s.open(), 0);
  EXPECT_EQ(s.getLastError(), RKFILESTREAM_OPEN_FAIL);
  EXPECT_EQ(s.open("C:\\missing.bin", 0), 0);
  EXPECT_EQ(s.getLastError(), RKFILESTREAM_OPEN_FAIL);
  EXPECT_EQ(s.open("C:\\x.bin", 0), 1);
  EXPECT_EQ(s.getLastError(), 0u);
}

TEST_F(FileStream, ModesTruncateAppendAndReadWrite) {
  TempPrefix::writeFile(prefix.onC("m.bin"), "0123456789");
  RKFileStream s;
  ASSERT_EQ(s.open(RKString("C:\\m.bin"), 0), 1);
  char b[16] = {0};
  EXPECT_EQ(s.read(b, 3), 3);
  EXPECT_EQ(s.available(), 7);
  EXPECT_EQ(s.write("x", 1), -1);  // read-only
  EXPECT_EQ(s.seek(2, 5), 1);      // an unknown origin moves from the current position
  EXPECT_EQ(s.tell(), 5);
  EXPECT_EQ(s.seek(-1, 2), 1);
  EXPECT_EQ(s.read(b, 16), 1);
  EXPECT_EQ(s.available(), -1);
  EXPECT_EQ(s.read(b, 16), 0);  // the end is no failure
  EXPECT_EQ(s.getLastError(), 0u);
  EXPECT_EQ(s.seek(-100, 0), 0);
  EXPECT_EQ(s.getLastError(), RKFILESTREAM_SEEK_FAIL);

  ASSERT_EQ(s.open("C:\\m.bin", 2), 1);  // append, and reading allowed
  EXPECT_EQ(s.write("AB", 2), 2);
  EXPECT_EQ(s.flush(), 1);
  EXPECT_EQ(s.seek(0, 0), 1);
  EXPECT_EQ(s.read(b, 2), 2);
  EXPECT_EQ(std::string(b, 2), "01");
  ASSERT_EQ(s.close(), 1);
  EXPECT_EQ(TempPrefix::readFile(prefix.onC("m.bin")), "0123456789AB");

  ASSERT_EQ(s.open("C:\\m.bin", 7), 1);  // "rb+": keeps the bytes, writes over them
  EXPECT_EQ(s.write("zz", 2), 2);
  s.close();
  EXPECT_EQ(TempPrefix::readFile(prefix.onC("m.bin")), "zz23456789AB");

  ASSERT_EQ(s.open("C:\\m.bin", 1), 1);  // truncates
  EXPECT_EQ(s.available(), -1);
  s.close();
  EXPECT_EQ(TempPrefix::readFile(prefix.onC("m.bin")), "");
}

TEST_F(FileStream, BlocksAcrossTheBufferComeBackWhole) {
  // 10 KiB blocks, as the launcher moves them, well past the stream's buffer, then read back by
  // the same object with seeks across buffer boundaries.
  std::string data;
  for (int i = 0; i < 300 * 1024; ++i) data.push_back(char((i * 31 + i / 4096) & 0xFF));
  RKFileStream s;
  ASSERT_EQ(s.open("C:\\blocks.bin", 1), 1);
  for (size_t at = 0; at < data.size(); at += 10240) {
    int n = (int)std::min<size_t>(10240, data.size() - at);
    ASSERT_EQ(s.write(data.data() + at, n), n);
  }
  EXPECT_EQ(s.tell(), (int)data.size());
  ASSERT_EQ(s.open("C:\\blocks.bin", 0), 1);
  EXPECT_EQ(s.available(), (int)data.size());
  std::string back(data.size(), '\0');
  for (size_t at = 0; at < back.size(); at += 10240) {
    int n = (int)std::min<size_t>(10240, back.size() - at);
    ASSERT_EQ(s.read(&back[at], n), n);
  }
  EXPECT_TRUE(back == data);
  char b[8];
  ASSERT_EQ(s.seek(65536 - 3, 0), 1);
  ASSERT_EQ(s.read(b, 8), 8);
  EXPECT_EQ(std::string(b, 8), data.substr(65536 - 3, 8));
  ASSERT_EQ(s.seek(-200000, 2), 1);
  EXPECT_EQ(s.tell(), (int)data.size() - 200000);
  ASSERT_EQ(s.read(b, 8), 8);
  EXPECT_EQ(std::string(b, 8), data.substr(data.size() - 200000, 8));
  s.close();
  EXPECT_EQ(TempPrefix::readFile(prefix.onC("blocks.bin")), data);
}

TEST_F(FileStream, ShortWritesAreFailures) {
  // The host's full device accepts nothing.
  RKFileStream s;
  ASSERT_EQ(s.open("Z:\\dev\\full", 1), 1);
  std::string big(1 << 20, 'x');
  EXPECT_EQ(s.write(big.data(), (int)big.size()), -1);
  EXPECT_EQ(s.getLastError(), RKFILESTREAM_WRITE_FAIL);
  EXPECT_EQ(s.write("y", 1), 1);  // buffered for now
  EXPECT_EQ(s.flush(), 0);
  EXPECT_EQ(s.getLastError(), RKFILESTREAM_WRITE_FAIL);
  EXPECT_EQ(s.write("y", 1), 1);
  EXPECT_EQ(s.close(), 0);  // what could not be written out is reported at the close
  EXPECT_EQ(s.getLastError(), RKFILESTREAM_WRITE_FAIL);
  EXPECT_EQ(s.tell(), -1);  // closed all the same
}

TEST_F(FileStream, CloneIsClosedOnTheSamePathAndMode) {
  TempPrefix::writeFile(prefix.onC("c.bin"), "abc");
  RKFileStream s;
  ASSERT_EQ(s.open("C:\\c.bin", 0), 1);
  RKFileStream* copy = dynamic_cast<RKFileStream*>(s.clone());
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->tell(), -1);  // closed
  EXPECT_EQ(copy->open(), 1);
  EXPECT_EQ(copy->write("x", 1), -1);  // opened read-only like the original
  EXPECT_EQ(copy->readByte(), 'a');
  EXPECT_EQ(copy->release(), 0u);

  RKFileStream w;
  ASSERT_EQ(w.open("C:\\s.bin", 1), 1);
  EXPECT_EQ(w.writeString(RKString("ab")), 1);
  EXPECT_EQ(w.writeInt(258), 1);
  w.close();
  EXPECT_EQ(TempPrefix::readFile(prefix.onC("s.bin")), std::string("ab\0\x02\x01\0\0", 7));
}
