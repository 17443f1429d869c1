// The listening endpoint and its client endpoints against real TCP clients on loopback.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "net/ServerWinSocket.h"
#include "net/SocketError.h"
#include "tests/net/NetTestSupport.h"
#include "tests/net/TcpClient.h"
#include "tests/support/ExpectMessage.h"
#include "tests/support/PrivateSystem.h"

namespace {

class ServerEndpointTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port = FreePort();
    server = std::make_unique<TServerWinSocket>(WinSock::INVALID_SOCKET);
    endpoints.MakeFor(*server);
    server->SetSocketEventSink([this](TCustomWinSocket*, TCustomWinSocket*, TSocketEventKind k) {
      serverEvents.push_back(k);
    });
    server->OnClientConnect = [this](TObject* sender, TCustomWinSocket* socket) {
      EXPECT_EQ(sender, server.get());
      events.push_back("connect " + socket->PeerAddressText());
    };
    server->OnClientDisconnect = [this](TObject*, TCustomWinSocket* socket) {
      events.push_back("disconnect " + socket->PeerAddressText() +
                       (socket->IsConnected() ? " open" : " closed"));
    };
  }

  void Listen() { server->StartListening("", "", "", port, 5, false); }

  uint16_t port = 0;
  CapturedExceptions exceptions;
  ClientEndpoints endpoints;  // outlives the server, which destroys the last of them
  std::unique_ptr<TServerWinSocket> server;
  std::vector<TSocketEventKind> serverEvents;
  std::vector<std::string> events;  // the client events, with the peer's address
};

// A taken port fails in bind; once it is free the endpoint listens, and refuses a second listen.
TEST_F(ServerEndpointTest, TakenPortFailsInBindThenListeningRaisesLookupAndListenOnce) {
  PortHolder holder(port);
  ASSERT_TRUE(holder.Holding());
  ExpectThrowWithMessage<ESocketError>(
      [&] { Listen(); }, "Windows socket error: Address already in use (10048), on API 'bind'");
  EXPECT_EQ(serverEvents, (std::vector<TSocketEventKind>{sekLookup, sekDisconnect}));
  EXPECT_FALSE(server->IsConnected());
  EXPECT_EQ(server->SocketHandle(), WinSock::INVALID_SOCKET);
  holder.Release();
  serverEvents.clear();
  Listen();
  EXPECT_TRUE(server->IsConnected());
  EXPECT_EQ(serverEvents, (std::vector<TSocketEventKind>{sekLookup, sekListen}));
  EXPECT_TRUE(TcpClient().Connect(port));
  ExpectThrowWithMessage<ESocketError>([&] { Listen(); }, "Can't listen on an open socket");
  EXPECT_TRUE(server->IsConnected());
}

// Sending reports what the socket took; receiving takes every packet waiting.
TEST_F(ServerEndpointTest, SendStringReportsWhatTheSocketTookAndReceiveAllTextTakesEveryPacket) {
  Listen();
  auto client = endpoints.Connect(port);
  ASSERT_NE(endpoints.newest, nullptr);
  EXPECT_EQ(endpoints.newest->SendString(""), 0);
  EXPECT_EQ(endpoints.newest->SendString("abc"), 3);
  ASSERT_TRUE(RunUntilReceived(*client, 3));
  EXPECT_EQ(client->Received(), "abc");
  const std::string expected("ab\0cd", 5);
  client->Send("ab");
  RunUntil([&] { return endpoints.newest->ReceiveInto(nullptr, -1) == 2; });
  client->Send(std::string("\0cd", 3));
  ASSERT_TRUE(RunUntil([&] { return endpoints.newest->ReceiveInto(nullptr, -1) == 5; }));
  EXPECT_EQ(endpoints.newest->ReceiveAllText(), expected);
  EXPECT_EQ(endpoints.newest->ReceiveAllText(), "");
}

