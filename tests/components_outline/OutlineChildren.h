#pragma once
// What the outline tests share.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/Outline.h"
#include "tests/support/ExpectMessage.h"

// The texts of an outline item's children, first to last.
inline std::vector<std::string> Children(TCustomOutline& outline, int index) {
  std::vector<std::string> texts;
  TOutlineNode& node = outline.Items(index);
  for (int position = 0; position < node.ChildCount(); ++position)
    texts.push_back(node.Child(position)->Text());
  return texts;
}

// The texts from the top item down to an item, as the rows show them, joined into a path.
inline std::string ShownPath(TCustomOutline& outline, int index) {
  std::string path;
  for (const TOutlineNode* node = &outline.Items(index); node->Parent(); node = node->Parent())
    path = path.empty() ? node->Text() : node->Text() + "\\" + path;
  return path;
}

// A new item with that text for TCustomOutline::InsertChildren.
inline TOutlineInsertion At(int position, const std::string& text) {
  return {position, text, "", nullptr};
}

inline void ExpectOutlineError(const std::string& text, const std::function<void()>& action) {
  ExpectThrowWithMessage<EOutlineError>(action, text);
}
