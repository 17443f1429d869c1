// Construction, running, ending and deletion of worker threads.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include "framework/Application.h"
#include "framework/Exceptions.h"
#include "tests/support/ExpectMessage.h"
#include "tests/support/MessageLoop.h"
#include "tests/thread/TestThreads.h"
#include "thread/MainThreadHandOver.h"

namespace {

class ThreadLifecycle : public testing::Test {
 protected:
  void SetUp() override { InstallMainThreadHandOver(); }
};

// Its constructor body is slow: a thread that starts before it has finished sees ready false.
class SlowlyBuiltThread : public TThread {
 public:
  SlowlyBuiltThread() : TThread(false) {
    Sleep(30);
    ready = true;
  }
  std::atomic<bool> ready{false};
  std::atomic<int> sawReady{-1};

 protected:
  void Run() override { sawReady = ready ? 1 : 0; }
};

// Its body keeps using a member until it is asked to stop.
class CountingThread : public TThread {
 public:
  explicit CountingThread(std::atomic<bool>& destroyed) : TThread(false), destroyed_(destroyed) {}
  ~CountingThread() override { destroyed_ = true; }
  std::atomic<bool> started{false};

 protected:
  void Run() override {
    started = true;
    while (!TerminateRequested) {
      counts_.push_back(static_cast<int>(counts_.size()));
      if (counts_.size() > 1000) counts_.clear();
      Sleep(0);
    }
  }

 private:
  std::vector<int> counts_;
  std::atomic<bool>& destroyed_;
};

class SelfDeletingThread : public TThread {
 public:
  SelfDeletingThread(bool startSuspended, bool freeOnFinish, std::atomic<DWORD>& ranOn,
                     std::atomic<DWORD>& destroyedOn)
      : TThread(startSuspended), ranOn_(ranOn), destroyedOn_(destroyedOn) {
    FreeOnFinish = freeOnFinish;
  }
  ~SelfDeletingThread() override { destroyedOn_ = GetCurrentThreadId(); }

 protected:
  void Run() override { ranOn_ = GetCurrentThreadId(); }

 private:
  std::atomic<DWORD>& ranOn_;
  std::atomic<DWORD>& destroyedOn_;
};

}  // namespace

// Its body starts only after the derived constructor has finished.
TEST_F(ThreadLifecycle, RunsOnItsOwnThreadOnceBuiltAndEndsWithResultCode) {
  auto* built = TThread::Create<SlowlyBuiltThread>();
  EXPECT_EQ(built->WaitUntilFinished(), 0u);
  EXPECT_EQ(built->sawReady.load(), 1);
  delete built;
  auto* thread = TThread::Create<BodyThread>(false, [](BodyThread& self) { self.ResultCode = 17; });
  EXPECT_EQ(thread->WaitUntilFinished(), 17u);
  EXPECT_TRUE(thread->HasFinished);
  EXPECT_EQ(thread->runs.load(), 1);
  EXPECT_EQ(thread->ranOn.load(), thread->OsThreadId);
  EXPECT_NE(thread->OsThreadId, MainThreadId());
  delete thread;
}

TEST_F(ThreadLifecycle, AThreadEndedBeforeItsFirstRunSkipsRunButStillReportsItsEnd) {
  std::atomic<int> runs{0};
  auto* thread = TThread::Create<PlainThread>(true, runs);
  EXPECT_TRUE(thread->IsSuspended);
  bool finishedOnMain = false;
  bool finishedCalled = false;
  thread->OnFinished = [&](TObject* sender) {
    finishedCalled = sender == thread;
    finishedOnMain = GetCurrentThreadId() == MainThreadId();
  };
  delete thread;  // requests termination, resumes and waits, serving OnFinished meanwhile
  EXPECT_EQ(runs.load(), 0);
  EXPECT_TRUE(finishedCalled);
  EXPECT_TRUE(finishedOnMain);
  // Asked to end before its first run, it skips Run and ends with its result code.
  thread = TThread::Create<PlainThread>(true, runs);
  thread->ResultCode = 3;
  thread->RequestTerminate();
  thread->ResumeExecution();
  EXPECT_FALSE(thread->IsSuspended);
  EXPECT_EQ(thread->WaitUntilFinished(), 3u);
  EXPECT_TRUE(thread->HasFinished);
  EXPECT_EQ(runs.load(), 0);
  // Resuming a thread that is not suspended succeeds and changes nothing.
  EXPECT_NO_THROW(thread->ResumeExecution());
  EXPECT_FALSE(thread->IsSuspended);
  delete thread;
}

