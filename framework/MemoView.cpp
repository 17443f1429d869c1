#include "framework/MemoView.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QTextLayout>
#include <QWheelEvent>
#include <algorithm>
#include <climits>
#include <cmath>

#include "framework/FramePacer.h"

namespace {

// Room between the widget's edges and the text.
constexpr int kMargin = 1;
// Layouts kept at least, beyond those a screen needs: enough for scrolling back and forth.
constexpr size_t kCachedLayouts = 256;

QString ToDisplay(const std::string& text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// Text from the keyboard or the clipboard, in the 8-bit characters the memo holds.
std::string FromDisplay(const QString& text) {
  const QByteArray latin = text.toLatin1();
  return std::string(latin.constData(), static_cast<size_t>(latin.size()));
}

bool IsWordCharacter(char c) {
  return c == '_' || QChar::fromLatin1(c).isLetterOrNumber();
}

// 0: line break, 1: blank, 2: word character, 3: anything else.
int CharacterClass(char c) {
  if (c == '\n') return 0;
  if (c == ' ' || c == '\t') return 1;
  return IsWordCharacter(c) ? 2 : 3;
}

QString ShortcutText(QKeySequence::StandardKey key) {
  const QKeySequence sequence(key);
  return sequence.isEmpty() ? QString() : "\t" + sequence.toString(QKeySequence::NativeText);
}

}  // namespace

TMemoView::TMemoView() : scrollBar_(new QScrollBar(Qt::Vertical, this)) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::StrongFocus);
  setCursor(Qt::IBeamCursor);
  scrollBar_->hide();
  scrollBar_->setCursor(Qt::ArrowCursor);
  QObject::connect(scrollBar_, &QScrollBar::valueChanged, this, [this](int value) {
    if (syncingScrollBar_) return;
    top_ = TRow{static_cast<size_t>(std::max(value, 0)), 0};
    update();
  });
}

TMemoView::~TMemoView() = default;

// --- Text and selection ---------------------------------------------------------------------

void TMemoView::SetText(std::string_view text) {
  store_.Assign(text);
  layouts_.clear();
  top_ = TRow{};
  horizontalOffset_ = 0;
  stickyX_ = -1;
  caretToBeShown_ = false;
  SetSelection(0, 0, TReveal::No);
  if (OnTextChanged) OnTextChanged();
}

void TMemoView::ReplaceSelection(std::string_view text) {
  Edit(SelectionStart(), SelectionEnd(), text);
}

void TMemoView::Edit(size_t from, size_t to, std::string_view text) {
  to = std::min(to, store_.Length());
  from = std::min(from, to);
  const TTextChange change = store_.Replace(from, to, text);
  editedFrom_ = std::min(editedFrom_, change.line);
  // Layouts of the lines the change went through are out of date; the lines behind it moved.
  // The kept layouts are in line order, so edits near the end of a log touch only the last few.
  const size_t last = change.line + change.removedBreaks;
  const auto first =
      std::lower_bound(layouts_.begin(), layouts_.end(), change.line,
                       [](const TCachedLayout& cached, size_t line) { return cached.line < line; });
  const auto behind =
      std::upper_bound(first, layouts_.end(), last,
                       [](size_t line, const TCachedLayout& cached) { return line < cached.line; });
  for (auto moved = behind; moved != layouts_.end(); ++moved)
    moved->line = moved->line - change.removedBreaks + change.insertedBreaks;
  layouts_.erase(first, behind);
  if (top_.line > last)
    top_.line = top_.line - change.removedBreaks + change.insertedBreaks;
  else if (top_.line > change.line)
    top_ = TRow{change.line, 0};
  stickyX_ = -1;
  const size_t caret = from + change.inserted;
  SetSelection(caret, caret, TReveal::Later);
  if (OnTextChanged && (change.inserted > 0 || to > from)) OnTextChanged();
}

void TMemoView::Select(size_t anchor, size_t caret) {
  stickyX_ = -1;
  SetSelection(anchor, caret, TReveal::Now);
}

void TMemoView::SetSelection(size_t anchor, size_t caret, TReveal reveal) {
  anchor_ = std::min(anchor, store_.Length());
  caret_ = std::min(caret, store_.Length());
  if (reveal == TReveal::Later && !caretToBeShown_) {
    caretToBeShown_ = true;
    firstCaretToBeShown_ = caret_;
  } else if (reveal == TReveal::Now) {
    Settle();
    KeepVisible(caret_);
  }
  // A caret that moved stays lit until the blink's next tick but one.
  caretOn_ = true;
  caretMoved_ = true;
  Repaint();
}

