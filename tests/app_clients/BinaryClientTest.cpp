// The real program, started headless on the test's private machine with a relay board (a
// pseudo-terminal in the kernel's default mode, as a freshly plugged adapter) behind
// /dev/ttyUSB0, serving remote PCs on port 1028.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "support/PseudoTerminal.h"
#include "support/RelayProgram.h"
#include "tests/net/TcpClient.h"

namespace {

using Clock = std::chrono::steady_clock;

const std::string kFailureTexts =
    "There is some problem with the remote PCVirtual COM Port is not opened!";

// Collects what the program sends back until the count has come or ten seconds have passed.
std::string Answer(TcpClient& client, size_t count) {
  client.WaitUntil([&](const std::string& received) { return received.size() >= count; });
  // Anything beyond the expected answer would come now.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  client.Pump();
  return client.TakeReceived();
}

class BinaryClientTest : public testing::Test {
 protected:
  void TearDown() override {
    if (program.Running()) {
      EXPECT_EQ(program.Stop(), 0) << program.StandardError();
    }
    EXPECT_FALSE(HasSanitizerReport(program.StandardError())) << program.StandardError();
  }
  RelayProgram program;
};

TEST_F(BinaryClientTest, TheBoardGetsExactlyTheBytesSentAndItsAnswersGoNowhere) {
  PseudoTerminal board;
  ASSERT_TRUE(board.CreateSymlink("/dev/ttyUSB0"));
  ASSERT_TRUE(program.Start());
  ASSERT_TRUE(program.WaitUntilListening()) << program.StandardError();
  EXPECT_EQ(board.WaitForBytes(3, 5000), "?//");
  TcpClient client;
  ASSERT_TRUE(client.Connect(1028));
  // The text comes back, and the board gets exactly it.
  auto relay = [&](const std::string& text) {
    ASSERT_TRUE(client.Send(text));
    EXPECT_EQ(Answer(client, text.size()), text);
    EXPECT_EQ(board.WaitForBytes(text.size(), 5000), text);
  };

  // A line end goes out as it is, not as a terminal would turn it.
  relay("03+//\r\n");
  EXPECT_EQ(board.ReadAvailable(100), "");

  // The board answers, and sends the stop character: nothing comes back to it, and the line
  // goes on carrying commands.
  ASSERT_TRUE(board.Send("OK\r\n\x13"));
  relay("01+//");
  EXPECT_EQ(board.ReadAvailable(100), "");

  // Every byte value of the first nine reaches the board as it was sent.
  relay(std::string("\x11\x13\x03\x1a\x7f\xff\r\n\x04", 9));
}

TEST_F(BinaryClientTest, WithoutABoardTheSenderGetsTheEchoAndTheFailureTextsAndIsDroppedAtTheEnd) {
  ASSERT_TRUE(program.Start());
  ASSERT_TRUE(program.WaitUntilListening()) << program.StandardError();
  TcpClient client;
  ASSERT_TRUE(client.Connect(1028));
  ASSERT_TRUE(client.Send("03+//"));
  EXPECT_EQ(Answer(client, 5 + kFailureTexts.size()), "03+//" + kFailureTexts);
  EXPECT_EQ(program.Stop(), 0) << program.StandardError();
  // Closing the window dropped the client.
  client.Pump();
  EXPECT_TRUE(client.PeerClosed());
}

// Connections reset in bursts, some before the program gets round to accepting them (while its
// watchdog holds the window): every one is reported and the program serves on.
TEST_F(BinaryClientTest, BurstsOfResetConnectionsLeaveTheServerServing) {
  ASSERT_TRUE(program.Start());
  ASSERT_TRUE(program.WaitUntilListening()) << program.StandardError();
  constexpr int kResets = 60;
  for (int i = 0; i < kResets; ++i) {
    TcpClient client;
    ASSERT_TRUE(client.Connect(1028));
    client.Reset();
    if (i % 20 == 19) std::this_thread::sleep_for(std::chrono::milliseconds(400));
  }
  // Each reset is shown (on standard error as well as in the dialog).
  const auto deadline = Clock::now() + std::chrono::seconds(20);
  auto reported = [&] {
    const std::string errors = program.StandardError();
    size_t count = 0;
    for (size_t at = errors.find("Asynchronous socket error 10054"); at != std::string::npos;
         at = errors.find("Asynchronous socket error 10054", at + 1))
      ++count;
    return count;
  };
  while (reported() < kResets && Clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(reported(), static_cast<size_t>(kResets)) << program.StandardError();
  EXPECT_EQ(program.StandardError().find("getpeername"), std::string::npos)
      << program.StandardError();
  TcpClient client;
  ASSERT_TRUE(client.Connect(1028));
  ASSERT_TRUE(client.Send("on//"));
  EXPECT_EQ(Answer(client, 4 + kFailureTexts.size()), "on//" + kFailureTexts);
}

}  // namespace
