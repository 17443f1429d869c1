#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

// Each watchdog cycle holds the program's GUI thread for 250 ms: it sleeps there, then closes
// and reopens the port. The GUI thread sleeps nowhere else (its loop waits in poll), so the
// spans in which it is seen in a sleep system call are the pauses. A thread of the benchmark
// looks every 2 ms at the system call the GUI thread is in (/proc/<pid>/task/<pid>/syscall);
// each span is widened by one look on either side and by 2 ms behind it for the reopen. A
// command whose way from the send to its last board byte meets such a span counts as inside
// the pause: those sent while the GUI thread sleeps, and those sent just before that it had not
// yet taken. Where the system call cannot be read, a command that took 20 ms or more counts as
// inside: nothing else on the path takes that long.
class PauseMonitor {
 public:
  struct Span {
    std::chrono::steady_clock::time_point from, to;
  };

  explicit PauseMonitor(pid_t pid);
  ~PauseMonitor();
  bool Works() const { return works_; }
  std::vector<Span> Spans();

 private:
  bool Sleeping();
  void Watch();

  int fd_ = -1;
  std::atomic<bool> stop_{false};
  std::atomic<bool> works_{false};
  std::thread thread_;
  std::mutex lock_;
  std::vector<Span> spans_;
};
