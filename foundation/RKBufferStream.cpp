#include "RKBufferStream.h"

#include <limits.h>

#include <new>

namespace RKSDK {

namespace {

// Holds the buffer's lock for one stream operation.
class BufferLock {
 public:
  explicit BufferLock(RKBuffer* b) : buffer(b) { buffer->lock(RK_WAIT_FOREVER); }
  ~BufferLock() { buffer->unlock(); }

 private:
  RKBuffer* buffer;
};

RKBuffer* newOwnBuffer() {
  RKBuffer* b = new RKBuffer();
  b->addRef();
  return b;
}

}  // namespace

RKBufferStream::RKBufferStream() : buffer(newOwnBuffer()), position(0), closed(0) { appendClassName("RKBufferStream"); }

RKBufferStream::RKBufferStream(const void* data, int size) : RKBufferStream() { setData(data, size); }

RKBufferStream::RKBufferStream(RKBuffer* shared) : buffer(nullptr), position(0), closed(0) {
  appendClassName("RKBufferStream");
  if (shared) {
    shared->addRef();
    buffer = shared;
  } else {
    buffer = newOwnBuffer();
  }
}

RKBufferStream::~RKBufferStream() { buffer->release(); }

int RKBufferStream::setBuffer(RKBuffer* b) {
  if (!b) return 0;
  b->addRef();
  buffer->release();
  buffer = b;
  position = 0;
  return 1;
}

int RKBufferStream::setData(const void* data, int size) {
  if (!data || size < 1) return 0;
  if (!buffer->allocate(size)) return 0;
  buffer->writeAt(0, data, size);
  buffer->seek(0, 0);
  position = 0;
  return 1;
}

RKBuffer* RKBufferStream::getBuffer() {
  buffer->addRef();
  return buffer;
}

int RKBufferStream::available() {
  BufferLock guard(buffer);
  if (closed) return -1;
  long long left = (long long)buffer->getSize() - position;
  if (left == 0) return -1;
  return left < INT_MIN ? INT_MIN : (int)left;
}

int RKBufferStream::open() {
  BufferLock guard(buffer);
  position = 0;
  closed = 0;
  return 1;
}

int RKBufferStream::close() {
  BufferLock guard(buffer);
  closed = 1;
  position = 0;
  return 1;
}

int RKBufferStream::read(void* dst, int count) {
  if (mode == RK_STREAM_WRITE) return -1;
  if (count < 1) return 0;
  BufferLock guard(buffer);
  // Below 1: closed, at the end, or past the end of a buffer that shrank meanwhile.
  int left = available();
  if (left < 1) return 0;
  int n = left < count ? left : count;
  int got = buffer->readAt((int)position, dst, n);
  if (got < 0) return -1;
  position += got;
  return got;
}

int RKBufferStream::write(const void* src, int count) {
  if (mode == RK_STREAM_READ) return -1;
  if (count == 0) return 0;
  if (count < 0 || !src) return -1;
  BufferLock guard(buffer);
  if (closed) return -1;
  if ((long long)position + count > INT_MAX) return -1;
  int end = (int)position + count;
  if (end > buffer->getSize() && !buffer->resize(end)) return -1;
  if (buffer->writeAt((int)position, src, count) != count) return -1;
  position = end;
  return count;
}

int RKBufferStream::seek(int offset, int origin) {
  BufferLock guard(buffer);
  long long target;
  switch (origin) {
    case RK_SEEK_SET:
      target = offset;
      break;
    case RK_SEEK_CUR:
      target = (long long)position + offset;
      break;
    case RK_SEEK_END:
      target = (long long)buffer->getSize() + offset;
      break;
    default:
      target = position;
      break;
  }
  if (target < 0 || target > INT_MAX) return 0;
  if (target > buffer->getSize()) {
    if (mode == RK_STREAM_READ) return 0;
    if (!buffer->resize((int)target)) return 0;
  }
  position = (u32)target;
  return 1;
}

int RKBufferStream::tell() { return (int)position; }

u32 RKBufferStream::getLastError() { return buffer->getLastError(); }

const char* RKBufferStream::getErrorText(u32 code) { return buffer->getErrorText(code); }

RKObject* RKBufferStream::clone() {
  RKBufferStream* copy = new (std::nothrow) RKBufferStream();
  if (!copy) return nullptr;
  copy->setData(buffer->getData(0), buffer->getSize());
  copy->addRef();
  return copy;
}

}  // namespace RKSDK
