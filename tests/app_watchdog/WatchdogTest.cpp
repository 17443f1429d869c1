// The port watchdog against a pseudo-terminal standing in for the relay board's adapter. The
// adapter is "unplugged" by removing the device path the port name leads to.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/MainWindowFixture.h"
#include "app/Read.h"
#include "support/PseudoTerminal.h"
#include "thread/MainThreadHandOver.h"

namespace {

// Generous bound for "within one cycle" (about 1.25 s): passing it means the cycle never came.
constexpr int kCycleBoundMs = 8000;

// Hand-overs queued so far; the watchdog queues one per cycle, the next only after the last ran.
std::atomic<int> queuedCalls{0};

class WatchdogTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    InstallMainThreadHandOver();
    TApplication* application = Application;
    SetMainThreadWakeHook([application](TThread*) {
      ++queuedCalls;
      application->PostWakeMessage();
    });
    char pattern[] = "/tmp/tallyvane-watchdog-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    directory_ = pattern;
    devicePath_ = directory_ + "/ttyUSB0";
  }

  void TearDown() override {
    StopWatchdog();
    MainWindowTest::TearDown();
    std::filesystem::remove_all(directory_);
  }

  // The device path appears (adapter plugged in) or disappears (adapter pulled).
  void PlugIn(const PseudoTerminal& board) {
    std::filesystem::create_symlink(board.SlavePath(), devicePath_);
  }
  void Unplug() { std::filesystem::remove(devicePath_); }

  void StopWatchdog() {
    if (Form1 && Read) Form1->Close();
    Application->ProcessMessagesUntil([] { return LiveThreadCount() == 0; }, 10000);
  }

  bool StatusBecomes(TColor colour) {
    return Application->ProcessMessagesUntil([&] { return Form1->Panel3->Color() == colour; },
                                             kCycleBoundMs);
  }

  // Runs the loop until the watchdog has completed the given number of cycles that began after
  // this call: the next hand-over is queued only once the previous cycle has run.
  void RunCycles(int cycles) {
    const int target = queuedCalls + cycles + 1;
    ASSERT_TRUE(Application->ProcessMessagesUntil([&] { return queuedCalls >= target; },
                                                  kCycleBoundMs * (cycles + 1)));
  }

  std::string directory_;
  std::string devicePath_;
};

TEST_F(WatchdogTest, PulledAdapterTurnsTheStatusRedAndItsReturnTurnsItLimeWithoutAGreeting) {
  PseudoTerminal board;
  PlugIn(board);
  SetSerialDeviceRedirect("com1", devicePath_);
  CreateMainWindow();
  ASSERT_NE(Read, nullptr);
  ASSERT_EQ(Form1->Panel3->Color(), clLime);
  EXPECT_EQ(board.ReadAvailable(500), "?//");

  Unplug();
  ASSERT_TRUE(StatusBecomes(clRed));
  EXPECT_EQ(PortHandle, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Form1->Label9->Caption(), kPortNotFoundText);
  EXPECT_EQ(Form1->Label12->Caption(), " ");
  EXPECT_EQ(Form1->Label9->Color(), clRed);

  PlugIn(board);
  ASSERT_TRUE(StatusBecomes(clLime));
  EXPECT_TRUE(PortIsOpen());
  EXPECT_EQ(Form1->Label9->Caption(), kPortFoundText);
  EXPECT_EQ(Form1->Label12->Caption(), " ");
  EXPECT_EQ(Form1->Label12->Color(), clLime);
  // The reopened port is configured for the board again.
  const LineSettings settings = board.ReadLineSettings();
  EXPECT_EQ(settings.baud, 14400u);
  EXPECT_EQ(settings.dataBits, 8);
  // A reopen never greets the board.
  RunCycles(1);
  EXPECT_EQ(board.ReadAvailable(300), "");
  EXPECT_TRUE(exceptions.empty());
}

TEST_F(WatchdogTest, NewPortNameTakesEffectAtTheNextCycle) {
  PseudoTerminal board;
  PlugIn(board);
  SetSerialDeviceRedirect("COM2", devicePath_);
  CreateMainWindow();
  ASSERT_EQ(Form1->Panel3->Color(), clRed);  // "com1" leads nowhere

  Form1->ComboBox1->SetItemIndex(1);
  Form1->ComboBox1Change(Form1->ComboBox1);
  ASSERT_STREQ(PortName, "COM2");
  ASSERT_TRUE(StatusBecomes(clLime));
  EXPECT_EQ(Form1->Label9->Caption(), kPortFoundText);

  // Back to a name that leads nowhere: red at the next cycle.
  Form1->ComboBox1->SetItemIndex(2);
  Form1->ComboBox1Change(Form1->ComboBox1);
  ASSERT_TRUE(StatusBecomes(clRed));
  EXPECT_EQ(Form1->Label9->Caption(), kPortNotFoundText);
}

TEST_F(WatchdogTest, DeviceHeldByAnotherProgramStaysRedUntilItLetsGo) {
  PseudoTerminal board;
  SetSerialDeviceRedirect("com1", devicePath_);
  CreateMainWindow();
  ASSERT_EQ(Form1->Panel3->Color(), clRed);

  // Another program takes the device the way the serial layer does: an exclusive lock.
  const int other = open(board.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(other, 0);
  ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
  PlugIn(board);
  RunCycles(2);
  EXPECT_EQ(PortHandle, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Form1->Panel3->Color(), clRed);
  EXPECT_EQ(Form1->Label9->Caption(), kPortNotFoundText);

  close(other);
  ASSERT_TRUE(StatusBecomes(clLime));
}

TEST_F(WatchdogTest, ClosingTheWindowStopsTheWorkerWhichDeletesItself) {
  CreateMainWindow();
  ASSERT_NE(Read, nullptr);
  RunCycles(1);
  ASSERT_EQ(LiveThreadCount(), 1);
  Form1->Close();
  EXPECT_EQ(Read, nullptr);
  ASSERT_TRUE(
      Application->ProcessMessagesUntil([] { return LiveThreadCount() == 0; }, kCycleBoundMs));
}

TEST_F(WatchdogTest, ReopenClosesTheOldHandleBeforeOpeningTheNewOne) {
  PseudoTerminal board;
  PlugIn(board);
  SetSerialDeviceRedirect("com1", devicePath_);
  CreateMainWindow();
  ASSERT_TRUE(PortIsOpen());
  // Run a few cycles: a handle left open would keep the exclusive lock, and every later open
  // of the same device would then fail.
  RunCycles(3);
  EXPECT_TRUE(PortIsOpen());
  EXPECT_EQ(Form1->Panel3->Color(), clLime);
}

}  // namespace

namespace {

TEST(WatchdogLifetime, AStopRequestedBeforeTheFirstCycleStillFreesTheWorker) {
  const int before = LiveThreadCount();
  TRead* worker = TThread::Create<TRead>(true);
  ASSERT_EQ(LiveThreadCount(), before + 1);
  worker->RequestTerminate();
  worker->ResumeExecution();
  EXPECT_TRUE(
      Application->ProcessMessagesUntil([&] { return LiveThreadCount() == before; }, 10000));
}

}  // namespace
