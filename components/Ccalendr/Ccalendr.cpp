#include "components/Ccalendr/Ccalendr.h"

#include "framework/ClassRegistry.h"
#include "framework/Exceptions.h"

namespace {

const int kDaysPerMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

}  // namespace

TCCalendar::TCCalendar(TComponent* owner) : TCustomGrid(owner) {
  SetFixedCols(0);
  SetFixedRows(1);
  SetColCount(7);
  SetRowCount(7);
  SetStartOfWeek(1);
  SetScrollBars(TScrollStyle::ssNone);
  calendarDate_ = Date();
  Options().erase(goRangeSelect);
  Options().insert(goDrawFocusSelected);
  UpdateCalendar();
}

std::string TCCalendar::ClassName() const {
  return "TCCalendar";
}

TDateTime TCCalendar::CalendarDate() const {
  return calendarDate_;
}

bool TCCalendar::StoreCalendarDate() const {
  return !useCurrentDate_;
}

int TCCalendar::Day() const {
  return GetDateElement(3);
}

void TCCalendar::SetDay(int day) {
  SetDateElement(3, day);
}

int TCCalendar::Month() const {
  return GetDateElement(2);
}

void TCCalendar::SetMonth(int month) {
  SetDateElement(2, month);
}

int TCCalendar::Year() const {
  return GetDateElement(1);
}

void TCCalendar::SetYear(int year) {
  SetDateElement(1, year);
}

bool TCCalendar::ReadOnly() const {
  return readOnly_;
}

void TCCalendar::SetReadOnly(bool readOnly) {
  readOnly_ = readOnly;
}

int16_t TCCalendar::StartOfWeek() const {
  return startOfWeek_;
}

bool TCCalendar::UseCurrentDate() const {
  return useCurrentDate_;
}

int TCCalendar::DayOffset() const {
  return dayOffset_;
}

bool TCCalendar::UpdateInProgress() const {
  return updateInProgress_;
}

void TCCalendar::Change() {
  if (OnChange) OnChange(this);
}

