// Row converters between the packed pixel layouts, and image composition with alpha blending.
#ifndef RK_IMAGING_RKPIXELCONVERT_H
#define RK_IMAGING_RKPIXELCONVERT_H

#include "RKImage.h"

namespace RKSDK {

// Each converter turns count pixels from the start of src into dst and returns 1 (also for a
// count below 1, which converts nothing). src and dst must not overlap. Widened channels keep
// their low bits 0 (a 5-bit 31 becomes 248).
int convertRGB555ToBGR(const void* src, void* dst, int count);   // 16-bit 5-5-5 -> B, G, R
int convertRGB555ToBGRA(const void* src, void* dst, int count);  // 16-bit 5-5-5 -> B, G, R, 255
int convertRGB565ToBGR(const void* src, void* dst, int count);   // 16-bit 5-6-5 -> B, G, R
int convertRGB565ToBGRA(const void* src, void* dst, int count);  // 16-bit 5-6-5 -> B, G, R, 255
int swapRGB24(const void* src, void* dst, int count);            // b0 b1 b2 -> b2 b1 b0
int reverseRGB32(const void* src, void* dst, int count);         // b0 b1 b2 b3 -> b3 b2 b1 b0
int expandRGB24To32(const void* src, void* dst, int count);      // b0 b1 b2 -> b0 b1 b2 255

// Pastes source with its top-left corner at (x, y) onto a clone of destination, or, when
// destination is null, onto a new width x height checkerboard of 8 x 8 white and grey cells
// (type 1003). Sources with alpha (1004, 1007) are blended; the result's own alpha is kept.
// Both images must be of type 1003, 1004, 1005 or 1007. Returns the new image holding one
// reference for the caller, or null; neither argument is changed.
RKImage* composeImage(int width, int height, RKImage* destination, RKImage* source, int x, int y);

}  // namespace RKSDK

#endif
