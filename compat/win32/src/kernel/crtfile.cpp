// The Windows C runtime's file calls over host paths.
#include "ansi_text.h"
#include "file_internal.h"
#include "folder_index.h"
#include "path_internal.h"

#include <direct.h>
#include <io.h>
#include <share.h>
#include <stdio.h>
#include <sys/stat.h>
#include <winerror.h>

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <unistd.h>

#include <string>

namespace {

bool translate(const char* path, std::string& host, rkwin::HostEntry* entry = nullptr) {
  if (!path) {
    errno = EINVAL;
    return false;
  }
  if (!rkwin::toHostPath(path, host, nullptr, entry)) {
    errno = ENOENT;
    return false;
  }
  return true;
}

bool readOnly(const struct stat& st) { return (st.st_mode & S_IWUSR) == 0; }

bool hasExecutableExtension(const char* path) {
  size_t n = strlen(path);
  if (n < 4 || path[n - 4] != '.') return false;
  const char* ext = path + n - 3;
  return strcasecmp(ext, "exe") == 0 || strcasecmp(ext, "com") == 0 || strcasecmp(ext, "bat") == 0 ||
         strcasecmp(ext, "cmd") == 0;
}

// "C:\", "C:/", "\", "/" and their repetitions name a root; anything else ending in a separator
// is refused by _stat. A last double-byte character whose second byte is 0x5C is no separator.
bool endsInSeparatorOfNonRoot(const char* path) {
  size_t n = strlen(path);
  if (!rkwin::AnsiText(path, n).endsWithOneOf("\\/")) return false;
  size_t start = (n >= 2 && path[1] == ':') ? 2 : 0;
  for (size_t i = start; i < n; ++i)
    if (path[i] != '\\' && path[i] != '/') return true;
  return false;
}

}  // namespace

extern "C" FILE* _fsopen(const char* filename, const char* mode, int) {
  std::string host;
  rkwin::HostEntry entry;
  if (!mode || !translate(filename, host, &entry)) {
    if (!mode) errno = EINVAL;
    return nullptr;
  }
  // Mode: r, w or a, then any of + b t and the Windows-only flags (dropped here).
  if (mode[0] != 'r' && mode[0] != 'w' && mode[0] != 'a') {
    errno = EINVAL;
    return nullptr;
  }
  bool plus = false;
  for (const char* p = mode + 1; *p; ++p) {
    if (*p == '+')
      plus = true;
    else if (!strchr("btcnNSRTD", *p)) {
      errno = EINVAL;
      return nullptr;
    }
  }
  char hostMode[4] = {mode[0], plus ? '+' : '\0', '\0', '\0'};
  struct stat st;
  bool present = rkwin::statEntry(entry, host, &st) == 0;
  if (present && (S_ISDIR(st.st_mode) || ((mode[0] != 'r' || plus) && readOnly(st)))) {
    errno = EACCES;
    return nullptr;
  }
  FILE* f = fopen(host.c_str(), hostMode);
  if (!f && errno == EISDIR) errno = EACCES;
  if (f && !present) rkwin::FolderIndex::shared().noteChanged(host, true);
  return f;
}

extern "C" int _stat(const char* path, struct _stat* buffer) {
  std::string host;
  rkwin::HostEntry entry;
  if (!buffer || !translate(path, host, &entry)) {
    if (!buffer) errno = EINVAL;
    return -1;
  }
  if (endsInSeparatorOfNonRoot(path)) {
    errno = ENOENT;
    return -1;
  }
  struct stat st;
  if (rkwin::statEntry(entry, host, &st) != 0) return -1;
  if (S_ISREG(st.st_mode) && st.st_size > 0x7FFFFFFF) {
    errno = EOVERFLOW;
    return -1;
  }
  memset(buffer, 0, sizeof *buffer);
  unsigned mode = S_ISDIR(st.st_mode) ? (_S_IFDIR | _S_IEXEC) : S_ISCHR(st.st_mode) ? _S_IFCHR : _S_IFREG;
  mode |= _S_IREAD;
  if (!readOnly(st) || S_ISDIR(st.st_mode)) mode |= _S_IWRITE;
  if (!S_ISDIR(st.st_mode) && hasExecutableExtension(path)) mode |= _S_IEXEC;
  mode |= (mode & 0700) >> 3;
  mode |= (mode & 0700) >> 6;
  buffer->st_mode = (unsigned short)mode;
  // Drive number (0 = A:) in st_dev and st_rdev, as on Windows.
  std::string croot = rkwin::driveCRoot();
  bool onC = host == croot || host.compare(0, croot.size() + 1, croot + "/") == 0;
  buffer->st_dev = buffer->st_rdev = onC ? 2 : 25;
  buffer->st_nlink = (short)st.st_nlink;
  buffer->st_size = S_ISREG(st.st_mode) ? (_off_t)st.st_size : 0;
#ifdef st_mtime
  buffer->st_atim.tv_sec = st.st_atim.tv_sec;
  buffer->st_mtim.tv_sec = st.st_mtim.tv_sec;
  buffer->st_ctim.tv_sec = st.st_ctim.tv_sec;
#else
  buffer->st_atime = st.st_atime;
  buffer->st_mtime = st.st_mtime;
  buffer->st_ctime = st.st_ctime;
#endif
  return 0;
}

