// The relay server's real command path, beside a plain TCP-to-serial proxy and a bare relay in
// the same run.
//
// The benchmark makes a private machine of its own (tests/support/PrivateSystem.h): its own /dev
// with a pseudo-terminal, left in the kernel's default mode, behind /dev/ttyUSB0 as the relay
// board, and its own loopback. On it, once headless (Qt's offscreen platform) and once on a
// screen (a virtual X server, the xcb platform), it
// - runs ser2net with the pseudo-terminal as its serial device and measures, with one client,
//   the time from the client's send of a relay text to the last of its bytes on the board;
// - then runs the bare relay (BareRelay.cpp) on the relay server's port and measures the same
//   time and the echo round trip: the least any relay server must do per command (pass the text
//   to the board, echo it, log a line), which ser2net does not (no echo, no log);
// - then runs the released relay server program, as a user starts it, on the same
//   pseudo-terminal, and measures the same times (the three servers take turns, in rounds,
//   since only one can hold the port);
// - then runs the program once more and measures the commands per second with 1, 100 and 1000
//   clients, each sending again as soon as its echo is in, with every echo and every board byte
//   checked; the CPU time of the program's GUI thread per command; the growth of its resident
//   memory per logged command; the GUI thread's cost per command with about 1,000 and with
//   100,000 (or, with --long, 1,000,000) commands in the log; and its CPU use while it sits
//   idle with the port watchdog running.
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
// two platforms), --dump DIR (every single-client sample of each server, one file each),
// --latency-only (the single-client figures alone), --program PATH (another build of the relay
// server, for comparing builds), --rounds N (5, at least 5: the single-client commands are split
// into N rounds, each with ser2net, the bare relay and then the relay server, started afresh).
//
// Each single-client figure is printed as the minimum, median and maximum of the rounds, for
// each server and for the relay server's ratio within a round to ser2net, whose median is held
// against its target, and to the bare relay, which is information only; and the bare relay's
// own ratio to ser2net, what echoing and logging cost any server.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "bench/relay/RelayPath.h"
#include "support/PrivateSystem.h"
#include "support/PseudoTerminal.h"
#include "support/VirtualScreen.h"

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
  RaiseDescriptorLimit();

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
    Environment environment = {{"QT_QPA_PLATFORM", platform.name}};
    VirtualScreen display;
    if (std::string(platform.name) == "xcb") {
      if (!display.Start(1)) {
        std::printf("\n%s: no virtual X server, left out\n", platform.title);
        continue;
      }
      environment["DISPLAY"] = display.Display();
    }
    // The single-client figures of the three servers in rounds, one after the other, so that
    // all meet the same changes of the machine's load.
    RoundFigures rounds;
    ProgramFigures ours;
    PeerFigures peer, bare;
    const int perRound = std::max(100, options.samples / options.rounds);
    for (int round = 0; round < options.rounds; ++round) {
      if (!ser2net.empty()) {
        rounds.ser2net.push_back(MeasureSer2net(ser2net, board, perRound, random));
        peer.paced.Merge(rounds.ser2net.back().paced);
      }
      rounds.bare.push_back(MeasureBareRelay(board, perRound, random));
      bare.paced.Merge(rounds.bare.back().paced);
      rounds.ours.push_back(
          MeasureProgramSingleClient(environment, board, options, perRound, random));
      ours.paced.Merge(rounds.ours.back().paced);
      ours.backToBack.Merge(rounds.ours.back().backToBack);
    }
    if (options.latencyOnly)
      ours.measured = !ours.paced.samples.empty();
    else
      MeasureProgram(environment, board, options, ours);
    Print(platform.title, ours, rounds, options, std::string(platform.name) == "xcb");
    if (!dumpDirectory.empty()) {
      const std::string stem = dumpDirectory + "/" + platform.name;
      Dump(stem + "-tallyvane.txt", ours.paced);
      Dump(stem + "-ser2net.txt", peer.paced);
      Dump(stem + "-bare-relay.txt", bare.paced);
    }
  }
  return 0;
}