void TMemoView::Repaint() {
  // One request until the paint comes: asking the toolkit each time costs more than the edit.
  if (repaintAsked_) return;
  repaintAsked_ = true;
  if (!PrepareOnNextFrame(this, [this] { PrepareFrame(); })) update();
}

void TMemoView::PrepareFrame() {
  const size_t editedFrom = editedFrom_;
  editedFrom_ = SIZE_MAX;
  const bool layoutsKept = !layoutsStale_ && !(wordWrap_ && laidOutWidth_ != TextWidth());
  Settle();
  // Rows move by whole pixels only; a selection or a sideways scroll changes every row.
  const bool rowsMoveAsTheyAre =
      painted_ && layoutsKept && editedFrom != SIZE_MAX && editedFrom > paintedTop_.line &&
      paintedTop_ <= top_ && anchor_ == caret_ && !paintedSelection_ &&
      horizontalOffset_ == paintedOffset_ && rowHeight_ == std::floor(rowHeight_);
  if (!rowsMoveAsTheyAre) {
    update();
    return;
  }
  const int fullRows = FullRows();
  int scrolled = 0;
  for (TRow row = paintedTop_; row < top_; ++scrolled) {
    if (scrolled > fullRows || !NextRow(row)) {
      update();
      return;
    }
  }
  const auto offsetOf = [](const TRow& top) { return top == TRow{} ? kMargin : 0; };
  const int shift =
      offsetOf(top_) - offsetOf(paintedTop_) - scrolled * static_cast<int>(rowHeight_);
  const QRect text(0, 0, TextWidth(), height());
  if (shift != 0) scroll(0, shift, text);
  int editedY = 0;
  if (editedFrom > top_.line) {
    int rows = 0;
    for (TRow row = top_; row.line < editedFrom && rows <= fullRows && NextRow(row);) ++rows;
    editedY = offsetOf(top_) + rows * static_cast<int>(rowHeight_);
  }
  if (editedY < height()) update(QRect(0, editedY, text.width(), height() - editedY));
  if (caretRect_.isValid()) update(caretRect_.translated(0, shift));
}

void TMemoView::SetReadOnly(bool readOnly) {
  readOnly_ = readOnly;
}

void TMemoView::SetWordWrap(bool wordWrap) {
  if (wordWrap == wordWrap_) return;
  wordWrap_ = wordWrap;
  layoutsStale_ = true;
  horizontalOffset_ = 0;
  update();
}

void TMemoView::SetVerticalScrollBar(bool shown) {
  scrollBarShown_ = shown;
  scrollBar_->setGeometry(width() - ScrollBarWidth(), 0, ScrollBarWidth(), height());
  scrollBar_->setVisible(shown);
  update();
}

void TMemoView::Copy() const {
  if (anchor_ == caret_) return;
  QGuiApplication::clipboard()->setText(ToDisplay(store_.Text(SelectionStart(), SelectionEnd())));
}

void TMemoView::Cut() {
  if (readOnly_ || anchor_ == caret_) return;
  Copy();
  DeleteSelection();
}

void TMemoView::Paste() {
  if (readOnly_) return;
  const QString text = QGuiApplication::clipboard()->text();
  if (!text.isEmpty()) ReplaceSelection(FromDisplay(text));
}

void TMemoView::DeleteSelection() {
  if (readOnly_ || anchor_ == caret_) return;
  ReplaceSelection({});
}

void TMemoView::SelectAll() {
  stickyX_ = -1;
  SetSelection(0, store_.Length(), TReveal::No);
}

QMenu* TMemoView::CreateContextMenu() {
  auto* menu = new QMenu(this);
  const bool selected = anchor_ != caret_;
  auto add = [&](const QString& text, bool enabled, void (TMemoView::*action)()) {
    QAction* item = menu->addAction(text);
    item->setEnabled(enabled);
    QObject::connect(item, &QAction::triggered, this, [this, action] { (this->*action)(); });
  };
  if (!readOnly_) add(tr("Cu&t") + ShortcutText(QKeySequence::Cut), selected, &TMemoView::Cut);
  QAction* copy = menu->addAction(tr("&Copy") + ShortcutText(QKeySequence::Copy));
  copy->setEnabled(selected);
  QObject::connect(copy, &QAction::triggered, this, [this] { Copy(); });
  if (!readOnly_) {
    add(tr("&Paste") + ShortcutText(QKeySequence::Paste),
        !QGuiApplication::clipboard()->text().isEmpty(), &TMemoView::Paste);
    add(tr("Delete"), selected, &TMemoView::DeleteSelection);
  }
  menu->addSeparator();
  add(tr("Select All") + ShortcutText(QKeySequence::SelectAll), store_.Length() > 0,
      &TMemoView::SelectAll);
  return menu;
}

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

