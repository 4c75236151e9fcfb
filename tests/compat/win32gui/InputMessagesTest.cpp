// Mouse, keyboard, focus, capture and tracking messages as the toolkit relies on them.
#include "WinsysTestSupport.h"

#include <cstdio>
#include <cstring>
#include <unistd.h>

using Log = std::vector<std::string>;

class InputMessages : public WinsysTest {};

TEST_F(InputMessages, ClickOnAChildOfTheActiveWindow) {
  HWND t = top(100, 100, 200, 150);
  HWND c = child(t, 10, 20, 50, 40);
  compat_pump();
  takeLog();
  compat_mouse_move(c, 5, 6);
  compat_mouse_button(c, 5, 6, 1, TRUE);
  compat_mouse_button(c, 5, 6, 1, FALSE);
  compat_pump();
  auto log = takeLog({{t, "t"}, {c, "c"}});
  EXPECT_EQ(log, (Log{"NCHITTEST@c", "SETCURSOR@c", "SETCURSOR@t", "MOUSEMOVE@c", "NCHITTEST@c", "MOUSEACTIVATE@c",
                      "MOUSEACTIVATE@t", "SETCURSOR@c", "SETCURSOR@t", "LBUTTONDOWN@c", "NCHITTEST@c", "SETCURSOR@c",
                      "SETCURSOR@t", "LBUTTONUP@c"}));
}

TEST_F(InputMessages, MouseParametersAndActivationByClick) {
  HWND a = top(0, 0, 100, 100);
  HWND b = top(200, 0, 100, 100);
  EXPECT_EQ(GetActiveWindow(), b);
  compat_pump();
  takeRaw();
  compat_set_key_state(VK_SHIFT, TRUE);
  compat_click(a, 7, 9);
  compat_pump();
  EXPECT_EQ(GetActiveWindow(), a);
  bool seen = false;
  for (auto& l : takeRaw()) {
    if (l.msg == WM_ACTIVATE && l.hwnd == a) {
      EXPECT_EQ(LOWORD(l.wp), WA_CLICKACTIVE);
    }
    if (l.msg == WM_LBUTTONDOWN) {
      seen = true;
      EXPECT_EQ(l.hwnd, a);
      EXPECT_EQ(l.lp, MAKELPARAM(7, 9));
      EXPECT_EQ(l.wp, WPARAM(MK_LBUTTON | MK_SHIFT));
    }
  }
  EXPECT_TRUE(seen);
  // A window answering MA_NOACTIVATEANDEAT neither activates nor gets the press.
  handlers()[b] = [](HWND, UINT m, WPARAM, LPARAM, LRESULT* r) {
    if (m != WM_MOUSEACTIVATE) return false;
    *r = MA_NOACTIVATEANDEAT;
    return true;
  };
  compat_mouse_button(b, 1, 1, 1, TRUE);
  compat_pump();
  EXPECT_EQ(GetActiveWindow(), a);
  EXPECT_TRUE(only(takeLog(), {"LBUTTONDOWN"}).empty());
}

TEST_F(InputMessages, DoubleClicksInWindowsOrder) {
  HWND t = top(0, 0, 100, 100);
  compat_pump();
  takeLog();
  compat_click(t, 10, 10);
  compat_advance(100);
  compat_click(t, 11, 11);
  compat_advance(100);
  compat_click(t, 11, 11);  // a third click starts over
  compat_pump();
  EXPECT_EQ(only(takeLog(), {"LBUTTONDOWN", "LBUTTONUP", "LBUTTONDBLCLK"}),
            (Log{"LBUTTONDOWN", "LBUTTONUP", "LBUTTONDBLCLK", "LBUTTONUP", "LBUTTONDOWN", "LBUTTONUP"}));
  // Too slow, too far, or a class without CS_DBLCLKS: two plain clicks.
  compat_advance(1000);
  compat_click(t, 50, 50);
  compat_advance(600);
  compat_click(t, 50, 50);
  compat_advance(1000);
  compat_click(t, 60, 60);
  compat_click(t, 65, 60);
  HWND plain = top(0, 0, 100, 100, WS_POPUP | WS_VISIBLE, "RecPlain");
  compat_advance(1000);
  compat_click(plain, 5, 5);
  compat_click(plain, 5, 5);
  compat_pump();
  EXPECT_TRUE(only(takeLog(), {"LBUTTONDBLCLK"}).empty());
  // The right button works alike.
  DestroyWindow(plain);
  compat_advance(1000);
  compat_mouse_button(t, 3, 3, 2, TRUE);
  compat_mouse_button(t, 3, 3, 2, FALSE);
  compat_mouse_button(t, 3, 3, 2, TRUE);
  compat_mouse_button(t, 3, 3, 2, FALSE);
  compat_pump();
  EXPECT_EQ(only(takeLog(), {"RBUTTONDOWN", "RBUTTONUP", "RBUTTONDBLCLK", "CONTEXTMENU"}),
            (Log{"RBUTTONDOWN", "RBUTTONUP", "CONTEXTMENU", "RBUTTONDBLCLK", "RBUTTONUP", "CONTEXTMENU"}));
}

