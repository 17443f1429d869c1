#pragma once
// Remote PCs for the benchmarks, on plain POSIX sockets on loopback: each client sends a relay
// text and waits for its exact echo before sending the next.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// "01+//" to "16+//", then "01-//" to "16-//": every relay on, then every relay off, and so on.
std::string CommandText(long sequence);

// A client connected to the port on 127.0.0.1, without Nagle's delay; -1 when refused.
int ConnectClient(uint16_t port);
bool WaitUntilListening(uint16_t port, int timeoutMs);
// Raises the soft descriptor limit to the hard one; returns the new soft limit.
long RaiseDescriptorLimit();

struct LoadResult {
  std::vector<double> roundTripsMs;
  double seconds = 0;
  long commands = 0;
  long mismatches = 0;  // echoes that were lost, cut or out of order

  double PerSecond() const { return seconds > 0 ? static_cast<double>(commands) / seconds : 0; }
};

class LoadGenerator {
 public:
  explicit LoadGenerator(uint16_t port);
  ~LoadGenerator();
  LoadGenerator(const LoadGenerator&) = delete;
  LoadGenerator& operator=(const LoadGenerator&) = delete;

  // Connects the clients one by one, so that the server's short listen queue never overflows:
  // each waits until accepted() tells that the server has taken it or, without accepted, until
  // one relay text of its own has come back exactly.
  bool ConnectAll(int clients, const std::function<int()>& accepted = {});
  // Runs until every client has had commandsPerClient echoes. With an interval, each client
  // sends its next text that long after its previous one (or at once when the echo came later),
  // the clients spread evenly over the interval; without one, each sends as soon as its echo is
  // in (the server's saturation).
  LoadResult Run(int commandsPerClient, std::chrono::microseconds interval = {});
  void CloseAll();
  // Relay texts sent so far, the connections' own included.
  long Sent() const { return sent_; }

 private:
  uint16_t port_;
  std::vector<int> fds_;
  long sent_ = 0;
};
