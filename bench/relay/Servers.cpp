#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <thread>

#include "bench/relay/RelayPath.h"
#include "support/ChildProcess.h"
#include "support/PseudoTerminal.h"
#include "support/RelayProgram.h"

namespace {

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
bool StartServer(const std::function<bool()>& start) {
  const int last = static_cast<int>(std::thread::hardware_concurrency()) - 1;
  if (Pinning()) RunOnProcessors(last, last);
  const bool started = start();
  if (Pinning()) RunOnProcessors(0, last - 1);
  return started;
}

// One round of a peer's single-client figures; the peer is stopped at the end.
PeerFigures MeasurePeer(const char* name, ChildProcess& server, uint16_t port, bool echoes,
                        PseudoTerminal& board, int samples, std::mt19937& random) {
  PeerFigures figures;
  if (!WaitUntilListening(port, 10000)) {
    std::printf("%s did not listen: %s\n", name, server.StandardError().c_str());
    return figures;
  }
  figures.paced =
      RunSingleClient(board.MasterFd(), port, echoes, samples, 2000, 0, server.Pid(), random);
  figures.backToBack = RunSingleClient(board.MasterFd(), port, echoes, samples, 0,
                                       kBackToBackSeconds, server.Pid(), random);
  figures.measured = figures.paced.bad == 0 && !figures.paced.samples.empty();
  if (figures.paced.bad > 0 || figures.backToBack.bad > 0)
    std::printf("%s: %ld commands did not reach the board intact\n", name,
                figures.paced.bad + figures.backToBack.bad);
  server.Signal(SIGTERM);
  if (server.WaitForExit(2000) < 0) server.Signal(SIGKILL);
  server.WaitForExit(5000);
  return figures;
}

}  // namespace

// --- ser2net ----------------------------------------------------------------------------------

std::string Ser2netProgram() {
  for (const char* path : {"/usr/sbin/ser2net", "/usr/bin/ser2net", "/usr/local/sbin/ser2net"})
    if (access(path, X_OK) == 0) return path;
  return "";
}

PeerFigures MeasureSer2net(const std::string& program, PseudoTerminal& board, int samples,
                           std::mt19937& random) {
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
    return {};
  }
  return MeasurePeer("ser2net", ser2net, kProxyPort, false, board, samples, random);
}

PeerFigures MeasureBareRelay(PseudoTerminal& board, int samples, std::mt19937& random) {
  ChildProcess bareRelay;
  if (!StartServer(
          [&] { return bareRelay.Start(BARE_RELAY_BINARY, {std::to_string(kRelayPort)}, {}); })) {
    std::printf("the bare relay did not start\n");
    return {};
  }
  return MeasurePeer("the bare relay", bareRelay, kRelayPort, true, board, samples, random);
}

// --- The relay server -------------------------------------------------------------------------

namespace {

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

}  // namespace

bool StartProgram(RelayProgram& program, const Environment& environment, PseudoTerminal& board,
                  const Options& options) {
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

PeerFigures MeasureProgramSingleClient(const Environment& environment, PseudoTerminal& board,
                                       const Options& options, int samples, std::mt19937& random) {
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
