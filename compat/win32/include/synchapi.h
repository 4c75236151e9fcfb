// synchapi declarations of the stand-in.
#ifndef RKWIN_SYNCHAPI_H
#define RKWIN_SYNCHAPI_H

#include "windef.h"
#include "winerror.h"

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);

#endif
