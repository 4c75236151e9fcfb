// The component facade: actions fired and posted, focus on press, counted capture, the timer,
// window shapes and the peer's clean-up.
#include <cstring>

#include "ToolkitTestSupport.h"

using Events = std::vector<std::string>;

class FacadeTest : public ToolkitTest {};

TEST_F(FacadeTest, FiredActionsReachTheOwnHandlerFirstThenEveryListener) {
  Probe* top = topLevel("top");
  std::vector<Spy*> spies;
  for (int i = 0; i < 11; ++i) spies.push_back(new Spy("s" + std::to_string(i)));
  for (Spy* s : spies) top->addActionListener(s);
  EXPECT_EQ(top->actionCapacity(), 20u);  // the eleventh grew it by 10
  top->addActionListener(spies[0]);       // kept once
  spies[0]->answerAction = 0;             // stops nothing
  takeEvents();
  top->fireAction(RK_ACTION_CHECKBOX_TOGGLED, 0);
  Events e = takeEvents();
  ASSERT_EQ(e.size(), 12u);
  EXPECT_EQ(e[0], "top.action 4101201 0 self");
  for (int i = 0; i < 11; ++i) EXPECT_EQ(e[size_t(i) + 1], "s" + std::to_string(i) + ":action 4101201");
  top->removeActionListener(spies[3]);
  top->removeActionListener(spies[3]);
  top->fireAction(1, 0);
  EXPECT_EQ(takeEvents().size(), 11u);
  // A listener that removes listeners during the walk ends it without reading past the end.
  spies[0]->onAction = [&] { top->removeAllActionListeners(); };
  top->fireAction(2, 0);
  EXPECT_EQ(takeEvents(), (Events{"top.action 2 0 self", "s0:action 2"}));
  top->fireAction(3, 0);
  EXPECT_EQ(takeEvents(), (Events{"top.action 3 0 self"}));
  for (Spy* s : spies) delete s;
}

TEST_F(FacadeTest, PostedActionsArriveOneMessageLater) {
  Probe* top = topLevel("top");
  Probe* button = childOf(top, "button", 10, 10, 50, 20);
  Spy watcher("watcher");
  top->addActionListener(&watcher);
  RKObject* seen = nullptr;
  top->sourceSeen = &seen;
  compat_pump();
  takeEvents();
  button->onPress = [&] {
    button->postActionToParent(RK_ACTION_BUTTON_CLICKED, 7);
    button->log("posted");
  };
  compat_click(button->hwnd(), 5, 5);
  compat_pump();
  Events e = takeEvents();
  Events actions;
  for (const std::string& s : e)
    if (s.find("action") != std::string::npos || s.find("posted") != std::string::npos ||
        s.find("mousePressed") != std::string::npos || s.find("mouseReleased") != std::string::npos)
      actions.push_back(s);
  EXPECT_EQ(actions, (Events{"button.mousePressed 5,5 focused", "button.posted", "top.action 4100701 7",
                             "watcher:action 4100701", "button.mouseReleased 5,5"}));
  EXPECT_EQ(seen, static_cast<RKObject*>(button));
  // To itself, with the parameter in the message.
  button->postAction(RK_ACTION_PICTURE_PRESSED, 42);
  EXPECT_TRUE(takeEvents().empty());
  compat_pump();
  EXPECT_EQ(takeEvents(), (Events{"button.action 8083001 42 self"}));
  top->removeActionListener(&watcher);
}

TEST_F(FacadeTest, PostingWithoutAParentWindowPostsNothing) {
  Probe* top = topLevel("top");
  compat_pump();
  takeEvents();
  top->postActionToParent(RK_ACTION_BUTTON_CLICKED, 0);  // no parent
  Probe* unmade = probe("unmade");
  unmade->postActionToParent(RK_ACTION_BUTTON_CLICKED, 0);
  MSG m;
  EXPECT_FALSE(PeekMessageA(&m, nullptr, RK_MSG_ACTION_TO_PARENT, RK_MSG_ACTION_TO_PARENT, PM_NOREMOVE));
  // A record still queued when its receiver goes is freed (the sanitizer build would tell).
  Probe* c = childOf(top, "c", 0, 0, 10, 10);
  c->postActionToParent(RK_ACTION_BUTTON_CLICKED, 1);
  top->destroy();
  compat_pump();
  EXPECT_TRUE(onlyEvents(takeEvents(), "top.action").empty());
}