extern "C" int _access(const char* path, int mode) {
  if (mode != 0 && mode != 2 && mode != 4 && mode != 6) {
    errno = EINVAL;
    return -1;
  }
  std::string host;
  rkwin::HostEntry entry;
  if (!translate(path, host, &entry)) return -1;
  struct stat st;
  if (rkwin::statEntry(entry, host, &st) != 0) return -1;
  if ((mode & 2) && !S_ISDIR(st.st_mode) && readOnly(st)) {
    errno = EACCES;
    return -1;
  }
  return 0;
}

extern "C" int _creat(const char* path, int pmode) {
  std::string host;
  rkwin::HostEntry entry;
  if (!translate(path, host, &entry)) return -1;
  struct stat st;
  if (rkwin::statEntry(entry, host, &st) == 0 && (S_ISDIR(st.st_mode) || readOnly(st))) {
    errno = EACCES;
    return -1;
  }
  int fd = open(host.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, (pmode & _S_IWRITE) ? 0666 : 0444);
  if (fd < 0 && errno == EISDIR) errno = EACCES;
  if (fd >= 0) rkwin::FolderIndex::shared().noteChanged(host, true);
  return fd;
}

extern "C" int _close(int fd) { return close(fd); }

extern "C" int _chmod(const char* path, int pmode) {
  std::string host;
  rkwin::HostEntry entry;
  if (!translate(path, host, &entry)) return -1;
  struct stat st;
  if (rkwin::statEntry(entry, host, &st) != 0) return -1;
  mode_t mode = st.st_mode & 07777;
  mode = (pmode & _S_IWRITE) ? (mode | S_IWUSR) : (mode & ~(mode_t)(S_IWUSR | S_IWGRP | S_IWOTH));
  return chmod(host.c_str(), mode);
}

extern "C" int _mkdir(const char* path) {
  std::string host;
  if (!translate(path, host)) return -1;
  int made = mkdir(host.c_str(), 0777);
  if (made == 0) rkwin::FolderIndex::shared().noteChanged(host, true);
  return made;
}

// remove and rename: programs linked with rkwin32 are linked with --wrap for both names, so
// their calls arrive here instead of at the C library.
extern "C" int __wrap_remove(const char* path) {
  std::string host;
  rkwin::HostEntry entry;
  if (!translate(path, host, &entry)) return -1;
  if (!entry.exists) {
    errno = entry.error;
    return -1;
  }
  const struct stat& st = entry.st;
  // Windows removes files only, and no read-only one.
  if (S_ISDIR(st.st_mode) || (!S_ISLNK(st.st_mode) && readOnly(st))) {
    errno = EACCES;
    return -1;
  }
  int removed = unlink(host.c_str());
  if (removed == 0) rkwin::FolderIndex::shared().noteChanged(host, false);
  return removed;
}

namespace {

int renameHost(const std::string& from, const rkwin::HostEntry& fromEntry, const std::string& to) {
  if (!fromEntry.exists) {
    errno = fromEntry.error;
    return -1;
  }
  const struct stat& st = fromEntry.st;
  // Windows never replaces an existing target.
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  int err = errno;
  if (err == EINVAL || err == ENOSYS) {  // the file system cannot refuse by itself
    struct stat target;
    if (lstat(to.c_str(), &target) == 0) {
      errno = EACCES;
      return -1;
    }
    if (renameat(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str()) == 0) return 0;
    err = errno;
  }
  if (err == EXDEV && S_ISREG(st.st_mode)) {
    // Another volume: a file moves by copy and delete, as on Windows.
    if (rkwin::copyHostFile(from, to, true) == ERROR_SUCCESS) {
      if (unlink(from.c_str()) == 0) return 0;
      err = errno;
      unlink(to.c_str());
    } else {
      err = EACCES;
    }
  }
  errno = (err == EEXIST || err == ENOTEMPTY || err == EXDEV) ? EACCES : err;
  return -1;
}

}  // namespace

extern "C" int __wrap_rename(const char* oldName, const char* newName) {
  std::string from, to;
  rkwin::HostEntry fromEntry;
  if (!translate(oldName, from, &fromEntry) || !translate(newName, to)) return -1;
  int renamed = renameHost(from, fromEntry, to);
  if (renamed == 0) {
    rkwin::FolderIndex::shared().noteChanged(from, false);
    rkwin::FolderIndex::shared().noteChanged(to, true);
  }
  return renamed;
}
