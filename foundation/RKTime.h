// A calendar date and clock time in seven fields, with text forms and file-time conversions.
#ifndef RKSDK_RKTIME_H
#define RKSDK_RKTIME_H

#include "RKObject.h"
#include "RKString.h"

#include <windows.h>

namespace RKSDK {

// The default value 1900-00-00 00:00:00.000 is no valid date. No zone is stored: the file-time
// conversions take the fields as universal time, now() fills local time.
class RKTime : public virtual RKObject {
 public:
  RKTime();
  explicit RKTime(FILETIME time);
  // All six values, or (when any is out of range) the default value.
  RKTime(int year, int month, int day, int hour, int minute, int second);
  RKTime(const RKTime& other);
  RKTime& operator=(const RKTime& other);
  ~RKTime() override;

  virtual int getDay();
  // Days since 1 January (0 to 365), or -1 when the fields form no valid date and time.
  virtual int getDayOfYear();
  // 0 Sunday to 6 Saturday, or -1 as getDayOfYear.
  virtual int getDayOfWeek();
  virtual int getHour();
  virtual int getMinute();
  virtual int getMonth();
  virtual int getSecond();
  virtual FILETIME getTime();
  virtual int getYear();
  // The setters store a value in range and return 1, else return 0 and change nothing.
  virtual int setDay(int day);
  virtual int setHour(int hour);
  virtual int setMinute(int minute);
  // The day is not rechecked.
  virtual int setMonth(int month);
  virtual int setSecond(int second);
  virtual int setTime(FILETIME time);
  // 1900 or later; the day is not rechecked.
  virtual int setYear(int year);
  // "YYYY-MM-DD hh:mm:ss" and "YYYY-MM-DD".
  virtual RKString toString();
  virtual RKString toDateString();
  virtual int setMillisecond(int millisecond);
  virtual int getMillisecond();
  // Back to the default value; returns 0.
  virtual int clear();
  // Reads "Y-M-D h:m:s" (each number as atoi reads it, no range checks). A missing separator
  // clears the value and gives 0.
  virtual int parse(RKString text);
  virtual int setFileTime(FILETIME time);
  virtual int isValidDay(int year, int month, int day);
  virtual int daysInMonth(int year, int month);
  virtual int isLeapYear(int year);
  // The fields as a file time; a zeroed file time when they form no valid date and time.
  virtual FILETIME toFileTime();

  // A new copy holding one reference.
  RKObject* clone() override;

  // The current local time to the second, holding one reference; null when out of memory.
  static RKTime* now();

 protected:
  // The fields as a system time; false when one does not fit its 16-bit field or the result
  // is no valid date and time.
  bool toFileTimeValue(FILETIME* out);

  int year;
  int month;
  int day;
  int hour;
  int minute;
  int second;
  int millisecond;
};

}  // namespace RKSDK

#endif
