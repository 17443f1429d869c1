#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <set>
#include <vector>

#include "OutlineChildren.h"
#include "TempTree.h"
#include "components/Cdiroutl/Cdiroutl.h"
#include "platform/FileSystem.h"

namespace {

class DirectoryOutlineTest : public testing::Test {
 protected:
  void SetUp() override {
    // Created in this order so that the listing order of the file system is not the sorted one.
    tree.MakeDirectory("beta");
    tree.MakeDirectory("Alpha/Inner");
    tree.MakeDirectory("gamma");
    tree.MakeDirectory(".hidden/inside");
    tree.MakeFile("file.txt");
    tree.MakeFile("Alpha/data.bin");
    ASSERT_EQ(chdir(tree.Root().c_str()), 0);
    root = AnsiLowerCaseFileName(tree.DriveRoot());
  }

  // An outline as a window would make it: drive and directory from the process, then the tree.
  std::unique_ptr<TCDirectoryOutline> NewOutline() {
    auto outline = std::make_unique<TCDirectoryOutline>(nullptr);
    outline->SetBounds(0, 0, 240, 400);
    outline->OnChange = [this](TObject*) { ++changes; };
    outline->HandleNeeded();
    outline->BuildTree();
    changes = 0;
    return outline;
  }

  std::string SelectedText(TCDirectoryOutline& outline) {
    return outline.Items(outline.SelectedItem()).Text();
  }

