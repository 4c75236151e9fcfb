// A connection point through which a source hands objects (images) to a consumer.
#ifndef RK_IMAGING_IRKPIN_H
#define RK_IMAGING_IRKPIN_H

#include "RKObject.h"

namespace RKSDK {

class IRKPin : public virtual RKObject {
 public:
  IRKPin();
  ~IRKPin() override;

  // Holds object with a reference added and releases the one held before (null clears).
  virtual void setConnected(RKObject* object);
  // The held object with a reference added, or null.
  virtual RKObject* getConnected();
  // Sends the source's data to the pins it feeds; does nothing here.
  virtual void pushFile();
  // Passes argument on to the pins a source feeds; does nothing here.
  virtual void broadcast(void* argument);
  // The consumer operation a source calls with each object it pushes; does nothing here.
  virtual void consume(RKObject* object);

 private:
  RKObject* m_connected;
};

}  // namespace RKSDK

#endif
