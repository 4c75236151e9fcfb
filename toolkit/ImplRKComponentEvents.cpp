// The window procedure of every toolkit window and the peer's message handlers: each message
// becomes an event delivered to the component listeners in insertion order, then to the owner.
#include "ImplRKComponent.h"

#include <shellapi.h>

#include <new>
#include <stdlib.h>

#include "RKComponent.h"

namespace RKSDK {

namespace {

RKPoint pointOf(LPARAM lp) { return RKPoint(int(short(LOWORD(lp))), int(short(HIWORD(lp)))); }

}  // namespace

// The walk reads each entry only while it is still inside the vector, so a listener removed
// during the walk cannot make it read past the end.
template <class Call>
int ImplRKComponent::walk(Call call, int* stoppedByListener) {
  RKObject* src = source();
  u32 count = listeners.itemCount;
  for (u32 i = 0; i < count && i < listeners.itemCount; ++i) {
    if (call(listeners.items[i], src) == 0) {
      *stoppedByListener = 1;
      return 0;
    }
  }
  *stoppedByListener = 0;
  if (!owner) return 1;
  return call(static_cast<IRKComponentListener*>(owner), src);
}

// Default processing unless the owner claims the event.
template <class Call>
LRESULT ImplRKComponent::deliverA(Call call) {
  int stopped = 0;
  int r = walk(call, &stopped);
  if (stopped) return 1;
  return r ? 0 : 1;
}

// Default processing unless a listener or the owner vetoes it with 0.
template <class Call>
LRESULT ImplRKComponent::deliverB(Call call) {
  int stopped = 0;
  int r = walk(call, &stopped);
  if (stopped) return 0;
  return r ? 1 : 0;
}

template <class Call>
int ImplRKComponent::paintAll(Call call) {
  RKObject* src = source();
  u32 count = listeners.itemCount;
  for (u32 i = 0; i < count && i < listeners.itemCount; ++i) call(listeners.items[i], src);
  if (!owner) return 0;
  return call(static_cast<IRKComponentListener*>(owner), src);
}

LRESULT CALLBACK ImplRKComponent::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!hwnd) return DefWindowProcA(hwnd, message, wParam, lParam);
  if (reinterpret_cast<WNDPROC>(GetWindowLongPtrA(hwnd, GWLP_WNDPROC)) != windowProc)
    return DefWindowProcA(hwnd, message, wParam, lParam);
  ImplRKComponent* peer = reinterpret_cast<ImplRKComponent*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!peer) return DefWindowProcA(hwnd, message, wParam, lParam);
  LRESULT r = peer->dispatchMessage(message, &wParam, &lParam);
  // The window is gone after this message: unbind it so nothing reaches the peer any more.
  if (message == WM_NCDESTROY) SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
  if (r == 1) return DefWindowProcA(hwnd, message, wParam, lParam);
  return r;
}

