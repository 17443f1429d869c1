#include "bench/relay/PauseMonitor.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kLook = std::chrono::milliseconds(2);
constexpr auto kReopen = std::chrono::milliseconds(2);

}  // namespace

PauseMonitor::PauseMonitor(pid_t pid) {
  const std::string path =
      "/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/syscall";
  fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ >= 0) thread_ = std::thread([this] { Watch(); });
}

PauseMonitor::~PauseMonitor() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (fd_ >= 0) close(fd_);
}

std::vector<PauseMonitor::Span> PauseMonitor::Spans() {
  std::lock_guard<std::mutex> guard(lock_);
  return spans_;
}

bool PauseMonitor::Sleeping() {
  char text[64];
  const ssize_t n = pread(fd_, text, sizeof text - 1, 0);
  if (n <= 0) return false;
  text[n] = '\0';
  works_ = true;
  const long call = std::strtol(text, nullptr, 10);
  return text[0] != 'r' && (call == SYS_clock_nanosleep || call == SYS_nanosleep);
}

void PauseMonitor::Watch() {
  bool inside = false;
  Clock::time_point first, last;
  while (!stop_) {
    const auto now = Clock::now();
    if (Sleeping()) {
      if (!inside) first = now;
      inside = true;
      last = now;
    } else if (inside) {
      inside = false;
      std::lock_guard<std::mutex> guard(lock_);
      spans_.push_back({first - kLook, last + kLook + kReopen});
    }
    std::this_thread::sleep_for(kLook);
  }
}
