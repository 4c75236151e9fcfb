#include "RKBufferStream.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

using namespace RKSDK;

namespace {

std::string contents(RKBuffer& b) {
  return b.getSize() ? std::string(reinterpret_cast<const char*>(b.getData(0)), b.getSize()) : std::string();
}

const char kDigits[] = "0123456789";

}  // namespace

TEST(Buffer, NewBufferHoldsNothing) {
  RKBuffer b;
  EXPECT_EQ(b.getSize(), 0);
  EXPECT_EQ(b.tell(), -1);
  EXPECT_EQ(b.getLastError(), RKBUFFER_NO_BUFFER);
  EXPECT_EQ(b.getData(0), nullptr);
  EXPECT_STREQ(b.getErrorText(b.getLastError()), "No buffer alloc");
  EXPECT_STREQ(b.getErrorText(RKBUFFER_ALLOC_FAIL), "Alloc memory fail");
  EXPECT_STREQ(b.getErrorText(RKBUFFER_BAD_PARAMETER), "Paramater is wrong");
  EXPECT_STREQ(b.getErrorText(9), "Success");
  EXPECT_NE(strstr(b.getClassName(), ".RKBuffer"), nullptr);
  char c;
  EXPECT_EQ(b.read(&c, 1), 0);
  EXPECT_EQ(b.write("x", 1), -1);
  EXPECT_EQ(b.seek(0, 0), -1);
  EXPECT_EQ(b.removeRange(0, 0), 1);  // reported by the code only
  EXPECT_EQ(b.getLastError(), RKBUFFER_NO_BUFFER);

  RKBuffer fromNull(nullptr, 4);  // zeros, nothing read from null
  EXPECT_EQ(contents(fromNull), std::string(4, '\0'));
  RKBuffer sized(3);
  EXPECT_EQ(contents(sized), std::string(3, '\0'));
}

TEST(Buffer, WritesAndReadsAreClippedToTheBlock) {
  RKBuffer b(10);
  EXPECT_EQ(b.write("abcd", 4), 4);
  EXPECT_EQ(b.tell(), 4);
  EXPECT_EQ(b.writeAt(8, "WXYZ", 4), 2);
  EXPECT_EQ(b.tell(), 10);
  EXPECT_EQ(b.getSize(), 10);
  EXPECT_EQ(contents(b), std::string("abcd\0\0\0\0WX", 10));
  EXPECT_EQ(b.writeAt(12, "Q", 1), 0);  // past the end: nothing, never a negative count
  EXPECT_EQ(b.tell(), 10);
  EXPECT_EQ(b.writeAt(-1, "Q", 1), -1);
  EXPECT_EQ(b.getLastError(), RKBUFFER_BAD_PARAMETER);
  EXPECT_EQ(b.writeAt(0, nullptr, 1), -1);
  EXPECT_EQ(b.writeAt(0, "Q", 0), 0);

  char out[16];
  EXPECT_EQ(b.readAt(10, out, 1), -1);
  EXPECT_EQ(b.readAt(11, out, 1), 0);
  EXPECT_EQ(b.tell(), 10);
  EXPECT_EQ(b.readAt(8, out, 5), 2);
  EXPECT_EQ(std::string(out, 2), "WX");
  EXPECT_EQ(b.read(out, 1), -1);  // after the last byte
  EXPECT_EQ(b.seek(0, 1), 1);
  EXPECT_EQ(b.read(out, 3), 3);
  EXPECT_EQ(std::string(out, 3), "bcd");
  EXPECT_EQ(b.read(out, 0), 0);
  EXPECT_EQ(b.getLastError(), RKBUFFER_BAD_PARAMETER);
  EXPECT_EQ(b.readAt(0, nullptr, 1), 0);
}

TEST(Buffer, SeekTakesTheOriginFirst) {
  RKBuffer b(kDigits, 10);
  EXPECT_EQ(b.seek(2, -3), 7);
  EXPECT_EQ(b.seek(1, 2), 9);
  EXPECT_EQ(b.seek(2, 1), -1);
  EXPECT_EQ(b.getLastError(), RKBUFFER_BAD_PARAMETER);
  EXPECT_EQ(b.tell(), 9);
  EXPECT_EQ(b.seek(5, 0), -1);  // no such origin
  EXPECT_EQ(b.seek(0, 11), -1);
  EXPECT_EQ(b.seek(0, 10), 10);
  EXPECT_EQ(b.seek(1, -11), -1);
}

