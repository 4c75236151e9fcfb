// Files, folders and listings of the Windows kernel over host paths.
#include "case_fold.h"
#include "file_internal.h"
#include "folder_index.h"
#include "handle_internal.h"
#include "path_internal.h"

#include <windows.h>

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

class FileObject : public rkwin::KernelObject {
 public:
  FileObject(int fd, DWORD access) : fd(fd), access(access) {}
  ~FileObject() override { close(fd); }
  int fd;
  DWORD access;
};

class FindObject : public rkwin::KernelObject {
 public:
  std::vector<WIN32_FIND_DATAA> entries;
  size_t next = 0;
};

bool isSeparator(char c) { return c == '\\' || c == '/'; }

FILETIME toFileTime(ULONGLONG value) {
  FILETIME ft;
  ft.dwLowDateTime = (DWORD)value;
  ft.dwHighDateTime = (DWORD)(value >> 32);
  return ft;
}

ULONGLONG fromFileTime(const FILETIME& ft) { return ((ULONGLONG)ft.dwHighDateTime << 32) | ft.dwLowDateTime; }

// The UTF-8 character at p (a stray byte alone) and its length; never reads past a NUL.
size_t nextChar(const char* p, char32_t* c) { return rkwin::CaseFold::decodeUtf8(p, strnlen(p, 4), c); }

// Windows wildcards on UTF-8 names: '*' any run, '?' one character, letters without case.
bool matches(const char* pattern, const char* name) {
  char32_t p, n;
  while (*pattern) {
    if (*pattern == '*') {
      while (*pattern == '*') ++pattern;
      if (!*pattern) return true;
      for (const char* at = name; *at; at += nextChar(at, &n))
        if (matches(pattern, at)) return true;
      return matches(pattern, name + strlen(name));
    }
    if (!*name) return false;
    size_t length = nextChar(name, &n);
    if (*pattern == '?') {
      ++pattern;
      name += length;
      continue;
    }
    pattern += nextChar(pattern, &p);
    name += length;
    if (p != n && rkwin::CaseFold::upper(p) != rkwin::CaseFold::upper(n)) return false;
  }
  return *name == 0;
}

// NTFS lists by upper-cased name; names equal but for case by their bytes.
bool nameBefore(const std::string& a, const std::string& b) {
  int order = rkwin::CaseFold::compareUtf8(a, b);
  return order != 0 ? order < 0 : a < b;
}

bool fillFindData(const std::string& folder, const std::string& name, WIN32_FIND_DATAA& data) {
  std::string ansi = rkwin::utf8ToAnsi(name.data(), name.size());
  if (ansi.size() >= MAX_PATH) return false;
  std::string host = folder == "/" ? "/" + name : folder + "/" + name;
  struct stat st, link;
  if (lstat(host.c_str(), &link) != 0) return false;
  if (!S_ISLNK(link.st_mode))
    st = link;
  else if (stat(host.c_str(), &st) != 0)
    st = link;  // a dangling link shows as itself
  memset(&data, 0, sizeof data);
  // A symbolic link is a reparse point, as the platform marks its own links.
  if (S_ISLNK(link.st_mode)) data.dwFileAttributes = FILE_ATTRIBUTE_REPARSE_POINT;
  if (S_ISDIR(st.st_mode)) {
    data.dwFileAttributes |= FILE_ATTRIBUTE_DIRECTORY;
  } else {
    data.dwFileAttributes |= FILE_ATTRIBUTE_ARCHIVE;
    data.nFileSizeHigh = (DWORD)((ULONGLONG)st.st_size >> 32);
    data.nFileSizeLow = (DWORD)st.st_size;
  }
  if (!(st.st_mode & S_IWUSR)) data.dwFileAttributes |= FILE_ATTRIBUTE_READONLY;
  data.ftCreationTime = toFileTime(rkwin::fileTimeFromUnix(st.st_ctim.tv_sec, st.st_ctim.tv_nsec));
  data.ftLastAccessTime = toFileTime(rkwin::fileTimeFromUnix(st.st_atim.tv_sec, st.st_atim.tv_nsec));
  data.ftLastWriteTime = toFileTime(rkwin::fileTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec));
  memcpy(data.cFileName, ansi.c_str(), ansi.size() + 1);
  return true;
}

