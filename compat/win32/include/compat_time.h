// Test hooks of the stand-in's clock (no counterpart on Windows).
#ifndef RKWIN_COMPAT_TIME_H
#define RKWIN_COMPAT_TIME_H

#include "windef.h"

// Adds offsetMs to every later GetTickCount result, so that tests can place the counter just
// before its 32-bit wrap. 0 restores the plain counter.
void compat_set_tick_offset(DWORD offsetMs);

#endif
