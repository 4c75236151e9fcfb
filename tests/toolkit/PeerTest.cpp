// The native peer: window classes, creation, the message loop, properties kept before and
// applied after creation, cursors, icons and the caret.
#include <cstring>

#include "ComponentCaret.h"
#include "ToolkitTestSupport.h"

using Events = std::vector<std::string>;

class PeerTest : public ToolkitTest {};

TEST_F(PeerTest, ClassIsRegisteredOnceAndCountedPerComponent) {
  Probe* top = topLevel("top", 0, 0, 100, 100, "CountTop");
  EXPECT_EQ(ImplRKComponent::classUseCount("CountTop"), 1);
  Probe* a = childOf(top, "a", 0, 0, 10, 10, "CountedClass");
  Probe* b = childOf(top, "b", 20, 0, 10, 10, "CountedClass");
  EXPECT_EQ(ImplRKComponent::classUseCount("CountedClass"), 2);
  WNDCLASSEXA wc;
  ASSERT_TRUE(GetClassInfoExA(nullptr, "CountedClass", &wc));
  EXPECT_EQ(wc.style, UINT(CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC | CS_SAVEBITS));
  EXPECT_EQ(wc.lpfnWndProc, &ImplRKComponent::windowProc);
  EXPECT_EQ(wc.hbrBackground, nullptr);
  // Children get no icons; the cursor is the arrow.
  EXPECT_EQ(wc.hIcon, nullptr);
  EXPECT_EQ(wc.hIconSm, nullptr);
  EXPECT_EQ(compat_cursor_id(wc.hCursor), 32512u);
  a->destroy();
  EXPECT_EQ(a->isCreated(), 0u);
  EXPECT_EQ(ImplRKComponent::classUseCount("CountedClass"), 1);
  EXPECT_TRUE(GetClassInfoExA(nullptr, "CountedClass", &wc));
  b->destroy();
  EXPECT_EQ(ImplRKComponent::classUseCount("CountedClass"), 0);
  // A component can make its window again.
  top->createChild(a);
  EXPECT_EQ(a->isCreated(), 1u);
  EXPECT_TRUE(IsWindow(a->hwnd()));
  EXPECT_EQ(ImplRKComponent::classUseCount("CountedClass"), 1);
}

TEST_F(PeerTest, TopLevelWindowsGetTheApplicationIconAndPopupsShareTheirParentsIcons) {
  Probe* top = topLevel("top", 0, 0, 50, 50, "IconTop");
  HICON big = HICON(GetClassLongPtrA(top->hwnd(), GCLP_HICON));
  EXPECT_EQ(big, LoadIconA(nullptr, IDI_APPLICATION));
  EXPECT_NE(GetClassLongPtrA(top->hwnd(), GCLP_HICONSM), 0u);
  Probe* pop = probe("pop", "IconPopup");
  pop->setWindowStyle(RK_STYLE_POPUP);
  pop->setBounds(5, 5, 20, 20, 0);
  top->createChild(pop);
  EXPECT_NE(GetClassLongPtrA(pop->hwnd(), GCLP_HICON), 0u);
  EXPECT_EQ(GetWindow(pop->hwnd(), GW_OWNER), top->hwnd());
  EXPECT_FALSE(GetWindowLongA(pop->hwnd(), GWL_STYLE) & WS_CHILD);
}