bool isDriveRoot(const std::string& host) { return host == "/" || host == rkwin::driveCRoot(); }

}  // namespace

namespace rkwin {

DWORD copyHostFile(const std::string& from, const std::string& to, bool failIfExists, const HostEntry* fromEntry,
                   const HostEntry* toEntry) {
  struct stat src, dst;
  int found = fromEntry ? statEntry(*fromEntry, from, &src) : stat(from.c_str(), &src);
  if (found != 0) return errorFromErrno(errno, from);
  if (S_ISDIR(src.st_mode)) return ERROR_ACCESS_DENIED;
  if ((toEntry ? statEntry(*toEntry, to, &dst) : stat(to.c_str(), &dst)) == 0) {
    if (dst.st_dev == src.st_dev && dst.st_ino == src.st_ino) return ERROR_SHARING_VIOLATION;
    if (failIfExists) return ERROR_FILE_EXISTS;
    if (S_ISDIR(dst.st_mode) || !(dst.st_mode & S_IWUSR)) return ERROR_ACCESS_DENIED;
  }
  int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return errorFromErrno(errno, from);
  int out = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (out < 0) {
    DWORD error = errorFromErrno(errno, to);
    close(in);
    return error;
  }
  DWORD error = ERROR_SUCCESS;
  std::vector<char> block(1 << 20);
  for (;;) {
    ssize_t n = read(in, block.data(), block.size());
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      error = errorFromErrno(errno, from);
      break;
    }
    for (ssize_t done = 0; done < n && error == ERROR_SUCCESS;) {
      ssize_t w = write(out, block.data() + done, (size_t)(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0)
        error = errorFromErrno(w < 0 ? errno : ENOSPC, to);
      else
        done += w;
    }
    if (error != ERROR_SUCCESS) break;
  }
  if (error == ERROR_SUCCESS) {
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_NOW;
    times[1] = src.st_mtim;
    if (futimens(out, times) != 0 || fchmod(out, src.st_mode & 07777) != 0) error = errorFromErrno(errno, to);
  }
  close(in);
  if (close(out) != 0 && error == ERROR_SUCCESS) error = errorFromErrno(errno, to);
  if (error != ERROR_SUCCESS) unlink(to.c_str());
  FolderIndex::shared().noteChanged(to, error == ERROR_SUCCESS);
  return error;
}

}  // namespace rkwin

