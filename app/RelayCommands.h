#pragma once
// The relay command vocabulary: the texts remote PCs send, the log line each one appends and
// the indicators it moves.

#include <string>
#include <vector>

constexpr int kRelayCount = 16;
constexpr int kOnRowTop = 32;
constexpr int kOffRowTop = 72;

struct TRelayCommand {
  const char* text;     // matched as a whole: same length, same bytes
  const char* logLine;  // appended as it stands, with its "\r\n"
  int relay;            // 1 to 16, or 0 for all relays
  bool on;
};

// The 34 commands in the order they are tested.
const std::vector<TRelayCommand>& RelayCommandTable();

// Looks the text up and, on a match, logs the command and moves its indicators.
void ApplyRelayCommand(const std::string& text);
