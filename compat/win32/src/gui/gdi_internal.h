// Interface of the graphics stand-in for the rest of the stand-in (the window manager): device
// contexts over pixel memory the caller owns. Not for system sources.
//
// Surfaces are 32-bit BGRX, rows top-down: pixel (x, y) is the four bytes at
// bits + y * stride + x * 4 in the order blue, green, red, X. As in GDI, the graphics calls write
// X = 0 for every pixel they colour themselves (lines, fills, text, 24-bit bitmaps); blits of
// 32-bit pixels copy it from their source, and the XOR of a focus rectangle leaves it as it was.
//
// Typical use by the window manager:
//   - a top-level window owns a surface; GetDC/GetWindowDC/BeginPaint of the window or of one
//     of its children returns CreateSurfaceDC(surface, w, h, stride, childX, childY, &clip),
//     where (childX, childY) is the child's position on the top-level surface and clip the part
//     of the surface the child may paint (its visible rectangle, or the update rectangle);
//   - ReleaseDC/EndPaint call ReleaseSurfaceDC;
//   - GetDC(NULL) and the desktop window's DC come from CreateScreenDC, released the same way.
// The window manager defines GetDesktopWindow, GetDC, GetWindowDC and ReleaseDC on top of these.
#ifndef RKWIN_GDI_INTERNAL_H
#define RKWIN_GDI_INTERNAL_H

#include <windows.h>

namespace rkgdi {

// A DC drawing onto caller-owned pixels. Logical (0, 0) is surface pixel (originX, originY);
// nothing outside clip (surface coordinates; null means the whole surface) is touched.
// The DC starts with the defaults of a new DC (black pen, white brush, system font, text black,
// background white and OPAQUE, ALTERNATE fill). Returns null when the arguments are unusable
// (null bits, width or height below 0, stride below width * 4).
HDC CreateSurfaceDC(void* bits, int width, int height, int stride, int originX, int originY, const RECT* clip);

// Points an existing surface DC at other pixels (after the surface was reallocated), keeping
// its state. FALSE when hdc is not a surface DC or the arguments are unusable.
BOOL ResetSurfaceDC(HDC hdc, void* bits, int width, int height, int stride, int originX, int originY, const RECT* clip);

// Replaces the clip rectangle (surface coordinates; null: whole surface).
BOOL SetSurfaceDCClip(HDC hdc, const RECT* clip);

// Sets the rectangles inside the clip that drawing leaves untouched (surface coordinates),
// replacing the old ones; a count of 0 removes them. Creating or resetting a DC removes them too.
BOOL SetSurfaceDCHoles(HDC hdc, const RECT* holes, int count);

// The screen DC: 32 bits per pixel, 96 dpi, no pixels of its own (drawing on it changes
// nothing); works with no display at all.
HDC CreateScreenDC();

// Releases a DC made by CreateSurfaceDC or CreateScreenDC (deselecting and freeing nothing the
// caller owns). FALSE for any other handle.
BOOL ReleaseSurfaceDC(HDC hdc);

// TRUE when hdc is a live DC of the graphics stand-in (memory, surface or screen DC).
BOOL IsDC(HDC hdc);

// Saves width x height pixels of a surface (layout as above) as an 8-bit RGB PNG file.
BOOL WritePng(const void* bits, int width, int height, int stride, const char* path);

}  // namespace rkgdi

#endif
