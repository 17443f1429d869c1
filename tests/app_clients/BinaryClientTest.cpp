// The real program, started headless, serving a remote PC on port 1028.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <string>
#include <thread>

#include "support/ChildProcess.h"
#include "tests/net/TcpClient.h"

namespace {

using Clock = std::chrono::steady_clock;

TEST(BinaryClientTest, EchoesARelayTextWithTheFailureTextsAndStopsOnSigterm) {
  {
    PortHolder probe(1028);
    if (!probe.Holding()) GTEST_SKIP() << "another program keeps TCP port 1028";
  }
  ChildProcess program;
  ASSERT_TRUE(program.Start(TALLYVANE_BINARY, {}, {{"QT_QPA_PLATFORM", "offscreen"}}));
  TcpClient client;
  const auto deadline = Clock::now() + std::chrono::seconds(20);
  while (!client.Connect(1028)) {
    ASSERT_TRUE(program.Running()) << program.StandardError();
    ASSERT_LT(Clock::now(), deadline) << "the program never listened on 1028";
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_TRUE(client.Send("03+//"));
  // No relay board is attached on the test machine, so the port is not open.
  const std::string expected =
      "03+//There is some problem with the remote PCVirtual COM Port is not opened!";
  while (client.Received().size() < expected.size() && Clock::now() < deadline &&
         !client.PeerClosed()) {
    client.Pump();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(client.Received(), expected);
  program.Signal(SIGTERM);
  EXPECT_EQ(program.WaitForExit(20000), 0) << program.StandardError();
  EXPECT_FALSE(HasSanitizerReport(program.StandardError())) << program.StandardError();
  // Closing the window dropped the client.
  client.Pump();
  EXPECT_TRUE(client.PeerClosed());
}

}  // namespace
