// A byte stream over a file, through the C runtime's buffered files.
#ifndef RKSDK_RKFILESTREAM_H
#define RKSDK_RKFILESTREAM_H

#include "IRKIOStream.h"

#include <stdio.h>

namespace RKSDK {

// Error codes of RKFileStream.
const u32 RKFILESTREAM_OPEN_FAIL = 0xF0000001u;
const u32 RKFILESTREAM_NOT_OPEN = 0xF0000002u;
const u32 RKFILESTREAM_LENGTH_FAIL = 0xF0000003u;
const u32 RKFILESTREAM_READ_FAIL = 0xF0000004u;
const u32 RKFILESTREAM_WRITE_FAIL = 0xF0000005u;
const u32 RKFILESTREAM_SEEK_FAIL = 0xF0000006u;

// Closed after construction; open() opens path with the mode set by setMode ("rb", "wb", "ab+",
// else "rb+"). Every operation but setPath and setMode clears the error code first; on a closed
// stream they fail with RKFILESTREAM_NOT_OPEN.
class RKFileStream : public virtual IRKIOStream {
 public:
  RKFileStream();
  ~RKFileStream() override;

  virtual void setPath(const char* path);
  virtual void setPath(RKString path);
  virtual int open(const char* path, int mode);
  virtual int open(RKString path, int mode);
  int open() override;
  // 0 with RKFILESTREAM_WRITE_FAIL when buffered bytes could not be written out.
  int close() override;

  void setMode(int mode) override;
  // The file's size on disk minus the position; -1 when they are equal (the end).
  int available() override;
  int read(void* buffer, int count) override;
  // A short write is a failure: -1 with RKFILESTREAM_WRITE_FAIL.
  int write(const void* buffer, int count) override;
  int seek(int offset, int origin) override;
  int tell() override;
  int flush() override;

  u32 getLastError() override;
  const char* getErrorText(u32 code) override;
  // A closed stream on the same path with the same mode, holding one reference.
  RKObject* clone() override;

 protected:
  FILE* file;
  RKString path;
  RKString modeText;
  u32 lastError;
  RKString errorText;

 private:
  // The C library's buffer for file, allocated at the first open and kept until destruction.
  char* ioBuffer;
  RKFileStream(const RKFileStream&) = delete;
  RKFileStream& operator=(const RKFileStream&) = delete;
};

}  // namespace RKSDK

#endif
