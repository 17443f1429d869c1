#include "framework/FormReader.h"

#include <cctype>
#include <vector>

#include "framework/ClassRegistry.h"
#include "framework/Control.h"

namespace {

class Parser {
 public:
  Parser(TComponent& root, const std::string& text) : root_(root), text_(text) {}

  // Reads the whole description. If anything fails on the way (the text, a constructor, a
  // property setter or a Loaded), the components made so far are deleted again, the root's
  // fields that held them are cleared and the root leaves the loading state; the exception
  // goes on to the caller as it was thrown.
  void Read() {
    try {
      ReadAll();
    } catch (...) {
      Abandon();
      throw;
    }
  }

 private:
  void ReadAll() {
    SkipBlank();
    const int line = line_;
    const std::string name = Identifier();
    Expect(':');
    const std::string className = Identifier();
    if (className != root_.ClassName())
      Fail(line, "the description is for " + className + ", not " + root_.ClassName());
    root_.SetName(name);
    loaded_.push_back(&root_);
    root_.SetLoading(true);
    Body(root_, className);
    SkipBlank();
    if (pos_ < text_.size()) Fail(line_, "text after the end of the root object");
    for (TComponent* component : loaded_) component->SetLoading(false);
    for (TComponent* component : loaded_) component->Loaded();
  }

  void Abandon() {
    for (TComponent* component : loaded_) component->SetLoading(false);
    auto* root = dynamic_cast<TDescriptionRoot*>(&root_);
    // Newest first, as an owner deletes them; the root itself was not made here.
    for (auto it = loaded_.rbegin(); it != loaded_.rend(); ++it) {
      TComponent* component = *it;
      if (component == &root_) continue;
      if (root) root->BindField(component->Name(), nullptr);
      delete component;
    }
    loaded_.clear();
  }

  [[noreturn]] void Fail(int line, const std::string& what) {
    throw EReadError("Form description line " + std::to_string(line) + ": " + what);
  }

  void SkipBlank() {
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if (c == '\n') {
        ++line_;
        ++pos_;
      } else if (std::isspace(static_cast<unsigned char>(c))) {
        ++pos_;
      } else if (c == '#') {
        while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
      } else {
        break;
      }
    }
  }

  bool Peek(char c) {
    SkipBlank();
    return pos_ < text_.size() && text_[pos_] == c;
  }

  void Expect(char c) {
    if (!Peek(c)) Fail(line_, std::string("expected '") + c + "'");
    ++pos_;
  }

