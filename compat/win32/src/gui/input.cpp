// Input: routing mouse and key input to windows (capture, hit-testing, activation, double
// clicks, mouse tracking), focus, capture, key state and key translation.
#include "winsys_internal.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace rkwin {

static WPARAM mouseKeys() {
  auto& s = st();
  WPARAM mk = 0;
  if (s.keys[VK_LBUTTON] & 0x80) mk |= MK_LBUTTON;
  if (s.keys[VK_RBUTTON] & 0x80) mk |= MK_RBUTTON;
  if (s.keys[VK_MBUTTON] & 0x80) mk |= MK_MBUTTON;
  if (s.keys[VK_SHIFT] & 0x80) mk |= MK_SHIFT;
  if (s.keys[VK_CONTROL] & 0x80) mk |= MK_CONTROL;
  return mk;
}

static bool inWindow(Wnd* w, POINT screen) {
  POINT o = clientOriginOnScreen(w);
  int x = screen.x - o.x, y = screen.y - o.y;
  if (x < 0 || y < 0 || x >= w->rect.right - w->rect.left || y >= w->rect.bottom - w->rect.top) return false;
  if (w->region && !regionContains(w->region, x, y)) return false;
  return true;
}

static Wnd* childAt(Wnd* w, POINT screen) {
  for (Wnd* c : w->children) {
    if (!(c->style & WS_VISIBLE) || !inWindow(c, screen)) continue;
    if (c->style & WS_DISABLED) return w;  // input over a disabled child goes to its parent
    return childAt(c, screen);
  }
  return w;
}

// The window under a screen point, ignoring capture; null over the bare desktop.
static Wnd* hitTest(POINT screen) {
  for (Wnd* t : st().topLevels) {
    if (!isVisibleTree(t) || !inWindow(t, screen)) continue;
    return childAt(t, screen);
  }
  return nullptr;
}

void keepOwnedAbove(Wnd* t) {
  auto& v = st().topLevels;
  std::vector<Wnd*> owned;
  for (Wnd* a : v)
    if (a->owner == t) owned.push_back(a);
  for (Wnd* o : owned) {
    auto op = std::find(v.begin(), v.end(), o);
    auto tp = std::find(v.begin(), v.end(), t);
    if (op > tp) {
      v.erase(op);
      v.insert(std::find(v.begin(), v.end(), t), o);
    }
  }
}

void raiseInternal(Wnd* t) {
  auto& v = st().topLevels;
  auto band = [](Wnd* a) { return (a->exStyle & WS_EX_TOPMOST) != 0; };
  v.erase(std::remove(v.begin(), v.end(), t), v.end());
  auto it = band(t) ? v.begin() : std::find_if(v.begin(), v.end(), [&](Wnd* a) { return !band(a); });
  v.insert(it, t);
  keepOwnedAbove(t);
  x11Restack();
}

void activate(Wnd* w, int how) {
  auto& s = st();
  HWND newH = w ? w->handle : nullptr;
  HWND old = s.active;
  if (old == newH) return;
  if (Wnd* ow = wndQuiet(old)) {
    send(old, WM_NCACTIVATE, FALSE, 0);
    if ((ow = wndQuiet(old)))
      send(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, (ow->style & WS_MINIMIZE) ? 1 : 0), LPARAM(newH));
  }
  s.active = newH;
  if (s.focus) {
    Wnd* f = wndQuiet(s.focus);
    if (f && (!w || topLevelOf(f) != w)) SetFocus(nullptr);
  }
  if (!w || !wndQuiet(newH)) {
    if (!w && old && wndQuiet(old)) send(old, WM_ACTIVATEAPP, FALSE, 0);
    return;
  }
  raiseInternal(w);
  if (!old) send(newH, WM_ACTIVATEAPP, TRUE, 0);
  if (!(w = wndQuiet(newH))) return;
  send(newH, WM_NCACTIVATE, TRUE, 0);
  if (!(w = wndQuiet(newH))) return;
  send(newH, WM_ACTIVATE, MAKEWPARAM(how, (w->style & WS_MINIMIZE) ? 1 : 0), LPARAM(old));
}

void focusLostWithin(Wnd* w, HWND moveTo) {
  auto& s = st();
  Wnd* f = wndQuiet(s.focus);
  if (!f || !isAncestorOrSelf(w, f)) return;
  Wnd* m = wndQuiet(moveTo);
  SetFocus(m && !m->destroying ? moveTo : nullptr);
}

static std::map<DWORD, std::string>& keyTexts() {
  static std::map<DWORD, std::string> m;
  return m;
}
static DWORD nextKeySerial = 1;

