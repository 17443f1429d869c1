#include "platform/Sockets.h"

namespace {

// The library's own values of names that the POSIX headers below define as macros.
constexpr int kWsAfInet = WinSock::AF_INET;
constexpr long kWsFionread = WinSock::FIONREAD;
constexpr long kWsFionbio = WinSock::FIONBIO;
constexpr int kWsSolSocket = WinSock::SOL_SOCKET;
constexpr int kWsSoAcceptConn = WinSock::SO_ACCEPTCONN;
constexpr int kWsSoReuseAddr = WinSock::SO_REUSEADDR;
constexpr int kWsSoKeepAlive = WinSock::SO_KEEPALIVE;
constexpr int kWsSoSndBuf = WinSock::SO_SNDBUF;
constexpr int kWsSoRcvBuf = WinSock::SO_RCVBUF;
constexpr int kWsSoError = WinSock::SO_ERROR;
constexpr int kWsSoOpenType = WinSock::SO_OPENTYPE;
constexpr int kWsIpProtoTcp = 6;
constexpr int kWsTcpNoDelay = WinSock::TCP_NODELAY;
constexpr int kWsTcpKeepIdle = WinSock::TCP_KEEPIDLE;
constexpr int kWsTcpKeepCount = WinSock::TCP_KEEPCNT;
constexpr int kWsTcpKeepInterval = WinSock::TCP_KEEPINTVL;

}  // namespace

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

// Optimised builds get these as macros; the library defines its own below.
#undef htons
#undef ntohs
#undef htonl
#undef ntohl

#include <QCoreApplication>
#include <QMetaObject>
#include <QSocketNotifier>
#include <QThread>

#include <atomic>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "platform/Serial.h"