TEST_F(ServerEndpointTest, AClosedEndpointAnswersEmptyWithoutExceptions) {
  Listen();
  auto client = endpoints.Connect(port);
  TCustomWinSocket* endpoint = endpoints.newest;
  endpoint->CloseEndpoint(endpoint->SocketHandle());
  EXPECT_FALSE(endpoint->IsConnected());
  EXPECT_EQ(endpoint->ReceiveAllText(), "");
  EXPECT_EQ(endpoint->SendString("abc"), 0);
  EXPECT_EQ(endpoint->PeerAddressText(), "");
  EXPECT_EQ(endpoint->ReceiveInto(nullptr, -1), 0);
  // The close went the normal way: disconnect event, then the deferred free.
  EXPECT_EQ(endpoints.Alive(), 1);
  ASSERT_TRUE(RunUntil([&] { return endpoints.Alive() == 0; }));
  EXPECT_TRUE(exceptions.messages.empty());
}

TEST_F(ServerEndpointTest, APeerClosingNormallyIsSeenWhileTheSocketIsStillOpenThenFreed) {
  Listen();
  auto client = endpoints.Connect(port);
  client->Close();
  ASSERT_TRUE(RunUntil([&] { return endpoints.Alive() == 0; }));
  EXPECT_EQ(events, (std::vector<std::string>{"connect 127.0.0.1", "disconnect 127.0.0.1 open"}));
  EXPECT_TRUE(exceptions.messages.empty());
}

// A close asked for another handle, and notifications left for one, come from a socket gone
// before them; they must not touch this endpoint.
TEST_F(ServerEndpointTest, ClosesAndLateNotificationsForAnotherHandleLeaveTheEndpointAlone) {
  Listen();
  auto client = endpoints.Connect(port);
  int reads = 0;
  server->OnClientRead = [&](TObject*, TCustomWinSocket*) { ++reads; };
  const WPARAM stranger = endpoints.newest->SocketHandle() + 1000;
  endpoints.newest->CloseEndpoint(endpoints.newest->SocketHandle() + 1000);
  endpoints.newest->CloseEndpoint(WinSock::INVALID_SOCKET);
  HWND window = endpoints.newest->NotificationWindow();
  PostMessage(window, MSG_SOCKET_NOTIFY, stranger, MakeLParam(WinSock::FD_READ, 0));
  PostMessage(window, MSG_SOCKET_NOTIFY, stranger, MakeLParam(WinSock::FD_CLOSE, 0));
  PostMessage(window, MSG_SOCKET_NOTIFY, stranger, MakeLParam(WinSock::FD_CLOSE, 10054));
  ASSERT_TRUE(RunUntil([] { return !MessagesWaiting(); }));
  EXPECT_EQ(reads, 0);
  EXPECT_TRUE(endpoints.newest->IsConnected());
  EXPECT_EQ(events.size(), 1u);
  EXPECT_EQ(endpoints.Alive(), 1);
  EXPECT_TRUE(exceptions.messages.empty());
}

TEST_F(ServerEndpointTest, ClosingTheServerDropsItsClientsSilentlyLastAcceptedFirst) {
  Listen();
  auto first = endpoints.Connect(port);
  auto second = endpoints.Connect(port);
  auto third = endpoints.Connect(port);
  serverEvents.clear();
  server->CloseEndpoint(server->SocketHandle());
  EXPECT_EQ(endpoints.destroyed, (std::vector<int>{3, 2, 1}));
  EXPECT_EQ(serverEvents, (std::vector<TSocketEventKind>{sekDisconnect}));
  for (const std::string& event : events) EXPECT_NE(event.rfind("disconnect", 0), 0u);
  ASSERT_TRUE(RunUntilClosed(*first));
  // The port is free again at once, although the dropped connections linger in the kernel.
  Listen();
  EXPECT_TRUE(server->IsConnected());
  auto again = endpoints.Connect(port);
  EXPECT_EQ(endpoints.Alive(), 1);
}

