// The seven priority levels as a user without privileges gets them, run in a separate process
// that drops root's privileges first: the kernel lets root do what an ordinary user may not.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/CommandOutput.h"

namespace {

void ExpectLevels(int niceLimit, const std::string& table) {
  const CommandOutcome result =
      RunCommand(std::string(PRIORITY_PROBE) + " " + std::to_string(niceLimit));
  if (result.output == "skip\n") {
    GTEST_SKIP() << "RLIMIT_NICE " << niceLimit << " cannot be set here";
  }
  EXPECT_EQ(result.status, 0) << result.output;
  // Every level from every other, none refused, each in the state it has alone; then the table.
  EXPECT_EQ(result.output, table + "done\n");
}

}  // namespace

TEST(PriorityLevels, AUserWithoutNiceRoomGetsEveryLevelWithTheBatchPolicyBelowNormal) {
  ExpectLevels(0,
               "plIdle batch 0\n"
               "plLowest batch 0\n"
               "plBelowNormal batch 0\n"
               "plNormal normal 0\n"
               "plAboveNormal normal 0\n"
               "plHighest normal 0\n"
               "plTimeCritical normal 0\n");
}

TEST(PriorityLevels, ARaisedNiceLimitKeepsTheOrderOfAllLevels) {
  // RLIMIT_NICE 30 lets the user go back down to nice -10.
  ExpectLevels(30,
               "plIdle idle 19\n"
               "plLowest normal 10\n"
               "plBelowNormal normal 5\n"
               "plNormal normal 0\n"
               "plAboveNormal normal -4\n"
               "plHighest normal -7\n"
               "plTimeCritical normal -10\n");
}

TEST(PriorityLevels, ALimitThatReachesOnlyNormalKeepsTheLevelsBelowIt) {
  // RLIMIT_NICE 20: back down to nice 0 but not beyond.
  ExpectLevels(20,
               "plIdle idle 19\n"
               "plLowest normal 10\n"
               "plBelowNormal normal 5\n"
               "plNormal normal 0\n"
               "plAboveNormal normal 0\n"
               "plHighest normal 0\n"
               "plTimeCritical normal 0\n");
}
