#include "framework/Outline.h"

#include <QScrollBar>
#include <QWidget>
#include <algorithm>

namespace {

void DottedPixel(TCanvas& canvas, int x, int y) {
  if (((x + y) & 1) == 0) canvas.SetPixel(x, y, clGray);
}

}  // namespace

// --- TCustomOutline --------------------------------------------------------------------------

TCustomOutline::TCustomOutline(TComponent* owner)
    : TCustomControl(owner),
      root_(new TOutlineNode(this, nullptr, "", nullptr)),
      pictureOpen_(OpenFolderPicture()),
      pictureClosed_(ClosedFolderPicture()),
      pictureLeaf_(LeafPicture()) {
  root_->expanded_ = true;
  verticalBar_ = AddScrollBar(true, [this](int value) {
    if (!updatingBar_) SetTopRow(value);
  });
  SetColor(clWindow);
  SetTabStop(true);
  SetBounds(0, 0, 121, 97);
}

void TCustomOutline::Dispatch(TMessage& message) {
  if (message.Msg == WM_SIZE) Invalidate();
  TCustomControl::Dispatch(message);
}

void TCustomOutline::BoundsChanged() {
  TCustomControl::BoundsChanged();
  Invalidate();
}

void TCustomOutline::CollectVisible(TOutlineNode* node) {
  for (auto& child : node->children_) {
    rows_.push_back(child.get());
    if (child->expanded_) CollectVisible(child.get());
  }
}

void TCustomOutline::CollectRows() {
  if (rowsKnown_) return;
  rows_.clear();
  CollectVisible(root_.get());
  rowsKnown_ = true;
}

void TCustomOutline::SetSelectedItem(int index) {
  Renumber();
  if (index < 0 || index >= static_cast<int>(items_.size())) {
    throw EOutlineError("Invalid selection");
  }
  if (index == 0) {
    selected_ = nullptr;
    Invalidate();
    return;
  }
  TOutlineNode* node = items_[static_cast<size_t>(index)];
  if (!node->IsVisible()) throw EOutlineError("Parent must be expanded");
  selected_ = node;
  currentRow_ = RowOfItem(index);
  ScrollInView(currentRow_);
  Invalidate();
}

void TCustomOutline::NodeExpanded(TOutlineNode* node, bool expanded) {
  if (expanded) {
    // The notification comes first: a derived outline may fill in the children now.
    Expand(node->Index());
    node->expanded_ = true;
    Changed();
  } else {
    node->expanded_ = false;
    if (node->Holds(selected_)) selected_ = node;
    Changed();
    Collapse(node->Index());
  }
  if (selected_) currentRow_ = RowOfItem(selected_->Index());
}

void TCustomOutline::Click() {
  const int index = ItemAtRow(currentRow_);
  if (index > 0) {
    selected_ = &Items(index);
    Invalidate();
  }
  TCustomControl::Click();
}

void TCustomOutline::Invalidate() {
  UpdateScrollBar();
  TCustomControl::Invalidate();
}

void TCustomOutline::UpdateScrollBar() {
  if (!verticalBar_ || updatingBar_) return;
  updatingBar_ = true;
  const bool allowed =
      scrollBars_ == TScrollStyle::ssVertical || scrollBars_ == TScrollStyle::ssBoth;
  const int rows = VisibleItemCount();
  const int fit = RowsInWindow();
  // Once the rows fit, or fewer are left, none stays hidden above the window out of reach.
  topRow_ = std::min(topRow_, std::max(0, rows - fit));
  if (allowed && rows > fit) {
    const int barWidth = verticalBar_->sizeHint().width();
    verticalBar_->setGeometry(ClientWidth() - barWidth, 0, barWidth, ClientHeight());
    verticalBar_->setRange(0, rows - fit);
    verticalBar_->setPageStep(fit);
    verticalBar_->setValue(topRow_);
    verticalBar_->show();
  } else {
    verticalBar_->hide();
  }
  updatingBar_ = false;
}

// --- TCustomOutline: rows and input ---------------------------------------------------------

int TCustomOutline::VisibleItemCount() {
  CollectRows();
  return static_cast<int>(rows_.size());
}

int TCustomOutline::ItemAtRow(int row) {
  CollectRows();
  if (row < 0 || row >= static_cast<int>(rows_.size())) return -1;
  return rows_[static_cast<size_t>(row)]->Index();
}

