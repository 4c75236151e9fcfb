// File times, system times and the C runtime's 64-bit time calls.
#include <windows.h>

#include <errno.h>
#include <time.h>

namespace {

const ULONGLONG kTicksPerDay = 864000000000ULL;  // 100 ns units
const int64_t kDaysFrom1601To1970 = 134774;
const __time64_t kLatestTime64 = 32535215999LL;  // 3000-12-31 23:59:59 UTC

bool leapYear(int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int64_t y, int m) {
  static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && leapYear(y) ? 29 : days[m - 1];
}

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian calendar).
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  unsigned yoe = (unsigned)(y - era * 400);
  unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + (int64_t)doe - 719468;
}

void civilFromDays(int64_t z, int64_t* y, unsigned* m, unsigned* d) {
  z += 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  unsigned doe = (unsigned)(z - era * 146097);
  unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  unsigned mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp < 10 ? mp + 3 : mp - 9;
  *y = (int64_t)yoe + era * 400 + (*m <= 2);
}

thread_local struct tm t_brokenDown;

}  // namespace

BOOL WINAPI FileTimeToSystemTime(const FILETIME* lpFileTime, LPSYSTEMTIME lpSystemTime) {
  if (!lpFileTime || !lpSystemTime || (lpFileTime->dwHighDateTime & 0x80000000u)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  ULONGLONG ticks = ((ULONGLONG)lpFileTime->dwHighDateTime << 32) | lpFileTime->dwLowDateTime;
  int64_t days = (int64_t)(ticks / kTicksPerDay);
  ULONGLONG rest = ticks % kTicksPerDay;
  int64_t year;
  unsigned month, day;
  civilFromDays(days - kDaysFrom1601To1970, &year, &month, &day);
  lpSystemTime->wYear = (WORD)year;
  lpSystemTime->wMonth = (WORD)month;
  lpSystemTime->wDay = (WORD)day;
  lpSystemTime->wDayOfWeek = (WORD)((days + 1) % 7);  // 1601-01-01 was a Monday
  lpSystemTime->wHour = (WORD)(rest / 36000000000ULL);
  lpSystemTime->wMinute = (WORD)(rest / 600000000ULL % 60);
  lpSystemTime->wSecond = (WORD)(rest / 10000000ULL % 60);
  lpSystemTime->wMilliseconds = (WORD)(rest / 10000ULL % 1000);
  return TRUE;
}

BOOL WINAPI SystemTimeToFileTime(const SYSTEMTIME* lpSystemTime, LPFILETIME lpFileTime) {
  if (!lpSystemTime || !lpFileTime) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const SYSTEMTIME& s = *lpSystemTime;
  if (s.wYear < 1601 || s.wYear > 30827 || s.wMonth < 1 || s.wMonth > 12 || s.wDay < 1 ||
      s.wDay > daysInMonth(s.wYear, s.wMonth) || s.wHour > 23 || s.wMinute > 59 || s.wSecond > 59 ||
      s.wMilliseconds > 999) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  int64_t days = daysFromCivil(s.wYear, s.wMonth, s.wDay) + kDaysFrom1601To1970;
  ULONGLONG ticks = (ULONGLONG)days * kTicksPerDay +
                    (((ULONGLONG)s.wHour * 60 + s.wMinute) * 60 + s.wSecond) * 10000000ULL +
                    (ULONGLONG)s.wMilliseconds * 10000ULL;
  lpFileTime->dwLowDateTime = (DWORD)ticks;
  lpFileTime->dwHighDateTime = (DWORD)(ticks >> 32);
  return TRUE;
}

extern "C" __time64_t _time64(__time64_t* destination) {
  __time64_t now = (__time64_t)time(nullptr);
  if (destination) *destination = now;
  return now;
}

namespace {

// Windows breaks down only times from 1970 to the end of the year 3000.
struct tm* breakDown(const __time64_t* sourceTime, struct tm* (*convert)(const time_t*, struct tm*)) {
  if (!sourceTime || *sourceTime < 0 || *sourceTime > kLatestTime64) {
    errno = EINVAL;
    return nullptr;
  }
  time_t t = (time_t)*sourceTime;
  return convert(&t, &t_brokenDown);
}

}  // namespace

extern "C" struct tm* _localtime64(const __time64_t* sourceTime) { return breakDown(sourceTime, localtime_r); }

extern "C" struct tm* _gmtime64(const __time64_t* sourceTime) { return breakDown(sourceTime, gmtime_r); }