TEST(Buffer, GrowthKeepsTheBytesAndZeroesGaps) {
  RKBuffer b(kDigits, 10);
  EXPECT_EQ(b.writeGrow(8, "abcd", 4), 4);
  EXPECT_EQ(b.getSize(), 12);
  EXPECT_EQ(contents(b), "01234567abcd");
  EXPECT_EQ(b.tell(), 12);
  EXPECT_EQ(b.writeGrow(15, "z", 1), 1);  // the gap 12..14 is zero
  EXPECT_EQ(contents(b), std::string("01234567abcd\0\0\0z", 16));
  EXPECT_EQ(b.writeGrow(nullptr, 1), 0);
  EXPECT_EQ(b.writeGrow(0, "z", 0), 0);
  EXPECT_EQ(b.getLastError(), RKBUFFER_BAD_PARAMETER);
  // Growing from the buffer's own bytes, which the growth may move.
  EXPECT_EQ(b.writeGrow(16, b.getData(0), 16), 16);
  EXPECT_EQ(contents(b).substr(16), contents(b).substr(0, 16));

  RKBuffer a(kDigits, 3);
  EXPECT_EQ(a.append("xy", 2), 2);
  EXPECT_EQ(contents(a), "012xy");
  EXPECT_EQ(a.tell(), 5);
  EXPECT_EQ(a.append(nullptr, 2), 0);
  EXPECT_EQ(a.getLastError(), RKBUFFER_BAD_PARAMETER);
  EXPECT_EQ(a.append("x", 0), 0);
  EXPECT_EQ(a.append(a.getData(0), 5), 5);
  EXPECT_EQ(contents(a), "012xy012xy");

  RKBuffer r(kDigits, 10);
  r.seek(0, 9);
  EXPECT_EQ(r.resize(4), 1);
  EXPECT_EQ(r.tell(), 4);  // clamped
  EXPECT_EQ(r.resize(6), 1);
  EXPECT_EQ(contents(r), std::string("0123\0\0", 6));
  EXPECT_EQ(r.resize(0), 0);
  EXPECT_EQ(r.getLastError(), RKBUFFER_BAD_PARAMETER);
  r.freeBlock();
  EXPECT_EQ(r.getSize(), 0);
  EXPECT_EQ(r.resize(2), 1);
  EXPECT_EQ(r.getSize(), 2);
}

TEST(Buffer, RangesAreRemovedAndInserted) {
  RKBuffer b(kDigits, 10);
  EXPECT_EQ(b.removeRange(2, 5), 1);
  EXPECT_EQ(contents(b), "0156789");
  EXPECT_EQ(b.tell(), 0);
  EXPECT_EQ(b.removeRange(3, 3), 1);
  EXPECT_EQ(b.removeRange(5, 2), 0);
  EXPECT_EQ(b.removeRange(0, 7), 0);  // to may not be the size
  EXPECT_EQ(b.getLastError(), RKBUFFER_BAD_PARAMETER);
  EXPECT_EQ(b.removeRange(0, 6), 1);
  EXPECT_EQ(b.getSize(), 0);

  RKBuffer i("01234", 5);
  EXPECT_EQ(i.insert(3, "ab", 2), 1);
  EXPECT_EQ(contents(i), "012ab34");
  EXPECT_EQ(i.tell(), 5);
  EXPECT_EQ(i.insert("X", 1), 1);  // at the position
  EXPECT_EQ(contents(i), "012abX34");
  EXPECT_EQ(i.insert(9, "X", 1), 0);
  EXPECT_EQ(i.insert(0, nullptr, 1), 0);
  EXPECT_EQ(i.insert(8, i.getData(0), 3), 1);
  EXPECT_EQ(contents(i), "012abX34012");
}

TEST(Buffer, CopiesAreDeepAndSelfAssignmentIsHarmless) {
  RKBuffer b(kDigits, 10);
  b.seek(0, 4);
  RKBuffer& same = b;
  b = same;
  EXPECT_EQ(contents(b), kDigits);
  RKBuffer copy(b);
  EXPECT_EQ(copy.tell(), 4);
  copy.writeAt(0, "X", 1);
  EXPECT_EQ(contents(b), kDigits);
  RKBuffer assigned;
  assigned = copy;
  EXPECT_EQ(contents(assigned), "X123456789");
  RKBuffer* clone = dynamic_cast<RKBuffer*>(b.clone());
  ASSERT_NE(clone, nullptr);
  EXPECT_EQ(contents(*clone), kDigits);
  EXPECT_EQ(clone->tell(), 4);
  EXPECT_EQ(clone->release(), 0u);
  RKBuffer empty;
  copy = empty;
  EXPECT_EQ(copy.getSize(), 0);
}

