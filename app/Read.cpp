#include "app/Read.h"

#include "app/Form1.h"
#include "app/SerialLink.h"

TRead* Read = nullptr;

namespace {
// The pause is on the GUI thread on purpose: the port is closed and reopened while nothing else
// can use it.
constexpr DWORD kReopenPauseMs = 250;
constexpr DWORD kCyclePauseMs = 1000;
}  // namespace

void TRead::Run() {
  FreeOnFinish = true;
  while (!TerminateRequested) {
    RunInMainThread([this] { ReopenPort(); });
    Sleep(kCyclePauseMs);
  }
}

void TRead::ReopenPort() {
  // The window may be gone already when a cycle that was queued earlier is served.
  if (!Form1) return;
  Sleep(kReopenPauseMs);
  ClosePort();
  OpenPort();
  if (PortHandle == INVALID_HANDLE_VALUE) {
    Form1->ShowPortNotFound();
    return;
  }
  ConfigurePort();
  Form1->ShowPortFound();
}
