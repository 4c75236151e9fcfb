// Registry calls over the prefix's store. Every call takes the store's lock (shared to read,
// exclusive to change), reads the file afresh and, after a change, writes a new file and renames it
// over the old one, so that two processes of the prefix never lose each other's keys and a crash
// never leaves half a file.
#include <windows.h>

#include "compat_registry.h"
#include "path_internal.h"
#include "registry_store.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <atomic>
#include <map>
#include <mutex>

namespace {

using rkwin::RegKey;
using rkwin::RegStore;
using rkwin::RegValue;

std::string prefixRoot() {
  const char* root = getenv("RKWIN_ROOT");
  if (root && *root) return root;
  const char* home = getenv("HOME");
  return std::string(home && *home ? home : "/tmp") + "/.rkwin";
}

void makeFolders(const std::string& path) {
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') mkdir(path.substr(0, i).c_str(), 0755);
  }
}

bool readFile(const std::string& path, std::string* out) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT;  // no store yet: an empty registry
  char buf[65536];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0) out->append(buf, (size_t)n);
  close(fd);
  return n == 0;
}

// Removes the new files that writers left beside the store when they were killed between writing
// and renaming; a file of a process that still lives is its own business.
void removeStaleNewFiles(const std::string& path) {
  size_t slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
  std::string stem = path.substr(slash == std::string::npos ? 0 : slash + 1) + ".new.";
  DIR* dir = opendir(folder.c_str());
  if (!dir) return;
  while (dirent* e = readdir(dir)) {
    std::string name = e->d_name;
    if (name.compare(0, stem.size(), stem) != 0 || name.size() == stem.size()) continue;
    std::string digits = name.substr(stem.size());
    if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 9) continue;
    pid_t pid = (pid_t)std::atol(digits.c_str());
    if (pid <= 0 || pid == getpid()) continue;
    if (kill(pid, 0) == 0 || errno != ESRCH) continue;
    unlink((folder + "/" + name).c_str());
  }
  closedir(dir);
}

bool writeFileAtomically(const std::string& path, const std::string& text) {
  removeStaleNewFiles(path);
  std::string tmp = path + ".new." + std::to_string(getpid());
  int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n <= 0) {
      close(fd);
      unlink(tmp.c_str());
      return false;
    }
    done += (size_t)n;
  }
  bool ok = fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  // renameat: plain rename is the Windows one in programs of the stand-in, which refuses to replace.
  if (!ok || renameat(AT_FDCWD, tmp.c_str(), AT_FDCWD, path.c_str()) != 0) {
    unlink(tmp.c_str());
    return false;
  }
  return true;
}

