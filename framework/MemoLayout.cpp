#include "framework/MemoView.h"

#include <QScrollBar>
#include <QStyle>
#include <QTextLayout>
#include <algorithm>
#include <climits>
#include <cmath>

// Layouts kept at least, beyond those a screen needs: enough for scrolling back and forth.
constexpr size_t kCachedLayouts = 256;

// --- Geometry -------------------------------------------------------------------------------

int TMemoView::ScrollBarWidth() const {
  return style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scrollBar_);
}

int TMemoView::TextWidth() const {
  return std::max(0, width() - (scrollBarShown_ ? ScrollBarWidth() : 0));
}

int TMemoView::FullRows() const {
  return std::max(1, static_cast<int>(height() / rowHeight_));
}

void TMemoView::ForgetLayouts() {
  layouts_.clear();
  layoutsByText_.clear();
  // Every row is as high as a line of the font, its leading included.
  QTextLayout probe(QStringLiteral(" "), font());
  probe.beginLayout();
  QTextLine line = probe.createLine();
  line.setLeadingIncluded(true);
  line.setLineWidth(INT_MAX / 2);
  probe.endLayout();
  rowHeight_ = line.height();
  if (line.leading() < 0) rowHeight_ += std::ceil(line.leading());
  rowHeight_ = std::max<qreal>(rowHeight_, 1);
  laidOutWidth_ = TextWidth();
  layoutsStale_ = false;
}

void TMemoView::Settle() {
  if (layoutsStale_ || (wordWrap_ && laidOutWidth_ != TextWidth())) ForgetLayouts();
  if (!wordWrap_) horizontalOffset_ = std::max<qreal>(horizontalOffset_, 0);
  if (top_.line >= store_.LineCount()) top_ = TRow{store_.LineCount() - 1, 0};
  top_.row = std::min(top_.row, RowsOf(top_.line) - 1);
  if (caretToBeShown_) {
    caretToBeShown_ = false;
    if (firstCaretToBeShown_ < caret_) KeepVisible(firstCaretToBeShown_);
    KeepVisible(caret_);
  }
}

