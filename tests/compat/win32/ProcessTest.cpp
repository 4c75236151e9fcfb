#include <windows.h>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cstring>

#include "TempFolder.h"
#include "TempPrefix.h"
#include "compat_module.h"

using rktest::readFile;
using rktest::windowsName;
using rktest::writeFile;

namespace {

// GBK: the second byte of 誠 and 運 is a backslash.
const std::string kCheng = "\xD5\x5C";  // 誠
const std::string kYun = "\xDF\x5C";    // 運

// A shell program that records its argument count, its arguments (as they are: printf, not
// echo, which would read backslashes as escapes) and its current folder.
std::string recorder(const std::string& report) {
  return "#!/bin/sh\n{ echo \"$#\"; for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done; pwd; } > '" + report + "'\n";
}

struct Started {
  BOOL ok = FALSE;
  DWORD error = 0;
  PROCESS_INFORMATION info;
};

Started start(const char* application, std::string line, LPVOID environment = nullptr, const char* folder = nullptr) {
  STARTUPINFOA startup;
  std::memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  Started s;
  std::memset(&s.info, 0, sizeof s.info);
  SetLastError(0);
  s.ok = CreateProcessA(application, line.empty() ? nullptr : &line[0], nullptr, nullptr, FALSE, 0, environment, folder,
                        &startup, &s.info);
  s.error = GetLastError();
  return s;
}

}  // namespace

// Every test runs on a fresh emulated machine.
class ProcessStart : public ::testing::Test {
  TempPrefix prefix_;
};
class ProcessWait : public ProcessStart {};
class ProcessClose : public ProcessStart {};
class TempPath : public ProcessStart {};
class FileAttributes : public ProcessStart {};

TEST(ProcessStructures, HaveWindowsLayout) {
  EXPECT_EQ(sizeof(STARTUPINFOA), 104u);
  EXPECT_EQ(sizeof(PROCESS_INFORMATION), 24u);
}

