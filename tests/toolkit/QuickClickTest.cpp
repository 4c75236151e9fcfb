// Quick clicks: a second press within the double-click time reaches a widget as a double click,
// and every widget that acts on a press counts it as a press, as native controls do, focus
// included. Listeners still see the double click; design mode keeps its own handling. A window
// that goes while it holds the mouse capture gives the capture back.
#include "RKButton.h"
#include "RKListBox.h"
#include "RKPicture.h"
#include "RKRadioButton.h"
#include "RKScrollBar.h"
#include "ShapeRecorder.h"

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

// Gives the focus to another component whenever an action of one id reaches it, as a window's
// action handler may do after a click.
class FocusMover : public IRKActionListener {
 public:
  FocusMover(u32 i, RKComponent* t) : id(i), target(t) {}
  int actionPerformed(RKObject*, u32 action, u64) override {
    if (action == id) target->requestFocus();
    return 1;
  }
  u32 id;
  RKComponent* target;
};

std::string colorOf(RKColor c) { return hexColor(&c); }

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
  void clickAt(RKComponent* c, int x, int y) {
    compat_click(windowOf(c), x, y);
    compat_pump();
  }
  // `gap` ms after a click at the same point, the second press of a double click, held.
  void pressAgain(RKComponent* c, int x, int y, DWORD gap = 100) {
    compat_advance(gap);
    compat_mouse_button(windowOf(c), x, y, 1, TRUE);
    compat_pump();
  }
  // A click, then the second press of a double click, held.
  void clickThenHold(RKComponent* c, int x, int y) {
    clickAt(c, x, y);
    pressAgain(c, x, y);
  }
  void releaseAt(RKComponent* c, int x, int y) {
    compat_mouse_button(windowOf(c), x, y, 1, FALSE);
    compat_pump();
  }
  // The component holds the one capture taken by its press.
  void holdsTheCapture(RKComponent* c) {
    EXPECT_EQ(c->hasMouseCapture(), 1);
    EXPECT_EQ(ImplRKComponent::captureDepth(), 1);
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

// The double click's press is a press of the box: pressed look and capture while it is held;
// its release toggles (a release alone would toggle too, so the count proves nothing by itself).
TEST_F(QuickClickTest, CheckBoxTogglesTwiceAndRadioButtonStaysSelected) {
  ActionCounter fired;
  DoubleClickSpy spy;
  ShapeRecorder g;
  RKCheckBox* c = place(new RKCheckBox("Associate"), 10, 10, 100, 20);
  RKRadioButton* r = place(new RKRadioButton("One"), 10, 40, 100, 20);
  std::string face = colorOf(c->getBackground());
  c->addActionListener(&fired);
  r->addActionListener(&fired);
  c->addComponentListener(&spy);
  r->addComponentListener(&spy);
  clickThenHold(c, 5, 5);
  EXPECT_EQ(spy.seen, 1);
  EXPECT_EQ(fired.count(RK_ACTION_CHECKBOX_TOGGLED), 1);
  holdsTheCapture(c);
  EXPECT_EQ(paintOf(c, g)[1], "rect 2,6,10,10 pen=" + face + " fill=" + face);
  releaseAt(c, 5, 5);
  EXPECT_EQ(fired.count(RK_ACTION_CHECKBOX_TOGGLED), 2);
  EXPECT_EQ(c->isChecked(), 0u);
  EXPECT_EQ(paintOf(c, g)[1], "rect 2,6,10,10 pen=ffffff fill=ffffff");
  noCapture();
  compat_advance(600);
  clickThenHold(r, 5, 5);
  EXPECT_EQ(spy.seen, 2);
  EXPECT_EQ(r->isSelected(), 1u);
  holdsTheCapture(r);
  EXPECT_EQ(paintOf(r, g)[1], "ellipse 1,6,9,9 pen=" + face + " fill=" + face);
  releaseAt(r, 5, 5);
  EXPECT_EQ(fired.count(RK_ACTION_RADIO_SELECTED), 2);
  EXPECT_EQ(r->isSelected(), 1u);
  EXPECT_EQ(paintOf(r, g)[1], "ellipse 1,6,9,9 pen=ffffff fill=ffffff");
  noCapture();
  c->removeComponentListener(&spy);
  r->removeComponentListener(&spy);
  c->removeActionListener(&fired);
  r->removeActionListener(&fired);
}

// The first click's action gives the focus to another button; the second quick press takes it
// back, as a first press would, so the held button shows its pressed look (drawn only with the
// focus); its release clicks.
TEST_F(QuickClickTest, TheSecondQuickPressTakesTheFocusBackToAButton) {
  RKButton* b = place(new RKButton(), 20, 30, 80, 24);
  RKButton* other = place(new RKButton(), 120, 30, 80, 24);
  b->setInheritedFlag(0);
  FocusMover mover(RK_ACTION_BUTTON_CLICKED, other);
  host->addActionListener(&mover);
  DoubleClickSpy spy;
  b->addComponentListener(&spy);
  RecordingGraphics g;
  clickAt(b, 10, 10);
  ASSERT_EQ(actions.count(RK_ACTION_BUTTON_CLICKED), 1);
  ASSERT_EQ(other->hasFocus(), 1u);
  pressAgain(b, 10, 10);
  EXPECT_EQ(spy.seen, 1);
  EXPECT_EQ(b->hasFocus(), 1u);
  EXPECT_EQ(other->hasFocus(), 0u);
  EXPECT_EQ(b->isPressed(), 1u);
  holdsTheCapture(b);
  paintOf(b, g);
  EXPECT_EQ(g.only("rect"), (Events{"rect 2,2,75,19 pen=d3d3d3 fill=d3d3d3"}));
  EXPECT_EQ(g.only("focus").size(), 1u);
  releaseAt(b, 10, 10);
  EXPECT_EQ(actions.count(RK_ACTION_BUTTON_CLICKED), 2);
  EXPECT_EQ(actions.last, static_cast<RKObject*>(b));
  EXPECT_EQ(b->isPressed(), 0u);
  EXPECT_EQ(other->hasFocus(), 1u);  // the second click's action moved it again
  noCapture();
  b->removeComponentListener(&spy);
  host->removeActionListener(&mover);
}

// The same for the check box and the radio button, whose actions are fired at once: the second
// quick press takes the focus back (focus mark drawn), shows the pressed look and holds the
// capture; its release acts.
TEST_F(QuickClickTest, TheSecondQuickPressTakesTheFocusBackToACheckBoxAndARadioButton) {
  RKButton* other = place(new RKButton(), 200, 10, 80, 24);
  RKCheckBox* c = place(new RKCheckBox("Associate"), 10, 10, 100, 20);
  RKRadioButton* r = place(new RKRadioButton("One"), 10, 40, 100, 20);
  std::string face = colorOf(c->getBackground());
  FocusMover toggled(RK_ACTION_CHECKBOX_TOGGLED, other), selected(RK_ACTION_RADIO_SELECTED, other);
  ActionCounter fired;
  ShapeRecorder g;
  struct Case {
    const char* name;
    RKCheckBox* widget;
    FocusMover* mover;
    u32 action;
    std::string pressedLook;
  } cases[2] = {
      {"check box", c, &toggled, RK_ACTION_CHECKBOX_TOGGLED, "rect 2,6,10,10 pen=" + face + " fill=" + face},
      {"radio button", r, &selected, RK_ACTION_RADIO_SELECTED, "ellipse 1,6,9,9 pen=" + face + " fill=" + face}};
  for (Case& k : cases) {
    SCOPED_TRACE(k.name);
    k.widget->addActionListener(k.mover);
    k.widget->addActionListener(&fired);
    compat_advance(600);
    clickAt(k.widget, 5, 5);
    ASSERT_EQ(fired.count(k.action), 1);
    ASSERT_EQ(other->hasFocus(), 1u);
    pressAgain(k.widget, 5, 5);
    EXPECT_EQ(k.widget->hasFocus(), 1u);
    EXPECT_EQ(other->hasFocus(), 0u);
    holdsTheCapture(k.widget);
    Events look = paintOf(k.widget, g);
    EXPECT_EQ(look[1], k.pressedLook);
    EXPECT_EQ(g.only("focus").size(), 1u);
    releaseAt(k.widget, 5, 5);
    EXPECT_EQ(fired.count(k.action), 2);
    EXPECT_EQ(other->hasFocus(), 1u);
    noCapture();
    k.widget->removeActionListener(k.mover);
    k.widget->removeActionListener(&fired);
  }
  EXPECT_EQ(c->isChecked(), 0u);
  EXPECT_EQ(r->isSelected(), 1u);
}

// The other widgets that act on the double click's press take the focus on it exactly where a
// first press does: the scroll bar's arrows and thumb, a picture and a list box do; the bar's
// track and a button made unfocusable do not, though they still act on the press.
TEST_F(QuickClickTest, TheSecondQuickPressTakesTheFocusWhereAFirstPressDoes) {
  RKButton* other = place(new RKButton(), 300, 250, 80, 24);
  RKScrollBar* bar = place(new RKScrollBar(0), 10, 10, 200, 17);
  RKPicture* picture = place(new RKPicture(), 10, 40, 40, 40);
  RKListBox* list = place(new RKListBox(), 60, 40, 200, 100);
  for (int i = 0; i < 4; ++i) list->addItem("row");
  RKButton* unfocusable = place(new RKButton(), 10, 250, 80, 24);
  unfocusable->setFocusable(0);
  RKArrowButton* inc = part(bar->getIncrementButton());
  RKScrollBarBox* thumb = part(bar->getThumb());
  int rowY = 2 + int(list->getFontHeight() + 1) / 2;
  struct Case {
    const char* name;
    RKComponent* widget;
    int x, y;
    bool takesFocus;
  } cases[] = {{"arrow", inc, 5, 5, true},       {"thumb", thumb, 3, 3, true},
               {"picture", picture, 5, 5, true}, {"list", list, 20, rowY, true},
               {"track", bar, 150, 8, false},    {"unfocusable button", unfocusable, 10, 10, false}};
  for (Case& k : cases) {
    SCOPED_TRACE(k.name);
    compat_advance(600);
    clickAt(k.widget, k.x, k.y);
    EXPECT_EQ(k.widget->hasFocus(), k.takesFocus ? 1u : 0u);  // as the first press left it
    other->requestFocus();
    pressAgain(k.widget, k.x, k.y);
    EXPECT_EQ(k.widget->hasFocus(), k.takesFocus ? 1u : 0u);
    EXPECT_EQ(other->hasFocus(), k.takesFocus ? 0u : 1u);
    releaseAt(k.widget, k.x, k.y);
    noCapture();
  }
  EXPECT_EQ(actions.count(RK_ACTION_BUTTON_CLICKED), 2);  // the unfocusable button clicked twice
  EXPECT_EQ(list->getSelectedIndex(), 0);
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
