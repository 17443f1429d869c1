#pragma once
// TCCalendar: one month as a 7 x 7 grid, a heading row of weekday names over six rows of day
// numbers. The user picks a day by clicking its cell or moving to it with the arrow keys; code
// reads and sets the date as a whole or by day, month and year and steps by month or year.

#include <cstdint>
#include <string>

#include "framework/DateTime.h"
#include "framework/Grid.h"

class TCCalendar : public TCustomGrid {
 public:
  explicit TCCalendar(TComponent* owner);
  std::string ClassName() const override;

  virtual void Change();
  virtual int DaysThisMonth();
  virtual bool IsLeapYear(int year);
  virtual void UpdateCalendar();
  // The length of a month (1 ... 12) of a year; 0 for a month outside that range.
  virtual int DaysPerMonth(int year, int month);

  // The selected date; only its whole days count.
  TDateTime CalendarDate() const;
  // Sets the date and fires OnChange, even when it is the date already shown. Throws
  // EConvertError for a value that stands for no day of the years 1 ... 9999.
  void SeTCCalendarDate(TDateTime date);
  // The date is worth storing only when it does not follow today.
  bool StoreCalendarDate() const;

  // 1 = year, 2 = month, 3 = day; -1 for any other index.
  int GetDateElement(int index) const;
  void SetDateElement(int index, int value);
  int Day() const;
  void SetDay(int day);
  int Month() const;
  void SetMonth(int month);
  int Year() const;
  void SetYear(int year);

  bool ReadOnly() const;
  void SetReadOnly(bool readOnly);
  // Weekday of column 0: 1 = Monday ... 7 = Sunday; other values are taken as 1.
  int16_t StartOfWeek() const;
  void SetStartOfWeek(int16_t value);
  bool UseCurrentDate() const;
  void SetUseCurrentDate(bool value);

  // The day that column 0 of row 1 stands for; below 1 that cell is empty.
  int DayOffset() const;
  bool UpdateInProgress() const;

  // The heading (row 0) or the day number of a cell; empty for cells outside the month.
  std::string GetCellText(int col, int row);

  void ChangeMonth(int delta);
  void PrevMonth();
  void NextMonth();
  void NextYear();
  void PrevYear();

  void Dispatch(TMessage& message) override;

  TNotifyEvent OnChange;

 protected:
  void DrawCell(int col, int row, const TRect& rect, int state) override;
  bool SelectCell(int col, int row) override;
  void Click() override;
  // The new client size: the columns and rows share it evenly.
  void WMSize(TMessage& message);

 private:
  TDateTime calendarDate_ = 0;
  int dayOffset_ = 1;
  bool readOnly_ = false;
  int16_t startOfWeek_ = 0;
  bool updateInProgress_ = false;
  bool useCurrentDate_ = true;
};

// Registers TCCalendar and its published properties for form descriptions.
void RegisterCcalendr();