LRESULT ImplRKComponent::dispatchMessage(UINT m, WPARAM* wp, LPARAM* lp) {
  switch (m) {
    case WM_SETCURSOR:
      return onSetCursor(m, wp, lp);
    case WM_LBUTTONDOWN:
      return onLButtonDown(m, wp, lp);
    case WM_LBUTTONUP:
      return onLButtonUp(m, wp, lp);
    case WM_LBUTTONDBLCLK:
      return onLButtonDblClk(m, wp, lp);
    case WM_MOUSEMOVE:
      return onMouseMove(m, wp, lp);
    case WM_RBUTTONDOWN:
      return onRButtonDown(m, wp, lp);
    case WM_RBUTTONUP:
      return onRButtonUp(m, wp, lp);
    case WM_RBUTTONDBLCLK:
      return onRButtonDblClk(m, wp, lp);
    case WM_ACTIVATE:
      return onActivate(m, wp, lp);
    case WM_NCPAINT:
      return onNcPaint(m, wp, lp);
    case WM_COMMAND:
      return onCommand(m, wp, lp);
    case WM_PAINT:
      return onPaint(m, wp, lp);
    case WM_CREATE:
      return onCreate(m, wp, lp);
    case WM_DESTROY:
      return onDestroy(m, wp, lp);
    case WM_SIZE:
      return onSize(m, wp, lp);
    case WM_CLOSE:
      return onClose(m, wp, lp);
    case WM_MOVE:
      return onMove(m, wp, lp);
    case WM_KEYDOWN:
      return onKeyDown(m, wp, lp);
    case WM_KEYUP:
      return onKeyUp(m, wp, lp);
    case WM_ERASEBKGND:
      return onEraseBackground(m, wp, lp);
    case WM_SETFOCUS:
      return onSetFocus(m, wp, lp);
    case WM_KILLFOCUS:
      return onKillFocus(m, wp, lp);
    case WM_CHAR:
      return onChar(m, wp, lp);
    case WM_MOUSEACTIVATE:
      return onMouseActivate(m, wp, lp);
    case WM_TIMER:
      return onTimer(m, wp, lp);
    case WM_SHOWWINDOW:
      return onShowWindow(m, wp, lp);
    case WM_MOUSELEAVE:
      return onMouseLeave(m, wp, lp);
    case WM_MOUSEHOVER:
      return onMouseHover(m, wp, lp);
    case WM_DROPFILES:
      return onDropFiles(m, wp, lp);
    case WM_HOTKEY:
      return onHotKey(m, wp, lp);
    case WM_ACTIVATEAPP:
    case WM_PALETTECHANGED:
    case WM_PALETTEISCHANGING:
    case WM_QUERYNEWPALETTE:
    case WM_SYSCOMMAND:
    case WM_NOTIFY:
    case WM_IME_COMPOSITION:
    case WM_QUERYENDSESSION:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CAPTURECHANGED:
    case WM_WINDOWPOSCHANGING:
    case WM_WINDOWPOSCHANGED:
    case WM_MENUSELECT:
    case WM_POWERBROADCAST:
    case WM_ENABLE:
    case WM_COPYDATA:
      return ignoreMessage(m, wp, lp);
    case RK_MSG_ACTION_TO_PARENT: {
      RKPostedAction* record = reinterpret_cast<RKPostedAction*>(*wp);
      if (!record) return 0;
      RKObject* from = record->source;
      u64 parameter = record->parameter;
      delete record;
      if (owner) owner->fireAction(from, u32(*lp), parameter);
      return 0;
    }
    case RK_MSG_ACTION_TO_SELF:
      if (owner) owner->fireAction(u32(*lp), u64(*wp));
      return 0;
    default:
      return onMessage(m, wp, lp);
  }
}

LRESULT ImplRKComponent::ignoreMessage(UINT, WPARAM*, LPARAM*) { return 1; }

LRESULT ImplRKComponent::onSetCursor(UINT, WPARAM*, LPARAM*) {
  return deliverB([](IRKComponentListener* l, RKObject* s) { return l->cursorRequested(s); });
}

#define RK_MOUSE_HANDLER(handler, event)                                                    \
  LRESULT ImplRKComponent::handler(UINT, WPARAM*, LPARAM* lp) {                             \
    RKPoint p = pointOf(*lp);                                                               \
    return deliverA([&p](IRKComponentListener* l, RKObject* s) { return l->event(s, p); }); \
  }

RK_MOUSE_HANDLER(onLButtonDown, mousePressed)
RK_MOUSE_HANDLER(onLButtonUp, mouseReleased)
RK_MOUSE_HANDLER(onLButtonDblClk, mouseDoubleClicked)
RK_MOUSE_HANDLER(onRButtonDown, rightMousePressed)
RK_MOUSE_HANDLER(onRButtonUp, rightMouseReleased)
RK_MOUSE_HANDLER(onRButtonDblClk, rightMouseDoubleClicked)
RK_MOUSE_HANDLER(onMouseHover, mouseHovered)

#undef RK_MOUSE_HANDLER

LRESULT ImplRKComponent::onMouseMove(UINT m, WPARAM* wp, LPARAM* lp) {
  onMouseEnter(m, wp, lp);
  RKPoint p = pointOf(*lp);
  return deliverA([&p](IRKComponentListener* l, RKObject* s) { return l->mouseMoved(s, p); });
}

LRESULT ImplRKComponent::onMouseEnter(UINT, WPARAM*, LPARAM*) {
  if (mouseInside) return 0;
  TRACKMOUSEEVENT tme;
  tme.cbSize = sizeof(TRACKMOUSEEVENT);
  tme.dwFlags = TME_HOVER | TME_LEAVE;
  tme.hwndTrack = window;
  tme.dwHoverTime = HOVER_DEFAULT;
  TrackMouseEvent(&tme);
  mouseInside = 1;
  return deliverA([](IRKComponentListener* l, RKObject* s) { return l->mouseEntered(s); });
}

LRESULT ImplRKComponent::onMouseLeave(UINT, WPARAM*, LPARAM*) {
  mouseInside = 0;
  return deliverA([](IRKComponentListener* l, RKObject* s) { return l->mouseExited(s); });
}

LRESULT ImplRKComponent::onActivate(UINT, WPARAM* wp, LPARAM*) {
  u32 state;
  switch (LOWORD(*wp)) {
    case WA_ACTIVE:
      state = 0;
      break;
    case WA_CLICKACTIVE:
      state = 1;
      break;
    case WA_INACTIVE:
      state = 2;
      break;
    default:
      state = LOWORD(*wp);
      break;
  }
  u32 minimized = u32(int(short(HIWORD(*wp))));
  return deliverA([=](IRKComponentListener* l, RKObject* s) { return l->windowActivated(s, state, minimized); });
}

