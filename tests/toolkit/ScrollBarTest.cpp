// The scroll bar: layout of its parts, the clamping setters, arrow steps with their repeat,
// track pages, thumb drags, and the arrow button and thumb on their own.
#include "RKScrollBar.h"
#include "WidgetTestSupport.h"

class ScrollBarTest : public WidgetTest {
 protected:
  RKScrollBar* bar(u32 orientation, int w, int h) {
    RKScrollBar* b = new RKScrollBar(orientation);
    place(b, 10, 10, w, h);
    return b;
  }
  int changes() { return actions.count(RK_ACTION_SCROLL_VALUE_CHANGED); }
  // Parts come with a reference for the test, given back here at once.
  template <class P>
  static P* part(P* p) {
    if (p) p->release();
    return p;
  }
};

TEST_F(ScrollBarTest, HorizontalLayoutFromItsOwnSize) {
  RKScrollBar* b = bar(0, 200, 17);
  RKArrowButton* inc = part(b->getIncrementButton());
  RKArrowButton* dec = part(b->getDecrementButton());
  RKScrollBarBox* thumb = part(b->getThumb());
  EXPECT_EQ(inc->getDirection(), RK_ARROW_RIGHT);
  EXPECT_EQ(dec->getDirection(), RK_ARROW_LEFT);
  EXPECT_EQ(inc->getLocation().x, 182);
  EXPECT_EQ(inc->getSize().width, 17);
  EXPECT_EQ(dec->getLocation().x, 0);
  EXPECT_EQ(dec->getSize().width, 17);
  EXPECT_EQ(thumb->getLocation().x, 17);
  EXPECT_EQ(thumb->getSize().width, 15);
  EXPECT_EQ(thumb->getSize().height, 17);
  EXPECT_EQ(thumb->getMinimumPosition(), 17);
  EXPECT_EQ(thumb->getMaximumPosition(), 167);
  EXPECT_EQ(b->getBackground().getARGB(), RKColor(220, 220, 220).getARGB());
  // Minimum 20: value 20 puts the thumb at the end of the decrement button.
  b->setMinimum(20);
  b->setMaximum(120);
  EXPECT_EQ(b->getValue(), 20);
  EXPECT_EQ(thumb->getLocation().x, 17);
  // A square bar lays out its buttons but leaves the thumb alone.
  RKScrollBar* square = bar(1, 30, 30);
  RKScrollBarBox* t2 = part(square->getThumb());
  EXPECT_EQ(part(square->getIncrementButton())->getLocation().y, 0);
  EXPECT_EQ(part(square->getIncrementButton())->getSize().height, 30);
  EXPECT_EQ(t2->getSize().width, 10);
  EXPECT_EQ(t2->getSize().height, 10);
}

TEST_F(ScrollBarTest, SettersKeepTheRangeAndPostNothing) {
  RKScrollBar* b = bar(1, 17, 200);
  b->setMinimum(100);  // not below the maximum 100: ignored
  EXPECT_EQ(b->getMinimum(), 0);
  b->setMaximum(0);
  EXPECT_EQ(b->getMaximum(), 100);
  b->setValue(150);
  EXPECT_EQ(b->getValue(), 100);
  b->setValue(-4);
  EXPECT_EQ(b->getValue(), 0);
  b->setValue(95);
  b->setMaximum(50);  // value pulled back to maximum - visible amount
  EXPECT_EQ(b->getValue(), 40);
  b->setRepeatInterval(0);
  EXPECT_EQ(b->getRepeatInterval(), 100);
  compat_pump();
  EXPECT_EQ(changes(), 0);
}

TEST_F(ScrollBarTest, ArrowStepsRepeatWhileHeldAndStopAtTheLimit) {
  RKScrollBar* b = bar(0, 200, 17);
  RKArrowButton* inc = part(b->getIncrementButton());
  HWND iw = windowOf(inc);
  compat_mouse_button(iw, 5, 5, 1, TRUE);
  compat_pump();
  EXPECT_EQ(b->getValue(), 1);
  EXPECT_EQ(changes(), 1);
  EXPECT_EQ(ImplRKComponent::captureDepth(), 1);
  compat_advance(100);
  EXPECT_EQ(b->getValue(), 2);
  compat_advance(200);
  EXPECT_EQ(b->getValue(), 4);
  // Off the arrow: released look, repeat stops; back on: one step more.
  compat_mouse_move(iw, 40, 5);
  compat_pump();
  EXPECT_EQ(inc->isPressed(), 0u);
  compat_advance(300);
  EXPECT_EQ(b->getValue(), 4);
  compat_mouse_move(iw, 17, 17);  // the edges count as inside
  compat_pump();
  EXPECT_EQ(inc->isPressed(), 1u);
  EXPECT_EQ(b->getValue(), 5);
  compat_mouse_button(iw, 17, 17, 1, FALSE);
  compat_pump();
  compat_advance(300);
  EXPECT_EQ(b->getValue(), 5);
  EXPECT_EQ(ImplRKComponent::captureDepth(), 0);
  // At maximum - visible amount the increment does nothing at all.
  b->setValue(90);
  int before = changes();
  compat_advance(600);
  compat_click(iw, 5, 5);
  compat_pump();
  compat_advance(300);
  EXPECT_EQ(b->getValue(), 90);
  EXPECT_EQ(changes(), before);
  EXPECT_EQ(b->getRepeatKind(), 0u);
  EXPECT_EQ(ImplRKComponent::captureDepth(), 0);
}

