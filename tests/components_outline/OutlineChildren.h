#pragma once
// The texts of an outline item's children, first to last, through the child-walking calls.

#include <string>
#include <vector>

#include "framework/Outline.h"

inline std::vector<std::string> Children(TCustomOutline& outline, int index) {
  std::vector<std::string> texts;
  TOutlineNode& node = outline.Items(index);
  for (int child = node.GetFirstChild(); child != -1; child = node.GetNextChild(child)) {
    texts.push_back(outline.Items(child).Text());
  }
  return texts;
}
