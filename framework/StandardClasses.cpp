#include "framework/StandardClasses.h"

#include <algorithm>
#include <map>

#include "framework/Button.h"
#include "framework/ComboBox.h"
#include "framework/Edit.h"
#include "framework/Form.h"
#include "framework/Label.h"
#include "framework/Memo.h"
#include "framework/Panel.h"
#include "framework/TabbedNotebook.h"

namespace {

template <class T>
std::function<TComponent*(TComponent*)> Factory() {
  return [](TComponent* owner) -> TComponent* { return new T(owner); };
}

template <class T>
TPropertySetter Setter(std::function<void(T&, const TPropertyValue&)> apply) {
  return [apply](TComponent& c, const TPropertyValue& v) { apply(dynamic_cast<T&>(c), v); };
}

int CharsetFromValue(const TPropertyValue& value) {
  if (value.kind == TPropertyValue::Kind::Integer) return value.AsInt();
  static const std::map<std::string, int> kCharsets = {
      {"ANSI_CHARSET", 0}, {"DEFAULT_CHARSET", 1}, {"SYMBOL_CHARSET", 2}, {"OEM_CHARSET", 255}};
  auto it = kCharsets.find(value.AsIdent());
  if (it == kCharsets.end()) value.Fail("unknown character set '" + value.text + "'");
  return it->second;
}

std::vector<std::string> StringsOf(const TPropertyValue& value) {
  if (value.kind != TPropertyValue::Kind::List) value.Fail("expected a list of strings");
  return value.items;
}

const std::vector<std::string> kBevelCuts = {"bvNone", "bvLowered", "bvRaised", "bvSpace"};

}  // namespace

std::vector<TPublishedProperty> FontProperties(const std::string& prefix,
                                               std::function<TFont&(TComponent&)> fontOf) {
  return {
      {prefix + ".Name",
       [fontOf](TComponent& c, const TPropertyValue& v) { fontOf(c).SetName(v.AsString()); },
       "\"MS Sans Serif\""},
      {prefix + ".Height",
       [fontOf](TComponent& c, const TPropertyValue& v) { fontOf(c).SetHeight(v.AsInt()); }, "-11"},
      {prefix + ".Size",
       [fontOf](TComponent& c, const TPropertyValue& v) { fontOf(c).SetSize(v.AsInt()); }, "8"},
      {prefix + ".Color",
       [fontOf](TComponent& c, const TPropertyValue& v) { fontOf(c).SetColor(v.AsColor()); },
       "clWindowText"},
      {prefix + ".Charset",
       [fontOf](TComponent& c, const TPropertyValue& v) {
         fontOf(c).SetCharset(CharsetFromValue(v));
       },
       "DEFAULT_CHARSET"},
      {prefix + ".Style",
       [fontOf](TComponent& c, const TPropertyValue& v) {
         // The style bits in the order of their values, 1, 2, 4 and 8.
         fontOf(c).SetStyle(
             v.AsSet({"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"}, "font style"));
       },
       "[]"},
  };
}

