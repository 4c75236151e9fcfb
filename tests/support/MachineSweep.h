// Ending the processes of a test's emulated machine before its folder goes: every host process
// whose environment names the machine's prefix, as its own (RKWIN_ROOT) or as the prefix it was
// started in (RKWIN_STARTED_IN). Children inherit the environment, so the shells, the programs
// Setup started and whatever those started are all found, recorded in the machine or not.
#ifndef RK_TESTS_SUPPORT_MACHINESWEEP_H
#define RK_TESTS_SUPPORT_MACHINESWEEP_H

#ifndef _WIN32

#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace rktest {

// State letter of a host process from /proc ('\0' when there is none of that id).
inline char hostProcessState(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(in, line)) return '\0';
  size_t close = line.rfind(')');  // the command name may hold blanks and parentheses
  return close == std::string::npos || close + 2 >= line.size() ? '?' : line[close + 2];
}

// True while the host process runs: it exists and has not ended (a zombie has).
inline bool hostProcessRuns(pid_t pid) {
  char state = hostProcessState(pid);
  return state && state != 'Z' && state != 'X';
}

// The live host processes (not the caller) of the machine at `root`.
inline std::vector<pid_t> machineHostProcesses(const std::string& root) {
  std::vector<pid_t> pids;
  const std::string own = "RKWIN_ROOT=" + root, started = "RKWIN_STARTED_IN=" + root;
  DIR* proc = opendir("/proc");
  if (!proc) return pids;
  while (dirent* e = readdir(proc)) {
    char* end = nullptr;
    long id = std::strtol(e->d_name, &end, 10);
    if (id <= 0 || *end || id == getpid()) continue;
    std::ifstream in(std::string("/proc/") + e->d_name + "/environ", std::ios::binary);
    std::string env((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (size_t at = 0; at < env.size();) {
      size_t zero = env.find('\0', at);
      if (zero == std::string::npos) zero = env.size();
      std::string entry = env.substr(at, zero - at);
      if (entry == own || entry == started) {
        if (hostProcessRuns(static_cast<pid_t>(id))) pids.push_back(static_cast<pid_t>(id));
        break;
      }
      at = zero + 1;
    }
  }
  closedir(proc);
  return pids;
}

// Ends every process of the machine at `root` and waits until each has gone (a child of the
// caller stays a zombie for its owner to reap: a harness that waits for its own child still
// can). Sweeps again until none is found, so that a program started by one that was being ended
// is ended too. Returns how many processes were ended.
inline int endMachineProcesses(const std::string& root) {
  int ended = 0;
  for (;;) {
    std::vector<pid_t> pids = machineHostProcesses(root);
    if (pids.empty()) return ended;
    for (pid_t pid : pids) kill(pid, SIGKILL);
    for (pid_t pid : pids) {
      ++ended;
      while (hostProcessRuns(pid)) usleep(1000);
    }
  }
}

}  // namespace rktest

#endif  // _WIN32

#endif