TEST_F(ServerEndpointTest, AFreeStillWaitingWhenTheServerClosesDestroysNothingTwice) {
  Listen();
  auto client = endpoints.Connect(port);
  endpoints.newest->CloseEndpoint(endpoints.newest->SocketHandle());  // posts its free request
  EXPECT_EQ(endpoints.Alive(), 1);
  server->CloseEndpoint(server->SocketHandle());
  EXPECT_EQ(endpoints.Alive(), 0);
  RunFor(50);
  EXPECT_TRUE(exceptions.messages.empty());
}

TEST_F(ServerEndpointTest, ReadEventsComeOncePerArrivalAndCarryTheText) {
  std::vector<std::string> texts;
  server->OnClientRead = [&](TObject* sender, TCustomWinSocket* socket) {
    EXPECT_EQ(sender, server.get());
    texts.push_back(socket->ReceiveAllText());
  };
  Listen();
  auto client = endpoints.Connect(port);
  client->Send("abc");
  ASSERT_TRUE(RunUntil([&] { return !texts.empty(); }));
  RunFor(30);
  EXPECT_EQ(texts, (std::vector<std::string>{"abc"}));
  client->Send("def");
  ASSERT_TRUE(RunUntil([&] { return texts.size() == 2; }));
  EXPECT_EQ(texts[1], "def");
}

TEST_F(ServerEndpointTest, AHardSendErrorInsideTheReadHandlerClosesFirstThenThrows) {
  std::vector<std::string> order;
  server->OnClientError = [&](TObject*, TCustomWinSocket*, TErrorEvent kind, int& code) {
    order.push_back("error " + std::to_string(kind) + " " + std::to_string(code));
  };
  server->OnClientDisconnect = [&](TObject*, TCustomWinSocket* socket) {
    order.push_back("disconnect " + socket->PeerAddressText());
  };
  server->OnClientRead = [&](TObject*, TCustomWinSocket* socket) {
    socket->ReceiveAllText();
    ShutdownSending(static_cast<int>(socket->SocketHandle()));
    socket->SendString("echo");
    order.push_back("after the send");
  };
  Listen();
  auto client = endpoints.Connect(port);
  client->Send("03+//");
  ASSERT_TRUE(RunUntil([&] { return !exceptions.messages.empty(); }));
  EXPECT_EQ(order, (std::vector<std::string>{"error 1 10058", "disconnect 127.0.0.1"}));
  EXPECT_EQ(exceptions.messages[0],
            "Windows socket error: Cannot send after transport endpoint shutdown (10058), on API "
            "'send'");
  ASSERT_TRUE(RunUntil([&] { return endpoints.Alive() == 0; }));
}

TEST_F(ServerEndpointTest, AnErrorCodeClearedByTheErrorHandlerRaisesNothing) {
  server->OnClientError = [&](TObject*, TCustomWinSocket*, TErrorEvent, int& code) { code = 0; };
  server->OnClientRead = [&](TObject*, TCustomWinSocket* socket) {
    socket->ReceiveAllText();
    ShutdownSending(static_cast<int>(socket->SocketHandle()));
    EXPECT_EQ(socket->SendString("echo"), -1);
    events.push_back("read handler ran to its end");
  };
  Listen();
  auto client = endpoints.Connect(port);
  client->Send("x");
  ASSERT_TRUE(RunUntil([&] { return endpoints.Alive() == 0; }));
  EXPECT_EQ(events.back(), "read handler ran to its end");
  EXPECT_TRUE(exceptions.messages.empty());
}

TEST_F(ServerEndpointTest, AConnectHandlerThatThrowsTakesItsUnfinishedEndpointAlong) {
  int accepts = 0;
  server->SetSocketEventSink([&](TCustomWinSocket*, TCustomWinSocket*, TSocketEventKind kind) {
    if (kind == sekAccept) ++accepts;
  });
  server->OnClientConnect = [&](TObject*, TCustomWinSocket*) {
    throw ESocketError("connect handler failed");
  };
  // The failed endpoint closed the accepted socket; a descriptor opened under its number right
  // after must stay open.
  int socketNumber = -1;
  server->OnGetSocket = [&, make = server->OnGetSocket](TObject* sender, int handle,
                                                        TServerClientWinSocket*& client) {
    try {
      make(sender, handle, client);
    } catch (...) {
      socketNumber = dup2(STDERR_FILENO, handle);
      throw;
    }
  };
  Listen();
  TcpClient client;
  ASSERT_TRUE(client.Connect(port));
  ASSERT_TRUE(RunUntil([&] { return !exceptions.messages.empty(); }));
  EXPECT_EQ(exceptions.messages[0], "connect handler failed");
  EXPECT_EQ(exceptions.senders[0], server.get());
  EXPECT_EQ(accepts, 0);
  EXPECT_TRUE(events.empty());
  EXPECT_NE(fcntl(socketNumber, F_GETFD), -1) << "closed twice";
  close(socketNumber);
  ASSERT_TRUE(RunUntilClosed(client));
}

