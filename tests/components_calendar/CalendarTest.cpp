#include <gtest/gtest.h>

#include <QScrollBar>
#include <functional>
#include <memory>

#include "components/Ccalendr/Ccalendr.h"
#include "framework/Application.h"
#include "framework/DateTime.h"
#include "framework/Exceptions.h"
#include "framework/Form.h"
#include "support/ReferenceText.h"
#include "tests/support/ExpectMessage.h"
#include "tests/support/MessageLoop.h"
#include "tests/support/ShownPixels.h"

namespace {

class CalendarTest : public testing::Test {
 protected:
  void SetUp() override {
    // On a form that is shown, so that a change of size reaches the calendar as the window
    // system reports it.
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(0, 0, 640, 480);
    calendar = new TCCalendar(form.get());
    calendar->SetParent(form.get());
    form->Show();
    Resize(300, 200);
    calendar->OnChange = [this](TObject* sender) {
      EXPECT_EQ(sender, calendar);
      ++changes;
    };
  }

  void Resize(int width, int height) {
    calendar->SetBounds(0, 0, width, height);
    HandleWaitingMessages();
  }

  void SetDate(int year, int month, int day) {
    calendar->SeTCCalendarDate(EncodeDate(year, month, day));
    changes = 0;
  }

  void ExpectDate(int year, int month, int day) {
    EXPECT_EQ(calendar->Year(), year);
    EXPECT_EQ(calendar->Month(), month);
    EXPECT_EQ(calendar->Day(), day);
  }

  // Where a cell is at the size SetUp gives: 300 x 200 pixels make cells of 42 x 27 with lines
  // of 1 between them (ResizeSharesTheClientArea checks the sharing).
  static TRect Cell(int col, int row) {
    return Rect(col * 43, row * 28, col * 43 + 42, row * 28 + 27);
  }

  void ClickCell(int col, int row) {
    const TRect rect = Cell(col, row);
    calendar->DoMouseDown(mbLeft, ssLeft, rect.Left + 2, rect.Top + 2);
    calendar->DoMouseUp(mbLeft, 0, rect.Left + 2, rect.Top + 2);
  }

  std::pair<int, int> CurrentCell() const { return {calendar->Col(), calendar->Row()}; }
  std::string CurrentCellText() { return calendar->GetCellText(calendar->Col(), calendar->Row()); }

  void ExpectConvertError(const std::function<void()>& action) {
    ExpectThrowWithMessage<EConvertError>(action, "Invalid argument to date encode");
  }

