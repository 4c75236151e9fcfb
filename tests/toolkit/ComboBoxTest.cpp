// The combo box on the headless display: the drop-down opened by the arrow, the keys and a
// click into a field that is not editable; choices by hovering and releasing, reported to the
// parent once per changed index; the key actions; placement above the box near the screen's
// bottom; and the drop-down's own scroll-bar parts. Every road gives the mouse capture back.
#include <utility>
#include <vector>

#include "RKComboBox.h"
#include "WidgetTestSupport.h"

namespace {

class ComboWindow : public RKContainer {
 public:
  int actionPerformed(RKObject* source, u32 id, u64) override {
    received.push_back({source, id});
    return 1;
  }
  int count(u32 id) {
    int n = 0;
    for (auto& r : received) n += r.second == id;
    return n;
  }
  std::vector<std::pair<RKObject*, u32>> received;
};

template <class P>
P* unref(P* p) {
  if (p) p->release();
  return p;
}

}  // namespace

class ComboBoxTest : public ToolkitTest {
 protected:
  void SetUp() override {
    ToolkitTest::SetUp();
    window = new ComboWindow();
    window->addRef();
    window->setWindowStyle(RK_STYLE_POPUP);
    window->setBounds(50, 50, 400, 300, 0);
  }
  void TearDown() override {
    window->release();
    ToolkitTest::TearDown();
  }
  RKComboBox* combo(int x, int y, int items, int editable) {
    RKComboBox* c = new RKComboBox();
    c->setBounds(x, y, 100, 22, 0);
    for (int i = 0; i < items; ++i) c->addItem(RKString("item ") + RKString(i));
    c->setEditable(editable);
    window->add(c);
    EXPECT_EQ(window->create(RKCreateInfo{nullptr, nullptr}), 1u);
    compat_pump();
    list = unref(c->getList());
    edit = unref(c->getEdit());
    arrow = unref(c->getArrowButton());
    return c;
  }
  void settle() {
    compat_pump();
    compat_advance(600);
    compat_pump();
  }
  void noCapture() {
    EXPECT_EQ(ImplRKComponent::captureDepth(), 0);
    EXPECT_EQ(GetCapture(), HWND(nullptr));
  }
  int pitch() { return int(list->getFontHeight()) + 1; }
  int rowY(int r) { return 1 + r * pitch() + pitch() / 2; }
  void clickArrow() {
    compat_click(windowOf(arrow), 5, 5);
    compat_pump();
  }
  // Hover over a row and release there, as the user chooses it.
  void choose(int row) {
    HWND lw = windowOf(list);
    compat_mouse_move(lw, 20, rowY(row));
    compat_mouse_button(lw, 20, rowY(row), 1, TRUE);
    compat_mouse_button(lw, 20, rowY(row), 1, FALSE);
    settle();
  }
  void key(UINT vk) {
    compat_key(vk, TRUE, nullptr);
    compat_key(vk, FALSE, nullptr);
    settle();
  }
  ComboWindow* window = nullptr;
  RKComboBoxListBox* list = nullptr;
  RKComboBoxEdit* edit = nullptr;
  RKArrowButton* arrow = nullptr;
};

TEST_F(ComboBoxTest, PartsLaidOutInsideTheFrame) {
  RKComboBox* c = combo(10, 10, 2, 0);
  EXPECT_EQ(edit->getLocation().x, 1);
  EXPECT_EQ(edit->getLocation().y, 1);
  EXPECT_EQ(edit->getSize().width, 78);
  EXPECT_EQ(edit->getSize().height, 20);
  EXPECT_EQ(arrow->getLocation().x, 79);
  EXPECT_EQ(arrow->getSize().width, 20);
  EXPECT_EQ(list->isVisible(), 0u);
  // The drop-down is one pixel narrower than the box and hangs over its bottom line.
  c->setVisibleRows(2);
  EXPECT_EQ(list->getSize().width, 99);
  EXPECT_EQ(list->getSize().height, 2 * pitch() + 3);
  RKPoint at = c->getLocationOnScreen();
  EXPECT_EQ(list->getLocation().y, at.y + 21);
  EXPECT_EQ(c->getVisibleRows(), 2);
}

