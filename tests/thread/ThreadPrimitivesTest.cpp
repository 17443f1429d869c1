#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>

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

TEST(ThreadPrimitives, NullHandlesFailWithAnErrorCode) {
  SetLastError(0);
  EXPECT_EQ(WaitForSingleObject(static_cast<HTHREAD>(nullptr), 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(EBADF));
  EXPECT_EQ(ResumeThread(nullptr), static_cast<DWORD>(-1));
  EXPECT_FALSE(SetEvent(nullptr));
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

TEST(ThreadPrimitives, ManualResetEventStaysSignalledAutoResetDoesNot) {
  HEVENT manual = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HEVENT automatic = CreateEventA(nullptr, FALSE, TRUE, nullptr);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
  SetEvent(manual);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
  ResetEvent(manual);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);

  EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_TIMEOUT);
  CloseHandle(manual);
  CloseHandle(automatic);
}

TEST(ThreadPrimitives, CriticalSectionIsReentrantForItsOwnerOnly) {
  CRITICAL_SECTION section;
  InitializeCriticalSection(&section);
  EnterCriticalSection(&section);
  EXPECT_TRUE(TryEnterCriticalSection(&section));
  std::atomic<bool> otherGotIt{true};
  std::pair<CRITICAL_SECTION*, std::atomic<bool>*> arguments(&section, &otherGotIt);
  HTHREAD other = CreateThread(
      nullptr, 0,
      [](void* p) -> DWORD {
        auto* s = static_cast<std::pair<CRITICAL_SECTION*, std::atomic<bool>*>*>(p);
        *s->second = TryEnterCriticalSection(s->first) != FALSE;
        if (*s->second) LeaveCriticalSection(s->first);
        return 0;
      },
      &arguments, 0, nullptr);
  ASSERT_NE(other, nullptr);
  WaitForSingleObject(other, INFINITE);
  EXPECT_FALSE(otherGotIt.load());
  LeaveCriticalSection(&section);
  LeaveCriticalSection(&section);
  CloseHandle(other);
  DeleteCriticalSection(&section);
}

TEST(ThreadPrimitives, SystemTextHasNoTrailingStopOrBlanks) {
  EXPECT_EQ(SystemErrorText(ESRCH), "No such process");
  const std::string text = SystemErrorText(EAGAIN);
  ASSERT_FALSE(text.empty());
  EXPECT_NE(text.back(), '.');
  EXPECT_NE(text.back(), ' ');
}

TEST(ThreadPrimitives, MainThreadIdIsTheThreadThatStartedTheProgram) {
  EXPECT_EQ(MainThreadId(), GetCurrentThreadId());
}
