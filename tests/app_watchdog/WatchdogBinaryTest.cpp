// The real program with the watchdog running and no adapter: it keeps answering remote clients
// over several cycles and ends cleanly on SIGTERM, whatever the watchdog is doing then.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "support/ChildProcess.h"

namespace {

constexpr int kServerPort = 1028;

int ConnectToServer() {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(kServerPort);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
    close(fd);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return -1;
}

// Other test programs on this machine listen on the same fixed port; wait for it to be free.
bool WaitForFreePort() {
  for (int attempt = 0; attempt < 300; ++attempt) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const int yes = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(kServerPort);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    const bool free = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    if (free) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

// Starts the program once it could take the port; false when another program kept it.
bool StartServing(ChildProcess& program) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    if (!WaitForFreePort()) return false;
    if (!program.Start(TALLYVANE_BINARY, {}, {{"QT_QPA_PLATFORM", "offscreen"}})) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    if (program.StandardError().find("Address already in use") == std::string::npos) return true;
    program.Signal(SIGTERM);
    program.WaitForExit(20000);
  }
  return false;
}

// Reads until the text contains what is expected or ten seconds have passed.
std::string ReadUntil(int fd, const std::string& expected) {
  std::string received;
  timeval timeout{0, 200000};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  for (int i = 0; i < 50 && received.find(expected) == std::string::npos; ++i) {
    char buffer[512];
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n > 0) received.append(buffer, static_cast<size_t>(n));
    if (n == 0) break;
  }
  return received;
}

TEST(WatchdogBinary, ServesClientsOverSeveralCyclesWithoutAnAdapterAndStopsOnSigterm) {
  ChildProcess program;
  // No adapter: the first port leads to a device that does not exist on a test machine.
  if (!StartServing(program)) GTEST_SKIP() << "another program keeps TCP port 1028";
  const int client = ConnectToServer();
  ASSERT_GE(client, 0) << program.StandardError();
  // About four watchdog cycles, each with a 250 ms pause on the GUI thread.
  for (int round = 0; round < 4; ++round) {
    std::string command = "0";
    command += std::to_string(round + 1);
    command += "+//";
    ASSERT_EQ(send(client, command.data(), command.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(command.size()));
    const std::string reply = ReadUntil(client, "Virtual COM Port is not opened!");
    EXPECT_NE(reply.find(command), std::string::npos) << reply;
    EXPECT_NE(reply.find("There is some problem with the remote PC"), std::string::npos) << reply;
    EXPECT_NE(reply.find("Virtual COM Port is not opened!"), std::string::npos) << reply;
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));
  }
  close(client);
  ASSERT_TRUE(program.Running()) << program.StandardError();
  program.Signal(SIGTERM);
  EXPECT_EQ(program.WaitForExit(20000), 0) << program.StandardError();
  EXPECT_FALSE(HasSanitizerReport(program.StandardError())) << program.StandardError();
}

TEST(WatchdogBinary, SigtermInAnyPhaseOfTheCycleEndsCleanly) {
  // Different moments of the 1.25 s cycle: in the worker's sleep, in the hand-over, in the
  // GUI thread's pause.
  for (const int delayMs : {700, 1500, 2100}) {
    ChildProcess program;
    if (!StartServing(program)) GTEST_SKIP() << "another program keeps TCP port 1028";
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    ASSERT_TRUE(program.Running()) << program.StandardError();
    program.Signal(SIGTERM);
    EXPECT_EQ(program.WaitForExit(20000), 0) << delayMs << " ms\n" << program.StandardError();
    EXPECT_FALSE(HasSanitizerReport(program.StandardError())) << program.StandardError();
  }
}

}  // namespace
