#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "framework/Bitmap.h"
#include "framework/Canvas.h"

namespace {

// A bitmap of the given size painted in one colour.
void Fill(TBitmap& bitmap, int width, int height, TColor color) {
  bitmap.SetSize(width, height);
  bitmap.Canvas()->Brush().SetStyle(bsSolid);
  bitmap.Canvas()->Brush().SetColor(color);
  bitmap.Canvas()->FillRect(Rect(0, 0, width, height));
}

int CountColor(const TBitmap& bitmap, TColor color) {
  int count = 0;
  for (int y = 0; y < bitmap.Height(); ++y)
    for (int x = 0; x < bitmap.Width(); ++x) count += bitmap.Pixels(x, y) == color;
  return count;
}

}  // namespace

TEST(Canvas, FillRectLeavesOutRightColumnAndBottomRowAndClips) {
  TBitmap bitmap;
  Fill(bitmap, 10, 10, clBlack);
  TCanvas& canvas = *bitmap.Canvas();
  canvas.Brush().SetColor(clRed);
  canvas.FillRect(Rect(2, 3, 5, 7));
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x)
      EXPECT_EQ(bitmap.Pixels(x, y), (x >= 2 && x < 5 && y >= 3 && y < 7) ? clRed : clBlack)
          << x << "," << y;
  canvas.Brush().SetColor(clLime);
  canvas.FillRect(Rect(-5, 8, 100, 100));  // partly outside: clipped, no crash
  EXPECT_EQ(bitmap.Pixels(0, 8), clLime);
  EXPECT_EQ(bitmap.Pixels(9, 9), clLime);
  EXPECT_EQ(bitmap.Pixels(9, 7), clBlack);
  canvas.FillRect(Rect(6, 6, 4, 4));  // inverted: nothing
  EXPECT_EQ(bitmap.Pixels(5, 5), clBlack);
  canvas.Brush().SetStyle(bsClear);
  canvas.FillRect(Rect(0, 0, 10, 10));
  EXPECT_EQ(CountColor(bitmap, clLime), 20);
}

TEST(Canvas, LineToLeavesOutTheEndPointAndMovesThePen) {
  TBitmap bitmap;
  Fill(bitmap, 10, 10, clBlack);
  TCanvas& canvas = *bitmap.Canvas();
  canvas.Pen().SetColor(clGreen);
  canvas.MoveTo(1, 2);
  canvas.LineTo(6, 2);
  for (int x = 0; x < 10; ++x)
    EXPECT_EQ(bitmap.Pixels(x, 2), (x >= 1 && x < 6) ? clGreen : clBlack);
  EXPECT_EQ(canvas.PenPos().X, 6);
  canvas.LineTo(6, 9);  // continues from the end point, which it now paints first
  for (int y = 0; y < 10; ++y)
    EXPECT_EQ(bitmap.Pixels(6, y), (y >= 2 && y < 9) ? clGreen : clBlack);
  Fill(bitmap, 10, 10, clBlack);
  canvas.MoveTo(0, 0);
  canvas.LineTo(4, 4);
  EXPECT_EQ(CountColor(bitmap, clGreen), 4);
  EXPECT_EQ(bitmap.Pixels(3, 3), clGreen);
  EXPECT_EQ(bitmap.Pixels(4, 4), clBlack);
  // A line into the far distance paints its visible part and returns at once.
  Fill(bitmap, 10, 10, clBlack);
  canvas.MoveTo(5, 0);
  canvas.LineTo(5, INT_MAX / 2);
  for (int y = 0; y < 10; ++y) EXPECT_EQ(bitmap.Pixels(5, y), clGreen) << y;
  canvas.MoveTo(-2000000000, 3);
  canvas.LineTo(2000000000, 3);
  for (int x = 0; x < 10; ++x) EXPECT_EQ(bitmap.Pixels(x, 3), clGreen) << x;
}

