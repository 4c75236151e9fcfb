// libloaderapi declarations of the stand-in.
#ifndef RKWIN_LIBLOADERAPI_H
#define RKWIN_LIBLOADERAPI_H

#include "windef.h"
#include "winerror.h"

#endif
