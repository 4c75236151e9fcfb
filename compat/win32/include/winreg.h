// winreg declarations of the stand-in.
#ifndef RKWIN_WINREG_H
#define RKWIN_WINREG_H

#include "windef.h"
#include "winerror.h"

#endif
