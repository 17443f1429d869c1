#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <functional>
#include <memory>
#include <vector>

#include "OutlineChildren.h"
#include "TempTree.h"
#include "components/Cdiroutl/Cdiroutl.h"
#include "platform/FileSystem.h"

namespace {

std::string PosixCwd() {
  char buffer[PATH_MAX];
  return getcwd(buffer, sizeof buffer) ? buffer : "";
}

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

  int Selected(TCDirectoryOutline& outline) { return outline.SelectedItem(); }
  std::string SelectedText(TCDirectoryOutline& outline) {
    return outline.Items(outline.SelectedItem()).Text();
  }

  void ExpectOutlineError(const std::string& text, const std::function<void()>& action) {
    try {
      action();
      ADD_FAILURE() << "no EOutlineError";
    } catch (const EOutlineError& e) {
      EXPECT_EQ(e.Message(), text);
    }
  }

  TempTree tree;
  std::string root;  // the tree's top directory as a lower-case drive path
  int changes = 0;
};

TEST_F(DirectoryOutlineTest, NewOutlineHasNoDriveAndNoTree) {
  TCDirectoryOutline outline(nullptr);
  EXPECT_EQ(outline.Drive(), 0);
  EXPECT_EQ(outline.Directory(), "");
  EXPECT_EQ(outline.TextCase(), tcLowerCase);
  EXPECT_EQ(outline.ItemCount(), 0);
  EXPECT_EQ(outline.Style(), osTreePictureText);
  EXPECT_EQ(outline.Options(), (TOutlineOptions{ooDrawFocusRect, ooStretchBitmaps}));
  outline.HandleNeeded();
  EXPECT_EQ(outline.Drive(), 'c');
  EXPECT_EQ(outline.Directory(), root);
  EXPECT_EQ(outline.ItemCount(), 0);  // window creation builds no tree
  // A walk in the empty outline finds nothing to start from.
  ExpectOutlineError("Outline index not found", [&] { outline.SetDirectory("gamma"); });
}

TEST_F(DirectoryOutlineTest, LoadingBuildsTheTree) {
  TCDirectoryOutline outline(nullptr);
  outline.SetLoading(true);
  outline.SetTextCase(tcUpperCase);  // no tree while loading
  EXPECT_EQ(outline.ItemCount(), 0);
  outline.SetLoading(false);
  outline.Loaded();
  EXPECT_EQ(outline.Items(TCDirectoryOutline::RootIndex).Text(), "C:");
  EXPECT_EQ(outline.Items(outline.SelectedItem()).FullPath(),
            AnsiUpperCaseFileName(tree.DriveRoot()));
}

TEST_F(DirectoryOutlineTest, TreeFollowsTheCurrentDirectory) {
  auto outline = NewOutline();
  EXPECT_EQ(outline->Items(1).Text(), "c:");
  EXPECT_EQ(outline->Items(Selected(*outline)).FullPath(), root);
  EXPECT_TRUE(outline->Items(1).Expanded());
}

TEST_F(DirectoryOutlineTest, SubdirectoriesInOrderWithoutHiddenOnesOrFiles) {
  auto outline = NewOutline();
  const int top = Selected(*outline);
  outline->Items(top).Expand();
  EXPECT_EQ(Children(*outline, top), (std::vector<std::string>{"alpha", "beta", "gamma"}));
  EXPECT_EQ(outline->Items(top).Data(), TCDirectoryOutline::APointer);
  EXPECT_NE(TCDirectoryOutline::APointer, nullptr);
}

TEST_F(DirectoryOutlineTest, TextCaseModes) {
  auto outline = NewOutline();
  outline->SetTextCase(tcUpperCase);
  EXPECT_EQ(outline->Items(1).Text(), "C:");
  int top = Selected(*outline);
  outline->Items(top).Expand();
  EXPECT_EQ(Children(*outline, top), (std::vector<std::string>{"ALPHA", "BETA", "GAMMA"}));
  EXPECT_EQ(changes, 1);

  outline->SetTextCase(tcAsIs);
  EXPECT_EQ(outline->Drive(), 'C');
  EXPECT_EQ(outline->Directory(), tree.DriveRoot());  // re-read in its stored case
  top = Selected(*outline);
  EXPECT_EQ(outline->Items(top).FullPath(), tree.DriveRoot());
  outline->Items(top).Expand();
  EXPECT_EQ(Children(*outline, top), (std::vector<std::string>{"Alpha", "beta", "gamma"}));

  outline->SetTextCase(tcLowerCase);
  EXPECT_EQ(outline->Items(1).Text(), "c:");
  EXPECT_EQ(outline->Items(Selected(*outline)).FullPath(), root);
}

TEST_F(DirectoryOutlineTest, ALevelIsReadOnce) {
  auto outline = NewOutline();
  const int top = Selected(*outline);
  outline->Items(top).Expand();
  tree.MakeDirectory("delta");
  outline->Items(top).Collapse();
  outline->Items(top).Expand();
  EXPECT_EQ(Children(*outline, top), (std::vector<std::string>{"alpha", "beta", "gamma"}));
  // A new tree reads it again.
  outline->BuildTree();
  const int again = Selected(*outline);
  outline->Items(again).Expand();
  EXPECT_EQ(Children(*outline, again),
            (std::vector<std::string>{"alpha", "beta", "delta", "gamma"}));
}

TEST_F(DirectoryOutlineTest, BuildSubTreeReadsEverythingAndRepeatsReadLevels) {
  auto outline = NewOutline();
  const int top = Selected(*outline);
  outline->Items(top).Expand();
  outline->BuildSubTree(top);
  EXPECT_EQ(Children(*outline, top),
            (std::vector<std::string>{"alpha", "alpha", "beta", "beta", "gamma", "gamma"}));
  const int alpha = outline->Items(top).GetFirstChild();
  EXPECT_EQ(Children(*outline, alpha), std::vector<std::string>{"inner"});
  EXPECT_EQ(outline->Items(alpha).Data(), TCDirectoryOutline::APointer);
}

