#include <gtest/gtest.h>

#include <QWidget>
#include <string>
#include <vector>

#include "framework/Application.h"
#include "framework/ClassRegistry.h"
#include "framework/Form.h"
#include "framework/Label.h"
#include "framework/Panel.h"
#include "tests/support/ExpectMessage.h"

namespace {

// Records the order in which its properties are written and when Loaded runs.
class TProbe : public TComponent {
 public:
  explicit TProbe(TComponent* owner) : TComponent(owner) {}
  std::string ClassName() const override { return "TProbe"; }
  ~TProbe() override { Log("Deleted " + Name()); }
  void SetFirst(int value) { Log("First=" + std::to_string(value)); }
  void SetSecond(int value) { Log("Second=" + std::to_string(value)); }
  // Refuses 0: a setter that throws something other than a read error.
  void SetRefusing(int value) {
    if (value == 0) throw EConvertError("zero refused");
    Log("Refusing=" + std::to_string(value));
  }
  void SetFailInLoaded(int value) { failInLoaded_ = value != 0; }
  void Loaded() override {
    Log("Loaded " + Name());
    if (failInLoaded_) throw EInvalidOperation("cannot finish " + Name());
  }
  void Log(const std::string& entry) {
    events.push_back(entry + (IsLoading() ? " (loading)" : ""));
  }
  static std::vector<std::string> events;

 private:
  bool failInLoaded_ = false;
};
std::vector<std::string> TProbe::events;

class TTestForm : public TForm {
 public:
  explicit TTestForm(TComponent* owner) : TForm(owner) {
    Field("Panel", panel);
    Field("Caption", caption);
    Field("A", probe);
    Method<TNotifyEvent>("Clicked", [this](TObject*) { ++clicks; });
  }
  std::string ClassName() const override { return "TTestForm"; }
  void Read(const std::string& text) { ReadDescription(text); }

  TPanel* panel = nullptr;
  TLabel* caption = nullptr;
  TProbe* probe = nullptr;
  int clicks = 0;
};

class FormReaderTest : public testing::Test {
 protected:
  void SetUp() override {
    RegisterComponentClass({"TTestForm", "TForm", nullptr, {}});
    RegisterComponentClass({"TProbe",
                            "TComponent",
                            [](TComponent* owner) -> TComponent* { return new TProbe(owner); },
                            {{"First", IntSetter(&TProbe::SetFirst), "0"},
                             {"Second", IntSetter(&TProbe::SetSecond), "0"},
                             {"Refusing", IntSetter(&TProbe::SetRefusing), "1"},
                             {"FailInLoaded", IntSetter(&TProbe::SetFailInLoaded), "0"}}});
    TProbe::events.clear();
    form = new TTestForm(nullptr);
  }
  void TearDown() override { delete form; }

  // Each description goes to a form of its own.
  static std::string ErrorOf(const std::string& text) {
    TTestForm fresh(nullptr);
    try {
      fresh.Read(text);
    } catch (const EReadError& e) {
      return e.Message();
    }
    return "";
  }

  TTestForm* form = nullptr;
};

TEST_F(FormReaderTest, CreatesControlsInTheirParentsAndBindsFieldsAndMethods) {
  form->Read(R"(# a comment
  Main: TTestForm { # another
    Caption = "Test \"form\""
    Panel: TPanel { Left = 5 Top = 6 Width = 70 Height = 20 Color = clRed OnClick = Clicked
      Font.Style = [fsBold, fsItalic]
      Caption: TLabel { Caption = "hi" Font.Color = 0x123456 }
    }
  })");
  ASSERT_NE(form->panel, nullptr);
  ASSERT_NE(form->caption, nullptr);
  EXPECT_EQ(form->Caption(), "Test \"form\"");
  EXPECT_EQ(form->panel->Widget()->geometry(), QRect(5, 6, 70, 20));
  EXPECT_EQ(form->panel->Parent(), form);
  EXPECT_EQ(form->caption->Parent(), form->panel);
  EXPECT_EQ(form->FindComponent("Caption"), form->caption);  // owned by the form
  EXPECT_EQ(form->caption->Color(), clRed);                  // a label follows its parent's colour
  EXPECT_EQ(form->caption->Font().Color(), 0x123456);
  EXPECT_TRUE(form->panel->Widget()->font().bold() && form->panel->Widget()->font().italic());
  // Event properties name the root's methods.
  ASSERT_TRUE(form->panel->OnClick);
  form->panel->OnClick(form->panel);
  EXPECT_EQ(form->clicks, 1);
}

TEST_F(FormReaderTest, WritesPropertiesInTheOrderGivenWhileLoadingThenRunsLoaded) {
  form->Read(R"(Main: TTestForm {
    A: TProbe { Second = 2 First = 1 }
    B: TProbe { First = 3 }
  })");
  EXPECT_EQ(TProbe::events,
            (std::vector<std::string>{"Second=2 (loading)", "First=1 (loading)",
                                      "First=3 (loading)", "Loaded A", "Loaded B"}));
}