  TempTree tree;
  std::string root;  // the tree's top directory as a lower-case drive path
  int changes = 0;
};

TEST_F(DirectoryOutlineTest, NewOutlineHasNoDriveAndNoTree) {
  TCDirectoryOutline outline(nullptr);
  EXPECT_EQ(outline.Drive(), 0);
  EXPECT_EQ(outline.Directory(), "");
  EXPECT_EQ(outline.VisibleItemCount(), 0);
  outline.HandleNeeded();
  EXPECT_EQ(outline.Drive(), 'c');
  EXPECT_EQ(outline.Directory(), root);
  EXPECT_EQ(outline.VisibleItemCount(), 0);  // window creation builds no tree
  // A walk in the empty outline finds nothing to start from.
  ExpectOutlineError("Outline index not found", [&] { outline.SetDirectory("gamma"); });
}

TEST_F(DirectoryOutlineTest, LoadingUnderAHiddenDirectoryReachesIt) {
  ASSERT_EQ(chdir((tree.Root() + "/.hidden/inside").c_str()), 0);
  TCDirectoryOutline outline(nullptr);
  outline.Loaded();
  const TOutlineNode& inside = outline.Items(outline.SelectedItem());
  EXPECT_EQ(ShownPath(outline, outline.SelectedItem()), root + "\\.hidden\\inside");
  // The hidden directory on the way joins its level, in order; nothing else hidden does.
  EXPECT_EQ(Children(outline, inside.Parent()->Parent()->Index()),
            (std::vector<std::string>{".hidden", "alpha", "beta", "gamma"}));
}

TEST_F(DirectoryOutlineTest, TreeFollowsTheCurrentDirectoryAndListsItsSubdirectoriesInOrder) {
  auto outline = NewOutline();
  EXPECT_EQ(outline->Items(1).Text(), "c:");
  EXPECT_TRUE(outline->Items(1).Expanded());
  const int top = outline->SelectedItem();
  EXPECT_EQ(ShownPath(*outline, top), root);
  // Neither hidden directories nor files.
  outline->Items(top).Expand();
  EXPECT_EQ(Children(*outline, top), (std::vector<std::string>{"alpha", "beta", "gamma"}));
  EXPECT_EQ(outline->Items(top).Data(), TCDirectoryOutline::APointer);
  // Children are found by name in any case, and never among files.
  EXPECT_EQ(outline->Items(outline->GetChildNamed("BETA", top)).Text(), "beta");
  EXPECT_EQ(outline->GetChildNamed("gamma", outline->GetChildNamed("gamma", top)), -1);
  EXPECT_EQ(outline->GetChildNamed("file.txt", top), -1);
}

TEST_F(DirectoryOutlineTest, TextCaseModes) {
  auto outline = NewOutline();
  outline->SetTextCase(tcUpperCase);
  EXPECT_EQ(outline->Items(1).Text(), "C:");
  int top = outline->SelectedItem();
  outline->Items(top).Expand();
  EXPECT_EQ(Children(*outline, top), (std::vector<std::string>{"ALPHA", "BETA", "GAMMA"}));
  EXPECT_EQ(changes, 1);

  outline->SetTextCase(tcAsIs);
  EXPECT_EQ(outline->Drive(), 'C');
  EXPECT_EQ(outline->Directory(), tree.DriveRoot());  // re-read in its stored case
  top = outline->SelectedItem();
  EXPECT_EQ(ShownPath(*outline, top), tree.DriveRoot());
  outline->Items(top).Expand();
  EXPECT_EQ(Children(*outline, top), (std::vector<std::string>{"Alpha", "beta", "gamma"}));

  outline->SetTextCase(tcLowerCase);
  EXPECT_EQ(outline->Items(1).Text(), "c:");
  EXPECT_EQ(ShownPath(*outline, outline->SelectedItem()), root);
}

TEST_F(DirectoryOutlineTest, ALevelIsReadOnceExceptByANewTreeOrABuiltSubtree) {
  auto outline = NewOutline();
  const int top = outline->SelectedItem();
  outline->Items(top).Expand();
  tree.MakeDirectory("delta");
  outline->Items(top).Collapse();
  outline->Items(top).Expand();
  EXPECT_EQ(Children(*outline, top), (std::vector<std::string>{"alpha", "beta", "gamma"}));
  // A new tree reads it again.
  outline->BuildTree();
  const int again = outline->SelectedItem();
  outline->Items(again).Expand();
  EXPECT_EQ(Children(*outline, again),
            (std::vector<std::string>{"alpha", "beta", "delta", "gamma"}));
  // Building the subtree reads everything, and the levels already read once more.
  outline->BuildSubTree(again);
  EXPECT_EQ(Children(*outline, again),
            (std::vector<std::string>{"alpha", "alpha", "beta", "beta", "delta", "delta", "gamma",
                                      "gamma"}));
  const int alpha = outline->Items(again).Child(0)->Index();
  EXPECT_EQ(Children(*outline, alpha), std::vector<std::string>{"inner"});
  EXPECT_EQ(outline->Items(alpha).Data(), TCDirectoryOutline::APointer);
}

// One outline, one path after the other: each becomes the process's directory and is chosen in
// the tree; the change event comes only when the directory moves.
TEST_F(DirectoryOutlineTest, SetDirectoryGoesThereAndChangesOnlyWhenItMoves) {
  auto outline = NewOutline();
  const std::string inner = root + "\\alpha\\inner", gamma = root + "\\gamma";
  const std::string beta = root + "\\beta";
  const struct {
    std::string path, directory, cwd, selected;
    int changes;
  } steps[] = {
      {tree.DriveRoot() + "\\ALPHA\\INNER\\", inner, tree.Root() + "/Alpha/Inner", "inner", 1},
      {tree.DriveRoot() + "\\Alpha\\Inner", inner, tree.Root() + "/Alpha/Inner", "inner", 1},
      // Relative paths start from the process's current directory; an empty one is no path.
      {"..\\..\\gamma", gamma, tree.Root() + "/gamma", "gamma", 2},
      {"", gamma, tree.Root() + "/gamma", "gamma", 2},
      {tree.DriveRoot() + "\\beta", beta, tree.Root() + "/beta", "beta", 3},
      {"c:", beta, tree.Root() + "/beta", "beta", 3},  // what clicking the drive item asks for
      {"C:\\", "c:\\", "/", "c:", 4},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.path);
    outline->SetDirectory(step.path);
    EXPECT_EQ(outline->Directory(), step.directory);
    EXPECT_EQ(PosixCwd(), step.cwd);
    EXPECT_EQ(SelectedText(*outline), step.selected);
    if (step.cwd != "/") {  // the drive item's path is "c:"
      EXPECT_EQ(ShownPath(*outline, outline->SelectedItem()), step.directory);
    }
    EXPECT_EQ(changes, step.changes);
  }
  EXPECT_EQ(outline->SelectedItem(), TCDirectoryOutline::RootIndex);
}

