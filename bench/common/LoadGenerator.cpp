#include "bench/common/LoadGenerator.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <queue>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kStallMs = 5000;

bool SendText(int fd, const std::string& text) {
  return ::send(fd, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
}

bool AwaitExactly(int fd, const std::string& expected) {
  std::string received;
  const auto deadline = Clock::now() + std::chrono::milliseconds(kStallMs);
  while (received.size() < expected.size()) {
    if (Clock::now() > deadline) return false;
    pollfd ready{fd, POLLIN, 0};
    if (::poll(&ready, 1, 100) <= 0) continue;
    char buffer[256];
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) return false;
    received.append(buffer, static_cast<size_t>(n));
  }
  return received == expected;
}

struct ClientState {
  long done = 0;
  std::string expected;
  std::string received;
  Clock::time_point sentAt;
};

}  // namespace

std::string CommandText(long sequence) {
  char text[8];
  std::snprintf(text, sizeof text, "%02ld%c//", sequence % 16 + 1, (sequence / 16) % 2 ? '-' : '+');
  return text;
}

int ConnectClient(uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  const int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return fd;
}

bool WaitUntilListening(uint16_t port, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (Clock::now() < deadline) {
    const int fd = ConnectClient(port);
    if (fd >= 0) {
      ::close(fd);
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

long RaiseDescriptorLimit() {
  rlimit limit{};
  ::getrlimit(RLIMIT_NOFILE, &limit);
  limit.rlim_cur = limit.rlim_max;
  ::setrlimit(RLIMIT_NOFILE, &limit);
  ::getrlimit(RLIMIT_NOFILE, &limit);
  return static_cast<long>(limit.rlim_cur);
}

LoadGenerator::LoadGenerator(uint16_t port) : port_(port) {}

LoadGenerator::~LoadGenerator() {
  CloseAll();
}

bool LoadGenerator::ConnectAll(int clients, const std::function<int()>& accepted) {
  for (int i = 0; i < clients; ++i) {
    const int fd = ConnectClient(port_);
    if (fd < 0) return false;
    fds_.push_back(fd);
    if (!accepted) {
      const std::string text = CommandText(sent_++);
      if (!SendText(fd, text) || !AwaitExactly(fd, text)) return false;
      continue;
    }
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (accepted() < i + 1) {
      if (Clock::now() > deadline) return false;
      std::this_thread::yield();
    }
  }
  return true;
}

LoadResult LoadGenerator::Run(int commandsPerClient, std::chrono::microseconds interval) {
  LoadResult result;
  const int epoll = ::epoll_create1(EPOLL_CLOEXEC);
  std::vector<ClientState> states(fds_.size());
  auto sendNext = [&](size_t index) {
    ClientState& state = states[index];
    state.expected = CommandText(sent_++);
    state.received.clear();
    state.sentAt = Clock::now();
    if (!SendText(fds_[index], state.expected)) ++result.mismatches;
  };
  for (size_t i = 0; i < fds_.size(); ++i) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = i;
    ::epoll_ctl(epoll, EPOLL_CTL_ADD, fds_[i], &event);
  }
  result.roundTripsMs.reserve(fds_.size() * static_cast<size_t>(commandsPerClient));
  const auto start = Clock::now();
  // Sends that wait for their time, earliest first.
  using Due = std::pair<Clock::time_point, size_t>;
  std::priority_queue<Due, std::vector<Due>, std::greater<Due>> due;
  if (interval.count() == 0) {
    for (size_t i = 0; i < fds_.size(); ++i) sendNext(i);
  } else {
    for (size_t i = 0; i < fds_.size(); ++i) {
      due.push({start + interval * static_cast<long>(i) / static_cast<long>(fds_.size()), i});
    }
  }
  size_t finished = 0;
  std::vector<epoll_event> events(256);
  char buffer[512];
  while (finished < fds_.size()) {
    for (auto now = Clock::now(); !due.empty() && due.top().first <= now; now = Clock::now()) {
      sendNext(due.top().second);
      due.pop();
    }
    // Waits to the microsecond, so that paced sends do not bunch up.
    timespec wait{kStallMs / 1000, 0};
    if (!due.empty()) {
      const long ns = std::max<long>(
          0, std::chrono::duration_cast<std::chrono::nanoseconds>(due.top().first - Clock::now())
                 .count());
      wait = timespec{ns / 1000000000L, ns % 1000000000L};
    }
    const int n =
        ::epoll_pwait2(epoll, events.data(), static_cast<int>(events.size()), &wait, nullptr);
    if (n == 0 && !due.empty()) continue;
    if (n <= 0) {
      std::fprintf(stderr, "load generator: no echo for %d s, %zu clients unfinished\n",
                   kStallMs / 1000, fds_.size() - finished);
      result.mismatches += static_cast<long>(fds_.size() - finished);
      break;
    }
    const auto now = Clock::now();
    for (int e = 0; e < n; ++e) {
      const size_t index = events[e].data.u64;
      ClientState& state = states[index];
      const ssize_t got = ::recv(fds_[index], buffer, sizeof buffer, MSG_DONTWAIT);
      if (got <= 0) continue;
      state.received.append(buffer, static_cast<size_t>(got));
      if (state.received.size() < state.expected.size()) continue;
      if (state.received != state.expected) ++result.mismatches;
      result.roundTripsMs.push_back(
          std::chrono::duration<double, std::milli>(now - state.sentAt).count());
      ++result.commands;
      if (++state.done < commandsPerClient) {
        if (interval.count() == 0) {
          sendNext(index);
        } else {
          due.push({std::max(now, state.sentAt + interval), index});
        }
      } else {
        ++finished;
      }
    }
  }
  result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  ::close(epoll);
  return result;
}

void LoadGenerator::CloseAll() {
  for (int fd : fds_) ::close(fd);
  fds_.clear();
}
