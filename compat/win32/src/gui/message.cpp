// The thread's message queue: sending, posting, fetching in Windows' priority order (posted
// messages, then input, then paint, then timers), dispatching, timers, painting and the
// default window procedure.
#include "winsys_internal.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <unistd.h>

namespace rkwin {

struct CompatMessageSpyHolder {
  CompatMessageSpy spy = nullptr;
  void* context = nullptr;
  CompatIdleHook idle = nullptr;
  void* idleContext = nullptr;
};
static CompatMessageSpyHolder* spyHolder() {
  static CompatMessageSpyHolder h;
  return &h;
}

DWORD now() {
  auto& s = st();
  if (s.virtualClock) return s.virtualNow;
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return DWORD(uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u);
}

LRESULT callProc(Wnd* w, UINT msg, WPARAM wp, LPARAM lp) {
  auto& s = st();
  HWND h = w->handle;
  WNDPROC proc = w->proc;
  if (spyHolder()->spy) spyHolder()->spy(spyHolder()->context, h, msg, wp, lp);
  if (inputScriptWatching) inputScriptObserve();
  s.depth++;
  LRESULT r = proc ? proc(h, msg, wp, lp) : DefWindowProcA(h, msg, wp, lp);
  s.depth--;
  return r;
}

void postMsg(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  MSG m = {};
  m.hwnd = h;
  m.message = msg;
  m.wParam = wp;
  m.lParam = lp;
  m.time = now();
  m.pt = st().cursorPos;
  st().posted.push_back(m);
}

void purgeWindow(Wnd* w) {
  auto& s = st();
  HWND h = w->handle;
  s.posted.erase(std::remove_if(s.posted.begin(), s.posted.end(), [h](const MSG& m) { return m.hwnd == h; }),
                 s.posted.end());
  s.cooked.erase(std::remove_if(s.cooked.begin(), s.cooked.end(), [h](const MSG& m) { return m.hwnd == h; }),
                 s.cooked.end());
  s.timers.erase(std::remove_if(s.timers.begin(), s.timers.end(), [h](const Timer& t) { return t.hwnd == h; }),
                 s.timers.end());
  if (s.focus == h) s.focus = nullptr;
  if (s.active == h) s.active = nullptr;
  if (s.capture == h) s.capture = nullptr;
  if (s.trackWnd == h) s.trackWnd = nullptr;
  if (s.lastClickWnd == h) s.lastClickWnd = nullptr;
  caretWindowGone(h);
}

static bool matches(const MSG& m, HWND filter, UINT fmin, UINT fmax) {
  if (fmin || fmax) {
    if (m.message < fmin || m.message > fmax) {
      if (!(m.message == WM_QUIT)) return false;
    }
  }
  if (!filter) return true;
  if (filter == HWND(LONG_PTR(-1))) return m.hwnd == nullptr;
  if (m.hwnd == filter) return true;
  Wnd* p = wndQuiet(filter);
  Wnd* c = wndQuiet(m.hwnd);
  return p && c && isAncestorOrSelf(p, c);
}

static Wnd* findPaint(Wnd* w, HWND filter) {
  if (!(w->style & WS_VISIBLE) || (!w->parent && (w->style & WS_MINIMIZE))) return nullptr;
  bool ok = !filter || w->handle == filter || (wndQuiet(filter) && isAncestorOrSelf(wndQuiet(filter), w));
  if (ok && w->update.right > w->update.left && w->update.bottom > w->update.top) return w;
  for (Wnd* c : w->children)
    if (Wnd* r = findPaint(c, filter)) return r;
  return nullptr;
}

// Posts WM_MOUSEHOVER when the pointer has rested long enough in the tracked window.
static void checkHover() {
  auto& s = st();
  if (!s.trackWnd || !(s.trackFlags & TME_HOVER)) return;
  if (int32_t(now() - (s.hoverStart + s.hoverTime)) < 0) return;
  Wnd* w = wndQuiet(s.trackWnd);
  if (!w) return;
  POINT o = clientOriginOnScreen(w);
  WPARAM mk = 0;
  if (s.keys[VK_LBUTTON] & 0x80) mk |= MK_LBUTTON;
  if (s.keys[VK_RBUTTON] & 0x80) mk |= MK_RBUTTON;
  if (s.keys[VK_SHIFT] & 0x80) mk |= MK_SHIFT;
  if (s.keys[VK_CONTROL] & 0x80) mk |= MK_CONTROL;
  s.trackFlags &= ~DWORD(TME_HOVER);
  postMsg(s.trackWnd, WM_MOUSEHOVER, mk, MAKELPARAM(s.cursorPos.x - o.x, s.cursorPos.y - o.y));
}

bool fetch(MSG* out, HWND filter, UINT fmin, UINT fmax, bool remove, bool* idle) {
  auto& s = st();
  *idle = false;
  processPendingDisplay();
  checkHover();
  for (;;) {
    for (auto it = s.posted.begin(); it != s.posted.end(); ++it) {
      if (!matches(*it, filter, fmin, fmax)) continue;
      *out = *it;
      if (remove) s.posted.erase(it);
      return true;
    }
    if (!s.cooked.empty() || s.input.empty()) break;
    // Messages posted while routing (a leave of the window the pointer left) come after
    // the input message itself.
    InputEvent e = s.input.front();
    s.input.pop_front();
    cookInput(e);
    if (!s.cooked.empty()) break;
  }
  for (auto it = s.cooked.begin(); it != s.cooked.end(); ++it) {
    if (!matches(*it, filter, fmin, fmax)) continue;
    *out = *it;
    if (remove) s.cooked.erase(it);
    return true;
  }
  if (!fmin && !fmax ? true : (WM_PAINT >= fmin && WM_PAINT <= fmax)) {
    for (Wnd* t : std::vector<Wnd*>(s.topLevels)) {
      if (Wnd* p = findPaint(t, filter)) {
        *out = MSG{};
        out->hwnd = p->handle;
        out->message = WM_PAINT;
        out->time = now();
        out->pt = s.cursorPos;
        return true;
      }
    }
  }
  if (!fmin && !fmax ? true : (WM_TIMER >= fmin && WM_TIMER <= fmax)) {
    DWORD t = now();
    for (auto& tm : s.timers) {
      if (int32_t(t - tm.due) < 0) continue;
      MSG m = {};
      m.hwnd = tm.hwnd;
      m.message = WM_TIMER;
      m.wParam = tm.id;
      m.lParam = LPARAM(tm.proc);
      m.time = t;
      m.pt = s.cursorPos;
      if (!matches(m, filter, fmin, fmax)) continue;
      *out = m;
      if (remove) tm.due = t + tm.period;
      return true;
    }
  }
  *idle = true;
  return false;
}

// Milliseconds until the next timer, hover or caret blink falls due (-1: none).
int nextDue() {
  auto& s = st();
  DWORD t = now();
  long best = -1;
  auto consider = [&](DWORD due) {
    long d = long(int32_t(due - t));
    if (d < 0) d = 0;
    if (best < 0 || d < best) best = d;
  };
  for (auto& tm : s.timers) consider(tm.due);
  if (s.trackWnd && (s.trackFlags & TME_HOVER)) consider(s.hoverStart + s.hoverTime);
  DWORD blink;
  if (caretNextBlink(&blink)) consider(blink);
  return int(best);
}

void advanceVirtual(DWORD ms) {
  auto& s = st();
  s.virtualNow += ms;
  caretTick();
}

}  // namespace rkwin

