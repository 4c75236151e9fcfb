// stringapiset declarations of the stand-in.
#ifndef RKWIN_STRINGAPISET_H
#define RKWIN_STRINGAPISET_H

#include "windef.h"
#include "winerror.h"

#endif
