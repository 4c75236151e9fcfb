// The desktop window and its device contexts for a process without the window manager: the
// graphics calls need the desktop DC (resolution, default face) even with no display. The
// window manager replaces this file when it defines these calls itself.
#include "gdi_internal.h"

namespace {
struct DesktopTag {
  int unused;
} g_desktop;
HWND desktop() { return reinterpret_cast<HWND>(&g_desktop); }
}  // namespace

HWND WINAPI GetDesktopWindow(void) { return desktop(); }

HDC WINAPI GetDC(HWND hWnd) {
  if (hWnd && hWnd != desktop()) return nullptr;
  return rkgdi::CreateScreenDC();
}

HDC WINAPI GetWindowDC(HWND hWnd) { return GetDC(hWnd); }

int WINAPI ReleaseDC(HWND hWnd, HDC hDC) {
  (void)hWnd;
  return rkgdi::ReleaseSurfaceDC(hDC) ? 1 : 0;
}
