#include "RKSize.h"

namespace RKSDK {

RKSize::RKSize() : width(0), height(0) { appendClassName("RKSize"); }
RKSize::RKSize(const RKSize& other) : RKObject(), width(other.width), height(other.height) {
  appendClassName("RKSize");
}
RKSize::RKSize(int width_, int height_) : width(width_), height(height_) { appendClassName("RKSize"); }
RKSize::~RKSize() {}

int RKSize::getWidth() { return width; }
int RKSize::getHeight() { return height; }

void RKSize::setSize(int width_, int height_) {
  width = width_;
  height = height_;
}

}  // namespace RKSDK
