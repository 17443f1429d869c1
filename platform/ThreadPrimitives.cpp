#include "platform/ThreadPrimitives.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <thread>

// One per OS thread, shared by the thread itself and its handle; whichever lets go last frees
// it, so the thread may outlive its handle and the other way round.
struct ThreadObject {
  std::mutex lock;
  std::condition_variable changed;
  int suspendCount = 0;
  bool idKnown = false;
  bool ended = false;
  DWORD id = 0;
  DWORD exitCode = STILL_ACTIVE;
  LPTHREAD_START_ROUTINE start = nullptr;
  void* parameter = nullptr;
  std::atomic<int> references{2};
};

struct EventObject {
  std::mutex lock;
  std::condition_variable changed;
  bool manualReset = true;
  bool signalled = false;
};

namespace {

void Release(ThreadObject* thread) {
  if (thread->references.fetch_sub(1, std::memory_order_acq_rel) == 1) delete thread;
}

void* ThreadStub(void* parameter) {
  auto* thread = static_cast<ThreadObject*>(parameter);
  {
    std::unique_lock<std::mutex> guard(thread->lock);
    thread->id = GetCurrentThreadId();
    thread->idKnown = true;
    thread->changed.notify_all();
    thread->changed.wait(guard, [thread] { return thread->suspendCount == 0; });
  }
  const DWORD exitCode = thread->start(thread->parameter);
  {
    std::lock_guard<std::mutex> guard(thread->lock);
    thread->exitCode = exitCode;
    thread->ended = true;
    thread->changed.notify_all();
  }
  Release(thread);
  return nullptr;
}

// Waits on a condition with the Windows time-out convention; true when the condition holds.
template <class Predicate>
bool WaitFor(std::condition_variable& changed, std::unique_lock<std::mutex>& guard,
             DWORD milliseconds, Predicate done) {
  if (milliseconds == INFINITE) {
    changed.wait(guard, done);
    return true;
  }
  return changed.wait_for(guard, std::chrono::milliseconds(milliseconds), done);
}

int NiceValueFor(int priority, bool& known) {
  known = true;
  switch (priority) {
    case THREAD_PRIORITY_LOWEST:
      return 10;
    case THREAD_PRIORITY_BELOW_NORMAL:
      return 5;
    case THREAD_PRIORITY_NORMAL:
      return 0;
    case THREAD_PRIORITY_ABOVE_NORMAL:
      return -5;
    case THREAD_PRIORITY_HIGHEST:
      return -10;
    case THREAD_PRIORITY_TIME_CRITICAL:
      return -20;
    default:
      known = false;
      return 0;
  }
}

// Written during static initialisation, which runs on the thread that starts the program.
std::atomic<DWORD> recordedMainThreadId{0};
[[maybe_unused]] const bool mainThreadRecorded = [] {
  MainThreadId();
  return true;
}();

}  // namespace

HTHREAD CreateThread(void*, size_t stackSize, LPTHREAD_START_ROUTINE start, void* parameter,
                     DWORD creationFlags, DWORD* threadId) {
  auto* thread = new ThreadObject;
  thread->start = start;
  thread->parameter = parameter;
  thread->suspendCount = (creationFlags & CREATE_SUSPENDED) ? 1 : 0;

  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  int error = 0;
  if (stackSize != 0) error = pthread_attr_setstacksize(&attributes, stackSize);
  pthread_t os;
  if (error == 0) error = pthread_create(&os, &attributes, ThreadStub, thread);
  pthread_attr_destroy(&attributes);
  if (error != 0) {
    delete thread;
    SetLastError(static_cast<DWORD>(error));
    return nullptr;
  }
  std::unique_lock<std::mutex> guard(thread->lock);
  thread->changed.wait(guard, [thread] { return thread->idKnown; });
  if (threadId) *threadId = thread->id;
  return thread;
}

DWORD ResumeThread(HTHREAD thread) {
  if (!thread) {
    SetLastError(EBADF);
    return static_cast<DWORD>(-1);
  }
  std::lock_guard<std::mutex> guard(thread->lock);
  const int previous = thread->suspendCount;
  if (previous > 0 && --thread->suspendCount == 0) thread->changed.notify_all();
  return static_cast<DWORD>(previous);
}

BOOL GetExitCodeThread(HTHREAD thread, DWORD* exitCode) {
  if (!thread || !exitCode) {
    SetLastError(EBADF);
    return FALSE;
  }
  std::lock_guard<std::mutex> guard(thread->lock);
  *exitCode = thread->ended ? thread->exitCode : STILL_ACTIVE;
  return TRUE;
}

