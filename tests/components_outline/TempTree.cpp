#include "TempTree.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "platform/FileSystem.h"

std::string PosixCwd() {
  char buffer[PATH_MAX];
  return getcwd(buffer, sizeof buffer) ? buffer : "";
}

TempTree::TempTree() : savedDirectory_(PosixCwd()) {
  // Mixed case on purpose: the outline forces names to one case and must still find them.
  std::string pattern = std::filesystem::temp_directory_path().string() + "/TvOutlineXXXXXX";
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
}

TempTree::~TempTree() {
  if (!savedDirectory_.empty() && chdir(savedDirectory_.c_str()) != 0) std::abort();
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

std::string TempTree::DriveRoot() const {
  return PosixToDrivePath(root_);
}

void TempTree::MakeDirectory(const std::string& relative) {
  std::filesystem::create_directories(root_ + "/" + relative);
}

void TempTree::MakeFile(const std::string& relative) {
  std::ofstream(root_ + "/" + relative) << "x";
}

void TempTree::MakeLink(const std::string& target, const std::string& relative) {
  std::filesystem::create_directory_symlink(target, root_ + "/" + relative);
}
