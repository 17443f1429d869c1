// The program ends cleanly while a worker is still running.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

namespace {

struct ProbeResult {
  int exitCode = -1;
  std::string errors;
};

ProbeResult RunProbe(const std::string& situation) {
  ProbeResult result;
  const std::string command = std::string(SHUTDOWN_PROBE) + " " + situation + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return result;
  std::array<char, 512> buffer{};
  while (fgets(buffer.data(), buffer.size(), pipe)) result.errors += buffer.data();
  const int status = pclose(pipe);
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  return result;
}

void ExpectCleanEnd(const std::string& situation, int runs) {
  for (int i = 0; i < runs; ++i) {
    const ProbeResult result = RunProbe(situation);
    EXPECT_EQ(result.exitCode, 0) << situation << ":\n" << result.errors;
    EXPECT_EQ(result.errors.find("Sanitizer"), std::string::npos) << result.errors;
    EXPECT_EQ(result.errors.find("runtime error"), std::string::npos) << result.errors;
  }
}

}  // namespace

TEST(Shutdown, EndsWhileTheWorkerSleeps) {
  ExpectCleanEnd("sleeping", 1);
}

TEST(Shutdown, EndsWhileTheWorkerWakesAndDeletesItself) {
  ExpectCleanEnd("racing", 5);
}

TEST(Shutdown, EndsWhileTheWorkerWaitsForAHandOverAfterTheLoop) {
  ExpectCleanEnd("waiting", 3);
}
