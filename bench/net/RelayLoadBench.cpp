// Load on the socket server through the GUI thread: C concurrent remote PCs (1, 100, 1000) send
// relay texts, each waiting for its echo. For each C it prints the echo round trip (p50, p99,
// max), the commands per second the GUI thread handled and the resident memory per idle
// client, twice: with every client sending again as soon as its echo is in (saturation, where
// the round trip is mostly the wait behind the other clients' commands) and with the clients
// paced to 10,000 commands per second in all. The released program's own figures for 1, 100 and
// 1000 clients, with its board, log and window, are bench_relay_path's.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "bench/common/LoadGenerator.h"
#include "bench/common/Percentile.h"
#include "bench/common/ProcessStatistics.h"
#include "framework/Application.h"
#include "net/ServerSocket.h"
#include "tests/support/MessageLoop.h"

namespace {

struct Measurement {
  bool connected = false;
  LoadResult result;
  double kibPerIdleClient = 0;
};

// Connects the clients, measures the memory they cost while idle, then runs the load while the
// GUI thread (this one) serves them.
Measurement Measure(std::atomic<int>& served, uint16_t port, int clients, int commandsPerClient,
                    std::chrono::microseconds interval) {
  Measurement measurement;
  LoadGenerator generator(port);
  std::atomic<int> phase{0};  // 1: connected, 2: memory measured, 3: done
  const long residentBefore = ResidentBytes();
  std::thread load([&] {
    measurement.connected = generator.ConnectAll(clients, [&] { return served.load(); });
    phase = 1;
    while (phase.load() != 2) std::this_thread::yield();
    if (measurement.connected) measurement.result = generator.Run(commandsPerClient, interval);
    generator.CloseAll();
    phase = 3;
  });
  RunUntil([&] { return phase.load() == 1; }, 120000);
  // Let the connect-time notifications settle before measuring the idle clients.
  RunFor(100);
  measurement.kibPerIdleClient =
      static_cast<double>(ResidentBytes() - residentBefore) / 1024 / clients;
  phase = 2;
  RunUntil([&] { return phase.load() == 3; }, 600000);
  load.join();
  // Every client gone from the server before the next run.
  RunUntil([&] { return served.load() == 0; }, 10000);
  return measurement;
}

// The resident memory per idle client is shown for the first runs with 100 or more clients
// only: with fewer, the one-time growth of the heap swamps it, and later runs reuse the memory
// of earlier ones.
void Print(int clients, Measurement& m, bool showMemory) {
  if (!m.connected) {
    std::printf("%8d could not connect every client\n", clients);
    return;
  }
  const auto& trips = m.result.roundTripsMs;
  const double max = trips.empty() ? 0 : *std::max_element(trips.begin(), trips.end());
  char memory[32] = "-";
  if (showMemory) std::snprintf(memory, sizeof memory, "%.2f", m.kibPerIdleClient);
  std::printf("%8d %10.3f %10.3f %10.3f %12.0f %16s %11ld\n", clients, Percentile(trips, 0.50),
              Percentile(trips, 0.99), max, m.result.PerSecond(), memory, m.result.mismatches);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  const long limit = RaiseDescriptorLimit();
  auto* application = new TApplication(argc, argv);
  application->Initialize();

  // The clients connected and not yet disconnected.
  std::atomic<int> served{0};
  TServerSocket server(nullptr);
  // The relay server's read path without the board and the window: take the text, echo it.
  server.SetOnClientRead(
      [](TObject*, TCustomWinSocket* socket) { socket->SendString(socket->ReceiveAllText()); });
  server.SetOnClientConnect([&](TObject*, TCustomWinSocket*) { served.fetch_add(1); });
  server.SetOnClientDisconnect([&](TObject*, TCustomWinSocket*) { served.fetch_sub(1); });
  uint16_t port = 21028;
  for (; port < 21100 && !server.Active(); ++port) {
    try {
      server.SetPort(port);
      server.OpenServer();
    } catch (const Exception&) {
    }
  }
  if (!server.Active()) {
    std::fprintf(stderr, "no free port for the server\n");
    return 1;
  }
  std::printf("descriptor limit %ld, server on port %d\n", limit, server.Port());
  std::vector<int> clientCounts = {1, 100, 1000};
  // TV_BENCH_CLIENTS="10,100" measures other client counts.
  if (const char* wanted = std::getenv("TV_BENCH_CLIENTS")) {
    clientCounts.clear();
    for (const char* p = wanted; *p;) {
      char* end = nullptr;
      const long count = std::strtol(p, &end, 10);
      if (end == p) break;
      if (count > 0) clientCounts.push_back(static_cast<int>(count));
      p = *end ? end + 1 : end;
    }
  }
  for (const bool paced : {false, true}) {
    std::printf(paced ? "\npaced to 10,000 commands per second in all:\n"
                      : "\nsaturation (each client sends again as soon as its echo is in):\n");
    std::printf("%8s %10s %10s %10s %12s %16s %11s\n", "clients", "p50 ms", "p99 ms", "max ms",
                "commands/s", "KiB/idle client", "bad echoes");
    for (const int clients : clientCounts) {
      if (clients + 64 > limit) {
        std::printf("%8d skipped: descriptor limit %ld\n", clients, limit);
        continue;
      }
      const auto interval =
          paced ? std::chrono::microseconds(clients * 100) : std::chrono::microseconds(0);
      const int commandsPerClient =
          paced ? std::max(20, 20000 / clients) : std::max(20, 60000 / clients);
      Measurement m = Measure(served, static_cast<uint16_t>(server.Port()), clients,
                              commandsPerClient, interval);
      Print(clients, m, !paced && clients >= 100);
    }
  }
  server.CloseServer();
  delete application;
  return 0;
}