void cookInput(const InputEvent& e) {
  auto& s = st();
  if (e.kind == InputKind::Mouse) {
    UINT vkb = e.button == 1 ? VK_LBUTTON : e.button == 2 ? VK_RBUTTON : VK_MBUTTON;
    if (e.button) {
      if (e.down)
        s.keys[vkb] |= 0x80;
      else
        s.keys[vkb] &= 0x7F;
    }
    POINT pt = e.screen;
    bool moved = pt.x != s.cursorPos.x || pt.y != s.cursorPos.y;
    s.cursorPos = pt;
    Wnd* under = hitTest(pt);
    // Tracking: leave when the pointer is no longer over the tracked window itself.
    if (s.trackWnd && (s.trackFlags & TME_LEAVE) && (!under || under->handle != s.trackWnd)) {
      HWND t = s.trackWnd;
      s.trackWnd = nullptr;
      s.trackFlags = 0;
      postMsg(t, WM_MOUSELEAVE, 0, 0);
    }
    // Hover waits only while the pointer stays over the tracked window.
    if (s.trackWnd && (!under || under->handle != s.trackWnd)) s.trackFlags &= ~DWORD(TME_HOVER);
    if (s.trackWnd && !s.trackFlags) s.trackWnd = nullptr;
    if (std::abs(pt.x - s.hoverPos.x) > 2 || std::abs(pt.y - s.hoverPos.y) > 2) {
      s.hoverPos = pt;
      s.hoverStart = e.time;
    }
    Wnd* target = s.capture ? wndQuiet(s.capture) : under;
    if (!target) return;
    if (!s.capture && (topLevelOf(target)->style & WS_DISABLED)) return;
    if (!e.button && !moved && !s.capture) {
      // a move to the same place still reaches the window
    }
    HWND th = target->handle;
    UINT msg = WM_MOUSEMOVE;
    if (e.button == 1)
      msg = e.down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
    else if (e.button == 2)
      msg = e.down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
    else if (e.button == 3)
      msg = e.down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
    LRESULT ht = HTCLIENT;
    if (!s.capture) {
      ht = send(th, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y));
      if (!wndQuiet(th)) return;
    }
    if (e.button && e.down) {
      // double click: same window, same button, within the time and 4 x 4 pixels
      bool dbl = (target->cls->style & CS_DBLCLKS) && s.lastClickWnd == th && s.lastClickButton == e.button &&
                 !s.lastWasDouble && int32_t(e.time - s.lastClickTime) <= int32_t(GetDoubleClickTime()) &&
                 std::abs(pt.x - s.lastClickPos.x) <= 2 && std::abs(pt.y - s.lastClickPos.y) <= 2;
      s.lastClickWnd = th;
      s.lastClickButton = e.button;
      s.lastClickTime = e.time;
      s.lastClickPos = pt;
      s.lastWasDouble = dbl;
      if (dbl) msg += 2;
      if (!s.capture && s.active != th) {
        Wnd* top = topLevelOf(target);
        LRESULT ma = send(th, WM_MOUSEACTIVATE, WPARAM(top->handle), MAKELPARAM(WORD(ht), msg));
        if (!wndQuiet(th)) return;
        if (ma == 0) ma = MA_ACTIVATE;
        if ((ma == MA_ACTIVATE || ma == MA_ACTIVATEANDEAT) && s.active != top->handle) {
          activate(top, WA_CLICKACTIVE);
          if (!wndQuiet(th)) return;
        }
        if (ma == MA_ACTIVATEANDEAT || ma == MA_NOACTIVATEANDEAT) return;
      }
    }
    if (!s.capture) {
      send(th, WM_SETCURSOR, WPARAM(th), MAKELPARAM(WORD(ht), msg));
      if (!(target = wndQuiet(th))) return;
    }
    POINT o = clientOriginOnScreen(target);
    MSG m = {};
    m.hwnd = th;
    m.message = msg;
    m.wParam = mouseKeys();
    m.lParam = MAKELPARAM(pt.x - o.x, pt.y - o.y);
    m.time = e.time;
    m.pt = pt;
    s.cooked.push_back(m);
    return;
  }
  // keys
  UINT vk = e.vk & 0xFF;
  bool wasDown = (s.keys[vk] & 0x80) != 0;
  if (e.down) {
    s.keys[vk] |= 0x80;
    if (!wasDown) s.keys[vk] ^= 0x01;
  } else {
    s.keys[vk] &= 0x7F;
  }
  bool alt = (s.keys[VK_MENU] & 0x80) != 0;
  HWND target = s.focus;
  bool sys = alt || vk == VK_MENU || vk == VK_F1 + 9;
  if (!target) {
    target = s.active;
    sys = true;
  }
  if (!target || !wndQuiet(target)) return;
  LPARAM lp = 1 | (LPARAM(MapVirtualKeyScan(vk)) << 16);
  if (alt) lp |= LPARAM(1) << 29;
  if (e.down && wasDown) lp |= LPARAM(1) << 30;
  if (!e.down) lp |= (LPARAM(1) << 30) | (LPARAM(1) << 31);
  MSG m = {};
  m.hwnd = target;
  m.message = e.down ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
  m.wParam = vk;
  m.lParam = LPARAM(DWORD(lp));
  m.time = e.time;
  m.pt = s.cursorPos;
  if (e.down && e.hasText) {
    m.lPrivate = nextKeySerial++;
    auto& kt = keyTexts();
    kt[m.lPrivate] = e.text;
    while (kt.size() > 64) kt.erase(kt.begin());
  }
  s.cooked.push_back(m);
}

