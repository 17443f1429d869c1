#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <set>
#include <string>

#include "components/Perfgrap/Perfgrap.h"
#include "framework/Exceptions.h"
#include "tests/support/ExpectMessage.h"
#include "tests/support/PaintCounted.h"
#include "tests/support/PixelChecks.h"

namespace {

// Checks every pixel the graph shows against a background with grid lines.
void ExpectGrid(TPerformanceGraph& graph, int width, int height, const std::set<int>& columns,
                const std::set<int>& rows) {
  const auto picture = Shown(graph);
  ASSERT_EQ(picture->Width(), width);
  ASSERT_EQ(picture->Height(), height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const bool line = columns.count(x) || rows.count(y);
      ASSERT_EQ(picture->Pixels(x, y), line ? clGreen : clBlack) << x << "," << y;
    }
}

std::set<int> Every(int first, int step, int limit) {
  std::set<int> values;
  for (int v = first; v < limit; v += step) values.insert(v);
  return values;
}

// The colour of one column of the picture, from top to bottom, as runs.
std::string Column(const TBitmap& picture, int x) {
  std::string runs;
  TColor last = -1;
  for (int y = 0; y < picture.Height(); ++y) {
    const TColor pixel = picture.Pixels(x, y);
    if (pixel != last) runs += std::to_string(y) + ":" + std::to_string(pixel) + " ";
    last = pixel;
  }
  return runs;
}

// The highest row in which one of the columns left ... right - 1 has the colour; -1 for none.
int TopmostIn(const TBitmap& picture, int left, int right, TColor color) {
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = left; x < right; ++x)
      if (picture.Pixels(x, y) == color) return y;
  return -1;
}

// The slots of the history's ring, walked from the oldest.
int RingLength(const TPerformanceGraph& graph) {
  int length = 0;
  for (int32_t slot = graph.FirstY(); slot != -1; slot = graph.NextY(slot)) ++length;
  return length;
}

class PerformanceGraph : public testing::Test {
 protected:
  TPerformanceGraph graph{nullptr};
};

}  // namespace

TEST_F(PerformanceGraph, ANewGraphShowsTheDefaultGridAndRepaintingNeverEndsATimeStep) {
  // Repainting never ends a time step (that would scroll the grid), and a new gradient waits
  // for the next Update.
  graph.Refresh();
  graph.Repaint();
  graph.Invalidate();
  graph.SetGradient(50);
  ExpectGrid(graph, 100, 100, Every(14, 15, 100), Every(15, 15, 100));
  EXPECT_EQ(graph.Scale(), 1000);
}

TEST_F(PerformanceGraph, ASeventeenthPointInOneStepIsARangeError) {
  // The sixteenth point sets the scale to 200; the seventeenth, had it been kept, to 1000.
  for (int i = 0; i < 16; ++i) graph.DataPoint(RGB(i, 0, 0), i < 15 ? 1 : 150);
  ExpectThrowWithMessage<ERangeError>([&] { graph.DataPoint(clRed, 990); }, "");
  graph.Update();
  EXPECT_EQ(graph.Scale(), 200);
}

TEST_F(PerformanceGraph, UpdatesWithoutPositiveValuesSetScaleZeroOnce) {
  int calls = 0;
  int32_t seen = -1;
  graph.OnScaleChange = [&](TObject* sender) {
    EXPECT_EQ(sender, &graph);
    seen = graph.Scale();
    ++calls;
  };
  graph.DataPoint(clRed, -50);
  graph.Update();
  EXPECT_EQ(graph.Scale(), 0);
  EXPECT_EQ(seen, 0);
  EXPECT_EQ(calls, 1);
  graph.Update();
  graph.DataPoint(clRed, -20);
  graph.Update();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(graph.Scale(), 0);
  // With no height to scale to, negative values draw nothing: only the grid is left.
  ExpectGrid(graph, 100, 100, Every(5, 15, 100), Every(15, 15, 100));
}

