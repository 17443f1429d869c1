// Handing calls from workers to the main thread.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <atomic>
#include <thread>
#include <vector>

#include "framework/Application.h"
#include "framework/Exceptions.h"
#include "platform/MessageWindow.h"
#include "tests/support/MessageLoop.h"
#include "tests/thread/TestThreads.h"
#include "thread/MainThreadHandOver.h"

namespace {

// The hand-over as the program installs it, put back after each test that removes its hook.
class HandOver : public testing::Test {
 protected:
  void SetUp() override {
    InstallMainThreadHandOver();
    CriticalSectionGuard guard(ThreadFacility().SyncLock);
    installedHook_ = ThreadFacility().MainThreadWakeHook;
  }
  void TearDown() override { SetMainThreadWakeHook(installedHook_); }

 private:
  TWakeHook installedHook_;
};

// One worker per call, each queuing its call only when the one before it has queued: so the
// calls stand in the queue in the workers' order. returned[i] is set once worker i is back from
// its hand-over.
std::vector<BodyThread*> QueueInOrder(const std::vector<TThreadMethod>& calls,
                                      std::vector<std::atomic<bool>>& returned) {
  std::vector<BodyThread*> workers;
  for (size_t i = 0; i < calls.size(); ++i) {
    const TThreadMethod& call = calls[i];
    std::atomic<bool>& back = returned[i];
    workers.push_back(TThread::Create<BodyThread>(false, [&call, &back](BodyThread& self) {
      self.RunInMainThread(call);
      back = true;
    }));
    EXPECT_TRUE(Eventually([i] { return QueuedCallCount() == i + 1; }));
  }
  return workers;
}

void EndAll(const std::vector<BodyThread*>& workers) {
  for (BodyThread* worker : workers) {
    worker->WaitUntilFinished();
    delete worker;
  }
}

}  // namespace

TEST_F(HandOver, OnTheMainThreadTheCallRunsInlineAndItsExceptionPassesStraightThrough) {
  auto* thread = TThread::Create<BodyThread>(true, nullptr);
  bool ran = false;
  thread->RunInMainThread([&] {
    ran = true;
    EXPECT_FALSE(ThreadFacility().CallsPosted);
    EXPECT_EQ(QueuedCallCount(), 0u);
  });
  EXPECT_TRUE(ran);
  EXPECT_THROW(thread->RunInMainThread([] { throw ERangeError("out of range"); }), ERangeError);
  EXPECT_FALSE(thread->CallException);
  EXPECT_FALSE(ThreadFacility().CallsPosted);
  delete thread;
}

TEST_F(HandOver, WorkerCallRunsOnTheMainThreadThroughTheWakeMessage) {
  // Wake messages left from earlier work wake nothing now.
  QCoreApplication::sendPostedEvents();
  ASSERT_FALSE(MessagesWaiting());
  std::atomic<int> calls{0};
  std::atomic<int> allowed{0};
  std::atomic<bool> allOnMain{true};
  auto* thread = TThread::Create<BodyThread>(false, [&](BodyThread& self) {
    for (int i = 0; i < 3; ++i) {
      // One call at a time, each when the test lets it.
      Eventually([&] { return allowed > i; });
      self.RunInMainThread([&] {
        if (GetCurrentThreadId() != MainThreadId()) allOnMain = false;
        ++calls;
      });
    }
  });
  for (int i = 1; i <= 3; ++i) {
    // The installed hook posts one wake message per queued call; delivering the posted
    // messages, and nothing else (no idle step), runs the call.
    allowed = i;
    ASSERT_TRUE(Eventually([] { return QueuedCallCount() == 1; }));
    EXPECT_TRUE(MessagesWaiting());
    EXPECT_EQ(calls.load(), i - 1);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(calls.load(), i);
    EXPECT_EQ(QueuedCallCount(), 0u);
  }
  thread->WaitUntilFinished();
  EXPECT_TRUE(allOnMain.load());
  delete thread;
}

TEST_F(HandOver, WithoutWakeHookCallsWaitForADrainThatRunsThemOldestFirst) {
  RemoveWakeHook();
  std::vector<int> order;
  std::vector<TThreadMethod> calls;
  for (int i = 0; i < 4; ++i) calls.push_back([&order, i] { order.push_back(i); });
  std::vector<std::atomic<bool>> returned(calls.size());
  const std::vector<BodyThread*> workers = QueueInOrder(calls, returned);
  EXPECT_TRUE(ThreadFacility().CallsPosted);
  EXPECT_TRUE(order.empty());
  EXPECT_TRUE(CheckSynchronize());
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3}));
  EXPECT_FALSE(ThreadFacility().CallsPosted);
  EXPECT_FALSE(CheckSynchronize());
  EndAll(workers);
}

TEST_F(HandOver, AWorkerWhoseCallHasRunReturnsOnlyAfterTheWholeDrain) {
  RemoveWakeHook();
  std::vector<std::atomic<bool>> returned(2);
  // The second call runs after the first one's signal is set, in the same drain: meanwhile
  // the first worker must still be waiting. It is given ample time to get out if it could.
  bool firstRan = false;
  bool firstReturnedDuringDrain = true;
  const std::vector<TThreadMethod> calls = {[&] { firstRan = true; },
                                            [&] {
                                              for (int i = 0; i < 100 && !returned[0]; ++i) {
                                                Sleep(2);
                                              }
                                              firstReturnedDuringDrain = returned[0];
                                            }};
  const std::vector<BodyThread*> workers = QueueInOrder(calls, returned);
  EXPECT_TRUE(CheckSynchronize());
  EXPECT_TRUE(firstRan);
  EXPECT_FALSE(firstReturnedDuringDrain);
  EXPECT_TRUE(Eventually([&] { return returned[0] && returned[1]; }));
  EndAll(workers);
}