TEST_F(ThreadLifecycle, FreeOnFinishDeletesTheObjectOnItsOwnThread) {
  std::atomic<DWORD> ranOn{0};
  std::atomic<DWORD> destroyedOn{0};
  TThread::Create<SelfDeletingThread>(false, true, ranOn, destroyedOn);
  ASSERT_TRUE(Eventually([&] { return destroyedOn != 0 && LiveThreadCount() == 0; }));
  EXPECT_EQ(destroyedOn.load(), ranOn.load());
  EXPECT_NE(destroyedOn.load(), MainThreadId());
}

TEST_F(ThreadLifecycle, ChangesMadeInOnFinishedAreNotHonoured) {
  auto* thread = TThread::Create<BodyThread>(true, [](BodyThread& self) { self.ResultCode = 5; });
  thread->OnFinished = [thread](TObject*) {
    thread->FreeOnFinish = true;
    thread->ResultCode = 99;
  };
  thread->ResumeExecution();
  EXPECT_EQ(thread->WaitUntilFinished(), 5u);
  // Still ours to delete: a self-deletion would make this a double free.
  delete thread;
  EXPECT_EQ(LiveThreadCount(), 0);
}

TEST_F(ThreadLifecycle, ExceptionEscapingRunIsKeptAndTheThreadStillEnds) {
  bool notified = false;
  auto* thread = TThread::Create<BodyThread>(true, [](BodyThread& self) {
    self.ResultCode = 8;
    throw EConvertError("not a number");
  });
  thread->OnFinished = [&](TObject*) { notified = true; };
  thread->ResumeExecution();
  EXPECT_EQ(thread->WaitUntilFinished(), 8u);
  EXPECT_TRUE(notified);
  ASSERT_TRUE(thread->EscapedException);
  try {
    std::rethrow_exception(thread->EscapedException);
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "not a number");
  }
  delete thread;
}

TEST_F(ThreadLifecycle, DeletingAThreadThatIsStillInItsEndNotificationWaitsForIt) {
  // HasFinished is set before OnFinished has run; deleting then must not free the object under
  // the worker.
  std::atomic<bool> finished{false};
  auto* thread = TThread::Create<BodyThread>(true, nullptr);
  thread->OnFinished = [&](TObject*) { finished = true; };
  thread->ResumeExecution();
  ASSERT_TRUE(Eventually([&] { return thread->HasFinished.load(); }));
  delete thread;
  EXPECT_TRUE(finished.load());
}

TEST_F(ThreadLifecycle, CountReturnsToZeroAndTheQueueIsCreatedOnce) {
  std::atomic<int> runs{0};
  EXPECT_EQ(LiveThreadCount(), 0);
  auto* first = TThread::Create<PlainThread>(false, runs);
  EXPECT_EQ(LiveThreadCount(), 1);
  const auto* queue = ThreadFacility().PendingCalls;
  ASSERT_NE(queue, nullptr);
  auto* second = TThread::Create<PlainThread>(false, runs);
  EXPECT_EQ(LiveThreadCount(), 2);
  first->WaitUntilFinished();
  second->WaitUntilFinished();
  delete first;
  delete second;
  EXPECT_EQ(LiveThreadCount(), 0);
  EXPECT_EQ(ThreadFacility().PendingCalls, queue);
  EXPECT_EQ(runs.load(), 2);
  // Registering again after the count fell back to 0 keeps the list, which still serves.
  std::atomic<bool> handedOver{false};
  auto* third = QueueCallSetting(handedOver);
  EXPECT_EQ(LiveThreadCount(), 1);
  EXPECT_EQ(ThreadFacility().PendingCalls, queue);
  third->WaitUntilFinished();
  EXPECT_TRUE(handedOver);
  delete third;
  EXPECT_EQ(LiveThreadCount(), 0);
  EXPECT_EQ(ThreadFacility().PendingCalls, queue);
}

