// The machine's fixed drives with their space, and the system version as one code.
#ifndef RKSDK_LOGICDRIVERS_H
#define RKSDK_LOGICDRIVERS_H

#include "RKObject.h"
#include "TRKList.h"

namespace RKSDK {

struct LOGICDRIVERS {
  char root[10];   // "C:\", zero-padded
  u32 driveType;   // 3, fixed, in lists filled by listDrives
  u64 totalBytes;  // size of the volume
  u64 freeBytes;   // free for the calling user; both 0 when the system cannot tell
};

// Empties the list, then appends one record per fixed drive in the system's order. Returns 1
// (0 for a null list).
int listDrives(TRKList<LOGICDRIVERS>* list);

// Version codes of checkWindowsVersion.
const int RK_WINDOWS_32S_OR_CE = 1;
const int RK_WINDOWS_95 = 4;
const int RK_WINDOWS_98 = 8;
const int RK_WINDOWS_ME = 16;
const int RK_WINDOWS_NT4 = 32;
const int RK_WINDOWS_2000 = 64;
const int RK_WINDOWS_XP = 128;
const int RK_WINDOWS_VISTA = 256;
const int RK_WINDOWS_SERVER_2008 = 512;
const int RK_WINDOWS_7 = 1024;
const int RK_WINDOWS_SERVER_2003 = 2048;

// The code of the running system's version; 0 for any other version or when it cannot be read.
int checkWindowsVersion();

}  // namespace RKSDK

#endif