qreal TMemoView::TopOffset() const {
  // The margin sits above the first line of the text only, as on a page.
  return top_ == TRow{} ? kMargin : 0;
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
  auto layout = std::make_shared<QTextLayout>(ToDisplay(text), font());
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
  return (top == TRow{} ? kMargin : 0) + (rowsAbove + 1) * rowHeight_ <= height();
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
  const qreal y = point.y() - TopOffset();
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

// --- Painting -------------------------------------------------------------------------------

void TMemoView::paintEvent(QPaintEvent* event) {
  repaintAsked_ = false;
  Settle();
  // The rest of the view still shows the rows where they were: they are drawn anew next frame.
  const QRect text(0, 0, TextWidth(), height());
  if (painted_ && (top_ != paintedTop_ || horizontalOffset_ != paintedOffset_) &&
      !(QRegion(text) - event->region()).isEmpty())
    update();
  QPainter painter(this);
  const QPalette& colours = palette();
  painter.fillRect(rect(), colours.brush(QPalette::Base));
  const int height = this->height();
  const QRect clip = event->rect() & QRect(0, 0, TextWidth(), height);
  painter.setClipRect(clip);
  painter.setPen(colours.color(QPalette::Text));

  const QPalette::ColorGroup group = hasFocus() ? QPalette::Active : QPalette::Inactive;
  QTextCharFormat selected;
  selected.setBackground(colours.brush(group, QPalette::Highlight));
  selected.setForeground(colours.brush(group, QPalette::HighlightedText));
  const size_t selectionStart = SelectionStart(), selectionEnd = SelectionEnd();

  caretRect_ = QRect();
  qreal y = TopOffset();
  for (size_t line = top_.line; line < store_.LineCount() && y < height; ++line) {
    const QTextLayout& layout = LayoutOf(line);
    const int firstRow = line == top_.line ? top_.row : 0;
    const QPointF origin(-horizontalOffset_, y - firstRow * rowHeight_);
    const size_t start = store_.LineStart(line);
    const size_t end = start + store_.LineLength(line);
    QList<QTextLayout::FormatRange> selections;
    // A selected line break shows as a little room behind the line's text.
    if (selectionStart < selectionEnd && selectionStart <= end && selectionEnd > start) {
      const size_t from = std::max(selectionStart, start);
      const size_t to = std::min(selectionEnd, end + 1);
      selections.append({static_cast<int>(from - start), static_cast<int>(to - from), selected});
    }
    layout.draw(&painter, origin, selections, clip);
    if (caret_ >= start && caret_ <= end) {
      const int column = static_cast<int>(caret_ - start);
      const QTextLine row = layout.lineForTextPosition(column);
      const qreal x = origin.x() + row.cursorToX(column);
      caretRect_ = QRect(static_cast<int>(std::floor(x)) - 1,
                         static_cast<int>(std::floor(origin.y() + row.y())), 3,
                         static_cast<int>(std::ceil(rowHeight_)) + 1);
      if (caretOn_ && hasFocus()) layout.drawCursor(&painter, origin, column, 1);
    }
    y += (RowCount(layout) - firstRow) * rowHeight_;
  }
  SyncScrollBar();
  paintedTop_ = top_;
  paintedOffset_ = horizontalOffset_;
  paintedSelection_ = anchor_ != caret_;
  painted_ = true;
}

// --- Input ----------------------------------------------------------------------------------

bool TMemoView::event(QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride) {
    // Keys the view handles itself are not taken away by the window's shortcuts.
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->matches(QKeySequence::Copy) || key->matches(QKeySequence::SelectAll) ||
        (!readOnly_ && (key->matches(QKeySequence::Cut) || key->matches(QKeySequence::Paste)))) {
      event->accept();
      return true;
    }
  }
  return QWidget::event(event);
}

void TMemoView::resizeEvent(QResizeEvent*) {
  scrollBar_->setGeometry(width() - ScrollBarWidth(), 0, ScrollBarWidth(), height());
}

