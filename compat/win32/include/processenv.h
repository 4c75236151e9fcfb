// processenv declarations of the stand-in.
#ifndef RKWIN_PROCESSENV_H
#define RKWIN_PROCESSENV_H

#include "windef.h"
#include "winerror.h"

#endif
