#pragma once
// What the socket tests share: the message loop run until something holds, until a client has
// received what it waits for or until the server closed it, and the exceptions that reach the
// application, captured instead of shown.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/Application.h"
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
