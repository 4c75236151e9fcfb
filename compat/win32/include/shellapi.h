// shellapi declarations of the stand-in: dropped files and ShellExecuteA.
#ifndef RKWIN_SHELLAPI_H
#define RKWIN_SHELLAPI_H

#include "windef.h"

void WINAPI DragAcceptFiles(HWND hwnd, BOOL accept);
UINT WINAPI DragQueryFileA(HDROP drop, UINT index, LPSTR file, UINT size);
BOOL WINAPI DragQueryPoint(HDROP drop, LPPOINT point);
void WINAPI DragFinish(HDROP drop);

#define SE_ERR_FNF 2
#define SE_ERR_PNF 3
#define SE_ERR_ACCESSDENIED 5
#define SE_ERR_OOM 8
#define SE_ERR_NOASSOC 31

// Opens a program or an address: an executable found by the system's search order is started
// with the parameters; an http(s) address is opened in the browser. Nothing is waited for.
// Returns a value above 32 on success, an SE_ERR_ code otherwise.
HINSTANCE WINAPI ShellExecuteA(HWND hwnd, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR lpParameters, LPCSTR lpDirectory,
                               INT nShowCmd);

#endif