TEST_F(FacadeTest, PressRequestsFocusForFocusableEnabledComponents) {
  Probe* top = topLevel("top", 0, 0, 300, 200);
  Probe* a = childOf(top, "a", 0, 0, 50, 50);
  Probe* b = childOf(top, "b", 100, 0, 50, 50);
  Probe* off = childOf(top, "off", 200, 0, 50, 50);
  off->setFocusable(0);
  compat_pump();
  takeEvents();
  compat_click(a->hwnd(), 5, 5);
  compat_pump();
  Events e = takeEvents();
  Events focusA = onlyEvents(e, "a.");
  ASSERT_GE(focusA.size(), 4u);
  EXPECT_EQ(focusA[2], "a.focusGained");
  EXPECT_EQ(focusA[3], "a.mousePressed 5,5 focused");
  EXPECT_EQ(a->hasFocus(), 1u);
  compat_click(off->hwnd(), 5, 5);
  compat_pump();
  EXPECT_EQ(a->hasFocus(), 1u);
  EXPECT_EQ(onlyEvents(takeEvents(), "off.mousePressed"), (Events{"off.mousePressed 5,5"}));
  b->disable();
  EXPECT_EQ(b->isDisabled(), 1u);
  // A disabled child passes the press to its parent, which takes the focus.
  compat_click(b->hwnd(), 5, 5);
  compat_pump();
  EXPECT_EQ(top->hasFocus(), 1u);
  Events after = takeEvents();
  EXPECT_TRUE(onlyEvents(after, "b.mousePressed").empty());
  EXPECT_EQ(onlyEvents(after, "a.focusLost").size(), 1u);
  EXPECT_EQ(onlyEvents(after, "top.mousePressed"), (Events{"top.mousePressed 105,5 focused"}));
}

TEST_F(FacadeTest, NestedCapturesNeedAsManyReleases) {
  Probe* top = topLevel("top", 0, 0, 300, 200);
  Probe* a = childOf(top, "a", 0, 0, 50, 50);
  Probe* b = childOf(top, "b", 100, 0, 50, 50);
  int base = ImplRKComponent::captureDepth();
  a->captureMouse();
  b->captureMouse();
  EXPECT_EQ(ImplRKComponent::captureDepth(), base + 2);
  EXPECT_EQ(b->hasMouseCapture(), 1u);
  EXPECT_EQ(a->hasMouseCapture(), 0u);
  b->releaseMouse(0);
  EXPECT_EQ(b->hasMouseCapture(), 1u);
  b->releaseMouse(0);
  EXPECT_EQ(b->hasMouseCapture(), 0u);
  EXPECT_EQ(ImplRKComponent::captureDepth(), base);
  a->releaseMouse(0);  // at depth 0: nothing
  EXPECT_EQ(ImplRKComponent::captureDepth(), 0);
  a->captureMouse();
  a->captureMouse();
  a->captureMouse();
  a->releaseMouse(1);
  EXPECT_EQ(ImplRKComponent::captureDepth(), 0);
  EXPECT_EQ(GetCapture(), nullptr);
  // Under capture the points keep their sign.
  a->captureMouse();
  compat_pump();
  takeEvents();
  compat_mouse_move(top->hwnd(), 120, 5);
  compat_pump();
  EXPECT_EQ(onlyEvents(takeEvents(), "a.mouseMoved"), (Events{"a.mouseMoved 120,5"}));
  compat_mouse_move(nullptr, 0, 0);
  compat_mouse_move(a->hwnd(), -3, -4);
  compat_pump();
  EXPECT_EQ(onlyEvents(takeEvents(), "a.mouseMoved").back(), "a.mouseMoved -3,-4");
  a->releaseMouse(0);
}

TEST_F(FacadeTest, TimerStartsRearmsAndStops) {
  Probe* top = topLevel("top");
  compat_pump();
  takeEvents();
  EXPECT_EQ(top->startTimer(50), 1u);
  compat_advance(160);
  EXPECT_EQ(onlyEvents(takeEvents(), "top.timerFired").size(), 3u);
  EXPECT_EQ(top->startTimer(100), 1u);  // the one timer, new period
  compat_advance(210);
  EXPECT_EQ(onlyEvents(takeEvents(), "top.timerFired").size(), 2u);
  top->stopTimer();
  compat_advance(500);
  EXPECT_TRUE(onlyEvents(takeEvents(), "top.timerFired").empty());
  top->stopTimer();
}