void RegisterStandardClasses() {
  RegisterComponentClass(
      {"TComponent", "", nullptr, {{"Tag", IntSetter(&TComponent::SetTag), "0"}}});

  std::vector<TPublishedProperty> control = {
      {"Left", IntSetter(&TControl::SetLeft), "0"},
      {"Top", IntSetter(&TControl::SetTop), "0"},
      {"Width", IntSetter(&TControl::SetWidth), ""},
      {"Height", IntSetter(&TControl::SetHeight), ""},
      {"Visible", BoolSetter(&TControl::SetVisible), "true"},
      {"Enabled", BoolSetter(&TControl::SetEnabled), "true"},
      {"Color", ColorSetter(&TControl::SetColor), "clBtnFace"},
      {"ParentColor", BoolSetter(&TControl::SetParentColor), "false"},
      {"ParentFont", BoolSetter(&TControl::SetParentFont), "true"},
      {"Caption", StringSetter<TControl>(&TControl::SetCaption), ""},
      {"Hint", StringSetter<TControl>(&TControl::SetHint), ""},
      {"ShowHint", BoolSetter(&TControl::SetShowHint), "false"},
      {"OnClick", EventSetter(&TControl::OnClick), ""},
  };
  for (auto& p : FontProperties(
           "Font", [](TComponent& c) -> TFont& { return dynamic_cast<TControl&>(c).Font(); }))
    control.push_back(std::move(p));
  RegisterComponentClass({"TControl", "TComponent", nullptr, std::move(control)});

  RegisterComponentClass({"TWinControl",
                          "TControl",
                          nullptr,
                          {{"TabOrder", IntSetter(&TWinControl::SetTabOrder), "-1"},
                           {"TabStop", BoolSetter(&TWinControl::SetTabStop), "false"}}});

  RegisterComponentClass({"TForm",
                          "TWinControl",
                          nullptr,
                          {{"ClientWidth", IntSetter(&TForm::SetClientWidth), ""},
                           {"ClientHeight", IntSetter(&TForm::SetClientHeight), ""},
                           {"AutoSize", BoolSetter(&TForm::SetAutoSize), "false"},
                           {"PixelsPerInch", IntSetter(&TForm::SetPixelsPerInch), "96"},
                           {"OnCreate", EventSetter(&TForm::OnCreate), ""},
                           {"OnClose", EventSetter(&TForm::OnClose), ""},
                           {"OnDestroy", EventSetter(&TForm::OnDestroy), ""}}});

  RegisterComponentClass(
      {"TPanel",
       "TWinControl",
       Factory<TPanel>(),
       {{"BevelOuter", EnumSetter(&TPanel::SetBevelOuter, kBevelCuts), "bvRaised"},
        {"BevelInner", EnumSetter(&TPanel::SetBevelInner, kBevelCuts), "bvNone"},
        {"BevelWidth", IntSetter(&TPanel::SetBevelWidth), "1"}}});

  RegisterComponentClass(
      {"TLabel",
       "TControl",
       Factory<TLabel>(),
       {{"AutoSize", BoolSetter(&TLabel::SetAutoSize), "true"},
        {"Transparent", BoolSetter(&TLabel::SetTransparent), "false"},
        {"Alignment",
         EnumSetter(&TLabel::SetAlignment, {"taLeftJustify", "taRightJustify", "taCenter"}),
         "taLeftJustify"},
        {"WordWrap", BoolSetter(&TLabel::SetWordWrap), "false"}}});

  RegisterComponentClass({"TEdit",
                          "TWinControl",
                          Factory<TEdit>(),
                          {{"Text", StringSetter<TControl>(&TControl::SetText), ""},
                           {"ReadOnly", BoolSetter(&TEdit::SetReadOnly), "false"},
                           {"MaxLength", IntSetter(&TEdit::SetMaxLength), "0"},
                           {"OnChange", EventSetter(&TEdit::OnChange), ""}}});

  RegisterComponentClass(
      {"TMemo",
       "TWinControl",
       Factory<TMemo>(),
       {{"Lines.Strings",
         Setter<TMemo>([](TMemo& m, const TPropertyValue& v) { m.SetLines(StringsOf(v)); }), ""},
        {"ReadOnly", BoolSetter(&TMemo::SetReadOnly), "false"},
        {"WordWrap", BoolSetter(&TMemo::SetWordWrap), "true"},
        {"ScrollBars",
         EnumSetter(&TMemo::SetScrollBars, {"ssNone", "ssHorizontal", "ssVertical", "ssBoth"}),
         "ssNone"},
        {"OnChange", EventSetter(&TMemo::OnChange), ""}}});

  RegisterComponentClass({"TButton", "TWinControl", Factory<TButton>(), {}});

  RegisterComponentClass({"TCheckBox",
                          "TWinControl",
                          Factory<TCheckBox>(),
                          {{"Checked", BoolSetter(&TCheckBox::SetChecked), "false"}}});

  RegisterComponentClass(
      {"TComboBox",
       "TWinControl",
       Factory<TComboBox>(),
       {{"Text", StringSetter<TControl>(&TControl::SetText), ""},
        {"Items.Strings",
         Setter<TComboBox>([](TComboBox& b, const TPropertyValue& v) { b.SetItems(StringsOf(v)); }),
         ""},
        {"ItemIndex", IntSetter(&TComboBox::SetItemIndex), "-1"},
        {"ItemHeight", IntSetter(&TComboBox::SetItemHeight), "13"},
        {"DropDownCount", IntSetter(&TComboBox::SetDropDownCount), "8"},
        {"Style", Setter<TComboBox>([](TComboBox&, const TPropertyValue& v) {
           v.AsEnum({"csDropDown"});  // the only style offered
         }),
         "csDropDown"},
        {"OnChange", EventSetter(&TComboBox::OnChange), ""}}});

  std::vector<TPublishedProperty> notebook = {
      {"PageIndex", IntSetter(&TTabbedNotebook::SetPageIndex), "0"}};
  for (auto& p : FontProperties("TabFont", [](TComponent& c) -> TFont& {
         return dynamic_cast<TTabbedNotebook&>(c).TabFont();
       }))
    notebook.push_back(std::move(p));
  RegisterComponentClass(
      {"TTabbedNotebook", "TWinControl", Factory<TTabbedNotebook>(), std::move(notebook)});
  RegisterComponentClass({"TTabPage", "TWinControl", Factory<TTabPage>(), {}});
}
