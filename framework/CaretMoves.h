#pragma once
// Caret moves that the text alone decides, without its layout: by character, by word and to
// either end, and the word that a double click selects. Positions count the stored characters.

#include <cstddef>
#include <utility>

#include "framework/TextStore.h"

enum class TCaretMove {
  NextChar,
  PreviousChar,
  NextWord,
  PreviousWord,
  NextLine,
  PreviousLine,
  NextPage,
  PreviousPage,
  StartOfLine,
  EndOfLine,
  StartOfDocument,
  EndOfDocument
};

// Where the move takes the caret. Moves by row depend on the layout: they leave it where it is.
size_t MovedInText(const TTextStore& text, size_t caret, TCaretMove move);

// The run of word characters, blanks or other characters at the position, or the one before it
// at the end of a line; the empty range at the position on an empty line.
std::pair<size_t, size_t> WordAt(const TTextStore& text, size_t position);

// A space or a tab: where wrapped rows are broken.
bool IsBlank(char c);
