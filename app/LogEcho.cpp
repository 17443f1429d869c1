#include "app/LogEcho.h"

#include <cstdio>
#include <ctime>
#include <string>

bool EchoLogToStandardOutput = false;

namespace {

std::string& PendingLine() {
  static std::string line;
  return line;
}

std::string Now() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S ", &local);
  return stamp;
}

}  // namespace

void EchoLogPiece(std::string_view piece) {
  if (!EchoLogToStandardOutput) return;
  std::string& line = PendingLine();
  while (!piece.empty()) {
    if (line.empty()) line = Now();
    const size_t end = piece.find('\n');
    line.append(piece.substr(0, end));
    if (end == std::string_view::npos) return;
    piece.remove_prefix(end + 1);
    while (!line.empty() && line.back() == '\r') line.pop_back();
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
    line.clear();
  }
}
