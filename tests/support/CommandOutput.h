#pragma once
// Runs a shell command to its end and keeps what it wrote.

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

struct CommandOutcome {
  int status = -1;     // the exit code, 128 + the signal that ended it, -1 when it did not start
  std::string output;  // standard output and standard error together
};

// The text as one word of a shell command.
inline std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

inline CommandOutcome RunCommand(const std::string& command) {
  CommandOutcome outcome;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return outcome;
  std::array<char, 4096> buffer{};
  size_t got = 0;
  while ((got = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
    outcome.output.append(buffer.data(), got);
  const int status = pclose(pipe);
  outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return outcome;
}
