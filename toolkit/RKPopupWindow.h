// A container whose native window is a pop-up window: no caption or border from the system,
// not clipped by its owner.
#ifndef RKSDK_RKPOPUPWINDOW_H
#define RKSDK_RKPOPUPWINDOW_H

#include "RKContainer.h"

namespace RKSDK {

class RKPopupWindow : public virtual RKContainer {
 public:
  RKPopupWindow();
  ~RKPopupWindow() override;
};

}  // namespace RKSDK

#endif
