#pragma once
// The toolkit widget of the memo: shows a TTextStore with a caret and a selection, and lets the
// user move the caret, select, copy and, unless it is read-only, edit.
//
// It never lays out the whole text. Lines are laid out when a paint, a hit test or a caret move
// needs them, and the layouts of recently used lines are kept. The scroll position is a line
// and a row inside it, so every question about geometry is answered from the lines around the
// top of the view or around the caret. Changes of the text only touch the store and ask for a
// repaint; keeping the caret in view is settled when the widget paints or takes input.

#include <QBasicTimer>
#include <QRect>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "framework/CaretMoves.h"
#include "framework/TextStore.h"

class QScrollBar;
class QTextLayout;
class QTextLine;

class TMemoView : public QWidget {
 public:
  TMemoView();
  ~TMemoView() override;

  const TTextStore& Store() const { return store_; }

  // Positions count the stored characters (one per line break).
  size_t SelectionStart() const { return anchor_ < caret_ ? anchor_ : caret_; }
  size_t SelectionEnd() const { return anchor_ < caret_ ? caret_ : anchor_; }
  // Selects from anchor to caret (clamped to the text) and keeps the caret in view.
  void Select(size_t anchor, size_t caret);
  // Replaces the whole text; the caret goes to the start and the view to the top.
  void SetText(std::string_view text);
  // Puts the text in place of the selection; the caret ends behind it.
  void ReplaceSelection(std::string_view text) { Edit(SelectionStart(), SelectionEnd(), text); }

  // At most this many lines are kept (0: no bound); the oldest leave the top.
  void SetMaxLines(size_t maxLines);

  void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }
  void SetWordWrap(bool wordWrap);
  void SetVerticalScrollBar(bool shown);

  // Called after every change of the text.
  std::function<void()> OnTextChanged;

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  // Room between the widget's edges and the text.
  static constexpr int kMargin = 1;
  // A row of the view: row `row` of the wrapped line `line`.
  struct TRow {
    size_t line = 0;
    int row = 0;
    bool operator==(const TRow&) const = default;
    auto operator<=>(const TRow&) const = default;
  };
  struct TCachedLayout {
    size_t line;
    std::shared_ptr<const QTextLayout> layout;
    uint64_t lastUse;
  };
  using TMove = TCaretMove;

  // When a moved caret is brought into view: not at all, at once, or at the next paint or input.
  enum class TReveal { No, Now, Later };

  // Text changes, from the program or the user.
  void Edit(size_t from, size_t to, std::string_view text);
  void SetSelection(size_t anchor, size_t caret, TReveal reveal);
  void KeepLineBound();

  // Geometry, all from the lines near the top or the caret.
  void Settle();
  void ForgetLayouts();
  const QTextLayout& LayoutOf(size_t line);
  int RowsOf(size_t line) { return RowCount(LayoutOf(line)); }
  static int RowCount(const QTextLayout& layout);
  bool NextRow(TRow& row);
  bool PreviousRow(TRow& row);
  TRow RowOf(size_t position);
  TRow LastTopRow();
  // Whether the row `rowsAbove` rows below the top row `top` ends inside the view.
  bool RowFits(const TRow& top, int rowsAbove) const;
  int ScrollBarWidth() const;
  void PlaceScrollBar();
  int TextWidth() const;
  int FullRows() const;
  // The room above a top row: the margin sits above the first line of the text only.
  static int TopOffset(const TRow& top) { return top == TRow{} ? kMargin : 0; }
  void KeepVisible(size_t position);
  size_t PositionAt(QPointF point);
  void ScrollRows(int rows);
  void SyncScrollBar();

  // What the keys and the context menu do.
  void Copy() const;
  void Cut();
  void Paste();
  void DeleteSelection();
  void SelectAll();
  void MoveCaret(TMove move, bool extend);
  size_t Moved(TMove move);
  bool HandleEditKey(QKeyEvent* event);
  void Repaint();
  QString SelectedText() const {
    return QString::fromLatin1(store_.Text(SelectionStart(), SelectionEnd()));
  }
  // Just before the frame: asks for the drawing the changes since the last paint need.
  void PrepareFrame();

  TTextStore store_;
  size_t anchor_ = 0;
  size_t caret_ = 0;
  bool readOnly_ = false;
  bool wordWrap_ = true;
  size_t maxLines_ = 0;

  // The first row shown, and the horizontal scroll of unwrapped text.
  TRow top_;
  qreal horizontalOffset_ = 0;
  // Edits only note that the caret is to be brought into view. Carets of a run of edits follow
  // one another, so showing the first and then the last one scrolls as showing each would.
  bool caretToBeShown_ = false;
  size_t firstCaretToBeShown_ = 0;

  std::vector<TCachedLayout> layouts_;
  // Layouts by the text of their line. A log repeats a few dozen lines over and over; laying each
  // new one out again (shaping its text) would cost most of a frame that shows a few new lines.
  std::unordered_map<std::string, std::shared_ptr<const QTextLayout>> layoutsByText_;
  uint64_t layoutClock_ = 0;
  bool layoutsStale_ = true;
  qreal rowHeight_ = 1;
  int laidOutWidth_ = -1;

  QScrollBar* scrollBar_;
  bool scrollBarShown_ = false;
  bool syncingScrollBar_ = false;
  bool repaintAsked_ = false;
  QBasicTimer blink_;
  bool caretOn_ = false;
  bool caretMoved_ = false;
  // Where the caret was last painted, for the blink's repaints.
  QRect caretRect_;
  // What the screen shows, as last painted, and the first line edited since the last frame: a
  // frame after edits further down moves the rows above them as far as the view scrolled and
  // draws only the rest.
  TRow paintedTop_;
  qreal paintedOffset_ = 0;
  bool paintedSelection_ = false;
  bool painted_ = false;
  size_t editedFrom_ = SIZE_MAX;
  bool selecting_ = false;
  // Up and Down keep the column they started from.
  qreal stickyX_ = -1;
  int wheelRemainder_ = 0;
};
