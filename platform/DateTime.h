#pragma once
// Day-count dates: whole days since 30 December 1899, the fraction the time of day.
#include <cstdint>
#include <string>

struct LocalDateTime {
  int Year = 0, Month = 0, Day = 0;
  int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};

// Raises "Invalid argument to date encode" / "Invalid argument to time encode"
// for fields that make no valid date (years 1 to 9999) or time.
double EncodeDateTime(int Year, int Month, int Day, int Hour, int Minute, int Second, int Millisecond);

// Raises "Invalid date value" for a day count outside years 1 to 9999 (or NaN).
LocalDateTime DecodeDateTime(double DayCount);
