#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <filesystem>

#include "MainWindowFixture.h"
#include "app/StartOptions.h"
#include "support/PseudoTerminal.h"

namespace {

class StartupTest : public MainWindowTest {};

// A font of the description: the name, height and colour given, the rest as a new font has it.
TFont DescribedFont(const std::string& name, int height, TColor color) {
  TFont font;
  font.SetName(name);
  font.SetHeight(height);
  font.SetColor(color);
  return font;
}

TEST_F(StartupTest, WithTheAdapterPresentTheBoardIsGreetedAndTheStatusIsLime) {
  PseudoTerminal board;
  ASSERT_TRUE(board.CreateSymlink("/dev/ttyUSB0"));
  CreateMainWindow();
  ExpectPortShownAs(true);
  EXPECT_EQ(Form1->Label9->Color(), clLime);
  EXPECT_EQ(Form1->Label9->Caption(), "FTDI chip is found, Virtual Com Port is opened ");
  EXPECT_EQ(Form1->Label12->Caption(), "Label12");
  EXPECT_EQ(board.WaitForBytesThenQuiet(3), "?//");
  const LineSettings settings = board.ReadLineSettings();
  EXPECT_EQ(settings.baud, 14400u);
  EXPECT_EQ(settings.dataBits, 8);
  EXPECT_FALSE(settings.parity);
  EXPECT_EQ(settings.stopBits, 1);
  EXPECT_TRUE(exceptions.empty());
}

// (The red status line shown then is checked with the rest of the window's layout below.)
TEST_F(StartupTest, WithTheAdapterAbsentNoPortIsOpenedAndNothingIsSent) {
  // Boards on other ports hear nothing.
  PseudoTerminal second;
  PseudoTerminal third;
  ASSERT_TRUE(second.CreateSymlink("/dev/ttyUSB1"));
  ASSERT_TRUE(third.CreateSymlink("/dev/ttyS0"));
  CreateMainWindow();
  EXPECT_EQ(PortHandle, INVALID_HANDLE_VALUE);
  // (That a board found later by the watchdog is not greeted either is the watchdog's test.)
  EXPECT_EQ(second.ReadAvailable(300), "");
  EXPECT_EQ(third.ReadAvailable(), "");
}

TEST_F(StartupTest, TypingIntoTheSelectorFillsThePortNameBuffer) {
  CreateMainWindow();
  auto* combo = static_cast<QComboBox*>(Form1->ComboBox1->Widget());
  combo->lineEdit()->selectAll();
  QTest::keyClicks(combo->lineEdit(), "ttyACM0");
  EXPECT_EQ(PortName, "ttyACM0");
  QTest::keyClicks(combo->lineEdit(), "abcde");  // twelve characters now
  EXPECT_EQ(PortName, "ttyACM0ab");
  combo->lineEdit()->selectAll();
  QTest::keyClick(combo->lineEdit(), Qt::Key_Backspace);
  EXPECT_EQ(PortName, "");
  EXPECT_EQ(combo->count(), 9);  // typed text never becomes an item
}

// A stable name of the kind Linux gives an adapter, far longer than the selector's nine
// characters: opened at start-up and shown in the selector; a pick there names the port again.
TEST_F(StartupTest, APortNameFromTheCommandLineIsOpenedAndShownWhateverItsLength) {
  const std::string name = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10KZP4B-if00-port0";
  std::filesystem::create_directories("/dev/serial/by-id");
  PseudoTerminal board;
  ASSERT_TRUE(board.CreateSymlink(name));
  StartOptions.port = name;
  CreateMainWindow();
  EXPECT_NE(PortHandle, INVALID_HANDLE_VALUE);
  EXPECT_EQ(board.ReadAvailable(500), "?//");
  EXPECT_EQ(Form1->ComboBox1->GetText(), name);
  EXPECT_EQ(PortName, name);
  auto* combo = static_cast<QComboBox*>(Form1->ComboBox1->Widget());
  QTest::keyClick(combo, Qt::Key_Down);
  EXPECT_EQ(PortName, "COM2");
}

TEST_F(StartupTest, PickingAnItemFromTheListCopiesItsText) {
  CreateMainWindow();
  auto* combo = static_cast<QComboBox*>(Form1->ComboBox1->Widget());
  // The user opens the list and clicks "COM3".
  QTest::mouseClick(combo, Qt::LeftButton, {}, QPoint(combo->width() - 5, combo->height() / 2));
  QAbstractItemView* list = combo->view();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(list->window()));
  const QRect item = list->visualRect(list->model()->index(2, 0));
  QTest::mouseMove(list->viewport(), item.center());
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item.center());
  EXPECT_EQ(combo->currentText(), "COM3");
  EXPECT_EQ(PortName, "COM3");
  // And with the keyboard: the next item.
  QTest::keyClick(combo, Qt::Key_Down);
  EXPECT_EQ(PortName, "COM4");
}