TEST_F(FormReaderTest, ErrorsNameTheLine) {
  EXPECT_EQ(ErrorOf("Main: TTestForm {\n  X: TNoSuchClass { }\n}"),
            "Form description line 2: unknown class 'TNoSuchClass'");
  EXPECT_EQ(ErrorOf("Main: TTestForm {\n\n  Panel: TPanel { Bogus = 1 }\n}"),
            "Form description line 3: unknown property 'Bogus' of TPanel");
  EXPECT_EQ(ErrorOf("Main: TTestForm {\n  Panel: TPanel { OnClick = Nothing }\n}"),
            "Form description line 2: no method 'Nothing'");
  EXPECT_EQ(ErrorOf("Main: TTestForm {\n  Panel: TPanel { Left = \"x\" }\n}"),
            "Form description line 2: expected an integer, found a string");
  EXPECT_EQ(ErrorOf("Main: TOther { }"),
            "Form description line 1: the description is for TOther, not TTestForm");
  EXPECT_NE(ErrorOf("Main: TTestForm { Caption = \"open }"), "");
  EXPECT_NE(ErrorOf("Main: TTestForm { Panel: TPanel { }"), "");
}

// A description that fails part-way leaves the form as it was before the reading, whatever was
// thrown and wherever.
TEST_F(FormReaderTest, AFailedReadingRemovesWhatItMadeAndEndsLoading) {
  const std::string head = R"(Main: TTestForm {
    Caption = "half"
    A: TProbe { First = 1 }
    Panel: TPanel { Caption: TLabel { Caption = "x" } }
    B: TProbe { )";
  struct Failure {
    std::string body;
    std::string message;
  };
  const Failure failures[] = {
      {"Refusing = 0 } }", "zero refused"},  // a setter's own exception
      {"Bogus = 1 } }", "Form description line 5: unknown property 'Bogus' of TProbe"},
      {"First = 2 }", "Form description line 5: missing '}'"},  // the text ends early
      {"FailInLoaded = 1 } }", "cannot finish B"},              // a Loaded, after all setters
  };
  for (const Failure& failure : failures) {
    SCOPED_TRACE(failure.body);
    TTestForm fresh(nullptr);
    TProbe::events.clear();
    ExpectThrowWithMessage<Exception>([&] { fresh.Read(head + failure.body); }, failure.message);
    EXPECT_FALSE(fresh.IsLoading());
    for (const char* made : {"A", "Panel", "Caption", "B"})
      EXPECT_EQ(fresh.FindComponent(made), nullptr) << made;
    EXPECT_EQ(fresh.panel, nullptr);
    EXPECT_EQ(fresh.caption, nullptr);
    EXPECT_EQ(fresh.probe, nullptr);
    EXPECT_EQ(fresh.Caption(), "half");  // the root keeps what was written to it
    // Made components are deleted newest first, no longer loading.
    ASSERT_GE(TProbe::events.size(), 2u);
    EXPECT_EQ(TProbe::events.back(), "Deleted A");
    EXPECT_EQ(TProbe::events[TProbe::events.size() - 2], "Deleted B");
    // The form can still take a description.
    fresh.Read("Main: TTestForm { A: TProbe { } }");
    EXPECT_NE(fresh.probe, nullptr);
  }
}

}  // namespace
