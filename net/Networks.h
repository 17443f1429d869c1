#pragma once
// IPv4 addresses and networks as a user writes them: "192.168.10.5", "192.168.10.0/24". The
// server listens on one such address and admits peers from a list of such networks.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

// An address in host byte order; four decimal parts of 0 to 255, no leading zeros (which some
// readers take for octal), nothing around them.
std::optional<uint32_t> ParseIPv4Address(std::string_view text);

struct TNetwork {
  uint32_t address = 0;  // host byte order, host bits cleared
  int prefixLength = 32;
  bool Contains(uint32_t hostOrderAddress) const;
};

// "ADDRESS" (one host) or "ADDRESS/LENGTH" with a length of 0 to 32.
std::optional<TNetwork> ParseNetwork(std::string_view text);
// Networks separated by commas; no item may be empty.
std::optional<std::vector<TNetwork>> ParseNetworkList(std::string_view text);
