// Stand-in extensions for tests around the processes of the emulated machine: the session a
// process runs in, and a process that cannot be opened. The processes of a prefix run in the
// interactive session 1, and a process starts its children in its own session.
#ifndef RKWIN_COMPAT_PROCESSES_H
#define RKWIN_COMPAT_PROCESSES_H

#include "windef.h"

// Moves a running process of the machine into another session (another signed-in user's, on a
// shared machine). FALSE when pid is no running process of the machine.
BOOL compat_set_process_session(DWORD pid, DWORD session);
// Makes OpenProcess on pid fail with ERROR_ACCESS_DENIED from now on, as for a process whose
// security the caller's token does not meet; its session can still be asked. FALSE when pid is
// no running process of the machine.
BOOL compat_refuse_process_open(DWORD pid);

#endif