// A walk through a hidden directory, or to a missing one, fails; the directory is taken all the
// same, and the process goes there when it can.
TEST_F(DirectoryOutlineTest, APathTheTreeCannotShowFailsButStillBecomesTheDirectory) {
  auto outline = NewOutline();
  const int before = outline->SelectedItem();
  ExpectOutlineError("Invalid selection", [&] { outline->SetDirectory("missing"); });
  EXPECT_EQ(outline->Directory(), root + "\\missing");
  EXPECT_EQ(PosixCwd(), tree.Root());
  ExpectOutlineError("Outline index not found",
                     [&] { outline->SetDirectory(tree.DriveRoot() + "\\.hidden\\inside"); });
  EXPECT_EQ(PosixCwd(), tree.Root() + "/.hidden/inside");
  EXPECT_EQ(outline->Directory(), root + "\\.hidden\\inside");
  EXPECT_EQ(outline->SelectedItem(), before);
  ExpectOutlineError("Invalid selection",
                     [&] { outline->SetDirectory(tree.DriveRoot() + "\\.hidden"); });
  EXPECT_EQ(outline->SelectedItem(), before);
  EXPECT_EQ(changes, 0);
}

// Characters that are no letters, and the drive it has, change nothing; a drive without a
// medium is taken but shows nothing.
TEST_F(DirectoryOutlineTest, SetDriveIgnoresNonLettersAndTheSameDriveAndTakesOneWithoutMedium) {
  auto outline = NewOutline();
  const int count = outline->VisibleItemCount();
  for (const char drive : {'1', ':', 'C', 'c'}) outline->SetDrive(drive);
  EXPECT_EQ(outline->Drive(), 'c');
  EXPECT_EQ(outline->VisibleItemCount(), count);
  EXPECT_EQ(changes, 0);
  ExpectOutlineError("Outline index not found", [&] { outline->SetDrive('d'); });
  EXPECT_EQ(outline->Drive(), 'D');
  EXPECT_EQ(outline->Directory(), root);
  EXPECT_EQ(PosixCwd(), tree.Root());
  EXPECT_EQ(outline->Items(1).Text(), "d:");
  EXPECT_FALSE(outline->Items(1).HasItems());
  // From a drive root the walk has nothing to find and succeeds.
  outline->SetDrive('c');
  ASSERT_EQ(chdir("/"), 0);
  outline->SetDrive('e');
  EXPECT_EQ(outline->Directory(), "c:\\");
  EXPECT_EQ(outline->Items(1).Text(), "e:");
  EXPECT_EQ(outline->SelectedItem(), 1);
  // A directory on another drive switches to it and walks to where the process is then.
  changes = 0;
  outline->SetDirectory(tree.DriveRoot());
  EXPECT_EQ(outline->Drive(), 'C');
  EXPECT_EQ(outline->Items(1).Text(), "c:");
  EXPECT_EQ(ShownPath(*outline, outline->SelectedItem()), root);
  EXPECT_EQ(changes, 1);
}

TEST_F(DirectoryOutlineTest, ChoosingAnItemMakesItCurrent) {
  auto outline = NewOutline();
  outline->Items(outline->SelectedItem()).Expand();
  int clicks = 0;
  outline->OnClick = [&](TObject*) { ++clicks; };
  outline->DoKeyDown(VK_DOWN, 0);  // to alpha, the first child
  EXPECT_EQ(SelectedText(*outline), "alpha");
  EXPECT_EQ(PosixCwd(), tree.Root() + "/Alpha");
  EXPECT_EQ(outline->Directory(), root + "\\alpha");
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(changes, 1);
  outline->DoKeyDown(VK_DOWN, 0);
  EXPECT_EQ(PosixCwd(), tree.Root() + "/beta");
}

