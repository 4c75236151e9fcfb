// A push button drawn by the toolkit: frames, a light-grey pressed face, a focus rectangle and
// centred text. A left-button release over the pressed button, or a release of the space key,
// posts RK_ACTION_BUTTON_CLICKED to the parent window. A hint may show below the pointer while
// it rests on the button.
#ifndef RKSDK_RKBUTTON_H
#define RKSDK_RKBUTTON_H

#include "RKDesignComponent.h"
#include "RKHelper.h"

namespace RKSDK {

class RKButton : public virtual RKDesignComponent {
 public:
  RKButton();
  ~RKButton() override;

  using RKDesignComponent::paint;
  using RKDesignComponent::mousePressed;
  using RKDesignComponent::mouseReleased;
  using RKDesignComponent::mouseDoubleClicked;
  using RKDesignComponent::mouseMoved;
  using RKDesignComponent::focusGained;
  using RKDesignComponent::focusLost;
  using RKDesignComponent::keyPressed;
  using RKDesignComponent::keyReleased;
  using RKDesignComponent::mouseExited;
  using RKDesignComponent::mouseHovered;

  // Stores a copy and redraws at once.
  void setText(RKString text) override;
  RKString getText() override;
  // Hands the text to the hint (which sizes itself to it) and turns the hint on; without a
  // hint nothing happens.
  virtual void setHelpText(RKString text);
  // Replaces the hint (a reference kept); null leaves the button without one.
  virtual void setHelper(RKHelper* hint);

  int enable() override;
  int disable() override;
  u32 paint(RKRect area, IRKGraphics* graphics) override;
  u32 mousePressed(RKPoint point) override;
  u32 mouseReleased(RKPoint point) override;
  // The press of a double click is a press: two quick clicks are two clicks.
  u32 mouseDoubleClicked(RKPoint point) override;
  u32 mouseMoved(RKPoint point) override;
  u32 focusGained() override;
  u32 focusLost() override;
  u32 keyPressed(u32 keysym, u32 keyData) override;
  u32 keyReleased(u32 keysym, u32 keyData) override;
  u32 mouseExited() override;
  u32 mouseHovered(RKPoint point) override;

  u32 isPressed() { return dragging; }
  RKHelper* getHelper() { return hint; }

 protected:
  // Gives the hint the button's font and creates its window as the button's pop-up.
  void createHint();

  RKString text;
  u32 buttonDisabled;
  u32 pointerOutside;
  u32 hasHelp;
  u32 hintCreated;
  RKHelper* hint;
};

}  // namespace RKSDK

#endif
