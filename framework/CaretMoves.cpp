#include "framework/CaretMoves.h"

#include <QChar>
#include <algorithm>

namespace {

// 0: line break, 1: blank, 2: word character, 3: anything else.
int CharacterClass(char c) {
  if (c == '\n') return 0;
  if (IsBlank(c)) return 1;
  return c == '_' || QChar::fromLatin1(c).isLetterOrNumber() ? 2 : 3;
}

// To the start of the next word, as the word keys move.
size_t NextWord(const TTextStore& text, size_t position) {
  const size_t length = text.Length();
  if (position >= length) return length;
  const int cls = CharacterClass(text.At(position));
  if (cls == 0) return position + 1;
  while (position < length && CharacterClass(text.At(position)) == cls) ++position;
  while (position < length && CharacterClass(text.At(position)) == 1) ++position;
  return position;
}

size_t PreviousWord(const TTextStore& text, size_t position) {
  if (position == 0) return 0;
  while (position > 0 && CharacterClass(text.At(position - 1)) == 1) --position;
  if (position == 0) return 0;
  const int cls = CharacterClass(text.At(position - 1));
  if (cls == 0) return position - 1;
  while (position > 0 && CharacterClass(text.At(position - 1)) == cls) --position;
  return position;
}

}  // namespace

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

size_t MovedInText(const TTextStore& text, size_t caret, TCaretMove move) {
  switch (move) {
    case TCaretMove::NextChar:
      return std::min(caret + 1, text.Length());
    case TCaretMove::PreviousChar:
      return caret > 0 ? caret - 1 : 0;
    case TCaretMove::NextWord:
      return NextWord(text, caret);
    case TCaretMove::PreviousWord:
      return PreviousWord(text, caret);
    case TCaretMove::StartOfDocument:
      return 0;
    case TCaretMove::EndOfDocument:
      return text.Length();
    default:
      return caret;
  }
}

std::pair<size_t, size_t> WordAt(const TTextStore& text, size_t position) {
  const size_t length = text.Length();
  // The character under the pointer, or the one before it at the end of a line.
  size_t at = position;
  if (at >= length || text.At(at) == '\n') {
    if (at == 0 || text.At(at - 1) == '\n') return {position, position};
    --at;
  }
  const int cls = CharacterClass(text.At(at));
  size_t from = at, to = at + 1;
  while (from > 0 && CharacterClass(text.At(from - 1)) == cls) --from;
  while (to < length && CharacterClass(text.At(to)) == cls) ++to;
  return {from, to};
}