BOOL SetThreadPriority(HTHREAD thread, int priority) {
  if (!thread) {
    SetLastError(EBADF);
    return FALSE;
  }
  std::lock_guard<std::mutex> guard(thread->lock);
  if (thread->ended) {
    SetLastError(ESRCH);
    return FALSE;
  }
  const pid_t tid = static_cast<pid_t>(thread->id);
  sched_param parameters{};
  if (priority == THREAD_PRIORITY_IDLE) {
    if (sched_setscheduler(tid, SCHED_IDLE, &parameters) != 0) {
      SetLastError(static_cast<DWORD>(errno));
      return FALSE;
    }
    return TRUE;
  }
  bool known = false;
  const int nice = NiceValueFor(priority, known);
  if (!known) {
    SetLastError(EINVAL);
    return FALSE;
  }
  if (sched_getscheduler(tid) != SCHED_OTHER &&
      sched_setscheduler(tid, SCHED_OTHER, &parameters) != 0) {
    SetLastError(static_cast<DWORD>(errno));
    return FALSE;
  }
  if (setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice) != 0) {
    SetLastError(static_cast<DWORD>(errno));
    return FALSE;
  }
  return TRUE;
}

BOOL CloseHandle(HTHREAD thread) {
  if (!thread) {
    SetLastError(EBADF);
    return FALSE;
  }
  Release(thread);
  return TRUE;
}

DWORD WaitForSingleObject(HTHREAD thread, DWORD milliseconds) {
  if (!thread) {
    SetLastError(EBADF);
    return WAIT_FAILED;
  }
  std::unique_lock<std::mutex> guard(thread->lock);
  return WaitFor(thread->changed, guard, milliseconds, [thread] { return thread->ended; })
             ? WAIT_OBJECT_0
             : WAIT_TIMEOUT;
}

HEVENT CreateEventA(void*, BOOL manualReset, BOOL initialState, const char*) {
  auto* event = new EventObject;
  event->manualReset = manualReset != FALSE;
  event->signalled = initialState != FALSE;
  return event;
}

BOOL SetEvent(HEVENT event) {
  if (!event) {
    SetLastError(EBADF);
    return FALSE;
  }
  std::lock_guard<std::mutex> guard(event->lock);
  event->signalled = true;
  event->changed.notify_all();
  return TRUE;
}

BOOL ResetEvent(HEVENT event) {
  if (!event) {
    SetLastError(EBADF);
    return FALSE;
  }
  std::lock_guard<std::mutex> guard(event->lock);
  event->signalled = false;
  return TRUE;
}

BOOL CloseHandle(HEVENT event) {
  if (!event) {
    SetLastError(EBADF);
    return FALSE;
  }
  delete event;
  return TRUE;
}

DWORD WaitForSingleObject(HEVENT event, DWORD milliseconds) {
  if (!event) {
    SetLastError(EBADF);
    return WAIT_FAILED;
  }
  std::unique_lock<std::mutex> guard(event->lock);
  if (!WaitFor(event->changed, guard, milliseconds, [event] { return event->signalled; }))
    return WAIT_TIMEOUT;
  if (!event->manualReset) event->signalled = false;
  return WAIT_OBJECT_0;
}

void InitializeCriticalSection(CRITICAL_SECTION*) {}

void EnterCriticalSection(CRITICAL_SECTION* section) {
  section->mutex.lock();
}

BOOL TryEnterCriticalSection(CRITICAL_SECTION* section) {
  return section->mutex.try_lock() ? TRUE : FALSE;
}

void LeaveCriticalSection(CRITICAL_SECTION* section) {
  section->mutex.unlock();
}

void DeleteCriticalSection(CRITICAL_SECTION*) {}

DWORD GetCurrentThreadId() {
  thread_local const DWORD id = static_cast<DWORD>(syscall(SYS_gettid));
  return id;
}

DWORD MainThreadId() {
  DWORD id = recordedMainThreadId.load(std::memory_order_acquire);
  if (id == 0) {
    // Only reachable during static initialisation, which is single-threaded.
    id = GetCurrentThreadId();
    recordedMainThreadId.store(id, std::memory_order_release);
  }
  return id;
}

void Sleep(DWORD milliseconds) {
  if (milliseconds == 0) {
    sched_yield();
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::string SystemErrorText(DWORD code) {
  char buffer[256];
  // The GNU variant returns a pointer that may or may not be the buffer.
  const char* text = strerror_r(static_cast<int>(code), buffer, sizeof buffer);
  std::string result = text ? text : "";
  while (!result.empty() &&
         (static_cast<unsigned char>(result.back()) <= 32 || result.back() == '.'))
    result.pop_back();
  return result;
}
