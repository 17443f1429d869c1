#pragma once
// TCDirectoryOutline: the directory tree of one drive as an outline. The drive is the one top
// item; the subdirectories below it are read from the file system one level at a time, when a
// level is first opened. Selecting an item makes its directory the process's current one, and
// setting the directory in code opens the tree down to it and selects it.
//
// Each item remembers the name its directory has on disk, so that choosing it opens that very
// directory whatever case its text is shown in. Names that differ only in case ("Foo" and
// "foo") would look alike once forced to one case: such twins are shown as stored instead. A
// directory that is already on the path to an item (a link back up the tree, or two links that
// lead to each other) is listed there but never read again, so no walk through the tree is
// endless.

#include <string>

#include "framework/Outline.h"

enum TTextCase : uint8_t { tcLowerCase, tcUpperCase, tcAsIs };

class TCDirectoryOutline : public TCustomOutline {
 public:
  using TCaseProc = std::string (*)(const std::string&);

  // Marks a node whose subdirectories have been read; it holds its own address.
  static void* const APointer;
  // Marks a node whose directory is already on its own path: listed, never read.
  static void* const CyclePointer;
  static constexpr int InvalidIndex = -1;
  static constexpr int RootIndex = 1;

  explicit TCDirectoryOutline(TComponent* owner);
  ~TCDirectoryOutline() override;
  std::string ClassName() const override;

  // Reads the subdirectories of one item into it, in order, and marks it as read.
  virtual void BuildOneLevel(int index);
  // Rebuilds the tree for the drive and walks down to the directory.
  virtual void BuildTree();
  // Reads an item's whole subtree.
  virtual void BuildSubTree(int index);
  virtual void Change();

  void AssignCaseProc();
  std::string ForceCase(const std::string& name) const;

  char Drive() const;
  void SetDrive(char letter);
  // The current directory in the case that TextCase gave it.
  const std::string& Directory() const;
  void SetDirectory(const std::string& path);
  TTextCase TextCase() const;
  void SetTextCase(TTextCase value);

  // The directory an item stands for, in the names as stored on disk (the drive item gives
  // the drive, "C:", as its full path does).
  std::string DiskPath(int index);

  // The upper-case letter minus 'A'.
  static int DriveToInt(char letter);
  // The process's current directory; empty when it cannot be read.
  static std::string CurDir();

  // The child of an item whose text equals name case-insensitively, or -1; of case twins, the
  // one whose name on disk is name exactly. Opens the item.
  int GetChildNamed(const std::string& name, int index);
  // Opens the tree along a path and selects the item reached.
  void WalkTree(const std::string& path);

  void Loaded() override;

  TNotifyEvent OnChange;

 protected:
  void CreateWnd() override;
  void Click() override;
  void Expand(int index) override;

 private:
  void TakeDriveFromCurrentDirectory();
  // The item a path leads to, opening the tree along it; with addUnlisted a directory on the
  // path that its level does not list (a hidden one) is added there as the walk meets it.
  int WalkDown(const std::string& path, bool addUnlisted);
  // Adds a subdirectory of an item that exists on disk but is not among its children; -1 when
  // there is none of that name.
  int AddUnlistedChild(const std::string& name, int index);
  // The name on disk of a child, as its key holds it.
  static const std::string& DiskName(const TOutlineNode& node);
  // Shows the children of an item forced to the text case, but case twins as stored.
  void ShowChildNames(TOutlineNode& node);

  char drive_ = 0;
  std::string directory_;
  // The current directory as spelled on disk; directory_ may have lost that in forcing case.
  std::string diskDirectory_;
  TTextCase textCase_ = tcLowerCase;
  TCaseProc caseProc_ = nullptr;
};

// Registers TCDirectoryOutline and its published properties for form descriptions.
void RegisterCdiroutl();