LRESULT ImplRKComponent::onCommand(UINT m, WPARAM* wp, LPARAM* lp) {
  u32 w = u32(*wp), lo = u32(*lp);
  return deliverA([=](IRKComponentListener* l, RKObject* s) { return l->commandReceived(s, m, w, lo); });
}

// BeginPaint, the paint through every listener and the owner, the copy of the update
// rectangle when the owner answered nonzero, EndPaint; frame selects the frame paint event.
LRESULT ImplRKComponent::paintWindow(bool frame) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  if (!dc) return 1;
  RKRect r(ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left, ps.rcPaint.bottom - ps.rcPaint.top);
  if (graphics) {
    IRKGraphics* g = graphics;
    int answer = paintAll(
        [&](IRKComponentListener* l, RKObject* s) { return frame ? l->paintFrame(s, r, g) : l->paint(s, r, g); });
    // The graphics may have gone while the handlers ran (the component released).
    if (answer && graphics) graphics->flush(ps.hdc, r);
  }
  EndPaint(window, &ps);
  return 1;
}

LRESULT ImplRKComponent::onPaint(UINT, WPARAM*, LPARAM*) { return paintWindow(false); }

LRESULT ImplRKComponent::onNcPaint(UINT, WPARAM*, LPARAM*) { return paintWindow(true); }

void ImplRKComponent::redraw() { redrawRect(RKRect(0, 0, size.width, size.height)); }

void ImplRKComponent::redrawRect(RKRect rect) {
  if (!graphics) return;
  IRKGraphics* g = graphics;
  paintAll([&](IRKComponentListener* l, RKObject* s) { return l->paint(s, rect, g); });
  // The painted rectangle is what goes to the window, at its own place.
  if (graphics) graphics->flushToWindow(rect.x, rect.y, rect.width, rect.height);
}

LRESULT ImplRKComponent::onCreate(UINT, WPARAM*, LPARAM*) {
  return deliverA([](IRKComponentListener* l, RKObject* s) { return l->componentCreated(s); });
}

LRESULT ImplRKComponent::onDestroy(UINT, WPARAM*, LPARAM*) {
  dropCaptureOf(window);
  LRESULT r = deliverA([](IRKComponentListener* l, RKObject* s) { return l->componentDestroyed(s); });
  freePostedActions();
  giveBackClassUse();
  window = nullptr;
  return r;
}

// Records posted to this window that will never be dispatched now: free them. A quit message
// met on the way is kept for the loop.
void ImplRKComponent::freePostedActions() {
  if (!window) return;
  MSG m;
  bool quit = false;
  MSG q = {};
  while (PeekMessageA(&m, window, RK_MSG_ACTION_TO_PARENT, RK_MSG_ACTION_TO_PARENT, PM_REMOVE)) {
    if (m.message == RK_MSG_ACTION_TO_PARENT) {
      delete reinterpret_cast<RKPostedAction*>(m.wParam);
    } else if (m.message == WM_QUIT) {
      quit = true;
      q = m;
    }
  }
  if (quit) PostMessageA(nullptr, WM_QUIT, q.wParam, q.lParam);
}

LRESULT ImplRKComponent::onSize(UINT, WPARAM* wp, LPARAM* lp) {
  u16 w = LOWORD(*lp), h = HIWORD(*lp);
  size.setSize(w, h);
  if (window) newBackBuffer();
  u32 kind;
  switch (*wp) {
    case SIZE_MAXHIDE:
      kind = 0;
      break;
    case SIZE_MAXIMIZED:
      kind = 1;
      break;
    case SIZE_MAXSHOW:
      kind = 2;
      break;
    case SIZE_MINIMIZED:
      kind = 3;
      break;
    case SIZE_RESTORED:
      kind = 4;
      break;
    default:
      kind = u32(*wp);
      break;
  }
  return deliverA([=](IRKComponentListener* l, RKObject* s) { return l->componentResized(s, kind, w, h); });
}

LRESULT ImplRKComponent::onClose(UINT, WPARAM*, LPARAM*) {
  return deliverB([](IRKComponentListener* l, RKObject* s) { return l->windowClosing(s); });
}

LRESULT ImplRKComponent::onMove(UINT, WPARAM*, LPARAM* lp) {
  RKPoint p = pointOf(*lp);
  location.setLocation(p.x, p.y);
  return deliverA([this](IRKComponentListener* l, RKObject* s) { return l->componentMoved(s, location); });
}

