#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <memory>
#include <string>

#include "components/Cgauges/Cgauges.h"
#include "components/DisplayComponents.h"
#include "framework/FormReader.h"
#include "framework/Panel.h"
#include "framework/StandardClasses.h"
#include "support/ReferenceText.h"
#include "tests/support/ExpectMessage.h"
#include "tests/support/PaintCounted.h"
#include "tests/support/PixelChecks.h"

namespace {

bool IsFrame(int x, int y) {
  return x == 0 || y == 0 || x == 99 || y == 99;
}

// The pixels of the percentage text on a 100 x 100 single-bordered gauge: centred in the area
// (1, 1, 99, 99) by the canvas coordinates (99 - text width) div 2 and (99 - text height) div 2,
// with the widths and heights of the font engine, clipped to the area.
class PercentText {
 public:
  PercentText(const TCGauge& gauge, const std::string& text)
      : ink_(gauge.Font(), text, 100, 100, CentredTextOrigin(gauge.Font(), text, 99, 99)) {}
  bool operator()(int x, int y) const { return x >= 1 && y >= 1 && x < 99 && y < 99 && ink_(x, y); }

 private:
  TextInk ink_;
};

void ForEachPixel(const std::function<void(int, int)>& check) {
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 100; ++x) check(x, y);
}

class Gauge : public testing::Test {
 protected:
  TCGauge gauge{nullptr};
};

}  // namespace

TEST_F(Gauge, ANewGaugeShowsZeroPercentCentredOnAWhiteFieldInABlackFrame) {
  const PercentText text(gauge, "0%");
  const auto shown = Shown(gauge);
  int ink = 0;
  ForEachPixel([&](int x, int y) {
    const TColor expected = IsFrame(x, y) || text(x, y) ? clBlack : clWhite;
    ASSERT_EQ(shown->Pixels(x, y), expected) << x << "," << y;
    ink += text(x, y);
  });
  EXPECT_GT(ink, 0);
}

TEST_F(Gauge, AtFiftyPercentTheBarCoversHalfAndTheTextIsInverted) {
  gauge.SetProgress(50);
  const PercentText text(gauge, "50%");
  const auto shown = Shown(gauge);
  int whiteOnBar = 0, blackOnField = 0;
  ForEachPixel([&](int x, int y) {
    if (IsFrame(x, y)) {
      ASSERT_EQ(shown->Pixels(x, y), clBlack);
      return;
    }
    // The bar covers x = 1 ... 48; the text inverts what it lies on.
    const bool bar = x >= 1 && x <= 48;
    const TColor under = bar ? clBlack : clWhite;
    const TColor expected = text(x, y) ? (bar ? clWhite : clBlack) : under;
    ASSERT_EQ(shown->Pixels(x, y), expected) << x << "," << y;
    whiteOnBar += text(x, y) && bar;
    blackOnField += text(x, y) && !bar;
  });
  // The text straddles the bar's edge.
  EXPECT_GT(whiteOnBar, 0);
  EXPECT_GT(blackOnField, 0);
}

TEST_F(Gauge, AtHundredPercentBothBarKindsFillTheWholeArea) {
  gauge.SetShowText(false);
  gauge.SetForeColor(clBlue);
  gauge.SetProgress(100);
  for (TCGaugeKind kind : {gkHorizontalBar, gkVerticalBar}) {
    gauge.SeTCGaugeKind(kind);
    const auto shown = Shown(gauge);
    ForEachPixel([&](int x, int y) {
      ASSERT_EQ(shown->Pixels(x, y), IsFrame(x, y) ? clBlack : clBlue)
          << kind << ":" << x << "," << y;
    });
  }
  // The vertical bar at 40 %: floor(0.4 * 99) = 39 rows up from the bottom of the area.
  gauge.SetProgress(40);
  ExpectPixels(*Shown(gauge), {{50, 60, clBlue}, {50, 59, clWhite}, {1, 98, clBlue}});
}

