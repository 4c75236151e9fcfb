// Receiver of actions: a source (the sending component's root object), an identifier and a
// parameter. Registrations hold no reference on the listener.
#ifndef RKSDK_IRKACTIONLISTENER_H
#define RKSDK_IRKACTIONLISTENER_H

#include "RKObject.h"

namespace RKSDK {

class IRKActionListener : public virtual RKObject {
 public:
  ~IRKActionListener() override;
  // The answer is not looked at; the default answers 1.
  virtual int actionPerformed(RKObject* source, u32 id, u64 parameter);
};

}  // namespace RKSDK

#endif
