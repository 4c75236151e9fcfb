// The processes of the emulated machine: every process started through CreateProcessA in a
// prefix is recorded in $RKWIN_ROOT/processes.txt (id, start time, program name), shared by the
// programs of that prefix. Entries are checked against the host's process of that id and start
// time before use, so a reused id never makes another host process visible or stoppable.
#ifndef RKWIN_MACHINE_PROCESSES_H
#define RKWIN_MACHINE_PROCESSES_H

#include <sys/types.h>

#include <string>
#include <vector>

namespace rkwin {

struct MachineProcess {
  pid_t pid = 0;
  unsigned long long startTime = 0;
  pid_t parent = 0;
  std::string exeName;  // ANSI file name only ("explorer.exe")
};

void recordMachineProcess(pid_t pid, const std::string& exeName);
// The recorded processes that still run; the dead are dropped from the table.
std::vector<MachineProcess> liveMachineProcesses();
bool findMachineProcess(pid_t pid, MachineProcess* out);

}  // namespace rkwin

#endif
