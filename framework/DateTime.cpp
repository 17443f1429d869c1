#include "framework/DateTime.h"

#include <QLocale>
#include <QString>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <ctime>

#include "framework/Exceptions.h"

namespace {

// Day 0 of TDateTime (30 December 1899) counted from 1 January 1970.
constexpr int64_t kEpochShift = -25569;

const int kDaysPerMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

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
  const std::chrono::sys_days days = std::chrono::year(year) / month / day;
  date = static_cast<TDateTime>(days.time_since_epoch().count() - kEpochShift);
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
  const std::chrono::year_month_day civil{std::chrono::sys_days(
      std::chrono::days(static_cast<int64_t>(std::trunc(date)) + kEpochShift))};
  year = static_cast<int>(civil.year());
  month = static_cast<int>(static_cast<unsigned>(civil.month()));
  day = static_cast<int>(static_cast<unsigned>(civil.day()));
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
