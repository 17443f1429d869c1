#pragma once
// Small records shared by the controls and the drawing code.

#include <cstdint>
#include <type_traits>

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

// Stores a property's new value; false when it is the value already there, so that nothing
// needs redrawing or redoing.
template <class T>
bool SetIfChanged(T& field, const std::type_identity_t<T>& value) {
  if (field == value) return false;
  field = value;
  return true;
}
