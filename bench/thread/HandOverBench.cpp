// Round trip of one hand-over from a worker to an idle main loop and back.
#include <chrono>
#include <cstdio>
#include <vector>

#include "bench/common/Percentile.h"
#include "framework/Application.h"
#include "thread/MainThreadHandOver.h"
#include "thread/Thread.h"

namespace {

constexpr int kWarmUp = 100;
constexpr int kSamples = 2000;

class HandOverTimer : public TThread {
 public:
  HandOverTimer() : TThread(false) {}
  std::vector<double> microseconds;

 protected:
  void Run() override {
    for (int i = 0; i < kWarmUp + kSamples; ++i) {
      // The pause lets the main loop fall idle, so each call has to wake it.
      Sleep(1);
      const auto start = std::chrono::steady_clock::now();
      RunInMainThread([] {});
      const auto end = std::chrono::steady_clock::now();
      if (i >= kWarmUp)
        microseconds.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    }
    RunInMainThread([] { Application->Terminate(); });
  }
};

}  // namespace

int main(int argc, char** argv) {
  auto* application = new TApplication(argc, argv);
  application->Initialize();
  InstallMainThreadHandOver();
  auto* timer = TThread::Create<HandOverTimer>();
  application->Run();
  timer->WaitUntilFinished();
  std::printf(
      "RunInMainThread round trip on an idle loop (%d calls): p50 %.1f us, p99 %.1f us "
      "(target p50 <= 50 us)\n",
      kSamples, Percentile(timer->microseconds, 0.50), Percentile(timer->microseconds, 0.99));
  delete timer;
  delete application;
  return 0;
}
