// The top-level window: a container whose native window is an overlapped window with caption
// and frame. Its creation runs the thread's message loop and returns only when the loop has
// fetched the quit message, which quit posts and which the window posts when it is destroyed.
#ifndef RKSDK_RKWINDOW_H
#define RKSDK_RKWINDOW_H

#include "RKContainer.h"

namespace RKSDK {

class RKWindow : public RKContainer {
 public:
  RKWindow();
  ~RKWindow() override;

  using RKContainer::componentDestroyed;

  virtual void quit();
  virtual void close();
  virtual void maximize();
  virtual void minimize();
  virtual void restore();
  virtual void setTopMost(int on);
  virtual void bringToTop();

  // Creates the window and runs the message loop until quit: 1. When the window cannot be
  // created no loop is entered (nothing could end it) and the answer is 0.
  u32 create(RKCreateInfo info) override;
  u32 componentDestroyed() override;
};

}  // namespace RKSDK

#endif
