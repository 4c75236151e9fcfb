// processenv declarations of the stand-in.
#ifndef RKWIN_PROCESSENV_H
#define RKWIN_PROCESSENV_H

#include "windef.h"
#include "winerror.h"

// The host environment, names compared without case, plus ProgramFiles, USERPROFILE and
// SystemRoot where the host lacks them.
DWORD WINAPI GetEnvironmentVariableA(LPCSTR lpName, LPSTR lpBuffer, DWORD nSize);

#endif
