// A progress gauge: a framed bar that fills in proportion to a value against a maximum, solid
// or in square blocks, from the left or from the bottom, optionally with a percentage text.
#ifndef RKSDK_RKGUAGE_H
#define RKSDK_RKGUAGE_H

#include "RKDesignComponent.h"

namespace RKSDK {

class RKGuage : public virtual RKDesignComponent {
 public:
  RKGuage();
  ~RKGuage() override;

  using RKDesignComponent::paint;

  // These two redraw at once; the other setters show at the next paint.
  virtual void setMaximum(int maximum);
  virtual void setValue(int value);
  virtual void setBlockStyle(u32 on);
  virtual void setHorizontal(u32 on);
  virtual void setTextVisible(u32 on);
  virtual void setBarColor(RKColor color);

  int getMaximum() { return maximum; }
  int getValue() { return value; }

  // The flat style (flag 0) widens the bar by one pixel on every side.
  void setInheritedFlag(u32 flag) override;
  // A maximum of 0 or below draws the frame only: an empty bar and no percentage.
  u32 paint(RKRect area, IRKGraphics* graphics) override;

 protected:
  void paintBar(IRKGraphics* graphics, int w, int h);
  void paintPercentage(IRKGraphics* graphics, int w, int h);

  u32 blockStyle;
  int maximum;
  int value;
  u32 horizontal;
  u32 textVisible;
  int inset;
  RKColor barColor;
};

}  // namespace RKSDK

#endif