using namespace rkwin;

void compat_set_message_spy(CompatMessageSpy spy, void* context) {
  spyHolder()->spy = spy;
  spyHolder()->context = context;
}

void compat_set_idle_hook(CompatIdleHook hook, void* context) {
  spyHolder()->idle = hook;
  spyHolder()->idleContext = context;
}

LRESULT WINAPI SendMessageA(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  Wnd* w = wnd(h);
  if (!w) return 0;
  return callProc(w, msg, wp, lp);
}

LRESULT WINAPI CallWindowProcA(WNDPROC proc, HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (!proc) return 0;
  return proc(h, msg, wp, lp);
}

BOOL WINAPI PostMessageA(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (h && !wnd(h)) return FALSE;
  postMsg(h, msg, wp, lp);
  return TRUE;
}

BOOL WINAPI PostThreadMessageA(DWORD, UINT msg, WPARAM wp, LPARAM lp) {
  postMsg(nullptr, msg, wp, lp);
  return TRUE;
}

void WINAPI PostQuitMessage(int exitCode) { postMsg(nullptr, WM_QUIT, WPARAM(exitCode), 0); }

BOOL WINAPI PeekMessageA(LPMSG msg, HWND hwnd, UINT fmin, UINT fmax, UINT removeMsg) {
  if (!msg) return FALSE;
  collectGarbage();
  bool idle;
  bool got = fetch(msg, hwnd, fmin, fmax, (removeMsg & PM_REMOVE) != 0, &idle);
  if (got) st().lastMessageTime = msg->time;
  if (idle) presentAll();
  return got;
}

