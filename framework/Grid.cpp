#include "framework/Grid.h"

#include <QScrollBar>
#include <QWidget>
#include <algorithm>

TCustomGrid::TCustomGrid(TComponent* owner) : TCustomControl(owner) {
  verticalBar_ = AddScrollBar(true, [this](int value) {
    if (!updatingBars_) SetTopRow(value);
  });
  horizontalBar_ = AddScrollBar(false, [this](int value) {
    if (!updatingBars_) SetLeftCol(value);
  });
  SetColor(clWindow);
  SetTabStop(true);
  SetBounds(0, 0, 320, 120);
}

namespace {

// Where a cell starts along an axis with lines of that width between the cells; -1 when it is
// not in the grid or scrolled out of view.
int CellStart(const TGridAxis& axis, int line, int cell) {
  if (cell < 0 || cell >= axis.count || (cell >= axis.fixed && cell < axis.first)) return -1;
  const int before = cell < axis.fixed ? cell : axis.fixed + cell - axis.first;
  return before * (axis.size + line);
}

// The cell (with the line behind it) at a place along an axis; -1 when there is none.
int CellAt(const TGridAxis& axis, int line, int place) {
  for (int cell = 0; cell < axis.count; ++cell) {
    const int start = CellStart(axis, line, cell);
    if (start >= 0 && place >= start && place < start + axis.size + line) return cell;
  }
  return -1;
}

// The scrollable cells shown whole in the extent from the first one on.
int VisibleCount(const TGridAxis& axis, int line, int extent) {
  int end = CellStart(axis, line, std::min(axis.first, axis.count - 1));
  if (end < 0) return 0;
  int count = 0;
  for (int cell = axis.first; cell < axis.count; ++cell) {
    end += axis.size;
    if (end > extent) break;
    end += line;
    ++count;
  }
  return count;
}

// The last first cell that still fills the extent; the fixed count when all fit.
int MaxFirst(const TGridAxis& axis, int line, int extent) {
  extent -= axis.fixed * (axis.size + line);
  int first = axis.count - 1;
  int used = axis.size;
  while (first > axis.fixed && used + line + axis.size <= extent) {
    used += line + axis.size;
    --first;
  }
  return first;
}

// The first cell to show so that the cell is in view, scrolling as little as it can.
int FirstShowing(const TGridAxis& axis, int line, int cell, int extent) {
  if (cell < axis.fixed) return axis.first;
  if (cell < axis.first) return cell;
  const int visible = std::max(VisibleCount(axis, line, extent), 1);
  return cell >= axis.first + visible ? cell - visible + 1 : axis.first;
}

// Where the grid's cells and their lines end along an axis, within the extent.
int GridEnd(const TGridAxis& axis, int line, int extent) {
  int end = 0;
  for (int cell = 0; cell < axis.count; ++cell) {
    const int start = CellStart(axis, line, cell);
    if (start >= 0 && start < extent) end = start + axis.size + line;
  }
  return end;
}

void PlaceBar(QScrollBar* bar, const TGridAxis& axis, int maxFirst, int x, int y, int w, int h) {
  bar->setGeometry(x, y, w, h);
  bar->setRange(axis.fixed, maxFirst);
  bar->setPageStep(std::max(1, axis.count - maxFirst));
  bar->setValue(axis.first);
}

}  // namespace

bool TCustomGrid::VerticalScrollBarShown() const {
  return !verticalBar_->isHidden();
}

bool TCustomGrid::HorizontalScrollBarShown() const {
  return !horizontalBar_->isHidden();
}

TRect TCustomGrid::ClientRect() const {
  TRect rect = TCustomControl::ClientRect();
  if (VerticalScrollBarShown()) rect.Right -= verticalBar_->sizeHint().width();
  if (HorizontalScrollBarShown()) rect.Bottom -= horizontalBar_->sizeHint().height();
  rect.Right = std::max(rect.Right, rect.Left);
  rect.Bottom = std::max(rect.Bottom, rect.Top);
  return rect;
}

