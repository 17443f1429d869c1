#pragma once
// What the parts of the relay path benchmark share: the servers' ports, the options, and the
// figures each measurement gives.

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench/common/LoadGenerator.h"

class PseudoTerminal;
class RelayProgram;

using Clock = std::chrono::steady_clock;
using Environment = std::map<std::string, std::string>;

constexpr uint16_t kRelayPort = 1028;
constexpr uint16_t kProxyPort = 2028;
constexpr int kStallMs = 5000;
// A client sending back to back does so for at least this long per round: two cycles of the
// port watchdog, whose pause is part of what the relay server's client gets.
constexpr double kBackToBackSeconds = 2.5;

struct Options {
  bool longRun = false, latencyOnly = false;
  int samples = 10000, idleSeconds = 30, rounds = 5;
  std::string program = TALLYVANE_BINARY;
};

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

  std::vector<double> Board(bool includePauses) const;
  std::vector<double> Echo() const;
  long InPause() const;
  double PerSecond() const;
  void Merge(const SingleClientRun& other);
};

// One round of a server's single-client figures.
struct PeerFigures {
  bool measured = false;
  SingleClientRun paced, backToBack;
};

// One client sends count relay texts, each after the previous one's last board byte (and echo,
// when the server echoes) and a random wait of up to maxGapUs; and goes on sending until
// minSeconds have passed.
SingleClientRun RunSingleClient(int master, uint16_t port, bool echoes, int count, int maxGapUs,
                                double minSeconds, pid_t pid, std::mt19937& random);
// One line per command: when it was sent (us from the first), its board and echo times (us) and
// whether it met the watchdog's pause.
void Dump(const std::string& path, const SingleClientRun& run);

// --- The servers ------------------------------------------------------------------------------

std::string Ser2netProgram();
PeerFigures MeasureSer2net(const std::string& program, PseudoTerminal& board, int samples,
                           std::mt19937& random);
// The least any relay server must do per command (BareRelay.cpp), on the relay server's port.
PeerFigures MeasureBareRelay(PseudoTerminal& board, int samples, std::mt19937& random);

// One round of the single-client figures, on a relay server started for it.
PeerFigures MeasureProgramSingleClient(const Environment& environment, PseudoTerminal& board,
                                       const Options& options, int samples, std::mt19937& random);

// --- Many clients on the relay server ---------------------------------------------------------

// A load run and where the processors' time went: the GUI thread, the whole program, the
// clients (this thread), the machine.
struct LoadFigures {
  LoadResult load;
  uint64_t guiCpuNs = 0, programCpuNs = 0, clientCpuNs = 0, machineBusyNs = 0;

  double PerSecond() const { return load.PerSecond(); }
  double PerCommandUs(uint64_t ns) const {
    return load.commands > 0 ? static_cast<double>(ns) / 1000.0 / static_cast<double>(load.commands)
                             : 0;
  }
  double GuiNsPerCommand() const { return PerCommandUs(guiCpuNs) * 1000.0; }
};

struct ProgramFigures {
  bool measured = false;
  SingleClientRun paced, backToBack;
  LoadFigures early, hundred, thousand, late;
  bool thousandConnected = false;
  long boardBytesExpected = 0, boardBytes = 0;
  double bytesPerCommand = 0;  // resident growth over the 100-client run
  long memoryCommands = 0;
  double bytesPerCommandLong = 0;  // from before the 100-client run to the end of the fill
  long longCommands = 0;
  long loggedAtLate = 0;
  double idleSeconds = 0, idleProcessCpu = 0, idleGuiCpu = 0;
};

// Starts the relay server as a user would, on the board; false (and why, printed) when it does
// not listen.
bool StartProgram(RelayProgram& program, const Environment& environment, PseudoTerminal& board,
                  const Options& options);
// Everything but the single-client figures, on one run of the relay server.
void MeasureProgram(const Environment& environment, PseudoTerminal& board, const Options& options,
                    ProgramFigures& f);

// --- Printing ---------------------------------------------------------------------------------

// The single-client figures of each round: the relay server's, ser2net's and the bare relay's.
struct RoundFigures {
  std::vector<PeerFigures> ours, ser2net, bare;
};

void Print(const char* platform, const ProgramFigures& f, const RoundFigures& rounds,
           const Options& options, bool onScreen);
