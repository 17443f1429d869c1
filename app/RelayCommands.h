#pragma once
// The relay command vocabulary: the texts remote PCs send, with the log line and the relays of
// each. The main window applies them.

#include <string>
#include <vector>

constexpr int kRelayCount = 16;

struct TRelayCommand {
  const char* text;     // matched as a whole: same length, same bytes
  const char* logLine;  // appended as it stands, with its "\r\n"
  int relay;            // 1 to 16, or 0 for all relays
  bool on;
};

// The 34 commands in the order they are tested.
const std::vector<TRelayCommand>& RelayCommandTable();

// The command the text is, matched as a whole; null for any other text.
const TRelayCommand* FindRelayCommand(const std::string& text);
