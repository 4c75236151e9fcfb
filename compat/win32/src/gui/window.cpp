// Window classes, the window tree and its geometry, showing, moving, enabling and destroying.
#include "winsys_internal.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

namespace rkwin {

State& st() {
  static State* s = [] {
    State* n = new State;
    n->desktop.handle = reinterpret_cast<HWND>(uintptr_t(0x10004));
    n->desktop.style = WS_VISIBLE | WS_CLIPCHILDREN;
    return n;
  }();
  return *s;
}

Wnd* wndQuiet(HWND h) {
  auto& s = st();
  auto it = s.windows.find(h);
  if (it == s.windows.end() || it->second->dead) return nullptr;
  return it->second;
}

Wnd* wnd(HWND h) {
  Wnd* w = wndQuiet(h);
  if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return w;
}

Wnd* topLevelOf(Wnd* w) {
  while (w && w->parent) w = w->parent;
  return w;
}

bool isAncestorOrSelf(Wnd* a, Wnd* w) {
  for (; w; w = w->parent)
    if (w == a) return true;
  return false;
}

bool isVisibleTree(Wnd* w) {
  for (; w; w = w->parent) {
    if (!(w->style & WS_VISIBLE)) return false;
    if (!w->parent && (w->style & WS_MINIMIZE)) return false;
  }
  return true;
}

POINT clientOriginOnScreen(Wnd* w) {
  POINT p = {0, 0};
  for (; w; w = w->parent) {
    p.x += w->rect.left;
    p.y += w->rect.top;
  }
  return p;
}

POINT originOnSurface(Wnd* w) {
  POINT p = {0, 0};
  for (; w && w->parent; w = w->parent) {
    p.x += w->rect.left;
    p.y += w->rect.top;
  }
  return p;
}

static RECT intersect(RECT a, RECT b) {
  RECT r = {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

RECT visibleOnSurface(Wnd* w) {
  POINT o = originOnSurface(w);
  RECT r = {o.x, o.y, o.x + (w->rect.right - w->rect.left), o.y + (w->rect.bottom - w->rect.top)};
  for (Wnd* a = w->parent; a; a = a->parent) {
    POINT ao = originOnSurface(a);
    RECT ar = {ao.x, ao.y, ao.x + (a->rect.right - a->rect.left), ao.y + (a->rect.bottom - a->rect.top)};
    r = intersect(r, ar);
  }
  return r;
}

LRESULT callProc(Wnd* w, UINT msg, WPARAM wp, LPARAM lp);

LRESULT send(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  Wnd* w = wndQuiet(h);
  if (!w) return 0;
  return callProc(w, msg, wp, lp);
}

void collectGarbage() {
  auto& s = st();
  if (s.depth > 0) return;
  s.all.erase(std::remove_if(s.all.begin(), s.all.end(), [](const std::unique_ptr<Wnd>& w) { return w->dead; }),
              s.all.end());
}

static std::shared_ptr<WndClass> findClass(const char* name, HINSTANCE) {
  auto& s = st();
  if (!name) return nullptr;
  if (IS_INTRESOURCE(name)) {
    ATOM a = ATOM(uintptr_t(name));
    for (auto& c : s.classes)
      if (c->atom == a) return c;
    return nullptr;
  }
  for (auto& c : s.classes)
    if (strcasecmp(c->name.c_str(), name) == 0) return c;
  return nullptr;
}

}  // namespace rkwin

using namespace rkwin;

int WINAPI GetSystemMetrics(int index) {
  auto& s = st();
  x11ScreenSize(&s.screenW, &s.screenH);
  switch (index) {
    case SM_CXSCREEN:
      return s.screenW;
    case SM_CYSCREEN:
      return s.screenH;
    case SM_CXCURSOR:
    case SM_CYCURSOR:
      return 32;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
      return 4;
    case SM_CXDRAG:
    case SM_CYDRAG:
      return 4;
    default:
      return 0;
  }
}

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* wc) {
  if (!wc || wc->cbSize != sizeof(WNDCLASSEXA) || !wc->lpszClassName || !wc->lpfnWndProc) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (findClass(wc->lpszClassName, wc->hInstance)) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  auto c = std::make_shared<WndClass>();
  c->name = IS_INTRESOURCE(wc->lpszClassName) ? std::string() : std::string(wc->lpszClassName);
  c->style = wc->style;
  c->proc = wc->lpfnWndProc;
  c->instance = wc->hInstance;
  c->icon = wc->hIcon;
  c->iconSmall = wc->hIconSm;
  c->cursor = wc->hCursor;
  c->background = wc->hbrBackground;
  c->atom = st().nextAtom++;
  st().classes.push_back(c);
  return c->atom;
}

BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE instance) {
  auto c = findClass(className, instance);
  if (!c) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  if (c->windows > 0) {
    SetLastError(ERROR_CLASS_HAS_WINDOWS);
    return FALSE;
  }
  auto& v = st().classes;
  v.erase(std::remove(v.begin(), v.end(), c), v.end());
  return TRUE;
}

