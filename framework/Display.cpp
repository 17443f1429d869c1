#include "framework/Display.h"

#include <QGuiApplication>
#include <cstdlib>
#include <cstring>

namespace {

bool Set(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr && *value != '\0';
}

}  // namespace

bool ChooseOffscreenWithoutDisplay(int argc, char** argv) {
  if (Set("DISPLAY") || Set("WAYLAND_DISPLAY") || Set("QT_QPA_PLATFORM")) return false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0 ||
        std::strncmp(argv[i], "-platform=", 10) == 0 ||
        std::strncmp(argv[i], "--platform=", 11) == 0)
      return false;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  return true;
}

bool RunningOffscreen() {
  return QGuiApplication::platformName() == QStringLiteral("offscreen");
}
