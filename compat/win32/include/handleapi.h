// handleapi declarations of the stand-in.
#ifndef RKWIN_HANDLEAPI_H
#define RKWIN_HANDLEAPI_H

#include "windef.h"
#include "winerror.h"

BOOL WINAPI CloseHandle(HANDLE hObject);

#endif