TEST_F(ComboBoxTest, ArrowOpensAndHoverReleaseChooses) {
  RKComboBox* c = combo(10, 10, 4, 0);
  list->select(2);
  clickArrow();
  EXPECT_EQ(list->isVisible(), 1u);
  EXPECT_EQ(list->getSelectedIndex(), 0);  // opening always selects the first item
  EXPECT_EQ(ImplRKComponent::captureDepth(), 1);
  EXPECT_EQ(list->hasMouseCapture(), 1u);
  choose(3);
  EXPECT_EQ(list->isVisible(), 0u);
  EXPECT_EQ(c->getSelectedIndex(), 3);
  EXPECT_EQ(c->getText(), RKString("item 3"));
  EXPECT_EQ(window->count(RK_ACTION_COMBO_SELECTION_CHANGED), 1);
  EXPECT_EQ(window->received.back().first, static_cast<RKObject*>(c));
  noCapture();
  // The same item again is not reported, though its text is put back.
  c->setText("typed");
  clickArrow();
  choose(3);
  EXPECT_EQ(c->getText(), RKString("item 3"));
  EXPECT_EQ(window->count(RK_ACTION_COMBO_SELECTION_CHANGED), 1);
  noCapture();
}

TEST_F(ComboBoxTest, SelectByProgramReportsNothingButAChoiceLaterDoes) {
  RKComboBox* c = combo(10, 10, 3, 1);
  c->select(1);
  EXPECT_EQ(c->getText(), RKString("item 1"));
  settle();
  EXPECT_EQ(window->count(RK_ACTION_COMBO_SELECTION_CHANGED), 0);
  clickArrow();
  choose(1);
  EXPECT_EQ(window->count(RK_ACTION_COMBO_SELECTION_CHANGED), 1);
  noCapture();
  // Items go and the index goes with them.
  c->removeItem(0);
  EXPECT_EQ(list->getItemCount(), 2);
  c->removeAllItems();
  EXPECT_EQ(c->getSelectedIndex(), -1);
  EXPECT_EQ(list->getItemText(5), RKString(""));
}

TEST_F(ComboBoxTest, PressOutsideTheOpenListClosesIt) {
  RKComboBox* c = combo(10, 10, 3, 0);
  clickArrow();
  ASSERT_EQ(list->isVisible(), 1u);
  HWND lw = windowOf(list);
  compat_mouse_button(lw, -30, -30, 1, TRUE);
  compat_mouse_button(lw, -30, -30, 1, FALSE);
  settle();
  EXPECT_EQ(list->isVisible(), 0u);
  EXPECT_EQ(window->count(RK_ACTION_COMBO_SELECTION_CHANGED), 0);
  EXPECT_EQ(c->getSelectedIndex(), 0);
  noCapture();
}

