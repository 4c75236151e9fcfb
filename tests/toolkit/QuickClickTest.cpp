// Quick clicks: a second press within the double-click time reaches a widget as a double click,
// and every widget that acts on a press counts it as a press, as native controls do. Listeners
// still see the double click; design mode keeps its own handling. A window that goes while it
// holds the mouse capture gives the capture back.
#include "RKButton.h"
#include "RKPicture.h"
#include "RKRadioButton.h"
#include "RKScrollBar.h"
#include "WidgetTestSupport.h"

namespace {

// Logs the double clicks a component's listeners are given.
class DoubleClickSpy : public IRKComponentListener {
 public:
  int mouseDoubleClicked(RKObject*, RKPoint) override {
    ++seen;
    return 1;
  }
  int seen = 0;
};

template <class P>
P* part(P* p) {
  if (p) p->release();
  return p;
}

}  // namespace

class QuickClickTest : public WidgetTest {
 protected:
  // Two clicks at one point, the second `gap` ms after the first (within the double-click time).
  void twoClicks(RKComponent* c, int x, int y, DWORD gap = 100) {
    HWND w = windowOf(c);
    compat_click(w, x, y);
    compat_pump();
    compat_advance(gap);
    compat_click(w, x, y);
    compat_pump();
  }
  void noCapture() {
    EXPECT_EQ(ImplRKComponent::captureDepth(), 0);
    EXPECT_EQ(GetCapture(), HWND(nullptr));
  }
};

TEST_F(QuickClickTest, ButtonCountsEveryQuickClick) {
  RKButton* b = place(new RKButton(), 20, 30, 80, 24);
  DoubleClickSpy spy;
  b->addComponentListener(&spy);
  twoClicks(b, 10, 10, 250);
  EXPECT_EQ(spy.seen, 1);  // the second press was a double click
  EXPECT_EQ(actions.count(RK_ACTION_BUTTON_CLICKED), 2);
  EXPECT_EQ(b->isPressed(), 0u);
  noCapture();
  // A third quick click is a plain press again: three clicks, three actions.
  compat_click(windowOf(b), 10, 10);
  compat_pump();
  EXPECT_EQ(actions.count(RK_ACTION_BUTTON_CLICKED), 3);
  noCapture();
  // The double click's press dragged off the button and released outside posts nothing.
  compat_advance(600);
  HWND w = windowOf(b);
  compat_click(w, 10, 10);
  compat_mouse_button(w, 10, 10, 1, TRUE);
  compat_mouse_move(w, 200, 10);
  compat_mouse_button(w, 200, 10, 1, FALSE);
  compat_pump();
  EXPECT_EQ(actions.count(RK_ACTION_BUTTON_CLICKED), 4);
  EXPECT_EQ(spy.seen, 2);
  noCapture();
  b->removeComponentListener(&spy);
}

TEST_F(QuickClickTest, DisabledAndDesignModeButtonsIgnoreTheDoubleClick) {
  RKButton* b = place(new RKButton(), 20, 30, 80, 24);
  b->disable();
  b->mouseDoubleClicked(RKPoint(10, 10));
  b->mouseReleased(RKPoint(10, 10));
  compat_pump();
  EXPECT_EQ(actions.count(RK_ACTION_BUTTON_CLICKED), 0);
  noCapture();
  b->enable();
  // Design mode: the first press starts a design drag, the double click's press does nothing.
  b->setDesignMode(1);
  twoClicks(b, 10, 10);
  EXPECT_EQ(actions.count(RK_ACTION_BUTTON_CLICKED), 0);
  EXPECT_EQ(b->isPressed(), 0u);
  noCapture();
}

