#include "RKComboBoxScrollBar.h"

#include "RKComboBoxListBox.h"

namespace RKSDK {

RKComboBoxArrowButton::RKComboBoxArrowButton(u32 d) : RKArrowButton(d), list(nullptr) {
  direction = d;
  inset = 0;
  pressed = 0;
  held = 0;
  setFocusable(0);
}

RKComboBoxArrowButton::~RKComboBoxArrowButton() { clearList(); }

void RKComboBoxArrowButton::setList(RKComboBoxListBox* l) {
  if (l) l->addRef();
  if (list) list->release();
  list = l;
}

void RKComboBoxArrowButton::clearList() {
  if (list) list->release();
  list = nullptr;
}

u32 RKComboBoxArrowButton::mousePressed(RKPoint p) {
  if (designMode) return RKDesignComponent::mousePressed(p);
  pressed = 1;
  held = 1;
  repaint();
  fireAction(RK_ACTION_ARROW_PRESSED, 0);
  return 1;
}

u32 RKComboBoxArrowButton::mouseReleased(RKPoint p) {
  if (designMode) return RKDesignComponent::mouseReleased(p);
  pressed = 0;
  held = 0;
  repaint();
  fireAction(RK_ACTION_ARROW_RELEASED, 0);
  return 1;
}

RKComboBoxScrollBar::RKComboBoxScrollBar(u32 o) : RKScrollBar() {
  // The arrows keep the directions of the default bar; the drop-down gives the bar its own.
  orientation = o;
  setFocusable(0);
}

RKComboBoxScrollBar::~RKComboBoxScrollBar() {}

u32 RKComboBoxScrollBar::mousePressed(RKPoint p) {
  if (designMode) return RKDesignComponent::mousePressed(p);
  trackPressed = 1;
  RKPoint at = thumb ? thumb->getLocation() : RKPoint();
  bool before = vertical() ? p.y < at.y : p.x < at.x;
  if (before) {
    pageUp();
    repeatKind = 3;
  } else {
    pageDown();
    repeatKind = 4;
  }
  repaint();
  valueChanged();
  postActionToParent(RK_ACTION_SCROLL_VALUE_CHANGED, 0);
  startTimer(u32(repeatInterval));
  return 1;
}

u32 RKComboBoxScrollBar::mouseReleased(RKPoint p) {
  if (designMode) return RKDesignComponent::mouseReleased(p);
  trackPressed = 0;
  pressedSide = 0;
  repeatKind = 0;
  stopTimer();
  repaint();
  return 1;
}

}  // namespace RKSDK
