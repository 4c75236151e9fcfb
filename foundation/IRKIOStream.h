// The library's byte-stream interface: nine raw operations that implementations provide, and
// typed helpers on top of read and write. Typed values travel little-endian with nothing between
// them; a string is its bytes and one 0 byte.
#ifndef RKSDK_IRKIOSTREAM_H
#define RKSDK_IRKIOSTREAM_H

#include "RKObject.h"
#include "RKString.h"

namespace RKSDK {

// Open modes: 0 read, 1 write (truncate), 2 append with read, any other value read and write.
const int RK_STREAM_READ = 0;
const int RK_STREAM_WRITE = 1;
const int RK_STREAM_APPEND = 2;
const int RK_STREAM_READ_WRITE = 3;

// Seek origins.
const int RK_SEEK_SET = 0;
const int RK_SEEK_CUR = 1;
const int RK_SEEK_END = 2;

class IRKIOStream : public virtual RKObject {
 public:
  IRKIOStream();
  IRKIOStream(const IRKIOStream& other);
  ~IRKIOStream() override;

  virtual void setMode(int mode);
  // Bytes left; -1 at the end or on failure.
  virtual int available();
  virtual int open();
  virtual int close();
  // Bytes read or written; -1 on failure.
  virtual int read(void* buffer, int count);
  virtual int write(const void* buffer, int count);
  // 1 or 0; origin 0 start, 1 current, 2 end.
  virtual int seek(int offset, int origin);
  virtual int tell();
  virtual int flush();

  // Each typed read is one read of the value's width; a short read gives 0. Each typed write is
  // one write of the width; 1 when it was written whole, else 0.
  virtual u8 readByte();
  virtual int writeByte(u8 value);
  virtual int readInt();
  virtual int writeInt(int value);
  virtual u32 readUInt();
  virtual int writeUInt(u32 value);
  virtual u16 readShort();
  virtual int writeShort(u16 value);
  virtual double readDouble();
  virtual int writeDouble(double value);
  virtual float readFloat();
  virtual int writeFloat(float value);
  virtual int readLong();
  virtual int writeLong(int value);
  // Bytes up to a 0 byte, which is consumed; "" when the stream ends or fails before it.
  virtual RKString readString();
  // The text's bytes and its 0 byte in one write.
  virtual int writeString(RKString text);

 protected:
  int mode;

 private:
  // One read of `width` bytes into a zeroed value; true when all arrived.
  bool readValue(void* value, int width);
  int writeValue(const void* value, int width);
};

}  // namespace RKSDK

#endif
