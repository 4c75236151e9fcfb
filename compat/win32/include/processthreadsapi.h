// processthreadsapi declarations of the stand-in.
#ifndef RKWIN_PROCESSTHREADSAPI_H
#define RKWIN_PROCESSTHREADSAPI_H

#include "windef.h"
#include "winerror.h"

#endif
