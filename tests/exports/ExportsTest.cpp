// The component classes are exported with all their methods. ComponentMethods.txt lists them;
// the list is checked against the methods the component sources define, so that a method added
// later must be listed, and each listed method is looked up among the defined dynamic symbols of
// the program and of the shared library.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "tests/support/CommandOutput.h"

namespace {

using Signatures = std::set<std::string>;

// A symbol table's methods of classes, as "Class::Method(parameters) const", in the spelling of
// the list: no ABI tags, std::string by that name.
Signatures Methods(const std::string& nmArguments, const std::string& file) {
  const CommandOutcome table =
      RunCommand("nm -C --defined-only " + nmArguments + " " + ShellQuoted(file));
  static const std::regex tag(R"(\[abi:\w+\])");
  static const std::regex string(
      R"(std::__cxx11::basic_string<char, std::char_traits<char>, std::allocator<char> >)");
  // A method and not a lambda or a local object inside one.
  static const std::regex method(R"(^[A-Za-z_]\w*::~?[A-Za-z_]\w*\([^{]*\)( const)?$)");
  Signatures methods;
  std::istringstream lines(table.output);
  for (std::string line; std::getline(lines, line);) {
    // "<address> <type> <name>": functions in the text section only.
    const size_t type = line.find(' ');
    if (type == std::string::npos || line.compare(type, 3, " T ") != 0) continue;
    std::string name = std::regex_replace(line.substr(type + 3), tag, "");
    name = std::regex_replace(name, string, "std::string");
    if (std::regex_match(name, method) && name.find(")::") == std::string::npos)
      methods.insert(name);
  }
  return methods;
}

Signatures Listed() {
  std::ifstream file(METHOD_LIST);
  Signatures listed;
  for (std::string line; std::getline(file, line);)
    if (!line.empty()) listed.insert(line);
  return listed;
}

void ExpectContains(const Signatures& whole, const Signatures& part, const std::string& wholeName,
                    const std::string& partName) {
  for (const std::string& signature : part)
    EXPECT_TRUE(whole.count(signature))
        << signature << " of " << partName << " is not in " << wholeName;
}

TEST(ComponentMethodList, IsWhatTheComponentSourcesDefine) {
  const Signatures listed = Listed();
  const Signatures defined = Methods("", COMPONENT_ARCHIVE);
  ASSERT_GT(listed.size(), 100u) << METHOD_LIST;
  ExpectContains(defined, listed, "the component sources", "the list");
  ExpectContains(listed, defined, "the list", "the component sources");
}

class Exports : public testing::TestWithParam<const char*> {};

TEST_P(Exports, EveryListedMethodIsADefinedDynamicSymbol) {
  const Signatures exported = Methods("-D", GetParam());
  ASSERT_FALSE(exported.empty()) << "no symbols read from " << GetParam();
  ExpectContains(exported, Listed(), GetParam(), "the list");
}

INSTANTIATE_TEST_SUITE_P(ProgramAndLibrary, Exports, testing::Values(PROGRAM_FILE, LIBRARY_FILE),
                         [](const testing::TestParamInfo<const char*>& info) {
                           return std::string(info.index == 0 ? "Program" : "Library");
                         });

}  // namespace