TEST_F(ServerEndpointTest, AnExceptionInTheDisconnectHandlerStillClosesAndFreesTheEndpoint) {
  server->OnClientDisconnect = [&](TObject*, TCustomWinSocket*) {
    throw ESocketError("disconnect handler failed");
  };
  Listen();
  const int descriptorsBefore = OpenDescriptorCount();
  auto client = endpoints.Connect(port);
  client->Close();
  ASSERT_TRUE(RunUntil([&] { return !exceptions.messages.empty(); }));
  EXPECT_EQ(exceptions.messages[0], "disconnect handler failed");
  ASSERT_TRUE(RunUntil([&] { return endpoints.Alive() == 0; }));
  EXPECT_EQ(OpenDescriptorCount(), descriptorsBefore);
}

TEST_F(ServerEndpointTest, AnUnknownServiceEndsAsTheLookupErrorAndAKnownOneListensOnItsPort) {
  server->StartListening("", "", "no-such-service-tallyvane", 0, 5, false);
  EXPECT_FALSE(server->IsConnected());
  EXPECT_TRUE(exceptions.messages.empty());
  ASSERT_TRUE(RunUntil([&] { return !exceptions.messages.empty(); }));
  EXPECT_EQ(exceptions.messages[0],
            "Windows socket error: Valid name, no data record of requested type (11004), on API "
            "'ASync Lookup'");
  EXPECT_EQ(serverEvents, (std::vector<TSocketEventKind>{sekLookup, sekDisconnect}));
  EXPECT_EQ(server->SocketHandle(), WinSock::INVALID_SOCKET);
  // A known one listens on its port once the lookup ends.
  exceptions.messages.clear();
  serverEvents.clear();
  ASSERT_TRUE(AddPrivateService("tallyvane-relay", 4711));
  server->StartListening("", "", "tallyvane-relay", 0, 5, false);
  EXPECT_EQ(serverEvents, (std::vector<TSocketEventKind>{sekLookup}));
  ASSERT_TRUE(RunUntil([&] { return server->IsConnected(); }));
  EXPECT_EQ(serverEvents, (std::vector<TSocketEventKind>{sekLookup, sekListen}));
  EXPECT_TRUE(TcpClient().Connect(4711));
  EXPECT_TRUE(exceptions.messages.empty());
}

TEST_F(ServerEndpointTest, DestroyingAnEndpointDuringItsLookupCancelsIt) {
  // Keeps the socket library started, with its spare descriptor, across the destruction.
  TServerWinSocket keeper(WinSock::INVALID_SOCKET);
  const int descriptorsBefore = OpenDescriptorCount();
  server->StartListening("", "", "tallyvane-relay", 0, 5, false);
  ASSERT_EQ(serverEvents, (std::vector<TSocketEventKind>{sekLookup}));  // waiting for it
  // A second listen while the first waits would leak its socket.
  EXPECT_THROW(server->StartListening("", "", "tallyvane-relay", 0, 5, false), ESocketError);
  server.reset();
  RunFor(100);
  EXPECT_EQ(OpenDescriptorCount(), descriptorsBefore);
  EXPECT_TRUE(exceptions.messages.empty());
}