TEST_F(DirectoryOutlineTest, GetChildNamed) {
  auto outline = NewOutline();
  const int top = Selected(*outline);
  const int beta = outline->GetChildNamed("BETA", top);
  ASSERT_GT(beta, 0);
  EXPECT_EQ(outline->Items(beta).Text(), "beta");
  EXPECT_EQ(outline->GetChildNamed("gamma", outline->GetChildNamed("gamma", top)), -1);
  EXPECT_EQ(outline->GetChildNamed("file.txt", top), -1);
}

TEST_F(DirectoryOutlineTest, SetDirectoryWithTrailingBackslash) {
  auto outline = NewOutline();
  outline->SetDirectory(tree.DriveRoot() + "\\ALPHA\\INNER\\");
  EXPECT_EQ(outline->Directory(), root + "\\alpha\\inner");
  EXPECT_EQ(PosixCwd(), tree.Root() + "/Alpha/Inner");
  EXPECT_EQ(SelectedText(*outline), "inner");
  EXPECT_EQ(outline->Items(Selected(*outline)).FullPath(), root + "\\alpha\\inner");
  EXPECT_EQ(changes, 1);
  outline->SetDirectory(tree.DriveRoot() + "\\Alpha\\Inner");
  EXPECT_EQ(changes, 1);
  // Relative paths start from the process's current directory.
  outline->SetDirectory("..\\..\\gamma");
  EXPECT_EQ(outline->Directory(), root + "\\gamma");
  EXPECT_EQ(SelectedText(*outline), "gamma");
  EXPECT_EQ(changes, 2);
  outline->SetDirectory("");
  EXPECT_EQ(changes, 2);
}

TEST_F(DirectoryOutlineTest, SetDirectoryOnTheDriveRoot) {
  auto outline = NewOutline();
  outline->SetDirectory("C:\\");
  EXPECT_EQ(outline->Directory(), "c:\\");
  EXPECT_EQ(Selected(*outline), TCDirectoryOutline::RootIndex);
  EXPECT_EQ(PosixCwd(), "/");
  EXPECT_EQ(changes, 1);
}

TEST_F(DirectoryOutlineTest, DriveItemExpandsToTheCurrentDirectory) {
  auto outline = NewOutline();
  outline->SetDirectory(tree.DriveRoot() + "\\beta");
  changes = 0;
  outline->SetDirectory("c:");  // what clicking the drive item asks for
  EXPECT_EQ(outline->Directory(), root + "\\beta");
  EXPECT_EQ(changes, 0);
}

TEST_F(DirectoryOutlineTest, WalkThroughAHiddenDirectoryFails) {
  auto outline = NewOutline();
  const int before = Selected(*outline);
  ExpectOutlineError("Outline index not found",
                     [&] { outline->SetDirectory(tree.DriveRoot() + "\\.hidden\\inside"); });
  EXPECT_EQ(PosixCwd(), tree.Root() + "/.hidden/inside");
  EXPECT_EQ(outline->Directory(), root + "\\.hidden\\inside");
  EXPECT_EQ(Selected(*outline), before);
  ExpectOutlineError("Invalid selection",
                     [&] { outline->SetDirectory(tree.DriveRoot() + "\\.hidden"); });
  EXPECT_EQ(Selected(*outline), before);
  EXPECT_EQ(changes, 0);
}

TEST_F(DirectoryOutlineTest, MissingDirectoryStillBecomesTheDirectory) {
  auto outline = NewOutline();
  ExpectOutlineError("Invalid selection", [&] { outline->SetDirectory("missing"); });
  EXPECT_EQ(outline->Directory(), root + "\\missing");
  EXPECT_EQ(PosixCwd(), tree.Root());
}

TEST_F(DirectoryOutlineTest, SetDriveIgnoresNonLettersAndTheSameDrive) {
  auto outline = NewOutline();
  const int count = outline->ItemCount();
  outline->SetDrive('1');
  outline->SetDrive(':');
  outline->SetDrive('C');
  outline->SetDrive('c');
  EXPECT_EQ(outline->Drive(), 'c');
  EXPECT_EQ(outline->ItemCount(), count);
  EXPECT_EQ(changes, 0);
}

TEST_F(DirectoryOutlineTest, DriveWithoutMedium) {
  auto outline = NewOutline();
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
  EXPECT_EQ(Selected(*outline), 1);
  // A directory on another drive switches to it and walks to where the process is then.
  changes = 0;
  outline->SetDirectory(tree.DriveRoot());
  EXPECT_EQ(outline->Drive(), 'C');
  EXPECT_EQ(outline->Items(1).Text(), "c:");
  EXPECT_EQ(outline->Items(Selected(*outline)).FullPath(), root);
  EXPECT_EQ(changes, 1);
}

TEST_F(DirectoryOutlineTest, DriveToInt) {
  EXPECT_EQ(TCDirectoryOutline::DriveToInt('c'), 2);
  EXPECT_EQ(TCDirectoryOutline::DriveToInt('A'), 0);
  EXPECT_EQ(TCDirectoryOutline::DriveToInt('z'), 25);
  EXPECT_EQ(TCDirectoryOutline::CurDir(), tree.DriveRoot());
}

TEST_F(DirectoryOutlineTest, ChoosingAnItemMakesItCurrent) {
  auto outline = NewOutline();
  outline->Items(Selected(*outline)).Expand();
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

}  // namespace
