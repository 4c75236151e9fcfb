// The launcher as a Windows process: packages from the package writer behind the built
// stowpack.exe, holding the recorder program, started with CreateProcess under Windows (Wine).
#ifdef _WIN32
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "PackageWriter.h"
#include "TempFolder.h"

namespace fs = std::filesystem;

namespace {

std::string builtFile(const std::string& relative) {
  const char* dir = std::getenv("RK_BUILD_DIR");
  return std::string(dir ? dir : ".") + "/" + relative;
}

stowtools::PackEntry entry(const std::string& path, uint32_t kind, const std::string& content = "") {
  stowtools::PackEntry e;
  e.path = path;
  e.kind = kind;
  e.content = content;
  e.size = uint32_t(content.size());
  return e;
}

// Runs the installer with TEMP and TMP set to temp and RK_REPORT to report; its exit code.
DWORD runInstaller(const std::string& exe, const std::string& temp, const std::string& report) {
  rktest::ScopedEnv t1("TEMP", temp.c_str()), t2("TMP", temp.c_str()), r("RK_REPORT", report.c_str());
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::string line = exe;
  if (!CreateProcessA(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 999;
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 998;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return code;
}

}  // namespace

TEST(WindowsLaunch, UnpacksRunsTheProgramWithoutArgumentsAndDeletesTheFolder) {
  rktest::TempFolder root("rkwinlaunch");
  std::string temp = root / "tmp", report = root / "report";
  fs::create_directories(temp);
  fs::create_directories(report);
  std::string recorder = rktest::readFile(builtFile("tests/launcher/launch_recorder.exe"));
  ASSERT_FALSE(recorder.empty());
  std::string big(300000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = char(i * 7 + i / 251);
  std::vector<stowtools::PackEntry> entries = {
      entry("\\Setup.exe", stowtools::kKindFile, recorder), entry("\\sub", stowtools::kKindFolder),
      entry("\\sub\\data.bin", stowtools::kKindFile, big), entry("\\..\\..\\escaped.txt", stowtools::kKindFile, "x")};
  std::string exe = root / "installer.exe", error;
  ASSERT_TRUE(stowtools::writeExecutable(builtFile("launcher/stowpack.exe"), exe, "Setup.exe", entries,
                                         stowtools::compressContents(entries), error))
      << error;

  EXPECT_EQ(runInstaller(exe, rktest::windowsName(temp), rktest::windowsName(report)), 0u);
  std::ifstream in(report + "/started.txt");
  ASSERT_TRUE(in.good()) << "the packed program did not run";
  int argc = 0;
  std::string self, cwd;
  size_t dataSize = 0;
  in >> argc;
  in.ignore();
  std::getline(in, self);
  std::getline(in, cwd);
  in >> dataSize;
  EXPECT_EQ(argc, 1);  // no arguments beyond its own name
  EXPECT_NE(self.find("Setup.exe"), std::string::npos) << self;
  EXPECT_EQ(dataSize, big.size());  // the folder and the file beside it were unpacked whole
  // The unpack folder is gone, and nothing escaped it.
  EXPECT_TRUE(fs::is_empty(temp));
  EXPECT_FALSE(fs::exists(root / "escaped.txt"));
  EXPECT_FALSE(fs::exists(fs::path(temp).parent_path().parent_path() / "escaped.txt"));
}

TEST(WindowsLaunch, AnInstallerWithoutPackageEndsWithZero) {
  rktest::TempFolder root("rkwinlaunch");
  std::string temp = root / "tmp", report = root / "report";
  fs::create_directories(temp);
  fs::create_directories(report);
  std::string exe = root / "bare.exe";
  fs::copy_file(builtFile("launcher/stowpack.exe"), exe);
  EXPECT_EQ(runInstaller(exe, rktest::windowsName(temp), rktest::windowsName(report)), 0u);
  EXPECT_TRUE(fs::is_empty(temp));
  EXPECT_TRUE(fs::is_empty(report));
}
#endif
