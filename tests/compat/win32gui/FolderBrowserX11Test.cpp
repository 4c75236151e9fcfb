// The folder browser's window on the X11 display, answered through the X server as a user
// would: typing a folder and OK returns it, a missing folder keeps the box open, Cancel and
// Escape return nothing; the owner is disabled while the box runs its own loop.
#include "WinsysTestSupport.h"

#include <shlobj.h>

#include <filesystem>

#include "TempPrefix.h"
#include "XvfbServer.h"
#include "compat_shell.h"

namespace {

const char* const kTitle = "Pick a folder for the test";

struct DuringBox {
  HWND owner = nullptr;
  int ticks = 0;
  int ownerEnabledTicks = 0;
  HWND box = nullptr;
  std::string shot;  // where to keep a picture of the box
  bool timedOut = false;
  std::string answer;  // the shell command that answers the box, started once the box is seen
  pid_t helper = 0;
};
DuringBox* during = nullptr;

void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
  if (!during) return;
  ++during->ticks;
  if (IsWindowEnabled(during->owner)) ++during->ownerEnabledTicks;
  HWND active = GetActiveWindow();
  if (active && active != during->owner) during->box = active;
  // The answer starts once a tick has seen the box open, so that the tick does not depend on
  // how fast the answer comes.
  if (during->box && !during->helper) during->helper = XvfbServer::launch({"sh", "-c", during->answer});
  // A box that nobody answers is closed, so that a failing test ends.
  if (during->ticks == 500 && during->box) {
    during->timedOut = true;
    PostMessageA(during->box, WM_CLOSE, 0, 0);
  }
  // The picture of the box as it was last seen open.
  if (during->box && IsWindow(during->box) && !during->shot.empty()) compat_save_png(during->box, during->shot.c_str());
}

}  // namespace

class FolderBrowserX11 : public WinsysTest {
 protected:
  void SetUp() override {
    WinsysTest::SetUp();
    if (findProgram("xdotool").empty()) GTEST_SKIP() << "xdotool is not installed";
    if (!xvfb.start()) GTEST_SKIP() << "Xvfb did not start";
    compat_reset_windows();
    ASSERT_EQ(compat_display_select(COMPAT_DISPLAY_X11), COMPAT_DISPLAY_X11);
    compat_clock_set_virtual(FALSE);
    owner = top(100, 100, 500, 400, WS_POPUP | WS_VISIBLE);
    compat_pump();
    std::filesystem::create_directories(prefix.onC("Chosen Folder"));
  }
  void TearDown() override {
    during = nullptr;
    compat_reset_windows();
    compat_display_select(COMPAT_DISPLAY_HEADLESS);
    xvfb.stop();
    WinsysTest::TearDown();
  }
  // Opens the browser; once it is open, xdotool carries out the steps (one xdotool command each,
  // in turn, once the box's window is on the display); the path chosen, or "(none)".
  std::string browse(const std::vector<std::vector<std::string>>& steps, const std::string& shot = "") {
    std::string script = "xdotool search --sync --name '" + std::string(kTitle) + "' >/dev/null";
    for (const auto& step : steps) {
      script += " && xdotool";
      for (const std::string& a : step) {
        std::string quoted = "'";
        for (char c : a) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        script += " " + quoted + "'";
      }
    }
    DuringBox box;
    box.owner = owner;
    box.shot = shot;
    box.answer = script;
    during = &box;
    UINT_PTR timer = SetTimer(nullptr, 0, 20, tick);
    char name[MAX_PATH] = "unchanged";
    BROWSEINFOA bi = {};
    bi.hwndOwner = owner;
    bi.pszDisplayName = name;
    bi.lpszTitle = kTitle;
    bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN;
    LPITEMIDLIST chosen = SHBrowseForFolderA(&bi);
    during = nullptr;
    KillTimer(nullptr, timer);
    EXPECT_GT(box.helper, 0);
    EXPECT_EQ(0, XvfbServer::finish(box.helper));
    EXPECT_FALSE(box.timedOut) << "the box was not answered";
    EXPECT_GT(box.ticks, 0) << "timers keep running while the box is open";
    EXPECT_EQ(0, box.ownerEnabledTicks) << "the owner is disabled while the box is open";
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_FALSE(box.box && IsWindow(box.box)) << "the box is gone";
    lastName = name;
    if (!chosen) return "(none)";
    char path[MAX_PATH] = {0};
    EXPECT_TRUE(SHGetPathFromIDListA(chosen, path));
    ILFree(chosen);
    return path;
  }
  // The box (380 x 170) stands centred on its owner (500 x 400 at 100, 100): screen points of
  // a place in it, its OK and its Cancel button.
  static std::vector<std::string> clickAt(int x, int y) {
    return {"mousemove", std::to_string(160 + x), std::to_string(215 + y), "click", "1"};
  }
  static std::vector<std::string> pointAtBox() { return {"mousemove", "200", "235"}; }
  static std::vector<std::string> okButton() { return clickAt(247, 146); }
  static std::vector<std::string> cancelButton() { return clickAt(330, 146); }
  static std::vector<std::string> type(const std::string& text) { return {"type", "--delay", "15", text}; }
  static std::vector<std::string> key(const char* name) { return {"key", name}; }
  static std::vector<std::string> pause() { return {"sleep", "0.3"}; }