namespace WinSock {
namespace {

thread_local int lastError = 0;
thread_local int openType = 0;

int Fail(int code) {
  lastError = code;
  return SOCKET_ERROR;
}

int FailFromErrno() {
  return Fail(ErrorCodeFromErrno(errno));
}

// ---- Start-up count and the spare descriptor ----

std::atomic<int> libraryUsers{0};

// Held open so that an accept that fails for lack of descriptors can still take the waiting
// connection off the queue (and close it): otherwise its readiness would never clear.
std::mutex spareLock;
int spareDescriptor = -1;

void OpenSpare() {
  if (spareDescriptor < 0) spareDescriptor = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
}

void CloseSpare() {
  if (spareDescriptor >= 0) ::close(spareDescriptor);
  spareDescriptor = -1;
}

// ---- Asynchronous selection ----

struct SocketState {
  int fd = -1;
  HWND window = nullptr;
  UINT msg = 0;
  long events = 0;
  std::unique_ptr<QSocketNotifier> reader;
  std::unique_ptr<QSocketNotifier> writer;
  bool listening = false;
  // Came from accept: a connection, even when the peer reset it before it was accepted and the
  // system no longer calls it connected. Its reset is still to be reported.
  bool accepted = false;
  bool closeReported = false;
  // An accept failed for lack of descriptors and no spare was left: accept notifications wait
  // until a descriptor is given back.
  bool starved = false;
  // False from a read notification until the next receive, which alone brings the next one. The
  // read notifier stays on meanwhile: the usual round (a notification, a receive of everything)
  // then never changes the set of descriptors the event loop watches, which would wake it up.
  // Only when it finds data still waiting for that receive does the notifier go off.
  bool readArmed = true;
};

std::mutex selectLock;
std::vector<std::unique_ptr<SocketState>>& States() {
  static auto* states = new std::vector<std::unique_ptr<SocketState>>();
  return *states;
}

// Descriptors that accept returned and that are not closed yet; guarded by selectLock.
std::vector<bool>& AcceptedDescriptors() {
  static auto* accepted = new std::vector<bool>();
  return *accepted;
}

bool WasAccepted(int fd) {
  const auto& accepted = AcceptedDescriptors();
  return fd >= 0 && static_cast<size_t>(fd) < accepted.size() && accepted[static_cast<size_t>(fd)];
}

void MarkAccepted(int fd, bool accepted) {
  auto& descriptors = AcceptedDescriptors();
  if (fd < 0) return;
  if (static_cast<size_t>(fd) >= descriptors.size()) {
    if (!accepted) return;
    descriptors.resize(static_cast<size_t>(fd) + 1);
  }
  descriptors[static_cast<size_t>(fd)] = accepted;
}

SocketState* FindState(int fd) {
  auto& states = States();
  if (fd < 0 || static_cast<size_t>(fd) >= states.size()) return nullptr;
  return states[static_cast<size_t>(fd)].get();
}

// Notifications being handled inside a notifier's activation (see Notification::Hand), and the
// states of sockets closed meanwhile: their notifiers live on, switched off, until no activation
// is under way, so that none is deleted while it emits. Guarded by selectLock.
int activations = 0;
std::vector<std::unique_ptr<SocketState>>& Retired() {
  static auto* retired = new std::vector<std::unique_ptr<SocketState>>();
  return *retired;
}

void RemoveState(int fd) {
  auto& states = States();
  if (fd < 0 || static_cast<size_t>(fd) >= states.size()) return;
  std::unique_ptr<SocketState>& state = states[static_cast<size_t>(fd)];
  if (state && activations > 0) {
    if (state->reader) state->reader->setEnabled(false);
    if (state->writer) state->writer->setEnabled(false);
    Retired().push_back(std::move(state));
  }
  state.reset();
}

// Enables a notifier from whatever thread asks; the notifier belongs to the GUI thread.
void Enable(QSocketNotifier* notifier) {
  if (!notifier || notifier->isEnabled()) return;
  if (notifier->thread() == QThread::currentThread()) {
    notifier->setEnabled(true);
  } else {
    QMetaObject::invokeMethod(
        notifier, [notifier] { notifier->setEnabled(true); }, Qt::QueuedConnection);
  }
}

struct Notification {
  HWND window = nullptr;
  UINT msg = 0;
  int fd = -1;
  long event = 0;
  int code = 0;
  // Called on the GUI thread, in the notifier's activation, without selectLock. With no message
  // queued ahead of it, the window gets the notification at once: what posting it and taking it
  // up as the next message would do, without a round through the event queue (which costs a
  // wake-up of the loop and another pass of it per notification). Otherwise it is posted behind
  // the others.
  void Hand() const {
    if (!window) return;
    const LPARAM lParam = MakeLParam(static_cast<WORD>(event), static_cast<WORD>(code));
    if (MessagesWaiting() || !IsMessageWindow(window)) {
      PostMessage(window, msg, static_cast<WPARAM>(fd), lParam);
      return;
    }
    {
      std::lock_guard<std::mutex> guard(selectLock);
      ++activations;
    }
    struct EndActivation {
      ~EndActivation() {
        std::vector<std::unique_ptr<SocketState>> ended;
        {
          std::lock_guard<std::mutex> guard(selectLock);
          if (--activations == 0) ended.swap(Retired());
        }
      }
    } end;
    SendMessage(window, msg, static_cast<WPARAM>(fd), lParam);
  }
};

void OnReadable(int fd) {
  Notification notification;
  {
    std::lock_guard<std::mutex> guard(selectLock);
    SocketState* state = FindState(fd);
    if (!state || !state->reader) return;
    auto report = [&](long event, int code) {
      if (!(state->events & event)) return;
      notification = Notification{state->window, state->msg, fd, event, code};
    };
    if (state->listening) {
      state->reader->setEnabled(false);
      report(FD_ACCEPT, 0);
    } else if (!state->readArmed) {
      // Data still waits for the receive that follows the last read notification.
      state->reader->setEnabled(false);
    } else {
      char byte;
      const ssize_t n = ::recv(fd, &byte, 1, ::MSG_PEEK | MSG_DONTWAIT);
      if (n > 0) {
        state->readArmed = false;
        report(FD_READ, 0);
      } else if (n == 0) {
        state->reader->setEnabled(false);
        state->closeReported = true;
        report(FD_CLOSE, 0);
      } else if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
        // Nothing after all; the notifier stays armed.
      } else if (errno == ENOTCONN) {
        // Neither listening nor connected yet: nothing to report until it is.
        state->reader->setEnabled(false);
      } else {
        const int code = ErrorCodeFromErrno(errno);
        state->reader->setEnabled(false);
        state->closeReported = true;
        report(FD_CLOSE, code);
      }
    }
  }
  notification.Hand();
}

void OnWritable(int fd) {
  Notification notification;
  {
    std::lock_guard<std::mutex> guard(selectLock);
    SocketState* state = FindState(fd);
    if (!state || !state->writer) return;
    state->writer->setEnabled(false);
    // Nothing can be written to a connection that is gone.
    if ((state->events & FD_WRITE) && !state->closeReported) {
      notification = Notification{state->window, state->msg, fd, FD_WRITE, 0};
    }
  }
  notification.Hand();
}

bool IsConnectedSocket(int fd) {
  ::sockaddr_in address{};
  socklen_t length = sizeof address;
  return ::getpeername(fd, reinterpret_cast<::sockaddr*>(&address), &length) == 0;
}

bool IsListeningSocket(int fd) {
  int value = 0;
  socklen_t length = sizeof value;
  return ::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &value, &length) == 0 && value != 0;
}

