#pragma once
// The outline base: an indented tree list of items. Items are numbered in tree order over the
// whole tree, expanded or not, from 1; index 0 is the invisible root that the top items hang
// from. An item is opened (expanded) by the user or by code; the outline tells a derived class
// through Expand before it looks at the item's children, so that they can be filled in then.

#include <algorithm>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "framework/Bitmap.h"
#include "framework/CustomControl.h"
#include "framework/Exceptions.h"

class QScrollBar;

class EOutlineError : public Exception {
 public:
  using Exception::Exception;
};

class TCustomOutline;

class TOutlineNode : public TObject {
 public:
  const std::string& Text() const { return text_; }
  void SetText(const std::string& text);
  void* Data() const { return data_; }
  void SetData(void* data) { data_ = data; }
  // What the item stands for when its text is only a rendering of it (a name shown in another
  // case, say); empty when the text says it all. Never shown.
  const std::string& Key() const { return key_; }
  void SetKey(const std::string& key) { key_ = key; }

  int Index() const;
  // 0 for the invisible root, 1 for the top items.
  int Level() const;
  TOutlineNode* Parent() const { return parent_; }

  bool Expanded() const { return expanded_; }
  void SetExpanded(bool expanded);
  void Expand() { SetExpanded(true); }
  void Collapse() { SetExpanded(false); }
  bool HasItems() const { return !children_.empty(); }
  // Every item above it is open.
  bool IsVisible() const;

  int ChildCount() const { return static_cast<int>(children_.size()); }
  TOutlineNode* Child(int position) const { return children_.at(position).get(); }

 private:
  friend class TCustomOutline;
  TOutlineNode(TCustomOutline* outline, TOutlineNode* parent, std::string text, void* data);
  int PositionInParent() const;
  // Whether the node is this one or lies below it.
  bool Holds(const TOutlineNode* node) const;
  // The position among the children of the child with that index; -1 when it is none of them.
  int ChildPosition(int childIndex) const;

  TCustomOutline* outline_;
  TOutlineNode* parent_;
  std::string text_;
  std::string key_;
  void* data_;
  bool expanded_ = false;
  int index_ = 0;  // valid while the outline's numbering is current
  std::vector<std::unique_ptr<TOutlineNode>> children_;
};

enum TOutlineStyle {
  osText,
  osPlusMinusText,
  osPictureText,
  osPlusMinusPictureText,
  osTreeText,
  osTreePictureText,
};

enum TOutlineOption { ooDrawTreeRoot, ooDrawFocusRect, ooStretchBitmaps };
using TOutlineOptions = std::set<TOutlineOption>;

using TOutlineEvent = std::function<void(TObject* Sender, int Index)>;

// A new item for TCustomOutline::InsertChildren: where it goes among the present children of
// its parent (before the child at Position; at the end for the child count) and what it holds.
struct TOutlineInsertion {
  int Position = 0;
  std::string Text;
  std::string Key;
  void* Data = nullptr;
};

class TCustomOutline : public TCustomControl {
 public:
  explicit TCustomOutline(TComponent* owner);
  std::string ClassName() const override { return "TCustomOutline"; }

  // Throws EOutlineError "Outline index not found" for an index that is not an item.
  TOutlineNode& Items(int index);

  // Adds children to an item in one step, however many there are: each insertion goes
  // before the present child at its position, insertions at the same position in the order
  // given. The items are renumbered once, not once per item.
  void InsertChildren(int index, const std::vector<TOutlineInsertion>& insertions);
  void Clear();

  // 0 when nothing is selected. Selecting throws EOutlineError "Invalid selection" for an index
  // that is not an item and "Parent must be expanded" for an item inside a closed one.
  int SelectedItem() { return selected_ ? selected_->Index() : 0; }
  void SetSelectedItem(int index);

  const std::string& ItemSeparator() const { return itemSeparator_; }

  TOutlineStyle Style() const { return style_; }
  void SetStyle(TOutlineStyle style) {
    if (SetIfChanged(style_, style)) Invalidate();
  }
  const TOutlineOptions& Options() const { return options_; }
  void SetOptions(const TOutlineOptions& options) {
    if (SetIfChanged(options_, options)) Invalidate();
  }
  int ItemHeight() const { return itemHeight_; }
  void SetItemHeight(int height) {
    if (SetIfChanged(itemHeight_, std::max(height, 1))) Invalidate();
  }
  TScrollStyle ScrollBars() const { return scrollBars_; }
  void SetScrollBars(TScrollStyle scrollBars) {
    if (SetIfChanged(scrollBars_, scrollBars)) Invalidate();
  }

