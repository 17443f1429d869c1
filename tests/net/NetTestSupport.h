#pragma once
// What the socket tests share: the message loop run until something holds, until a client has
// received what it waits for or until the server closed it, the exceptions that reach the
// application, captured instead of shown, and the server's client endpoints, watched from their
// making to their destruction.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/Application.h"
#include "net/ServerWinSocket.h"
#include "tests/net/TcpClient.h"
#include "tests/support/MessageLoop.h"

// Runs the loop until the server has closed the client's connection.
inline bool RunUntilClosed(TcpClient& client) {
  return RunUntil([&] {
    client.Pump();
    return client.PeerClosed();
  });
}

// Runs the loop until the client has received at least count bytes.
inline bool RunUntilReceived(TcpClient& client, size_t count) {
  return RunUntil([&] {
    client.Pump();
    return client.Received().size() >= count;
  });
}

class CapturedExceptions {
 public:
  CapturedExceptions() {
    Application->OnException = [this](TObject* sender, const Exception& e) {
      senders.push_back(sender);
      messages.push_back(e.Message());
    };
  }
  ~CapturedExceptions() { Application->OnException = nullptr; }

  std::vector<TObject*> senders;
  std::vector<std::string> messages;
};

// Makes a server's client endpoints through its OnGetSocket slot and notes each one's
// destruction, so that a test sees every endpoint freed, freed once, and in which order.
class ClientEndpoints {
 public:
  void MakeFor(TServerWinSocket& server) {
    server.OnGetSocket = [this, &server](TObject*, int handle, TServerClientWinSocket*& client) {
      client = new Numbered(static_cast<WinSock::SOCKET>(handle), &server, *this);
    };
  }
  int Alive() const { return made - static_cast<int>(destroyed.size()); }
  // A client connected to the port, once the server has made its endpoint.
  std::unique_ptr<TcpClient> Connect(uint16_t port) {
    auto client = std::make_unique<TcpClient>();
    const int before = made;
    EXPECT_TRUE(client->Connect(port));
    EXPECT_TRUE(RunUntil([&] { return made == before + 1; }));
    return client;
  }

  int made = 0;                // numbered from 1, in accept order
  std::vector<int> destroyed;  // their numbers, in the order they went
  TServerClientWinSocket* newest = nullptr;

 private:
  struct Numbered : TServerClientWinSocket {
    // Counted once the endpoint is whole: one whose connect handler threw never existed.
    Numbered(WinSock::SOCKET handle, TServerWinSocket* server, ClientEndpoints& owner)
        : TServerClientWinSocket(handle, server), owner(owner), number(++owner.made) {
      owner.newest = this;
    }
    ~Numbered() override { owner.destroyed.push_back(number); }
    ClientEndpoints& owner;
    int number;
  };
};
