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
#include <QTextLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "framework/FramePacer.h"

namespace {

// Text from the keyboard or the clipboard, in the 8-bit characters the memo holds.
std::string FromDisplay(const QString& text) {
  const QByteArray latin = text.toLatin1();
  return std::string(latin.constData(), static_cast<size_t>(latin.size()));
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
  KeepLineBound();
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
  KeepLineBound();
}

void TMemoView::SetMaxLines(size_t maxLines) {
  maxLines_ = maxLines;
  KeepLineBound();
}

void TMemoView::KeepLineBound() {
  if (maxLines_ == 0) return;
  size_t lines = store_.LineCount();
  // The empty line behind a final line end holds nothing yet.
  if (lines > 1 && store_.LineLength(lines - 1) == 0) --lines;
  if (lines <= maxLines_) return;
  const size_t dropped = lines - maxLines_;
  const size_t cut = store_.RemoveLeadingLines(dropped);
  // What stays keeps its layouts, its place at the top of the view and its selection.
  auto kept =
      std::find_if(layouts_.begin(), layouts_.end(),
                   [dropped](const TCachedLayout& cached) { return cached.line >= dropped; });
  layouts_.erase(layouts_.begin(), kept);
  for (TCachedLayout& cached : layouts_) cached.line -= dropped;
  top_ = top_.line >= dropped ? TRow{top_.line - dropped, top_.row} : TRow{};
  // What the screen shows moves up with the text; rows that left the text leave nothing on the
  // screen to move, so the next frame draws the view whole.
  if (paintedTop_.line >= dropped) {
    paintedTop_.line -= dropped;
  } else {
    painted_ = false;
  }
  if (editedFrom_ != SIZE_MAX) editedFrom_ = editedFrom_ >= dropped ? editedFrom_ - dropped : 0;
  auto shifted = [cut](size_t position) { return position > cut ? position - cut : 0; };
  firstCaretToBeShown_ = shifted(firstCaretToBeShown_);
  SetSelection(shifted(anchor_), shifted(caret_), TReveal::No);
  if (OnTextChanged) OnTextChanged();
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
  const int shift =
      TopOffset(top_) - TopOffset(paintedTop_) - scrolled * static_cast<int>(rowHeight_);
  const QRect text(0, 0, TextWidth(), height());
  if (shift != 0) scroll(0, shift, text);
  int editedY = 0;
  if (editedFrom > top_.line) {
    int rows = 0;
    for (TRow row = top_; row.line < editedFrom && rows <= fullRows && NextRow(row);) ++rows;
    editedY = TopOffset(top_) + rows * static_cast<int>(rowHeight_);
  }
  if (editedY < height()) update(QRect(0, editedY, text.width(), height() - editedY));
  if (caretRect_.isValid()) update(caretRect_.translated(0, shift));
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
  PlaceScrollBar();
  scrollBar_->setVisible(shown);
  update();
}

void TMemoView::Copy() const {
  if (anchor_ == caret_) return;
  QGuiApplication::clipboard()->setText(SelectedText());
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

void TMemoView::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  const bool selected = anchor_ != caret_;
  auto add = [&](const QString& text, bool enabled, const std::function<void()>& action) {
    QAction* item = menu.addAction(text);
    item->setEnabled(enabled);
    QObject::connect(item, &QAction::triggered, this, action);
  };
  if (!readOnly_) add(tr("Cu&t") + ShortcutText(QKeySequence::Cut), selected, [this] { Cut(); });
  add(tr("&Copy") + ShortcutText(QKeySequence::Copy), selected, [this] { Copy(); });
  if (!readOnly_) {
    add(tr("&Paste") + ShortcutText(QKeySequence::Paste),
        !QGuiApplication::clipboard()->text().isEmpty(), [this] { Paste(); });
    add(tr("Delete"), selected, [this] { DeleteSelection(); });
  }
  menu.addSeparator();
  add(tr("Select All") + ShortcutText(QKeySequence::SelectAll), store_.Length() > 0,
      [this] { SelectAll(); });
  menu.exec(event->globalPos());
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
  qreal y = TopOffset(top_);
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
  PlaceScrollBar();
}

void TMemoView::PlaceScrollBar() {
  scrollBar_->setGeometry(width() - ScrollBarWidth(), 0, ScrollBarWidth(), height());
}

void TMemoView::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange) layoutsStale_ = true;
  if (event->type() == QEvent::StyleChange) PlaceScrollBar();
  update();
  QWidget::changeEvent(event);
}

void TMemoView::keyPressEvent(QKeyEvent* event) {
  // The key that moves the caret there, and the key that extends the selection there.
  static const struct {
    QKeySequence::StandardKey move, extend;
    TMove to;
  } bindings[] = {
      {QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar, TMove::NextChar},
      {QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar, TMove::PreviousChar},
      {QKeySequence::MoveToNextWord, QKeySequence::SelectNextWord, TMove::NextWord},
      {QKeySequence::MoveToPreviousWord, QKeySequence::SelectPreviousWord, TMove::PreviousWord},
      {QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine, TMove::NextLine},
      {QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine, TMove::PreviousLine},
      {QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage, TMove::NextPage},
      {QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage, TMove::PreviousPage},
      {QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine, TMove::StartOfLine},
      {QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine, TMove::EndOfLine},
      {QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument,
       TMove::StartOfDocument},
      {QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument, TMove::EndOfDocument},
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
  for (const bool extend : {false, true}) {
    for (const auto& binding : bindings) {
      if (event->matches(extend ? binding.extend : binding.move)) {
        MoveCaret(binding.to, extend);
        return;
      }
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

void TMemoView::mousePressEvent(QMouseEvent* event) {
  // The right button's menu comes as a context menu event of its own.
  if (event->button() != Qt::LeftButton) return;
  Settle();
  const size_t position = PositionAt(event->position());
  Select((event->modifiers() & Qt::ShiftModifier) ? anchor_ : position, position);
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
    clipboard->setText(SelectedText(), QClipboard::Selection);
  }
}

void TMemoView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  Settle();
  const auto [from, to] = WordAt(store_, PositionAt(event->position()));
  Select(from, to);
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
