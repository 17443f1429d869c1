// The port watchdog's cost: how long each cycle holds up the GUI thread, and the program's CPU
// use while it sits idle with the watchdog running. The idle period is 60 s unless the first
// argument or TV_BENCH_IDLE_SECONDS gives another number of seconds. The released program's idle
// CPU, started as a user starts it, is bench_relay_path's.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/Form1.h"
#include "app/Read.h"
#include "bench/common/ProcessStatistics.h"
#include "framework/Application.h"
#include "thread/MainThreadHandOver.h"
#include "thread/Thread.h"

namespace {

// Closes the main window after the idle period, as a user would.
class Closer : public TThread {
 public:
  explicit Closer(int seconds) : TThread(false), seconds_(seconds) { FreeOnFinish = true; }

 protected:
  void Run() override {
    for (int i = 0; i < seconds_ * 10 && !TerminateRequested; ++i) Sleep(100);
    RunInMainThread([] { Form1->Close(); });
  }

 private:
  const int seconds_;
};

int IdleSeconds(int argc, char** argv) {
  const char* text = argc > 1 ? argv[1] : std::getenv("TV_BENCH_IDLE_SECONDS");
  const int seconds = text ? std::atoi(text) : 60;
  return seconds > 0 ? seconds : 60;
}

}  // namespace

int main(int argc, char** argv) {
  const int idleSeconds = IdleSeconds(argc, argv);
  int appArgc = 1;
  auto* application = new TApplication(appArgc, argv);
  RegisterRelayServerClasses();
  application->Initialize();
  InstallMainThreadHandOver();
  // A start-up failure (TCP port 1028 taken, say) is printed, not shown in a dialog that would
  // wait for a click.
  application->OnException = [](TObject*, const Exception& e) {
    std::fprintf(stderr, "start-up failed: %s\n", e.Message().c_str());
  };
  application->CreateForm(Form1);
  if (!Read) {
    std::printf("watchdog benchmark: the program did not start its watchdog\n");
    delete application;
    return 0;
  }

  // One cycle's share of the GUI thread, measured on the GUI thread itself.
  std::vector<double> stalls;
  for (int i = 0; i < 5; ++i) {
    const auto start = std::chrono::steady_clock::now();
    Read->ReopenPort();
    stalls.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count());
  }
  std::sort(stalls.begin(), stalls.end());
  std::printf(
      "GUI-thread stall per watchdog cycle: median %.1f ms, max %.1f ms (the 250 ms "
      "pause is deliberate)\n",
      stalls[stalls.size() / 2], stalls.back());

  TThread::Create<Closer>(idleSeconds);
  const auto wallStart = std::chrono::steady_clock::now();
  const uint64_t cpuStart = ThisProcessCpuNs();
  application->Run();
  const double cpu = static_cast<double>(ThisProcessCpuNs() - cpuStart) / 1e9;
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
  std::printf(
      "CPU use over %.0f idle seconds with the watchdog running: %.3f %% of one core "
      "(target <= 0.5 %%)\n",
      wall, 100.0 * cpu / wall);
  delete application;
  return 0;
}