// Holds the inter-process lock of the store for one call, with the store read in.
class StoreSession {
 public:
  explicit StoreSession(bool write) : write_(write) {
    std::string folder = prefixRoot();
    rkwin::leaveIfMachineGone();  // a late start never makes a removed machine again
    makeFolders(folder);
    path_ = folder + "/registry.reg";
    lockFd_ = open((folder + "/registry.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lockFd_ < 0) return;
    while (flock(lockFd_, write ? LOCK_EX : LOCK_SH) != 0 && errno == EINTR) {
    }
    std::string text;
    ok_ = readFile(path_, &text) && store_.importText(text, true);
    if (!ok_ && store_.foreignCodePage()) {
      // Left as it is: every call on it fails until the store is dealt with.
      static std::atomic<bool> told{false};
      if (!told.exchange(true))
        fprintf(stderr, "registry: %s is written in code page %u, which this machine does not read; left as it is\n",
                path_.c_str(), store_.foreignCodePage());
    }
  }
  ~StoreSession() {
    if (lockFd_ >= 0) close(lockFd_);  // releases the lock
  }
  bool ok() const { return ok_; }
  // Why the store could not be read (when !ok()): ERROR_BADDB for a store in a code page this
  // machine does not read, else ERROR_ACCESS_DENIED.
  LSTATUS error() const { return store_.foreignCodePage() ? ERROR_BADDB : ERROR_ACCESS_DENIED; }
  RegStore& store() { return store_; }
  // Writes the changed store: ERROR_INVALID_PARAMETER when a text in it cannot be kept so that
  // it reads back the same (a key name with a line break), ERROR_WRITE_FAULT when the file
  // cannot be written.
  LSTATUS commit() {
    if (!write_ || !ok_) return ERROR_WRITE_FAULT;
    std::string text;
    if (!store_.exportText(&text)) return ERROR_INVALID_PARAMETER;
    return writeFileAtomically(path_, text) ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
  }

 private:
  bool write_;
  bool ok_ = false;
  int lockFd_ = -1;
  std::string path_;
  RegStore store_;
};

struct OpenKey {
  rkwin::RegPath path;  // the key's path; a root alone (no names) is a predefined handle
  REGSAM access;
};

std::mutex g_mutex;
std::map<ULONG_PTR, OpenKey> g_keys;
ULONG_PTR g_nextKey = 0x1000;

// Resolves a handle to the path of its key.
bool handlePath(HKEY h, rkwin::RegPath* path, REGSAM* access) {
  if (const char* root = rkwin::rootName(h)) {
    *path = rkwin::RegPath();
    path->root = root;
    *access = KEY_ALL_ACCESS;
    return true;
  }
  std::lock_guard<std::mutex> guard(g_mutex);
  auto it = g_keys.find((ULONG_PTR)h);
  if (it == g_keys.end()) return false;
  *path = it->second.path;
  *access = it->second.access;
  return true;
}

// Joins a sub-key path to its parent: each name of the sub-key is written in the ANSI code page,
// a trailing separator trimmed and repeated ones collapsed (the calls refuse a leading one). A
// double-byte character whose second byte is 0x5C is no separator: "abc\xD5\\sub" names the one
// key abc誠sub in code page 936. The parent's names keep their own characters.
void joinPath(const rkwin::RegPath& parent, LPCSTR sub, rkwin::RegPath* out) {
  *out = parent;
  if (sub) out->append(sub);
}

HKEY newHandle(const rkwin::RegPath& path, REGSAM access) {
  std::lock_guard<std::mutex> guard(g_mutex);
  ULONG_PTR id = g_nextKey++;
  g_keys[id] = OpenKey{path, access};
  return (HKEY)id;
}

bool isRootPath(const rkwin::RegPath& path) { return path.names.empty(); }

// A sub-key path names a key below the handle's: one that begins with a separator is refused, as
// Windows does. The first byte of a text is always a character of its own.
bool startsWithSeparator(LPCSTR sub) { return sub && sub[0] == '\\'; }

}  // namespace

// A key is opened by the characters of its names; the handle names the key found.
LSTATUS WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult) {
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  rkwin::RegPath parent, path;
  REGSAM parentAccess;
  if (!handlePath(hKey, &parent, &parentAccess)) return ERROR_INVALID_HANDLE;
  // Opening below HKEY_CLASSES_ROOT itself, one leading separator is taken ("\\CLSID"), as since
  // Windows 2000.
  if (hKey == HKEY_CLASSES_ROOT && startsWithSeparator(lpSubKey)) ++lpSubKey;
  if (startsWithSeparator(lpSubKey)) return ERROR_BAD_PATHNAME;
  joinPath(parent, lpSubKey, &path);
  if (!isRootPath(path)) {
    StoreSession session(false);
    if (!session.ok()) return session.error();
    RegKey* key = session.store().find(path);
    if (!key) return ERROR_FILE_NOT_FOUND;
    path = RegStore::pathOf(*key);
  }
  *phkResult = newHandle(path, samDesired);
  return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR, DWORD, REGSAM samDesired,
                               const SECURITY_ATTRIBUTES*, PHKEY phkResult, LPDWORD lpdwDisposition) {
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  rkwin::RegPath parent, path;
  REGSAM parentAccess;
  if (!handlePath(hKey, &parent, &parentAccess)) return ERROR_INVALID_HANDLE;
  if (startsWithSeparator(lpSubKey)) return ERROR_BAD_PATHNAME;
  joinPath(parent, lpSubKey, &path);
  bool created = false;
  if (!isRootPath(path)) {
    // A name of more than 255 characters, or a key more than 512 levels deep, as on Windows.
    if (!path.withinBounds()) return ERROR_INVALID_PARAMETER;
    StoreSession session(true);
    if (!session.ok()) return session.error();
    RegKey* key = session.store().find(path);
    if (!key) {
      if (!(parentAccess & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
      key = session.store().create(path, &created);
      if (!key) return ERROR_INVALID_PARAMETER;
      path = RegStore::pathOf(*key);
      LSTATUS written = session.commit();
      if (written != ERROR_SUCCESS) return written;
    } else {
      path = RegStore::pathOf(*key);
    }
  }
  if (lpdwDisposition) *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  *phkResult = newHandle(path, samDesired);
  return ERROR_SUCCESS;
}

LSTATUS WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData, DWORD cbData) {
  rkwin::RegPath path;
  REGSAM access;
  if (!handlePath(hKey, &path, &access)) return ERROR_INVALID_HANDLE;
  if (!(access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  if (cbData && !lpData) return ERROR_INVALID_PARAMETER;
  if (isRootPath(path)) return ERROR_ACCESS_DENIED;  // values directly on a root are not kept
  StoreSession session(true);
  if (!session.ok()) return session.error();
  RegKey* key = session.store().find(path);
  if (!key) return ERROR_KEY_DELETED;
  RegValue& value = key->findOrAdd(lpValueName ? lpValueName : "");
  value.type = dwType;
  value.data.assign(lpData, lpData + cbData);
  return session.commit();
}

LSTATUS WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                                LPDWORD lpcbData) {
  if (lpReserved) return ERROR_INVALID_PARAMETER;
  if (lpData && !lpcbData) return ERROR_INVALID_PARAMETER;
  rkwin::RegPath path;
  REGSAM access;
  if (!handlePath(hKey, &path, &access)) return ERROR_INVALID_HANDLE;
  if (!(access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  if (isRootPath(path)) return ERROR_FILE_NOT_FOUND;
  StoreSession session(false);
  if (!session.ok()) return session.error();
  RegKey* key = session.store().find(path);
  if (!key) return ERROR_KEY_DELETED;
  RegValue* value = key->find(lpValueName ? lpValueName : "");
  if (!value) return ERROR_FILE_NOT_FOUND;
  if (lpType) *lpType = value->type;
  DWORD size = (DWORD)value->data.size();
  if (!lpcbData) return ERROR_SUCCESS;
  if (!lpData) {
    *lpcbData = size;
    return ERROR_SUCCESS;
  }
  if (*lpcbData < size) {
    *lpcbData = size;
    return ERROR_MORE_DATA;
  }
  if (size) memcpy(lpData, value->data.data(), size);
  *lpcbData = size;
  return ERROR_SUCCESS;
}

LSTATUS WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
  rkwin::RegPath path;
  REGSAM access;
  if (!handlePath(hKey, &path, &access)) return ERROR_INVALID_HANDLE;
  if (!(access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  if (isRootPath(path)) return ERROR_FILE_NOT_FOUND;
  StoreSession session(true);
  if (!session.ok()) return session.error();
  RegKey* key = session.store().find(path);
  if (!key) return ERROR_KEY_DELETED;
  RegValue* value = key->find(lpValueName ? lpValueName : "");
  if (!value) return ERROR_FILE_NOT_FOUND;
  key->removeValue(value);
  return session.commit();
}

LSTATUS WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
  if (!lpSubKey) return ERROR_INVALID_PARAMETER;
  rkwin::RegPath parent, path;
  REGSAM access;
  if (!handlePath(hKey, &parent, &access)) return ERROR_INVALID_HANDLE;
  if (startsWithSeparator(lpSubKey)) return ERROR_BAD_PATHNAME;
  joinPath(parent, lpSubKey, &path);
  if (isRootPath(path)) return ERROR_ACCESS_DENIED;
  StoreSession session(true);
  if (!session.ok()) return session.error();
  RegKey* key = session.store().find(path);
  if (!key) return ERROR_FILE_NOT_FOUND;
  if (!key->children.empty()) return ERROR_ACCESS_DENIED;  // only a key without sub-keys goes
  session.store().remove(key);
  return session.commit();
}

LSTATUS WINAPI RegCloseKey(HKEY hKey) {
  if (rkwin::rootName(hKey)) return ERROR_SUCCESS;
  std::lock_guard<std::mutex> guard(g_mutex);
  return g_keys.erase((ULONG_PTR)hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

bool compat_reg_import_text(const std::string& text) {
  StoreSession session(true);
  if (!session.ok()) return false;
  if (!session.store().importText(text)) return false;
  return session.commit() == ERROR_SUCCESS;
}

std::string compat_reg_store_path() { return prefixRoot() + "/registry.reg"; }