void TCustomGrid::UpdateScrollBars() {
  if (!verticalBar_ || updatingBars_) return;
  updatingBars_ = true;
  const int line = gridLineWidth_;
  const bool vertical =
      scrollBars_ == TScrollStyle::ssVertical || scrollBars_ == TScrollStyle::ssBoth;
  const bool horizontal =
      scrollBars_ == TScrollStyle::ssHorizontal || scrollBars_ == TScrollStyle::ssBoth;
  const int barWidth = verticalBar_->sizeHint().width();
  const int barHeight = horizontalBar_->sizeHint().height();
  // A bar takes room from the other direction, so the second look includes the first bar.
  bool showVertical = vertical && MaxFirst(rows_, line, Height()) > rows_.fixed;
  const bool showHorizontal =
      horizontal && MaxFirst(cols_, line, Width() - (showVertical ? barWidth : 0)) > cols_.fixed;
  if (vertical && !showVertical && showHorizontal)
    showVertical = MaxFirst(rows_, line, Height() - barHeight) > rows_.fixed;
  const int width = Width() - (showVertical ? barWidth : 0);
  const int height = Height() - (showHorizontal ? barHeight : 0);
  // Once the cells fit, none stays scrolled away out of reach.
  rows_.first = std::min(rows_.first, MaxFirst(rows_, line, height));
  cols_.first = std::min(cols_.first, MaxFirst(cols_, line, width));
  if (showVertical)
    PlaceBar(verticalBar_, rows_, MaxFirst(rows_, line, height), width, 0, barWidth, height);
  if (showHorizontal)
    PlaceBar(horizontalBar_, cols_, MaxFirst(cols_, line, width), 0, height, width, barHeight);
  verticalBar_->setVisible(showVertical);
  horizontalBar_->setVisible(showHorizontal);
  updatingBars_ = false;
}

void TCustomGrid::BoundsChanged() {
  TCustomControl::BoundsChanged();
  UpdateScrollBars();
}

void TCustomGrid::Invalidate() {
  UpdateScrollBars();
  TCustomControl::Invalidate();
}

void TCustomGrid::SetCount(TGridAxis& axis, int count) {
  count = std::max(count, 1);
  if (count == axis.count) return;
  axis.count = count;
  if (axis.fixed >= axis.count) axis.fixed = axis.count - 1;
  ClampCurrent();
  Invalidate();
}

void TCustomGrid::SetFixed(TGridAxis& axis, int count) {
  count = std::clamp(count, 0, axis.count - 1);
  if (count == axis.fixed) return;
  axis.fixed = count;
  axis.first = count;
  ClampCurrent();
  Invalidate();
}

TGridRect TCustomGrid::Selection() const {
  return TGridRect{std::min(cols_.current, cols_.anchor), std::min(rows_.current, rows_.anchor),
                   std::max(cols_.current, cols_.anchor), std::max(rows_.current, rows_.anchor)};
}

// Keeps the current cell, the anchor and the scroll position inside the scrollable area after
// the counts changed.
void TCustomGrid::ClampCurrent() {
  for (TGridAxis* axis : {&cols_, &rows_}) {
    for (int* cell : {&axis->current, &axis->anchor, &axis->first})
      *cell = std::clamp(*cell, axis->fixed, axis->count - 1);
  }
}

bool TCustomGrid::MouseToCell(int x, int y, int& col, int& row) const {
  col = CellAt(cols_, gridLineWidth_, x);
  row = CellAt(rows_, gridLineWidth_, y);
  return col >= 0 && row >= 0;
}

void TCustomGrid::ScrollInView(int col, int row) {
  // The columns first: their scroll bar may take room from the rows.
  SetLeftCol(FirstShowing(cols_, gridLineWidth_, col, ClientWidth()));
  SetTopRow(FirstShowing(rows_, gridLineWidth_, row, ClientHeight()));
}

