// The queue: posting, priorities, quit, timers, painting, window DCs and the modal box.
#include "WinsysTestSupport.h"

#include <cstdio>
#include <unistd.h>

using Log = std::vector<std::string>;

class QueueTimerPaint : public WinsysTest {};

TEST_F(QueueTimerPaint, PostedBeforeInputBeforePaintBeforeTimer) {
  HWND t = top(0, 0, 100, 100);
  compat_pump();
  takeLog();
  SetTimer(t, 1, 10, nullptr);
  compat_advance(0);
  compat_clock_set_virtual(TRUE);
  // Everything falls due together.
  compat_advance(0);
  takeLog();
  InvalidateRect(t, nullptr, TRUE);
  compat_mouse_move(t, 5, 5);
  PostMessageA(t, WM_USER + 1, 0, 0);
  compat_advance(10);
  auto log = only(takeLog(), {"0x1025", "MOUSEMOVE", "PAINT", "TIMER"});
  EXPECT_EQ(log, (Log{"0x1025", "MOUSEMOVE", "PAINT", "TIMER"}));
}

TEST_F(QueueTimerPaint, PostsAreFifoAndQuitEndsTheLoop) {
  HWND t = top();
  compat_pump();
  takeLog();
  EXPECT_TRUE(PostMessageA(t, WM_USER, 1, 0));
  PostQuitMessage(3);
  EXPECT_TRUE(PostMessageA(t, WM_USER, 2, 0));
  EXPECT_TRUE(PostMessageA(nullptr, WM_USER, 9, 0));  // a thread message
  MSG m;
  EXPECT_EQ(GetMessageA(&m, nullptr, 0, 0), TRUE);
  EXPECT_EQ(m.wParam, 1u);
  DispatchMessageA(&m);
  EXPECT_EQ(GetMessageA(&m, nullptr, 0, 0), FALSE);
  EXPECT_EQ(m.message, UINT(WM_QUIT));
  EXPECT_EQ(m.wParam, 3u);
  EXPECT_EQ(GetMessageA(&m, nullptr, 0, 0), TRUE);
  EXPECT_EQ(m.wParam, 2u);
  EXPECT_EQ(GetMessageA(&m, nullptr, 0, 0), TRUE);
  EXPECT_EQ(m.hwnd, nullptr);
  EXPECT_EQ(DispatchMessageA(&m), 0);  // goes nowhere
  EXPECT_EQ(takeLog().size(), 1u);
  // A quit posted to a window as a plain message ends the loop too.
  PostMessageA(t, WM_QUIT, 0, 0);
  EXPECT_EQ(GetMessageA(&m, nullptr, 0, 0), FALSE);
  // PeekMessage without removing leaves the message in place.
  PostMessageA(t, WM_USER, 5, 0);
  EXPECT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.wParam, 5u);
  // With nothing that could ever arrive, the headless loop fails instead of hanging.
  EXPECT_EQ(GetMessageA(&m, nullptr, 0, 0), -1);
  EXPECT_EQ(SendMessageA(t, WM_USER + 7, 0, 0), 0);
  EXPECT_EQ(takeLog(), (Log{"0x1031"}));
}

TEST_F(QueueTimerPaint, TimersTickOnlyWhenDueAndDieWhenKilled) {
  HWND t = top();
  compat_pump();
  takeLog();
  EXPECT_EQ(SetTimer(t, 0x2447, 100, nullptr), UINT_PTR(0x2447));
  compat_advance(99);
  EXPECT_TRUE(takeLog().empty());
  compat_advance(1);
  EXPECT_EQ(takeLog(), (Log{"TIMER"}));
  compat_advance(1000);
  EXPECT_EQ(takeLog().size(), 10u);
  // A second SetTimer re-arms the same timer; periods below 10 ms become 10.
  EXPECT_EQ(SetTimer(t, 0x2447, 1, nullptr), UINT_PTR(0x2447));
  compat_advance(100);
  EXPECT_EQ(takeLog().size(), 10u);
  // At most one tick waits, however late the loop comes back.
  compat_clock_set_virtual(TRUE);
  MSG m;
  EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  SetTimer(t, 0x2447, 10, nullptr);
  SendMessageA(t, WM_NULL, 0, 0);
  takeLog();
  compat_advance(0);
  EXPECT_TRUE(KillTimer(t, 0x2447));
  EXPECT_FALSE(KillTimer(t, 0x2447));
  compat_advance(1000);
  EXPECT_TRUE(takeLog().empty());
  // Thread timers get an identifier of their own and call their procedure.
  static int calls = 0;
  calls = 0;
  UINT_PTR id = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) { ++calls; });
  EXPECT_NE(id, 0u);
  compat_advance(200);
  EXPECT_EQ(calls, 4);
  KillTimer(nullptr, id);
  calls = 0;
  // A window timer with a procedure calls the procedure instead of the window.
  SetTimer(t, 5, 50, [](HWND, UINT, UINT_PTR, DWORD) { ++calls; });
  compat_advance(100);
  EXPECT_EQ(calls, 2);
  EXPECT_TRUE(only(takeLog(), {"TIMER"}).empty());
}