TEST(BufferStream, ReadsToTheEndAndKeepsModes) {
  RKBufferStream s(kDigits, 10);
  EXPECT_STREQ(s.getClassName(), "RKObject.IRKIOStream.RKBufferStream");
  char out[16];
  EXPECT_EQ(s.read(out, 16), 10);
  EXPECT_EQ(s.read(out, 16), 0);
  EXPECT_EQ(s.available(), -1);
  EXPECT_EQ(s.flush(), 0);
  s.close();
  EXPECT_EQ(s.available(), -1);
  EXPECT_EQ(s.read(out, 1), 0);
  EXPECT_EQ(s.write("x", 1), -1);  // a closed stream writes nothing
  s.open();
  EXPECT_EQ(s.available(), 10);

  s.setMode(0);
  EXPECT_EQ(s.write("x", 1), -1);
  EXPECT_EQ(s.seek(20, 0), 0);
  EXPECT_EQ(s.seek(-1, 0), 0);
  EXPECT_EQ(s.seek(4, 0), 1);
  s.setMode(1);
  EXPECT_EQ(s.read(out, 1), -1);
  EXPECT_EQ(s.write("abcd", 4), 4);
  EXPECT_EQ(s.tell(), 8);
  EXPECT_EQ(s.write("WXYZ", 4), 4);  // grows 10 to 12
  RKBuffer* b = s.getBuffer();
  EXPECT_EQ(contents(*b), "0123abcdWXYZ");
  s.setMode(3);
  EXPECT_EQ(s.seek(20, 0), 1);
  EXPECT_EQ(b->getSize(), 20);
  EXPECT_EQ(s.seek(7, 9), 1);  // an unknown origin keeps the position
  EXPECT_EQ(s.tell(), 20);
  b->release();

  RKBufferStream own(nullptr);  // no buffer given: one of its own
  EXPECT_EQ(own.write("ab", 2), 2);
  EXPECT_EQ(own.seek(0, 0), 1);
  EXPECT_EQ(own.readShort(), 0x6261);
}

TEST(BufferStream, SharedBuffersKeepSeparatePositions) {
  RKBuffer* shared = new RKBuffer(kDigits, 10);
  shared->addRef();
  RKBufferStream a(shared);
  RKBufferStream b(shared);
  char out[4];
  EXPECT_EQ(a.read(out, 4), 4);
  EXPECT_EQ(b.read(out, 2), 2);
  EXPECT_EQ(std::string(out, 2), "01");
  EXPECT_EQ(a.tell(), 4);
  EXPECT_EQ(b.write("XY", 2), 2);
  EXPECT_EQ(a.read(out, 4), 4);
  EXPECT_EQ(std::string(out, 4), "4567");
  EXPECT_EQ(std::string((char*)shared->getData(2), 2), "XY");

  // The buffer shrinks below a's position: reads end, writes grow it back to a's position.
  EXPECT_EQ(shared->resize(3), 1);
  EXPECT_LT(a.available(), -1);
  EXPECT_EQ(a.read(out, 4), 0);
  EXPECT_EQ(a.tell(), 8);
  EXPECT_EQ(a.write("Q", 1), 1);
  EXPECT_EQ(shared->getSize(), 9);
  EXPECT_EQ(std::string((char*)shared->getData(0), 9), std::string("01X\0\0\0\0\0Q", 9));

  RKBufferStream* c = dynamic_cast<RKBufferStream*>(a.clone());
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->tell(), 0);
  RKBuffer* own = c->getBuffer();
  EXPECT_NE(own, shared);
  EXPECT_EQ(contents(*own), contents(*shared));
  own->release();
  c->release();

  RKBuffer* other = new RKBuffer("zz", 2);
  other->addRef();
  EXPECT_EQ(b.setBuffer(other), 1);
  EXPECT_EQ(b.setBuffer(nullptr), 0);
  EXPECT_EQ(b.tell(), 0);
  EXPECT_EQ(b.readByte(), 'z');
  other->release();
  EXPECT_EQ(b.setData(nullptr, 1), 0);
  EXPECT_EQ(b.setData("abc", 3), 1);
  EXPECT_EQ(b.available(), 3);
  EXPECT_EQ(shared->release(), 1u);  // a still holds it
  char big[1];
  EXPECT_EQ(a.read(big, 0), 0);
  EXPECT_EQ(a.getLastError(), 0u);
}
