#include "framework/CommandLine.h"

#include <QCommandLineParser>
#include <QStringList>

struct TCommandLine::TParser {
  QCommandLineParser parser;
};

TCommandLine::TCommandLine(const std::string& description, const std::string& version,
                           const std::vector<TCommandLineOption>& options)
    : parser_(std::make_unique<TParser>()), version_(version) {
  QCommandLineParser& parser = parser_->parser;
  // "-port" is "--port", not the letters p, o, r and t.
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  parser.setApplicationDescription(QString::fromStdString(description));
  parser.addHelpOption();
  parser.addOption(QCommandLineOption(QStringLiteral("version"),
                                      QStringLiteral("Shows the program's version.")));
  for (const TCommandLineOption& option : options) {
    parser.addOption(QCommandLineOption(QString::fromStdString(option.name),
                                        QString::fromStdString(option.description),
                                        QString::fromStdString(option.valueName)));
  }
}

TCommandLine::~TCommandLine() = default;

TCommandLine::TOutcome TCommandLine::Parse(const std::vector<std::string>& arguments) {
  QStringList list;
  for (const std::string& argument : arguments) list << QString::fromLocal8Bit(argument);
  program_ = arguments.empty() ? std::string() : arguments.front();
  const size_t slash = program_.find_last_of('/');
  if (slash != std::string::npos) program_.erase(0, slash + 1);
  QCommandLineParser& parser = parser_->parser;
  if (!parser.parse(list)) {
    output_ = ErrorLine(parser.errorText().toStdString());
    return coWrong;
  }
  if (parser.isSet(QStringLiteral("help"))) {
    output_ = parser.helpText().toStdString();
    return coShown;
  }
  if (parser.isSet(QStringLiteral("version"))) {
    output_ = program_ + " " + version_ + "\n";
    return coShown;
  }
  if (!parser.positionalArguments().isEmpty()) {
    output_ = ErrorLine("Unexpected argument '" +
                        parser.positionalArguments().constFirst().toStdString() + "'.");
    return coWrong;
  }
  output_.clear();
  return coRun;
}

bool TCommandLine::IsSet(const std::string& name) const {
  return parser_->parser.isSet(QString::fromStdString(name));
}

std::string TCommandLine::Value(const std::string& name) const {
  return parser_->parser.value(QString::fromStdString(name)).toLocal8Bit().toStdString();
}

std::string TCommandLine::ErrorLine(const std::string& message) const {
  std::string text = message;
  if (!text.empty() && text.back() == '.') text.pop_back();
  return program_ + ": " + text + " (see " + program_ + " --help)\n";
}
