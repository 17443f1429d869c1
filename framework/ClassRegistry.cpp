#include "framework/ClassRegistry.h"

#include <algorithm>

namespace {

std::map<std::string, TComponentClass>& Classes() {
  static std::map<std::string, TComponentClass> classes;
  return classes;
}

const char* KindName(TPropertyValue::Kind kind) {
  static const char* const kNames[] = {"an integer", "a string", "an identifier", "a list",
                                       "a set"};
  return kNames[static_cast<int>(kind)];
}

}  // namespace

void TPropertyValue::Fail(const std::string& what) const {
  throw EReadError(FormatText("Form description line %d: %s", line, what.c_str()));
}

int32_t TPropertyValue::AsInt() const {
  if (kind != Kind::Integer) Fail(std::string("expected an integer, found ") + KindName(kind));
  if (integer < INT32_MIN || integer > UINT32_MAX) Fail("integer out of range");
  return static_cast<int32_t>(integer);
}

bool TPropertyValue::AsBool() const {
  if (kind == Kind::Identifier && text == "true") return true;
  if (kind == Kind::Identifier && text == "false") return false;
  Fail("expected true or false");
}

const std::string& TPropertyValue::AsString() const {
  if (kind != Kind::String) Fail(std::string("expected a string, found ") + KindName(kind));
  return text;
}

const std::string& TPropertyValue::AsIdent() const {
  if (kind != Kind::Identifier)
    Fail(std::string("expected an identifier, found ") + KindName(kind));
  return text;
}

TColor TPropertyValue::AsColor() const {
  if (kind == Kind::Integer) return static_cast<TColor>(integer);
  if (kind == Kind::Identifier) {
    if (auto color = ColorFromIdent(text)) return *color;
    Fail("unknown colour '" + text + "'");
  }
  Fail("expected a colour");
}

int TPropertyValue::AsEnum(const std::vector<std::string>& enumerators) const {
  const std::string& name = AsIdent();
  auto it = std::find(enumerators.begin(), enumerators.end(), name);
  if (it == enumerators.end()) Fail("unknown value '" + name + "'");
  return static_cast<int>(it - enumerators.begin());
}

unsigned TPropertyValue::AsSet(const std::vector<std::string>& members,
                               const std::string& what) const {
  if (kind != Kind::Set) Fail("expected a set of " + what + "s");
  unsigned bits = 0;
  for (const std::string& item : items) {
    auto it = std::find(members.begin(), members.end(), item);
    if (it == members.end()) Fail("unknown " + what + " '" + item + "'");
    bits |= 1u << (it - members.begin());
  }
  return bits;
}

void RegisterComponentClass(TComponentClass componentClass) {
  std::string name = componentClass.name;
  Classes()[name] = std::move(componentClass);
}

const TComponentClass* FindComponentClass(const std::string& name) {
  auto it = Classes().find(name);
  return it == Classes().end() ? nullptr : &it->second;
}

const TPublishedProperty* FindPublishedProperty(const std::string& className,
                                                const std::string& propertyName) {
  for (const TComponentClass* cls = FindComponentClass(className); cls;
       cls = cls->parent.empty() ? nullptr : FindComponentClass(cls->parent)) {
    for (const TPublishedProperty& property : cls->properties)
      if (property.name == propertyName) return &property;
  }
  return nullptr;
}