TEST_F(HandOver, LostWakeUpIsServedOnTheNextIdlePass) {
  RemoveWakeHook();
  QCoreApplication::sendPostedEvents();
  std::atomic<bool> ran{false};
  auto* thread = QueueCallSetting(ran);
  ASSERT_TRUE(Eventually([] { return QueuedCallCount() == 1; }));
  QCoreApplication::sendPostedEvents();
  EXPECT_FALSE(ran.load());
  EXPECT_TRUE(RunUntil([&] { return ran.load(); }, 10000));
  delete thread;
}

TEST_F(HandOver, ExceptionIsThrownOnTheWorkerAndTheNextQueuedCallStillRuns) {
  RemoveWakeHook();
  std::atomic<const void*> thrownObject{nullptr};
  std::atomic<const void*> caughtObject{nullptr};
  std::string caughtMessage;
  std::atomic<bool> secondRan{false};
  auto* failing = TThread::Create<BodyThread>(false, [&](BodyThread& self) {
    try {
      self.RunInMainThread([&] {
        try {
          throw EInvalidOperation("cannot do that");
        } catch (const EInvalidOperation& e) {
          thrownObject = &e;
          throw;
        }
      });
    } catch (const EInvalidOperation& e) {
      caughtObject = &e;
      caughtMessage = e.Message();
    }
  });
  ASSERT_TRUE(Eventually([] { return QueuedCallCount() == 1; }));
  auto* second = QueueCallSetting(secondRan);
  ASSERT_TRUE(Eventually([] { return QueuedCallCount() == 2; }));

  EXPECT_TRUE(CheckSynchronize());  // the main thread does not see the exception
  EXPECT_TRUE(secondRan.load());
  failing->WaitUntilFinished();
  second->WaitUntilFinished();
  ASSERT_NE(caughtObject.load(), nullptr);
  EXPECT_EQ(caughtObject.load(), thrownObject.load());
  EXPECT_EQ(caughtMessage, "cannot do that");
  EXPECT_FALSE(failing->EscapedException);
  delete failing;
  delete second;
}

TEST_F(HandOver, CheckSynchronizeOnAWorkerThrowsAndLeavesTheQueueAlone) {
  RemoveWakeHook();
  std::atomic<bool> queuedRan{false};
  auto* queuing = QueueCallSetting(queuedRan);
  ASSERT_TRUE(Eventually([] { return QueuedCallCount() == 1; }));

  std::string message;
  DWORD checkerId = 0;
  auto* checker = TThread::Create<BodyThread>(false, [&](BodyThread&) {
    checkerId = GetCurrentThreadId();
    try {
      CheckSynchronize();
    } catch (const EThread& e) {
      message = e.Message();
    }
  });
  // Not WaitUntilFinished: on the main thread it would serve the queue.
  ASSERT_TRUE(Eventually([&] { return checker->HasFinished.load(); }));
  EXPECT_EQ(message, FormatText("CheckSynchronize called from thread $%x, which is NOT the main "
                                "thread",
                                checkerId));
  EXPECT_NE(message.find('$'), std::string::npos);
  EXPECT_EQ(QueuedCallCount(), 1u);
  EXPECT_FALSE(queuedRan.load());
  EXPECT_TRUE(CheckSynchronize());
  EXPECT_TRUE(queuedRan.load());
  delete checker;
  delete queuing;
}

TEST_F(HandOver, EmptyQueueCheckTakesNoLock) {
  std::atomic<bool> holding{false};
  std::atomic<bool> release{false};
  std::atomic<bool> gaveUp{false};
  std::thread holder([&] {
    CriticalSectionGuard guard(ThreadFacility().SyncLock);
    holding = true;
    // Bounded, so that a check that does take the lock fails the test instead of hanging it.
    if (!Eventually([&] { return release.load(); })) gaveUp = true;
  });
  ASSERT_TRUE(Eventually([&] { return holding.load(); }));
  EXPECT_FALSE(CheckSynchronize());
  release = true;
  holder.join();
  EXPECT_FALSE(gaveUp.load());
}

TEST_F(HandOver, MainThreadWaitServesCallsOfTheThreadItWaitsFor) {
  RemoveWakeHook();  // only the wait itself may serve the calls
  std::atomic<int> calls{0};
  auto* thread = TThread::Create<BodyThread>(false, [&](BodyThread& self) {
    for (int i = 0; i < 5; ++i) self.RunInMainThread([&] { ++calls; });
    self.ResultCode = 11;
  });
  bool finishedOnMain = false;
  thread->OnFinished = [&](TObject*) { finishedOnMain = GetCurrentThreadId() == MainThreadId(); };
  EXPECT_EQ(thread->WaitUntilFinished(), 11u);
  EXPECT_EQ(calls.load(), 5);
  EXPECT_TRUE(finishedOnMain);
  delete thread;
}

TEST_F(HandOver, HandedOverMethodMayConstructAndDeleteThreads) {
  // Registration re-enters the hand-over lock that the drain holds on the main thread.
  std::atomic<int> innerRuns{0};
  auto* outer = TThread::Create<BodyThread>(false, [&](BodyThread& self) {
    self.RunInMainThread([&] {
      auto* inner = TThread::Create<PlainThread>(false, innerRuns);
      inner->WaitUntilFinished();
      delete inner;
    });
  });
  ASSERT_TRUE(RunUntil([&] { return outer->HasFinished.load(); }, 10000));
  EXPECT_EQ(innerRuns.load(), 1);
  delete outer;
}
