// Ends the program while a worker still runs, in the situation named by its argument:
//   sleeping  - a watchdog-like worker asked to stop is asleep when main returns
//   racing    - the same with short sleeps, so that it wakes and deletes itself during exit
//   waiting   - a worker is blocked handing a call over after the message loop has ended
// Exits 0 when it got that far; the sanitizers report anything else.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "framework/Application.h"
#include "tests/support/MessageLoop.h"
#include "thread/MainThreadHandOver.h"
#include "thread/Thread.h"

namespace {

std::atomic<int> cycles{0};

class CyclingWorker : public TThread {
 public:
  explicit CyclingWorker(DWORD pause) : TThread(false), pause_(pause) {}

 protected:
  void Run() override {
    FreeOnFinish = true;
    while (!TerminateRequested) {
      RunInMainThread([] { ++cycles; });
      if (pause_ != 0) Sleep(pause_);
    }
  }

 private:
  const DWORD pause_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const bool waiting = std::strcmp(argv[1], "waiting") == 0;
  const DWORD pause = std::strcmp(argv[1], "sleeping") == 0 ? 1000 : waiting ? 0 : 1;
  static char name[] = "probe";
  static char* appArgv[] = {name, nullptr};
  int appArgc = 1;
  auto* application = new TApplication(appArgc, appArgv);
  application->Initialize();
  InstallMainThreadHandOver();

  TThread* worker = TThread::Create<CyclingWorker>(pause);
  if (!RunUntil([] { return cycles >= 2; }, 20000)) {
    std::fprintf(stderr, "the worker's calls were not served\n");
    return 3;
  }
  if (waiting) {
    // The loop has ended; the worker queues its next call and blocks in it for good.
    while (true) {
      {
        CriticalSectionGuard guard(ThreadFacility().SyncLock);
        if (ThreadFacility().PendingCalls && !ThreadFacility().PendingCalls->empty()) break;
      }
      Sleep(1);
    }
  } else {
    // As at shut-down: asked to stop, it ends after its current pause and deletes itself,
    // possibly while the program is already ending.
    worker->RequestTerminate();
  }
  // No thread object is reachable from here any more; the worker owns itself.
  delete application;
  return 0;
}
