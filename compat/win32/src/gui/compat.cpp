// The stand-in's test and demo hooks: display choice, clock, input injection and pumping.
#include "winsys_internal.h"

#include <cstdlib>
#include <cstring>

using namespace rkwin;

namespace rkwin {
int displayKind = COMPAT_DISPLAY_AUTO;
bool x11Start();
bool x11Running();

void processPendingDisplay() {
  if (x11Active()) x11Pending();
}

void presentAll() {
  if (!x11Active()) return;
  for (Wnd* t : st().topLevels) {
    if (!isVisibleTree(t)) continue;
    // The caret blinks: show the surface again when its phase or place changed.
    RECT r = {0, 0, 0, 0};
    bool caret = caretRectOnSurface(t, &r);
    if (caret != t->caretDrawn || (caret && memcmp(&r, &t->caretDrawnAt, sizeof(r)) != 0)) t->dirty = true;
    if (t->dirty) {
      x11Present(t);
      t->caretDrawn = caret;
      t->caretDrawnAt = r;
    }
  }
}

bool x11Active() {
  if (displayKind == COMPAT_DISPLAY_AUTO) compat_display_kind();
  return displayKind == COMPAT_DISPLAY_X11 && x11Running();
}
}  // namespace rkwin

int compat_display_select(int kind) {
  if (kind == COMPAT_DISPLAY_AUTO) return compat_display_kind();
  // The display can change only while no window exists.
  if (displayKind != COMPAT_DISPLAY_AUTO && !st().windows.empty()) return displayKind;
  if (kind == COMPAT_DISPLAY_X11) {
    if (!x11Start()) kind = COMPAT_DISPLAY_HEADLESS;
  } else {
    x11Shutdown();
  }
  displayKind = kind;
  return displayKind;
}

int compat_display_kind(void) {
  if (displayKind == COMPAT_DISPLAY_AUTO) {
    const char* d = getenv("DISPLAY");
    const char* choice = getenv("RKWIN_DISPLAY");
    bool headless = choice && strcmp(choice, "headless") == 0;
    displayKind = (!headless && d && *d && x11Start()) ? COMPAT_DISPLAY_X11 : COMPAT_DISPLAY_HEADLESS;
  }
  return displayKind;
}

void compat_set_screen_size(int width, int height) {
  if (x11Active()) return;
  st().screenW = width;
  st().screenH = height;
}

void compat_clock_set_virtual(BOOL on) {
  auto& s = st();
  if (on && !s.virtualClock) s.virtualNow = now();
  s.virtualClock = on != FALSE;
}

DWORD compat_clock_now(void) { return now(); }

int compat_pump(void) {
  int n = 0;
  MSG m;
  while (n < 100000 && PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (m.message == WM_QUIT) {
      // Leave the quit for the loop that waits for it.
      st().posted.push_front(m);
      break;
    }
    TranslateMessage(&m);
    DispatchMessageA(&m);
    ++n;
  }
  return n;
}

void compat_advance(DWORD ms) {
  auto& s = st();
  if (!s.virtualClock) compat_clock_set_virtual(TRUE);
  DWORD end = s.virtualNow + ms;
  compat_pump();
  for (;;) {
    int due = nextDue();
    long left = long(int32_t(end - s.virtualNow));
    if (left <= 0) break;
    DWORD step = (due < 0 || due > left) ? DWORD(left) : DWORD(due == 0 ? 1 : due);
    advanceVirtual(step);
    compat_pump();
  }
  compat_pump();
}

static POINT toScreen(HWND h, int x, int y) {
  POINT p = {x, y};
  if (h) ClientToScreen(h, &p);
  return p;
}

void compat_mouse_move(HWND h, int x, int y) {
  InputEvent e = {};
  e.kind = InputKind::Mouse;
  e.screen = toScreen(h, x, y);
  e.time = now();
  st().input.push_back(e);
}

void compat_mouse_button(HWND h, int x, int y, int button, BOOL down) {
  InputEvent e = {};
  e.kind = InputKind::Mouse;
  e.screen = toScreen(h, x, y);
  e.button = button;
  e.down = down != FALSE;
  e.time = now();
  st().input.push_back(e);
}

void compat_click(HWND h, int x, int y) {
  compat_mouse_move(h, x, y);
  compat_mouse_button(h, x, y, 1, TRUE);
  compat_mouse_button(h, x, y, 1, FALSE);
}

void compat_key(UINT vk, BOOL down, const char* text) {
  InputEvent e = {};
  e.kind = InputKind::Key;
  e.vk = vk;
  e.down = down != FALSE;
  e.hasText = text != nullptr;
  if (text) e.text = text;
  e.time = now();
  st().input.push_back(e);
}

void compat_input_text_utf8(const char* utf8) {
  if (!utf8) return;
  std::string ansi = utf8ToAnsi(utf8);
  auto& s = st();
  HWND target = s.focus ? s.focus : s.active;
  if (!target) return;
  for (unsigned char c : ansi) postMsg(target, WM_CHAR, c, 1);
}

void compat_set_key_state(UINT vk, BOOL down) {
  BYTE& k = st().keys[vk & 0xFF];
  if (down)
    k |= 0x80;
  else
    k &= 0x7F;
}

unsigned long compat_x11_window(HWND h) {
  Wnd* w = wndQuiet(h);
  return w ? topLevelOf(w)->xwindow : 0;
}

void compat_reset_windows(void) {
  auto& s = st();
  std::vector<HWND> tops;
  for (Wnd* t : s.topLevels) tops.push_back(t->handle);
  for (HWND h : tops)
    if (wndQuiet(h)) DestroyWindow(h);
  s.posted.clear();
  s.input.clear();
  s.cooked.clear();
  s.timers.clear();
  s.focus = s.active = s.capture = nullptr;
  s.trackWnd = nullptr;
  s.trackFlags = 0;
  s.lastClickWnd = nullptr;
  memset(s.keys, 0, sizeof(s.keys));
  DestroyCaret();
  clipboardReset();
  collectGarbage();
}
