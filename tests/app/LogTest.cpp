#include <QTest>

#include "MainWindowFixture.h"
#include "app/RelayCommands.h"

namespace {

class LogTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    CreateMainWindow();
  }
  void FixClock(int hour, int minute, int second) {
    TForm1::Clock = [=] { return TTimeOfDay{hour, minute, second}; };
  }
};

// Entries then go in at the caret, ahead of the two spaces, as the memo puts replacements.
TEST_F(LogTest, ClearLeavesTwoSpacesAndASecondClearWithNothingLoggedLeavesTheCaret) {
  Form1->AppendToLog("first\r\n");
  QTest::mouseClick(Form1->Button1->Widget(), Qt::LeftButton);
  EXPECT_EQ(LogText(), "  ");
  auto* view = static_cast<TMemoView*>(Form1->Memo1->Widget());
  EXPECT_EQ(view->SelectionStart(), 0u);
  view->Select(1, 1);
  Form1->Button1Click(nullptr);
  EXPECT_EQ(view->SelectionStart(), 1u);
  Form1->AppendToLog("x");
  EXPECT_EQ(LogText(), " x ");
}

TEST_F(LogTest, TimeStampOnlyWhenTimeIsTickedWithoutLeadingZerosEndingInOneSpace) {
  FixClock(12, 0, 0);
  Form1->AppendTimeStamp();
  EXPECT_EQ(LogText(), "");  // start-up emptied the design line, and the time is not ticked
  Form1->CheckBox2->SetChecked(true);
  const TTimeOfDay times[] = {{0, 0, 0}, {23, 59, 59}, {9, 5, 7}};
  for (const TTimeOfDay& time : times) {
    FixClock(time.hour, time.minute, time.second);
    Form1->AppendTimeStamp();
  }
  EXPECT_EQ(LogText(), "0:0:0 23:59:59 9:5:7 ");
}

TEST_F(LogTest, UnmatchedTextLeavesTheStampAloneAndTheNextEntryContinuesTheLine) {
  Form1->CheckBox2->SetChecked(true);
  FixClock(1, 2, 3);
  Form1->AppendTimeStamp();
  Form1->AppendTimeStamp();
  Form1->ApplyRelayCommand(*FindRelayCommand("01+//"));
  EXPECT_EQ(LogText(), "1:2:3 1:2:3 Relay 1  switched ON\r\n");
}

}  // namespace
