// Images to draw on and pixel helpers for the drawing tests.
#ifndef RK_TEST_GRAPHICS_SUPPORT_H
#define RK_TEST_GRAPHICS_SUPPORT_H

#include <cstdint>
#include <vector>

#include "IRKGraphics.h"
#include "RKImage.h"

namespace rktest {

struct Rgb {
  uint8_t r, g, b;
  bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

// A w x h image of type 1005 (blue, green, red) in one colour, holding one reference.
inline RKSDK::RKImage* bgrImage(int w, int h, Rgb c) {
  std::vector<uint8_t> px(size_t(w) * h * 3);
  for (size_t i = 0; i < px.size(); i += 3) {
    px[i] = c.b;
    px[i + 1] = c.g;
    px[i + 2] = c.r;
  }
  RKSDK::RKImage* im = new RKSDK::RKImage(1005, px.data(), int(px.size()), 0, 0, w, h, 0);
  im->addRef();
  return im;
}

// The pixel of a type-1005 image (synchronising pending drawing).
inline Rgb pixelOf(RKSDK::RKImage* im, int x, int y) {
  RKSDK::RKBuffer* b = im->getBuffer();
  const uint8_t* p = b->getData((y * im->getWidth() + x) * 3);
  Rgb c{p[2], p[1], p[0]};
  b->release();
  return c;
}

// Pixels of [l, r) x [t, b) that differ from c.
inline int countNot(RKSDK::RKImage* im, Rgb c, int l, int t, int r, int b) {
  int n = 0;
  for (int y = t; y < b; ++y)
    for (int x = l; x < r; ++x)
      if (!(pixelOf(im, x, y) == c)) ++n;
  return n;
}

inline void setRgb(RKSDK::RKColor* c, Rgb v) {
  c->setRed(v.r);
  c->setGreen(v.g);
  c->setBlue(v.b);
  c->release();
}
inline void setPen(RKSDK::IRKGraphics* g, Rgb c) { setRgb(g->getColor(), c); }
inline void setFill(RKSDK::IRKGraphics* g, Rgb c) { setRgb(g->getFillColor(), c); }
inline void setBackground(RKSDK::IRKGraphics* g, Rgb c) { setRgb(g->getBackgroundColor(), c); }

const Rgb kBlack{0, 0, 0}, kWhite{255, 255, 255}, kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255};

}  // namespace rktest

#endif
