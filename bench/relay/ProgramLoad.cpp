#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "bench/common/ProcessStatistics.h"
#include "bench/relay/RelayPath.h"
#include "support/PseudoTerminal.h"
#include "support/RelayProgram.h"

namespace {

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

// Every client sends as soon as its echo is in, until each has had commandsPerClient echoes; with
// the processor time the program, the clients and the machine spent meanwhile.
LoadFigures RunLoad(LoadGenerator& clients, int commandsPerClient, pid_t pid) {
  LoadFigures f;
  const uint64_t guiBefore = ThreadCpuNs(pid, pid), programBefore = ProcessCpuNs(pid),
                 clientBefore = ThisThreadCpuNs(), machineBefore = MachineBusyNs();
  f.load = clients.Run(commandsPerClient);
  f.guiCpuNs = ThreadCpuNs(pid, pid) - guiBefore;
  f.programCpuNs = ProcessCpuNs(pid) - programBefore;
  f.clientCpuNs = ThisThreadCpuNs() - clientBefore;
  f.machineBusyNs = MachineBusyNs() - machineBefore;
  return f;
}

// The cost per command at one size of the log: seven batches of 20 commands per client, the one
// with the median GUI-thread time per command, so that a moment in which the machine is slower
// (or a batch that meets the watchdog's pause) does not decide the figure.
LoadFigures MedianOfBatches(LoadGenerator& clients, pid_t pid) {
  std::vector<LoadFigures> batches;
  for (int i = 0; i < 7; ++i) batches.push_back(RunLoad(clients, 20, pid));
  std::sort(batches.begin(), batches.end(), [](const LoadFigures& a, const LoadFigures& b) {
    return a.GuiNsPerCommand() < b.GuiNsPerCommand();
  });
  return batches[batches.size() / 2];
}

}  // namespace

// Everything but the single-client figures, on one run of the program.
void MeasureProgram(const Environment& environment, PseudoTerminal& board, const Options& options,
                    ProgramFigures& f) {
  const bool longRun = options.longRun;
  RelayProgram program;
  if (!StartProgram(program, environment, board, options)) return;
  const pid_t pid = program.Pid();
  long logged = 0;  // commands the server has logged

  {
    BoardDrain drain(board.MasterFd());
    LoadGenerator clients(kRelayPort);
    if (!clients.ConnectAll(100)) {
      std::printf("could not connect 100 clients\n");
      return;
    }
    RunLoad(clients, 9, pid);
    f.early = MedianOfBatches(clients, pid);
    logged = clients.Sent();
    drain.Stop();
  }

  {
    BoardDrain drain(board.MasterFd());
    long commands = 0;  // sent while the board is read here
    long residentBase = 0;
    long sinceBase = 0;  // commands logged since the resident memory was first read
    {
      LoadGenerator clients(kRelayPort);
      if (clients.ConnectAll(100)) {
        residentBase = ResidentBytes(pid);
        f.hundred = RunLoad(clients, 1000, pid);
        f.memoryCommands = f.hundred.load.commands;
        f.bytesPerCommand =
            static_cast<double>(ResidentBytes(pid) - residentBase) / f.hundred.load.commands;
        sinceBase = f.hundred.load.commands;
      }
      commands += clients.Sent();
    }
    {
      LoadGenerator clients(kRelayPort);
      f.thousandConnected = clients.ConnectAll(1000);
      if (f.thousandConnected) f.thousand = RunLoad(clients, 100, pid);
      commands += clients.Sent();
      sinceBase += clients.Sent();
    }
    if (longRun) {
      LoadGenerator clients(kRelayPort);
      if (clients.ConnectAll(100)) {
        // At least 1,000,000 commands since the resident memory was first read.
        while (sinceBase + clients.Sent() < 1000000) {
          const long round = std::min<long>(100000, 1000000 - sinceBase - clients.Sent());
          RunLoad(clients, static_cast<int>(std::max<long>(1, round / 100)), pid);
        }
        f.longCommands = sinceBase + clients.Sent();
        f.bytesPerCommandLong =
            static_cast<double>(ResidentBytes(pid) - residentBase) / f.longCommands;
      }
      commands += clients.Sent();
      sinceBase += clients.Sent();
    }
    logged += commands;
    {
      LoadGenerator clients(kRelayPort);
      const bool connected = clients.ConnectAll(100);
      f.loggedAtLate = logged + clients.Sent();
      if (connected) f.late = MedianOfBatches(clients, pid);
      commands += clients.Sent();
      logged += clients.Sent();
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
