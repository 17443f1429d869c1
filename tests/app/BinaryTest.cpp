// The real program, started as a user would start it, on the test's private machine.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "support/RelayProgram.h"
#include "support/VirtualScreen.h"
#include "tests/net/TcpClient.h"

namespace {

using Clock = std::chrono::steady_clock;

TEST(BinaryTest, StartsHeadlessAndStopsCleanlyOnSigterm) {
  RelayProgram program;
  ASSERT_TRUE(program.Start());
  ASSERT_TRUE(program.WaitUntilListening()) << program.StandardError();
  EXPECT_EQ(program.Stop(), 0) << program.StandardError();
  EXPECT_EQ(program.StandardError().find("error"), std::string::npos) << program.StandardError();
  EXPECT_FALSE(HasSanitizerReport(program.StandardError())) << program.StandardError();
}

TEST(BinaryTest, ShowsItsWindowWithTheCaptionUnderAnXServer) {
  VirtualScreen screen;
  ASSERT_TRUE(screen.Start(1)) << "no virtual X server";
  RelayProgram program;
  ASSERT_TRUE(program.Start({{"QT_QPA_PLATFORM", "xcb"},
                             {"DISPLAY", screen.Display()},
                             // The X client libraries keep caches for the life of the process.
                             {"ASAN_OPTIONS", "detect_leaks=0"}}));
  int left = 0;
  int top = 0;
  const auto deadline = Clock::now() + std::chrono::seconds(20);
  bool shown = false;
  while (!(shown = screen.FindWindow("Tallyvane - Server", left, top)) && Clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(shown) << program.StandardError();
  EXPECT_EQ(program.Stop(), 0) << program.StandardError();
}

// Another program holds port 1028: one error, shown and written to standard error, then the
// window without a server; SIGTERM still ends it cleanly.
TEST(BinaryTest, APortHeldByAnotherProgramGivesOneErrorAndTheProgramStillRuns) {
  PortHolder other(1028);
  ASSERT_TRUE(other.Holding());
  RelayProgram program;
  ASSERT_TRUE(program.Start());
  const std::string expected =
      "Windows socket error: Address already in use (10048), on API 'bind'";
  const auto deadline = Clock::now() + std::chrono::seconds(20);
  while (program.StandardError().find(expected) == std::string::npos && Clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_TRUE(program.Running());
  const std::string errors = program.StandardError();
  EXPECT_NE(errors.find(expected), std::string::npos) << errors;
  EXPECT_EQ(errors.find(expected), errors.rfind(expected)) << errors;
  EXPECT_EQ(program.Stop(), 0) << program.StandardError();
  EXPECT_FALSE(HasSanitizerReport(program.StandardError())) << program.StandardError();
}

}  // namespace
