// The least any relay server must do per command, as a yardstick for the benchmark: in one poll
// loop it takes what a client sent, gives it to the board in one write, sends the same bytes
// back as the echo and writes one log line to standard output, shaped as the relay server's
// ("2026-12-08 14:05:09 Relay 1  switched ON"). The board's line is set as the relay server sets
// it: 14400 baud, 8 data bits, no parity, one stop bit, raw. No window, no watchdog, nothing
// else; a client's connection and its end are not logged.
//
// Usage: bare_relay PORT (the board is /dev/ttyUSB0).
#include <asm/termbits.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

int OpenBoard() {
  const int fd = open("/dev/ttyUSB0", O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  termios2 line{};
  if (fd < 0 || ioctl(fd, TCGETS2, &line) != 0) return -1;
  line.c_cflag &= ~(CBAUD | CIBAUD | CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  line.c_cflag |= BOTHER | CS8;
  line.c_ispeed = line.c_ospeed = 14400;
  line.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IUCLC | IXON |
                    IXANY | IXOFF | IMAXBEL | IUTF8 | INPCK);
  line.c_oflag &= ~OPOST;
  line.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ECHOCTL | ECHOPRT | ECHOKE | ICANON | ISIG |
                    IEXTEN | XCASE);
  line.c_cc[VMIN] = 1;
  line.c_cc[VTIME] = 0;
  return ioctl(fd, TCSETS2, &line) == 0 ? fd : -1;
}

int Listen(uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      listen(fd, 5) != 0)
    return -1;
  return fd;
}

// The relay server's log line for a relay text ("07+//"), stamped as its standard output stamps
// it; 0 for any other text, which the relay server does not log either.
size_t LogLine(const char* text, size_t size, char* line, size_t room) {
  if (size != 5 || !std::isdigit(static_cast<unsigned char>(text[0])) ||
      !std::isdigit(static_cast<unsigned char>(text[1])) || (text[2] != '+' && text[2] != '-') ||
      text[3] != '/' || text[4] != '/')
    return 0;
  const int relay = (text[0] - '0') * 10 + (text[1] - '0');
  if (relay < 1 || relay > 16) return 0;
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const size_t stamp = std::strftime(line, room, "%Y-%m-%d %H:%M:%S ", &local);
  const int rest = std::snprintf(line + stamp, room - stamp, "Relay %-2d switched %s\n", relay,
                                 text[2] == '+' ? "ON" : "OFF");
  return stamp + static_cast<size_t>(rest);
}

}  // namespace

int main(int argc, char** argv) {
  const int board = OpenBoard();
  const int listener = argc > 1 ? Listen(static_cast<uint16_t>(std::atoi(argv[1]))) : -1;
  if (board < 0 || listener < 0) {
    std::perror("bare_relay");
    return 1;
  }
  std::vector<pollfd> watched = {{listener, POLLIN, 0}};
  for (;;) {
    if (poll(watched.data(), watched.size(), -1) < 0) continue;
    if (watched[0].revents & POLLIN) {
      const int client = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
      const int on = 1;
      if (client >= 0) {
        setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        watched.push_back({client, POLLIN, 0});
      }
    }
    for (size_t i = 1; i < watched.size(); ++i) {
      if (watched[i].revents == 0) continue;
      char text[4096], line[128];
      const ssize_t got = read(watched[i].fd, text, sizeof text);
      if (got < 0 && errno == EAGAIN) continue;
      if (got <= 0) {
        close(watched[i].fd);
        watched.erase(watched.begin() + static_cast<long>(i--));
        continue;
      }
      const size_t size = static_cast<size_t>(got);
      if (write(board, text, size) < 0) {
        // A full or vanished board loses the text, as a refused character is lost.
      }
      send(watched[i].fd, text, size, MSG_NOSIGNAL);
      if (const size_t length = LogLine(text, size, line, sizeof line); length > 0)
        if (write(STDOUT_FILENO, line, length) < 0) {
          // Nowhere to tell it.
        }
    }
  }
}