TEST_F(ThreadLifecycle, WithPrivilegesTheLevelsSpanTheWholeNiceRange) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root; the priority probe covers ordinary users";
  // Threads begin at their creator's nice value, which stands for normal.
  ASSERT_EQ(setpriority(PRIO_PROCESS, static_cast<id_t>(GetCurrentThreadId()), 0), 0);
  auto* thread = TThread::Create<BodyThread>(true, nullptr);
  const auto tid = static_cast<id_t>(thread->OsThreadId);
  const struct {
    TThreadPriority level;
    int policy;
    int nice;
  } expected[] = {{plTimeCritical, SCHED_OTHER, -20}, {plHighest, SCHED_OTHER, -10},
                  {plAboveNormal, SCHED_OTHER, -5},   {plNormal, SCHED_OTHER, 0},
                  {plBelowNormal, SCHED_OTHER, 5},    {plLowest, SCHED_OTHER, 10},
                  {plIdle, SCHED_IDLE, 19},           {plNormal, SCHED_OTHER, 0}};
  for (const auto& step : expected) {
    thread->SetPriorityLevel(step.level);
    EXPECT_EQ(sched_getscheduler(static_cast<pid_t>(tid)), step.policy) << step.level;
    EXPECT_EQ(getpriority(PRIO_PROCESS, tid), step.nice) << step.level;
  }
  delete thread;
}

TEST_F(ThreadLifecycle, AnEndedThreadRefusesAPriority) {
  auto* thread = TThread::Create<BodyThread>(true, nullptr);
  thread->SetPriorityLevel(plLowest);
  thread->ResumeExecution();
  thread->WaitUntilFinished();
  ExpectThrowWithMessage<EThread>([&] { thread->SetPriorityLevel(plNormal); },
                                  "Thread Error: No such process (3)");
  delete thread;
}

TEST_F(ThreadLifecycle, CallsOnAMissingThreadReportTheSystemError) {
  auto* thread = TThread::Create<BodyThread>(false, nullptr);
  thread->WaitUntilFinished();
  HTHREAD handle = thread->ThreadHandle;
  thread->ThreadHandle = nullptr;
  try {
    thread->WaitUntilFinished();
    FAIL() << "a wait on no thread succeeded";
  } catch (const EOSError& e) {
    EXPECT_EQ(e.Message(), "System Error.  Code: 9.\r\nBad file descriptor");
    EXPECT_EQ(e.ErrorCode(), 9);
  }
  ExpectThrowWithMessage<EThread>([&] { thread->ResumeExecution(); },
                                  "Thread Error: Bad file descriptor (9)");
  thread->ThreadHandle = handle;
  delete thread;
}

TEST_F(ThreadLifecycle, DeletingARunningThreadEndsItBeforeItsMembersGo) {
  std::atomic<bool> destroyed{false};
  auto* thread = TThread::Create<CountingThread>(destroyed);
  ASSERT_TRUE(Eventually([&] { return thread->started.load(); }));
  delete thread;
  EXPECT_TRUE(destroyed.load());
  EXPECT_EQ(LiveThreadCount(), 0);
}

TEST_F(ThreadLifecycle, DeletingAThreadInsideItsOwnOnFinishedLeavesTheDeletionToIt) {
  std::atomic<DWORD> ranOn{0};
  std::atomic<DWORD> destroyedOn{0};
  auto* thread = TThread::Create<SelfDeletingThread>(true, false, ranOn, destroyedOn);
  bool handlerRan = false;
  thread->OnFinished = [&](TObject* sender) {
    handlerRan = true;
    delete static_cast<TThread*>(sender);
  };
  thread->ResumeExecution();
  ASSERT_TRUE(RunUntil([&] { return destroyedOn != 0; }, 10000));
  EXPECT_TRUE(handlerRan);
  EXPECT_EQ(destroyedOn.load(), ranOn.load());
  ASSERT_TRUE(Eventually([] { return LiveThreadCount() == 0; }));
}
