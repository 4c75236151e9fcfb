// Per-thread last-error code.
#ifndef RKWIN_ERRHANDLINGAPI_H
#define RKWIN_ERRHANDLINGAPI_H

#include "windef.h"
#include "winerror.h"

DWORD WINAPI GetLastError(void);
void WINAPI SetLastError(DWORD dwErrCode);

#endif
