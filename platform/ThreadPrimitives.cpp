#include "platform/ThreadPrimitives.h"

#include <linux/capability.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <thread>

#include "platform/Serial.h"

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
  // The nice value the thread began with, which stands for normal priority.
  int baseNice = 0;
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
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(thread->id));
    thread->baseNice = errno == 0 ? nice : 0;
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

// How the priority levels land on Linux scheduling for a user without privileges.
//
// A thread may always be made nicer (a higher nice value) and may always switch between the
// normal and the batch policy, and enter the idle policy. Making it less nice again, or leaving
// the idle policy, is allowed only down to the nice value 20 - RLIMIT_NICE (to any value with
// CAP_SYS_NICE; the limit is 0 on a plain Debian system, which allows no way back at all). So
// that every level can be set after every other, each level goes to a nice value the thread may
// return from, or keeps the nice value it began with:
//
//   B     the nice value the thread began with (inherited from its creator), standing for normal
//   F     the lowest nice value the process may go back to: 20 - RLIMIT_NICE, or -20 with
//         CAP_SYS_NICE
//   up    max(0, B - max(F, -20)), the room above normal; down = 19 - B, the room below
//   back  B >= F: the thread may come back to B after being made nicer
//
//   level            policy                       nice
//   time critical    normal                       B - up
//   highest          normal                       B - min(10, ceil(2 up / 3))
//   above normal     normal                       B - min(5, ceil(up / 3))
//   normal           normal                       B
//   below normal     normal (batch when nice = B) back ? B + min(5, ceil(down / 3)) : B
//   lowest           normal (batch when nice = B) back ? B + min(10, ceil(2 down / 3)) : B
//   idle             back ? idle : batch          back ? 19 : B
//
// With B = 0: root gets -20, -10, -5, 0, 5, 10 and the idle policy; RLIMIT_NICE 30 gives -10,
// -7, -4, 0, 5, 10 and idle; RLIMIT_NICE 0 gives nice 0 throughout, with the batch policy for
// the three levels below normal. The order of the levels is kept wherever the limits leave room
// for it, and no level is ever refused.
struct SchedulingTarget {
  int policy;
  int nice;
};

int CeilDiv(int a, int b) {
  return (a + b - 1) / b;
}

bool HasCapSysNice() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
  if (syscall(SYS_capget, &header, data) != 0) return false;
  return (data[CAP_TO_INDEX(CAP_SYS_NICE)].effective & CAP_TO_MASK(CAP_SYS_NICE)) != 0;
}

int NiceFloor() {
  if (HasCapSysNice()) return -20;
  rlimit limit{};
  if (getrlimit(RLIMIT_NICE, &limit) != 0) return 20;
  const rlim_t allowed =
      limit.rlim_cur == RLIM_INFINITY ? 40 : std::min<rlim_t>(limit.rlim_cur, 40);
  return 20 - static_cast<int>(allowed);
}

}  // namespace

bool SchedulingForPriority(int priority, int base, int floor, int& policy, int& nice) {
  SchedulingTarget target{};
  const int up = std::max(0, base - std::max(floor, -20));
  const int down = 19 - base;
  const bool back = base >= floor;
  auto nicer = [&](int most, int share) {
    const int value = back ? base + std::min(most, CeilDiv(share * down, 3)) : base;
    return SchedulingTarget{value > base ? SCHED_OTHER : SCHED_BATCH, value};
  };
  switch (priority) {
    case THREAD_PRIORITY_TIME_CRITICAL:
      target = {SCHED_OTHER, base - up};
      break;
    case THREAD_PRIORITY_HIGHEST:
      target = {SCHED_OTHER, base - std::min(10, CeilDiv(2 * up, 3))};
      break;
    case THREAD_PRIORITY_ABOVE_NORMAL:
      target = {SCHED_OTHER, base - std::min(5, CeilDiv(up, 3))};
      break;
    case THREAD_PRIORITY_NORMAL:
      target = {SCHED_OTHER, base};
      break;
    case THREAD_PRIORITY_BELOW_NORMAL:
      target = nicer(5, 1);
      break;
    case THREAD_PRIORITY_LOWEST:
      target = nicer(10, 2);
      break;
    case THREAD_PRIORITY_IDLE:
      target = back ? SchedulingTarget{SCHED_IDLE, 19} : SchedulingTarget{SCHED_BATCH, base};
      break;
    default:
      return false;
  }
  policy = target.policy;
  nice = target.nice;
  return true;
}

