// Quick clicks on the toolkit's widgets in real windows: input goes in through SendInput, so the
// system itself turns a second press within the double-click time into a double click. Each test
// waits for the messages it needs (the actions reaching the host), never for a time.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>

#include "RKButton.h"
#include "RKContainer.h"
#include "RKRadioButton.h"
#include "RKScrollBar.h"

using namespace RKSDK;

namespace {

class ActionCounter : public IRKActionListener {
 public:
  int actionPerformed(RKObject* source, u32 id, u64) override {
    if (id == RK_ACTION_BUTTON_CLICKED) last = source;
    count[id == RK_ACTION_BUTTON_CLICKED ? 0 : id == RK_ACTION_CHECKBOX_TOGGLED ? 1 : 2]++;
    return 1;
  }
  int count[3] = {0, 0, 0};  // button clicks, check-box toggles, others
  RKObject* last = nullptr;
};

HWND windowOf(RKComponent* c) {
  RKCreateInfo info = {nullptr, nullptr};
  c->getNativeInfo(&info);
  return static_cast<HWND>(info.parent);
}

// Dispatches messages until the condition holds; false when it does not within a minute (a
// bound for a broken run, far above any machine's pace).
bool pumpUntil(const std::function<bool()>& done) {
  DWORD start = GetTickCount();
  for (;;) {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
    if (done()) return true;
    if (GetTickCount() - start > 60000) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

// Left-button events at the middle of a widget, in one SendInput call with time stamps 10 ms
// apart: whatever the machine's load, the system sees them as quick as written.
void buttonEvents(RKComponent* c, const DWORD* flags, int count) {
  RECT r;
  GetWindowRect(windowOf(c), &r);
  SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  INPUT in[8] = {};
  DWORD t = GetTickCount();
  for (int i = 0; i < count && i < 8; ++i) {
    in[i].type = INPUT_MOUSE;
    in[i].mi.dwFlags = flags[i];
    in[i].mi.time = t + 10 * DWORD(i);
  }
  SendInput(UINT(count), in, sizeof(INPUT));
}

void twoClicks(RKComponent* c) {
  const DWORD f[4] = {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP};
  buttonEvents(c, f, 4);
}

void oneClick(RKComponent* c) {
  const DWORD f[2] = {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP};
  buttonEvents(c, f, 2);
}

// Counts the double clicks the system delivered to a component.
class DoubleClickSpy : public IRKComponentListener {
 public:
  int mouseDoubleClicked(RKObject*, RKPoint) override {
    ++seen;
    return 1;
  }
  int seen = 0;
};

class QuickClickWine : public ::testing::Test {
 protected:
  void SetUp() override {
    host = new RKContainer();
    host->addRef();
    host->setWindowClassName("RKQuickClickHost");
    host->setWindowStyle(RK_STYLE_POPUP);
    host->setBounds(100, 100, 400, 300, 0);
    host->addActionListener(&actions);
  }
  void TearDown() override {
    host->removeActionListener(&actions);
    host->release();
  }
  template <class W>
  W* place(W* widget, int x, int y, int w, int h) {
    widget->setBounds(x, y, w, h, 0);
    host->add(widget);
    return widget;
  }
  void show() {
    ASSERT_EQ(host->create(RKCreateInfo{nullptr, nullptr}), 1u);
    SetForegroundWindow(windowOf(host));
    pumpUntil([] { return true; });
  }
  RKContainer* host = nullptr;
  ActionCounter actions;
};

TEST_F(QuickClickWine, TwoQuickClicksOnAButtonAreTwoClicks) {
  RKButton* b = place(new RKButton(), 20, 30, 80, 24);
  DoubleClickSpy spy;
  b->addComponentListener(&spy);
  show();
  twoClicks(b);
  EXPECT_TRUE(pumpUntil([&] { return actions.count[0] == 2; })) << actions.count[0] << " clicks";
  EXPECT_EQ(spy.seen, 1);  // the system made the second press a double click
  EXPECT_EQ(GetCapture(), HWND(nullptr));
  b->removeComponentListener(&spy);
}

TEST_F(QuickClickWine, CheckBoxTogglesTwiceRadioButtonStaysSelected) {
  RKCheckBox* c = place(new RKCheckBox("box"), 20, 30, 100, 20);
  RKRadioButton* r = place(new RKRadioButton("radio"), 20, 70, 100, 20);
  c->addActionListener(&actions);
  r->addActionListener(&actions);
  show();
  twoClicks(c);
  EXPECT_TRUE(pumpUntil([&] { return actions.count[1] == 2; })) << actions.count[1] << " toggles";
  EXPECT_EQ(c->isChecked(), 0u);
  twoClicks(r);
  EXPECT_TRUE(pumpUntil([&] { return actions.count[2] == 2; })) << actions.count[2] << " selections";
  EXPECT_EQ(r->isSelected(), 1u);
  EXPECT_EQ(GetCapture(), HWND(nullptr));
  c->removeActionListener(&actions);
  r->removeActionListener(&actions);
}

TEST_F(QuickClickWine, TwoQuickClicksOnAScrollBarArrowAreTwoSteps) {
  RKScrollBar* bar = place(new RKScrollBar(0), 20, 30, 200, 17);
  show();
  RKArrowButton* inc = bar->getIncrementButton();
  twoClicks(inc);
  EXPECT_TRUE(pumpUntil([&] { return bar->getValue() == 2 && GetCapture() == nullptr; })) << bar->getValue();
  inc->release();
}

// A button taken away while it holds the capture: the next clicks reach the buttons under the
// pointer. (Clicks on different windows never make a double click.)
TEST_F(QuickClickWine, AButtonDestroyedWhileHoldingTheCaptureGivesItBack) {
  RKButton* gone = place(new RKButton(), 20, 30, 80, 24);
  RKButton* next = place(new RKButton(), 20, 70, 80, 24);
  RKButton* last = place(new RKButton(), 20, 110, 80, 24);
  show();
  const DWORD down[1] = {MOUSEEVENTF_LEFTDOWN};
  buttonEvents(gone, down, 1);
  ASSERT_TRUE(pumpUntil([&] { return GetCapture() == windowOf(gone); }));
  host->remove(gone);
  const DWORD up[1] = {MOUSEEVENTF_LEFTUP};
  buttonEvents(host, up, 1);
  pumpUntil([] { return true; });
  oneClick(next);
  EXPECT_TRUE(pumpUntil([&] { return actions.count[0] == 1; }));
  EXPECT_EQ(actions.last, static_cast<RKObject*>(next));
  oneClick(last);
  EXPECT_TRUE(pumpUntil([&] { return actions.count[0] == 2; }));
  EXPECT_EQ(actions.last, static_cast<RKObject*>(last));
  EXPECT_EQ(GetCapture(), HWND(nullptr));
}

}  // namespace
