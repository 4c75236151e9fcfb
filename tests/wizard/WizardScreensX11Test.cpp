// The wizard as a user meets it: the real window on the X11 display of a private Xvfb server,
// walked through all six pages in each language by clicks and keys sent through the X server
// (xdotool), with the folder browser, the folder question and the copy on the way. Every page,
// the browser and the question are saved as PNG files in <build>/wizard_pages.
#include <compat_shell.h>
#include <compat_window.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "WizardFixture.h"
#include "XvfbServer.h"

using namespace RKSDK;

namespace {

DWORD msNow() {
  using namespace std::chrono;
  return DWORD(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::string pagesFolder() {
  const char* build = getenv("RK_BUILD_DIR");
  std::string dir = std::string(build ? build : ".") + "/wizard_pages";
  std::filesystem::create_directories(dir);
  return dir;
}

// Clicks the middle of a widget through the X server (no window manager: screen coordinates are
// the windows' own). Two quick clicks on one widget make a click and a double click, as a user's.
void xclick(RKComponent* c, int dy = 0) {
  RECT r;
  GetWindowRect(hwndOf(c), &r);
  int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2 + dy;
  XvfbServer::run({"xdotool", "mousemove", std::to_string(x), std::to_string(y), "click", "1"});
}

void xclickAt(int x, int y) {
  XvfbServer::run({"xdotool", "mousemove", std::to_string(x), std::to_string(y), "click", "1"});
}

struct Step {
  std::string what;
  std::function<bool()> ready;
  std::function<void()> act;
};

// Runs each step once its condition holds, when the window's queue is idle; gives up (and
// quits the window) when a condition does not come true in two minutes, which only a broken run
// reaches.
class XDriver {
 public:
  static constexpr DWORD kStuck = 120000;
  explicit XDriver(RKSDK::Setup* w) : window(w) {
    compat_set_idle_hook(&XDriver::idle, this);
    // A thread timer keeps the loop coming back to the idle hook while it waits for X events.
    timer = SetTimer(nullptr, 0, 20, &XDriver::tick);
    current = this;
  }
  ~XDriver() {
    compat_set_idle_hook(nullptr, nullptr);
    KillTimer(nullptr, timer);
    current = nullptr;
  }
  void step(const std::string& what, std::function<bool()> ready, std::function<void()> act) {
    steps.push_back(Step{what, std::move(ready), std::move(act)});
  }
  // Called on every timer tick, also inside the modal loops of boxes.
  std::function<void()> onTick;
  size_t done = 0;
  std::string stuck;

 private:
  static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
    if (current && current->onTick) current->onTick();
  }
  static void idle(void* context) {
    XDriver* d = static_cast<XDriver*>(context);
    if (!IsWindowEnabled(hwndOf(d->window))) return;  // a box of the window is open
    DWORD t = msNow();
    if (!d->since) d->since = t;
    if (d->done < d->steps.size()) {
      Step& s = d->steps[d->done];
      if (s.ready()) {
        s.act();
        ++d->done;
        d->since = t;
      } else if (t - d->since > kStuck) {
        d->stuck = s.what;
        d->window->quit();
      }
    } else if (t - d->since > kStuck) {
      d->stuck = "the end (the window did not quit)";
      d->window->quit();
    }
  }
  static XDriver* current;
  RKSDK::Setup* window;
  std::vector<Step> steps;
  UINT_PTR timer = 0;
  DWORD since = 0;
};
XDriver* XDriver::current = nullptr;

}  // namespace

class WizardScreensX11 : public WizardFixture {
 protected:
  void SetUp() override {
    WizardFixture::SetUp();
    if (findProgram("xdotool").empty()) GTEST_SKIP() << "xdotool is not installed";
    if (!xvfb.start("1024x768x24")) GTEST_SKIP() << "Xvfb did not start";
    compat_reset_windows();
    ASSERT_EQ(COMPAT_DISPLAY_X11, compat_display_select(COMPAT_DISPLAY_X11));
    compat_clock_set_virtual(FALSE);
  }
  void TearDown() override {
    compat_message_box_hook(nullptr, nullptr);
    compat_reset_windows();
    compat_display_select(COMPAT_DISPLAY_HEADLESS);
    xvfb.stop();
    WizardFixture::TearDown();
  }

  static int boxHook(void* context, HWND box, const char*, const char*) {
    return static_cast<WizardScreensX11*>(context)->answerBox(box);
  }
  // The folder question: the hook runs when the box's queue is idle, so it is drawn and shown on
  // the X server by then. Pictured, then answered OK by a click.
  int answerBox(HWND box) {
    if (box != questionBox) {
      questionBox = box;
      questionClicked = false;
    }
    if (!questionClicked) {
      compat_save_png(box, (pagesFolder() + "/" + tag + "_question.png").c_str());
      RECT c;
      GetClientRect(box, &c);
      POINT ok = {(c.right - 160) / 2 + 37, c.bottom - 12 - 11};  // the OK of an OK/Cancel box
      ClientToScreen(box, &ok);
      helpers.push_back(
          XvfbServer::launch({"xdotool", "mousemove", std::to_string(ok.x), std::to_string(ok.y), "click", "1"}));
      questionClicked = true;
    }
    return 0;
  }

