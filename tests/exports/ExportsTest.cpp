// The component classes are exported with all their methods: the methods are read from the
// class declarations in the component headers, so that a method added later is checked too, and
// each is looked up among the defined dynamic symbols of the program and of the shared library.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

struct Method {
  std::string className;
  std::string name;
  int arity = 0;
  std::string declaration;
};

std::string ReadFile(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// The text with comments, string and character literals and preprocessor lines blanked out.
std::string CodeOnly(const std::string& text) {
  std::string code = text;
  enum { kCode, kLineComment, kBlockComment, kString, kChar } state = kCode;
  bool lineStart = true;
  for (size_t i = 0; i < code.size(); ++i) {
    const char c = code[i];
    const char next = i + 1 < code.size() ? code[i + 1] : '\0';
    switch (state) {
      case kCode:
        if (lineStart && c == '#') {
          state = kLineComment;
          code[i] = ' ';
        } else if (c == '/' && next == '/') {
          state = kLineComment;
          code[i] = ' ';
        } else if (c == '/' && next == '*') {
          state = kBlockComment;
          code[i] = ' ';
        } else if (c == '"') {
          state = kString;
        } else if (c == '\'') {
          state = kChar;
        }
        break;
      case kLineComment:
        if (c == '\n') {
          state = kCode;
        } else {
          code[i] = ' ';
        }
        break;
      case kBlockComment:
        if (c == '*' && next == '/') {
          code[i] = code[i + 1] = ' ';
          ++i;
          state = kCode;
        } else if (c != '\n') {
          code[i] = ' ';
        }
        break;
      case kString:
      case kChar:
        if (c == '\\') {
          code[i] = ' ';
          if (i + 1 < code.size()) code[++i] = ' ';
        } else if (c == (state == kString ? '"' : '\'')) {
          state = kCode;
        } else if (c != '\n') {
          code[i] = ' ';
        }
        break;
    }
    if (c == '\n') {
      lineStart = true;
    } else if (!std::isspace(static_cast<unsigned char>(c))) {
      lineStart = false;
    }
  }
  return code;
}

// The position of the bracket that closes the one at open.
size_t Closing(const std::string& text, size_t open) {
  const char opener = text[open];
  const char closer = opener == '{' ? '}' : opener == '(' ? ')' : opener == '[' ? ']' : '>';
  int depth = 0;
  for (size_t i = open; i < text.size(); ++i) {
    if (text[i] == opener) ++depth;
    if (text[i] == closer && --depth == 0) return i;
  }
  return std::string::npos;
}

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return "";
  const size_t last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

// The number of parameters in a parameter list without its parentheses.
int Arity(const std::string& parameters) {
  const std::string list = Trim(parameters);
  if (list.empty() || list == "void") return 0;
  int depth = 0;
  int commas = 0;
  for (char c : list) {
    if (c == '(' || c == '<' || c == '[' || c == '{') ++depth;
    if (c == ')' || c == '>' || c == ']' || c == '}') --depth;
    if (c == ',' && depth == 0) ++commas;
  }
  return commas + 1;
}

// The method a member declaration declares or defines, if it is one that has a body somewhere:
// data members, types, friends, pure and deleted functions are not.
bool ParseMember(const std::string& className, std::string chunk, Method& method) {
  static const std::regex access(R"(^\s*(public|protected|private)\s*:(?!:))");
  std::smatch match;
  while (std::regex_search(chunk, match, access)) chunk = match.suffix();
  chunk = Trim(chunk);
  static const std::regex skipped(
      R"(^(using|typedef|friend|static_assert|enum|class|struct|union|template)\b)");
  if (chunk.empty() || std::regex_search(chunk, skipped)) return false;
  int angle = 0;
  size_t open = std::string::npos;
  for (size_t i = 0; i < chunk.size(); ++i) {
    const char c = chunk[i];
    if (c == '<') ++angle;
    if (c == '>') --angle;
    if (c == '=' && angle == 0) return false;  // a data member with an initialiser
    if (c == '(' && angle == 0) {
      open = i;
      break;
    }
  }
  if (open == std::string::npos) return false;
  size_t end = open;
  while (end > 0 && std::isspace(static_cast<unsigned char>(chunk[end - 1]))) --end;
  size_t start = end;
  while (start > 0 && (std::isalnum(static_cast<unsigned char>(chunk[start - 1])) ||
                       chunk[start - 1] == '_' || chunk[start - 1] == '~')) {
    --start;
  }
  const std::string name = chunk.substr(start, end - start);
  if (name.empty() || name.find("operator") != std::string::npos) return false;
  const size_t afterOpen = chunk.find_first_not_of(" \t\r\n", open + 1);
  if (afterOpen != std::string::npos && (chunk[afterOpen] == '*' || chunk[afterOpen] == '&'))
    return false;  // a pointer to a function
  const size_t close = Closing(chunk, open);
  if (close == std::string::npos) return false;
  static const std::regex noBody(R"(=\s*(0|delete)\s*$)");
  if (std::regex_search(chunk.substr(close + 1), noBody)) return false;
  method = Method{className, name, Arity(chunk.substr(open + 1, close - open - 1)), chunk};
  return true;
}

// The methods of one class body, without its braces.
void ParseClassBody(const std::string& className, const std::string& body,
                    std::vector<Method>& methods) {
  std::string chunk;
  Method method;
  for (size_t i = 0; i < body.size(); ++i) {
    const char c = body[i];
    if (c == ';') {
      if (ParseMember(className, chunk, method)) methods.push_back(method);
      chunk.clear();
    } else if (c == '{') {
      const size_t close = Closing(body, i);
      if (close == std::string::npos) return;
      // A body right after a declarator ends an inline definition; any other braces (a nested
      // type, a brace initialiser) belong to a declaration that a ';' ends.
      const std::string head = Trim(chunk);
      if (!head.empty() && head.back() != '=' && ParseMember(className, chunk, method) &&
          chunk.find('(') != std::string::npos) {
        methods.push_back(method);
        chunk.clear();
      } else {
        chunk += ' ';
      }
      i = close;
    } else {
      chunk += c;
    }
  }
}

// Every class and structure defined in the headers below a folder, with its methods.
std::map<std::string, std::vector<Method>> DeclaredMethods(const std::string& folder) {
  std::map<std::string, std::vector<Method>> classes;
  static const std::regex classHead(
      R"(\b(class|struct)\s+([A-Za-z_]\w*)\s*(final\s*)?(:[^{;]*)?\{)");
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (entry.path().extension() != ".h") continue;
    const std::string code = CodeOnly(ReadFile(entry.path()));
    for (auto it = std::sregex_iterator(code.begin(), code.end(), classHead);
         it != std::sregex_iterator(); ++it) {
      const size_t open = static_cast<size_t>(it->position(0) + it->length(0) - 1);
      const size_t close = Closing(code, open);
      if (close == std::string::npos) continue;
      std::vector<Method>& methods = classes[(*it)[2]];
      ParseClassBody((*it)[2], code.substr(open + 1, close - open - 1), methods);
    }
  }
  return classes;
}

