// The library's start-up count, and the spare descriptor held while it is started.
#include "platform/SocketPosix.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace WinSock {
namespace {

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

bool LibraryStarted() {
  return libraryUsers.load(std::memory_order_relaxed) > 0;
}

bool RefuseWaitingConnection(int listener) {
  std::lock_guard<std::mutex> guard(spareLock);
  if (spareDescriptor < 0) return false;
  CloseSpare();
  const int refused = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
  if (refused >= 0) ::close(refused);
  OpenSpare();
  return true;
}

void RestoreSpareDescriptor() {
  std::lock_guard<std::mutex> guard(spareLock);
  if (LibraryStarted()) OpenSpare();
}

}  // namespace WinSock
