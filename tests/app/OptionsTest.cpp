// The relay server's command line, good and bad, as the entry point reads it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Options.h"

namespace {

struct OptionsCase {
  std::vector<std::string> arguments;
  int exitStatus;          // -1: the program runs
  std::string outputPart;  // in standard output (status 0) or standard error (status 2)
};

std::vector<std::string> CommandLine(const std::vector<std::string>& arguments) {
  std::vector<std::string> line = {"/usr/bin/tallyvane"};
  line.insert(line.end(), arguments.begin(), arguments.end());
  return line;
}

TEST(OptionsTest, GoodOptionsRunAndBadOnesEndWithOneLineAndStatusTwo) {
  const std::string longName = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10KZP4B-if00-port0";
  const OptionsCase cases[] = {
      {{}, -1, ""},
      {{"--port", longName}, -1, ""},
      {{"--port=ttyACM0", "--listen", "127.0.0.1", "--allow", "192.168.10.0/24,10.1.2.3"}, -1, ""},
      {{"--allow", "0.0.0.0/0", "--log-lines", "0"}, -1, ""},
      {{"--help"}, 0, "--log-lines <N>"},
      {{"--version"}, 0, "tallyvane 0.1\n"},
      {{"--bogus"}, 2, "tallyvane: Unknown option 'bogus' (see tallyvane --help)\n"},
      {{"--port"}, 2, "Missing value after '--port'"},
      {{"COM3"}, 2, "Unexpected argument 'COM3'"},
      {{"--listen", "300.1.1.1"}, 2, "--listen: '300.1.1.1' is not an IPv4 address"},
      {{"--listen", "1.2.3"}, 2, "--listen: '1.2.3'"},
      {{"--listen", "010.1.2.3"}, 2, "--listen: '010.1.2.3'"},
      {{"--listen", " 10.1.2.3"}, 2, "--listen: ' 10.1.2.3'"},
      {{"--listen", "localhost"}, 2, "--listen: 'localhost'"},
      {{"--allow", "10.0.0.0/33"}, 2, "--allow: '10.0.0.0/33' is not a list of IPv4 networks"},
      {{"--allow", "10.0.0.0/"}, 2, "--allow: '10.0.0.0/'"},
      {{"--allow", ""}, 2, "--allow: ''"},
      {{"--allow", "10.1.2.3,"}, 2, "--allow: '10.1.2.3,'"},
      {{"--allow", "10.1.2.3,,10.1.2.4"}, 2, "--allow: '10.1.2.3,,10.1.2.4'"},
      {{"--allow", "10.1.2.3.4"}, 2, "--allow: '10.1.2.3.4'"},
      {{"--log-lines", "-1"}, 2, "--log-lines: '-1' is not a line count"},
      {{"--log-lines", "1e5"}, 2, "--log-lines: '1e5'"},
      {{"--log-lines", "99999999999999999999"}, 2, "--log-lines: '99999999999999999999'"},
      {{"--log-lines", ""}, 2, "--log-lines: ''"},
  };
  for (const OptionsCase& test : cases) {
    const TOptionsOutcome outcome = ReadServerOptions(CommandLine(test.arguments));
    const std::string shown = testing::PrintToString(test.arguments);
    if (test.exitStatus < 0) {
      EXPECT_TRUE(outcome.options.has_value()) << shown << outcome.standardError;
      continue;
    }
    EXPECT_FALSE(outcome.options.has_value()) << shown;
    EXPECT_EQ(outcome.exitStatus, test.exitStatus) << shown;
    const std::string& output =
        test.exitStatus == 0 ? outcome.standardOutput : outcome.standardError;
    EXPECT_NE(output.find(test.outputPart), std::string::npos) << shown << output;
    if (test.exitStatus == 2) {
      EXPECT_EQ(output.find('\n'), output.size() - 1) << shown << output;
      EXPECT_EQ(outcome.standardOutput, "") << shown;
    }
  }
}

TEST(OptionsTest, ValuesArriveAsGivenAndDefaultsStandWithoutOptions) {
  const TOptionsOutcome none = ReadServerOptions(CommandLine({}));
  ASSERT_TRUE(none.options);
  EXPECT_FALSE(none.options->port);
  EXPECT_EQ(none.options->listenAddress, "");
  EXPECT_FALSE(none.options->allowed);
  EXPECT_EQ(none.options->logLines, 100000u);

  const TOptionsOutcome given = ReadServerOptions(
      CommandLine({"--port", "/dev/serial/by-id/x y", "--listen", "127.0.0.1", "--log-lines", "250",
                   "--allow", "192.168.10.77/24,10.1.2.3"}));
  ASSERT_TRUE(given.options);
  EXPECT_EQ(given.options->port, "/dev/serial/by-id/x y");
  EXPECT_EQ(given.options->listenAddress, "127.0.0.1");
  EXPECT_EQ(given.options->logLines, 250u);
  const struct {
    uint32_t address;
    bool allowed;
  } peers[] = {{0xC0A80A00, true}, {0xC0A80AFF, true},  {0xC0A80B01, false},
               {0x0A010203, true}, {0x0A010204, false}, {0x7F000001, false}};
  for (const auto& peer : peers)
    EXPECT_EQ(PeerAllowed(*given.options, peer.address), peer.allowed) << std::hex << peer.address;
  EXPECT_TRUE(PeerAllowed(*none.options, 0x7F000002));
}

}  // namespace
