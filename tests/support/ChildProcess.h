#pragma once
// Runs a program of ours as a separate process for end-to-end tests: its standard error (and,
// when asked, its standard output) is kept in a file, it can be sent signals, and its exit is
// awaited with a time limit.

#include <sys/types.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts the program with the current environment plus the given variables.
  bool Start(const std::string& program, const std::vector<std::string>& arguments,
             const std::map<std::string, std::string>& environment,
             bool keepStandardOutput = false);
  void Signal(int signal) const;
  // The exit status (or 128 + signal number), or -1 when it has not ended in time.
  int WaitForExit(int timeoutMs);
  bool Running();
  std::string StandardError() const;
  std::string StandardOutput() const;
  pid_t Pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int status_ = -1;
  std::string stderrPath_;
  std::string stdoutPath_;
};

// Checks the condition every 10 ms until it holds or the time runs out; true when it holds. For
// a program in another process, where no message loop of the test needs to run.
bool PollUntil(const std::function<bool()>& done, int timeoutMs = 10000);

// Sanitizer reports in a text: "AddressSanitizer", "LeakSanitizer", "runtime error:" etc.
bool HasSanitizerReport(const std::string& text);
