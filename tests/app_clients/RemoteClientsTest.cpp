// Remote PCs against the relay server's main window, in one process: real TCP clients on port
// 1028 and a pseudo-terminal as the relay board behind /dev/ttyUSB0, on the test's private
// machine.
#include <memory>
#include <string>
#include <utility>

#include "platform/Sockets.h"
#include "tests/app/MainWindowFixture.h"
#include "tests/net/NetTestSupport.h"
#include "tests/net/TcpClient.h"
#include "tests/support/PseudoTerminal.h"
#include "thread/MainThreadHandOver.h"

namespace {

const std::string kProblemText = "There is some problem with the remote PC";
const std::string kNotOpenText = "Virtual COM Port is not opened!";

class RemoteClientsTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    // Hand-over calls of the port watchdog are served by the message loop, as in the program.
    InstallMainThreadHandOver();
  }

  // The window with the board attached, its greeting already read.
  void CreateWithBoard() {
    board = std::make_unique<PseudoTerminal>();
    ASSERT_TRUE(board->CreateSymlink("/dev/ttyUSB0"));
    CreateMainWindow();
    endpoints.MakeFor(*Form1->ServerSocket1->ListeningEndpoint());
    ASSERT_TRUE(Form1->ServerSocket1->Active()) << (exceptions.empty() ? "" : exceptions[0]);
    ASSERT_EQ(Form1->Panel3->Color(), clLime);
    ASSERT_EQ(board->WaitForBytes(3, 5000), "?//");
  }

  void CreateWithoutBoard() {
    CreateMainWindow();
    endpoints.MakeFor(*Form1->ServerSocket1->ListeningEndpoint());
    ASSERT_TRUE(Form1->ServerSocket1->Active()) << (exceptions.empty() ? "" : exceptions[0]);
    ASSERT_EQ(Form1->Label9->Color(), clRed);
  }

  // A remote PC whose connection the window has logged.
  std::unique_ptr<TcpClient> Connect() {
    auto client = std::make_unique<TcpClient>();
    const size_t lines = CountOf(" connected\r\n");
    EXPECT_TRUE(client->Connect(port));
    EXPECT_TRUE(RunUntil([&] { return CountOf(" connected\r\n") == lines + 1; }));
    return client;
  }

  // Sends a text and collects the answer until count bytes have come back.
  std::string Exchange(TcpClient& client, const std::string& text, size_t count) {
    client.ClearReceived();
    client.Send(text);
    RunUntilReceived(client, count);
    // Anything beyond the expected answer would show up now.
    RunFor(20);
    client.Pump();
    return client.Received();
  }

  size_t CountOf(const std::string& piece) const {
    const std::string log = LogText();
    size_t count = 0;
    for (size_t at = log.find(piece); at != std::string::npos; at = log.find(piece, at + 1)) {
      ++count;
    }
    return count;
  }

  const uint16_t port = 1028;
  std::unique_ptr<PseudoTerminal> board;
  ClientEndpoints endpoints;
};

TEST_F(RemoteClientsTest, ACommandWhileThePortIsOpenGoesToTheBoardAndIsEchoedAndLogged) {
  CreateWithBoard();
  auto client = Connect();
  EXPECT_EQ(LogText(), "PC with IP 127.0.0.1 connected\r\n");
  EXPECT_EQ(Exchange(*client, "03+//", 5), "03+//");
  EXPECT_EQ(board->WaitForBytesThenQuiet(5), "03+//");
  EXPECT_EQ(LogText(), "PC with IP 127.0.0.1 connected\r\nRelay 3  switched ON\r\n");
  EXPECT_EQ(Form1->Panel4->Top(), 32);
  EXPECT_EQ(Form1->Edit2->Text(), "03+//");
  EXPECT_TRUE(exceptions.empty());
}

TEST_F(RemoteClientsTest, ACommandWhileThePortIsNotOpenAlsoTellsTheSender) {
  CreateWithoutBoard();
  auto client = Connect();
  const std::string expected = "03+//" + kProblemText + kNotOpenText;
  EXPECT_EQ(Exchange(*client, "03+//", expected.size()), expected);
  EXPECT_EQ(LogText(),
            "PC with IP 127.0.0.1 connected\r\nRelay 3  switched ON\r\n"
            "Virtual COM Port is not opened!\r\n");
  EXPECT_EQ(Form1->Panel4->Top(), 32);
}

// None of these texts is a command: each is echoed whole and logged as nothing.
TEST_F(RemoteClientsTest, TheBoardGetsTheFirstNineCharactersUpToAZeroByte) {
  CreateWithBoard();
  auto client = Connect();
  const std::pair<std::string, std::string> sentAndForwarded[] = {
      {"01234567890123456789", "012345678"},
      {"03+//\r\n", "03+//\r\n"},
      {std::string("01+//\0xyz", 9), "01+//"},
  };
  for (const auto& [sent, forwarded] : sentAndForwarded) {
    EXPECT_EQ(Exchange(*client, sent, sent.size()), sent);
    EXPECT_EQ(board->WaitForBytesThenQuiet(forwarded.size()), forwarded);
    EXPECT_EQ(Form1->Edit2->Text(), sent.substr(0, sent.find('\0')));  // up to a zero byte
    EXPECT_EQ(LogText(), "PC with IP 127.0.0.1 connected\r\n");
  }
  EXPECT_EQ(Form1->Panel4->Top(), 72);
}

