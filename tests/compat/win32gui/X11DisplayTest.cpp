// The X11 display under a private Xvfb server: a window with children shows its pixels in an
// X screenshot and reacts to clicks injected through the X server.
#include "WinsysTestSupport.h"
#include "XvfbServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace {

int run(const std::vector<std::string>& args) { return XvfbServer::run(args); }

uint32_t be32(const unsigned char* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// A screenshot of the root window through xwd, as 0x00RRGGBB pixels.
struct Shot {
  int width = 0, height = 0;
  std::vector<uint32_t> px;
  uint32_t at(int x, int y) const { return px[size_t(y) * size_t(width) + size_t(x)]; }
};

bool screenshot(Shot* shot) {
  char path[] = "/tmp/rkwinsys-xwd-XXXXXX";
  int fd = mkstemp(path);
  if (fd < 0) return false;
  close(fd);
  bool ok = run({"xwd", "-root", "-silent", "-out", path}) == 0;
  std::vector<unsigned char> data;
  if (FILE* f = fopen(path, "rb")) {
    unsigned char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), f)) > 0) data.insert(data.end(), buf, buf + n);
    fclose(f);
  }
  unlink(path);
  if (!ok || data.size() < 100) return false;
  uint32_t headerSize = be32(&data[0]), width = be32(&data[16]), height = be32(&data[20]);
  uint32_t byteOrder = be32(&data[28]), bpp = be32(&data[44]), bytesPerLine = be32(&data[48]);
  uint32_t ncolors = be32(&data[76]);
  size_t offset = headerSize + size_t(ncolors) * 12;
  if (bpp != 32 || offset + size_t(bytesPerLine) * height > data.size()) return false;
  shot->width = int(width);
  shot->height = int(height);
  shot->px.resize(size_t(width) * height);
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) {
      const unsigned char* p = &data[offset + size_t(y) * bytesPerLine + x * 4];
      uint32_t v =
          byteOrder == 0 ? (uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]) : be32(p);
      shot->px[size_t(y) * width + x] = v & 0x00FFFFFFu;
    }
  return true;
}

template <class F>
bool pumpUntil(F done, int ms) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    compat_pump();
    if (done()) return true;
    usleep(5000);
  }
  return done();
}

std::map<HWND, COLORREF>& colours() {
  static std::map<HWND, COLORREF> m;
  return m;
}

bool paintInColour(HWND h, UINT m, WPARAM, LPARAM, LRESULT* r) {
  if (m == WM_ERASEBKGND) {
    *r = 1;
    return true;
  }
  if (m != WM_PAINT) return false;
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(h, &ps);
  HBRUSH b = CreateSolidBrush(colours()[h]);
  FillRect(dc, &ps.rcPaint, b);
  DeleteObject(b);
  EndPaint(h, &ps);
  *r = 0;
  return true;
}

}  // namespace

class X11Display : public WinsysTest {
 protected:
  XvfbServer xvfb;

  void SetUp() override {
    WinsysTest::SetUp();
    if (findProgram("Xvfb").empty()) GTEST_SKIP() << "Xvfb is not installed";
    ASSERT_TRUE(xvfb.start("640x480x24")) << "Xvfb did not start";
    compat_reset_windows();
    ASSERT_EQ(compat_display_select(COMPAT_DISPLAY_X11), COMPAT_DISPLAY_X11);
    compat_clock_set_virtual(FALSE);
  }

  void TearDown() override {
    compat_reset_windows();
    compat_display_select(COMPAT_DISPLAY_HEADLESS);
    xvfb.stop();
    colours().clear();
    WinsysTest::TearDown();
  }
};

