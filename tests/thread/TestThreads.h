#pragma once
// Thread classes and waits shared by the facility's tests.

#include <atomic>
#include <functional>

#include "platform/ThreadPrimitives.h"
#include "tests/support/LiveThreads.h"
#include "thread/Thread.h"

// Runs the given body, a member of its own.
class BodyThread : public TThread {
 public:
  using Body = std::function<void(BodyThread&)>;
  BodyThread(bool startSuspended, Body body) : TThread(startSuspended), body_(std::move(body)) {}

  std::atomic<int> runs{0};
  std::atomic<DWORD> ranOn{0};

 protected:
  void Run() override {
    ranOn = GetCurrentThreadId();
    ++runs;
    if (body_) body_(*this);
  }

 private:
  Body body_;
};

// A started worker that hands one call to the main thread, which sets the flag.
inline BodyThread* QueueCallSetting(std::atomic<bool>& flag) {
  return TThread::Create<BodyThread>(
      false, [&flag](BodyThread& self) { self.RunInMainThread([&flag] { flag = true; }); });
}

// Counts its runs outside the object.
class PlainThread : public TThread {
 public:
  explicit PlainThread(bool startSuspended, std::atomic<int>& runs)
      : TThread(startSuspended), runs_(runs) {}

 protected:
  void Run() override { ++runs_; }

 private:
  std::atomic<int>& runs_;
};

// Polls until the condition holds; false after ten seconds (a hang, not a timing check).
inline bool Eventually(const std::function<bool()>& condition) {
  for (int i = 0; i < 10000; ++i) {
    if (condition()) return true;
    Sleep(1);
  }
  return condition();
}

inline size_t QueuedCallCount() {
  TThreadFacility& facility = ThreadFacility();
  CriticalSectionGuard guard(facility.SyncLock);
  return facility.PendingCalls ? facility.PendingCalls->size() : 0;
}
