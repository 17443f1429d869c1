#include <cstdio>

#include "MainWindowFixture.h"
#include "app/RelayCommands.h"

namespace {

class RelayCommandsTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    CreateMainWindow();
    Form1->Button1Click(nullptr);  // log holds "  ", caret at the start
  }
  // What the log gained ahead of the two spaces that "Clear" left.
  std::string Logged() const {
    std::string text = LogText();
    return text.substr(0, text.size() - 2);
  }
  static void Apply(const std::string& text) {
    const TRelayCommand* command = FindRelayCommand(text);
    ASSERT_NE(command, nullptr) << text;
    Form1->ApplyRelayCommand(*command);
  }
  std::vector<int> Tops() const {
    std::vector<int> tops;
    for (int relay = 1; relay <= kRelayCount; ++relay)
      tops.push_back(Form1->RelayIndicator(relay)->Top());
    return tops;
  }
};

TEST_F(RelayCommandsTest, EveryRelayCommandLogsItsLineAndMovesOnlyItsPanel) {
  for (int relay = 1; relay <= kRelayCount; ++relay) {
    for (bool on : {true, false}) {
      char command[8];
      std::snprintf(command, sizeof command, "%02d%c//", relay, on ? '+' : '-');
      const std::string number = std::to_string(relay);
      // "switched" starts at the same column whatever the number of digits.
      const std::string expectedLine = "Relay " + number + (relay < 10 ? "  " : " ") + "switched " +
                                       (on ? "ON" : "OFF") + "\r\n";
      Form1->Memo1->SetText("");
      std::vector<int> before = Tops();
      Apply(command);
      EXPECT_EQ(LogText(), expectedLine) << command;
      std::vector<int> after = Tops();
      before[relay - 1] = on ? 32 : 72;
      EXPECT_EQ(after, before) << command;
      EXPECT_EQ(Form1->RelayIndicator(relay)->Left(), 182 + 16 * (relay - 1));
      EXPECT_EQ(Form1->Panel3->Top(), 352);  // the status line, never an indicator
    }
  }
}

TEST_F(RelayCommandsTest, AllOnAndAllOffMoveSixteenPanelsWithOneLineAndRepeatsAreLogged) {
  Apply("on//");
  EXPECT_EQ(Tops(), std::vector<int>(16, 32));
  EXPECT_EQ(Logged(), "All relays are swiched ON\r\n");
  // A command repeated is logged again and leaves the panels where they are.
  Apply("off//");
  Apply("off//");
  EXPECT_EQ(Tops(), std::vector<int>(16, 72));
  EXPECT_EQ(Logged(),
            "All relays are swiched ON\r\nAll relays are swiched OFF\r\nAll relays are swiched "
            "OFF\r\n");
}

TEST(RelayCommandTable, HoldsThirtyFourDistinctCommandsEachFoundByItsText) {
  const auto& table = RelayCommandTable();
  ASSERT_EQ(table.size(), 34u);
  EXPECT_STREQ(table[0].text, "on//");
  EXPECT_STREQ(table[1].text, "off//");
  // Each text finds its own entry, so no two entries share a text.
  for (const TRelayCommand& command : table)
    EXPECT_EQ(FindRelayCommand(command.text), &command) << command.text;
}

TEST(RelayCommandTable, NearMissesMatchNothing) {
  for (const char* text : {"ON//", "On//", "oN//", "1+//", "00+//", "17+//", "03+/", "03+//\r\n",
                           "01+//02+//", "", " 03+//", "03+// ", "off/", "OFF//", "3+//"})
    EXPECT_EQ(FindRelayCommand(text), nullptr) << text;
  EXPECT_EQ(FindRelayCommand(std::string("01+//\0", 6)), nullptr);
}

}  // namespace
