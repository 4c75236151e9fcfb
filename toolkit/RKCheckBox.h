// The check box: an on/off box with a check mark and a text label right of it, drawn through
// the drawing interface. A click released inside it or a space release toggles it and fires
// RK_ACTION_CHECKBOX_TOGGLED at once.
#ifndef RKSDK_RKCHECKBOX_H
#define RKSDK_RKCHECKBOX_H

#include "RKDesignComponent.h"

namespace RKSDK {

class RKCheckBox : public virtual RKDesignComponent {
 public:
  explicit RKCheckBox(RKString text);
  ~RKCheckBox() override;

  using RKDesignComponent::paint;
  using RKDesignComponent::mousePressed;
  using RKDesignComponent::mouseReleased;
  using RKDesignComponent::mouseDoubleClicked;
  using RKDesignComponent::mouseMoved;
  using RKDesignComponent::focusGained;
  using RKDesignComponent::focusLost;
  using RKComponent::keyReleased;

  // The label text; redraws at once.
  void setText(RKString text) override;
  RKString getText() override;
  // Sets the state and redraws; no action is raised.
  virtual void setChecked(u32 checked);
  virtual u32 isChecked();

  u32 paint(RKRect area, IRKGraphics* graphics) override;
  u32 mousePressed(RKPoint point) override;
  u32 mouseReleased(RKPoint point) override;
  // The press of a double click is a press: two quick clicks toggle twice.
  u32 mouseDoubleClicked(RKPoint point) override;
  u32 mouseMoved(RKPoint point) override;
  u32 focusGained() override;
  u32 focusLost() override;
  u32 keyReleased(u32 keysym, u32 keyData) override;

 protected:
  // The radio button's base: its own name goes into the class-name path instead.
  RKCheckBox(RKString text, bool asRadio);
  // Whether a point lies in the widget, both far edges included.
  bool inside(RKPoint p);

  RKString text;
  u32 checkState;
  u32 pressed;
  u32 pointerInside;
  u32 boxFocused;
};

}  // namespace RKSDK

#endif
