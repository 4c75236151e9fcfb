#include "IRKCaret.h"

namespace RKSDK {

IRKCaret::IRKCaret() : width(1), height(16), owner(nullptr) { appendClassName("IRKCaret"); }

IRKCaret::~IRKCaret() {
  if (owner) owner->release();
}

u32 IRKCaret::getWidth() { return width; }
u32 IRKCaret::getHeight() { return height; }

RKObject* IRKCaret::getOwner() {
  if (owner) owner->addRef();
  return owner;
}

void IRKCaret::setWidth(u32 w) { width = w; }
void IRKCaret::setHeight(u32 h) { height = h; }

void IRKCaret::setOwner(RKObject* o) {
  if (o) o->addRef();
  if (owner) owner->release();
  owner = o;
}

int IRKCaret::createCaret() { return 0; }
int IRKCaret::showCaret() { return 0; }
int IRKCaret::hideCaret() { return 0; }
int IRKCaret::setCaretPosition(int, int) { return 0; }
int IRKCaret::destroyCaret() { return 0; }
int IRKCaret::setBlinkTime(u32) { return 0; }
u32 IRKCaret::getBlinkTime() { return 0; }

}  // namespace RKSDK
