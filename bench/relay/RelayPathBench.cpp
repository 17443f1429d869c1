// The relay server's real command path, beside a plain TCP-to-serial proxy in the same run.
//
// The benchmark makes a private machine of its own (tests/support/PrivateSystem.h): its own /dev
// with a pseudo-terminal, left in the kernel's default mode, behind /dev/ttyUSB0 as the relay
// board, and its own loopback. On it, once headless (Qt's offscreen platform) and once on a
// screen (a virtual X server, the xcb platform), it
// - runs ser2net with the pseudo-terminal as its serial device and measures, with one client,
//   the time from the client's send of a relay text to the last of its bytes on the board;
// - then runs the released relay server program, as a user starts it, on the same
//   pseudo-terminal, and measures the same time and the echo round trip with one client (the
//   two servers take turns, in rounds, since only one can hold the port);
// - then runs the program once more and measures the commands per second with 1, 100 and 1000
// clients, each sending again as soon as its echo is
//   in, with every echo and every board byte checked; the CPU time of the program's GUI thread
//   per command; the growth of its resident memory per logged command; the GUI thread's cost
//   per command with about 1,000 and with 100,000 (or, with --long, 1,000,000) commands in the
//   log; and its CPU use while it sits idle with the port watchdog running.
//
// The single client sends a relay text, waits for the last board byte (and for the echo, when
// the server echoes), then waits a random time of up to 2 ms, so that the commands meet the
// program in every phase of its display frames, as commands from people would. For the single
// client's commands per second it sends back to back instead, for at least 2.5 s per round, so
// that the relay server's figure includes the watchdog's pauses as its clients meet them (about
// a fifth of the time). The commands per second with 100 and 1000 clients include them too.
//
// Options: --long (fill the log to 1,000,000 commands), --samples N (single-client commands,
// 10,000), --idle S (seconds of idle measurement, 30), --headless or --screen (only one of the
// two platforms), --dump DIR (every single-client sample of both servers, one file each),
// --latency-only (the single-client figures alone), --program PATH (another build of the relay
// server, for comparing builds), --rounds N (5, at least 5: the single-client commands are split
// into N rounds, each with ser2net first and then the relay server, started afresh).
//
// Each single-client figure is printed as the minimum, median and maximum of the rounds, for
// both servers and for their ratio within a round; the median ratio is held against its target.
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <dirent.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/ChildProcess.h"
#include "support/PrivateSystem.h"
#include "support/PseudoTerminal.h"
#include "support/RelayProgram.h"
#include "support/VirtualScreen.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint16_t kRelayPort = 1028;
constexpr uint16_t kProxyPort = 2028;
constexpr int kStallMs = 5000;
// A client sending back to back does so for at least this long per round: two cycles of the
// port watchdog, whose pause is part of what the relay server's client gets.
constexpr double kBackToBackSeconds = 2.5;

double Micros(Clock::duration duration) {
  return std::chrono::duration<double, std::micro>(duration).count();
}

// "01+//" to "16-//", every relay on, then every relay off, and so on.
std::string CommandText(long n) {
  char text[8];
  std::snprintf(text, sizeof text, "%02ld%c//", n % 16 + 1, (n / 16) % 2 ? '-' : '+');
  return text;
}

double Percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return NAN;
  const size_t index = std::min(values.size() - 1,
                                static_cast<size_t>(fraction * static_cast<double>(values.size())));
  std::nth_element(values.begin(), values.begin() + static_cast<long>(index), values.end());
  return values[index];
}

// --- What the kernel tells of a process -------------------------------------------------------

std::string ProcPath(pid_t pid, const std::string& rest) {
  return "/proc/" + std::to_string(pid) + "/" + rest;
}

// CPU time of one thread in nanoseconds (the scheduler's own account).
uint64_t ThreadCpuNs(pid_t pid, pid_t tid) {
  std::ifstream file(ProcPath(pid, "task/" + std::to_string(tid) + "/schedstat"));
  uint64_t ns = 0;
  file >> ns;
  return ns;
}

// CPU time of every thread of the process in nanoseconds.
uint64_t ProcessCpuNs(pid_t pid) {
  uint64_t sum = 0;
  DIR* tasks = opendir(ProcPath(pid, "task").c_str());
  if (!tasks) return 0;
  while (const dirent* entry = readdir(tasks)) {
    if (entry->d_name[0] == '.') continue;
    sum += ThreadCpuNs(pid, static_cast<pid_t>(std::atol(entry->d_name)));
  }
  closedir(tasks);
  return sum;
}

long ResidentBytes(pid_t pid) {
  std::ifstream statm(ProcPath(pid, "statm"));
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

// --- The watchdog's pause ---------------------------------------------------------------------

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
    Clock::time_point from, to;
  };

  explicit PauseMonitor(pid_t pid) {
    const std::string path = ProcPath(pid, "task/" + std::to_string(pid) + "/syscall");
    fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ >= 0) thread_ = std::thread([this] { Watch(); });
  }
  ~PauseMonitor() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (fd_ >= 0) close(fd_);
  }
  bool Works() const { return works_; }
  std::vector<Span> Spans() {
    std::lock_guard<std::mutex> guard(lock_);
    return spans_;
  }

 private:
  static constexpr auto kLook = std::chrono::milliseconds(2);
  static constexpr auto kReopen = std::chrono::milliseconds(2);

  bool Sleeping() {
    char text[64];
    const ssize_t n = pread(fd_, text, sizeof text - 1, 0);
    if (n <= 0) return false;
    text[n] = '\0';
    works_ = true;
    const long call = std::strtol(text, nullptr, 10);
    return text[0] != 'r' && (call == SYS_clock_nanosleep || call == SYS_nanosleep);
  }

  void Watch() {
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

  int fd_ = -1;
  std::atomic<bool> stop_{false};
  std::atomic<bool> works_{false};
  std::thread thread_;
  std::mutex lock_;
  std::vector<Span> spans_;
};