bool TCCalendar::IsLeapYear(int year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int TCCalendar::DaysPerMonth(int year, int month) {
  if (month < 1 || month > 12) return 0;
  int days = kDaysPerMonth[month - 1];
  if (month == 2 && IsLeapYear(year)) ++days;
  return days;
}

int TCCalendar::DaysThisMonth() {
  return DaysPerMonth(Year(), Month());
}

std::string TCCalendar::GetCellText(int col, int row) {
  if (row == 0) return ShortDayName((startOfWeek_ + col) % 7 + 1);
  const int day = dayOffset_ + col + 7 * (row - 1);
  if (day < 1 || day > DaysThisMonth()) return "";
  return std::to_string(day);
}

void TCCalendar::DrawCell(int col, int row, const TRect& rect, int) {
  const std::string text = GetCellText(col, row);
  TCanvas& canvas = Canvas();
  const int x = rect.Left + (rect.Width() - canvas.TextWidth(text)) / 2;
  const int y = rect.Top + (rect.Height() - canvas.TextHeight(text)) / 2;
  canvas.TextRect(rect, x, y, text);
}

bool TCCalendar::SelectCell(int col, int row) {
  if (!updateInProgress_ && readOnly_) return false;
  if (GetCellText(col, row).empty()) return false;
  return TCustomGrid::SelectCell(col, row);
}

void TCCalendar::Click() {
  const std::string text = GetCellText(Col(), Row());
  if (!text.empty()) SetDateElement(3, std::stoi(text));
  // The control's own click event is raised as well, after the date has moved.
  TCustomGrid::Click();
}

int TCCalendar::GetDateElement(int index) const {
  int year, month, day;
  DecodeDate(calendarDate_, year, month, day);
  const int elements[] = {year, month, day};
  return index >= 1 && index <= 3 ? elements[index - 1] : -1;
}

void TCCalendar::SetDateElement(int index, int value) {
  if (value <= 0) return;
  int year, month, day;
  DecodeDate(calendarDate_, year, month, day);
  bool changed = false;
  if (index == 1) {
    changed = year != value;
    // The year element is 16 bits wide.
    year = static_cast<uint16_t>(value);
  } else if (index == 2 && value <= 12) {
    changed = month != value;
    month = value;
  } else if (index == 3 && value <= DaysThisMonth()) {
    changed = day != value;
    day = value;
  }
  if (!changed) return;
  calendarDate_ = EncodeDate(year, month, day);
  useCurrentDate_ = false;
  UpdateCalendar();
  Change();
}

void TCCalendar::SeTCCalendarDate(TDateTime date) {
  // A value that stands for no day could not be laid out as a month.
  if (!IsValidDate(date)) throw EConvertError("Invalid argument to date encode");
  calendarDate_ = date;
  UpdateCalendar();
  Change();
}

void TCCalendar::SetStartOfWeek(int16_t value) {
  if (value < 1 || value > 7) value = 1;
  if (value == startOfWeek_) return;
  startOfWeek_ = value;
  UpdateCalendar();
}

void TCCalendar::SetUseCurrentDate(bool value) {
  if (value == useCurrentDate_) return;
  useCurrentDate_ = value;
  if (value) {
    calendarDate_ = Date();
    UpdateCalendar();
  }
}

void TCCalendar::ChangeMonth(int delta) {
  int year, month, day;
  DecodeDate(calendarDate_, year, month, day);
  const int firstDay = day;
  day = delta > 0 ? DaysPerMonth(year, month) : 1;
  const TDateTime moved = EncodeDate(year, month, day) + delta;
  // Stepping past the first or the last encodable month is refused like any bad date.
  if (!IsValidDate(moved)) throw EConvertError("Invalid argument to date encode");
  DecodeDate(moved, year, month, day);
  day = DaysPerMonth(year, month) > firstDay ? firstDay : DaysPerMonth(year, month);
  SeTCCalendarDate(EncodeDate(year, month, day));
}

void TCCalendar::PrevMonth() {
  ChangeMonth(-1);
}

void TCCalendar::NextMonth() {
  ChangeMonth(1);
}

void TCCalendar::NextYear() {
  if (IsLeapYear(Year()) && Month() == 2 && Day() == 29) SetDateElement(3, 28);
  SetDateElement(1, Year() + 1);
}

void TCCalendar::PrevYear() {
  if (IsLeapYear(Year()) && Month() == 2 && Day() == 29) SetDateElement(3, 28);
  SetDateElement(1, Year() - 1);
}

void TCCalendar::UpdateCalendar() {
  updateInProgress_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{updateInProgress_};
  int year, month, day;
  DecodeDate(calendarDate_, year, month, day);
  const int firstWeekday = DayOfWeek(EncodeDate(year, month, 1));
  dayOffset_ = 2 - ((firstWeekday - startOfWeek_ + 7) % 7);
  if (dayOffset_ == 2) dayOffset_ = -5;
  MoveCurrent((day - dayOffset_) % 7, (day - dayOffset_) / 7 + 1, true, false);
  Invalidate();
}

void TCCalendar::WMSize(TMessage& message) {
  const int lines = 6 * GridLineWidth();
  SetDefaultColWidth((static_cast<int>(LoWord(message.LParam)) - lines) / 7);
  SetDefaultRowHeight((static_cast<int>(HiWord(message.LParam)) - lines) / 7);
}

void TCCalendar::Dispatch(TMessage& message) {
  if (message.Msg == WM_SIZE) {
    WMSize(message);
    return;
  }
  TCustomGrid::Dispatch(message);
}

void RegisterCcalendr() {
  using C = TCCalendar;
  RegisterComponentClass(
      TComponentClass{"TCCalendar",
                      "TWinControl",
                      [](TComponent* owner) -> TComponent* { return new TCCalendar(owner); },
                      {
                          {"Day", IntSetter(&C::SetDay), ""},
                          {"Month", IntSetter(&C::SetMonth), ""},
                          {"Year", IntSetter(&C::SetYear), ""},
                          {"ReadOnly", BoolSetter(&C::SetReadOnly), "false"},
                          {"StartOfWeek",
                           [](TComponent& c, const TPropertyValue& v) {
                             dynamic_cast<C&>(c).SetStartOfWeek(static_cast<int16_t>(v.AsInt()));
                           },
                           "1"},
                          {"UseCurrentDate", BoolSetter(&C::SetUseCurrentDate), "true"},
                          {"GridLineWidth", IntSetter(&C::SetGridLineWidth), "1"},
                          {"OnChange", EventSetter(&C::OnChange), ""},
                          {"OnDblClick", EventSetter(&C::OnDblClick), ""},
                          {"OnEnter", EventSetter(&C::OnEnter), ""},
                          {"OnExit", EventSetter(&C::OnExit), ""},
                          {"OnKeyDown", EventSetter(&C::OnKeyDown), ""},
                          {"OnKeyPress", EventSetter(&C::OnKeyPress), ""},
                          {"OnKeyUp", EventSetter(&C::OnKeyUp), ""},
                      }});
}