TEST_F(FacadeTest, WindowShapeCutsOnlyFromAFullRgbBuffer) {
  Probe* top = topLevel("top", 0, 0, 4, 2);
  const u8 rgb[4 * 2 * 3] = {9, 9, 9, 255, 0, 0, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 255, 0, 0, 9, 9, 9};
  RKImage* image = new RKImage(RK_PIXEL_RGB24, rgb, int(sizeof rgb), 0, 0, 4, 2, 0);
  image->addRef();
  HRGN probeRgn = CreateRectRgn(0, 0, 0, 0);
  RKColor transparentRed(255, 0, 0);
  top->setWindowShape(image, transparentRed);
  ASSERT_NE(GetWindowRgn(top->hwnd(), probeRgn), ERROR);
  EXPECT_FALSE(PtInRegion(probeRgn, 1, 0));
  EXPECT_FALSE(PtInRegion(probeRgn, 2, 1));
  EXPECT_TRUE(PtInRegion(probeRgn, 0, 0));
  EXPECT_TRUE(PtInRegion(probeRgn, 3, 1));
  // A colour with alpha cuts nothing.
  RKColor opaque(255, 0, 0);
  opaque.setAlpha(1);
  top->setWindowShape(image, opaque);
  GetWindowRgn(top->hwnd(), probeRgn);
  EXPECT_TRUE(PtInRegion(probeRgn, 1, 0));
  image->release();
  // A grey image holds a third of the bytes: it shapes nothing, and no pixel is read past it.
  Probe* other = topLevel("other", 10, 10, 4, 2);
  const u8 grey[8] = {255, 0, 0, 255, 0, 0, 0, 0};
  RKImage* small = new RKImage(RK_PIXEL_GREY8, grey, int(sizeof grey), 0, 0, 4, 2, 0);
  small->addRef();
  other->setWindowShape(small, transparentRed);
  EXPECT_EQ(GetWindowRgn(other->hwnd(), probeRgn), ERROR);
  RKImage* empty = new RKImage();
  empty->addRef();
  empty->setWidth(4);
  empty->setHeight(2);
  other->setWindowShape(empty, transparentRed);
  other->setWindowShape(nullptr, transparentRed);
  EXPECT_EQ(GetWindowRgn(other->hwnd(), probeRgn), ERROR);
  empty->release();
  small->release();
  DeleteObject(probeRgn);
}

TEST_F(FacadeTest, DestroyedWindowClearsOnlyItsOwnComponentsFlag) {
  Probe* top = topLevel("top");
  Probe* c = childOf(top, "c", 0, 0, 10, 10);
  Spy spy("spy");
  c->addComponentListener(&spy);
  c->addComponentListener(top);  // the parent watches the child, as containers do
  compat_pump();
  takeEvents();
  c->destroy();
  EXPECT_EQ(c->isCreated(), 0u);
  EXPECT_EQ(top->isCreated(), 1u);
  EXPECT_EQ(takeEvents(), (Events{"spy:componentDestroyed", "c.componentDestroyed"}));
  c->removeComponentListener(top);
  c->removeComponentListener(&spy);
}

TEST_F(FacadeTest, ReleasingAComponentWithFocusAndCaptureTouchesNothingFreed) {
  Probe* top = topLevel("top");
  Probe* c = new Probe("gone");
  c->addRef();
  c->setWindowClassName("GoneClass");
  c->setBounds(0, 0, 20, 20, 0);
  top->createChild(c);
  ASSERT_EQ(c->isCreated(), 1u);
  HWND h = c->hwnd();
  IRKCaret* caret = c->getCaret();
  caret->createCaret();
  caret->release();
  c->requestFocus();
  c->captureMouse();
  c->postAction(1, 0);
  Spy spy("spy");
  c->addComponentListener(&spy);
  takeEvents();
  c->release();  // the window goes inside the destructor, its messages find no freed parts
  EXPECT_FALSE(IsWindow(h));
  EXPECT_EQ(GetFocus(), top->hwnd());
  EXPECT_EQ(ImplRKComponent::classUseCount("GoneClass"), 0);
  for (const std::string& e : takeEvents()) EXPECT_NE(e.compare(0, 4, "spy:"), 0) << e;
  top->releaseMouse(1);
  compat_pump();
}

TEST_F(FacadeTest, PeerComponentListenersSurviveRemovalDuringTheWalk) {
  Probe* top = topLevel("top");
  Spy first("first"), second("second");
  top->addComponentListener(&first);
  top->addComponentListener(&second);
  compat_pump();
  takeEvents();
  first.onPress = [&] {
    top->removeComponentListener(&first);
    top->removeComponentListener(&second);
  };
  SendMessageA(top->hwnd(), WM_LBUTTONDOWN, 0, MAKELPARAM(1, 1));
  EXPECT_EQ(takeEvents(), (Events{"first:mousePressed 1,1", "top.focusGained", "top.mousePressed 1,1 focused"}));
}