TEST_F(ProcessStart, StartsAProgramThatIsNotMarkedExecutable) {
  rktest::TempFolder dir;
  std::string prog = dir / "prog.exe";
  writeFile(prog, recorder(dir / "report"), 0644);
  Started s = start(nullptr, windowsName(prog) + " one \"two three\" a\\\"b");
  ASSERT_TRUE(s.ok) << s.error;
  EXPECT_NE(s.info.hProcess, nullptr);
  EXPECT_EQ((DWORD)(intptr_t)s.info.hProcess, s.info.dwProcessId);
  EXPECT_EQ(WaitForSingleObject(s.info.hProcess, INFINITE), (DWORD)WAIT_OBJECT_0);
  EXPECT_EQ(readFile(dir / "report"),
            "3\n[one]\n[two three]\n[a\"b]\n" + std::filesystem::current_path().string() + "\n");
  struct stat st;
  ASSERT_EQ(stat(prog.c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IXUSR);
  // A process that has ended stays signalled.
  EXPECT_EQ(WaitForSingleObject(s.info.hProcess, 0), (DWORD)WAIT_OBJECT_0);
}

TEST_F(ProcessStart, UnquotedLineWithBlanksRunsTheLongestExistingPrefix) {
  rktest::TempFolder dir;
  std::filesystem::create_directory(dir / "my dir");
  // A decoy named by the first blank-separated word must not run.
  writeFile(dir / "my", recorder(dir / "decoy"), 0755);
  writeFile(dir / "my dir/prog", recorder(dir / "report"), 0755);

  Started whole = start(nullptr, windowsName(dir / "my dir/prog"));
  ASSERT_TRUE(whole.ok) << whole.error;
  WaitForSingleObject(whole.info.hProcess, INFINITE);
  // The program still sees the line split the way the C runtime splits it.
  std::string folder = std::filesystem::current_path().string();
  EXPECT_EQ(readFile(dir / "report"), "1\n[dir\\prog]\n" + folder + "\n");

  Started more = start(nullptr, windowsName(dir / "my dir/prog") + " x");
  ASSERT_TRUE(more.ok) << more.error;
  WaitForSingleObject(more.info.hProcess, INFINITE);
  EXPECT_EQ(readFile(dir / "report"), "2\n[dir\\prog]\n[x]\n" + folder + "\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "decoy"));
}

TEST_F(ProcessStart, QuotedNameAndApplicationNameGiveNoArguments) {
  rktest::TempFolder dir;
  std::filesystem::create_directory(dir / "a b");
  std::string prog = dir / "a b/Setup.exe";
  writeFile(prog, recorder(dir / "report"), 0644);
  std::string folder = std::filesystem::current_path().string();

  Started quoted = start(nullptr, "\"" + windowsName(prog) + "\"");
  ASSERT_TRUE(quoted.ok) << quoted.error;
  WaitForSingleObject(quoted.info.hProcess, INFINITE);
  EXPECT_EQ(readFile(dir / "report"), "0\n" + folder + "\n");

  std::remove((dir / "report").c_str());
  Started named = start(windowsName(prog).c_str(), "\"" + windowsName(prog) + "\"");
  ASSERT_TRUE(named.ok) << named.error;
  WaitForSingleObject(named.info.hProcess, INFINITE);
  EXPECT_EQ(readFile(dir / "report"), "0\n" + folder + "\n");
}

TEST_F(ProcessStart, AddsExeWhenTheNameHasNoExtension) {
  rktest::TempFolder dir;
  writeFile(dir / "tool.exe", recorder(dir / "report"), 0755);
  Started s = start(nullptr, windowsName(dir / "tool") + " /s");
  ASSERT_TRUE(s.ok) << s.error;
  WaitForSingleObject(s.info.hProcess, INFINITE);
  EXPECT_EQ(readFile(dir / "report").substr(0, 7), "1\n[/s]\n");
}

// ".exe" is added only to a name without a dot in its last part, whatever bytes follow the dot.
TEST_F(ProcessStart, ExeIsAddedOnlyToANameWithoutAnExtension) {
  rktest::TempFolder dir;
  writeFile(dir / "a.b\xE8\xAA\xA0.exe", recorder(dir / "report"), 0755);  // a.b誠.exe
  writeFile(dir / "c\xE8\xAA\xA0.exe", recorder(dir / "report"), 0755);    // c誠.exe
  Started dotted = start(nullptr, windowsName(dir.path()) + "\\a.b" + kCheng);
  EXPECT_FALSE(dotted.ok) << "a.b誠 has the extension .b誠";
  EXPECT_EQ(dotted.error, (DWORD)ERROR_FILE_NOT_FOUND);
  Started plain = start(nullptr, windowsName(dir.path()) + "\\c" + kCheng + " /s");
  ASSERT_TRUE(plain.ok) << plain.error;
  WaitForSingleObject(plain.info.hProcess, INFINITE);
  EXPECT_EQ(readFile(dir / "report").substr(0, 7), "1\n[/s]\n");
}

TEST_F(ProcessStart, UsesTheGivenFolderAndEnvironment) {
  rktest::TempFolder dir;
  std::string report = dir / "report";
  writeFile(dir / "env.sh", "#!/bin/sh\n{ pwd; echo \"$RK_PROBE\"; } > '" + report + "'\n");
  static char block[] = "RK_PROBE=hello\0PATH=/usr/bin:/bin\0";
  Started s = start(nullptr, windowsName(dir / "env.sh"), block, windowsName(dir.path()).c_str());
  ASSERT_TRUE(s.ok) << s.error;
  WaitForSingleObject(s.info.hProcess, INFINITE);
  EXPECT_EQ(readFile(report), dir.path() + "\nhello\n");

  Started bad = start(nullptr, windowsName(dir / "env.sh"), nullptr, windowsName(dir / "missing").c_str());
  EXPECT_FALSE(bad.ok);
  EXPECT_EQ(bad.error, (DWORD)ERROR_DIRECTORY);
}

TEST_F(ProcessStart, FailsWithoutTouchingTheResultForMissingOrUnrunnablePrograms) {
  rktest::TempFolder dir;
  Started missing = start(nullptr, windowsName(dir / "nothing.exe"));
  EXPECT_FALSE(missing.ok);
  EXPECT_EQ(missing.error, (DWORD)ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(missing.info.hProcess, nullptr);
  EXPECT_EQ(missing.info.hThread, nullptr);

  // A folder path (the start of a package without a program name) is no program.
  Started folder = start(nullptr, windowsName(dir.path()) + "\\");
  EXPECT_FALSE(folder.ok);
  EXPECT_EQ(folder.info.hProcess, nullptr);

  writeFile(dir / "data.exe", "\x01\x02\x03\x04 not a program");
  Started data = start(nullptr, windowsName(dir / "data.exe"));
  EXPECT_FALSE(data.ok);
  EXPECT_EQ(data.info.hProcess, nullptr);
}

// The C runtime splits the line character by character: the second byte of 誠 is no backslash
// that escapes a quote or adds to a run of backslashes before one. In a single-byte code page
// the same byte is a backslash.
TEST_F(ProcessStart, ArgumentsAreSplitCharacterByCharacter) {
  rktest::TempFolder dir;
  writeFile(dir / "prog.exe", recorder(dir / "report"), 0755);
  std::string folder = std::filesystem::current_path().string();
  Started s = start(nullptr, windowsName(dir / "prog.exe") + " \"C:\\Program Files\\Vantry " + kCheng + "\" " + kCheng +
                                 "\"a b\" " + kYun + "\\\\\"c\" d\\\"e");
  ASSERT_TRUE(s.ok) << s.error;
  WaitForSingleObject(s.info.hProcess, INFINITE);
  EXPECT_EQ(readFile(dir / "report"), "4\n[C:\\Program Files\\Vantry " + kCheng + "]\n[" + kCheng + "a b]\n[" + kYun +
                                          "\\c]\n[d\"e]\n" + folder + "\n");

  rktest::ScopedEnv acp("RKWIN_ACP", "1252");
  Started single = start(nullptr, windowsName(dir / "prog.exe") + " \"x\xD5\\\" y\"");
  ASSERT_TRUE(single.ok) << single.error;
  WaitForSingleObject(single.info.hProcess, INFINITE);
  EXPECT_EQ(readFile(dir / "report"), "1\n[x\xD5\" y]\n" + folder + "\n");
}

// A name without a folder is looked for in the calling program's folder first, whatever the
// calling program is named.
TEST_F(ProcessStart, LooksInTheCallingProgramsFolderFirst) {
  rktest::TempFolder dir;
  writeFile(dir / "sibling.exe", recorder(dir / "report"), 0755);
  for (const std::string& caller : {std::string("setup.exe"), kYun + kCheng + ".exe", "a" + kCheng + "b.exe"}) {
    std::remove((dir / "report").c_str());
    compat_set_module_path((windowsName(dir.path()) + "\\" + caller).c_str());
    Started s = start(nullptr, "sibling x");
    compat_set_module_path(nullptr);
    ASSERT_TRUE(s.ok) << caller << ": " << s.error;
    WaitForSingleObject(s.info.hProcess, INFINITE);
    EXPECT_EQ(readFile(dir / "report").substr(0, 6), "1\n[x]\n") << caller;
  }
}

TEST_F(ProcessWait, ReturnsAtOnceForAnInvalidHandleAndTimesOut) {
  auto t0 = std::chrono::steady_clock::now();
  SetLastError(0);
  EXPECT_EQ(WaitForSingleObject(nullptr, INFINITE), (DWORD)WAIT_FAILED);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(1));

  rktest::TempFolder dir;
  writeFile(dir / "slow.sh", "#!/bin/sh\nsleep 0.3\n", 0755);
  Started s = start(nullptr, windowsName(dir / "slow.sh"));
  ASSERT_TRUE(s.ok) << s.error;
  EXPECT_EQ(WaitForSingleObject(s.info.hProcess, 20), (DWORD)WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(s.info.hProcess, INFINITE), (DWORD)WAIT_OBJECT_0);
}

TEST_F(TempPath, GivesTheHostTempFolderOnDriveZWithATrailingBackslash) {
  {
    rktest::ScopedEnv tmp("TMPDIR", "/var/tmp/a b/");
    char buf[MAX_PATH];
    std::memset(buf, 'x', sizeof buf);
    DWORD n = GetTempPathA(MAX_PATH, buf);
    EXPECT_EQ(std::string(buf), "Z:\\var\\tmp\\a b\\");
    EXPECT_EQ(n, std::strlen(buf));
    // Too small a buffer: the size needed, terminator included.
    char small[4];
    EXPECT_EQ(GetTempPathA(sizeof small, small), n + 1);
    EXPECT_EQ(GetTempPathA(n, buf), n + 1);
  }
  rktest::ScopedEnv none("TMPDIR", nullptr);
  char buf[MAX_PATH];
  EXPECT_EQ(GetTempPathA(MAX_PATH, buf), 7u);
  EXPECT_EQ(std::string(buf), "Z:\\tmp\\");
}

// A host temporary folder whose name ends in 誠 still gets its trailing backslash.
TEST_F(TempPath, AFolderEndingInADoubleByteCharacterGetsItsBackslash) {
  rktest::ScopedEnv tmp("TMPDIR", "/var/tmp/\xE9\x99\xB3\xE8\xAA\xA0");  // 陳誠 in UTF-8
  char buf[MAX_PATH];
  GetTempPathA(MAX_PATH, buf);
  EXPECT_EQ(std::string(buf), "Z:\\var\\tmp\\\xEA\x90" + kCheng + "\\");
  rktest::ScopedEnv middle("TMPDIR", "/var/tmp/\xE9\x81\x8B\xE5\x8B\x95/");  // 運動 in UTF-8
  GetTempPathA(MAX_PATH, buf);
  EXPECT_EQ(std::string(buf), "Z:\\var\\tmp\\" + kYun + "\x84\xD3\\");
}

TEST_F(ProcessClose, ClosesProcessHandlesOnce) {
  rktest::TempFolder dir;
  writeFile(dir / "quick.sh", "#!/bin/sh\nexit 0\n", 0755);
  Started s = start(nullptr, windowsName(dir / "quick.sh"));
  ASSERT_TRUE(s.ok) << s.error;
  EXPECT_EQ(WaitForSingleObject(s.info.hProcess, INFINITE), (DWORD)WAIT_OBJECT_0);
  EXPECT_TRUE(CloseHandle(s.info.hProcess));
  EXPECT_FALSE(CloseHandle(s.info.hProcess));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
  EXPECT_EQ(WaitForSingleObject(s.info.hProcess, 0), (DWORD)WAIT_FAILED);
}

TEST_F(ProcessClose, ThreadHandleClosesApartFromTheProcessHandle) {
  rktest::TempFolder dir;
  writeFile(dir / "quick.sh", "#!/bin/sh\nexit 0\n", 0755);
  Started s = start(nullptr, windowsName(dir / "quick.sh"));
  ASSERT_TRUE(s.ok) << s.error;
  EXPECT_NE(s.info.hThread, s.info.hProcess);
  EXPECT_NE(s.info.hThread, nullptr);
  EXPECT_TRUE(CloseHandle(s.info.hThread));
  EXPECT_FALSE(CloseHandle(s.info.hThread));
  // The process handle still works after the thread's is gone.
  EXPECT_EQ(WaitForSingleObject(s.info.hProcess, INFINITE), (DWORD)WAIT_OBJECT_0);
  EXPECT_TRUE(CloseHandle(s.info.hProcess));
}

TEST_F(FileAttributes, ReportsLinksWithoutFollowingThem) {
  rktest::TempFolder dir;
  std::filesystem::create_directory(dir / "folder");
  writeFile(dir / "file", "x");
  std::filesystem::create_directory_symlink(dir / "folder", dir / "dirlink");
  std::filesystem::create_symlink(dir / "file", dir / "filelink");
  EXPECT_EQ(GetFileAttributesA(windowsName(dir / "folder").c_str()), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(GetFileAttributesA(windowsName(dir / "file").c_str()), FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_EQ(GetFileAttributesA(windowsName(dir / "dirlink").c_str()),
            FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(GetFileAttributesA(windowsName(dir / "filelink").c_str()), FILE_ATTRIBUTE_REPARSE_POINT);
  SetLastError(0);
  EXPECT_EQ(GetFileAttributesA(windowsName(dir / "missing").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
}
