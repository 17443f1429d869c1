#include "support/RelayProgram.h"

#include <signal.h>

#include <chrono>
#include <thread>

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
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline && process_.Running()) {
    if (TcpClient().Connect(1028)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

int RelayProgram::Stop(int signal) {
  process_.Signal(signal);
  return process_.WaitForExit(20000);
}