TEST_F(PeerTest, WindowIsMadeFromThePropertiesSetBeforehand) {
  Probe* top = probe("top", "PropsTop");
  top->setWindowStyle(RK_STYLE_POPUP);
  top->setWindowStyle(7);  // no such kind: unchanged
  top->setBounds(30, 40, 120, 80, 0);
  top->setText("Title");
  EXPECT_EQ(top->isCreated(), 0u);
  EXPECT_EQ(top->startTimer(10), 0u);
  EXPECT_EQ(top->hasMouseCapture(), 0u);
  EXPECT_EQ(top->getFontHeight(), 0xFFFFFFFFu);
  EXPECT_EQ(top->getTextExtent("abc").width, 0);
  EXPECT_EQ(top->copyToClipboard("x"), 0u);
  EXPECT_EQ(top->getLocationOnScreen().x, 0);
  ASSERT_EQ(top->create(RKCreateInfo{nullptr, nullptr}), 1u);
  HWND h = top->hwnd();
  EXPECT_EQ(u32(GetWindowLongA(h, GWL_STYLE)) & 0xFFFF0000u, 0x80000000u | WS_VISIBLE);
  EXPECT_TRUE(GetWindowLongA(h, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
  char text[32] = {};
  GetWindowTextA(h, text, sizeof text);
  EXPECT_STREQ(text, "Title");
  RECT r;
  GetWindowRect(h, &r);
  EXPECT_EQ(r.left, 30);
  EXPECT_EQ(r.right - r.left, 120);
  EXPECT_EQ(top->getLocationOnScreen().y, 40);
  EXPECT_GT(top->getFontHeight(), 0u);
  EXPECT_GT(top->getTextExtent("abc").width, 0);
  EXPECT_EQ(top->getTextExtent("").width, 0);
  // Hidden and disabled before creation: made hidden and disabled.
  Probe* c = probe("c", "PropsChild");
  c->hide();
  c->disable();
  c->setBounds(1, 2, 30, 20, 0);
  top->createChild(c);
  EXPECT_FALSE(IsWindowVisible(c->hwnd()));
  EXPECT_FALSE(IsWindowEnabled(c->hwnd()));
  EXPECT_EQ(c->isVisible(), 0u);
  c->show(0);
  c->enable();
  EXPECT_TRUE(IsWindowVisible(c->hwnd()));
  EXPECT_TRUE(IsWindowEnabled(c->hwnd()));
  // Resizes after creation move the window and keep the size.
  c->setSize(RKSize(50, 25), 1);
  EXPECT_EQ(c->getSize().width, 50);
  c->setLocation(RKPoint(7, 8), 1);
  EXPECT_EQ(c->getLocation().x, 7);
  GetWindowRect(c->hwnd(), &r);
  EXPECT_EQ(r.left, 30 + 7);
  EXPECT_EQ(r.bottom - r.top, 25);
}

TEST_F(PeerTest, FailedCreationReportsAndLeavesNoLoopRunning) {
  int boxes = compat_message_box_count();
  Probe* orphan = probe("orphan", "OrphanChild");  // a child window style without a parent
  EXPECT_EQ(orphan->create(RKCreateInfo{nullptr, nullptr}), 0u);
  EXPECT_EQ(orphan->isCreated(), 0u);
  EXPECT_EQ(compat_message_box_count(), boxes + 1);
  EXPECT_STREQ(compat_message_box_last_text(), "createwindows err=1406");
  EXPECT_STREQ(compat_message_box_last_caption(), "eeerrr");
  // Nothing could ever post the quit message for a window that does not exist.
  orphan->postAction(5, 0);
  orphan->getPeer()->runMessageLoop();
  SUCCEED();
}

TEST_F(PeerTest, LoopEndsOnQuitWhicheverWindowItWasPostedTo) {
  Probe* top = topLevel("top");
  Probe* c = childOf(top, "c", 0, 0, 10, 10);
  compat_pump();
  takeEvents();
  top->postAction(1, 0);
  c->getPeer()->postQuit();
  top->postAction(2, 0);
  top->getPeer()->runMessageLoop();
  EXPECT_EQ(onlyEvents(takeEvents(), "top.action"), (Events{"top.action 1 0 self"}));
  compat_pump();
  EXPECT_EQ(onlyEvents(takeEvents(), "top.action"), (Events{"top.action 2 0 self"}));
  // Close asks the window first.
  top->getPeer()->postClose();
  top->answers["windowClosing"] = 0;
  compat_pump();
  EXPECT_TRUE(IsWindow(top->hwnd()));
  top->answers["windowClosing"] = 1;
  top->getPeer()->postClose();
  compat_pump();
  EXPECT_EQ(top->isCreated(), 0u);
}

TEST_F(PeerTest, CursorsAndIcons) {
  RKCursor* cur = new RKCursor();
  cur->addRef();
  EXPECT_NE(std::strstr(cur->getClassName(), ".RKCursor"), nullptr);
  EXPECT_EQ(cur->getKind(), 77u);
  EXPECT_EQ(RKCursor::systemCursorId(152), 32513u);
  EXPECT_EQ(RKCursor::systemCursorId(12), 32643u);
  EXPECT_EQ(RKCursor::systemCursorId(5), 0u);
  Probe* top = topLevel("top", 0, 0, 50, 50, "CursorTop");
  cur->setType(152);
  top->setCursor(cur);
  EXPECT_EQ(compat_cursor_id(HCURSOR(GetClassLongPtrA(top->hwnd(), GCLP_HCURSOR))), 32513u);
  // A drawn cursor of size 0 x 0 is no cursor: the class has none.
  cur->setKind(77);
  top->setCursor(cur);
  EXPECT_EQ(GetClassLongPtrA(top->hwnd(), GCLP_HCURSOR), 0u);
  cur->release();

  RKIcon* icon = new RKIcon();
  icon->addRef();
  EXPECT_EQ(icon->getKind(), 0u);
  EXPECT_EQ(icon->getResource(), IDI_APPLICATION);
  icon->setFile("C:\\some.ico");
  EXPECT_EQ(icon->getKind(), 9u);
  EXPECT_STREQ(icon->getResource(), "C:\\some.ico");
  icon->setKind(4);
  EXPECT_EQ(icon->getResource(), IDI_ERROR);
  top->setIcon(icon);
  EXPECT_EQ(HICON(GetClassLongPtrA(top->hwnd(), GCLP_HICON)), LoadIconA(nullptr, IDI_ERROR));
  icon->setKind(10);
  EXPECT_EQ(icon->getResource(), nullptr);
  EXPECT_EQ(icon->getPlanes(), 1);
  EXPECT_EQ(icon->getBitsPerPixel(), 24);
  icon->release();
}

TEST_F(PeerTest, CaretFollowsItsWindow) {
  ComponentCaret* loose = new ComponentCaret();
  loose->addRef();
  EXPECT_NE(std::strstr(loose->getClassName(), "IRKCaret"), nullptr);
  EXPECT_EQ(loose->getWidth(), 1u);
  EXPECT_EQ(loose->getHeight(), 16u);
  EXPECT_EQ(loose->showCaret(), 0);
  EXPECT_EQ(loose->createCaret(), 0);
  loose->setHeight(20);  // not created: only stored
  EXPECT_EQ(loose->getHeight(), 20u);
  loose->release();

  Probe* top = topLevel("top", 0, 0, 80, 40, "CaretTop");
  IRKCaret* caret = top->getCaret();
  ASSERT_NE(caret, nullptr);
  caret->setWidth(2);
  EXPECT_EQ(caret->create(), 1);
  EXPECT_EQ(caret->show(), 1);
  caret->setPosition(5, 6);
  CompatCaretInfo info;
  ASSERT_TRUE(compat_caret_info(&info));
  EXPECT_EQ(info.hwnd, top->hwnd());
  EXPECT_EQ(info.x, 5);
  EXPECT_EQ(info.y, 6);
  EXPECT_EQ(info.width, 2);
  EXPECT_EQ(info.height, 16);
  EXPECT_EQ(info.hideCount, 0);
  caret->setHeight(12);  // made again at the new height, shown
  ASSERT_TRUE(compat_caret_info(&info));
  EXPECT_EQ(info.height, 12);
  EXPECT_EQ(info.hideCount, 0);
  caret->setBlinkTime(300);
  EXPECT_EQ(caret->getBlinkTime(), 300u);
  EXPECT_EQ(caret->hide(), 1);
  caret->destroy();
  compat_caret_info(&info);
  EXPECT_EQ(info.hwnd, nullptr);
  caret->setHeight(30);  // no longer made by this caret
  compat_caret_info(&info);
  EXPECT_EQ(info.hwnd, nullptr);
  caret->release();
}

TEST_F(PeerTest, ClipboardTextRoundTrip) {
  Probe* top = topLevel("top", 0, 0, 30, 30, "ClipTop");
  RKString out;
  EXPECT_EQ(top->copyToClipboard("copied text"), 1u);
  EXPECT_EQ(top->pasteFromClipboard(out), 1);
  EXPECT_STREQ(out.data, "copied text");
  EXPECT_EQ(top->copyToClipboard(""), 1u);
  HANDLE mem = nullptr;
  ASSERT_TRUE(OpenClipboard(nullptr));
  mem = GetClipboardData(CF_TEXT);
  ASSERT_NE(mem, nullptr);
  EXPECT_EQ(*static_cast<const char*>(GlobalLock(mem)), 0);
  GlobalUnlock(mem);
  CloseClipboard();
  OpenClipboard(nullptr);
  EmptyClipboard();
  CloseClipboard();
  EXPECT_EQ(top->pasteFromClipboard(out), 0);
  EXPECT_TRUE(top->pasteFromClipboard().isEmpty());
}

TEST_F(PeerTest, ScreenSizeAndKeyState) {
  compat_set_screen_size(1024, 768);
  RKSize s = RKComponent::getScreenSize();
  EXPECT_EQ(s.width, 1024);
  EXPECT_EQ(s.height, 768);
  Probe* top = topLevel("top", 0, 0, 30, 30, "KeyTop");
  compat_set_key_state(VK_SHIFT, TRUE);
  EXPECT_EQ(top->isKeyDown(16), 1u);
  EXPECT_EQ(top->isKeyDown(17), 0u);
  compat_set_key_state(VK_SHIFT, FALSE);
  EXPECT_EQ(top->isKeyDown(16), 0u);
  EXPECT_EQ(top->queryPeer(), 0u);
  compat_message_box_answer(IDCANCEL, 0);
  EXPECT_EQ(RKComponent::messageBox(top, "Sure?", "Ask", 1), IDCANCEL);
  EXPECT_STREQ(compat_message_box_last_text(), "Sure?");
}