BOOL WINAPI GetClassInfoExA(HINSTANCE instance, LPCSTR className, LPWNDCLASSEXA wc) {
  auto c = findClass(className, instance);
  if (!c || !wc) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  memset(wc, 0, sizeof(*wc));
  wc->cbSize = sizeof(*wc);
  wc->style = c->style;
  wc->lpfnWndProc = c->proc;
  wc->hInstance = c->instance;
  wc->hIcon = c->icon;
  wc->hIconSm = c->iconSmall;
  wc->hCursor = c->cursor;
  wc->hbrBackground = c->background;
  wc->lpszClassName = className;
  return c->atom;
}

ULONG_PTR WINAPI GetClassLongPtrA(HWND hwnd, int index) {
  Wnd* w = wnd(hwnd);
  if (!w) return 0;
  WndClass& c = *w->cls;
  switch (index) {
    case GCLP_HCURSOR:
      return ULONG_PTR(c.cursor);
    case GCLP_HICON:
      return ULONG_PTR(c.icon);
    case GCLP_HICONSM:
      return ULONG_PTR(c.iconSmall);
    case GCLP_HBRBACKGROUND:
      return ULONG_PTR(c.background);
    case GCLP_WNDPROC:
      return ULONG_PTR(c.proc);
    case GCLP_HMODULE:
      return ULONG_PTR(c.instance);
    case GCL_STYLE:
      return c.style;
    case GCL_CBWNDEXTRA:
    case GCL_CBCLSEXTRA:
      return 0;
    default:
      SetLastError(ERROR_INVALID_INDEX);
      return 0;
  }
}

ULONG_PTR WINAPI SetClassLongPtrA(HWND hwnd, int index, LONG_PTR value) {
  Wnd* w = wnd(hwnd);
  if (!w) return 0;
  WndClass& c = *w->cls;
  ULONG_PTR old = 0;
  switch (index) {
    case GCLP_HCURSOR:
      old = ULONG_PTR(c.cursor);
      c.cursor = HCURSOR(value);
      break;
    case GCLP_HICON:
      old = ULONG_PTR(c.icon);
      c.icon = HICON(value);
      break;
    case GCLP_HICONSM:
      old = ULONG_PTR(c.iconSmall);
      c.iconSmall = HICON(value);
      break;
    case GCLP_HBRBACKGROUND:
      old = ULONG_PTR(c.background);
      c.background = HBRUSH(value);
      break;
    case GCLP_WNDPROC:
      old = ULONG_PTR(c.proc);
      c.proc = WNDPROC(value);
      break;
    case GCL_STYLE:
      old = c.style;
      c.style = UINT(value);
      break;
    default:
      SetLastError(ERROR_INVALID_INDEX);
      return 0;
  }
  return old;
}

int WINAPI GetClassNameA(HWND hwnd, LPSTR name, int maxCount) {
  Wnd* w = wnd(hwnd);
  if (!w || !name || maxCount <= 0) return 0;
  int n = std::min<int>(int(w->cls->name.size()), maxCount - 1);
  memcpy(name, w->cls->name.data(), size_t(n));
  name[n] = 0;
  return n;
}

HWND WINAPI GetDesktopWindow(void) { return st().desktop.handle; }

static Wnd* anyWnd(HWND h) {
  if (h == st().desktop.handle) {
    auto& s = st();
    x11ScreenSize(&s.screenW, &s.screenH);
    s.desktop.rect = {0, 0, s.screenW, s.screenH};
    return &s.desktop;
  }
  return wnd(h);
}

