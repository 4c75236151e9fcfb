// Base of every self-drawn widget: adds a design mode in which the widget can be selected,
// moved with the mouse and resized by eight handles. Outside design mode every handler here
// does nothing and answers 1, and the paint only fills the update area with the background.
#ifndef RKSDK_RKDESIGNCOMPONENT_H
#define RKSDK_RKDESIGNCOMPONENT_H

#include "RKComponent.h"

namespace RKSDK {

class RKDesignComponent : public virtual RKComponent {
 public:
  RKDesignComponent();
  ~RKDesignComponent() override;

  using RKComponent::paint;
  using RKComponent::mousePressed;
  using RKComponent::mouseReleased;
  using RKComponent::mouseMoved;
  using RKComponent::focusGained;
  using RKComponent::focusLost;

  // Stores the flag; nothing is redrawn.
  virtual void setDesignMode(u32 on);
  // Marks the widget selected by its owner; nothing is redrawn.
  virtual void setSelected(u32 on);
  // Zone of a point: 0 the body, 1 to 8 the handles clockwise from the top-left corner.
  virtual int hitTest(RKPoint p);

  u32 paint(RKRect area, IRKGraphics* graphics) override;
  u32 mousePressed(RKPoint point) override;
  u32 mouseReleased(RKPoint point) override;
  u32 mouseMoved(RKPoint point) override;
  u32 focusGained() override;
  u32 focusLost() override;

  u32 isDesignMode() { return designMode; }

 protected:
  // The overlay of design mode: handles when selected, a focus rectangle while dragging.
  void paintDesign(IRKGraphics* graphics);
  // Puts a colour of the graphics back to its saved packed value and releases the reference
  // its getter gave.
  static void restoreColor(RKColor* color, u32 packed);

  u32 designMode;
  u32 dragging;
  RKPoint pressPoint;
  int zone;
  u32 markedSelected;
  u32 focused;
};

}  // namespace RKSDK

#endif
