#include "thread/MainThreadHandOver.h"

#include "framework/Application.h"
#include "thread/Thread.h"

namespace {
TApplication* installedFor = nullptr;
}

void InstallMainThreadHandOver() {
  TApplication* application = Application;
  if (!application || installedFor == application) return;
  installedFor = application;
  application->SetWakeHandler([] { CheckSynchronize(); });
  application->AddIdleStep(
      [] { return GetCurrentThreadId() == MainThreadId() && CheckSynchronize(); });
  SetMainThreadWakeHook([application](TThread*) { application->PostWakeMessage(); });
  application->AddShutdownStep([application] {
    RemoveWakeHook();
    if (installedFor == application) installedFor = nullptr;
  });
}
