#include "RKRect.h"

#include <new>

namespace RKSDK {

RKRect::RKRect(const RKRect& other) : RKObject(), x(other.x), y(other.y), width(other.width), height(other.height) {
  appendClassName("RKRect");
}
RKRect::RKRect(int x_, int y_, int width_, int height_) : x(x_), y(y_), width(width_), height(height_) {
  appendClassName("RKRect");
}
RKRect::~RKRect() {}

void RKRect::setX(int v) { x = v; }
void RKRect::setY(int v) { y = v; }
void RKRect::setWidth(int v) { width = v; }
void RKRect::setHeight(int v) { height = v; }

void RKRect::setLocation(RKPoint* point) {
  // No reference is taken around the read: a release here would destroy a point that its
  // owner had not counted yet (or one on the stack).
  if (!point) return;
  x = point->getX();
  y = point->getY();
}

void RKRect::setLocation(int x_, int y_) {
  x = x_;
  y = y_;
}

void RKRect::setSize(RKSize* size) {
  if (!size) return;  // read only, no reference taken (see setLocation)
  width = size->getWidth();
  height = size->getHeight();
}

void RKRect::setSize(int width_, int height_) {
  width = width_;
  height = height_;
}

int RKRect::getX() { return x; }
int RKRect::getY() { return y; }
int RKRect::getWidth() { return width; }
int RKRect::getHeight() { return height; }

RKPoint* RKRect::getLocation() {
  RKPoint* p = new (std::nothrow) RKPoint(x, y);
  if (p) p->addRef();
  return p;
}

RKSize* RKRect::getSize() {
  RKSize* s = new (std::nothrow) RKSize(width, height);
  if (s) s->addRef();
  return s;
}

}  // namespace RKSDK
