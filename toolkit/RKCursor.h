// The mouse cursor of a component's window class, by kind (glyph numbers of the X cursor font).
#ifndef RKSDK_RKCURSOR_H
#define RKSDK_RKCURSOR_H

#include "RKObject.h"

namespace RKSDK {

// Kind of a cursor drawn from the getters below with CreateCursor.
const u32 RK_CURSOR_DRAWN = 77;
const u32 RK_CURSOR_ARROW = 68;

class RKCursor : public virtual RKObject {
 public:
  RKCursor();
  ~RKCursor() override;

  virtual u32 getKind();
  virtual void setKind(u32 kind);
  // The same as setKind, under the name the widgets use.
  void setType(u32 type) { setKind(type); }
  // The drawn cursor of kind 77; a class that draws its own cursor overrides these.
  virtual int getWidth();
  virtual int getHeight();
  virtual int getHotSpotX();
  virtual int getHotSpotY();
  virtual int reserved1();
  virtual int reserved2();
  virtual const void* getANDPlane();
  virtual const void* getXORPlane();

  // The system cursor identifier (IDC_...) a kind stands for; 0 for none.
  static u32 systemCursorId(u32 kind);

 protected:
  u32 kind;
};

}  // namespace RKSDK

#endif