  std::unique_ptr<TForm> form;
  TCCalendar* calendar = nullptr;  // owned by the form
  int changes = 0;
};

// A date taken from the clock, before and after the action that reads it: across midnight
// either is right.
bool IsTodayAround(TDateTime date, TDateTime before, TDateTime after) {
  return date == before || date == after;
}

// A new calendar shows today, and so does one told to use the current date again.
TEST_F(CalendarTest, ANewCalendarAndOneToldToUseTheCurrentDateShowToday) {
  const TDateTime before = Date();
  TCCalendar fresh(nullptr);
  EXPECT_TRUE(IsTodayAround(fresh.CalendarDate(), before, Date()));
  EXPECT_TRUE(fresh.UseCurrentDate());
  EXPECT_FALSE(fresh.StoreCalendarDate());
  EXPECT_EQ(fresh.GetCellText(fresh.Col(), fresh.Row()), std::to_string(fresh.Day()));

  SetDate(2001, 6, 1);
  calendar->SetDay(2);
  EXPECT_FALSE(calendar->UseCurrentDate());
  changes = 0;
  calendar->SetUseCurrentDate(false);
  ExpectDate(2001, 6, 2);
  const TDateTime beforeUse = Date();
  calendar->SetUseCurrentDate(true);
  const TDateTime today = calendar->CalendarDate();
  EXPECT_TRUE(IsTodayAround(today, beforeUse, Date()));
  EXPECT_EQ(CurrentCellText(), std::to_string(calendar->Day()));
  calendar->SetUseCurrentDate(false);
  EXPECT_EQ(calendar->CalendarDate(), today);
  EXPECT_EQ(changes, 0);
}

// Each cell below the headings holds the day (row - 1) * 7 + column + the offset, where that is a
// day of the month. A start of the week outside 1 to 7 is Monday.
TEST_F(CalendarTest, MonthsAreLaidOutFromTheWeekdayOfTheirFirst) {
  const struct {
    int y, m, d, startOfWeek, offset, days, col, row;
  } months[] = {
      {2024, 1, 17, 1, 1, 31, 2, 3},   // 1 January 2024 was a Monday
      {2024, 2, 10, 1, -2, 29, 5, 2},  // 1 February a Thursday, in a leap year
      {2024, 12, 1, 1, -5, 31, 6, 1},  // 1 December a Sunday
      {2024, 12, 1, 7, 1, 31, 0, 1},   // weeks from Sunday
      {2024, 12, 1, 0, -5, 31, 6, 1}, {2024, 12, 1, 3, -3, 31, 4, 1},
      {2024, 12, 1, 8, -5, 31, 6, 1},
  };
  for (const auto& month : months) {
    SCOPED_TRACE(std::to_string(month.m) + ", start of week " + std::to_string(month.startOfWeek));
    SetDate(month.y, month.m, month.d);
    calendar->SetStartOfWeek(static_cast<int16_t>(month.startOfWeek));
    const int start = month.startOfWeek >= 1 && month.startOfWeek <= 7 ? month.startOfWeek : 1;
    EXPECT_EQ(calendar->StartOfWeek(), start);
    EXPECT_EQ(calendar->DayOffset(), month.offset);
    EXPECT_EQ(calendar->DaysThisMonth(), month.days);
    EXPECT_EQ(CurrentCell(), std::make_pair(month.col, month.row));
    for (int col = 0; col < 7; ++col) {
      EXPECT_EQ(calendar->GetCellText(col, 0), ShortDayName((start + col) % 7 + 1)) << col;
      for (int row = 1; row < 7; ++row) {
        const int day = (row - 1) * 7 + col + month.offset;
        EXPECT_EQ(calendar->GetCellText(col, row),
                  day >= 1 && day <= month.days ? std::to_string(day) : "")
            << col << "," << row;
      }
    }
    // Laying the month out again is no change of the date.
    EXPECT_EQ(changes, 0);
  }
}

TEST_F(CalendarTest, ClickingADayPicksItThenRaisesOnClickUnlessReadOnly) {
  SetDate(2024, 1, 17);
  int clicks = 0;
  calendar->OnClick = [&](TObject*) {
    ++clicks;
    EXPECT_EQ(calendar->Day(), 12);
  };
  ClickCell(4, 2);  // 12 January
  ExpectDate(2024, 1, 12);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(calendar->UseCurrentDate());
  EXPECT_TRUE(calendar->StoreCalendarDate());
  // Read-only, it refuses the user's clicks and keys, but not the program's changes.
  calendar->OnClick = nullptr;
  SetDate(2024, 1, 17);
  calendar->SetReadOnly(true);
  ClickCell(4, 2);
  calendar->DoKeyDown(VK_RIGHT, 0);
  ExpectDate(2024, 1, 17);
  EXPECT_EQ(changes, 0);
  calendar->SetDay(5);
  ExpectDate(2024, 1, 5);
  EXPECT_EQ(CurrentCellText(), "5");
  calendar->NextMonth();
  ExpectDate(2024, 2, 5);
  EXPECT_EQ(CurrentCellText(), "5");
  EXPECT_EQ(changes, 2);
}

TEST_F(CalendarTest, ArrowKeysMoveTheDayButEmptyCellsCannotBePicked) {
  SetDate(2024, 12, 1);
  ClickCell(0, 1);  // before day 1
  ClickCell(3, 6);  // after day 31
  ExpectDate(2024, 12, 1);
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(CurrentCell(), std::make_pair(6, 1));
  // Moving left from day 1 would land on an empty cell.
  calendar->DoKeyDown(VK_LEFT, 0);
  ExpectDate(2024, 12, 1);
  EXPECT_EQ(changes, 0);
  // The heading row is not a day either.
  ClickCell(6, 0);
  ExpectDate(2024, 12, 1);
  // The arrow keys move the day.
  SetDate(2024, 1, 17);
  for (const WORD key : {VK_RIGHT, VK_DOWN, VK_UP, VK_UP}) calendar->DoKeyDown(key, 0);
  ExpectDate(2024, 1, 11);
  EXPECT_EQ(changes, 4);
}

TEST_F(CalendarTest, MonthAndYearStepsClampTheDay) {
  using StepMethod = void (TCCalendar::*)();
  const StepMethod next = &TCCalendar::NextMonth, prev = &TCCalendar::PrevMonth;
  const StepMethod nextYear = &TCCalendar::NextYear, prevYear = &TCCalendar::PrevYear;
  struct Step {
    int y, m, d;
    StepMethod step;
    int y2, m2, d2, changes;
  };
  const Step steps[] = {
      {2023, 1, 31, next, 2023, 2, 28, 1},     {2024, 1, 31, next, 2024, 2, 29, 1},
      {2023, 3, 31, prev, 2023, 2, 28, 1},     {2024, 3, 31, prev, 2024, 2, 29, 1},
      {2023, 12, 15, next, 2024, 1, 15, 1},    {2024, 1, 15, prev, 2023, 12, 15, 1},
      {2023, 5, 31, next, 2023, 6, 30, 1},     {2023, 1, 1, prev, 2022, 12, 1, 1},
      {2000, 2, 29, nextYear, 2001, 2, 28, 2}, {2004, 2, 29, prevYear, 2003, 2, 28, 2},
      {2000, 3, 10, nextYear, 2001, 3, 10, 1}, {2000, 2, 28, nextYear, 2001, 2, 28, 1},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(std::to_string(s.y) + "-" + std::to_string(s.m) + "-" + std::to_string(s.d));
    SetDate(s.y, s.m, s.d);
    std::invoke(s.step, *calendar);
    ExpectDate(s.y2, s.m2, s.d2);
    EXPECT_EQ(changes, s.changes);
    EXPECT_EQ(CurrentCellText(), std::to_string(s.d2));
    if (s.step == next || s.step == prev) {
      EXPECT_TRUE(calendar->UseCurrentDate());
    }
  }
}

TEST_F(CalendarTest, LeapYearsAndDaysPerMonth) {
  for (const int year : {2000, 1900, 2004, 2001}) {
    const bool leap = year % 4 == 0 && year != 1900;
    EXPECT_EQ(calendar->IsLeapYear(year), leap) << year;
    EXPECT_EQ(calendar->DaysPerMonth(year, 2), leap ? 29 : 28) << year;
  }
  EXPECT_EQ(calendar->DaysPerMonth(2001, 12), 31);
  EXPECT_EQ(calendar->DaysPerMonth(2001, 13), 0);
}

TEST_F(CalendarTest, IgnoredValuesChangeNothing) {
  SetDate(2023, 4, 12);
  const TDateTime shown = calendar->CalendarDate();
  ASSERT_TRUE(calendar->UseCurrentDate());
  // By element (1 year, 2 month, 3 day): the ones it has, values of 0 and below, a day beyond
  // this short month, a month beyond 12, an element that is none.
  const std::pair<int, int> ignored[] = {{3, 12}, {2, 4},  {1, 2023}, {3, 0},     {3, -3}, {3, 32},
                                         {3, 31}, {2, 13}, {2, 0},    {1, -2024}, {4, 1}};
  for (const auto& [element, value] : ignored) calendar->SetDateElement(element, value);
  EXPECT_EQ(calendar->CalendarDate(), shown);
  EXPECT_TRUE(calendar->UseCurrentDate());
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(calendar->GetDateElement(0), -1);
  EXPECT_EQ(calendar->GetDateElement(4), -1);
  calendar->SetDay(30);  // its last day is not beyond it
  ExpectDate(2023, 4, 30);
  EXPECT_EQ(changes, 1);
}

TEST_F(CalendarTest, ImpossibleDatesThrowAndChangeNothing) {
  SetDate(2023, 1, 31);
  const std::pair<int, int> cell = CurrentCell();
  ExpectConvertError([this] { calendar->SetMonth(2); });
  ExpectConvertError([this] { calendar->SetYear(10000); });
  ExpectConvertError([this] { calendar->SetYear(65536); });  // only 16 bits: year 0
  ExpectDate(2023, 1, 31);
  EXPECT_TRUE(calendar->UseCurrentDate());
  EXPECT_EQ(CurrentCell(), cell);
  EXPECT_EQ(changes, 0);

  SetDate(2024, 2, 29);
  ExpectConvertError([this] { calendar->SetYear(2023); });
  ExpectDate(2024, 2, 29);
  EXPECT_EQ(changes, 0);

  // The low 16 bits of 67560 are 2024.
  SetDate(2023, 6, 1);
  calendar->SetYear(67560);
  ExpectDate(2024, 6, 1);
}

TEST_F(CalendarTest, DatesOutsideTheCalendarAreRefusedAndTheSameDateStillFires) {
  SetDate(2023, 6, 1);
  const TDateTime before = calendar->CalendarDate();
  calendar->SeTCCalendarDate(before);
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(calendar->UseCurrentDate());
  changes = 0;
  ExpectConvertError([this] { calendar->SeTCCalendarDate(1e12); });
  ExpectConvertError([this] { calendar->SeTCCalendarDate(MinDateTime - 1); });
  EXPECT_EQ(calendar->CalendarDate(), before);

  SetDate(9999, 12, 15);
  ExpectConvertError([this] { calendar->NextMonth(); });
  ExpectDate(9999, 12, 15);
  SetDate(1, 1, 15);
  ExpectConvertError([this] { calendar->PrevMonth(); });
  ExpectDate(1, 1, 15);
  EXPECT_EQ(changes, 0);
}

// The seventh column and row end, with the line behind them, where the shared size says.
TEST_F(CalendarTest, ResizeSharesTheClientArea) {
  const struct {
    int width, height, line, colWidth, rowHeight;
  } sizes[] = {{300, 200, 1, 42, 27},  // (300 - 6) div 7, (200 - 6) div 7
               {370, 250, 1, 52, 34},
               {300, 200, 2, 41, 26},
               {70, 7, 0, 10, 1}};
  for (const auto& size : sizes) {
    calendar->SetGridLineWidth(size.line);
    Resize(size.width, size.height);
    const int right = 7 * (size.colWidth + size.line), bottom = 7 * (size.rowHeight + size.line);
    int col = 0, row = 0;
    EXPECT_TRUE(calendar->MouseToCell(right - 1, bottom - 1, col, row) && col == 6 && row == 6);
    EXPECT_FALSE(calendar->MouseToCell(right, bottom, col, row)) << size.width;
  }
}

class CalendarPicture : public CalendarTest {
 protected:
  void Render() {
    SetDate(2024, 1, 17);
    picture = ShownPixels(*calendar);
    ASSERT_EQ(picture.Width(), 300);
  }

