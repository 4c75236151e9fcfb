// A position (x, y).
#ifndef RKSDK_RKPOINT_H
#define RKSDK_RKPOINT_H

#include "RKObject.h"

namespace RKSDK {

class RKPoint : public virtual RKObject {
 public:
  RKPoint();
  RKPoint(const RKPoint& other);
  RKPoint(int x, int y);
  ~RKPoint() override;
  RKPoint& operator=(const RKPoint& other) = default;

  virtual int getX();
  virtual int getY();
  virtual void translate(int dx, int dy);
  virtual void setLocation(int x, int y);

  i32 x;
  i32 y;
};

}  // namespace RKSDK

#endif
