// The input script driving a small window through its own message loop: clicks routed to the
// child under the point, keys and text, waits on visibility, enabled state and pixels, box
// answers, shots, bad lines and the timeout.
#include "WinsysTestSupport.h"

#include <compat_input_script.h>
#include <shlobj.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "TempFolder.h"

namespace {

using Log = std::vector<std::string>;

// Runs the thread's loop as a program does; returns GetMessageA's last result.
int runLoop() {
  MSG m;
  int r;
  while ((r = GetMessageA(&m, nullptr, 0, 0)) > 0) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
  return r;
}

class InputScript : public WinsysTest {
 protected:
  void SetUp() override {
    WinsysTest::SetUp();
    main = top(50, 40, 300, 200);
    // A: shows B and disables itself when clicked. B starts hidden. Q posts the quit.
    a = child(main, 10, 10, 80, 30);
    b = child(main, 100, 10, 80, 30, WS_CHILD, "RecPlain");
    q = child(main, 200, 150, 80, 30);
    handlers()[a] = [this](HWND h, UINT msg, WPARAM, LPARAM, LRESULT*) {
      if (msg == WM_LBUTTONUP) {
        ShowWindow(b, SW_SHOW);
        EnableWindow(h, FALSE);
      }
      return false;
    };
    handlers()[q] = [](HWND, UINT msg, WPARAM, LPARAM, LRESULT*) {
      if (msg == WM_LBUTTONUP) PostQuitMessage(0);
      return false;
    };
    compat_pump();
    takeLog();
  }
  void TearDown() override {
    compat_input_script_stop();
    WinsysTest::TearDown();
  }
  // The log of one window's messages among those kept.
  Log of(HWND h, const Log& keep) {
    Log out;
    for (const Logged& l : messageLog())
      if (l.hwnd == h)
        for (const std::string& k : keep)
          if (k == msgName(l.msg)) out.push_back(k);
    return out;
  }
  std::string chars(HWND h) {
    std::string s;
    for (const Logged& l : messageLog())
      if (l.hwnd == h && l.msg == WM_CHAR) s += char(l.wp);
    return s;
  }
  HWND main = nullptr, a = nullptr, b = nullptr, q = nullptr;
};

TEST_F(InputScript, StepsDriveTheWindowThroughItsLoop) {
  rktest::TempFolder shots("rkscript");
  int answer = 0;
  handlers()[b] = [&](HWND, UINT msg, WPARAM, LPARAM, LRESULT*) {
    if (msg == WM_LBUTTONUP) answer = MessageBoxA(main, "Sure?", "Question", MB_OKCANCEL);
    return false;
  };
  const char* text =
      "# comments and blank lines are skipped\n"
      "\n"
      "wait-visible 20 20 RecTest\n"
      "wait-hidden 110 20\n"
      "click 20 20\r\n"
      "wait-visible 110 20 RecPlain\n"
      "wait-disabled 20 20\n"
      "answer-box CANCEL\n"
      "click 110 20\n"
      "key shift+HOME\n"
      "type ab \xE4\xB8\xAD\n"
      "shot pages/one.png\n"
      "click 210 160\n";
  ASSERT_TRUE(compat_input_script_start(text, "steps", shots.path().c_str(), 10));
  EXPECT_EQ(COMPAT_SCRIPT_RUNNING, compat_input_script_state());
  EXPECT_EQ(3, compat_input_script_line());
  EXPECT_EQ(0, runLoop());

  EXPECT_EQ(COMPAT_SCRIPT_FINISHED, compat_input_script_state());
  EXPECT_EQ(13, compat_input_script_line());
  EXPECT_STREQ("", compat_input_script_report());
  EXPECT_TRUE(IsWindowVisible(b));
  EXPECT_FALSE(IsWindowEnabled(a));
  EXPECT_EQ(IDCANCEL, answer);
  EXPECT_EQ((Log{"LBUTTONDOWN", "LBUTTONUP"}), of(a, {"LBUTTONDOWN", "LBUTTONUP", "LBUTTONDBLCLK"}));
  EXPECT_EQ((Log{"LBUTTONDOWN", "LBUTTONUP"}), of(b, {"LBUTTONDOWN", "LBUTTONUP"}));
  // The key went to the focus with shift held around it; the text came as code-page bytes.
  HWND focus = GetFocus();
  ASSERT_NE(nullptr, focus);
  EXPECT_EQ((Log{"KEYDOWN", "KEYDOWN", "KEYUP", "KEYUP"}), of(focus, {"KEYDOWN", "KEYUP"}));
  EXPECT_EQ("ab \xD6\xD0", chars(focus));
  std::ifstream png(shots / "pages/one.png", std::ios::binary);
  char signature[4] = {};
  png.read(signature, 4);
  EXPECT_EQ(std::string("\x89PNG"), std::string(signature, 4));
}

TEST_F(InputScript, QuickClicksAtOnePointMakeADoubleClickAsAUsersDo) {
  // A's class takes double clicks. The clicks go in without waiting: the second is a double
  // click, the third a press again.
  handlers()[a] = nullptr;
  DWORD before = compat_clock_now();
  ASSERT_TRUE(
      compat_input_script_start("click 20 20\nclick 20 20\nclick 20 20\nclick 210 160\n", "clicks", nullptr, 10));
  EXPECT_EQ(0, runLoop());
  EXPECT_EQ(COMPAT_SCRIPT_FINISHED, compat_input_script_state());
  EXPECT_EQ((Log{"LBUTTONDOWN", "LBUTTONUP", "LBUTTONDBLCLK", "LBUTTONUP", "LBUTTONDOWN", "LBUTTONUP"}),
            of(a, {"LBUTTONDOWN", "LBUTTONUP", "LBUTTONDBLCLK"}));
  EXPECT_LT(compat_clock_now() - before, GetDoubleClickTime());
}

TEST_F(InputScript, BadLinesAreReportedAndNoStepRuns) {
  const char* text =
      "click 20 20\n"
      "clack 1 2\n"
      "click 20\n"
      "key ctrl+NOSUCH\n"
      "wait-pixel 1 2 red\n"
      "answer-box MAYBE\n"
      "wait-enabled 1 2 RecTest extra\n";
  EXPECT_FALSE(compat_input_script_start(text, "bad", nullptr, 10));
  EXPECT_EQ(COMPAT_SCRIPT_FAILED, compat_input_script_state());
  // The loop ends at the first idle moment.
  EXPECT_EQ(0, runLoop());
  EXPECT_EQ((Log{}), of(a, {"LBUTTONDOWN"}));
  // Every bad line was reported; the last report names the last one.
  EXPECT_EQ("input script bad:7: wait-enabled wants X Y and perhaps a window class: wait-enabled 1 2 RecTest extra",
            std::string(compat_input_script_report()));
}

// A box answered for a text: the right text goes on (a GBK text written in UTF-8), another
// text ends the script with a report of both.
TEST_F(InputScript, AnAnswerForATextChecksTheBoxText) {
  std::string shown = "\xB4\xB4\xBD\xA8\xB2\xBB\xB3\xC9\xB9\xA6";  // GBK
  int answer = 0;
  handlers()[b] = [&](HWND, UINT msg, WPARAM, LPARAM, LRESULT*) {
    if (msg == WM_LBUTTONUP) answer = MessageBoxA(main, shown.c_str(), "Note", MB_OKCANCEL);
    return false;
  };
  const char* text =
      "click 20 20\n"
      "wait-visible 110 20 RecPlain\n"
      "answer-box CANCEL \xE5\x88\x9B\xE5\xBB\xBA\xE4\xB8\x8D\xE6\x88\x90\xE5\x8A\x9F\n"
      "click 110 20\n"
      "click 210 160\n";
  ASSERT_TRUE(compat_input_script_start(text, "box", nullptr, 10));
  EXPECT_EQ(0, runLoop());
  EXPECT_EQ(COMPAT_SCRIPT_FINISHED, compat_input_script_state());
  EXPECT_STREQ("", compat_input_script_report());
  EXPECT_EQ(IDCANCEL, answer);

  shown = "Something else";
  EnableWindow(a, TRUE);
  ShowWindow(b, SW_HIDE);
  compat_pump();
  ASSERT_TRUE(compat_input_script_start(text, "box", nullptr, 10));
  EXPECT_EQ(0, runLoop());
  EXPECT_EQ(COMPAT_SCRIPT_FAILED, compat_input_script_state());
  EXPECT_EQ(
      "input script box:5: the message box shows 'Something else', not "
      "'\xE5\x88\x9B\xE5\xBB\xBA\xE4\xB8\x8D\xE6\x88\x90\xE5\x8A\x9F'",
      std::string(compat_input_script_report()));
}

// A folder-browser answer is written in UTF-8, as the script's other texts are; the program
// gets the path in its code page.
TEST_F(InputScript, AFolderBrowserAnswerReachesTheProgramInItsCodePage) {
  std::string chosen, name;
  handlers()[a] = [&](HWND, UINT msg, WPARAM, LPARAM, LRESULT*) {
    if (msg == WM_LBUTTONUP) {
      char display[MAX_PATH] = {0};
      BROWSEINFOA bi = {};
      bi.pszDisplayName = display;
      LPITEMIDLIST folder = SHBrowseForFolderA(&bi);
      char path[MAX_PATH] = {0};
      if (folder) SHGetPathFromIDListA(folder, path);
      ILFree(folder);
      chosen = path;
      name = display;
    }
    return false;
  };
  // C:\软件\陳誠
  ASSERT_TRUE(compat_input_script_start(
      "answer-browser C:\\\xE8\xBD\xAF\xE4\xBB\xB6\\\xE9\x99\xB3\xE8\xAA\xA0\nclick 20 20\nclick 210 160\n", "browser",
      nullptr, 10));
  EXPECT_EQ(0, runLoop());
  EXPECT_EQ(COMPAT_SCRIPT_FINISHED, compat_input_script_state());
  EXPECT_EQ(chosen, "C:\\\xC8\xED\xBC\xFE\\\xEA\x90\xD5\x5C");
  EXPECT_EQ(name, "\xEA\x90\xD5\x5C");
}

TEST_F(InputScript, AShotThatCannotBeSavedEndsTheScript) {
  ASSERT_TRUE(compat_input_script_start("shot /proc/no/such/page.png\nclick 20 20\n", "shot", nullptr, 10));
  EXPECT_EQ(0, runLoop());
  EXPECT_EQ(COMPAT_SCRIPT_FAILED, compat_input_script_state());
  EXPECT_EQ("input script shot:1: cannot save /proc/no/such/page.png", std::string(compat_input_script_report()));
  EXPECT_TRUE(IsWindowEnabled(a));  // the click never came
}

TEST_F(InputScript, AWaitThatNeverHoldsTimesOutAndEndsTheLoop) {
  auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(compat_input_script_start("click 20 20\nwait-visible 250 100\nclick 210 160\n", "stuck", nullptr, 1));
  EXPECT_EQ(0, runLoop());
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GE(seconds, 1.0);
  EXPECT_LT(seconds, 5.0);
  EXPECT_EQ(COMPAT_SCRIPT_FAILED, compat_input_script_state());
  EXPECT_EQ(2, compat_input_script_line());
  EXPECT_EQ("input script stuck:2: timed out after 1 s at: wait-visible 250 100 (nothing visible under the point)",
            std::string(compat_input_script_report()));
  EXPECT_EQ((Log{}), of(q, {"LBUTTONDOWN"}));
}

TEST_F(InputScript, AProgramStillRunningAfterTheLastStepIsEnded) {
  ASSERT_TRUE(compat_input_script_start("click 20 20\n", "open", nullptr, 1));
  EXPECT_EQ(0, runLoop());
  EXPECT_EQ(COMPAT_SCRIPT_FAILED, compat_input_script_state());
  EXPECT_NE(std::string::npos, std::string(compat_input_script_report()).find("still runs"));
  EXPECT_FALSE(IsWindowEnabled(a));  // the step itself ran
}

TEST_F(InputScript, APixelDrawnAndUndoneWithinOneMessageIsSeen) {
  // A click on A paints its corner red, tells B, and paints it back before the message ends.
  handlers()[a] = [this](HWND h, UINT msg, WPARAM, LPARAM, LRESULT*) {
    if (msg != WM_LBUTTONUP) return false;
    HDC dc = GetDC(h);
    RECT r = {0, 0, 10, 10};
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0)), white = CreateSolidBrush(RGB(255, 255, 255));
    FillRect(dc, &r, red);
    SendMessageA(b, WM_USER, 0, 0);
    FillRect(dc, &r, white);
    DeleteObject(red);
    DeleteObject(white);
    ReleaseDC(h, dc);
    return false;
  };
  ASSERT_TRUE(compat_input_script_start("click 40 30\nwait-pixel 15 15 FF0000\nclick 210 160\n", "pixel", nullptr, 5));
  EXPECT_EQ(0, runLoop());
  EXPECT_EQ(COMPAT_SCRIPT_FINISHED, compat_input_script_state()) << compat_input_script_report();
  EXPECT_EQ(RGB(255, 255, 255), compat_get_pixel(main, 15, 15));

  // A colour that never shows is reported with the one seen.
  compat_reset_windows();
  SetUp();
  ASSERT_TRUE(compat_input_script_start("wait-pixel 15 15 00FF00\n", "pixel", nullptr, 1));
  EXPECT_EQ(0, runLoop());
  EXPECT_EQ(COMPAT_SCRIPT_FAILED, compat_input_script_state());
  char expected[64];
  COLORREF c = compat_get_pixel(main, 15, 15);
  std::snprintf(expected, sizeof expected, "(the pixel is %02X%02X%02X)", GetRValue(c), GetGValue(c), GetBValue(c));
  EXPECT_NE(std::string::npos, std::string(compat_input_script_report()).find(expected))
      << compat_input_script_report();
}

}  // namespace
