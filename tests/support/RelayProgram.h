#pragma once
// The real relay server program for end-to-end tests on the private machine (PrivateSystem.h):
// started as a user starts it, served on port 1028, stopped with SIGTERM.

#include <csignal>
#include <map>
#include <string>
#include <vector>

#include "support/ChildProcess.h"

class RelayProgram {
 public:
  // Starts the program with these environment variables added; the offscreen platform unless
  // they name another. Another build of the program can be named (benchmarks compare builds).
  bool Start(const std::map<std::string, std::string>& environment = {},
             const std::string& program = TALLYVANE_BINARY);
  // Starts the program with these command line options and keeps its standard output.
  bool StartWithOptions(const std::vector<std::string>& options);
  // Waits until the program accepts connections on port 1028.
  bool WaitUntilListening(int timeoutMs = 20000);
  // Sends the signal (SIGTERM unless another is named) and waits for the end: the exit status
  // (0 for a clean end) or -1 when it did not end in time.
  int Stop(int signal = SIGTERM);
  void Signal(int signal) const { process_.Signal(signal); }
  // The exit status of a program that ends by itself, or -1 when it did not end in time.
  int WaitForExit(int timeoutMs) { return process_.WaitForExit(timeoutMs); }
  bool Running() { return process_.Running(); }
  std::string StandardError() const { return process_.StandardError(); }
  std::string StandardOutput() const { return process_.StandardOutput(); }
  pid_t Pid() const { return process_.Pid(); }

 private:
  ChildProcess process_;
};
