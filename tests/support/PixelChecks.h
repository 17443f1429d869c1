#pragma once
// Single pixels of a picture, each checked against its colour.

#include <gtest/gtest.h>

#include <initializer_list>
#include <type_traits>

#include "framework/Bitmap.h"
#include "framework/GraphicControl.h"

struct ExpectedPixel {
  int x, y;
  TColor color;
};

// For a bitmap, and for a graphic control's surface as it was last painted; the pixels as a
// braced list or an array of them.
template <typename Picture, typename Pixels = std::initializer_list<ExpectedPixel>>
void ExpectPixels(const Picture& picture, const Pixels& expected) {
  for (const ExpectedPixel& e : expected) {
    if constexpr (std::is_base_of_v<TGraphicControl, Picture>) {
      EXPECT_EQ(picture.SurfacePixel(e.x, e.y), e.color) << "at " << e.x << "," << e.y;
    } else {
      EXPECT_EQ(picture.Pixels(e.x, e.y), e.color) << "at " << e.x << "," << e.y;
    }
  }
}
