// The calls of the socket library over their POSIX counterparts. What a call does to a
// socket's notifications goes to its watcher.
#include "platform/Serial.h"
#include "platform/SocketPosix.h"
#include "platform/SocketWatcher.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace WinSock {
namespace {

// A peer's POSIX address as the library's record.
void StorePeer(const ::sockaddr_in& peer, sockaddr* name, int* nameLength) {
  auto* out = reinterpret_cast<sockaddr_in*>(name);
  std::memset(out, 0, sizeof *out);
  out->sin_family = static_cast<int16_t>(kWsAfInet);
  out->sin_port = peer.sin_port;
  out->sin_addr.s_addr = peer.sin_addr.s_addr;
  *nameLength = sizeof(sockaddr_in);
}

}  // namespace

SOCKET socket(int af, int type, int protocol) {
  if (!LibraryStarted()) {
    SetLastError(WSANOTINITIALISED);
    return INVALID_SOCKET;
  }
  if (af != kWsAfInet || type != SOCK_STREAM) {
    SetLastError(af != kWsAfInet ? WSAEAFNOSUPPORT : WSAESOCKTNOSUPPORT);
    return INVALID_SOCKET;
  }
  const int fd = ::socket(PF_INET, ::SOCK_STREAM | SOCK_CLOEXEC, protocol);
  if (fd < 0) {
    FailFromErrno();
    return INVALID_SOCKET;
  }
  return static_cast<SOCKET>(fd);
}

int bind(SOCKET s, const sockaddr* name, int nameLength) {
  if (!name || nameLength < static_cast<int>(sizeof(sockaddr_in))) return Fail(WSAEFAULT);
  const auto* in = reinterpret_cast<const sockaddr_in*>(name);
  if (in->sin_family != kWsAfInet) return Fail(WSAEAFNOSUPPORT);
  ::sockaddr_in address{};
  address.sin_family = PF_INET;
  address.sin_port = in->sin_port;
  address.sin_addr.s_addr = in->sin_addr.s_addr;
  if (::bind(static_cast<int>(s), reinterpret_cast<::sockaddr*>(&address), sizeof address) != 0) {
    return FailFromErrno();
  }
  return 0;
}

int listen(SOCKET s, int backlog) {
  const int fd = static_cast<int>(s);
  if (::listen(fd, backlog) != 0) return FailFromErrno();
  WatchListening(fd);
  return 0;
}

SOCKET accept(SOCKET s, sockaddr* address, int* addressLength) {
  const int fd = static_cast<int>(s);
  ::sockaddr_in peer{};
  socklen_t peerLength = sizeof peer;
  int client = ::accept4(fd, reinterpret_cast<::sockaddr*>(&peer), &peerLength, SOCK_CLOEXEC);
  const int acceptErrno = errno;
  bool starved = false;
  if (client < 0 && (acceptErrno == EMFILE || acceptErrno == ENFILE)) {
    starved = !RefuseWaitingConnection(fd);
  }
  WatchAccept(fd, starved, client);
  if (client < 0) {
    SetLastError(ErrorCodeFromErrno(acceptErrno));
    return INVALID_SOCKET;
  }
  if (address && addressLength && *addressLength >= static_cast<int>(sizeof(sockaddr_in))) {
    StorePeer(peer, address, addressLength);
  }
  return static_cast<SOCKET>(client);
}

int closesocket(SOCKET s) {
  const int fd = static_cast<int>(s);
  WatchClose(fd);
  if (::close(fd) != 0) return FailFromErrno();
  // A descriptor came back: the spare is restored, and a starved listener may accept again.
  RestoreSpareDescriptor();
  WatchDescriptorReturned();
  return 0;
}

int recv(SOCKET s, char* buffer, int length, int flags) {
  const int fd = static_cast<int>(s);
  if (length < 0) return Fail(WSAEINVAL);
  const ssize_t n = ::recv(fd, buffer, static_cast<size_t>(length), flags);
  const int recvErrno = errno;
  WatchReceive(fd);
  if (n < 0) return Fail(ErrorCodeFromErrno(recvErrno));
  return static_cast<int>(n);
}

int send(SOCKET s, const char* buffer, int length, int flags) {
  // A handler's text for the relay board goes out before its answer to the network, not after
  // everything else the handler does.
  ::TransmitGatheredCommChars();
  const int fd = static_cast<int>(s);
  if (length < 0) return Fail(WSAEINVAL);
  const ssize_t n = ::send(fd, buffer, static_cast<size_t>(length), flags | MSG_NOSIGNAL);
  if (n >= 0) return static_cast<int>(n);
  const int sendErrno = errno;
  if (sendErrno == EAGAIN || sendErrno == EWOULDBLOCK) WatchSendWouldBlock(fd);
  return Fail(ErrorCodeFromErrno(sendErrno));
}

int ioctlsocket(SOCKET s, long command, u_long* argument) {
  const int fd = static_cast<int>(s);
  if (!argument) return Fail(WSAEFAULT);
  if (command == kWsFionread) {
    int waiting = 0;
    if (::ioctl(fd, FIONREAD, &waiting) != 0) return FailFromErrno();
    *argument = static_cast<u_long>(waiting);
    return 0;
  }
  if (command == kWsFionbio) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0) return FailFromErrno();
    const int wanted = *argument ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    if (::fcntl(fd, F_SETFL, wanted) != 0) return FailFromErrno();
    return 0;
  }
  return Fail(WSAEINVAL);
}

int getpeername(SOCKET s, sockaddr* name, int* nameLength) {
  if (!name || !nameLength || *nameLength < static_cast<int>(sizeof(sockaddr_in))) {
    return Fail(WSAEFAULT);
  }
  ::sockaddr_in peer{};
  socklen_t length = sizeof peer;
  if (::getpeername(static_cast<int>(s), reinterpret_cast<::sockaddr*>(&peer), &length) != 0) {
    return FailFromErrno();
  }
  StorePeer(peer, name, nameLength);
  return 0;
}

int setsockopt(SOCKET s, int level, int option, const char* value, int valueLength) {
  if (!value || valueLength < static_cast<int>(sizeof(int))) return Fail(WSAEFAULT);
  int setting = 0;
  std::memcpy(&setting, value, sizeof(int));
  int posixLevel = 0;
  int posixOption = 0;
  if (!MapOption(level, option, posixLevel, posixOption)) return Fail(WSAENOPROTOOPT);
  if (::setsockopt(static_cast<int>(s), posixLevel, posixOption, &setting, sizeof setting) != 0) {
    return FailFromErrno();
  }
  return 0;
}

char* inet_ntoa(in_addr address) {
  thread_local char text[16];
  const auto* bytes = reinterpret_cast<const unsigned char*>(&address.s_addr);
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
  return text;
}

u_short htons(u_short value) {
  return ::htons(value);
}

u_long htonl(u_long value) {
  return ::htonl(value);
}

int WSAAsyncSelect(SOCKET s, HWND window, UINT msg, long events) {
  const int fd = static_cast<int>(s);
  if (fd < 0) return Fail(WSAENOTSOCK);
  WatchSelection(fd, window, msg, events);
  u_long nonBlocking = 1;
  return ioctlsocket(s, kWsFionbio, &nonBlocking);
}

}  // namespace WinSock