bool TCustomGrid::MoveCurrent(int col, int row, bool moveAnchor, bool show) {
  if (col < cols_.fixed || col >= cols_.count || row < rows_.fixed || row >= rows_.count)
    return false;
  if (!SelectCell(col, row)) return false;
  cols_.current = col;
  rows_.current = row;
  if (moveAnchor || !options_.count(goRangeSelect)) {
    cols_.anchor = col;
    rows_.anchor = row;
  }
  if (show) ScrollInView(col, row);
  Invalidate();
  return true;
}

void TCustomGrid::FocusCell(int col, int row, bool moveAnchor) {
  const int oldCol = cols_.current;
  const int oldRow = rows_.current;
  if (!MoveCurrent(col, row, moveAnchor, true)) return;
  if (cols_.current != oldCol || rows_.current != oldRow) Click();
}

void TCustomGrid::Dispatch(TMessage& message) {
  if (message.Msg == WM_SIZE) {
    UpdateScrollBars();
    // The current cell stays in view when the window shrinks.
    ScrollInView(cols_.current, rows_.current);
    Invalidate();
  }
}

void TCustomGrid::MouseDown(TMouseButton button, int shift, int x, int y) {
  if (button != mbLeft) return;
  int col, row;
  if (!MouseToCell(x, y, col, row)) return;
  if (col < cols_.fixed || row < rows_.fixed) return;
  const bool extend = (shift & ssShift) != 0 && options_.count(goRangeSelect);
  FocusCell(col, row, !extend);
}

void TCustomGrid::KeyDown(WORD& key, int shift) {
  const bool extend = (shift & ssShift) != 0 && options_.count(goRangeSelect);
  const bool control = (shift & ssCtrl) != 0;
  int col = cols_.current;
  int row = rows_.current;
  const int page = std::max(VisibleCount(rows_, gridLineWidth_, ClientHeight()) - 1, 1);
  switch (key) {
    case VK_LEFT:
      col -= 1;
      break;
    case VK_RIGHT:
      col += 1;
      break;
    case VK_UP:
      row -= 1;
      break;
    case VK_DOWN:
      row += 1;
      break;
    case VK_PRIOR:
      row = std::max(row - page, rows_.fixed);
      break;
    case VK_NEXT:
      row = std::min(row + page, rows_.count - 1);
      break;
    case VK_HOME:
      col = cols_.fixed;
      if (control) row = rows_.fixed;
      break;
    case VK_END:
      col = cols_.count - 1;
      if (control) row = rows_.count - 1;
      break;
    default:
      return;
  }
  key = 0;
  if (col != cols_.current || row != rows_.current) FocusCell(col, row, !extend);
}

void TCustomGrid::MouseWheel(int steps) {
  SetTopRow(rows_.first - steps);
}

