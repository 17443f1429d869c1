#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <thread>

#include "bench/common/ProcessStatistics.h"
#include "bench/relay/PauseMonitor.h"
#include "bench/relay/RelayPath.h"

namespace {

double Micros(Clock::duration duration) {
  return std::chrono::duration<double, std::micro>(duration).count();
}

}  // namespace

std::vector<double> SingleClientRun::Board(bool includePauses) const {
  std::vector<double> values;
  for (const Sample& s : samples)
    if (includePauses || !s.inPause) values.push_back(s.boardUs);
  return values;
}

std::vector<double> SingleClientRun::Echo() const {
  std::vector<double> values;
  for (const Sample& s : samples) values.push_back(s.echoUs);
  return values;
}

long SingleClientRun::InPause() const {
  return std::count_if(samples.begin(), samples.end(), [](const Sample& s) { return s.inPause; });
}

double SingleClientRun::PerSecond() const {
  return seconds > 0 ? static_cast<double>(samples.size()) / seconds : 0;
}

void SingleClientRun::Merge(const SingleClientRun& other) {
  samples.insert(samples.end(), other.samples.begin(), other.samples.end());
  bad += other.bad;
  seconds += other.seconds;
  guiCpuNs += other.guiCpuNs;
  processCpuNs += other.processCpuNs;
  pauses += other.pauses;
  pausesSeen = pausesSeen || other.pausesSeen;
}

SingleClientRun RunSingleClient(int master, uint16_t port, bool echoes, int count, int maxGapUs,
                                double minSeconds, pid_t pid, std::mt19937& random) {
  SingleClientRun run;
  const int fd = ConnectClient(port);
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

void Dump(const std::string& path, const SingleClientRun& run) {
  std::ofstream file(path);
  if (run.samples.empty()) return;
  const auto first = run.samples.front().sent;
  for (const Sample& s : run.samples)
    file << Micros(s.sent - first) << ' ' << s.boardUs << ' ' << s.echoUs << ' ' << s.inPause
         << '\n';
}
