// A byte stream over an RKBuffer, own or shared with other holders.
#ifndef RKSDK_RKBUFFERSTREAM_H
#define RKSDK_RKBUFFERSTREAM_H

#include "IRKIOStream.h"
#include "RKBuffer.h"

namespace RKSDK {

// The stream keeps its own position (the buffer's is not used) and holds one reference on its
// buffer. Mode 0 refuses writes, mode 1 refuses reads; writes and seeks past the end grow the
// buffer (seeks not in mode 0). open, close, available, read, write and seek hold the buffer's
// lock, so streams sharing a buffer never interleave inside one operation. Errors are the
// buffer's.
class RKBufferStream : public virtual IRKIOStream {
 public:
  RKBufferStream();
  RKBufferStream(const void* data, int size);
  // Shares the buffer (a null buffer gives an own empty one).
  explicit RKBufferStream(RKBuffer* buffer);
  ~RKBufferStream() override;

  // Holds the new buffer instead of the old one, position 0; 0 for null.
  virtual int setBuffer(RKBuffer* buffer);
  // The buffer becomes a copy of size bytes of data; 0 for null data or size < 1.
  virtual int setData(const void* data, int size);
  // The buffer with one more reference for the caller.
  virtual RKBuffer* getBuffer();

  int available() override;
  int open() override;
  int close() override;
  int read(void* buffer, int count) override;
  int write(const void* buffer, int count) override;
  int seek(int offset, int origin) override;
  int tell() override;

  u32 getLastError() override;
  const char* getErrorText(u32 code) override;
  // A stream over a copy of the bytes, at position 0, holding one reference.
  RKObject* clone() override;

 protected:
  RKBuffer* buffer;
  u32 position;
  u32 closed;

 private:
  RKBufferStream(const RKBufferStream&) = delete;
  RKBufferStream& operator=(const RKBufferStream&) = delete;
};

}  // namespace RKSDK

#endif
