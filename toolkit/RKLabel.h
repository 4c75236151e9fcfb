// A static text drawn into its own child window: left-aligned, right-aligned or centred on one
// line at the top of the window.
#ifndef RKSDK_RKLABEL_H
#define RKSDK_RKLABEL_H

#include "RKDesignComponent.h"

namespace RKSDK {

// Alignments of setAlignment; any other value draws top-left, broken at line feeds.
const int RK_ALIGN_LEFT = 0;
const int RK_ALIGN_RIGHT = 1;
const int RK_ALIGN_CENTER = 2;

class RKLabel : public virtual RKDesignComponent {
 public:
  explicit RKLabel(RKString text);
  ~RKLabel() override;

  using RKDesignComponent::paint;

  // Stores a copy and redraws at once.
  void setText(RKString text) override;
  RKString getText() override;
  // Stores the value; the next paint shows it.
  virtual void setAlignment(int alignment);
  virtual int getAlignment();

  u32 paint(RKRect area, IRKGraphics* graphics) override;

 protected:
  RKString text;
  int alignment;
};

}  // namespace RKSDK

#endif
