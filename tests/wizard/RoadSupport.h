// Looking at what the install road leaves on the emulated machine: the programs it started,
// registry values, files by their Windows paths, shortcuts read back by an outside reader.
#ifndef RK_TESTS_WIZARD_ROADSUPPORT_H
#define RK_TESTS_WIZARD_ROADSUPPORT_H

#include <windows.h>

#include <compat_path.h>
#include <compat_programs.h>
#include <shellapi.h>
#include <shlobj.h>
#include <stdio.h>
#include <tlhelp32.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "HostPrograms.h"
#include "MachineSweep.h"
#include "Setup.h"
#include "WizardDriver.h"
#include "WizardFixture.h"

// A wizard that also notes every command line it starts, in order.
class RecordingSetup : public RKSDK::Setup {
 public:
  void startProcess(RKSDK::RKString commandLine) override {
    started.push_back(text(commandLine));
    RKSDK::Setup::startProcess(commandLine);
  }
  std::vector<std::string> started;
};

inline std::vector<std::string> machineProcesses() {
  std::vector<std::string> names;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return names;
  PROCESSENTRY32 entry;
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snap, &entry); more; more = Process32Next(snap, &entry))
    names.push_back(entry.szExeFile);
  CloseHandle(snap);
  return names;
}

inline int countProcesses(const char* exe) {
  int n = 0;
  for (const std::string& name : machineProcesses())
    if (strcasecmp(name.c_str(), exe) == 0) ++n;
  return n;
}

// The programs the road starts and does not wait for: the registry tools and the browser.
constexpr const char* kPassingPrograms[] = {"regedit.exe", "regsvr32.exe", "iexplore.exe"};

// Whether a host process of this machine runs one of those programs. From the moment it is
// started it runs under the program's name, before it has logged or been listed.
inline bool passingProgramRuns() {
  const char* root = getenv("RKWIN_ROOT");
  if (!root) return false;
  for (pid_t pid : rktest::machineHostProcesses(root)) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(in, name);
    for (const char* program : kPassingPrograms)
      if (strcasecmp(name.c_str(), program) == 0) return true;
  }
  return false;
}

