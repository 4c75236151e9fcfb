#include "RKBZip.h"

#include <bzlib.h>

#ifdef RKWIN_COMPAT
#include <compat_path.h>
#endif

namespace RKSDK {

namespace {

// libbzip2 opens files with the C runtime itself; on the stand-in that runtime is the host's,
// so the library gets the host name of the path.
BZFILE* openFile(const RKString& path, const char* mode) {
  const char* name = path.data ? path.data : "";
#ifdef RKWIN_COMPAT
  char host[4096];
  if (!compat_host_path(name, host, sizeof host)) return nullptr;
  name = host;
#endif
  return BZ2_bzopen(name, mode);
}

}  // namespace

RKBZip::RKBZip() : writeHandle(nullptr), readHandle(nullptr) { appendClassName("RKBZip"); }

RKBZip::~RKBZip() {
  if (readHandle) BZ2_bzclose(static_cast<BZFILE*>(readHandle));
  if (writeHandle) BZ2_bzclose(static_cast<BZFILE*>(writeHandle));
}

bool RKBZip::openWrite(RKString path) {
  closeWrite();
  writeHandle = openFile(path, "wb");
  return writeHandle != nullptr;
}

int RKBZip::write(const void* buffer, int length) {
  if (!writeHandle || !buffer || length < 0) return -1;
  // BZ2_bzwrite gives length when the library reports BZ_OK and -1 for any error.
  return BZ2_bzwrite(static_cast<BZFILE*>(writeHandle), const_cast<void*>(buffer), length);
}

int RKBZip::closeWrite() {
  if (!writeHandle) return 0;
  BZ2_bzclose(static_cast<BZFILE*>(writeHandle));
  writeHandle = nullptr;
  return 1;
}

bool RKBZip::openRead(RKString path) {
  closeRead();
  readHandle = openFile(path, "rb");
  return readHandle != nullptr;
}

int RKBZip::read(void* buffer, int length) {
  if (!readHandle || !buffer || length < 0) return -1;
  BZFILE* handle = static_cast<BZFILE*>(readHandle);
  // A stream that once failed stays failed: the decompressor cannot resume after an error.
  int state = BZ_OK;
  BZ2_bzerror(handle, &state);
  if (state < 0) return -1;
  // BZ2_bzread returns 0 without reading once the stream has ended (BZ_STREAM_END), the bytes
  // it got on BZ_OK or BZ_STREAM_END, and -1 for every other state.
  return BZ2_bzread(handle, buffer, length);
}

int RKBZip::closeRead() {
  if (!readHandle) return 0;
  BZ2_bzclose(static_cast<BZFILE*>(readHandle));
  readHandle = nullptr;
  return 1;
}

}  // namespace RKSDK
