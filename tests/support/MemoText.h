#pragma once
// A memo's text as its view holds it, with the "\r\n" line ends the program writes; from and to
// count a line break as one character, as the view's positions do.

#include <cstdint>
#include <string>

#include "framework/Memo.h"
#include "framework/MemoView.h"

inline std::string MemoText(const TMemo& memo, size_t from = 0, size_t to = SIZE_MAX) {
  std::string text;
  for (const char c : static_cast<TMemoView*>(memo.Widget())->Store().Text(from, to)) {
    if (c == '\n') text += '\r';
    text += c;
  }
  return text;
}
