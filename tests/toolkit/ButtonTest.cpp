// The push button: click roads by mouse and space key, the disabled button, the hint on hover
// and its paints in the flat and the 3-D look.
#include "RKButton.h"
#include "WidgetTestSupport.h"

class ButtonTest : public WidgetTest {
 protected:
  RKButton* makeButton(const char* text = "OK") {
    RKButton* b = new RKButton();
    b->setText(text);
    place(b, 20, 30, 80, 24);
    return b;
  }
  int clicks() { return actions.count(RK_ACTION_BUTTON_CLICKED); }
};

TEST_F(ButtonTest, ReleaseInsidePostsOneClickOneMessageLater) {
  RKButton* b = makeButton();
  HWND w = windowOf(b);
  compat_mouse_button(w, 10, 10, 1, TRUE);
  compat_pump();
  EXPECT_EQ(b->isPressed(), 1u);
  EXPECT_TRUE(b->hasMouseCapture());
  EXPECT_EQ(ImplRKComponent::captureDepth(), 1);
  EXPECT_EQ(b->hasFocus(), 1u);
  compat_mouse_button(w, 12, 11, 1, FALSE);
  compat_pump();
  EXPECT_EQ(clicks(), 1);
  EXPECT_EQ(actions.last, static_cast<RKObject*>(b));
  EXPECT_EQ(b->isPressed(), 0u);
  EXPECT_EQ(ImplRKComponent::captureDepth(), 0);
  EXPECT_EQ(GetCapture(), HWND(nullptr));
}

TEST_F(ButtonTest, DraggedOutPostsNothingAndOutAndBackPostsOne) {
  RKButton* b = makeButton();
  HWND w = windowOf(b);
  // Out: under the capture the points run past the edges and below zero.
  compat_mouse_button(w, 10, 10, 1, TRUE);
  compat_mouse_move(w, -5, 10);
  compat_pump();
  compat_mouse_move(w, 81, 30);
  compat_mouse_button(w, 81, 30, 1, FALSE);
  compat_pump();
  EXPECT_EQ(clicks(), 0);
  EXPECT_EQ(b->isPressed(), 0u);
  EXPECT_EQ(ImplRKComponent::captureDepth(), 0);
  // Out and back: the right and bottom edges count as inside. (Later than a double click.)
  compat_advance(600);
  compat_mouse_button(w, 10, 10, 1, TRUE);
  compat_mouse_move(w, 10, -3);
  compat_pump();
  EXPECT_EQ(b->isPressed(), 1u);
  compat_mouse_move(w, 80, 24);
  compat_mouse_button(w, 80, 24, 1, FALSE);
  compat_pump();
  EXPECT_EQ(clicks(), 1);
  EXPECT_EQ(ImplRKComponent::captureDepth(), 0);
}

TEST_F(ButtonTest, SpaceReleasePostsAlsoWithoutItsPress) {
  RKButton* b = makeButton();
  b->requestFocus();
  compat_pump();
  compat_key(' ', TRUE, nullptr);
  compat_pump();
  EXPECT_EQ(b->isPressed(), 1u);
  EXPECT_EQ(clicks(), 0);
  compat_key(' ', FALSE, nullptr);
  compat_pump();
  EXPECT_EQ(clicks(), 1);
  EXPECT_EQ(b->isPressed(), 0u);
  compat_key(' ', FALSE, nullptr);
  compat_pump();
  EXPECT_EQ(clicks(), 2);
  // Other keys do nothing.
  compat_key('A', TRUE, nullptr);
  compat_key('A', FALSE, nullptr);
  compat_key(VK_RETURN, TRUE, nullptr);
  compat_key(VK_RETURN, FALSE, nullptr);
  compat_pump();
  EXPECT_EQ(clicks(), 2);
  EXPECT_EQ(b->isPressed(), 0u);
}

TEST_F(ButtonTest, DisabledButtonIgnoresMouseAndSpace) {
  RKButton* b = makeButton();
  HWND w = windowOf(b);
  EXPECT_EQ(b->disable(), 0);  // was enabled: EnableWindow answers the old disabled state
  EXPECT_EQ(b->isDisabled(), 1u);
  EXPECT_FALSE(IsWindowEnabled(w));
  compat_click(w, 10, 10);
  compat_pump();
  EXPECT_EQ(b->isPressed(), 0u);
  // Handlers called directly (as a listener could) do nothing either.
  b->mousePressed(RKPoint(10, 10));
  b->keyPressed(32, 0);
  b->keyReleased(32, 0);
  b->mouseReleased(RKPoint(10, 10));
  compat_pump();
  EXPECT_EQ(clicks(), 0);
  EXPECT_EQ(ImplRKComponent::captureDepth(), 0);
  b->enable();
  EXPECT_EQ(b->isDisabled(), 0u);
  EXPECT_TRUE(IsWindowEnabled(w));
  compat_advance(600);
  compat_click(w, 10, 10);
  compat_pump();
  EXPECT_EQ(clicks(), 1);
}