// Creates the notifiers a socket needs in its present role; called with selectLock held.
void Arm(SocketState& state) {
  const int fd = state.fd;
  if (state.listening) {
    if ((state.events & FD_ACCEPT) && !state.reader) {
      state.reader = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
      QObject::connect(state.reader.get(), &QSocketNotifier::activated, [fd] { OnReadable(fd); });
    }
    if (state.reader && !state.starved) state.reader->setEnabled(true);
    return;
  }
  if (!state.accepted && !IsConnectedSocket(fd)) return;
  if ((state.events & (FD_READ | FD_CLOSE)) && !state.reader && !state.closeReported) {
    state.reader = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(state.reader.get(), &QSocketNotifier::activated, [fd] { OnReadable(fd); });
  }
  if ((state.events & FD_WRITE) && !state.writer) {
    // Enabled on creation: the one write notification after set-up.
    state.writer = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    QObject::connect(state.writer.get(), &QSocketNotifier::activated, [fd] { OnWritable(fd); });
  }
}

void RearmStarvedListeners() {
  for (auto& state : States()) {
    if (state && state->starved) {
      state->starved = false;
      Enable(state->reader.get());
    }
  }
}

// ---- Asynchronous service lookups ----

struct LookupTask {
  std::mutex lock;
  bool cancelled = false;
  HWND window = nullptr;
  UINT msg = 0;
  char* buffer = nullptr;
  int bufferLength = 0;
};

std::mutex tasksLock;
uintptr_t nextTask = 1;
std::map<uintptr_t, std::shared_ptr<LookupTask>>& Tasks() {
  static auto* tasks = new std::map<uintptr_t, std::shared_ptr<LookupTask>>();
  return *tasks;
}

// Lays out a servent with its strings in the caller's buffer; returns the bytes used, or -1.
int StoreServent(const ::servent& entry, char* buffer, int bufferLength) {
  size_t used = sizeof(WinSock::servent);
  auto place = [&](const char* text) -> char* {
    const size_t length = std::strlen(text) + 1;
    if (used + length > static_cast<size_t>(bufferLength)) return nullptr;
    char* target = buffer + used;
    std::memcpy(target, text, length);
    used += length;
    return target;
  };
  if (static_cast<size_t>(bufferLength) < used + 2 * sizeof(char*)) return -1;
  auto* result = reinterpret_cast<WinSock::servent*>(buffer);
  // The alias list (empty) goes right behind the record, where it is aligned.
  auto** aliases = reinterpret_cast<char**>(buffer + used);
  aliases[0] = nullptr;
  used += sizeof(char*);
  result->s_aliases = aliases;
  result->s_name = place(entry.s_name);
  result->s_proto = place(entry.s_proto);
  if (!result->s_name || !result->s_proto) return -1;
  result->s_port = static_cast<int16_t>(entry.s_port);
  return static_cast<int>(used);
}

