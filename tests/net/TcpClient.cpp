#include "tests/net/TcpClient.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace {

// The address and port; any address when the text is empty. False when the text is no address.
bool Address(const std::string& ip, uint16_t port, sockaddr_in& address) {
  address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  return ip.empty() || ::inet_pton(AF_INET, ip.c_str(), &address.sin_addr) == 1;
}

}  // namespace

TcpClient::~TcpClient() {
  Close();
}

bool TcpClient::Connect(uint16_t port, const std::string& from, const std::string& to) {
  Close();
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return false;
  sockaddr_in local{}, remote{};
  const bool bound =
      from.empty() || (Address(from, 0, local) &&
                       ::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0);
  // The listen queue takes the connection before the server accepts it, so this returns at once.
  if (!bound || !Address(to, port, remote) ||
      ::connect(fd_, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0) {
    Close();
    return false;
  }
  ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
  return true;
}

bool TcpClient::Send(const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

bool TcpClient::Pump() {
  bool any = false;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n > 0) {
      received_.append(buffer, static_cast<size_t>(n));
      any = true;
    } else if (n == 0) {
      peerClosed_ = true;
      return any;
    } else {
      if (errno != EAGAIN && errno != EWOULDBLOCK) peerClosed_ = true;
      return any;
    }
  }
}

std::string TcpClient::TakeReceived() {
  std::string taken;
  taken.swap(received_);
  return taken;
}

bool TcpClient::WaitUntil(const std::function<bool(const std::string&)>& done, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  Pump();
  while (!done(received_) && !peerClosed_) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd readable{fd_, POLLIN, 0};
    ::poll(&readable, 1, static_cast<int>(left.count()));
    Pump();
  }
  return done(received_);
}

void TcpClient::Reset() {
  if (fd_ < 0) return;
  linger option{1, 0};
  ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &option, sizeof option);
  Close();
}

void TcpClient::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

PortHolder::PortHolder(uint16_t port) {
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  // Connections of an earlier server that linger on the port do not keep it from listening.
  const int reuse = 1;
  ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
  sockaddr_in address{};
  Address("", port, address);
  if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd_, 5) != 0) {
    Release();
  }
}

PortHolder::~PortHolder() {
  Release();
}

void PortHolder::Release() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

uint16_t FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  Address("", 0, address);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

void ShutdownSending(int fd) {
  ::shutdown(fd, SHUT_WR);
}

ConnectionSettings SettingsOf(int fd) {
  auto option = [fd](int level, int name) {
    int value = -1;
    socklen_t length = sizeof value;
    return getsockopt(fd, level, name, &value, &length) == 0 ? value : -1;
  };
  return {option(SOL_SOCKET, SO_KEEPALIVE) > 0, option(IPPROTO_TCP, TCP_KEEPIDLE),
          option(IPPROTO_TCP, TCP_KEEPINTVL), option(IPPROTO_TCP, TCP_KEEPCNT),
          option(IPPROTO_TCP, TCP_NODELAY) > 0};
}

int OpenDescriptorCount() {
  int count = 0;
  DIR* directory = ::opendir("/proc/self/fd");
  if (!directory) return -1;
  while (dirent* entry = ::readdir(directory)) {
    if (entry->d_name[0] != '.') ++count;
  }
  ::closedir(directory);
  return count - 1;  // the directory's own descriptor
}
