#pragma once
// Worker threads: TThread owns one OS thread that runs the derived class's Run once, reports
// its end and, if asked, deletes itself. A worker touches windows and controls only through
// RunInMainThread, which hands a call to the main thread and blocks until it has run there.
//
// Construct threads with TThread::Create<T>(...): it runs the post-construction step that starts
// the thread once the whole constructor chain has finished, so Run never sees a half-built
// object. Deleting a thread object ends its thread while the object is still whole, before any
// destructor runs, so a derived class's members outlive its Run. An object made with a plain
// new-expression stays held until ResumeExecution (or its deletion, which lets it end unrun).
//
// The main thread must not wait for a worker from inside a handed-over call of another worker
// that hands calls over: the drain holds the hand-over lock that the waited-for worker needs.

#include <atomic>
#include <cstddef>
#include <exception>
#include <functional>
#include <new>
#include <utility>
#include <vector>

#include "framework/Component.h"
#include "platform/ThreadPrimitives.h"

enum TThreadPriority {
  plIdle,
  plLowest,
  plBelowNormal,
  plNormal,
  plAboveNormal,
  plHighest,
  plTimeCritical
};

// A parameterless method bound to its object.
using TThreadMethod = std::function<void()>;

class TThread;

// One queued hand-over, living on the stack of the worker that waits for it.
struct PendingCall {
  TThread* thread;
  HEVENT signal;
};

// Called, under SyncLock, each time a call is queued; it must not block.
using TWakeHook = std::function<void(TThread* queuingThread)>;

class TThread : public TObject {
 public:
  explicit TThread(bool StartSuspended);
  ~TThread() override;

  // Asks the thread to stop and waits for it before destroying the object. Deleting a thread
  // inside one of its own handed-over calls (its OnFinished, say) cannot wait, as the thread is
  // blocked on that call: the object is then deleted by its own thread when it ends.
  static void operator delete(TThread* thread, std::destroying_delete_t);
  // The allocation that goes with it, and the release of an object whose construction failed.
  static void* operator new(std::size_t size);
  static void operator delete(void* memory);

  // Constructs a thread object and runs its post-construction step. If that step fails the
  // object is deleted and the exception passed on.
  template <class T, class... Args>
  static T* Create(Args&&... args) {
    T* thread = new T(std::forward<Args>(args)...);
    try {
      thread->AfterConstruction();
    } catch (...) {
      delete thread;
      throw;
    }
    return thread;
  }
  // The post-construction step: starts the thread unless it was created suspended. Runs once.
  void AfterConstruction();

  // Runs on the worker thread after Run; the base hands OnFinished to the main thread.
  virtual void NotifyFinished();

  // On the main thread the method runs at once. Elsewhere it is queued for the main thread and
  // this returns once it has run there; what it threw there is thrown here.
  void RunInMainThread(TThreadMethod method);
  void RequestTerminate() { TerminateRequested = true; }
  void ResumeExecution();
  // Waits for the OS thread to end and returns its exit code. On the main thread, queued
  // hand-over calls keep being served meanwhile.
  DWORD WaitUntilFinished();
  // Every level can be set by a user without privileges, in any order; see SetThreadPriority
  // for how the levels land on the scheduler.
  void SetPriorityLevel(TThreadPriority level);
  // What NotifyFinished hands to the main thread.
  void CallOnFinished();

  static void RaiseThreadError(DWORD code);
  static void CheckThreadCall(bool ok);

  HTHREAD ThreadHandle = nullptr;
  DWORD OsThreadId = 0;
  bool StartSuspended = false;
  // Set by RequestTerminate and never cleared; Run polls it.
  std::atomic<bool> TerminateRequested{false};
  std::atomic<bool> IsSuspended{false};
  bool FreeOnFinish = false;
  // Set once Run is over (or was skipped), before the end notification.
  std::atomic<bool> HasFinished{false};
  int ResultCode = 0;
  // Called on the main thread when the thread ends.
  TNotifyEvent OnFinished;
  // The call being handed over and what it threw; guarded by SyncLock while queued.
  TThreadMethod PendingMethod;
  std::exception_ptr CallException;
  // What escaped Run; kept, not reported.
  std::exception_ptr EscapedException;

 protected:
  // The body, run once on the worker thread.
  virtual void Run() = 0;

 private:
  // Ends the thread: request, resume, wait. Safe to call more than once.
  void FinishBeforeDestruction();
  friend bool CheckSynchronize();
  static DWORD ThreadEntry(void* parameter);

  bool constructed_ = false;
  // Set on the main thread while it runs this thread's handed-over call.
  bool servingHandOver_ = false;
  std::atomic<bool> deleteWhenEnded_{false};
};

// Runs every queued hand-over call on the main thread, oldest first; true when there were any.
// Throws EThread when called on another thread.
bool CheckSynchronize();

// The facility's process-wide state, one per process. SyncLock guards the rest, and a thread's
// PendingMethod and CallException while its call is queued; CallsPosted is also read without the
// lock, as a hint that spares the idle step the lock when nothing is queued.
struct TThreadFacility {
  CRITICAL_SECTION SyncLock;
  // Calls waiting for the main thread, oldest first. Created by the first thread constructed
  // and kept from then on.
  std::vector<PendingCall*>* PendingCalls = nullptr;
  std::atomic<bool> CallsPosted{false};
  // Thread objects constructed and not yet destroyed.
  int LiveThreadCount = 0;
  TWakeHook MainThreadWakeHook;
};

// Lives as long as the process, so that a worker still running while the program ends never
// touches destroyed state.
TThreadFacility& ThreadFacility();

// Sets or clears (empty function) the hook that wakes the main thread when a call is queued.
void SetMainThreadWakeHook(TWakeHook hook);
void RemoveWakeHook();
