// Test fixture support: a fresh emulated machine in a temporary folder, so that file-system tests
// never touch the user's prefix. Its processes are ended before the folder is removed.
#ifndef RK_TESTS_TEMPPREFIX_H
#define RK_TESTS_TEMPPREFIX_H

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "MachineSweep.h"
#include "TempFolder.h"

class TempPrefix {
 public:
  // RKWIN_ROOT names the machine while it lasts; the variable's earlier value comes back after.
  TempPrefix() : root_(make()), rootVariable_("RKWIN_ROOT", root_.c_str()) {}
  ~TempPrefix() { discard(root_); }
  TempPrefix(const TempPrefix&) = delete;
  TempPrefix& operator=(const TempPrefix&) = delete;

  // A fresh machine's folder (with its drive C:) in the temporary folder; empty when none could be made.
  static std::string make() {
    const char* tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/rkwin-test-XXXXXX";
    char* made = mkdtemp(&pattern[0]);
    if (!made) return std::string();
    std::filesystem::create_directories(pattern + "/drive_c");
    return pattern;
  }
  // Ends the machine's processes, then removes its folder.
  static void discard(const std::string& root) {
    if (root.empty()) return;
#ifndef _WIN32
    // No program of the machine outlives it: a shell stays until stopped, and the programs
    // started without waiting may still run.
    rktest::endMachineProcesses(root);
#endif
    std::error_code ec;
    // Read-only entries must not stop the clean-up.
    for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
      chmod(it->path().string().c_str(), 0755);
    std::filesystem::remove_all(root, ec);
  }

  const std::string& root() const { return root_; }
  // Host path of a path below drive C: given with slashes ("a/b.txt").
  std::string onC(const std::string& relative) const { return root_ + "/drive_c/" + relative; }

  // Helpers on host paths.
  static void writeFile(const std::string& host, const std::string& bytes) {
    std::ofstream(host, std::ios::binary) << bytes;
  }
  static std::string readFile(const std::string& host) {
    std::ifstream in(host, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  static bool exists(const std::string& host) {
    struct stat st;
    return lstat(host.c_str(), &st) == 0;
  }

 private:
  std::string root_;
  rktest::ScopedEnv rootVariable_;
};

#endif
