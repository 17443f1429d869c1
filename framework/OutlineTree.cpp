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

int TOutlineNode::ChildPosition(int childIndex) const {
  outline_->Renumber();
  // Children are numbered in increasing order, so the child is found by bisection.
  auto it = std::lower_bound(
      children_.begin(), children_.end(), childIndex,
      [](const std::unique_ptr<TOutlineNode>& child, int index) { return child->index_ < index; });
  if (it == children_.end() || (*it)->index_ != childIndex) return -1;
  return static_cast<int>(it - children_.begin());
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

void TCustomOutline::Clear() {
  root_->children_.clear();
  selected_ = nullptr;
  topRow_ = 0;
  currentRow_ = -1;
  Changed();
}
