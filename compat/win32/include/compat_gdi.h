// Test hooks of the graphics stand-in (no Windows counterpart).
#ifndef RKWIN_COMPAT_GDI_H
#define RKWIN_COMPAT_GDI_H

#include "windows.h"

// Saves the pixels a DC draws on (the bitmap selected into a memory DC, or the surface of a
// window DC) as an RGB PNG file. FALSE when the DC has no pixels or the file cannot be written.
BOOL compat_SaveDCPng(HDC hdc, const char* path);

// Saves a 32-bit BGRX pixel block (rows top-down, stride bytes apart) as an RGB PNG file.
BOOL compat_WritePngBGRX(const void* bits, int width, int height, int stride, const char* path);

#endif
