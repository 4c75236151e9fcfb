#include "IRKIOStream.h"

#include <string.h>

#include <string>

namespace RKSDK {

namespace {

// The target is little-endian: values travel in the order they lie in memory.
static_assert(sizeof(float) == 4 && sizeof(double) == 8, "IEEE single and double");

}  // namespace

IRKIOStream::IRKIOStream() : mode(RK_STREAM_READ_WRITE) { appendClassName("IRKIOStream"); }

IRKIOStream::IRKIOStream(const IRKIOStream& other) : RKObject(), mode(other.mode) { appendClassName("IRKIOStream"); }

IRKIOStream::~IRKIOStream() {}

void IRKIOStream::setMode(int m) { mode = m; }
int IRKIOStream::available() { return -1; }
int IRKIOStream::open() { return 0; }
int IRKIOStream::close() { return 0; }
int IRKIOStream::read(void*, int) { return -1; }
int IRKIOStream::write(const void*, int) { return -1; }
int IRKIOStream::seek(int, int) { return 0; }
int IRKIOStream::tell() { return -1; }
int IRKIOStream::flush() { return 0; }

bool IRKIOStream::readValue(void* value, int width) {
  memset(value, 0, width);
  if (read(value, width) == width) return true;
  memset(value, 0, width);  // a short read may have filled part of it
  return false;
}

int IRKIOStream::writeValue(const void* value, int width) { return write(value, width) == width ? 1 : 0; }

u8 IRKIOStream::readByte() {
  u8 v;
  readValue(&v, 1);
  return v;
}
int IRKIOStream::writeByte(u8 value) { return writeValue(&value, 1); }

int IRKIOStream::readInt() {
  i32 v;
  readValue(&v, 4);
  return v;
}
int IRKIOStream::writeInt(int value) {
  i32 v = value;
  return writeValue(&v, 4);
}

u32 IRKIOStream::readUInt() {
  u32 v;
  readValue(&v, 4);
  return v;
}
int IRKIOStream::writeUInt(u32 value) { return writeValue(&value, 4); }

u16 IRKIOStream::readShort() {
  u16 v;
  readValue(&v, 2);
  return v;
}
int IRKIOStream::writeShort(u16 value) { return writeValue(&value, 2); }

double IRKIOStream::readDouble() {
  double v;
  readValue(&v, 8);
  return v;
}
int IRKIOStream::writeDouble(double value) { return writeValue(&value, 8); }

float IRKIOStream::readFloat() {
  float v;
  readValue(&v, 4);
  return v;
}
int IRKIOStream::writeFloat(float value) { return writeValue(&value, 4); }

int IRKIOStream::readLong() { return readInt(); }
int IRKIOStream::writeLong(int value) { return writeInt(value); }

RKString IRKIOStream::readString() {
  std::string bytes;
  for (;;) {
    char c = 0;
    if (read(&c, 1) != 1) return RKString();
    if (c == 0) break;
    bytes.push_back(c);
  }
  RKString result;
  result.assign(bytes.data(), (u32)bytes.size());
  return result;
}

int IRKIOStream::writeString(RKString text) {
  if (!text.data || text.length == 0) {
    char zero = 0;
    return write(&zero, 1) == 1 ? 1 : 0;
  }
  int count = (int)text.length + 1;
  return write(text.data, count) == count ? 1 : 0;
}

}  // namespace RKSDK
