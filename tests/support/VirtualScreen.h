#pragma once
// A virtual X server whose screen the test reads straight from the server's frame buffer (kept
// in a file), so that looking at the screen sends no event to the program shown on it.

#include <cstdint>
#include <string>

#include "support/ChildProcess.h"

class VirtualScreen {
 public:
  VirtualScreen() = default;
  ~VirtualScreen();
  VirtualScreen(const VirtualScreen&) = delete;
  VirtualScreen& operator=(const VirtualScreen&) = delete;

  // Starts the server on the display number, 1024x768 in 24-bit colour; false when it cannot
  // be had (the server is not installed, or does not come up).
  bool Start(int display);
  const std::string& Display() const { return display_; }

  // The colour shown at a screen position as 0xRRGGBB, or -1 when the screen cannot be read.
  int64_t Pixel(int x, int y) const;
  // The top-left corner of the inside of the window with this title, on the screen; false when
  // no such window is mapped.
  bool FindWindow(const std::string& title, int& left, int& top) const;

 private:
  ChildProcess server_;
  std::string display_;
  std::string frameBufferDirectory_;
};