// The number of items below an item, each opened on the way as the user would.
int Descendants(TCustomOutline& outline, int index) {
  TOutlineNode& node = outline.Items(index);
  node.Expand();
  int count = node.ChildCount();
  for (int position = 0; position < node.ChildCount(); ++position) {
    count += Descendants(outline, node.Child(position)->Index());
  }
  return count;
}

// Rows of the visible list by their texts, so that a test can go to one with the keys.
int RowOfText(TCDirectoryOutline& outline, const std::string& text) {
  for (int row = 0; row < outline.VisibleItemCount(); ++row) {
    if (outline.Items(outline.ItemAtRow(row)).Text() == text) return row;
  }
  return -1;
}

TEST_F(DirectoryOutlineTest, CaseTwinsShowTheirStoredNamesAndEachOpensItsOwnDirectory) {
  tree.MakeDirectory("Twin/Upper");
  tree.MakeDirectory("twin/lower");
  auto outline = NewOutline();
  const int top = outline->SelectedItem();
  outline->Items(top).Expand();
  // Forced to lower case the two would both read "twin"; others keep the text case.
  std::vector<std::string> texts = Children(*outline, top);
  ASSERT_EQ(texts.size(), 5u);
  EXPECT_EQ((std::vector<std::string>(texts.begin(), texts.begin() + 3)),
            (std::vector<std::string>{"alpha", "beta", "gamma"}));
  EXPECT_EQ((std::multiset<std::string>(texts.begin() + 3, texts.end())),
            (std::multiset<std::string>{"Twin", "twin"}));

  // Chosen with the keys, each twin makes its own directory current and opens onto its own
  // subdirectories.
  for (const std::string twin : {"Twin", "twin"}) {
    SCOPED_TRACE(twin);
    outline->SetSelectedItem(top);
    const int row = RowOfText(*outline, twin);
    ASSERT_GT(row, 0);
    for (int r = outline->RowOfItem(top); r < row; ++r) outline->DoKeyDown(VK_DOWN, 0);
    ASSERT_EQ(SelectedText(*outline), twin);
    EXPECT_EQ(PosixCwd(), tree.Root() + "/" + twin);
    EXPECT_EQ(outline->Directory(), root + "\\twin");
    const int item = outline->SelectedItem();
    outline->Items(item).Expand();
    EXPECT_EQ(Children(*outline, item),
              std::vector<std::string>{twin == "Twin" ? "upper" : "lower"});
    outline->Items(item).Collapse();
  }
  // Choosing the other twin with the mouse goes there too.
  const int row = RowOfText(*outline, "Twin");
  outline->SetTopRow(0);
  outline->DoMouseDown(mbLeft, ssLeft, 100, row * outline->ItemHeight() + 3);
  EXPECT_EQ(SelectedText(*outline), "Twin");
  EXPECT_EQ(PosixCwd(), tree.Root() + "/Twin");

  // In code, the names as given pick the twin.
  outline->SetDirectory(tree.DriveRoot() + "\\twin\\lower");
  EXPECT_EQ(PosixCwd(), tree.Root() + "/twin/lower");
  EXPECT_EQ(outline->Items(outline->Items(outline->SelectedItem()).Parent()->Index()).Text(),
            "twin");
  outline->SetDirectory(tree.DriveRoot() + "\\Twin\\Upper");
  EXPECT_EQ(PosixCwd(), tree.Root() + "/Twin/Upper");
  EXPECT_EQ(outline->Items(outline->Items(outline->SelectedItem()).Parent()->Index()).Text(),
            "Twin");
  EXPECT_EQ(outline->Directory(), root + "\\twin\\upper");

  // Upper case shows them as stored as well.
  outline->SetTextCase(tcUpperCase);
  const int upperTop = outline->Items(outline->SelectedItem()).Parent()->Parent()->Index();
  texts = Children(*outline, upperTop);
  EXPECT_EQ((std::multiset<std::string>(texts.begin(), texts.end())),
            (std::multiset<std::string>{"ALPHA", "BETA", "GAMMA", "Twin", "twin"}));
}

