// A growable block of bytes with a current position.
#ifndef RKSDK_RKBUFFER_H
#define RKSDK_RKBUFFER_H

#include "RKObject.h"
#include "RKString.h"

namespace RKSDK {

// Error codes of RKBuffer.
const u32 RKBUFFER_ALLOC_FAIL = 0xF0000001u;
const u32 RKBUFFER_BAD_PARAMETER = 0xF0000002u;
const u32 RKBUFFER_NO_BUFFER = 0xF0000003u;

// Size 0 means "no buffer" for every operation. Every operation but getData clears the error code
// first. Bytes the buffer gains without being written (a new block, growth, the gap that a write
// past the end leaves) are zero.
class RKBuffer : public virtual RKObject {
 public:
  RKBuffer();
  explicit RKBuffer(int size);
  // size bytes copied from data (zeros when data is null).
  RKBuffer(const void* data, int size);
  RKBuffer(const RKBuffer& other);
  // A deep copy of the other's bytes, size, position and error; assigning a buffer to itself
  // changes nothing.
  RKBuffer& operator=(const RKBuffer& other);
  ~RKBuffer() override;

  virtual int allocate(int size);
  virtual int resize(int size);
  // Frees the block: size and position 0. (RKObject::release is the reference count.)
  virtual void freeBlock();
  virtual int removeRange(int from, int to);
  // Writes within the block only (clipped at the end); returns the bytes written.
  virtual int writeAt(int pos, const void* src, int count);
  virtual int write(const void* src, int count);
  // Writes, growing the block to pos + count where needed.
  virtual int writeGrow(int pos, const void* src, int count);
  virtual int writeGrow(const void* src, int count);
  // Reads within the block (clipped at the end); -1 when pos is the end.
  virtual int readAt(int pos, void* dst, int count);
  virtual int read(void* dst, int count);
  virtual int getSize();
  // Note the order: origin first. Returns the new position, or -1.
  virtual int seek(int origin, int offset);
  virtual int append(const void* src, int count);
  virtual int tell();
  virtual int insert(const void* src, int count);
  virtual int insert(int pos, const void* src, int count);
  // data + offset for 0 <= offset < size, else null.
  virtual u8* getData(int offset);

  u32 getLastError() override;
  const char* getErrorText(u32 code) override;
  // A buffer with the same bytes and position, holding one reference.
  RKObject* clone() override;

 protected:
  // Grows or shrinks the block to newSize bytes (> 0), zeroing what it gains.
  bool reallocate(int newSize);

  u8* data;
  int size;
  int position;
  u32 lastError;
  RKString errorText;
};

}  // namespace RKSDK

#endif
