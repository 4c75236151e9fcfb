#include "RKBuffer.h"

#include <limits.h>
#include <stdlib.h>
#include <string.h>

#include <new>

namespace RKSDK {

RKBuffer::RKBuffer() : data(nullptr), size(0), position(0), lastError(0), errorText(RK_TEXT_SUCCESS) {
  appendClassName("RKBuffer");
}

RKBuffer::RKBuffer(int n) : RKBuffer() { allocate(n); }

RKBuffer::RKBuffer(const void* src, int n) : RKBuffer() {
  if (allocate(n) && src && size > 0) memcpy(data, src, size);
}

RKBuffer::RKBuffer(const RKBuffer& other) : RKBuffer() { *this = other; }

RKBuffer& RKBuffer::operator=(const RKBuffer& other) {
  if (this == &other) return *this;
  u8* copy = nullptr;
  if (other.size > 0) {
    copy = static_cast<u8*>(malloc(other.size));
    if (!copy) {
      lastError = RKBUFFER_ALLOC_FAIL;
      return *this;
    }
    memcpy(copy, other.data, other.size);
  }
  free(data);
  data = copy;
  size = copy ? other.size : 0;
  position = copy ? other.position : 0;
  lastError = other.lastError;
  errorText = other.errorText;
  return *this;
}

RKBuffer::~RKBuffer() { free(data); }

bool RKBuffer::reallocate(int newSize) {
  u8* grown = static_cast<u8*>(realloc(data, newSize));
  if (!grown) return false;
  if (newSize > size) memset(grown + size, 0, newSize - size);
  data = grown;
  size = newSize;
  if (position > size) position = size;
  return true;
}

int RKBuffer::allocate(int n) {
  lastError = 0;
  free(data);
  data = nullptr;
  size = 0;
  position = 0;
  if (n < 0) {
    lastError = RKBUFFER_BAD_PARAMETER;
    return 0;
  }
  if (n == 0) return 1;
  data = static_cast<u8*>(calloc(n, 1));
  if (!data) {
    lastError = RKBUFFER_ALLOC_FAIL;
    return 0;
  }
  size = n;
  return 1;
}

int RKBuffer::resize(int n) {
  lastError = 0;
  if (n < 1) {
    lastError = RKBUFFER_BAD_PARAMETER;
    return 0;
  }
  if (size == 0) return allocate(n);
  if (n == size) return 1;
  if (!reallocate(n)) {
    lastError = RKBUFFER_ALLOC_FAIL;
    return 0;
  }
  return 1;
}

void RKBuffer::freeBlock() {
  lastError = 0;
  free(data);
  data = nullptr;
  size = 0;
  position = 0;
}

int RKBuffer::removeRange(int from, int to) {
  lastError = 0;
  if (size == 0) {
    lastError = RKBUFFER_NO_BUFFER;
    return 1;
  }
  if (from > to || from < 0 || to >= size) {
    lastError = RKBUFFER_BAD_PARAMETER;
    return 0;
  }
  if (from == 0 && to == size - 1) {
    freeBlock();
    return 1;
  }
  if (from == to) return 1;
  // Bytes [from, to) are dropped.
  int newSize = size - (to - from);
  u8* block = static_cast<u8*>(malloc(newSize));
  if (!block) {
    lastError = RKBUFFER_ALLOC_FAIL;
    return 0;
  }
  memcpy(block, data, from);
  memcpy(block + from, data + to, size - to);
  free(data);
  data = block;
  size = newSize;
  position = 0;
  return 1;
}

int RKBuffer::writeAt(int pos, const void* src, int count) {
  lastError = 0;
  if (count == 0) return 0;
  if (count < 0 || pos < 0 || !src) {
    lastError = RKBUFFER_BAD_PARAMETER;
    return -1;
  }
  if (size == 0) {
    lastError = RKBUFFER_NO_BUFFER;
    return -1;
  }
  if (pos >= size) {  // nothing fits
    position = size;
    return 0;
  }
  int n = count <= size - pos ? count : size - pos;
  memmove(data + pos, src, n);
  position = pos + n;
  return n;
}

int RKBuffer::write(const void* src, int count) { return writeAt(position, src, count); }

int RKBuffer::writeGrow(int pos, const void* src, int count) {
  lastError = 0;
  if (count < 1 || !src || pos < 0 || count > INT_MAX - pos) {
    lastError = RKBUFFER_BAD_PARAMETER;
    return 0;
  }
  if (pos + count <= size) return writeAt(pos, src, count);
  // The source may lie in this very block, which the growth can move.
  const u8* from = static_cast<const u8*>(src);
  bool inside = data && from >= data && from < data + size;
  size_t offset = inside ? (size_t)(from - data) : 0;
  if (!reallocate(pos + count)) {
    lastError = RKBUFFER_ALLOC_FAIL;
    return 0;
  }
  memmove(data + pos, inside ? data + offset : from, count);
  position = pos + count;
  return count;
}

int RKBuffer::writeGrow(const void* src, int count) { return writeGrow(position, src, count); }

int RKBuffer::readAt(int pos, void* dst, int count) {
  lastError = 0;
  if (count < 1 || pos < 0 || !dst) {
    lastError = RKBUFFER_BAD_PARAMETER;
    return 0;
  }
  if (size == 0) {
    lastError = RKBUFFER_NO_BUFFER;
    return 0;
  }
  if (pos == size) return -1;
  if (pos > size) {
    position = size;
    return 0;
  }
  int n = count <= size - pos ? count : size - pos;
  memmove(dst, data + pos, n);
  position = pos + n;
  return n;
}

int RKBuffer::read(void* dst, int count) {
  lastError = 0;
  if (count < 1 || !dst) {
    lastError = RKBUFFER_BAD_PARAMETER;
    return 0;
  }
  if (size == 0) {
    lastError = RKBUFFER_NO_BUFFER;
    return 0;
  }
  if (position >= size) return -1;
  int n = count <= size - position ? count : size - position;
  memmove(dst, data + position, n);
  position += n;
  return n;
}

int RKBuffer::getSize() {
  lastError = 0;
  return size;
}

int RKBuffer::seek(int origin, int offset) {
  lastError = 0;
  if (size == 0) {
    lastError = RKBUFFER_NO_BUFFER;
    return -1;
  }
  long long target;
  switch (origin) {
    case 0:
      target = offset;
      break;
    case 1:
      target = (long long)position + offset;
      break;
    case 2:
      target = offset <= 0 ? (long long)size + offset : -1;
      break;
    default:
      target = -1;
      break;
  }
  if (target < 0 || target > size) {
    lastError = RKBUFFER_BAD_PARAMETER;
    return -1;
  }
  position = (int)target;
  return position;
}

int RKBuffer::append(const void* src, int count) {
  lastError = 0;
  if (!src || count < 1 || count > INT_MAX - size) {
    lastError = RKBUFFER_BAD_PARAMETER;
    return 0;
  }
  const u8* from = static_cast<const u8*>(src);
  bool inside = data && from >= data && from < data + size;
  size_t offset = inside ? (size_t)(from - data) : 0;
  int end = size;
  if (!reallocate(size + count)) {
    lastError = RKBUFFER_ALLOC_FAIL;
    return 0;
  }
  memmove(data + end, inside ? data + offset : from, count);
  position = size;
  return count;
}

int RKBuffer::tell() {
  lastError = 0;
  if (size == 0) {
    lastError = RKBUFFER_NO_BUFFER;
    return -1;
  }
  return position;
}

int RKBuffer::insert(const void* src, int count) {
  lastError = 0;
  if (count < 1 || !src) {
    lastError = RKBUFFER_BAD_PARAMETER;
    return 0;
  }
  return insert(position, src, count);
}

int RKBuffer::insert(int pos, const void* src, int count) {
  lastError = 0;
  if (count < 1 || !src || pos < 0 || pos > size || count > INT_MAX - size) {
    lastError = RKBUFFER_BAD_PARAMETER;
    return 0;
  }
  u8* block = static_cast<u8*>(malloc((size_t)size + count));
  if (!block) {
    lastError = RKBUFFER_ALLOC_FAIL;
    return 0;
  }
  if (pos > 0) memcpy(block, data, pos);
  memcpy(block + pos, src, count);  // src may lie in the old block, still intact here
  if (size > pos) memcpy(block + pos + count, data + pos, size - pos);
  free(data);
  data = block;
  size += count;
  position = pos + count;
  return 1;
}

u8* RKBuffer::getData(int offset) { return offset >= 0 && offset < size ? data + offset : nullptr; }

u32 RKBuffer::getLastError() { return lastError; }

const char* RKBuffer::getErrorText(u32 code) {
  switch (code) {
    case RKBUFFER_ALLOC_FAIL:
      errorText = "Alloc memory fail";
      break;
    case RKBUFFER_BAD_PARAMETER:
      errorText = "Paramater is wrong";
      break;
    case RKBUFFER_NO_BUFFER:
      errorText = "No buffer alloc";
      break;
    default:
      errorText = RK_TEXT_SUCCESS;
      break;
  }
  return errorText.data;
}

RKObject* RKBuffer::clone() {
  RKBuffer* copy = new (std::nothrow) RKBuffer(data, size);
  if (!copy) return nullptr;
  copy->seek(0, position);
  copy->addRef();
  return copy;
}

}  // namespace RKSDK
