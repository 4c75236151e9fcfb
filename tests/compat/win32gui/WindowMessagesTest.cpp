// Message orders of window creation, showing, moving, enabling and destruction.
#include "WinsysTestSupport.h"

using Log = std::vector<std::string>;

class WindowMessages : public WinsysTest {};

TEST_F(WindowMessages, CreationSendsItsMessagesInOrder) {
  HWND t = top(10, 20, 200, 100, WS_POPUP);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(takeLog(), (Log{"GETMINMAXINFO", "NCCREATE", "NCCALCSIZE", "CREATE", "SIZE", "MOVE"}));
  HWND c = child(t, 5, 6, 50, 40, WS_CHILD);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(takeLog({{t, "p"}, {c, "c"}}),
            (Log{"NCCREATE@c", "NCCALCSIZE@c", "CREATE@c", "SIZE@c", "MOVE@c", "PARENTNOTIFY@p"}));
  auto raw = messageLog();
  EXPECT_EQ(GetWindowLongPtrA(c, GWLP_WNDPROC), LONG_PTR(recordingProc));
  EXPECT_EQ(GetWindowLongPtrA(c, GWLP_USERDATA), 0);
  SetWindowLongPtrA(c, GWLP_USERDATA, 1234);
  EXPECT_EQ(GetWindowLongPtrA(c, GWLP_USERDATA), 1234);
  char title[16];
  EXPECT_EQ(GetWindowTextA(c, title, sizeof(title)), 5);
  EXPECT_STREQ(title, "child");
}

TEST_F(WindowMessages, CreationWithVisibleShowsAndActivates) {
  HWND t = top(0, 0, 100, 100, WS_POPUP | WS_VISIBLE);
  EXPECT_EQ(takeLog(),
            (Log{"GETMINMAXINFO", "NCCREATE", "NCCALCSIZE", "CREATE", "SIZE", "MOVE", "SHOWWINDOW", "WINDOWPOSCHANGING",
                 "ACTIVATEAPP", "NCACTIVATE", "ACTIVATE", "SETFOCUS", "WINDOWPOSCHANGED"}));
  EXPECT_EQ(GetActiveWindow(), t);
  EXPECT_EQ(GetFocus(), t);  // DefWindowProc's WM_ACTIVATE sets the focus
}

TEST_F(WindowMessages, CreationFailuresReportTheirErrors) {
  SetLastError(0);
  EXPECT_EQ(CreateWindowExA(0, "RecTest", "", WS_CHILD, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_TLW_WITH_WSCHILD));
  EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_CANNOT_FIND_WND_CLASS));
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = recordingProc;
  wc.lpszClassName = "rectest";  // names compare without case
  EXPECT_EQ(RegisterClassExA(&wc), 0);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_CLASS_ALREADY_EXISTS));
  // An overlapped window gains a caption and sibling clipping.
  HWND o = CreateWindowExA(0, "RecTest", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(DWORD(GetWindowLongPtrA(o, GWL_STYLE)) & (WS_CAPTION | WS_CLIPSIBLINGS),
            DWORD(WS_CAPTION | WS_CLIPSIBLINGS));
  // A class with live windows cannot go.
  EXPECT_FALSE(UnregisterClassA("RecTest", nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_CLASS_HAS_WINDOWS));
}

TEST_F(WindowMessages, ShowAndHide) {
  HWND t = top(0, 0, 100, 100, WS_POPUP);
  HWND c = child(t, 0, 0, 10, 10);
  takeLog();
  EXPECT_FALSE(ShowWindow(t, SW_SHOWNOACTIVATE));
  EXPECT_EQ(takeLog({{t, "t"}}), (Log{"SHOWWINDOW@t", "WINDOWPOSCHANGING@t", "WINDOWPOSCHANGED@t"}));
  EXPECT_EQ(GetActiveWindow(), nullptr);
  EXPECT_TRUE(IsWindowVisible(c));
  SetFocus(c);
  takeLog();
  EXPECT_TRUE(ShowWindow(c, SW_HIDE));
  EXPECT_EQ(takeLog({{t, "t"}, {c, "c"}}),
            (Log{"SHOWWINDOW@c", "WINDOWPOSCHANGING@c", "WINDOWPOSCHANGED@c", "KILLFOCUS@c", "SETFOCUS@t"}));
  EXPECT_EQ(GetFocus(), t);
  EXPECT_FALSE(ShowWindow(c, SW_HIDE));
  EXPECT_TRUE(takeLog().empty());
  EXPECT_TRUE(ShowWindow(t, SW_HIDE));
  EXPECT_FALSE(IsWindowVisible(t));
  EXPECT_EQ(GetActiveWindow(), nullptr);
}

