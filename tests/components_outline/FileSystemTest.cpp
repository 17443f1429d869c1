#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <set>
#include <vector>

#include "TempTree.h"
#include "platform/FileSystem.h"

namespace {

std::vector<std::string> Search(const std::string& pattern, int attr) {
  std::vector<std::string> names;
  TSearchRec rec;
  for (int result = FindFirst(pattern, attr, rec); result == 0; result = FindNext(rec)) {
    names.push_back(rec.Name);
  }
  FindClose(rec);
  std::sort(names.begin(), names.end());
  return names;
}

class FileSystemTest : public testing::Test {
 protected:
  void SetUp() override {
    tree.MakeDirectory("Alpha/Sub");
    tree.MakeDirectory("beta");
    tree.MakeDirectory(".hidden");
    tree.MakeFile("notes.txt");
    tree.MakeFile("Alpha/readme");
    ASSERT_EQ(chdir(tree.Root().c_str()), 0);
  }
  TempTree tree;
};

TEST(FileSystemPaths, PosixTreeIsDriveC) {
  EXPECT_EQ(PosixToDrivePath("/"), "C:\\");
  EXPECT_EQ(PosixToDrivePath("/home/ann"), "C:\\home\\ann");
  std::string posix;
  ASSERT_TRUE(DrivePathToPosix("c:\\", posix));
  EXPECT_EQ(posix, "/");
  EXPECT_FALSE(DrivePathToPosix("d:\\", posix));
  EXPECT_FALSE(DrivePathToPosix("home\\ann", posix));
  EXPECT_FALSE(DrivePathToPosix("c:relative", posix));
}

TEST(FileSystemPaths, DotsNeverLeadAboveTheRoot) {
  std::string posix;
  ASSERT_TRUE(DrivePathToPosix("c:\\..\\..\\tmp\\.\\..\\..\\tmp", posix));
  EXPECT_EQ(posix, "/tmp");
  EXPECT_EQ(ExpandFileName("c:\\..\\.."), "c:\\");
  EXPECT_EQ(ExpandFileName("C:/a/./b/../c"), "C:\\a\\c");
}

TEST(FileSystemPaths, NamesWithZeroBytesAreNoPath) {
  const std::string withZero("c:\\tmp\0x", 8);
  std::string posix;
  EXPECT_FALSE(DrivePathToPosix(withZero, posix));
  EXPECT_EQ(ExpandFileName(withZero), "");
  EXPECT_FALSE(SetCurrentDir(withZero));
}

TEST_F(FileSystemTest, ExpandFileName) {
  const std::string root = tree.DriveRoot();
  EXPECT_EQ(GetCurrentDir(), root);
  EXPECT_EQ(ExpandFileName("beta"), root + "\\beta");
  EXPECT_EQ(ExpandFileName("beta\\"), root + "\\beta\\");
  EXPECT_EQ(ExpandFileName("Alpha\\..\\beta"), root + "\\beta");
  EXPECT_EQ(ExpandFileName("c:"), "c:" + root.substr(2));
  EXPECT_EQ(ExpandFileName("c:x"), "c:" + root.substr(2) + "\\x");
  EXPECT_EQ(ExpandFileName("\\etc"), "C:\\etc");
  EXPECT_EQ(ExpandFileName("d:"), "d:\\");
  EXPECT_EQ(ExpandFileName("d:foo\\"), "d:\\foo\\");
  EXPECT_EQ(ExpandFileName("c:\\"), "c:\\");
}

TEST_F(FileSystemTest, ComponentsMatchIgnoringCase) {
  std::string upper = tree.DriveRoot() + "\\ALPHA\\sub";
  for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  std::string posix;
  ASSERT_TRUE(DrivePathToPosix(upper, posix));
  EXPECT_EQ(posix, tree.Root() + "/Alpha/Sub");
  ASSERT_TRUE(SetCurrentDir(upper));
  EXPECT_EQ(PosixCwd(), tree.Root() + "/Alpha/Sub");
  EXPECT_EQ(GetCurrentDir(), tree.DriveRoot() + "\\Alpha\\Sub");
}

TEST_F(FileSystemTest, AnExactMatchWinsOverOneIgnoringCase) {
  tree.MakeDirectory("ALPHA");
  std::string posix;
  ASSERT_TRUE(DrivePathToPosix(tree.DriveRoot() + "\\ALPHA", posix));
  EXPECT_EQ(posix, tree.Root() + "/ALPHA");
  ASSERT_TRUE(DrivePathToPosix(tree.DriveRoot() + "\\alpha", posix));
  EXPECT_EQ(posix, tree.Root() + "/ALPHA");  // the first of the two in byte order
}

TEST_F(FileSystemTest, CurrentDirectoryAndDrives) {
  EXPECT_FALSE(SetCurrentDir("nowhere"));
  EXPECT_EQ(PosixCwd(), tree.Root());
  ASSERT_TRUE(SetCurrentDir("beta"));
  EXPECT_EQ(PosixCwd(), tree.Root() + "/beta");
  EXPECT_FALSE(SetCurrentDir("d:\\"));
  EXPECT_FALSE(SetCurrentDrive(3));
  EXPECT_FALSE(SetCurrentDrive(0));
  EXPECT_TRUE(SetCurrentDrive(2));
  EXPECT_EQ(PosixCwd(), tree.Root() + "/beta");
  // Into a buffer too small for it, and into one just large enough.
  const std::string expected = GetCurrentDir();
  char tiny[4];
  EXPECT_EQ(GetCurrentDirectoryA(sizeof tiny, tiny), expected.size() + 1);
  std::vector<char> exact(expected.size() + 1);
  EXPECT_EQ(GetCurrentDirectoryA(static_cast<DWORD>(exact.size()), exact.data()), expected.size());
  EXPECT_EQ(std::string(exact.data()), expected);
}

TEST_F(FileSystemTest, SearchFiltersByAttribute) {
  const std::string all = tree.DriveRoot() + "\\*.*";
  EXPECT_EQ(Search(all, 0), std::vector<std::string>{"notes.txt"});
  EXPECT_EQ(Search(all, faDirectory), (std::vector<std::string>{"Alpha", "beta", "notes.txt"}));
  const auto withHidden = Search(all, faDirectory | faHidden);
  EXPECT_TRUE(std::count(withHidden.begin(), withHidden.end(), ".hidden"));
  EXPECT_EQ(Search(tree.DriveRoot() + "\\B*", faDirectory), std::vector<std::string>{"beta"});
  EXPECT_EQ(Search(tree.DriveRoot() + "\\alpha\\*.*", faDirectory),
            (std::vector<std::string>{"Sub", "readme"}));

  TSearchRec rec;
  ASSERT_EQ(FindFirst(tree.DriveRoot() + "\\beta", faDirectory, rec), 0);
  EXPECT_EQ(rec.Attr & faDirectory, faDirectory);
  FindClose(rec);
  EXPECT_NE(FindFirst(tree.DriveRoot() + "\\missing\\*.*", faDirectory, rec), 0);
  EXPECT_NE(FindFirst("d:\\*.*", faDirectory, rec), 0);
  EXPECT_NE(FindNext(rec), 0);
}

TEST_F(FileSystemTest, LinksAreListedAsTheDirectoriesTheyLeadTo) {
  tree.MakeLink(tree.Root(), "Alpha/loop");
  tree.MakeLink(tree.Root() + "/beta", "Alpha/tobeta");
  tree.MakeLink(tree.Root() + "/nowhere", "Alpha/dangling");
  std::map<std::string, TSearchRec> found;
  TSearchRec rec;
  for (int result = FindFirst(tree.DriveRoot() + "\\Alpha\\*.*", faDirectory, rec); result == 0;
       result = FindNext(rec)) {
    found[rec.Name] = rec;
  }
  FindClose(rec);
  ASSERT_EQ(found.size(), 4u);  // Sub, readme, loop and tobeta; the dangling link is a system entry
  // A link back up the tree is a directory like any other; its identity tells where it leads.
  TFileIdentity top, beta;
  ASSERT_TRUE(GetFileIdentity(tree.DriveRoot(), top));
  ASSERT_TRUE(GetFileIdentity("beta", beta));
  EXPECT_NE(top, beta);
  EXPECT_TRUE(found["loop"].Attr & faDirectory);
  EXPECT_EQ(found["loop"].Identity, top);
  EXPECT_EQ(found["tobeta"].Identity, beta);
  EXPECT_NE(found["Sub"].Identity, top);
  TFileIdentity none;
  EXPECT_FALSE(GetFileIdentity("missing", none));
}

TEST_F(FileSystemTest, DiskSpellingGivesTheStoredCaseOfWhatExists) {
  EXPECT_EQ(DiskSpelling("ALPHA\\SUB\\"), tree.DriveRoot() + "\\Alpha\\Sub\\");
  EXPECT_EQ(DiskSpelling("alpha\\NEW"), tree.DriveRoot() + "\\Alpha\\NEW");
  // Of two names that differ only in case, each is its own spelling.
  tree.MakeDirectory("BETA");
  EXPECT_EQ(DiskSpelling("BETA"), tree.DriveRoot() + "\\BETA");
  EXPECT_EQ(DiskSpelling("beta"), tree.DriveRoot() + "\\beta");
  EXPECT_EQ(DiskSpelling("d:\\Some\\Where"), "d:\\Some\\Where");
}

TEST(FileSystemCase, MappingsAndComparison) {
  EXPECT_EQ(AnsiLowerCaseFileName("C:\\Home\\ÄBC"), "c:\\home\\äbc");
  EXPECT_EQ(AnsiUpperCaseFileName("c:\\home\\äbc"), "C:\\HOME\\ÄBC");
  EXPECT_EQ(AnsiCompareText("alpha", "ALPHA"), 0);
  EXPECT_LT(AnsiCompareText("Alpha", "beta"), 0);
  EXPECT_LT(AnsiCompareText("beta", "Gamma"), 0);
  EXPECT_GT(AnsiCompareText("gamma", "Beta"), 0);
}

}  // namespace
