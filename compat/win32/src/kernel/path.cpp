#include "path_internal.h"

#include "case_fold.h"
#include "folder_index.h"

#include <compat_path.h>
#include <winerror.h>

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <pwd.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>
#include <vector>

namespace rkwin {

namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }

bool isDirectory(const std::string& host) {
  struct stat st;
  return stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void stripTrailingSlashes(std::string& s) {
  while (s.size() > 1 && s.back() == '/') s.pop_back();
}

enum class Search { Found, Missing, NoFolder };

// Looks in `folder` for an entry equal to `name` but for case, the exact `name` being known to
// be missing: Found (with its name in `found`), Missing, or NoFolder when `folder` cannot be
// listed (errno tells why). A name without letters of two cases (digits, punctuation, CJK
// ideographs) has no other spelling and needs no look unless the caller must learn whether the
// folder exists. The folder's names come from its cached index, so a new name costs a lookup
// there rather than a listing of the folder.
Search findIgnoringCase(const std::string& folder, const std::string& name, std::string& found, bool folderKnown) {
  if (folderKnown && !CaseFold::hasOtherCaseUtf8(name)) {
    errno = ENOENT;
    return Search::Missing;
  }
  switch (FolderIndex::shared().find(folder, name, found)) {
    case FolderIndex::Result::Found:
      return Search::Found;
    case FolderIndex::Result::Missing:
      return Search::Missing;
    default:
      return Search::NoFolder;
  }
}

// Finds the host path of base + elements: the exact name when it exists; otherwise the longest
// leading part that exists as given is kept, and each element after it is taken exactly or,
// where missing, case-insensitively from its folder's listing. Elements after one that is
// found in neither form are kept as given. A new name in an existing folder costs one lstat
// and one look in that folder's index.
std::string lookUp(const std::string& base, const std::vector<std::string>& elements, HostEntry& entry) {
  // ends[k]: length of the exact host path of the first k elements.
  std::string exact = base;
  std::vector<size_t> ends(1, base.size());
  for (const std::string& e : elements) {
    exact += "/";
    exact += e;
    ends.push_back(exact.size());
  }
  if (exact.empty()) exact = "/";
  struct stat st;
  if (lstat(exact.c_str(), &st) == 0) {
    entry.exists = true;
    entry.st = st;
    return exact;
  }
  entry.error = errno;
  if (elements.empty()) return exact;
  auto keepRest = [&](std::string current, size_t from) {
    for (size_t m = from; m < elements.size(); ++m) current += "/" + elements[m];
    return current;
  };
  // The usual case, a new name in a folder that exists as given: one look in its index.
  // ENOTDIR: a leading part is a file, so nothing further down can exist in any spelling.
  size_t last = elements.size() - 1;
  std::string found;
  Search search = entry.error == ENOTDIR ? Search::NoFolder
                                         : findIgnoringCase(exact.substr(0, ends[last]), elements[last], found, false);
  if (search == Search::Missing || entry.error == ENOTDIR) return exact;
  size_t known = last;
  std::string current;
  if (search == Search::Found) {
    current = exact.substr(0, ends[last]) + "/" + found;
  } else {
    // The folder itself is missing as given: find the longest leading part that exists, then
    // take each element after it exactly or case-insensitively.
    while (known > 0 && lstat(exact.substr(0, ends[known]).c_str(), &st) != 0) --known;
    current = exact.substr(0, ends[known]);
    for (size_t k = known; k < elements.size(); ++k) {
      // At `known` the exact name is known to be missing; below a folder found under another
      // spelling the exact name is tried first.
      std::string candidate = current + "/" + elements[k];
      if (k > known && lstat(candidate.c_str(), &st) == 0) {
        current = candidate;
        continue;
      }
      if (findIgnoringCase(current, elements[k], found, true) != Search::Found) {
        entry.error = errno;
        return keepRest(current, k);
      }
      current += "/" + found;
    }
  }
  if (lstat(current.c_str(), &st) == 0) {
    entry.exists = true;
    entry.st = st;
  } else {
    entry.error = errno;
  }
  return current;
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
// into one folder (RKWIN_SYSTEM_PROGRAMS overrides it), are linked into system32 where missing,
// and linked again where the entry is a link that leads nowhere (into a build since removed or
// moved). A file, or a link that leads to one, is kept: someone put it there.
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
    std::string target = system32 + "/" + name, source = from + "/" + name;
    struct stat st;
    if (lstat(target.c_str(), &st) != 0) {
      symlink(source.c_str(), target.c_str());
    } else if (S_ISLNK(st.st_mode) && stat(target.c_str(), &st) != 0 &&
               (errno == ENOENT || errno == ENOTDIR || errno == ELOOP)) {
      // Replaced in one step, so that a program started meanwhile finds one link or the other
      // (renameat: plain rename is the stand-in's Windows one in its programs).
      std::string fresh = system32 + "/." + name + "." + std::to_string(getpid());
      unlink(fresh.c_str());
      if (symlink(source.c_str(), fresh.c_str()) == 0 &&
          renameat(AT_FDCWD, fresh.c_str(), AT_FDCWD, target.c_str()) != 0)
        unlink(fresh.c_str());
    }
  }
  closedir(dir);
}

