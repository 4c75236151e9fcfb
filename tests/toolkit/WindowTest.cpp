// The top-level window and the containers beneath it: the loop that create runs until quit,
// closing and destroying, a failed creation, child management, the hint pop-up, and a
// screenshot of a window holding every widget of the wizard's main road.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "RKButton.h"
#include "RKGuage.h"
#include "RKHelper.h"
#include "RKLabel.h"
#include "RKWindow.h"
#include "WidgetTestSupport.h"

namespace {

// A window whose timer and action handler run a script while its loop runs.
class ScriptedWindow : public RKWindow {
 public:
  using RKWindow::timerFired;
  using RKWindow::windowClosing;
  void onAfterCreate() override {
    RKWindow::onAfterCreate();
    if (period) startTimer(period);
  }
  u32 timerFired() override {
    ++ticks;
    if (onTick) onTick();
    return 1;
  }
  u32 windowClosing() override {
    ++closings;
    return closingAnswer;
  }
  int actionPerformed(RKObject* source, u32 id, u64 parameter) override {
    if (onAction) onAction(source, id);
    return RKWindow::actionPerformed(source, id, parameter);
  }
  u32 period = 0;
  int ticks = 0;
  int closings = 0;
  u32 closingAnswer = 1;
  std::function<void()> onTick;
  std::function<void(RKObject*, u32)> onAction;
};

}  // namespace

class WindowTest : public ToolkitTest {
 protected:
  ScriptedWindow* window(int period) {
    ScriptedWindow* w = new ScriptedWindow();
    w->addRef();
    w->period = period;
    w->setBounds(50, 60, 320, 200, 0);
    windows.push_back(w);
    return w;
  }
  void TearDown() override {
    compat_set_idle_hook(nullptr, nullptr);
    for (ScriptedWindow* w : windows) w->release();
    ToolkitTest::TearDown();
  }
  std::vector<ScriptedWindow*> windows;
};

TEST_F(WindowTest, CreateRunsTheLoopUntilQuitFromATimer) {
  ScriptedWindow* w = window(50);
  bool shown = false;
  LONG style = 0;
  w->onTick = [&] {
    shown = IsWindowVisible(windowOf(w)) != FALSE;
    style = GetWindowLongA(windowOf(w), GWL_STYLE);
    w->quit();
  };
  DWORD start = compat_clock_now();
  EXPECT_EQ(w->create(RKCreateInfo{nullptr, nullptr}), 1u);
  EXPECT_EQ(w->ticks, 1);
  EXPECT_TRUE(shown);
  EXPECT_EQ(style & 0x00CF0000, 0x00CF0000);
  EXPECT_GE(compat_clock_now() - start, 50u);
  EXPECT_EQ(w->isCreated(), 1u);  // quitting leaves the window standing
  EXPECT_TRUE(IsWindow(windowOf(w)));
}

TEST_F(WindowTest, ChildrenAreMadeInOrderAndTheirActionsReachTheWindow) {
  ScriptedWindow* w = window(0);
  w->setInheritedFlag(0);
  RKButton* first = new RKButton();
  first->setBounds(10, 10, 80, 24, 0);
  RKLabel* second = new RKLabel("x");
  second->setBounds(10, 40, 80, 18, 0);
  w->add(first);
  w->add(second);
  EXPECT_EQ(first->isCreated(), 0u);
  int idles = 0;
  std::vector<u32> seen;
  struct Ctx {
    RKButton* b;
    int* idles;
  } ctx{first, &idles};
  compat_set_idle_hook(
      [](void* c) {
        Ctx* x = static_cast<Ctx*>(c);
        if ((*x->idles)++ == 0) compat_click(windowOf(x->b), 5, 5);
      },
      &ctx);
  w->onAction = [&](RKObject* source, u32 id) {
    seen.push_back(id);
    EXPECT_EQ(source, static_cast<RKObject*>(first));
    w->quit();
  };
  EXPECT_EQ(w->create(RKCreateInfo{nullptr, nullptr}), 1u);
  EXPECT_EQ(seen, (std::vector<u32>{RK_ACTION_BUTTON_CLICKED}));
  EXPECT_EQ(first->isCreated(), 1u);
  EXPECT_EQ(second->isCreated(), 1u);
  EXPECT_EQ(GetParent(windowOf(first)), windowOf(w));
  // Made in insertion order: the first child lies below the second in the window order.
  EXPECT_EQ(GetWindow(windowOf(first), GW_HWNDNEXT) == windowOf(second) ||
                GetWindow(windowOf(second), GW_HWNDNEXT) == windowOf(first),
            true);
  EXPECT_EQ(ImplRKComponent::captureDepth(), 0);
}