TEST_F(ButtonTest, DisablingAPressedButtonGivesBackItsCapture) {
  RKButton* b = makeButton();
  HWND w = windowOf(b);
  compat_mouse_button(w, 10, 10, 1, TRUE);
  compat_pump();
  ASSERT_EQ(ImplRKComponent::captureDepth(), 1);
  b->disable();
  compat_mouse_button(w, 10, 10, 1, FALSE);
  compat_pump();
  EXPECT_EQ(ImplRKComponent::captureDepth(), 0);
  EXPECT_EQ(GetCapture(), HWND(nullptr));
  EXPECT_EQ(clicks(), 0);
  EXPECT_EQ(b->isPressed(), 0u);
}

TEST_F(ButtonTest, HintShowsBelowThePointerOnHoverAndHidesOnLeave) {
  RKButton* b = makeButton();
  RKHelper* hint = b->getHelper();
  ASSERT_NE(hint, nullptr);
  b->setHelpText("Starts the copy");
  EXPECT_EQ(hint->isCreated(), 0u);  // made on the first hover only
  HWND w = windowOf(b);
  compat_mouse_move(w, 15, 8);
  compat_pump();
  EXPECT_EQ(hint->isCreated(), 0u);
  compat_advance(500);
  ASSERT_EQ(hint->isCreated(), 1u);
  HWND hw = windowOf(hint);
  EXPECT_TRUE(IsWindowVisible(hw));
  EXPECT_NE(GetWindowLongA(hw, GWL_STYLE) & WS_POPUP, 0);
  EXPECT_EQ(GetParent(hw), windowOf(host));  // owned by the button's top-level window
  RKPoint origin = b->getLocationOnScreen();
  RECT r;
  GetWindowRect(hw, &r);
  EXPECT_EQ(r.left, origin.x + 15);
  EXPECT_EQ(r.top, origin.y + 8 + 21);
  RKSize e = hint->getTextExtent("Starts the copy");
  EXPECT_GT(e.width, 0);
  EXPECT_EQ(r.right - r.left, e.width + 4);
  EXPECT_EQ(r.bottom - r.top, e.height + 2);
  EXPECT_NE(GetFocus(), hw);  // shown without activation
  // Leaving hides it; the next entry shows it again at the new point.
  compat_mouse_move(windowOf(host), 300, 250);
  compat_pump();
  EXPECT_FALSE(IsWindowVisible(hw));
  EXPECT_EQ(hint->isVisible(), 0u);
  compat_mouse_move(w, 40, 12);
  compat_advance(500);
  EXPECT_TRUE(IsWindowVisible(hw));
  GetWindowRect(hw, &r);
  EXPECT_EQ(r.left, origin.x + 40);
  EXPECT_EQ(r.top, origin.y + 12 + 21);
}

TEST_F(ButtonTest, ButtonWithoutHelpTextOrWithANullHintShowsNothing) {
  RKButton* b = makeButton();
  HWND w = windowOf(b);
  compat_mouse_move(w, 15, 8);
  compat_advance(500);
  EXPECT_EQ(b->getHelper()->isCreated(), 0u);
  b->setHelper(nullptr);
  EXPECT_EQ(b->getHelper(), nullptr);
  compat_mouse_move(windowOf(host), 300, 250);
  compat_mouse_move(w, 15, 8);
  compat_advance(500);  // hasHelp is set, but there is no hint: nothing happens
  // A new hint handed over after the first hover is created at once.
  RKButton* c = makeButton("Two");
  c->setHelpText("second");
  compat_mouse_move(windowOf(c), 5, 5);
  compat_advance(500);
  ASSERT_EQ(c->getHelper()->isCreated(), 1u);
  RKHelper* other = new RKHelper();
  other->setText("third");
  c->setHelper(other);
  EXPECT_EQ(other->isCreated(), 1u);
  c->setHelper(other);  // the same hint again stays alive
  EXPECT_EQ(c->getHelper(), other);
  EXPECT_EQ(other->getText(), RKString("third"));
}

