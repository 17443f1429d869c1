#include <gtest/gtest.h>

#include <vector>

#include "OutlineChildren.h"
#include "framework/Outline.h"
#include "tests/support/ShownPixels.h"

namespace {

class OutlineTest : public testing::Test {
 protected:
  void SetUp() override {
    outline.SetBounds(0, 0, 200, 180);
    // a
    //   a1
    //   a2
    // b
    a = outline.Add(0, "a");
    outline.Add(a, "b");
    outline.AddChild(a, "a1");
    outline.AddChild(a, "a2");
    b = outline.GetTextItem("b");
  }
  TCustomOutline outline{nullptr};
  int a = 0, b = 0;
};

TEST_F(OutlineTest, ItemsAreNumberedInTreeOrder) {
  ASSERT_EQ(outline.ItemCount(), 4);
  const char* inTreeOrder[] = {"a", "a1", "a2", "b"};
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(outline.Items(i).Text(), inTreeOrder[i - 1]);
  EXPECT_EQ(outline.Items(0).Level(), 0);
  EXPECT_EQ(outline.Items(3).Level(), 2);
  EXPECT_EQ(outline.GetTextItem("b"), 4);
  EXPECT_EQ(outline.GetTextItem("none"), 0);
  EXPECT_EQ(Children(outline, 0), (std::vector<std::string>{"a", "b"}));
}

// Items keep their data as they are renumbered.
TEST_F(OutlineTest, AddInsertAndAddChildPlaceItems) {
  int marker = 0;
  outline.Items(b).SetData(&marker);
  const int a2 = outline.GetTextItem("a2");
  const int before = outline.Insert(a2, "a1.5");
  EXPECT_EQ(outline.Items(before).Text(), "a1.5");
  outline.Add(outline.GetTextItem("a1"), "a1.2");
  outline.Insert(outline.GetTextItem("a"), "first");
  outline.Add(0, "last");
  EXPECT_EQ(Children(outline, outline.GetTextItem("a")),
            (std::vector<std::string>{"a1", "a1.2", "a1.5", "a2"}));
  EXPECT_EQ(Children(outline, 0), (std::vector<std::string>{"first", "a", "b", "last"}));
  TOutlineNode& node = outline.Items(outline.GetTextItem("a"));
  EXPECT_EQ(outline.Items(node.GetLastChild()).Text(), "a2");
  EXPECT_EQ(node.GetPrevChild(node.GetFirstChild()), -1);
  EXPECT_EQ(node.GetNextChild(node.GetLastChild()), -1);
  EXPECT_EQ(node.GetNextChild(outline.GetTextItem("b")), -1);  // not a child of a
  TOutlineNode& leaf = outline.Items(outline.GetTextItem("b"));
  EXPECT_EQ(leaf.GetFirstChild(), -1);
  EXPECT_EQ(leaf.GetLastChild(), -1);
  EXPECT_EQ(leaf.Data(), &marker);
  EXPECT_EQ(outline.Items(outline.GetTextItem("a")).Data(), nullptr);
}

TEST_F(OutlineTest, FullPathJoinsWithTheSeparator) {
  const int deep = outline.AddChild(outline.GetTextItem("a2"), "x");
  EXPECT_EQ(outline.Items(deep).FullPath(), "a\\a2\\x");
  EXPECT_EQ(outline.Items(a).FullPath(), "a");
  EXPECT_EQ(outline.Items(0).FullPath(), "");
  outline.SetItemSeparator("/");
  EXPECT_EQ(outline.Items(deep).FullPath(), "a/a2/x");
}

TEST_F(OutlineTest, BadIndexesAndSelections) {
  ExpectOutlineError("Outline index not found", [this] { outline.Items(-1); });
  ExpectOutlineError("Outline index not found", [this] { outline.Items(5); });
  ExpectOutlineError("Outline index not found", [this] { outline.AddChild(9, "x"); });
  ExpectOutlineError("Invalid selection", [this] { outline.SetSelectedItem(-1); });
  ExpectOutlineError("Invalid selection", [this] { outline.SetSelectedItem(5); });
  ExpectOutlineError("Parent must be expanded", [this] { outline.SetSelectedItem(2); });
  EXPECT_EQ(outline.SelectedItem(), 0);
  outline.Items(a).Expand();
  outline.SetSelectedItem(2);
  EXPECT_EQ(outline.SelectedItem(), 2);
}

TEST_F(OutlineTest, ExpansionNotifiesBeforeChildrenAreCounted) {
  std::vector<int> expanded, collapsed;
  outline.OnExpand = [&](TObject*, int index) {
    // Not yet open while the notification runs.
    EXPECT_FALSE(outline.Items(index).Expanded());
    expanded.push_back(index);
  };
  outline.OnCollapse = [&](TObject*, int index) { collapsed.push_back(index); };
  EXPECT_EQ(outline.VisibleItemCount(), 2);
  outline.Items(a).Expand();
  outline.Items(a).Expand();  // already open: no second notification
  EXPECT_EQ(outline.VisibleItemCount(), 4);
  EXPECT_EQ(outline.ItemAtRow(3), 4);
  outline.SetSelectedItem(3);
  outline.Items(a).Collapse();  // moves the selection up to a
  EXPECT_EQ(outline.SelectedItem(), a);
  EXPECT_EQ(expanded, std::vector<int>{1});
  EXPECT_EQ(collapsed, std::vector<int>{1});
  EXPECT_EQ(outline.RowOfItem(2), -1);
}

TEST_F(OutlineTest, DeleteAndClear) {
  outline.Items(a).Expand();
  outline.SetSelectedItem(outline.GetTextItem("a2"));
  outline.Delete(a);
  EXPECT_EQ(outline.ItemCount(), 1);
  EXPECT_EQ(outline.SelectedItem(), 0);
  EXPECT_EQ(outline.Items(1).Text(), "b");
  outline.Clear();
  EXPECT_EQ(outline.ItemCount(), 0);
  ExpectOutlineError("Outline index not found", [this] { outline.Items(1); });
}

TEST_F(OutlineTest, KeysMoveTheSelectionAndClick) {
  int clicks = 0;
  outline.OnClick = [&](TObject*) { ++clicks; };
  outline.SetSelectedItem(a);
  outline.DoKeyDown(VK_DOWN, 0);
  EXPECT_EQ(outline.SelectedItem(), b);
  outline.DoKeyDown(VK_UP, 0);
  EXPECT_EQ(outline.SelectedItem(), a);
  outline.DoKeyDown(VK_RIGHT, 0);  // opens a
  EXPECT_TRUE(outline.Items(a).Expanded());
  outline.DoKeyDown(VK_RIGHT, 0);  // to its first child
  EXPECT_EQ(outline.Items(outline.SelectedItem()).Text(), "a1");
  outline.DoKeyDown(VK_END, 0);
  EXPECT_EQ(outline.SelectedItem(), b);
  outline.DoKeyDown(VK_HOME, 0);
  outline.DoKeyDown(VK_LEFT, 0);  // closes a
  EXPECT_FALSE(outline.Items(a).Expanded());
  EXPECT_EQ(clicks, 5);
}

TEST_F(OutlineTest, MouseSelectsTheRowAndDoubleClickOpens) {
  int clicks = 0;
  outline.OnClick = [&](TObject*) { ++clicks; };
  const int textX = 150;  // right of the pictures
  const int rowB = outline.ItemHeight() * 1 + 2;
  outline.DoMouseDown(mbLeft, ssLeft, textX, rowB);
  EXPECT_EQ(outline.SelectedItem(), b);
  outline.DoMouseDown(mbLeft, ssLeft, textX, 2);
  outline.DoMouseDown(mbLeft, ssLeft | ssDouble, textX, 2);
  outline.DoDblClick();
  EXPECT_EQ(outline.SelectedItem(), a);
  EXPECT_TRUE(outline.Items(a).Expanded());
  EXPECT_EQ(clicks, 3);
  // Below the last row nothing is hit.
  outline.DoMouseDown(mbLeft, ssLeft, textX, 170);
  EXPECT_EQ(outline.SelectedItem(), a);
  EXPECT_EQ(clicks, 3);
}

TEST_F(OutlineTest, PaintsTheSelectedItemHighlighted) {
  outline.SetSelectedItem(b);
  const TPixelBuffer picture = ShownPixels(outline);
  int highlightedInRowA = 0, highlightedInRowB = 0;
  const TColor highlight = ColorToRGB(clHighlight);
  for (int x = 0; x < picture.Width(); ++x) {
    for (int y = 0; y < outline.ItemHeight(); ++y) {
      if (ColorOfPixel(picture.Row(y)[x]) == highlight) ++highlightedInRowA;
      if (ColorOfPixel(picture.Row(y + outline.ItemHeight())[x]) == highlight) {
        ++highlightedInRowB;
      }
    }
  }
  EXPECT_EQ(highlightedInRowA, 0);
  EXPECT_GT(highlightedInRowB, 20);
}

TEST(OutlineScrolling, ScrollBarAppearsWhenRowsDoNotFit) {
  TCustomOutline outline(nullptr);
  outline.SetBounds(0, 0, 150, outline.ItemHeight() * 4);
  for (int i = 0; i < 3; ++i) outline.Add(0, "item" + std::to_string(i));
  EXPECT_FALSE(outline.VerticalScrollBarShown());
  for (int i = 3; i < 10; ++i) outline.Add(0, "item" + std::to_string(i));
  EXPECT_TRUE(outline.VerticalScrollBarShown());
  // Moving to the last row scrolls it into view.
  outline.SetSelectedItem(1);
  outline.DoKeyDown(VK_END, 0);
  EXPECT_EQ(outline.SelectedItem(), 10);
  EXPECT_EQ(outline.TopRow(), 6);
  outline.DoKeyDown(VK_HOME, 0);
  EXPECT_EQ(outline.TopRow(), 0);
  outline.SetScrollBars(TScrollStyle::ssNone);
  EXPECT_FALSE(outline.VerticalScrollBarShown());
  outline.SetScrollBars(TScrollStyle::ssVertical);
  outline.SetBounds(0, 0, 150, outline.ItemHeight() * 12);
  EXPECT_FALSE(outline.VerticalScrollBarShown());
}

}  // namespace
