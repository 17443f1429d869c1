// Figures for the directory outline on large trees: the time to read one level of many
// subdirectories when it is opened, in all and per directory, to go down the level with the arrow
// key, and to read a whole tree of two levels at once.
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "components/Cdiroutl/Cdiroutl.h"
#include "framework/Application.h"
#include "platform/VirtualKeys.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// A fresh directory below the temporary one, removed again with everything in it.
class ScratchTree {
 public:
  ScratchTree() {
    std::string pattern = std::filesystem::temp_directory_path().string() + "/TvOutlineBenchXXXXXX";
    if (!mkdtemp(pattern.data())) std::abort();
    root_ = pattern;
  }
  ~ScratchTree() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  const std::string& Root() const { return root_; }
  // count directories named in an order unlike the sorted one; each with depth more levels.
  void Fill(const std::string& below, int count, int inner) {
    for (int i = 0; i < count; ++i) {
      const int n = static_cast<int>((static_cast<long long>(i) * 7919) % count);
      const std::string name = below + "/" + (n % 2 ? "Dir" : "dir") + std::to_string(100000 + n);
      std::filesystem::create_directories(name);
      for (int j = 0; j < inner; ++j)
        std::filesystem::create_directory(name + "/sub" + std::to_string(j));
    }
  }

 private:
  std::string root_;
};

std::unique_ptr<TCDirectoryOutline> OutlineIn(const std::string& directory) {
  if (chdir(directory.c_str()) != 0) std::abort();
  auto outline = std::make_unique<TCDirectoryOutline>(nullptr);
  outline->SetBounds(0, 0, 300, 600);
  outline->HandleNeeded();
  outline->BuildTree();
  return outline;
}

void LevelBench(int count) {
  ScratchTree tree;
  tree.Fill(tree.Root(), count, 0);
  auto outline = OutlineIn(tree.Root());
  const int top = outline->SelectedItem();
  const auto start = Clock::now();
  outline->Items(top).Expand();
  const double read = Seconds(start);
  const auto walk = Clock::now();
  const int steps = 200;
  for (int i = 0; i < steps; ++i) outline->DoKeyDown(VK_DOWN, 0);
  const double perStep = Seconds(walk) / steps;
  // The time per directory stays level as the count grows while opening a level costs the same
  // for each of its directories; a rise shows work that grows with the level for each one.
  const int childCount = outline->Items(top).ChildCount();
  std::printf(
      "outline: one level of %5d subdirectories read in %8.1f ms (%5.1f us per directory); "
      "arrow key down it %6.2f ms per step\n",
      childCount, read * 1e3, read * 1e6 / childCount, perStep * 1e3);
}

void SubTreeBench(int count, int inner) {
  ScratchTree tree;
  tree.Fill(tree.Root(), count, inner);
  auto outline = OutlineIn(tree.Root());
  const int top = outline->SelectedItem();
  const auto start = Clock::now();
  outline->BuildSubTree(top);
  const double read = Seconds(start);
  std::printf("outline: BuildSubTree of %d directories with %d subdirectories each: %8.1f ms\n",
              count, inner, read * 1e3);
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  TApplication application(argc, argv);
  application.Initialize();
  char saved[PATH_MAX];
  if (!getcwd(saved, sizeof saved)) return 1;
  LevelBench(2000);
  LevelBench(10000);
  SubTreeBench(500, 4);
  if (chdir(saved) != 0) return 1;
  return 0;
}