UINT MapVirtualKeyScan(UINT vk) {
  // Scan codes of a PC keyboard for the keys that have a fixed position.
  static const char* row1 = "QWERTYUIOP";
  static const char* row2 = "ASDFGHJKL";
  static const char* row3 = "ZXCVBNM";
  if (vk >= '1' && vk <= '9') return 2 + (vk - '1');
  if (vk == '0') return 11;
  for (int i = 0; row1[i]; ++i)
    if (UINT(row1[i]) == vk) return UINT(16 + i);
  for (int i = 0; row2[i]; ++i)
    if (UINT(row2[i]) == vk) return UINT(30 + i);
  for (int i = 0; row3[i]; ++i)
    if (UINT(row3[i]) == vk) return UINT(44 + i);
  switch (vk) {
    case VK_ESCAPE:
      return 1;
    case VK_BACK:
      return 14;
    case VK_TAB:
      return 15;
    case VK_RETURN:
      return 28;
    case VK_CONTROL:
      return 29;
    case VK_SHIFT:
      return 42;
    case VK_MENU:
      return 56;
    case VK_SPACE:
      return 57;
    default:
      return 0;
  }
}

// The characters a key press gives on a US keyboard, from the key and the shift state.
static std::string charsOfKey(UINT vk) {
  auto& s = st();
  bool shift = (s.keys[VK_SHIFT] & 0x80) != 0;
  bool ctrl = (s.keys[VK_CONTROL] & 0x80) != 0;
  bool caps = (s.keys[VK_CAPITAL] & 0x01) != 0;
  if (vk >= 'A' && vk <= 'Z') {
    if (ctrl) return std::string(1, char(vk - 'A' + 1));
    bool upper = shift != caps;
    return std::string(1, char(upper ? vk : vk + 32));
  }
  if (ctrl) {
    if (vk == VK_RETURN) return "\n";
    if (vk == VK_BACK) return "\x7f";
    if (vk == VK_SPACE) return " ";
    if (vk == VK_ESCAPE) return "\x1b";
    return "";
  }
  if (vk >= '0' && vk <= '9') {
    static const char* shifted = ")!@#$%^&*(";
    return std::string(1, shift ? shifted[vk - '0'] : char(vk));
  }
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return std::string(1, char('0' + (vk - VK_NUMPAD0)));
  switch (vk) {
    case VK_BACK:
      return "\b";
    case VK_TAB:
      return "\t";
    case VK_RETURN:
      return "\r";
    case VK_ESCAPE:
      return "\x1b";
    case VK_SPACE:
      return " ";
    case VK_MULTIPLY:
      return "*";
    case VK_ADD:
      return "+";
    case VK_SUBTRACT:
      return "-";
    case VK_DECIMAL:
      return ".";
    case VK_DIVIDE:
      return "/";
    case VK_OEM_1:
      return shift ? ":" : ";";
    case VK_OEM_PLUS:
      return shift ? "+" : "=";
    case VK_OEM_COMMA:
      return shift ? "<" : ",";
    case VK_OEM_MINUS:
      return shift ? "_" : "-";
    case VK_OEM_PERIOD:
      return shift ? ">" : ".";
    case VK_OEM_2:
      return shift ? "?" : "/";
    case VK_OEM_3:
      return shift ? "~" : "`";
    case VK_OEM_4:
      return shift ? "{" : "[";
    case VK_OEM_5:
      return shift ? "|" : "\\";
    case VK_OEM_6:
      return shift ? "}" : "]";
    case VK_OEM_7:
      return shift ? "\"" : "'";
    default:
      return "";
  }
}

}  // namespace rkwin

using namespace rkwin;

BOOL WINAPI TranslateMessage(const MSG* msg) {
  if (!msg) return FALSE;
  if (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN) {
    return msg->message == WM_KEYUP || msg->message == WM_SYSKEYUP;
  }
  std::string text;
  auto& kt = keyTexts();
  auto it = msg->lPrivate ? kt.find(msg->lPrivate) : kt.end();
  if (it != kt.end())
    text = it->second;
  else
    text = charsOfKey(UINT(msg->wParam));
  UINT cm = msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
  for (unsigned char c : text) postMsg(msg->hwnd, cm, c, msg->lParam);
  return TRUE;
}

