// The text cursor of a component. The base keeps width, height and an owner object and does
// nothing native; ComponentCaret puts it on the component's window.
#ifndef RKSDK_IRKCARET_H
#define RKSDK_IRKCARET_H

#include "RKObject.h"

namespace RKSDK {

class IRKCaret : public virtual RKObject {
 public:
  IRKCaret();
  ~IRKCaret() override;

  virtual u32 getWidth();
  virtual u32 getHeight();
  // The kept object with a reference added, or null.
  virtual RKObject* getOwner();
  virtual void setWidth(u32 width);
  virtual void setHeight(u32 height);
  virtual void setOwner(RKObject* owner);
  virtual int createCaret();
  virtual int showCaret();
  virtual int hideCaret();
  virtual int setCaretPosition(int x, int y);
  virtual int destroyCaret();
  virtual int setBlinkTime(u32 milliseconds);
  virtual u32 getBlinkTime();

  // Short names the widgets use for the operations above.
  int create() { return createCaret(); }
  int show() { return showCaret(); }
  int hide() { return hideCaret(); }
  int setPosition(int x, int y) { return setCaretPosition(x, y); }
  int destroy() { return destroyCaret(); }

 protected:
  u32 width;
  u32 height;
  RKObject* owner;
};

}  // namespace RKSDK

#endif