// Waits until every passing program started has run and ended; shells stay. The bound only ends
// a broken run.
inline bool waitForPrograms() {
  for (int i = 0; i < 12000; ++i) {
    bool running = passingProgramRuns();
    for (const std::string& listed : machineProcesses())
      for (const char* name : kPassingPrograms)
        if (strcasecmp(listed.c_str(), name) == 0) running = true;
    if (!running) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// The run log of the system programs as lines.
inline std::vector<std::string> programRuns() {
  std::vector<std::string> lines;
  std::ifstream in(compat_program_log_path());
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

// Waits until the run log holds `count` runs given by `line` (a shell that stays logs once
// started, and counts as run only then). The bound only ends a broken run.
inline bool waitForRuns(const std::string& line, long count) {
  for (int i = 0; i < 12000; ++i) {
    std::vector<std::string> runs = programRuns();
    if (std::count(runs.begin(), runs.end(), line) >= count) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

inline std::string hostOf(const std::string& windowsPath) {
  char host[4096];
  return compat_host_path(windowsPath.c_str(), host, sizeof host) ? std::string(host) : std::string();
}

inline std::string readWindowsFile(const std::string& windowsPath) {
  std::ifstream in(hostOf(windowsPath), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool windowsFileExists(const std::string& windowsPath) { return std::filesystem::exists(hostOf(windowsPath)); }

// A string value, or "<missing>" when the key or value is not there.
inline std::string regValue(HKEY root, const std::string& key, const char* name) {
  HKEY h;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return "<missing>";
  char buf[1024] = {0};
  DWORD size = sizeof buf - 1;
  DWORD type = 0;
  LONG rc = RegQueryValueExA(h, name, NULL, &type, (BYTE*)buf, &size);
  RegCloseKey(h);
  return rc == ERROR_SUCCESS ? std::string(buf) : std::string("<missing>");
}

inline bool regKeyExists(HKEY root, const std::string& key) {
  HKEY h;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
  RegCloseKey(h);
  return true;
}

inline void regSet(HKEY root, const std::string& key, const char* name, DWORD type, const void* data, DWORD size) {
  HKEY h;
  if (RegCreateKeyExA(root, key.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &h, NULL) != ERROR_SUCCESS) return;
  RegSetValueExA(h, name, 0, type, (const BYTE*)data, size);
  RegCloseKey(h);
}

inline void regSetString(HKEY root, const std::string& key, const char* name, const std::string& value) {
  regSet(root, key, name, REG_SZ, value.c_str(), (DWORD)value.size() + 1);
}

// The fields an outside reader of the shortcut format finds ("Local path", "Description", ...).
inline std::map<std::string, std::string> lnkFields(const std::string& windowsPath) {
  std::map<std::string, std::string> fields;
  // The shortcut's ANSI texts are in the machine's code page.
  std::string command = "lnkinfo -c windows-936 '" + hostOf(windowsPath) + "' 2>/dev/null";
  FILE* p = popen(command.c_str(), "r");
  if (!p) return fields;
  char line[4096];
  while (fgets(line, sizeof line, p)) {
    std::string s = line;
    size_t colon = s.find(':');
    if (colon == std::string::npos) continue;
    std::string name = s.substr(0, colon), value = s.substr(colon + 1);
    name.erase(0, name.find_first_not_of("\t "));
    name.erase(name.find_last_not_of("\t ") + 1);
    value.erase(0, value.find_first_not_of(" "));
    while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) value.pop_back();
    fields[name] = value;
  }
  pclose(p);
  return fields;
}

inline bool haveLnkinfo() { return haveProgram("lnkinfo"); }

// The path of a special folder of the emulated user (Start-menu programs, desktop).
inline std::string specialFolder(int csidl) {
  char path[MAX_PATH] = {0};
  SHGetSpecialFolderPathA(NULL, path, csidl, FALSE);
  return path;
}

// The user's Explorer list of extensions, and the key of the choice for one extension.
constexpr const char* kFileExts = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";
inline std::string userChoice(const std::string& x) { return std::string(kFileExts) + "\\" + x + "\\UserChoice"; }

// The wizard driven along its install road into a fresh machine; the programs it starts are
// waited for before the machine goes.
class RoadFixture : public WizardFixture {
 protected:
  static constexpr const char* kInstall = "C:\\Program Files\\VantryViewer";

  void SetUp() override {
    unsetenv("RKWIN_VERSION");
    WizardFixture::SetUp();
  }
  void TearDown() override {
    EXPECT_TRUE(waitForPrograms());
    unsetenv("RKWIN_VERSION");
    WizardFixture::TearDown();
  }
  // Steps from the welcome page to the copying page with the given install folder; when it
  // does not exist it is made after the question.
  void stepsToCopy(Driver& d, RKSDK::Setup* w, const std::string& folder = kInstall) {
    d.step([=] { clickOn(w->nextButton); });
    d.step([=] { clickOn(w->agreeButton); });
    d.step([=] { clickOn(w->nextButton); });
    d.step([=] {
      w->pathField->setText(folder.c_str());
      compat_message_box_answer(IDOK, 0);
      clickOn(w->nextButton);
    });
  }
  // One step that lets every remaining tick of the copy run.
  void stepCopyAll(Driver& d) {
    d.step([] { compat_advance(10 * (RKSDK::packageList.getCount() + 2)); });
  }
  // A wizard, its whole road to the associations page, and the loop ended there.
  void installTo(RecordingSetup* w, const std::string& folder = kInstall) {
    Driver d(w);
    stepsToCopy(d, w, folder);
    stepCopyAll(d);
    d.step([=] {
      EXPECT_EQ(5, w->page);
      w->quit();
    });
    run(w);
    EXPECT_EQ(6u, d.done);
  }
  // The package list as (relative path, kind) pairs in walk order.
  static std::vector<std::pair<std::string, unsigned>> entries() {
    std::vector<std::pair<std::string, unsigned>> out;
    if (RKSDK::packageList.moveFirst()) {
      do {
        RKSDK::FILENODE* e = RKSDK::packageList.getCurrent();
        out.emplace_back(text(e->path), e->kind);
      } while (RKSDK::packageList.moveNext());
    }
    return out;
  }
  void setVersion(const char* version) { setenv("RKWIN_VERSION", version, 1); }
};

#endif
