#include "path_internal.h"

#include <compat_path.h>
#include <winerror.h>

#include <dirent.h>
#include <errno.h>
#include <pwd.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>
#include <vector>

namespace rkwin {

namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }

bool exists(const std::string& host) {
  struct stat st;
  return lstat(host.c_str(), &st) == 0;
}

bool isDirectory(const std::string& host) {
  struct stat st;
  return stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void stripTrailingSlashes(std::string& s) {
  while (s.size() > 1 && s.back() == '/') s.pop_back();
}

// Byte-wise comparison that ignores the case of ASCII letters; other bytes must be equal.
bool equalsIgnoringCase(const std::string& a, const char* b) {
  size_t n = strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = (unsigned char)a[i], y = (unsigned char)b[i];
    if (x >= 'A' && x <= 'Z') x = (unsigned char)(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = (unsigned char)(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// Name of an entry of `folder` equal to `name` but for case, or "" when there is none.
std::string findIgnoringCase(const std::string& folder, const std::string& name) {
  DIR* dir = opendir(folder.empty() ? "/" : folder.c_str());
  if (!dir) return std::string();
  std::string found;
  while (struct dirent* e = readdir(dir)) {
    if (equalsIgnoringCase(name, e->d_name)) {
      found = e->d_name;
      break;
    }
  }
  closedir(dir);
  return found;
}

std::mutex g_prefixMutex;
std::string g_preparedRoot;

// Host path and drive letter of the current folder, for relative and rooted Windows paths.
void currentFolder(char* drive, std::vector<std::string>& elements) {
  char buffer[4096];
  std::string cwd = getcwd(buffer, sizeof buffer) ? buffer : "/";
  std::string croot = driveCRoot();
  std::string rest;
  if (cwd == croot || cwd.compare(0, croot.size() + 1, croot + "/") == 0) {
    *drive = 'C';
    rest = cwd.substr(croot.size());
  } else {
    *drive = 'Z';
    rest = cwd;
  }
  size_t i = 0;
  while (i < rest.size()) {
    while (i < rest.size() && rest[i] == '/') ++i;
    size_t j = i;
    while (j < rest.size() && rest[j] != '/') ++j;
    if (j > i) elements.push_back(rest.substr(i, j - i));
    i = j;
  }
}

}  // namespace

std::string prefixRoot() {
  std::string root;
  const char* env = getenv("RKWIN_ROOT");
  if (env && *env) {
    root = env;
  } else {
    const char* home = getenv("HOME");
    if (!home || !*home) {
      struct passwd* pw = getpwuid(getuid());
      home = pw && pw->pw_dir ? pw->pw_dir : "/tmp";
    }
    root = std::string(home) + "/.rkwin";
  }
  stripTrailingSlashes(root);
  return root;
}

std::string userName() {
  const char* user = getenv("USER");
  if (user && *user) return user;
  struct passwd* pw = getpwuid(getuid());
  if (pw && pw->pw_name && *pw->pw_name) return pw->pw_name;
  return "user";
}

// The stand-in's system programs (regedit.exe, regsvr32.exe, explorer.exe, iexplore.exe), built
// into one folder (RKWIN_SYSTEM_PROGRAMS overrides it), are linked into system32 where missing.
void installSystemPrograms(const std::string& system32) {
  const char* env = getenv("RKWIN_SYSTEM_PROGRAMS");
#ifdef RKWIN_SYSTEM_PROGRAMS_DIR
  std::string from = env && *env ? env : RKWIN_SYSTEM_PROGRAMS_DIR;
#else
  std::string from = env && *env ? env : "";
#endif
  DIR* dir = from.empty() ? nullptr : opendir(from.c_str());
  if (!dir) return;
  while (struct dirent* e = readdir(dir)) {
    std::string name = e->d_name;
    if (name.size() < 5 || name.compare(name.size() - 4, 4, ".exe") != 0) continue;
    std::string target = system32 + "/" + name;
    struct stat st;
    if (lstat(target.c_str(), &st) != 0) symlink((from + "/" + name).c_str(), target.c_str());
  }
  closedir(dir);
}

std::string driveCRoot() {
  std::string root = prefixRoot();
  std::string drive = root + "/drive_c";
  std::lock_guard<std::mutex> guard(g_prefixMutex);
  if (g_preparedRoot != root) {
    // The folders every Windows machine has.
    mkdir(root.c_str(), 0777);
    mkdir(drive.c_str(), 0777);
    mkdir((drive + "/windows").c_str(), 0777);
    mkdir((drive + "/windows/system32").c_str(), 0777);
    installSystemPrograms(drive + "/windows/system32");
    mkdir((drive + "/Program Files").c_str(), 0777);
    mkdir((drive + "/users").c_str(), 0777);
    mkdir((drive + "/users/" + userName()).c_str(), 0777);
    g_preparedRoot = root;
  }
  return drive;
}

bool toHostPath(const char* windowsPath, std::string& hostPath, DWORD* error) {
  DWORD dummy;
  if (!error) error = &dummy;
  if (!windowsPath || !*windowsPath) {
    *error = ERROR_PATH_NOT_FOUND;
    return false;
  }
  std::string path = ansiToUtf8(windowsPath, strlen(windowsPath));
  // The \\?\ and \\.\ forms of a drive path name the same file.
  if (path.size() >= 4 && isSeparator(path[0]) && isSeparator(path[1]) &&
      (path[2] == '?' || path[2] == '.') && isSeparator(path[3]))
    path.erase(0, 4);
  else if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1])) {
    *error = ERROR_BAD_NETPATH;  // network shares are not mapped
    return false;
  }

  char drive;
  std::vector<std::string> elements;
  size_t start = 0;
  if (path.size() >= 2 && path[1] == ':' && ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z')) {
    drive = (char)(path[0] & ~0x20);
    start = 2;
    // "C:x" is relative to the current folder when that lies on the same drive.
    if (path.size() > 2 && !isSeparator(path[2])) {
      char cwdDrive;
      std::vector<std::string> cwdElements;
      currentFolder(&cwdDrive, cwdElements);
      if (drive == cwdDrive) elements = cwdElements;
    }
  } else {
    // Rooted ("\x") or relative: on the current folder's drive.
    std::vector<std::string> cwdElements;
    currentFolder(&drive, cwdElements);
    if (!isSeparator(path[0])) elements = cwdElements;
  }
  if (drive != 'C' && drive != 'Z') {
    *error = ERROR_PATH_NOT_FOUND;
    return false;
  }
  size_t i = start;
  while (i < path.size()) {
    while (i < path.size() && isSeparator(path[i])) ++i;
    size_t j = i;
    while (j < path.size() && !isSeparator(path[j])) ++j;
    std::string element = path.substr(i, j - i);
    i = j;
    if (element.empty() || element == ".") continue;
    if (element == "..") {
      if (!elements.empty()) elements.pop_back();
      continue;
    }
    elements.push_back(element);
  }

  std::string base = drive == 'C' ? driveCRoot() : std::string();
  std::string exact = base;
  for (const std::string& e : elements) exact += "/" + e;
  if (exact.empty()) exact = "/";
  if (elements.empty() || exists(exact)) {
    hostPath = exact;
    return true;
  }
  // Walk down, taking each element case-insensitively where the exact name is missing.
  std::string current = base;
  for (size_t k = 0; k < elements.size(); ++k) {
    std::string candidate = current + "/" + elements[k];
    if (!exists(candidate)) {
      std::string found = isDirectory(current.empty() ? "/" : current)
                              ? findIgnoringCase(current, elements[k])
                              : std::string();
      if (found.empty()) {
        for (size_t m = k; m < elements.size(); ++m) current += "/" + elements[m];
        break;
      }
      candidate = current + "/" + found;
    }
    current = candidate;
  }
  hostPath = current;
  return true;
}

