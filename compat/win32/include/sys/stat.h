// The C library's <sys/stat.h> plus the Windows C runtime's _stat.
#pragma GCC system_header  // the wrapper itself, like the header it extends
#include_next <sys/stat.h>

#ifndef RKWIN_SYS_STAT_H
#define RKWIN_SYS_STAT_H

#include <stdint.h>
#include <time.h>

#define _S_IFMT 0xF000
#define _S_IFDIR 0x4000
#define _S_IFCHR 0x2000
#define _S_IFREG 0x8000
#define _S_IREAD 0x0100
#define _S_IWRITE 0x0080
#define _S_IEXEC 0x0040

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t _dev_t;
typedef unsigned short _ino_t;
typedef int32_t _off_t;

// The Windows layout of the file status: 32-bit size, 64-bit times. The C library defines
// st_atime, st_mtime and st_ctime as macros naming the seconds of timespec members; the members
// here follow that shape so that st.st_mtime reads the same in both worlds.
struct _stat {
  _dev_t st_dev;
  _ino_t st_ino;
  unsigned short st_mode;
  short st_nlink;
  short st_uid;
  short st_gid;
  _dev_t st_rdev;
  _off_t st_size;
#ifdef st_mtime
  struct timespec st_atim;
  struct timespec st_mtim;
  struct timespec st_ctim;
#else
  int64_t st_atime;
  int64_t st_mtime;
  int64_t st_ctime;
#endif
};

// Status of the file or folder `path` (Windows form). Mode bits as on Windows: _S_IREAD always,
// _S_IWRITE unless read-only, _S_IEXEC for folders and .exe/.com/.bat/.cmd files, repeated for
// group and others. A path ending in a separator fails unless it is a drive root.
int _stat(const char* path, struct _stat* buffer);

#ifdef __cplusplus
}
#endif

#endif
