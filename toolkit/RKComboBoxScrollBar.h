// The scroll bar of the combo box's drop-down and its arrow buttons. The drop-down holds the
// mouse capture while open and hands the bar's events to these parts itself, so they react to
// a press and a release at once and never take the capture.
#ifndef RKSDK_RKCOMBOBOXSCROLLBAR_H
#define RKSDK_RKCOMBOBOXSCROLLBAR_H

#include "RKArrowButton.h"
#include "RKScrollBar.h"

namespace RKSDK {

class RKComboBoxListBox;

class RKComboBoxArrowButton : public virtual RKArrowButton {
 public:
  explicit RKComboBoxArrowButton(u32 direction);
  ~RKComboBoxArrowButton() override;
  using RKArrowButton::mousePressed;
  using RKArrowButton::mouseReleased;

  // Keeps the list with a reference, giving back the old one.
  virtual void setList(RKComboBoxListBox* list);
  virtual void clearList();

  u32 mousePressed(RKPoint p) override;
  u32 mouseReleased(RKPoint p) override;

  RKComboBoxListBox* getList() { return list; }

 protected:
  RKComboBoxListBox* list;
};

class RKComboBoxScrollBar : public virtual RKScrollBar {
 public:
  explicit RKComboBoxScrollBar(u32 orientation);
  ~RKComboBoxScrollBar() override;
  using RKScrollBar::mousePressed;
  using RKScrollBar::mouseReleased;

  u32 mousePressed(RKPoint p) override;
  u32 mouseReleased(RKPoint p) override;
};

}  // namespace RKSDK

#endif