HANDLE WINAPI FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData) {
  if (!lpFileName || !lpFindFileData) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  // Split in UTF-8, where no trail byte of a double-byte character can look like a backslash.
  std::string path = rkwin::ansiToUtf8(lpFileName, strlen(lpFileName));
  size_t cut = path.find_last_of("\\/");
  std::string folder, pattern;
  if (cut == std::string::npos) {
    bool drive = path.size() >= 2 && path[1] == ':';
    folder = drive ? path.substr(0, 2) : ".";
    pattern = drive ? path.substr(2) : path;
  } else {
    folder = path.substr(0, cut + 1);
    pattern = path.substr(cut + 1);
  }
  if (pattern.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  if (pattern == "*.*") pattern = "*";
  std::string host;
  DWORD error = ERROR_PATH_NOT_FOUND;
  if (!rkwin::toHostPathUtf8(folder, host, &error)) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  DIR* dir = opendir(host.c_str());
  if (!dir) {
    SetLastError(errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  std::vector<std::string> dots, names;
  bool root = isDriveRoot(host);
  while (struct dirent* e = readdir(dir)) {
    bool dot = strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0;
    if (dot && root) continue;
    if (!matches(pattern.c_str(), e->d_name)) continue;
    (dot ? dots : names).push_back(e->d_name);
  }
  closedir(dir);
  std::sort(dots.begin(), dots.end());
  std::sort(names.begin(), names.end(), nameBefore);
  names.insert(names.begin(), dots.begin(), dots.end());
  auto find = std::make_shared<FindObject>();
  WIN32_FIND_DATAA data;
  for (const std::string& name : names)
    if (fillFindData(host, name, data)) find->entries.push_back(data);
  if (find->entries.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  *lpFindFileData = find->entries[0];
  find->next = 1;
  return rkwin::addHandle(find);
}

BOOL WINAPI FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData) {
  auto find = rkwin::findHandleOf<FindObject>(hFindFile);
  if (!find || !lpFindFileData) {
    SetLastError(find ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (find->next >= find->entries.size()) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  *lpFindFileData = find->entries[find->next++];
  return TRUE;
}

BOOL WINAPI FindClose(HANDLE hFindFile) {
  if (!rkwin::findHandleOf<FindObject>(hFindFile)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  rkwin::removeHandle(hFindFile);
  return TRUE;
}

BOOL WINAPI RemoveDirectoryA(LPCSTR lpPathName) {
  std::string host;
  DWORD error = ERROR_PATH_NOT_FOUND;
  rkwin::HostEntry entry;
  if (!rkwin::toHostPath(lpPathName, host, &error, &entry)) {
    SetLastError(error);
    return FALSE;
  }
  if (!entry.exists) {
    SetLastError(rkwin::errorFromErrno(entry.error, host));
    return FALSE;
  }
  const struct stat& st = entry.st;
  if (S_ISLNK(st.st_mode)) {
    // A link to a folder is removed itself, never what it points to.
    struct stat target;
    if (stat(host.c_str(), &target) != 0 || !S_ISDIR(target.st_mode)) {
      SetLastError(ERROR_DIRECTORY);
      return FALSE;
    }
    if (unlink(host.c_str()) != 0) {
      SetLastError(rkwin::errorFromErrno(errno, host));
      return FALSE;
    }
    rkwin::FolderIndex::shared().noteChanged(host, false);
    return TRUE;
  }
  if (!S_ISDIR(st.st_mode)) {
    SetLastError(ERROR_DIRECTORY);
    return FALSE;
  }
  if (rmdir(host.c_str()) != 0) {
    SetLastError(errno == EEXIST ? ERROR_DIR_NOT_EMPTY : rkwin::errorFromErrno(errno, host));
    return FALSE;
  }
  rkwin::FolderIndex::shared().noteChanged(host, false);
  return TRUE;
}

namespace {

// The long form of an existing absolute drive path without "." or ".." elements, from a single
// translation: each element's name on disk is the matching component of the host path.
bool longFormOfExisting(const std::string& path, std::string& result) {
  if (path.size() < 3 || path[1] != ':' || !isSeparator(path[2])) return false;
  size_t i = 2;
  while (i < path.size() && isSeparator(path[i])) ++i;
  size_t start = i;
  size_t count = 0;
  while (i < path.size()) {
    size_t j = i;
    while (j < path.size() && !isSeparator(path[j])) ++j;
    if (path.compare(i, j - i, ".") == 0 || path.compare(i, j - i, "..") == 0) return false;
    ++count;
    while (j < path.size() && isSeparator(path[j])) ++j;
    i = j;
  }
  std::string host;
  rkwin::HostEntry entry;
  if (!rkwin::toHostPathUtf8(path, host, nullptr, &entry) || !entry.exists) return false;
  std::vector<std::string> names(count);
  size_t end = host.size();
  for (size_t k = count; k-- > 0;) {
    size_t slash = end == 0 ? std::string::npos : host.rfind('/', end - 1);
    if (slash == std::string::npos) return false;
    names[k] = host.substr(slash + 1, end - slash - 1);
    end = slash;
  }
  result = path.substr(0, start);
  for (size_t k = 0; k < count; ++k) {
    if (k) result += "\\";
    result += names[k];
  }
  if (count && isSeparator(path.back())) result += "\\";
  return true;
}

// The long form element by element; sets the error and returns false when an element is missing.
bool longFormByWalk(const std::string& path, std::string& result) {
  // The prefix (drive, root) is kept as given; each element takes its name on disk.
  size_t i = 0;
  if (path.size() >= 2 && path[1] == ':') i = 2;
  while (i < path.size() && isSeparator(path[i])) ++i;
  result = path.substr(0, i);
  std::string walked = result;
  bool trailing = path.size() > i && isSeparator(path.back());
  bool first = true;
  while (i < path.size()) {
    size_t j = i;
    while (j < path.size() && !isSeparator(path[j])) ++j;
    std::string element = path.substr(i, j - i);
    while (j < path.size() && isSeparator(path[j])) ++j;
    i = j;
    if (element.empty()) continue;
    if (!first) {
      walked += "\\";
      result += "\\";
    }
    first = false;
    walked += element;
    std::string name = element;
    std::string host;
    DWORD error = ERROR_PATH_NOT_FOUND;
    struct stat st;
    if (!rkwin::toHostPathUtf8(walked, host, &error)) {
      SetLastError(error);
      return false;
    }
    if (lstat(host.c_str(), &st) != 0) {
      SetLastError(i >= path.size() ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
      return false;
    }
    if (element != "." && element != "..") name = host.substr(host.find_last_of('/') + 1);
    result += name;
  }
  if (trailing && !first) result += "\\";
  if (first) {  // no element: the root or drive itself must exist
    std::string host;
    DWORD error = ERROR_PATH_NOT_FOUND;
    struct stat st;
    if (!rkwin::toHostPathUtf8(result, host, &error) || stat(host.c_str(), &st) != 0) {
      SetLastError(error);
      return false;
    }
  }
  return true;
}

}  // namespace

DWORD WINAPI GetLongPathNameA(LPCSTR lpszShortPath, LPSTR lpszLongPath, DWORD cchBuffer) {
  if (!lpszShortPath) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string path = rkwin::ansiToUtf8(lpszShortPath, strlen(lpszShortPath));
  std::string result;
  if (!longFormOfExisting(path, result) && !longFormByWalk(path, result)) return 0;
  std::string ansi = rkwin::utf8ToAnsi(result.data(), result.size());
  if (!lpszLongPath || cchBuffer <= ansi.size()) return (DWORD)ansi.size() + 1;
  memmove(lpszLongPath, ansi.c_str(), ansi.size() + 1);
  return (DWORD)ansi.size();
}

BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists) {
  std::string from, to;
  DWORD error = ERROR_PATH_NOT_FOUND;
  rkwin::HostEntry fromEntry, toEntry;
  if (!rkwin::toHostPath(lpExistingFileName, from, &error, &fromEntry) ||
      !rkwin::toHostPath(lpNewFileName, to, &error, &toEntry)) {
    SetLastError(error);
    return FALSE;
  }
  error = rkwin::copyHostFile(from, to, bFailIfExists != FALSE, &fromEntry, &toEntry);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  return TRUE;
}

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD, LPSECURITY_ATTRIBUTES,
                          DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes, HANDLE) {
  std::string host;
  DWORD error = ERROR_PATH_NOT_FOUND;
  rkwin::HostEntry entry;
  if (!rkwin::toHostPath(lpFileName, host, &error, &entry)) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  bool wantsRead = dwDesiredAccess & (GENERIC_READ | GENERIC_ALL);
  bool wantsWrite = dwDesiredAccess & (GENERIC_WRITE | GENERIC_ALL);
  int flags = O_CLOEXEC;
  switch (dwCreationDisposition) {
    case CREATE_NEW:
      flags |= O_CREAT | O_EXCL;
      break;
    case CREATE_ALWAYS:
      flags |= O_CREAT | O_TRUNC;
      break;
    case OPEN_EXISTING:
      break;
    case OPEN_ALWAYS:
      flags |= O_CREAT;
      break;
    case TRUNCATE_EXISTING:
      if (!wantsWrite) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
      }
      flags |= O_TRUNC;
      break;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return INVALID_HANDLE_VALUE;
  }
  struct stat st;
  bool existed = rkwin::statEntry(entry, host, &st) == 0;
  if (existed && S_ISDIR(st.st_mode)) {
    // Folders open only with backup semantics, and only as they are.
    if (!(dwFlagsAndAttributes & FILE_FLAG_BACKUP_SEMANTICS) || (flags & (O_EXCL | O_TRUNC))) {
      SetLastError(ERROR_ACCESS_DENIED);
      return INVALID_HANDLE_VALUE;
    }
    int fd = open(host.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
      SetLastError(rkwin::errorFromErrno(errno, host));
      return INVALID_HANDLE_VALUE;
    }
    SetLastError(dwCreationDisposition == OPEN_ALWAYS ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return rkwin::addHandle(std::make_shared<FileObject>(fd, dwDesiredAccess));
  }
  if (existed && (flags & O_EXCL)) {
    SetLastError(ERROR_FILE_EXISTS);
    return INVALID_HANDLE_VALUE;
  }
  if (existed && (wantsWrite || (flags & O_TRUNC)) && !(st.st_mode & S_IWUSR)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  flags |= wantsWrite ? (wantsRead ? O_RDWR : O_WRONLY) : O_RDONLY;
  if ((flags & O_TRUNC) && !wantsWrite) flags = (flags & ~O_RDONLY) | O_RDWR;
  mode_t mode = (dwFlagsAndAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
  int fd = open(host.c_str(), flags, mode);
  if (fd < 0) {
    SetLastError(rkwin::errorFromErrno(errno, host));
    return INVALID_HANDLE_VALUE;
  }
  if (!existed) rkwin::FolderIndex::shared().noteChanged(host, true);
  bool reported = existed && (dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS);
  SetLastError(reported ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return rkwin::addHandle(std::make_shared<FileObject>(fd, dwDesiredAccess));
}

BOOL WINAPI SetFileTime(HANDLE hFile, const FILETIME* lpCreationTime, const FILETIME* lpLastAccessTime,
                        const FILETIME* lpLastWriteTime) {
  (void)lpCreationTime;  // the host keeps no creation time that could be set
  auto file = rkwin::findHandleOf<FileObject>(hFile);
  if (!file) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!(file->access & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_ATTRIBUTES))) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  struct timespec times[2];
  const FILETIME* given[2] = {lpLastAccessTime, lpLastWriteTime};
  for (int k = 0; k < 2; ++k) {
    // Null, or all bits set, leaves that time alone.
    if (!given[k] || (given[k]->dwLowDateTime == 0xFFFFFFFFu && given[k]->dwHighDateTime == 0xFFFFFFFFu)) {
      times[k].tv_sec = 0;
      times[k].tv_nsec = UTIME_OMIT;
      continue;
    }
    int64_t seconds;
    long nanoseconds;
    rkwin::unixFromFileTime(fromFileTime(*given[k]), &seconds, &nanoseconds);
    times[k].tv_sec = (time_t)seconds;
    times[k].tv_nsec = nanoseconds;
  }
  if (futimens(file->fd, times) != 0) {
    SetLastError(rkwin::errorFromErrno(errno, std::string()));
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead, LPVOID) {
  if (lpNumberOfBytesRead) *lpNumberOfBytesRead = 0;
  auto file = rkwin::findHandleOf<FileObject>(hFile);
  if (!file) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!(file->access & (GENERIC_READ | GENERIC_ALL))) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  size_t done = 0;
  while (done < nNumberOfBytesToRead) {
    ssize_t n = read(file->fd, (char*)lpBuffer + done, nNumberOfBytesToRead - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      SetLastError(errno == EISDIR ? ERROR_ACCESS_DENIED : ERROR_READ_FAULT);
      return FALSE;
    }
    if (n == 0) break;  // end of file: success with fewer bytes
    done += (size_t)n;
  }
  if (lpNumberOfBytesRead) *lpNumberOfBytesRead = (DWORD)done;
  return TRUE;
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
                      LPVOID) {
  if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = 0;
  auto file = rkwin::findHandleOf<FileObject>(hFile);
  if (!file) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!(file->access & (GENERIC_WRITE | GENERIC_ALL))) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  size_t done = 0;
  while (done < nNumberOfBytesToWrite) {
    ssize_t n = write(file->fd, (const char*)lpBuffer + done, nNumberOfBytesToWrite - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = (DWORD)done;
      SetLastError(errno == ENOSPC ? ERROR_DISK_FULL : ERROR_WRITE_FAULT);
      return FALSE;
    }
    done += (size_t)n;
  }
  if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = (DWORD)done;
  return TRUE;
}
