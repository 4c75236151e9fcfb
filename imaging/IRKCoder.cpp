#include "IRKCoder.h"

namespace RKSDK {

IRKCoderListener::IRKCoderListener() { appendClassName("IRKCoderListener"); }

void IRKCoderListener::rowDecoded(int, int) {}

void IRKCoderListener::decodeFinished() {}

IRKCoder::IRKCoder() : m_listener(nullptr) { appendClassName("RKCoder"); }

int IRKCoder::setListener(IRKCoderListener* listener) {
  m_listener = listener;
  return 1;
}

int IRKCoder::clearListener() {
  m_listener = nullptr;
  return 1;
}

int IRKCoder::getInfo(RKParam*) { return 0; }
int IRKCoder::openMemory(const void*, int) { return 0; }
int IRKCoder::setSource(RKObject*) { return 0; }
int IRKCoder::readRaw(void*) { return -1; }
int IRKCoder::decodeTo(RKObject*) { return 0; }

}  // namespace RKSDK