  static bool IsIdentStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
  }
  static bool IsIdentChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
  }

  std::string Identifier() {
    SkipBlank();
    if (pos_ >= text_.size() || !IsIdentStart(text_[pos_])) Fail(line_, "expected a name");
    const size_t start = pos_;
    while (pos_ < text_.size() && IsIdentChar(text_[pos_])) ++pos_;
    return text_.substr(start, pos_ - start);
  }

  // A dotted property name such as Font.Height.
  std::string PropertyName() {
    std::string name = Identifier();
    while (pos_ < text_.size() && text_[pos_] == '.') {
      ++pos_;
      name += '.';
      name += Identifier();
    }
    return name;
  }

  std::string String() {
    Expect('"');
    std::string result;
    while (true) {
      if (pos_ >= text_.size() || text_[pos_] == '\n') Fail(line_, "unterminated string");
      const char c = text_[pos_++];
      if (c == '"') break;
      if (c != '\\') {
        result += c;
        continue;
      }
      if (pos_ >= text_.size()) Fail(line_, "unterminated string");
      const char e = text_[pos_++];
      switch (e) {
        case 'n':
          result += '\n';
          break;
        case 'r':
          result += '\r';
          break;
        case 't':
          result += '\t';
          break;
        case '\\':
        case '"':
          result += e;
          break;
        case 'x': {
          if (pos_ + 2 > text_.size() || !std::isxdigit(static_cast<unsigned char>(text_[pos_])) ||
              !std::isxdigit(static_cast<unsigned char>(text_[pos_ + 1])))
            Fail(line_, "bad \\x escape");
          result += static_cast<char>(std::stoi(text_.substr(pos_, 2), nullptr, 16));
          pos_ += 2;
          break;
        }
        default:
          Fail(line_, std::string("unknown escape \\") + e);
      }
    }
    return result;
  }

  TPropertyValue Value() {
    SkipBlank();
    TPropertyValue value;
    value.line = line_;
    value.root = &root_;
    if (pos_ >= text_.size()) Fail(line_, "expected a value");
    const char c = text_[pos_];
    if (c == '"') {
      value.kind = TPropertyValue::Kind::String;
      value.text = String();
    } else if (c == '-' || c == '+' || std::isdigit(static_cast<unsigned char>(c))) {
      const size_t start = pos_;
      if (c == '-' || c == '+') ++pos_;
      int base = 10;
      if (pos_ + 1 < text_.size() && text_[pos_] == '0' &&
          (text_[pos_ + 1] == 'x' || text_[pos_ + 1] == 'X')) {
        base = 16;
        pos_ += 2;
      }
      const size_t digits = pos_;
      while (pos_ < text_.size() && std::isxdigit(static_cast<unsigned char>(text_[pos_])) &&
             (base == 16 || std::isdigit(static_cast<unsigned char>(text_[pos_]))))
        ++pos_;
      if (pos_ == digits || pos_ - digits > 10) Fail(line_, "bad number");
      const long long magnitude = std::stoll(text_.substr(digits, pos_ - digits), nullptr, base);
      value.kind = TPropertyValue::Kind::Integer;
      value.integer = text_[start] == '-' ? -magnitude : magnitude;
    } else if (c == '(' || c == '[') {
      // A list of strings or a set of identifiers.
      const bool list = c == '(';
      ++pos_;
      value.kind = list ? TPropertyValue::Kind::List : TPropertyValue::Kind::Set;
      while (!Peek(list ? ')' : ']')) {
        value.items.push_back(list ? String() : Identifier());
        if (Peek(',')) ++pos_;
      }
      ++pos_;
    } else if (IsIdentStart(c)) {
      value.kind = TPropertyValue::Kind::Identifier;
      value.text = Identifier();
    } else {
      Fail(line_, "expected a value");
    }
    return value;
  }

  // Properties and children up to the closing brace.
  void Body(TComponent& component, const std::string& className) {
    Expect('{');
    while (!Peek('}')) {
      if (pos_ >= text_.size()) Fail(line_, "missing '}'");
      const int line = line_;
      const std::string name = PropertyName();
      if (Peek(':')) {
        ++pos_;
        Child(component, name, Identifier(), line);
        continue;
      }
      Expect('=');
      const TPropertyValue value = Value();
      const TPublishedProperty* property = FindPublishedProperty(className, name);
      if (!property) Fail(line, "unknown property '" + name + "' of " + className);
      property->setter(component, value);
    }
    ++pos_;
  }

  void Child(TComponent& parent, const std::string& name, const std::string& className, int line) {
    const TComponentClass* cls = FindComponentClass(className);
    if (!cls) Fail(line, "unknown class '" + className + "'");
    if (!cls->create) Fail(line, "class '" + className + "' cannot be created");
    if (root_.FindComponent(name)) Fail(line, "duplicate name '" + name + "'");
    TComponent* child = cls->create(&root_);
    child->SetName(name);
    child->SetLoading(true);
    loaded_.push_back(child);
    if (auto* control = dynamic_cast<TControl*>(child)) {
      if (auto* container = dynamic_cast<TWinControl*>(&parent)) control->SetParent(container);
    }
    if (auto* root = dynamic_cast<TDescriptionRoot*>(&root_)) root->BindField(name, child);
    Body(*child, className);
  }

  TComponent& root_;
  const std::string& text_;
  size_t pos_ = 0;
  int line_ = 1;
  std::vector<TComponent*> loaded_;
};

}  // namespace

void ReadFormDescription(TComponent& root, const std::string& text) {
  Parser parser(root, text);
  parser.Read();
}