TEST_F(WindowMessages, HiddenWindowsGetNoPaintUntilShown) {
  HWND t = top(0, 0, 100, 100, WS_POPUP);
  HWND c = child(t, 0, 0, 10, 10);  // visible child of a hidden parent
  compat_pump();
  EXPECT_TRUE(only(takeLog(), {"PAINT"}).empty());
  ShowWindow(t, SW_SHOW);
  takeLog();
  compat_pump();
  EXPECT_EQ(only(takeLog({{t, "t"}, {c, "c"}}), {"PAINT", "ERASEBKGND"}),
            (Log{"PAINT@t", "ERASEBKGND@t", "PAINT@c", "ERASEBKGND@c"}));
}

TEST_F(WindowMessages, ShowingAClipChildrenParentPaintsItsChildrenToo) {
  HWND t = top(0, 0, 100, 100, WS_POPUP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS);
  HWND c = child(t, 0, 0, 10, 10);
  HWND g = child(c, 0, 0, 5, 5);
  ShowWindow(t, SW_SHOW);
  takeLog();
  compat_pump();
  EXPECT_EQ(only(takeLog({{t, "t"}, {c, "c"}, {g, "g"}}), {"PAINT"}), (Log{"PAINT@t", "PAINT@c", "PAINT@g"}));
  // A moved child paints again at its new place, with its own children, after the parent
  // repainted the place it left.
  MoveWindow(c, 20, 20, 10, 10, TRUE);
  RECT u;
  EXPECT_TRUE(GetUpdateRect(t, &u, FALSE));
  EXPECT_EQ(u.right, 10);
  compat_pump();
  EXPECT_EQ(only(takeLog({{t, "t"}, {c, "c"}, {g, "g"}}), {"PAINT"}), (Log{"PAINT@t", "PAINT@c", "PAINT@g"}));
}

TEST_F(WindowMessages, MaximizeMinimizeRestore) {
  compat_set_screen_size(800, 600);
  HWND t = top(10, 10, 100, 100);
  takeLog();
  ShowWindow(t, SW_MAXIMIZE);
  RECT r;
  GetWindowRect(t, &r);
  EXPECT_EQ(r.right - r.left, 800);
  auto raw = takeRaw();
  bool sawMax = false;
  for (auto& l : raw)
    if (l.msg == WM_SIZE && l.wp == SIZE_MAXIMIZED && LOWORD(l.lp) == 800 && HIWORD(l.lp) == 600) sawMax = true;
  EXPECT_TRUE(sawMax);
  EXPECT_TRUE(IsZoomed(t));
  ShowWindow(t, SW_RESTORE);
  GetWindowRect(t, &r);
  EXPECT_EQ(r.left, 10);
  EXPECT_EQ(r.right - r.left, 100);
  takeRaw();
  ShowWindow(t, SW_MINIMIZE);
  raw = takeRaw();
  bool sawMin = false;
  for (auto& l : raw)
    if (l.msg == WM_SIZE && l.wp == SIZE_MINIMIZED) sawMin = true;
  EXPECT_TRUE(sawMin);
  EXPECT_TRUE(IsIconic(t));
  ShowWindow(t, SW_RESTORE);
  EXPECT_FALSE(IsIconic(t));
}

TEST_F(WindowMessages, MoveAndSize) {
  HWND t = top(0, 0, 300, 300);
  HWND c = child(t, 10, 10, 50, 50);
  compat_pump();
  takeLog();
  MoveWindow(c, 20, 30, 50, 50, TRUE);
  EXPECT_EQ(takeLog(), (Log{"WINDOWPOSCHANGING", "NCCALCSIZE", "WINDOWPOSCHANGED", "MOVE"}));
  MoveWindow(c, 20, 30, 60, 70, TRUE);
  auto raw = takeRaw();
  ASSERT_EQ(raw.size(), 4u);
  EXPECT_EQ(raw[3].msg, UINT(WM_SIZE));
  EXPECT_EQ(raw[3].lp, MAKELPARAM(60, 70));
  MoveWindow(c, -5, -7, -10, 20, TRUE);  // negative sizes become 0
  raw = takeRaw();
  ASSERT_EQ(raw.size(), 5u);
  EXPECT_EQ(raw[3].msg, UINT(WM_MOVE));
  EXPECT_EQ(GET_X_LPARAM(raw[3].lp), -5);
  EXPECT_EQ(GET_Y_LPARAM(raw[3].lp), -7);
  EXPECT_EQ(raw[4].lp, MAKELPARAM(0, 20));
  RECT r;
  GetWindowRect(c, &r);
  EXPECT_EQ(r.left, -5);
  EXPECT_EQ(r.top, -7);
  MoveWindow(t, 100, 50, 300, 300, TRUE);
  GetWindowRect(c, &r);
  EXPECT_EQ(r.left, 95);
  EXPECT_EQ(r.top, 43);
  POINT p = {0, 0};
  ClientToScreen(c, &p);
  EXPECT_EQ(p.x, 95);
  GetClientRect(c, &r);
  EXPECT_EQ(r.right, 0);
  EXPECT_EQ(r.bottom, 20);
  GetClientRect(GetDesktopWindow(), &r);
  EXPECT_GT(r.right, 0);
}

