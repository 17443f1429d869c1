// What the real program's window shows on a virtual X server, read straight from the server's
// frame buffer after each change, with nothing else happening that could make the window draw:
// the change alone must bring the picture up to date.
#include <gtest/gtest.h>

#include <string>

#include "support/PseudoTerminal.h"
#include "support/RelayProgram.h"
#include "support/VirtualScreen.h"
#include "tests/net/TcpClient.h"

namespace {

constexpr int64_t kRed = 0xFF0000;
constexpr int64_t kLime = 0x00FF00;

// Places inside the window's client area: the status line away from its texts and edges, the
// row its first label writes in, and relay 3's indicator in the OFF and in the ON row.
constexpr int kStatusX = 470, kStatusY = 372;
constexpr int kLabelTop = 360, kLabelBottom = 374, kLabelLeft = 8, kLabelRight = 400;
constexpr int kRelay3X = 4 + 214 + 7, kOffRowY = 24 + 72 + 4, kOnRowY = 24 + 32 + 4;

class ScreenTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(screen.Start(1)) << "no virtual X server";
    ASSERT_TRUE(board.CreateSymlink("/dev/ttyUSB0"));
    ASSERT_TRUE(program.Start({{"QT_QPA_PLATFORM", "xcb"},
                               {"DISPLAY", screen.Display()},
                               // The X client libraries keep caches for the life of the process.
                               {"ASAN_OPTIONS", "detect_leaks=0"}}));
    ASSERT_TRUE(program.WaitUntilListening()) << program.StandardError();
    ASSERT_TRUE(
        PollUntil([&] { return screen.FindWindow("Tallyvane - Server", left, top); }, 20000))
        << "the window never showed";
  }

  void TearDown() override {
    EXPECT_EQ(program.Stop(), 0) << program.StandardError();
    EXPECT_FALSE(HasSanitizerReport(program.StandardError())) << program.StandardError();
  }

  int64_t Shown(int x, int y) const { return screen.Pixel(left + x, top + y); }

  // Watches the screen until the window shows the colour there; only the frame buffer is read.
  bool ComesToShow(int x, int y, int64_t colour) const {
    return PollUntil([&] { return Shown(x, y) == colour; });
  }

  // Dark pixels of the status line's first text: more of them for the longer not-found text.
  int TextInk() const {
    int ink = 0;
    for (int y = kLabelTop; y < kLabelBottom; ++y)
      for (int x = kLabelLeft; x < kLabelRight; ++x) {
        const int64_t pixel = Shown(x, y);
        if (pixel >= 0 && ((pixel >> 8) & 0xFF) < 0x80) ++ink;
      }
    return ink;
  }

  VirtualScreen screen;
  PseudoTerminal board;
  RelayProgram program;
  int left = 0;
  int top = 0;
};

TEST_F(ScreenTest, PullingAndReplacingTheAdapterAndRelayCommandsShowOnTheScreenEachTime) {
  ASSERT_TRUE(ComesToShow(kStatusX, kStatusY, kLime)) << program.StandardError();
  const int foundInk = TextInk();
  EXPECT_GT(foundInk, 0);
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    board.Unplug();
    EXPECT_TRUE(ComesToShow(kStatusX, kStatusY, kRed));
    // The not-found text comes up as well: it is longer than the found one.
    EXPECT_TRUE(PollUntil([&] { return TextInk() > foundInk; })) << TextInk();
    board.Replug();
    EXPECT_TRUE(ComesToShow(kStatusX, kStatusY, kLime));
    EXPECT_TRUE(PollUntil([&] { return TextInk() == foundInk; })) << TextInk();
  }
  // A relay command moves its indicator.
  ASSERT_TRUE(ComesToShow(kRelay3X, kOffRowY, kLime));
  EXPECT_NE(Shown(kRelay3X, kOnRowY), kLime);
  TcpClient client;
  ASSERT_TRUE(client.Connect(1028));
  ASSERT_TRUE(client.Send("03+//"));
  EXPECT_TRUE(ComesToShow(kRelay3X, kOnRowY, kLime));
  EXPECT_NE(Shown(kRelay3X, kOffRowY), kLime);
  ASSERT_TRUE(client.Send("03-//"));
  EXPECT_TRUE(ComesToShow(kRelay3X, kOffRowY, kLime));
  EXPECT_NE(Shown(kRelay3X, kOnRowY), kLime);
}

}  // namespace
