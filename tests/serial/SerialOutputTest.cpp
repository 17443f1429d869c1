// What reaches a relay board's line at 14400 baud when texts come faster than it takes them, and
// when the port is closed and opened again meanwhile. Each text is sent character by character
// while one message is handled, as the relay server's read handler does.
#include <gtest/gtest.h>
#include <stdio.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/MessageWindow.h"
#include "platform/Serial.h"
#include "serial/LineStandIn.h"
#include "support/PseudoTerminal.h"
#include "tests/support/MessageLoop.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr unsigned kBaud = 14400;
constexpr size_t kTextSize = 5;

// Texts that tell their place: "0000/", "0001/", ...
std::vector<std::string> NumberedTexts(int count) {
  std::vector<std::string> texts;
  for (int i = 0; i < count; ++i) {
    char text[8];
    std::snprintf(text, sizeof text, "%04d/", i % 10000);
    texts.emplace_back(text);
  }
  return texts;
}

std::string Joined(const std::vector<std::string>& texts) {
  std::string joined;
  for (const std::string& text : texts) joined += text;
  return joined;
}

// Standard error into a file for the length of a test.
class StderrCapture {
 public:
  StderrCapture() : file_(std::tmpfile()), saved_(dup(2)) {
    std::fflush(stderr);
    dup2(fileno(file_), 2);
  }
  ~StderrCapture() {
    std::fflush(stderr);
    dup2(saved_, 2);
    close(saved_);
    std::fclose(file_);
  }
  std::string Text() const {
    std::string text;
    char buffer[4096];
    ssize_t count;
    for (off_t at = 0; (count = pread(fileno(file_), buffer, sizeof buffer, at)) > 0; at += count)
      text.append(buffer, static_cast<size_t>(count));
    return text;
  }

 private:
  FILE* file_;
  int saved_;
};

class SerialOutputTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
  }

  void SetUp() override {
    ASSERT_TRUE(board.IsOpen());
    port = OpenAt14400(board.SlavePath());
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    window = CreateMessageWindow([this](TMessage& message) {
      for (const char c : texts[message.WParam]) TransmitCommChar(port, c);
    });
  }

  void TearDown() override {
    DestroyMessageWindow(window);
    CloseHandle(port);
  }

  static HANDLE OpenAt14400(const std::string& path) {
    HANDLE opened = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    DCB dcb;
    GetCommState(opened, &dcb);
    BuildCommDCBA("14400,N,8,1", &dcb);
    SetCommState(opened, &dcb);
    return opened;
  }

  // Each text handled as a message of its own.
  void HandleEach(std::vector<std::string> handled) {
    texts = std::move(handled);
    for (size_t i = 0; i < texts.size(); ++i) PostMessage(window, WM_USER, i, 0);
    ASSERT_TRUE(RunUntil([] { return !MessagesWaiting(); }));
  }

  static constexpr UINT WM_USER = 0x0400;
  PseudoTerminal board;
  LineStandIn line{board.SlavePath(), kBaud};
  HANDLE port = INVALID_HANDLE_VALUE;
  HWND window = nullptr;
  std::vector<std::string> texts;
};

TEST_F(SerialOutputTest, TextsLeaveWholeInOrderAtTheLinesPaceWithLittleLeftToTheDriver) {
  const std::vector<std::string> sent = NumberedTexts(300);  // about a second of line time
  HandleEach(sent);
  ASSERT_TRUE(RunUntil([&] { return line.Sent().size() >= Joined(sent).size(); }));
  EXPECT_EQ(line.Sent(), Joined(sent));
  // Every write carried whole texts, and the driver never held more than a close lets leave.
  for (const size_t size : line.Writes()) EXPECT_EQ(size % kTextSize, 0u) << size;
  EXPECT_LE(line.MostHeld(), kBaud / 10 / 10);
}

TEST_F(SerialOutputTest, AFullQueueDropsWholeTextsAndStandardErrorCountsThemAtMostOnceASecond) {
  StderrCapture captured;
  const Clock::time_point start = Clock::now();
  constexpr int kCount = 6000;  // 30 kB, three times what the queue and the driver hold
  line.Stall(true);
  HandleEach(NumberedTexts(kCount));
  line.Stall(false);
  // What the queue still holds goes nowhere when another device is opened next.
  ASSERT_TRUE(CloseHandle(port));
  PseudoTerminal other;
  port = OpenAt14400(other.SlavePath());
  ASSERT_NE(port, INVALID_HANDLE_VALUE);

  // The texts the driver had taken, whole and from the first on.
  const std::string sent = line.Sent();
  const size_t whole = sent.size() / kTextSize;
  ASSERT_GT(whole, 0u);
  EXPECT_EQ(sent, Joined(NumberedTexts(static_cast<int>(whole))));
  EXPECT_EQ(line.HeldAtClose(), 0u);
  EXPECT_EQ(other.ReadAvailable(100), "");

  // Every dropped text is counted once the last second's line is out.
  const auto droppedSoFar = [&](size_t& lines) {
    size_t dropped = 0;
    lines = 0;
    const std::string text = captured.Text();
    for (size_t at = text.find(" dropped"); at != std::string::npos;
         at = text.find(" dropped", at + 1)) {
      const size_t number = text.rfind(": ", at) + 2;
      dropped += std::strtoul(text.c_str() + number, nullptr, 10);
      ++lines;
    }
    return dropped;
  };
  size_t lines = 0;
  const size_t expected = kCount - whole;
  EXPECT_TRUE(RunUntil([&] { return droppedSoFar(lines) == expected; }, 5000)) << captured.Text();
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  EXPECT_GE(lines, 1u);
  EXPECT_LE(lines, static_cast<size_t>(seconds) + 1) << captured.Text();
}

TEST_F(SerialOutputTest, ClosingLetsTheLineSendWhatItTookAndDiscardsOnlyWhatAStalledLineHolds) {
  const std::vector<std::string> sent = NumberedTexts(10);
  HandleEach(sent);
  ASSERT_TRUE(CloseHandle(port));
  EXPECT_EQ(line.HeldAtClose(), 0u);
  EXPECT_EQ(line.Flushed(), 0u);
  EXPECT_EQ(line.Sent(), Joined(sent));

  port = OpenAt14400(board.SlavePath());
  line.Stall(true);
  HandleEach(NumberedTexts(3));
  ASSERT_TRUE(CloseHandle(port));
  EXPECT_EQ(line.HeldAtClose(), 0u);
  EXPECT_EQ(line.Flushed(), 3 * kTextSize);
  line.Stall(false);
  EXPECT_EQ(line.Sent(), Joined(sent));
}

TEST_F(SerialOutputTest, WhatTheQueueHoldsGoesOutOnceTheSameDeviceIsOpenAgain) {
  const std::vector<std::string> sent = NumberedTexts(200);
  line.Stall(true);
  HandleEach(sent);
  line.Stall(false);
  ASSERT_TRUE(CloseHandle(port));
  EXPECT_LT(line.Sent().size(), Joined(sent).size());
  port = OpenAt14400(board.SlavePath());
  ASSERT_NE(port, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(RunUntil([&] { return line.Sent().size() >= Joined(sent).size(); }));
  EXPECT_EQ(line.Sent(), Joined(sent));
  EXPECT_EQ(line.HeldAtClose(), 0u);
}

}  // namespace
