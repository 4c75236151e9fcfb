// Shared helpers of the window-system tests: a fresh headless window system on a virtual
// clock, a recording window procedure and readable message logs.
#ifndef RK_TEST_WINSYS_SUPPORT_H
#define RK_TEST_WINSYS_SUPPORT_H

#include <windows.h>
#include <compat_window.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

struct Logged {
  HWND hwnd;
  UINT msg;
  WPARAM wp;
  LPARAM lp;
};

inline std::vector<Logged>& messageLog() {
  static std::vector<Logged> v;
  return v;
}

// Per-window overrides: return true and set *result to answer a message yourself.
using Handler = std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT*)>;
inline std::map<HWND, Handler>& handlers() {
  static std::map<HWND, Handler> m;
  return m;
}
inline Handler& classHandler() {
  static Handler h;
  return h;
}

inline LRESULT CALLBACK recordingProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  messageLog().push_back(Logged{h, msg, wp, lp});
  LRESULT r = 0;
  auto it = handlers().find(h);
  if (it != handlers().end() && it->second && it->second(h, msg, wp, lp, &r)) return r;
  if (classHandler() && classHandler()(h, msg, wp, lp, &r)) return r;
  return DefWindowProcA(h, msg, wp, lp);
}

inline const char* msgName(UINT m) {
  switch (m) {
    case WM_CREATE:
      return "CREATE";
    case WM_DESTROY:
      return "DESTROY";
    case WM_MOVE:
      return "MOVE";
    case WM_SIZE:
      return "SIZE";
    case WM_ACTIVATE:
      return "ACTIVATE";
    case WM_SETFOCUS:
      return "SETFOCUS";
    case WM_KILLFOCUS:
      return "KILLFOCUS";
    case WM_ENABLE:
      return "ENABLE";
    case WM_SETTEXT:
      return "SETTEXT";
    case WM_PAINT:
      return "PAINT";
    case WM_CLOSE:
      return "CLOSE";
    case WM_ERASEBKGND:
      return "ERASEBKGND";
    case WM_SHOWWINDOW:
      return "SHOWWINDOW";
    case WM_ACTIVATEAPP:
      return "ACTIVATEAPP";
    case WM_CANCELMODE:
      return "CANCELMODE";
    case WM_SETCURSOR:
      return "SETCURSOR";
    case WM_MOUSEACTIVATE:
      return "MOUSEACTIVATE";
    case WM_GETMINMAXINFO:
      return "GETMINMAXINFO";
    case WM_WINDOWPOSCHANGING:
      return "WINDOWPOSCHANGING";
    case WM_WINDOWPOSCHANGED:
      return "WINDOWPOSCHANGED";
    case WM_NCCREATE:
      return "NCCREATE";
    case WM_NCDESTROY:
      return "NCDESTROY";
    case WM_NCCALCSIZE:
      return "NCCALCSIZE";
    case WM_NCHITTEST:
      return "NCHITTEST";
    case WM_NCACTIVATE:
      return "NCACTIVATE";
    case WM_KEYDOWN:
      return "KEYDOWN";
    case WM_KEYUP:
      return "KEYUP";
    case WM_CHAR:
      return "CHAR";
    case WM_SYSKEYDOWN:
      return "SYSKEYDOWN";
    case WM_SYSKEYUP:
      return "SYSKEYUP";
    case WM_SYSCHAR:
      return "SYSCHAR";
    case WM_SYSCOMMAND:
      return "SYSCOMMAND";
    case WM_TIMER:
      return "TIMER";
    case WM_MOUSEMOVE:
      return "MOUSEMOVE";
    case WM_LBUTTONDOWN:
      return "LBUTTONDOWN";
    case WM_LBUTTONUP:
      return "LBUTTONUP";
    case WM_LBUTTONDBLCLK:
      return "LBUTTONDBLCLK";
    case WM_RBUTTONDOWN:
      return "RBUTTONDOWN";
    case WM_RBUTTONUP:
      return "RBUTTONUP";
    case WM_RBUTTONDBLCLK:
      return "RBUTTONDBLCLK";
    case WM_CONTEXTMENU:
      return "CONTEXTMENU";
    case WM_PARENTNOTIFY:
      return "PARENTNOTIFY";
    case WM_CAPTURECHANGED:
      return "CAPTURECHANGED";
    case WM_DROPFILES:
      return "DROPFILES";
    case WM_MOUSEHOVER:
      return "MOUSEHOVER";
    case WM_MOUSELEAVE:
      return "MOUSELEAVE";
    case WM_QUIT:
      return "QUIT";
    default:
      return "?";
  }
}

// The log as "name" entries (optionally "name@tag" with a tag per window), then cleared.
inline std::vector<std::string> takeLog(const std::map<HWND, std::string>& tags = {}) {
  std::vector<std::string> out;
  for (const Logged& l : messageLog()) {
    std::string s = msgName(l.msg);
    if (s == "?") s = "0x" + std::to_string(l.msg);
    auto it = tags.find(l.hwnd);
    if (it != tags.end()) s += "@" + it->second;
    out.push_back(s);
  }
  messageLog().clear();
  return out;
}

// Only the entries naming one of the given messages.
inline std::vector<std::string> only(const std::vector<std::string>& log, const std::vector<std::string>& keep) {
  std::vector<std::string> out;
  for (const std::string& e : log) {
    std::string name = e.substr(0, e.find('@'));
    for (const std::string& k : keep)
      if (name == k) out.push_back(e);
  }
  return out;
}

inline std::vector<Logged> takeRaw() {
  std::vector<Logged> v = messageLog();
  messageLog().clear();
  return v;
}

class WinsysTest : public ::testing::Test {
 protected:
  void SetUp() override {
    compat_display_select(COMPAT_DISPLAY_HEADLESS);
    compat_reset_windows();
    compat_clock_set_virtual(TRUE);
    messageLog().clear();
    handlers().clear();
    classHandler() = nullptr;
    registerClass("RecTest", CS_DBLCLKS);
    registerClass("RecPlain", 0);
    registerClass("RecOwnDC", CS_OWNDC | CS_HREDRAW | CS_VREDRAW);
  }
  void TearDown() override {
    compat_reset_windows();
    handlers().clear();
    classHandler() = nullptr;
    messageLog().clear();
  }
  static void registerClass(const char* name, UINT style) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = style;
    wc.lpfnWndProc = recordingProc;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = name;
    RegisterClassExA(&wc);
  }
  HWND top(int x = 100, int y = 100, int w = 200, int h = 150, DWORD style = WS_POPUP | WS_VISIBLE,
           const char* cls = "RecTest") {
    return CreateWindowExA(0, cls, "top", style, x, y, w, h, nullptr, nullptr, nullptr, nullptr);
  }
  HWND child(HWND parent, int x, int y, int w, int h, DWORD style = WS_CHILD | WS_VISIBLE,
             const char* cls = "RecTest") {
    return CreateWindowExA(0, cls, "child", style, x, y, w, h, parent, nullptr, nullptr, nullptr);
  }
};

#endif