namespace {

// Moves a thread to its target in the order the kernel lets an unprivileged thread take:
// into the idle policy only after the nice value is set, out of it before.
bool ApplyTarget(pid_t tid, const SchedulingTarget& target) {
  const int current = sched_getscheduler(tid);
  if (current < 0) return false;
  const sched_param parameters{};
  if (target.policy == SCHED_IDLE) {
    if (setpriority(PRIO_PROCESS, static_cast<id_t>(tid), target.nice) != 0) return false;
    return (current & ~SCHED_RESET_ON_FORK) == SCHED_IDLE ||
           sched_setscheduler(tid, SCHED_IDLE, &parameters) == 0;
  }
  if ((current & ~SCHED_RESET_ON_FORK) != target.policy &&
      sched_setscheduler(tid, target.policy, &parameters) != 0) {
    return false;
  }
  return setpriority(PRIO_PROCESS, static_cast<id_t>(tid), target.nice) == 0;
}

// The first call comes during static initialisation, which runs on the thread that starts the
// program.
[[maybe_unused]] const DWORD mainThreadRecorded = MainThreadId();

// Whether a handle was given; a missing one sets EBADF as the last error.
bool Present(const void* handle) {
  if (!handle) SetLastError(EBADF);
  return handle != nullptr;
}

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
  if (!Present(thread)) return static_cast<DWORD>(-1);
  std::lock_guard<std::mutex> guard(thread->lock);
  const int previous = thread->suspendCount;
  if (previous > 0 && --thread->suspendCount == 0) thread->changed.notify_all();
  return static_cast<DWORD>(previous);
}

BOOL GetExitCodeThread(HTHREAD thread, DWORD* exitCode) {
  if (!Present(thread) || !Present(exitCode)) return FALSE;
  std::lock_guard<std::mutex> guard(thread->lock);
  *exitCode = thread->ended ? thread->exitCode : STILL_ACTIVE;
  return TRUE;
}

BOOL SetThreadPriority(HTHREAD thread, int priority) {
  if (!Present(thread)) return FALSE;
  std::lock_guard<std::mutex> guard(thread->lock);
  if (thread->ended) return FailWith(ESRCH);
  SchedulingTarget target{};
  if (!SchedulingForPriority(priority, thread->baseNice, NiceFloor(), target.policy, target.nice)) {
    return FailWith(EINVAL);
  }
  if (!ApplyTarget(static_cast<pid_t>(thread->id), target)) return FailWith(errno);
  return TRUE;
}

BOOL CloseHandle(HTHREAD thread) {
  if (!Present(thread)) return FALSE;
  Release(thread);
  return TRUE;
}

DWORD WaitForSingleObject(HTHREAD thread, DWORD milliseconds) {
  if (!Present(thread)) return WAIT_FAILED;
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
  if (!Present(event)) return FALSE;
  std::lock_guard<std::mutex> guard(event->lock);
  event->signalled = true;
  event->changed.notify_all();
  return TRUE;
}

BOOL CloseHandle(HEVENT event) {
  if (!Present(event)) return FALSE;
  delete event;
  return TRUE;
}

DWORD WaitForSingleObject(HEVENT event, DWORD milliseconds) {
  if (!Present(event)) return WAIT_FAILED;
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

void LeaveCriticalSection(CRITICAL_SECTION* section) {
  section->mutex.unlock();
}

DWORD GetCurrentThreadId() {
  thread_local const DWORD id = static_cast<DWORD>(syscall(SYS_gettid));
  return id;
}

DWORD MainThreadId() {
  static const DWORD id = GetCurrentThreadId();
  return id;
}

void Sleep(DWORD milliseconds) {
  // What this thread has gathered for a serial port must not wait for its sleep.
  TransmitGatheredCommChars();
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