TEST_F(InputMessages, CaptureTakesAllMouseInputWithSignedCoordinates) {
  HWND t = top(100, 100, 200, 200);
  HWND c = child(t, 50, 50, 20, 20);
  HWND other = top(400, 400, 50, 50, WS_POPUP | WS_VISIBLE);
  SetActiveWindow(t);
  EXPECT_EQ(SetCapture(c), nullptr);
  takeLog();
  compat_mouse_move(nullptr, 120, 110);             // left of and above the child
  compat_mouse_button(nullptr, 410, 410, 1, TRUE);  // over another window
  compat_mouse_button(nullptr, 410, 410, 1, FALSE);
  compat_pump();
  auto raw = takeRaw();
  std::vector<Logged> mouse;
  for (auto& l : raw)
    if (l.msg >= WM_MOUSEFIRST && l.msg <= WM_MOUSELAST) mouse.push_back(l);
  ASSERT_EQ(mouse.size(), 3u);
  for (auto& l : mouse) EXPECT_EQ(l.hwnd, c);
  EXPECT_EQ(GET_X_LPARAM(mouse[0].lp), -30);
  EXPECT_EQ(GET_Y_LPARAM(mouse[0].lp), -40);
  EXPECT_EQ(GET_X_LPARAM(mouse[1].lp), 260);
  for (auto& l : raw) {
    EXPECT_NE(l.msg, UINT(WM_SETCURSOR));
    EXPECT_NE(l.msg, UINT(WM_MOUSEACTIVATE));
  }
  EXPECT_EQ(GetActiveWindow(), t);  // clicks under capture activate nothing
  EXPECT_NE(GetActiveWindow(), other);
  EXPECT_EQ(SetCapture(t), c);
  EXPECT_EQ(takeLog({{c, "c"}}), (Log{"CAPTURECHANGED@c"}));
  EXPECT_TRUE(ReleaseCapture());
  EXPECT_EQ(takeLog({{t, "t"}}), (Log{"CAPTURECHANGED@t"}));
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(InputMessages, FocusChangesKillBeforeSet) {
  HWND t = top();
  HWND a = child(t, 0, 0, 10, 10);
  HWND b = child(t, 20, 0, 10, 10);
  EXPECT_EQ(SetFocus(a), t);
  takeRaw();
  EXPECT_EQ(SetFocus(b), a);
  auto raw = takeRaw();
  ASSERT_EQ(raw.size(), 2u);
  EXPECT_EQ(raw[0].msg, UINT(WM_KILLFOCUS));
  EXPECT_EQ(raw[0].hwnd, a);
  EXPECT_EQ(HWND(raw[0].wp), b);
  EXPECT_EQ(raw[1].msg, UINT(WM_SETFOCUS));
  EXPECT_EQ(raw[1].hwnd, b);
  EXPECT_EQ(HWND(raw[1].wp), a);
  EXPECT_EQ(GetFocus(), b);
  EXPECT_EQ(SetFocus(b), b);
  EXPECT_TRUE(takeRaw().empty());
  EXPECT_EQ(SetFocus(nullptr), b);
  EXPECT_EQ(GetFocus(), nullptr);
}

TEST_F(InputMessages, KeysAndCharacters) {
  HWND t = top();
  SetFocus(t);
  compat_pump();
  takeLog();
  compat_key('A', TRUE, nullptr);
  compat_key('A', FALSE, nullptr);
  compat_pump();
  auto raw = takeRaw();
  ASSERT_EQ(raw.size(), 3u);
  EXPECT_EQ(raw[0].msg, UINT(WM_KEYDOWN));
  EXPECT_EQ(raw[1].msg, UINT(WM_CHAR));
  EXPECT_EQ(raw[1].wp, WPARAM('a'));
  EXPECT_EQ(raw[1].lp, raw[0].lp);
  EXPECT_EQ(raw[2].msg, UINT(WM_KEYUP));
  EXPECT_TRUE(raw[2].lp & (LPARAM(1) << 31));
  // A double-byte character: two WM_CHAR, lead byte first.
  compat_key('X', TRUE, "\xD6\xD0");
  compat_key('X', FALSE, nullptr);
  compat_pump();
  raw = takeRaw();
  ASSERT_EQ(raw.size(), 4u);
  EXPECT_EQ(raw[1].wp, WPARAM(0xD6));
  EXPECT_EQ(raw[2].wp, WPARAM(0xD0));
  // Shift, Ctrl and keys without characters.
  compat_key(VK_SHIFT, TRUE, nullptr);
  compat_key('B', TRUE, nullptr);
  compat_key(VK_SHIFT, FALSE, nullptr);
  compat_key(VK_CONTROL, TRUE, nullptr);
  compat_key('C', TRUE, nullptr);
  compat_key(VK_CONTROL, FALSE, nullptr);
  compat_key(VK_LEFT, TRUE, nullptr);
  compat_key(VK_DELETE, TRUE, nullptr);
  compat_key(VK_RETURN, TRUE, nullptr);
  compat_key(VK_ESCAPE, TRUE, nullptr);
  compat_pump();
  std::vector<WPARAM> chars;
  for (auto& l : takeRaw())
    if (l.msg == WM_CHAR) chars.push_back(l.wp);
  EXPECT_EQ(chars, (std::vector<WPARAM>{'B', 3, 13, 27}));
  // Auto-repeat sets bit 30 of the press.
  compat_key('D', TRUE, nullptr);
  compat_key('D', TRUE, nullptr);
  compat_pump();
  raw = takeRaw();
  ASSERT_EQ(raw.size(), 4u);
  EXPECT_FALSE(raw[0].lp & (LPARAM(1) << 30));
  EXPECT_TRUE(raw[2].lp & (LPARAM(1) << 30));
  EXPECT_LT(GetKeyState('D'), 0);
  compat_key('D', FALSE, nullptr);
  compat_pump();
  EXPECT_GE(GetKeyState('D'), 0);
}

TEST_F(InputMessages, KeysWithoutFocusGoToTheActiveWindowAsSystemKeys) {
  HWND t = top();
  SetFocus(nullptr);
  compat_pump();
  takeLog();
  compat_key('Q', TRUE, nullptr);
  compat_key('Q', FALSE, nullptr);
  compat_pump();
  EXPECT_EQ(takeLog({{t, "t"}}), (Log{"SYSKEYDOWN@t", "SYSCHAR@t", "SYSKEYUP@t"}));
}

TEST_F(InputMessages, InputMethodTextArrivesAsAnsiBytes) {
  HWND t = top();
  compat_pump();
  takeLog();
  compat_input_text_utf8("\xE4\xB8\xAD");  // U+4E2D, GBK D6 D0
  compat_pump();
  auto raw = takeRaw();
  ASSERT_EQ(raw.size(), 2u);
  EXPECT_EQ(raw[0].hwnd, t);
  EXPECT_EQ(raw[0].wp, WPARAM(0xD6));
  EXPECT_EQ(raw[1].wp, WPARAM(0xD0));
}

TEST_F(InputMessages, HoverAndLeave) {
  HWND t = top(0, 0, 200, 200);
  HWND c = child(t, 100, 100, 50, 50);
  handlers()[t] = [](HWND h, UINT m, WPARAM, LPARAM, LRESULT*) {
    if (m == WM_MOUSEMOVE) {
      TRACKMOUSEEVENT tme = {sizeof(tme), TME_HOVER | TME_LEAVE, h, HOVER_DEFAULT};
      TrackMouseEvent(&tme);
    }
    return false;
  };
  compat_pump();
  compat_mouse_move(t, 10, 10);
  compat_advance(399);
  EXPECT_TRUE(only(takeLog(), {"MOUSEHOVER"}).empty());
  compat_advance(1);
  auto raw = takeRaw();
  int hovers = 0;
  for (auto& l : raw)
    if (l.msg == WM_MOUSEHOVER) {
      ++hovers;
      EXPECT_EQ(l.lp, MAKELPARAM(10, 10));
    }
  EXPECT_EQ(hovers, 1);
  compat_advance(1000);
  EXPECT_TRUE(only(takeLog(), {"MOUSEHOVER"}).empty());  // once per tracking request
  // Onto the child: the parent gets its leave after the child's move.
  compat_mouse_move(c, 5, 5);
  compat_pump();
  EXPECT_EQ(only(takeLog({{t, "t"}, {c, "c"}}), {"MOUSEMOVE", "MOUSELEAVE"}), (Log{"MOUSEMOVE@c", "MOUSELEAVE@t"}));
  // Back on the parent and out of every window.
  compat_mouse_move(t, 20, 20);
  compat_mouse_move(nullptr, 500, 500);
  compat_pump();
  EXPECT_EQ(only(takeLog({{t, "t"}}), {"MOUSEMOVE", "MOUSELEAVE"}), (Log{"MOUSEMOVE@t", "MOUSELEAVE@t"}));
  // Hover alone ends when the pointer leaves before the time is up.
  compat_mouse_move(t, 30, 30);
  compat_pump();
  TRACKMOUSEEVENT hoverOnly = {sizeof(hoverOnly), TME_HOVER, t, 100};
  EXPECT_TRUE(TrackMouseEvent(&hoverOnly));
  compat_mouse_move(nullptr, 600, 600);
  compat_advance(1000);
  EXPECT_TRUE(only(takeLog(), {"MOUSEHOVER"}).empty());
  // Tracking asked for while the pointer is outside: the leave comes at once.
  TRACKMOUSEEVENT tme = {sizeof(tme), TME_LEAVE, t, HOVER_DEFAULT};
  EXPECT_TRUE(TrackMouseEvent(&tme));
  compat_pump();
  EXPECT_EQ(takeLog(), (Log{"MOUSELEAVE"}));
}

TEST_F(InputMessages, CursorFromTheClassOnSetCursor) {
  HWND t = top(0, 0, 100, 100);
  EXPECT_EQ(LoadCursorA(nullptr, MAKEINTRESOURCEA(0)), nullptr);
  EXPECT_EQ(CreateCursor(nullptr, 0, 0, 0, 0, nullptr, nullptr), nullptr);
  HCURSOR beam = LoadCursorA(nullptr, IDC_IBEAM);
  ASSERT_NE(beam, nullptr);
  EXPECT_EQ(LoadCursorA(nullptr, IDC_IBEAM), beam);  // shared
  EXPECT_TRUE(DestroyCursor(beam));                  // tolerated
  HWND other = top(0, 0, 10, 10, WS_POPUP);          // same class
  SetClassLongPtrA(t, GCLP_HCURSOR, LONG_PTR(beam));
  EXPECT_EQ(HCURSOR(GetClassLongPtrA(other, GCLP_HCURSOR)), beam);
  compat_mouse_move(t, 50, 50);
  compat_pump();
  EXPECT_EQ(compat_current_cursor(), beam);
  EXPECT_EQ(compat_cursor_id(beam), 32513u);
  SetClassLongPtrA(t, GCLP_HCURSOR, LONG_PTR(LoadCursorA(nullptr, IDC_ARROW)));
  // A child of another class shows its own class cursor over a parent's.
  HWND c = child(t, 10, 10, 20, 20, WS_CHILD | WS_VISIBLE, "RecPlain");
  SetClassLongPtrA(c, GCLP_HCURSOR, LONG_PTR(LoadCursorA(nullptr, IDC_HAND)));
  compat_mouse_move(c, 5, 5);
  compat_pump();
  EXPECT_EQ(compat_cursor_id(compat_current_cursor()), 32649u);
  compat_mouse_move(t, 50, 50);
  compat_pump();
  EXPECT_EQ(compat_cursor_id(compat_current_cursor()), 32512u);
  HICON app = LoadIconA(nullptr, IDI_APPLICATION);
  ASSERT_NE(app, nullptr);
  EXPECT_TRUE(DestroyIcon(app));
  EXPECT_EQ(LoadIconA(nullptr, IDI_APPLICATION), app);
  EXPECT_EQ(CopyIcon(nullptr), nullptr);
  HICON copy = CopyIcon(app);
  EXPECT_NE(copy, app);
  EXPECT_TRUE(DestroyIcon(copy));
  EXPECT_FALSE(DestroyIcon(copy));
  EXPECT_EQ(CreateIcon(nullptr, 0, 0, 1, 24, nullptr, nullptr), nullptr);
  // Icon files load by their Windows name; anything else is refused.
  const char* host = "/tmp/rkwinsys-test.ico";
  FILE* f = fopen(host, "wb");
  ASSERT_NE(f, nullptr);
  const unsigned char dir[6] = {0, 0, 1, 0, 1, 0};
  fwrite(dir, 1, 6, f);
  fclose(f);
  HANDLE loaded = LoadImageA(nullptr, "Z:\\tmp\\rkwinsys-test.ico", IMAGE_ICON, 64, 64, LR_LOADFROMFILE);
  EXPECT_NE(loaded, nullptr);
  EXPECT_TRUE(DestroyIcon(HICON(loaded)));
  f = fopen(host, "wb");
  fputs("not an icon", f);
  fclose(f);
  EXPECT_EQ(LoadImageA(nullptr, "Z:\\tmp\\rkwinsys-test.ico", IMAGE_ICON, 64, 64, LR_LOADFROMFILE), nullptr);
  unlink(host);
  EXPECT_EQ(LoadImageA(nullptr, "Z:\\tmp\\rkwinsys-test.ico", IMAGE_ICON, 64, 64, LR_LOADFROMFILE), nullptr);
}

TEST_F(InputMessages, CaretIsOnePerThreadAndCountsShowsAndHides) {
  HWND t = top();
  HWND a = child(t, 10, 10, 50, 20);
  HWND b = child(t, 10, 40, 50, 20);
  CompatCaretInfo ci;
  EXPECT_FALSE(compat_caret_info(&ci));
  EXPECT_TRUE(CreateCaret(a, nullptr, 1, 14));
  ASSERT_TRUE(compat_caret_info(&ci));
  EXPECT_EQ(ci.hwnd, a);
  EXPECT_EQ(ci.hideCount, 1);  // starts hidden
  EXPECT_FALSE(ShowCaret(b));  // not the owner
  EXPECT_TRUE(ShowCaret(a));
  EXPECT_TRUE(SetCaretPos(4, 3));
  compat_caret_info(&ci);
  EXPECT_EQ(ci.hideCount, 0);
  EXPECT_EQ(ci.x, 4);
  EXPECT_EQ(ci.height, 14);
  EXPECT_TRUE(HideCaret(a));
  EXPECT_TRUE(HideCaret(a));
  EXPECT_TRUE(ShowCaret(a));
  compat_caret_info(&ci);
  EXPECT_EQ(ci.hideCount, 1);
  EXPECT_EQ(GetCaretBlinkTime(), 530u);
  EXPECT_TRUE(CreateCaret(b, nullptr, 2, 10));  // replaces the old one
  compat_caret_info(&ci);
  EXPECT_EQ(ci.hwnd, b);
  DestroyWindow(b);
  EXPECT_FALSE(compat_caret_info(&ci));  // dies with its window
  EXPECT_FALSE(DestroyCaret());
}

TEST_F(InputMessages, ClipboardTextAndDroppedFiles) {
  HWND t = top();
  ASSERT_TRUE(OpenClipboard(t));
  EXPECT_FALSE(OpenClipboard(t));
  ASSERT_TRUE(EmptyClipboard());
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, 6);
  ASSERT_NE(mem, nullptr);
  char* p = static_cast<char*>(GlobalLock(mem));
  memcpy(p, "hello", 6);
  GlobalUnlock(mem);
  EXPECT_EQ(SetClipboardData(CF_TEXT, mem), mem);
  CloseClipboard();
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT));
  EXPECT_EQ(GetClipboardData(CF_TEXT), nullptr);  // closed
  ASSERT_TRUE(OpenClipboard(t));
  HANDLE h = GetClipboardData(CF_TEXT);
  ASSERT_NE(h, nullptr);
  EXPECT_STREQ(static_cast<char*>(GlobalLock(h)), "hello");
  GlobalUnlock(h);
  CloseClipboard();
  EXPECT_FALSE(EmptyClipboard());

  HWND c = child(t, 0, 0, 50, 50);
  const char* names[] = {"C:\\a.png", "C:\\dir\\b.jpg", "Z:\\tmp\\c.gif"};
  EXPECT_FALSE(compat_drop_files(c, 1, 1, names, 3));  // nobody accepts files
  DragAcceptFiles(c, TRUE);
  EXPECT_TRUE(GetWindowLongPtrA(c, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
  std::vector<std::string> got;
  handlers()[c] = [&](HWND, UINT m, WPARAM wp, LPARAM, LRESULT* r) {
    if (m != WM_DROPFILES) return false;
    HDROP d = HDROP(wp);
    UINT n = DragQueryFileA(d, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < n; ++i) {
      UINT len = DragQueryFileA(d, i, nullptr, 0);
      std::string s(len + 1, '\0');
      EXPECT_EQ(DragQueryFileA(d, i, &s[0], len + 1), len);
      s.resize(len);
      got.push_back(s);
    }
    DragFinish(d);
    *r = 0;
    return true;
  };
  EXPECT_TRUE(compat_drop_files(c, 1, 1, names, 3));
  compat_pump();
  EXPECT_EQ(got, (std::vector<std::string>{names[0], names[1], names[2]}));
}
