#include "RKPaintState.h"

namespace RKSDK {

RKPaintState::RKPaintState(IRKGraphics* g)
    : penColor(g ? g->getColor() : nullptr), fillColor(g ? g->getFillColor() : nullptr), penAtStart(0), fillAtStart(0) {
  if (penColor) penAtStart = penColor->getARGB();
  if (fillColor) fillAtStart = fillColor->getARGB();
}

RKPaintState::~RKPaintState() {
  if (penColor) {
    penColor->setARGB(penAtStart);
    penColor->release();
  }
  if (fillColor) {
    fillColor->setARGB(fillAtStart);
    fillColor->release();
  }
}

void RKPaintState::pen(u8 r, u8 g, u8 b) { pen(RKColor(r, g, b).getARGB()); }

void RKPaintState::pen(u32 argb) {
  if (penColor) penColor->setARGB(argb);
}

void RKPaintState::fill(u32 argb) {
  if (fillColor) fillColor->setARGB(argb);
}

void RKPaintState::both(u8 r, u8 g, u8 b) { both(RKColor(r, g, b).getARGB()); }

void RKPaintState::both(u32 argb) {
  pen(argb);
  fill(argb);
}

}  // namespace RKSDK
