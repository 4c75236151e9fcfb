// The X11 display: each top-level window is an X window showing its surface; X input becomes
// the stand-in's hardware input, and input-method text (UTF-8) becomes ANSI bytes.
#include "winsys_internal.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/keysym.h>
#include <poll.h>

#include <cstring>

namespace rkwin {

namespace {

struct X11 {
  Display* dpy = nullptr;
  int screen = 0;
  Window root = 0;
  Visual* visual = nullptr;
  int depth = 0;
  Atom wmProtocols = 0, wmDelete = 0, netWmName = 0, utf8 = 0;
  Atom clipboard = 0, targets = 0, clipProperty = 0;
  Window clipWindow = 0;  // owns the CLIPBOARD selection and receives converted text
  bool clipOwned = false;
  std::string clipText;  // what we offer, in UTF-8
  XIM im = nullptr;
  std::map<Window, HWND> windows;
  std::map<Window, XIC> ics;
  std::map<unsigned, Cursor> cursors;
  bool failed = false;
  bool applyingConfigure = false;
};

X11& x() {
  static X11 v;
  return v;
}

int ignoreErrors(Display*, XErrorEvent*) { return 0; }

unsigned glyphOf(UINT id) {
  switch (id) {
    case 32513:
      return XC_xterm;
    case 32514:
      return XC_watch;
    case 32515:
      return XC_crosshair;
    case 32516:
      return XC_center_ptr;
    case 32640:
      return XC_fleur;
    case 32641:
      return XC_icon;
    case 32642:
      return XC_bottom_right_corner;
    case 32643:
      return XC_bottom_left_corner;
    case 32644:
      return XC_sb_h_double_arrow;
    case 32645:
      return XC_sb_v_double_arrow;
    case 32646:
      return XC_fleur;
    case 32648:
      return XC_X_cursor;
    case 32649:
      return XC_hand2;
    case 32650:
      return XC_watch;
    case 32651:
      return XC_question_arrow;
    default:
      return XC_left_ptr;
  }
}

UINT vkOfKeysym(KeySym k) {
  if (k >= XK_a && k <= XK_z) return UINT('A' + (k - XK_a));
  if (k >= XK_A && k <= XK_Z) return UINT('A' + (k - XK_A));
  if (k >= XK_0 && k <= XK_9) return UINT('0' + (k - XK_0));
  if (k >= XK_F1 && k <= XK_F12) return UINT(VK_F1 + (k - XK_F1));
  if (k >= XK_KP_0 && k <= XK_KP_9) return UINT(VK_NUMPAD0 + (k - XK_KP_0));
  switch (k) {
    case XK_BackSpace:
      return VK_BACK;
    case XK_Tab:
    case XK_ISO_Left_Tab:
      return VK_TAB;
    case XK_Return:
    case XK_KP_Enter:
      return VK_RETURN;
    case XK_Escape:
      return VK_ESCAPE;
    case XK_space:
      return VK_SPACE;
    case XK_Home:
      return VK_HOME;
    case XK_Left:
      return VK_LEFT;
    case XK_Up:
      return VK_UP;
    case XK_Right:
      return VK_RIGHT;
    case XK_Down:
      return VK_DOWN;
    case XK_Prior:
      return VK_PRIOR;
    case XK_Next:
      return VK_NEXT;
    case XK_End:
      return VK_END;
    case XK_Insert:
      return VK_INSERT;
    case XK_Delete:
      return VK_DELETE;
    case XK_Shift_L:
    case XK_Shift_R:
      return VK_SHIFT;
    case XK_Control_L:
    case XK_Control_R:
      return VK_CONTROL;
    case XK_Alt_L:
    case XK_Alt_R:
      return VK_MENU;
    case XK_Caps_Lock:
      return VK_CAPITAL;
    case XK_semicolon:
      return VK_OEM_1;
    case XK_equal:
      return VK_OEM_PLUS;
    case XK_comma:
      return VK_OEM_COMMA;
    case XK_minus:
      return VK_OEM_MINUS;
    case XK_period:
      return VK_OEM_PERIOD;
    case XK_slash:
      return VK_OEM_2;
    case XK_grave:
      return VK_OEM_3;
    case XK_bracketleft:
      return VK_OEM_4;
    case XK_backslash:
      return VK_OEM_5;
    case XK_bracketright:
      return VK_OEM_6;
    case XK_apostrophe:
      return VK_OEM_7;
    case XK_KP_Multiply:
      return VK_MULTIPLY;
    case XK_KP_Add:
      return VK_ADD;
    case XK_KP_Subtract:
      return VK_SUBTRACT;
    case XK_KP_Decimal:
      return VK_DECIMAL;
    case XK_KP_Divide:
      return VK_DIVIDE;
    default:
      return 0;
  }
}

Wnd* wndOfX(Window win) {
  auto it = x().windows.find(win);
  return it == x().windows.end() ? nullptr : wndQuiet(it->second);
}

void pushMouse(Wnd* top, int ex, int ey, int button, bool down) {
  InputEvent e = {};
  e.kind = InputKind::Mouse;
  e.screen = {top->rect.left + ex, top->rect.top + ey};
  e.button = button;
  e.down = down;
  e.time = now();
  st().input.push_back(e);
}

void handleKey(XKeyEvent& ev, bool down) {
  KeySym sym = XLookupKeysym(&ev, 0);
  UINT vk = vkOfKeysym(sym);
  InputEvent e = {};
  e.kind = InputKind::Key;
  e.down = down;
  e.time = now();
  if (down) {
    char buf[64];
    KeySym ks = 0;
    int n = 0;
    auto ic = x().ics.find(ev.window);
    if (ic != x().ics.end() && ic->second) {
      Status status;
      n = Xutf8LookupString(ic->second, &ev, buf, sizeof(buf) - 1, &ks, &status);
      if (status != XLookupChars && status != XLookupBoth) n = 0;
    } else {
      n = XLookupString(&ev, buf, sizeof(buf) - 1, &ks, nullptr);
      // Latin-1 bytes: make them UTF-8 first.
      std::string u;
      for (int i = 0; i < n; ++i) {
        unsigned char c = static_cast<unsigned char>(buf[i]);
        if (c < 0x80)
          u += char(c);
        else {
          u += char(0xC0 | (c >> 6));
          u += char(0x80 | (c & 0x3F));
        }
      }
      n = int(std::min(u.size(), sizeof(buf) - 1));
      memcpy(buf, u.data(), size_t(n));
    }
    buf[n > 0 ? n : 0] = 0;
    e.hasText = true;
    e.text = n > 0 ? utf8ToAnsi(buf) : std::string();
    if (!vk && !e.text.empty()) {
      // A character without a key of its own (input method): straight to WM_CHAR.
      compat_input_text_utf8(buf);
      return;
    }
  }
  if (!vk) return;
  e.vk = vk;
  st().input.push_back(e);
}

Window clipWindow() {
  X11& v = x();
  if (!v.clipWindow)
    v.clipWindow = XCreateWindow(v.dpy, v.root, -10, -10, 1, 1, 0, 0, InputOnly, CopyFromParent, 0, nullptr);
  return v.clipWindow;
}

// Another client asks for our clipboard text: as UTF8_STRING (or STRING), or the list of targets.
void answerSelection(const XSelectionRequestEvent& rq) {
  X11& v = x();
  XSelectionEvent reply = {};
  reply.type = SelectionNotify;
  reply.display = rq.display;
  reply.requestor = rq.requestor;
  reply.selection = rq.selection;
  reply.target = rq.target;
  reply.time = rq.time;
  reply.property = None;
  Atom property = rq.property != None ? rq.property : rq.target;
  if (v.clipOwned && rq.selection == v.clipboard) {
    if (rq.target == v.targets) {
      Atom list[3] = {v.targets, v.utf8, XA_STRING};
      XChangeProperty(v.dpy, rq.requestor, property, XA_ATOM, 32, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(list), 3);
      reply.property = property;
    } else if (rq.target == v.utf8 || rq.target == XA_STRING) {
      XChangeProperty(v.dpy, rq.requestor, property, rq.target, 8, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(v.clipText.data()), int(v.clipText.size()));
      reply.property = property;
    }
  }
  XSendEvent(v.dpy, rq.requestor, False, 0, reinterpret_cast<XEvent*>(&reply));
  XFlush(v.dpy);
}

}  // namespace

void x11ClipboardOffer(const std::string& ansi) {
  X11& v = x();
  if (!v.dpy) return;
  v.clipText = ansiToUtf8(ansi);
  XSetSelectionOwner(v.dpy, v.clipboard, clipWindow(), CurrentTime);
  v.clipOwned = XGetSelectionOwner(v.dpy, v.clipboard) == v.clipWindow;
  XFlush(v.dpy);
}

bool x11ClipboardForeign() {
  X11& v = x();
  if (!v.dpy || v.clipOwned) return false;
  return XGetSelectionOwner(v.dpy, v.clipboard) != None;
}

bool x11ClipboardFetch(std::string* ansi) {
  X11& v = x();
  if (!x11ClipboardForeign()) return false;
  Window win = clipWindow();
  XDeleteProperty(v.dpy, win, v.clipProperty);
  XConvertSelection(v.dpy, v.clipboard, v.utf8, v.clipProperty, win, CurrentTime);
  XFlush(v.dpy);
  // Wait up to a second for the owner's answer; other events stay queued.
  for (int i = 0; i < 100; ++i) {
    XEvent ev;
    if (XCheckTypedWindowEvent(v.dpy, win, SelectionNotify, &ev)) {
      if (ev.xselection.property == None) return false;
      Atom type;
      int format;
      unsigned long count, after;
      unsigned char* data = nullptr;
      if (XGetWindowProperty(v.dpy, win, v.clipProperty, 0, 1 << 24, True, AnyPropertyType, &type, &format, &count,
                             &after, &data) != Success ||
          !data)
        return false;
      std::string text(reinterpret_cast<char*>(data), count);
      XFree(data);
      *ansi = utf8ToAnsi(text);
      return true;
    }
    pollfd p = {ConnectionNumber(v.dpy), POLLIN, 0};
    poll(&p, 1, 10);
    XPending(v.dpy);
  }
  return false;
}

bool x11Running() { return x().dpy != nullptr; }

bool x11Start() {
  X11& v = x();
  if (v.dpy) return true;
  if (v.failed) return false;
  v.dpy = XOpenDisplay(nullptr);
  if (!v.dpy) {
    v.failed = true;
    return false;
  }
  XSetErrorHandler(ignoreErrors);
  v.screen = DefaultScreen(v.dpy);
  v.root = RootWindow(v.dpy, v.screen);
  v.visual = DefaultVisual(v.dpy, v.screen);
  v.depth = DefaultDepth(v.dpy, v.screen);
  v.wmProtocols = XInternAtom(v.dpy, "WM_PROTOCOLS", False);
  v.wmDelete = XInternAtom(v.dpy, "WM_DELETE_WINDOW", False);
  v.netWmName = XInternAtom(v.dpy, "_NET_WM_NAME", False);
  v.utf8 = XInternAtom(v.dpy, "UTF8_STRING", False);
  v.clipboard = XInternAtom(v.dpy, "CLIPBOARD", False);
  v.targets = XInternAtom(v.dpy, "TARGETS", False);
  v.clipProperty = XInternAtom(v.dpy, "RKWIN_CLIPBOARD", False);
  Bool supported = False;
  XkbSetDetectableAutoRepeat(v.dpy, True, &supported);
  XSetLocaleModifiers("");
  v.im = XOpenIM(v.dpy, nullptr, nullptr, nullptr);
  st().screenW = DisplayWidth(v.dpy, v.screen);
  st().screenH = DisplayHeight(v.dpy, v.screen);
  registerFolderBrowser();
  return true;
}

void x11ScreenSize(int* w, int* h) {
  if (!x().dpy) return;
  *w = DisplayWidth(x().dpy, x().screen);
  *h = DisplayHeight(x().dpy, x().screen);
}

void x11CreateWindow(Wnd* w) {
  X11& v = x();
  if (!v.dpy) return;
  XSetWindowAttributes a = {};
  a.background_pixel = WhitePixel(v.dpy, v.screen);
  a.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask |
                 KeyReleaseMask | StructureNotifyMask | FocusChangeMask;
  bool popup = (w->style & WS_POPUP) && (w->style & WS_CAPTION) != WS_CAPTION;
  a.override_redirect = popup ? True : False;
  int width = std::max<int>(1, w->rect.right - w->rect.left), height = std::max<int>(1, w->rect.bottom - w->rect.top);
  Window win = XCreateWindow(v.dpy, v.root, w->rect.left, w->rect.top, unsigned(width), unsigned(height), 0, v.depth,
                             InputOutput, v.visual, CWBackPixel | CWEventMask | CWOverrideRedirect, &a);
  w->xwindow = win;
  v.windows[win] = w->handle;
  XSetWMProtocols(v.dpy, win, &v.wmDelete, 1);
  XSizeHints hints = {};
  hints.flags = USPosition | USSize | PPosition | PSize;
  hints.x = w->rect.left;
  hints.y = w->rect.top;
  hints.width = width;
  hints.height = height;
  XSetWMNormalHints(v.dpy, win, &hints);
  if (w->owner && w->owner->xwindow) XSetTransientForHint(v.dpy, win, w->owner->xwindow);
  if (v.im) {
    XIC ic = XCreateIC(v.im, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow, win, XNFocusWindow,
                       win, nullptr);
    v.ics[win] = ic;
  }
  XDefineCursor(v.dpy, win, XCreateFontCursor(v.dpy, XC_left_ptr));
  XFlush(v.dpy);
}

void x11DestroyWindow(Wnd* w) {
  X11& v = x();
  if (!v.dpy || !w->xwindow) return;
  auto ic = v.ics.find(w->xwindow);
  if (ic != v.ics.end()) {
    if (ic->second) XDestroyIC(ic->second);
    v.ics.erase(ic);
  }
  v.windows.erase(w->xwindow);
  XDestroyWindow(v.dpy, w->xwindow);
  XFlush(v.dpy);
  w->xwindow = 0;
}

void x11ShowWindow(Wnd* w, bool show) {
  X11& v = x();
  if (!v.dpy || !w->xwindow) return;
  if (show) {
    XMapRaised(v.dpy, w->xwindow);
    w->dirty = true;
  } else {
    XUnmapWindow(v.dpy, w->xwindow);
  }
  XFlush(v.dpy);
}

void x11Configure(Wnd* w) {
  X11& v = x();
  if (!v.dpy || !w->xwindow || v.applyingConfigure) return;
  XMoveResizeWindow(v.dpy, w->xwindow, w->rect.left, w->rect.top,
                    unsigned(std::max<int>(1, w->rect.right - w->rect.left)),
                    unsigned(std::max<int>(1, w->rect.bottom - w->rect.top)));
  w->dirty = true;
}

void x11SetTitle(Wnd* w) {
  X11& v = x();
  if (!v.dpy || !w->xwindow) return;
  std::string u = ansiToUtf8(w->text);  // the window manager reads UTF-8
  XStoreName(v.dpy, w->xwindow, u.c_str());
  XChangeProperty(v.dpy, w->xwindow, v.netWmName, v.utf8, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(u.data()), int(u.size()));
}

void x11Restack() {
  X11& v = x();
  if (!v.dpy) return;
  std::vector<Window> order;
  for (Wnd* t : st().topLevels)
    if (t->xwindow) order.push_back(t->xwindow);
  if (order.size() > 1) XRestackWindows(v.dpy, order.data(), int(order.size()));
}

void x11SetCursor(Wnd* top, HCURSOR cursor) {
  X11& v = x();
  if (!v.dpy || !top->xwindow) return;
  CursorObj* o = cursorObj(cursor);
  unsigned glyph = glyphOf(o ? o->systemId : 32512);
  auto it = v.cursors.find(glyph);
  if (it == v.cursors.end()) it = v.cursors.emplace(glyph, XCreateFontCursor(v.dpy, glyph)).first;
  XDefineCursor(v.dpy, top->xwindow, it->second);
}

void x11Present(Wnd* w) {
  X11& v = x();
  if (!v.dpy || !w->xwindow || w->pixels.empty() || v.depth < 24) return;
  w->dirty = false;
  RECT caretRect;
  std::vector<uint32_t> copy;
  uint32_t* data = w->pixels.data();
  if (caretRectOnSurface(w, &caretRect)) {
    copy = w->pixels;
    for (int y = caretRect.top; y < caretRect.bottom; ++y)
      for (int xx = caretRect.left; xx < caretRect.right; ++xx)
        copy[size_t(y) * size_t(w->surfW) + size_t(xx)] ^= 0x00FFFFFFu;
    data = copy.data();
  }
  XImage* img = XCreateImage(v.dpy, v.visual, unsigned(v.depth), ZPixmap, 0, reinterpret_cast<char*>(data),
                             unsigned(w->surfW), unsigned(w->surfH), 32, w->surfW * 4);
  if (!img) return;
  GC gc = DefaultGC(v.dpy, v.screen);
  XPutImage(v.dpy, w->xwindow, gc, img, 0, 0, 0, 0, unsigned(w->surfW), unsigned(w->surfH));
  img->data = nullptr;
  XDestroyImage(img);
  XFlush(v.dpy);
}

bool x11Pending() {
  X11& v = x();
  if (!v.dpy) return false;
  bool any = false;
  while (XPending(v.dpy)) {
    XEvent ev;
    XNextEvent(v.dpy, &ev);
    if (XFilterEvent(&ev, None)) continue;
    if (ev.type == SelectionRequest) {
      answerSelection(ev.xselectionrequest);
      continue;
    }
    if (ev.type == SelectionClear && ev.xselectionclear.window == v.clipWindow) {
      v.clipOwned = false;
      continue;
    }
    Wnd* w = wndOfX(ev.xany.window);
    if (!w) continue;
    any = true;
    switch (ev.type) {
      case Expose:
        w->dirty = true;
        break;
      case ButtonPress:
      case ButtonRelease: {
        int b = ev.xbutton.button == 1 ? 1 : ev.xbutton.button == 3 ? 2 : ev.xbutton.button == 2 ? 3 : 0;
        if (b) pushMouse(w, ev.xbutton.x, ev.xbutton.y, b, ev.type == ButtonPress);
        break;
      }
      case MotionNotify: {
        // Merge a run of moves, but never move one past another kind of event.
        XEvent next;
        while (XPending(v.dpy)) {
          XPeekEvent(v.dpy, &next);
          if (next.type != MotionNotify || next.xmotion.window != ev.xmotion.window) break;
          XNextEvent(v.dpy, &ev);
        }
        pushMouse(w, ev.xmotion.x, ev.xmotion.y, 0, false);
        break;
      }
      case KeyPress:
        handleKey(ev.xkey, true);
        break;
      case KeyRelease:
        handleKey(ev.xkey, false);
        break;
      case ConfigureNotify: {
        if (ev.xconfigure.window != w->xwindow) break;
        int rx = ev.xconfigure.x, ry = ev.xconfigure.y;
        Window child;
        XTranslateCoordinates(v.dpy, w->xwindow, v.root, 0, 0, &rx, &ry, &child);
        int cw = ev.xconfigure.width, ch = ev.xconfigure.height;
        if (rx != w->rect.left || ry != w->rect.top || cw != w->rect.right - w->rect.left ||
            ch != w->rect.bottom - w->rect.top) {
          v.applyingConfigure = true;
          SetWindowPos(w->handle, nullptr, rx, ry, cw, ch, SWP_NOZORDER | SWP_NOACTIVATE);
          v.applyingConfigure = false;
        }
        break;
      }
      case ClientMessage:
        if (ev.xclient.message_type == v.wmProtocols && Atom(ev.xclient.data.l[0]) == v.wmDelete)
          postMsg(w->handle, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
      case FocusIn: {
        auto ic = v.ics.find(w->xwindow);
        if (ic != v.ics.end() && ic->second) XSetICFocus(ic->second);
        break;
      }
      default:
        break;
    }
  }
  return any;
}

void x11Wait(int timeoutMs) {
  X11& v = x();
  if (!v.dpy) return;
  XFlush(v.dpy);
  if (XPending(v.dpy)) return;
  pollfd p = {ConnectionNumber(v.dpy), POLLIN, 0};
  poll(&p, 1, timeoutMs < 0 ? -1 : timeoutMs);
}

void x11Shutdown() {
  X11& v = x();
  if (!v.dpy) return;
  if (v.im) XCloseIM(v.im);
  for (auto& c : v.cursors) XFreeCursor(v.dpy, c.second);
  if (v.clipWindow) XDestroyWindow(v.dpy, v.clipWindow);
  XCloseDisplay(v.dpy);
  v = X11();
}

// Converts between code pages through UTF-16.
static std::string convert(const std::string& in, UINT from, UINT to) {
  int n = MultiByteToWideChar(from, 0, in.c_str(), int(in.size()), nullptr, 0);
  if (n <= 0) return std::string();
  std::vector<WCHAR> wide(static_cast<size_t>(n));
  MultiByteToWideChar(from, 0, in.c_str(), int(in.size()), wide.data(), n);
  int m = WideCharToMultiByte(to, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
  if (m <= 0) return std::string();
  std::string out(size_t(m), '\0');
  WideCharToMultiByte(to, 0, wide.data(), n, &out[0], m, nullptr, nullptr);
  return out;
}

std::string ansiToUtf8(const std::string& ansi) { return convert(ansi, CP_ACP, CP_UTF8); }

std::string utf8ToAnsi(const std::string& utf8) { return convert(utf8, CP_UTF8, CP_ACP); }

}  // namespace rkwin
