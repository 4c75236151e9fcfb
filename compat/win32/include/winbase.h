// winbase declarations of the stand-in.
#ifndef RKWIN_WINBASE_H
#define RKWIN_WINBASE_H

#include "windef.h"
#include "winerror.h"

// (a * b) / c computed in 64 bits, rounded half away from zero; -1 when c is 0 or on overflow.
int WINAPI MulDiv(int nNumber, int nNumerator, int nDenominator);

#endif