void RunLookup(uintptr_t id, std::shared_ptr<LookupTask> task, std::string name,
               std::string proto) {
  ::servent entry{};
  ::servent* found = nullptr;
  std::vector<char> scratch(4096);
  const int failed = ::getservbyname_r(name.c_str(), proto.c_str(), &entry, scratch.data(),
                                       scratch.size(), &found);
  {
    std::lock_guard<std::mutex> guard(task->lock);
    if (!task->cancelled) {
      int length = 0;
      int code = 0;
      if (failed != 0 || !found) {
        code = WSANO_DATA;
      } else {
        length = StoreServent(entry, task->buffer, task->bufferLength);
        if (length < 0) {
          code = WSAENOBUFS;
          length = 0;
        }
      }
      PostMessage(task->window, task->msg, static_cast<WPARAM>(id),
                  MakeLParam(static_cast<WORD>(length), static_cast<WORD>(code)));
    }
  }
  std::lock_guard<std::mutex> guard(tasksLock);
  Tasks().erase(id);
}

// ---- Error codes ----

struct ErrorPair {
  int errnoValue;
  int code;
};

const ErrorPair kErrors[] = {
    {EINTR, WSAEINTR},
    {EBADF, WSAEBADF},
    {EACCES, WSAEACCES},
    {EPERM, WSAEACCES},
    {EFAULT, WSAEFAULT},
    {EINVAL, WSAEINVAL},
    {EMFILE, WSAEMFILE},
    {ENFILE, WSAEMFILE},
    {EWOULDBLOCK, WSAEWOULDBLOCK},
    {EAGAIN, WSAEWOULDBLOCK},
    {EINPROGRESS, WSAEINPROGRESS},
    {EALREADY, WSAEALREADY},
    {ENOTSOCK, WSAENOTSOCK},
    {EDESTADDRREQ, WSAEDESTADDRREQ},
    {EMSGSIZE, WSAEMSGSIZE},
    {EPROTOTYPE, WSAEPROTOTYPE},
    {ENOPROTOOPT, WSAENOPROTOOPT},
    {EPROTONOSUPPORT, WSAEPROTONOSUPPORT},
    {ESOCKTNOSUPPORT, WSAESOCKTNOSUPPORT},
    {EOPNOTSUPP, WSAEOPNOTSUPP},
    {EPFNOSUPPORT, WSAEPFNOSUPPORT},
    {EAFNOSUPPORT, WSAEAFNOSUPPORT},
    {EADDRINUSE, WSAEADDRINUSE},
    {EADDRNOTAVAIL, WSAEADDRNOTAVAIL},
    {ENETDOWN, WSAENETDOWN},
    {ENETUNREACH, WSAENETUNREACH},
    {ENETRESET, WSAENETRESET},
    {ECONNABORTED, WSAECONNABORTED},
    {ECONNRESET, WSAECONNRESET},
    {ENOBUFS, WSAENOBUFS},
    {ENOMEM, WSAENOBUFS},
    {EISCONN, WSAEISCONN},
    {ENOTCONN, WSAENOTCONN},
    {ESHUTDOWN, WSAESHUTDOWN},
    {EPIPE, WSAESHUTDOWN},
    {ETOOMANYREFS, WSAETOOMANYREFS},
    {ETIMEDOUT, WSAETIMEDOUT},
    {ECONNREFUSED, WSAECONNREFUSED},
    {ELOOP, WSAELOOP},
    {ENAMETOOLONG, WSAENAMETOOLONG},
    {EHOSTDOWN, WSAEHOSTDOWN},
    {EHOSTUNREACH, WSAEHOSTUNREACH},
    {ENOTEMPTY, WSAENOTEMPTY},
    {EUSERS, WSAEUSERS},
    {EDQUOT, WSAEDQUOT},
    {ESTALE, WSAESTALE},
    {EREMOTE, WSAEREMOTE},
};

struct CodeText {
  int code;
  const char* text;
};