TEST(Canvas, WidePenPaintsAroundTheLine) {
  TBitmap bitmap;
  Fill(bitmap, 10, 10, clBlack);
  TCanvas& canvas = *bitmap.Canvas();
  canvas.Pen().SetWidth(3);
  canvas.Pen().SetColor(clWhite);
  canvas.MoveTo(2, 5);
  canvas.LineTo(8, 5);
  EXPECT_EQ(bitmap.Pixels(4, 4), clWhite);
  EXPECT_EQ(bitmap.Pixels(4, 6), clWhite);
  EXPECT_EQ(bitmap.Pixels(4, 7), clBlack);
  EXPECT_EQ(bitmap.Pixels(4, 3), clBlack);
}

TEST(Canvas, EllipseFitsItsBoundingBoxWithPenEdgeAndBrushInside) {
  TBitmap bitmap;
  Fill(bitmap, 100, 100, clRed);
  TCanvas& canvas = *bitmap.Canvas();
  canvas.Pen().SetColor(clBlack);
  canvas.Brush().SetColor(clWhite);
  canvas.Ellipse(1, 1, 99, 99);
  const struct {
    int x, y;
    TColor color;
  } pixels[] = {{0, 50, clRed},    {1, 50, clBlack}, {2, 50, clWhite},  {98, 50, clBlack},
                {99, 50, clRed},   {50, 1, clBlack}, {50, 98, clBlack}, {50, 99, clRed},
                {50, 50, clWhite}, {5, 5, clRed}};  // the last: a corner outside the ellipse
  for (const auto& p : pixels) EXPECT_EQ(bitmap.Pixels(p.x, p.y), p.color) << p.x << "," << p.y;
  // Symmetric about both axes of the box.
  for (int y = 1; y < 99; ++y)
    for (int x = 1; x < 99; ++x) ASSERT_EQ(bitmap.Pixels(x, y), bitmap.Pixels(99 - x, 99 - y));
  // A clear brush draws only the edge.
  Fill(bitmap, 100, 100, clRed);
  canvas.Brush().SetStyle(bsClear);
  canvas.Ellipse(1, 1, 99, 99);
  EXPECT_EQ(bitmap.Pixels(50, 50), clRed);
  EXPECT_EQ(bitmap.Pixels(1, 50), clBlack);
}

TEST(Canvas, PieRunsCounterClockwiseFromTheFirstRadialToTheSecond) {
  struct Case {
    const char* what;
    int startX, startY, endX, endY;
    TColor upperRight, upperLeft, lowerLeft, lowerRight;
  };
  const Case cases[] = {
      {"north to east: three quarters", 50, 0, 100, 50, clRed, clWhite, clWhite, clWhite},
      {"the same radial twice: the whole ellipse", 50, 0, 50, 0, clWhite, clWhite, clWhite,
       clWhite},
      {"east to north: the upper right quarter", 100, 50, 50, 0, clWhite, clRed, clRed, clRed},
  };
  TBitmap bitmap;
  TCanvas& canvas = *bitmap.Canvas();
  canvas.Pen().SetColor(clBlack);
  for (const Case& c : cases) {
    Fill(bitmap, 100, 100, clRed);
    canvas.Brush().SetColor(clWhite);
    canvas.Pie(0, 0, 100, 100, c.startX, c.startY, c.endX, c.endY);
    EXPECT_EQ(bitmap.Pixels(75, 25), c.upperRight) << c.what;
    EXPECT_EQ(bitmap.Pixels(25, 25), c.upperLeft) << c.what;
    EXPECT_EQ(bitmap.Pixels(25, 75), c.lowerLeft) << c.what;
    EXPECT_EQ(bitmap.Pixels(75, 75), c.lowerRight) << c.what;
    EXPECT_EQ(bitmap.Pixels(2, 2), clRed) << c.what;  // outside the ellipse
  }
  // The last pie's radials, in the pen's colour.
  EXPECT_EQ(bitmap.Pixels(75, 49), clBlack);  // to the east
  EXPECT_EQ(bitmap.Pixels(50, 25), clBlack);  // to the north
}