TEST_F(QuickClickTest, CheckBoxTogglesTwiceAndRadioButtonStaysSelected) {
  ActionCounter fired;
  RKCheckBox* c = place(new RKCheckBox("Associate"), 10, 10, 100, 20);
  c->addActionListener(&fired);
  twoClicks(c, 5, 5);
  EXPECT_EQ(fired.count(RK_ACTION_CHECKBOX_TOGGLED), 2);
  EXPECT_EQ(c->isChecked(), 0u);
  noCapture();
  compat_advance(600);
  RKRadioButton* r = place(new RKRadioButton("One"), 10, 40, 100, 20);
  r->addActionListener(&fired);
  twoClicks(r, 5, 5);
  EXPECT_EQ(fired.count(RK_ACTION_RADIO_SELECTED), 2);
  EXPECT_EQ(r->isSelected(), 1u);
  noCapture();
  c->removeActionListener(&fired);
  r->removeActionListener(&fired);
}

TEST_F(QuickClickTest, ScrollBarArrowsTrackAndThumbActOnEveryQuickClick) {
  RKScrollBar* bar = place(new RKScrollBar(0), 10, 10, 200, 17);
  RKArrowButton* inc = part(bar->getIncrementButton());
  RKArrowButton* dec = part(bar->getDecrementButton());
  RKScrollBarBox* thumb = part(bar->getThumb());
  twoClicks(inc, 5, 5);
  EXPECT_EQ(bar->getValue(), 2);
  EXPECT_EQ(inc->isPressed(), 0u);
  noCapture();
  compat_advance(600);
  twoClicks(dec, 5, 5);
  EXPECT_EQ(bar->getValue(), 0);
  noCapture();
  // The track behind the thumb pages forward twice.
  compat_advance(600);
  int page = bar->getVisibleAmount();
  twoClicks(bar, 150, 8);
  EXPECT_EQ(bar->getValue(), 2 * page);
  noCapture();
  // The thumb: the double click's press grabs it, so a drag after it moves the thumb.
  compat_advance(600);
  HWND tw = windowOf(thumb);
  int at = thumb->getLocation().x;
  compat_click(tw, 3, 3);
  compat_mouse_button(tw, 3, 3, 1, TRUE);
  compat_mouse_move(tw, 13, 3);
  compat_mouse_button(tw, 13, 3, 1, FALSE);
  compat_pump();
  EXPECT_EQ(thumb->getLocation().x, at + 10);
  noCapture();
}

TEST_F(QuickClickTest, PictureReportsEveryQuickPress) {
  RKPicture* p = place(new RKPicture(), 10, 10, 40, 40);
  ActionCounter spy;
  p->addActionListener(&spy);
  twoClicks(p, 5, 5);
  EXPECT_EQ(spy.count(RK_ACTION_PICTURE_PRESSED), 2);
  p->removeActionListener(&spy);
}

// A button taken away while it holds the capture (pressed, not yet released): the next clicks
// go to the widgets under the pointer, and the count of captures is back at 0.
TEST_F(QuickClickTest, AWindowDestroyedWhileHoldingTheCaptureGivesItBack) {
  RKButton* gone = place(new RKButton(), 20, 30, 80, 24);
  RKButton* next = place(new RKButton(), 20, 70, 80, 24);
  RKButton* last = place(new RKButton(), 20, 110, 80, 24);
  compat_mouse_button(windowOf(gone), 10, 10, 1, TRUE);
  compat_pump();
  ASSERT_EQ(ImplRKComponent::captureDepth(), 1);
  host->remove(gone);
  compat_pump();
  noCapture();
  compat_mouse_button(nullptr, 100 + 30, 100 + 40, 1, FALSE);  // the release lands elsewhere
  compat_pump();
  compat_advance(600);
  compat_click(windowOf(next), 10, 10);
  compat_pump();
  EXPECT_EQ(actions.count(RK_ACTION_BUTTON_CLICKED), 1);
  EXPECT_EQ(actions.last, static_cast<RKObject*>(next));
  noCapture();
  compat_advance(600);
  compat_click(windowOf(last), 10, 10);
  compat_pump();
  EXPECT_EQ(actions.count(RK_ACTION_BUTTON_CLICKED), 2);
  EXPECT_EQ(actions.last, static_cast<RKObject*>(last));
  noCapture();
}