  // The pictures of open items, closed items with children and items without children. Setting
  // one copies the picture.
  TBitmap* PictureOpen() const { return pictureOpen_.get(); }
  void SetPictureOpen(const TBitmap* picture);
  TBitmap* PictureClosed() const { return pictureClosed_.get(); }
  void SetPictureClosed(const TBitmap* picture);
  TBitmap* PictureLeaf() const { return pictureLeaf_.get(); }
  void SetPictureLeaf(const TBitmap* picture);

  // The item shown in a row of the visible list (rows count from 0 at the top of the list, not
  // of the window); -1 when there is none. And the row of an item, -1 when it is not shown.
  int ItemAtRow(int row);
  int RowOfItem(int index);
  int VisibleItemCount();
  // Scrolls the list so that this row is the first one shown in the window.
  void SetTopRow(int row);

  TOutlineEvent OnExpand;
  TOutlineEvent OnCollapse;

  // Also brings the scroll bar in step with the rows.
  void Invalidate() override;
  void Dispatch(TMessage& message) override;

 protected:
  // The expansion notification: called when an item is opened, before its children are
  // counted; raises OnExpand.
  virtual void Expand(int index) {
    if (OnExpand) OnExpand(this, index);
  }
  virtual void Collapse(int index) {
    if (OnCollapse) OnCollapse(this, index);
  }
  // The click notification: selects the item in the current row and raises OnClick.
  void Click() override;

  void Paint() override;
  void BoundsChanged() override;
  void MouseDown(TMouseButton button, int shift, int x, int y) override;
  void DblClick() override;
  void KeyDown(WORD& key, int shift) override;
  void MouseWheel(int steps) override;

 private:
  friend class TOutlineNode;
  void Changed();  // the tree's shape changed: numbering and rows are out of date
  void Renumber();
  void CollectRows();
  void Number(TOutlineNode* node, int& next);
  void CollectVisible(TOutlineNode* node);
  void NodeExpanded(TOutlineNode* node, bool expanded);
  void ScrollInView(int row);
  int RowsInWindow() const;
  int IndentOf(const TOutlineNode& node) const;
  static std::unique_ptr<TBitmap> ClosedFolderPicture();
  static std::unique_ptr<TBitmap> OpenFolderPicture();
  static std::unique_ptr<TBitmap> LeafPicture();
  int PictureWidth() const;
  const TBitmap* PictureFor(const TOutlineNode& node) const;
  void DrawPicture(const TBitmap& picture, int x, int top);
  void DrawTreeLines(TOutlineNode& node, int top);
  // Where a row's picture or plus-minus box is, for clicks that open and close.
  bool InToggleArea(int row, int x);
  void Toggle(int index);
  void SelectRow(int row);
  void UpdateScrollBar();

  std::unique_ptr<TOutlineNode> root_;
  std::vector<TOutlineNode*> items_;  // by index; items_[0] is the root
  std::vector<TOutlineNode*> rows_;   // items in the visible list, top to bottom
  bool numbered_ = false;
  bool rowsKnown_ = false;
  TOutlineNode* selected_ = nullptr;
  std::string itemSeparator_ = "\\";
  TOutlineStyle style_ = osTreePictureText;
  TOutlineOptions options_ = {ooDrawTreeRoot, ooDrawFocusRect, ooStretchBitmaps};
  int itemHeight_ = 18;
  TScrollStyle scrollBars_ = TScrollStyle::ssBoth;
  std::unique_ptr<TBitmap> pictureOpen_;
  std::unique_ptr<TBitmap> pictureClosed_;
  std::unique_ptr<TBitmap> pictureLeaf_;
  int topRow_ = 0;
  int currentRow_ = -1;  // the row the user last moved to; Click selects its item
  bool lastDownToggled_ = false;
  QScrollBar* verticalBar_ = nullptr;  // a child of the control's widget
  bool updatingBar_ = false;
};
