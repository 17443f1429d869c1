#include <gtest/gtest.h>

#include <QScrollBar>
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
    outline.InsertChildren(0, {At(0, "a"), At(0, "b")});
    outline.InsertChildren(a, {At(0, "a1"), At(0, "a2")});
  }
  TCustomOutline outline{nullptr};
  const int a = 1, b = 4;
};

TEST_F(OutlineTest, ItemsAreNumberedInTreeOrder) {
  const char* inTreeOrder[] = {"a", "a1", "a2", "b"};
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(outline.Items(i).Text(), inTreeOrder[i - 1]);
  EXPECT_EQ(outline.Items(0).Level(), 0);
  EXPECT_EQ(outline.Items(3).Level(), 2);
  EXPECT_EQ(Children(outline, 0), (std::vector<std::string>{"a", "b"}));
}

// Each insertion goes before the present child at its position, clamped to the children there
// are; those at one position keep the order given. Items keep their data as they are renumbered.
TEST_F(OutlineTest, InsertChildrenPlacesItemsByPosition) {
  int marker = 0;
  outline.Items(b).SetData(&marker);
  outline.InsertChildren(
      a, {At(2, "end"), At(1, "x"), At(0, "first"), At(1, "y"), At(-3, "first2"), At(99, "end2")});
  EXPECT_EQ(Children(outline, a),
            (std::vector<std::string>{"first", "first2", "a1", "x", "y", "a2", "end", "end2"}));
  EXPECT_EQ(outline.Items(b + 6).Text(), "b");
  EXPECT_EQ(outline.Items(b + 6).Data(), &marker);
  EXPECT_EQ(outline.Items(a).Data(), nullptr);
}

TEST_F(OutlineTest, BadIndexesAndSelections) {
  ExpectOutlineError("Outline index not found", [this] { outline.Items(-1); });
  ExpectOutlineError("Outline index not found", [this] { outline.Items(5); });
  ExpectOutlineError("Outline index not found",
                     [this] { outline.InsertChildren(9, {At(0, "x")}); });
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

TEST_F(OutlineTest, ClearTakesTheItemsAndTheSelection) {
  outline.SetSelectedItem(b);
  outline.Clear();
  EXPECT_EQ(outline.SelectedItem(), 0);
  EXPECT_EQ(outline.VisibleItemCount(), 0);
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
  // Its value is the first row shown.
  const QScrollBar& bar = *outline.Widget()->findChild<QScrollBar*>();
  for (int i = 0; i < 3; ++i) outline.InsertChildren(0, {At(i, "item" + std::to_string(i))});
  EXPECT_TRUE(bar.isHidden());
  for (int i = 3; i < 10; ++i) outline.InsertChildren(0, {At(i, "item" + std::to_string(i))});
  EXPECT_FALSE(bar.isHidden());
  // Moving to the last row scrolls it into view.
  outline.SetSelectedItem(1);
  outline.DoKeyDown(VK_END, 0);
  EXPECT_EQ(outline.SelectedItem(), 10);
  EXPECT_EQ(bar.value(), 6);
  outline.DoKeyDown(VK_HOME, 0);
  EXPECT_EQ(bar.value(), 0);
  outline.SetScrollBars(TScrollStyle::ssNone);
  EXPECT_TRUE(bar.isHidden());
  outline.SetScrollBars(TScrollStyle::ssVertical);
  // Scrolled down, then grown to fit every row: the top row shows the first item again.
  outline.DoKeyDown(VK_END, 0);
  outline.SetBounds(0, 0, 150, outline.ItemHeight() * 12);
  EXPECT_TRUE(bar.isHidden());
  outline.DoMouseDown(mbLeft, ssLeft, 100, 2);
  EXPECT_EQ(outline.SelectedItem(), 1);
}

// A level is added in one step and the outline numbered once for it. Numbered once per item,
// the hundred thousand items here would take many times the test's time limit (TIMEOUT in
// tests/CMakeLists.txt), where one numbering takes a fraction of a second.
TEST(OutlineManyItems, AHundredThousandItemsAreAddedAtOnce) {
  TCustomOutline outline(nullptr);
  outline.InsertChildren(0, {At(0, "top"), At(1, "last")});
  outline.Items(1).Expand();
  constexpr int count = 100000;
  std::vector<TOutlineInsertion> insertions(count);
  for (int i = 0; i < count; ++i) insertions[i] = At(0, std::to_string(i));
  outline.InsertChildren(1, insertions);
  EXPECT_EQ(outline.VisibleItemCount(), count + 2);
  EXPECT_EQ(outline.Items(count + 1).Text(), std::to_string(count - 1));
  EXPECT_EQ(outline.ItemAtRow(count + 1), count + 2);
}

}  // namespace
