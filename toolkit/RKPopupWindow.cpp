#include "RKPopupWindow.h"

namespace RKSDK {

RKPopupWindow::RKPopupWindow() {
  appendClassName("RKPopupWindow");
  setWindowClassName("RKPopupWindow");
  setWindowStyle(RK_STYLE_POPUP);
}

RKPopupWindow::~RKPopupWindow() {}

}  // namespace RKSDK