TEST(Canvas, CopyRectWithinOneCanvasHandlesOverlapInEveryDirection) {
  TBitmap bitmap;
  TCanvas& canvas = *bitmap.Canvas();
  auto paintPattern = [&] {
    bitmap.SetSize(20, 20);
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 20; ++x) canvas.SetPixel(x, y, RGB(x * 10, y * 10, 7));
  };
  // Each move paints the pixel (x, y) with what stood at (x + dx, y + dy).
  const struct {
    TRect target, source;
    int dx, dy;
  } moves[] = {{Rect(0, 0, 17, 20), Rect(3, 0, 20, 20), 3, 0},    // left by 3
               {Rect(3, 0, 20, 20), Rect(0, 0, 17, 20), -3, 0},   // right by 3
               {Rect(0, 2, 20, 20), Rect(0, 0, 20, 18), 0, -2}};  // down by 2
  for (const auto& move : moves) {
    paintPattern();
    canvas.CopyRect(move.target, canvas, move.source);
    for (int y = move.target.Top; y < move.target.Bottom; ++y)
      for (int x = move.target.Left; x < move.target.Right; ++x)
        ASSERT_EQ(bitmap.Pixels(x, y), RGB((x + move.dx) * 10, (y + move.dy) * 10, 7));
  }
  paintPattern();
  canvas.SetCopyMode(SRCINVERT);  // combining modes too see the source as it was
  canvas.CopyRect(Rect(0, 1, 20, 20), canvas, Rect(0, 0, 20, 19));
  for (int y = 1; y < 20; ++y)
    for (int x = 0; x < 20; ++x)
      ASSERT_EQ(bitmap.Pixels(x, y), RGB(x * 10, y * 10, 7) ^ RGB(x * 10, (y - 1) * 10, 7));
}

TEST(Canvas, CopyModesCombineSourceAndDestination) {
  TBitmap source, target;
  Fill(source, 4, 4, RGB(0x0F, 0xF0, 0x55));
  Fill(target, 6, 6, RGB(0xFF, 0x00, 0x50));
  TCanvas& canvas = *target.Canvas();
  canvas.SetCopyMode(SRCINVERT);
  canvas.Draw(1, 1, source);
  EXPECT_EQ(target.Pixels(1, 1), RGB(0xF0, 0xF0, 0x05));
  EXPECT_EQ(target.Pixels(4, 4), RGB(0xF0, 0xF0, 0x05));
  EXPECT_EQ(target.Pixels(0, 0), RGB(0xFF, 0x00, 0x50));
  EXPECT_EQ(target.Pixels(5, 5), RGB(0xFF, 0x00, 0x50));
  canvas.Draw(1, 1, source);  // the same again undoes it
  EXPECT_EQ(target.Pixels(2, 2), RGB(0xFF, 0x00, 0x50));
  canvas.SetCopyMode(SRCCOPY);
  canvas.Draw(4, 4, source);  // clipped at the right and bottom
  EXPECT_EQ(target.Pixels(5, 5), RGB(0x0F, 0xF0, 0x55));
  EXPECT_EQ(target.Pixels(3, 3), RGB(0xFF, 0x00, 0x50));
  canvas.SetCopyMode(BLACKNESS);
  canvas.CopyRect(Rect(0, 0, 3, 6), canvas, Rect(0, 0, 3, 6));
  EXPECT_EQ(target.Pixels(2, 5), clBlack);
  EXPECT_EQ(target.Pixels(3, 0), RGB(0xFF, 0x00, 0x50));
  // BLACKNESS ignores its source even where the source lies outside the canvas.
  canvas.CopyRect(Rect(3, 0, 6, 2), canvas, Rect(100, 100, 103, 102));
  EXPECT_EQ(target.Pixels(4, 1), clBlack);
  // Sizes that differ are stretched.
  canvas.SetCopyMode(SRCCOPY);
  TBitmap twoByOne;
  twoByOne.SetSize(2, 1);
  twoByOne.Canvas()->SetPixel(0, 0, clRed);
  twoByOne.Canvas()->SetPixel(1, 0, clBlue);
  canvas.CopyRect(Rect(0, 0, 6, 6), *twoByOne.Canvas(), Rect(0, 0, 2, 1));
  EXPECT_EQ(target.Pixels(2, 5), clRed);
  EXPECT_EQ(target.Pixels(3, 0), clBlue);
}

