// The design-mode base: hit zones, the dormant handlers outside design mode, and the moves,
// resizes, cursors and paints of design mode.
#include "RKDesignComponent.h"
#include "WidgetTestSupport.h"

class DesignComponentTest : public WidgetTest {
 protected:
  RKDesignComponent* widget(int x, int y, int w, int h) {
    RKDesignComponent* d = new RKDesignComponent();
    return place(d, x, y, w, h);
  }
  UINT classCursor(RKComponent* c) { return compat_cursor_id(HCURSOR(GetClassLongPtrA(windowOf(c), GCLP_HCURSOR))); }
  RecordingGraphics rec;
};

TEST_F(DesignComponentTest, HitZonesOfAFortyByTwentyWidget) {
  RKDesignComponent* d = widget(10, 10, 40, 20);
  const int cases[][3] = {{5, 5, 1},  {6, 0, 0},  {18, 0, 2},  {35, 10, 4}, {20, 10, 0}, {0, 0, 1},
                          {22, 5, 2}, {40, 0, 3}, {35, 12, 4}, {40, 20, 5}, {20, 15, 6}, {0, 20, 7},
                          {5, 8, 8},  {-1, 0, 0}, {41, 20, 0}, {20, 21, 0}};
  for (const auto& c : cases) EXPECT_EQ(d->hitTest(RKPoint(c[0], c[1])), c[2]) << c[0] << "," << c[1];
  // Narrower than 12 pixels the columns overlap: the test order decides.
  RKDesignComponent* thin = widget(100, 10, 8, 40);
  EXPECT_EQ(thin->hitTest(RKPoint(4, 2)), 1);
  EXPECT_EQ(thin->hitTest(RKPoint(4, 20)), 4);
  EXPECT_EQ(thin->hitTest(RKPoint(4, 38)), 5);
}

TEST_F(DesignComponentTest, OutsideDesignModeNothingChanges) {
  RKDesignComponent* d = widget(10, 10, 40, 20);
  HWND w = windowOf(d);
  compat_mouse_button(w, 2, 2, 1, TRUE);
  compat_mouse_move(w, 30, 15);
  compat_pump();
  EXPECT_EQ(ImplRKComponent::captureDepth(), 0);
  compat_mouse_button(w, 30, 15, 1, FALSE);
  compat_pump();
  EXPECT_EQ(d->getLocation().x, 10);
  EXPECT_EQ(d->getSize().width, 40);
  EXPECT_EQ(d->mousePressed(RKPoint(1, 1)), 1u);
  EXPECT_EQ(d->mouseMoved(RKPoint(9, 9)), 1u);
  EXPECT_EQ(d->mouseReleased(RKPoint(9, 9)), 1u);
  EXPECT_EQ(d->focusGained(), 1u);
  EXPECT_EQ(d->focusLost(), 1u);
  EXPECT_EQ(paintOf(d, rec), (Events{"fill 0,0,40,20"}));
  EXPECT_EQ(classCursor(d), 32512u);  // the arrow
}