// Codes without an errno of their own.
const CodeText kOwnTexts[] = {
    {WSASYSNOTREADY, "Network subsystem is unavailable"},
    {WSAVERNOTSUPPORTED, "Winsock.dll version out of range"},
    {WSANOTINITIALISED, "Successful WSAStartup not yet performed"},
    {WSAHOST_NOT_FOUND, "Host not found"},
    {WSATRY_AGAIN, "Nonauthoritative host not found"},
    {WSANO_RECOVERY, "This is a nonrecoverable error"},
    {WSANO_DATA, "Valid name, no data record of requested type"},
};

// The POSIX option for a library option; false when there is none.
bool MapOption(int level, int option, int& posixLevel, int& posixOption) {
  if (level == kWsSolSocket) {
    posixLevel = SOL_SOCKET;
    switch (option) {
      case kWsSoAcceptConn:
        posixOption = SO_ACCEPTCONN;
        return true;
      case kWsSoReuseAddr:
        posixOption = SO_REUSEADDR;
        return true;
      case kWsSoKeepAlive:
        posixOption = SO_KEEPALIVE;
        return true;
      case kWsSoSndBuf:
        posixOption = SO_SNDBUF;
        return true;
      case kWsSoRcvBuf:
        posixOption = SO_RCVBUF;
        return true;
      case kWsSoError:
        posixOption = SO_ERROR;
        return true;
      default:
        return false;
    }
  }
  if (level == kWsIpProtoTcp) {
    posixLevel = ::IPPROTO_TCP;
    switch (option) {
      case kWsTcpNoDelay:
        posixOption = TCP_NODELAY;
        return true;
      case kWsTcpKeepIdle:
        posixOption = TCP_KEEPIDLE;
        return true;
      case kWsTcpKeepCount:
        posixOption = TCP_KEEPCNT;
        return true;
      case kWsTcpKeepInterval:
        posixOption = TCP_KEEPINTVL;
        return true;
      default:
        return false;
    }
  }
  return false;
}

bool Started() {
  return libraryUsers.load(std::memory_order_relaxed) > 0;
}

}  // namespace

int WSAStartup(WORD versionRequested, WSADATA* data) {
  const int major = versionRequested & 0xFF;
  if (major < 1) return WSAVERNOTSUPPORTED;
  if (data) {
    std::memset(data, 0, sizeof *data);
    data->wVersion = 0x0101;
    data->wHighVersion = 0x0101;
    std::snprintf(data->szDescription, sizeof data->szDescription, "POSIX sockets");
    std::snprintf(data->szSystemStatus, sizeof data->szSystemStatus, "Running");
    data->iMaxSockets = 0xFFFF;
    data->iMaxUdpDg = 0xFFFF;
  }
  std::lock_guard<std::mutex> guard(spareLock);
  if (libraryUsers.fetch_add(1) == 0) OpenSpare();
  return 0;
}

int WSACleanup() {
  std::lock_guard<std::mutex> guard(spareLock);
  if (libraryUsers.load() <= 0) return Fail(WSANOTINITIALISED);
  if (libraryUsers.fetch_sub(1) == 1) CloseSpare();
  return 0;
}

int WSAGetLastError() {
  return lastError;
}
void WSASetLastError(int code) {
  lastError = code;
}
int SocketLibraryUsers() {
  return libraryUsers.load();
}

