#include "framework/TextStore.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <ranges>

namespace {

// Room left free after a reallocation, so that short texts do not reallocate on every insert.
constexpr size_t kMinimumTextGap = 256;
constexpr size_t kMinimumLineGap = 16;

template <class T>
T* Reallocate(T* block, size_t count) {
  void* grown = std::realloc(block, std::max<size_t>(count, 1) * sizeof(T));
  if (!grown) throw std::bad_alloc();
  return static_cast<T*>(grown);
}

// Grows a gap buffer so that it holds `needed` entries with a gap of at least `minimumGap`
// left: by half, so at most a third of the room is unused and growing stays amortized O(1).
template <class T>
void GrowGap(T*& block, size_t& capacity, size_t gapBegin, size_t& gapEnd, size_t needed,
             size_t minimumGap) {
  const size_t grown = std::max(capacity + capacity / 2, needed + minimumGap);
  const size_t tail = capacity - gapEnd;
  block = Reallocate(block, grown);
  std::memmove(block + grown - tail, block + gapEnd, tail * sizeof(T));
  gapEnd = grown - tail;
  capacity = grown;
  // The new room is touched now, as part of growing, and not when the gap first moves across
  // it: the page faults would otherwise all land on the one edit after a far move of the caret.
  std::memset(block + gapBegin, 0, (gapEnd - gapBegin) * sizeof(T));
}

}  // namespace

TTextStore::~TTextStore() {
  Release();
}

void TTextStore::Release() {
  std::free(text_);
  std::free(starts_);
  text_ = nullptr;
  starts_ = nullptr;
  capacity_ = head_ = gapBegin_ = gapEnd_ = 0;
  lineCapacity_ = lineHead_ = lineGapBegin_ = lineGapEnd_ = 0;
}

size_t TTextStore::LineLength(size_t line) const {
  const size_t end = line + 1 < LineCount() ? LineStart(line + 1) - 1 : Length();
  return end - LineStart(line);
}

size_t TTextStore::LineOf(size_t position) const {
  // By bisection over lines 1 and on: those up to the position's own line start at or before it.
  const auto later = std::views::iota(size_t{1}, LineCount());
  const auto startsBefore = [&](size_t line) { return LineStart(line) <= position; };
  return static_cast<size_t>(std::ranges::partition_point(later, startsBefore) - later.begin());
}

std::string TTextStore::Text(size_t from, size_t to) const {
  to = std::min(to, Length());
  std::string result;
  if (from >= to) return result;
  result.resize(to - from);
  const size_t gapAt = gapBegin_ - head_;
  const size_t before = from < gapAt ? std::min(to, gapAt) - from : 0;
  if (before) std::memcpy(result.data(), text_ + head_ + from, before);
  if (before < result.size()) {
    const size_t gap = gapEnd_ - gapBegin_;
    std::memcpy(result.data() + before, text_ + head_ + from + before + gap,
                result.size() - before);
  }
  return result;
}

bool TTextStore::Equals(std::string_view text) const {
  if (text.size() != Length()) return false;
  const size_t before = gapBegin_ - head_;
  return std::memcmp(text.data(), text_ + head_, before) == 0 &&
         std::memcmp(text.data() + before, text_ + gapEnd_, text.size() - before) == 0;
}

void TTextStore::MoveGap(size_t position) {
  const size_t length = Length();
  const size_t place = head_ + position;
  if (place < gapBegin_) {
    const size_t count = gapBegin_ - place;
    std::memmove(text_ + gapEnd_ - count, text_ + place, count);
    gapBegin_ -= count;
    gapEnd_ -= count;
    while (lineGapBegin_ > lineHead_ && starts_[lineGapBegin_ - 1] > place) {
      starts_[--lineGapEnd_] = length - (starts_[--lineGapBegin_] - head_);
    }
  } else if (place > gapBegin_) {
    const size_t count = place - gapBegin_;
    std::memmove(text_ + gapBegin_, text_ + gapEnd_, count);
    gapBegin_ += count;
    gapEnd_ += count;
    while (lineGapEnd_ < lineCapacity_ && length - starts_[lineGapEnd_] <= position) {
      starts_[lineGapBegin_++] = head_ + length - starts_[lineGapEnd_++];
    }
  }
}

