#pragma once
// Runs one of the thread tests' probe programs to its end and keeps what it wrote.

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

struct ProbeResult {
  int exitCode = -1;   // -1 when it did not end normally
  std::string output;  // standard output and standard error together
};

inline ProbeResult RunProbe(const std::string& program, const std::string& argument) {
  ProbeResult result;
  const std::string command = program + " " + argument + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return result;
  std::array<char, 512> buffer{};
  while (fgets(buffer.data(), buffer.size(), pipe)) result.output += buffer.data();
  const int status = pclose(pipe);
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  return result;
}
