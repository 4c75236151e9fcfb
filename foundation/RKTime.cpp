#include "RKTime.h"

#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <new>
#include <string>

namespace RKSDK {

RKTime::RKTime() : year(1900), month(0), day(0), hour(0), minute(0), second(0), millisecond(0) {
  appendClassName("RKTime");
}

RKTime::RKTime(FILETIME time) : RKTime() { setFileTime(time); }

RKTime::RKTime(int y, int mo, int d, int h, int mi, int s) : RKTime() {
  if (y >= 1900 && mo >= 1 && mo <= 12 && d >= 1 && d <= daysInMonth(y, mo) && (unsigned)h <= 23 &&
      (unsigned)mi <= 59 && (unsigned)s <= 59) {
    year = y;
    month = mo;
    day = d;
    hour = h;
    minute = mi;
    second = s;
  }
}

RKTime::RKTime(const RKTime& other)
    : RKObject(),
      year(other.year),
      month(other.month),
      day(other.day),
      hour(other.hour),
      minute(other.minute),
      second(other.second),
      millisecond(other.millisecond) {
  appendClassName("RKTime");
}

RKTime& RKTime::operator=(const RKTime& other) {
  year = other.year;
  month = other.month;
  day = other.day;
  hour = other.hour;
  minute = other.minute;
  second = other.second;
  millisecond = other.millisecond;
  return *this;
}

RKTime::~RKTime() {}

int RKTime::getDay() { return day; }

int RKTime::getDayOfYear() {
  FILETIME ft;
  if (!toFileTimeValue(&ft)) return -1;
  int days = day - 1;
  for (int m = 1; m < month; ++m) days += daysInMonth(year, m);
  return days;
}

int RKTime::getDayOfWeek() {
  FILETIME ft;
  SYSTEMTIME st;
  if (!toFileTimeValue(&ft) || !FileTimeToSystemTime(&ft, &st)) return -1;
  return st.wDayOfWeek;
}

int RKTime::getHour() { return hour; }
int RKTime::getMinute() { return minute; }
int RKTime::getMonth() { return month; }
int RKTime::getSecond() { return second; }
FILETIME RKTime::getTime() { return toFileTime(); }
int RKTime::getYear() { return year; }

int RKTime::setDay(int d) {
  if (!isValidDay(year, month, d)) return 0;
  day = d;
  return 1;
}

int RKTime::setHour(int h) {
  if (h < 0 || h > 23) return 0;
  hour = h;
  return 1;
}

int RKTime::setMinute(int m) {
  if (m < 0 || m > 59) return 0;
  minute = m;
  return 1;
}

int RKTime::setMonth(int m) {
  if (m < 1 || m > 12) return 0;
  month = m;
  return 1;
}

int RKTime::setSecond(int s) {
  if (s < 0 || s > 59) return 0;
  second = s;
  return 1;
}

int RKTime::setTime(FILETIME time) { return setFileTime(time); }

int RKTime::setYear(int y) {
  if (y < 1900) return 0;
  year = y;
  return 1;
}

RKString RKTime::toString() {
  RKString text;
  text.format("%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute, second);
  return text;
}

RKString RKTime::toDateString() {
  RKString text;
  text.format("%04d-%02d-%02d", year, month, day);
  return text;
}

int RKTime::setMillisecond(int ms) {
  millisecond = ms;
  return 1;
}

int RKTime::getMillisecond() { return millisecond; }

int RKTime::clear() {
  year = 1900;
  month = day = hour = minute = second = millisecond = 0;
  return 0;
}

int RKTime::parse(RKString text) {
  std::string rest = text.data ? std::string(text.data, text.length) : std::string();
  // Each field is cut at the first occurrence of its separator in what is left, and stored
  // at once; the last piece is the second.
  static const char kSeparators[] = {'-', '-', ' ', ':', ':'};
  int* fields[] = {&year, &month, &day, &hour, &minute};
  for (int i = 0; i < 5; ++i) {
    size_t at = rest.find(kSeparators[i]);
    if (at == std::string::npos) return clear();
    *fields[i] = atoi(rest.substr(0, at).c_str());
    rest.erase(0, at + 1);
  }
  second = atoi(rest.c_str());
  return 1;
}

int RKTime::setFileTime(FILETIME time) {
  SYSTEMTIME st;
  if (!FileTimeToSystemTime(&time, &st)) return 0;
  year = st.wYear;
  month = st.wMonth;
  day = st.wDay;
  hour = st.wHour;
  minute = st.wMinute;
  second = st.wSecond;
  millisecond = st.wMilliseconds;
  return 1;
}

int RKTime::isValidDay(int y, int m, int d) {
  int length = daysInMonth(y, m);
  return length >= 1 && d >= 1 && d <= length ? 1 : 0;
}

int RKTime::daysInMonth(int y, int m) {
  switch (m) {
    case 1:
    case 3:
    case 5:
    case 7:
    case 8:
    case 10:
    case 12:
      return 31;
    case 4:
    case 6:
    case 9:
    case 11:
      return 30;
    case 2:
      return isLeapYear(y) ? 29 : 28;
    default:
      return 0;
  }
}

int RKTime::isLeapYear(int y) { return (y % 400 == 0 || (y % 4 == 0 && y % 100 != 0)) ? 1 : 0; }

bool RKTime::toFileTimeValue(FILETIME* out) {
  int values[7] = {year, month, day, hour, minute, second, millisecond};
  for (int v : values)
    if (v < 0 || v > 0xFFFF) return false;
  SYSTEMTIME st;
  st.wYear = (WORD)year;
  st.wMonth = (WORD)month;
  st.wDayOfWeek = 0;
  st.wDay = (WORD)day;
  st.wHour = (WORD)hour;
  st.wMinute = (WORD)minute;
  st.wSecond = (WORD)second;
  st.wMilliseconds = (WORD)millisecond;
  return SystemTimeToFileTime(&st, out) != FALSE;
}

FILETIME RKTime::toFileTime() {
  FILETIME ft;
  if (!toFileTimeValue(&ft)) {
    ft.dwLowDateTime = 0;
    ft.dwHighDateTime = 0;
  }
  return ft;
}

RKObject* RKTime::clone() {
  RKTime* copy = new (std::nothrow) RKTime(*this);
  if (!copy) return nullptr;
  copy->addRef();
  return copy;
}

RKTime* RKTime::now() {
  __time64_t seconds;
  _time64(&seconds);
  struct tm* local = _localtime64(&seconds);
  if (!local) return nullptr;
  RKTime* t = new (std::nothrow)
      RKTime(local->tm_year + 1900, local->tm_mon + 1, local->tm_mday, local->tm_hour, local->tm_min, local->tm_sec);
  if (!t) return nullptr;
  t->addRef();
  return t;
}

}  // namespace RKSDK
