#include "net/Networks.h"

#include <charconv>

namespace {

// A decimal number of 1 to `maxDigits` digits without a leading zero, at most `limit`.
std::optional<uint32_t> ParseDecimal(std::string_view text, size_t maxDigits, uint32_t limit) {
  if (text.empty() || text.size() > maxDigits) return std::nullopt;
  if (text.size() > 1 && text[0] == '0') return std::nullopt;
  uint32_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc{} || stop != end || value > limit) return std::nullopt;
  return value;
}

uint32_t Mask(int prefixLength) {
  return prefixLength == 0 ? 0 : ~uint32_t{0} << (32 - prefixLength);
}

}  // namespace

std::optional<uint32_t> ParseIPv4Address(std::string_view text) {
  uint32_t address = 0;
  for (int part = 0; part < 4; ++part) {
    const size_t dot = part < 3 ? text.find('.') : text.size();
    if (dot == std::string_view::npos) return std::nullopt;
    const std::optional<uint32_t> value = ParseDecimal(text.substr(0, dot), 3, 255);
    if (!value) return std::nullopt;
    address = address << 8 | *value;
    text.remove_prefix(part < 3 ? dot + 1 : dot);
  }
  return address;
}

bool TNetwork::Contains(uint32_t hostOrderAddress) const {
  return (hostOrderAddress & Mask(prefixLength)) == address;
}

std::optional<TNetwork> ParseNetwork(std::string_view text) {
  const size_t slash = text.find('/');
  int prefixLength = 32;
  if (slash != std::string_view::npos) {
    const std::optional<uint32_t> length = ParseDecimal(text.substr(slash + 1), 2, 32);
    if (!length) return std::nullopt;
    prefixLength = static_cast<int>(*length);
    text = text.substr(0, slash);
  }
  const std::optional<uint32_t> address = ParseIPv4Address(text);
  if (!address) return std::nullopt;
  return TNetwork{*address & Mask(prefixLength), prefixLength};
}

std::optional<std::vector<TNetwork>> ParseNetworkList(std::string_view text) {
  std::vector<TNetwork> networks;
  for (;;) {
    const size_t comma = text.find(',');
    const std::optional<TNetwork> network = ParseNetwork(text.substr(0, comma));
    if (!network) return std::nullopt;
    networks.push_back(*network);
    if (comma == std::string_view::npos) return networks;
    text.remove_prefix(comma + 1);
  }
}
