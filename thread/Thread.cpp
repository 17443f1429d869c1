#include "thread/Thread.h"

#include "framework/Exceptions.h"

namespace {

bool OnMainThread() {
  return GetCurrentThreadId() == MainThreadId();
}

void RegisterThread() {
  TThreadFacility& facility = ThreadFacility();
  CriticalSectionGuard guard(facility.SyncLock);
  if (facility.LiveThreadCount == 0 && !facility.PendingCalls)
    facility.PendingCalls = new std::vector<PendingCall*>;
  ++facility.LiveThreadCount;
}

void UnregisterThread() {
  TThreadFacility& facility = ThreadFacility();
  CriticalSectionGuard guard(facility.SyncLock);
  --facility.LiveThreadCount;
}

constexpr int kPriorities[] = {THREAD_PRIORITY_IDLE,         THREAD_PRIORITY_LOWEST,
                               THREAD_PRIORITY_BELOW_NORMAL, THREAD_PRIORITY_NORMAL,
                               THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST,
                               THREAD_PRIORITY_TIME_CRITICAL};

[[noreturn]] void RaiseLastOSError() {
  const DWORD code = GetLastError();
  if (code != 0)
    throw EOSError(FormatText("System Error.  Code: %d.\r\n%s", static_cast<int>(code),
                              SystemErrorText(code).c_str()),
                   static_cast<int>(code));
  throw EOSError("A call to an OS function failed", 0);
}

}  // namespace

TThread::TThread(bool startSuspended) {
  RegisterThread();
  IsSuspended = startSuspended;
  StartSuspended = startSuspended;
  // Held in every case: the post-construction step lets it go once the derived constructors
  // have finished.
  ThreadHandle =
      CreateThread(nullptr, 0, &TThread::ThreadEntry, this, CREATE_SUSPENDED, &OsThreadId);
  if (!ThreadHandle) {
    const std::string reason = SystemErrorText(GetLastError());
    OsThreadId = 0;
    UnregisterThread();
    throw EThread(FormatText("Thread creation error: %s", reason.c_str()));
  }
}

TThread::~TThread() {
  // A thread deleting itself from ThreadEntry has finished and must not wait for itself.
  if (OsThreadId != 0 && GetCurrentThreadId() != OsThreadId) {
    try {
      FinishBeforeDestruction();
    } catch (...) {
      // Nothing can be reported from a destructor; the handle is released below regardless.
    }
  }
  if (ThreadHandle) CloseHandle(ThreadHandle);
  EscapedException = nullptr;
  UnregisterThread();
}

void TThread::operator delete(TThread* thread, std::destroying_delete_t) {
  if (thread->servingHandOver_) {
    thread->deleteWhenEnded_ = true;
    thread->RequestTerminate();
    return;
  }
  try {
    thread->FinishBeforeDestruction();
  } catch (...) {
    // Nothing can be reported from a deletion; the object goes regardless.
  }
  thread->~TThread();
  ::operator delete(static_cast<void*>(thread));
}

void* TThread::operator new(std::size_t size) {
  return ::operator new(size);
}

void TThread::operator delete(void* memory) {
  ::operator delete(memory);
}

void TThread::FinishBeforeDestruction() {
  if (OsThreadId == 0 || GetCurrentThreadId() == OsThreadId || !ThreadHandle) return;
  if (!HasFinished) {
    RequestTerminate();
    // Also lets go of a thread that never passed its post-construction step; on a running
    // thread this changes nothing.
    ResumeExecution();
  }
  // Even with HasFinished set the thread may still be in NotifyFinished, using this object.
  WaitUntilFinished();
}

void TThread::AfterConstruction() {
  if (constructed_) return;
  constructed_ = true;
  if (!StartSuspended) ResumeExecution();
}

DWORD TThread::ThreadEntry(void* parameter) {
  auto* thread = static_cast<TThread*>(parameter);
  if (!thread->TerminateRequested) {
    try {
      thread->Run();
    } catch (...) {
      thread->EscapedException = std::current_exception();
    }
  }
  const bool freeOnFinish = thread->FreeOnFinish;
  const int resultCode = thread->ResultCode;
  thread->HasFinished = true;
  try {
    thread->NotifyFinished();
  } catch (...) {
    // An exception from the end handler must not end the process; the thread still ends
    // normally and a self-deleting object is still deleted.
    if (!thread->EscapedException) thread->EscapedException = std::current_exception();
  }
  if (freeOnFinish || thread->deleteWhenEnded_) delete thread;
  return static_cast<DWORD>(resultCode);
}

