// The processes of the emulated machine: every process started through CreateProcessA in a
// prefix is recorded in $RKWIN_ROOT/processes.txt (id, start time, session, open refused,
// program name), shared by the programs of that prefix. Entries are checked against the host's
// process of that id and start time before use, so a reused id never makes another host process
// visible or stoppable.
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
  unsigned long session = 1;  // the session it runs in
  bool openRefused = false;   // OpenProcess fails on it
  std::string exeName;        // ANSI file name only ("explorer.exe")
};

// Processes of a signed-in user run in session 1 and up (session 0 is the services'); the
// processes of the prefix run in the first interactive session unless a test moves them.
const unsigned long kInteractiveSession = 1;

// Records a process that the calling process started; it runs in the caller's session.
void recordMachineProcess(pid_t pid, const std::string& exeName);
// The recorded processes that still run; the dead are dropped from the table.
std::vector<MachineProcess> liveMachineProcesses();
bool findMachineProcess(pid_t pid, MachineProcess* out);
// The session of the calling process: its record's, else the interactive session.
unsigned long currentSession();
// Changes a recorded process that still runs; false when there is none of that id.
bool setMachineProcessSession(pid_t pid, unsigned long session);
bool refuseMachineProcessOpen(pid_t pid);

}  // namespace rkwin

#endif