SOCKET socket(int af, int type, int protocol) {
  if (!Started()) {
    lastError = WSANOTINITIALISED;
    return INVALID_SOCKET;
  }
  if (af != kWsAfInet || type != SOCK_STREAM) {
    lastError = af != kWsAfInet ? WSAEAFNOSUPPORT : WSAESOCKTNOSUPPORT;
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
  std::lock_guard<std::mutex> guard(selectLock);
  if (SocketState* state = FindState(fd)) {
    state->listening = true;
    state->writer.reset();
    Arm(*state);
  }
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
    std::lock_guard<std::mutex> guard(spareLock);
    if (spareDescriptor >= 0) {
      CloseSpare();
      const int refused = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
      if (refused >= 0) ::close(refused);
      OpenSpare();
    } else {
      starved = true;
    }
  }
  {
    // Each accept call arms the next accept notification.
    std::lock_guard<std::mutex> guard(selectLock);
    if (SocketState* state = FindState(fd); state && state->listening) {
      state->starved = starved;
      if (!starved) Enable(state->reader.get());
    }
    if (client >= 0) MarkAccepted(client, true);
  }
  if (client < 0) {
    lastError = ErrorCodeFromErrno(acceptErrno);
    return INVALID_SOCKET;
  }
  if (address && addressLength && *addressLength >= static_cast<int>(sizeof(sockaddr_in))) {
    auto* out = reinterpret_cast<sockaddr_in*>(address);
    std::memset(out, 0, sizeof *out);
    out->sin_family = static_cast<int16_t>(kWsAfInet);
    out->sin_port = peer.sin_port;
    out->sin_addr.s_addr = peer.sin_addr.s_addr;
    *addressLength = sizeof(sockaddr_in);
  }
  return static_cast<SOCKET>(client);
}

int closesocket(SOCKET s) {
  const int fd = static_cast<int>(s);
  {
    std::lock_guard<std::mutex> guard(selectLock);
    RemoveState(fd);
    MarkAccepted(fd, false);
  }
  if (::close(fd) != 0) return FailFromErrno();
  {
    // A descriptor came back: a starved listener may accept again, and the spare be restored.
    std::lock_guard<std::mutex> spareGuard(spareLock);
    if (Started()) OpenSpare();
  }
  std::lock_guard<std::mutex> guard(selectLock);
  RearmStarvedListeners();
  return 0;
}

int recv(SOCKET s, char* buffer, int length, int flags) {
  const int fd = static_cast<int>(s);
  if (length < 0) return Fail(WSAEINVAL);
  const ssize_t n = ::recv(fd, buffer, static_cast<size_t>(length), flags);
  const int recvErrno = errno;
  {
    // A receive arms the next read notification (which comes only while data remains).
    std::lock_guard<std::mutex> guard(selectLock);
    if (SocketState* state = FindState(fd); state && !state->listening && !state->closeReported) {
      state->readArmed = true;
      Enable(state->reader.get());
    }
  }
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
  if (sendErrno == EAGAIN || sendErrno == EWOULDBLOCK) {
    // The next write notification comes when the socket can take data again.
    std::lock_guard<std::mutex> guard(selectLock);
    if (SocketState* state = FindState(fd); state && (state->events & FD_WRITE)) {
      if (!state->writer) {
        state->writer = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
        QObject::connect(state->writer.get(), &QSocketNotifier::activated,
                         [fd] { OnWritable(fd); });
      } else {
        Enable(state->writer.get());
      }
    }
  }
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
  auto* out = reinterpret_cast<sockaddr_in*>(name);
  std::memset(out, 0, sizeof *out);
  out->sin_family = static_cast<int16_t>(kWsAfInet);
  out->sin_port = peer.sin_port;
  out->sin_addr.s_addr = peer.sin_addr.s_addr;
  *nameLength = sizeof(sockaddr_in);
  return 0;
}

int getsockopt(SOCKET s, int level, int option, char* value, int* valueLength) {
  if (!value || !valueLength || *valueLength < static_cast<int>(sizeof(int))) {
    return Fail(WSAEFAULT);
  }
  if (level == kWsSolSocket && option == kWsSoOpenType) {
    // A per-thread setting, asked for with no socket.
    std::memcpy(value, &openType, sizeof(int));
    *valueLength = sizeof(int);
    return 0;
  }
  int posixLevel = 0;
  int posixOption = 0;
  if (!MapOption(level, option, posixLevel, posixOption)) return Fail(WSAENOPROTOOPT);
  int result = 0;
  socklen_t length = sizeof result;
  if (::getsockopt(static_cast<int>(s), posixLevel, posixOption, &result, &length) != 0) {
    return FailFromErrno();
  }
  if (posixOption == SO_ERROR && posixLevel == SOL_SOCKET && result != 0) {
    result = ErrorCodeFromErrno(result);
  }
  std::memcpy(value, &result, sizeof(int));
  *valueLength = sizeof(int);
  return 0;
}

