// fileapi declarations of the stand-in.
#ifndef RKWIN_FILEAPI_H
#define RKWIN_FILEAPI_H

#include "windef.h"
#include "winerror.h"

DWORD WINAPI GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer);

#endif
