#include "RKTextAttrib.h"

namespace RKSDK {

RKTextAttrib::RKTextAttrib(RKColor c, RKFont* f, const RKString& t) : color(c), text(t), font(f), width(0) {
  if (font) font->addRef();
}

RKTextAttrib::~RKTextAttrib() {
  if (font) font->release();
  font = nullptr;
}

bool RKTextAttrib::hasStyle(RKColor c, RKFont* f) {
  bool sameFont = font && f ? font->equals(f) != 0 : font == f;
  return sameFont && color.getARGB() == c.getARGB();
}

}  // namespace RKSDK
