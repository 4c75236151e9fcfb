// The list box: bars on demand, selection rules, mouse and key roads, the actions its parent
// receives, bar replacement and a failing font height.
#include "RKListBox.h"
#include "WidgetTestSupport.h"

namespace {

// A list whose font height is the failure answer.
class NoFontList : public RKListBox {
 public:
  u32 getFontHeight() override { return 0xFFFFFFFFu; }
};

template <class P>
P* part(P* p) {
  if (p) p->release();
  return p;
}

}  // namespace

class ListBoxTest : public WidgetTest {
 protected:
  RKListBox* list(int rows, int w = 200, int h = 100, bool createFirst = false) {
    RKListBox* l = new RKListBox();
    if (!createFirst)
      for (int i = 0; i < rows; ++i) l->addItem(RKString("row ") + RKString(i));
    place(l, 10, 10, w, h);
    if (createFirst)
      for (int i = 0; i < rows; ++i) l->addItem(RKString("row ") + RKString(i));
    return l;
  }
  int pitch(RKListBox* l) { return int(l->getFontHeight()) + 1; }
  // A point in the middle of row r counted from the top row.
  int rowY(RKListBox* l, int r) { return 2 + r * pitch(l) + pitch(l) / 2; }
  std::vector<int> selected(RKListBox* l) {
    std::vector<int> out;
    TRKList<int> s = l->getSelectedIndexes();
    if (s.moveFirst()) do
        out.push_back(*s.getCurrent());
      while (s.moveNext());
    return out;
  }
  int changes() { return actions.count(RK_ACTION_LIST_SELECTION_CHANGED); }
};

TEST_F(ListBoxTest, VerticalBarOnlyWhenTheRowsDoNotFit) {
  RKListBox* l = list(10);
  ASSERT_GT(pitch(l), 1);
  int rows = 96 / pitch(l);
  ASSERT_LT(rows, 10);
  EXPECT_EQ(l->getVisibleRows(), rows);
  RKScrollBar* v = part(l->getVerticalScrollBar());
  RKScrollBar* h = part(l->getHorizontalScrollBar());
  EXPECT_EQ(v->isVisible(), 1u);
  EXPECT_TRUE(IsWindowVisible(windowOf(v)));
  EXPECT_EQ(v->getLocation().x, 180);
  EXPECT_EQ(v->getLocation().y, 2);
  EXPECT_EQ(v->getSize().width, 18);
  EXPECT_EQ(v->getSize().height, 96);
  EXPECT_EQ(v->getMaximum(), 10);
  EXPECT_EQ(v->getVisibleAmount(), rows);
  EXPECT_EQ(v->getUnitIncrement(), 1);
  EXPECT_EQ(h->isVisible(), 0u);
  // A row wider than the list brings the horizontal bar, stepping by 16 pixels.
  l->addItem("a very long row that cannot fit into the list box at all, not even nearly");
  EXPECT_EQ(h->isVisible(), 1u);
  EXPECT_EQ(h->getSize().width, 200 - 22);
  EXPECT_EQ(h->getUnitIncrement(), 16);
  EXPECT_EQ(h->getMaximum(), l->getWidestItemWidth());
  // Flat look: one pixel more on every side.
  RKListBox* few = list(2, 200, 100);
  EXPECT_EQ(part(few->getVerticalScrollBar())->isVisible(), 0u);
  host->setInheritedFlag(0);
  few->updateScrollBars();
  EXPECT_EQ(few->getVisibleRows(), 98 / pitch(few));
  l->removeAll();
  EXPECT_EQ(v->isVisible(), 0u);
  EXPECT_EQ(h->isVisible(), 0u);
  EXPECT_EQ(l->getItemCount(), 0);
  EXPECT_EQ(l->getAnchorIndex(), -1);
}

