// The port watchdog against a pseudo-terminal standing in for the relay board's adapter behind
// /dev/ttyUSB0 of the test's private machine. The adapter is "unplugged" by removing the device.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include "app/MainWindowFixture.h"
#include "app/Read.h"
#include "support/PseudoTerminal.h"
#include "tests/support/MessageLoop.h"
#include "thread/MainThreadHandOver.h"

namespace {

using Clock = std::chrono::steady_clock;

// Long enough for a few cycles on a busy machine: passing it means the cycles stopped.
constexpr int kStallMs = 20000;

// Hand-overs queued so far, with their times; the watchdog queues one per cycle, the next only
// after the last ran.
std::atomic<int> queuedCalls{0};
std::mutex queueTimesLock;
std::vector<Clock::time_point> queueTimes;

class WatchdogTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    InstallMainThreadHandOver();
    TApplication* application = Application;
    {
      std::lock_guard<std::mutex> guard(queueTimesLock);
      queueTimes.clear();
    }
    SetMainThreadWakeHook([application](TThread*) {
      {
        std::lock_guard<std::mutex> guard(queueTimesLock);
        queueTimes.push_back(Clock::now());
      }
      ++queuedCalls;
      application->PostWakeMessage();
    });
  }

  void TearDown() override {
    MainWindowTest::TearDown();  // closes the window, which stops the watchdog
    unlink(kDevicePath);
  }

  // The device appears (adapter plugged in) or disappears (adapter pulled).
  static void PlugIn(PseudoTerminal& board) { ASSERT_TRUE(board.CreateSymlink(kDevicePath)); }
  static void Unplug(PseudoTerminal& board) { board.RemoveSymlink(); }

  // Runs the loop until the watchdog has completed the given number of cycles that began after
  // this call: the next hand-over is queued only once the previous cycle has run.
  void RunCycles(int cycles) {
    const int target = queuedCalls + cycles + 1;
    ASSERT_TRUE(RunUntil([&] { return queuedCalls >= target; }, kStallMs));
  }

  static constexpr const char* kDevicePath = "/dev/ttyUSB0";
};

TEST_F(WatchdogTest, PulledAdapterTurnsTheStatusRedAndItsReturnTurnsItLimeWithoutAGreeting) {
  PseudoTerminal board;
  PlugIn(board);
  CreateMainWindow();
  ASSERT_NE(Read, nullptr);
  ASSERT_EQ(Form1->Panel3->Color(), clLime);
  EXPECT_EQ(board.WaitForBytesThenQuiet(3), "?//");

  // Red at the first cycle that starts after the adapter went.
  Unplug(board);
  RunCycles(1);
  ExpectPortShownAs(false);
  EXPECT_EQ(Form1->Label12->Caption(), " ");
  EXPECT_EQ(Form1->Label9->Color(), clRed);

  PlugIn(board);
  RunCycles(1);
  ExpectPortShownAs(true);
  EXPECT_EQ(Form1->Label12->Caption(), " ");
  EXPECT_EQ(Form1->Label12->Color(), clLime);
  // The reopened port is configured for the board again.
  const LineSettings settings = board.ReadLineSettings();
  EXPECT_EQ(settings.baud, 14400u);
  EXPECT_EQ(settings.dataBits, 8);
  // A reopen never greets the board, and closes the old handle before it opens the new one: a
  // handle left open would keep the exclusive lock, and the next open would fail.
  RunCycles(2);
  EXPECT_EQ(board.ReadAvailable(300), "");
  ExpectPortShownAs(true);
  EXPECT_TRUE(exceptions.empty());
}