int TCustomOutline::RowOfItem(int index) {
  if (index <= 0) return -1;
  CollectRows();
  for (size_t row = 0; row < rows_.size(); ++row) {
    if (rows_[row]->Index() == index) return static_cast<int>(row);
  }
  return -1;
}

int TCustomOutline::RowsInWindow() const {
  return std::max(1, ClientHeight() / itemHeight_);
}

void TCustomOutline::SetTopRow(int row) {
  const int last = std::max(0, VisibleItemCount() - RowsInWindow());
  if (SetIfChanged(topRow_, std::clamp(row, 0, last))) Invalidate();
}

void TCustomOutline::ScrollInView(int row) {
  if (row < 0) return;
  if (row < topRow_) {
    SetTopRow(row);
  } else if (row >= topRow_ + RowsInWindow()) {
    SetTopRow(row - RowsInWindow() + 1);
  }
}

void TCustomOutline::SelectRow(int row) {
  const int count = VisibleItemCount();
  if (count == 0) return;
  row = std::clamp(row, 0, count - 1);
  currentRow_ = row;
  ScrollInView(row);
  Click();
}

void TCustomOutline::Toggle(int index) {
  if (index <= 0) return;
  TOutlineNode& node = Items(index);
  node.SetExpanded(!node.Expanded());
}

bool TCustomOutline::InToggleArea(int row, int x) {
  const int index = ItemAtRow(row);
  if (index <= 0) return false;
  const bool plusMinus = style_ == osPlusMinusText || style_ == osPlusMinusPictureText;
  const bool picture =
      style_ == osPictureText || style_ == osPlusMinusPictureText || style_ == osTreePictureText;
  int width = 0;
  if (plusMinus) width += 13;
  if (picture) width += PictureWidth() + 2;
  const int left = IndentOf(Items(index));
  return x >= left && x < left + width;
}

void TCustomOutline::MouseDown(TMouseButton button, int shift, int x, int y) {
  if (button != mbLeft) return;
  const int row = topRow_ + y / itemHeight_;
  if (ItemAtRow(row) <= 0) return;
  const bool toggle = InToggleArea(row, x);
  currentRow_ = row;
  Click();
  // The second press of a double click leaves the opening to DblClick.
  if (toggle && (shift & ssDouble) == 0) Toggle(SelectedItem());
  lastDownToggled_ = toggle;
}

void TCustomOutline::DblClick() {
  TCustomControl::DblClick();
  if (!lastDownToggled_) Toggle(SelectedItem());
}

void TCustomOutline::KeyDown(WORD& key, int) {
  const int selectedRow = selected_ ? RowOfItem(selected_->Index()) : -1;
  const int row = selectedRow >= 0 ? selectedRow : currentRow_;
  const int page = std::max(RowsInWindow() - 1, 1);
  switch (key) {
    case VK_UP:
      SelectRow(row - 1);
      break;
    case VK_DOWN:
      SelectRow(row + 1);
      break;
    case VK_PRIOR:
      SelectRow(row - page);
      break;
    case VK_NEXT:
      SelectRow(row + page);
      break;
    case VK_HOME:
      SelectRow(0);
      break;
    case VK_END:
      SelectRow(VisibleItemCount() - 1);
      break;
    case VK_RIGHT:
    case VK_ADD:
      if (selected_) {
        if (!selected_->Expanded()) {
          selected_->Expand();
        } else if (key == VK_RIGHT && selected_->HasItems()) {
          SelectRow(row + 1);
        }
      }
      break;
    case VK_LEFT:
    case VK_SUBTRACT:
      if (selected_) {
        if (selected_->Expanded() && selected_->HasItems()) {
          selected_->Collapse();
        } else if (key == VK_LEFT && selected_->parent_ && selected_->parent_->parent_) {
          SelectRow(RowOfItem(selected_->parent_->Index()));
        }
      }
      break;
    case VK_RETURN:
      if (selected_) Toggle(selected_->Index());
      break;
    default:
      return;
  }
  key = 0;
}

void TCustomOutline::MouseWheel(int steps) {
  SetTopRow(topRow_ - 3 * steps);
}

// --- TCustomOutline: drawing ----------------------------------------------------------------

int TCustomOutline::IndentOf(const TOutlineNode& node) const {
  const int unit = std::max(PictureWidth(), 9) + 6;
  const bool tree = style_ == osTreeText || style_ == osTreePictureText;
  const int columns = node.Level() - 1 + (tree && options_.count(ooDrawTreeRoot) ? 1 : 0);
  return 2 + columns * unit;
}

