#pragma once
// A memo's text as its view holds it, read back with the "\r\n" line ends the program writes.

#include <cstdint>
#include <string>

#include "framework/Memo.h"
#include "framework/MemoView.h"

inline TMemoView* ViewOf(const TMemo& memo) {
  return static_cast<TMemoView*>(memo.Widget());
}

// [from, to) in the view's positions, which count a line break as one character.
inline std::string MemoText(const TMemo& memo, size_t from = 0, size_t to = SIZE_MAX) {
  std::string text;
  for (const char c : ViewOf(memo)->Store().Text(from, to)) {
    if (c == '\n') text += '\r';
    text += c;
  }
  return text;
}
