// A colour of red, green, blue and alpha bytes, with packed 32-bit and 16-bit forms.
#ifndef RKSDK_RKCOLOR_H
#define RKSDK_RKCOLOR_H

#include "RKObject.h"

namespace RKSDK {

class RKColor : public virtual RKObject {
 public:
  RKColor();  // all four bytes 0
  RKColor(const RKColor& other);
  RKColor(u8 red, u8 green, u8 blue);  // alpha 0
  ~RKColor() override;
  RKColor& operator=(const RKColor& other) = default;

  virtual u8 getRed();
  virtual void setRed(u8 value);
  virtual u8 getGreen();
  virtual void setGreen(u8 value);
  virtual u8 getBlue();
  virtual void setBlue(u8 value);
  virtual u8 getAlpha();
  virtual void setAlpha(u8 value);
  // alpha << 24 | red << 16 | green << 8 | blue
  virtual u32 getARGB();
  virtual void setARGB(u32 value);
  // alpha << 24 | blue << 16 | green << 8 | red: with alpha 0 this is the COLORREF of the colour.
  virtual u32 getABGR();
  virtual void setABGR(u32 value);
  // 5-6-5 and 5-5-5 bits of the channels' high bits; the setters zero the low bits and keep alpha.
  virtual u16 getRGB565();
  virtual void setRGB565(u16 value);
  virtual u16 getRGB555();
  virtual void setRGB555(u16 value);

  u8 red;
  u8 green;
  u8 blue;
  u8 alpha;
};

}  // namespace RKSDK

#endif
