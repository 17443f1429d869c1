#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "framework/Bitmap.h"
#include "framework/Canvas.h"
#include "tests/support/PixelChecks.h"

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
  ExpectPixels(bitmap, {{0, 8, clLime}, {9, 9, clLime}, {9, 7, clBlack}});
  canvas.FillRect(Rect(6, 6, 4, 4));  // inverted: nothing
  EXPECT_EQ(bitmap.Pixels(5, 5), clBlack);
  canvas.Brush().SetStyle(bsClear);
  canvas.FillRect(Rect(0, 0, 10, 10));
  EXPECT_EQ(CountColor(bitmap, clLime), 20);
}

TEST(Canvas, LineToLeavesOutTheEndPointAndMovesThePenAndAWidePenPaintsAroundIt) {
  TBitmap bitmap;
  Fill(bitmap, 10, 10, clBlack);
  TCanvas& canvas = *bitmap.Canvas();
  canvas.Pen().SetColor(clGreen);
  canvas.MoveTo(1, 2);
  canvas.LineTo(6, 2);
  for (int x = 0; x < 10; ++x)
    EXPECT_EQ(bitmap.Pixels(x, 2), (x >= 1 && x < 6) ? clGreen : clBlack);
  canvas.LineTo(6, 9);  // continues from the end point, which it now paints first
  for (int y = 0; y < 10; ++y)
    EXPECT_EQ(bitmap.Pixels(6, y), (y >= 2 && y < 9) ? clGreen : clBlack);
  Fill(bitmap, 10, 10, clBlack);
  canvas.MoveTo(0, 0);
  canvas.LineTo(4, 4);
  EXPECT_EQ(CountColor(bitmap, clGreen), 4);
  ExpectPixels(bitmap, {{3, 3, clGreen}, {4, 4, clBlack}});
  // A line into the far distance paints its visible part and returns at once.
  Fill(bitmap, 10, 10, clBlack);
  canvas.MoveTo(5, 0);
  canvas.LineTo(5, INT_MAX / 2);
  for (int y = 0; y < 10; ++y) EXPECT_EQ(bitmap.Pixels(5, y), clGreen) << y;
  canvas.MoveTo(-2000000000, 3);
  canvas.LineTo(2000000000, 3);
  for (int x = 0; x < 10; ++x) EXPECT_EQ(bitmap.Pixels(x, 3), clGreen) << x;
  // A wide pen paints around the line.
  Fill(bitmap, 10, 10, clBlack);
  canvas.Pen().SetWidth(3);
  canvas.Pen().SetColor(clWhite);
  canvas.MoveTo(2, 5);
  canvas.LineTo(8, 5);
  ExpectPixels(bitmap, {{4, 4, clWhite}, {4, 6, clWhite}, {4, 7, clBlack}, {4, 3, clBlack}});
}

TEST(Canvas, EllipseFitsItsBoundingBoxWithPenEdgeAndBrushInside) {
  TBitmap bitmap;
  Fill(bitmap, 100, 100, clRed);
  TCanvas& canvas = *bitmap.Canvas();
  canvas.Pen().SetColor(clBlack);
  canvas.Brush().SetColor(clWhite);
  canvas.Ellipse(1, 1, 99, 99);
  // The last: a corner outside the ellipse.
  const ExpectedPixel pixels[] = {
      {0, 50, clRed},   {1, 50, clBlack},  {2, 50, clWhite}, {98, 50, clBlack}, {99, 50, clRed},
      {50, 1, clBlack}, {50, 98, clBlack}, {50, 99, clRed},  {50, 50, clWhite}, {5, 5, clRed}};
  ExpectPixels(bitmap, pixels);
  // Symmetric about both axes of the box.
  for (int y = 1; y < 99; ++y)
    for (int x = 1; x < 99; ++x) ASSERT_EQ(bitmap.Pixels(x, y), bitmap.Pixels(99 - x, 99 - y));
  // A clear brush draws only the edge.
  Fill(bitmap, 100, 100, clRed);
  canvas.Brush().SetStyle(bsClear);
  canvas.Ellipse(1, 1, 99, 99);
  ExpectPixels(bitmap, {{50, 50, clRed}, {1, 50, clBlack}});
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
  // The last pie's radials to the east and to the north, in the pen's colour.
  ExpectPixels(bitmap, {{75, 49, clBlack}, {50, 25, clBlack}});
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
  const TColor from = RGB(0x0F, 0xF0, 0x55), to = RGB(0xFF, 0x00, 0x50);
  const TColor mixed = RGB(0xF0, 0xF0, 0x05);  // the two by exclusive or
  TBitmap source, target;
  Fill(source, 4, 4, from);
  Fill(target, 6, 6, to);
  TCanvas& canvas = *target.Canvas();
  canvas.SetCopyMode(SRCINVERT);
  canvas.Draw(1, 1, source);
  ExpectPixels(target, {{1, 1, mixed}, {4, 4, mixed}, {0, 0, to}, {5, 5, to}});
  canvas.Draw(1, 1, source);  // the same again undoes it
  EXPECT_EQ(target.Pixels(2, 2), to);
  canvas.SetCopyMode(SRCCOPY);
  canvas.Draw(4, 4, source);  // clipped at the right and bottom
  ExpectPixels(target, {{5, 5, from}, {3, 3, to}});
  canvas.SetCopyMode(BLACKNESS);
  canvas.CopyRect(Rect(0, 0, 3, 6), canvas, Rect(0, 0, 3, 6));
  ExpectPixels(target, {{2, 5, clBlack}, {3, 0, to}});
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
  ExpectPixels(target, {{2, 5, clRed}, {3, 0, clBlue}});
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
  ExpectPixels(bitmap, {{40, 0, clBlue}, {59, 19, clBlue}, {60, 19, clBlack}});
}

TEST(Bitmap, ResizingKeepsTheSharedPixelsAndBlackensTheNewOnes) {
  TBitmap bitmap;
  EXPECT_EQ(bitmap.Width(), 0);
  Fill(bitmap, 3, 3, clRed);
  bitmap.SetSize(5, 2);
  EXPECT_EQ(bitmap.Width(), 5);
  EXPECT_EQ(bitmap.Height(), 2);
  // The last lies outside the bitmap.
  ExpectPixels(bitmap, {{2, 1, clRed}, {3, 1, clBlack}, {0, 2, clBlack}});
  bitmap.SetSize(-4, 7);
  EXPECT_EQ(bitmap.Width(), 0);
  bitmap.Canvas()->FillRect(Rect(0, 0, 10, 10));  // nothing to paint, no fault
}
