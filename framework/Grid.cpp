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

int TCustomGrid::MaxTopRow(int height) const {
  for (int r = 0; r < fixedRows_; ++r) height -= RowHeight(r) + gridLineWidth_;
  int top = rowCount_ - 1;
  int used = RowHeight(top);
  if (used > height) return top;
  while (top > fixedRows_ && used + gridLineWidth_ + RowHeight(top - 1) <= height) {
    used += gridLineWidth_ + RowHeight(top - 1);
    --top;
  }
  return top;
}

int TCustomGrid::MaxLeftCol(int width) const {
  for (int c = 0; c < fixedCols_; ++c) width -= ColWidth(c) + gridLineWidth_;
  int left = colCount_ - 1;
  int used = ColWidth(left);
  if (used > width) return left;
  while (left > fixedCols_ && used + gridLineWidth_ + ColWidth(left - 1) <= width) {
    used += gridLineWidth_ + ColWidth(left - 1);
    --left;
  }
  return left;
}

void TCustomGrid::UpdateScrollBars() {
  if (!verticalBar_ || updatingBars_) return;
  updatingBars_ = true;
  const bool vertical =
      scrollBars_ == TScrollStyle::ssVertical || scrollBars_ == TScrollStyle::ssBoth;
  const bool horizontal =
      scrollBars_ == TScrollStyle::ssHorizontal || scrollBars_ == TScrollStyle::ssBoth;
  const int barWidth = verticalBar_->sizeHint().width();
  const int barHeight = horizontalBar_->sizeHint().height();
  const int fullWidth = Width();
  const int fullHeight = Height();
  // A bar takes room from the other direction, so the second look includes the first bar.
  bool showVertical = vertical && MaxTopRow(fullHeight) > fixedRows_;
  bool showHorizontal =
      horizontal && MaxLeftCol(fullWidth - (showVertical ? barWidth : 0)) > fixedCols_;
  if (vertical && !showVertical && showHorizontal) {
    showVertical = MaxTopRow(fullHeight - barHeight) > fixedRows_;
  }
  const int width = fullWidth - (showVertical ? barWidth : 0);
  const int height = fullHeight - (showHorizontal ? barHeight : 0);
  if (showVertical) {
    const int maxTop = MaxTopRow(height);
    verticalBar_->setGeometry(width, 0, barWidth, height);
    verticalBar_->setRange(fixedRows_, maxTop);
    verticalBar_->setPageStep(std::max(1, rowCount_ - fixedRows_ - (maxTop - fixedRows_)));
    verticalBar_->setValue(topRow_);
  }
  if (showHorizontal) {
    const int maxLeft = MaxLeftCol(width);
    horizontalBar_->setGeometry(0, height, width, barHeight);
    horizontalBar_->setRange(fixedCols_, maxLeft);
    horizontalBar_->setPageStep(std::max(1, colCount_ - fixedCols_ - (maxLeft - fixedCols_)));
    horizontalBar_->setValue(leftCol_);
  }
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

void TCustomGrid::SetColCount(int count) {
  count = std::max(count, 1);
  if (count == colCount_) return;
  colCount_ = count;
  if (fixedCols_ >= colCount_) fixedCols_ = colCount_ - 1;
  ClampCurrent();
  Invalidate();
}

void TCustomGrid::SetRowCount(int count) {
  count = std::max(count, 1);
  if (count == rowCount_) return;
  rowCount_ = count;
  if (fixedRows_ >= rowCount_) fixedRows_ = rowCount_ - 1;
  ClampCurrent();
  Invalidate();
}

void TCustomGrid::SetFixedCols(int count) {
  count = std::clamp(count, 0, colCount_ - 1);
  if (count == fixedCols_) return;
  fixedCols_ = count;
  leftCol_ = fixedCols_;
  ClampCurrent();
  Invalidate();
}

void TCustomGrid::SetFixedRows(int count) {
  count = std::clamp(count, 0, rowCount_ - 1);
  if (count == fixedRows_) return;
  fixedRows_ = count;
  topRow_ = fixedRows_;
  ClampCurrent();
  Invalidate();
}

void TCustomGrid::SetDefaultColWidth(int width) {
  if (SetIfChanged(defaultColWidth_, std::max(width, 0))) Invalidate();
}

void TCustomGrid::SetDefaultRowHeight(int height) {
  if (SetIfChanged(defaultRowHeight_, std::max(height, 0))) Invalidate();
}

void TCustomGrid::SetGridLineWidth(int width) {
  if (SetIfChanged(gridLineWidth_, std::max(width, 0))) Invalidate();
}

void TCustomGrid::SetScrollBars(TScrollStyle scrollBars) {
  if (SetIfChanged(scrollBars_, scrollBars)) Invalidate();
}

void TCustomGrid::SetOptions(const TGridOptions& options) {
  if (options == options_) return;
  options_ = options;
  if (!options_.count(goRangeSelect)) {
    anchorCol_ = col_;
    anchorRow_ = row_;
  }
  Invalidate();
}

TGridRect TCustomGrid::Selection() const {
  return TGridRect{std::min(col_, anchorCol_), std::min(row_, anchorRow_),
                   std::max(col_, anchorCol_), std::max(row_, anchorRow_)};
}

// Keeps the current cell, the anchor and the scroll position inside the scrollable area after
// the counts changed.
void TCustomGrid::ClampCurrent() {
  const int lastCol = colCount_ - 1;
  const int lastRow = rowCount_ - 1;
  col_ = std::clamp(col_, fixedCols_, lastCol);
  row_ = std::clamp(row_, fixedRows_, lastRow);
  anchorCol_ = std::clamp(anchorCol_, fixedCols_, lastCol);
  anchorRow_ = std::clamp(anchorRow_, fixedRows_, lastRow);
  leftCol_ = std::clamp(leftCol_, fixedCols_, lastCol);
  topRow_ = std::clamp(topRow_, fixedRows_, lastRow);
}

int TCustomGrid::ColWidth(int) const {
  return defaultColWidth_;
}

int TCustomGrid::RowHeight(int) const {
  return defaultRowHeight_;
}

int TCustomGrid::ColumnLeft(int col) const {
  if (col < 0 || col >= colCount_) return -1;
  int x = 0;
  for (int c = 0; c < std::min(col, fixedCols_); ++c) x += ColWidth(c) + gridLineWidth_;
  if (col < fixedCols_) return x;
  if (col < leftCol_) return -1;
  for (int c = leftCol_; c < col; ++c) x += ColWidth(c) + gridLineWidth_;
  return x;
}

int TCustomGrid::RowTop(int row) const {
  if (row < 0 || row >= rowCount_) return -1;
  int y = 0;
  for (int r = 0; r < std::min(row, fixedRows_); ++r) y += RowHeight(r) + gridLineWidth_;
  if (row < fixedRows_) return y;
  if (row < topRow_) return -1;
  for (int r = topRow_; r < row; ++r) y += RowHeight(r) + gridLineWidth_;
  return y;
}

TRect TCustomGrid::CellRect(int col, int row) const {
  const int x = ColumnLeft(col);
  const int y = RowTop(row);
  if (x < 0 || y < 0 || x >= ClientWidth() || y >= ClientHeight()) return TRect{};
  return Rect(x, y, x + ColWidth(col), y + RowHeight(row));
}

bool TCustomGrid::MouseToCell(int x, int y, int& col, int& row) const {
  col = row = -1;
  for (int c = 0; c < colCount_; ++c) {
    const int left = ColumnLeft(c);
    if (left >= 0 && x >= left && x < left + ColWidth(c) + gridLineWidth_) {
      col = c;
      break;
    }
  }
  for (int r = 0; r < rowCount_; ++r) {
    const int top = RowTop(r);
    if (top >= 0 && y >= top && y < top + RowHeight(r) + gridLineWidth_) {
      row = r;
      break;
    }
  }
  return col >= 0 && row >= 0;
}

int TCustomGrid::VisibleColCount() const {
  int x = ColumnLeft(std::min(leftCol_, colCount_ - 1));
  if (x < 0) return 0;
  int count = 0;
  for (int c = leftCol_; c < colCount_; ++c) {
    x += ColWidth(c);
    if (x > ClientWidth()) break;
    x += gridLineWidth_;
    ++count;
  }
  return count;
}

int TCustomGrid::VisibleRowCount() const {
  int y = RowTop(std::min(topRow_, rowCount_ - 1));
  if (y < 0) return 0;
  int count = 0;
  for (int r = topRow_; r < rowCount_; ++r) {
    y += RowHeight(r);
    if (y > ClientHeight()) break;
    y += gridLineWidth_;
    ++count;
  }
  return count;
}

void TCustomGrid::SetLeftCol(int col) {
  if (SetIfChanged(leftCol_, std::clamp(col, fixedCols_, colCount_ - 1))) Invalidate();
}

void TCustomGrid::SetTopRow(int row) {
  if (SetIfChanged(topRow_, std::clamp(row, fixedRows_, rowCount_ - 1))) Invalidate();
}

void TCustomGrid::ScrollInView(int col, int row) {
  if (col >= fixedCols_) {
    if (col < leftCol_) {
      SetLeftCol(col);
    } else {
      const int visible = std::max(VisibleColCount(), 1);
      if (col >= leftCol_ + visible) SetLeftCol(col - visible + 1);
    }
  }
  if (row >= fixedRows_) {
    if (row < topRow_) {
      SetTopRow(row);
    } else {
      const int visible = std::max(VisibleRowCount(), 1);
      if (row >= topRow_ + visible) SetTopRow(row - visible + 1);
    }
  }
}

bool TCustomGrid::SelectCell(int, int) {
  return true;
}

void TCustomGrid::DrawCell(int, int, const TRect&, int) {}

bool TCustomGrid::MoveCurrent(int col, int row, bool moveAnchor, bool show) {
  if (col < fixedCols_ || col >= colCount_ || row < fixedRows_ || row >= rowCount_) return false;
  if (!SelectCell(col, row)) return false;
  col_ = col;
  row_ = row;
  if (moveAnchor || !options_.count(goRangeSelect)) {
    anchorCol_ = col;
    anchorRow_ = row;
  }
  if (show) ScrollInView(col, row);
  Invalidate();
  return true;
}

void TCustomGrid::FocusCell(int col, int row, bool moveAnchor) {
  const int oldCol = col_;
  const int oldRow = row_;
  if (!MoveCurrent(col, row, moveAnchor, true)) return;
  if (col_ != oldCol || row_ != oldRow) Click();
}

void TCustomGrid::Dispatch(TMessage& message) {
  if (message.Msg == WM_SIZE) {
    UpdateScrollBars();
    // The current cell stays in view when the window shrinks.
    ScrollInView(col_, row_);
    Invalidate();
  }
}

void TCustomGrid::MouseDown(TMouseButton button, int shift, int x, int y) {
  if (button != mbLeft) return;
  int col, row;
  if (!MouseToCell(x, y, col, row)) return;
  if (col < fixedCols_ || row < fixedRows_) return;
  const bool extend = (shift & ssShift) != 0 && options_.count(goRangeSelect);
  FocusCell(col, row, !extend);
}

void TCustomGrid::KeyDown(WORD& key, int shift) {
  const bool extend = (shift & ssShift) != 0 && options_.count(goRangeSelect);
  const bool control = (shift & ssCtrl) != 0;
  int col = col_;
  int row = row_;
  const int page = std::max(VisibleRowCount() - 1, 1);
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
      row = std::max(row - page, fixedRows_);
      break;
    case VK_NEXT:
      row = std::min(row + page, rowCount_ - 1);
      break;
    case VK_HOME:
      col = fixedCols_;
      if (control) row = fixedRows_;
      break;
    case VK_END:
      col = colCount_ - 1;
      if (control) row = rowCount_ - 1;
      break;
    default:
      return;
  }
  key = 0;
  if (col != col_ || row != row_) FocusCell(col, row, !extend);
}