const QTextLayout& TMemoView::LayoutOf(size_t line) {
  ++layoutClock_;
  const auto byLine = [](const TCachedLayout& cached, size_t line) { return cached.line < line; };
  auto place = std::lower_bound(layouts_.begin(), layouts_.end(), line, byLine);
  if (place != layouts_.end() && place->line == line) {
    place->lastUse = layoutClock_;
    return *place->layout;
  }
  if (layouts_.size() >= std::max(kCachedLayouts, 4 * static_cast<size_t>(FullRows()))) {
    auto oldest = std::min_element(
        layouts_.begin(), layouts_.end(),
        [](const TCachedLayout& a, const TCachedLayout& b) { return a.lastUse < b.lastUse; });
    layouts_.erase(oldest);
    place = std::lower_bound(layouts_.begin(), layouts_.end(), line, byLine);
  }
  const size_t start = store_.LineStart(line);
  std::string text = store_.Text(start, start + store_.LineLength(line));
  if (auto same = layoutsByText_.find(text); same != layoutsByText_.end())
    return *layouts_.insert(place, TCachedLayout{line, same->second, layoutClock_})->layout;
  auto layout = std::make_shared<QTextLayout>(QString::fromLatin1(text), font());
  layout->setCacheEnabled(true);
  QTextOption option;
  option.setWrapMode(wordWrap_ ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
  layout->setTextOption(option);
  // A widget without width does not wrap at all, as a page without width.
  const qreal width = wordWrap_ && laidOutWidth_ > 0 ? laidOutWidth_ - 2 * kMargin
                                                     : static_cast<qreal>(INT_MAX / 2);
  layout->beginLayout();
  for (int row = 0;; ++row) {
    QTextLine textLine = layout->createLine();
    if (!textLine.isValid()) break;
    textLine.setLeadingIncluded(true);
    textLine.setLineWidth(width);
    textLine.setPosition(QPointF(kMargin, row * rowHeight_));
  }
  layout->endLayout();
  if (layoutsByText_.size() >= kCachedLayouts) layoutsByText_.clear();
  layoutsByText_.emplace(std::move(text), layout);
  return *layouts_.insert(place, TCachedLayout{line, std::move(layout), layoutClock_})->layout;
}

int TMemoView::RowCount(const QTextLayout& layout) {
  return std::max(1, layout.lineCount());
}

bool TMemoView::NextRow(TRow& row) {
  if (row.row + 1 < RowsOf(row.line)) {
    ++row.row;
    return true;
  }
  if (row.line + 1 >= store_.LineCount()) return false;
  row = TRow{row.line + 1, 0};
  return true;
}

bool TMemoView::PreviousRow(TRow& row) {
  if (row.row > 0) {
    --row.row;
    return true;
  }
  if (row.line == 0) return false;
  --row.line;
  row.row = RowsOf(row.line) - 1;
  return true;
}

TMemoView::TRow TMemoView::RowOf(size_t position) {
  const size_t line = store_.LineOf(position);
  const QTextLine textLine =
      LayoutOf(line).lineForTextPosition(static_cast<int>(position - store_.LineStart(line)));
  return TRow{line, textLine.isValid() ? textLine.lineNumber() : 0};
}

bool TMemoView::RowFits(const TRow& top, int rowsAbove) const {
  return TopOffset(top) + (rowsAbove + 1) * rowHeight_ <= height();
}

TMemoView::TRow TMemoView::LastTopRow() {
  TRow row{store_.LineCount() - 1, 0};
  row.row = RowsOf(row.line) - 1;
  int above = 0;
  while (above < FullRows() - 1 && PreviousRow(row)) ++above;
  if (above > 0 && !RowFits(row, above)) NextRow(row);
  return row;
}

void TMemoView::KeepVisible(size_t position) {
  const TRow caret = RowOf(position);
  if (caret < top_) {
    top_ = caret;
  } else {
    // Walk up from the caret at most a screen: either the top comes by and the caret is in
    // view, or the row where the walk ends becomes the top.
    TRow row = caret;
    int above = 0;
    while (row != top_ && above < FullRows() - 1 && PreviousRow(row)) ++above;
    if (row != top_ || !RowFits(top_, above)) {
      top_ = row;
      if (!RowFits(top_, above) && top_ != caret) NextRow(top_);
    }
  }
  if (wordWrap_) {
    horizontalOffset_ = 0;
  } else {
    const size_t start = store_.LineStart(caret.line);
    const qreal x =
        LayoutOf(caret.line).lineAt(caret.row).cursorToX(static_cast<int>(position - start));
    const int width = TextWidth();
    if (x - horizontalOffset_ < kMargin)
      horizontalOffset_ = std::max<qreal>(0, x - kMargin);
    else if (x - horizontalOffset_ > width - kMargin - 1)
      horizontalOffset_ = x - (width - kMargin - 1);
  }
}

size_t TMemoView::PositionAt(QPointF point) {
  TRow row = top_;
  const qreal y = point.y() - TopOffset(top_);
  if (point.y() < 0) {
    // Dragging above the view reaches the row above it.
    PreviousRow(row);
  } else if (y > 0) {
    for (int steps = static_cast<int>(y / rowHeight_); steps > 0 && NextRow(row); --steps) {
    }
  }
  const QTextLine textLine = LayoutOf(row.line).lineAt(row.row);
  return store_.LineStart(row.line) +
         static_cast<size_t>(std::max(0, textLine.xToCursor(point.x() + horizontalOffset_)));
}

void TMemoView::ScrollRows(int rows) {
  if (rows > 0) {
    const TRow last = LastTopRow();
    while (rows-- > 0 && top_ < last && NextRow(top_)) {
    }
  } else {
    while (rows++ < 0 && PreviousRow(top_)) {
    }
  }
  update();
}

void TMemoView::SyncScrollBar() {
  if (!scrollBarShown_) return;
  const TRow last = LastTopRow();
  const size_t maximum = last.line + (last.row > 0 ? 1 : 0);
  syncingScrollBar_ = true;
  scrollBar_->setRange(0, static_cast<int>(std::min<size_t>(maximum, INT_MAX)));
  scrollBar_->setPageStep(FullRows());
  scrollBar_->setSingleStep(1);
  scrollBar_->setValue(static_cast<int>(std::min<size_t>(top_.line, INT_MAX)));
  syncingScrollBar_ = false;
}

// --- Caret moves along the rows -------------------------------------------------------------

void TMemoView::MoveCaret(TMove move, bool extend) {
  const bool vertical = move == TMove::NextLine || move == TMove::PreviousLine ||
                        move == TMove::NextPage || move == TMove::PreviousPage;
  if (!vertical) stickyX_ = -1;
  size_t target;
  if (!extend && anchor_ != caret_ && (move == TMove::NextChar || move == TMove::PreviousChar))
    target = move == TMove::NextChar ? SelectionEnd() : SelectionStart();
  else
    target = Moved(move);
  SetSelection(extend ? anchor_ : target, target, TReveal::Now);
}

size_t TMemoView::Moved(TMove move) {
  switch (move) {
    case TMove::StartOfLine:
    case TMove::EndOfLine: {
      const TRow row = RowOf(caret_);
      const size_t start = store_.LineStart(row.line);
      const QTextLine textLine = LayoutOf(row.line).lineAt(row.row);
      if (move == TMove::StartOfLine) return start + static_cast<size_t>(textLine.textStart());
      size_t end = start + static_cast<size_t>(textLine.textStart() + textLine.textLength());
      // A wrapped row ends before the blank it was broken at.
      if (row.row + 1 < RowsOf(row.line) && end > start && IsBlank(store_.At(end - 1))) --end;
      return end;
    }
    case TMove::NextLine:
    case TMove::PreviousLine:
    case TMove::NextPage:
    case TMove::PreviousPage: {
      TRow row = RowOf(caret_);
      if (stickyX_ < 0) {
        stickyX_ = LayoutOf(row.line).lineAt(row.row).cursorToX(
            static_cast<int>(caret_ - store_.LineStart(row.line)));
      }
      const bool down = move == TMove::NextLine || move == TMove::NextPage;
      const bool page = move == TMove::NextPage || move == TMove::PreviousPage;
      const int rows = page ? FullRows() : 1;
      int moved = 0;
      while (moved < rows && (down ? NextRow(row) : PreviousRow(row))) ++moved;
      if (moved == 0) return caret_;
      // A page key moves the view along with the caret.
      if (page) ScrollRows(down ? moved : -moved);
      const QTextLine textLine = LayoutOf(row.line).lineAt(row.row);
      return store_.LineStart(row.line) +
             static_cast<size_t>(std::max(0, textLine.xToCursor(stickyX_)));
    }
    default:
      return MovedInText(store_, caret_, move);
  }
}
