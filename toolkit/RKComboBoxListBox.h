// The drop-down of the combo box: a list box in a pop-up window that holds the mouse capture
// while open. The item under the pointer becomes selected as it moves, a release over the items
// closes the list and reports the choice to the combo box, and because the capture sends the
// scroll bars' events here too, the list hands them to the bar part under the pointer.
#ifndef RKSDK_RKCOMBOBOXLISTBOX_H
#define RKSDK_RKCOMBOBOXLISTBOX_H

#include "RKComboBoxScrollBar.h"
#include "RKListBox.h"

namespace RKSDK {

class RKComboBoxListBox : public virtual RKListBox {
 public:
  RKComboBoxListBox();
  ~RKComboBoxListBox() override;
  using RKListBox::mousePressed;
  using RKListBox::mouseReleased;
  using RKListBox::mouseMoved;
  using RKListBox::componentDestroyed;

  // Move the selection by one row without reporting it.
  void selectPrevious() override;
  void selectNext() override;

  void onAfterCreate() override;
  u32 componentDestroyed() override;
  u32 mousePressed(RKPoint p) override;
  u32 mouseReleased(RKPoint p) override;
  u32 mouseMoved(RKPoint p) override;

  int getPressedPart() { return pressedPart; }
  u32 isArrowHeld() { return arrowHeld; }

 protected:
  // The bar part under p (codes 1 to 17), or 0 when the point is on no part.
  int partAt(RKPoint p);
  // The arrow of an arrow code, its top-left corner in the list, and whether p is in its area.
  RKComboBoxArrowButton* arrowOf(int code);
  RKPoint originOf(int code);
  bool inArrow(int code, RKPoint p);
  static bool isArrow(int code) {
    return code == 1 || code == 2 || code == 3 || code == 4 || code == 10 || code == 11 || code == 14 || code == 15;
  }
  static bool isTrack(int code) { return code == 8 || code == 9 || code == 13 || code == 17; }
  RKComboBoxScrollBar* barOf(int code);
  void dragThumb(bool horizontal, RKPoint p);
  void hoverAt(RKPoint p);

  RKComboBoxArrowButton* arrowRight;
  RKComboBoxArrowButton* arrowLeft;
  RKComboBoxArrowButton* arrowDown;
  RKComboBoxArrowButton* arrowUp;
  int grabX;
  int grabY;
  int pressedPart;
  u32 arrowHeld;
  RKComboBoxScrollBar* horizontalBar;
  RKComboBoxScrollBar* verticalBar;
};

}  // namespace RKSDK

#endif