void TMemoView::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange) layoutsStale_ = true;
  if (event->type() == QEvent::StyleChange)
    scrollBar_->setGeometry(width() - ScrollBarWidth(), 0, ScrollBarWidth(), height());
  update();
  QWidget::changeEvent(event);
}

void TMemoView::keyPressEvent(QKeyEvent* event) {
  struct TBinding {
    QKeySequence::StandardKey key;
    TMove move;
    bool extend;
  };
  static const TBinding bindings[] = {
      {QKeySequence::MoveToNextChar, TMove::NextChar, false},
      {QKeySequence::MoveToPreviousChar, TMove::PreviousChar, false},
      {QKeySequence::MoveToNextWord, TMove::NextWord, false},
      {QKeySequence::MoveToPreviousWord, TMove::PreviousWord, false},
      {QKeySequence::MoveToNextLine, TMove::NextLine, false},
      {QKeySequence::MoveToPreviousLine, TMove::PreviousLine, false},
      {QKeySequence::MoveToNextPage, TMove::NextPage, false},
      {QKeySequence::MoveToPreviousPage, TMove::PreviousPage, false},
      {QKeySequence::MoveToStartOfLine, TMove::StartOfLine, false},
      {QKeySequence::MoveToEndOfLine, TMove::EndOfLine, false},
      {QKeySequence::MoveToStartOfDocument, TMove::StartOfDocument, false},
      {QKeySequence::MoveToEndOfDocument, TMove::EndOfDocument, false},
      {QKeySequence::SelectNextChar, TMove::NextChar, true},
      {QKeySequence::SelectPreviousChar, TMove::PreviousChar, true},
      {QKeySequence::SelectNextWord, TMove::NextWord, true},
      {QKeySequence::SelectPreviousWord, TMove::PreviousWord, true},
      {QKeySequence::SelectNextLine, TMove::NextLine, true},
      {QKeySequence::SelectPreviousLine, TMove::PreviousLine, true},
      {QKeySequence::SelectNextPage, TMove::NextPage, true},
      {QKeySequence::SelectPreviousPage, TMove::PreviousPage, true},
      {QKeySequence::SelectStartOfLine, TMove::StartOfLine, true},
      {QKeySequence::SelectEndOfLine, TMove::EndOfLine, true},
      {QKeySequence::SelectStartOfDocument, TMove::StartOfDocument, true},
      {QKeySequence::SelectEndOfDocument, TMove::EndOfDocument, true},
  };
  Settle();
  if (event->matches(QKeySequence::SelectAll)) {
    SelectAll();
    return;
  }
  if (event->matches(QKeySequence::Copy)) {
    Copy();
    return;
  }
  for (const TBinding& binding : bindings) {
    if (event->matches(binding.key)) {
      MoveCaret(binding.move, binding.extend);
      return;
    }
  }
  if (!readOnly_ && HandleEditKey(event)) return;
  event->ignore();
}

bool TMemoView::HandleEditKey(QKeyEvent* event) {
  if (event->matches(QKeySequence::Cut)) {
    Cut();
  } else if (event->matches(QKeySequence::Paste)) {
    Paste();
  } else if (event->key() == Qt::Key_Backspace) {
    if (anchor_ != caret_)
      DeleteSelection();
    else if (caret_ > 0)
      Edit(caret_ - 1, caret_, {});
  } else if (event->matches(QKeySequence::Delete)) {
    if (anchor_ != caret_)
      DeleteSelection();
    else if (caret_ < store_.Length())
      Edit(caret_, caret_ + 1, {});
  } else if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    ReplaceSelection("\n");
  } else {
    const QString text = event->text();
    const bool printable = !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) {
      return c == '\t' || (c.isPrint() && c.unicode() != 0x7F);
    });
    if (!printable) return false;
    ReplaceSelection(FromDisplay(text));
  }
  return true;
}

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
  const size_t length = store_.Length();
  switch (move) {
    case TMove::NextChar:
      return std::min(caret_ + 1, length);
    case TMove::PreviousChar:
      return caret_ > 0 ? caret_ - 1 : 0;
    case TMove::NextWord:
      return WordEnd(caret_);
    case TMove::PreviousWord:
      return WordStart(caret_);
    case TMove::StartOfDocument:
      return 0;
    case TMove::EndOfDocument:
      return length;
    case TMove::StartOfLine:
    case TMove::EndOfLine: {
      const TRow row = RowOf(caret_);
      const size_t start = store_.LineStart(row.line);
      const QTextLine textLine = LayoutOf(row.line).lineAt(row.row);
      if (move == TMove::StartOfLine) return start + static_cast<size_t>(textLine.textStart());
      size_t end = start + static_cast<size_t>(textLine.textStart() + textLine.textLength());
      // A wrapped row ends before the blank it was broken at.
      if (row.row + 1 < RowsOf(row.line) && end > start && CharacterClass(store_.At(end - 1)) == 1)
        --end;
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
  }
  return caret_;
}