void TThread::NotifyFinished() {
  if (OnFinished) RunInMainThread([this] { CallOnFinished(); });
}

void TThread::CallOnFinished() {
  if (OnFinished) OnFinished(this);
}

void TThread::RunInMainThread(TThreadMethod method) {
  if (OnMainThread()) {
    method();
    return;
  }
  TThreadFacility& facility = ThreadFacility();
  HEVENT signal = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  PendingCall call{this, signal};
  {
    CriticalSectionGuard guard(facility.SyncLock);
    CallException = nullptr;
    PendingMethod = std::move(method);
    facility.PendingCalls->push_back(&call);
    facility.CallsPosted.store(true, std::memory_order_release);
    if (facility.MainThreadWakeHook) facility.MainThreadWakeHook(this);
  }
  WaitForSingleObject(signal, INFINITE);
  std::exception_ptr thrown;
  {
    // The main thread holds the lock for its whole drain: go on only after it has ended.
    CriticalSectionGuard guard(facility.SyncLock);
    thrown = std::move(CallException);
    CallException = nullptr;
  }
  CloseHandle(signal);
  if (thrown) std::rethrow_exception(thrown);
}

void TThread::ResumeExecution() {
  // Cleared before the thread is let go: a thread that deletes itself may be gone by the time
  // ResumeThread returns. The only suspension is the one at creation, so a set flag means the
  // call below brings the count to zero.
  const bool wasSuspended = IsSuspended.exchange(false);
  const DWORD previous = ResumeThread(ThreadHandle);
  if (static_cast<int>(previous) < 0) {
    IsSuspended = wasSuspended;
    CheckThreadCall(false);
  }
}

DWORD TThread::WaitUntilFinished() {
  if (OnMainThread()) {
    DWORD result = 0;
    do {
      Sleep(0);
      CheckSynchronize();
      result = WaitForSingleObject(ThreadHandle, 0);
      if (result == WAIT_FAILED) RaiseLastOSError();
    } while (result != WAIT_OBJECT_0);
  } else {
    WaitForSingleObject(ThreadHandle, INFINITE);
  }
  DWORD exitCode = 0;
  CheckThreadCall(GetExitCodeThread(ThreadHandle, &exitCode) != FALSE);
  return exitCode;
}

void TThread::SetPriorityLevel(TThreadPriority level) {
  CheckThreadCall(SetThreadPriority(ThreadHandle, kPriorities[level]) != FALSE);
}

void TThread::RaiseThreadError(DWORD code) {
  if (code != 0)
    throw EThread(
        FormatText("Thread Error: %s (%d)", SystemErrorText(code).c_str(), static_cast<int>(code)));
}

void TThread::CheckThreadCall(bool ok) {
  if (!ok) RaiseThreadError(GetLastError());
}

bool CheckSynchronize() {
  if (!OnMainThread())
    throw EThread(
        FormatText("CheckSynchronize called from thread $%x, which is NOT the main thread",
                   GetCurrentThreadId()));
  TThreadFacility& facility = ThreadFacility();
  if (!facility.CallsPosted.load(std::memory_order_acquire)) return false;
  CriticalSectionGuard guard(facility.SyncLock);
  std::vector<PendingCall*>* calls = facility.PendingCalls;
  const bool found = calls && !calls->empty();
  while (calls && !calls->empty()) {
    PendingCall* call = calls->front();
    calls->erase(calls->begin());
    TThread* thread = call->thread;
    thread->servingHandOver_ = true;
    try {
      thread->PendingMethod();
    } catch (...) {
      thread->CallException = std::current_exception();
    }
    thread->servingHandOver_ = false;
    SetEvent(call->signal);
  }
  facility.CallsPosted.store(false, std::memory_order_release);
  return found;
}

// Never destroyed: a worker may still queue, unregister or delete itself while static
// destructors run at the end of the program. Reachable from here, so not a leak.
TThreadFacility& ThreadFacility() {
  static TThreadFacility* facility = [] {
    auto* created = new TThreadFacility;
    InitializeCriticalSection(&created->SyncLock);
    return created;
  }();
  return *facility;
}

void SetMainThreadWakeHook(TWakeHook hook) {
  TThreadFacility& facility = ThreadFacility();
  CriticalSectionGuard guard(facility.SyncLock);
  facility.MainThreadWakeHook = std::move(hook);
}

void RemoveWakeHook() {
  SetMainThreadWakeHook(nullptr);
}
