// The pen and fill colours of a graphics during one paint: saved when made, changed through
// the setters, and put back when it goes, as every widget paint must leave them.
#ifndef RKSDK_RKPAINTSTATE_H
#define RKSDK_RKPAINTSTATE_H

#include "IRKGraphics.h"

namespace RKSDK {

class RKPaintState : public virtual RKObject {
 public:
  explicit RKPaintState(IRKGraphics* graphics);
  ~RKPaintState() override;
  RKPaintState(const RKPaintState&) = delete;
  RKPaintState& operator=(const RKPaintState&) = delete;

  void pen(u8 red, u8 green, u8 blue);
  void pen(u32 argb);
  void fill(u32 argb);
  // Pen and fill alike.
  void both(u8 red, u8 green, u8 blue);
  void both(u32 argb);
  // The pen colour the paint started with.
  u32 savedPen() const { return penAtStart; }

 private:
  RKColor* penColor;
  RKColor* fillColor;
  u32 penAtStart;
  u32 fillAtStart;
};

}  // namespace RKSDK

#endif
