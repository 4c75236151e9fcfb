// Runs real packages: builds them with the package writer behind the built launcher and starts
// the result as a process inside a temporary prefix and temporary folder.
#ifndef RK_TEST_LAUNCHHARNESS_H
#define RK_TEST_LAUNCHHARNESS_H

#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "MachineSweep.h"
#include "PackageWriter.h"
#include "TempFolder.h"

extern char** environ;

namespace rktest {

namespace fs = std::filesystem;

inline std::string builtProgram(const std::string& relative) {
  const char* dir = std::getenv("RK_BUILD_DIR");
  return std::string(dir ? dir : ".") + "/" + relative;
}

// A packed program that records how it was started and copies the folder it runs from (the
// unpack folder, which is gone once the launcher ends) to $RK_REPORT/seen.
inline std::string recordingProgram(const std::string& extra = "") {
  return "#!/bin/sh\n"
         "here=$(dirname \"$0\")\n"
         "echo \"$#\" > \"$RK_REPORT/argc\"\n"
         "echo \"$0\" > \"$RK_REPORT/argv0\"\n"
         "pwd > \"$RK_REPORT/cwd\"\n" +
         extra + "cp -R \"$here\" \"$RK_REPORT/seen\"\n";
}

class LaunchHarness {
 public:
  explicit LaunchHarness(const std::string& tempName = "tmp")
      : prefix(root / "prefix"), temp(root / tempName), report(root / "report"), work(root / "work") {
    fs::create_directories(prefix + "/drive_c");
    fs::create_directories(temp);
    fs::create_directories(report);
    fs::create_directories(work);
  }
  // The launcher and what it started end with the harness, before its folder goes.
  ~LaunchHarness() { endMachineProcesses(prefix); }
  LaunchHarness(const LaunchHarness&) = delete;
  LaunchHarness& operator=(const LaunchHarness&) = delete;

  // Writes launcher + package to <root>/<name> and returns its path.
  std::string build(const std::string& program, const std::vector<stowtools::PackEntry>& entries,
                    const std::string& stream, const std::string& name = "installer.exe") {
    std::string out = root / name;
    std::string error;
    if (!stowtools::writeExecutable(builtProgram("launcher/stowpack"), out, program, entries, stream, error))
      return std::string();
    return out;
  }
  std::string build(const std::string& program, const std::vector<stowtools::PackEntry>& entries) {
    return build(program, entries, stowtools::compressContents(entries));
  }

  // Starts an executable with the harness's environment, returns its pid (0 on failure).
  pid_t start(const std::string& exe, const std::string& reportDir = "") const {
    std::map<std::string, std::string> env;
    for (char** e = environ; *e; ++e) {
      std::string kv = *e;
      size_t eq = kv.find('=');
      if (eq != std::string::npos) env[kv.substr(0, eq)] = kv.substr(eq + 1);
    }
    env["RKWIN_ROOT"] = prefix;
    env["TMPDIR"] = temp;
    env["RK_REPORT"] = reportDir.empty() ? report : reportDir;
    std::vector<std::string> texts;
    for (auto& kv : env) texts.push_back(kv.first + "=" + kv.second);
    std::vector<char*> envp;
    for (auto& t : texts) envp.push_back(&t[0]);
    envp.push_back(nullptr);
    std::string arg0 = exe;
    char* argv[] = {&arg0[0], nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, work.c_str());
    pid_t pid = 0;
    int rc = posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : 0;
  }

  // The exit code of a started process, -1 when it did not exit normally.
  static int finish(pid_t pid) {
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  int run(const std::string& exe) const { return finish(start(exe)); }

  bool tempIsEmpty() const { return fs::is_empty(temp); }
  bool programRan() const { return fs::exists(report + "/argc"); }
  std::string seen(const std::string& relative = "") const {
    return report + "/seen" + (relative.empty() ? "" : "/" + relative);
  }

  TempFolder root{"rklaunch"};
  std::string prefix, temp, report, work;
};

// n bytes that do not compress, the same for the same seed.
inline std::string randomBytes(size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(gen() & 0xFF);
  return s;
}

inline stowtools::PackEntry fileEntry(const std::string& path, const std::string& content) {
  stowtools::PackEntry e;
  e.path = path;
  e.kind = stowtools::kKindFile;
  e.content = content;
  e.size = static_cast<uint32_t>(content.size());
  return e;
}

inline stowtools::PackEntry folderEntry(const std::string& path) {
  stowtools::PackEntry e;
  e.path = path;
  e.kind = stowtools::kKindFolder;
  return e;
}

// Every file and folder under a host folder, relative path -> content ("/" for folders).
inline std::map<std::string, std::string> treeOf(const std::string& folder) {
  std::map<std::string, std::string> tree;
  if (!fs::exists(folder)) return tree;
  for (auto& e : fs::recursive_directory_iterator(folder)) {
    std::string rel = fs::relative(e.path(), folder).string();
    tree[rel] = e.is_directory() ? "/" : readFile(e.path().string());
  }
  return tree;
}

}  // namespace rktest

#endif