  // The cell less `margin` pixels each side: its name or number where the font engine puts text
  // centred in the cell's rectangle, the background elsewhere. Returns the count of ink pixels.
  int ExpectCentredText(const TRect& cell, int margin, const std::string& text, TColor ink,
                        TColor background) {
    const QPoint origin = CentredTextOrigin(calendar->Font(), text, cell.Width(), cell.Height());
    const TextInk glyphs(calendar->Font(), text, cell.Width(), cell.Height(), origin);
    int inkCount = 0;
    for (int y = cell.Top + margin; y < cell.Bottom - margin; ++y) {
      for (int x = cell.Left + margin; x < cell.Right - margin; ++x) {
        const bool isInk = glyphs(x - cell.Left, y - cell.Top);
        inkCount += isInk;
        const TColor expected = ColorToRGB(isInk ? ink : background);
        if (PixelAt(picture, x, y) != expected) {
          ADD_FAILURE() << text << " at " << x << "," << y;
          return inkCount;
        }
      }
    }
    return inkCount;
  }

  TPixelBuffer picture;
};

TEST_F(CalendarPicture, HeadingsAreRaisedCellsWithTheirDayNamesCentred) {
  Render();
  for (int col = 0; col < 7; ++col) {
    SCOPED_TRACE(col);
    const TRect cell = Cell(col, 0);
    // Light along the top and left, dark along the right and bottom.
    for (int x = cell.Left; x < cell.Right; ++x)
      EXPECT_EQ(PixelAt(picture, x, cell.Top), ColorToRGB(clBtnHighlight)) << x;
    for (int x = cell.Left + 1; x < cell.Right; ++x)
      EXPECT_EQ(PixelAt(picture, x, cell.Bottom - 1), ColorToRGB(clBtnShadow)) << x;
    for (int y = cell.Top; y < cell.Bottom; ++y)
      EXPECT_EQ(PixelAt(picture, cell.Left, y), ColorToRGB(clBtnHighlight)) << y;
    for (int y = cell.Top + 1; y < cell.Bottom; ++y)
      EXPECT_EQ(PixelAt(picture, cell.Right - 1, y), ColorToRGB(clBtnShadow)) << y;
    // Monday first: the locale's short names from Monday to Sunday.
    const std::string name = ShortDayName(col == 6 ? 1 : col + 2);
    EXPECT_GT(ExpectCentredText(cell, 1, name, calendar->Font().Color(), clBtnFace), 0);
  }
}

TEST_F(CalendarPicture, DayNumbersAreCentredInTheirCells) {
  Render();
  // 23 January 2024, a Tuesday: column 1 of row 4, not the chosen day.
  EXPECT_GT(ExpectCentredText(Cell(1, 4), 0, "23", calendar->Font().Color(), clWindow), 0);
  // The chosen day, 17 January, in the selection colours, inside the focus frame.
  EXPECT_GT(ExpectCentredText(Cell(2, 3), 1, "17", clHighlightText, clHighlight), 0);
  // Cells outside the month are empty.
  EXPECT_EQ(ExpectCentredText(Cell(6, 6), 0, "", clBlack, clWindow), 0);
}

// The grid base on its own: a table larger than its window scrolls with bars and keys.
TEST(GridScrolling, BarsAppearOnlyWhenCellsDoNotFit) {
  TCustomGrid grid(nullptr);
  grid.SetColCount(4);
  grid.SetRowCount(4);
  // Room for the cells and for a vertical bar beside them.
  grid.SetBounds(0, 0, 4 * 65 + 30, 4 * 25 + 4);
  // The bars' values are the first scrollable row and column shown.
  QScrollBar* bars[2];
  for (QScrollBar* bar : grid.Widget()->findChildren<QScrollBar*>())
    bars[bar->orientation() == Qt::Vertical ? 0 : 1] = bar;
  EXPECT_FALSE(grid.VerticalScrollBarShown());
  EXPECT_FALSE(grid.HorizontalScrollBarShown());
  grid.SetRowCount(20);
  EXPECT_TRUE(grid.VerticalScrollBarShown());
  EXPECT_FALSE(grid.HorizontalScrollBarShown());
  EXPECT_LT(grid.ClientWidth(), grid.Width());
  grid.SetColCount(12);
  EXPECT_TRUE(grid.HorizontalScrollBarShown());
  // Moving to the far corner scrolls it into view; the fixed row and column stay.
  grid.DoKeyDown(VK_END, ssCtrl);
  EXPECT_EQ(grid.Col(), 11);
  EXPECT_EQ(grid.Row(), 19);
  for (QScrollBar* bar : bars) EXPECT_EQ(bar->value(), bar->maximum());
  int col = -1, row = -1;
  EXPECT_TRUE(grid.MouseToCell(1, 1, col, row) && col == 0 && row == 0);
  grid.DoKeyDown(VK_HOME, ssCtrl);
  for (QScrollBar* bar : bars) EXPECT_EQ(bar->value(), 1);
  grid.SetScrollBars(TScrollStyle::ssNone);
  EXPECT_FALSE(grid.VerticalScrollBarShown());
  EXPECT_FALSE(grid.HorizontalScrollBarShown());
  EXPECT_EQ(grid.ClientWidth(), grid.Width());
  // Scrolled to the far corner, then grown to fit every cell: it shows them all again.
  grid.DoKeyDown(VK_END, ssCtrl);
  grid.SetBounds(0, 0, 12 * 65, 20 * 25);
  EXPECT_TRUE(grid.MouseToCell(70, 30, col, row) && col == 1 && row == 1);
}

}  // namespace
