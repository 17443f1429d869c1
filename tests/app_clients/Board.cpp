#include "tests/app_clients/Board.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

Board::Board() {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
  slavePath_ = ::ptsname(master_);
  slave_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios settings{};
  if (slave_ >= 0 && ::tcgetattr(slave_, &settings) == 0) {
    // Bytes pass as they are: no line-end translation, no echo.
    ::cfmakeraw(&settings);
    ::tcsetattr(slave_, TCSANOW, &settings);
  }
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
}

Board::~Board() {
  if (slave_ >= 0) ::close(slave_);
  if (master_ >= 0) ::close(master_);
}

std::string Board::Read(size_t count, int timeoutMs) {
  std::string bytes;
  while (bytes.size() < count) {
    pollfd entry{master_, POLLIN, 0};
    if (::poll(&entry, 1, timeoutMs) <= 0) break;
    char buffer[256];
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n <= 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
  }
  return bytes;
}
