// The real program with the watchdog running and no adapter, on the test's private machine: it
// ends cleanly on SIGTERM, whatever the watchdog is doing then.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "support/RelayProgram.h"

namespace {

TEST(WatchdogBinary, SigtermInAnyPhaseOfTheCycleEndsCleanly) {
  // Different moments of the 1.25 s cycle: in the worker's sleep, in the hand-over, in the
  // GUI thread's pause.
  for (const int delayMs : {700, 1500, 2100}) {
    RelayProgram program;
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.WaitUntilListening()) << program.StandardError();
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    ASSERT_TRUE(program.Running()) << program.StandardError();
    EXPECT_EQ(program.Stop(), 0) << delayMs << " ms\n" << program.StandardError();
    EXPECT_FALSE(HasSanitizerReport(program.StandardError())) << program.StandardError();
  }
}

}  // namespace
