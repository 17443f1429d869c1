#pragma once
// The text of a multi-line view, kept compact enough for a log that is never trimmed: one byte
// per character with a single '\n' per line break, and one index entry per line.
//
// Both the characters and the line-start index are gap buffers whose gap follows the place of
// the last change, so a run of insertions at one place (the caret of a log) costs the same
// however long the text is. Index entries behind the gap count from the end of the text, so an
// insertion in front of them leaves them as they are. Those in front of it hold places in the
// character buffer, so the first lines of a log can be dropped by moving where the text begins,
// without moving the rest; the room they took is taken back when the buffer needs room.
//
// Positions count the stored characters.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// What a replacement did to the lines: it began in `line`, took out `removedBreaks` line breaks
// and put in `insertedBreaks`; `inserted` characters were stored.
struct TTextChange {
  size_t line = 0;
  size_t removedBreaks = 0;
  size_t insertedBreaks = 0;
  size_t inserted = 0;
};

class TTextStore {
 public:
  TTextStore() { Assign({}); }
  ~TTextStore();
  TTextStore(const TTextStore&) = delete;
  TTextStore& operator=(const TTextStore&) = delete;

  size_t Length() const { return capacity_ - head_ - (gapEnd_ - gapBegin_); }
  size_t LineCount() const { return lineCapacity_ - lineHead_ - (lineGapEnd_ - lineGapBegin_); }
  char At(size_t position) const {
    const size_t place = head_ + position;
    return text_[place < gapBegin_ ? place : place + (gapEnd_ - gapBegin_)];
  }
  size_t LineStart(size_t line) const {
    const size_t entry = lineHead_ + line;
    return entry < lineGapBegin_ ? starts_[entry] - head_
                                 : Length() - starts_[entry + (lineGapEnd_ - lineGapBegin_)];
  }
  // The line's length without its break.
  size_t LineLength(size_t line) const;
  // The line holding the position; a line's break belongs to it.
  size_t LineOf(size_t position) const;
  // The stored characters of [from, to), breaks as '\n'.
  std::string Text(size_t from, size_t to) const;
  bool Equals(std::string_view text) const;

  // Puts text in place of [from, to). In the text, "\r\n", a lone "\r" and a lone "\n" each
  // become one line break.
  TTextChange Replace(size_t from, size_t to, std::string_view text);
  // The text as it would be stored.
  static std::string Normalized(std::string_view text);
  // Replaces everything and gives back the room the previous text took.
  void Assign(std::string_view text);
  // Drops the first `count` lines (fewer than LineCount()) with their breaks and returns how
  // many characters went. Costs the same however long the text is, unless the last change was
  // among those lines.
  size_t RemoveLeadingLines(size_t count);

 private:
  void Release();
  void MoveGap(size_t position);
  // Takes back the room of dropped lines.
  void CompactText();
  void CompactLines();
  void ReserveText(size_t extra);
  void ReserveLines(size_t extra);

  // The text is text_[head_, gapBegin_) and text_[gapEnd_, capacity_); in front of head_ lies
  // the room of dropped lines.
  char* text_ = nullptr;
  size_t capacity_ = 0;
  size_t head_ = 0;
  size_t gapBegin_ = 0;
  size_t gapEnd_ = 0;

  // From lineHead_ to the gap, the lines that start at or before the text gap, by the place in
  // text_ where they start; behind the gap, the others, by their distance from the end of the
  // text. The entries in front of lineHead_ belong to dropped lines.
  uint64_t* starts_ = nullptr;
  size_t lineCapacity_ = 0;
  size_t lineHead_ = 0;
  size_t lineGapBegin_ = 0;
  size_t lineGapEnd_ = 0;
};
