// The C library's <time.h> plus the Windows C runtime's 64-bit time calls.
#pragma GCC system_header  // the wrapper itself, like the header it extends
#include_next <time.h>

#ifndef RKWIN_TIME_H
#define RKWIN_TIME_H

#ifdef __cplusplus
extern "C" {
#endif

#ifndef __time64_t
typedef long long __time64_t;  // the C library defines it only where time_t is narrower
#endif

__time64_t _time64(__time64_t* destination);
// Break-downs of a time in seconds since 1970 (UTC); null for times before 1970 or after
// 3000-12-31 23:59:59 UTC, as on Windows. The result lives in a per-thread buffer.
struct tm* _localtime64(const __time64_t* sourceTime);
struct tm* _gmtime64(const __time64_t* sourceTime);

#ifdef __cplusplus
}
#endif

#endif
