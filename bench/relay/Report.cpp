#include <algorithm>
#include <cmath>
#include <cstdio>
#include <thread>

#include "bench/common/Percentile.h"
#include "bench/relay/RelayPath.h"

namespace {

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

// The ratio of two servers' figure within each round, over the rounds.
Spread RatioSpread(const std::vector<double>& ours, const std::vector<double>& peer) {
  std::vector<double> ratios;
  for (size_t i = 0; i < ours.size() && i < peer.size(); ++i)
    if (peer[i] > 0) ratios.push_back(ours[i] / peer[i]);
  return SpreadOf(ratios);
}

// One figure of every round: each server's minimum / median / maximum, and the relay server's
// ratio within a round to ser2net, whose median is held against the target, and to the bare
// relay, which is there to be read, not held against anything.
void SpreadRow(const char* what, const char* unit, const std::vector<double>& ours,
               const std::vector<double>& ser2net, const std::vector<double>& bare,
               double target = NAN) {
  const Spread ratio = RatioSpread(ours, ser2net);
  std::printf(
      "  %s (%s)\n      tallyvane %-26s ser2net %-26s bare relay %s\n      ratio to ser2net "
      "%-20s %-26s ratio to bare relay %s\n",
      what, unit, SpreadText(SpreadOf(ours), 1).c_str(), SpreadText(SpreadOf(ser2net), 1).c_str(),
      SpreadText(SpreadOf(bare), 1).c_str(), SpreadText(ratio, 2).c_str(),
      Verdict(ratio.median, target).c_str(), SpreadText(RatioSpread(ours, bare), 2).c_str());
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

void PrintSingleClient(const RoundFigures& rounds, bool onScreen) {
  std::printf("  each figure over %zu rounds, minimum / median / maximum\n", rounds.ours.size());
  auto all = [&](const char* what, const char* unit, auto figure, double target = NAN) {
    SpreadRow(what, unit, PerRound(rounds.ours, figure), PerRound(rounds.ser2net, figure),
              PerRound(rounds.bare, figure), target);
  };
  const auto p50 = [](const PeerFigures& r) { return Percentile(r.paced.Board(false), 0.5); };
  const auto cpu = [](const PeerFigures& r) {
    return CpuPerCommandUs(r.paced.processCpuNs, r.paced);
  };
  // ser2net and the bare relay have no pause: all of their commands count as outside it.
  all("send to last board byte p50, outside the watchdog's pause", "us", p50, 1.2);
  all(
      "send to last board byte p99, outside the watchdog's pause", "us",
      [](const PeerFigures& r) { return Percentile(r.paced.Board(false), 0.99); },
      onScreen ? 3.0 : 2.0);
  all("send to last board byte p99, the pause included", "us",
      [](const PeerFigures& r) { return Percentile(r.paced.Board(true), 0.99); });
  all("send to last board byte max, the pause included", "us",
      [](const PeerFigures& r) { return Maximum(r.paced.Board(true)); });
  all("process CPU per command, 1 client with gaps", "us", cpu, 2.0);
  all("GUI-thread CPU per command, 1 client with gaps", "us",
      [](const PeerFigures& r) { return CpuPerCommandUs(r.paced.guiCpuNs, r.paced); });
  const auto echo = [](const PeerFigures& r) { return Percentile(r.paced.Echo(), 0.5); };
  SpreadRow("echo round trip p50 (ser2net does not echo)", "us", PerRound(rounds.ours, echo), {},
            PerRound(rounds.bare, echo));
  all("commands/s, 1 client back to back (ser2net: board only)", "1/s",
      [](const PeerFigures& r) { return r.backToBack.PerSecond(); });
  std::printf(
      "  what echoing and logging cost any server, the bare relay / ser2net: send to last board "
      "byte p50 %s, process CPU per command %s\n",
      SpreadText(RatioSpread(PerRound(rounds.bare, p50), PerRound(rounds.ser2net, p50)), 2).c_str(),
      SpreadText(RatioSpread(PerRound(rounds.bare, cpu), PerRound(rounds.ser2net, cpu)), 2)
          .c_str());
  long inPause = 0, bad = 0, commands = 0;
  int pauses = 0;
  bool pausesSeen = false;
  for (const PeerFigures& round : rounds.ours) {
    inPause += round.paced.InPause();
    bad += round.paced.bad + round.backToBack.bad;
    commands += static_cast<long>(round.paced.samples.size());
    pauses += round.paced.pauses;
    pausesSeen = pausesSeen || round.paced.pausesSeen;
  }
  auto badOf = [](const std::vector<PeerFigures>& peer) {
    long sum = 0;
    for (const PeerFigures& round : peer) sum += round.paced.bad + round.backToBack.bad;
    return sum;
  };
  std::printf(
      "    %ld commands with random gaps of 0-2 ms; %ld of them met the watchdog's pause (%d "
      "pauses%s); %ld bad, ser2net %ld bad, the bare relay %ld bad\n",
      commands, inPause, pauses, pausesSeen ? " seen" : ", told by a latency of 20 ms or more", bad,
      badOf(rounds.ser2net), badOf(rounds.bare));
}

}  // namespace

void Print(const char* platform, const ProgramFigures& f, const RoundFigures& rounds,
           const Options& options, bool onScreen) {
  std::printf("\n%s\n", platform);
  if (!f.measured) {
    std::printf("  the relay server could not be measured\n");
    return;
  }
  const double none = NAN;
  PrintSingleClient(rounds, onScreen);
  if (options.latencyOnly) return;
  Row("commands/s, 100 clients", f.hundred.PerSecond(), none, "1/s");
  if (f.thousandConnected)
    Row("commands/s, 1000 clients", f.thousand.PerSecond(), none, "1/s");
  else
    std::printf("  1000 clients could not all connect\n");
  std::printf(
      "    bad echoes: 1 client %ld, 100 clients %ld, 1000 clients %ld; board bytes %ld of "
      "%ld\n",
      f.backToBack.bad + f.paced.bad, f.hundred.load.mismatches, f.thousand.load.mismatches,
      f.boardBytes, f.boardBytesExpected);
  std::printf("    commands/s with 100 clients, every echo exact: %s%s\n",
              Verdict(f.hundred.PerSecond(), 20000, true).c_str(),
              f.hundred.load.mismatches == 0 ? "" : "; NOT every echo exact");
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