TEST_F(ComboBoxTest, KeysDriveTheDropDown) {
  RKComboBox* c = combo(10, 10, 4, 1);
  edit->requestFocus();
  settle();
  key(VK_DOWN);  // opens with item 0 and the capture on the list
  EXPECT_EQ(list->isVisible(), 1u);
  EXPECT_EQ(list->getSelectedIndex(), 0);
  EXPECT_EQ(list->hasMouseCapture(), 1u);
  key(VK_DOWN);
  EXPECT_EQ(list->getSelectedIndex(), 1);
  key(VK_UP);
  key(VK_UP);  // at item 0 nothing moves
  EXPECT_EQ(list->getSelectedIndex(), 0);
  key(VK_DOWN);
  key(VK_DOWN);
  EXPECT_EQ(c->getText(), RKString(""));  // moving does not change the text
  key(VK_RETURN);                         // closes and reports as a click would; the release posts no Enter action
  EXPECT_EQ(list->isVisible(), 0u);
  EXPECT_EQ(c->getText(), RKString("item 2"));
  EXPECT_EQ(window->count(RK_ACTION_COMBO_SELECTION_CHANGED), 1);
  EXPECT_EQ(window->count(RK_ACTION_COMBO_ENTER), 0);
  noCapture();
  // Enter on the closed box reports the same index again: nothing new, but the Enter action.
  key(VK_RETURN);
  EXPECT_EQ(window->count(RK_ACTION_COMBO_SELECTION_CHANGED), 1);
  EXPECT_EQ(window->count(RK_ACTION_COMBO_ENTER), 1);
  // Escape and Tab close the drop-down on their release and post their actions.
  key(VK_DOWN);
  ASSERT_EQ(list->isVisible(), 1u);
  key(VK_ESCAPE);
  EXPECT_EQ(list->isVisible(), 0u);
  EXPECT_EQ(list->getSelectedIndex(), 0);
  EXPECT_EQ(c->getText(), RKString("item 2"));
  EXPECT_EQ(window->count(RK_ACTION_COMBO_ESCAPE), 1);
  noCapture();
  key(VK_DOWN);
  key(VK_TAB);
  EXPECT_EQ(list->isVisible(), 0u);
  EXPECT_EQ(window->count(RK_ACTION_COMBO_TAB), 1);
  noCapture();
}

TEST_F(ComboBoxTest, LosingTheFocusClosesWithoutReporting) {
  RKComboBox* c = combo(10, 10, 3, 1);
  RKContainer* other = new RKContainer();
  other->setBounds(200, 200, 50, 20, 0);
  window->add(other);
  compat_pump();
  edit->requestFocus();
  key(VK_DOWN);
  ASSERT_EQ(list->isVisible(), 1u);
  other->requestFocus();
  settle();
  EXPECT_EQ(list->isVisible(), 0u);
  EXPECT_EQ(window->count(RK_ACTION_COMBO_SELECTION_CHANGED), 0);
  EXPECT_EQ(c->getSelectedIndex(), 0);
  noCapture();
}

TEST_F(ComboBoxTest, ClickIntoAFieldThatIsNotEditableOpensIt) {
  RKComboBox* c = combo(10, 10, 3, 0);
  EXPECT_EQ(c->isEditable(), 0u);
  compat_click(windowOf(edit), 10, 10);
  compat_pump();
  EXPECT_EQ(list->isVisible(), 1u);
  EXPECT_EQ(list->getSelectedIndex(), 0);
  EXPECT_EQ(list->hasMouseCapture(), 1u);  // the click's release handed the capture over
  choose(2);
  EXPECT_EQ(c->getText(), RKString("item 2"));
  EXPECT_EQ(window->count(RK_ACTION_COMBO_SELECTION_CHANGED), 1);
  noCapture();
}

TEST_F(ComboBoxTest, ClickIntoAnEditableFieldEditsIt) {
  RKComboBox* c = combo(10, 10, 3, 1);
  compat_click(windowOf(edit), 10, 10);
  settle();
  EXPECT_EQ(list->isVisible(), 0u);
  noCapture();
  compat_key('A', TRUE, "a");
  compat_key('A', FALSE, nullptr);
  settle();
  EXPECT_EQ(c->getText(), RKString("a"));
}

TEST_F(ComboBoxTest, NearTheScreenBottomTheListOpensAbove) {
  RKSize screen = RKComponent::getScreenSize();
  window->setBounds(50, screen.height - 60, 400, 50, 0);
  RKComboBox* c = combo(10, 10, 3, 0);
  clickArrow();
  int d = 5 * pitch() + 3;
  RKPoint at = c->getLocationOnScreen();
  EXPECT_EQ(list->getLocationOnScreen().y, at.y - d);
  EXPECT_EQ(list->getSize().height, d);
  choose(1);
  EXPECT_EQ(c->getSelectedIndex(), 1);
  noCapture();
}

