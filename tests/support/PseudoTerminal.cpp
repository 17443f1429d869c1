#include "support/PseudoTerminal.h"

#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

PseudoTerminal::PseudoTerminal() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) return;
  if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
    close(master_);
    master_ = -1;
    return;
  }
  char name[128];
  if (ptsname_r(master_, name, sizeof name) != 0) {
    close(master_);
    master_ = -1;
    return;
  }
  slavePath_ = name;
  slave_ = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  // Raw mode on the line, so every byte arrives at the master as written.
  termios2 settings{};
  if (slave_ >= 0 && ioctl(slave_, TCGETS2, &settings) == 0) {
    settings.c_oflag &= ~OPOST;
    settings.c_lflag &= ~(ICANON | ECHO | ISIG | IEXTEN);
    ioctl(slave_, TCSETS2, &settings);
  }
}

PseudoTerminal::~PseudoTerminal() {
  if (slave_ >= 0) close(slave_);
  if (master_ >= 0) close(master_);
}

std::string PseudoTerminal::ReadAvailable(int quietMs) {
  std::string result;
  if (master_ < 0) return result;
  while (true) {
    pollfd ready{master_, POLLIN, 0};
    if (poll(&ready, 1, quietMs) <= 0 || !(ready.revents & POLLIN)) break;
    char buffer[256];
    const ssize_t n = read(master_, buffer, sizeof buffer);
    if (n <= 0) break;
    result.append(buffer, static_cast<size_t>(n));
  }
  return result;
}

LineSettings PseudoTerminal::ReadLineSettings() const {
  LineSettings result;
  termios2 settings{};
  if (slave_ < 0 || ioctl(slave_, TCGETS2, &settings) != 0) return result;
  result.baud = settings.c_ospeed;
  switch (settings.c_cflag & CSIZE) {
    case CS5:
      result.dataBits = 5;
      break;
    case CS6:
      result.dataBits = 6;
      break;
    case CS7:
      result.dataBits = 7;
      break;
    default:
      result.dataBits = 8;
  }
  result.parity = (settings.c_cflag & PARENB) != 0;
  result.stopBits = (settings.c_cflag & CSTOPB) ? 2 : 1;
  return result;
}
