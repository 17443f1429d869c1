#pragma once
// What the socket library's own files share behind Sockets.h.
//
// The library and the POSIX headers declare the same names, several of them as macros. This
// header takes the library's values of those names first, under names of their own, then brings
// in the POSIX headers; after it a file means the POSIX name when it writes SOL_SOCKET or
// FIONREAD, and the library's value when it writes kWsSolSocket or kWsFionread. Include it
// first, before any header that may bring in the POSIX ones.

#include "platform/Sockets.h"

inline constexpr int kWsAfInet = WinSock::AF_INET;
inline constexpr long kWsFionread = WinSock::FIONREAD;
inline constexpr long kWsFionbio = WinSock::FIONBIO;
inline constexpr int kWsSolSocket = WinSock::SOL_SOCKET;
inline constexpr int kWsSoReuseAddr = WinSock::SO_REUSEADDR;
inline constexpr int kWsSoKeepAlive = WinSock::SO_KEEPALIVE;
inline constexpr int kWsIpProtoTcp = WinSock::IPPROTO_TCP;
inline constexpr int kWsTcpNoDelay = WinSock::TCP_NODELAY;
inline constexpr int kWsTcpKeepIdle = WinSock::TCP_KEEPIDLE;
inline constexpr int kWsTcpKeepCount = WinSock::TCP_KEEPCNT;
inline constexpr int kWsTcpKeepInterval = WinSock::TCP_KEEPINTVL;

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

// Optimised builds get these as macros; the library has its own.
#undef htons
#undef ntohs
#undef htonl
#undef ntohl

namespace WinSock {

// Sets the calling thread's error code and returns SOCKET_ERROR.
int Fail(int code);
int FailFromErrno();
void SetLastError(int code);

// The POSIX level and option for a library option; false when there is none.
bool MapOption(int level, int option, int& posixLevel, int& posixOption);

// True while some WSAStartup is not matched by its WSACleanup.
bool LibraryStarted();
// After an accept on the listener failed for lack of descriptors: takes the waiting connection
// off the queue with the spare descriptor and closes it. False when no spare was left.
bool RefuseWaitingConnection(int listener);
// A descriptor came back: the spare is held again if it was given up.
void RestoreSpareDescriptor();

}  // namespace WinSock
