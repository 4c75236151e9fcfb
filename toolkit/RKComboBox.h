// The drop-down selection box: a one-line text field with an arrow button at its right end
// and a list of text items that drops down in a pop-up window below (or above) it. It reports a
// new choice to its parent with RK_ACTION_COMBO_SELECTION_CHANGED and the releases of Tab,
// Enter and Escape with their own actions, all posted.
#ifndef RKSDK_RKCOMBOBOX_H
#define RKSDK_RKCOMBOBOX_H

#include "RKComboBoxEdit.h"
#include "RKComboBoxListBox.h"
#include "RKContainer.h"

namespace RKSDK {

class RKComboBox : public virtual RKContainer {
 public:
  RKComboBox();
  ~RKComboBox() override;
  using RKContainer::paint;
  using RKContainer::mousePressed;
  using RKContainer::mouseReleased;
  using RKContainer::keyReleased;
  using RKContainer::focusGained;
  using RKContainer::componentResized;
  using RKContainer::componentDestroyed;
  using RKContainer::actionPerformed;

  // Part replacement; the getters add a reference for the caller.
  virtual void setArrowButton(RKArrowButton* button);
  virtual RKArrowButton* getArrowButton();
  virtual void setEdit(RKComboBoxEdit* edit);
  virtual RKComboBoxEdit* getEdit();
  virtual void setList(RKComboBoxListBox* list);
  virtual RKComboBoxListBox* getList();
  virtual void addItem(RKString text);
  virtual void setEditable(int editable);
  // Selects the item and shows its text; reports nothing.
  virtual void select(int index);
  virtual void setVisibleRows(int rows);
  virtual void setText(RKString text);
  virtual RKString getText();
  virtual int getSelectedIndex();
  virtual void removeItem(int index);
  virtual void removeAllItems();
  // Places the drop-down below the box, or above it when it would leave the screen.
  virtual void layoutDropDown();
  virtual void layout();

  void setInheritedFlag(u32 flag) override;
  void onAfterCreate() override;
  u32 componentDestroyed() override;
  u32 componentResized(u32 kind, u16 width, u16 height) override;
  u32 paint(RKRect area, IRKGraphics* g) override;
  u32 focusGained() override;

  int mousePressed(RKObject* source, RKPoint p) override;
  int mouseReleased(RKObject* source, RKPoint p) override;
  int keyReleased(RKObject* source, u32 keysym, u32 keyData) override;
  int actionPerformed(RKObject* source, u32 id, u64 parameter) override;

  u32 isEditable() { return !notEditable; }
  int getVisibleRows() { return visibleRows; }

 protected:
  // Hides the list, giving back its capture.
  void closeList();
  bool outside(RKPoint p);

  RKArrowButton* arrowButton;
  RKComboBoxEdit* edit;
  RKComboBoxListBox* list;
  u32 dropJustOpened;
  u32 notEditable;
  int frameFlag;
  int lastIndex;
  int visibleRows;
  u32 wired;
};

}  // namespace RKSDK

#endif