TEST_F(ListBoxTest, OnlyTheAnchorRowIsEverCleared) {
  RKListBox* l = list(8);
  l->select(5);
  l->select(2);
  EXPECT_EQ(selected(l), (std::vector<int>{2}));
  EXPECT_EQ(l->getAnchorIndex(), 2);
  RKListBox* fresh = list(8);
  fresh->selectRange(0, 3);
  fresh->select(5);
  EXPECT_EQ(selected(fresh), (std::vector<int>{0, 1, 2, 3, 5}));
  EXPECT_EQ(fresh->getSelectedIndex(), 0);
  EXPECT_EQ(fresh->getSelectedText(), RKString("row 0"));
  fresh->deselect(0);
  fresh->toggleMark(1);
  EXPECT_EQ(fresh->isMarked(1), 1u);
  EXPECT_EQ(fresh->isSelected(0), 0u);
  EXPECT_EQ(fresh->isSelected(99), 0u);
  EXPECT_EQ(fresh->getItemText(99), RKString(""));
  EXPECT_EQ(fresh->newTextList().getCount(), 0u);
  EXPECT_EQ(fresh->getSelectedTexts().getCount(), 4u);
  // Moves without a selection.
  RKListBox* none = list(4);
  none->selectPrevious();
  EXPECT_EQ(none->getSelectedIndex(), -1);
  none->selectNext();
  EXPECT_EQ(none->getSelectedIndex(), 0);
  compat_pump();
  EXPECT_EQ(changes(), 1);
  // Texts: byte for byte, first match only.
  none->addItem("Row 1");
  none->removeItem("ROW 1");
  EXPECT_EQ(none->getItemCount(), 5);
  none->removeItem("row 1");
  EXPECT_EQ(none->getItemCount(), 4);
  EXPECT_EQ(none->getItemText(1), RKString("row 2"));
  none->replaceItem("new", 0);
  EXPECT_EQ(none->getItemText(0), RKString("new"));
  EXPECT_EQ(none->isSelected(0), 0u);
  none->insertItem("first", 0);
  none->insertItem("never", 9);
  EXPECT_EQ(none->getItemCount(), 5);
  EXPECT_EQ(none->getItemText(0), RKString("first"));
}

TEST_F(ListBoxTest, KeysMoveTheSelectionAndScroll) {
  RKListBox* l = list(20);
  int rows = l->getVisibleRows();
  RKScrollBar* v = part(l->getVerticalScrollBar());
  l->requestFocus();
  l->select(rows - 1);
  compat_key(VK_DOWN, TRUE, nullptr);
  compat_key(VK_DOWN, FALSE, nullptr);
  compat_pump();
  EXPECT_EQ(l->getAnchorIndex(), rows);
  EXPECT_EQ(l->getTopIndex(), 1);
  EXPECT_EQ(v->getValue(), 1);
  EXPECT_EQ(changes(), 1);
  // Page Down on the last visible row moves both by a page.
  compat_key(VK_NEXT, TRUE, nullptr);
  compat_pump();
  EXPECT_EQ(l->getAnchorIndex(), 2 * rows);
  EXPECT_EQ(l->getTopIndex(), rows + 1);
  for (int i = 0; i < 5; ++i) compat_key(VK_NEXT, TRUE, nullptr);
  compat_pump();
  EXPECT_EQ(l->getAnchorIndex(), 19);
  // Page Up: first to the top visible row, then by pages; Up; Home and End post nothing.
  compat_key(VK_PRIOR, TRUE, nullptr);
  compat_pump();
  EXPECT_EQ(l->getAnchorIndex(), l->getTopIndex());
  int before = changes();
  compat_key(VK_HOME, TRUE, nullptr);
  compat_pump();
  EXPECT_EQ(selected(l), (std::vector<int>{0}));
  EXPECT_EQ(l->getTopIndex(), 0);
  EXPECT_EQ(v->getValue(), 0);
  compat_key(VK_END, TRUE, nullptr);
  compat_pump();
  EXPECT_EQ(l->getAnchorIndex(), 19);
  EXPECT_EQ(l->getTopIndex(), 20 - rows);
  EXPECT_EQ(changes(), before);
  compat_key(VK_UP, TRUE, nullptr);
  compat_key(VK_RETURN, TRUE, nullptr);
  compat_pump();
  EXPECT_EQ(l->getAnchorIndex(), 18);
  EXPECT_EQ(changes(), before + 2);
}

TEST_F(ListBoxTest, ClicksDragsAndDoubleClicksReachTheParentInOrder) {
  RKListBox* l = list(5);
  HWND w = windowOf(l);
  compat_mouse_button(w, 20, rowY(l, 1), 1, TRUE);
  compat_mouse_move(w, 20, rowY(l, 3));
  compat_pump();
  EXPECT_EQ(selected(l), (std::vector<int>{3}));
  EXPECT_EQ(l->hasFocus(), 1u);
  EXPECT_EQ(ImplRKComponent::captureDepth(), 0);  // the list does not capture
  compat_mouse_button(w, 20, rowY(l, 3), 1, FALSE);
  compat_pump();
  EXPECT_EQ(changes(), 1);
  actions.ids.clear();
  compat_advance(600);
  compat_click(w, 20, rowY(l, 2));
  compat_click(w, 20, rowY(l, 2));
  compat_pump();
  EXPECT_EQ(actions.ids, (std::vector<u32>{RK_ACTION_LIST_SELECTION_CHANGED, RK_ACTION_LIST_ITEM_ACTIVATED,
                                           RK_ACTION_LIST_SELECTION_CHANGED}));
  EXPECT_EQ(actions.last, static_cast<RKObject*>(l));
  // The border is not part of the rows.
  compat_advance(600);
  compat_click(w, 0, rowY(l, 0));
  compat_pump();
  EXPECT_EQ(selected(l), (std::vector<int>{2}));
}

