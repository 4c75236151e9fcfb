// sysinfoapi declarations of the stand-in.
#ifndef RKWIN_SYSINFOAPI_H
#define RKWIN_SYSINFOAPI_H

#include "windef.h"
#include "winerror.h"

#endif
