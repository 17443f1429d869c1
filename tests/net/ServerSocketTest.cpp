// The server socket component: activation, its Active flag following the listening endpoint,
// the settings it refuses while active, the order of its client events and its registration.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/ClassRegistry.h"
#include "framework/FormReader.h"
#include "net/ServerSocket.h"
#include "net/SocketError.h"
#include "tests/net/NetTestSupport.h"
#include "tests/net/TcpClient.h"
#include "tests/support/ExpectMessage.h"

namespace {

class ServerSocketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port = FreePort();
    component = std::make_unique<TServerSocket>(nullptr);
    component->SetPort(port);
    endpoints.MakeFor(*component->ListeningEndpoint());
  }

  uint16_t port = 0;
  CapturedExceptions exceptions;
  ClientEndpoints endpoints;
  std::unique_ptr<TServerSocket> component;
};

TEST_F(ServerSocketTest, OpeningListensAndRunsOnListenOnceWithTheComponentAsSender) {
  std::vector<std::pair<TObject*, TCustomWinSocket*>> listens;
  component->OnListen = [&](TObject* sender, TCustomWinSocket* socket) {
    // The flag is already up when the listen event runs.
    EXPECT_TRUE(component->Active());
    listens.emplace_back(sender, socket);
  };
  EXPECT_FALSE(component->Active());
  component->OpenServer();
  EXPECT_TRUE(component->Active());
  EXPECT_TRUE(component->ListeningEndpoint()->IsConnected());
  ASSERT_EQ(listens.size(), 1u);
  EXPECT_EQ(listens[0].first, component.get());
  EXPECT_EQ(listens[0].second, component->ListeningEndpoint());
  const WinSock::SOCKET handle = component->ListeningEndpoint()->SocketHandle();
  component->OpenServer();
  EXPECT_EQ(listens.size(), 1u);
  EXPECT_EQ(component->ListeningEndpoint()->SocketHandle(), handle);
  component->CloseServer();
  EXPECT_FALSE(component->Active());
  EXPECT_FALSE(component->ListeningEndpoint()->IsConnected());
  component->CloseServer();
  EXPECT_FALSE(component->Active());
  // The flag follows the endpoint when that closes by itself.
  component->OpenServer();
  component->ListeningEndpoint()->CloseEndpoint(component->ListeningEndpoint()->SocketHandle());
  EXPECT_FALSE(component->Active());
  component->OpenServer();
  EXPECT_TRUE(component->Active());
}

TEST_F(ServerSocketTest, PortAndServiceCannotChangeWhileActive) {
  component->SetService("x11");
  component->OpenServer();  // resolving: the flag waits for the lookup
  EXPECT_FALSE(component->Active());
  ASSERT_TRUE(RunUntil([&] { return component->Active() || !exceptions.messages.empty(); }));
  if (!component->Active()) GTEST_SKIP() << "port 6000 is in use here";
  component->SetService("X11");  // the same name in other letters
  EXPECT_EQ(component->Service(), "x11");
  component->SetPort(port);
  ExpectThrowWithMessage<ESocketError>([&] { component->SetPort(port + 1); },
                                       "Can't change value while socket is active");
  EXPECT_EQ(component->Port(), port);
  EXPECT_THROW(component->SetService("http"), ESocketError);
  EXPECT_EQ(component->Service(), "x11");
  EXPECT_THROW(component->SetServerType(stThreadBlocking), ESocketError);
  component->CloseServer();
  component->SetPort(port + 1);
  EXPECT_EQ(component->Port(), port + 1);
}

TEST_F(ServerSocketTest, AConnectionRunsOnClientConnectBeforeOnAccept) {
  std::vector<std::string> order;
  component->SetOnClientConnect([&](TObject* sender, TCustomWinSocket* socket) {
    EXPECT_EQ(sender, component->ListeningEndpoint());
    EXPECT_TRUE(socket->IsConnected());
    order.push_back("connect " + socket->PeerAddressText());
  });
  component->OnAccept = [&](TObject* sender, TCustomWinSocket* socket) {
    EXPECT_EQ(sender, component.get());
    EXPECT_EQ(socket, endpoints.newest);
    order.push_back("accept " + socket->PeerAddressText());
  };
  component->OpenServer();
  auto client = endpoints.Connect(port);
  EXPECT_EQ(order, (std::vector<std::string>{"connect 127.0.0.1", "accept 127.0.0.1"}));
}

// Destroying the component drops the clients without client events (closing the server does
// the same: the main window's test closes it with clients connected).
TEST_F(ServerSocketTest, DestroyingDropsTheClientsSilently) {
  int disconnects = 0;
  component->SetOnClientDisconnect([&](TObject*, TCustomWinSocket*) { ++disconnects; });
  component->OpenServer();
  auto first = endpoints.Connect(port);
  auto second = endpoints.Connect(port);
  component.reset();
  EXPECT_EQ(endpoints.Alive(), 0);
  EXPECT_EQ(disconnects, 0);
  ASSERT_TRUE(RunUntilClosed(*second));
}

// The form description's root, with the handlers its socket names.
class SocketForm : public TComponent, public TDescriptionRoot {
 public:
  SocketForm() : TComponent(nullptr) {
    methods_.Add("ClientRead", TSocketNotifyEvent([this](TObject*, TCustomWinSocket* socket) {
                   texts.push_back(socket->ReceiveAllText());
                 }));
  }
  std::string ClassName() const override { return "TSocketForm"; }
  const TMethodTable& Methods() const override { return methods_; }
  void BindField(const std::string& name, TComponent* component) override {
    if (name == "ServerSocket1") ServerSocket1 = dynamic_cast<TServerSocket*>(component);
  }

  TServerSocket* ServerSocket1 = nullptr;
  std::vector<std::string> texts;

 private:
  TMethodTable methods_;
};

TEST(ServerSocketRegistration, AFormDescriptionCreatesAndConfiguresTheComponent) {
  RegisterSocketComponents();
  const TComponentClass* registered = FindComponentClass("TServerSocket");
  ASSERT_NE(registered, nullptr);

  CapturedExceptions exceptions;
  const uint16_t port = FreePort();
  SocketForm form;
  ReadFormDescription(
      form, "Form1: TSocketForm { ServerSocket1: TServerSocket { Active = true Port = " +
                std::to_string(port) + " ServerType = stNonBlocking OnClientRead = ClientRead } }");
  ASSERT_NE(form.ServerSocket1, nullptr);
  // Active written while loading takes effect once loading is over: the server listens.
  EXPECT_TRUE(form.ServerSocket1->Active());
  TcpClient client;
  ASSERT_TRUE(client.Connect(port));
  client.Send("hello");
  ASSERT_TRUE(RunUntil([&] { return !form.texts.empty(); }));
  EXPECT_EQ(form.texts[0], "hello");
}

}  // namespace
