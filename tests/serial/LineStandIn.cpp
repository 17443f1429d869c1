#include "serial/LineStandIn.h"

#include <asm/termbits.h>
#include <dlfcn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <map>
#include <mutex>

namespace {

using Clock = std::chrono::steady_clock;

// The write buffer of a USB-serial adapter's driver.
constexpr size_t kDriverBuffer = 4096;

struct Line {
  dev_t device = 0;
  double bytesPerSecond = 0;
  std::string held;
  std::string sent;
  std::vector<size_t> writes;
  size_t mostHeld = 0;
  size_t heldAtClose = 0;
  size_t flushed = 0;
  bool stalled = false;
  Clock::time_point lastUpdate;
  double credit = 0;
  // Descriptors already looked at: whether each is the line's device.
  std::map<int, bool> descriptors;

  // Moves what the line has sent since the last look from the buffer to the far end.
  void Update() {
    const Clock::time_point now = Clock::now();
    if (!stalled && !held.empty()) {
      credit += std::chrono::duration<double>(now - lastUpdate).count() * bytesPerSecond;
      const size_t leaving = std::min(held.size(), static_cast<size_t>(credit));
      sent.append(held, 0, leaving);
      held.erase(0, leaving);
      credit -= static_cast<double>(leaving);
    }
    // An idle line saves no time for later.
    if (stalled || held.empty()) credit = 0;
    lastUpdate = now;
  }
};

std::mutex lineLock;
Line* line = nullptr;

// The C library's own function of that name, which the stand-ins below hide.
template <typename Function>
Function Real(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

// The line if fd is a descriptor of its device; with lineLock held.
Line* LineOf(int fd) {
  if (line == nullptr || fd < 0) return nullptr;
  auto known = line->descriptors.find(fd);
  if (known == line->descriptors.end()) {
    struct stat status;
    const bool ours =
        fstat(fd, &status) == 0 && S_ISCHR(status.st_mode) && status.st_rdev == line->device;
    known = line->descriptors.emplace(fd, ours).first;
  }
  return known->second ? line : nullptr;
}

}  // namespace

extern "C" ssize_t write(int fd, const void* buffer, size_t count) {
  {
    std::lock_guard<std::mutex> guard(lineLock);
    if (Line* device = LineOf(fd)) {
      device->Update();
      const size_t taken = std::min(count, kDriverBuffer - device->held.size());
      if (taken == 0) {
        errno = EAGAIN;
        return -1;
      }
      device->held.append(static_cast<const char*>(buffer), taken);
      device->writes.push_back(taken);
      device->mostHeld = std::max(device->mostHeld, device->held.size());
      return static_cast<ssize_t>(taken);
    }
  }
  static const auto realWrite = Real<ssize_t (*)(int, const void*, size_t)>("write");
  return realWrite(fd, buffer, count);
}

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept {
  va_list arguments;
  va_start(arguments, request);
  void* argument = va_arg(arguments, void*);
  va_end(arguments);
  {
    std::lock_guard<std::mutex> guard(lineLock);
    if (Line* device = LineOf(fd)) {
      device->Update();
      if (request == TIOCOUTQ) {
        *static_cast<int*>(argument) = static_cast<int>(device->held.size());
        return 0;
      }
      const int queue = static_cast<int>(reinterpret_cast<intptr_t>(argument));
      if (request == TCFLSH && (queue == TCOFLUSH || queue == TCIOFLUSH)) {
        device->flushed += device->held.size();
        device->held.clear();
      }
    }
  }
  static const auto realIoctl = Real<int (*)(int, unsigned long, ...)>("ioctl");
  return realIoctl(fd, request, argument);
}

extern "C" int close(int fd) {
  {
    std::lock_guard<std::mutex> guard(lineLock);
    if (Line* device = LineOf(fd)) {
      device->Update();
      device->heldAtClose += device->held.size();
    }
    if (line != nullptr) line->descriptors.erase(fd);
  }
  static const auto realClose = Real<int (*)(int)>("close");
  return realClose(fd);
}

LineStandIn::LineStandIn(const std::string& slavePath, unsigned baud) {
  struct stat status;
  auto* created = new Line;
  if (stat(slavePath.c_str(), &status) == 0) created->device = status.st_rdev;
  // Start bit, eight data bits, stop bit.
  created->bytesPerSecond = baud / 10.0;
  created->lastUpdate = Clock::now();
  std::lock_guard<std::mutex> guard(lineLock);
  line = created;
}

LineStandIn::~LineStandIn() {
  std::lock_guard<std::mutex> guard(lineLock);
  delete line;
  line = nullptr;
}

std::string LineStandIn::Sent() {
  std::lock_guard<std::mutex> guard(lineLock);
  line->Update();
  return line->sent;
}

std::vector<size_t> LineStandIn::Writes() {
  std::lock_guard<std::mutex> guard(lineLock);
  return line->writes;
}

size_t LineStandIn::MostHeld() {
  std::lock_guard<std::mutex> guard(lineLock);
  return line->mostHeld;
}

size_t LineStandIn::HeldAtClose() {
  std::lock_guard<std::mutex> guard(lineLock);
  return line->heldAtClose;
}

size_t LineStandIn::Flushed() {
  std::lock_guard<std::mutex> guard(lineLock);
  return line->flushed;
}

void LineStandIn::Stall(bool stalled) {
  std::lock_guard<std::mutex> guard(lineLock);
  line->Update();
  line->stalled = stalled;
}
