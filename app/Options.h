#pragma once
// The relay server's command line. Without options the program serves every interface and
// every peer on the board named "com1", as it always has.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "net/Networks.h"

// The window's log keeps this many of the newest lines unless --log-lines says otherwise.
inline constexpr size_t kDefaultLogLines = 100000;

struct TServerOptions {
  // The device opened at start-up and by the watchdog until the selector names another.
  std::optional<std::string> port;
  // Where the server listens: dotted decimal, or empty for every interface.
  std::string listenAddress;
  // When given, only peers in these networks are served.
  std::optional<std::vector<TNetwork>> allowed;
  // 0: the log keeps every line.
  size_t logLines = kDefaultLogLines;
};

struct TOptionsOutcome {
  std::optional<TServerOptions> options;  // empty when the program is to end at once
  int exitStatus = 0;                     // for an ending: 0 after --help or --version, else 2
  std::string standardOutput;
  std::string standardError;
};

// The arguments as the program got them, its own name first.
TOptionsOutcome ReadServerOptions(const std::vector<std::string>& arguments);

// Whether the peer may be served.
bool PeerAllowed(const TServerOptions& options, uint32_t hostOrderAddress);
