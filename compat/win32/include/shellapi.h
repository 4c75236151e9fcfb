// shellapi declarations of the stand-in: dropped files.
#ifndef RKWIN_SHELLAPI_H
#define RKWIN_SHELLAPI_H

#include "windef.h"

void WINAPI DragAcceptFiles(HWND hwnd, BOOL accept);
UINT WINAPI DragQueryFileA(HDROP drop, UINT index, LPSTR file, UINT size);
BOOL WINAPI DragQueryPoint(HDROP drop, LPPOINT point);
void WINAPI DragFinish(HDROP drop);

#endif
