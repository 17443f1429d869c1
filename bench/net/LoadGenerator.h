#pragma once
// Remote PCs for the benchmark, on plain POSIX sockets in a thread of their own: each client
// sends a relay text and waits for its echo before sending the next.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

struct LoadResult {
  std::vector<double> roundTripsMs;
  double seconds = 0;
  long commands = 0;
  long mismatches = 0;  // echoes that were lost, cut or out of order
};

class LoadGenerator {
 public:
  LoadGenerator(uint16_t port, int clients);
  ~LoadGenerator();

  // Connects the clients one by one; accepted() tells how many the server has taken so far,
  // so that the short listen queue never overflows.
  bool ConnectAll(const std::function<int()>& accepted);
  // Runs until every client has had commandsPerClient echoes. With an interval, each client
  // sends its next text that long after its previous one (or at once when the echo came later),
  // the clients spread evenly over the interval; without one, each sends as soon as its echo is
  // in (the server's saturation).
  LoadResult Run(int commandsPerClient, std::chrono::microseconds interval = {});
  void CloseAll();

 private:
  uint16_t port_;
  int clientCount_;
  std::vector<int> fds_;
};

// Resident memory of the process in KiB.
long ResidentKiB();
// Raises the soft descriptor limit to the hard one; returns the new soft limit.
long RaiseDescriptorLimit();
