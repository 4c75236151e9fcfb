// Running the built installer (or the built Setup on its own) as a process on the headless
// display in a fresh machine, its pages answered by an input script, and reading back what it
// left: files by their Windows paths, shortcuts, registry values, the programs it started.
#ifndef RK_TESTS_WIZARD_INSTALLERHARNESS_H
#define RK_TESTS_WIZARD_INSTALLERHARNESS_H

#include <compat_registry.h>
#include <fcntl.h>
#include <iconv.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "TempFolder.h"
#include "TempPrefix.h"

extern char** environ;

namespace installer {

namespace fs = std::filesystem;
using rktest::readFile;
using rktest::windowsName;

inline std::string built(const std::string& relative) {
  const char* dir = getenv("RK_BUILD_DIR");
  return std::string(dir ? dir : ".") + "/" + relative;
}

inline std::map<std::string, std::string> properties(const std::string& path) {
  std::map<std::string, std::string> out;
  std::istringstream in(readFile(path));
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t eq = line.find('=');
    if (line.empty() || line[0] == '#' || eq == std::string::npos) continue;
    out[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return out;
}

inline std::string gbkToUtf8(const std::string& gbk) {
  iconv_t cd = iconv_open("UTF-8", "GBK");
  if (cd == iconv_t(-1)) return std::string();
  std::string out(gbk.size() * 3 + 4, '\0');
  char* in = const_cast<char*>(gbk.data());
  size_t inLeft = gbk.size(), outLeft = out.size();
  char* to = &out[0];
  iconv(cd, &in, &inLeft, &to, &outLeft);
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
}

inline std::string upper(std::string s) {
  for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// Relative path -> content ("/" for a folder) of every entry below a host folder.
inline std::map<std::string, std::string> treeOf(const std::string& folder) {
  std::map<std::string, std::string> tree;
  for (auto& e : fs::recursive_directory_iterator(folder))
    tree[fs::relative(e.path(), folder).string()] = e.is_directory() ? "/" : readFile(e.path().string());
  return tree;
}

// The fields lnkinfo prints for a shortcut ("Local path", "Description", ...).
inline std::map<std::string, std::string> lnkinfo(const std::string& host) {
  std::map<std::string, std::string> fields;
  // The shortcut's ANSI texts are in the machine's code page.
  std::string command = "lnkinfo -c windows-936 '" + host + "' 2>/dev/null";
  FILE* p = popen(command.c_str(), "r");
  if (!p) return fields;
  char buf[4096];
  while (fgets(buf, sizeof buf, p)) {
    std::string line = buf;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    size_t colon = line.find(": ");
    if (colon == std::string::npos) continue;
    std::string name = line.substr(0, colon);
    name.erase(0, name.find_first_not_of(" \t"));
    name.erase(name.find_last_not_of(" \t") + 1);
    fields[name] = line.substr(colon + 2);
  }
  pclose(p);
  return fields;
}

// A string value of the store; "<missing>" when the key or value is absent.
inline std::string value(HKEY root, const std::string& key, const char* name) {
  HKEY h;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return "<missing>";
  char buf[1024] = {};
  DWORD size = sizeof buf - 1, type = 0;
  LONG rc = RegQueryValueExA(h, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
  RegCloseKey(h);
  return rc == ERROR_SUCCESS ? std::string(buf) : "<missing>";
}

inline bool keyExists(HKEY root, const std::string& key) {
  HKEY h;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
  RegCloseKey(h);
  return true;
}

inline std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) out.push_back(line);
  return out;
}

// A fresh machine for one run of the installer; mixed into a test fixture, which calls
// setUpMachine from its SetUp.
class InstallerHarness {
 protected:
  void setUpMachine() {
    // Orphans of the installer (the programs Setup starts and does not wait for) come to this
    // process, so that the test can wait for every one of them.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    temp = prefix.root() + "/tmp";
    fs::create_directories(temp);
    product = built("wizard/VantryViewer");
    cn = properties(built("wizard/setup_cn.properties"));
  }

  // Starts the installer with a private environment; its stderr goes to a file. argv is the
  // program and its arguments (the built installer when empty).
  pid_t start(const std::string& version, const std::string& script, std::vector<std::string> argv = {}) {
    std::map<std::string, std::string> env;
    for (char** e = environ; *e; ++e) {
      std::string kv = *e;
      size_t eq = kv.find('=');
      if (eq != std::string::npos) env[kv.substr(0, eq)] = kv.substr(eq + 1);
    }
    for (const char* drop : {"DISPLAY", "ProgramFiles", "RKWIN_INPUT_TIMEOUT"}) env.erase(drop);
    env["RKWIN_ROOT"] = prefix.root();
    env["RKWIN_DISPLAY"] = "headless";
    env["RKWIN_VERSION"] = version;
    env["RKWIN_INPUT_SCRIPT"] = script;
    // Only a broken run reaches it: every step of the scripts waits for what it needs.
    env["RKWIN_INPUT_TIMEOUT"] = "120";
    env["TMPDIR"] = temp;
    env["USER"] = "tester";
    std::vector<std::string> texts;
    for (auto& kv : env) texts.push_back(kv.first + "=" + kv.second);
    std::vector<char*> envp;
    for (auto& t : texts) envp.push_back(&t[0]);
    envp.push_back(nullptr);
    if (argv.empty()) argv.push_back(built("installer/VantrySetup.exe"));
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(&a[0]);
    args.push_back(nullptr);
    std::string errors = prefix.root() + "/stderr.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, prefix.root().c_str());
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : 0;
  }

  // The installer's exit code (-1 when it did not end by itself), then every program it left
  // running reaped. The bounds only end a broken run (the input script ends a stuck Setup first).
  int finish(pid_t pid) {
    using clock = std::chrono::steady_clock;
    auto deadline = clock::now() + std::chrono::seconds(200);
    int status = 0, code = -1;
    for (;;) {
      pid_t r = waitpid(pid, &status, WNOHANG);
      if (r == pid) {
        code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        break;
      }
      if (r < 0 || clock::now() > deadline) {
        if (r == 0) {
          ADD_FAILURE() << "the installer did not end";
          kill(pid, SIGKILL);
          waitpid(pid, &status, 0);
        }
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    deadline = clock::now() + std::chrono::seconds(60);
    for (;;) {
      pid_t r = waitpid(-1, &status, WNOHANG);
      if (r < 0) break;  // no child left
      if (r == 0) {
        if (clock::now() > deadline) {
          ADD_FAILURE() << "programs started by the installer still run";
          break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    }
    return code;
  }

  // The host path of a path on C: in the machine's code page (936): its names in UTF-8, where
  // no byte of a Chinese character is a backslash.
  std::string host(const std::string& windowsPath) {
    std::string h = gbkToUtf8(windowsPath);
    if (h.compare(0, 3, "C:\\") == 0) h = prefix.root() + "/drive_c/" + h.substr(3);
    std::replace(h.begin(), h.end(), '\\', '/');
    return h;
  }

  TempPrefix prefix;
  std::string temp, product;
  std::map<std::string, std::string> cn;
};

}  // namespace installer

#endif
