// The window procedure: delivery to listeners and owner, the two answer rules, key codes,
// mouse tracking, dropped files and painting through the back buffer.
#include "ToolkitTestSupport.h"

using Events = std::vector<std::string>;

class DispatchTest : public ToolkitTest {};

TEST_F(DispatchTest, ListenersInOrderThenTheOwnerAndAZeroStopsTheWalk) {
  Probe* top = topLevel("top");
  Spy first("first"), second("second");
  top->addComponentListener(&first);
  top->addComponentListener(&second);
  top->addComponentListener(&first);  // no duplicates
  compat_pump();
  takeEvents();
  // Rule A on a press: the owner's nonzero claims it (0, no default processing).
  LRESULT r = SendMessageA(top->hwnd(), WM_LBUTTONDOWN, 0, MAKELPARAM(3, 4));
  EXPECT_EQ(r, 0);
  EXPECT_EQ(takeEvents(), (Events{"first:mousePressed 3,4", "second:mousePressed 3,4", "top.focusGained",
                                  "top.mousePressed 3,4 focused"}));
  // A listener's 0 ends the walk before the owner.
  first.answers["mousePressed"] = 0;
  SendMessageA(top->hwnd(), WM_LBUTTONDOWN, 0, MAKELPARAM(-2, -3));
  EXPECT_EQ(takeEvents(), (Events{"first:mousePressed -2,-3"}));
  top->removeComponentListener(&first);
  top->removeComponentListener(&first);
  SendMessageA(top->hwnd(), WM_LBUTTONDOWN, 0, MAKELPARAM(1, 1));
  EXPECT_EQ(takeEvents(), (Events{"second:mousePressed 1,1", "top.mousePressed 1,1 focused"}));
  top->removeComponentListener(&second);
}

TEST_F(DispatchTest, AnswerRulesPerMessage) {
  Probe* top = topLevel("top");
  Spy spy("spy");
  top->addComponentListener(&spy);
  HWND h = top->hwnd();
  // Rule A, seen through WM_MOUSEACTIVATE whose default answer is MA_ACTIVATE (1).
  EXPECT_EQ(SendMessageA(h, WM_MOUSEACTIVATE, WPARAM(h), MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN)), 0);
  top->answers["mouseActivated"] = 0;
  EXPECT_EQ(SendMessageA(h, WM_MOUSEACTIVATE, WPARAM(h), MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN)), MA_ACTIVATE);
  top->answers["mouseActivated"] = 1;
  spy.answers["mouseActivated"] = 0;
  EXPECT_EQ(SendMessageA(h, WM_MOUSEACTIVATE, WPARAM(h), MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN)), MA_ACTIVATE);
  // Rule B, seen through WM_NCHITTEST (any other message; default HTCLIENT).
  EXPECT_EQ(SendMessageA(h, WM_NCHITTEST, 0, MAKELPARAM(110, 110)), HTCLIENT);
  spy.answers["messageReceived"] = 0;
  EXPECT_EQ(SendMessageA(h, WM_NCHITTEST, 0, MAKELPARAM(110, 110)), 0);
  spy.answers["messageReceived"] = 1;
  top->answers["messageReceived"] = 0;
  EXPECT_EQ(SendMessageA(h, WM_NCHITTEST, 0, MAKELPARAM(110, 110)), 0);
  // Rule B on the cursor request: a veto answers 0, else the default sets the cursor (TRUE).
  EXPECT_EQ(SendMessageA(h, WM_SETCURSOR, WPARAM(h), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)), TRUE);
  spy.answers["cursorRequested"] = 0;
  EXPECT_EQ(SendMessageA(h, WM_SETCURSOR, WPARAM(h), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)), 0);
  // Fixed answers: the background is never erased; ignored messages get default processing.
  EXPECT_EQ(SendMessageA(h, WM_ERASEBKGND, 0, 0), 2);
  EXPECT_EQ(SendMessageA(h, WM_SYSCOMMAND, SC_CLOSE, 0), 0);  // default: WM_CLOSE
  EXPECT_EQ(top->isCreated(), 0u);
  EXPECT_EQ(onlyEvents(takeEvents(), "top.windowClosing"), (Events{"top.windowClosing"}));
  top->removeComponentListener(&spy);
}

