// sysinfoapi declarations of the stand-in.
#ifndef RKWIN_SYSINFOAPI_H
#define RKWIN_SYSINFOAPI_H

#include "windef.h"
#include "winerror.h"

// Milliseconds since the system started, wrapping every 2^32 ms (about 49.7 days).
DWORD WINAPI GetTickCount(void);

#define VER_PLATFORM_WIN32s 0
#define VER_PLATFORM_WIN32_WINDOWS 1
#define VER_PLATFORM_WIN32_NT 2
#define VER_NT_WORKSTATION 0x0000001
#define VER_NT_DOMAIN_CONTROLLER 0x0000002
#define VER_NT_SERVER 0x0000003
#define VER_SUITE_SINGLEUSERTS 0x00000100

typedef struct _OSVERSIONINFOA {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  CHAR szCSDVersion[128];
} OSVERSIONINFOA, *POSVERSIONINFOA, *LPOSVERSIONINFOA;

typedef struct _OSVERSIONINFOEXA {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  CHAR szCSDVersion[128];
  WORD wServicePackMajor;
  WORD wServicePackMinor;
  WORD wSuiteMask;
  BYTE wProductType;
  BYTE wReserved;
} OSVERSIONINFOEXA, *POSVERSIONINFOEXA, *LPOSVERSIONINFOEXA;

// Windows 6.1 by default; RKWIN_VERSION ("10.0", "6.2.9200") overrides it. The record's
// dwOSVersionInfoSize must be set to the size of either form.
BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA lpVersionInformation);

#endif
