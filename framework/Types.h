#pragma once
// Small records shared by the controls and the drawing code.

#include <cstdint>

struct TPoint {
  int32_t X = 0;
  int32_t Y = 0;
};

// Right and bottom are exclusive when a rectangle is filled.
struct TRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;

  int32_t Width() const { return Right - Left; }
  int32_t Height() const { return Bottom - Top; }
  bool operator==(const TRect&) const = default;
};

inline TRect Rect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  return TRect{left, top, right, bottom};
}

// Which scroll bars a control offers.
enum class TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
