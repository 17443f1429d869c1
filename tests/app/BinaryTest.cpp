// The real program, started as a user would start it, on the test's private machine.
#include <gtest/gtest.h>

#include <string>

#include "support/RelayProgram.h"
#include "tests/net/TcpClient.h"

namespace {

// No display and no platform asked for, as on a box reached over ssh: the program chooses the
// offscreen platform itself and says so in one line.
TEST(BinaryTest, StartsHeadlessAndStopsCleanlyOnSigterm) {
  RelayProgram program;
  ASSERT_TRUE(program.Start({{"QT_QPA_PLATFORM", ""}, {"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}}));
  ASSERT_TRUE(program.WaitUntilListening()) << program.StandardError();
  EXPECT_EQ(program.Stop(), 0) << program.StandardError();
  EXPECT_NE(program.StandardError().find(
                "tallyvane: no display found, running on the offscreen platform (nothing is "
                "shown)\n"),
            std::string::npos)
      << program.StandardError();
  EXPECT_EQ(program.StandardError().find("error"), std::string::npos) << program.StandardError();
  EXPECT_FALSE(HasSanitizerReport(program.StandardError())) << program.StandardError();
}

// Another program holds port 1028. Off screen nobody would see the window serve nothing: the
// error goes to standard error once and the program ends with status 1, for the service manager
// to start it again.
TEST(BinaryTest, APortHeldByAnotherProgramEndsTheHeadlessProgramWithItsError) {
  PortHolder other(1028);
  ASSERT_TRUE(other.Holding());
  RelayProgram program;
  ASSERT_TRUE(program.Start());
  const std::string expected =
      "tallyvane: Windows socket error: Address already in use (10048), on API 'bind'\n";
  const int status = program.WaitForExit(20000);
  const std::string errors = program.StandardError();
  EXPECT_EQ(status, 1) << errors;
  EXPECT_NE(errors.find(expected), std::string::npos) << errors;
  EXPECT_EQ(errors.find(expected), errors.rfind(expected)) << errors;
  EXPECT_FALSE(HasSanitizerReport(errors)) << errors;
}

}  // namespace
