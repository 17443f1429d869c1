// The real program with the watchdog running and no adapter, on the test's private machine: it
// keeps answering remote clients over several cycles and ends cleanly on SIGTERM, whatever the
// watchdog is doing then.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "support/RelayProgram.h"
#include "tests/net/TcpClient.h"

namespace {

// Collects what comes back until it holds the expected text or ten seconds have passed.
std::string ReadUntil(TcpClient& client, const std::string& expected) {
  client.WaitUntil(
      [&](const std::string& received) { return received.find(expected) != std::string::npos; });
  return client.TakeReceived();
}

TEST(WatchdogBinary, ServesClientsOverSeveralCyclesWithoutAnAdapterAndStopsOnSigterm) {
  RelayProgram program;
  ASSERT_TRUE(program.Start());
  ASSERT_TRUE(program.WaitUntilListening()) << program.StandardError();
  TcpClient client;
  ASSERT_TRUE(client.Connect(1028));
  // About four watchdog cycles, each with a 250 ms pause on the GUI thread.
  for (int round = 0; round < 4; ++round) {
    const std::string command = std::string("0").append(std::to_string(round + 1)).append("+//");
    ASSERT_TRUE(client.Send(command));
    const std::string reply = ReadUntil(client, "Virtual COM Port is not opened!");
    EXPECT_EQ(reply,
              command + "There is some problem with the remote PCVirtual COM Port is not opened!");
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));
  }
  client.Close();
  ASSERT_TRUE(program.Running()) << program.StandardError();
  EXPECT_EQ(program.Stop(), 0) << program.StandardError();
  EXPECT_FALSE(HasSanitizerReport(program.StandardError())) << program.StandardError();
}

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
