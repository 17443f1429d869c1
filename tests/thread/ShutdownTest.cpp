// The program ends cleanly while a worker is still running.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/ChildProcess.h"
#include "tests/support/CommandOutput.h"

namespace {

void ExpectCleanEnd(const std::string& situation, int runs) {
  for (int i = 0; i < runs; ++i) {
    const CommandOutcome result = RunCommand(std::string(SHUTDOWN_PROBE) + " " + situation);
    EXPECT_EQ(result.status, 0) << situation << ":\n" << result.output;
    EXPECT_FALSE(HasSanitizerReport(result.output)) << result.output;
  }
}

}  // namespace

// In the worker's sleep, as it wakes and deletes itself, and as it waits for a hand-over after
// the loop has ended.
TEST(Shutdown, EndsWhileTheWorkerSleepsWakesOrWaitsForAHandOver) {
  ExpectCleanEnd("sleeping", 1);
  ExpectCleanEnd("racing", 5);
  ExpectCleanEnd("waiting", 3);
}
