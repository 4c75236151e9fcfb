// libloaderapi declarations of the stand-in.
#ifndef RKWIN_LIBLOADERAPI_H
#define RKWIN_LIBLOADERAPI_H

#include "windef.h"
#include "winerror.h"

// The running executable's path (hModule null) in its Windows form.
DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize);

#endif