// A zero value between two others draws nothing and leaves the base where it was.
TEST_F(PerformanceGraph, BarModeStacksRunningTotalsAndSkipsZeroValues) {
  graph.SetGridlines(false);
  graph.SetGraphKind(pgBar);
  graph.DataPoint(clRed, 30);
  graph.DataPoint(clLime, 0);
  graph.DataPoint(clBlue, 70);
  graph.Update();
  EXPECT_EQ(graph.Scale(), 100);
  // 30 of 100 is 30 rows plus one, from the bottom; 70 stacks from there up to row 29.
  const std::string expected =
      "0:0 29:" + std::to_string(clBlue) + " 70:" + std::to_string(clRed) + " ";
  const auto newest = Shown(graph);
  for (int x = 97; x < 100; ++x) EXPECT_EQ(Column(*newest, x), expected) << x;
  EXPECT_EQ(Column(*newest, 96), "0:0 ");
  // The rebuild put the newest step where Update draws; the next steps scroll it left.
  graph.Update();
  graph.Update();
  const auto scrolled = Shown(graph);
  for (int x = 91; x < 94; ++x) EXPECT_EQ(Column(*scrolled, x), expected) << x;
  EXPECT_EQ(Column(*scrolled, 94), "0:0 ");
  EXPECT_EQ(Column(*scrolled, 90), "0:0 ");
  EXPECT_EQ(graph.Scale(), 100);
}

// The extremes at the end neither overflow nor trap.
TEST_F(PerformanceGraph, RoundUpGoesToTheNextMultiple) {
  const struct {
    int value, step, rounded;
  } cases[] = {{0, 100, 0},   {1, 100, 100},  {100, 100, 100},         {101, 100, 200},
               {250, 0, 250}, {-5, 100, 100}, {INT_MAX, 100, INT_MAX}, {INT_MIN, -1, INT_MIN}};
  for (const auto& c : cases)
    EXPECT_EQ(TPerformanceGraph::RoundUp(c.value, c.step), c.rounded) << c.value << " " << c.step;
}

TEST_F(PerformanceGraph, SettersClampCompareAndRebuild) {
  PaintCounted<TPerformanceGraph> counted(nullptr);
  int calls = 0;
  counted.OnScaleChange = [&](TObject*) { ++calls; };
  counted.SetScale(300);
  EXPECT_EQ(calls, 1);
  counted.SetScale(300);
  EXPECT_EQ(calls, 1);
  counted.SetScale(260);
  EXPECT_EQ(counted.Scale(), 300);
  EXPECT_EQ(calls, 2);

  counted.SetGridSize(10);
  // (100 + 4) mod 10 = 4: the vertical lines keep the phase they had reached.
  ExpectGrid(counted, 100, 100, Every(4, 10, 100), Every(10, 10, 100));
  counted.SetGridSize(1);
  EXPECT_EQ(counted.GridSize(), 2);

  counted.SetStepSize(0);
  EXPECT_EQ(counted.StepSize(), 1);
  EXPECT_EQ(RingLength(counted), 102);

  const int paints = counted.paints;
  counted.SetForeColor(clGreen);  // unchanged: no rebuild
  EXPECT_EQ(counted.paints, paints);
  counted.SetBackColor(clNavy);
  EXPECT_EQ(counted.paints, paints + 1);
  EXPECT_EQ(Shown(counted)->Pixels(1, 1), clNavy);
}

// The pen width is the control canvas's; the picture's lines stay one pixel wide.
TEST_F(PerformanceGraph, LineModeJoinsEachColourToItsPreviousValue) {
  graph.SetGridlines(false);
  graph.SetPenWidth(5);
  graph.SetScale(100);
  graph.DataPoint(clRed, 50);
  graph.Update();
  // Red was not in the previous step: its segment rises from the bottom edge.
  const auto rise = Shown(graph);
  EXPECT_EQ(rise->Pixels(97, 99), clRed);
  EXPECT_EQ(TopmostIn(*rise, 97, 100, clRed), 59);
  graph.DataPoint(clBlue, 80);
  graph.DataPoint(clRed, 50);
  graph.Update();
  // Red continues level at 50; blue is new and starts at the bottom.
  const auto shown = Shown(graph);
  for (int x = 97; x < 100; ++x) EXPECT_EQ(shown->Pixels(x, 50), clRed) << x;
  EXPECT_EQ(TopmostIn(*shown, 98, 99, clRed), 50);
  EXPECT_EQ(shown->Pixels(97, 99), clBlue);
  EXPECT_EQ(TopmostIn(*shown, 97, 100, clBlue), 34);
  // The red rise of the step before has moved one band to the left.
  EXPECT_EQ(shown->Pixels(94, 99), clRed);
  EXPECT_EQ(graph.Scale(), 100);
}

