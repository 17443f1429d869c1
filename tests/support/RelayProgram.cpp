#include "support/RelayProgram.h"

#include <signal.h>

#include "tests/net/TcpClient.h"

bool RelayProgram::Start(const std::map<std::string, std::string>& environment,
                         const std::string& program) {
  std::map<std::string, std::string> variables = {{"QT_QPA_PLATFORM", "offscreen"}};
  for (const auto& [name, value] : environment) variables[name] = value;
  return process_.Start(program, {}, variables);
}

bool RelayProgram::StartWithOptions(const std::vector<std::string>& options) {
  return process_.Start(TALLYVANE_BINARY, options, {{"QT_QPA_PLATFORM", "offscreen"}}, true);
}

bool RelayProgram::WaitUntilListening(int timeoutMs) {
  bool listening = false;
  PollUntil([&] { return !process_.Running() || (listening = TcpClient().Connect(1028)); },
            timeoutMs);
  return listening;
}

int RelayProgram::Stop(int signal) {
  process_.Signal(signal);
  return process_.WaitForExit(20000);
}
