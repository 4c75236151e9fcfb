// Drives, the program's own path, the environment and the version of the emulated machine.
#include "module_internal.h"
#include "path_internal.h"

#include <windows.h>

#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <string>

extern char** environ;

namespace {

// Drive letter of a root text "C:", "C:\" or "C:/", or 0.
char rootDrive(const char* root) {
  if (!root || !((root[0] | 0x20) >= 'a' && (root[0] | 0x20) <= 'z') || root[1] != ':') return 0;
  if (root[2] && !((root[2] == '\\' || root[2] == '/') && root[3] == 0)) return 0;
  return (char)(root[0] & ~0x20);
}

char currentDrive() {
  char buffer[4096];
  if (!getcwd(buffer, sizeof buffer)) return 'Z';
  std::string win = rkwin::toWindowsPath(buffer);
  return win.empty() ? 'Z' : win[0];
}

// Copies `value` the Windows way: its length when it fits with the terminator, else the size
// needed (terminator included), leaving the buffer alone.
DWORD copyOut(const std::string& value, LPSTR buffer, DWORD size) {
  if (!buffer || size <= value.size()) return (DWORD)value.size() + 1;
  memcpy(buffer, value.c_str(), value.size() + 1);
  return (DWORD)value.size();
}

bool lookUpHostVariable(const char* name, std::string& value) {
  if (const char* v = getenv(name)) {
    value = v;
    return true;
  }
  size_t n = strlen(name);
  for (char** e = environ; e && *e; ++e) {
    if (strncasecmp(*e, name, n) == 0 && (*e)[n] == '=') {
      value = *e + n + 1;
      return true;
    }
  }
  return false;
}

}  // namespace

DWORD WINAPI GetLogicalDriveStringsA(DWORD nBufferLength, LPSTR lpBuffer) {
  static const char kDrives[] = "C:\\\0Z:\\\0";  // and the final terminator
  const DWORD length = sizeof kDrives - 1;       // 8, without the final terminator
  if (!lpBuffer || nBufferLength < length + 1) return length + 1;
  memcpy(lpBuffer, kDrives, length + 1);
  return length;
}

UINT WINAPI GetDriveTypeA(LPCSTR lpRootPathName) {
  char drive = lpRootPathName ? rootDrive(lpRootPathName) : currentDrive();
  return drive == 'C' || drive == 'Z' ? DRIVE_FIXED : DRIVE_NO_ROOT_DIR;
}

BOOL WINAPI GetDiskFreeSpaceExA(LPCSTR lpDirectoryName, PULARGE_INTEGER lpFreeBytesAvailableToCaller,
                                PULARGE_INTEGER lpTotalNumberOfBytes, PULARGE_INTEGER lpTotalNumberOfFreeBytes) {
  std::string host;
  DWORD error = ERROR_PATH_NOT_FOUND;
  if (!rkwin::toHostPath(lpDirectoryName ? lpDirectoryName : ".", host, &error)) {
    SetLastError(error);
    return FALSE;
  }
  struct stat st;
  if (stat(host.c_str(), &st) != 0) {
    SetLastError(rkwin::errorFromErrno(errno, host));
    return FALSE;
  }
  if (!S_ISDIR(st.st_mode)) {
    SetLastError(ERROR_DIRECTORY);
    return FALSE;
  }
  struct statvfs vfs;
  if (statvfs(host.c_str(), &vfs) != 0) {
    SetLastError(rkwin::errorFromErrno(errno, host));
    return FALSE;
  }
  ULONGLONG unit = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
  if (lpFreeBytesAvailableToCaller) lpFreeBytesAvailableToCaller->QuadPart = (ULONGLONG)vfs.f_bavail * unit;
  if (lpTotalNumberOfBytes) lpTotalNumberOfBytes->QuadPart = (ULONGLONG)vfs.f_blocks * unit;
  if (lpTotalNumberOfFreeBytes) lpTotalNumberOfFreeBytes->QuadPart = (ULONGLONG)vfs.f_bfree * unit;
  return TRUE;
}

DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
  if (hModule) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  std::string path;
  if (!rkwin::moduleOverride(&path)) {
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) {
      SetLastError(ERROR_GEN_FAILURE);
      return 0;
    }
    buffer[n] = 0;
    path = rkwin::toWindowsPath(buffer);
  }
  if (!lpFilename || nSize == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (path.size() < nSize) {
    memcpy(lpFilename, path.c_str(), path.size() + 1);
    SetLastError(ERROR_SUCCESS);
    return (DWORD)path.size();
  }
  // Truncated and terminated; the result is the buffer's size.
  memcpy(lpFilename, path.c_str(), nSize - 1);
  lpFilename[nSize - 1] = 0;
  SetLastError(ERROR_INSUFFICIENT_BUFFER);
  return nSize;
}

DWORD WINAPI GetEnvironmentVariableA(LPCSTR lpName, LPSTR lpBuffer, DWORD nSize) {
  if (!lpName || !*lpName) {
    SetLastError(ERROR_ENVVAR_NOT_FOUND);
    return 0;
  }
  std::string value;
  if (lookUpHostVariable(lpName, value)) {
    value = rkwin::utf8ToAnsi(value.data(), value.size());
  } else if (strcasecmp(lpName, "ProgramFiles") == 0) {
    value = "C:\\Program Files";
  } else if (strcasecmp(lpName, "SystemRoot") == 0) {
    value = "C:\\windows";
  } else if (strcasecmp(lpName, "USERPROFILE") == 0) {
    std::string user = rkwin::userName();
    value = "C:\\users\\" + rkwin::utf8ToAnsi(user.data(), user.size());
  } else {
    SetLastError(ERROR_ENVVAR_NOT_FOUND);
    return 0;
  }
  if (value.empty()) {
    // An empty variable reads as length 0 without an error.
    if (lpBuffer && nSize > 0) lpBuffer[0] = 0;
    SetLastError(ERROR_SUCCESS);
    return 0;
  }
  return copyOut(value, lpBuffer, nSize);
}

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA lpVersionInformation) {
  if (!lpVersionInformation) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DWORD size = lpVersionInformation->dwOSVersionInfoSize;
  if (size != sizeof(OSVERSIONINFOA) && size != sizeof(OSVERSIONINFOEXA)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  unsigned major = 6, minor = 1, build = 0;
  if (const char* env = getenv("RKWIN_VERSION")) {
    unsigned a = 0, b = 0, c = 0;
    int n = sscanf(env, "%u.%u.%u", &a, &b, &c);
    if (n >= 2) {
      major = a;
      minor = b;
      build = n == 3 ? c : 0;
    }
  }
  if (build == 0) {
    struct {
      unsigned major, minor, build;
    } known[] = {{5, 0, 2195}, {5, 1, 2600}, {5, 2, 3790}, {6, 0, 6002},
                 {6, 1, 7601}, {6, 2, 9200}, {6, 3, 9600}, {10, 0, 19045}};
    for (const auto& k : known)
      if (k.major == major && k.minor == minor) build = k.build;
  }
  bool servicePack = major == 6 && minor == 1 && build == 7601;
  memset((char*)lpVersionInformation + sizeof(DWORD), 0, size - sizeof(DWORD));
  lpVersionInformation->dwMajorVersion = major;
  lpVersionInformation->dwMinorVersion = minor;
  lpVersionInformation->dwBuildNumber = build;
  lpVersionInformation->dwPlatformId = VER_PLATFORM_WIN32_NT;
  if (servicePack) strcpy(lpVersionInformation->szCSDVersion, "Service Pack 1");
  if (size == sizeof(OSVERSIONINFOEXA)) {
    OSVERSIONINFOEXA* ex = (OSVERSIONINFOEXA*)lpVersionInformation;
    ex->wServicePackMajor = servicePack ? 1 : 0;
    ex->wSuiteMask = VER_SUITE_SINGLEUSERTS;
    ex->wProductType = VER_NT_WORKSTATION;
  }
  return TRUE;
}
