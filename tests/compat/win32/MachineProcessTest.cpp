#include <windows.h>

#include <shellapi.h>
#include <tlhelp32.h>

#include "MachineSweep.h"
#include "TempFolder.h"
#include "TempPrefix.h"
#include "compat_processes.h"
#include "compat_programs.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

std::vector<PROCESSENTRY32> snapshot() {
  std::vector<PROCESSENTRY32> out;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return out;
  PROCESSENTRY32 entry;
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snap, &entry); more; more = Process32Next(snap, &entry)) out.push_back(entry);
  CloseHandle(snap);
  return out;
}

bool listed(const char* exe, DWORD* pid = nullptr) {
  for (const PROCESSENTRY32& e : snapshot()) {
    if (strcasecmp(e.szExeFile, exe) == 0) {
      if (pid) *pid = e.th32ProcessID;
      return true;
    }
  }
  return false;
}

// Waits for a condition; the bound only ends a broken run.
template <class F>
bool eventually(F condition) {
  for (int i = 0; i < 6000; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

TEST(MachineProcesses, TheShellStartsStopsAndOnlyMachineProcessesAreListed) {
  TempPrefix prefix;
  EXPECT_TRUE(snapshot().empty()) << "the host's own processes are never listed";
  HINSTANCE r = ShellExecuteA(NULL, "open", "EXPLORER.EXE", NULL, NULL, 4);
  ASSERT_GT((INT_PTR)r, 32);
  DWORD pid = 0;
  ASSERT_TRUE(eventually([&] { return listed("explorer.exe", &pid); }));
  HANDLE h = OpenProcess(PROCESS_TERMINATE, FALSE, pid);
  ASSERT_NE(h, nullptr);
  EXPECT_TRUE(TerminateProcess(h, 1));
  CloseHandle(h);
  EXPECT_TRUE(eventually([&] { return !listed("explorer.exe"); }));
  EXPECT_EQ(OpenProcess(PROCESS_TERMINATE, FALSE, (DWORD)getpid()), nullptr) << "not a machine process";
  EXPECT_FALSE(TerminateProcess((HANDLE)(INT_PTR)getpid(), 1));
}

// Sessions: the calling process and what it starts run in the interactive session 1; a test
// can move a process into another user's session or make it refuse to be opened.
TEST(MachineProcesses, SessionsAndRefusedOpens) {
  TempPrefix prefix;
  DWORD session = 99;
  ASSERT_TRUE(ProcessIdToSessionId(GetCurrentProcessId(), &session));
  EXPECT_EQ(session, 1u);
  ASSERT_GT((INT_PTR)ShellExecuteA(NULL, "open", "EXPLORER.EXE", NULL, NULL, 4), 32);
  DWORD pid = 0;
  ASSERT_TRUE(eventually([&] { return listed("explorer.exe", &pid); }));
  session = 99;
  ASSERT_TRUE(ProcessIdToSessionId(pid, &session));
  EXPECT_EQ(session, 1u);

  ASSERT_TRUE(compat_set_process_session(pid, 2));
  ASSERT_TRUE(ProcessIdToSessionId(pid, &session));
  EXPECT_EQ(session, 2u);
  // Arguments that name nothing: no process of that id, no place for the answer.
  SetLastError(0);
  EXPECT_FALSE(ProcessIdToSessionId((DWORD)getppid(), &session));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
  SetLastError(0);
  EXPECT_FALSE(ProcessIdToSessionId(pid, nullptr));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
  EXPECT_EQ(session, 2u) << "a failed call leaves the answer as it was";

  ASSERT_TRUE(compat_refuse_process_open(pid));
  SetLastError(0);
  EXPECT_EQ(OpenProcess(PROCESS_TERMINATE, FALSE, pid), nullptr);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
  EXPECT_TRUE(ProcessIdToSessionId(pid, &session)) << "its session can still be asked";
  EXPECT_TRUE(listed("explorer.exe"));
  EXPECT_FALSE(compat_set_process_session((DWORD)getppid(), 2)) << "not a machine process";
  EXPECT_FALSE(compat_refuse_process_open((DWORD)getppid()));
  kill((pid_t)pid, SIGKILL);
  EXPECT_TRUE(eventually([&] { return !listed("explorer.exe"); }));
}

TEST(MachineProcesses, TheBrowserRecordsTheAddressAndTheRegistryToolsTheirRuns) {
  TempPrefix prefix;
  HINSTANCE r = ShellExecuteA(NULL, "open", "IEXPLORE.EXE", "http://www.example.invalid/setup.jsp?pd=1", NULL, 10);
  ASSERT_GT((INT_PTR)r, 32);
  std::string log;
  EXPECT_TRUE(eventually([&] {
    log = TempPrefix::readFile(compat_program_log_path());
    return log.find("iexplore.exe http://www.example.invalid/setup.jsp?pd=1\n") != std::string::npos;
  })) << log;
  char line[] = "regedit.exe /s C:\\missing.reg";
  STARTUPINFOA si;
  memset(&si, 0, sizeof si);
  si.cb = sizeof si;
  PROCESS_INFORMATION pi;
  ASSERT_TRUE(CreateProcessA(NULL, line, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) << "found in system32";
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, INFINITE), WAIT_OBJECT_0);
  CloseHandle(pi.hProcess);
  EXPECT_NE(TempPrefix::readFile(compat_program_log_path()).find("regedit.exe /s C:\\missing.reg\n"),
            std::string::npos);
  EXPECT_LE((INT_PTR)ShellExecuteA(NULL, "open", "C:\\nothing.exe", NULL, NULL, 1), 32);
}

// A machine whose system programs were linked from a build since removed: preparing it links
// the one that leads nowhere again, so the registry editor runs; a program someone put there (a
// file, or a link that leads to a file) is kept.
TEST(MachineProcesses, ASystemProgramWhoseLinkLeadsNowhereIsLinkedAgain) {
  TempPrefix prefix;
  rktest::TempFolder elsewhere("rk-programs");
  const std::string system32 = prefix.onC("windows/system32/");
  std::filesystem::create_directories(system32);
  std::filesystem::create_symlink(elsewhere / "gone/regedit.exe", system32 + "regedit.exe");
  rktest::writeFile(system32 + "iexplore.exe", "#!/bin/sh\n", 0755);
  rktest::writeFile(elsewhere / "explorer.exe", "#!/bin/sh\n", 0755);
  std::filesystem::create_symlink(elsewhere / "explorer.exe", system32 + "explorer.exe");
  TempPrefix::writeFile(prefix.onC("script.reg"),
                        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Relinked]\r\n\"A\"=\"1\"\r\n");

  char line[] = "regedit.exe /s C:\\script.reg";
  STARTUPINFOA si;
  memset(&si, 0, sizeof si);
  si.cb = sizeof si;
  PROCESS_INFORMATION pi;
  ASSERT_TRUE(CreateProcessA(NULL, line, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) << GetLastError();
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, INFINITE), WAIT_OBJECT_0);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  HKEY key;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Relinked", 0, KEY_READ, &key), ERROR_SUCCESS);
  RegCloseKey(key);

  std::error_code ec;
  EXPECT_TRUE(std::filesystem::is_symlink(system32 + "regedit.exe"));
  EXPECT_TRUE(std::filesystem::is_regular_file(system32 + "regedit.exe"));
  EXPECT_FALSE(std::filesystem::is_symlink(system32 + "iexplore.exe"));
  EXPECT_EQ(rktest::readFile(system32 + "iexplore.exe"), "#!/bin/sh\n");
  EXPECT_EQ(std::filesystem::read_symlink(system32 + "explorer.exe", ec), elsewhere / "explorer.exe");
  for (const auto& entry : std::filesystem::directory_iterator(system32))
    EXPECT_NE(entry.path().filename().string()[0], '.') << "a link made on the way stays";
}

