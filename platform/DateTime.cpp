#include "platform/DateTime.h"

#include <cmath>

#include "platform/Exception.h"

namespace {

constexpr int64_t kUnixEpochDayCount = 25569;  // 1 January 1970 as a day count
constexpr int64_t kMillisecondsPerDay = 86400000;
constexpr double kMinDayCount = -693593.0;  // 1 January 0001
constexpr double kMaxDayCount = 2958466.0;  // 1 January 10000

bool IsLeapYear(int Year) { return Year % 4 == 0 && (Year % 100 != 0 || Year % 400 == 0); }

int DaysInMonth(int Year, int Month) {
  static constexpr int Days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return Month == 2 && IsLeapYear(Year) ? 29 : Days[Month - 1];
}

// Days since 1 January 1970 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t Year, int64_t Month, int64_t Day) {
  Year -= Month <= 2 ? 1 : 0;
  const int64_t Era = (Year >= 0 ? Year : Year - 399) / 400;
  const int64_t YearOfEra = Year - Era * 400;
  const int64_t DayOfYear = (153 * (Month + (Month > 2 ? -3 : 9)) + 2) / 5 + Day - 1;
  const int64_t DayOfEra = YearOfEra * 365 + YearOfEra / 4 - YearOfEra / 100 + DayOfYear;
  return Era * 146097 + DayOfEra - 719468;
}

void CivilFromDays(int64_t Days, LocalDateTime& Out) {
  Days += 719468;
  const int64_t Era = (Days >= 0 ? Days : Days - 146096) / 146097;
  const int64_t DayOfEra = Days - Era * 146097;
  const int64_t YearOfEra = (DayOfEra - DayOfEra / 1460 + DayOfEra / 36524 - DayOfEra / 146096) / 365;
  const int64_t DayOfYear = DayOfEra - (365 * YearOfEra + YearOfEra / 4 - YearOfEra / 100);
  const int64_t MonthIndex = (5 * DayOfYear + 2) / 153;
  Out.Day = static_cast<int>(DayOfYear - (153 * MonthIndex + 2) / 5 + 1);
  Out.Month = static_cast<int>(MonthIndex < 10 ? MonthIndex + 3 : MonthIndex - 9);
  Out.Year = static_cast<int>(YearOfEra + Era * 400 + (Out.Month <= 2 ? 1 : 0));
}

}  // namespace

double EncodeDateTime(int Year, int Month, int Day, int Hour, int Minute, int Second, int Millisecond) {
  if (Year < 1 || Year > 9999 || Month < 1 || Month > 12 || Day < 1 || Day > DaysInMonth(Year, Month)) {
    throw Exception(std::u16string(u"Invalid argument to date encode"));
  }
  if (Hour < 0 || Hour > 23 || Minute < 0 || Minute > 59 || Second < 0 || Second > 59 || Millisecond < 0 ||
      Millisecond > 999) {
    throw Exception(std::u16string(u"Invalid argument to time encode"));
  }
  const auto Date = static_cast<double>(DaysFromCivil(Year, Month, Day) + kUnixEpochDayCount);
  const double Time =
      static_cast<double>(((Hour * 60 + Minute) * 60 + Second) * 1000 + Millisecond) / kMillisecondsPerDay;
  // Before 30 December 1899 the time of day counts away from zero.
  return Date < 0 ? Date - Time : Date + Time;
}

LocalDateTime DecodeDateTime(double DayCount) {
  if (!(DayCount > kMinDayCount - 1 && DayCount < kMaxDayCount)) {
    throw Exception(std::u16string(u"Invalid date value"));
  }
  auto Days = static_cast<int64_t>(std::trunc(DayCount));
  auto Milliseconds = std::llround(std::fabs(DayCount - static_cast<double>(Days)) * kMillisecondsPerDay);
  if (Milliseconds >= kMillisecondsPerDay) {
    Milliseconds -= kMillisecondsPerDay;
    ++Days;
  }
  if (static_cast<double>(Days) < kMinDayCount || static_cast<double>(Days) >= kMaxDayCount) {
    throw Exception(std::u16string(u"Invalid date value"));
  }
  LocalDateTime Out;
  CivilFromDays(Days - kUnixEpochDayCount, Out);
  Out.Millisecond = static_cast<int>(Milliseconds % 1000);
  Out.Second = static_cast<int>(Milliseconds / 1000 % 60);
  Out.Minute = static_cast<int>(Milliseconds / 60000 % 60);
  Out.Hour = static_cast<int>(Milliseconds / 3600000);
  return Out;
}
