#include "IRKPin.h"

namespace RKSDK {

IRKPin::IRKPin() : m_connected(nullptr) { appendClassName("IRKPin"); }

IRKPin::~IRKPin() {
  if (m_connected) m_connected->release();
}

void IRKPin::setConnected(RKObject* object) {
  if (object) object->addRef();
  if (m_connected) m_connected->release();
  m_connected = object;
}

RKObject* IRKPin::getConnected() {
  if (m_connected) m_connected->addRef();
  return m_connected;
}

void IRKPin::pushFile() {}

void IRKPin::broadcast(void*) {}

void IRKPin::consume(RKObject*) {}

}  // namespace RKSDK