TEST_F(WindowMessages, ResizeRepaintsTheWholeWindowOfARedrawClass) {
  HWND t = top(0, 0, 300, 300);
  HWND c = child(t, 10, 10, 50, 50, WS_CHILD | WS_VISIBLE, "RecOwnDC");
  compat_pump();
  takeLog();
  MoveWindow(c, 10, 10, 80, 60, TRUE);
  RECT u;
  EXPECT_TRUE(GetUpdateRect(c, &u, FALSE));
  EXPECT_EQ(u.right, 80);
  EXPECT_EQ(u.bottom, 60);
  EXPECT_TRUE(GetUpdateRect(t, &u, FALSE));  // the uncovered parent area
  EXPECT_EQ(u.left, 10);
  EXPECT_EQ(u.right, 60);
}

TEST_F(WindowMessages, PopupWithParentIsAnOwnedWindowInScreenCoordinates) {
  HWND t = top(100, 100, 200, 200);
  HWND p = CreateWindowExA(0, "RecTest", "hint", WS_POPUP, 300, 310, 40, 20, t, nullptr, nullptr, nullptr);
  ASSERT_NE(p, nullptr);
  RECT r;
  GetWindowRect(p, &r);
  EXPECT_EQ(r.left, 300);
  EXPECT_EQ(r.top, 310);
  EXPECT_EQ(GetParent(p), t);
  EXPECT_EQ(GetWindow(p, GW_OWNER), t);
  EXPECT_FALSE(IsChild(t, p));
  ShowWindow(p, SW_SHOWNOACTIVATE);
  EXPECT_EQ(GetActiveWindow(), t);
  // Owned windows stay above their owner.
  EXPECT_EQ(GetTopWindow(nullptr), p);
  // A click over the pop-up goes to it, though it lies outside the owner.
  compat_click(nullptr, 305, 315);
  takeLog();
  compat_pump();
  EXPECT_EQ(only(takeLog({{p, "p"}}), {"LBUTTONDOWN"}), (Log{"LBUTTONDOWN@p"}));
}

