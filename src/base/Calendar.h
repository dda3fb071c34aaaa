// Proleptic Gregorian calendar arithmetic on counts of seconds since
// 1970-01-01 00:00:00, with every day 86,400 seconds long.
#pragma once

#include <cstdint>

namespace Calendar {

constexpr int64_t kSecondsPerDay = 86400;

constexpr bool IsLeap(int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// The days of `month` (1-12) in `year`.
constexpr unsigned DaysInMonth(int64_t year, unsigned month) {
  constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

// Whether the fields name a real date and time: month 1-12, a day of that
// month, hour 0-23, minute and second 0-59.
constexpr bool ValidFields(int64_t y, int m, int d, int hh, int mm, int ss) {
  return m >= 1 && m <= 12 && d >= 1 &&
         static_cast<unsigned>(d) <= DaysInMonth(y, static_cast<unsigned>(m)) && hh >= 0 && hh <= 23 &&
         mm >= 0 && mm <= 59 && ss >= 0 && ss <= 59;
}

// Days from 1970-01-01 to the given date.
constexpr int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

struct Fields {
  int64_t year = 0;
  unsigned month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// The calendar fields of a count of seconds since 1970-01-01 00:00:00.
constexpr Fields FieldsFromSeconds(int64_t seconds) {
  int64_t days = seconds / kSecondsPerDay;
  int64_t rest = seconds % kSecondsPerDay;
  if (rest < 0) rest += kSecondsPerDay, days -= 1;
  Fields f;
  f.hour = static_cast<unsigned>(rest / 3600);
  f.minute = static_cast<unsigned>(rest / 60 % 60);
  f.second = static_cast<unsigned>(rest % 60);
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto doe = static_cast<unsigned>(days - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  f.day = doy - (153 * mp + 2) / 5 + 1;
  f.month = mp < 10 ? mp + 3 : mp - 9;
  f.year = static_cast<int64_t>(yoe) + era * 400 + (f.month <= 2);
  return f;
}

// Seconds since 1970-01-01 00:00:00 of the given calendar fields.
constexpr int64_t SecondsFromFields(int64_t y, unsigned m, unsigned d, unsigned hh, unsigned mm,
                                    unsigned ss) {
  return DaysFromCivil(y, m, d) * kSecondsPerDay + int64_t{hh} * 3600 + int64_t{mm} * 60 + ss;
}

// The calendar the program shows: 1601-01-01 00:00:00 (where Windows file
// times start) to 9999-12-31 23:59:59 (the last year of four digits).
constexpr int64_t kFirstYear = 1601;
constexpr int64_t kLastYear = 9999;
constexpr int64_t kFirstSecond = SecondsFromFields(kFirstYear, 1, 1, 0, 0, 0);
constexpr int64_t kLastSecond = SecondsFromFields(kLastYear, 12, 31, 23, 59, 59);

// 100-nanosecond units from 1601-01-01 to 1970-01-01.
constexpr int64_t kUnixEpochTicks = 116444736000000000;
constexpr int64_t kTicksPerSecond = 10000000;

}  // namespace Calendar
