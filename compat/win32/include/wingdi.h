// wingdi declarations of the stand-in.
#ifndef RKWIN_WINGDI_H
#define RKWIN_WINGDI_H

#include "windef.h"
#include "winerror.h"

#endif
