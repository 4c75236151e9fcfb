// Processes: CreateProcessA with the Windows command-line rules on top of posix_spawn, and
// WaitForSingleObject on the process handles it returns (the process id), through waitpid.
#include <windows.h>

#include "ansi_text.h"
#include "handle_internal.h"
#include "path_internal.h"
#include "machine_processes.h"
#include "process_handles.h"

#include <errno.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

extern char** environ;

namespace {

// ---- paths --------------------------------------------------------------------------------

bool hostPathOf(const std::string& windows, std::string& host) { return rkwin::toHostPath(windows.c_str(), host); }

bool isRegularFile(const std::string& windows, std::string& host) {
  struct stat st;
  return hostPathOf(windows, host) && stat(host.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Names are in the ANSI code page: the second byte of a double-byte character is no separator.
bool hasFolder(const std::string& name) { return rkwin::AnsiText(name).findFirstOf("\\/:") != std::string::npos; }

bool hasExtension(const std::string& name) {
  rkwin::AnsiText chars(name);
  size_t slash = chars.findLastOf("\\/:");
  size_t dot = chars.findLastOf(".");
  return dot != std::string::npos && (slash == std::string::npos || dot > slash);
}

// The part of a Windows path after its last backslash.
std::string lastPart(const std::string& path) { return path.substr(rkwin::AnsiText(path).findLastOf("\\") + 1); }

// Finds the module a command-line name stands for: as given when it holds a folder, else in
// the system's search order (folder of the calling program's module, current folder, system
// folders). ".exe" is tried when the name has no extension.
bool findModule(const std::string& name, std::string& host) {
  std::vector<std::string> names{name};
  if (!hasExtension(name)) names.push_back(name + ".exe");
  for (const std::string& n : names) {
    if (hasFolder(n)) {
      if (isRegularFile(n, host)) return true;
      continue;
    }
    std::vector<std::string> folders;
    char self[4096];
    DWORD len = GetModuleFileNameA(NULL, self, sizeof self);
    if (len > 0 && len < sizeof self) {
      std::string module(self, len);
      size_t cut = rkwin::AnsiText(module).findLastOf("\\");
      if (cut != std::string::npos) folders.push_back(module.substr(0, cut));
    }
    folders.push_back(".");
    folders.push_back("C:\\windows\\system32");
    folders.push_back("C:\\windows");
    for (const std::string& f : folders)
      if (isRegularFile(f + "\\" + n, host)) return true;
  }
  return false;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// The C runtime's split of a command line into arguments: the program name up to the first
// blank outside quotes (quotes removed, backslashes literal), then arguments where 2n
// backslashes before a quote give n and toggle quoting, 2n+1 give n and a literal quote, and ""
// inside quotes is a literal quote. The line is in the ANSI code page and split character by
// character: the second byte of a double-byte character is never a backslash or a quote.
std::vector<std::string> splitArguments(const std::string& line) {
  std::vector<std::string> args;
  rkwin::AnsiText chars(line);
  size_t i = 0, n = line.size();
  std::string first;
  bool quoted = false;
  for (size_t length; i < n; i += length) {
    length = chars.charLength(i);
    char c = line[i];
    if (c == '"') {
      quoted = !quoted;
      continue;
    }
    if (!quoted && isBlank(c)) break;
    first.append(line, i, length);
  }
  args.push_back(first);
  for (;;) {
    while (i < n && isBlank(line[i])) ++i;
    if (i >= n) break;
    std::string arg;
    quoted = false;
    while (i < n && (quoted || !isBlank(line[i]))) {
      size_t slashes = 0;
      while (i < n && line[i] == '\\') {
        ++slashes;
        ++i;
      }
      if (i < n && line[i] == '"') {
        arg.append(slashes / 2, '\\');
        if (slashes % 2) {
          arg += '"';
          ++i;
        } else if (quoted && i + 1 < n && line[i + 1] == '"') {
          arg += '"';
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else {
        arg.append(slashes, '\\');
        if (i < n && (quoted || !isBlank(line[i]))) {
          size_t length = chars.charLength(i);
          arg.append(line, i, length);
          i += length;
        }
      }
    }
    args.push_back(arg);
  }
  return args;
}

// The module of a command line without an application name: a quoted name up to its closing
// quote; an unquoted line is tried whole, then cut at each blank from the right, and the
// longest prefix that names an existing file wins.
bool moduleOfCommandLine(const std::string& line, std::string& host) {
  size_t start = 0;
  while (start < line.size() && isBlank(line[start])) ++start;
  if (start < line.size() && line[start] == '"') {
    size_t end = line.find('"', start + 1);
    std::string name = line.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
    return !name.empty() && findModule(name, host);
  }
  std::string rest = line.substr(start);
  size_t end = rest.size();
  while (end > 0 && isBlank(rest[end - 1])) --end;
  for (;;) {
    if (end == 0) return false;
    if (findModule(rest.substr(0, end), host)) return true;
    size_t blank = rest.find_last_of(" \t", end - 1);
    if (blank == std::string::npos) return false;
    end = blank;
    while (end > 0 && isBlank(rest[end - 1])) --end;
  }
}

DWORD errorOfErrno(int e) {
  switch (e) {
    case ENOENT:
    case ENOTDIR:
      return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
      return ERROR_ACCESS_DENIED;
    case ENOEXEC:
      return ERROR_BAD_EXE_FORMAT;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    default:
      return ERROR_INVALID_PARAMETER;
  }
}

// ---- process table -------------------------------------------------------------------------

struct ProcessState {
  bool exited = false;
  int status = 0;
};

std::mutex g_mutex;
std::map<pid_t, ProcessState>& processes() {
  static std::map<pid_t, ProcessState> table;
  return table;
}

// The primary thread of a started process: a handle of its own, closed apart from the process's.
class ThreadObject : public rkwin::KernelObject {
 public:
  explicit ThreadObject(pid_t p) : pid(p) {}
  pid_t pid;
};

pid_t pidOf(HANDLE h) {
  intptr_t v = reinterpret_cast<intptr_t>(h);
  return v > 0 && v < 0x7FFFFFFF ? static_cast<pid_t>(v) : 0;
}

}  // namespace

bool rkwinIsProcessHandle(HANDLE h) {
  std::lock_guard<std::mutex> lock(g_mutex);
  pid_t pid = pidOf(h);
  return pid && processes().count(pid) != 0;
}

HANDLE rkwinAdoptProcessHandle(DWORD pid) {
  if (pid == 0 || pid >= 0x7FFFFFFF) return NULL;
  std::lock_guard<std::mutex> lock(g_mutex);
  processes().emplace(static_cast<pid_t>(pid), ProcessState());
  return reinterpret_cast<HANDLE>(static_cast<intptr_t>(pid));
}

bool rkwinCloseProcessHandle(HANDLE h) {
  std::lock_guard<std::mutex> lock(g_mutex);
  pid_t pid = pidOf(h);
  return pid && processes().erase(pid) != 0;
}

BOOL WINAPI CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES,
                           BOOL, DWORD, LPVOID lpEnvironment, LPCSTR lpCurrentDirectory, LPSTARTUPINFOA lpStartupInfo,
                           LPPROCESS_INFORMATION lpProcessInformation) {
  if (!lpStartupInfo || !lpProcessInformation || (!lpApplicationName && !lpCommandLine)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string line = lpCommandLine ? lpCommandLine : "";
  std::string host;
  if (lpApplicationName) {
    // The application name is used as it stands: no search and no extension added.
    if (!isRegularFile(lpApplicationName, host)) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return FALSE;
    }
    if (!lpCommandLine) line = lpApplicationName;
  } else if (!moduleOfCommandLine(line, host)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }

  // Windows runs any executable image whatever its mode bits; on the host it needs them.
  struct stat st;
  if (stat(host.c_str(), &st) == 0 && (st.st_mode & S_IXUSR) == 0) {
    mode_t mode = st.st_mode | S_IXUSR;
    if (st.st_mode & S_IRGRP) mode |= S_IXGRP;
    if (st.st_mode & S_IROTH) mode |= S_IXOTH;
    chmod(host.c_str(), mode & 07777);
  }

  std::vector<std::string> args = splitArguments(line);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);

  // An environment block is a run of "name=value" texts, each ended by 0, with one more 0. The
  // child also learns the prefix it is started in (see leaveIfMachineGone).
  std::string startedIn = std::string(rkwin::kStartedInVariable) + "=" + rkwin::prefixRoot();
  std::vector<char*> envp;
  auto keep = [&](char* entry) {
    if (std::strncmp(entry, startedIn.c_str(), std::strlen(rkwin::kStartedInVariable) + 1) != 0) envp.push_back(entry);
  };
  if (lpEnvironment) {
    for (char* p = static_cast<char*>(lpEnvironment); *p; p += std::strlen(p) + 1) keep(p);
  } else {
    for (char** e = environ; *e; ++e) keep(*e);
  }
  envp.push_back(&startedIn[0]);
  envp.push_back(nullptr);
  char** env = envp.data();

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  std::string folder;
  if (lpCurrentDirectory) {
    struct stat fst;
    if (!hostPathOf(lpCurrentDirectory, folder) || stat(folder.c_str(), &fst) != 0 || !S_ISDIR(fst.st_mode)) {
      posix_spawn_file_actions_destroy(&actions);
      SetLastError(ERROR_DIRECTORY);
      return FALSE;
    }
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  }

  pid_t pid = 0;
  int rc = posix_spawn(&pid, host.c_str(), &actions, nullptr, argv.data(), env);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    SetLastError(errorOfErrno(rc));
    return FALSE;
  }
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    processes()[pid] = ProcessState();
  }
  std::string module = rkwin::toWindowsPath(host);
  rkwin::recordMachineProcess(pid, lastPart(module));
  HANDLE h = reinterpret_cast<HANDLE>(static_cast<intptr_t>(pid));
  lpProcessInformation->hProcess = h;
  lpProcessInformation->hThread = rkwin::addHandle(std::make_shared<ThreadObject>(pid));
  lpProcessInformation->dwProcessId = static_cast<DWORD>(pid);
  lpProcessInformation->dwThreadId = static_cast<DWORD>(pid);
  return TRUE;
}

DWORD WINAPI GetCurrentProcessId(void) { return static_cast<DWORD>(getpid()); }

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
  pid_t pid = pidOf(hHandle);
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = pid ? processes().find(pid) : processes().end();
    if (it == processes().end()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return WAIT_FAILED;
    }
    if (it->second.exited) return WAIT_OBJECT_0;
  }
  timespec startTime;
  clock_gettime(CLOCK_MONOTONIC, &startTime);
  for (;;) {
    int status = 0;
    pid_t r = waitpid(pid, &status, dwMilliseconds == INFINITE ? 0 : WNOHANG);
    if (r == pid) {
      std::lock_guard<std::mutex> lock(g_mutex);
      auto it = processes().find(pid);
      if (it != processes().end()) {
        it->second.exited = true;
        it->second.status = status;
      }
      return WAIT_OBJECT_0;
    }
    if (r < 0 && errno != EINTR) {
      SetLastError(ERROR_INVALID_HANDLE);
      return WAIT_FAILED;
    }
    if (dwMilliseconds != INFINITE && r == 0) {
      timespec now;
      clock_gettime(CLOCK_MONOTONIC, &now);
      long long elapsed = (now.tv_sec - startTime.tv_sec) * 1000LL + (now.tv_nsec - startTime.tv_nsec) / 1000000LL;
      if (elapsed >= dwMilliseconds) return WAIT_TIMEOUT;
      timespec pause{0, 1000000};
      nanosleep(&pause, nullptr);
    }
  }
}

DWORD WINAPI GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer) {
  const char* tmp = std::getenv("TMPDIR");
  std::string host = tmp && *tmp ? tmp : "/tmp";
  while (host.size() > 1 && host.back() == '/') host.pop_back();
  std::string windows = rkwin::toWindowsPath(host);
  if (!rkwin::AnsiText(windows).endsWithOneOf("\\")) windows += '\\';
  DWORD length = static_cast<DWORD>(windows.size());
  if (!lpBuffer || nBufferLength <= length) return length + 1;
  std::memcpy(lpBuffer, windows.c_str(), length + 1);
  return length;
}
