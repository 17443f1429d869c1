// The program ends cleanly while a worker is still running.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/CommandOutput.h"

namespace {

void ExpectCleanEnd(const std::string& situation, int runs) {
  for (int i = 0; i < runs; ++i) {
    const CommandOutcome result = RunCommand(std::string(SHUTDOWN_PROBE) + " " + situation);
    EXPECT_EQ(result.status, 0) << situation << ":\n" << result.output;
    EXPECT_EQ(result.output.find("Sanitizer"), std::string::npos) << result.output;
    EXPECT_EQ(result.output.find("runtime error"), std::string::npos) << result.output;
  }
}

}  // namespace

TEST(Shutdown, EndsWhileTheWorkerSleeps) {
  ExpectCleanEnd("sleeping", 1);
}

TEST(Shutdown, EndsWhileTheWorkerWakesAndDeletesItself) {
  ExpectCleanEnd("racing", 5);
}

TEST(Shutdown, EndsWhileTheWorkerWaitsForAHandOverAfterTheLoop) {
  ExpectCleanEnd("waiting", 3);
}
