// Test entry point for tests that run on a private machine of their own (tests/support/
// PrivateSystem.h): the namespaces are entered before anything else starts.
#include <gtest/gtest.h>

#include "support/PrivateSystem.h"

int main(int argc, char** argv) {
  EnterPrivateSystem();
  testing::InitGoogleTest(&argc, argv);
  SkipEveryTestOutsideThePrivateSystem();
  return RUN_ALL_TESTS();
}