// A function symbol by class, name and parameter count, and how many such symbols differ in
// their parameter types.
using SymbolKey = std::tuple<std::string, std::string, int>;

std::map<SymbolKey, std::set<std::string>> ExportedFunctions(const std::string& file) {
  std::map<SymbolKey, std::set<std::string>> functions;
  const std::string command = "nm -D --defined-only -C '" + file + "' 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return functions;
  std::string line;
  std::array<char, 4096> buffer{};
  std::string output;
  while (fgets(buffer.data(), buffer.size(), pipe)) output += buffer.data();
  pclose(pipe);
  static const std::regex tag(R"(\[abi:\w+\])");
  static const std::regex head(R"(^([A-Za-z_]\w*)::(~?[A-Za-z_]\w*)\()");
  std::istringstream lines(output);
  while (std::getline(lines, line)) {
    // "<address> <type> <name>"
    const size_t first = line.find(' ');
    const size_t second = first == std::string::npos ? first : line.find(' ', first + 1);
    if (second == std::string::npos) continue;
    const std::string name = std::regex_replace(line.substr(second + 1), tag, "");
    std::smatch match;
    if (!std::regex_search(name, match, head)) continue;
    const size_t open = static_cast<size_t>(match.length(0) - 1);
    const size_t close = Closing(name, open);
    if (close == std::string::npos) continue;
    // A lambda or a local object inside the method is not the method.
    const std::string rest = name.substr(close + 1);
    if (rest.find("::") != std::string::npos || rest.find('{') != std::string::npos) continue;
    const std::string parameters = name.substr(open + 1, close - open - 1);
    functions[{match[1], match[2], Arity(parameters)}].insert(parameters + rest);
  }
  return functions;
}