TEST_F(WindowTest, DestroyingTheWindowEndsTheLoop) {
  ScriptedWindow* w = window(20);
  RKLabel* l = new RKLabel("kept");
  w->add(l);
  w->onTick = [&] { w->destroy(); };
  EXPECT_EQ(w->create(RKCreateInfo{nullptr, nullptr}), 1u);
  EXPECT_EQ(w->ticks, 1);
  EXPECT_EQ(w->isCreated(), 0u);
  EXPECT_EQ(w->getChildCount(), 1u);  // the children stay, unhooked
}

TEST_F(WindowTest, CloseAsksWindowClosingWhichMayVetoTheDestruction) {
  ScriptedWindow* w = window(20);
  w->closingAnswer = 0;
  w->onTick = [&] {
    if (w->ticks == 1) {
      w->close();
    } else if (w->ticks == 2) {
      EXPECT_EQ(w->closings, 1);
      EXPECT_TRUE(IsWindow(windowOf(w)));  // vetoed
      w->closingAnswer = 1;
      w->close();  // now destroyed, and the destruction quits
    }
  };
  EXPECT_EQ(w->create(RKCreateInfo{nullptr, nullptr}), 1u);
  EXPECT_EQ(w->closings, 2);
  EXPECT_EQ(w->isCreated(), 0u);
}

TEST_F(WindowTest, AWindowThatCannotBeMadeRunsNoLoop) {
  ScriptedWindow* w = window(20);
  w->setWindowStyle(RK_STYLE_CHILD);  // a child window without a parent cannot be made
  int boxes = compat_message_box_count();
  EXPECT_EQ(w->create(RKCreateInfo{nullptr, nullptr}), 0u);
  EXPECT_EQ(w->isCreated(), 0u);
  EXPECT_EQ(w->ticks, 0);
  EXPECT_EQ(compat_message_box_count(), boxes + 1);
  EXPECT_STREQ(compat_message_box_last_text(), "createwindows err=1406");
}

