// GetFileAttributesA: the attributes of a file or folder itself; a symbolic link is reported as
// a reparse point (with the folder bit when it points to a folder) and is not followed.
#include <windows.h>

#include <errno.h>
#include <sys/stat.h>

#include <string>

#include "path_internal.h"

DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName) {
  std::string host;
  DWORD error = ERROR_PATH_NOT_FOUND;
  rkwin::HostEntry entry;
  if (!lpFileName || !rkwin::toHostPath(lpFileName, host, &error, &entry)) {
    SetLastError(lpFileName ? error : ERROR_INVALID_PARAMETER);
    return INVALID_FILE_ATTRIBUTES;
  }
  if (!entry.exists) {
    SetLastError(rkwin::errorFromErrno(entry.error, host));
    return INVALID_FILE_ATTRIBUTES;
  }
  const struct stat& st = entry.st;
  DWORD attributes = 0;
  if (S_ISLNK(st.st_mode)) {
    attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    struct stat target;
    if (stat(host.c_str(), &target) == 0 && S_ISDIR(target.st_mode)) attributes |= FILE_ATTRIBUTE_DIRECTORY;
  } else if (S_ISDIR(st.st_mode)) {
    attributes |= FILE_ATTRIBUTE_DIRECTORY;
    if (!(st.st_mode & S_IWUSR)) attributes |= FILE_ATTRIBUTE_READONLY;
  } else {
    attributes |= FILE_ATTRIBUTE_ARCHIVE;
    if (!(st.st_mode & S_IWUSR)) attributes |= FILE_ATTRIBUTE_READONLY;
  }
  return attributes;
}