TEST_F(QueueTimerPaint, PaintAfterInvalidation) {
  HWND t = top(0, 0, 100, 100);
  compat_pump();
  takeLog();
  std::vector<RECT> painted;
  std::vector<BOOL> erased;
  handlers()[t] = [&](HWND h, UINT m, WPARAM, LPARAM, LRESULT* r) {
    if (m == WM_ERASEBKGND) {
      *r = 2;
      return true;
    }
    if (m != WM_PAINT) return false;
    PAINTSTRUCT ps;
    EXPECT_NE(BeginPaint(h, &ps), nullptr);
    painted.push_back(ps.rcPaint);
    erased.push_back(ps.fErase);
    EndPaint(h, &ps);
    *r = 0;
    return true;
  };
  RECT a = {10, 10, 20, 20}, b = {50, 60, 70, 200};
  InvalidateRect(t, &a, FALSE);
  InvalidateRect(t, &b, TRUE);
  compat_pump();
  ASSERT_EQ(painted.size(), 1u);
  EXPECT_EQ(painted[0].left, 10);
  EXPECT_EQ(painted[0].top, 10);
  EXPECT_EQ(painted[0].right, 70);
  EXPECT_EQ(painted[0].bottom, 100);  // clipped to the client area
  EXPECT_FALSE(erased[0]);            // the window answered the erase
  EXPECT_EQ(only(takeLog(), {"PAINT", "ERASEBKGND"}), (Log{"PAINT", "ERASEBKGND"}));
  compat_pump();
  EXPECT_TRUE(takeLog().empty());  // validated
  // UpdateWindow paints at once; BeginPaint outside WM_PAINT gives an empty rectangle.
  InvalidateRect(t, nullptr, FALSE);
  UpdateWindow(t);
  EXPECT_EQ(painted.size(), 2u);
  PAINTSTRUCT ps;
  ASSERT_NE(BeginPaint(t, &ps), nullptr);
  EXPECT_EQ(ps.rcPaint.right, 0);
  EndPaint(t, &ps);
  // An invalidated parent without WS_CLIPCHILDREN repaints its children after itself.
  HWND c = child(t, 0, 0, 30, 30);
  compat_pump();
  takeLog();
  InvalidateRect(t, nullptr, TRUE);
  compat_pump();
  EXPECT_EQ(only(takeLog({{t, "t"}, {c, "c"}}), {"PAINT"}), (Log{"PAINT@t", "PAINT@c"}));
}

TEST_F(QueueTimerPaint, WindowDCsDrawIntoTheTopLevelSurface) {
  HWND t = top(0, 0, 100, 80);
  HWND c = child(t, 20, 10, 30, 30);
  HWND g = child(c, 25, 25, 30, 30);  // sticks out of its parent
  compat_pump();
  auto fill = [](HWND h, COLORREF col) {
    HDC dc = GetDC(h);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(WindowFromDC(dc), h);
    HBRUSH b = CreateSolidBrush(col);
    RECT r = {0, 0, 1000, 1000};
    FillRect(dc, &r, b);
    DeleteObject(b);
    EXPECT_EQ(ReleaseDC(h, dc), 1);
  };
  fill(t, RGB(255, 0, 0));
  fill(c, RGB(0, 255, 0));
  fill(g, RGB(0, 0, 255));
  EXPECT_EQ(compat_get_pixel(t, 0, 0), RGB(255, 0, 0));
  EXPECT_EQ(compat_get_pixel(t, 20, 10), RGB(0, 255, 0));
  EXPECT_EQ(compat_get_pixel(c, 0, 0), RGB(0, 255, 0));
  EXPECT_EQ(compat_get_pixel(t, 46, 36), RGB(0, 0, 255));
  EXPECT_EQ(compat_get_pixel(t, 51, 36), RGB(255, 0, 0));  // clipped by the child's parent
  EXPECT_EQ(compat_get_pixel(t, 100, 0), CLR_INVALID);
  std::vector<uint32_t> px(30 * 30);
  EXPECT_EQ(compat_read_pixels(c, px.data(), px.size()), px.size());
  EXPECT_EQ(px[0], 0x0000FF00u);
  EXPECT_EQ(px[29 * 30 + 29], 0x000000FFu);
  char path[] = "/tmp/rkwinsysXXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  EXPECT_TRUE(compat_save_png(c, path));
  FILE* f = fopen(path, "rb");
  ASSERT_NE(f, nullptr);
  unsigned char sig[8] = {};
  EXPECT_EQ(fread(sig, 1, 8, f), 8u);
  fclose(f);
  unlink(path);
  EXPECT_EQ(sig[1], 'P');
  // A class DC is the same every time and survives moves and resizes.
  HWND o = child(t, 60, 40, 20, 20, WS_CHILD | WS_VISIBLE, "RecOwnDC");
  HDC d1 = GetDC(o);
  ReleaseDC(o, d1);
  MoveWindow(t, 0, 0, 120, 100, TRUE);
  MoveWindow(o, 70, 50, 25, 25, TRUE);
  HDC d2 = GetDC(o);
  EXPECT_EQ(d1, d2);
  HBRUSH b = CreateSolidBrush(RGB(1, 2, 3));
  RECT r = {0, 0, 25, 25};
  FillRect(d2, &r, b);
  DeleteObject(b);
  ReleaseDC(o, d2);
  EXPECT_EQ(compat_get_pixel(t, 94, 74), RGB(1, 2, 3));
  // The desktop DC works as a screen DC.
  HDC s = GetDC(nullptr);
  EXPECT_NE(s, nullptr);
  EXPECT_EQ(ReleaseDC(nullptr, s), 1);
}

