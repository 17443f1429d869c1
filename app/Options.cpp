#include "app/Options.h"

#include <charconv>

#include "framework/CommandLine.h"

namespace {

constexpr int kWrongUsage = 2;
// Far more than a window can show; keeps the count clear of overflow.
constexpr size_t kMaxLogLines = 1000000000;

std::optional<size_t> ParseLineCount(const std::string& text) {
  size_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.size() > 10 || error != std::errc() || stop != end || value > kMaxLogLines)
    return std::nullopt;
  return value;
}

}  // namespace

TOptionsOutcome ReadServerOptions(const std::vector<std::string>& arguments) {
  TCommandLine commandLine(
      "Relay-board server: remote PCs on TCP port 1028 switch the relays of a board on a "
      "USB-serial adapter.\nWithout a display it runs on the offscreen platform.",
      TALLYVANE_VERSION,
      {{"port", "NAME",
        "The board's serial device, opened at start-up and by the watchdog instead of COM1 "
        "(/dev/ttyUSB0): COM1 to COM9, a name under /dev such as ttyACM0, or a path such as "
        "/dev/serial/by-id/usb-FTDI_...-if00-port0."},
       {"listen", "ADDRESS",
        "The IPv4 address to listen on, such as 127.0.0.1 or 192.168.10.5, instead of every "
        "interface."},
       {"allow", "NETWORK[,NETWORK...]",
        "Serve only PCs in these networks, such as 192.168.10.0/24,10.1.2.3; any other "
        "connection is closed at once and reported on standard error."},
       {"log-lines", "N",
        "The window's log keeps the newest N lines (default 100000); 0 keeps every line."}});
  TOptionsOutcome outcome;
  auto wrong = [&](const std::string& line) {
    outcome.exitStatus = kWrongUsage;
    outcome.standardError = line;
    return outcome;
  };
  switch (commandLine.Parse(arguments)) {
    case TCommandLine::coShown:
      outcome.standardOutput = commandLine.Output();
      return outcome;
    case TCommandLine::coWrong:
      return wrong(commandLine.Output());
    case TCommandLine::coRun:
      break;
  }
  TServerOptions options;
  if (commandLine.IsSet("port")) options.port = commandLine.Value("port");
  if (commandLine.IsSet("listen")) {
    options.listenAddress = commandLine.Value("listen");
    if (!ParseIPv4Address(options.listenAddress))
      return wrong(commandLine.ErrorLine("--listen: '" + options.listenAddress +
                                         "' is not an IPv4 address such as 192.168.10.5"));
  }
  if (commandLine.IsSet("allow")) {
    const std::string text = commandLine.Value("allow");
    options.allowed = ParseNetworkList(text);
    if (!options.allowed)
      return wrong(commandLine.ErrorLine(
          "--allow: '" + text +
          "' is not a list of IPv4 networks such as 192.168.10.0/24,10.1.2.3"));
  }
  if (commandLine.IsSet("log-lines")) {
    const std::string text = commandLine.Value("log-lines");
    const std::optional<size_t> count = ParseLineCount(text);
    if (!count)
      return wrong(commandLine.ErrorLine("--log-lines: '" + text +
                                         "' is not a line count from 0 to 1000000000"));
    options.logLines = *count;
  }
  outcome.options = options;
  return outcome;
}

bool PeerAllowed(const TServerOptions& options, uint32_t hostOrderAddress) {
  if (!options.allowed) return true;
  for (const TNetwork& network : *options.allowed)
    if (network.Contains(hostOrderAddress)) return true;
  return false;
}