TEST_F(WindowTest, WindowOperationsForwardToTheNativeWindow) {
  ScriptedWindow* w = window(20);
  w->onTick = [&] {
    HWND h = windowOf(w);
    w->setTopMost(1);
    EXPECT_NE(GetWindowLongA(h, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    w->setTopMost(0);
    EXPECT_EQ(GetWindowLongA(h, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    w->minimize();
    EXPECT_TRUE(IsIconic(h));
    w->restore();
    EXPECT_FALSE(IsIconic(h));
    w->maximize();
    EXPECT_TRUE(IsZoomed(h));
    w->restore();
    w->bringToTop();
    w->quit();
  };
  EXPECT_EQ(w->create(RKCreateInfo{nullptr, nullptr}), 1u);
}

class ContainerTest : public WidgetTest {};

TEST_F(ContainerTest, ChildrenAddedBeforeAndAfterCreation) {
  RKLabel* a = new RKLabel("a");
  a->setBounds(0, 0, 50, 20, 0);
  host->add(a);
  host->add(nullptr);  // ignored
  EXPECT_EQ(host->getChildCount(), 1u);
  EXPECT_EQ(a->isCreated(), 0u);
  ASSERT_EQ(host->create(RKCreateInfo{nullptr, nullptr}), 1u);
  EXPECT_EQ(a->isCreated(), 1u);
  RKLabel* b = place(new RKLabel("b"), 50, 0, 50, 20);  // touches a at x = 50
  EXPECT_EQ(b->isCreated(), 1u);
  // Edges inclusive; the shared edge belongs to the child added first.
  RKComponent* hit = host->getChildAt(50, 20);
  EXPECT_EQ(hit, static_cast<RKComponent*>(a));
  if (hit) hit->release();
  hit = host->getChildAt(RKPoint(100, 10));
  EXPECT_EQ(hit, static_cast<RKComponent*>(b));
  if (hit) hit->release();
  EXPECT_EQ(host->getChildAt(101, 10), nullptr);
  EXPECT_EQ(host->getChildAt(10, 21), nullptr);
  // Remove: the child's window goes, a stranger changes nothing.
  b->addRef();
  HWND bw = windowOf(b);
  host->remove(b);
  EXPECT_FALSE(IsWindow(bw));
  EXPECT_EQ(host->getChildCount(), 1u);
  host->remove(b);
  EXPECT_EQ(host->getChildCount(), 1u);
  b->release();
}

TEST_F(ContainerTest, LookAndFocusReachEveryDescendant) {
  RKContainer* inner = new RKContainer();
  inner->setBounds(10, 10, 200, 100, 0);
  RKButton* deep = new RKButton();
  deep->setBounds(5, 5, 60, 20, 0);
  inner->add(deep);
  place(inner, 10, 10, 200, 100);
  std::vector<RKLabel*> many;
  for (int i = 0; i < 11; ++i) many.push_back(place(new RKLabel("n"), 220, i * 10, 20, 10));
  EXPECT_EQ(host->getChildCount(), 12u);
  EXPECT_EQ(many[10]->isCreated(), 1u);
  EXPECT_EQ(deep->isCreated(), 1u);
  RecordingGraphics rec;
  host->setInheritedFlag(0);
  deep->focusLost();
  EXPECT_EQ(paintOf(deep, rec)[1], "outline 1,1,57,17 pen=000000 fill=040506");  // flat
  host->setInheritedFlag(1);
  EXPECT_EQ(paintOf(deep, rec)[1], "frame2 1,1,57,17");
  EXPECT_EQ(host->hasFocus(), 0u);
  deep->requestFocus();
  EXPECT_EQ(host->hasFocus(), 1u);
  EXPECT_EQ(inner->hasFocus(), 1u);
  // The container's window goes: its children stay, and come back with a new window.
  host->destroy();
  compat_pump();
  EXPECT_EQ(host->isCreated(), 0u);
  EXPECT_EQ(host->getChildCount(), 12u);
  ASSERT_EQ(host->create(RKCreateInfo{nullptr, nullptr}), 1u);
  compat_pump();
  EXPECT_EQ(deep->isCreated(), 1u);
  EXPECT_TRUE(IsWindow(windowOf(deep)));
}

TEST_F(ContainerTest, HintIsAHiddenPopupSizedToItsText) {
  RKHelper* hint = new RKHelper();
  hint->addRef();
  EXPECT_EQ(hint->getSize().width, 4);
  EXPECT_EQ(hint->getSize().height, 2);
  EXPECT_EQ(hint->isVisible(), 0u);
  EXPECT_EQ(hint->getText(), RKString(""));
  EXPECT_EQ(hint->getBackground().getARGB(), RKColor(255, 255, 225).getARGB());
  place(new RKLabel("owner"), 0, 0, 10, 10);
  hint->setText("Copies the files");
  host->createChild(hint);
  HWND hw = windowOf(hint);
  ASSERT_NE(hw, HWND(nullptr));
  EXPECT_FALSE(IsWindowVisible(hw));
  EXPECT_NE(GetWindowLongA(hw, GWL_STYLE) & WS_POPUP, 0);
  RKSize e = hint->getTextExtent("Copies the files");
  EXPECT_EQ(hint->getSize().width, e.width + 4);
  EXPECT_EQ(hint->getSize().height, e.height + 2);
  RecordingGraphics rec;
  rec.pen->setARGB(0x00123456);
  Events p = paintOf(hint, rec);
  EXPECT_EQ(p, (Events{"fill 0,0," + std::to_string(e.width + 4) + "," + std::to_string(e.height + 2),
                       "outline 0,0," + std::to_string(e.width + 3) + "," + std::to_string(e.height + 1) +
                           " pen=000000 fill=040506",
                       "string 'Copies the files' 2,1 pen=000000"}));
  EXPECT_EQ(rec.pen->getARGB(), 0x00123456u);
  hint->show(0);
  compat_pump();
  EXPECT_TRUE(IsWindowVisible(hw));
  EXPECT_EQ(compat_get_pixel(hw, 0, 0), RGB(0, 0, 0));
  EXPECT_EQ(compat_get_pixel(hw, 1, e.height), RGB(255, 255, 225));
  hint->destroy();
  hint->release();
}

// Saves a window holding a label, buttons in each state and gauges at 0, 37 and 100 percent
// as a PNG file (RK_WIDGET_SCREENSHOT names it; otherwise a temporary file).
TEST_F(WindowTest, ScreenshotOfEveryWidgetOfTheMainRoad) {
  const char* named = getenv("RK_WIDGET_SCREENSHOT");
  std::string path = named ? named : ::testing::TempDir() + "rk_widgets.png";
  ScriptedWindow* w = window(30);
  w->setBounds(40, 40, 360, 240, 0);
  w->setText("Widgets");
  w->setInheritedFlag(0);
  RKLabel* title = new RKLabel("Choose the folder to install into:");
  title->setBounds(10, 10, 340, 18, 0);
  w->add(title);
  const char* names[] = {"Normal", "Focused", "Pressed", "Disabled"};
  RKButton* buttons[4];
  for (int i = 0; i < 4; ++i) {
    buttons[i] = new RKButton();
    buttons[i]->setText(names[i]);
    buttons[i]->setBounds(10 + i * 85, 40, 80, 24, 0);
    w->add(buttons[i]);
  }
  RKGuage* gauges[3];
  const int values[] = {0, 37, 100};
  for (int i = 0; i < 3; ++i) {
    gauges[i] = new RKGuage();
    gauges[i]->setTextVisible(1);
    gauges[i]->setBounds(10, 80 + i * 30, 340, 20, 0);
    w->add(gauges[i]);
  }
  RKButton* raised = new RKButton();
  raised->setText("3-D");
  raised->setBounds(10, 180, 80, 24, 0);
  w->add(raised);
  bool saved = false;
  w->onTick = [&] {
    for (int i = 0; i < 3; ++i) gauges[i]->setValue(values[i]);
    buttons[3]->disable();
    raised->setInheritedFlag(1);
    raised->redraw();
    // The pressed button holds the focus, as a press gives it; the focused look of the
    // other one comes from its handler alone.
    buttons[2]->requestFocus();
    buttons[1]->focusGained();
    buttons[2]->mousePressed(RKPoint(5, 5));
    buttons[2]->redraw();
    saved = compat_save_png(windowOf(w), path.c_str()) != FALSE;
    buttons[2]->mouseMoved(RKPoint(200, 5));
    buttons[2]->mouseReleased(RKPoint(200, 5));
    w->quit();
  };
  ASSERT_EQ(w->create(RKCreateInfo{nullptr, nullptr}), 1u);
  ASSERT_TRUE(saved);
  FILE* f = fopen(path.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  unsigned char magic[8] = {0};
  EXPECT_EQ(fread(magic, 1, 8, f), 8u);
  fclose(f);
  EXPECT_EQ(memcmp(magic, "\x89PNG\r\n\x1a\n", 8), 0);
  if (!named) remove(path.c_str());
  EXPECT_EQ(ImplRKComponent::captureDepth(), 0);
}