TEST_F(X11Display, WindowWithChildrenShowsItsPixelsAndTakesClicks) {
  classHandler() = paintInColour;
  HWND t = top(40, 30, 200, 120, WS_POPUP);
  HWND green = child(t, 10, 10, 60, 40);
  HWND blue = child(t, 100, 50, 80, 50);
  colours()[t] = RGB(255, 0, 0);
  colours()[green] = RGB(0, 255, 0);
  colours()[blue] = RGB(0, 0, 255);
  ASSERT_NE(compat_x11_window(t), 0u);
  ShowWindow(t, SW_SHOW);
  UpdateWindow(t);
  Shot shot;
  bool shown = pumpUntil(
      [&] {
        return screenshot(&shot) && shot.at(45, 35) == 0xFF0000u && shot.at(55, 45) == 0x00FF00u &&
               shot.at(145, 85) == 0x0000FFu;
      },
      5000);
  ASSERT_TRUE(shown) << "screen pixels " << std::hex << (shot.px.empty() ? 0 : shot.at(45, 35));
  EXPECT_EQ(shot.at(235, 145), 0xFF0000u);  // bottom-right corner of the window
  EXPECT_NE(shot.at(250, 160), 0xFF0000u);  // outside it
  takeLog();
  ASSERT_EQ(run({"xdotool", "mousemove", "145", "85", "click", "1"}), 0);
  std::vector<Logged> got;
  bool clicked = pumpUntil(
      [&] {
        for (auto& l : takeRaw())
          if ((l.msg == WM_LBUTTONDOWN || l.msg == WM_LBUTTONUP) && l.hwnd == blue) got.push_back(l);
        return got.size() >= 2;
      },
      5000);
  ASSERT_TRUE(clicked);
  EXPECT_EQ(got[0].msg, UINT(WM_LBUTTONDOWN));
  EXPECT_EQ(got[0].lp, MAKELPARAM(5, 5));
  EXPECT_EQ(got[1].msg, UINT(WM_LBUTTONUP));
  // A repaint of the green child after a colour change reaches the screen too.
  colours()[green] = RGB(255, 255, 0);
  InvalidateRect(green, nullptr, TRUE);
  bool repainted = pumpUntil([&] { return screenshot(&shot) && shot.at(55, 45) == 0xFFFF00u; }, 5000);
  EXPECT_TRUE(repainted);
  // The caret is drawn over the window (inverted), not into its pixels.
  SetFocus(green);
  ASSERT_TRUE(CreateCaret(green, nullptr, 2, 10));
  SetCaretPos(20, 10);
  ShowCaret(green);
  bool caretSeen = pumpUntil([&] { return screenshot(&shot) && shot.at(71, 52) == 0x0000FFu; }, 5000);
  EXPECT_TRUE(caretSeen);
  EXPECT_EQ(compat_get_pixel(green, 21, 12), RGB(255, 255, 0));
  DestroyCaret();
  // Keys typed on the X keyboard reach the focus window, with their character.
  takeLog();
  ASSERT_EQ(run({"xdotool", "key", "a"}), 0);
  std::vector<Logged> keys;
  bool typed = pumpUntil(
      [&] {
        for (auto& l : takeRaw())
          if ((l.msg == WM_KEYDOWN || l.msg == WM_CHAR || l.msg == WM_KEYUP) && l.hwnd == green) keys.push_back(l);
        return keys.size() >= 3;
      },
      5000);
  ASSERT_TRUE(typed);
  EXPECT_EQ(keys[0].msg, UINT(WM_KEYDOWN));
  EXPECT_EQ(keys[0].wp, WPARAM('A'));
  EXPECT_EQ(keys[1].msg, UINT(WM_CHAR));
  EXPECT_EQ(keys[1].wp, WPARAM('a'));
  EXPECT_EQ(keys[2].msg, UINT(WM_KEYUP));
}

namespace {
std::string hex(const std::string& s) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : s) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}
}  // namespace

TEST_F(X11Display, ClipboardTextReachesAnotherProgram) {
  HWND t = top(10, 10, 50, 50);
  const std::string text = "\xD6\xD0\xCE\xC4 licence";  // GBK
  ASSERT_TRUE(OpenClipboard(t));
  EmptyClipboard();
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  memcpy(GlobalLock(mem), text.c_str(), text.size() + 1);
  GlobalUnlock(mem);
  SetClipboardData(CF_TEXT, mem);
  CloseClipboard();
  // A second program of the stand-in pastes it through the X server while this one serves it.
  setenv("RKWIN_CLIPBOARD_EXPECT", hex(text).c_str(), 1);
  std::string self = "/proc/self/exe", filter = "--gtest_filter=X11ClipboardHelper.PastesWhatAnotherProgramCopied";
  char* argv[] = {&self[0], &filter[0], nullptr};
  pid_t pid;
  ASSERT_EQ(posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv, environ), 0);
  unsetenv("RKWIN_CLIPBOARD_EXPECT");
  int status = -1;
  bool ended = pumpUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 10000);
  if (!ended) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
  ASSERT_TRUE(ended);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// Runs only inside the test above, as the other program.
TEST(X11ClipboardHelper, PastesWhatAnotherProgramCopied) {
  const char* expect = getenv("RKWIN_CLIPBOARD_EXPECT");
  if (!expect) GTEST_SKIP() << "the other program of X11Display.ClipboardTextReachesAnotherProgram";
  ASSERT_EQ(compat_display_select(COMPAT_DISPLAY_X11), COMPAT_DISPLAY_X11);
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = DefWindowProcA;
  wc.lpszClassName = "ClipHelper";
  RegisterClassExA(&wc);
  HWND h = CreateWindowExA(0, "ClipHelper", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(h, nullptr);
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT));
  ASSERT_TRUE(OpenClipboard(h));
  HANDLE data = GetClipboardData(CF_TEXT);
  ASSERT_NE(data, nullptr);
  std::string got = static_cast<const char*>(GlobalLock(data));
  GlobalUnlock(data);
  CloseClipboard();
  EXPECT_EQ(hex(got), expect);
  DestroyWindow(h);
  compat_display_select(COMPAT_DISPLAY_HEADLESS);
}
