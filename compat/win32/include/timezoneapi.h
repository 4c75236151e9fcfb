// timezoneapi declarations of the stand-in.
#ifndef RKWIN_TIMEZONEAPI_H
#define RKWIN_TIMEZONEAPI_H

#include "windef.h"
#include "winerror.h"

BOOL WINAPI FileTimeToSystemTime(const FILETIME* lpFileTime, LPSYSTEMTIME lpSystemTime);
BOOL WINAPI SystemTimeToFileTime(const SYSTEMTIME* lpSystemTime, LPFILETIME lpFileTime);

#endif
