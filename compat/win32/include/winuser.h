// winuser declarations of the stand-in.
#ifndef RKWIN_WINUSER_H
#define RKWIN_WINUSER_H

#include "windef.h"
#include "winerror.h"

#endif
