#pragma once
// TCDirectoryOutline: the directory tree of one drive as an outline. The drive is the one top
// item; the subdirectories below it are read from the file system one level at a time, when a
// level is first opened. Selecting an item makes its directory the process's current one, and
// setting the directory in code opens the tree down to it and selects it.

#include <string>

#include "framework/Outline.h"

enum TTextCase : uint8_t { tcLowerCase, tcUpperCase, tcAsIs };

class TCDirectoryOutline : public TCustomOutline {
 public:
  using TCaseProc = std::string (*)(const std::string&);

  // Marks a node whose subdirectories have been read; it holds its own address.
  static void* const APointer;
  static constexpr int InvalidIndex = -1;
  static constexpr int RootIndex = 1;

  explicit TCDirectoryOutline(TComponent* owner);
  ~TCDirectoryOutline() override;
  std::string ClassName() const override { return "TCDirectoryOutline"; }

  // Reads the subdirectories of one item into it, in order, and marks it as read.
  virtual void BuildOneLevel(int index);
  // Rebuilds the tree for the drive and walks down to the directory.
  virtual void BuildTree();
  // Reads an item's whole subtree.
  virtual void BuildSubTree(int index);
  virtual void Change();

  void AssignCaseProc();
  std::string ForceCase(const std::string& name) const;

  char Drive() const { return drive_; }
  void SetDrive(char letter);
  const std::string& Directory() const { return directory_; }
  void SetDirectory(const std::string& path);
  TTextCase TextCase() const { return textCase_; }
  void SetTextCase(TTextCase value);

  // The upper-case letter minus 'A'.
  static int DriveToInt(char letter);
  // The process's current directory; empty when it cannot be read.
  static std::string CurDir();

  // The child of an item whose text equals name case-insensitively, or -1. Opens the item.
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

  char drive_ = 0;
  std::string directory_;
  TTextCase textCase_ = tcLowerCase;
  TCaseProc caseProc_ = nullptr;
};

// Registers TCDirectoryOutline and its published properties for form descriptions.
void RegisterCdiroutl();
