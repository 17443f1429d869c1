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

TEST_F(LogTest, StartUpEmptiesTheDesignLine) {
  EXPECT_EQ(LogText(), "");
}

TEST_F(LogTest, EntriesAfterTheUsersClearGoAheadOfTheTwoSpaces) {
  Form1->AppendToLog("first\r\n");
  QTest::mouseClick(Form1->Button1->Widget(), Qt::LeftButton);
  EXPECT_EQ(LogText(), "  ");
  EXPECT_EQ(Form1->Memo1->SelStart(), 0);
  Form1->AppendToLog("a\r\n");
  Form1->AppendToLog("b\r\n");
  EXPECT_EQ(LogText(), "a\r\nb\r\n  ");
  EXPECT_EQ(Form1->Memo1->SelStart(), 6);
}

TEST_F(LogTest, SecondClearWithNothingLoggedLeavesTheCaret) {
  Form1->Button1Click(nullptr);
  Form1->Memo1->SetSelStart(1);
  Form1->Button1Click(nullptr);
  EXPECT_EQ(Form1->Memo1->SelStart(), 1);
  Form1->AppendToLog("x");
  EXPECT_EQ(LogText(), " x ");
}

TEST_F(LogTest, TimeStampOnlyWhenTimeIsTickedWithoutLeadingZerosEndingInOneSpace) {
  FixClock(12, 0, 0);
  Form1->AppendTimeStamp();
  EXPECT_EQ(LogText(), "");
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

TEST_F(LogTest, EntryReplacesWhatTheUserSelected) {
  Form1->AppendToLog("line one\r\nline two\r\n");
  // The user selects "two" with the mouse; the next entry replaces it.
  Form1->Memo1->SetSelStart(15);
  Form1->Memo1->SetSelLength(3);
  EXPECT_EQ(Form1->Memo1->SelText(), "two");
  Form1->AppendToLog("2");
  EXPECT_EQ(LogText(), "line one\r\nline 2\r\n");
  EXPECT_EQ(Form1->Memo1->SelStart(), 16);
  EXPECT_EQ(Form1->Memo1->SelLength(), 0);
}

}  // namespace
