#pragma once
// Threads and synchronisation in the shape the thread layer is written against: a thread that
// is created held until resumed and leaves an exit code, manual- and auto-reset events, a
// re-entrant lock, thread ids and the system text of an error code. Failed calls leave their
// errno value for GetLastError.

#include <cstddef>
#include <mutex>
#include <string>

#include "platform/LastError.h"
#include "platform/WinTypes.h"

struct ThreadObject;
struct EventObject;
// Handles of the two kinds of waitable object. Null is never a valid handle.
using HTHREAD = ThreadObject*;
using HEVENT = EventObject*;

using LPTHREAD_START_ROUTINE = DWORD (*)(void* parameter);

constexpr DWORD CREATE_SUSPENDED = 0x00000004;
constexpr DWORD INFINITE = 0xFFFFFFFF;
constexpr DWORD WAIT_OBJECT_0 = 0x00000000;
constexpr DWORD WAIT_TIMEOUT = 0x00000102;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
// GetExitCodeThread's code for a thread that has not ended.
constexpr DWORD STILL_ACTIVE = 259;

constexpr int THREAD_PRIORITY_IDLE = -15;
constexpr int THREAD_PRIORITY_LOWEST = -2;
constexpr int THREAD_PRIORITY_BELOW_NORMAL = -1;
constexpr int THREAD_PRIORITY_NORMAL = 0;
constexpr int THREAD_PRIORITY_ABOVE_NORMAL = 1;
constexpr int THREAD_PRIORITY_HIGHEST = 2;
constexpr int THREAD_PRIORITY_TIME_CRITICAL = 15;

// Starts a thread that runs start(parameter) and ends with its result as exit code. With
// CREATE_SUSPENDED the thread exists but does not call start until ResumeThread. stackSize 0
// means the process default. The id is known when this returns. Null on failure.
HTHREAD CreateThread(void* security, size_t stackSize, LPTHREAD_START_ROUTINE start,
                     void* parameter, DWORD creationFlags, DWORD* threadId);
// Lowers the suspend count by one; returns the count before the call (1: the thread runs now,
// 0: it was not suspended), or (DWORD)-1 on failure.
DWORD ResumeThread(HTHREAD thread);
// STILL_ACTIVE until the thread has ended, then its exit code.
BOOL GetExitCodeThread(HTHREAD thread, DWORD* exitCode);

// One of the THREAD_PRIORITY_* values, mapped onto what the process may change of the
// thread's scheduling (see ThreadPrimitives.cpp), so that an ordinary user can set every one
// of them, in any order. EINVAL for any other value, ESRCH for a thread that has ended.
BOOL SetThreadPriority(HTHREAD thread, int priority);
// Where SetThreadPriority puts a thread that began at the nice value baseNice, in a process
// that may set nice values as low as niceFloor (20 - RLIMIT_NICE, or -20 with CAP_SYS_NICE): a
// scheduling policy (SCHED_OTHER, SCHED_BATCH or SCHED_IDLE) and a nice value. False for a
// value that is not one of the THREAD_PRIORITY_* values.
bool SchedulingForPriority(int priority, int baseNice, int niceFloor, int& policy, int& nice);
// The thread runs on; only the handle goes.
BOOL CloseHandle(HTHREAD thread);
// WAIT_OBJECT_0 once the thread has ended, WAIT_TIMEOUT, or WAIT_FAILED for a null handle.
DWORD WaitForSingleObject(HTHREAD thread, DWORD milliseconds);

HEVENT CreateEventA(void* security, BOOL manualReset, BOOL initialState, const char* name);
BOOL SetEvent(HEVENT event);
BOOL CloseHandle(HEVENT event);
// An auto-reset event is reset by the wait that it ends.
DWORD WaitForSingleObject(HEVENT event, DWORD milliseconds);

// A lock that its owner may enter again; each Enter needs its Leave.
struct CRITICAL_SECTION {
  std::recursive_mutex mutex;
};
void InitializeCriticalSection(CRITICAL_SECTION* section);
void EnterCriticalSection(CRITICAL_SECTION* section);
void LeaveCriticalSection(CRITICAL_SECTION* section);

// Holds a critical section for the life of the guard.
class CriticalSectionGuard {
 public:
  explicit CriticalSectionGuard(CRITICAL_SECTION& section) : section_(section) {
    EnterCriticalSection(&section_);
  }
  ~CriticalSectionGuard() { LeaveCriticalSection(&section_); }
  CriticalSectionGuard(const CriticalSectionGuard&) = delete;
  CriticalSectionGuard& operator=(const CriticalSectionGuard&) = delete;

 private:
  CRITICAL_SECTION& section_;
};

DWORD GetCurrentThreadId();
// The id of the thread that started the program, recorded at start-up.
DWORD MainThreadId();

// Sleep(0) gives up the rest of the time slice. The characters this thread gathered for a
// serial port go out first.
void Sleep(DWORD milliseconds);

// The system's text for an error code, without trailing blanks, line ends or full stops.
std::string SystemErrorText(DWORD code);