BOOL WINAPI GetMessageA(LPMSG msg, HWND hwnd, UINT fmin, UINT fmax) {
  if (!msg) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  if (hwnd && !wnd(hwnd)) return -1;
  auto& s = st();
  if (!spyHolder()->idle) inputScriptFromEnvironment();
  int fruitless = 0;
  for (;;) {
    collectGarbage();
    bool idle;
    if (fetch(msg, hwnd, fmin, fmax, true, &idle)) {
      s.lastMessageTime = msg->time;
      return msg->message != WM_QUIT;
    }
    presentAll();
    if (spyHolder()->idle) {
      spyHolder()->idle(spyHolder()->idleContext);
      if (!s.posted.empty() || !s.input.empty() || !s.cooked.empty()) continue;
    }
    int due = nextDue();
    if (x11Active()) {
      x11Wait(due < 0 ? 1000 : due);
      continue;
    }
    if (s.virtualClock) {
      if (due < 0) {
        if (spyHolder()->idle && ++fruitless < 100000) continue;
        // Headless with nothing that could ever arrive: report failure rather than hang.
        SetLastError(ERROR_TIMEOUT);
        return -1;
      }
      advanceVirtual(DWORD(due));
      continue;
    }
    if (due < 0) {
      if (!spyHolder()->idle || ++fruitless >= 100000) {
        SetLastError(ERROR_TIMEOUT);
        return -1;
      }
      usleep(1000);
      continue;
    }
    usleep(useconds_t(std::min(due, 50)) * 1000u);
  }
}

BOOL WINAPI WaitMessage(void) {
  auto& s = st();
  MSG m;
  for (int i = 0; i < 100000; ++i) {
    bool idle;
    if (fetch(&m, nullptr, 0, 0, false, &idle)) return TRUE;
    presentAll();
    int due = nextDue();
    if (x11Active())
      x11Wait(due < 0 ? 1000 : due);
    else if (s.virtualClock) {
      if (due < 0) return FALSE;
      advanceVirtual(DWORD(due));
    } else if (due < 0)
      return FALSE;
    else
      usleep(useconds_t(std::min(due, 50)) * 1000u);
  }
  return FALSE;
}

LONG WINAPI GetMessageTime(void) { return LONG(st().lastMessageTime); }

