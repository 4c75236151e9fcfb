#include "RKPoint.h"

namespace RKSDK {

RKPoint::RKPoint() : x(0), y(0) { appendClassName("RKPoint"); }
RKPoint::RKPoint(const RKPoint& other) : RKObject(), x(other.x), y(other.y) { appendClassName("RKPoint"); }
RKPoint::RKPoint(int x_, int y_) : x(x_), y(y_) { appendClassName("RKPoint"); }
RKPoint::~RKPoint() {}

int RKPoint::getX() { return x; }
int RKPoint::getY() { return y; }

void RKPoint::translate(int dx, int dy) {
  x += dx;
  y += dy;
}

void RKPoint::setLocation(int x_, int y_) {
  x = x_;
  y = y_;
}

}  // namespace RKSDK
