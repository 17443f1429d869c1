// The main window's performance graph as the screen shows it: a black field with the green grid
// behind the indicator row, the lime indicator panels in front of it.
#include "tests/app/MainWindowFixture.h"
#include "tests/support/PixelChecks.h"

namespace {

constexpr int kGraphLeft = 169;
constexpr int kGraphTop = 24;
constexpr int kGraphWidth = 288;
constexpr int kGraphHeight = 73;

// Page coordinates covered by the indicator panel of relay n (1 to 16).
bool InPanel(int x, int y) {
  for (int n = 1; n <= 16; ++n) {
    const int left = 182 + 16 * (n - 1);
    if (x >= left && x < left + 15 && y >= 72 && y < 72 + 9) return true;
  }
  return false;
}

}  // namespace

using MainWindowGraphTest = MainWindowTest;

TEST_F(MainWindowGraphTest, TheIndicatorRowStandsOnTheGridOfTheGraph) {
  CreateMainWindow();
  // Where the window's layout puts the graph, with grid lines every 16 pixels, the vertical ones
  // at the phase a new graph has.
  const auto shown = Shown(*Form1->TabbedNotebook1->Page(0));
  ASSERT_GE(shown->Width(), kGraphLeft + kGraphWidth);
  ASSERT_GE(shown->Height(), kGraphTop + kGraphHeight);
  int gridPixels = 0;
  for (int y = 0; y < kGraphHeight; ++y)
    for (int x = 0; x < kGraphWidth; ++x) {
      const int pageX = kGraphLeft + x, pageY = kGraphTop + y;
      if (InPanel(pageX, pageY)) continue;
      const bool line = (y > 0 && y % 16 == 0) || x % 16 == 4;
      ASSERT_EQ(shown->Pixels(pageX, pageY), line ? clGreen : clBlack) << x << "," << y;
      gridPixels += line;
    }
  EXPECT_GT(gridPixels, 18 * 60);
  // The panels are in front: their faces show lime over the graph.
  for (int n = 1; n <= 16; ++n) EXPECT_EQ(shown->Pixels(182 + 16 * (n - 1) + 7, 76), clLime) << n;
  // Just outside the graph the page shows through.
  EXPECT_NE(shown->Pixels(kGraphLeft - 1, kGraphTop + 10), clBlack);
  EXPECT_NE(shown->Pixels(kGraphLeft + kGraphWidth, kGraphTop + 10), clBlack);
  EXPECT_NE(shown->Pixels(kGraphLeft + 100, kGraphTop + kGraphHeight), clBlack);
}
