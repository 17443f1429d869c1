#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include "MainWindowFixture.h"
#include "support/PseudoTerminal.h"

namespace {

class StartupTest : public MainWindowTest {};

TEST_F(StartupTest, WithTheAdapterPresentTheBoardIsGreetedAndTheStatusIsLime) {
  PseudoTerminal board;
  SetSerialDeviceRedirect("com1", board.SlavePath());
  CreateMainWindow();
  EXPECT_TRUE(PortIsOpen());
  EXPECT_EQ(Form1->Panel3->Color(), clLime);
  EXPECT_EQ(Form1->Label9->Color(), clLime);
  EXPECT_EQ(Form1->Label9->Caption(), "FTDI chip is found, Virtual Com Port is opened ");
  EXPECT_EQ(Form1->Label12->Caption(), "Label12");
  EXPECT_EQ(board.ReadAvailable(500), "?//");
  const LineSettings settings = board.ReadLineSettings();
  EXPECT_EQ(settings.baud, 14400u);
  EXPECT_EQ(settings.dataBits, 8);
  EXPECT_FALSE(settings.parity);
  EXPECT_EQ(settings.stopBits, 1);
  EXPECT_TRUE(exceptions.empty());
}

TEST_F(StartupTest, WithTheAdapterAbsentTheStatusIsRedAndNothingIsSent) {
  CreateMainWindow();
  EXPECT_EQ(PortHandle, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Form1->Panel3->Color(), clRed);
  EXPECT_EQ(Form1->Label9->Color(), clRed);
  EXPECT_EQ(Form1->Label12->Color(), clRed);
  EXPECT_EQ(Form1->Label9->Caption(), "FTDI chip is not found, Virtual Com Port is not opened ");
  EXPECT_EQ(Form1->Label12->Caption(), " ");
}

TEST_F(StartupTest, SelectorShowsComOneWithoutRunningItsHandler) {
  CreateMainWindow();
  EXPECT_EQ(Form1->ComboBox1->ItemCount(), 9);
  EXPECT_EQ(Form1->ComboBox1->Item(0), "COM1");
  EXPECT_EQ(Form1->ComboBox1->Item(8), "COM9");
  EXPECT_EQ(Form1->ComboBox1->ItemIndex(), 0);
  EXPECT_EQ(Form1->ComboBox1->GetText(), "COM1");
  EXPECT_STREQ(PortName, "com1");
}

TEST_F(StartupTest, TypingIntoTheSelectorFillsThePortNameBuffer) {
  CreateMainWindow();
  auto* combo = static_cast<QComboBox*>(Form1->ComboBox1->Widget());
  combo->lineEdit()->selectAll();
  QTest::keyClicks(combo->lineEdit(), "ttyACM0");
  EXPECT_STREQ(PortName, "ttyACM0");
  QTest::keyClicks(combo->lineEdit(), "abcde");  // twelve characters now
  EXPECT_STREQ(PortName, "ttyACM0ab");
  combo->lineEdit()->selectAll();
  QTest::keyClick(combo->lineEdit(), Qt::Key_Backspace);
  EXPECT_STREQ(PortName, "");
  EXPECT_EQ(combo->count(), 9);  // typed text never becomes an item
}

TEST_F(StartupTest, PickingAnItemCopiesItsText) {
  CreateMainWindow();
  auto* combo = static_cast<QComboBox*>(Form1->ComboBox1->Widget());
  combo->setCurrentIndex(2);
  EXPECT_STREQ(PortName, "com1");  // a change by the program is not the user's
  emit combo->activated(2);
  EXPECT_STREQ(PortName, "COM3");
}

TEST_F(StartupTest, TheWindowMatchesItsLayout) {
  CreateMainWindow();
  EXPECT_EQ(Form1->Caption(), "Tallyvane - Server");
  EXPECT_EQ(Form1->ClientWidth(), 489);
  EXPECT_EQ(Form1->ClientHeight(), 393);
  EXPECT_EQ(Form1->Panel3->BoundsRect(), Rect(0, 352, 489, 393));
  EXPECT_EQ(Form1->Memo1->BoundsRect(), Rect(16, 104, 457, 321));
  EXPECT_EQ(Form1->Memo1->Color(), clMenuText);
  EXPECT_EQ(Form1->Memo1->Font().Color(), clLime);
  EXPECT_EQ(Form1->Edit2->Width(), 0);
  EXPECT_EQ(Form1->Edit2->Text(), "Edit2");
  EXPECT_EQ(Form1->Label3->Color(), clBtnFace);
  EXPECT_EQ(Form1->Label4->Caption(), "ON");
  EXPECT_EQ(Form1->CheckBox2->Caption(), "Time");
  EXPECT_FALSE(Form1->CheckBox2->Checked());
  EXPECT_EQ(Form1->Button1->Caption(), "Clear");
  for (int relay = 1; relay <= 16; ++relay) {
    TPanel* panel = Form1->RelayIndicator(relay);
    EXPECT_EQ(panel->BoundsRect(), Rect(182 + 16 * (relay - 1), 72, 197 + 16 * (relay - 1), 81));
    EXPECT_EQ(panel->Color(), clLime);
  }
}

TEST_F(StartupTest, ClearButtonClickedByTheUser) {
  CreateMainWindow();
  Form1->AppendToLog("entry\r\n");
  QTest::mouseClick(Form1->Button1->Widget(), Qt::LeftButton);
  EXPECT_EQ(LogText(), "  ");
}

}  // namespace
