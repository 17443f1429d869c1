#pragma once
// What the outline tests share.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/Outline.h"
#include "tests/support/ExpectMessage.h"

// The texts of an outline item's children, first to last, through the child-walking calls.
inline std::vector<std::string> Children(TCustomOutline& outline, int index) {
  std::vector<std::string> texts;
  TOutlineNode& node = outline.Items(index);
  for (int child = node.GetFirstChild(); child != -1; child = node.GetNextChild(child)) {
    texts.push_back(outline.Items(child).Text());
  }
  return texts;
}

inline void ExpectOutlineError(const std::string& text, const std::function<void()>& action) {
  ExpectThrowWithMessage<EOutlineError>(action, text);
}