TEST_F(DispatchTest, ClosingListenerKeepsTheWindowOpen) {
  Probe* top = topLevel("top");
  Spy spy("spy");
  spy.answers["windowClosing"] = 0;
  top->addComponentListener(&spy);
  compat_pump();
  takeEvents();
  SendMessageA(top->hwnd(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(top->hwnd()));
  EXPECT_EQ(takeEvents(), (Events{"spy:windowClosing"}));
  top->removeComponentListener(&spy);
  SendMessageA(top->hwnd(), WM_CLOSE, 0, 0);
  EXPECT_EQ(top->isCreated(), 0u);
}

TEST_F(DispatchTest, KeysArriveAsKeysymsAndCharactersAsBytes) {
  Probe* top = topLevel("top");
  Spy spy("spy");
  top->addComponentListener(&spy);
  top->requestFocus();
  EXPECT_EQ(top->hasFocus(), 1u);
  compat_pump();
  takeEvents();
  compat_key(VK_TAB, TRUE, nullptr);
  compat_key(VK_TAB, FALSE, nullptr);
  compat_key(VK_DELETE, TRUE, nullptr);
  compat_key('A', TRUE, "a");
  compat_key('A', FALSE, nullptr);
  compat_key(VK_ESCAPE, TRUE, nullptr);
  compat_key(VK_HOME, TRUE, nullptr);
  compat_key(VK_RETURN, TRUE, nullptr);
  compat_pump();
  Events keys = onlyEvents(takeEvents(), "top.key");
  EXPECT_EQ(keys, (Events{"top.keyPressed 65289", "top.keyTyped 9", "top.keyReleased 65289", "top.keyPressed 65535",
                          "top.keyPressed 65", "top.keyTyped 97", "top.keyReleased 65", "top.keyPressed 27",
                          "top.keyTyped 27", "top.keyPressed 65360", "top.keyPressed 65293", "top.keyTyped 13"}));
  ImplRKComponent* peer = top->getPeer();
  const u32 vk[] = {8, 9, 10, 13, 33, 34, 35, 36, 37, 38, 39, 40, 46, 27, 32, 65, 16};
  const u32 sym[] = {0xFF08, 0xFF09, 0xFF0A, 0xFF0D, 0xFF55, 0xFF56, 0xFF57, 0xFF50, 0xFF51,
                     0xFF52, 0xFF53, 0xFF54, 0xFFFF, 27,     32,     65,     16};
  for (size_t i = 0; i < sizeof vk / sizeof vk[0]; ++i) EXPECT_EQ(peer->translateKey(vk[i]), sym[i]) << vk[i];
  top->removeComponentListener(&spy);
}

TEST_F(DispatchTest, EnterOnceHoverOnceLeaveThenEnterAgain) {
  Probe* top = topLevel("top", 0, 0, 300, 200);
  Probe* c = childOf(top, "c", 10, 10, 100, 50);
  compat_pump();
  takeEvents();
  compat_mouse_move(c->hwnd(), 5, 5);
  compat_mouse_move(c->hwnd(), 6, 6);
  compat_pump();
  EXPECT_EQ(onlyEvents(takeEvents(), "c."), (Events{"c.mouseEntered", "c.mouseMoved 5,5", "c.mouseMoved 6,6"}));
  compat_advance(600);
  compat_advance(600);
  EXPECT_EQ(onlyEvents(takeEvents(), "c."), (Events{"c.mouseHovered 6,6"}));
  compat_mouse_move(top->hwnd(), 250, 150);
  compat_pump();
  EXPECT_EQ(onlyEvents(takeEvents(), "c."), (Events{"c.mouseExited"}));
  compat_mouse_move(c->hwnd(), 1, 2);
  compat_pump();
  EXPECT_EQ(onlyEvents(takeEvents(), "c."), (Events{"c.mouseEntered", "c.mouseMoved 1,2"}));
}

TEST_F(DispatchTest, DroppedFilesReachEveryReceiverInOrder) {
  Probe* top = topLevel("top");
  Spy spy("spy");
  top->addComponentListener(&spy);
  compat_pump();
  takeEvents();
  const char* names[] = {"C:\\one.png", "C:\\two.jpg", "D:\\three.gif"};
  ASSERT_TRUE(compat_drop_files(top->hwnd(), 5, 5, names, 3));
  compat_pump();
  EXPECT_EQ(takeEvents(), (Events{"spy:filesDropped 3", "top.filesDropped C:\\one.png C:\\two.jpg D:\\three.gif"}));
  // A listener's veto stops the owner; the drop is finished all the same.
  spy.answers["filesDropped"] = 0;
  compat_drop_files(top->hwnd(), 5, 5, names, 1);
  compat_pump();
  EXPECT_EQ(takeEvents(), (Events{"spy:filesDropped 1"}));
  top->removeComponentListener(&spy);
}

TEST_F(DispatchTest, SizeAndMoveAreStoredAndRenewTheBackBuffer) {
  Probe* top = topLevel("top", 0, 0, 200, 150);
  Probe* c = childOf(top, "c", 10, 10, 40, 30);
  compat_pump();
  takeEvents();
  MoveWindow(c->hwnd(), 20, 25, 60, 35, TRUE);
  EXPECT_EQ(onlyEvents(takeEvents(), "c.component"), (Events{"c.componentMoved 20,25", "c.componentResized 4 60x35"}));
  EXPECT_EQ(c->getSize().width, 60);
  EXPECT_EQ(c->getLocation().y, 25);
  // The new buffer is as large as the window: a paint of its far corner lands.
  c->fill = true;
  c->fillColor = 0x0000FF00;
  c->answers["paint"] = 1;
  c->redraw();
  EXPECT_EQ(compat_get_pixel(c->hwnd(), 59, 34), RGB(0, 255, 0));
  ShowWindow(top->hwnd(), SW_MAXIMIZE);
  EXPECT_EQ(onlyEvents(takeEvents(), "top.componentResized").size(), 1u);
  EXPECT_EQ(top->getSize().width, 1024);
}

TEST_F(DispatchTest, PaintGoesToEveryListenerAndFlushesOnlyWhenTheOwnerAnswers) {
  Probe* top = topLevel("top", 0, 0, 100, 60);
  Spy spy("spy");
  spy.answers["paint"] = 0;  // cannot stop the paint
  top->addComponentListener(&spy);
  top->fill = true;
  top->fillColor = 0x00FF0000;  // red
  compat_pump();
  takeEvents();
  top->repaint();
  compat_pump();
  EXPECT_EQ(takeEvents(), (Events{"spy:paint", "top.paint 0,0,100,60"}));
  // The base paint answers 0: the back buffer is drawn but not copied to the screen.
  EXPECT_NE(compat_get_pixel(top->hwnd(), 50, 30), RGB(255, 0, 0));
  top->answers["paint"] = 1;
  top->repaint(RKRect(10, 10, 20, 20));
  compat_pump();
  EXPECT_EQ(takeEvents(), (Events{"spy:paint", "top.paint 10,10,20,20"}));
  EXPECT_EQ(compat_get_pixel(top->hwnd(), 15, 15), RGB(255, 0, 0));
  EXPECT_NE(compat_get_pixel(top->hwnd(), 50, 30), RGB(255, 0, 0));
  // redraw paints at once and always copies.
  top->answers["paint"] = 0;
  top->fillColor = 0x000000FF;  // blue
  top->redraw();
  EXPECT_EQ(takeEvents(), (Events{"spy:paint", "top.paint 0,0,100,60"}));
  EXPECT_EQ(compat_get_pixel(top->hwnd(), 50, 30), RGB(0, 0, 255));
  // redraw of a rectangle copies that rectangle, at its place.
  top->fillColor = 0x0000FF00;
  top->redraw(RKRect(60, 40, 10, 10));
  EXPECT_EQ(compat_get_pixel(top->hwnd(), 65, 45), RGB(0, 255, 0));
  EXPECT_EQ(compat_get_pixel(top->hwnd(), 5, 5), RGB(0, 0, 255));
  // The component's own paint fills with the background colour.
  RKComponent plainBase;
  IRKGraphics* g = top->getGraphics();
  ASSERT_NE(g, nullptr);
  top->setBackground(RKColor(1, 2, 3));
  RKColor* bg = g->getBackgroundColor();
  EXPECT_EQ(bg->getARGB(), 0x00010203u);
  bg->release();
  EXPECT_EQ(plainBase.update(RKRect(0, 0, 1, 1), nullptr), 0u);
  g->release();
  top->removeComponentListener(&spy);
}

TEST_F(DispatchTest, TimerMessagesOfOtherTimersGetNoEvent) {
  Probe* top = topLevel("top");
  compat_pump();
  takeEvents();
  SetTimer(top->hwnd(), 77, 20, nullptr);
  compat_advance(50);
  EXPECT_TRUE(onlyEvents(takeEvents(), "top.timerFired").empty());
  KillTimer(top->hwnd(), 77);
  EXPECT_EQ(SendMessageA(top->hwnd(), WM_TIMER, RK_COMPONENT_TIMER_ID, 0), 0);
  EXPECT_EQ(takeEvents(), (Events{"top.timerFired"}));
}

TEST_F(DispatchTest, EventArgumentsAreDecodedFromTheMessage) {
  Probe* top = topLevel("top");
  Spy spy("spy");
  top->addComponentListener(&spy);
  compat_pump();
  takeEvents();
  HWND h = top->hwnd();
  SendMessageA(h, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 0), 0);
  SendMessageA(h, WM_ACTIVATE, MAKEWPARAM(WA_CLICKACTIVE, 0), 0);
  SendMessageA(h, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 1), 0);
  SendMessageA(h, WM_SHOWWINDOW, TRUE, SW_PARENTOPENING);
  SendMessageA(h, WM_SHOWWINDOW, FALSE, SW_PARENTCLOSING);
  SendMessageA(h, WM_SHOWWINDOW, TRUE, SW_OTHERZOOM);
  SendMessageA(h, WM_SHOWWINDOW, TRUE, 0);
  SendMessageA(h, WM_SIZE, SIZE_MAXHIDE, MAKELPARAM(10, 20));
  SendMessageA(h, WM_SIZE, SIZE_MAXIMIZED, MAKELPARAM(10, 20));
  SendMessageA(h, WM_SIZE, SIZE_MAXSHOW, MAKELPARAM(10, 20));
  SendMessageA(h, WM_SIZE, SIZE_MINIMIZED, MAKELPARAM(10, 20));
  SendMessageA(h, WM_SIZE, SIZE_RESTORED, MAKELPARAM(200, 150));
  SendMessageA(h, WM_HOTKEY, 3, MAKELPARAM(MK_SHIFT, 'K'));
  SendMessageA(h, WM_COMMAND, 11, 12);
  Events e = onlyEvents(takeEvents(), "spy:");
  EXPECT_EQ(e, (Events{"spy:windowActivated 0 0", "spy:windowActivated 1 0", "spy:windowActivated 2 1",
                       "spy:componentShown 1 3", "spy:componentShown 0 2", "spy:componentShown 1 1",
                       "spy:componentShown 1 0", "spy:componentResized 0 10x20", "spy:componentResized 1 10x20",
                       "spy:componentResized 2 10x20", "spy:componentResized 3 10x20", "spy:componentResized 4 200x150",
                       "spy:hotKeyPressed 3 4 75", "spy:commandReceived 273 11 12"}));
  // The frame paint of the component itself is its paint.
  top->removeComponentListener(&spy);
  EXPECT_EQ(SendMessageA(h, WM_NCPAINT, 1, 0), 0);
  EXPECT_EQ(onlyEvents(takeEvents(), "top.paint").size(), 1u);
  // Posted actions to itself carry the parameter and the identifier.
  PostMessageA(h, RK_MSG_ACTION_TO_SELF, 9, RK_ACTION_ARROW_RELEASED);
  compat_pump();
  EXPECT_EQ(takeEvents(), (Events{"top.action 108242 9 self"}));
}