LRESULT ImplRKComponent::onKeyDown(UINT, WPARAM* wp, LPARAM* lp) {
  u32 key = translateKey(u32(*wp)), data = u32(*lp);
  return deliverA([=](IRKComponentListener* l, RKObject* s) { return l->keyPressed(s, key, data); });
}

LRESULT ImplRKComponent::onKeyUp(UINT, WPARAM* wp, LPARAM* lp) {
  u32 key = translateKey(u32(*wp)), data = u32(*lp);
  return deliverA([=](IRKComponentListener* l, RKObject* s) { return l->keyReleased(s, key, data); });
}

LRESULT ImplRKComponent::onChar(UINT, WPARAM* wp, LPARAM* lp) {
  u8 c = u8(*wp & 0xFF);
  u32 data = u32(*lp);
  return deliverA([=](IRKComponentListener* l, RKObject* s) { return l->keyTyped(s, c, data); });
}

LRESULT ImplRKComponent::onEraseBackground(UINT, WPARAM*, LPARAM*) { return 2; }

LRESULT ImplRKComponent::onSetFocus(UINT, WPARAM*, LPARAM*) {
  return deliverA([](IRKComponentListener* l, RKObject* s) { return l->focusGained(s); });
}

LRESULT ImplRKComponent::onKillFocus(UINT, WPARAM*, LPARAM*) {
  return deliverA([](IRKComponentListener* l, RKObject* s) { return l->focusLost(s); });
}

LRESULT ImplRKComponent::onMouseActivate(UINT, WPARAM*, LPARAM*) {
  return deliverA([](IRKComponentListener* l, RKObject* s) { return l->mouseActivated(s); });
}

LRESULT ImplRKComponent::onTimer(UINT, WPARAM* wp, LPARAM*) {
  if (*wp != RK_COMPONENT_TIMER_ID) return 1;
  return deliverA([](IRKComponentListener* l, RKObject* s) { return l->timerFired(s); });
}

LRESULT ImplRKComponent::onShowWindow(UINT, WPARAM* wp, LPARAM* lp) {
  u32 shown = u32(*wp), status;
  switch (*lp) {
    case SW_OTHERUNZOOM:
      status = 0;
      break;
    case SW_OTHERZOOM:
      status = 1;
      break;
    case SW_PARENTCLOSING:
      status = 2;
      break;
    case SW_PARENTOPENING:
      status = 3;
      break;
    default:
      status = 0;
      break;
  }
  return deliverA([=](IRKComponentListener* l, RKObject* s) { return l->componentShown(s, shown, status); });
}

LRESULT ImplRKComponent::onMessage(UINT m, WPARAM* wp, LPARAM* lp) {
  u32 w = u32(*wp), lo = u32(*lp);
  return deliverB([=](IRKComponentListener* l, RKObject* s) { return l->messageReceived(s, m, w, lo); });
}

LRESULT ImplRKComponent::onDropFiles(UINT, WPARAM* wp, LPARAM*) {
  HDROP drop = reinterpret_cast<HDROP>(*wp);
  TRKList<RKString> names;
  UINT count = DragQueryFileA(drop, 0xFFFFFFFFu, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    UINT length = DragQueryFileA(drop, i, nullptr, 0);
    char* buffer = static_cast<char*>(malloc(size_t(length) + 1));
    if (!buffer) {
      // The drop is finished all the same; no event for a partial list.
      DragFinish(drop);
      return 0;
    }
    DragQueryFileA(drop, i, buffer, length + 1);
    names.addLast(RKString(buffer));
    free(buffer);
  }
  DragFinish(drop);
  return deliverA([&names](IRKComponentListener* l, RKObject* s) { return l->filesDropped(s, names); });
}

LRESULT ImplRKComponent::onHotKey(UINT, WPARAM* wp, LPARAM* lp) {
  u32 id = u32(*wp), modifiers = LOWORD(*lp), vk = HIWORD(*lp);
  return deliverA([=](IRKComponentListener* l, RKObject* s) { return l->hotKeyPressed(s, id, modifiers, vk); });
}

u32 ImplRKComponent::translateKey(u32 vk) {
  switch (vk) {
    case 8:
      return 0xFF08;
    case 9:
      return 0xFF09;
    case 10:
      return 0xFF0A;
    case 13:
      return 0xFF0D;
    case 33:
      return 0xFF55;
    case 34:
      return 0xFF56;
    case 35:
      return 0xFF57;
    case 36:
      return 0xFF50;
    case 37:
      return 0xFF51;
    case 38:
      return 0xFF52;
    case 39:
      return 0xFF53;
    case 40:
      return 0xFF54;
    case 46:
      return 0xFFFF;
    default:
      return vk;
  }
}

}  // namespace RKSDK