// --- Clients and the board --------------------------------------------------------------------

int Connect(uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  const int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  return fd;
}

bool WaitUntilListening(uint16_t port, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (Clock::now() < deadline) {
    const int fd = Connect(port);
    if (fd >= 0) {
      close(fd);
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

// Reads what the board gets in a thread of its own, so that the pseudo-terminal never fills up
// while many clients send. It reads at most once a millisecond: a thread woken for every byte
// would cost the machine more than a board does (the kernel holds several kilobytes meanwhile,
// some seconds of relay texts at the 100-client rate).
class BoardDrain {
 public:
  explicit BoardDrain(int master) : master_(master) {
    thread_ = std::thread([this] {
      char buffer[65536];
      while (!stop_) {
        pollfd ready{master_, POLLIN, 0};
        if (poll(&ready, 1, 20) <= 0) continue;
        const ssize_t n = read(master_, buffer, sizeof buffer);
        if (n > 0) bytes_ += n;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
  }
  ~BoardDrain() { Stop(); }
  long Stop() {
    if (thread_.joinable()) {
      // What is still on its way arrives within a few milliseconds.
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      stop_ = true;
      thread_.join();
    }
    return bytes_;
  }

 private:
  int master_;
  std::atomic<bool> stop_{false};
  std::atomic<long> bytes_{0};
  std::thread thread_;
};

// Connected clients, each confirmed by one command and its echo before the next connects, so
// that the server's short listen queue never overflows.
struct Clients {
  std::vector<int> fds;
  long sent = 0;
  ~Clients() { CloseAll(); }
  void CloseAll() {
    for (const int fd : fds) close(fd);
    fds.clear();
  }
};

bool AwaitExactly(int fd, const std::string& expected) {
  std::string received;
  const auto deadline = Clock::now() + std::chrono::milliseconds(kStallMs);
  while (received.size() < expected.size()) {
    pollfd ready{fd, POLLIN, 0};
    if (Clock::now() > deadline) return false;
    if (poll(&ready, 1, 100) <= 0) continue;
    char buffer[256];
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) return false;
    received.append(buffer, static_cast<size_t>(n));
  }
  return received == expected;
}

bool ConnectClients(Clients& clients, int count, uint16_t port) {
  for (int i = 0; i < count; ++i) {
    const int fd = Connect(port);
    if (fd < 0) return false;
    clients.fds.push_back(fd);
    const std::string text = CommandText(clients.sent++);
    if (send(fd, text.data(), text.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(text.size()) ||
        !AwaitExactly(fd, text)) {
      return false;
    }
  }
  return true;
}

// Busy time of every processor of the machine in nanoseconds (all but idle and I/O wait).
uint64_t MachineBusyNs() {
  std::ifstream stat("/proc/stat");
  std::string cpu;
  uint64_t user = 0, nice = 0, system = 0, idle = 0, iowait = 0, irq = 0, softirq = 0, steal = 0;
  stat >> cpu >> user >> nice >> system >> idle >> iowait >> irq >> softirq >> steal;
  return (user + nice + system + irq + softirq + steal) * (1000000000 / sysconf(_SC_CLK_TCK));
}

uint64_t ThisThreadCpuNs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000000000 + static_cast<uint64_t>(now.tv_nsec);
}

struct LoadResult {
  long commands = 0;
  long badEchoes = 0;
  double seconds = 0;
  uint64_t guiCpuNs = 0;
  // Where the processors' time went: the whole program, the clients (this thread), the machine.
  uint64_t programCpuNs = 0, clientCpuNs = 0, machineBusyNs = 0;
  double PerCommandUs(uint64_t ns) const {
    return commands > 0 ? static_cast<double>(ns) / 1000.0 / static_cast<double>(commands) : 0;
  }
  double PerSecond() const { return seconds > 0 ? static_cast<double>(commands) / seconds : 0; }
  double GuiNsPerCommand() const {
    return commands > 0 ? static_cast<double>(guiCpuNs) / static_cast<double>(commands) : 0;
  }
};

// Every client sends a relay text and sends the next as soon as the exact echo is in, until each
// has had commandsPerClient echoes.
LoadResult RunLoad(Clients& clients, int commandsPerClient, pid_t pid) {
  LoadResult result;
  struct State {
    std::string expected, received;
    int done = 0;
  };
  std::vector<State> states(clients.fds.size());
  const int epoll = epoll_create1(EPOLL_CLOEXEC);
  auto sendNext = [&](size_t i) {
    State& state = states[i];
    state.expected = CommandText(clients.sent++ + static_cast<long>(i));
    state.received.clear();
    if (send(clients.fds[i], state.expected.data(), state.expected.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(state.expected.size()))
      ++result.badEchoes;
  };
  for (size_t i = 0; i < clients.fds.size(); ++i) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = i;
    epoll_ctl(epoll, EPOLL_CTL_ADD, clients.fds[i], &event);
  }
  const uint64_t cpuBefore = ThreadCpuNs(pid, pid), programBefore = ProcessCpuNs(pid),
                 clientBefore = ThisThreadCpuNs(), machineBefore = MachineBusyNs();
  const auto start = Clock::now();
  for (size_t i = 0; i < clients.fds.size(); ++i) sendNext(i);
  size_t finished = 0;
  std::vector<epoll_event> events(256);
  char buffer[512];
  while (finished < clients.fds.size()) {
    const int n = epoll_wait(epoll, events.data(), static_cast<int>(events.size()), kStallMs);
    if (n <= 0) {
      std::printf("  no echo for %d s; %zu clients unfinished\n", kStallMs / 1000,
                  clients.fds.size() - finished);
      result.badEchoes += static_cast<long>(clients.fds.size() - finished);
      break;
    }
    for (int e = 0; e < n; ++e) {
      const size_t i = events[e].data.u64;
      State& state = states[i];
      const ssize_t got = recv(clients.fds[i], buffer, sizeof buffer, MSG_DONTWAIT);
      if (got <= 0) continue;
      state.received.append(buffer, static_cast<size_t>(got));
      if (state.received.size() < state.expected.size()) continue;
      if (state.received != state.expected) ++result.badEchoes;
      ++result.commands;
      if (++state.done < commandsPerClient) {
        sendNext(i);
      } else {
        ++finished;
      }
    }
  }
  result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  result.guiCpuNs = ThreadCpuNs(pid, pid) - cpuBefore;
  result.programCpuNs = ProcessCpuNs(pid) - programBefore;
  result.clientCpuNs = ThisThreadCpuNs() - clientBefore;
  result.machineBusyNs = MachineBusyNs() - machineBefore;
  close(epoll);
  return result;
}

// The cost per command at one size of the log: seven batches of 20 commands per client, the one
// with the median GUI-thread time per command, so that a moment in which the machine is slower
// (or a batch that meets the watchdog's pause) does not decide the figure.
LoadResult MedianOfBatches(Clients& clients, pid_t pid) {
  std::vector<LoadResult> batches;
  for (int i = 0; i < 7; ++i) batches.push_back(RunLoad(clients, 20, pid));
  std::sort(batches.begin(), batches.end(), [](const LoadResult& a, const LoadResult& b) {
    return a.GuiNsPerCommand() < b.GuiNsPerCommand();
  });
  return batches[batches.size() / 2];
}

// --- One client, send to board ----------------------------------------------------------------

struct Sample {
  Clock::time_point sent;
  double boardUs = 0;
  double echoUs = 0;
  bool inPause = false;
};

struct SingleClientRun {
  std::vector<Sample> samples;
  long bad = 0;
  double seconds = 0;
  uint64_t guiCpuNs = 0;
  uint64_t processCpuNs = 0;
  int pauses = 0;
  bool pausesSeen = false;

  std::vector<double> Board(bool includePauses) const {
    std::vector<double> values;
    for (const Sample& s : samples)
      if (includePauses || !s.inPause) values.push_back(s.boardUs);
    return values;
  }
  std::vector<double> Echo() const {
    std::vector<double> values;
    for (const Sample& s : samples) values.push_back(s.echoUs);
    return values;
  }
  long InPause() const {
    return std::count_if(samples.begin(), samples.end(), [](const Sample& s) { return s.inPause; });
  }
  double PerSecond() const {
    return seconds > 0 ? static_cast<double>(samples.size()) / seconds : 0;
  }
  void Merge(const SingleClientRun& other) {
    samples.insert(samples.end(), other.samples.begin(), other.samples.end());
    bad += other.bad;
    seconds += other.seconds;
    guiCpuNs += other.guiCpuNs;
    processCpuNs += other.processCpuNs;
    pauses += other.pauses;
    pausesSeen = pausesSeen || other.pausesSeen;
  }
};

// One client sends count relay texts, each after the previous one's last board byte (and echo,
// when the server echoes) and a random wait of up to maxGapUs; and goes on sending until
// minSeconds have passed.
SingleClientRun RunSingleClient(int master, uint16_t port, bool echoes, int count, int maxGapUs,
                                double minSeconds, pid_t pid, std::mt19937& random) {
  SingleClientRun run;
  const int fd = Connect(port);
  if (fd < 0) {
    run.bad = count;
    return run;
  }
  // Whatever the connection brought to the board (nothing, for either server) is not counted.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  {
    char buffer[4096];
    while (read(master, buffer, sizeof buffer) > 0) {
    }
  }
  PauseMonitor monitor(pid);
  std::uniform_int_distribution<int> gap(0, maxGapUs);
  run.samples.reserve(static_cast<size_t>(count));
  const uint64_t guiBefore = ThreadCpuNs(pid, pid);
  const uint64_t processBefore = ProcessCpuNs(pid);
  const auto start = Clock::now();
  const auto end = start + std::chrono::microseconds(static_cast<long>(minSeconds * 1e6));
  for (int i = 0; i < count || Clock::now() < end; ++i) {
    const std::string text = CommandText(i);
    std::string board, echo;
    Sample sample;
    sample.sent = Clock::now();
    if (send(fd, text.data(), text.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(text.size())) {
      ++run.bad;
      break;
    }
    bool boardDone = false, echoDone = !echoes;
    while (!boardDone || !echoDone) {
      pollfd ready[2] = {{master, POLLIN, 0}, {fd, POLLIN, 0}};
      if (poll(ready, echoes ? 2 : 1, kStallMs) <= 0) break;
      char buffer[256];
      if (ready[0].revents & POLLIN) {
        const ssize_t n = read(master, buffer, sizeof buffer);
        if (n > 0) board.append(buffer, static_cast<size_t>(n));
        if (!boardDone && board.size() >= text.size()) {
          boardDone = true;
          sample.boardUs = Micros(Clock::now() - sample.sent);
        }
      }
      if (echoes && (ready[1].revents & POLLIN)) {
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n > 0) echo.append(buffer, static_cast<size_t>(n));
        if (!echoDone && echo.size() >= text.size()) {
          echoDone = true;
          sample.echoUs = Micros(Clock::now() - sample.sent);
        }
      }
    }
    if (!boardDone || !echoDone || board != text || (echoes && echo != text)) {
      ++run.bad;
      if (!boardDone || !echoDone) break;
      continue;
    }
    run.samples.push_back(sample);
    if (maxGapUs > 0) std::this_thread::sleep_for(std::chrono::microseconds(gap(random)));
  }
  run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  run.guiCpuNs = ThreadCpuNs(pid, pid) - guiBefore;
  run.processCpuNs = ProcessCpuNs(pid) - processBefore;
  close(fd);

  run.pausesSeen = monitor.Works();
  const std::vector<PauseMonitor::Span> spans = monitor.Spans();
  run.pauses = static_cast<int>(spans.size());
  for (Sample& s : run.samples) {
    if (!run.pausesSeen) {
      s.inPause = s.boardUs >= 20000;
      continue;
    }
    const auto boardAt = s.sent + std::chrono::microseconds(static_cast<long>(s.boardUs));
    s.inPause = std::any_of(spans.begin(), spans.end(), [&](const PauseMonitor::Span& span) {
      return s.sent <= span.to && boardAt >= span.from;
    });
  }
  return run;
}

// With TV_BENCH_PIN set, each server runs on the last processor and the benchmark's clients on
// the others, the same for both servers.
bool Pinning() {
  return std::getenv("TV_BENCH_PIN") != nullptr && std::thread::hardware_concurrency() > 1;
}

void RunOnProcessors(int from, int to) {
  cpu_set_t set;
  CPU_ZERO(&set);
  for (int i = from; i <= to; ++i) CPU_SET(i, &set);
  sched_setaffinity(0, sizeof set, &set);
}

// Starts a server, on the last processor when pinning; the server's threads inherit it.
template <class Start>
bool StartServer(Start start) {
  const int last = static_cast<int>(std::thread::hardware_concurrency()) - 1;
  if (Pinning()) RunOnProcessors(last, last);
  const bool started = start();
  if (Pinning()) RunOnProcessors(0, last - 1);
  return started;
}

// --- The peer ---------------------------------------------------------------------------------

std::string Ser2netProgram() {
  for (const char* path : {"/usr/sbin/ser2net", "/usr/bin/ser2net", "/usr/local/sbin/ser2net"})
    if (access(path, X_OK) == 0) return path;
  return "";
}

struct PeerFigures {
  bool measured = false;
  SingleClientRun paced, backToBack;
};

PeerFigures MeasureSer2net(const std::string& program, PseudoTerminal& board, int samples,
                           std::mt19937& random) {
  PeerFigures figures;
  const std::string config = "/tmp/tallyvane-bench-ser2net.yaml";
  {
    std::ofstream file(config);
    // The board's line as the relay server sets it.
    file << "connection: &relay\n"
            "  accepter: tcp,127.0.0.1,"
         << kProxyPort
         << "\n"
            "  connector: serialdev,/dev/ttyUSB0,14400n81,local\n"
            "  options:\n"
            "    kickolduser: true\n";
  }
  ChildProcess ser2net;
  // -u: no lock file in the machine's /var/lock.
  if (!StartServer([&] {
        return ser2net.Start(
            program, {"-n", "-u", "-c", config, "-P", "/tmp/tallyvane-bench-ser2net.pid"}, {});
      })) {
    std::printf("ser2net did not start\n");
    return figures;
  }
  if (!WaitUntilListening(kProxyPort, 10000)) {
    std::printf("ser2net did not listen: %s\n", ser2net.StandardError().c_str());
    return figures;
  }
  figures.paced =
      RunSingleClient(board.MasterFd(), kProxyPort, false, samples, 2000, 0, ser2net.Pid(), random);
  figures.backToBack = RunSingleClient(board.MasterFd(), kProxyPort, false, samples, 0,
                                       kBackToBackSeconds, ser2net.Pid(), random);
  figures.measured = figures.paced.bad == 0 && !figures.paced.samples.empty();
  if (figures.paced.bad > 0 || figures.backToBack.bad > 0)
    std::printf("ser2net: %ld commands did not reach the board intact\n",
                figures.paced.bad + figures.backToBack.bad);
  ser2net.Signal(SIGTERM);
  if (ser2net.WaitForExit(2000) < 0) ser2net.Signal(SIGKILL);
  ser2net.WaitForExit(5000);
  return figures;
}

// --- The relay server -------------------------------------------------------------------------

struct ProgramFigures {
  bool measured = false;
  SingleClientRun paced, backToBack;
  LoadResult early, hundred, thousand, late;
  bool thousandConnected = false;
  long boardBytesExpected = 0, boardBytes = 0;
  double bytesPerCommand = 0;  // resident growth over the 100-client run
  long memoryCommands = 0;
  double bytesPerCommandLong = 0;  // from before the 100-client run to the end of the fill
  long longCommands = 0;
  long loggedAtLate = 0;
  double idleSeconds = 0, idleProcessCpu = 0, idleGuiCpu = 0;
};

struct Options {
  bool longRun = false, latencyOnly = false;
  int samples = 10000, idleSeconds = 30, rounds = 5;
  std::string program = TALLYVANE_BINARY;
};

// The program leaves the port in exclusive mode when it ends (the system releases the port, but
// the pseudo-terminal stays open on the board's side), so that its next start would find the
// port taken. The board takes the mode off as a replugged adapter would come up without it; a
// benchmark without the privilege to open an exclusive terminal replugs the board instead.
void ReleaseExclusiveMode(PseudoTerminal& board) {
  const int fd = open(board.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    board.Replug();
    return;
  }
  ioctl(fd, TIOCNXCL);
  close(fd);
}

bool StartProgram(RelayProgram& program, const std::map<std::string, std::string>& environment,
                  PseudoTerminal& board, const Options& options) {
  ReleaseExclusiveMode(board);
  if (!StartServer([&] { return program.Start(environment, options.program); }) ||
      !program.WaitUntilListening()) {
    std::printf("the relay server did not start: %s\n", program.StandardError().c_str());
    return false;
  }
  if (board.WaitForBytes(3, 5000) != "?//") std::printf("the board was not greeted\n");
  // The window comes up and draws for the first time.
  std::this_thread::sleep_for(std::chrono::seconds(1));
  return true;
}

// One round of the single-client figures, on a program started for it.
PeerFigures MeasureProgramSingleClient(const std::map<std::string, std::string>& environment,
                                       PseudoTerminal& board, const Options& options, int samples,
                                       std::mt19937& random) {
  PeerFigures round;
  RelayProgram program;
  if (!StartProgram(program, environment, board, options)) return round;
  const pid_t pid = program.Pid();
  round.paced = RunSingleClient(board.MasterFd(), kRelayPort, true, samples, 2000, 0, pid, random);
  round.backToBack = RunSingleClient(board.MasterFd(), kRelayPort, true, samples, 0,
                                     kBackToBackSeconds, pid, random);
  round.measured = !round.paced.samples.empty();
  const int status = program.Stop();
  if (status != 0) std::printf("the relay server ended with status %d\n", status);
  return round;
}

// Everything but the single-client figures, on one run of the program.
void MeasureProgram(const std::map<std::string, std::string>& environment, PseudoTerminal& board,
                    const Options& options, ProgramFigures& f) {
  const bool longRun = options.longRun;
  RelayProgram program;
  if (!StartProgram(program, environment, board, options)) return;
  const pid_t pid = program.Pid();
  long logged = 0;  // commands the server has logged

  {
    BoardDrain drain(board.MasterFd());
    Clients clients;
    if (!ConnectClients(clients, 100, kRelayPort)) {
      std::printf("could not connect 100 clients\n");
      return;
    }
    RunLoad(clients, 9, pid);
    f.early = MedianOfBatches(clients, pid);
    logged = clients.sent;
    drain.Stop();
  }

  {
    BoardDrain drain(board.MasterFd());
    long commands = 0;  // sent while the board is read here
    long residentBase = 0;
    long sinceBase = 0;  // commands logged since the resident memory was first read
    {
      Clients clients;
      if (ConnectClients(clients, 100, kRelayPort)) {
        residentBase = ResidentBytes(pid);
        f.hundred = RunLoad(clients, 1000, pid);
        f.memoryCommands = f.hundred.commands;
        f.bytesPerCommand =
            static_cast<double>(ResidentBytes(pid) - residentBase) / f.hundred.commands;
        sinceBase = f.hundred.commands;
      }
      commands += clients.sent;
    }
    {
      Clients clients;
      f.thousandConnected = ConnectClients(clients, 1000, kRelayPort);
      if (f.thousandConnected) f.thousand = RunLoad(clients, 100, pid);
      commands += clients.sent;
      sinceBase += clients.sent;
    }
    if (longRun) {
      Clients clients;
      if (ConnectClients(clients, 100, kRelayPort)) {
        // At least 1,000,000 commands since the resident memory was first read.
        while (sinceBase + clients.sent < 1000000) {
          const long round = std::min<long>(100000, 1000000 - sinceBase - clients.sent);
          RunLoad(clients, static_cast<int>(std::max<long>(1, round / 100)), pid);
        }
        f.longCommands = sinceBase + clients.sent;
        f.bytesPerCommandLong =
            static_cast<double>(ResidentBytes(pid) - residentBase) / f.longCommands;
      }
      commands += clients.sent;
      sinceBase += clients.sent;
    }
    logged += commands;
    {
      Clients clients;
      const bool connected = ConnectClients(clients, 100, kRelayPort);
      f.loggedAtLate = logged + clients.sent;
      if (connected) f.late = MedianOfBatches(clients, pid);
      commands += clients.sent;
      logged += clients.sent;
    }
    f.boardBytesExpected = commands * 5;
    f.boardBytes = drain.Stop();
  }

  // Idle: no client, the watchdog cycling.
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const uint64_t processBefore = ProcessCpuNs(pid), guiBefore = ThreadCpuNs(pid, pid);
  const auto idleStart = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(options.idleSeconds));
  f.idleSeconds = std::chrono::duration<double>(Clock::now() - idleStart).count();
  f.idleProcessCpu = static_cast<double>(ProcessCpuNs(pid) - processBefore) / 1e9 / f.idleSeconds;
  f.idleGuiCpu = static_cast<double>(ThreadCpuNs(pid, pid) - guiBefore) / 1e9 / f.idleSeconds;

  const int status = program.Stop();
  if (status != 0) std::printf("the relay server ended with status %d\n", status);
  f.measured = true;
}

// One line per command: when it was sent (us from the first), its board and echo times (us) and
// whether it met the watchdog's pause.
void Dump(const std::string& path, const SingleClientRun& run) {
  std::ofstream file(path);
  if (run.samples.empty()) return;
  const auto first = run.samples.front().sent;
  for (const Sample& s : run.samples)
    file << Micros(s.sent - first) << ' ' << s.boardUs << ' ' << s.echoUs << ' ' << s.inPause
         << '\n';
}

// --- Printing ---------------------------------------------------------------------------------

void Row(const char* what, double ours, double peer, const char* unit) {
  char peerText[32] = "-", ratioText[32] = "";
  if (!std::isnan(peer)) {
    std::snprintf(peerText, sizeof peerText, "%.1f", peer);
    if (peer > 0) std::snprintf(ratioText, sizeof ratioText, "%.2f", ours / peer);
  }
  std::printf("  %-58s %11.1f %11s %-7s %6s\n", what, ours, peerText, unit, ratioText);
}

struct Spread {
  double min = NAN, median = NAN, max = NAN;
};

Spread SpreadOf(std::vector<double> values) {
  values.erase(std::remove_if(values.begin(), values.end(), [](double v) { return std::isnan(v); }),
               values.end());
  Spread spread;
  if (values.empty()) return spread;
  std::sort(values.begin(), values.end());
  spread.min = values.front();
  spread.max = values.back();
  const size_t middle = values.size() / 2;
  spread.median = values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
  return spread;
}

std::string SpreadText(const Spread& spread, int decimals) {
  if (std::isnan(spread.median)) return "-";
  char text[96];
  std::snprintf(text, sizeof text, "%.*f / %.*f / %.*f", decimals, spread.min, decimals,
                spread.median, decimals, spread.max);
  return text;
}

// The verdict on a figure: its value held against the target, which it must not exceed (or, with
// atLeast, not fall below).
std::string Verdict(double value, double target, bool atLeast = false) {
  if (std::isnan(target)) return "";
  char text[64];
  const bool met = !std::isnan(value) && (atLeast ? value >= target : value <= target);
  std::snprintf(text, sizeof text, "target %s %g: %s", atLeast ? ">=" : "<=", target,
                met ? "met" : "NOT MET");
  return text;
}

// One figure of every round: both servers' minimum / median / maximum, and their ratio within a
// round, whose median is held against the target.
void SpreadRow(const char* what, const char* unit, const std::vector<double>& ours,
               const std::vector<double>& peer, double target = NAN) {
  std::vector<double> ratios;
  for (size_t i = 0; i < ours.size() && i < peer.size(); ++i)
    if (peer[i] > 0) ratios.push_back(ours[i] / peer[i]);
  const Spread ratio = SpreadOf(ratios);
  std::printf("  %s (%s)\n      tallyvane %-26s ser2net %-26s ratio %-20s %s\n", what, unit,
              SpreadText(SpreadOf(ours), 1).c_str(), SpreadText(SpreadOf(peer), 1).c_str(),
              SpreadText(ratio, 2).c_str(), Verdict(ratio.median, target).c_str());
}

template <class Figure>
std::vector<double> PerRound(const std::vector<PeerFigures>& rounds, Figure figure) {
  std::vector<double> values;
  for (const PeerFigures& round : rounds) values.push_back(round.measured ? figure(round) : NAN);
  return values;
}

double Maximum(const std::vector<double>& values) {
  return values.empty() ? NAN : *std::max_element(values.begin(), values.end());
}

double CpuPerCommandUs(uint64_t ns, const SingleClientRun& run) {
  return run.samples.empty() ? NAN : static_cast<double>(ns) / 1000.0 / run.samples.size();
}

void PrintSingleClient(const std::vector<PeerFigures>& ours, const std::vector<PeerFigures>& peer,
                       bool onScreen) {
  std::printf("  each figure over %zu rounds, minimum / median / maximum\n", ours.size());
  auto both = [&](const char* what, const char* unit, auto figure, double target = NAN) {
    SpreadRow(what, unit, PerRound(ours, figure), PerRound(peer, figure), target);
  };
  // ser2net has no pause: all of its commands count as outside it.
  both(
      "send to last board byte p50, outside the watchdog's pause", "us",
      [](const PeerFigures& r) { return Percentile(r.paced.Board(false), 0.5); }, 1.2);
  both(
      "send to last board byte p99, outside the watchdog's pause", "us",
      [](const PeerFigures& r) { return Percentile(r.paced.Board(false), 0.99); },
      onScreen ? 3.0 : 2.0);
  both("send to last board byte p99, the pause included", "us",
       [](const PeerFigures& r) { return Percentile(r.paced.Board(true), 0.99); });
  both("send to last board byte max, the pause included", "us",
       [](const PeerFigures& r) { return Maximum(r.paced.Board(true)); });
  both(
      "process CPU per command, 1 client with gaps", "us",
      [](const PeerFigures& r) { return CpuPerCommandUs(r.paced.processCpuNs, r.paced); }, 2.0);
  both("GUI-thread CPU per command, 1 client with gaps", "us",
       [](const PeerFigures& r) { return CpuPerCommandUs(r.paced.guiCpuNs, r.paced); });
  SpreadRow("echo round trip p50 (ser2net does not echo)", "us",
            PerRound(ours, [](const PeerFigures& r) { return Percentile(r.paced.Echo(), 0.5); }),
            {});
  both("commands/s, 1 client back to back (ser2net: board only)", "1/s",
       [](const PeerFigures& r) { return r.backToBack.PerSecond(); });
  long inPause = 0, bad = 0, commands = 0;
  int pauses = 0;
  bool pausesSeen = false;
  for (const PeerFigures& round : ours) {
    inPause += round.paced.InPause();
    bad += round.paced.bad + round.backToBack.bad;
    commands += static_cast<long>(round.paced.samples.size());
    pauses += round.paced.pauses;
    pausesSeen = pausesSeen || round.paced.pausesSeen;
  }
  long peerBad = 0;
  for (const PeerFigures& round : peer) peerBad += round.paced.bad + round.backToBack.bad;
  std::printf(
      "    %ld commands with random gaps of 0-2 ms; %ld of them met the watchdog's pause (%d "
      "pauses%s); %ld bad, ser2net %ld bad\n",
      commands, inPause, pauses, pausesSeen ? " seen" : ", told by a latency of 20 ms or more", bad,
      peerBad);
}

void Print(const char* platform, const ProgramFigures& f, const std::vector<PeerFigures>& ours,
           const std::vector<PeerFigures>& peer, const Options& options, bool onScreen) {
  std::printf("\n%s\n", platform);
  if (!f.measured) {
    std::printf("  the relay server could not be measured\n");
    return;
  }
  const double none = NAN;
  PrintSingleClient(ours, peer, onScreen);
  if (options.latencyOnly) return;
  Row("commands/s, 100 clients", f.hundred.PerSecond(), none, "1/s");
  if (f.thousandConnected)
    Row("commands/s, 1000 clients", f.thousand.PerSecond(), none, "1/s");
  else
    std::printf("  1000 clients could not all connect\n");
  std::printf(
      "    bad echoes: 1 client %ld, 100 clients %ld, 1000 clients %ld; board bytes %ld of "
      "%ld\n",
      f.backToBack.bad + f.paced.bad, f.hundred.badEchoes, f.thousand.badEchoes, f.boardBytes,
      f.boardBytesExpected);
  std::printf("    commands/s with 100 clients, every echo exact: %s%s\n",
              Verdict(f.hundred.PerSecond(), 20000, true).c_str(),
              f.hundred.badEchoes == 0 ? "" : "; NOT every echo exact");
  char what[96];
  Row("GUI-thread CPU per command, 100 clients", f.hundred.GuiNsPerCommand() / 1000, none, "us");
  Row("  the whole program, per command", f.hundred.PerCommandUs(f.hundred.programCpuNs), none,
      "us");
  Row("  the 100 clients, per command", f.hundred.PerCommandUs(f.hundred.clientCpuNs), none, "us");
  std::snprintf(what, sizeof what, "  every processor of the machine (%u), per command",
                std::thread::hardware_concurrency());
  Row(what, f.hundred.PerCommandUs(f.hundred.machineBusyNs), none, "us");
  std::snprintf(what, sizeof what, "resident memory per logged command over %ld commands",
                f.memoryCommands);
  Row(what, f.bytesPerCommand, none, "B");
  if (options.longRun) {
    std::snprintf(what, sizeof what, "resident memory per logged command over %ld commands",
                  f.longCommands);
    Row(what, f.bytesPerCommandLong, none, "B");
  }
  const double perCommand = options.longRun ? f.bytesPerCommandLong : f.bytesPerCommand;
  std::printf("    resident memory per logged command, target 32 to 42 B: %s\n",
              perCommand >= 32 && perCommand <= 42 ? "met" : "NOT MET");
  std::printf(
      "    the same with a small and a large log, median of 7 batches of 2,000 commands:\n");
  Row("GUI-thread CPU per command, log of 1,000 to 15,000", f.early.GuiNsPerCommand() / 1000, none,
      "us");
  std::snprintf(what, sizeof what, "GUI-thread CPU per command, log of %ld and more",
                f.loggedAtLate);
  Row(what, f.late.GuiNsPerCommand() / 1000, none, "us");
  const double growth =
      f.early.GuiNsPerCommand() > 0 ? f.late.GuiNsPerCommand() / f.early.GuiNsPerCommand() : NAN;
  Row("  ratio, large log / small log", growth, none, "");
  std::printf("    the cost stays flat as the log grows, %s\n", Verdict(growth, 1.5).c_str());
  Row("  commands/s with the small log", f.early.PerSecond(), none, "1/s");
  Row("  commands/s with the large log", f.late.PerSecond(), none, "1/s");
  std::snprintf(what, sizeof what, "idle CPU over %.0f s with the watchdog running, process",
                f.idleSeconds);
  Row(what, 100 * f.idleProcessCpu, none, "% core");
  Row("idle CPU, GUI thread", 100 * f.idleGuiCpu, none, "% core");
  std::printf("    idle CPU of the process, %s\n", Verdict(100 * f.idleProcessCpu, 0.2).c_str());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  // Before any thread starts.
  EnterPrivateSystem();
  Options options;
  bool headless = true, screen = true;
  std::string dumpDirectory;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--long") options.longRun = true;
    if (argument == "--latency-only") options.latencyOnly = true;
    if (argument == "--rounds" && i + 1 < argc) options.rounds = std::max(5, std::atoi(argv[++i]));
    if (argument == "--program" && i + 1 < argc) options.program = argv[++i];
    if (argument == "--headless") screen = false;
    if (argument == "--screen") headless = false;
    if (argument == "--samples" && i + 1 < argc)
      options.samples = std::max(100, std::atoi(argv[++i]));
    if (argument == "--idle" && i + 1 < argc)
      options.idleSeconds = std::max(1, std::atoi(argv[++i]));
    if (argument == "--dump" && i + 1 < argc) dumpDirectory = argv[++i];
  }
  if (!InPrivateSystem()) {
    std::printf("relay path benchmark skipped: %s\n", PrivateSystemProblem().c_str());
    return 0;
  }
  // 1000 clients and the server's own descriptors; the server inherits the limit.
  rlimit limit{};
  getrlimit(RLIMIT_NOFILE, &limit);
  limit.rlim_cur = limit.rlim_max;
  setrlimit(RLIMIT_NOFILE, &limit);

  PseudoTerminal board;
  if (!board.IsOpen() || !board.CreateSymlink("/dev/ttyUSB0")) {
    std::printf("relay path benchmark skipped: no pseudo-terminal for the board\n");
    return 0;
  }
  // The name service answers for addresses only on a machine with an address beside 127.0.0.1
  // (glibc's AI_ADDRCONFIG), and ser2net asks it for the one it listens on.
  if (std::system("ip address add 127.0.0.2/8 dev lo >/dev/null 2>&1") != 0)
    std::printf("could not give the private loopback a second address; ser2net may not listen\n");
  const std::string ser2net = Ser2netProgram();
  if (ser2net.empty())
    std::printf("ser2net is not installed (scripts/bench-deps.sh installs it): no peer figures\n");
  std::printf(
      "relay path: one client's relay text to the last of its bytes on the board (a "
      "pseudo-terminal); %d commands from one client per server, in %d rounds%s\n",
      options.samples, options.rounds, options.longRun ? "; log filled to 1,000,000 commands" : "");
  std::fflush(stdout);

  std::mt19937 random(12);
  struct Platform {
    bool wanted;
    const char* title;
    const char* name;
  };
  for (const Platform& platform :
       {Platform{headless, "headless (offscreen platform)", "offscreen"},
        Platform{screen, "on a screen (xcb platform, virtual X server)", "xcb"}}) {
    if (!platform.wanted) continue;
    std::map<std::string, std::string> environment = {{"QT_QPA_PLATFORM", platform.name}};
    VirtualScreen display;
    if (std::string(platform.name) == "xcb") {
      if (!display.Start(1)) {
        std::printf("\n%s: no virtual X server, left out\n", platform.title);
        continue;
      }
      environment["DISPLAY"] = display.Display();
    }
    // The single-client figures of both servers in rounds, one after the other, so that both
    // meet the same changes of the machine's load.
    std::vector<PeerFigures> peerRounds, ourRounds;
    ProgramFigures ours;
    PeerFigures peer;
    const int perRound = std::max(100, options.samples / options.rounds);
    for (int round = 0; round < options.rounds; ++round) {
      if (!ser2net.empty()) {
        peerRounds.push_back(MeasureSer2net(ser2net, board, perRound, random));
        peer.paced.Merge(peerRounds.back().paced);
      }
      ourRounds.push_back(
          MeasureProgramSingleClient(environment, board, options, perRound, random));
      ours.paced.Merge(ourRounds.back().paced);
      ours.backToBack.Merge(ourRounds.back().backToBack);
    }
    if (options.latencyOnly)
      ours.measured = !ours.paced.samples.empty();
    else
      MeasureProgram(environment, board, options, ours);
    Print(platform.title, ours, ourRounds, peerRounds, options,
          std::string(platform.name) == "xcb");
    if (!dumpDirectory.empty()) {
      const std::string stem = dumpDirectory + "/" + platform.name;
      Dump(stem + "-tallyvane.txt", ours.paced);
      Dump(stem + "-ser2net.txt", peer.paced);
    }
  }
  return 0;
}