TEST_F(QueueTimerPaint, WindowShapeClipsHitTesting) {
  HWND t = top(0, 0, 40, 40);
  HRGN r = CreateRectRgn(0, 0, 40, 40);
  HRGN hole = CreateRectRgn(5, 5, 6, 6);
  EXPECT_EQ(CombineRgn(r, r, hole, RGN_XOR), COMPLEXREGION);
  DeleteObject(hole);
  EXPECT_FALSE(PtInRegion(r, 5, 5));
  EXPECT_NE(SetWindowRgn(t, r, FALSE), 0);
  compat_pump();
  takeLog();
  compat_click(t, 5, 5);  // through the hole: nothing underneath
  compat_click(t, 6, 5);
  compat_pump();
  EXPECT_EQ(only(takeLog(), {"LBUTTONDOWN"}).size(), 1u);
}

namespace {
struct BoxProbe {
  int ticks = 0;
  bool ownerDisabledInside = false;
  HWND owner = nullptr;
};
BoxProbe probe;
}  // namespace

TEST_F(QueueTimerPaint, ModalBoxKeepsTimersRunningBeneathIt) {
  HWND t = top(0, 0, 300, 200);
  probe = BoxProbe();
  probe.owner = t;
  handlers()[t] = [](HWND h, UINT m, WPARAM, LPARAM, LRESULT*) {
    if (m == WM_TIMER) {
      probe.ticks++;
      if (!IsWindowEnabled(h)) probe.ownerDisabledInside = true;
    }
    return false;
  };
  SetTimer(t, 0x2447, 10, nullptr);
  compat_pump();
  takeLog();
  compat_message_box_answer(IDCANCEL, 1000);
  int before = compat_message_box_count();
  EXPECT_EQ(MessageBoxA(t, "Create the folder?", "Setup", MB_OKCANCEL), IDCANCEL);
  EXPECT_EQ(compat_message_box_count(), before + 1);
  EXPECT_STREQ(compat_message_box_last_text(), "Create the folder?");
  EXPECT_STREQ(compat_message_box_last_caption(), "Setup");
  EXPECT_GE(probe.ticks, 90);
  EXPECT_TRUE(probe.ownerDisabledInside);
  EXPECT_TRUE(IsWindowEnabled(t));
  EXPECT_EQ(GetActiveWindow(), t);
  auto log = only(takeLog({{t, "t"}}), {"ENABLE"});
  EXPECT_EQ(log, (Log{"ENABLE@t", "ENABLE@t"}));
  // Without a script the headless box answers OK.
  EXPECT_EQ(MessageBoxA(nullptr, "done", "Setup", MB_OK), IDOK);
  // A quit fetched inside ends the box and is posted again.
  compat_message_box_answer(IDOK, 5000);
  PostQuitMessage(0);
  EXPECT_EQ(MessageBoxA(t, "x", "y", MB_OKCANCEL), IDCANCEL);
  MSG m;
  EXPECT_EQ(GetMessageA(&m, nullptr, 0, 0), FALSE);
  // A hook can answer by pressing the box's OK button with the mouse.
  compat_message_box_hook(
      [](void*, HWND box, const char*, const char*) {
        RECT r;
        GetClientRect(box, &r);
        static int round = 0;
        if (round++ == 0) {
          compat_key(VK_RETURN, TRUE, nullptr);
          compat_key(VK_RETURN, FALSE, nullptr);
        }
        return 0;
      },
      nullptr);
  EXPECT_EQ(MessageBoxA(t, "press enter", "Setup", MB_OKCANCEL), IDOK);
  compat_message_box_hook(nullptr, nullptr);
}

TEST_F(QueueTimerPaint, IdleHookDrivesABlockingLoop) {
  HWND t = top();
  static int rounds = 0;
  rounds = 0;
  compat_set_idle_hook(
      [](void* ctx) {
        if (++rounds == 3) PostMessageA(static_cast<HWND>(ctx), WM_QUIT, 0, 0);
      },
      t);
  MSG m;
  int dispatched = 0;
  while (GetMessageA(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
    ++dispatched;
  }
  compat_set_idle_hook(nullptr, nullptr);
  EXPECT_EQ(rounds, 3);
  EXPECT_GT(dispatched, 0);
}
