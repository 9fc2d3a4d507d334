#include "support/date_time.h"

#include <gtest/gtest.h>

namespace velt {
namespace {

DateTime Date(int year, int month, int day) {
  DateTime value = -1e9;
  EXPECT_TRUE(TryEncodeDate(year, month, day, value)) << year << "-" << month << "-" << day;
  return value;
}

TEST(Calendar, KnowsLeapYearsAndMonthLengths) {
  EXPECT_TRUE(IsLeapYear(2000));
  EXPECT_TRUE(IsLeapYear(2016));
  EXPECT_FALSE(IsLeapYear(1900));
  EXPECT_FALSE(IsLeapYear(2018));
  EXPECT_EQ(DaysInMonth(2016, 2), 29);
  EXPECT_EQ(DaysInMonth(2018, 2), 28);
  EXPECT_EQ(DaysInMonth(2018, 4), 30);
  EXPECT_EQ(DaysInMonth(2018, 12), 31);
  EXPECT_EQ(DaysInMonth(2018, 0), 0);
  EXPECT_EQ(DaysInMonth(2018, 13), 0);

  EXPECT_TRUE(IsValidDate(2016, 2, 29));
  EXPECT_FALSE(IsValidDate(2018, 2, 29));
  EXPECT_FALSE(IsValidDate(1900, 2, 29));
  EXPECT_TRUE(IsValidDate(2000, 2, 29));
  EXPECT_FALSE(IsValidDate(2018, 4, 31));
  EXPECT_FALSE(IsValidDate(2018, 1, 0));
  EXPECT_FALSE(IsValidDate(0, 1, 1));
  EXPECT_FALSE(IsValidDate(10000, 1, 1));
  EXPECT_TRUE(IsValidDate(1, 1, 1));
  EXPECT_TRUE(IsValidDate(9999, 12, 31));
}

TEST(EncodeDate, CountsDaysFrom30December1899) {
  EXPECT_EQ(Date(1899, 12, 30), 0.0);
  EXPECT_EQ(Date(1899, 12, 31), 1.0);
  EXPECT_EQ(Date(1900, 1, 1), 2.0);
  EXPECT_EQ(Date(1900, 3, 1), 61.0);  // 1900 has no 29 February
  EXPECT_EQ(Date(1970, 1, 1), 25569.0);
  EXPECT_EQ(Date(2018, 3, 5), 43164.0);
  EXPECT_EQ(Date(1899, 12, 29), -1.0);

  DateTime untouched = 7.0;
  EXPECT_FALSE(TryEncodeDate(2018, 2, 29, untouched));
  EXPECT_FALSE(TryEncodeDate(2018, 13, 1, untouched));
  EXPECT_EQ(untouched, 7.0);

  const DateParts zero = DecodeDate(0);
  EXPECT_EQ(zero.year, 1899);
  EXPECT_EQ(zero.month, 12);
  EXPECT_EQ(zero.day, 30);
}

TEST(EncodeDate, RoundTripsEveryDayOverCenturies) {
  DateTime expected = Date(1800, 1, 1);
  for (int year = 1800; year <= 2100; ++year) {
    for (int month = 1; month <= 12; ++month) {
      for (int day = 1; day <= DaysInMonth(year, month); ++day) {
        DateTime value = 0;
        ASSERT_TRUE(TryEncodeDate(year, month, day, value));
        ASSERT_EQ(value, expected) << year << "-" << month << "-" << day;  // consecutive days
        const DateParts parts = DecodeDate(value + 0.75);                  // time of day ignored
        ASSERT_EQ(parts.year, year);
        ASSERT_EQ(parts.month, month);
        ASSERT_EQ(parts.day, day);
        expected += 1;
      }
    }
  }
  const DateParts first = DecodeDate(Date(1, 1, 1));
  EXPECT_EQ(first.year * 10000 + first.month * 100 + first.day, 10101);
  const DateParts last = DecodeDate(Date(9999, 12, 31));
  EXPECT_EQ(last.year * 10000 + last.month * 100 + last.day, 99991231);
}

TEST(EncodeTime, IsTheFractionOfADay) {
  DateTime t = -1;
  ASSERT_TRUE(TryEncodeTime(12, 0, 0, 0, t));
  EXPECT_DOUBLE_EQ(t, 0.5);
  ASSERT_TRUE(TryEncodeTime(23, 59, 59, 999, t));
  EXPECT_LT(t, 1.0);
  EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, t));
  EXPECT_FALSE(TryEncodeTime(0, 60, 0, 0, t));
  EXPECT_FALSE(TryEncodeTime(0, 0, 60, 0, t));
  EXPECT_FALSE(TryEncodeTime(0, 0, 0, 1000, t));
  EXPECT_FALSE(TryEncodeTime(-1, 0, 0, 0, t));

  // Every minute of a day comes back whole after being added to a date.
  const DateTime day = Date(2018, 3, 5);
  for (int minute = 0; minute < 24 * 60; ++minute) {
    ASSERT_TRUE(TryEncodeTime(minute / 60, minute % 60, 0, 0, t));
    const DateTime moment = day + t;
    const TimeParts parts = DecodeTime(moment);
    ASSERT_EQ(parts.hour * 60 + parts.minute, minute);
    ASSERT_EQ(parts.second, 0);
    ASSERT_EQ(DateOf(moment), day);
    ASSERT_EQ(DecodeDate(moment).day, 5);
  }
}

TEST(DecodeTime, KeepsDateAndTimeOfOneMomentInStep) {
  // A hair before midnight rounds to the next day's 00:00.
  const DateTime almost = Date(2018, 3, 5) + 0.99999999999;
  EXPECT_EQ(DecodeDate(almost).day, 6);
  EXPECT_EQ(DecodeTime(almost).hour, 0);
  EXPECT_EQ(DecodeTime(almost).millisecond, 0);
  EXPECT_EQ(DateOf(almost), Date(2018, 3, 6));

  // Before 1899 the time line runs on: -1.25 is 28 December 1899, 18:00.
  EXPECT_EQ(DecodeTime(-1.25).hour, 18);
  EXPECT_EQ(DecodeDate(-1.25).day, 28);
  EXPECT_EQ(DateOf(-1.25), -2.0);
  EXPECT_EQ(DateOf(43164.9), 43164.0);
}

}  // namespace
}  // namespace velt
