#pragma once
// Date-time values as the conversion counts them: days since 30 December 1899
// (value 0), the time of day as the fraction. Value 0 is the "zero date" that
// the conversion writes when a date is missing.
#include <chrono>
#include <cstdint>

namespace velt {

using DateTime = double;

struct DateParts {
  int year = 0, month = 0, day = 0;
};
struct TimeParts {
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);            // 0 for a month outside 1..12
bool IsValidDate(int year, int month, int day);  // years 1..9999

// False (and out untouched) when the date or time does not exist.
bool TryEncodeDate(int year, int month, int day, DateTime& out);
bool TryEncodeTime(int hour, int minute, int second, int millisecond, DateTime& out);

DateParts DecodeDate(DateTime value);

// Days since 1970-01-01 of a date that exists (IsValidDate), and the date of
// any day number.
constexpr std::int64_t DaysFromCivil(int year, int month, int day) {
  using namespace std::chrono;
  const year_month_day date{std::chrono::year(year), std::chrono::month(static_cast<unsigned>(month)),
                            std::chrono::day(static_cast<unsigned>(day))};
  return sys_days(date).time_since_epoch().count();
}
DateParts CivilFromDays(std::int64_t days);
TimeParts DecodeTime(DateTime value);

// The calendar date of a value (its time of day dropped).
DateTime DateOf(DateTime value);

}  // namespace velt