void TCustomGrid::MouseWheel(int steps) {
  SetTopRow(topRow_ - steps);
}

void TCustomGrid::Paint() {
  TCanvas& canvas = Canvas();
  const TRect client = ClientRect();
  canvas.Brush().SetStyle(bsSolid);
  canvas.Brush().SetColor(Color());
  canvas.FillRect(client);
  const TGridRect selection = Selection();
  const bool focused = Focused();
  for (int row = 0; row < rowCount_; ++row) {
    const int top = RowTop(row);
    if (top < 0) continue;
    if (top >= client.Bottom) break;
    for (int col = 0; col < colCount_; ++col) {
      const int left = ColumnLeft(col);
      if (left < 0) continue;
      if (left >= client.Right) break;
      const TRect rect = Rect(left, top, left + ColWidth(col), top + RowHeight(row));
      const bool fixed = col < fixedCols_ || row < fixedRows_;
      const bool current = col == col_ && row == row_;
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
  int gridRight = 0;
  int gridBottom = 0;
  for (int col = 0; col < colCount_; ++col) {
    const int left = ColumnLeft(col);
    if (left >= 0 && left < clip.Right) gridRight = left + ColWidth(col) + gridLineWidth_;
  }
  for (int row = 0; row < rowCount_; ++row) {
    const int top = RowTop(row);
    if (top >= 0 && top < clip.Bottom) gridBottom = top + RowHeight(row) + gridLineWidth_;
  }
  for (int col = 0; col < colCount_; ++col) {
    const int left = ColumnLeft(col);
    if (left < 0 || left >= clip.Right) continue;
    const int x = left + ColWidth(col);
    const bool fixed = col < fixedCols_;
    if (!options_.count(fixed ? goFixedVertLine : goVertLine)) continue;
    canvas.Brush().SetColor(fixed ? clBtnShadow : clSilver);
    canvas.FillRect(Rect(x, 0, x + gridLineWidth_, gridBottom));
  }
  for (int row = 0; row < rowCount_; ++row) {
    const int top = RowTop(row);
    if (top < 0 || top >= clip.Bottom) continue;
    const int y = top + RowHeight(row);
    const bool fixed = row < fixedRows_;
    if (!options_.count(fixed ? goFixedHorzLine : goHorzLine)) continue;
    canvas.Brush().SetColor(fixed ? clBtnShadow : clSilver);
    canvas.FillRect(Rect(0, y, gridRight, y + gridLineWidth_));
  }
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
