// The real program, started headless on the test's private machine with a relay board (a
// pseudo-terminal in the kernel's default mode, as a freshly plugged adapter) behind
// /dev/ttyUSB0, serving remote PCs on port 1028.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/PseudoTerminal.h"
#include "support/RelayProgram.h"
#include "tests/net/TcpClient.h"

namespace {

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

// SIGPIPE does nothing to the program; the hang-up of the terminal it was started from closes
// it as SIGTERM does.
TEST_F(BinaryClientTest, WithoutABoardTheSenderGetsTheEchoAndTheFailureTextsAndIsDroppedAtTheEnd) {
  ASSERT_TRUE(program.Start());
  ASSERT_TRUE(program.WaitUntilListening()) << program.StandardError();
  TcpClient client;
  ASSERT_TRUE(client.Connect(1028));
  program.Signal(SIGPIPE);
  ASSERT_TRUE(client.Send("03+//"));
  EXPECT_EQ(Answer(client, 5 + kFailureTexts.size()), "03+//" + kFailureTexts);
  EXPECT_EQ(program.Stop(SIGHUP), 0) << program.StandardError();
  // Closing the window dropped the client.
  client.Pump();
  EXPECT_TRUE(client.PeerClosed());
}

// Connections whose handshake the kernel completed into the listener's accept queue, on the
// test's own network. Only these reach a program; one whose last handshake step came while the
// queue was full (a burst, a busy program) is dropped by the kernel, even though its peer counts
// it as connected, and a reset that follows leaves no trace a program could see.
long ConnectionsHandedToListeners() {
  std::ifstream statistics("/proc/net/snmp");
  std::string names, values;
  while (std::getline(statistics, names) && std::getline(statistics, values)) {
    if (names.rfind("Tcp:", 0) != 0) continue;
    std::istringstream name(names.substr(4)), value(values.substr(4));
    std::string field;
    long count = 0;
    while (name >> field && value >> count)
      if (field == "PassiveOpens") return count;
  }
  return -1;
}

// Connections reset in bursts, some before the program gets round to accepting them (while its
// watchdog holds the window): every one the kernel hands over is reported, and the program
// serves on.
TEST_F(BinaryClientTest, BurstsOfResetConnectionsLeaveTheServerServing) {
  const long handedBefore = ConnectionsHandedToListeners();
  ASSERT_GE(handedBefore, 0);
  ASSERT_TRUE(program.Start());
  ASSERT_TRUE(program.WaitUntilListening()) << program.StandardError();
  constexpr int kResets = 60;
  for (int i = 0; i < kResets; ++i) {
    TcpClient client;
    ASSERT_TRUE(client.Connect(1028));
    client.Reset();
    if (i % 20 == 19) std::this_thread::sleep_for(std::chrono::milliseconds(400));
  }
  // Each reset handed over is shown (on standard error as well as in the dialog). The
  // connection that found the program listening closed without a reset.
  auto handedOver = [&] { return ConnectionsHandedToListeners() - handedBefore - 1; };
  auto reported = [&] {
    const std::string errors = program.StandardError();
    long count = 0;
    for (size_t at = errors.find("Asynchronous socket error 10054"); at != std::string::npos;
         at = errors.find("Asynchronous socket error 10054", at + 1))
      ++count;
    return count;
  };
  PollUntil([&] { return reported() >= handedOver(); }, 60000);
  EXPECT_EQ(reported(), handedOver()) << program.StandardError();
  EXPECT_EQ(program.StandardError().find("getpeername"), std::string::npos)
      << program.StandardError();
  TcpClient client;
  ASSERT_TRUE(client.Connect(1028));
  ASSERT_TRUE(client.Send("on//"));
  EXPECT_EQ(Answer(client, 4 + kFailureTexts.size()), "on//" + kFailureTexts);
}

// Started with options as a service would be: the board behind a long stable name, the server on
// one address, only the networks given served. A refused PC is closed at once, hears nothing,
// reaches no board and shows on standard error only. Every log line also reaches standard output
// as it happens, with the date and time in front.
TEST_F(BinaryClientTest, OptionsChooseBoardAddressAndPeersAndTheLogReachesStandardOutput) {
  const std::string name = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10KZP4B-if00-port0";
  std::filesystem::create_directories("/dev/serial/by-id");
  PseudoTerminal board;
  ASSERT_TRUE(board.CreateSymlink(name));
  ASSERT_TRUE(program.StartWithOptions(
      {"--port", name, "--listen", "127.0.0.1", "--allow", "10.0.0.0/8,127.0.0.1"}));
  // The greeting follows the opening of the server.
  ASSERT_EQ(board.WaitForBytes(3, 20000), "?//") << program.StandardError();

  TcpClient elsewhere;
  EXPECT_FALSE(elsewhere.Connect(1028, "", "127.0.0.3"));
  TcpClient stranger;
  ASSERT_TRUE(stranger.Connect(1028, "127.0.0.2"));
  stranger.Send("01+//");
  EXPECT_EQ(Answer(stranger, 1), "");
  EXPECT_TRUE(stranger.PeerClosed());

  TcpClient pc;
  ASSERT_TRUE(pc.Connect(1028, "127.0.0.1"));
  ASSERT_TRUE(pc.Send("03+//"));
  EXPECT_EQ(Answer(pc, 5), "03+//");
  EXPECT_EQ(board.WaitForBytes(5, 5000), "03+//");
  pc.Close();

  const std::vector<std::string> expected = {"PC with IP 127.0.0.1 connected",
                                             "Relay 3  switched ON",
                                             "PC with IP 127.0.0.1 disconnected"};
  const std::regex stamped(R"((\d{4}-\d\d-\d\d \d\d:\d\d:\d\d) (.*))");
  std::vector<std::string> lines;
  PollUntil([&] {
    lines.clear();
    std::istringstream output(program.StandardOutput());
    for (std::string line; std::getline(output, line);) {
      std::smatch match;
      lines.push_back(std::regex_match(line, match, stamped) ? match[2].str()
                                                             : "unstamped " + line);
    }
    return lines.size() >= expected.size();
  });
  EXPECT_EQ(lines, expected);
  const std::string errors = program.StandardError();
  EXPECT_NE(errors.find("refused PC with IP 127.0.0.2"), std::string::npos) << errors;
  EXPECT_EQ(board.ReadAvailable(100), "");
}

}  // namespace