TEST_F(WatchdogTest, NewPortNameTakesEffectAtTheNextCycle) {
  PseudoTerminal board;
  ASSERT_TRUE(board.CreateSymlink("/dev/ttyUSB1"));
  CreateMainWindow();
  ASSERT_EQ(Form1->Panel3->Color(), clRed);  // nothing behind "com1"

  auto* combo = static_cast<QComboBox*>(Form1->ComboBox1->Widget());
  combo->setFocus();
  QTest::keyClick(combo, Qt::Key_Down);  // the user steps to "COM2"
  ASSERT_EQ(PortName, "COM2");
  RunCycles(1);
  ExpectPortShownAs(true);
  EXPECT_EQ(board.ReadAvailable(300), "");  // no greeting

  // A name typed by hand that leads nowhere: red at the next cycle.
  combo->lineEdit()->selectAll();
  QTest::keyClicks(combo->lineEdit(), "ttyACM0");
  ASSERT_EQ(PortName, "ttyACM0");
  RunCycles(1);
  ExpectPortShownAs(false);
}

TEST_F(WatchdogTest, DeviceHeldByAnotherProgramStaysRedUntilItLetsGo) {
  PseudoTerminal board;
  CreateMainWindow();
  ASSERT_EQ(Form1->Panel3->Color(), clRed);

  // Another program takes the device the way the serial layer does: an exclusive lock.
  const int other = open(board.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(other, 0);
  ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
  PlugIn(board);
  RunCycles(2);
  ExpectPortShownAs(false);

  close(other);
  RunCycles(1);
  ExpectPortShownAs(true);
}

TEST_F(WatchdogTest, ClosingTheWindowStopsTheWorkerWhichDeletesItself) {
  CreateMainWindow();
  ASSERT_NE(Read, nullptr);
  RunCycles(1);
  ASSERT_EQ(LiveThreadCount(), 1);
  Form1->Close();
  EXPECT_EQ(Read, nullptr);
  // It ends after the cycle it is in.
  ASSERT_TRUE(RunUntil([] { return LiveThreadCount() == 0; }, kStallMs));
}

// A cycle is the 250 ms pause on the GUI thread, the reopen, and a second's sleep on the worker:
// about 1.25 s from one hand-over to the next, of which the GUI thread is held about 250 ms.
// The lower bounds are exact (a sleep never ends early); the upper ones only catch a period
// or a pause far off what it should be.
TEST_F(WatchdogTest, CyclesComeAboutEveryOneAndAQuarterSecondsAndHoldTheWindowForAQuarter) {
  PseudoTerminal board;
  PlugIn(board);
  CreateMainWindow();
  // Gaps between two turns of the loop: a long one is the GUI thread held by a cycle.
  std::vector<long> stalls;
  Clock::time_point lastTurn = Clock::now();
  const int target = queuedCalls + 6;
  ASSERT_TRUE(RunUntil(
      [&] {
        const Clock::time_point now = Clock::now();
        const long gap =
            std::chrono::duration_cast<std::chrono::milliseconds>(now - lastTurn).count();
        if (gap >= 100) stalls.push_back(gap);
        lastTurn = now;
        return queuedCalls >= target;
      },
      kStallMs));
  std::vector<long> periods;
  {
    std::lock_guard<std::mutex> guard(queueTimesLock);
    for (size_t i = 1; i < queueTimes.size(); ++i)
      periods.push_back(
          std::chrono::duration_cast<std::chrono::milliseconds>(queueTimes[i] - queueTimes[i - 1])
              .count());
  }
  ASSERT_GE(periods.size(), 4u);
  for (const long period : periods) EXPECT_GE(period, 1250);
  std::sort(periods.begin(), periods.end());
  EXPECT_LT(periods[periods.size() / 2], 2000);
  // Each cycle held the loop at least the pause; other stalls of a busy machine may come too.
  const long held = std::count_if(stalls.begin(), stalls.end(), [](long g) { return g >= 250; });
  EXPECT_GE(held, 5);
  std::sort(stalls.begin(), stalls.end());
  EXPECT_LT(stalls[stalls.size() / 2], 750);
}

TEST(WatchdogLifetime, AStopRequestedBeforeTheFirstCycleStillFreesTheWorker) {
  const int before = LiveThreadCount();
  TRead* worker = TThread::Create<TRead>(true);
  ASSERT_EQ(LiveThreadCount(), before + 1);
  worker->RequestTerminate();
  worker->ResumeExecution();
  EXPECT_TRUE(RunUntil([&] { return LiveThreadCount() == before; }, 10000));
}

}  // namespace
