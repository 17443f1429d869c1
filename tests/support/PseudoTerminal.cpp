#include "support/PseudoTerminal.h"

// The kernel's termios2 carries the exact rate; it clashes with <termios.h>, never include both.
#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

PseudoTerminal::PseudoTerminal() {
  Open();
}

PseudoTerminal::~PseudoTerminal() {
  RemoveSymlink();
  Unplug();
}

void PseudoTerminal::Open() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master_ < 0) return;
  char name[128];
  if (grantpt(master_) != 0 || unlockpt(master_) != 0 ||
      ptsname_r(master_, name, sizeof name) != 0) {
    Unplug();
    return;
  }
  slavePath_ = name;
  // Left in the mode the kernel gives a new terminal, as a freshly plugged adapter comes up:
  // whatever the program does not switch off shows on the line.
  slave_ = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
}

void PseudoTerminal::Unplug() {
  if (slave_ >= 0) close(slave_);
  if (master_ >= 0) close(master_);
  slave_ = -1;
  master_ = -1;
}

std::string PseudoTerminal::ReadAvailable(int quietMs) {
  std::string result;
  if (master_ < 0) return result;
  while (true) {
    pollfd ready{master_, POLLIN, 0};
    if (poll(&ready, 1, quietMs) <= 0 || (ready.revents & POLLIN) == 0) break;
    char buffer[4096];
    const ssize_t count = read(master_, buffer, sizeof buffer);
    if (count <= 0) break;
    result.append(buffer, static_cast<size_t>(count));
  }
  return result;
}

std::string PseudoTerminal::WaitForBytes(size_t count, int timeoutMs) {
  std::string result;
  if (master_ < 0) return result;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (result.size() < count) {
    pollfd ready{master_, POLLIN, 0};
    const int polled = poll(&ready, 1, MillisecondsLeft(deadline));
    if (polled < 0 && errno != EINTR) break;
    if (polled > 0 && (ready.revents & POLLIN) != 0) {
      char buffer[4096];
      const size_t wanted = std::min(sizeof buffer, count - result.size());
      const ssize_t got = read(master_, buffer, wanted);
      if (got > 0) {
        result.append(buffer, static_cast<size_t>(got));
        continue;
      }
    } else if (polled > 0) {
      // Hung up with nothing to read: nothing more can come, but wait as asked.
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (MillisecondsLeft(deadline) == 0) break;
  }
  return result;
}

std::string PseudoTerminal::WaitForBytesThenQuiet(size_t count, int timeoutMs, int quietMs) {
  std::string bytes = WaitForBytes(count, timeoutMs);
  return bytes + ReadAvailable(quietMs);
}

bool PseudoTerminal::Send(const std::string& bytes) {
  if (master_ < 0) return false;
  return write(master_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

LineSettings PseudoTerminal::ReadLineSettings() const {
  // The master reports the slave's settings even while nobody has the slave open.
  const int fd = master_ >= 0 ? master_ : slave_;
  LineSettings result;
  termios2 settings{};
  if (fd < 0 || ioctl(fd, TCGETS2, &settings) != 0) return result;
  result.baud = settings.c_ospeed;
  result.inputBaud = settings.c_ispeed;
  // CS5 to CS8 are the byte sizes 5 to 8 in steps of CS6.
  result.dataBits = 5 + static_cast<int>((settings.c_cflag & CSIZE) / CS6);
  result.parity = (settings.c_cflag & PARENB) != 0;
  result.stopBits = (settings.c_cflag & CSTOPB) != 0 ? 2 : 1;
  result.cflag = settings.c_cflag;
  result.iflag = settings.c_iflag;
  return result;
}

void PseudoTerminal::Replug() {
  Unplug();
  Open();
  if (!symlinkPath_.empty()) CreateSymlink(symlinkPath_);
}

bool PseudoTerminal::CreateSymlink(const std::string& linkPath) {
  struct stat status;
  if (lstat(linkPath.c_str(), &status) == 0) {
    if (!S_ISLNK(status.st_mode) || unlink(linkPath.c_str()) != 0) return false;
  }
  if (slavePath_.empty() || symlink(slavePath_.c_str(), linkPath.c_str()) != 0) return false;
  symlinkPath_ = linkPath;
  return true;
}

void PseudoTerminal::RemoveSymlink() {
  if (symlinkPath_.empty()) return;
  struct stat status;
  if (lstat(symlinkPath_.c_str(), &status) == 0 && S_ISLNK(status.st_mode)) {
    unlink(symlinkPath_.c_str());
  }
  symlinkPath_.clear();
}
