// The thread's caret: one at a time, owned by a window, drawn over the window's surface
// when presented (never into the pixels the window drew).
#include "winsys_internal.h"

namespace rkwin {

struct Caret {
  HWND hwnd = nullptr;
  int x = 0, y = 0, width = 1, height = 1;
  int hideCount = 1;
  bool paintHidden = false;
  DWORD shownAt = 0;
};
static Caret caret;
static UINT blinkTime = 530;

static void touch() {
  if (Wnd* w = wndQuiet(caret.hwnd)) topLevelOf(w)->dirty = true;
}

static bool blinkPhaseOn() {
  if (blinkTime == 0 || blinkTime == INFINITE) return true;
  return ((now() - caret.shownAt) / blinkTime) % 2 == 0;
}

void caretWindowGone(HWND h) {
  if (caret.hwnd == h) caret = Caret();
}

void caretPaintHide(HWND h, bool hide) {
  if (caret.hwnd == h) caret.paintHidden = hide;
}

bool caretNextBlink(DWORD* due) {
  if (!x11Active() || !caret.hwnd || caret.hideCount > 0 || blinkTime == 0 || blinkTime == INFINITE) return false;
  DWORD n = now();
  DWORD phase = (n - caret.shownAt) % blinkTime;
  *due = n + (blinkTime - phase);
  return true;
}

void caretTick() { touch(); }

bool caretRectOnSurface(Wnd* top, RECT* r) {
  Wnd* w = wndQuiet(caret.hwnd);
  if (!w || topLevelOf(w) != top || caret.hideCount > 0 || caret.paintHidden || !isVisibleTree(w)) return false;
  if (!blinkPhaseOn()) return false;
  POINT o = originOnSurface(w);
  RECT c = {o.x + caret.x, o.y + caret.y, o.x + caret.x + caret.width, o.y + caret.y + caret.height};
  RECT v = visibleOnSurface(w);
  r->left = c.left > v.left ? c.left : v.left;
  r->top = c.top > v.top ? c.top : v.top;
  r->right = c.right < v.right ? c.right : v.right;
  r->bottom = c.bottom < v.bottom ? c.bottom : v.bottom;
  return r->right > r->left && r->bottom > r->top;
}

}  // namespace rkwin

using namespace rkwin;

BOOL WINAPI CreateCaret(HWND h, HBITMAP, int width, int height) {
  if (!wnd(h)) return FALSE;
  touch();
  caret = Caret();
  caret.hwnd = h;
  caret.width = width > 0 ? width : 1;
  caret.height = height > 0 ? height : 1;
  caret.shownAt = now();
  return TRUE;
}

BOOL WINAPI DestroyCaret(void) {
  if (!caret.hwnd) return FALSE;
  touch();
  caret = Caret();
  return TRUE;
}

BOOL WINAPI ShowCaret(HWND h) {
  if (!caret.hwnd || (h && h != caret.hwnd)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (caret.hideCount > 0 && --caret.hideCount == 0) caret.shownAt = now();
  touch();
  return TRUE;
}

BOOL WINAPI HideCaret(HWND h) {
  if (!caret.hwnd || (h && h != caret.hwnd)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  caret.hideCount++;
  touch();
  return TRUE;
}

BOOL WINAPI SetCaretPos(int x, int y) {
  if (!caret.hwnd) return FALSE;
  caret.x = x;
  caret.y = y;
  caret.shownAt = now();
  touch();
  return TRUE;
}

BOOL WINAPI GetCaretPos(LPPOINT p) {
  if (!caret.hwnd || !p) return FALSE;
  p->x = caret.x;
  p->y = caret.y;
  return TRUE;
}

BOOL WINAPI SetCaretBlinkTime(UINT ms) {
  blinkTime = ms;
  return TRUE;
}

UINT WINAPI GetCaretBlinkTime(void) { return blinkTime; }

BOOL compat_caret_info(CompatCaretInfo* info) {
  if (!info) return FALSE;
  info->hwnd = caret.hwnd;
  info->x = caret.x;
  info->y = caret.y;
  info->width = caret.hwnd ? caret.width : 0;
  info->height = caret.hwnd ? caret.height : 0;
  info->hideCount = caret.hwnd ? caret.hideCount : 0;
  info->blinkOn = caret.hwnd && caret.hideCount == 0 && blinkPhaseOn();
  return caret.hwnd != nullptr;
}
