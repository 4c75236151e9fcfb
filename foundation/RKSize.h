// An extent (width, height); not validated, so either may be negative.
#ifndef RKSDK_RKSIZE_H
#define RKSDK_RKSIZE_H

#include "RKObject.h"

namespace RKSDK {

class RKSize : public virtual RKObject {
 public:
  RKSize();
  RKSize(const RKSize& other);
  RKSize(int width, int height);
  ~RKSize() override;
  RKSize& operator=(const RKSize& other) = default;

  virtual int getWidth();
  virtual int getHeight();
  virtual void setSize(int width, int height);

  i32 width;
  i32 height;
};

}  // namespace RKSDK

#endif
