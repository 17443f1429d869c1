#pragma once
// The grid base: a table of cells with fixed (heading) rows and columns at the top and left, a
// current cell that the user moves with the mouse and the arrow keys, and cells that a derived
// class draws itself through DrawCell.

#include <algorithm>
#include <set>

#include "framework/CustomControl.h"

class QScrollBar;

enum TGridOption {
  goFixedVertLine,
  goFixedHorzLine,
  goVertLine,
  goHorzLine,
  goRangeSelect,
  goDrawFocusSelected,
  goRowSizing,
  goColSizing,
  goRowMoving,
  goColMoving,
  goEditing,
  goTabs,
  goRowSelect,
  goAlwaysShowEditor,
  goThumbTracking,
};
using TGridOptions = std::set<TGridOption>;

// Bits of the drawing state passed to DrawCell.
enum TGridDrawStateElement { gdSelected = 1, gdFocused = 2, gdFixed = 4 };

struct TGridRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  bool Contains(int col, int row) const {
    return col >= Left && col <= Right && row >= Top && row <= Bottom;
  }
};

// One direction of the grid: its cells (all of one size), the heading cells at its start,
// the current cell, the anchor of the selection and the first scrollable cell shown.
struct TGridAxis {
  int count;
  int fixed;
  int size;
  int current = 1;
  int anchor = 1;
  int first = 1;
};

class TCustomGrid : public TCustomControl {
 public:
  explicit TCustomGrid(TComponent* owner);
  std::string ClassName() const override { return "TCustomGrid"; }

  void SetColCount(int count) { SetCount(cols_, count); }
  void SetRowCount(int count) { SetCount(rows_, count); }
  void SetFixedCols(int count) { SetFixed(cols_, count); }
  void SetFixedRows(int count) { SetFixed(rows_, count); }
  void SetDefaultColWidth(int width) {
    if (SetIfChanged(cols_.size, std::max(width, 0))) Invalidate();
  }
  void SetDefaultRowHeight(int height) {
    if (SetIfChanged(rows_.size, std::max(height, 0))) Invalidate();
  }
  int GridLineWidth() const { return gridLineWidth_; }
  void SetGridLineWidth(int width) {
    if (SetIfChanged(gridLineWidth_, std::max(width, 0))) Invalidate();
  }
  void SetScrollBars(TScrollStyle scrollBars) {
    if (SetIfChanged(scrollBars_, scrollBars)) Invalidate();
  }

  // The options are changed in place; that repaints nothing.
  TGridOptions& Options() { return options_; }

  // The current cell.
  int Col() const { return cols_.current; }
  int Row() const { return rows_.current; }
  TGridRect Selection() const;
  // Scroll to make these the first scrollable column and row shown.
  void SetLeftCol(int col) {
    if (SetIfChanged(cols_.first, std::clamp(col, cols_.fixed, cols_.count - 1))) Invalidate();
  }
  void SetTopRow(int row) {
    if (SetIfChanged(rows_.first, std::clamp(row, rows_.fixed, rows_.count - 1))) Invalidate();
  }
  // The cell under a point; false when there is none.
  bool MouseToCell(int x, int y, int& col, int& row) const;
  // Also brings the scroll bars in step with the scroll position.
  void Invalidate() override;
  // The area left for the cells beside the scroll bars that are shown.
  TRect ClientRect() const override;
  // A bar is shown when the setting allows it and the scrollable cells do not fit.
  bool VerticalScrollBarShown() const;
  bool HorizontalScrollBarShown() const;

  void Dispatch(TMessage& message) override;

 protected:
  // Draws one cell. The canvas is prepared for the cell (brush and font for its state) and the
  // cell's rectangle is already filled with the brush.
  virtual void DrawCell(int /*col*/, int /*row*/, const TRect& /*rect*/, int /*state*/) {}
  // May refuse to make a cell current.
  virtual bool SelectCell(int /*col*/, int /*row*/) { return true; }
  // Makes a cell current after asking SelectCell; with moveAnchor the selection becomes that one
  // cell (always so without range selection), and with show it is scrolled into view. False
  // when the cell was refused or is outside the grid.
  bool MoveCurrent(int col, int row, bool moveAnchor, bool show);
  // A move of the focus by the user: MoveCurrent with scrolling, then Click when it moved.
  void FocusCell(int col, int row, bool moveAnchor);

  void Paint() override;
  void BoundsChanged() override;
  void MouseDown(TMouseButton button, int shift, int x, int y) override;
  void KeyDown(WORD& key, int shift) override;
  void MouseWheel(int steps) override;

 private:
  void SetCount(TGridAxis& axis, int count);
  void SetFixed(TGridAxis& axis, int count);
  void ClampCurrent();
  void ScrollInView(int col, int row);
  void DrawGridLines(const TRect& clip);
  // The light top and left, dark right and bottom border of a heading cell.
  void DrawRaisedEdge(const TRect& rect);
  void DrawFocusRect(const TRect& rect);
  void UpdateScrollBars();

  TGridAxis cols_{5, 1, 64};
  TGridAxis rows_{5, 1, 24};
  int gridLineWidth_ = 1;
  TScrollStyle scrollBars_ = TScrollStyle::ssBoth;
  TGridOptions options_ = {goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect};
  QScrollBar* verticalBar_ = nullptr;  // children of the control's widget
  QScrollBar* horizontalBar_ = nullptr;
  bool updatingBars_ = false;
};
