// sysinfoapi declarations of the stand-in.
#ifndef RKWIN_SYSINFOAPI_H
#define RKWIN_SYSINFOAPI_H

#include "windef.h"
#include "winerror.h"

// Milliseconds since the system started, wrapping every 2^32 ms (about 49.7 days).
DWORD WINAPI GetTickCount(void);

#endif