TEST_F(ListBoxTest, MultipleSelectionWithShiftAndCtrl) {
  RKListBox* l = list(6);
  l->setMultipleSelection(1);
  HWND w = windowOf(l);
  compat_click(w, 20, rowY(l, 1));
  compat_advance(600);
  compat_set_key_state(VK_SHIFT, TRUE);
  compat_click(w, 20, rowY(l, 4));
  compat_pump();
  compat_set_key_state(VK_SHIFT, FALSE);
  EXPECT_EQ(selected(l), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(l->getAnchorIndex(), 1);
  compat_advance(600);
  compat_set_key_state(VK_CONTROL, TRUE);
  compat_click(w, 20, rowY(l, 2));
  compat_advance(600);
  compat_click(w, 20, rowY(l, 5));
  compat_pump();
  compat_set_key_state(VK_CONTROL, FALSE);
  EXPECT_EQ(selected(l), (std::vector<int>{1, 3, 4, 5}));
  compat_advance(600);
  compat_click(w, 20, rowY(l, 0));
  compat_pump();
  EXPECT_EQ(selected(l), (std::vector<int>{0, 1, 3, 4}));  // only the anchor row 5 cleared
}

TEST_F(ListBoxTest, BarsScrollTheRowsAndGiveTheFocusBack) {
  RKListBox* l = list(20);
  RKScrollBar* v = part(l->getVerticalScrollBar());
  RKArrowButton* down = part(v->getIncrementButton());
  compat_click(windowOf(down), 5, 5);
  compat_pump();
  EXPECT_EQ(v->getValue(), 1);
  EXPECT_EQ(l->getTopIndex(), 1);
  EXPECT_EQ(l->hasFocus(), 1u);
  EXPECT_EQ(ImplRKComponent::captureDepth(), 0);
  RKScrollBarBox* thumb = part(v->getThumb());
  HWND tw = windowOf(thumb);
  compat_advance(600);
  compat_mouse_button(tw, 3, 3, 1, TRUE);
  compat_pump();
  EXPECT_EQ(thumb->hasFocus(), 1u);
  compat_mouse_button(tw, 3, 3, 1, FALSE);
  compat_pump();
  EXPECT_EQ(l->hasFocus(), 1u);
  EXPECT_EQ(ImplRKComponent::captureDepth(), 0);
}

TEST_F(ListBoxTest, ABarReplacedByItselfStays) {
  RKListBox* l = list(20);
  RKScrollBar* v = l->getVerticalScrollBar();
  l->setVerticalScrollBar(v);
  l->setVerticalScrollBar(nullptr);
  EXPECT_EQ(v->isCreated(), 1u);
  EXPECT_EQ(l->getChildCount(), 2u);
  RKScrollBar* mine = new RKScrollBar(1);
  l->setVerticalScrollBar(mine);
  EXPECT_EQ(v->isCreated(), 0u);
  EXPECT_EQ(mine->isCreated(), 1u);
  EXPECT_EQ(l->getChildCount(), 2u);
  l->updateScrollBars();
  EXPECT_EQ(mine->getMaximum(), 20);
  v->release();
}

TEST_F(ListBoxTest, AFailedFontHeightGivesAPitchOfOne) {
  NoFontList* l = new NoFontList();
  for (int i = 0; i < 3; ++i) l->addItem("x");
  place(l, 10, 10, 100, 50);
  EXPECT_EQ(l->getVisibleRows(), 46);
  compat_click(windowOf(l), 20, 4);
  compat_pump();
  EXPECT_EQ(l->getSelectedIndex(), 2);
  l->setSize(100, 30, 1);
  compat_pump();
  EXPECT_EQ(l->getVisibleRows(), 26);
  RecordingGraphics g;
  EXPECT_EQ(paintOf(l, g).size() > 3, true);
}
