// Reading and writing bzip2-compressed files through libbzip2's file-handle interface.
#ifndef RKSDK_RKBZIP_H
#define RKSDK_RKBZIP_H

#include "RKObject.h"
#include "RKString.h"

namespace RKSDK {

class RKBZip : public virtual RKObject {
 public:
  RKBZip();
  ~RKBZip() override;

  // Opens path for compressed writing (block size 9); an open write side is closed first.
  virtual bool openWrite(RKString path);
  // Compresses length bytes; returns length, or -1 without a write handle, for a null buffer, a
  // negative length or a library error.
  virtual int write(const void* buffer, int length);
  // Finishes the stream and closes the file: 1, or 0 when no write handle is open.
  virtual int closeWrite();

  // Opens path for decompression; an open read side is closed first.
  virtual bool openRead(RKString path);
  // Up to length decompressed bytes: the count, 0 once the stream has ended, -1 without a read
  // handle, for a null buffer, a negative length, damaged data or a file that ends early.
  virtual int read(void* buffer, int length);
  // 1, or 0 when no read handle is open.
  virtual int closeRead();

 private:
  RKBZip(const RKBZip&) = delete;
  RKBZip& operator=(const RKBZip&) = delete;

  void* writeHandle;
  void* readHandle;
};

}  // namespace RKSDK

#endif
