// The real program, started as a user would start it.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "support/ChildProcess.h"

namespace {

std::string RunAndRead(const std::string& command) {
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    pclose(pipe);
  }
  return output;
}

bool Have(const char* program) {
  return RunAndRead(std::string("command -v ") + program + " 2>/dev/null").size() > 0;
}

TEST(BinaryTest, StartsHeadlessAndStopsCleanlyOnSigterm) {
  ChildProcess program;
  ASSERT_TRUE(program.Start(TALLYVANE_BINARY, {}, {{"QT_QPA_PLATFORM", "offscreen"}}));
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  ASSERT_TRUE(program.Running()) << program.StandardError();
  program.Signal(SIGTERM);
  EXPECT_EQ(program.WaitForExit(20000), 0) << program.StandardError();
  EXPECT_FALSE(HasSanitizerReport(program.StandardError())) << program.StandardError();
}

TEST(BinaryTest, ShowsItsWindowWithTheCaptionUnderAnXServer) {
  if (!Have("Xvfb") || !Have("xwininfo")) GTEST_SKIP() << "Xvfb or xwininfo not installed";
  std::string display = ":";
  display += std::to_string(90 + getpid() % 100);
  ChildProcess server;
  ASSERT_TRUE(server.Start("/usr/bin/Xvfb",
                           {display, "-screen", "0", "1024x768x24", "-nolisten", "tcp"}, {}));
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  ChildProcess program;
  ASSERT_TRUE(program.Start(TALLYVANE_BINARY, {},
                            {{"QT_QPA_PLATFORM", "xcb"},
                             {"DISPLAY", display},
                             // The X client libraries keep caches for the life of the process.
                             {"ASAN_OPTIONS", "detect_leaks=0"}}));
  std::string tree;
  for (int i = 0; i < 100 && tree.find("Tallyvane - Server") == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    tree = RunAndRead("DISPLAY=" + display + " xwininfo -root -tree 2>/dev/null");
  }
  EXPECT_NE(tree.find("\"Tallyvane - Server\""), std::string::npos) << tree;
  program.Signal(SIGTERM);
  EXPECT_EQ(program.WaitForExit(20000), 0) << program.StandardError();
  server.Signal(SIGTERM);
  server.WaitForExit(5000);
}

}  // namespace