class Exports : public testing::TestWithParam<const char*> {
 protected:
  static void SetUpTestSuite() { declared = new auto(DeclaredMethods(COMPONENT_HEADERS)); }
  static void TearDownTestSuite() {
    delete declared;
    declared = nullptr;
  }
  static std::map<std::string, std::vector<Method>>* declared;
};
std::map<std::string, std::vector<Method>>* Exports::declared = nullptr;

TEST(ExportedMethods, TheHeadersAreReadAsDeclared) {
  const auto classes = DeclaredMethods(COMPONENT_HEADERS);
  for (const char* name :
       {"TPerformanceGraph", "TCGauge", "TBltBitmap", "TCCalendar", "TCDirectoryOutline"}) {
    ASSERT_TRUE(classes.count(name)) << name;
  }
  auto names = [&](const std::string& className) {
    std::multiset<std::string> found;
    for (const Method& method : classes.at(className)) found.insert(method.name);
    return found;
  };
  const auto bitmap = names("TBltBitmap");
  for (const char* name : {"TBltBitmap", "~TBltBitmap", "MatchSize"}) {
    EXPECT_EQ(bitmap.count(name), 1u) << name;
  }
  const auto calendar = names("TCCalendar");
  for (const char* name : {"TCCalendar", "Change", "DaysThisMonth", "IsLeapYear", "UpdateCalendar",
                           "DaysPerMonth", "NextMonth", "PrevMonth", "Day", "SetDay", "DrawCell",
                           "SelectCell", "Click", "WMSize", "Dispatch"}) {
    EXPECT_EQ(calendar.count(name), 1u) << name;
  }
  EXPECT_EQ(calendar.count("OnChange"), 0u);  // a field, not a method
  EXPECT_EQ(calendar.count("calendarDate_"), 0u);
  std::map<std::string, int> arity;
  for (const Method& method : classes.at("TCCalendar")) arity[method.name] = method.arity;
  EXPECT_EQ(arity["DaysPerMonth"], 2);
  EXPECT_EQ(arity["NextMonth"], 0);
  EXPECT_EQ(arity["DrawCell"], 4);
  EXPECT_EQ(names("TGraphSlot").size(), 0u);  // data only
}

TEST_P(Exports, EveryDeclaredMethodIsADefinedDynamicSymbol) {
  const auto exported = ExportedFunctions(GetParam());
  ASSERT_FALSE(exported.empty()) << "no symbols read from " << GetParam();
  int checked = 0;
  for (const auto& [className, methods] : *declared) {
    std::map<SymbolKey, int> wanted;
    for (const Method& method : methods) ++wanted[{className, method.name, method.arity}];
    for (const auto& [key, count] : wanted) {
      auto it = exported.find(key);
      const int found = it == exported.end() ? 0 : static_cast<int>(it->second.size());
      EXPECT_GE(found, count) << std::get<0>(key) << "::" << std::get<1>(key) << " with "
                              << std::get<2>(key) << " parameters is not exported by "
                              << GetParam();
      ++checked;
    }
  }
  EXPECT_GT(checked, 100);
}

INSTANTIATE_TEST_SUITE_P(ProgramAndLibrary, Exports, testing::Values(PROGRAM_FILE, LIBRARY_FILE),
                         [](const testing::TestParamInfo<const char*>& info) {
                           return std::string(info.index == 0 ? "Program" : "Library");
                         });

}  // namespace