TEST_F(ComboBoxTest, PaintFollowsTheFlagWhileThePartsStandOneIn) {
  RKComboBox* c = combo(10, 10, 1, 0);
  RecordingGraphics* g = new RecordingGraphics();  // the paint takes a reference of its own
  g->addRef();
  c->setInheritedFlag(0);
  c->paint(RKRect(0, 0, 100, 22), g);
  ASSERT_EQ(g->only("outline").size(), 1u);
  EXPECT_EQ(g->only("outline")[0].compare(0, 19, "outline 0,0,99,21 p"), 0);
  EXPECT_EQ(g->transparent, 1);
  c->layout();
  EXPECT_EQ(edit->getLocation().x, 1);
  g->calls.clear();
  c->setInheritedFlag(1);
  c->paint(RKRect(0, 0, 100, 22), g);
  EXPECT_EQ(g->only("frame1 0,0,99,21").size(), 1u);
  g->release();
}

// ---- the drop-down's scroll bar parts ----

class ComboScrollTest : public WidgetTest {};

TEST_F(ComboScrollTest, TrackPagingStaysInTheRange) {
  RKComboBoxScrollBar* b = new RKComboBoxScrollBar(0);
  place(b, 10, 10, 200, 20);
  b->setMaximum(20);
  b->setVisibleAmount(5);
  b->setValue(0);
  RKScrollBarBox* thumb = unref(b->getThumb());
  RKPoint t = thumb->getLocation();
  b->mousePressed(RKPoint(t.x - 1 > 0 ? t.x - 1 : 0, 5));
  b->mouseReleased(RKPoint(0, 5));
  EXPECT_EQ(b->getValue(), 0);
  b->setValue(12);
  t = thumb->getLocation();
  b->mousePressed(RKPoint(t.x + thumb->getSize().width + 2, 5));
  EXPECT_EQ(b->getValue(), 15);
  b->mouseReleased(RKPoint(190, 5));
  b->setValue(8);
  t = thumb->getLocation();
  b->mousePressed(RKPoint(t.x + thumb->getSize().width + 2, 5));
  EXPECT_EQ(b->getValue(), 13);
  b->mouseReleased(RKPoint(190, 5));
  compat_pump();
  EXPECT_EQ(actions.count(RK_ACTION_SCROLL_VALUE_CHANGED), 3);  // also the press that stayed at 0
  EXPECT_EQ(ImplRKComponent::captureDepth(), 0);
}

TEST_F(ComboScrollTest, ForwardPagingNeverFallsBelowTheMinimum) {
  RKComboBoxScrollBar* b = new RKComboBoxScrollBar(1);
  place(b, 10, 10, 20, 200);
  b->setMinimum(0);
  b->setMaximum(4);
  b->setVisibleAmount(10);
  b->setValue(0);
  b->mousePressed(RKPoint(5, 190));
  EXPECT_EQ(b->getValue(), 0);
  EXPECT_EQ(b->getRepeatKind(), 4u);
  compat_advance(350);  // the repeat pages on, still within the range
  compat_pump();
  EXPECT_EQ(b->getValue(), 0);
  b->mouseReleased(RKPoint(5, 190));
  EXPECT_EQ(b->getRepeatKind(), 0u);
  EXPECT_EQ(ImplRKComponent::captureDepth(), 0);
}

TEST_F(ComboScrollTest, ArrowButtonFiresAtOnceWithoutCapture) {
  RKComboBoxArrowButton* a = new RKComboBoxArrowButton(RK_ARROW_UP);
  ActionCounter heard;
  a->addActionListener(&heard);
  place(a, 10, 10, 18, 18);
  compat_click(windowOf(a), 5, 5);
  compat_pump();
  EXPECT_EQ(heard.count(RK_ACTION_ARROW_PRESSED), 1);
  EXPECT_EQ(heard.count(RK_ACTION_ARROW_RELEASED), 1);
  EXPECT_EQ(a->isPressed(), 0u);
  EXPECT_EQ(ImplRKComponent::captureDepth(), 0);
  a->removeActionListener(&heard);
}

