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

// Checks every pixel of the graph's picture against a background with grid lines.
void ExpectGrid(const TPerformanceGraph& graph, int width, int height, const std::set<int>& columns,
                const std::set<int>& rows) {
  const TBitmap& picture = graph.Picture();
  ASSERT_EQ(picture.Width(), width);
  ASSERT_EQ(picture.Height(), height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const bool line = columns.count(x) || rows.count(y);
      ASSERT_EQ(picture.Pixels(x, y), line ? clGreen : clBlack) << x << "," << y;
    }
}

std::set<int> Every(int first, int step, int limit) {
  std::set<int> values;
  for (int v = first; v < limit; v += step) values.insert(v);
  return values;
}

// The colour of one column of the picture, from top to bottom, as runs.
std::string Column(const TPerformanceGraph& graph, int x) {
  std::string runs;
  TColor last = -1;
  for (int y = 0; y < graph.Picture().Height(); ++y) {
    const TColor pixel = graph.Picture().Pixels(x, y);
    if (pixel != last) runs += std::to_string(y) + ":" + std::to_string(pixel) + " ";
    last = pixel;
  }
  return runs;
}

// The highest row in which one of the columns left ... right - 1 has the colour; -1 for none.
int TopmostIn(const TPerformanceGraph& graph, int left, int right, TColor color) {
  for (int y = 0; y < graph.Picture().Height(); ++y)
    for (int x = left; x < right; ++x)
      if (graph.Picture().Pixels(x, y) == color) return y;
  return -1;
}

class PerformanceGraph : public testing::Test {
 protected:
  TPerformanceGraph graph{nullptr};
};

}  // namespace

TEST_F(PerformanceGraph, ANewGraphShowsTheDefaultGridAndRepaintingNeverEndsATimeStep) {
  ExpectGrid(graph, 100, 100, Every(14, 15, 100), Every(15, 15, 100));
  EXPECT_EQ(graph.NewBand(), Rect(97, 0, 100, 100));
  // Repainting never ends a time step, and a new gradient waits for the next Update.
  const int32_t current = graph.CurrentSlot();
  graph.Refresh();
  graph.Repaint();
  graph.Invalidate();
  graph.SetGradient(50);
  EXPECT_EQ(graph.CurrentSlot(), current);
  EXPECT_EQ(graph.Scale(), 1000);
}

TEST_F(PerformanceGraph, ASeventeenthPointInOneStepIsARangeError) {
  for (int i = 0; i < 16; ++i) graph.DataPoint(RGB(i, 0, 0), i + 1);
  ExpectThrowWithMessage<ERangeError>([&] { graph.DataPoint(clRed, 99); }, "");
  const TGraphSlot& slot = graph.Slot(graph.CurrentSlot());
  EXPECT_EQ(slot.Count, 16);
  EXPECT_EQ(slot.Values[15], 16);
  graph.Update();
  EXPECT_EQ(graph.Scale(), 100);
  EXPECT_EQ(graph.Slot(graph.LastY(graph.CurrentSlot())).Count, 16);
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
  for (int x = 97; x < 100; ++x) EXPECT_EQ(Column(graph, x), expected) << x;
  EXPECT_EQ(Column(graph, 96), "0:0 ");
  // The rebuild put the newest step where Update draws; the next steps scroll it left.
  graph.Update();
  graph.Update();
  for (int x = 91; x < 94; ++x) EXPECT_EQ(Column(graph, x), expected) << x;
  EXPECT_EQ(Column(graph, 94), "0:0 ");
  EXPECT_EQ(Column(graph, 90), "0:0 ");
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
  EXPECT_EQ(counted.GridPhase(), 4);
  counted.SetGridSize(1);
  EXPECT_EQ(counted.GridSize(), 2);

  counted.SetStepSize(0);
  EXPECT_EQ(counted.StepSize(), 1);
  EXPECT_EQ(counted.SlotCount(), 102);
  EXPECT_EQ(counted.NewBand(), Rect(99, 0, 100, 100));

  const int paints = counted.paints;
  counted.SetForeColor(clGreen);  // unchanged: no rebuild
  EXPECT_EQ(counted.paints, paints);
  counted.SetBackColor(clNavy);
  EXPECT_EQ(counted.paints, paints + 1);
  EXPECT_EQ(counted.Picture().Pixels(1, 1), clNavy);

  counted.SetPenWidth(5);
  EXPECT_EQ(counted.Canvas()->Pen().Width(), 5);
  EXPECT_EQ(counted.Picture().Canvas()->Pen().Width(), 1);
}

TEST_F(PerformanceGraph, LineModeJoinsEachColourToItsPreviousValue) {
  graph.SetGridlines(false);
  graph.SetScale(100);
  graph.DataPoint(clRed, 50);
  graph.Update();
  // Red was not in the previous step: its segment rises from the bottom edge.
  EXPECT_EQ(graph.Picture().Pixels(97, 99), clRed);
  EXPECT_EQ(TopmostIn(graph, 97, 100, clRed), 59);
  graph.DataPoint(clBlue, 80);
  graph.DataPoint(clRed, 50);
  graph.Update();
  // Red continues level at 50; blue is new and starts at the bottom.
  for (int x = 97; x < 100; ++x) EXPECT_EQ(graph.Picture().Pixels(x, 50), clRed) << x;
  EXPECT_EQ(graph.Picture().Pixels(97, 99), clBlue);
  EXPECT_EQ(TopmostIn(graph, 97, 100, clBlue), 34);
  // The red rise of the step before has moved one band to the left.
  EXPECT_EQ(graph.Picture().Pixels(94, 99), clRed);
  EXPECT_EQ(graph.Scale(), 100);
}