static void sendWindowPosMessages(Wnd* w, const RECT& oldRect, UINT flags);

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                            int height, HWND parentHandle, HMENU menu, HINSTANCE instance, LPVOID param) {
  auto& s = st();
  auto cls = findClass(className, instance);
  if (!cls) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  Wnd* parent = nullptr;
  if (parentHandle && parentHandle != s.desktop.handle) {
    parent = wnd(parentHandle);
    if (!parent) return nullptr;
  }
  if ((style & WS_CHILD) && !parent) {
    SetLastError(ERROR_TLW_WITH_WSCHILD);
    return nullptr;
  }
  if (!(style & (WS_CHILD | WS_POPUP))) style |= WS_CAPTION | WS_CLIPSIBLINGS;
  if (!(style & WS_CHILD)) {
    if (x == CW_USEDEFAULT) x = y = 32;
    if (width == CW_USEDEFAULT) {
      width = 640;
      height = 480;
    }
  } else {
    if (x == CW_USEDEFAULT) x = y = 0;
    if (width == CW_USEDEFAULT) width = height = 0;
  }
  if (width < 0) width = 0;
  if (height < 0) height = 0;

  auto owned = std::make_unique<Wnd>();
  Wnd* w = owned.get();
  s.all.push_back(std::move(owned));
  w->handle = reinterpret_cast<HWND>(s.nextHandle);
  s.nextHandle += 4;
  w->cls = cls;
  cls->windows++;
  w->style = style & ~WS_VISIBLE;
  w->exStyle = exStyle;
  w->proc = cls->proc;
  w->instance = instance;
  w->id = menu;
  if (style & WS_CHILD) {
    w->parent = parent;
    parent->children.push_back(w);  // new children go to the bottom of the order
  } else {
    w->owner = topLevelOf(parent);
    if (exStyle & WS_EX_TOPMOST) {
      s.topLevels.insert(s.topLevels.begin(), w);
    } else {
      auto it =
          std::find_if(s.topLevels.begin(), s.topLevels.end(), [](Wnd* t) { return !(t->exStyle & WS_EX_TOPMOST); });
      s.topLevels.insert(it, w);
    }
  }
  s.windows[w->handle] = w;
  HWND h = w->handle;

  CREATESTRUCTA cs = {};
  cs.lpCreateParams = param;
  cs.hInstance = instance;
  cs.hMenu = menu;
  cs.hwndParent = parentHandle;
  cs.x = x;
  cs.y = y;
  cs.cx = width;
  cs.cy = height;
  cs.style = LONG(style);
  cs.lpszName = windowName;
  cs.lpszClass = className;
  cs.dwExStyle = exStyle;

  if (!(style & WS_CHILD)) {
    MINMAXINFO mmi = {};
    mmi.ptMaxSize = {s.screenW, s.screenH};
    mmi.ptMaxTrackSize = {s.screenW, s.screenH};
    send(h, WM_GETMINMAXINFO, 0, LPARAM(&mmi));
    if (!wndQuiet(h)) return nullptr;
  }
  w->rect = {x, y, x + width, y + height};
  if (!(style & WS_CHILD)) {
    w->surfW = width;
    w->surfH = height;
    w->pixels.assign(size_t(width) * size_t(height), 0x00FFFFFF & GetSysColor(COLOR_WINDOW));
    if (x11Active()) x11CreateWindow(w);
  }
  if (!send(h, WM_NCCREATE, 0, LPARAM(&cs))) {
    if (wndQuiet(h)) DestroyWindow(h);
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (!wndQuiet(h)) return nullptr;
  RECT nc = w->rect;
  send(h, WM_NCCALCSIZE, FALSE, LPARAM(&nc));
  if (send(h, WM_CREATE, 0, LPARAM(&cs)) == -1) {
    if (wndQuiet(h)) DestroyWindow(h);
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (!wndQuiet(h)) return nullptr;
  send(h, WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, height));
  send(h, WM_MOVE, 0, MAKELPARAM(x, y));
  if ((style & WS_CHILD) && !(exStyle & WS_EX_NOPARENTNOTIFY)) {
    for (Wnd* a = wndQuiet(h) ? wndQuiet(h) : nullptr; a && a->parent; a = a->parent) {
      HWND ph = a->parent->handle;
      send(ph, WM_PARENTNOTIFY, MAKEWPARAM(WM_CREATE, 0), LPARAM(h));
      if (!wndQuiet(h) || !wndQuiet(ph) || (a->exStyle & WS_EX_NOPARENTNOTIFY)) break;
    }
  }
  if (!wndQuiet(h)) return nullptr;
  if (style & WS_VISIBLE) {
    int cmd = SW_SHOW;
    if (style & WS_MAXIMIZE)
      cmd = SW_MAXIMIZE;
    else if (style & WS_MINIMIZE)
      cmd = SW_MINIMIZE;
    w->style &= ~(WS_MAXIMIZE | WS_MINIMIZE);
    ShowWindow(h, cmd);
  }
  if (!wndQuiet(h)) return nullptr;
  return h;
}

static void collectOwned(Wnd* w, std::vector<HWND>& out) {
  for (Wnd* t : st().topLevels)
    if (t->owner == w && !t->dead) out.push_back(t->handle);
}

static void sendDestroyTopDown(HWND h) {
  Wnd* w = wndQuiet(h);
  if (!w) return;
  send(h, WM_DESTROY, 0, 0);
  w = wndQuiet(h);
  if (!w) return;
  std::vector<HWND> kids;
  for (Wnd* c : w->children) kids.push_back(c->handle);
  for (HWND k : kids) sendDestroyTopDown(k);
}

static void finishBottomUp(HWND h) {
  Wnd* w = wndQuiet(h);
  if (!w) return;
  std::vector<HWND> kids;
  for (Wnd* c : w->children) kids.push_back(c->handle);
  for (HWND k : kids) finishBottomUp(k);
  w = wndQuiet(h);
  if (!w) return;
  send(h, WM_NCDESTROY, 0, 0);
  w = wndQuiet(h);
  if (!w) return;
  auto& s = st();
  purgeWindow(w);
  releaseOwnDC(w);
  if (w->region) {
    destroyRegion(w->region);
    w->region = nullptr;
  }
  if (!w->parent) x11DestroyWindow(w);
  if (w->parent) {
    auto& v = w->parent->children;
    v.erase(std::remove(v.begin(), v.end(), w), v.end());
  } else {
    auto& v = s.topLevels;
    v.erase(std::remove(v.begin(), v.end(), w), v.end());
  }
  for (Wnd* t : s.topLevels)
    if (t->owner == w) t->owner = nullptr;
  for (Wnd* c : w->children) c->parent = nullptr;  // already gone; defensive
  w->children.clear();
  w->cls->windows--;
  w->dead = true;
  s.windows.erase(h);
}

// Hides a window going away or being hidden: the focus inside it moves to its parent and a
// top-level window that was active hands activation to its owner or the next visible window.
// FALSE when the window died on the way.
static bool hideAndHandOver(HWND h) {
  auto& s = st();
  Wnd* w = wndQuiet(h);
  if (!w) return false;
  if (w->style & WS_VISIBLE) {
    SetWindowPos(h, nullptr, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (!(w = wndQuiet(h))) return false;
  }
  focusLostWithin(w, w->parent ? w->parent->handle : nullptr);
  if (!(w = wndQuiet(h))) return false;
  if (!w->parent && s.active == h) {
    Wnd* next = nullptr;
    if (w->owner && isVisibleTree(w->owner)) next = w->owner;
    for (Wnd* t : s.topLevels)
      if (!next && t != w && !t->destroying && isVisibleTree(t)) next = t;
    activate(next, WA_ACTIVE);
    if (!wndQuiet(h)) return false;
  }
  return true;
}

BOOL WINAPI DestroyWindow(HWND h) {
  Wnd* w = wnd(h);
  if (!w) return FALSE;
  if (w->destroying) return TRUE;
  w->destroying = true;
  auto& s = st();
  std::vector<HWND> owned;
  collectOwned(w, owned);
  for (HWND o : owned) DestroyWindow(o);
  if (!hideAndHandOver(h) || !(w = wndQuiet(h))) return TRUE;
  if (s.capture) {
    Wnd* c = wndQuiet(s.capture);
    if (c && isAncestorOrSelf(w, c)) ReleaseCapture();
  }
  if (!(w = wndQuiet(h))) return TRUE;
  if (w->parent && !(w->exStyle & WS_EX_NOPARENTNOTIFY)) {
    for (Wnd* a = w; a && a->parent; a = a->parent) {
      send(a->parent->handle, WM_PARENTNOTIFY, MAKEWPARAM(WM_DESTROY, 0), LPARAM(h));
      if (!wndQuiet(h) || (a->exStyle & WS_EX_NOPARENTNOTIFY)) break;
    }
  }
  sendDestroyTopDown(h);
  finishBottomUp(h);
  return TRUE;
}

BOOL WINAPI IsWindow(HWND h) { return wndQuiet(h) != nullptr || h == st().desktop.handle; }
BOOL WINAPI IsWindowVisible(HWND h) {
  Wnd* w = wndQuiet(h);
  return w && isVisibleTree(w);
}
BOOL WINAPI IsWindowEnabled(HWND h) {
  Wnd* w = wndQuiet(h);
  return w && !(w->style & WS_DISABLED);
}
BOOL WINAPI IsChild(HWND parent, HWND h) {
  Wnd* p = wndQuiet(parent);
  Wnd* w = wndQuiet(h);
  return p && w && w != p && isAncestorOrSelf(p, w);
}
BOOL WINAPI IsIconic(HWND h) {
  Wnd* w = wndQuiet(h);
  return w && (w->style & WS_MINIMIZE);
}
BOOL WINAPI IsZoomed(HWND h) {
  Wnd* w = wndQuiet(h);
  return w && (w->style & WS_MAXIMIZE);
}

static void invalidateTree(Wnd* w) {
  invalidate(w, nullptr, true);
  for (Wnd* c : w->children)
    if (c->style & WS_VISIBLE) invalidateTree(c);
}

static void invalidateParentArea(Wnd* w, const RECT& r) {
  if (w->parent) invalidate(w->parent, &r, true);
}

// Raises w within its band (and its owned windows above it).
static void raise(Wnd* w, HWND after) {
  auto& s = st();
  if (w->parent) {
    auto& v = w->parent->children;
    v.erase(std::remove(v.begin(), v.end(), w), v.end());
    if (after == HWND_BOTTOM)
      v.push_back(w);
    else if (after == HWND_TOP || after == HWND_TOPMOST || after == HWND_NOTOPMOST)
      v.insert(v.begin(), w);
    else {
      Wnd* a = wndQuiet(after);
      auto it = std::find(v.begin(), v.end(), a);
      v.insert(it == v.end() ? v.begin() : it + 1, w);
    }
    return;
  }
  auto& v = s.topLevels;
  if (after == HWND_TOPMOST)
    w->exStyle |= WS_EX_TOPMOST;
  else if (after == HWND_NOTOPMOST)
    w->exStyle &= ~DWORD(WS_EX_TOPMOST);
  v.erase(std::remove(v.begin(), v.end(), w), v.end());
  auto bandStart = [&]() {
    if (w->exStyle & WS_EX_TOPMOST) return v.begin();
    return std::find_if(v.begin(), v.end(), [](Wnd* t) { return !(t->exStyle & WS_EX_TOPMOST); });
  };
  if (after == HWND_BOTTOM)
    v.push_back(w);
  else if (after == HWND_TOP || after == HWND_TOPMOST || after == HWND_NOTOPMOST)
    v.insert(bandStart(), w);
  else {
    Wnd* a = wndQuiet(after);
    auto it = std::find(v.begin(), v.end(), a);
    v.insert(it == v.end() ? bandStart() : it + 1, w);
  }
  if (after != HWND_BOTTOM) keepOwnedAbove(w);
  x11Restack();
}

static void sendWindowPosMessages(Wnd* w, const RECT& oldRect, UINT flags) {
  HWND h = w->handle;
  WINDOWPOS wp = {h,
                  nullptr,
                  int(w->rect.left),
                  int(w->rect.top),
                  int(w->rect.right - w->rect.left),
                  int(w->rect.bottom - w->rect.top),
                  flags};
  if (oldRect.left == w->rect.left && oldRect.top == w->rect.top) wp.flags |= SWP_NOCLIENTMOVE;
  if (oldRect.right - oldRect.left == w->rect.right - w->rect.left &&
      oldRect.bottom - oldRect.top == w->rect.bottom - w->rect.top)
    wp.flags |= SWP_NOCLIENTSIZE;
  send(h, WM_WINDOWPOSCHANGED, 0, LPARAM(&wp));
}

BOOL WINAPI SetWindowPos(HWND h, HWND after, int x, int y, int cx, int cy, UINT flags) {
  Wnd* w = wnd(h);
  if (!w) return FALSE;
  auto& s = st();
  if (cx < 0) cx = 0;
  if (cy < 0) cy = 0;
  RECT old = w->rect;
  bool wasVisible = (w->style & WS_VISIBLE) != 0;
  if (flags & SWP_SHOWWINDOW && wasVisible) flags &= ~UINT(SWP_SHOWWINDOW);
  if (flags & SWP_HIDEWINDOW && !wasVisible) flags &= ~UINT(SWP_HIDEWINDOW);
  WINDOWPOS wp = {h, after, x, y, cx, cy, flags};
  if (flags & SWP_NOMOVE) {
    wp.x = old.left;
    wp.y = old.top;
  }
  if (flags & SWP_NOSIZE) {
    wp.cx = old.right - old.left;
    wp.cy = old.bottom - old.top;
  }
  if (!(flags & SWP_NOSENDCHANGING)) send(h, WM_WINDOWPOSCHANGING, 0, LPARAM(&wp));
  if (!(w = wndQuiet(h))) return FALSE;
  flags = wp.flags;
  if (wp.cx < 0) wp.cx = 0;
  if (wp.cy < 0) wp.cy = 0;
  RECT nr = {wp.x, wp.y, wp.x + wp.cx, wp.y + wp.cy};
  bool moved = nr.left != old.left || nr.top != old.top;
  bool sized = (nr.right - nr.left) != (old.right - old.left) || (nr.bottom - nr.top) != (old.bottom - old.top);
  if (moved || sized || (flags & SWP_FRAMECHANGED)) {
    NCCALCSIZE_PARAMS ncp = {};
    ncp.rgrc[0] = nr;
    ncp.rgrc[1] = old;
    ncp.rgrc[2] = old;
    ncp.lppos = &wp;
    send(h, WM_NCCALCSIZE, TRUE, LPARAM(&ncp));
    if (!(w = wndQuiet(h))) return FALSE;
  }
  w->rect = nr;
  if (!(flags & SWP_NOZORDER)) raise(w, wp.hwndInsertAfter);
  if (flags & SWP_SHOWWINDOW) w->style |= WS_VISIBLE;
  if (flags & SWP_HIDEWINDOW) w->style &= ~DWORD(WS_VISIBLE);
  if (!w->parent) {
    if (sized) surfaceResize(w, nr.right - nr.left, nr.bottom - nr.top);
    if (moved || sized) x11Configure(w);
    if (flags & (SWP_SHOWWINDOW | SWP_HIDEWINDOW)) x11ShowWindow(w, (flags & SWP_SHOWWINDOW) != 0);
  }
  // Repaint: the exposed parts of the parent, and the window itself.
  bool redraw = !(flags & SWP_NOREDRAW);
  if (redraw && w->parent && wasVisible && (moved || sized || (flags & SWP_HIDEWINDOW))) invalidateParentArea(w, old);
  if (flags & SWP_SHOWWINDOW) {
    invalidateTree(w);  // everything it shows is newly exposed
  } else if (redraw && sized && (w->style & WS_VISIBLE)) {
    if (w->cls->style & (CS_HREDRAW | CS_VREDRAW))
      invalidate(w, nullptr, true);
    else {
      RECT r = {0, 0, nr.right - nr.left, nr.bottom - nr.top};
      invalidate(w, &r, true);  // bounding box: the newly exposed area lies within it
    }
  } else if (redraw && moved && w->parent && (w->style & WS_VISIBLE)) {
    invalidateTree(w);  // the pixels stay behind on the surface: paint them at the new place
  }
  if (!(flags & SWP_NOACTIVATE) && !w->parent && (w->style & WS_VISIBLE) && !(flags & SWP_HIDEWINDOW)) {
    if (s.active != h) activate(w, WA_ACTIVE);
    if (!(w = wndQuiet(h))) return FALSE;
  }
  if (flags & SWP_HIDEWINDOW) {
    if (!w->parent) x11Present(w);
  }
  sendWindowPosMessages(w, old, flags);
  return TRUE;
}

BOOL WINAPI MoveWindow(HWND h, int x, int y, int width, int height, BOOL repaint) {
  return SetWindowPos(h, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL WINAPI BringWindowToTop(HWND h) { return SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE); }

// Owned pop-ups hide with their owner's minimizing and come back with its restoring.
static void showOwnedPopups(Wnd* w, bool show) {
  std::vector<HWND> owned;
  for (Wnd* t : st().topLevels)
    if (t->owner == w) owned.push_back(t->handle);
  for (HWND o : owned) {
    Wnd* ow = wndQuiet(o);
    if (!ow) continue;
    if (!show && (ow->style & WS_VISIBLE)) {
      send(o, WM_SHOWWINDOW, FALSE, SW_PARENTCLOSING);
      if ((ow = wndQuiet(o))) {
        ow->style &= ~DWORD(WS_VISIBLE);
        ow->hiddenByOwner = true;
        x11ShowWindow(ow, false);
      }
    } else if (show && ow->hiddenByOwner) {
      ow->hiddenByOwner = false;
      send(o, WM_SHOWWINDOW, TRUE, SW_PARENTOPENING);
      if ((ow = wndQuiet(o))) {
        ow->style |= WS_VISIBLE;
        x11ShowWindow(ow, true);
        invalidate(ow, nullptr, true);
      }
    }
  }
}

BOOL WINAPI ShowWindow(HWND h, int cmd) {
  Wnd* w = wnd(h);
  if (!w) return FALSE;
  auto& s = st();
  bool wasVisible = (w->style & WS_VISIBLE) != 0;
  switch (cmd) {
    case SW_HIDE: {
      if (!wasVisible) return FALSE;
      send(h, WM_SHOWWINDOW, FALSE, 0);
      if (!wndQuiet(h)) return TRUE;
      hideAndHandOver(h);
      return TRUE;
    }
    case SW_SHOWNORMAL:
    case SW_SHOW:
    case SW_SHOWNOACTIVATE:
    case SW_SHOWNA:
    case SW_SHOWDEFAULT:
    case SW_RESTORE: {
      bool restoring = (cmd == SW_RESTORE || cmd == SW_SHOWNORMAL || cmd == SW_SHOWDEFAULT) &&
                       (w->style & (WS_MINIMIZE | WS_MAXIMIZE));
      bool noActivate = cmd == SW_SHOWNOACTIVATE || cmd == SW_SHOWNA;
      if (!wasVisible) {
        send(h, WM_SHOWWINDOW, TRUE, 0);
        if (!(w = wndQuiet(h))) return FALSE;
      }
      if (restoring) {
        bool wasMin = (w->style & WS_MINIMIZE) != 0;
        RECT r = (w->style & WS_MAXIMIZE) ? w->restoreRect : w->rect;
        w->style &= ~DWORD(WS_MINIMIZE | WS_MAXIMIZE);
        RECT old = w->rect;
        w->rect = {r.left, r.top, r.left, r.top};  // so that the size is seen as changed
        (void)old;
        SetWindowPos(
            h, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
            SWP_NOZORDER | SWP_FRAMECHANGED | (wasVisible ? 0 : SWP_SHOWWINDOW) | (noActivate ? SWP_NOACTIVATE : 0));
        if (wasMin && (w = wndQuiet(h))) showOwnedPopups(w, true);
      } else if (!wasVisible) {
        SetWindowPos(
            h, nullptr, 0, 0, 0, 0,
            SWP_SHOWWINDOW | SWP_NOSIZE | SWP_NOMOVE | (noActivate || w->parent ? SWP_NOZORDER | SWP_NOACTIVATE : 0));
      } else if (!noActivate && !w->parent && s.active != h) {
        activate(w, WA_ACTIVE);
      }
      return wasVisible;
    }
    case SW_MAXIMIZE: {
      if (!wasVisible) {
        send(h, WM_SHOWWINDOW, TRUE, 0);
        if (!(w = wndQuiet(h))) return FALSE;
      }
      if (!(w->style & WS_MAXIMIZE)) {
        if (!(w->style & WS_MINIMIZE)) w->restoreRect = w->rect;
        w->style &= ~DWORD(WS_MINIMIZE);
        w->style |= WS_MAXIMIZE;
        RECT area = {0, 0, s.screenW, s.screenH};
        if (w->parent)
          area = {0, 0, w->parent->rect.right - w->parent->rect.left, w->parent->rect.bottom - w->parent->rect.top};
        SetWindowPos(h, nullptr, area.left, area.top, area.right, area.bottom,
                     SWP_NOZORDER | SWP_FRAMECHANGED | (wasVisible ? 0 : SWP_SHOWWINDOW));
      } else if (!wasVisible) {
        SetWindowPos(h, nullptr, 0, 0, 0, 0, SWP_SHOWWINDOW | SWP_NOSIZE | SWP_NOMOVE);
      }
      return wasVisible;
    }
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE: {
      if (!wasVisible) {
        send(h, WM_SHOWWINDOW, TRUE, 0);
        if (!(w = wndQuiet(h))) return FALSE;
        w->style |= WS_VISIBLE;
      }
      if (!(w->style & WS_MINIMIZE)) {
        if (!(w->style & WS_MAXIMIZE)) w->restoreRect = w->rect;
        w->style |= WS_MINIMIZE;
        if (!w->parent) showOwnedPopups(w, false);
        if (!(w = wndQuiet(h))) return wasVisible;
        focusLostWithin(w, nullptr);
        if (!(w = wndQuiet(h))) return wasVisible;
        if (!w->parent && s.active == h) activate(nullptr, WA_INACTIVE);
        if (!(w = wndQuiet(h))) return wasVisible;
        WINDOWPOS wp = {h, nullptr, int(w->rect.left), int(w->rect.top), 0, 0, SWP_NOZORDER | SWP_FRAMECHANGED};
        send(h, WM_WINDOWPOSCHANGING, 0, LPARAM(&wp));
        if (!(w = wndQuiet(h))) return wasVisible;
        send(h, WM_WINDOWPOSCHANGED, 0, LPARAM(&wp));
        if (!(w = wndQuiet(h))) return wasVisible;
        send(h, WM_SIZE, SIZE_MINIMIZED, 0);
        if ((w = wndQuiet(h)) && !w->parent) x11ShowWindow(w, false);
      }
      return wasVisible;
    }
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
  }
}

BOOL WINAPI EnableWindow(HWND h, BOOL enable) {
  Wnd* w = wnd(h);
  if (!w) return FALSE;
  BOOL wasDisabled = (w->style & WS_DISABLED) ? TRUE : FALSE;
  if (enable && wasDisabled) {
    w->style &= ~DWORD(WS_DISABLED);
    send(h, WM_ENABLE, TRUE, 0);
  } else if (!enable && !wasDisabled) {
    auto& s = st();
    if (s.capture == h) send(h, WM_CANCELMODE, 0, 0);
    if (!(w = wndQuiet(h))) return wasDisabled;
    focusLostWithin(w, nullptr);
    if (!(w = wndQuiet(h))) return wasDisabled;
    w->style |= WS_DISABLED;
    send(h, WM_ENABLE, FALSE, 0);
  }
  return wasDisabled;
}

BOOL WINAPI GetWindowRect(HWND h, LPRECT r) {
  Wnd* w = anyWnd(h);
  if (!w || !r) return FALSE;
  POINT o = clientOriginOnScreen(w->parent);
  if (!w->parent) o = {0, 0};
  *r = {w->rect.left + o.x, w->rect.top + o.y, w->rect.right + o.x, w->rect.bottom + o.y};
  return TRUE;
}

BOOL WINAPI GetClientRect(HWND h, LPRECT r) {
  Wnd* w = anyWnd(h);
  if (!w || !r) return FALSE;
  *r = {0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
  return TRUE;
}

// Moves a point by the window's client origin on the screen, forwards (sign 1) or back (-1).
static BOOL shiftByClientOrigin(HWND h, LPPOINT p, int sign) {
  Wnd* w = anyWnd(h);
  if (!w || !p) return FALSE;
  if (w == &st().desktop) return TRUE;
  POINT o = clientOriginOnScreen(w);
  p->x += sign * o.x;
  p->y += sign * o.y;
  return TRUE;
}

BOOL WINAPI ClientToScreen(HWND h, LPPOINT p) { return shiftByClientOrigin(h, p, 1); }
BOOL WINAPI ScreenToClient(HWND h, LPPOINT p) { return shiftByClientOrigin(h, p, -1); }

int WINAPI MapWindowPoints(HWND from, HWND to, LPPOINT points, UINT count) {
  POINT a = {0, 0}, b = {0, 0};
  if (from && from != st().desktop.handle) {
    Wnd* w = wnd(from);
    if (!w) return 0;
    a = clientOriginOnScreen(w);
  }
  if (to && to != st().desktop.handle) {
    Wnd* w = wnd(to);
    if (!w) return 0;
    b = clientOriginOnScreen(w);
  }
  for (UINT i = 0; points && i < count; ++i) {
    points[i].x += a.x - b.x;
    points[i].y += a.y - b.y;
  }
  return MAKELONG(WORD(a.x - b.x), WORD(a.y - b.y));
}

HWND WINAPI GetParent(HWND h) {
  Wnd* w = wnd(h);
  if (!w) return nullptr;
  if (w->style & WS_CHILD) return w->parent ? w->parent->handle : nullptr;
  if ((w->style & WS_POPUP) && w->owner) return w->owner->handle;
  return nullptr;
}

HWND WINAPI GetAncestor(HWND h, UINT flags) {
  Wnd* w = wnd(h);
  if (!w) return nullptr;
  switch (flags) {
    case GA_PARENT:
      return w->parent ? w->parent->handle : st().desktop.handle;
    case GA_ROOT:
      return topLevelOf(w)->handle;
    case GA_ROOTOWNER: {
      Wnd* t = topLevelOf(w);
      while (t->owner) t = t->owner;
      return t->handle;
    }
    default:
      return nullptr;
  }
}

HWND WINAPI GetWindow(HWND h, UINT cmd) {
  Wnd* w = anyWnd(h);
  if (!w) return nullptr;
  auto& s = st();
  std::vector<Wnd*>* sib = nullptr;
  if (w != &s.desktop) sib = w->parent ? &w->parent->children : &s.topLevels;
  auto at = [&](long i) -> HWND {
    if (!sib || i < 0 || i >= long(sib->size())) return nullptr;
    return (*sib)[size_t(i)]->handle;
  };
  long pos = sib ? long(std::find(sib->begin(), sib->end(), w) - sib->begin()) : -1;
  switch (cmd) {
    case GW_HWNDFIRST:
      return at(0);
    case GW_HWNDLAST:
      return sib ? at(long(sib->size()) - 1) : nullptr;
    case GW_HWNDNEXT:
      return at(pos + 1);
    case GW_HWNDPREV:
      return at(pos - 1);
    case GW_OWNER:
      return w->owner ? w->owner->handle : nullptr;
    case GW_CHILD:
      if (w == &s.desktop) return s.topLevels.empty() ? nullptr : s.topLevels.front()->handle;
      return w->children.empty() ? nullptr : w->children.front()->handle;
    default:
      return nullptr;
  }
}

HWND WINAPI GetTopWindow(HWND h) { return GetWindow(h ? h : st().desktop.handle, GW_CHILD); }

LONG_PTR WINAPI GetWindowLongPtrA(HWND h, int index) {
  Wnd* w = wnd(h);
  if (!w) return 0;
  switch (index) {
    case GWLP_WNDPROC:
      return LONG_PTR(w->proc);
    case GWLP_HINSTANCE:
      return LONG_PTR(w->instance);
    case GWLP_HWNDPARENT:
      return LONG_PTR(w->parent ? w->parent->handle : (w->owner ? w->owner->handle : nullptr));
    case GWLP_ID:
      return LONG_PTR(w->id);
    case GWL_STYLE:
      return LONG_PTR(DWORD(w->style));
    case GWL_EXSTYLE:
      return LONG_PTR(DWORD(w->exStyle));
    case GWLP_USERDATA:
      return w->userData;
    default:
      SetLastError(ERROR_INVALID_INDEX);
      return 0;
  }
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND h, int index, LONG_PTR value) {
  Wnd* w = wnd(h);
  if (!w) return 0;
  LONG_PTR old = GetWindowLongPtrA(h, index);
  switch (index) {
    case GWLP_WNDPROC:
      w->proc = WNDPROC(value);
      break;
    case GWLP_HINSTANCE:
      w->instance = HINSTANCE(value);
      break;
    case GWLP_ID:
      w->id = HMENU(value);
      break;
    case GWL_STYLE:
      w->style = DWORD(value);
      break;
    case GWL_EXSTYLE:
      w->exStyle = DWORD(value);
      break;
    case GWLP_USERDATA:
      w->userData = value;
      break;
    default:
      SetLastError(ERROR_INVALID_INDEX);
      return 0;
  }
  SetLastError(0);
  return old;
}

LONG WINAPI GetWindowLongA(HWND h, int index) { return LONG(GetWindowLongPtrA(h, index)); }
LONG WINAPI SetWindowLongA(HWND h, int index, LONG value) { return LONG(SetWindowLongPtrA(h, index, value)); }

BOOL WINAPI SetWindowTextA(HWND h, LPCSTR text) {
  if (!wnd(h)) return FALSE;
  return BOOL(send(h, WM_SETTEXT, 0, LPARAM(text ? text : "")));
}

int WINAPI GetWindowTextA(HWND h, LPSTR text, int maxCount) {
  if (!wnd(h) || !text || maxCount <= 0) return 0;
  return int(send(h, WM_GETTEXT, WPARAM(maxCount), LPARAM(text)));
}

int WINAPI GetWindowTextLengthA(HWND h) {
  if (!wnd(h)) return 0;
  return int(send(h, WM_GETTEXTLENGTH, 0, 0));
}
