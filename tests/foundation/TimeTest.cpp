#include "RKTime.h"

#include <gtest/gtest.h>

#include <time.h>

using namespace RKSDK;

namespace {

ULONGLONG ticks(const FILETIME& ft) { return ((ULONGLONG)ft.dwHighDateTime << 32) | ft.dwLowDateTime; }

FILETIME fileTime(ULONGLONG t) {
  FILETIME ft;
  ft.dwLowDateTime = (DWORD)t;
  ft.dwHighDateTime = (DWORD)(t >> 32);
  return ft;
}

}  // namespace

TEST(Time, DefaultValueAndTextForms) {
  RKTime t;
  EXPECT_STREQ(t.toString().data, "1900-00-00 00:00:00");
  EXPECT_STREQ(t.toDateString().data, "1900-00-00");
  EXPECT_STREQ(t.getClassName(), "RKObject.RKTime");
  EXPECT_EQ(t.getDayOfWeek(), -1);
  EXPECT_EQ(t.getDayOfYear(), -1);
  EXPECT_EQ(ticks(t.toFileTime()), 0u);  // no date: a zeroed file time
  EXPECT_EQ(ticks(t.getTime()), 0u);

  RKTime leap(2000, 2, 29, 23, 59, 59);
  EXPECT_STREQ(leap.toString().data, "2000-02-29 23:59:59");
  RKTime notLeap(2023, 2, 29, 1, 2, 3);
  EXPECT_STREQ(notLeap.toString().data, "1900-00-00 00:00:00");
  RKTime negative(2023, 1, 1, -1, 0, 0);
  EXPECT_EQ(negative.getYear(), 1900);
  RKTime early(1899, 1, 1, 0, 0, 0);
  EXPECT_EQ(early.getMonth(), 0);
}

TEST(Time, ParseRoundTripsAndFailsWhole) {
  RKTime t;
  t.setMillisecond(123);
  EXPECT_EQ(t.parse(RKString("2024-02-29 13:05:09")), 1);
  EXPECT_STREQ(t.toString().data, "2024-02-29 13:05:09");
  EXPECT_EQ(t.getMillisecond(), 123);
  EXPECT_EQ(t.getHour(), 13);
  EXPECT_EQ(t.getMinute(), 5);
  EXPECT_EQ(t.getSecond(), 9);

  EXPECT_EQ(t.parse(RKString("2024-02-29")), 0);
  EXPECT_STREQ(t.toString().data, "1900-00-00 00:00:00");
  EXPECT_EQ(t.getMillisecond(), 0);

  EXPECT_EQ(t.parse(RKString("2024-1-2 3:4:5")), 1);
  EXPECT_STREQ(t.toString().data, "2024-01-02 03:04:05");
  EXPECT_EQ(t.parse(RKString("2024-13-40 99:99:99")), 1);  // no range checks
  EXPECT_EQ(t.getMonth(), 13);
  EXPECT_EQ(ticks(t.toFileTime()), 0u);
  // Each piece is cut at the first separator left: the day's piece before " 3" is empty.
  EXPECT_EQ(t.parse(RKString(" 7-x- 3 :: ")), 1);
  EXPECT_STREQ(t.toString().data, "0007-00-00 03:00:00");
  EXPECT_EQ(t.parse(RKString("")), 0);
}