// ---- the drop-down's own bar, reached through the list's capture ----

class DropDownBarTest : public ComboBoxTest {
 protected:
  // A box of ten items showing three rows, opened by its arrow: the vertical bar is shown.
  RKComboBox* opened() {
    RKComboBox* c = combo(10, 10, 10, 0);
    c->setVisibleRows(3);
    clickArrow();
    bar = unref(list->getVerticalScrollBar());
    thumb = unref(bar->getThumb());
    return c;
  }
  RKScrollBar* bar = nullptr;
  RKScrollBarBox* thumb = nullptr;
};

TEST_F(DropDownBarTest, ArrowPressedOffAndBackKeepsTheListOpen) {
  opened();
  ASSERT_EQ(list->isVisible(), 1u);
  ASSERT_EQ(bar->isVisible(), 1u);
  HWND lw = windowOf(list);
  RKSize s = list->getSize();
  RKArrowButton* down = unref(bar->getIncrementButton());
  compat_mouse_button(lw, s.width - 10, s.height - 10, 1, TRUE);
  compat_pump();
  EXPECT_EQ(list->getPressedPart(), 15);
  EXPECT_EQ(down->isPressed(), 1u);
  EXPECT_EQ(bar->getValue(), 1);
  EXPECT_EQ(ImplRKComponent::captureDepth(), 1);  // the arrow took no capture of its own
  compat_mouse_move(lw, 20, rowY(0));
  compat_pump();
  EXPECT_EQ(list->isArrowHeld(), 0u);
  EXPECT_EQ(down->isPressed(), 0u);
  compat_mouse_move(lw, s.width - 10, s.height - 10);
  compat_pump();
  EXPECT_EQ(list->isArrowHeld(), 1u);
  EXPECT_EQ(down->isPressed(), 1u);
  compat_mouse_button(lw, s.width - 10, s.height - 10, 1, FALSE);
  settle();
  EXPECT_EQ(list->getPressedPart(), 0);
  EXPECT_EQ(list->isVisible(), 1u);
  EXPECT_EQ(list->hasMouseCapture(), 1u);
  EXPECT_EQ(window->count(RK_ACTION_COMBO_SELECTION_CHANGED), 0);
  // A release over the rows afterwards still chooses and closes.
  choose(1);
  EXPECT_EQ(list->isVisible(), 0u);
  noCapture();
}

// Two quick clicks on the drop-down's down arrow: the second arrives as a double click and steps
// as well; the list stays open with its capture.
TEST_F(DropDownBarTest, QuickClicksOnTheArrowStepTwice) {
  opened();
  HWND lw = windowOf(list);
  RKSize s = list->getSize();
  compat_click(lw, s.width - 10, s.height - 10);
  compat_pump();
  compat_advance(100);
  compat_click(lw, s.width - 10, s.height - 10);
  compat_pump();
  EXPECT_EQ(bar->getValue(), 2);
  EXPECT_EQ(list->getPressedPart(), 0);
  EXPECT_EQ(list->isVisible(), 1u);
  EXPECT_EQ(list->hasMouseCapture(), 1u);
  // The double click activated no choice: closing by a press outside reports nothing.
  compat_advance(600);
  compat_mouse_button(lw, -5, -5, 1, TRUE);
  compat_mouse_button(lw, -5, -5, 1, FALSE);
  settle();
  EXPECT_EQ(list->isVisible(), 0u);
  EXPECT_EQ(window->count(RK_ACTION_COMBO_SELECTION_CHANGED), 0);
  noCapture();
}

