#include "support/RelayProgram.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

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
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(1028);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool listening = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    if (listening) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

int RelayProgram::Stop(int signal) {
  process_.Signal(signal);
  return process_.WaitForExit(20000);
}
