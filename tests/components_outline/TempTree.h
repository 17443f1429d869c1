#pragma once
// A directory tree made for one test below the system's temporary directory, removed again at
// the end; the process's current directory is put back as it was.

#include <string>

// The process's current directory as a POSIX path; empty when it cannot be had.
std::string PosixCwd();

class TempTree {
 public:
  TempTree();
  ~TempTree();
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  // The POSIX path of the tree's top directory.
  const std::string& Root() const { return root_; }
  // The same as a drive path, C:\...
  std::string DriveRoot() const;

  void MakeDirectory(const std::string& relative);
  void MakeFile(const std::string& relative);
  void MakeLink(const std::string& target, const std::string& relative);

 private:
  std::string root_;
  std::string savedDirectory_;
};
