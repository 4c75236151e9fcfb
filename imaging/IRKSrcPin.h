// The source end of pin connections: the list of pins a source feeds, guarded by the object lock.
#ifndef RK_IMAGING_IRKSRCPIN_H
#define RK_IMAGING_IRKSRCPIN_H

#include "IRKPin.h"
#include "TRKVector.h"

namespace RKSDK {

class IRKSrcPin : public TRKVector<void*>, public virtual IRKPin {
 public:
  IRKSrcPin();
  ~IRKSrcPin() override;

  // The source's format code; 0 here.
  virtual int getFormat();
  // Lists pin (one reference held) unless it is listed already; 0 for a null pin, else 1.
  virtual int connect(IRKPin* pin);
  // Removes pin from the list and releases it; returns the number of pins still listed.
  virtual int disconnect(IRKPin* pin);
  // 1 when pin is listed.
  virtual int isConnected(IRKPin* pin);

 protected:
  int findPin(IRKPin* pin);
};

}  // namespace RKSDK

#endif
