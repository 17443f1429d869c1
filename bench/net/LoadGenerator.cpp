#include "bench/net/LoadGenerator.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <queue>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

std::string CommandText(long sequence) {
  char text[8];
  std::snprintf(text, sizeof text, "%02ld%c//", sequence % 16 + 1, sequence % 2 ? '-' : '+');
  return text;
}

struct ClientState {
  long sent = 0;
  std::string expected;
  std::string received;
  Clock::time_point sentAt;
};

}  // namespace

LoadGenerator::LoadGenerator(uint16_t port, int clients) : port_(port), clientCount_(clients) {}

LoadGenerator::~LoadGenerator() {
  CloseAll();
}

bool LoadGenerator::ConnectAll(const std::function<int()>& accepted) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port_);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  for (int i = 0; i < clientCount_; ++i) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      ::close(fd);
      return false;
    }
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    fds_.push_back(fd);
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
    const std::string text = CommandText(state.sent + static_cast<long>(index));
    state.expected = text;
    state.received.clear();
    state.sentAt = Clock::now();
    ++state.sent;
    if (::send(fds_[index], text.data(), text.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(text.size())) {
      ++result.mismatches;
    }
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
  char buffer[256];
  while (finished < fds_.size()) {
    for (auto now = Clock::now(); !due.empty() && due.top().first <= now; now = Clock::now()) {
      sendNext(due.top().second);
      due.pop();
    }
    // Waits to the microsecond, so that paced sends do not bunch up.
    timespec wait{5, 0};
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
      std::fprintf(stderr, "load generator: no echo for 5 s, %zu clients unfinished\n",
                   fds_.size() - finished);
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
      if (state.sent < commandsPerClient) {
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

long ResidentKiB() {
  long pages = 0, resident = 0;
  FILE* statm = std::fopen("/proc/self/statm", "r");
  if (!statm) return 0;
  if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
  std::fclose(statm);
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

long RaiseDescriptorLimit() {
  rlimit limit{};
  ::getrlimit(RLIMIT_NOFILE, &limit);
  limit.rlim_cur = limit.rlim_max;
  ::setrlimit(RLIMIT_NOFILE, &limit);
  ::getrlimit(RLIMIT_NOFILE, &limit);
  return static_cast<long>(limit.rlim_cur);
}
