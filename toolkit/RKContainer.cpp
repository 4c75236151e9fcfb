#include "RKContainer.h"

namespace RKSDK {

RKContainer::RKContainer() : childrenCreated(0) {
  appendClassName("RKContainer");
  setWindowClassName("RKContainer");
}

RKContainer::~RKContainer() { removeAll(); }

void RKContainer::add(RKComponent* child) {
  if (!child) return;
  child->addRef();
  if (!children.insertAt(int(children.itemCount), child)) {
    child->release();
    return;
  }
  child->setInheritedFlag(look3D);
  if (!childrenCreated) return;
  child->addActionListener(this);
  child->addComponentListener(this);
  RKFont* font = getFont();
  child->setFont(font);
  if (font) font->release();
  createChild(child);
}

void RKContainer::remove(RKComponent* child) {
  u32 i = 0;
  while (i < children.itemCount && children.items[i] != child) ++i;
  if (i == children.itemCount) return;
  for (u32 j = i + 1; j < children.itemCount; ++j) children.items[j - 1] = children.items[j];
  --children.itemCount;
  if (childrenCreated) {
    child->removeActionListener(this);
    child->removeComponentListener(this);
    child->destroy();
  }
  child->release();
}

void RKContainer::removeAll() {
  u32 count = children.itemCount;
  for (u32 i = 0; i < count && i < children.itemCount; ++i) {
    RKComponent* child = children.items[i];
    if (childrenCreated) {
      child->removeActionListener(this);
      child->removeComponentListener(this);
      child->destroy();
    }
    child->release();
  }
  children.itemCount = 0;
  children.reserved = 0;
}

u32 RKContainer::getChildCount() { return children.itemCount; }

RKComponent* RKContainer::getChildAt(RKPoint p) { return getChildAt(p.x, p.y); }

RKComponent* RKContainer::getChildAt(int x, int y) {
  for (u32 i = 0; i < children.itemCount; ++i) {
    RKComponent* child = children.items[i];
    RKPoint at = child->getLocation();
    RKSize s = child->getSize();
    if (at.x <= x && x <= at.x + s.width && at.y <= y && y <= at.y + s.height) {
      child->addRef();
      return child;
    }
  }
  return nullptr;
}

void RKContainer::setFocusable(u32 f) { RKComponent::setFocusable(f); }

u32 RKContainer::hasFocus() {
  if (RKComponent::hasFocus()) return 1;
  for (u32 i = 0; i < children.itemCount; ++i)
    if (children.items[i]->hasFocus()) return 1;
  return 0;
}

void RKContainer::setInheritedFlag(u32 flag) {
  RKComponent::setInheritedFlag(flag);
  for (u32 i = 0; i < children.itemCount; ++i) children.items[i]->setInheritedFlag(flag);
}

void RKContainer::onAfterCreate() {
  childrenCreated = 1;
  RKFont* font = getFont();
  u32 count = children.itemCount;
  for (u32 i = 0; i < count && i < children.itemCount; ++i) {
    RKComponent* child = children.items[i];
    child->addActionListener(this);
    child->addComponentListener(this);
    child->setFont(font);
    createChild(child);
  }
  if (font) font->release();
}

void RKContainer::redraw() {
  RKComponent::redraw();
  for (u32 i = 0; i < children.itemCount; ++i) children.items[i]->redraw();
}

void RKContainer::redraw(RKRect rect) {
  RKComponent::redraw(rect);
  for (u32 i = 0; i < children.itemCount; ++i) children.items[i]->redraw(rect);
}

u32 RKContainer::paint(RKRect area, IRKGraphics* g) {
  if (!g) return 1;
  g->fillRect(area);
  if (designMode) paintDesign(g);
  return 1;
}

u32 RKContainer::componentDestroyed() {
  for (u32 i = 0; i < children.itemCount && childrenCreated; ++i) {
    children.items[i]->removeActionListener(this);
    children.items[i]->removeComponentListener(this);
  }
  childrenCreated = 0;
  return 1;
}

int RKContainer::mousePressed(RKObject* source, RKPoint p) {
  if (!isSelf(source)) return 1;
  return RKComponent::mousePressed(source, p);
}

}  // namespace RKSDK