void TTextStore::CompactText() {
  if (head_ == 0) return;
  std::memmove(text_, text_ + head_, gapBegin_ - head_);
  for (size_t entry = lineHead_; entry < lineGapBegin_; ++entry) starts_[entry] -= head_;
  gapBegin_ -= head_;
  head_ = 0;
}

void TTextStore::CompactLines() {
  if (lineHead_ == 0) return;
  std::memmove(starts_, starts_ + lineHead_, (lineGapBegin_ - lineHead_) * sizeof(uint64_t));
  lineGapBegin_ -= lineHead_;
  lineHead_ = 0;
}

void TTextStore::ReserveText(size_t extra) {
  if (gapEnd_ - gapBegin_ >= extra) return;
  // Dropped lines that took at least half as much room as the text has give it back in place:
  // moving the text then happens once per half a text's worth of appends.
  const bool reuse = head_ >= Length() / 2 && gapEnd_ - gapBegin_ + head_ >= extra;
  CompactText();
  if (!reuse) GrowGap(text_, capacity_, gapBegin_, gapEnd_, Length() + extra, kMinimumTextGap);
}

void TTextStore::ReserveLines(size_t extra) {
  if (lineGapEnd_ - lineGapBegin_ >= extra) return;
  const bool reuse =
      lineHead_ >= LineCount() / 2 && lineGapEnd_ - lineGapBegin_ + lineHead_ >= extra;
  CompactLines();
  if (!reuse)
    GrowGap(starts_, lineCapacity_, lineGapBegin_, lineGapEnd_, LineCount() + extra,
            kMinimumLineGap);
}

TTextChange TTextStore::Replace(size_t from, size_t to, std::string_view text) {
  to = std::min(to, Length());
  from = std::min(from, to);
  MoveGap(from);
  TTextChange change;
  change.line = lineGapBegin_ - 1 - lineHead_;
  // The removed characters lie right behind the gap, and the lines their breaks started right
  // behind the index gap.
  const size_t removed = to - from;
  change.removedBreaks =
      static_cast<size_t>(std::count(text_ + gapEnd_, text_ + gapEnd_ + removed, '\n'));
  lineGapEnd_ += change.removedBreaks;
  gapEnd_ += removed;

  ReserveText(text.size());
  size_t breaks = 0;
  for (char c : text) breaks += c == '\r' || c == '\n';
  ReserveLines(breaks);
  const size_t start = gapBegin_;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r') {
      c = '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    }
    text_[gapBegin_++] = c;
    if (c == '\n') starts_[lineGapBegin_++] = gapBegin_;
  }
  change.inserted = gapBegin_ - start;
  change.insertedBreaks = lineGapBegin_ - 1 - lineHead_ - change.line;
  return change;
}

std::string TTextStore::Normalized(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      result += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      result += text[i];
    }
  }
  return result;
}

void TTextStore::Assign(std::string_view text) {
  Release();
  size_t breaks = 0;
  for (char c : text) breaks += c == '\r' || c == '\n';
  capacity_ = text.size() + kMinimumTextGap;
  lineCapacity_ = breaks + 1 + kMinimumLineGap;
  text_ = Reallocate<char>(nullptr, capacity_);
  starts_ = Reallocate<uint64_t>(nullptr, lineCapacity_);
  gapEnd_ = capacity_;
  lineGapEnd_ = lineCapacity_;
  starts_[lineGapBegin_++] = 0;
  Replace(0, 0, text);
  // Whoever sets a whole text starts at its beginning; the gap waits there.
  MoveGap(0);
}

size_t TTextStore::RemoveLeadingLines(size_t count) {
  const size_t cut = LineStart(count);
  if (head_ + cut > gapBegin_) {
    Replace(0, cut, {});
    return cut;
  }
  // The lines all start in front of the gap, so their entries are the first ones of the index.
  head_ += cut;
  lineHead_ += count;
  return cut;
}