int setsockopt(SOCKET s, int level, int option, const char* value, int valueLength) {
  if (!value || valueLength < static_cast<int>(sizeof(int))) return Fail(WSAEFAULT);
  int setting = 0;
  std::memcpy(&setting, value, sizeof(int));
  if (level == kWsSolSocket && option == kWsSoOpenType) {
    openType = setting;
    return 0;
  }
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
  if constexpr (std::endian::native == std::endian::little) return __builtin_bswap16(value);
  return value;
}
u_short ntohs(u_short value) {
  return WinSock::htons(value);
}
u_long htonl(u_long value) {
  if constexpr (std::endian::native == std::endian::little) return __builtin_bswap32(value);
  return value;
}

int WSAAsyncSelect(SOCKET s, HWND window, UINT msg, long events) {
  const int fd = static_cast<int>(s);
  if (fd < 0) return Fail(WSAENOTSOCK);
  {
    std::lock_guard<std::mutex> guard(selectLock);
    RemoveState(fd);
    if (window && events != 0) {
      auto& states = States();
      if (static_cast<size_t>(fd) >= states.size()) states.resize(static_cast<size_t>(fd) + 1);
      auto state = std::make_unique<SocketState>();
      state->fd = fd;
      state->window = window;
      state->msg = msg;
      state->events = events;
      state->listening = IsListeningSocket(fd);
      state->accepted = WasAccepted(fd);
      Arm(*state);
      states[static_cast<size_t>(fd)] = std::move(state);
    }
  }
  u_long nonBlocking = 1;
  return ioctlsocket(s, kWsFionbio, &nonBlocking);
}

HANDLE WSAAsyncGetServByName(HWND window, UINT msg, const char* name, const char* proto,
                             char* buffer, int bufferLength) {
  if (!Started()) {
    lastError = WSANOTINITIALISED;
    return nullptr;
  }
  if (!name || !buffer || bufferLength <= 0) {
    lastError = WSAEFAULT;
    return nullptr;
  }
  auto task = std::make_shared<LookupTask>();
  task->window = window;
  task->msg = msg;
  task->buffer = buffer;
  task->bufferLength = bufferLength;
  uintptr_t id = 0;
  {
    std::lock_guard<std::mutex> guard(tasksLock);
    id = nextTask++;
    Tasks()[id] = task;
  }
  try {
    std::thread(RunLookup, id, task, std::string(name), std::string(proto ? proto : "tcp"))
        .detach();
  } catch (const std::system_error&) {
    std::lock_guard<std::mutex> guard(tasksLock);
    Tasks().erase(id);
    lastError = WSAENOBUFS;
    return nullptr;
  }
  return reinterpret_cast<HANDLE>(id);
}

int WSACancelAsyncRequest(HANDLE taskHandle) {
  const auto id = reinterpret_cast<uintptr_t>(taskHandle);
  std::shared_ptr<LookupTask> task;
  {
    std::lock_guard<std::mutex> guard(tasksLock);
    if (id == 0 || id >= nextTask) return Fail(WSAEINVAL);
    auto it = Tasks().find(id);
    // A task that has ended has nothing left to cancel; its message, if still waiting, is the
    // caller's to ignore.
    if (it == Tasks().end()) return 0;
    task = it->second;
  }
  std::lock_guard<std::mutex> guard(task->lock);
  task->cancelled = true;
  return 0;
}

int ErrorCodeFromErrno(int errnoValue) {
  for (const auto& pair : kErrors) {
    if (pair.errnoValue == errnoValue) return pair.code;
  }
  return errnoValue;
}

std::string SocketErrorText(int code) {
  for (const auto& own : kOwnTexts) {
    if (own.code == code) return own.text;
  }
  int errnoValue = code;
  for (const auto& pair : kErrors) {
    if (pair.code == code) {
      errnoValue = pair.errnoValue;
      break;
    }
  }
  char buffer[256];
  return ::strerror_r(errnoValue, buffer, sizeof buffer);
}

}  // namespace WinSock