TEST_F(DirectoryOutlineTest, DirectoriesAlreadyOnThePathAreListedButNotReadAgain) {
  // Two directories whose links lead to each other, and a link back to the top.
  tree.MakeDirectory("ring/a");
  tree.MakeDirectory("ring/b");
  tree.MakeLink(tree.Root() + "/ring/b", "ring/a/tob1");
  tree.MakeLink(tree.Root() + "/ring/b", "ring/a/tob2");
  tree.MakeLink(tree.Root() + "/ring/a", "ring/b/toa1");
  tree.MakeLink(tree.Root() + "/ring/a", "ring/b/toa2");
  tree.MakeLink(tree.Root() + "/ring", "ring/a/up");
  ASSERT_EQ(chdir((tree.Root() + "/ring").c_str()), 0);
  auto outline = NewOutline();
  const int ring = outline->SelectedItem();
  outline->BuildSubTree(ring);
  // ring: a, b. a: tob1, tob2 (b, read: toa1, toa2 lead back to a), up (ring itself).
  // b: toa1, toa2 (a, read: tob1, tob2 lead back to b; up leads back to ring).
  const int a = outline->GetChildNamed("a", ring);
  const int b = outline->GetChildNamed("b", ring);
  EXPECT_EQ(Children(*outline, a), (std::vector<std::string>{"tob1", "tob2", "up"}));
  const int up = outline->GetChildNamed("up", a);
  EXPECT_EQ(outline->Items(up).Data(), TCDirectoryOutline::CyclePointer);
  EXPECT_FALSE(outline->Items(up).HasItems());
  const int tob1 = outline->GetChildNamed("tob1", a);
  EXPECT_EQ(outline->Items(tob1).Data(), TCDirectoryOutline::APointer);
  EXPECT_EQ(Children(*outline, tob1), (std::vector<std::string>{"toa1", "toa2"}));
  for (int child : {outline->GetChildNamed("toa1", tob1), outline->GetChildNamed("toa2", tob1)}) {
    EXPECT_EQ(outline->Items(child).Data(), TCDirectoryOutline::CyclePointer);
    EXPECT_FALSE(outline->Items(child).HasItems());
  }
  const int toa1 = outline->GetChildNamed("toa1", b);
  EXPECT_EQ(Children(*outline, toa1), (std::vector<std::string>{"tob1", "tob2", "up"}));
  // Below ring: a and b; under a its 3 entries and 2 under each link to b; under b its 2
  // entries and 3 under each link to a.
  EXPECT_EQ(Descendants(*outline, ring), 2 + (3 + 2 + 2) + (2 + 3 + 3));

  // Opening everything by hand ends as well, and a cycle item opens onto nothing.
  outline->BuildTree();
  const int again = outline->SelectedItem();
  EXPECT_EQ(Descendants(*outline, again), 2 + (3 + 2 + 2) + (2 + 3 + 3));
  const int upAgain = outline->GetChildNamed("up", outline->GetChildNamed("a", again));
  EXPECT_TRUE(outline->Items(upAgain).Expanded());
  EXPECT_FALSE(outline->Items(upAgain).HasItems());
  // Choosing it still goes where the link leads.
  outline->SetDirectory(tree.DriveRoot());
  outline->SetDirectory(outline->DiskPath(upAgain));
  EXPECT_EQ(PosixCwd(), tree.Root() + "/ring");
}

TEST_F(DirectoryOutlineTest, ALevelOfManyDirectoriesIsInOrder) {
  const int count = 600;
  // Made in an order unlike the sorted one, with names that differ in case only at the front.
  for (int i = 0; i < count; ++i) {
    const int n = (i * 7919) % count;
    tree.MakeDirectory(std::string(n % 2 ? "D" : "d").append(std::to_string(100000 + n)));
  }
  auto outline = NewOutline();
  const int top = outline->SelectedItem();
  outline->Items(top).Expand();
  const std::vector<std::string> texts = Children(*outline, top);
  ASSERT_EQ(static_cast<int>(texts.size()), count + 3);  // and alpha, beta, gamma
  for (size_t i = 1; i < texts.size(); ++i)
    EXPECT_LT(AnsiCompareText(texts[i - 1], texts[i]), 0) << texts[i - 1] << " " << texts[i];
}

}  // namespace
