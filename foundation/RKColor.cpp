#include "RKColor.h"

namespace RKSDK {

RKColor::RKColor() : red(0), green(0), blue(0), alpha(0) { appendClassName("RKColor"); }
RKColor::RKColor(const RKColor& other)
    : RKObject(), red(other.red), green(other.green), blue(other.blue), alpha(other.alpha) {
  appendClassName("RKColor");
}
RKColor::RKColor(u8 r, u8 g, u8 b) : red(r), green(g), blue(b), alpha(0) { appendClassName("RKColor"); }
RKColor::~RKColor() {}

u8 RKColor::getRed() { return red; }
void RKColor::setRed(u8 v) { red = v; }
u8 RKColor::getGreen() { return green; }
void RKColor::setGreen(u8 v) { green = v; }
u8 RKColor::getBlue() { return blue; }
void RKColor::setBlue(u8 v) { blue = v; }
u8 RKColor::getAlpha() { return alpha; }
void RKColor::setAlpha(u8 v) { alpha = v; }

u32 RKColor::getARGB() { return (u32)alpha << 24 | (u32)red << 16 | (u32)green << 8 | blue; }

void RKColor::setARGB(u32 v) {
  alpha = (u8)(v >> 24);
  red = (u8)(v >> 16);
  green = (u8)(v >> 8);
  blue = (u8)v;
}

u32 RKColor::getABGR() { return (u32)alpha << 24 | (u32)blue << 16 | (u32)green << 8 | red; }

void RKColor::setABGR(u32 v) {
  alpha = (u8)(v >> 24);
  blue = (u8)(v >> 16);
  green = (u8)(v >> 8);
  red = (u8)v;
}

u16 RKColor::getRGB565() { return (u16)((red & 0xF8) << 8 | (green & 0xFC) << 3 | blue >> 3); }

void RKColor::setRGB565(u16 v) {
  red = (u8)((v >> 8) & 0xF8);
  green = (u8)((v >> 3) & 0xFC);
  blue = (u8)((v << 3) & 0xFF);
}

u16 RKColor::getRGB555() { return (u16)((red & 0xF8) << 7 | (green & 0xF8) << 2 | blue >> 3); }

void RKColor::setRGB555(u16 v) {
  red = (u8)((v >> 7) & 0xF8);
  green = (u8)((v >> 2) & 0xF8);
  blue = (u8)((v << 3) & 0xFF);
}

}  // namespace RKSDK