TEST_F(Gauge, ProgressIsClampedIntoTheRange) {
  gauge.SetProgress(150);
  EXPECT_EQ(gauge.Progress(), 100);
  EXPECT_EQ(gauge.GetPercentDone(), 100);
  gauge.SetProgress(-5);
  EXPECT_EQ(gauge.Progress(), 0);
  gauge.SetProgress(70);
  gauge.AddProgress(INT_MAX);  // no overflow, clamped
  EXPECT_EQ(gauge.Progress(), 100);
  gauge.SetMinValue(20);
  gauge.SetMaxValue(60);
  EXPECT_EQ(gauge.Progress(), 60);
  gauge.SetMinValue(60);  // an empty range is accepted and shows 0 %
  EXPECT_EQ(gauge.GetPercentDone(), 0);
  gauge.SetMinValue(-40);
  gauge.SetMaxValue(0);  // a maximum of 0 is a maximum like any other
  EXPECT_EQ(gauge.MaxValue(), 0);
  EXPECT_EQ(gauge.Progress(), 0);
  EXPECT_EQ(gauge.GetPercentDone(), 100);
}

TEST_F(Gauge, RepaintsOnlyWhenTheWholePercentageChanges) {
  PaintCounted<TCGauge> counted(nullptr);
  counted.SetMaxValue(1000);
  counted.SetProgress(500);
  const int before = counted.paints;
  counted.SetProgress(509);
  EXPECT_EQ(counted.paints, before);
  EXPECT_EQ(counted.Progress(), 509);
  counted.SetProgress(510);
  EXPECT_EQ(counted.paints, before + 1);
  EXPECT_EQ(counted.GetPercentDone(), 51);
  counted.AddProgress(0);
  EXPECT_EQ(counted.paints, before + 2);
  counted.SetForeColor(clBlack);  // unchanged
  EXPECT_EQ(counted.paints, before + 2);
  // The maximum is stored again and repaints even when it is the one held.
  counted.SetMaxValue(1000);
  EXPECT_EQ(counted.MaxValue(), 1000);
  EXPECT_EQ(counted.paints, before + 3);
}

TEST_F(Gauge, LimitsBeyondTheOtherLimitRaiseTheRangeMessage) {
  ExpectThrowWithMessage<Exception>([&] { gauge.SetMinValue(150); },
                                    "Value must be between -2147483647 and 99");
  EXPECT_EQ(gauge.MinValue(), 0);
  ExpectThrowWithMessage<Exception>([&] { gauge.SetMaxValue(-5); },
                                    "Value must be between 1 and 2147483647");
  EXPECT_EQ(gauge.MaxValue(), 100);
  gauge.SetMinValue(INT_MIN);
  gauge.SetMaxValue(INT_MIN);
  gauge.SetProgress(INT_MAX);
  EXPECT_EQ(gauge.GetPercentDone(), 0);
}

TEST_F(Gauge, ADescriptionWithMinimumAboveTheInitialMaximumFailsToLoad) {
  RegisterStandardClasses();
  RegisterDisplayComponents();
  TPanel host(nullptr);
  ExpectThrowWithMessage<Exception>(
      [&] {
        ReadFormDescription(host,
                            "Host: TPanel { Gauge1: TCGauge { MinValue = 200 MaxValue = 300 } }");
      },
      "Value must be between -2147483647 and 99");
  // In the other order the same limits load.
  TPanel other(nullptr);
  ReadFormDescription(other,
                      "Host: TPanel { Gauge2: TCGauge { MaxValue = 300 MinValue = 200 "
                      "Progress = 250 Kind = gkPie BorderStyle = bsNone } }");
  auto* described = dynamic_cast<TCGauge*>(other.FindComponent("Gauge2"));
  ASSERT_NE(described, nullptr);
  EXPECT_EQ(described->GetPercentDone(), 50);
  EXPECT_EQ(described->Kind(), gkPie);
  EXPECT_EQ(described->BorderStyle(), bsNone);
}

// The single-bordered 100 x 100 pie as the drawing steps make it, with the canvas's own pie
// from the start point given to the end point (49, 0).
std::unique_ptr<TBitmap> ExpectedPie(TPoint start) {
  auto picture = std::make_unique<TBitmap>();
  picture->SetSize(100, 100);
  TCanvas& canvas = *picture->Canvas();
  canvas.Brush().SetColor(clBlack);
  canvas.FillRect(Rect(0, 0, 100, 100));
  canvas.Brush().SetColor(clRed);
  canvas.FillRect(Rect(1, 1, 99, 99));
  canvas.Brush().SetColor(clWhite);
  canvas.Pen().SetColor(clBlue);
  canvas.Ellipse(1, 1, 99, 99);
  canvas.Brush().SetColor(clBlue);
  canvas.Pie(1, 1, 99, 99, start.X, start.Y, 49, 0);
  return picture;
}

int DifferingPixels(const TBitmap& shown, const TBitmap& expected) {
  int differing = 0;
  ForEachPixel([&](int x, int y) { differing += shown.Pixels(x, y) != expected.Pixels(x, y); });
  return differing;
}

