// The seven priority levels as a user without privileges gets them, run in a separate process
// that drops root's privileges first: the kernel lets root do what an ordinary user may not.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/CommandOutput.h"

namespace {

struct NiceLimit {
  int limit;
  const char* states[7];  // of plIdle to plTimeCritical, each as first set from normal
};

void PrintTo(const NiceLimit& nice, std::ostream* out) {
  *out << "RLIMIT_NICE " << nice.limit;
}

class PriorityLevels : public testing::TestWithParam<NiceLimit> {};

// Every level from every other, none refused, each in the state it has alone; then the table.
TEST_P(PriorityLevels, EveryLevelFollowsEveryOtherAndTheyKeepTheirOrder) {
  const char* const levels[] = {"plIdle",        "plLowest",  "plBelowNormal", "plNormal",
                                "plAboveNormal", "plHighest", "plTimeCritical"};
  const NiceLimit& nice = GetParam();
  const CommandOutcome result =
      RunCommand(std::string(PRIORITY_PROBE) + " " + std::to_string(nice.limit));
  if (result.output == "skip\n") GTEST_SKIP() << "RLIMIT_NICE " << nice.limit << " cannot be set";
  EXPECT_EQ(result.status, 0) << result.output;
  std::string table;
  for (int level = 0; level < 7; ++level)
    table += std::string(levels[level]) + " " + nice.states[level] + "\n";
  EXPECT_EQ(result.output, table + "done\n");
}

const NiceLimit kLimits[] = {
    // No nice room: the batch policy stands below normal.
    {0, {"batch 0", "batch 0", "batch 0", "normal 0", "normal 0", "normal 0", "normal 0"}},
    // 30 lets the user go back down to nice -10.
    {30, {"idle 19", "normal 10", "normal 5", "normal 0", "normal -4", "normal -7", "normal -10"}},
    // 20: back down to nice 0 but not beyond.
    {20, {"idle 19", "normal 10", "normal 5", "normal 0", "normal 0", "normal 0", "normal 0"}},
};

INSTANTIATE_TEST_SUITE_P(NiceLimits, PriorityLevels, testing::ValuesIn(kLimits),
                         [](const testing::TestParamInfo<NiceLimit>& info) {
                           return "Limit" + std::to_string(info.param.limit);
                         });

}  // namespace
