#include "machine_processes.h"

#include "path_internal.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace rkwin {

namespace {

std::string tablePath() { return prefixRoot() + "/processes.txt"; }

// Start time (field 22) and state of a host process, from /proc; false when it is gone.
bool hostProcess(pid_t pid, unsigned long long* startTime, char* state, pid_t* parent) {
  char path[64];
  snprintf(path, sizeof path, "/proc/%d/stat", (int)pid);
  std::ifstream in(path);
  std::string line;
  if (!std::getline(in, line)) return false;
  size_t close = line.rfind(')');  // the command name may hold blanks and parentheses
  if (close == std::string::npos) return false;
  std::istringstream rest(line.substr(close + 2));
  std::string field;
  std::vector<std::string> fields;
  while (rest >> field) fields.push_back(field);
  // fields[0] is field 3 (state); field 22 is fields[19].
  if (fields.size() < 20) return false;
  *state = fields[0].empty() ? '?' : fields[0][0];
  *parent = (pid_t)atoi(fields[1].c_str());
  *startTime = strtoull(fields[19].c_str(), nullptr, 10);
  return true;
}

bool stillRuns(MachineProcess& p) {
  unsigned long long start = 0;
  char state = '?';
  pid_t parent = 0;
  if (!hostProcess(p.pid, &start, &state, &parent)) return false;
  if (start != p.startTime || state == 'Z' || state == 'X') return false;
  p.parent = parent;
  return true;
}

class TableLock {
 public:
  TableLock() {
    fd_ = open((prefixRoot() + "/processes.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ >= 0) flock(fd_, LOCK_EX);
  }
  ~TableLock() {
    if (fd_ >= 0) close(fd_);
  }

 private:
  int fd_;
};

std::vector<MachineProcess> readTable() {
  std::vector<MachineProcess> out;
  std::ifstream in(tablePath());
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    MachineProcess p;
    int refused = 0;
    if (!(fields >> p.pid >> p.startTime >> p.session >> refused)) continue;
    p.openRefused = refused != 0;
    fields.get();
    std::getline(fields, p.exeName);
    out.push_back(p);
  }
  return out;
}

void writeTable(const std::vector<MachineProcess>& table) {
  std::string tmp = tablePath() + ".new";
  {
    std::ofstream out(tmp, std::ios::trunc);
    for (const MachineProcess& p : table)
      out << p.pid << ' ' << p.startTime << ' ' << p.session << ' ' << (p.openRefused ? 1 : 0) << ' ' << p.exeName
          << '\n';
  }
  renameat(AT_FDCWD, tmp.c_str(), AT_FDCWD, tablePath().c_str());
}

std::vector<MachineProcess> pruned(std::vector<MachineProcess> table, bool* changed) {
  std::vector<MachineProcess> live;
  for (MachineProcess& p : table) {
    if (stillRuns(p))
      live.push_back(p);
    else
      *changed = true;
  }
  return live;
}

// The session of a process of the table; the interactive session when it is not there.
unsigned long sessionIn(const std::vector<MachineProcess>& table, pid_t pid) {
  for (const MachineProcess& p : table)
    if (p.pid == pid) return p.session;
  return kInteractiveSession;
}

}  // namespace

void recordMachineProcess(pid_t pid, const std::string& exeName) {
  unsigned long long start = 0;
  char state = '?';
  pid_t parent = 0;
  if (!hostProcess(pid, &start, &state, &parent)) return;  // already gone
  driveCRoot();                                            // makes the prefix folder
  TableLock lock;
  bool changed = false;
  std::vector<MachineProcess> table = pruned(readTable(), &changed);
  MachineProcess p;
  p.pid = pid;
  p.startTime = start;
  p.session = sessionIn(table, getpid());  // the caller's own
  p.exeName = exeName;
  table.push_back(p);
  writeTable(table);
}

std::vector<MachineProcess> liveMachineProcesses() {
  TableLock lock;
  bool changed = false;
  std::vector<MachineProcess> table = pruned(readTable(), &changed);
  if (changed) writeTable(table);
  return table;
}

bool findMachineProcess(pid_t pid, MachineProcess* out) {
  for (const MachineProcess& p : liveMachineProcesses()) {
    if (p.pid == pid) {
      *out = p;
      return true;
    }
  }
  return false;
}

unsigned long currentSession() { return sessionIn(liveMachineProcesses(), getpid()); }

namespace {

template <class Change>
bool changeMachineProcess(pid_t pid, Change change) {
  TableLock lock;
  bool changed = false;
  std::vector<MachineProcess> table = pruned(readTable(), &changed);
  bool found = false;
  for (MachineProcess& p : table) {
    if (p.pid != pid) continue;
    change(p);
    found = true;
  }
  if (found || changed) writeTable(table);
  return found;
}

}  // namespace

bool setMachineProcessSession(pid_t pid, unsigned long session) {
  return changeMachineProcess(pid, [session](MachineProcess& p) { p.session = session; });
}

bool refuseMachineProcessOpen(pid_t pid) {
  return changeMachineProcess(pid, [](MachineProcess& p) { p.openRefused = true; });
}

}  // namespace rkwin
