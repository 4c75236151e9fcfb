// winbase declarations of the stand-in.
#ifndef RKWIN_WINBASE_H
#define RKWIN_WINBASE_H

#include "windef.h"
#include "winerror.h"

#define DRIVE_UNKNOWN 0
#define DRIVE_NO_ROOT_DIR 1
#define DRIVE_REMOVABLE 2
#define DRIVE_FIXED 3
#define DRIVE_REMOTE 4
#define DRIVE_CDROM 5
#define DRIVE_RAMDISK 6

// Copies a file with its attributes and last-write time; overwrites unless bFailIfExists.
BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists);

#endif