TEST_F(Gauge, PieFillsClockwiseFromTwelveOClock) {
  gauge.SetShowText(false);
  gauge.SetColor(clRed);
  gauge.SetForeColor(clBlue);
  gauge.SeTCGaugeKind(gkPie);
  gauge.SetProgress(25);
  // The upper right quarter filled, the rest of the ellipse white, the corners outside it in
  // the background colour, the frame black.
  const ExpectedPixel pixels[] = {{75, 25, clBlue},  {25, 25, clWhite}, {25, 75, clWhite},
                                  {75, 75, clWhite}, {3, 3, clRed},     {96, 96, clRed},
                                  {0, 0, clBlack}};
  const auto quarter = Shown(gauge);
  ExpectPixels(*quarter, pixels);
  // At 25 % the wedge starts at (98, 48): floor((1 - sin pi) x 49) is 48, not 49.
  EXPECT_EQ(DifferingPixels(*quarter, *ExpectedPie({98, 48})), 0);
  ASSERT_GT(DifferingPixels(*quarter, *ExpectedPie({98, 49})), 0);  // the two can be told apart

  // At 100 % it starts at (48, 0): all of the ellipse but the sliver between the radials
  // through (48, 0) and (49, 0).
  gauge.SetProgress(100);
  const auto whole = Shown(gauge);
  EXPECT_EQ(DifferingPixels(*whole, *ExpectedPie({48, 0})), 0);
  ASSERT_GT(DifferingPixels(*whole, *ExpectedPie({49, 0})), 0);
  int sliver = 0;
  ForEachPixel([&](int x, int y) {
    if (whole->Pixels(x, y) != clWhite) return;
    ++sliver;
    // Up from the centre, between the two radials, which meet at the top.
    EXPECT_TRUE(x >= 48 && x <= 49 && y < 50) << x << "," << y;
  });
  EXPECT_GT(sliver, 0);
}

TEST_F(Gauge, TheNeedleAtFiftyPercentPointsStraightUp) {
  gauge.SetShowText(false);
  gauge.SetColor(clRed);
  gauge.SeTCGaugeKind(gkNeedle);
  gauge.SetProgress(50);
  // From (50, 98) up towards (49, 0): one black pixel per row in columns 49 and 50, on the
  // white dial.
  const auto shown = Shown(gauge);
  for (int y = 2; y <= 97; ++y) {
    const bool at49 = shown->Pixels(49, y) == clBlack;
    const bool at50 = shown->Pixels(50, y) == clBlack;
    EXPECT_TRUE(at49 != at50) << y;
    EXPECT_EQ(shown->Pixels(47, y), clWhite) << y;
    EXPECT_EQ(shown->Pixels(52, y), clWhite) << y;
  }
  // The needle's ends, the white dial, and the background outside it.
  ExpectPixels(*shown, {{50, 98, clBlack}, {49, 2, clBlack}, {20, 90, clWhite}, {3, 3, clRed}});
  gauge.SetProgress(0);
  EXPECT_EQ(Shown(gauge)->Pixels(50, 50), clWhite);  // no needle at 0 %
}

TEST_F(Gauge, TextKindWithoutTextShowsOnlyTheField) {
  gauge.SeTCGaugeKind(gkText);
  gauge.SetShowText(false);
  gauge.SetBackColor(clYellow);
  gauge.SetProgress(60);
  const auto shown = Shown(gauge);
  ForEachPixel([&](int x, int y) {
    ASSERT_EQ(shown->Pixels(x, y), IsFrame(x, y) ? clBlack : clYellow) << x << "," << y;
  });
  // Without the border the field covers everything.
  gauge.SetBorderStyle(bsNone);
  ExpectPixels(*Shown(gauge), {{0, 0, clYellow}, {99, 99, clYellow}});
}

TEST(BltBitmap, MatchSizeTakesThePatternsSizeInTheFrameColour) {
  TBitmap pattern;
  pattern.SetSize(7, 3);
  TBltBitmap bitmap;
  bitmap.SetSize(2, 2);
  bitmap.Canvas()->SetPixel(0, 0, clRed);
  bitmap.MatchSize(&pattern);
  EXPECT_EQ(bitmap.Width(), 7);
  EXPECT_EQ(bitmap.Height(), 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 7; ++x) EXPECT_EQ(bitmap.Pixels(x, y), ColorToRGB(clWindowFrame));
}
