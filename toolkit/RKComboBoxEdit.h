// The text field of the combo box. It drives the drop-down from the keyboard (Down opens it or
// moves down, Up moves up, Enter reports the list's selection) and the mouse (a click into a
// field that is not editable opens it), closes it when the focus goes, and is drawn flat inside
// the combo box's frame; changes are painted by the next paint message.
#ifndef RKSDK_RKCOMBOBOXEDIT_H
#define RKSDK_RKCOMBOBOXEDIT_H

#include "RKArrowButton.h"
#include "RKComboBoxListBox.h"
#include "RKEdit.h"

namespace RKSDK {

class RKComboBox;

class RKComboBoxEdit : public virtual RKEdit {
 public:
  RKComboBoxEdit();
  ~RKComboBoxEdit() override;
  using RKEdit::paint;
  using RKEdit::mousePressed;
  using RKEdit::mouseReleased;
  using RKEdit::mouseDoubleClicked;
  using RKEdit::mouseMoved;
  using RKEdit::focusGained;
  using RKEdit::focusLost;
  using RKEdit::keyTyped;
  using RKEdit::keyPressed;

  // Each keeps its part with a reference, giving back the old one; the clear forms let go.
  virtual void setList(RKComboBoxListBox* list);
  virtual void clearList();
  virtual void setArrowButton(RKArrowButton* button);
  virtual void clearArrowButton();
  virtual void setComboBox(RKComboBox* combo);
  virtual void clearComboBox();

  // Opens the drop-down: focus and the whole text here, the list placed, item 0 selected and
  // the list shown without activation.
  void openDropDown();

  u32 paint(RKRect area, IRKGraphics* g) override;
  u32 mousePressed(RKPoint p) override;
  u32 mouseReleased(RKPoint p) override;
  u32 mouseDoubleClicked(RKPoint p) override;
  u32 mouseMoved(RKPoint p) override;
  u32 focusGained() override;
  u32 focusLost() override;
  u32 keyTyped(u8 c, u32 keyData) override;
  u32 keyPressed(u32 keysym, u32 keyData) override;

  u32 isEnterHandled() { return enterHandled; }
  void clearEnterHandled() { enterHandled = 0; }
  RKComboBoxListBox* getList() { return list; }

 protected:
  void refresh() override { repaint(); }
  int textLeft() override { return 2; }
  int caretTop() override { return 1; }
  void closeList();

  u32 enterHandled;
  RKComboBoxListBox* list;
  RKArrowButton* arrowButton;
  RKComboBox* comboBox;
};

}  // namespace RKSDK

#endif