// Every control of the window where its layout puts it, with its texts, colours, fonts and
// place in the tab order.
TEST_F(StartupTest, TheWindowMatchesItsLayout) {
  CreateMainWindow();
  EXPECT_EQ(Form1->Caption(), "Tallyvane - Server");
  EXPECT_EQ(Form1->Left(), 415);
  EXPECT_EQ(Form1->Top(), 189);
  EXPECT_EQ(Form1->ClientWidth(), 489);
  EXPECT_EQ(Form1->ClientHeight(), 393);
  EXPECT_EQ(Form1->Color(), clBtnFace);
  EXPECT_EQ(Form1->Font().Color(), clWindowText);

  TWinControl* page = Form1->TabbedNotebook1->Page(0);
  struct Expected {
    TControl* control;
    TWinControl* parent;
    TRect bounds;  // labels fit their size to the text in the font standing in; only their
                   // place counts
    const char* caption;
    TColor color;
    const char* fontName;
    int fontHeight;
    TColor fontColor;
    int tabOrder;  // -1: not in the tab order
  };
  const char* sans = "MS Sans Serif";
  const Expected expected[] = {
      // No adapter here: start-up has shown the not-found state.
      {Form1->Panel3, Form1, Rect(0, 352, 489, 393), "", clRed, sans, -10, clWindowText, 0},
      {Form1->Label9, Form1->Panel3, Rect(8, 8, 40, 21),
       "FTDI chip is not found, Virtual Com Port is not opened ", clRed, sans, -10, clBlack, -1},
      {Form1->Label12, Form1->Panel3, Rect(8, 24, 46, 37), " ", clRed, sans, -10, clBlack, -1},
      {Form1->TabbedNotebook1, Form1, Rect(0, 0, 489, 353), "", clBtnFace, sans, -10, clGreen, 1},
      {Form1->Label3, page, Rect(184, 8, 436, 21),
       "1    2    3   4   5   6   7    8   9   10 11  12 13  14 15 16", clBtnFace, sans, -10,
       clBlack, -1},
      {Form1->Label4, page, Rect(152, 32, 168, 45), "ON", clBtnFace, sans, -10, clBlack, -1},
      {Form1->Label5, page, Rect(147, 72, 167, 85), "OFF", clBtnFace, sans, -10, clBlack, -1},
      {Form1->Label1, page, Rect(136, 8, 163, 21), "Relay", clBtnFace, sans, -10, clBlack, -1},
      {Form1->Memo1, page, Rect(16, 104, 457, 321), "", clMenuText, "@Batang", -13, clLime, 0},
      {Form1->Edit2, page, Rect(304, 72, 304, 93), "Edit2", clWindow, sans, -10, clGreen, 1},
      {Form1->PerformanceGraph1, page, Rect(169, 24, 457, 97), "", clBlack, sans, -10, clGreen, -1},
      {Form1->CheckBox2, page, Rect(80, 80, 129, 97), "Time", clBtnFace, sans, -10, clBlack, 18},
      {Form1->Button1, page, Rect(16, 80, 73, 97), "Clear", clBtnFace, sans, -10, clGreen, 19},
      {Form1->ComboBox1, page, Rect(16, 32, 121, 53), "COM1", clWindow, sans, -10, clBlack, 20},
  };
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.control->Name());
    EXPECT_EQ(e.control->Parent(), e.parent);
    const QRect shown = e.control->Widget()->geometry();
    const TRect bounds = Rect(shown.left(), shown.top(), shown.right() + 1, shown.bottom() + 1);
    if (dynamic_cast<TLabel*>(e.control) != nullptr) {
      EXPECT_EQ(bounds.Left, e.bounds.Left);
      EXPECT_EQ(bounds.Top, e.bounds.Top);
    } else {
      EXPECT_EQ(bounds, e.bounds);
    }
    if (e.control == Form1->ComboBox1) {
      EXPECT_EQ(Form1->ComboBox1->GetText(), e.caption);
    } else if (e.control == Form1->Edit2) {
      EXPECT_EQ(Form1->Edit2->Text(), e.caption);
    } else if (e.control != Form1->Memo1) {
      EXPECT_EQ(e.control->Caption(), e.caption);
    }
    if (e.control != Form1->PerformanceGraph1) {
      EXPECT_EQ(e.control->Color(), e.color);
    }
    EXPECT_EQ(e.control->Font(), DescribedFont(e.fontName, e.fontHeight, e.fontColor));
    if (auto* windowed = dynamic_cast<TWinControl*>(e.control); windowed && e.tabOrder >= 0) {
      EXPECT_EQ(windowed->TabOrder(), e.tabOrder);
    }
  }
  // The one page and its tab.
  EXPECT_EQ(Form1->TabbedNotebook1->PageCount(), 1);
  EXPECT_EQ(page->Caption(), "Options");
  EXPECT_EQ(page->Left(), 4);
  EXPECT_EQ(page->Top(), 24);
  EXPECT_EQ(Form1->TabbedNotebook1->TabFont(), DescribedFont(sans, -11, clBtnText));
  EXPECT_FALSE(Form1->CheckBox2->Checked());
  // The user cannot edit the log (what a read-only memo does with the other keys is the memo's
  // own test).
  QTest::keyClicks(Form1->Memo1->Widget(), "x");
  EXPECT_EQ(LogText(), "");
  // The selector shows COM1 without running its handler, which would copy it as typed.
  const auto& selector = *static_cast<QComboBox*>(Form1->ComboBox1->Widget());
  EXPECT_EQ(selector.count(), 9);
  EXPECT_EQ(selector.itemText(0), "COM1");
  EXPECT_EQ(selector.itemText(8), "COM9");
  EXPECT_EQ(selector.currentIndex(), 0);
  EXPECT_EQ(PortName, "com1");
  // The indicator row: relay n in panel n, tab orders 2 to 17, all in the OFF row.
  for (int relay = 1; relay <= 16; ++relay) {
    TPanel* panel = Form1->RelayIndicator(relay);
    SCOPED_TRACE(panel->Name());
    EXPECT_EQ(panel->Parent(), page);
    EXPECT_EQ(panel->Widget()->geometry(), QRect(182 + 16 * (relay - 1), 72, 15, 9));
    EXPECT_EQ(panel->Color(), clLime);
    EXPECT_EQ(panel->TabOrder(), relay + 1);
  }
}

}  // namespace
