// The thumb of a scroll bar: dragged along the bar between two limits; each accepted move
// posts RK_ACTION_THUMB_MOVED and the end of a drag RK_ACTION_THUMB_RELEASED to the bar.
#ifndef RKSDK_RKSCROLLBARBOX_H
#define RKSDK_RKSCROLLBARBOX_H

#include "RKComponent.h"

namespace RKSDK {

class RKScrollBarBox : public virtual RKComponent {
 public:
  RKScrollBarBox();
  ~RKScrollBarBox() override;

  using RKComponent::paint;
  using RKComponent::mousePressed;
  using RKComponent::mouseReleased;
  using RKComponent::mouseDoubleClicked;
  using RKComponent::mouseMoved;

  // 0 horizontal, any other value vertical.
  virtual void setOrientation(u32 orientation);
  // Stored only when not below the minimum position.
  virtual void setMaximumPosition(int position);
  // Stored only when not above the maximum position.
  virtual void setMinimumPosition(int position);

  u32 paint(RKRect area, IRKGraphics* graphics) override;
  u32 mousePressed(RKPoint point) override;
  u32 mouseReleased(RKPoint point) override;
  // The press of a double click grabs the thumb as a press does.
  u32 mouseDoubleClicked(RKPoint point) override;
  u32 mouseMoved(RKPoint point) override;

  u32 getOrientation() { return orientation; }
  int getMaximumPosition() { return maximumPosition; }
  int getMinimumPosition() { return minimumPosition; }
  u32 isDragging() { return dragging; }

 protected:
  u32 orientation;
  u32 dragging;
  RKPoint grabPoint;
  int maximumPosition;
  int minimumPosition;
};

}  // namespace RKSDK

#endif
