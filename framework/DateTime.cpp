#include "framework/DateTime.h"

#include <QLocale>
#include <QString>
#include <cmath>
#include <cstdint>
#include <ctime>

#include "framework/Exceptions.h"

namespace {

// Day 0 of TDateTime (30 December 1899) counted from 1 January 1970.
constexpr int64_t kEpochShift = -25569;

const int kDaysPerMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

// Days since 1 January 1970 of a proleptic Gregorian date (after H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2 ? 1 : 0;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yearOfEra = y - era * 400;
  const int64_t dayOfYear = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t dayOfEra = z - era * 146097;
  const int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t mp = (5 * dayOfYear + 2) / 153;
  day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

}  // namespace

bool IsLeapYear(int year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month) {
  if (month < 1 || month > 12) return 0;
  return kDaysPerMonth[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
}

bool TryEncodeDate(int year, int month, int day, TDateTime& date) {
  if (year < 1 || year > 9999 || month < 1 || month > 12) return false;
  if (day < 1 || day > DaysInMonth(year, month)) return false;
  date = static_cast<TDateTime>(DaysFromCivil(year, month, day) - kEpochShift);
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime date = 0;
  if (!TryEncodeDate(year, month, day, date)) {
    throw EConvertError("Invalid argument to date encode");
  }
  return date;
}

bool IsValidDate(TDateTime date) {
  // The time of day of a date before the epoch is the fraction above the (negative) whole day,
  // so the day is the value cut toward zero.
  if (!std::isfinite(date)) return false;
  const double days = std::trunc(date);
  return days >= MinDateTime && days <= MaxDateTime;
}

void DecodeDate(TDateTime date, int& year, int& month, int& day) {
  if (!IsValidDate(date)) {
    year = month = day = 0;
    return;
  }
  CivilFromDays(static_cast<int64_t>(std::trunc(date)) + kEpochShift, year, month, day);
}

int DayOfWeek(TDateTime date) {
  if (!IsValidDate(date)) return 0;
  // Day 0 was a Saturday.
  const int64_t days = static_cast<int64_t>(std::trunc(date));
  return static_cast<int>(((days + 6) % 7 + 7) % 7) + 1;
}

TDateTime Date() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

std::string ShortDayName(int weekday) {
  static const char* const kEnglish[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  if (weekday < 1 || weekday > 7) return "";
  // The toolkit counts Monday as 1 and Sunday as 7.
  const int localeDay = weekday == 1 ? 7 : weekday - 1;
  const QString name = QLocale::system().dayName(localeDay, QLocale::ShortFormat);
  if (name.isEmpty()) return kEnglish[weekday - 1];
  return name.toStdString();
}
