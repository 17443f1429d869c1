#pragma once
// Single pixels of a picture, each checked against its colour.

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>

#include "framework/Bitmap.h"
#include "tests/support/ShownPixels.h"

struct ExpectedPixel {
  int x, y;
  TColor color;
};

// What the control's window shows, as a bitmap whose Pixels read its colours.
inline std::unique_ptr<TBitmap> Shown(TControl& control) {
  const TPixelBuffer pixels = ShownPixels(control);
  auto picture = std::make_unique<TBitmap>();
  picture->SetSize(pixels.Width(), pixels.Height());
  for (int y = 0; y < pixels.Height(); ++y)
    for (int x = 0; x < pixels.Width(); ++x)
      picture->Canvas()->SetPixel(x, y, ColorOfPixel(pixels.Row(y)[x]));
  return picture;
}

// The pixels as a braced list or an array of them.
template <typename Pixels = std::initializer_list<ExpectedPixel>>
void ExpectPixels(const TBitmap& picture, const Pixels& expected) {
  for (const ExpectedPixel& e : expected)
    EXPECT_EQ(picture.Pixels(e.x, e.y), e.color) << "at " << e.x << "," << e.y;
}