DWORD WINAPI GetQueueStatus(UINT) {
  auto& s = st();
  return DWORD(!s.posted.empty() || !s.input.empty() || !s.cooked.empty());
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
  if (!msg) return 0;
  if (msg->message == WM_TIMER && msg->lParam) {
    auto& s = st();
    bool alive = std::any_of(s.timers.begin(), s.timers.end(), [&](const Timer& t) {
      return t.hwnd == msg->hwnd && t.id == msg->wParam && LPARAM(t.proc) == msg->lParam;
    });
    if (!alive) return 0;
    TIMERPROC proc = TIMERPROC(msg->lParam);
    proc(msg->hwnd, WM_TIMER, msg->wParam, msg->time);
    return 0;
  }
  if (!msg->hwnd) return 0;  // thread messages go nowhere
  Wnd* w = wndQuiet(msg->hwnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return callProc(w, msg->message, msg->wParam, msg->lParam);
}

UINT_PTR WINAPI SetTimer(HWND h, UINT_PTR id, UINT elapse, TIMERPROC proc) {
  auto& s = st();
  if (h && !wnd(h)) return 0;
  if (elapse < USER_TIMER_MINIMUM) elapse = USER_TIMER_MINIMUM;
  if (elapse > USER_TIMER_MAXIMUM) elapse = USER_TIMER_MAXIMUM;
  if (!h) {
    bool replace =
        id && std::any_of(s.timers.begin(), s.timers.end(), [&](const Timer& t) { return !t.hwnd && t.id == id; });
    if (!replace) id = s.nextThreadTimer++;
  }
  for (auto& t : s.timers) {
    if (t.hwnd == h && t.id == id) {
      t.period = elapse;
      t.due = now() + elapse;
      t.proc = proc;
      return h ? (id ? id : 1) : id;
    }
  }
  s.timers.push_back(Timer{h, id, elapse, now() + elapse, proc});
  return h ? (id ? id : 1) : id;
}

BOOL WINAPI KillTimer(HWND h, UINT_PTR id) {
  auto& s = st();
  auto it = std::find_if(s.timers.begin(), s.timers.end(), [&](const Timer& t) { return t.hwnd == h && t.id == id; });
  if (it == s.timers.end()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  s.timers.erase(it);
  return TRUE;
}

namespace rkwin {
void invalidate(Wnd* w, const RECT* r, bool erase) {
  int cw = w->rect.right - w->rect.left, ch = w->rect.bottom - w->rect.top;
  RECT c = {0, 0, cw, ch};
  if (r) {
    c.left = std::max(c.left, r->left);
    c.top = std::max(c.top, r->top);
    c.right = std::min(c.right, r->right);
    c.bottom = std::min(c.bottom, r->bottom);
  }
  if (c.right <= c.left || c.bottom <= c.top) return;
  RECT& u = w->update;
  if (u.right <= u.left || u.bottom <= u.top)
    u = c;
  else {
    u.left = std::min(u.left, c.left);
    u.top = std::min(u.top, c.top);
    u.right = std::max(u.right, c.right);
    u.bottom = std::max(u.bottom, c.bottom);
  }
  if (erase) w->erase = true;
  if (!(w->style & WS_CLIPCHILDREN)) {
    for (Wnd* k : w->children) {
      if (!(k->style & WS_VISIBLE)) continue;
      RECT kr = {c.left - k->rect.left, c.top - k->rect.top, c.right - k->rect.left, c.bottom - k->rect.top};
      invalidate(k, &kr, erase);
    }
  }
}
}  // namespace rkwin

BOOL WINAPI InvalidateRect(HWND h, const RECT* rect, BOOL erase) {
  if (!h) {
    for (Wnd* t : st().topLevels) invalidate(t, nullptr, erase != 0);
    return TRUE;
  }
  Wnd* w = wnd(h);
  if (!w) return FALSE;
  invalidate(w, rect, erase != 0);
  return TRUE;
}

BOOL WINAPI ValidateRect(HWND h, const RECT* r) {
  Wnd* w = wnd(h);
  if (!w) return FALSE;
  RECT& u = w->update;
  if (!r || (r->left <= u.left && r->top <= u.top && r->right >= u.right && r->bottom >= u.bottom)) {
    u = {0, 0, 0, 0};
    w->erase = false;
  }
  return TRUE;
}

BOOL WINAPI GetUpdateRect(HWND h, LPRECT r, BOOL) {
  Wnd* w = wnd(h);
  if (!w) return FALSE;
  bool any = w->update.right > w->update.left && w->update.bottom > w->update.top;
  if (r) *r = any ? w->update : RECT{0, 0, 0, 0};
  return any;
}

BOOL WINAPI UpdateWindow(HWND h) {
  Wnd* w = wnd(h);
  if (!w) return FALSE;
  if (isVisibleTree(w) && w->update.right > w->update.left && w->update.bottom > w->update.top) send(h, WM_PAINT, 0, 0);
  return TRUE;
}

HDC WINAPI BeginPaint(HWND h, LPPAINTSTRUCT ps) {
  Wnd* w = wnd(h);
  if (!w || !ps) return nullptr;
  memset(ps, 0, sizeof(*ps));
  RECT u = w->update;
  if (u.right <= u.left || u.bottom <= u.top) u = {0, 0, 0, 0};
  HDC dc = makeWindowDC(w, &u);
  if (!dc) return nullptr;
  caretPaintHide(h, true);
  bool erase = w->erase;
  w->update = {0, 0, 0, 0};
  w->erase = false;
  ps->hdc = dc;
  ps->rcPaint = u;
  if (erase) ps->fErase = send(h, WM_ERASEBKGND, WPARAM(dc), 0) ? FALSE : TRUE;
  return dc;
}

BOOL WINAPI EndPaint(HWND h, const PAINTSTRUCT* ps) {
  if (!ps) return FALSE;
  Wnd* w = wndQuiet(h);
  if (ps->hdc) freeWindowDC(ps->hdc);
  if (w) {
    Wnd* t = topLevelOf(w);
    t->dirty = true;
  }
  caretPaintHide(h, false);
  return TRUE;
}

LRESULT WINAPI DefWindowProcA(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  Wnd* w = wndQuiet(h);
  if (!w) return 0;
  auto& s = st();
  switch (msg) {
    case WM_NCCREATE: {
      auto* cs = reinterpret_cast<CREATESTRUCTA*>(lp);
      if (cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName)) w->text = cs->lpszName;
      if (!w->parent) x11SetTitle(w);
      return TRUE;
    }
    case WM_NCCALCSIZE:
      return 0;
    case WM_NCHITTEST: {
      POINT p = {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      POINT o = clientOriginOnScreen(w);
      int x = p.x - o.x, y = p.y - o.y;
      if (x < 0 || y < 0 || x >= w->rect.right - w->rect.left || y >= w->rect.bottom - w->rect.top) return HTNOWHERE;
      if (w->region && !regionContains(w->region, x, y)) return HTNOWHERE;
      return HTCLIENT;
    }
    case WM_NCACTIVATE:
      return TRUE;
    case WM_SETTEXT:
      w->text = lp ? reinterpret_cast<const char*>(lp) : "";
      if (!w->parent) x11SetTitle(w);
      return TRUE;
    case WM_GETTEXT: {
      if (!lp || wp == 0) return 0;
      size_t n = std::min(w->text.size(), size_t(wp) - 1);
      memcpy(reinterpret_cast<char*>(lp), w->text.data(), n);
      reinterpret_cast<char*>(lp)[n] = 0;
      return LRESULT(n);
    }
    case WM_GETTEXTLENGTH:
      return LRESULT(w->text.size());
    case WM_CLOSE:
      DestroyWindow(h);
      return 0;
    case WM_SYSCOMMAND:
      switch (wp & 0xFFF0) {
        case SC_CLOSE:
          SendMessageA(h, WM_CLOSE, 0, 0);
          break;
        case SC_MINIMIZE:
          ShowWindow(h, SW_MINIMIZE);
          break;
        case SC_MAXIMIZE:
          ShowWindow(h, SW_MAXIMIZE);
          break;
        case SC_RESTORE:
          ShowWindow(h, SW_RESTORE);
          break;
        default:
          break;
      }
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      if (BeginPaint(h, &ps)) EndPaint(h, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return eraseWithClassBrush(w, HDC(wp)) ? 1 : 0;
    case WM_WINDOWPOSCHANGED: {
      auto* p = reinterpret_cast<WINDOWPOS*>(lp);
      if (!p) return 0;
      if (!(p->flags & SWP_NOCLIENTMOVE)) SendMessageA(h, WM_MOVE, 0, MAKELPARAM(w->rect.left, w->rect.top));
      if ((w = wndQuiet(h)) && !(p->flags & SWP_NOCLIENTSIZE)) {
        WPARAM kind = (w->style & WS_MAXIMIZE)   ? SIZE_MAXIMIZED
                      : (w->style & WS_MINIMIZE) ? SIZE_MINIMIZED
                                                 : SIZE_RESTORED;
        SendMessageA(h, WM_SIZE, kind, MAKELPARAM(w->rect.right - w->rect.left, w->rect.bottom - w->rect.top));
      }
      return 0;
    }
    case WM_SETCURSOR: {
      if (w->parent && (w->style & WS_CHILD)) {
        if (SendMessageA(w->parent->handle, WM_SETCURSOR, wp, lp)) return TRUE;
        if (!(w = wndQuiet(h))) return FALSE;
      }
      // Only the window under the pointer sets its class cursor; a parent asked on behalf
      // of a child leaves the choice to the child.
      if (LOWORD(lp) == HTCLIENT && HWND(wp) == h) {
        SetCursor(w->cls->cursor);
        return TRUE;
      }
      return FALSE;
    }
    case WM_MOUSEACTIVATE:
      if (w->parent && (w->style & WS_CHILD)) {
        LRESULT r = SendMessageA(w->parent->handle, WM_MOUSEACTIVATE, wp, lp);
        if (r) return r;
      }
      return MA_ACTIVATE;
    case WM_ACTIVATE:
      if (LOWORD(wp) != WA_INACTIVE && !HIWORD(wp)) SetFocus(h);
      return 0;
    case WM_CANCELMODE:
      if (s.capture == h) ReleaseCapture();
      return 0;
    case WM_RBUTTONUP: {
      POINT p = {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      ClientToScreen(h, &p);
      SendMessageA(h, WM_CONTEXTMENU, WPARAM(h), MAKELPARAM(p.x, p.y));
      return 0;
    }
    case WM_CONTEXTMENU:
      if (w->parent && (w->style & WS_CHILD)) SendMessageA(w->parent->handle, WM_CONTEXTMENU, wp, lp);
      return 0;
    case WM_SYSKEYDOWN:
      if (wp == VK_F1 + 3 && (lp & (1 << 29))) {
        Wnd* t = topLevelOf(w);
        SendMessageA(t->handle, WM_SYSCOMMAND, SC_CLOSE, 0);
      }
      return 0;
    case WM_DROPFILES:
      DragFinish(HDROP(wp));
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    default:
      return 0;
  }
}
