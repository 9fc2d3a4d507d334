#include "support/date_time.h"

#include <cmath>
#include <cstdint>

namespace velt {
namespace {

constexpr bool Leap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// The zero date, a constant, so that dates encoded by other modules' static
// initialisers are right too.
constexpr std::int64_t kEpoch = DaysFromCivil(1899, 12, 30);
constexpr std::int64_t kMsPerDay = 86400000;

// A value rounded to whole milliseconds, split into its whole days and the
// time of day. Rounding first keeps the date and the time of one moment in
// step: a hair before midnight is the next day at 00:00, not 23:59:59.999 of
// the day before.
struct DaysAndMs {
  std::int64_t days;
  std::int64_t ms;
};

DaysAndMs SplitValue(DateTime value) {
  const auto total = static_cast<std::int64_t>(std::llround(value * kMsPerDay));
  std::int64_t days = total / kMsPerDay;
  std::int64_t ms = total % kMsPerDay;
  if (ms < 0) {  // the time line runs on before 1899: days down, time forward
    ms += kMsPerDay;
    --days;
  }
  return {days, ms};
}

}  // namespace

bool IsLeapYear(int year) { return Leap(year); }

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsValidDate(int year, int month, int day) {
  return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
         day <= DaysInMonth(year, month);
}

bool TryEncodeDate(int year, int month, int day, DateTime& out) {
  if (!IsValidDate(year, month, day)) return false;
  out = static_cast<double>(DaysFromCivil(year, month, day) - kEpoch);
  return true;
}

bool TryEncodeTime(int hour, int minute, int second, int millisecond, DateTime& out) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || millisecond < 0 ||
      millisecond > 999)
    return false;
  out = (hour * 3600000.0 + minute * 60000.0 + second * 1000.0 + millisecond) / 86400000.0;
  return true;
}

DateParts DecodeDate(DateTime value) {
  // A whole day (every date the program encodes) is its own day number;
  // others are rounded to the millisecond first.
  const bool whole =
      value > -1e9 && value < 1e9 && static_cast<double>(static_cast<std::int64_t>(value)) == value;
  const std::int64_t days = whole ? static_cast<std::int64_t>(value) : SplitValue(value).days;
  return CivilFromDays(days + kEpoch);
}

DateParts CivilFromDays(std::int64_t days) {
  // Proleptic Gregorian, on days since 1970-01-01 shifted to 0000-03-01, so
  // that the leap day ends each year; exact over the whole 64-bit range,
  // where std::chrono's years end at 32767.
  std::int64_t z = days + 719468;
  std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  std::int64_t doe = z - era * 146097;
  std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  std::int64_t y = yoe + era * 400;
  std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  std::int64_t mp = (5 * doy + 2) / 153;
  DateParts parts;
  parts.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  parts.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  parts.year = static_cast<int>(y + (parts.month <= 2 ? 1 : 0));
  return parts;
}

TimeParts DecodeTime(DateTime value) {
  const std::int64_t ms = SplitValue(value).ms;
  TimeParts parts;
  parts.hour = static_cast<int>(ms / 3600000);
  parts.minute = static_cast<int>(ms / 60000 % 60);
  parts.second = static_cast<int>(ms / 1000 % 60);
  parts.millisecond = static_cast<int>(ms % 1000);
  return parts;
}

DateTime DateOf(DateTime value) { return static_cast<DateTime>(SplitValue(value).days); }

}  // namespace velt
