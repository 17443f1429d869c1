// Many connections reset at once while nobody captures exceptions: the errors are shown as
// dialogs, one after the other, never one inside another, and every endpoint is still freed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <vector>

#include "net/ServerWinSocket.h"
#include "tests/net/NetTestSupport.h"
#include "tests/net/TcpClient.h"

namespace {

TEST(ResetStormTest, ErrorDialogsFollowOneAnotherAndEveryEndpointIsFreed) {
  ASSERT_FALSE(Application->OnException);
  const uint16_t port = FreePort();
  ClientEndpoints endpoints;
  TServerWinSocket server(WinSock::INVALID_SOCKET);
  endpoints.MakeFor(server);
  int connects = 0;
  int disconnects = 0;
  server.OnClientConnect = [&](TObject*, TCustomWinSocket*) { ++connects; };
  server.OnClientDisconnect = [&](TObject*, TCustomWinSocket*) { ++disconnects; };
  server.StartListening("", "", "", port, 5, false);
  constexpr int kClients = 20;
  std::vector<std::unique_ptr<TcpClient>> clients;
  for (int i = 0; i < kClients; ++i) {
    clients.push_back(std::make_unique<TcpClient>());
    ASSERT_TRUE(clients.back()->Connect(port));
    ASSERT_TRUE(RunUntil([&] { return connects == i + 1; }));
  }

  int maxOpen = 0;
  int shown = 0;
  QTimer poke;
  QObject::connect(&poke, &QTimer::timeout, [&] {
    int open = 0;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (qobject_cast<QMessageBox*>(widget) && widget->isVisible()) ++open;
    }
    maxOpen = std::max(maxOpen, open);
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      box->accept();
      ++shown;
    }
  });
  poke.start(5);
  for (auto& client : clients) client->Reset();
  ASSERT_TRUE(RunUntil([&] { return shown == kClients && endpoints.Alive() == 0; }, 20000));
  EXPECT_EQ(maxOpen, 1);
  EXPECT_EQ(disconnects, kClients);
}

}  // namespace
