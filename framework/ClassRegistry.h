#pragma once
// Component classes known to form descriptions, with their published properties. A form
// description names classes and properties; the reader creates each component through its
// class's factory and writes each property through the setter registered here.

#include <any>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "framework/Color.h"
#include "framework/Component.h"
#include "framework/Exceptions.h"

// A value as written in a form description.
struct TPropertyValue {
  enum class Kind { Integer, String, Identifier, List, Set };
  Kind kind = Kind::Integer;
  int64_t integer = 0;
  std::string text;                // String and Identifier
  std::vector<std::string> items;  // List (strings) and Set (identifiers)
  int line = 0;                    // where it was written
  TComponent* root = nullptr;      // the form being read; event values name its methods

  // Conversions used by setters; each throws EReadError naming the line on a wrong kind.
  int32_t AsInt() const;
  bool AsBool() const;
  const std::string& AsString() const;
  const std::string& AsIdent() const;
  TColor AsColor() const;
  // An identifier from a fixed list of enumerators, mapped to its ordinal.
  int AsEnum(const std::vector<std::string>& enumerators) const;
  // A set of identifiers from a fixed list, as bits by their place in the list; what names one
  // member in the messages ("font style").
  unsigned AsSet(const std::vector<std::string>& members, const std::string& what) const;
  // The method of the root that an event property names, as the event type E.
  template <class E>
  E AsEvent() const;

  [[noreturn]] void Fail(const std::string& what) const;
};

using TPropertySetter = std::function<void(TComponent&, const TPropertyValue&)>;

struct TPublishedProperty {
  std::string name;  // "Width", "Font.Height", "OnClick"
  TPropertySetter setter;
  std::string defaultValue;  // as a form description would write it; empty when none
};

struct TComponentClass {
  std::string name;
  std::string parent;  // base class whose properties are inherited; empty for none
  std::function<TComponent*(TComponent* owner)> create;  // empty for abstract classes
  std::vector<TPublishedProperty> properties;
};

// Registers (or replaces) a class. Registration is explicit: each layer offers a function
// that registers its classes, and the program calls it before reading form descriptions.
void RegisterComponentClass(TComponentClass componentClass);
const TComponentClass* FindComponentClass(const std::string& name);
// The property of a class or of one of its bases; null when there is none.
const TPublishedProperty* FindPublishedProperty(const std::string& className,
                                                const std::string& propertyName);

// Methods that a form offers to its description's event properties, by name.
class TMethodTable {
 public:
  template <class E>
  void Add(const std::string& name, E method) {
    methods_[name] = std::move(method);
  }
  const std::any* Find(const std::string& name) const {
    auto it = methods_.find(name);
    return it == methods_.end() ? nullptr : &it->second;
  }

 private:
  std::map<std::string, std::any> methods_;
};

// Implemented by components that can be the root of a form description.
class TDescriptionRoot {
 public:
  virtual ~TDescriptionRoot() = default;
  virtual const TMethodTable& Methods() const = 0;
  // Stores a created component in the root's field of that name, if it has one.
  virtual void BindField(const std::string& name, TComponent* component) = 0;
};

template <class E>
E TPropertyValue::AsEvent() const {
  const std::string& name = AsIdent();
  auto* root = dynamic_cast<TDescriptionRoot*>(this->root);
  const std::any* method = root ? root->Methods().Find(name) : nullptr;
  if (!method) Fail("no method '" + name + "'");
  const E* event = std::any_cast<E>(method);
  if (!event) Fail("method '" + name + "' has the wrong type for this event");
  return *event;
}

// Helpers that build the common kinds of setter from a class's member functions.
template <class T>
TPropertySetter IntSetter(void (T::*set)(int)) {
  return [set](TComponent& c, const TPropertyValue& v) { (dynamic_cast<T&>(c).*set)(v.AsInt()); };
}
template <class T>
TPropertySetter BoolSetter(void (T::*set)(bool)) {
  return [set](TComponent& c, const TPropertyValue& v) { (dynamic_cast<T&>(c).*set)(v.AsBool()); };
}
template <class T>
TPropertySetter StringSetter(void (T::*set)(const std::string&)) {
  return
      [set](TComponent& c, const TPropertyValue& v) { (dynamic_cast<T&>(c).*set)(v.AsString()); };
}
template <class T>
TPropertySetter ColorSetter(void (T::*set)(TColor)) {
  return [set](TComponent& c, const TPropertyValue& v) { (dynamic_cast<T&>(c).*set)(v.AsColor()); };
}
template <class T, class Enum>
TPropertySetter EnumSetter(void (T::*set)(Enum), std::vector<std::string> enumerators) {
  return [set, enumerators](TComponent& c, const TPropertyValue& v) {
    (dynamic_cast<T&>(c).*set)(static_cast<Enum>(v.AsEnum(enumerators)));
  };
}
// An event property stored directly in a public field of type E.
template <class T, class E>
TPropertySetter EventSetter(E T::*field) {
  return [field](TComponent& c, const TPropertyValue& v) {
    dynamic_cast<T&>(c).*field = v.template AsEvent<E>();
  };
}
// An event property set through a member function.
template <class T, class E>
TPropertySetter EventSetter(void (T::*set)(E)) {
  return [set](TComponent& c, const TPropertyValue& v) {
    (dynamic_cast<T&>(c).*set)(v.template AsEvent<E>());
  };
}