TEST_F(PerformanceGraph, ScrollingMovesThePictureAndAddsGridLinesAtThePhase) {
  graph.SetScale(100);  // rebuild: the next line right of 89 would be at 104, phase 4
  graph.DataPoint(clRed, 1);
  graph.Update();  // phase 4 - 3 = 1, no new line
  ExpectPixels(*Shown(graph), {{86, 0, clGreen}, {89, 0, clBlack}});
  graph.DataPoint(clRed, 1);
  graph.Update();  // phase 1 - 3 = -2: a line at 98, phase 13
  // The horizontal lines continue through the new band.
  ExpectPixels(
      *Shown(graph),
      {{98, 0, clGreen}, {83, 0, clGreen}, {86, 0, clBlack}, {99, 45, clGreen}, {99, 44, clBlack}});
}

TEST_F(PerformanceGraph, ARebuildPutsTheNewestStepInTheRightmostBand) {
  graph.SetGridlines(false);
  graph.SetGraphKind(pgBar);
  graph.SetScale(100);
  graph.DataPoint(clRed, 100);
  graph.Update();
  graph.DataPoint(clBlue, 100);
  graph.Update();
  graph.SetBackColor(clNavy);  // rebuild from the history
  const ExpectedPixel pixels[] = {{99, 0, clBlue}, {97, 0, clBlue}, {96, 0, clRed},
                                  {94, 0, clRed},  {93, 0, clNavy}, {0, 50, clNavy}};
  ExpectPixels(*Shown(graph), pixels);
}

// A bar of 50 on the scale of 100 covers the lower half of the picture, plus one row.
TEST_F(PerformanceGraph, SizeChangesAreNoticedAtTheNextPaint) {
  graph.SetGraphKind(pgBar);
  graph.SetScale(100);
  graph.DataPoint(clRed, 50);
  graph.Update();

  graph.SetHeight(50);
  graph.Repaint();
  // Rebuilt at the new height from the history.
  ExpectPixels(*Shown(graph), {{98, 24, clRed}, {98, 49, clRed}, {98, 23, clBlack}});

  graph.SetWidth(60);
  graph.Repaint();
  EXPECT_EQ(RingLength(graph), 22);  // reallocated: the oldest steps are dropped
  EXPECT_EQ(graph.FirstY(), 0);
  ExpectPixels(*Shown(graph), {{57, 40, clRed}, {59, 40, clRed}, {56, 40, clBlack}});

  graph.SetWidth(120);  // growing keeps every step, drawn from the left edge
  graph.Repaint();
  EXPECT_EQ(RingLength(graph), 42);
  ExpectPixels(*Shown(graph), {{57, 40, clRed}, {59, 40, clRed}, {100, 40, clBlack}});
  // The step in progress still collects the points; once the next step has put the ring in
  // order again, a rebuild shows them next to the step before.
  graph.DataPoint(clBlue, 50);
  graph.Update();
  graph.SetBackColor(clNavy);
  ExpectPixels(*Shown(graph), {{114, 40, clRed}, {117, 40, clBlue}, {119, 40, clBlue}});
}

TEST_F(PerformanceGraph, StepsWiderThanTheGraphDrawNothingAndDoNotFail) {
  graph.SetGraphKind(pgBar);
  graph.SetStepSize(150);
  EXPECT_EQ(graph.GetBandCount(), 0);
  EXPECT_EQ(RingLength(graph), 2);
  graph.DataPoint(clRed, 500);
  graph.Update();
  graph.DataPoint(clRed, 500);
  graph.Update();
  graph.SetBackColor(clNavy);
  EXPECT_EQ(TopmostIn(*Shown(graph), 0, 100, clRed), -1);
  graph.SetWidth(0);
  graph.Repaint();
  graph.Update();
}

TEST_F(PerformanceGraph, ExtremeValuesStayInsideThePicture) {
  graph.SetGridlines(false);
  graph.SetGradient(0);
  graph.SetScale(1);
  graph.DataPoint(clRed, 1);
  graph.Update();
  const auto rise = Shown(graph);
  EXPECT_EQ(rise->Pixels(97, 99), clRed);
  EXPECT_EQ(TopmostIn(*rise, 97, 100, clRed), 17);  // the top third lies at x = 100, outside
  // Far beyond the scale: a line two hundred million rows long, drawn in no time.
  graph.DataPoint(clBlue, INT_MIN);
  graph.DataPoint(clRed, 1);
  graph.Update();
  EXPECT_EQ(graph.Scale(), 1);
  graph.SetGraphKind(pgBar);
  const auto bars = Shown(graph);
  EXPECT_EQ(bars->Pixels(95, 0), clRed);
  EXPECT_EQ(TopmostIn(*bars, 97, 100, clBlue), -1);
  graph.DataPoint(clRed, INT_MIN);
  graph.DataPoint(clBlue, INT_MAX);
  graph.Update();
  EXPECT_EQ(graph.Scale(), INT_MAX);
}