std::string toWindowsPath(const std::string& hostPath) {
  std::string croot = driveCRoot();
  std::string roots[2] = {croot, std::string()};
  char resolved[PATH_MAX];
  if (realpath(croot.c_str(), resolved)) roots[1] = resolved;
  std::string result;
  bool onC = false;
  for (const std::string& r : roots) {
    if (r.empty()) continue;
    if (hostPath == r || hostPath.compare(0, r.size() + 1, r + "/") == 0) {
      result = "C:" + hostPath.substr(r.size());
      onC = true;
      break;
    }
  }
  if (!onC) result = "Z:" + hostPath;
  if (result.size() == 2) result += "\\";
  for (char& c : result)
    if (c == '/') c = '\\';
  return utf8ToAnsi(result.data(), result.size());
}

DWORD errorFromErrno(int err, const std::string& hostPath) {
  switch (err) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: {
      size_t slash = hostPath.find_last_of('/');
      std::string parent = slash == std::string::npos ? "." : slash == 0 ? "/" : hostPath.substr(0, slash);
      return isDirectory(parent) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    }
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EXDEV: return ERROR_NOT_SAME_DEVICE;
    case EBUSY: return ERROR_SHARING_VIOLATION;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case EBADF: return ERROR_INVALID_HANDLE;
    default: return ERROR_GEN_FAILURE;
  }
}

namespace {
const ULONGLONG kUnixEpochAsFileTime = 116444736000000000ULL;  // 1970-01-01 in 100 ns since 1601
}

ULONGLONG fileTimeFromUnix(int64_t seconds, long nanoseconds) {
  int64_t ticks = seconds * 10000000LL + nanoseconds / 100;
  if (ticks < -(int64_t)kUnixEpochAsFileTime) return 0;
  return (ULONGLONG)(ticks + (int64_t)kUnixEpochAsFileTime);
}

void unixFromFileTime(ULONGLONG fileTime, int64_t* seconds, long* nanoseconds) {
  int64_t ticks = (int64_t)(fileTime - kUnixEpochAsFileTime);
  int64_t s = ticks / 10000000LL;
  int64_t rest = ticks % 10000000LL;
  if (rest < 0) {
    rest += 10000000LL;
    --s;
  }
  *seconds = s;
  *nanoseconds = (long)(rest * 100);
}

}  // namespace rkwin

extern "C" size_t compat_host_path(const char* windowsPath, char* hostPath, size_t size) {
  std::string host;
  if (!hostPath || size == 0 || !rkwin::toHostPath(windowsPath, host)) return 0;
  if (host.size() + 1 > size) return 0;
  memcpy(hostPath, host.c_str(), host.size() + 1);
  return host.size();
}

extern "C" size_t compat_windows_path(const char* hostPath, char* windowsPath, size_t size) {
  if (!hostPath || hostPath[0] != '/' || !windowsPath || size == 0) return 0;
  std::string win = rkwin::toWindowsPath(hostPath);
  if (win.size() + 1 > size) return 0;
  memcpy(windowsPath, win.c_str(), win.size() + 1);
  return win.size();
}
