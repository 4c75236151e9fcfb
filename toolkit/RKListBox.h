// The list of text rows: single (default) or multiple selection by mouse and keys, the visible
// rows drawn with the selected ones highlighted, and two scroll bars shown only when the rows
// do not fit (a vertical one by rows on the right, a horizontal one by pixels at the bottom).
// It posts RK_ACTION_LIST_SELECTION_CHANGED and RK_ACTION_LIST_ITEM_ACTIVATED to its parent.
//
// Derived lists (the combo box's drop-down) build on the protected members below: the row
// geometry is borderAdjust (the frame offset, 1 in the flat look), rowHeight and its pitch
// rowPitch(), topIndex and visibleRows; anchorIndex is the current row; dragSelecting is the
// pressed flag and listCreated the created flag. A press selects without capturing the mouse
// and posts nothing; refresh() repaints the rows. The bars given by setHorizontalScrollBar and
// setVerticalScrollBar become children of the list.
#ifndef RKSDK_RKLISTBOX_H
#define RKSDK_RKLISTBOX_H

#include "RKContainer.h"
#include "RKScrollBar.h"
#include "TRKList.h"

namespace RKSDK {

// One row: its text and two flags; the list box holds the only reference.
class RKListBoxItem : public virtual RKObject {
 public:
  explicit RKListBoxItem(RKString text);
  ~RKListBoxItem() override;

  u32 selected;
  u32 marked;
  RKString text;
};

class RKListBox : public virtual RKContainer {
 public:
  RKListBox();
  ~RKListBox() override;

  using RKContainer::paint;
  using RKContainer::mousePressed;
  using RKComponent::mouseReleased;
  using RKComponent::mouseDoubleClicked;
  using RKComponent::rightMouseReleased;
  using RKComponent::rightMouseDoubleClicked;
  using RKComponent::mouseMoved;
  using RKComponent::keyPressed;
  using RKComponent::componentResized;
  using RKContainer::componentDestroyed;

  // A new row before index (0 to the count; other indexes insert nothing).
  virtual void insertItem(RKString text, int index);
  virtual void addItem(RKString text);
  // Removes the first row whose text has the same bytes.
  virtual void removeItem(RKString text);
  virtual void removeItemAt(int index);
  // Removes every row; the scroll bars stay children of the list.
  void removeAll() override;
  virtual void replaceItem(RKString text, int index);
  virtual void select(int index);
  virtual void setMultipleSelection(u32 multiple);
  virtual u32 isMultipleSelection();
  virtual u32 isSelected(int index);
  virtual RKString getItemText(int index);
  virtual int getItemCount();
  // Always a new, empty list.
  virtual TRKList<RKString> newTextList();
  virtual TRKList<int> getSelectedIndexes();
  virtual int getSelectedIndex();
  virtual RKString getSelectedText();
  virtual TRKList<RKString> getSelectedTexts();
  virtual void toggleMark(int index);
  virtual void deselect(int index);
  virtual void setSelectionColor(RKColor color);
  virtual void setSelectionTextColor(RKColor color);
  virtual void setHorizontalScrollBar(RKScrollBar* bar);
  virtual RKScrollBar* getHorizontalScrollBar();
  virtual void setVerticalScrollBar(RKScrollBar* bar);
  virtual RKScrollBar* getVerticalScrollBar();
  virtual void initialize();
  virtual void updateScrollBars();
  virtual int measureWidestItem();
  virtual void updateScrollRanges();
  virtual void refresh();
  virtual void selectPrevious();
  virtual void selectNext();
  virtual void pageUp();
  virtual void pageDown();
  virtual void scrollLeft();
  virtual void scrollRight();
  virtual void reclaimFocus(RKObject* source);
  virtual void selectRange(int first, int last);

  void setInheritedFlag(u32 flag) override;
  void onAfterCreate() override;
  u32 componentDestroyed() override;
  u32 paint(RKRect area, IRKGraphics* graphics) override;
  u32 mousePressed(RKPoint point) override;
  u32 mouseReleased(RKPoint point) override;
  u32 mouseDoubleClicked(RKPoint point) override;
  u32 mouseMoved(RKPoint point) override;
  u32 keyPressed(u32 keysym, u32 keyData) override;
  u32 componentResized(u32 kind, u16 width, u16 height) override;
  int actionPerformed(RKObject* source, u32 id, u64 parameter) override;
  int mouseReleased(RKObject* source, RKPoint point) override;
  int mouseDoubleClicked(RKObject* source, RKPoint point) override;
  int rightMouseReleased(RKObject* source, RKPoint point) override;
  int rightMouseDoubleClicked(RKObject* source, RKPoint point) override;

  int getAnchorIndex() { return anchorIndex; }
  int getTopIndex() { return topIndex; }
  int getVisibleRows() { return visibleRows; }
  int getWidestItemWidth() { return widestItemWidth; }
  int getHorizontalOffset() { return horizontalOffset; }
  u32 isMarked(int index);

 protected:
  // Distance between two rows; never below 1, also when the font height is a failure answer.
  int rowPitch();
  bool validIndex(int index) { return index >= 0 && u32(index) < items.itemCount; }
  // The item becomes a row at index; measured and laid out when the window exists.
  void insertRow(RKListBoxItem* item, int index);
  // Takes or gives up the list's listening to the three parts of each bar.
  void listenToParts(int on);
  void takeParts(RKScrollBar* bar, RKArrowButton** increment, RKArrowButton** decrement, RKScrollBarBox** thumb);
  void dropParts(RKArrowButton** increment, RKArrowButton** decrement, RKScrollBarBox** thumb);
  void replaceBar(RKScrollBar** slot, RKScrollBar* bar, RKArrowButton** increment, RKArrowButton** decrement,
                  RKScrollBarBox** thumb);
  // The row under a client y, counted from the first row (may be outside the rows).
  int rowAt(int y);
  // Selects the target row of a page move, posting the change.
  void pageTo(int target);
  bool barShown(RKScrollBar* bar) { return bar && bar->isVisible(); }

  u32 multipleSelection;
  TRKVector<RKListBoxItem*> items;
  int anchorIndex;
  int rowHeight;
  int topIndex;
  int visibleRows;
  RKColor selectionColor;
  RKColor selectionTextColor;
  u32 listCreated;
  int widestItemWidth;
  int horizontalOffset;
  u32 dragSelecting;
  u32 cornerInvalidated;
  RKScrollBar* horizontalScrollBar;
  RKScrollBar* verticalScrollBar;
  RKArrowButton* hIncrementButton;
  RKArrowButton* hDecrementButton;
  RKArrowButton* vIncrementButton;
  RKArrowButton* vDecrementButton;
  RKScrollBarBox* hThumb;
  RKScrollBarBox* vThumb;
  u32 borderAdjust;
};

}  // namespace RKSDK

#endif