size_t TMemoView::WordEnd(size_t position) const {
  // To the start of the next word, as the word keys move.
  const size_t length = store_.Length();
  if (position >= length) return length;
  const int cls = CharacterClass(store_.At(position));
  if (cls == 0) return position + 1;
  while (position < length && CharacterClass(store_.At(position)) == cls) ++position;
  while (position < length && CharacterClass(store_.At(position)) == 1) ++position;
  return position;
}

size_t TMemoView::WordStart(size_t position) const {
  if (position == 0) return 0;
  while (position > 0 && CharacterClass(store_.At(position - 1)) == 1) --position;
  if (position == 0) return 0;
  const int cls = CharacterClass(store_.At(position - 1));
  if (cls == 0) return position - 1;
  while (position > 0 && CharacterClass(store_.At(position - 1)) == cls) --position;
  return position;
}

void TMemoView::SelectWordAt(size_t position) {
  const size_t length = store_.Length();
  // The character under the pointer, or the one before it at the end of a line.
  size_t at = position;
  if (at >= length || store_.At(at) == '\n') {
    if (at == 0 || store_.At(at - 1) == '\n') {
      Select(position, position);
      return;
    }
    --at;
  }
  const int cls = CharacterClass(store_.At(at));
  size_t from = at, to = at + 1;
  while (from > 0 && CharacterClass(store_.At(from - 1)) == cls) --from;
  while (to < length && CharacterClass(store_.At(to)) == cls) ++to;
  Select(from, to);
}

void TMemoView::mousePressEvent(QMouseEvent* event) {
  // The right button's menu comes as a context menu event of its own.
  if (event->button() != Qt::LeftButton) return;
  Settle();
  const size_t position = PositionAt(event->position());
  stickyX_ = -1;
  SetSelection((event->modifiers() & Qt::ShiftModifier) ? anchor_ : position, position,
               TReveal::Now);
  selecting_ = true;
}

void TMemoView::mouseMoveEvent(QMouseEvent* event) {
  if (!selecting_ || !(event->buttons() & Qt::LeftButton)) return;
  Settle();
  SetSelection(anchor_, PositionAt(event->position()), TReveal::Now);
}

void TMemoView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  selecting_ = false;
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (anchor_ != caret_ && clipboard->supportsSelection()) {
    clipboard->setText(ToDisplay(store_.Text(SelectionStart(), SelectionEnd())),
                       QClipboard::Selection);
  }
}

void TMemoView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  Settle();
  SelectWordAt(PositionAt(event->position()));
  selecting_ = false;
}

void TMemoView::wheelEvent(QWheelEvent* event) {
  Settle();
  wheelRemainder_ += event->angleDelta().y();
  const int notches = wheelRemainder_ / QWheelEvent::DefaultDeltasPerStep;
  wheelRemainder_ -= notches * QWheelEvent::DefaultDeltasPerStep;
  if (notches != 0) ScrollRows(-notches * QApplication::wheelScrollLines());
  event->accept();
}

void TMemoView::contextMenuEvent(QContextMenuEvent* event) {
  std::unique_ptr<QMenu> menu(CreateContextMenu());
  menu->exec(event->globalPos());
}

// --- Caret blinking -------------------------------------------------------------------------

void TMemoView::focusInEvent(QFocusEvent* event) {
  caretOn_ = true;
  const int flash = QApplication::cursorFlashTime();
  if (flash > 0) blink_.start(flash / 2, this);
  update();
  QWidget::focusInEvent(event);
}

void TMemoView::focusOutEvent(QFocusEvent* event) {
  blink_.stop();
  caretOn_ = false;
  update();
  QWidget::focusOutEvent(event);
}

void TMemoView::timerEvent(QTimerEvent* event) {
  if (event->timerId() != blink_.timerId()) {
    QWidget::timerEvent(event);
    return;
  }
  if (caretMoved_) {
    caretMoved_ = false;
    return;
  }
  caretOn_ = !caretOn_;
  // A caret out of view has no place to blink in.
  if (caretRect_.isValid()) update(caretRect_);
}