  // The folder browser, once it is the active window on a tick after the one that found it (its
  // loop has been idle between, so it is drawn and shown): pictured, then the drive root typed
  // and OK'd.
  void answerBrowser(RKSDK::Setup* w) {
    HWND active = GetActiveWindow();
    if (compat_folder_browser_count() <= browsersAnswered || !active || active == hwndOf(w)) return;
    if (active != browserBox) {
      browserBox = active;
      return;
    }
    compat_save_png(active, (pagesFolder() + "/" + tag + "_browser.png").c_str());
    RECT r;
    GetWindowRect(active, &r);
    std::string x = std::to_string((r.left + r.right) / 2), y = std::to_string(r.top + 20);
    helpers.push_back(XvfbServer::launch(
        {"sh", "-c", "xdotool mousemove " + x + " " + y + " && xdotool type --delay 20 'C:\\' && xdotool key Return"}));
    browsersAnswered = compat_folder_browser_count();
  }

  void shoot(RKSDK::Setup* w, int page) {
    std::string path = pagesFolder() + "/" + tag + "_page" + std::to_string(page) + ".png";
    if (compat_save_png(hwndOf(w), path.c_str())) shots.push_back(path);
  }

  // The whole walk in one language (0 Chinese, 1 English), from the welcome page to the finish.
  void walk(int language) {
    tag = language ? "en" : "cn";
    compat_message_box_hook(&WizardScreensX11::boxHook, this);
    RKSDK::Setup* w = new RKSDK::Setup();
    XDriver d(w);
    d.onTick = [&] { answerBrowser(w); };
    RKComboBoxListBox* list = w->languageBox->getList();
    list->release();  // the box keeps it
    if (language == 1) {
      d.step(
          "welcome page shown", [&] { return w->page == 1 && IsWindowVisible(hwndOf(w)); },
          [&] {
            RKArrowButton* arrow = w->languageBox->getArrowButton();
            xclick(arrow);
            arrow->release();
          });
      d.step(
          "language list open", [&] { return list->isVisible(); },
          [&] {
            RECT r;
            GetWindowRect(hwndOf(list), &r);
            int pitch = int(list->getFontHeight()) + 1;
            xclickAt(r.left + 20, r.top + 1 + pitch + pitch / 2);
          });
    }
    d.step(
        "welcome page in the language", [&] { return w->page == 1 && languageIndex == language && !list->isVisible(); },
        [&] {
          shoot(w, 1);
          xclick(w->nextButton);
        });
    d.step(
        "licence page", [&] { return w->page == 2; }, [&] { xclick(w->agreeButton); });
    d.step(
        "licence accepted", [&] { return w->agreeButton->isSelected() && enabled(w->nextButton); },
        [&] {
          shoot(w, 2);
          xclick(w->nextButton);
        });
    d.step(
        "folder page", [&] { return w->page == 3; }, [&] { xclick(w->browseButton); });
    d.step(
        "folder chosen in the browser", [&] { return text(w->pathField->getText()) == "C:\\VantryViewer"; },
        [&] {
          shoot(w, 3);
          xclick(w->nextButton);  // install; the folder question comes up
        });
    d.step(
        "copying page", [&] { return w->page == 4 && questionClicked; }, [&] { shoot(w, 4); });
    d.step(
        "associations page", [&] { return w->page == 5; }, [&] { xclick(w->jpegBox); });
    d.step(
        "JPEG ticked", [&] { return w->jpegBox->isChecked() != 0; },
        [&] {
          shoot(w, 5);
          xclick(w->nextButton);
        });
    d.step(
        "finish page", [&] { return w->page == 6; },
        [&] {
          shoot(w, 6);
          xclick(w->nextButton);
        });
    run(w);
    for (pid_t pid : helpers) EXPECT_EQ(0, XvfbServer::finish(pid));
    helpers.clear();
    EXPECT_EQ("", d.stuck);
    EXPECT_EQ(9u + (language ? 2u : 0u), d.done);
    EXPECT_EQ(6u, shots.size());
    EXPECT_TRUE(std::filesystem::exists(prefix.onC("VantryViewer/Vantry")));
    EXPECT_TRUE(std::filesystem::exists(pagesFolder() + "/" + tag + "_browser.png"));
    EXPECT_TRUE(std::filesystem::exists(pagesFolder() + "/" + tag + "_question.png"));
  }

  XvfbServer xvfb;
  std::string tag;
  std::vector<std::string> shots;
  std::vector<pid_t> helpers;
  HWND questionBox = nullptr, browserBox = nullptr;
  bool questionClicked = false;
  int browsersAnswered = 0;
};

TEST_F(WizardScreensX11, ChineseWalkThroughEveryPage) { walk(0); }

TEST_F(WizardScreensX11, EnglishWalkThroughEveryPage) { walk(1); }