void leaveIfMachineGone() {
  const char* started = getenv(kStartedInVariable);
  if (!started || prefixRoot() != started) return;
  struct stat st;
  if (stat(started, &st) == 0 || errno != ENOENT) return;
  _exit(1);
}

std::string driveCRoot() {
  std::string root = prefixRoot();
  std::string drive = root + "/drive_c";
  std::lock_guard<std::mutex> guard(g_prefixMutex);
  if (g_preparedRoot != root) {
    leaveIfMachineGone();
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

bool toHostPath(const char* windowsPath, std::string& hostPath, DWORD* error, HostEntry* entry) {
  if (!windowsPath || !*windowsPath) {
    if (error) *error = ERROR_PATH_NOT_FOUND;
    if (entry) *entry = HostEntry();
    return false;
  }
  return toHostPathUtf8(ansiToUtf8(windowsPath, strlen(windowsPath)), hostPath, error, entry);
}

bool toHostPathUtf8(std::string path, std::string& hostPath, DWORD* error, HostEntry* entry) {
  DWORD dummy;
  if (!error) error = &dummy;
  HostEntry unused;
  if (!entry) entry = &unused;
  *entry = HostEntry();
  if (path.empty()) {
    *error = ERROR_PATH_NOT_FOUND;
    return false;
  }
  // The \\?\ and \\.\ forms of a drive path name the same file.
  if (path.size() >= 4 && isSeparator(path[0]) && isSeparator(path[1]) && (path[2] == '?' || path[2] == '.') &&
      isSeparator(path[3]))
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
  hostPath = lookUp(base, elements, *entry);
  return true;
}

int statEntry(const HostEntry& entry, const std::string& host, struct stat* st) {
  if (!entry.exists) {
    errno = entry.error;
    return -1;
  }
  if (!S_ISLNK(entry.st.st_mode)) {
    *st = entry.st;
    return 0;
  }
  return stat(host.c_str(), st);
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
    case 0:
      return ERROR_SUCCESS;
    case ENOENT: {
      size_t slash = hostPath.find_last_of('/');
      std::string parent = slash == std::string::npos ? "." : slash == 0 ? "/" : hostPath.substr(0, slash);
      return isDirectory(parent) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    }
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return ERROR_ACCESS_DENIED;
    case EEXIST:
      return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY:
      return ERROR_DIR_NOT_EMPTY;
    case ENOSPC:
    case EDQUOT:
      return ERROR_DISK_FULL;
    case EMFILE:
    case ENFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EXDEV:
      return ERROR_NOT_SAME_DEVICE;
    case EBUSY:
      return ERROR_SHARING_VIOLATION;
    case EINVAL:
      return ERROR_INVALID_PARAMETER;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    default:
      return ERROR_GEN_FAILURE;
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
