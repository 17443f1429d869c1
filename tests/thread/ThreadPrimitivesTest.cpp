#include <gtest/gtest.h>

#include <sched.h>
#include <atomic>
#include <iterator>
#include <string>

#include "platform/ThreadPrimitives.h"

namespace {

std::atomic<int> bodyRuns{0};

DWORD CountAndReturn(void* parameter) {
  ++bodyRuns;
  return static_cast<DWORD>(reinterpret_cast<uintptr_t>(parameter));
}

}  // namespace

TEST(ThreadPrimitives, SuspendedThreadWaitsForResumeAndLeavesItsExitCode) {
  bodyRuns = 0;
  DWORD id = 0;
  HTHREAD thread = CreateThread(nullptr, 0, CountAndReturn, reinterpret_cast<void*>(uintptr_t{42}),
                                CREATE_SUSPENDED, &id);
  ASSERT_NE(thread, nullptr);
  EXPECT_NE(id, 0u);
  EXPECT_NE(id, GetCurrentThreadId());
  EXPECT_EQ(WaitForSingleObject(thread, 20), WAIT_TIMEOUT);
  EXPECT_EQ(bodyRuns.load(), 0);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, STILL_ACTIVE);

  EXPECT_EQ(ResumeThread(thread), 1u);
  EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(bodyRuns.load(), 1);
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 42u);
  // Not suspended any more: the count was already zero.
  EXPECT_EQ(ResumeThread(thread), 0u);
  EXPECT_TRUE(CloseHandle(thread));
}

TEST(ThreadPrimitives, ThreadThatCannotBeCreatedLeavesItsErrorCode) {
  SetLastError(0);
  DWORD id = 12345;
  // No stack of this size can be had.
  HTHREAD thread = CreateThread(nullptr, ~size_t{0} / 2, CountAndReturn, nullptr, 0, &id);
  EXPECT_EQ(thread, nullptr);
  EXPECT_NE(GetLastError(), 0u);
  EXPECT_FALSE(SystemErrorText(GetLastError()).empty());
  EXPECT_EQ(id, 12345u);
}

// (A wait on or a resume of a missing thread is reported by the thread class, where it shows.)
TEST(ThreadPrimitives, ManualResetEventStaysSignalledAutoResetDoesNotAndANullEventFails) {
  HEVENT manual = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HEVENT automatic = CreateEventA(nullptr, FALSE, TRUE, nullptr);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
  SetEvent(manual);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);

  EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_TIMEOUT);
  CloseHandle(manual);
  CloseHandle(automatic);
  EXPECT_FALSE(SetEvent(nullptr));
}

namespace {

struct Scheduling {
  int policy = SCHED_OTHER;
  int nice = 0;
};

constexpr int kLevels[] = {THREAD_PRIORITY_IDLE,         THREAD_PRIORITY_LOWEST,
                           THREAD_PRIORITY_BELOW_NORMAL, THREAD_PRIORITY_NORMAL,
                           THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST,
                           THREAD_PRIORITY_TIME_CRITICAL};

Scheduling For(int priority, int base, int floor) {
  Scheduling s;
  EXPECT_TRUE(SchedulingForPriority(priority, base, floor, s.policy, s.nice));
  return s;
}

// What the kernel lets a thread without CAP_SYS_NICE do (sched(7), setpriority(2)): a lower
// nice value only down to the floor, and out of the idle policy only when its nice value is
// within reach. Entering the batch or idle policy and raising the nice value are free.
bool KernelAllows(const Scheduling& from, const Scheduling& to, int floor) {
  if (from.policy == SCHED_IDLE && to.policy != SCHED_IDLE && from.nice < floor) return false;
  return to.nice >= from.nice || to.nice >= floor;
}

// How much of the processor a thread may expect: the idle policy least, then by nice value,
// the batch policy a little below the normal one at the same nice value.
int Share(const Scheduling& s) {
  if (s.policy == SCHED_IDLE) return -1000;
  return -2 * s.nice + (s.policy == SCHED_OTHER ? 1 : 0);
}

}  // namespace

TEST(ThreadPrimitives, EveryPriorityCanFollowEveryOtherWithinTheUsersLimits) {
  // Floors from RLIMIT_NICE 0 (a plain Debian user) to CAP_SYS_NICE; the thread's first nice
  // value as a login, a nice'd and a root-started process may give it.
  for (int floor : {20, 19, 15, 10, 0, -10, -20}) {
    for (int base : {-5, 0, 5, 17, 19}) {
      SCOPED_TRACE("floor " + std::to_string(floor) + ", base " + std::to_string(base));
      const Scheduling start{SCHED_OTHER, base};
      for (int to : kLevels) {
        const Scheduling target = For(to, base, floor);
        EXPECT_TRUE(KernelAllows(start, target, floor)) << to;
        for (int from : kLevels) {
          EXPECT_TRUE(KernelAllows(For(from, base, floor), target, floor)) << from << " -> " << to;
        }
      }
      // Normal is where the thread began; no level is less favoured than the one below it.
      EXPECT_EQ(For(THREAD_PRIORITY_NORMAL, base, floor).nice, base);
      for (size_t i = 1; i < std::size(kLevels); ++i) {
        EXPECT_LE(Share(For(kLevels[i - 1], base, floor)), Share(For(kLevels[i], base, floor)))
            << kLevels[i];
      }
      // Where there is room, the levels differ.
      const int up = base - std::max(floor, -20);
      if (up >= 3) {
        for (size_t i = 4; i < std::size(kLevels); ++i) {
          EXPECT_LT(Share(For(kLevels[i - 1], base, floor)), Share(For(kLevels[i], base, floor)));
        }
      }
      if (base >= floor && 19 - base >= 2) {
        for (size_t i = 1; i <= 3; ++i) {
          EXPECT_LT(Share(For(kLevels[i - 1], base, floor)), Share(For(kLevels[i], base, floor)));
        }
      }
      if (base < floor) {
        // No way back from a nicer value: nothing but the policy may change.
        for (int level : kLevels) EXPECT_EQ(For(level, base, floor).nice, base);
      }
    }
  }
  int policy = 0, nice = 0;
  EXPECT_FALSE(SchedulingForPriority(3, 0, 0, policy, nice));
}