TEST(Canvas, SystemColoursResolveToTheirClassicValues) {
  TBitmap bitmap;
  Fill(bitmap, 2, 2, clWindowFrame);
  EXPECT_EQ(bitmap.Pixels(0, 0), ColorToRGB(clWindowFrame));
  Fill(bitmap, 2, 2, clWindow);
  EXPECT_EQ(bitmap.Pixels(1, 1), ColorToRGB(clWindow));
}

TEST(Canvas, TextIsMeasuredAndWrittenInTheFontColourClippedToTheRectangle) {
  TBitmap bitmap;
  Fill(bitmap, 120, 40, clBlack);
  TCanvas& canvas = *bitmap.Canvas();
  canvas.Font().SetHeight(-13);
  canvas.Font().SetColor(clWhite);
  const int oneWide = canvas.TextWidth("8");
  EXPECT_GT(oneWide, 2);
  EXPECT_GT(canvas.TextWidth("888"), 2 * oneWide);
  EXPECT_GE(canvas.TextHeight("8"), 13);
  EXPECT_EQ(canvas.TextWidth(""), 0);

  canvas.Brush().SetStyle(bsClear);
  canvas.TextRect(Rect(10, 5, 30, 30), 5, 5, "WWWWWWWW");
  int inside = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 120; ++x) {
      const TColor pixel = bitmap.Pixels(x, y);
      // Crisp glyphs: only the font colour and the untouched background.
      ASSERT_TRUE(pixel == clWhite || pixel == clBlack) << x << "," << y;
      if (pixel == clWhite) {
        ASSERT_TRUE(x >= 10 && x < 30 && y >= 5 && y < 30) << x << "," << y;
        ++inside;
      }
    }
  EXPECT_GT(inside, 10);

  // A solid brush fills the rectangle behind the text.
  canvas.Brush().SetStyle(bsSolid);
  canvas.Brush().SetColor(clBlue);
  canvas.TextRect(Rect(40, 0, 60, 20), 40, 0, "");
  EXPECT_EQ(bitmap.Pixels(40, 0), clBlue);
  EXPECT_EQ(bitmap.Pixels(59, 19), clBlue);
  EXPECT_EQ(bitmap.Pixels(60, 19), clBlack);
}

TEST(Bitmap, ResizingKeepsTheSharedPixelsAndBlackensTheNewOnes) {
  TBitmap bitmap;
  EXPECT_EQ(bitmap.Width(), 0);
  Fill(bitmap, 3, 3, clRed);
  bitmap.SetWidth(5);
  bitmap.SetHeight(2);
  EXPECT_EQ(bitmap.Width(), 5);
  EXPECT_EQ(bitmap.Height(), 2);
  EXPECT_EQ(bitmap.Pixels(2, 1), clRed);
  EXPECT_EQ(bitmap.Pixels(3, 1), clBlack);
  EXPECT_EQ(bitmap.Pixels(0, 2), clBlack);  // outside
  bitmap.SetSize(-4, 7);
  EXPECT_EQ(bitmap.Width(), 0);
  bitmap.Canvas()->FillRect(Rect(0, 0, 10, 10));  // nothing to paint, no fault
}
