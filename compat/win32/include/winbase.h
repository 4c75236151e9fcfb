// winbase declarations of the stand-in.
#ifndef RKWIN_WINBASE_H
#define RKWIN_WINBASE_H

#include "windef.h"
#include "winerror.h"

#endif
