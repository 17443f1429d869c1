#include "support/VirtualScreen.h"

#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "support/CommandOutput.h"

namespace {

// The frame buffer file is an X window dump: a header of big-endian 32-bit fields, the window
// name, the colour map, then the pixels row by row.
struct DumpHeader {
  uint32_t headerSize, version, format, depth, width, height, xOffset, byteOrder, bitmapUnit,
      bitOrder, bitmapPad, bitsPerPixel, bytesPerLine, visualClass, redMask, greenMask, blueMask,
      bitsPerRgb, colormapEntries, colourCount;
};
constexpr size_t kDumpFields = 20;
constexpr size_t kColourEntrySize = 12;

uint32_t BigEndian(const unsigned char* bytes) {
  return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
         uint32_t{bytes[3]};
}

int ShiftOf(uint32_t mask) {
  int shift = 0;
  while (mask != 0 && (mask & 1u) == 0) {
    mask >>= 1;
    ++shift;
  }
  return shift;
}

bool Accepts(const std::string& socketPath) {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
  const bool accepted = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return accepted;
}

}  // namespace

VirtualScreen::~VirtualScreen() {
  if (server_.Pid() > 0) {
    server_.Signal(SIGTERM);
    server_.WaitForExit(5000);
  }
  if (!frameBufferDirectory_.empty()) std::filesystem::remove_all(frameBufferDirectory_);
}

bool VirtualScreen::Start(int display) {
  if (access("/usr/bin/Xvfb", X_OK) != 0) return false;
  char pattern[] = "/tmp/tallyvane-screen-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return false;
  frameBufferDirectory_ = pattern;
  // Formatted rather than concatenated: an optimised build of GCC 12 warns falsely about the
  // concatenation (-Wrestrict).
  char name[16];
  std::snprintf(name, sizeof name, ":%d", display);
  display_ = name;
  if (!server_.Start("/usr/bin/Xvfb",
                     // The lock files are the machine's; the display's socket is private. A
                     // desktop's server never resets between clients (its window manager stays
                     // connected); this one would after the probe below, dropping a client that
                     // connects meanwhile.
                     {display_, "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-nolock",
                      "-noreset", "-fbdir", frameBufferDirectory_},
                     {})) {
    return false;
  }
  // Up once a client can connect: the socket's file appears before the server listens on it.
  const std::string socketPath = "/tmp/.X11-unix/X" + std::to_string(display);
  for (int attempt = 0; attempt < 400; ++attempt) {
    if (Pixel(0, 0) >= 0 && Accepts(socketPath)) return true;
    if (!server_.Running()) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

int64_t VirtualScreen::Pixel(int x, int y) const {
  std::ifstream dump(frameBufferDirectory_ + "/Xvfb_screen0", std::ios::binary);
  unsigned char raw[kDumpFields * 4];
  if (!dump.read(reinterpret_cast<char*>(raw), sizeof raw)) return -1;
  uint32_t fields[kDumpFields];
  for (size_t i = 0; i < kDumpFields; ++i) fields[i] = BigEndian(raw + 4 * i);
  DumpHeader header;
  static_assert(sizeof header == sizeof fields);
  std::memcpy(&header, fields, sizeof header);
  if (header.bitsPerPixel != 32 || x < 0 || y < 0 || static_cast<uint32_t>(x) >= header.width ||
      static_cast<uint32_t>(y) >= header.height) {
    return -1;
  }
  const std::streamoff at = static_cast<std::streamoff>(header.headerSize) +
                            static_cast<std::streamoff>(header.colourCount) * kColourEntrySize +
                            static_cast<std::streamoff>(y) * header.bytesPerLine + 4 * x;
  unsigned char pixel[4];
  if (!dump.seekg(at) || !dump.read(reinterpret_cast<char*>(pixel), 4)) return -1;
  // Byte order 0: least significant byte first.
  const uint32_t value = header.byteOrder == 0
                             ? (uint32_t{pixel[3]} << 24) | (uint32_t{pixel[2]} << 16) |
                                   (uint32_t{pixel[1]} << 8) | pixel[0]
                             : BigEndian(pixel);
  auto channel = [value](uint32_t mask) { return (value & mask) >> ShiftOf(mask); };
  return (static_cast<int64_t>(channel(header.redMask)) << 16) | (channel(header.greenMask) << 8) |
         channel(header.blueMask);
}

bool VirtualScreen::FindWindow(const std::string& title, int& left, int& top) const {
  // A window that is not there only brings an error text without these fields.
  const std::string info =
      RunCommand("DISPLAY=" + display_ + " xwininfo -name " + ShellQuoted(title)).output;
  const size_t x = info.find("Absolute upper-left X:");
  const size_t y = info.find("Absolute upper-left Y:");
  const size_t state = info.find("Map State: IsViewable");
  if (x == std::string::npos || y == std::string::npos || state == std::string::npos) return false;
  left = std::atoi(info.c_str() + x + 22);
  top = std::atoi(info.c_str() + y + 22);
  return true;
}
