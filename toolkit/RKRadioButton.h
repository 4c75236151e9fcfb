// The radio button, a circular button with a text label that the user can only switch on, and
// the radio-button group, which keeps its members mutually exclusive by listening to their
// RK_ACTION_RADIO_SELECTED actions.
#ifndef RKSDK_RKRADIOBUTTON_H
#define RKSDK_RKRADIOBUTTON_H

#include "IRKActionListener.h"
#include "RKCheckBox.h"
#include "TRKVector.h"

namespace RKSDK {

class RKRadioButton : public virtual RKCheckBox {
 public:
  explicit RKRadioButton(RKString text);
  ~RKRadioButton() override;

  using RKCheckBox::paint;
  using RKCheckBox::mouseReleased;
  using RKCheckBox::keyReleased;
  using RKComponent::keyPressed;

  // Sets the state and redraws; no action is raised.
  virtual void setSelected(u32 selected);
  virtual u32 isSelected();

  u32 paint(RKRect area, IRKGraphics* graphics) override;
  u32 mouseReleased(RKPoint point) override;
  u32 keyPressed(u32 keysym, u32 keyData) override;
  u32 keyReleased(u32 keysym, u32 keyData) override;
};

// Holds its members without references; a new group starts with one reference.
class RKRadioButtonGroup : public virtual RKObject, public virtual IRKActionListener {
 public:
  RKRadioButtonGroup();
  ~RKRadioButtonGroup() override;

  virtual void add(RKRadioButton* radio);
  virtual void remove(RKRadioButton* radio);
  virtual void removeAll();
  virtual u32 getCount();

  // Selects the member that raised RK_ACTION_RADIO_SELECTED and clears all the others.
  int actionPerformed(RKObject* source, u32 id, u64 parameter) override;

 protected:
  TRKVector<RKRadioButton*> members;
};

}  // namespace RKSDK

#endif