void TCustomOutline::DrawTreeLines(TOutlineNode& node, int top) {
  TCanvas& canvas = Canvas();
  const int unit = std::max(PictureWidth(), 9) + 6;
  const int middle = top + itemHeight_ / 2;
  const int bottom = top + itemHeight_;
  const bool drawRoot = options_.count(ooDrawTreeRoot) != 0;
  auto hasNextSibling = [](const TOutlineNode& n) {
    return n.parent_ && n.PositionInParent() + 1 < n.parent_->ChildCount();
  };
  if (node.Level() > 1 || drawRoot) {
    const int x = IndentOf(node) - unit / 2 - 1;
    for (int px = x; px < IndentOf(node) - 1; ++px) DottedPixel(canvas, px, middle);
    const bool firstTop = !node.parent_->parent_ && node.PositionInParent() == 0;
    const int lineTop = firstTop ? middle : top;
    const int lineBottom = hasNextSibling(node) ? bottom : middle + 1;
    for (int py = lineTop; py < lineBottom; ++py) DottedPixel(canvas, x, py);
  }
  // The lines of the ancestors that have more children below this row.
  for (const TOutlineNode* a = node.parent_; a && a->parent_; a = a->parent_) {
    if (!hasNextSibling(*a)) continue;
    if (a->Level() == 1 && !drawRoot) continue;
    const int x = IndentOf(*a) - unit / 2 - 1;
    for (int py = top; py < bottom; ++py) DottedPixel(canvas, x, py);
  }
}

void TCustomOutline::Paint() {
  TCustomControl::Paint();
  TCanvas& canvas = Canvas();
  CollectRows();
  const bool tree = style_ == osTreeText || style_ == osTreePictureText;
  const bool plusMinus = style_ == osPlusMinusText || style_ == osPlusMinusPictureText;
  const bool pictures =
      style_ == osPictureText || style_ == osPlusMinusPictureText || style_ == osTreePictureText;
  const bool focused = Focused();
  for (int row = topRow_; row < static_cast<int>(rows_.size()); ++row) {
    const int top = (row - topRow_) * itemHeight_;
    if (top >= ClientHeight()) break;
    TOutlineNode& node = *rows_[static_cast<size_t>(row)];
    if (tree) DrawTreeLines(node, top);
    int x = IndentOf(node);
    if (plusMinus) {
      if (node.HasItems()) {
        const int boxTop = top + (itemHeight_ - 9) / 2;
        canvas.Pen().SetColor(clGray);
        canvas.Brush().SetColor(clWindow);
        canvas.Rectangle(x, boxTop, x + 9, boxTop + 9);
        canvas.Pen().SetColor(clBlack);
        canvas.MoveTo(x + 2, boxTop + 4);
        canvas.LineTo(x + 7, boxTop + 4);
        if (!node.Expanded()) {
          canvas.MoveTo(x + 4, boxTop + 2);
          canvas.LineTo(x + 4, boxTop + 7);
        }
      }
      x += 13;
    }
    if (pictures) {
      if (const TBitmap* picture = PictureFor(node)) DrawPicture(*picture, x, top);
      x += PictureWidth() + 2;
    }
    canvas.Font().Assign(Font());
    const int textWidth = canvas.TextWidth(node.Text());
    const int textHeight = canvas.TextHeight(node.Text());
    const TRect textRect = Rect(x, top + 1, x + textWidth + 4, top + itemHeight_ - 1);
    const bool selected = &node == selected_;
    canvas.Brush().SetStyle(bsSolid);
    if (selected) {
      canvas.Brush().SetColor(clHighlight);
      canvas.Font().SetColor(clHighlightText);
    } else {
      canvas.Brush().SetColor(Color());
    }
    canvas.TextRect(textRect, x + 2, top + (itemHeight_ - textHeight) / 2, node.Text());
    if (selected && focused && options_.count(ooDrawFocusRect)) {
      for (int px = textRect.Left; px < textRect.Right; px += 2) {
        canvas.SetPixel(px, textRect.Top, clWhite);
        canvas.SetPixel(px, textRect.Bottom - 1, clWhite);
      }
      for (int py = textRect.Top; py < textRect.Bottom; py += 2) {
        canvas.SetPixel(textRect.Left, py, clWhite);
        canvas.SetPixel(textRect.Right - 1, py, clWhite);
      }
    }
  }
}