// Starts a host program as the stand-in starts one in the machine at `root`, with that machine
// named in its environment.
pid_t startInMachine(const std::string& program, const std::vector<std::string>& args, const std::string& root) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e)
    if (strncmp(*e, "RKWIN_ROOT=", 11) != 0 && strncmp(*e, "RKWIN_STARTED_IN=", 17) != 0) env.push_back(*e);
  env.push_back("RKWIN_ROOT=" + root);
  env.push_back("RKWIN_STARTED_IN=" + root);
  std::vector<char*> envp, argv{const_cast<char*>(program.c_str())};
  for (std::string& e : env) envp.push_back(&e[0]);
  envp.push_back(nullptr);
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  return posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), envp.data()) == 0 ? pid : 0;
}

// The exit code of a child that ends within a minute; -1 (and it is killed) when it does not.
int endsBySelf(pid_t pid) {
  int status = 0;
  for (int i = 0; i < 6000; ++i) {
    if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
  return -1;
}

// A test machine ends every process that runs in it (a shell, a program started without
// waiting, what that one started) before its folder goes; a program of the machine that starts
// only after its machine was removed ends at once and makes nothing.
TEST(MachineProcesses, NoProgramOutlivesItsMachineOrMakesItAgain) {
  std::string root, system32,
      pidFile = std::filesystem::temp_directory_path() / ("rk-grandchild-" + std::to_string(getpid()));
  pid_t shell = 0, grandchild = 0;
  {
    TempPrefix prefix;
    root = prefix.root();
    ASSERT_NE(GetFileAttributesA("C:\\windows\\system32\\explorer.exe"), INVALID_FILE_ATTRIBUTES);
    system32 = std::filesystem::canonical(prefix.onC("windows/system32/explorer.exe")).parent_path();
    ASSERT_GT((INT_PTR)ShellExecuteA(NULL, "open", "EXPLORER.EXE", NULL, NULL, 4), 32);
    DWORD pid = 0;
    ASSERT_TRUE(listed("explorer.exe", &pid));
    shell = (pid_t)pid;
    // A started program learns the machine it was started in, whatever its parent's environment
    // says: that is how a late one knows its machine is gone.
    rktest::ScopedEnv stale("RKWIN_STARTED_IN", "/elsewhere");
    std::string line = "Z:\\bin\\sh -c \"sleep 600 & echo $! $RKWIN_STARTED_IN >" + pidFile + "; wait\"";
    STARTUPINFOA si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(CreateProcessA(NULL, &line[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi));
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    ASSERT_TRUE(eventually([&] { return TempPrefix::readFile(pidFile).find('\n') != std::string::npos; }));
    std::istringstream started(TempPrefix::readFile(pidFile));
    std::string startedIn;
    started >> grandchild >> startedIn;
    ASSERT_GT(grandchild, 0);
    EXPECT_EQ(startedIn, root);
  }
  std::filesystem::remove(pidFile);
  EXPECT_FALSE(rktest::hostProcessRuns(shell)) << "the shell";
  EXPECT_FALSE(rktest::hostProcessRuns(grandchild)) << "a program started by a program of the machine";
  EXPECT_FALSE(std::filesystem::exists(root));

  // Late starts: the shell logs its run, the registration tool writes the registry.
  for (const char* program : {"explorer.exe", "regsvr32.exe"}) {
    pid_t late = startInMachine(system32 + "/" + program, {"/s", "Z:\\bin\\sh"}, root);
    ASSERT_GT(late, 0);
    EXPECT_EQ(1, endsBySelf(late)) << program;
    EXPECT_FALSE(std::filesystem::exists(root)) << program << " made its removed machine again";
    std::filesystem::remove_all(root);
  }
  // A late program whose first call is to the registry ends there too.
  EXPECT_EXIT(
      {
        setenv("RKWIN_ROOT", root.c_str(), 1);
        setenv("RKWIN_STARTED_IN", root.c_str(), 1);
        HKEY key;
        RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Late", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL);
        exit(0);
      },
      ::testing::ExitedWithCode(1), "");
  EXPECT_FALSE(std::filesystem::exists(root)) << "the registry made its removed machine again";
}

// A program name ending in 誠 (GBK D5 5C) names no folder: it is looked for on the search path
// and listed by its whole name.
TEST(MachineProcesses, ProgramNamesEndingInADoubleByteCharacterAreSearchedAndListedWhole) {
  TempPrefix prefix;
  ASSERT_NE(GetFileAttributesA("C:\\windows\\system32\\explorer.exe"), INVALID_FILE_ATTRIBUTES);
  const std::string name = "\xEA\x90\xD5\x5C.exe";  // 陳誠.exe
  std::filesystem::create_symlink(prefix.onC("windows/system32/explorer.exe"),
                                  prefix.onC("windows/system32/\xE9\x99\xB3\xE8\xAA\xA0.exe"));
  std::string line = name;
  STARTUPINFOA si;
  memset(&si, 0, sizeof si);
  si.cb = sizeof si;
  PROCESS_INFORMATION pi;
  ASSERT_TRUE(CreateProcessA(NULL, &line[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) << GetLastError();
  CloseHandle(pi.hThread);
  DWORD pid = 0;
  EXPECT_TRUE(listed(name.c_str(), &pid));
  EXPECT_EQ(pid, pi.dwProcessId);
  EXPECT_TRUE(TerminateProcess(pi.hProcess, 1));
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, INFINITE), WAIT_OBJECT_0);
  CloseHandle(pi.hProcess);
}

TEST(ShortPaths, AreTheLongPathForExistingFilesAndFailOtherwise) {
  TempPrefix prefix;
  TempPrefix::writeFile(prefix.onC("a b.txt"), "x");
  char buf[1024] = {0};
  const char* path = "C:\\a b.txt";
  EXPECT_EQ(GetShortPathNameA(path, buf, sizeof buf), strlen(path));
  EXPECT_STREQ(buf, path);
  EXPECT_EQ(GetShortPathNameA(path, buf, 4), strlen(path) + 1) << "size needed";
  char empty[16] = {0};
  EXPECT_EQ(GetShortPathNameA("C:\\nothing.txt", empty, sizeof empty), 0u);
  EXPECT_EQ(empty[0], 0);
}

}  // namespace