TEST_F(WindowMessages, ZOrderAndTopMost) {
  HWND a = top(0, 0, 50, 50);
  HWND b = top(0, 0, 50, 50);
  EXPECT_EQ(GetTopWindow(nullptr), b);
  SetWindowPos(a, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(GetTopWindow(nullptr), a);
  EXPECT_TRUE(GetWindowLongPtrA(a, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_EQ(GetActiveWindow(), a);
  SetWindowPos(b, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(GetTopWindow(nullptr), a);  // still above: a is top-most
  SetWindowPos(a, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SetWindowPos(b, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(GetTopWindow(nullptr), b);
  // For children the top-most values raise within the siblings.
  HWND c1 = child(a, 0, 0, 10, 10);
  HWND c2 = child(a, 0, 0, 10, 10);
  EXPECT_EQ(GetTopWindow(a), c1);  // a new child goes below its siblings
  SetWindowPos(c2, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(GetTopWindow(a), c2);
  EXPECT_FALSE(GetWindowLongPtrA(c2, GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST_F(WindowMessages, DestroyGoesParentFirstThenChildrenFirst) {
  HWND t = top(0, 0, 100, 100);
  HWND c = child(t, 0, 0, 50, 50);
  HWND g = child(c, 0, 0, 10, 10);
  HWND owned = CreateWindowExA(0, "RecTest", "", WS_POPUP | WS_VISIBLE, 0, 0, 5, 5, t, nullptr, nullptr, nullptr);
  SetTimer(c, 7, 100, nullptr);
  PostMessageA(g, WM_USER, 0, 0);
  SetFocus(g);
  SetCapture(c);
  takeLog();
  EXPECT_TRUE(DestroyWindow(t));
  auto log = only(takeLog({{t, "t"}, {c, "c"}, {g, "g"}, {owned, "o"}}),
                  {"DESTROY", "NCDESTROY", "KILLFOCUS", "CAPTURECHANGED"});
  EXPECT_EQ(log, (Log{"DESTROY@o", "NCDESTROY@o", "KILLFOCUS@g", "CAPTURECHANGED@c", "DESTROY@t", "DESTROY@c",
                      "DESTROY@g", "NCDESTROY@g", "NCDESTROY@c", "NCDESTROY@t"}));
  EXPECT_FALSE(IsWindow(t));
  EXPECT_FALSE(IsWindow(g));
  EXPECT_FALSE(IsWindow(owned));
  EXPECT_EQ(GetFocus(), nullptr);
  EXPECT_EQ(GetCapture(), nullptr);
  compat_advance(500);
  EXPECT_TRUE(takeLog().empty());  // no timer, no post of the dead windows
  EXPECT_FALSE(PostMessageA(t, WM_USER, 0, 0));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
  EXPECT_FALSE(DestroyWindow(t));
}

TEST_F(WindowMessages, DestroyFromInsideAParentsDestroyIsSafe) {
  HWND t = top(0, 0, 100, 100);
  HWND c1 = child(t, 0, 0, 50, 50);
  HWND c2 = child(t, 0, 0, 50, 50);
  handlers()[t] = [&](HWND, UINT m, WPARAM, LPARAM, LRESULT*) {
    if (m == WM_DESTROY) {
      DestroyWindow(c1);  // as a container releasing its children does
      DestroyWindow(c2);
    }
    return false;
  };
  takeLog();
  EXPECT_TRUE(DestroyWindow(t));
  auto log = only(takeLog({{t, "t"}, {c1, "1"}, {c2, "2"}}), {"DESTROY", "NCDESTROY"});
  EXPECT_EQ(log, (Log{"DESTROY@t", "DESTROY@1", "NCDESTROY@1", "DESTROY@2", "NCDESTROY@2", "NCDESTROY@t"}));
}

TEST_F(WindowMessages, CloseDestroysByDefault) {
  HWND t = top();
  PostMessageA(t, WM_CLOSE, 0, 0);
  compat_pump();
  EXPECT_FALSE(IsWindow(t));
  HWND u = top();
  handlers()[u] = [](HWND, UINT m, WPARAM, LPARAM, LRESULT* r) {
    if (m != WM_CLOSE) return false;
    *r = 0;  // vetoed
    return true;
  };
  SendMessageA(u, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(IsWindow(u));
  SetWindowTextA(u, "renamed");
  char buf[32];
  GetWindowTextA(u, buf, sizeof(buf));
  EXPECT_STREQ(buf, "renamed");
}

TEST_F(WindowMessages, EnableAndDisable) {
  HWND t = top();
  HWND c = child(t, 0, 0, 50, 50);
  SetFocus(c);
  SetCapture(c);
  takeLog();
  EXPECT_FALSE(EnableWindow(c, FALSE));  // it was enabled
  EXPECT_EQ(takeLog({{c, "c"}}), (Log{"CANCELMODE@c", "CAPTURECHANGED@c", "KILLFOCUS@c", "ENABLE@c"}));
  EXPECT_EQ(GetFocus(), nullptr);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_FALSE(IsWindowEnabled(c));
  EXPECT_TRUE(GetWindowLongPtrA(c, GWL_STYLE) & WS_DISABLED);
  EXPECT_TRUE(EnableWindow(c, FALSE));  // already disabled: no message
  EXPECT_TRUE(takeLog().empty());
  // A click over the disabled child reaches the parent.
  compat_click(c, 5, 5);
  compat_pump();
  EXPECT_EQ(only(takeLog({{t, "t"}, {c, "c"}}), {"LBUTTONDOWN", "LBUTTONUP"}), (Log{"LBUTTONDOWN@t", "LBUTTONUP@t"}));
  EXPECT_TRUE(EnableWindow(c, TRUE));
  EXPECT_EQ(takeLog(), (Log{"ENABLE"}));
  // Input over a disabled top-level window is dropped.
  EnableWindow(t, FALSE);
  takeLog();
  compat_click(t, 80, 80);
  compat_pump();
  EXPECT_TRUE(only(takeLog(), {"LBUTTONDOWN", "LBUTTONUP"}).empty());
}

TEST_F(WindowMessages, ActivationOrder) {
  HWND a = top(0, 0, 50, 50);
  HWND b = top(100, 0, 50, 50, WS_POPUP);
  takeLog();
  ShowWindow(b, SW_SHOW);
  auto log = only(takeLog({{a, "a"}, {b, "b"}}), {"NCACTIVATE", "ACTIVATE", "KILLFOCUS", "SETFOCUS", "ACTIVATEAPP"});
  EXPECT_EQ(log, (Log{"NCACTIVATE@a", "ACTIVATE@a", "KILLFOCUS@a", "NCACTIVATE@b", "ACTIVATE@b", "SETFOCUS@b"}));
  EXPECT_EQ(GetActiveWindow(), b);
  HWND c = child(b, 0, 0, 5, 5);
  EXPECT_EQ(SetActiveWindow(c), nullptr);  // no effect on a child
  EXPECT_EQ(GetActiveWindow(), b);
}