HWND WINAPI SetFocus(HWND h) {
  auto& s = st();
  HWND old = s.focus;
  if (!h) {
    if (!old) return nullptr;
    s.focus = nullptr;
    if (wndQuiet(old)) send(old, WM_KILLFOCUS, 0, 0);
    return old;
  }
  Wnd* w = wnd(h);
  if (!w) return nullptr;
  if (old == h) return old;
  Wnd* top = topLevelOf(w);
  if (s.active != top->handle) {
    activate(top, WA_ACTIVE);
    if (!wndQuiet(h)) return nullptr;
    if (s.focus == h) return old;
    old = s.focus;
  }
  if (old && wndQuiet(old)) {
    send(old, WM_KILLFOCUS, WPARAM(h), 0);
    if (!wndQuiet(h)) return old;
  }
  s.focus = h;
  send(h, WM_SETFOCUS, WPARAM(old), 0);
  return old;
}

HWND WINAPI GetFocus(void) { return st().focus; }

HWND WINAPI SetActiveWindow(HWND h) {
  auto& s = st();
  Wnd* w = wnd(h);
  if (!w) return nullptr;
  if (w->style & WS_CHILD) return nullptr;
  HWND old = s.active;
  activate(w, WA_ACTIVE);
  return old;
}

HWND WINAPI GetActiveWindow(void) { return st().active; }
HWND WINAPI GetForegroundWindow(void) { return st().active; }
BOOL WINAPI SetForegroundWindow(HWND h) {
  Wnd* w = wnd(h);
  if (!w) return FALSE;
  activate(topLevelOf(w), WA_ACTIVE);
  return TRUE;
}

HWND WINAPI SetCapture(HWND h) {
  auto& s = st();
  HWND old = s.capture;
  if (h && !wnd(h)) return nullptr;
  s.capture = h;
  if (old && old != h && wndQuiet(old)) send(old, WM_CAPTURECHANGED, 0, LPARAM(h));
  return old;
}

BOOL WINAPI ReleaseCapture(void) {
  auto& s = st();
  HWND old = s.capture;
  if (!old) return TRUE;
  s.capture = nullptr;
  if (wndQuiet(old)) send(old, WM_CAPTURECHANGED, 0, 0);
  return TRUE;
}

HWND WINAPI GetCapture(void) { return st().capture; }

SHORT WINAPI GetKeyState(int vk) {
  BYTE b = st().keys[vk & 0xFF];
  return SHORT(((b & 0x80) ? 0x8000 : 0) | (b & 0x01));
}

SHORT WINAPI GetAsyncKeyState(int vk) { return (st().keys[vk & 0xFF] & 0x80) ? SHORT(0x8000) : SHORT(0); }

BOOL WINAPI TrackMouseEvent(LPTRACKMOUSEEVENT tme) {
  auto& s = st();
  if (!tme || tme->cbSize != sizeof(TRACKMOUSEEVENT)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (tme->dwFlags & TME_QUERY) {
    tme->dwFlags = s.trackWnd ? s.trackFlags : 0;
    tme->hwndTrack = s.trackWnd;
    tme->dwHoverTime = s.hoverTime;
    return TRUE;
  }
  Wnd* w = wnd(tme->hwndTrack);
  if (!w) return FALSE;
  if (tme->dwFlags & TME_CANCEL) {
    if (s.trackWnd == tme->hwndTrack) {
      s.trackFlags &= ~(tme->dwFlags & (TME_HOVER | TME_LEAVE));
      if (!s.trackFlags) s.trackWnd = nullptr;
    }
    return TRUE;
  }
  Wnd* under = hitTest(s.cursorPos);
  if (under != w) {
    // Already outside: the leave comes at once.
    if (tme->dwFlags & TME_LEAVE) postMsg(tme->hwndTrack, WM_MOUSELEAVE, 0, 0);
    return TRUE;
  }
  if (s.trackWnd != tme->hwndTrack) s.trackFlags = 0;
  s.trackWnd = tme->hwndTrack;
  s.trackFlags |= tme->dwFlags & (TME_HOVER | TME_LEAVE);
  if (tme->dwFlags & TME_HOVER) {
    s.hoverTime = (tme->dwHoverTime == HOVER_DEFAULT || tme->dwHoverTime == 0) ? 400 : tme->dwHoverTime;
    s.hoverStart = now();
    s.hoverPos = s.cursorPos;
  }
  return TRUE;
}

BOOL WINAPI GetCursorPos(LPPOINT p) {
  if (!p) return FALSE;
  *p = st().cursorPos;
  return TRUE;
}

UINT WINAPI GetDoubleClickTime(void) { return 500; }

HWND WINAPI WindowFromPoint(POINT p) {
  Wnd* w = hitTest(p);
  return w ? w->handle : nullptr;
}
