#pragma once
// What the socket tests share: the message loop run until something holds, and the exceptions
// that reach the application, captured instead of shown.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/Application.h"

inline bool RunUntil(const std::function<bool()>& done, int timeoutMs = 20000) {
  return Application->ProcessMessagesUntil(done, timeoutMs);
}

// Runs the loop for a while so that anything that would wrongly arrive has the chance to.
inline void RunFor(int ms) {
  Application->ProcessMessagesUntil([] { return false; }, ms);
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
