// Process handles of the stand-in, for the kernel's handle calls: a process handle is the
// process id (always > 0 and < 2^31), and only ids that CreateProcessA handed out are known.
#ifndef RKWIN_PROCESS_HANDLES_H
#define RKWIN_PROCESS_HANDLES_H

#include <windows.h>

// True when h is a process handle that CreateProcessA returned and that is still open.
bool rkwinIsProcessHandle(HANDLE h);

// A handle for a process that another program of the machine started (OpenProcess): the id.
HANDLE rkwinAdoptProcessHandle(DWORD pid);

// Closes a process handle: forgets it (the process itself runs on). False for other handles.
bool rkwinCloseProcessHandle(HANDLE h);

#endif
