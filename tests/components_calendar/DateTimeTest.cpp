#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <tuple>

#include "framework/DateTime.h"
#include "framework/Exceptions.h"
#include "tests/support/ExpectMessage.h"

namespace {

// -1 stands for an element the decoding left unwritten.
std::tuple<int, int, int> Decoded(TDateTime date) {
  int y = -1, m = -1, d = -1;
  DecodeDate(date, y, m, d);
  return {y, m, d};
}

}  // namespace

TEST(DateTime, DayCountsFromTheEpoch) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(EncodeDate(1899, 12, 31), 1.0);
  EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
  EXPECT_EQ(EncodeDate(2000, 1, 1), 36526.0);
  EXPECT_EQ(EncodeDate(1, 1, 1), MinDateTime);
  EXPECT_EQ(EncodeDate(9999, 12, 31), MaxDateTime);
  // Today is a whole day.
  EXPECT_EQ(Date(), std::floor(Date()));
  EXPECT_TRUE(IsValidDate(Date()));
}

TEST(DateTime, DecodeUndoesEncodeAcrossTheRange) {
  // Every first and last day of a month over four centuries, across the epoch.
  for (int year = 1799; year <= 2201; ++year)
    for (int month = 1; month <= 12; ++month)
      for (int day : {1, DaysInMonth(year, month)})
        ASSERT_EQ(Decoded(EncodeDate(year, month, day)), std::make_tuple(year, month, day));
}

TEST(DateTime, TimeOfDayDoesNotChangeTheDay) {
  EXPECT_EQ(Decoded(EncodeDate(2024, 3, 5) + 0.99), std::make_tuple(2024, 3, 5));
  // Before the epoch the fraction counts from the whole day toward zero.
  EXPECT_EQ(Decoded(-1.25), std::make_tuple(1899, 12, 29));
}

TEST(DateTime, EncodeRefusesImpossibleDates) {
  const int dates[][3] = {{0, 1, 1},     {10000, 1, 1}, {2023, 0, 1},  {2023, 13, 1},
                          {2023, 2, 29}, {1900, 2, 29}, {2023, 4, 31}, {2023, 1, 0}};
  for (const auto& date : dates) {
    SCOPED_TRACE(std::to_string(date[0]) + "-" + std::to_string(date[1]) + "-" +
                 std::to_string(date[2]));
    ExpectThrowWithMessage<EConvertError>([&] { EncodeDate(date[0], date[1], date[2]); },
                                          "Invalid argument to date encode");
  }
  EXPECT_NO_THROW(EncodeDate(2000, 2, 29));
}

TEST(DateTime, ValuesOutsideTheRangeDecodeToZero) {
  for (double value :
       {MaxDateTime + 1, MinDateTime - 1, 1e300, std::numeric_limits<double>::quiet_NaN(),
        std::numeric_limits<double>::infinity()}) {
    EXPECT_EQ(Decoded(value), std::make_tuple(0, 0, 0));
    EXPECT_FALSE(IsValidDate(value));
    EXPECT_EQ(DayOfWeek(value), 0);
  }
}

TEST(DateTime, WeekdaysCountFromSundayAndHaveShortNames) {
  EXPECT_EQ(DayOfWeek(0), 7);                        // 30 December 1899, a Saturday
  EXPECT_EQ(DayOfWeek(EncodeDate(2024, 1, 1)), 2);   // Monday
  EXPECT_EQ(DayOfWeek(EncodeDate(2024, 12, 1)), 1);  // Sunday
  EXPECT_EQ(DayOfWeek(EncodeDate(1, 1, 1)), 2);      // Monday
  EXPECT_EQ(DayOfWeek(EncodeDate(1776, 7, 4)), 5);   // Thursday
  // Each has a short name of its own.
  for (int weekday = 1; weekday <= 7; ++weekday) EXPECT_FALSE(ShortDayName(weekday).empty());
  EXPECT_NE(ShortDayName(1), ShortDayName(2));
  EXPECT_EQ(ShortDayName(0), "");
  EXPECT_EQ(ShortDayName(8), "");
}