TEST_F(DesignComponentTest, DragsMoveAndResizeByZone) {
  RKDesignComponent* d = widget(50, 40, 40, 20);
  d->setDesignMode(1);
  HWND w = windowOf(d);
  // Body: the whole widget moves.
  compat_mouse_button(w, 20, 10, 1, TRUE);
  compat_pump();
  EXPECT_EQ(ImplRKComponent::captureDepth(), 1);
  EXPECT_EQ(d->hasFocus(), 1u);
  compat_mouse_move(w, 25, 7);
  compat_pump();
  EXPECT_EQ(d->getLocation().x, 55);
  EXPECT_EQ(d->getLocation().y, 37);
  EXPECT_EQ(d->getSize().width, 40);
  compat_mouse_button(w, 20, 10, 1, FALSE);
  compat_pump();
  EXPECT_EQ(ImplRKComponent::captureDepth(), 0);
  // Zone 5, the bottom-right handle: grows with the pointer, which stays on the handle.
  compat_advance(600);
  compat_mouse_button(w, 39, 19, 1, TRUE);
  compat_mouse_move(w, 49, 24);
  compat_pump();
  EXPECT_EQ(d->getSize().width, 50);
  EXPECT_EQ(d->getSize().height, 25);
  compat_mouse_move(w, 51, 24);  // press point moved along: two more
  compat_pump();
  EXPECT_EQ(d->getSize().width, 52);
  // Never narrower than 6 pixels: the move that would leave 5 or less does nothing.
  compat_mouse_move(w, 4, 24);
  compat_pump();
  EXPECT_EQ(d->getSize().width, 52);
  EXPECT_EQ(d->getLocation().x, 55);
  compat_mouse_button(w, 4, 24, 1, FALSE);
  compat_pump();
  // Zone 1, the top-left handle: the origin follows, the size shrinks.
  RKSize before = d->getSize();
  compat_advance(600);
  compat_mouse_button(w, 2, 2, 1, TRUE);
  compat_mouse_move(w, 6, 5);
  compat_pump();
  EXPECT_EQ(d->getLocation().x, 59);
  EXPECT_EQ(d->getLocation().y, 40);
  EXPECT_EQ(d->getSize().width, before.width - 4);
  EXPECT_EQ(d->getSize().height, before.height - 3);
  compat_mouse_button(w, 6, 5, 1, FALSE);
  compat_pump();
  EXPECT_EQ(ImplRKComponent::captureDepth(), 0);
}

TEST_F(DesignComponentTest, CursorsFollowTheZonesOfAFocusedWidget) {
  RKDesignComponent* d = widget(50, 40, 40, 20);
  d->setDesignMode(1);
  d->mouseMoved(RKPoint(0, 0));  // not focused: no cursor change
  EXPECT_EQ(classCursor(d), 32512u);
  d->focusGained();
  const std::pair<RKPoint, UINT> cases[] = {
      {RKPoint(0, 0), 32642},   {RKPoint(20, 0), 32645},  {RKPoint(40, 0), 32643},
      {RKPoint(40, 10), 32644}, {RKPoint(40, 20), 32642}, {RKPoint(20, 20), 32645},
      {RKPoint(0, 20), 32643},  {RKPoint(0, 10), 32644},  {RKPoint(20, 10), 32512}};
  for (const auto& c : cases) {
    d->mouseMoved(c.first);
    EXPECT_EQ(classCursor(d), c.second) << c.first.x << "," << c.first.y;
  }
}

TEST_F(DesignComponentTest, DesignPaintDrawsHandlesOrAFocusRectangle) {
  RKDesignComponent* d = widget(50, 40, 40, 20);
  d->setDesignMode(1);
  EXPECT_TRUE(paintOf(d, rec).empty());  // no background in design mode, nothing selected
  d->setSelected(1);
  EXPECT_EQ(paintOf(d, rec),
            (Events{"rect 0,0,5,5 pen=0000ff fill=040506", "rect 18,0,5,5 pen=0000ff fill=040506",
                    "rect 35,0,5,5 pen=0000ff fill=040506", "rect 0,8,5,5 pen=0000ff fill=040506",
                    "rect 35,8,5,5 pen=0000ff fill=040506", "rect 0,15,5,5 pen=0000ff fill=040506",
                    "rect 18,15,5,5 pen=0000ff fill=040506", "rect 35,15,5,5 pen=0000ff fill=040506"}));
  EXPECT_EQ(hexColor(rec.pen), "010203");
  d->mousePressed(RKPoint(20, 10));
  EXPECT_EQ(paintOf(d, rec), (Events{"focus 0,0,40,20 1"}));
  d->mouseReleased(RKPoint(20, 10));
  d->setSelected(0);
  d->focusLost();
  EXPECT_TRUE(paintOf(d, rec).empty());
  d->focusGained();
  EXPECT_EQ(paintOf(d, rec).size(), 8u);
}
