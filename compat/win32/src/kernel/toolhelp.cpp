// Process snapshots, OpenProcess, TerminateProcess and ProcessIdToSessionId over the emulated
// machine's process table; ShellExecuteA; short path names; the run log of the system programs.
#include <windows.h>

#include <shellapi.h>
#include <tlhelp32.h>

#include "compat_processes.h"
#include "compat_programs.h"
#include "handle_internal.h"
#include "machine_processes.h"
#include "path_internal.h"
#include "process_handles.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

class Snapshot : public rkwin::KernelObject {
 public:
  std::vector<rkwin::MachineProcess> processes;
  size_t next = 0;
};

BOOL fillEntry(HANDLE hSnapshot, LPPROCESSENTRY32 lppe, bool first) {
  auto snap = rkwin::findHandleOf<Snapshot>(hSnapshot);
  if (!snap) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!lppe || lppe->dwSize < sizeof(PROCESSENTRY32)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (first) snap->next = 0;
  if (snap->next >= snap->processes.size()) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  const rkwin::MachineProcess& p = snap->processes[snap->next++];
  DWORD size = lppe->dwSize;
  memset(lppe, 0, sizeof(PROCESSENTRY32));
  lppe->dwSize = size;
  lppe->th32ProcessID = (DWORD)p.pid;
  lppe->cntThreads = 1;
  lppe->th32ParentProcessID = (DWORD)p.parent;
  strncpy(lppe->szExeFile, p.exeName.c_str(), MAX_PATH - 1);
  return TRUE;
}

bool startsWithNoCase(const std::string& s, const char* prefix) {
  size_t n = strlen(prefix);
  return s.size() >= n && strncasecmp(s.c_str(), prefix, n) == 0;
}

bool startCommand(const std::string& line, LPCSTR directory) {
  std::vector<char> buffer(line.begin(), line.end());
  buffer.push_back(0);
  STARTUPINFOA si;
  memset(&si, 0, sizeof si);
  si.cb = sizeof si;
  PROCESS_INFORMATION pi;
  memset(&pi, 0, sizeof pi);
  if (!CreateProcessA(NULL, buffer.data(), NULL, NULL, FALSE, 0, NULL, directory, &si, &pi)) return false;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return true;
}

}  // namespace

HANDLE WINAPI CreateToolhelp32Snapshot(DWORD dwFlags, DWORD) {
  if (!(dwFlags & TH32CS_SNAPPROCESS)) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return INVALID_HANDLE_VALUE;
  }
  auto snap = std::make_shared<Snapshot>();
  snap->processes = rkwin::liveMachineProcesses();
  return rkwin::addHandle(snap);
}

BOOL WINAPI Process32First(HANDLE hSnapshot, LPPROCESSENTRY32 lppe) { return fillEntry(hSnapshot, lppe, true); }

BOOL WINAPI Process32Next(HANDLE hSnapshot, LPPROCESSENTRY32 lppe) { return fillEntry(hSnapshot, lppe, false); }

HANDLE WINAPI OpenProcess(DWORD, BOOL, DWORD dwProcessId) {
  rkwin::MachineProcess p;
  if (!rkwin::findMachineProcess((pid_t)dwProcessId, &p)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return NULL;
  }
  if (p.openRefused) {
    SetLastError(ERROR_ACCESS_DENIED);
    return NULL;
  }
  return rkwinAdoptProcessHandle(dwProcessId);
}

BOOL WINAPI ProcessIdToSessionId(DWORD dwProcessId, DWORD* pSessionId) {
  if (!pSessionId) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  rkwin::MachineProcess p;
  if (dwProcessId == (DWORD)getpid()) {
    *pSessionId = (DWORD)rkwin::currentSession();
    return TRUE;
  }
  // No process of that id: the error OpenProcess gives for it.
  if (!rkwin::findMachineProcess((pid_t)dwProcessId, &p)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *pSessionId = (DWORD)p.session;
  return TRUE;
}

BOOL compat_set_process_session(DWORD pid, DWORD session) {
  return rkwin::setMachineProcessSession((pid_t)pid, session) ? TRUE : FALSE;
}

BOOL compat_refuse_process_open(DWORD pid) { return rkwin::refuseMachineProcessOpen((pid_t)pid) ? TRUE : FALSE; }

BOOL WINAPI TerminateProcess(HANDLE hProcess, UINT) {
  intptr_t id = reinterpret_cast<intptr_t>(hProcess);
  rkwin::MachineProcess p;
  if (!rkwinIsProcessHandle(hProcess) || !rkwin::findMachineProcess((pid_t)id, &p)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  // The exit code cannot be imposed on a host process; it ends at once, as on Windows.
  if (kill(p.pid, SIGKILL) != 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return TRUE;
}

HINSTANCE WINAPI ShellExecuteA(HWND, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR lpParameters, LPCSTR lpDirectory, INT) {
  if (!lpFile || !*lpFile) return (HINSTANCE)(INT_PTR)SE_ERR_FNF;
  if (lpOperation && *lpOperation && strcasecmp(lpOperation, "open") != 0) return (HINSTANCE)(INT_PTR)SE_ERR_NOASSOC;
  std::string file = lpFile;
  std::string line;
  if (startsWithNoCase(file, "http://") || startsWithNoCase(file, "https://")) {
    line = "iexplore.exe " + file;  // addresses open in the browser
  } else {
    line = "\"" + file + "\"";
    if (lpParameters && *lpParameters) line += std::string(" ") + lpParameters;
  }
  if (!startCommand(line, lpDirectory)) {
    DWORD error = GetLastError();
    return (HINSTANCE)(INT_PTR)(error == ERROR_PATH_NOT_FOUND ? SE_ERR_PNF : SE_ERR_FNF);
  }
  return (HINSTANCE)(INT_PTR)42;
}

DWORD WINAPI GetShortPathNameA(LPCSTR lpszLongPath, LPSTR lpszShortPath, DWORD cchBuffer) {
  if (!lpszLongPath) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (GetFileAttributesA(lpszLongPath) == INVALID_FILE_ATTRIBUTES) return 0;  // keeps the error code
  DWORD length = (DWORD)strlen(lpszLongPath);
  if (!lpszShortPath || cchBuffer <= length) return length + 1;
  memmove(lpszShortPath, lpszLongPath, length + 1);
  return length;
}

std::string compat_program_log_path() { return rkwin::prefixRoot() + "/programs.log"; }

void compat_log_program_run(const std::string& program, int argc, char** argv) {
  rkwin::driveCRoot();  // makes the prefix folder
  std::string line = program;
  for (int i = 1; i < argc; ++i) line += std::string(" ") + argv[i];
  line += "\n";
  int fd = open(compat_program_log_path().c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  flock(fd, LOCK_EX);
  ssize_t ignored = write(fd, line.data(), line.size());
  (void)ignored;
  close(fd);
}
