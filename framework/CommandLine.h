#pragma once
// A program's command line options, read with the toolkit's parser. The program names its
// options and checks their values; the parser adds --help and --version and knows the usual
// forms ("--port NAME", "--port=NAME").

#include <memory>
#include <string>
#include <vector>

struct TCommandLineOption {
  std::string name;       // without the dashes
  std::string valueName;  // empty for an option without a value
  std::string description;
};

class TCommandLine {
 public:
  TCommandLine(const std::string& description, const std::string& version,
               const std::vector<TCommandLineOption>& options);
  ~TCommandLine();
  TCommandLine(const TCommandLine&) = delete;
  TCommandLine& operator=(const TCommandLine&) = delete;

  enum TOutcome {
    coRun,    // the options are read; the program goes on
    coShown,  // --help or --version: Output() holds the text for standard output
    coWrong,  // Output() holds one line for standard error
  };
  // The arguments as the program got them, its own name first.
  TOutcome Parse(const std::vector<std::string>& arguments);
  const std::string& Output() const { return output_; }

  bool IsSet(const std::string& name) const;
  // The value given last.
  std::string Value(const std::string& name) const;

  // The line for standard error on a wrong value: "PROGRAM: MESSAGE (see PROGRAM --help)".
  std::string ErrorLine(const std::string& message) const;

 private:
  struct TParser;
  std::unique_ptr<TParser> parser_;
  std::string program_;
  std::string version_;
  std::string output_;
};