TEST_F(DropDownBarTest, ThumbDragStopsAtBothEnds) {
  opened();
  HWND lw = windowOf(list);
  RKSize s = list->getSize();
  RKPoint t = thumb->getLocation();
  int grab = 1 + t.y + thumb->getSize().height / 2;
  compat_mouse_button(lw, s.width - 10, grab, 1, TRUE);
  compat_pump();
  EXPECT_EQ(list->getPressedPart(), 16);
  compat_mouse_move(lw, s.width - 10, 2000);
  compat_pump();
  EXPECT_EQ(thumb->getLocation().y, bar->getSize().height - 18 - thumb->getSize().height);
  EXPECT_GT(bar->getValue(), 0);
  compat_mouse_move(lw, s.width - 10, -2000);
  compat_pump();
  EXPECT_EQ(thumb->getLocation().y, 18);
  // Released over the bar it stays open; a release outside the list would close it.
  compat_mouse_button(lw, s.width - 10, 21, 1, FALSE);
  settle();
  EXPECT_EQ(list->getPressedPart(), 0);
  EXPECT_EQ(list->isVisible(), 1u);
  // A press outside closes it without a choice.
  compat_mouse_button(lw, -5, -5, 1, TRUE);
  compat_mouse_button(lw, -5, -5, 1, FALSE);
  settle();
  EXPECT_EQ(list->isVisible(), 0u);
  noCapture();
}

TEST_F(ComboBoxTest, HoverSelectsEachRowAndNothingBelowTheLast) {
  combo(10, 10, 3, 0);
  clickArrow();
  HWND lw = windowOf(list);
  for (int r = 0; r < 3; ++r) {
    compat_mouse_move(lw, 20, rowY(r));
    compat_pump();
    EXPECT_EQ(list->getSelectedIndex(), r);
    EXPECT_EQ(list->getSelectedIndexes().getCount(), 1u);
  }
  compat_mouse_move(lw, 20, rowY(4));
  compat_pump();
  EXPECT_EQ(list->getSelectedIndex(), 2);
  // Both bars hidden: a release on the margin still closes and reports.
  compat_mouse_button(lw, 0, 0, 1, TRUE);
  compat_mouse_button(lw, 0, 0, 1, FALSE);
  settle();
  EXPECT_EQ(list->isVisible(), 0u);
  EXPECT_EQ(window->count(RK_ACTION_COMBO_SELECTION_CHANGED), 1);
  noCapture();
}

TEST_F(ComboBoxTest, StepsOfTheListStopAtItsEnds) {
  combo(10, 10, 2, 0);
  list->selectPrevious();  // nothing selected: nothing happens
  EXPECT_EQ(list->getSelectedIndex(), -1);
  list->selectNext();
  EXPECT_EQ(list->getSelectedIndex(), 0);
  list->selectPrevious();
  EXPECT_EQ(list->getSelectedIndex(), 0);
  list->selectNext();
  list->selectNext();  // the last stays
  EXPECT_EQ(list->getSelectedIndex(), 1);
  settle();
  EXPECT_EQ(window->count(RK_ACTION_COMBO_SELECTION_CHANGED), 0);  // steps report nothing
}

// The editable field's caret ends at the end of its text when the focus arrives and after a
// choice from the list, where the whole text is selected.
TEST_F(ComboBoxTest, EditCaretFollowsFocusAndChoices) {
  RKComboBox* c = combo(10, 10, 3, 1);
  c->setText("hello");
  c->requestFocus();
  settle();
  ASSERT_EQ(edit->hasFocus(), 1u);
  CompatCaretInfo info = {};
  ASSERT_TRUE(compat_caret_info(&info));
  EXPECT_EQ(info.hwnd, windowOf(edit));
  EXPECT_EQ(info.x, 2 + edit->getTextExtent("hello").width);
  EXPECT_EQ(info.y, 1);
  EXPECT_EQ(info.hideCount, 0);
  EXPECT_EQ(edit->getSelectedText(), RKString("hello"));

  clickArrow();
  choose(2);
  ASSERT_TRUE(compat_caret_info(&info));
  EXPECT_EQ(info.hwnd, windowOf(edit));
  EXPECT_EQ(info.x, 2 + edit->getTextExtent("item 2").width);
  EXPECT_EQ(info.y, 1);
  EXPECT_EQ(info.hideCount, 0);
  EXPECT_EQ(edit->getSelectedText(), RKString("item 2"));
}
