#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>

#include "framework/Application.h"
#include "framework/ComboBox.h"
#include "framework/Edit.h"
#include "framework/Form.h"
#include "framework/Label.h"
#include "framework/Panel.h"

namespace {

class ControlsTest : public testing::Test {
 protected:
  void SetUp() override { form = new TForm(nullptr); }
  void TearDown() override { delete form; }
  template <class T>
  T* Make(TWinControl* parent = nullptr) {
    T* control = new T(form);
    control->SetParent(parent != nullptr ? parent : form);
    return control;
  }
  TForm* form = nullptr;
};

TEST_F(ControlsTest, EditHoldsTextUpToTheFirstZeroByte) {
  TEdit* edit = Make<TEdit>();
  edit->SetText(std::string("01+//\0tail", 10));
  EXPECT_EQ(edit->Text(), "01+//");
  char buffer[10];
  edit->SetText("0123456789abc");
  EXPECT_EQ(edit->GetTextBuf(buffer, sizeof buffer), 9);
  EXPECT_STREQ(buffer, "012345678");
}

// An edit nobody can see keeps its text to itself until it can be seen or typed into; what the
// toolkit's edit then shows is the latest text, and a shown edit shows every text at once.
TEST_F(ControlsTest, EditShowsItsLatestTextOnceItCanBeSeenOrTypedInto) {
  form->Show();
  TEdit* edit = Make<TEdit>();
  auto* widget = static_cast<QLineEdit*>(edit->Widget());
  int changes = 0;
  edit->OnChange = [&](TObject*) { ++changes; };
  edit->SetBounds(10, 10, 0, 21);
  edit->SetText("first");
  edit->SetText("second");
  EXPECT_EQ(edit->Text(), "second");
  EXPECT_EQ(changes, 2);
  edit->SetBounds(10, 10, 80, 21);
  EXPECT_EQ(widget->text(), "second");
  edit->SetText("shown");
  EXPECT_EQ(widget->text(), "shown");

  edit->SetBounds(10, 10, 0, 21);
  edit->SetText("for the keys");
  widget->setFocus();
  QApplication::processEvents();
  ASSERT_TRUE(widget->hasFocus());
  EXPECT_EQ(widget->text(), "for the keys");
  edit->SetText("while focused");
  EXPECT_EQ(widget->text(), "while focused");

  edit->SetVisible(false);
  edit->SetBounds(10, 10, 80, 21);
  edit->SetText("hidden");
  edit->SetVisible(true);
  EXPECT_EQ(widget->text(), "hidden");
}

// Typing into the middle of an edit: one change per key, the caret stays where the user types,
// and a character the edit cannot hold shows as the '?' it is kept as.
TEST_F(ControlsTest, TypingIntoAnEditChangesItOncePerKeyAndKeepsTheCaret) {
  form->Show();
  TEdit* edit = Make<TEdit>();
  edit->SetBounds(10, 10, 120, 21);
  auto* widget = static_cast<QLineEdit*>(edit->Widget());
  edit->SetText("0399");
  int changes = 0;
  edit->OnChange = [&](TObject*) { ++changes; };
  widget->setFocus();
  widget->setCursorPosition(2);
  QTest::keyClicks(widget, "+/");
  EXPECT_EQ(edit->Text(), "03+/99");
  EXPECT_EQ(widget->cursorPosition(), 4);
  EXPECT_EQ(changes, 2);

  QKeyEvent euro(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString::fromUtf8("\u20ac"));
  QApplication::sendEvent(widget, &euro);
  EXPECT_EQ(edit->Text(), "03+/?99");
  EXPECT_EQ(widget->text(), "03+/?99");
  EXPECT_EQ(changes, 3);
}

TEST_F(ControlsTest, ComboBoxChangeFiresForTheUserOnly) {
  TComboBox* combo = Make<TComboBox>();
  int changes = 0;
  combo->OnChange = [&](TObject*) { ++changes; };
  combo->AddItem("A");
  combo->AddItem("B");
  combo->SetItemIndex(1);
  combo->SetText("typed by the program");
  EXPECT_EQ(changes, 0);
  auto* widget = static_cast<QComboBox*>(combo->Widget());
  widget->lineEdit()->selectAll();
  QTest::keyClicks(widget->lineEdit(), "xy");
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(combo->GetText(), "xy");
  EXPECT_EQ(widget->count(), 2);
  QTest::keyClick(widget->lineEdit(), Qt::Key_Return);  // Enter does not add an item either
  EXPECT_EQ(widget->count(), 2);
}

TEST_F(ControlsTest, LabelsFollowTheirParentsColourUnlessGivenTheirOwn) {
  TPanel* panel = Make<TPanel>();
  auto* follows = Make<TLabel>(panel);
  auto* own = Make<TLabel>(panel);
  own->SetColor(clBtnFace);
  panel->SetColor(clRed);
  EXPECT_EQ(follows->Color(), clRed);
  EXPECT_EQ(own->Color(), clBtnFace);
  panel->SetColor(clLime);
  EXPECT_EQ(follows->Color(), clLime);
}

TEST_F(ControlsTest, OwnerDeletesWhatItOwns) {
  static int destroyed = 0;
  struct TCounted : TComponent {
    using TComponent::TComponent;
    ~TCounted() override { ++destroyed; }
  };
  auto* owner = new TComponent(nullptr);
  new TCounted(owner);
  auto* inner = new TCounted(owner);
  new TCounted(inner);
  delete owner;
  EXPECT_EQ(destroyed, 3);
}

}  // namespace
