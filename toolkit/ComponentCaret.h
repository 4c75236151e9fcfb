// The caret of a component window. The system has one caret per thread: creating one here
// destroys any other; the created flag only says whether this object made the current one.
#ifndef RKSDK_COMPONENTCARET_H
#define RKSDK_COMPONENTCARET_H

#include "IRKCaret.h"

namespace RKSDK {

class ComponentCaret : public virtual IRKCaret {
 public:
  ComponentCaret();
  ~ComponentCaret() override;

  // Binds the caret to the component's window (null unbinds it).
  virtual void setWindow(HWND window);

  // A created caret is made again at the new height and shown.
  void setHeight(u32 height) override;
  int createCaret() override;
  int showCaret() override;
  int hideCaret() override;
  int setCaretPosition(int x, int y) override;
  int destroyCaret() override;
  int setBlinkTime(u32 milliseconds) override;
  u32 getBlinkTime() override;

 protected:
  HWND window;
  u32 created;
};

}  // namespace RKSDK

#endif
