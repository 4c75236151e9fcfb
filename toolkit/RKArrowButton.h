// A small button drawing a triangle that points left, up, right or down. It fires
// RK_ACTION_ARROW_PRESSED when pressed (or when the held pointer comes back over it) and
// RK_ACTION_ARROW_RELEASED when released (or when the held pointer leaves it), at once.
#ifndef RKSDK_RKARROWBUTTON_H
#define RKSDK_RKARROWBUTTON_H

#include "RKDesignComponent.h"

namespace RKSDK {

// Directions of an arrow button.
const u32 RK_ARROW_LEFT = 0;
const u32 RK_ARROW_UP = 1;
const u32 RK_ARROW_RIGHT = 2;
const u32 RK_ARROW_DOWN = 3;

class RKArrowButton : public virtual RKDesignComponent {
 public:
  RKArrowButton();
  explicit RKArrowButton(u32 direction);
  ~RKArrowButton() override;

  using RKDesignComponent::paint;
  using RKDesignComponent::mousePressed;
  using RKDesignComponent::mouseReleased;
  using RKDesignComponent::mouseDoubleClicked;
  using RKDesignComponent::mouseMoved;

  // Stores the direction and redraws; a value outside 0 to 3 draws no triangle.
  virtual void setDirection(u32 direction);
  // Ignored when negative; else stores it and redraws.
  virtual void setInset(int inset);

  u32 paint(RKRect area, IRKGraphics* graphics) override;
  u32 mousePressed(RKPoint point) override;
  u32 mouseReleased(RKPoint point) override;
  // The press of a double click is a press: two quick clicks are two steps.
  u32 mouseDoubleClicked(RKPoint point) override;
  u32 mouseMoved(RKPoint point) override;

  u32 getDirection() { return direction; }
  int getInset() { return inset; }
  u32 isPressed() { return pressed; }

 protected:
  u32 direction;
  int inset;
  u32 pressed;
  u32 held;
};

}  // namespace RKSDK

#endif
