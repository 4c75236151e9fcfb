#include "RKFileStream.h"

#include <new>

#include <share.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

namespace RKSDK {

namespace {
const size_t kBufferSize = 64 * 1024;
}  // namespace

RKFileStream::RKFileStream() : file(nullptr), path(""), modeText("br+"), lastError(0), errorText(), ioBuffer(nullptr) {
  appendClassName("RKFileStream");
}

RKFileStream::~RKFileStream() {
  close();
  free(ioBuffer);
}

void RKFileStream::setPath(const char* p) { path = p ? p : ""; }

void RKFileStream::setPath(RKString p) { path = p; }

int RKFileStream::open(const char* p, int m) {
  setPath(p);
  setMode(m);
  return open();
}

int RKFileStream::open(RKString p, int m) {
  setPath(p);
  setMode(m);
  return open();
}

void RKFileStream::setMode(int m) {
  IRKIOStream::setMode(m);
  switch (m) {
    case RK_STREAM_READ:
      modeText = "rb";
      break;
    case RK_STREAM_WRITE:
      modeText = "wb";
      break;
    case RK_STREAM_APPEND:
      modeText = "ab+";
      break;
    default:
      modeText = "rb+";
      break;
  }
}

int RKFileStream::open() {
  lastError = 0;
  if (file) {
    fclose(file);
    file = nullptr;
  }
  file = _fsopen(path.data ? path.data : "", modeText.data ? modeText.data : "", _SH_DENYNO);
  if (!file) {
    lastError = RKFILESTREAM_OPEN_FAIL;
    return 0;
  }
  // Callers move data in blocks of several KiB (the launcher in 10 KiB); a buffer larger than
  // the C library's default turns each run of blocks into few system calls.
  if (!ioBuffer) ioBuffer = static_cast<char*>(malloc(kBufferSize));
  if (ioBuffer) setvbuf(file, ioBuffer, _IOFBF, kBufferSize);
  return 1;
}

int RKFileStream::close() {
  lastError = 0;
  if (!file) {
    lastError = RKFILESTREAM_NOT_OPEN;
    return 0;
  }
  // Closing writes out what is still buffered; a failure there loses data and is reported.
  int closed = fclose(file);
  file = nullptr;
  if (closed != 0) {
    lastError = RKFILESTREAM_WRITE_FAIL;
    return 0;
  }
  return 1;
}

int RKFileStream::available() {
  lastError = 0;
  if (!file) {
    lastError = RKFILESTREAM_NOT_OPEN;
    return -1;
  }
  // The size as the file system reports it; a size it cannot report counts as 0.
  struct _stat st;
  long long size = _stat(path.data ? path.data : "", &st) == 0 ? st.st_size : 0;
  long long left = size - ftell(file);
  return left == 0 ? -1 : (int)left;
}

int RKFileStream::read(void* buffer, int count) {
  lastError = 0;
  if (!file) {
    lastError = RKFILESTREAM_NOT_OPEN;
    return -1;
  }
  if (count < 0 || (!buffer && count > 0)) {
    lastError = RKFILESTREAM_READ_FAIL;
    return -1;
  }
  size_t n = fread(buffer, 1, (size_t)count, file);
  if (n < (size_t)count && ferror(file)) {
    clearerr(file);
    lastError = RKFILESTREAM_READ_FAIL;
    return -1;
  }
  return (int)n;
}

int RKFileStream::write(const void* buffer, int count) {
  lastError = 0;
  if (!file) {
    lastError = RKFILESTREAM_NOT_OPEN;
    return -1;
  }
  if (count < 0 || (!buffer && count > 0)) {
    lastError = RKFILESTREAM_WRITE_FAIL;
    return -1;
  }
  size_t n = fwrite(buffer, 1, (size_t)count, file);
  if (n != (size_t)count) {
    clearerr(file);
    lastError = RKFILESTREAM_WRITE_FAIL;
    return -1;
  }
  return (int)n;
}

int RKFileStream::seek(int offset, int origin) {
  lastError = 0;
  if (!file) {
    lastError = RKFILESTREAM_NOT_OPEN;
    return 0;
  }
  int whence = origin == RK_SEEK_SET ? SEEK_SET : origin == RK_SEEK_END ? SEEK_END : SEEK_CUR;
  if (fseek(file, offset, whence) != 0) {
    lastError = RKFILESTREAM_SEEK_FAIL;
    return 0;
  }
  return 1;
}

int RKFileStream::tell() {
  lastError = 0;
  if (!file) {
    lastError = RKFILESTREAM_NOT_OPEN;
    return -1;
  }
  return (int)ftell(file);
}

int RKFileStream::flush() {
  lastError = 0;
  if (!file) {
    lastError = RKFILESTREAM_NOT_OPEN;
    return 0;
  }
  if (fflush(file) != 0) {
    lastError = RKFILESTREAM_WRITE_FAIL;
    return 0;
  }
  return 1;
}

u32 RKFileStream::getLastError() { return lastError; }

const char* RKFileStream::getErrorText(u32 code) {
  switch (code) {
    case RKFILESTREAM_OPEN_FAIL:
      errorText = "Open file fail";
      break;
    case RKFILESTREAM_NOT_OPEN:
      errorText = "File is not openned";
      break;
    case RKFILESTREAM_LENGTH_FAIL:
      errorText = "Can not get file length";
      break;
    case RKFILESTREAM_READ_FAIL:
      errorText = "Read file data fail";
      break;
    case RKFILESTREAM_WRITE_FAIL:
      errorText = "Write file data fail";
      break;
    case RKFILESTREAM_SEEK_FAIL:
      errorText = "File seek fail";
      break;
    default:
      errorText = RK_TEXT_SUCCESS;
      break;
  }
  return errorText.data;
}

RKObject* RKFileStream::clone() {
  RKFileStream* copy = new (std::nothrow) RKFileStream();
  if (!copy) return nullptr;
  copy->setPath(path);
  copy->setMode(mode);
  copy->addRef();
  return copy;
}

}  // namespace RKSDK