void TCustomGrid::Paint() {
  TCustomControl::Paint();
  TCanvas& canvas = Canvas();
  const TRect client = ClientRect();
  const TGridRect selection = Selection();
  const bool focused = Focused();
  for (int row = 0; row < rows_.count; ++row) {
    const int top = CellStart(rows_, gridLineWidth_, row);
    if (top < 0) continue;
    if (top >= client.Bottom) break;
    for (int col = 0; col < cols_.count; ++col) {
      const int left = CellStart(cols_, gridLineWidth_, col);
      if (left < 0) continue;
      if (left >= client.Right) break;
      const TRect rect = Rect(left, top, left + cols_.size, top + rows_.size);
      const bool fixed = col < cols_.fixed || row < rows_.fixed;
      const bool current = col == cols_.current && row == rows_.current;
      int state = 0;
      if (fixed) state |= gdFixed;
      if (!fixed && selection.Contains(col, row)) state |= gdSelected;
      if (current && focused) state |= gdFocused;
      // The current cell is drawn in the selection colour only when the options say so or
      // when it is part of a larger selection.
      const bool highlighted =
          (state & gdSelected) != 0 &&
          (!current || options_.count(goDrawFocusSelected) || selection.Left != selection.Right ||
           selection.Top != selection.Bottom);
      canvas.Font().Assign(Font());
      if (fixed) {
        canvas.Brush().SetColor(clBtnFace);
      } else if (highlighted) {
        canvas.Brush().SetColor(clHighlight);
        canvas.Font().SetColor(clHighlightText);
      } else {
        canvas.Brush().SetColor(Color());
      }
      canvas.Brush().SetStyle(bsSolid);
      canvas.FillRect(rect);
      DrawCell(col, row, rect, state);
      // After the cell's own drawing, which may fill the whole rectangle with its text.
      if (fixed) DrawRaisedEdge(rect);
      if (current && focused && !fixed) DrawFocusRect(rect);
    }
  }
  DrawGridLines(client);
}

void TCustomGrid::DrawGridLines(const TRect& clip) {
  if (gridLineWidth_ <= 0) return;
  TCanvas& canvas = Canvas();
  canvas.Brush().SetStyle(bsSolid);
  const int gridRight = GridEnd(cols_, gridLineWidth_, clip.Right);
  const int gridBottom = GridEnd(rows_, gridLineWidth_, clip.Bottom);
  // The lines behind the cells of one axis, each running across the other axis.
  auto drawLines = [&](const TGridAxis& axis, int clipEnd, TGridOption fixedOption,
                       TGridOption option, auto lineAt) {
    for (int cell = 0; cell < axis.count; ++cell) {
      const int start = CellStart(axis, gridLineWidth_, cell);
      if (start < 0 || start >= clipEnd) continue;
      const bool fixed = cell < axis.fixed;
      if (!options_.count(fixed ? fixedOption : option)) continue;
      canvas.Brush().SetColor(fixed ? clBtnShadow : clSilver);
      canvas.FillRect(lineAt(start + axis.size));
    }
  };
  drawLines(cols_, clip.Right, goFixedVertLine, goVertLine,
            [&](int x) { return Rect(x, 0, x + gridLineWidth_, gridBottom); });
  drawLines(rows_, clip.Bottom, goFixedHorzLine, goHorzLine,
            [&](int y) { return Rect(0, y, gridRight, y + gridLineWidth_); });
}

void TCustomGrid::DrawRaisedEdge(const TRect& rect) {
  TCanvas& canvas = Canvas();
  canvas.Pen().SetWidth(1);
  canvas.Pen().SetColor(clBtnHighlight);
  canvas.MoveTo(rect.Left, rect.Bottom - 1);
  canvas.LineTo(rect.Left, rect.Top);
  canvas.LineTo(rect.Right, rect.Top);
  canvas.Pen().SetColor(clBtnShadow);
  canvas.MoveTo(rect.Right - 1, rect.Top + 1);
  canvas.LineTo(rect.Right - 1, rect.Bottom - 1);
  canvas.LineTo(rect.Left, rect.Bottom - 1);
}

void TCustomGrid::DrawFocusRect(const TRect& rect) {
  // A dotted frame that inverts what is under it, so it shows on any colour.
  TCanvas& canvas = Canvas();
  auto invert = [&canvas](int x, int y) {
    const TColor rgb = ColorToRGB(canvas.Pixels(x, y));
    canvas.SetPixel(x, y, static_cast<TColor>(~rgb & 0xFFFFFF));
  };
  for (int x = rect.Left; x < rect.Right; x += 2) {
    invert(x, rect.Top);
    invert(x, rect.Bottom - 1);
  }
  for (int y = rect.Top + 2; y < rect.Bottom - 1; y += 2) {
    invert(rect.Left, y);
    invert(rect.Right - 1, y);
  }
}