TEST_F(ScrollBarTest, TrackPressesPageAndRepeatOnlyOverThePressedPart) {
  RKScrollBar* b = bar(0, 200, 17);
  HWND w = windowOf(b);
  b->setValue(80);
  compat_mouse_button(w, 190 - 17, 8, 1, TRUE);  // after the thumb
  compat_pump();
  EXPECT_EQ(b->getValue(), 90);
  EXPECT_EQ(b->getPressedSide(), 2u);
  EXPECT_EQ(changes(), 1);
  EXPECT_EQ(ImplRKComponent::captureDepth(), 1);
  compat_advance(100);  // at the limit it keeps posting the same value
  EXPECT_EQ(b->getValue(), 90);
  EXPECT_EQ(changes(), 2);
  compat_mouse_button(w, 190 - 17, 8, 1, FALSE);
  compat_pump();
  EXPECT_EQ(b->getPressedSide(), 0u);
  EXPECT_EQ(ImplRKComponent::captureDepth(), 0);
  compat_advance(300);
  EXPECT_EQ(changes(), 2);
  // Before the thumb: pages down towards the minimum; leaving the part stops the repeat.
  compat_advance(600);
  compat_mouse_button(w, 20, 8, 1, TRUE);
  compat_pump();
  EXPECT_EQ(b->getValue(), 80);
  compat_mouse_move(w, 20, 30);
  compat_pump();
  compat_advance(300);
  EXPECT_EQ(b->getValue(), 80);
  compat_mouse_move(w, 20, 8);
  compat_pump();
  compat_advance(100);
  EXPECT_EQ(b->getValue(), 70);
  compat_mouse_button(w, 20, 8, 1, FALSE);
  compat_pump();
  EXPECT_EQ(ImplRKComponent::captureDepth(), 0);
}

TEST_F(ScrollBarTest, ThumbDragMovesWithinItsLimitsAndSetsTheValue) {
  RKScrollBar* b = bar(0, 200, 17);
  RKScrollBarBox* thumb = part(b->getThumb());
  ActionCounter barListener;
  b->addActionListener(&barListener);
  HWND tw = windowOf(thumb);
  compat_mouse_button(tw, 5, 5, 1, TRUE);
  compat_pump();
  EXPECT_EQ(thumb->isDragging(), 1u);
  compat_mouse_move(tw, 5 + 83, 5);  // to x 100: (100 - 17) * 100 / 166
  compat_pump();
  EXPECT_EQ(thumb->getLocation().x, 100);
  EXPECT_EQ(b->getValue(), 50);
  EXPECT_EQ(changes(), 1);
  // Past the limit: refused, the thumb stays.
  compat_mouse_move(tw, 5 + 100, 5);
  compat_pump();
  EXPECT_EQ(thumb->getLocation().x, 100);
  // Exactly onto the limit: accepted.
  compat_mouse_move(tw, 5 + 67, 9);
  compat_pump();
  EXPECT_EQ(thumb->getLocation().x, 167);
  EXPECT_EQ(b->getValue(), 90);
  compat_mouse_button(tw, 5, 9, 1, FALSE);
  compat_pump();
  EXPECT_EQ(thumb->isDragging(), 0u);
  EXPECT_EQ(ImplRKComponent::captureDepth(), 0);
  EXPECT_EQ(barListener.count(RK_ACTION_THUMB_RELEASED), 1);  // passed on by the bar
  b->removeActionListener(&barListener);
}

TEST_F(ScrollBarTest, ATrackOfNoLengthLeavesTheValueAlone) {
  RKScrollBar* b = bar(0, 40, 20);  // buttons of 20 leave no track
  b->setValue(30);
  RKScrollBarBox* thumb = part(b->getThumb());
  thumb->setMinimumPosition(-100);
  thumb->setMaximumPosition(100);
  b->actionPerformed(thumb, RK_ACTION_THUMB_MOVED, 0);
  EXPECT_EQ(b->getValue(), 30);
  EXPECT_EQ(b->valueFromThumb(), 30);
}

TEST_F(ScrollBarTest, ReplacingAPartWithItselfKeepsIt) {
  RKScrollBar* b = bar(0, 200, 17);
  RKArrowButton* inc = b->getIncrementButton();
  b->setIncrementButton(inc);
  EXPECT_EQ(b->getChildCount(), 3u);
  EXPECT_EQ(inc->isCreated(), 1u);
  RKArrowButton* other = new RKArrowButton(RK_ARROW_UP);
  b->setIncrementButton(other);
  EXPECT_EQ(b->getChildCount(), 3u);
  EXPECT_EQ(inc->isCreated(), 0u);
  EXPECT_EQ(other->isCreated(), 1u);
  EXPECT_EQ(other->getLocation().x, 182);
  inc->release();
}

TEST_F(ScrollBarTest, ArrowButtonLooks) {
  RKArrowButton* a = place(new RKArrowButton(RK_ARROW_DOWN), 0, 0, 18, 18);
  RecordingGraphics g;
  Events p = paintOf(a, g);
  EXPECT_EQ(p[1], "frame2 0,0,17,17");
  a->setInheritedFlag(0);
  p = paintOf(a, g);
  EXPECT_EQ(p[1], "outline 0,0,17,17 pen=aca899 fill=040506");
  a->setInset(-1);
  EXPECT_EQ(a->getInset(), 0);
  a->setInset(2);
  EXPECT_EQ(a->getInset(), 2);
  HWND w = windowOf(a);
  compat_mouse_button(w, 3, 3, 1, TRUE);
  compat_pump();
  p = paintOf(a, g);
  EXPECT_EQ(p[1], "outline 0,0,17,17 pen=828284 fill=040506");
  EXPECT_EQ(p[2], "rect 1,1,16,16 pen=000000 fill=000000");
  compat_mouse_button(w, 3, 3, 1, FALSE);
  compat_pump();
  EXPECT_EQ(g.pen->getARGB(), RKColor(1, 2, 3).getARGB());
  EXPECT_EQ(ImplRKComponent::captureDepth(), 0);
}
