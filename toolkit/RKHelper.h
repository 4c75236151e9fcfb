// The hint: a small pop-up showing one line of text on a pale yellow ground inside a black
// frame, sized to its text. It is made hidden; its owner shows it.
#ifndef RKSDK_RKHELPER_H
#define RKSDK_RKHELPER_H

#include "RKPopupWindow.h"

namespace RKSDK {

class RKHelper : public virtual RKPopupWindow {
 public:
  RKHelper();
  ~RKHelper() override;

  using RKPopupWindow::paint;

  // Stores the text and sizes the hint to its extent plus 4 by 2; nothing is redrawn.
  void setText(RKString text) override;
  RKString getText() override;

  void onAfterCreate() override;
  u32 paint(RKRect area, IRKGraphics* graphics) override;

 protected:
  void fitToText();

  RKString text;
};

}  // namespace RKSDK

#endif