  TempPrefix prefix;
  XvfbServer xvfb;
  HWND owner = nullptr;
  std::string lastName;
};

TEST_F(FolderBrowserX11, TypedFolderAndOkIsTheAnswer) {
  const char* build = getenv("RK_BUILD_DIR");
  std::string shot = std::string(build ? build : ".") + "/folder_browser.png";
  EXPECT_EQ("C:\\Chosen Folder", browse({pointAtBox(), type("C:\\Chosen Folder\\"), okButton()}, shot));
  EXPECT_EQ("Chosen Folder", lastName);
  EXPECT_EQ(kTitle, std::string(compat_folder_browser_last_title()));
  // A host path is taken on Z:, and Return is OK.
  std::string host = prefix.onC("Chosen Folder");
  std::string z = "Z:" + host;
  for (char& c : z)
    if (c == '/') c = '\\';
  EXPECT_EQ(z, browse({pointAtBox(), type(host + "/"), key("Return")}));
}

TEST_F(FolderBrowserX11, MissingFolderKeepsTheBoxOpenAndCancelReturnsNothing) {
  const char* build = getenv("RK_BUILD_DIR");
  std::string shot = std::string(build ? build : ".") + "/folder_browser_missing.png";
  EXPECT_EQ("(none)", browse({pointAtBox(), type("C:\\No Such Folder"), key("Return"), pause(), okButton(), pause(),
                              cancelButton()},
                             shot));
  EXPECT_EQ("unchanged", lastName);
  EXPECT_FALSE(TempPrefix::exists(prefix.onC("No Such Folder")));
  // Escape cancels too, even after a valid folder was typed.
  EXPECT_EQ("(none)", browse({pointAtBox(), type("C:\\Chosen Folder"), key("Escape")}));
}

TEST_F(FolderBrowserX11, QueuedAnswerStillComesFirst) {
  compat_folder_browser_answer("C:\\Chosen Folder");
  char name[MAX_PATH] = {0};
  BROWSEINFOA bi = {};
  bi.hwndOwner = owner;
  bi.pszDisplayName = name;
  bi.lpszTitle = kTitle;
  LPITEMIDLIST chosen = SHBrowseForFolderA(&bi);
  ASSERT_NE(nullptr, chosen);
  char path[MAX_PATH] = {0};
  EXPECT_TRUE(SHGetPathFromIDListA(chosen, path));
  EXPECT_STREQ("C:\\Chosen Folder", path);
  ILFree(chosen);
}

// A pasted folder whose last character is 誠 (GBK D5 5C, the second byte a backslash's) is that
// folder, with or without a separator after it; its display name is its whole last part.
TEST_F(FolderBrowserX11, APastedFolderEndingInADoubleByteCharacterIsTaken) {
  std::filesystem::create_directories(prefix.onC("\xE8\xBD\xAF\xE4\xBB\xB6/\xE9\x99\xB3\xE8\xAA\xA0"));  // 软件/陳誠
  const std::string folder = "C:\\\xC8\xED\xBC\xFE\\\xEA\x90\xD5\x5C";
  for (const std::string& text : {folder, folder + "\\"}) {
    ASSERT_TRUE(OpenClipboard(owner));
    EmptyClipboard();
    HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    memcpy(GlobalLock(data), text.c_str(), text.size() + 1);
    GlobalUnlock(data);
    SetClipboardData(CF_TEXT, data);
    CloseClipboard();
    EXPECT_EQ(folder, browse({pointAtBox(), key("ctrl+v"), key("Return")}));
    EXPECT_EQ("\xEA\x90\xD5\x5C", lastName);
  }
}
