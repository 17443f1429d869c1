#pragma once
// The socket library the server layer is written against, in the shape of Windows Sockets 1.1,
// over POSIX sockets and the GUI thread's event loop.
//
// Readiness comes through WSAAsyncSelect as a window message (wParam: the socket, lParam: the
// network event in the low half and an error code in the high half), one at a time on the GUI
// thread, with the Windows re-enabling rules: accept again only after an accept call, read again
// only after a receive (and only while data remains), close once, write once after set-up and
// again after a send that would have blocked.
//
// Everything lives in namespace WinSock because the POSIX headers declare functions of the same
// names (and macros for several of the constants): a file that uses both must include this
// header before any POSIX socket header and must not use the names below after it.

#include <cstdint>
#include <string>

#include "platform/MessageWindow.h"
#include "platform/WinTypes.h"

// The rule above, checked: the POSIX macros of these names would garble the declarations.
#if defined(AF_INET) || defined(FIONREAD) || defined(TCP_NODELAY)
#error "platform/Sockets.h must come before the POSIX socket headers"
#endif

namespace WinSock {

using SOCKET = uint32_t;
using u_long = uint32_t;
using u_short = uint16_t;

constexpr SOCKET INVALID_SOCKET = ~SOCKET{0};
constexpr int SOCKET_ERROR = -1;

constexpr int AF_INET = 2;
constexpr int SOCK_STREAM = 1;
constexpr int IPPROTO_TCP = 6;
constexpr u_long INADDR_ANY = 0;

constexpr long FIONREAD = 0x4004667F;
constexpr long FIONBIO = static_cast<long>(0x8004667EL);

constexpr int SOL_SOCKET = 0xFFFF;
constexpr int SO_REUSEADDR = 0x0004;
constexpr int SO_KEEPALIVE = 0x0008;
constexpr int TCP_NODELAY = 0x0001;
// Keepalive timing of one connection, in seconds and probes.
constexpr int TCP_KEEPIDLE = 3;
constexpr int TCP_KEEPCNT = 16;
constexpr int TCP_KEEPINTVL = 17;

// Network events of WSAAsyncSelect.
constexpr long FD_READ = 0x01;
constexpr long FD_WRITE = 0x02;
constexpr long FD_OOB = 0x04;
constexpr long FD_ACCEPT = 0x08;
constexpr long FD_CONNECT = 0x10;
constexpr long FD_CLOSE = 0x20;

// Error codes.
constexpr int WSABASEERR = 10000;
constexpr int WSAEINTR = 10004;
constexpr int WSAEBADF = 10009;
constexpr int WSAEACCES = 10013;
constexpr int WSAEFAULT = 10014;
constexpr int WSAEINVAL = 10022;
constexpr int WSAEMFILE = 10024;
constexpr int WSAEWOULDBLOCK = 10035;
constexpr int WSAEINPROGRESS = 10036;
constexpr int WSAEALREADY = 10037;
constexpr int WSAENOTSOCK = 10038;
constexpr int WSAEDESTADDRREQ = 10039;
constexpr int WSAEMSGSIZE = 10040;
constexpr int WSAEPROTOTYPE = 10041;
constexpr int WSAENOPROTOOPT = 10042;
constexpr int WSAEPROTONOSUPPORT = 10043;
constexpr int WSAESOCKTNOSUPPORT = 10044;
constexpr int WSAEOPNOTSUPP = 10045;
constexpr int WSAEPFNOSUPPORT = 10046;
constexpr int WSAEAFNOSUPPORT = 10047;
constexpr int WSAEADDRINUSE = 10048;
constexpr int WSAEADDRNOTAVAIL = 10049;
constexpr int WSAENETDOWN = 10050;
constexpr int WSAENETUNREACH = 10051;
constexpr int WSAENETRESET = 10052;
constexpr int WSAECONNABORTED = 10053;
constexpr int WSAECONNRESET = 10054;
constexpr int WSAENOBUFS = 10055;
constexpr int WSAEISCONN = 10056;
constexpr int WSAENOTCONN = 10057;
constexpr int WSAESHUTDOWN = 10058;
constexpr int WSAETOOMANYREFS = 10059;
constexpr int WSAETIMEDOUT = 10060;
constexpr int WSAECONNREFUSED = 10061;
constexpr int WSAELOOP = 10062;
constexpr int WSAENAMETOOLONG = 10063;
constexpr int WSAEHOSTDOWN = 10064;
constexpr int WSAEHOSTUNREACH = 10065;
constexpr int WSAENOTEMPTY = 10066;
constexpr int WSAEUSERS = 10068;
constexpr int WSAEDQUOT = 10069;
constexpr int WSAESTALE = 10070;
constexpr int WSAEREMOTE = 10071;
constexpr int WSASYSNOTREADY = 10091;
constexpr int WSAVERNOTSUPPORTED = 10092;
constexpr int WSANOTINITIALISED = 10093;
constexpr int WSAHOST_NOT_FOUND = 11001;
constexpr int WSATRY_AGAIN = 11002;
constexpr int WSANO_RECOVERY = 11003;
constexpr int WSANO_DATA = 11004;

struct in_addr {
  u_long s_addr;  // network byte order
};

struct sockaddr {
  u_short sa_family;
  char sa_data[14];
};

struct sockaddr_in {
  int16_t sin_family;
  u_short sin_port;  // network byte order
  in_addr sin_addr;
  char sin_zero[8];
};
static_assert(sizeof(sockaddr_in) == 16);

struct servent {
  char* s_name;
  char** s_aliases;
  int16_t s_port;  // network byte order
  char* s_proto;
};

struct WSADATA {
  WORD wVersion;
  WORD wHighVersion;
  char szDescription[257];
  char szSystemStatus[129];
  unsigned short iMaxSockets;
  unsigned short iMaxUdpDg;
  char* lpVendorInfo;
};

// Start-up is a reference count: every WSAStartup needs its WSACleanup.
int WSAStartup(WORD versionRequested, WSADATA* data);
int WSACleanup();
// The calling thread's error code of its last failed call.
int WSAGetLastError();

SOCKET socket(int af, int type, int protocol);
int bind(SOCKET s, const sockaddr* name, int nameLength);
int listen(SOCKET s, int backlog);
// A connection that cannot be taken for lack of descriptors is refused (closed at once), so its
// readiness does not come back; the call then fails with WSAEMFILE.
SOCKET accept(SOCKET s, sockaddr* address, int* addressLength);
int closesocket(SOCKET s);
int recv(SOCKET s, char* buffer, int length, int flags);
// Never raises SIGPIPE: a connection the peer has dropped is an error code.
int send(SOCKET s, const char* buffer, int length, int flags);
int ioctlsocket(SOCKET s, long command, u_long* argument);
int getpeername(SOCKET s, sockaddr* name, int* nameLength);
int setsockopt(SOCKET s, int level, int option, const char* value, int valueLength);
char* inet_ntoa(in_addr address);
u_short htons(u_short value);
u_long htonl(u_long value);

// Must run on the GUI thread. A mask of 0 (or no window) cancels the notifications. Puts the
// socket in non-blocking mode.
int WSAAsyncSelect(SOCKET s, HWND window, UINT msg, long events);

// Looks the service up without blocking the caller; the end is posted to window as msg with
// wParam the task handle and lParam MakeLParam(result length, error code). On success the
// buffer holds a servent with its strings. Returns 0 when the lookup cannot be started.
HANDLE WSAAsyncGetServByName(HWND window, UINT msg, const char* name, const char* proto,
                             char* buffer, int bufferLength);
// After it returns, the task neither writes the buffer nor posts its message.
int WSACancelAsyncRequest(HANDLE task);

// The Windows Sockets code for an errno value.
int ErrorCodeFromErrno(int errnoValue);
// The system's text for a socket error code.
std::string SocketErrorText(int code);

}  // namespace WinSock