TEST_F(RemoteClientsTest, AReadEventThatFindsNothingStillSendsTheFailureTexts) {
  CreateWithoutBoard();
  auto client = Connect();
  TServerClientWinSocket* endpoint = endpoints.newest;
  ASSERT_NE(endpoint, nullptr);
  client->ClearReceived();
  PostMessage(endpoint->NotificationWindow(), MSG_SOCKET_NOTIFY, endpoint->SocketHandle(),
              MakeLParam(WinSock::FD_READ, 0));
  const std::string expected = kProblemText + kNotOpenText;
  ASSERT_TRUE(RunUntilReceived(*client, expected.size()));
  EXPECT_EQ(client->Received(), expected);
  EXPECT_EQ(LogText(), "PC with IP 127.0.0.1 connected\r\nVirtual COM Port is not opened!\r\n");
  EXPECT_EQ(Form1->Edit2->Text(), "");
}

TEST_F(RemoteClientsTest, ConnectsAndDisconnectsAreLoggedWithTheTimeStampFirst) {
  TForm1::Clock = [] { return TTimeOfDay{9, 5, 7}; };
  CreateWithBoard();
  Form1->CheckBox2->SetChecked(true);
  auto client = Connect();
  EXPECT_EQ(LogText(), "9:5:7 PC with IP 127.0.0.1 connected\r\n");
  client->Close();
  ASSERT_TRUE(RunUntil([&] { return CountOf(" disconnected\r\n") == 1; }));
  EXPECT_EQ(LogText(),
            "9:5:7 PC with IP 127.0.0.1 connected\r\n9:5:7 PC with IP 127.0.0.1 disconnected\r\n");
  ASSERT_TRUE(RunUntil([&] { return endpoints.Alive() == 0; }));
}

TEST_F(RemoteClientsTest, EveryClientGetsOnlyItsOwnEcho) {
  CreateWithBoard();
  auto first = Connect();
  auto second = Connect();
  auto third = Connect();
  EXPECT_EQ(Exchange(*second, "05+//", 5), "05+//");
  EXPECT_EQ(Exchange(*first, "off//", 5), "off//");
  EXPECT_EQ(Exchange(*third, "on//", 4), "on//");
  first->Pump();
  third->Pump();
  EXPECT_EQ(first->Received(), "off//");
  EXPECT_EQ(third->Received(), "on//");
  EXPECT_EQ(board->WaitForBytesThenQuiet(14), "05+//off//on//");
}

// A PC that connects and resets while the window is busy (here: before the loop runs at all) is
// accepted after it has gone; it is logged and reported like any other reset.
TEST_F(RemoteClientsTest, AConnectionResetBeforeItIsAcceptedIsLoggedWithItsAddress) {
  CreateWithBoard();
  TcpClient client;
  ASSERT_TRUE(client.Connect(port));
  client.Reset();
  ASSERT_TRUE(RunUntil([&] { return !exceptions.empty(); }));
  EXPECT_EQ(exceptions, (std::vector<std::string>{"Asynchronous socket error 10054"}));
  EXPECT_EQ(LogText(), "PC with IP 127.0.0.1 connected\r\nPC with IP 127.0.0.1 disconnected\r\n");
  ASSERT_TRUE(RunUntil([&] { return endpoints.Alive() == 0; }));
  // The board heard nothing but its greeting.
  EXPECT_EQ(board->ReadAvailable(100), "");
}

TEST_F(RemoteClientsTest, ClosingTheWindowDropsEveryClientWithoutDisconnectLines) {
  CreateWithBoard();
  auto first = Connect();
  auto second = Connect();
  Form1->Close();
  EXPECT_FALSE(Form1->ServerSocket1->Active());
  EXPECT_EQ(endpoints.Alive(), 0);
  ASSERT_TRUE(RunUntilClosed(*first));
  ASSERT_TRUE(RunUntilClosed(*second));
  RunFor(20);
  EXPECT_EQ(CountOf(" disconnected\r\n"), 0u);
}

TEST_F(RemoteClientsTest, APortTakenAtStartUpGivesOneErrorAndTheWindowStillOpens) {
  PortHolder holder(port);
  ASSERT_TRUE(holder.Holding());
  CreateMainWindow();
  ASSERT_EQ(exceptions.size(), 1u);
  EXPECT_EQ(exceptions[0], "Windows socket error: Address already in use (10048), on API 'bind'");
  EXPECT_FALSE(Form1->ServerSocket1->Active());
  EXPECT_EQ(LogText().rfind("Memo1", 0), 0u) << LogText();
  EXPECT_EQ(Form1->Label9->Caption(), "Label9");
  EXPECT_EQ(Form1->Label12->Caption(), "Label12");
}

}  // namespace
