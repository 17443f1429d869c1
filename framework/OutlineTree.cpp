#include "framework/Outline.h"

#include <algorithm>
#include <utility>

// --- TOutlineNode ---------------------------------------------------------------------------

TOutlineNode::TOutlineNode(TCustomOutline* outline, TOutlineNode* parent, std::string text,
                           void* data)
    : outline_(outline), parent_(parent), text_(std::move(text)), data_(data) {}

void TOutlineNode::SetText(const std::string& text) {
  if (text == text_) return;
  text_ = text;
  outline_->Invalidate();
}

int TOutlineNode::Index() const {
  outline_->Renumber();
  return index_;
}

bool TOutlineNode::Holds(const TOutlineNode* node) const {
  for (; node; node = node->parent_) {
    if (node == this) return true;
  }
  return false;
}

int TOutlineNode::Level() const {
  int level = 0;
  for (const TOutlineNode* node = parent_; node; node = node->parent_) ++level;
  return level;
}

bool TOutlineNode::IsVisible() const {
  for (const TOutlineNode* node = parent_; node; node = node->parent_) {
    if (!node->expanded_) return false;
  }
  return true;
}

void TOutlineNode::SetExpanded(bool expanded) {
  if (!parent_) return;  // the invisible root is always open
  if (expanded == expanded_) return;
  outline_->NodeExpanded(this, expanded);
}

void TOutlineNode::FullExpand() {
  SetExpanded(true);
  // Expanding may add children, so the list is walked by position each time.
  for (size_t i = 0; i < children_.size(); ++i) children_[i]->FullExpand();
}

std::string TOutlineNode::FullPath() const {
  std::string path;
  for (const TOutlineNode* node = this; node->parent_; node = node->parent_)
    path = node->text_ + (node == this ? "" : outline_->ItemSeparator()) + path;
  return path;
}

int TOutlineNode::ChildPosition(int childIndex) const {
  outline_->Renumber();
  // Children are numbered in increasing order, so the child is found by bisection.
  auto it = std::lower_bound(
      children_.begin(), children_.end(), childIndex,
      [](const std::unique_ptr<TOutlineNode>& child, int index) { return child->index_ < index; });
  if (it == children_.end() || (*it)->index_ != childIndex) return -1;
  return static_cast<int>(it - children_.begin());
}

int TOutlineNode::ChildBeside(int childIndex, int step) const {
  const int position = ChildPosition(childIndex);
  if (position < 0 || position + step < 0 || position + step >= ChildCount()) return -1;
  return children_[static_cast<size_t>(position + step)]->index_;
}

int TOutlineNode::PositionInParent() const {
  if (!parent_) return -1;
  // Found through the numbering, so that drawing the rows of a level with thousands of items
  // does not walk the level for each of them.
  return parent_->ChildPosition(Index());
}

// --- TCustomOutline: the tree ---------------------------------------------------------------

void TCustomOutline::Changed() {
  numbered_ = false;
  rowsKnown_ = false;
  Invalidate();
}

void TCustomOutline::Number(TOutlineNode* node, int& next) {
  node->index_ = next++;
  items_.push_back(node);
  for (auto& child : node->children_) Number(child.get(), next);
}

void TCustomOutline::Renumber() {
  if (numbered_) return;
  ++numberingPasses_;
  items_.clear();
  int next = 0;
  Number(root_.get(), next);
  numbered_ = true;
}

TOutlineNode& TCustomOutline::Items(int index) {
  Renumber();
  if (index < 0 || index >= static_cast<int>(items_.size())) {
    throw EOutlineError("Outline index not found");
  }
  return *items_[static_cast<size_t>(index)];
}

int TCustomOutline::ItemCount() {
  Renumber();
  return static_cast<int>(items_.size()) - 1;
}

TOutlineNode& TCustomOutline::InsertNode(TOutlineNode* parent, int position,
                                         const std::string& text, void* data) {
  auto node = std::unique_ptr<TOutlineNode>(new TOutlineNode(this, parent, text, data));
  TOutlineNode& result = *node;
  auto& siblings = parent->children_;
  position = std::clamp(position, 0, static_cast<int>(siblings.size()));
  siblings.insert(siblings.begin() + position, std::move(node));
  Changed();
  return result;
}

void TCustomOutline::InsertChildren(int index, const std::vector<TOutlineInsertion>& insertions) {
  TOutlineNode& parent = Items(index);
  if (insertions.empty()) return;
  auto& present = parent.children_;
  const int count = static_cast<int>(present.size());
  // Stable by position, so that insertions at one position keep the order given.
  std::vector<std::pair<int, const TOutlineInsertion*>> byPosition;
  byPosition.reserve(insertions.size());
  for (const TOutlineInsertion& insertion : insertions)
    byPosition.emplace_back(std::clamp(insertion.Position, 0, count), &insertion);
  std::stable_sort(byPosition.begin(), byPosition.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::unique_ptr<TOutlineNode>> merged;
  merged.reserve(present.size() + insertions.size());
  size_t next = 0;
  for (int position = 0; position <= count; ++position) {
    while (next < byPosition.size() && byPosition[next].first == position) {
      const TOutlineInsertion& insertion = *byPosition[next++].second;
      auto node = std::unique_ptr<TOutlineNode>(
          new TOutlineNode(this, &parent, insertion.Text, insertion.Data));
      node->key_ = insertion.Key;
      merged.push_back(std::move(node));
    }
    if (position < count) merged.push_back(std::move(present[static_cast<size_t>(position)]));
  }
  present = std::move(merged);
  Changed();
}

int TCustomOutline::AddObject(int index, const std::string& text, void* data) {
  TOutlineNode& node = Items(index);
  if (!node.parent_) return InsertNode(root_.get(), root_->ChildCount(), text, data).Index();
  return InsertNode(node.parent_, node.PositionInParent() + 1, text, data).Index();
}

int TCustomOutline::AddChildObject(int index, const std::string& text, void* data) {
  TOutlineNode& node = Items(index);
  return InsertNode(&node, node.ChildCount(), text, data).Index();
}

int TCustomOutline::InsertObject(int index, const std::string& text, void* data) {
  TOutlineNode& node = Items(index);
  if (!node.parent_) return InsertNode(root_.get(), root_->ChildCount(), text, data).Index();
  return InsertNode(node.parent_, node.PositionInParent(), text, data).Index();
}

void TCustomOutline::Delete(int index) {
  TOutlineNode& node = Items(index);
  if (!node.parent_) {
    Clear();
    return;
  }
  if (node.Holds(selected_)) selected_ = nullptr;
  auto& siblings = node.parent_->children_;
  siblings.erase(siblings.begin() + node.PositionInParent());
  Changed();
}

void TCustomOutline::Clear() {
  root_->children_.clear();
  selected_ = nullptr;
  topRow_ = 0;
  currentRow_ = -1;
  Changed();
}

int TCustomOutline::GetTextItem(const std::string& text) {
  Renumber();
  for (size_t i = 1; i < items_.size(); ++i) {
    if (items_[i]->text_ == text) return static_cast<int>(i);
  }
  return 0;
}
