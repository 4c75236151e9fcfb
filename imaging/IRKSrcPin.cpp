#include "IRKSrcPin.h"

namespace RKSDK {

IRKSrcPin::IRKSrcPin() { appendClassName("IRKSrcPin"); }

IRKSrcPin::~IRKSrcPin() {
  lock(RK_WAIT_FOREVER);
  for (unsigned int i = 0; i < itemCount; ++i) static_cast<IRKPin*>(items[i])->release();
  itemCount = 0;
  reserved = 0;
  capacity = 0;
  unlock();
}

int IRKSrcPin::getFormat() { return 0; }

int IRKSrcPin::findPin(IRKPin* pin) {
  for (unsigned int i = 0; i < itemCount; ++i)
    if (items[i] == pin) return static_cast<int>(i);
  return -1;
}

int IRKSrcPin::connect(IRKPin* pin) {
  if (!pin) return 0;
  lock(RK_WAIT_FOREVER);
  pin->addRef();
  if (isConnected(pin) || !insertAt(static_cast<int>(itemCount), pin)) pin->release();
  unlock();
  return 1;
}

int IRKSrcPin::disconnect(IRKPin* pin) {
  lock(RK_WAIT_FOREVER);
  int index = pin ? findPin(pin) : -1;
  if (index >= 0) {
    for (unsigned int i = index; i + 1 < itemCount; ++i) items[i] = items[i + 1];
    --itemCount;
    pin->release();
  }
  int left = static_cast<int>(itemCount);
  unlock();
  return left;
}

int IRKSrcPin::isConnected(IRKPin* pin) {
  lock(RK_WAIT_FOREVER);
  int found = pin && findPin(pin) >= 0 ? 1 : 0;
  unlock();
  return found;
}

}  // namespace RKSDK
