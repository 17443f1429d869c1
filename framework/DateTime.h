#pragma once
// Dates as day counts: a TDateTime is the number of days since 30 December 1899, with the time
// of day as the fraction. Only the whole days matter to the services below.

#include <string>

using TDateTime = double;

// The first and last day that can be encoded: 1 January 1 and 31 December 9999.
constexpr TDateTime MinDateTime = -693593.0;
constexpr TDateTime MaxDateTime = 2958465.0;

bool IsLeapYear(int year);
// Days in a month of a year; 0 for a month outside 1 ... 12.
int DaysInMonth(int year, int month);

// The date as a day count. Throws EConvertError "Invalid argument to date encode" unless the
// year is 1 ... 9999, the month 1 ... 12 and the day within the month.
TDateTime EncodeDate(int year, int month, int day);
// As EncodeDate, reporting a bad argument by the result instead.
bool TryEncodeDate(int year, int month, int day, TDateTime& date);

// Splits a date into its year, month and day. A value outside the encodable range (or not a
// number) gives zero for all three.
void DecodeDate(TDateTime date, int& year, int& month, int& day);

// Whether a value stands for a day that EncodeDate can produce.
bool IsValidDate(TDateTime date);

// 1 = Sunday ... 7 = Saturday.
int DayOfWeek(TDateTime date);

// Today's local date, without the time of day.
TDateTime Date();

// The locale's abbreviated name of a weekday, 1 = Sunday ... 7 = Saturday; the English
// abbreviation when the locale gives none. Empty for an index outside 1 ... 7.
std::string ShortDayName(int weekday);
