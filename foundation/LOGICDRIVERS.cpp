#include "LOGICDRIVERS.h"

#include <string.h>
#include <windows.h>

namespace RKSDK {

int listDrives(TRKList<LOGICDRIVERS>* list) {
  if (!list) return 0;
  list->removeAll();
  char roots[1024];
  memset(roots, 0, sizeof roots);
  DWORD n = GetLogicalDriveStringsA(sizeof roots, roots);
  if (n == 0 || n >= sizeof roots) return 1;
  for (const char* root = roots; root < roots + n && *root; root += strlen(root) + 1) {
    if (GetDriveTypeA(root) != DRIVE_FIXED) continue;
    LOGICDRIVERS record;
    memset(&record, 0, sizeof record);
    size_t length = strlen(root);
    memcpy(record.root, root, length < sizeof record.root ? length : sizeof record.root - 1);
    record.driveType = DRIVE_FIXED;
    ULARGE_INTEGER freeToCaller, total, totalFree;
    if (GetDiskFreeSpaceExA(root, &freeToCaller, &total, &totalFree)) {
      record.totalBytes = total.QuadPart;
      record.freeBytes = freeToCaller.QuadPart;
    }
    list->addLast(record);
  }
  return 1;
}

// Windows CE's platform id; today's headers no longer define it.
const DWORD kPlatformWin32CE = 3;

int checkWindowsVersion() {
  OSVERSIONINFOEXA info;
  memset(&info, 0, sizeof info);
  info.dwOSVersionInfoSize = sizeof info;
  if (!GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&info))) return 0;
  if (info.dwPlatformId == VER_PLATFORM_WIN32s || info.dwPlatformId == kPlatformWin32CE) return RK_WINDOWS_32S_OR_CE;
  switch (info.dwMajorVersion) {
    case 4:
      if (info.dwMinorVersion == 90) return RK_WINDOWS_ME;
      if (info.dwMinorVersion == 10) return RK_WINDOWS_98;
      if (info.dwMinorVersion != 0) return 0;
      if (info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) return RK_WINDOWS_95;
      if (info.dwPlatformId == VER_PLATFORM_WIN32_NT) return RK_WINDOWS_NT4;
      return 0;
    case 5:
      if (info.dwMinorVersion == 0) return RK_WINDOWS_2000;
      if (info.dwMinorVersion == 1) return RK_WINDOWS_XP;
      if (info.dwMinorVersion == 2) return RK_WINDOWS_SERVER_2003;
      return 0;
    case 6:
      if (info.dwMinorVersion == 0)
        return info.wProductType == VER_NT_WORKSTATION ? RK_WINDOWS_VISTA : RK_WINDOWS_SERVER_2008;
      if (info.dwMinorVersion == 1) return RK_WINDOWS_7;
      return 0;
    default:
      return 0;
  }
}

}  // namespace RKSDK