TEST_F(PerformanceGraph, ScrollingMovesThePictureAndAddsGridLinesAtThePhase) {
  graph.SetScale(100);  // rebuild: phase (100 + 4) mod 15 = 14 - 15 ... stays 4
  EXPECT_EQ(graph.GridPhase(), 4);
  graph.DataPoint(clRed, 1);
  graph.Update();  // phase 4 - 3 = 1, no new line
  EXPECT_EQ(graph.GridPhase(), 1);
  ExpectPixels(graph.Picture(), {{86, 0, clGreen}, {89, 0, clBlack}});
  graph.DataPoint(clRed, 1);
  graph.Update();  // phase 1 - 3 = -2: a line at 98, phase 13
  EXPECT_EQ(graph.GridPhase(), 13);
  ExpectPixels(graph.Picture(), {{98, 0, clGreen}, {83, 0, clGreen}, {86, 0, clBlack}});
  // The horizontal lines continue through the new band.
  ExpectPixels(graph.Picture(), {{99, 45, clGreen}, {99, 44, clBlack}});
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
  ExpectPixels(graph.Picture(), pixels);
}

TEST_F(PerformanceGraph, SizeChangesAreNoticedAtTheNextPaint) {
  graph.SetGraphKind(pgBar);
  graph.SetScale(100);
  graph.DataPoint(clRed, 100);
  graph.Update();
  const int32_t slots = graph.SlotCount();
  const int32_t current = graph.CurrentSlot();

  graph.SetHeight(50);
  EXPECT_EQ(graph.Picture().Height(), 100);  // not yet
  graph.Repaint();
  EXPECT_EQ(graph.Picture().Height(), 50);
  EXPECT_EQ(graph.SlotCount(), slots);  // the history is untouched
  EXPECT_EQ(graph.CurrentSlot(), current);
  EXPECT_EQ(graph.Picture().Pixels(98, 0), clRed);  // rebuilt from it, at the new height
  EXPECT_EQ(graph.SurfacePixel(98, 49), clRed);

  graph.SetWidth(60);
  graph.Repaint();
  EXPECT_EQ(graph.Picture().Width(), 60);
  EXPECT_EQ(graph.SlotCount(), 22);  // reallocated: the oldest steps are dropped
  EXPECT_EQ(graph.FirstSlot(), 0);
  EXPECT_EQ(graph.CurrentSlot(), 21);
  EXPECT_EQ(graph.Picture().Pixels(58, 10), clRed);
  EXPECT_EQ(graph.SurfacePixel(57, 10), clRed);

  graph.SetWidth(120);  // growing keeps every step, drawn from the left edge
  graph.Repaint();
  EXPECT_EQ(graph.SlotCount(), 42);
  EXPECT_EQ(graph.CurrentSlot(), 21);
  EXPECT_EQ(graph.Picture().Pixels(58, 10), clRed);
  EXPECT_NE(graph.Picture().Pixels(100, 10), clRed);
  graph.Update();  // the ring rule holds again after the next step
  EXPECT_EQ(graph.FirstSlot(), (graph.CurrentSlot() + 1) % graph.SlotCount());
}

TEST_F(PerformanceGraph, StepsWiderThanTheGraphDrawNothingAndDoNotFail) {
  graph.SetGraphKind(pgBar);
  graph.SetStepSize(150);
  EXPECT_EQ(graph.GetBandCount(), 0);
  EXPECT_EQ(graph.SlotCount(), 2);
  graph.DataPoint(clRed, 500);
  graph.Update();
  graph.DataPoint(clRed, 500);
  graph.Update();
  graph.SetBackColor(clNavy);
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 100; ++x) ASSERT_NE(graph.Picture().Pixels(x, y), clRed);
  graph.SetWidth(0);
  graph.Repaint();
  EXPECT_EQ(graph.Picture().Width(), 0);
  graph.Update();
}

TEST_F(PerformanceGraph, ExtremeValuesStayInsideThePicture) {
  graph.SetGridlines(false);
  graph.SetGradient(0);
  graph.SetScale(1);
  graph.DataPoint(clRed, 1);
  graph.Update();
  EXPECT_EQ(graph.Picture().Pixels(97, 99), clRed);
  EXPECT_EQ(TopmostIn(graph, 97, 100, clRed), 17);  // the top third lies at x = 100, outside
  // Far beyond the scale: a line two hundred million rows long, drawn in no time.
  graph.DataPoint(clBlue, INT_MIN);
  graph.DataPoint(clRed, 1);
  graph.Update();
  EXPECT_EQ(graph.Scale(), 1);
  graph.SetGraphKind(pgBar);
  EXPECT_EQ(graph.Picture().Pixels(95, 0), clRed);
  EXPECT_EQ(TopmostIn(graph, 97, 100, clBlue), -1);
  graph.DataPoint(clRed, INT_MIN);
  graph.DataPoint(clBlue, INT_MAX);
  graph.Update();
  EXPECT_EQ(graph.Scale(), INT_MAX);
}