// A reset connection is reported as the asynchronous error and closed the normal way, so that
// neither its socket nor its endpoint outlives it. A peer may also connect and reset before the
// server takes the connection: accept still hands it over, though the system no longer calls it
// connected nor tells its address, and it must end the same way.
TEST_F(ServerEndpointTest, ConnectionsResetBeforeOrAfterTheAcceptAreReportedClosedAndFreed) {
  std::vector<std::string> errors;
  server->OnClientError = [&](TObject*, TCustomWinSocket*, TErrorEvent kind, int& code) {
    errors.push_back(std::to_string(kind) + " " + std::to_string(code));
  };
  Listen();
  const int descriptorsBefore = OpenDescriptorCount();
  constexpr int kConnections = 20;
  for (int i = 0; i < kConnections; ++i) {
    TcpClient client;
    ASSERT_TRUE(client.Connect(port));
    // Every other one is reset only once the server has it; the rest before the server ran.
    if (i % 2 == 1) {
      ASSERT_TRUE(RunUntil([&] { return endpoints.made == i + 1; }));
    }
    client.Reset();
  }
  ASSERT_TRUE(RunUntil([&] { return exceptions.messages.size() == kConnections; }));
  EXPECT_EQ(exceptions.messages,
            std::vector<std::string>(kConnections, "Asynchronous socket error 10054"));
  EXPECT_EQ(errors,
            std::vector<std::string>(kConnections, std::to_string(errDisconnect) + " 10054"));
  EXPECT_EQ(std::count(events.begin(), events.end(), "connect 127.0.0.1"), kConnections);
  EXPECT_EQ(std::count(events.begin(), events.end(), "disconnect 127.0.0.1 open"), kConnections);
  ASSERT_TRUE(RunUntil([&] { return endpoints.Alive() == 0; }));
  EXPECT_EQ(OpenDescriptorCount(), descriptorsBefore);
}

TEST_F(ServerEndpointTest, AcceptedConnectionsProbeASilentPeerAndSendWithoutDelay) {
  Listen();
  auto client = endpoints.Connect(port);
  const ConnectionSettings settings =
      SettingsOf(static_cast<int>(endpoints.newest->SocketHandle()));
  EXPECT_TRUE(settings.keepAlive);
  EXPECT_EQ(settings.keepIdle, 60);
  EXPECT_EQ(settings.keepInterval, 10);
  EXPECT_EQ(settings.keepCount, 3);
  EXPECT_TRUE(settings.noDelay);
}

// A remote PC that loses power sends nothing more, neither a close nor a reset. The probes find
// it gone (here after one second instead of a minute and a half) and the connection ends the
// way a reset one does.
TEST_F(ServerEndpointTest, APeerThatVanishesWithoutAWordEndsAsAResetOneDoes) {
  Listen();
  const int descriptorsBefore = OpenDescriptorCount();
  TcpClient client;
  ASSERT_TRUE(client.Connect(port, "127.0.0.2"));
  ASSERT_TRUE(RunUntil([&] { return endpoints.made == 1; }));
  const WinSock::SOCKET handle = endpoints.newest->SocketHandle();
  for (const int option : {WinSock::TCP_KEEPIDLE, WinSock::TCP_KEEPINTVL, WinSock::TCP_KEEPCNT}) {
    const int value = 1;
    ASSERT_EQ(WinSock::setsockopt(handle, WinSock::IPPROTO_TCP, option,
                                  reinterpret_cast<const char*>(&value), sizeof value),
              0);
  }
  ASSERT_TRUE(SilenceAddress("127.0.0.2"));
  ASSERT_TRUE(RunUntil([&] { return !exceptions.messages.empty(); }, 20000));
  EXPECT_EQ(exceptions.messages, (std::vector<std::string>{"Asynchronous socket error 10060"}));
  EXPECT_EQ(events, (std::vector<std::string>{"connect 127.0.0.2", "disconnect 127.0.0.2 open"}));
  ASSERT_TRUE(RunUntil([&] { return endpoints.Alive() == 0; }));
  client.Close();
  EXPECT_EQ(OpenDescriptorCount(), descriptorsBefore);
}

}  // namespace