TEST(Time, SettersKeepTheirRanges) {
  RKTime t(2024, 4, 30, 0, 0, 0);
  EXPECT_EQ(t.setDay(31), 0);
  EXPECT_EQ(t.getDay(), 30);
  EXPECT_EQ(t.setMonth(1), 1);
  EXPECT_EQ(t.setDay(31), 1);
  EXPECT_EQ(t.setMonth(2), 1);  // the day is not rechecked
  EXPECT_EQ(t.getDay(), 31);
  EXPECT_EQ(t.setMonth(13), 0);
  EXPECT_EQ(t.setHour(-1), 0);
  EXPECT_EQ(t.setHour(24), 0);
  EXPECT_EQ(t.setHour(23), 1);
  EXPECT_EQ(t.setMinute(60), 0);
  EXPECT_EQ(t.setSecond(60), 0);
  EXPECT_EQ(t.setSecond(59), 1);
  EXPECT_EQ(t.setYear(1899), 0);
  EXPECT_EQ(t.setYear(2100), 1);
  EXPECT_EQ(t.setMillisecond(-5), 1);
  EXPECT_EQ(t.clear(), 0);
  EXPECT_EQ(t.getYear(), 1900);

  EXPECT_EQ(t.daysInMonth(1900, 2), 28);
  EXPECT_EQ(t.daysInMonth(2000, 2), 29);
  EXPECT_EQ(t.daysInMonth(2024, 2), 29);
  EXPECT_EQ(t.daysInMonth(2023, 13), 0);
  EXPECT_EQ(t.daysInMonth(2023, 11), 30);
  EXPECT_EQ(t.isValidDay(2023, 0, 1), 0);
  EXPECT_EQ(t.isValidDay(2023, 12, 31), 1);
  EXPECT_EQ(t.isLeapYear(2100), 0);
}

TEST(Time, CalendarQueries) {
  RKTime newYear(2024, 1, 1, 0, 0, 0);
  EXPECT_EQ(newYear.getDayOfWeek(), 1);  // Monday
  EXPECT_EQ(newYear.getDayOfYear(), 0);
  RKTime lastDay(2024, 12, 31, 12, 0, 0);
  EXPECT_EQ(lastDay.getDayOfYear(), 365);
  RKTime old(1912, 6, 23, 0, 0, 0);  // before 1970 as well
  EXPECT_EQ(old.getDayOfWeek(), 0);
  EXPECT_EQ(old.getDayOfYear(), 174);
  RKTime badMs(2024, 1, 1, 0, 0, 0);
  badMs.setMillisecond(1000);
  EXPECT_EQ(badMs.getDayOfWeek(), -1);
  EXPECT_EQ(ticks(badMs.toFileTime()), 0u);
}

TEST(Time, FileTimeConversions) {
  RKTime zero(fileTime(0));
  EXPECT_STREQ(zero.toString().data, "1601-01-01 00:00:00");
  EXPECT_EQ(ticks(zero.toFileTime()), 0u);
  RKTime epoch(fileTime(116444736000000000ULL + 15 * 10000ULL));
  EXPECT_STREQ(epoch.toString().data, "1970-01-01 00:00:00");
  EXPECT_EQ(epoch.getMillisecond(), 15);
  EXPECT_EQ(ticks(epoch.getTime()), 116444736000000000ULL + 15 * 10000ULL);

  RKTime t(2024, 2, 29, 13, 5, 9);
  t.setMillisecond(250);
  RKTime back(t.toFileTime());
  EXPECT_STREQ(back.toString().data, "2024-02-29 13:05:09");
  EXPECT_EQ(back.getMillisecond(), 250);

  RKTime keep(2001, 1, 1, 0, 0, 0);
  EXPECT_EQ(keep.setFileTime(fileTime(1ULL << 63)), 0);  // beyond the system's range
  EXPECT_STREQ(keep.toString().data, "2001-01-01 00:00:00");
  EXPECT_EQ(keep.setTime(fileTime(0)), 1);
  EXPECT_EQ(keep.getYear(), 1601);
}

TEST(Time, NowAndCloneHoldAReference) {
  time_t before = time(nullptr);
  RKTime* now = RKTime::now();
  ASSERT_NE(now, nullptr);
  struct tm local;
  localtime_r(&before, &local);
  EXPECT_EQ(now->getYear(), local.tm_year + 1900);
  EXPECT_GE(now->getMonth(), 1);
  EXPECT_EQ(now->getMillisecond(), 0);
  RKTime* copy = dynamic_cast<RKTime*>(now->clone());
  ASSERT_NE(copy, nullptr);
  EXPECT_STREQ(copy->toString().data, now->toString().data);
  EXPECT_STREQ(copy->getClassName(), "RKObject.RKTime");
  EXPECT_EQ(copy->release(), 0u);
  EXPECT_EQ(now->release(), 0u);
}
