// The test programs' side of the private machine; kept apart so that programs without the test
// framework (the benchmarks) can use the machine too.
#include <gtest/gtest.h>

#include "support/PrivateSystem.h"

void SkipEveryTestOutsideThePrivateSystem() {
  class SkipEverything : public testing::Environment {
   public:
    void SetUp() override { GTEST_SKIP() << PrivateSystemProblem(); }
  };
  if (!InPrivateSystem()) testing::AddGlobalTestEnvironment(new SkipEverything);
}
