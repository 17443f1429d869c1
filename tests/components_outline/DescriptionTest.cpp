// Both components as a form description creates them: registered classes, properties written
// while loading, and the outline's tree built at the end of loading.
#include <gtest/gtest.h>
#include <unistd.h>

#include "OutlineChildren.h"
#include "TempTree.h"
#include "components/Ccalendr/Ccalendr.h"
#include "components/Cdiroutl/Cdiroutl.h"
#include "components/DisplayComponents.h"
#include "framework/Form.h"
#include "framework/FormReader.h"
#include "platform/FileSystem.h"

namespace {

TEST(ComponentDescriptions, CalendarAndOutlineLoadFromADescription) {
  RegisterDisplayComponents();
  TempTree tree;
  tree.MakeDirectory("Sub");
  ASSERT_EQ(chdir(tree.Root().c_str()), 0);
  TForm form(nullptr);
  ReadFormDescription(form, R"(
    Gallery: TForm {
      Calendar1: TCCalendar {
        Left = 8 Top = 8 Width = 300 Height = 200
        StartOfWeek = 7
        ReadOnly = true
        GridLineWidth = 2
        Year = 2024 Month = 12 Day = 1
      }
      Outline1: TCDirectoryOutline {
        Left = 320 Top = 8 Width = 200 Height = 300
        TextCase = tcUpperCase
        Options = [ooDrawTreeRoot, ooDrawFocusRect]
        ItemHeight = 20
      }
    })");
  auto* calendar = dynamic_cast<TCCalendar*>(form.FindComponent("Calendar1"));
  auto* outline = dynamic_cast<TCDirectoryOutline*>(form.FindComponent("Outline1"));
  ASSERT_NE(calendar, nullptr);
  ASSERT_NE(outline, nullptr);

  EXPECT_EQ(calendar->StartOfWeek(), 7);
  EXPECT_TRUE(calendar->ReadOnly());
  EXPECT_EQ(calendar->GridLineWidth(), 2);
  EXPECT_EQ(calendar->Year(), 2024);
  EXPECT_EQ(calendar->Month(), 12);
  EXPECT_EQ(calendar->Day(), 1);
  EXPECT_EQ(calendar->GetCellText(0, 1), "1");  // a Sunday in column 0
  EXPECT_FALSE(calendar->UseCurrentDate());

  EXPECT_EQ(outline->TextCase(), tcUpperCase);
  EXPECT_EQ(outline->Options(), (TOutlineOptions{ooDrawTreeRoot, ooDrawFocusRect}));
  EXPECT_EQ(outline->ItemHeight(), 20);
  EXPECT_EQ(outline->Items(1).Text(), "C:");
  EXPECT_EQ(ShownPath(*outline, outline->SelectedItem()), AnsiUpperCaseFileName(tree.DriveRoot()));
}

// Here the description fails at an option the outline does not have.
TEST(ComponentDescriptions, AnOutlineWhoseDescriptionFailedStillRebuilds) {
  RegisterDisplayComponents();
  TempTree tree;
  tree.MakeDirectory("Sub");
  ASSERT_EQ(chdir(tree.Root().c_str()), 0);
  // The outline is the root: it outlives the failed reading.
  TCDirectoryOutline outline(nullptr);
  EXPECT_THROW(ReadFormDescription(outline, R"(
    Outline1: TCDirectoryOutline { TextCase = tcUpperCase Options = [ooNoSuchOption] })"),
               EReadError);
  EXPECT_FALSE(outline.IsLoading());
  EXPECT_EQ(outline.TextCase(), tcUpperCase);
  // Not loading any more, it builds its tree again when the drive or the text case changes.
  outline.SetDrive('c');
  EXPECT_EQ(outline.Items(1).Text(), "C:");
  outline.SetTextCase(tcLowerCase);
  EXPECT_EQ(outline.Items(1).Text(), "c:");
  EXPECT_EQ(ShownPath(outline, outline.SelectedItem()), AnsiLowerCaseFileName(tree.DriveRoot()));
}

}  // namespace
