// A rectangle: position (x, y) and extent (width, height), neither validated nor normalised.
#ifndef RKSDK_RKRECT_H
#define RKSDK_RKRECT_H

#include "RKPoint.h"
#include "RKSize.h"

namespace RKSDK {

class RKRect : public virtual RKObject {
 public:
  RKRect(const RKRect& other);
  RKRect(int x, int y, int width, int height);
  ~RKRect() override;
  RKRect& operator=(const RKRect& other) = default;

  virtual void setX(int x);
  virtual void setY(int y);
  virtual void setWidth(int width);
  virtual void setHeight(int height);
  // From the point's or size's getters; the object is not kept.
  virtual void setLocation(RKPoint* point);
  virtual void setLocation(int x, int y);
  virtual void setSize(RKSize* size);
  virtual void setSize(int width, int height);
  virtual int getX();
  virtual int getY();
  virtual int getWidth();
  virtual int getHeight();
  // New objects holding one reference for the caller.
  virtual RKPoint* getLocation();
  virtual RKSize* getSize();

  i32 x;
  i32 y;
  i32 width;
  i32 height;
};

}  // namespace RKSDK

#endif