class ButtonPaintTest : public ButtonTest {
 protected:
  void SetUp() override {
    ButtonTest::SetUp();
    b = makeButton("Next");
    RKSize e = b->getTextExtent("Next");
    tx = (80 - e.width) / 2;
    ty = (24 - e.height) / 2;
  }
  std::string at(int d) { return std::to_string(tx + d) + "," + std::to_string(ty + d); }
  RKButton* b = nullptr;
  int tx = 0, ty = 0;
  RecordingGraphics g;
};

TEST_F(ButtonPaintTest, FlatLookInEachState) {
  b->setInheritedFlag(0);
  b->focusLost();
  EXPECT_EQ(paintOf(b, g),
            (Events{"fill 0,0,80,24", "outline 1,1,77,21 pen=000000 fill=040506",
                    "outline 2,2,75,19 pen=ffffff fill=040506", "string 'Next' " + at(0) + " pen=000000"}));
  EXPECT_EQ(hexColor(g.pen), "010203");  // pen and fill put back
  EXPECT_EQ(g.transparent, 1);
  b->focusGained();
  EXPECT_EQ(paintOf(b, g), (Events{"fill 0,0,80,24", "outline 1,1,77,21 pen=000000 fill=040506",
                                   "outline 0,0,79,23 pen=000000 fill=040506", "focus 4,4,72,16 1",
                                   "string 'Next' " + at(0) + " pen=000000"}));
  // Pressed: the grey face and the text one pixel right and down.
  b->mousePressed(RKPoint(5, 5));
  EXPECT_EQ(paintOf(b, g), (Events{"fill 0,0,80,24", "outline 1,1,77,21 pen=000000 fill=040506",
                                   "rect 2,2,75,19 pen=d3d3d3 fill=d3d3d3", "outline 0,0,79,23 pen=000000 fill=d3d3d3",
                                   "focus 4,4,72,16 1", "string 'Next' " + at(1) + " pen=000000"}));
  EXPECT_EQ(hexColor(g.fill), "040506");
  // Pressed with the pointer outside: drawn raised again.
  b->mouseMoved(RKPoint(90, 5));
  EXPECT_EQ(g.only("rect").size(), 1u);
  EXPECT_EQ(paintOf(b, g).size(), 5u);
  EXPECT_TRUE(g.only("rect").empty());
  b->mouseReleased(RKPoint(90, 5));
  b->focusLost();
  b->disable();
  EXPECT_EQ(paintOf(b, g).back(), "disabled 'Next' " + at(0) + " pen=000000");
}

TEST_F(ButtonPaintTest, RaisedLookInEachState) {
  b->focusLost();
  EXPECT_EQ(paintOf(b, g), (Events{"fill 0,0,80,24", "frame2 1,1,77,21", "string 'Next' " + at(0) + " pen=000000"}));
  b->focusGained();
  EXPECT_EQ(paintOf(b, g), (Events{"fill 0,0,80,24", "frame2 1,1,77,21", "outline 0,0,79,23 pen=000000 fill=040506",
                                   "focus 4,4,72,16 1", "string 'Next' " + at(0) + " pen=000000"}));
  b->mousePressed(RKPoint(5, 5));
  EXPECT_EQ(paintOf(b, g), (Events{"fill 0,0,80,24", "outline 1,1,77,21 pen=000000 fill=040506",
                                   "outline 0,0,79,23 pen=000000 fill=040506", "focus 4,4,72,16 1",
                                   "string 'Next' " + at(1) + " pen=000000"}));
  b->mouseReleased(RKPoint(5, 5));
  // Empty text: frames only (an empty string draws nothing).
  b->setText("");
  b->focusLost();
  Events e = paintOf(b, g);
  EXPECT_EQ(e[1], "frame2 1,1,77,21");
}

TEST_F(ButtonPaintTest, DesignModeDrawsHandlesOverTheFrame) {
  b->setDesignMode(1);
  b->focusLost();
  EXPECT_EQ(paintOf(b, g), (Events{"fill 0,0,80,24", "frame2 0,0,79,23", "string 'Next' " + at(0) + " pen=000000"}));
  b->setSelected(1);
  b->disable();
  Events e = paintOf(b, g);
  EXPECT_EQ(e[2], "string 'Next' " + at(0) + " pen=000000");  // not embossed in design mode
  EXPECT_EQ(g.only("rect").size(), 8u);
  EXPECT_EQ(g.only("rect")[0], "rect 0,0,5,5 pen=0000ff fill=040506");
  b->setInheritedFlag(0);
  e = paintOf(b, g);
  EXPECT_EQ(e[1], "outline 1,1,77,21 pen=000000 fill=040506");
  EXPECT_EQ(e[2], "outline 2,2,75,19 pen=ffffff fill=040506");
}
