// The stand-in's umbrella header: everything the system includes through <windows.h>.
#ifndef RKWIN_WINDOWS_H
#define RKWIN_WINDOWS_H

#include "windef.h"
#include "winerror.h"
#include "errhandlingapi.h"
#include "synchapi.h"
#include "stringapiset.h"
#include "handleapi.h"
#include "fileapi.h"
#include "processthreadsapi.h"
#include "processenv.h"
#include "libloaderapi.h"
#include "sysinfoapi.h"
#include "timezoneapi.h"
#include "winbase.h"
#include "wingdi.h"
#include "winuser.h"
#include "winreg.h"

#endif
