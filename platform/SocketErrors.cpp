// The thread's last error, the Windows Sockets codes for errno values with their texts, and the
// socket options the library knows.
#include "platform/SocketPosix.h"

#include <cerrno>
#include <cstring>

namespace WinSock {
namespace {

thread_local int lastError = 0;

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

struct OptionPair {
  int level;
  int option;
  int posixLevel;
  int posixOption;
};

const OptionPair kOptions[] = {
    {kWsSolSocket, kWsSoReuseAddr, SOL_SOCKET, SO_REUSEADDR},
    {kWsSolSocket, kWsSoKeepAlive, SOL_SOCKET, SO_KEEPALIVE},
    {kWsIpProtoTcp, kWsTcpNoDelay, ::IPPROTO_TCP, TCP_NODELAY},
    {kWsIpProtoTcp, kWsTcpKeepIdle, ::IPPROTO_TCP, TCP_KEEPIDLE},
    {kWsIpProtoTcp, kWsTcpKeepCount, ::IPPROTO_TCP, TCP_KEEPCNT},
    {kWsIpProtoTcp, kWsTcpKeepInterval, ::IPPROTO_TCP, TCP_KEEPINTVL},
};

}  // namespace

int Fail(int code) {
  lastError = code;
  return SOCKET_ERROR;
}

int FailFromErrno() {
  return Fail(ErrorCodeFromErrno(errno));
}

void SetLastError(int code) {
  lastError = code;
}

int WSAGetLastError() {
  return lastError;
}

bool MapOption(int level, int option, int& posixLevel, int& posixOption) {
  for (const auto& known : kOptions) {
    if (known.level == level && known.option == option) {
      posixLevel = known.posixLevel;
      posixOption = known.posixOption;
      return true;
    }
  }
  return false;
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
