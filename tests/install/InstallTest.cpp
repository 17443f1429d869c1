// The installed tree, as `make install DESTDIR=...` leaves it (the install_stage fixture): every
// file is there and usable, and programs outside the tree build and run against the library.
#include <gtest/gtest.h>

#include <QImage>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/TallyvaneIcon.h"
#include "tests/support/CommandOutput.h"

namespace fs = std::filesystem;

namespace {

const fs::path kRoot = fs::path(TV_STAGE) / fs::path(TV_PREFIX).relative_path();
const fs::path kLibDir = kRoot / TV_LIBDIR;
const fs::path kSettings =
    fs::path(TV_STAGE) / fs::path(TV_SYSCONFDIR).relative_path() / "default/tallyvane";

bool OnPath(const std::string& program) {
  return RunCommand("command -v " + ShellQuoted(program)).status == 0;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The line "key=value" of a text file with the given key, without the key.
std::string Setting(const std::string& text, const std::string& key) {
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);)
    if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
  return "";
}

// The texts an installation configures from templates.
std::vector<fs::path> ConfiguredTexts() {
  return {kLibDir / "pkgconfig/tallyvane-components.pc",
          kLibDir / "cmake/TallyvaneComponents/TallyvaneComponentsConfig.cmake",
          kLibDir / "cmake/TallyvaneComponents/TallyvaneComponentsTargets.cmake",
          kRoot / "share/applications/tallyvane.desktop",
          kRoot / "lib/systemd/system/tallyvane.service"};
}

}  // namespace

// The configured texts, the settings and the icons are read by the tests of each below.
TEST(InstalledTree, HoldsProgramsLibraryHeadersAndDesktopFiles) {
  std::vector<fs::path> expected = {
      kRoot / "bin/tallyvane",
      kRoot / "bin/tallyvane-gallery",
      kLibDir / "libtallyvane-components.so",
      kLibDir / "libtallyvane-components.so.0",
      kRoot / "include/tallyvane/components/Cgauges/Cgauges.h",
      kRoot / "include/tallyvane/components/Perfgrap/Perfgrap.h",
      kRoot / "include/tallyvane/components/Ccalendr/Ccalendr.h",
      kRoot / "include/tallyvane/components/Cdiroutl/Cdiroutl.h",
      kRoot / "include/tallyvane/components/DisplayComponents.h",
      kRoot / "include/tallyvane/framework/Application.h",
      kRoot / "include/tallyvane/platform/WinTypes.h",
      kLibDir / "cmake/TallyvaneComponents/TallyvaneComponentsConfigVersion.cmake",
      kRoot / "share/man/man1/tallyvane.1.gz",
      kRoot / "share/man/man1/tallyvane-gallery.1.gz",
  };
  for (const char* package :
       {"tallyvane", "libtallyvane-components0", "libtallyvane-components-dev"}) {
    expected.push_back(kRoot / "share/doc" / package / "copyright");
    expected.push_back(kRoot / "share/doc" / package / "changelog.gz");
  }
  for (const fs::path& path : expected) EXPECT_TRUE(fs::is_regular_file(path)) << path;
  for (const char* program : {"bin/tallyvane", "bin/tallyvane-gallery"})
    EXPECT_NE(fs::status(kRoot / program).permissions() & fs::perms::others_exec, fs::perms::none)
        << program;
}

// The installed headers stand on their own, and none of the platform shims that no framework
// header needs comes with them.
TEST(InstalledTree, HeadersCompileTogetherWithoutThePlatformShims) {
  const fs::path include = kRoot / "include/tallyvane";
  const fs::path all = fs::path(TV_OUTSIDE_BUILD) / "AllHeaders.cpp";
  fs::create_directories(all.parent_path());
  std::ofstream source(all);
  int headers = 0;
  for (const auto& entry : fs::recursive_directory_iterator(include)) {
    if (!entry.is_regular_file()) continue;
    source << "#include \"" << fs::relative(entry.path(), include).string() << "\"\n";
    ++headers;
  }
  source.close();
  EXPECT_GT(headers, 30);
  for (const char* shim : {"Sockets.h", "Serial.h", "ThreadPrimitives.h", "FileSystem.h"})
    EXPECT_FALSE(fs::exists(include / "platform" / shim)) << shim;
  const CommandOutcome compile =
      RunCommand(std::string(TV_CXX) + " -std=c++20 -fsyntax-only -I" +
                 ShellQuoted(include.string()) + " " + ShellQuoted(all.string()));
  EXPECT_EQ(compile.status, 0) << compile.output;
}

TEST(InstalledTree, TextsHaveNoPlaceholdersAndNoPathsIntoTheWorkTree) {
  for (const fs::path& path : ConfiguredTexts()) {
    const std::string text = ReadFile(path);
    ASSERT_FALSE(text.empty()) << path;
    EXPECT_EQ(text.find(TV_SOURCE_DIR), std::string::npos) << path;
    EXPECT_EQ(text.find(TV_BUILD_DIR), std::string::npos) << path;
    EXPECT_EQ(text.find(TV_STAGE), std::string::npos) << path;
    for (const char* placeholder : {"@CMAKE_", "@PROJECT_", "@TV_"})
      EXPECT_EQ(text.find(placeholder), std::string::npos) << path << " " << placeholder;
  }
}

// The programs find every library without LD_LIBRARY_PATH.
TEST(InstalledTree, ProgramsLoadWithoutLibraryPath) {
  for (const char* file : {"bin/tallyvane", "bin/tallyvane-gallery"}) {
    const CommandOutcome ldd =
        RunCommand("env -u LD_LIBRARY_PATH ldd " + ShellQuoted((kRoot / file).string()));
    EXPECT_EQ(ldd.status, 0) << file << "\n" << ldd.output;
    EXPECT_EQ(ldd.output.find("not found"), std::string::npos) << file << "\n" << ldd.output;
    const CommandOutcome readelf = RunCommand("readelf -d " + ShellQuoted((kRoot / file).string()));
    EXPECT_EQ(readelf.output.find(TV_BUILD_DIR), std::string::npos) << readelf.output;
  }
}

TEST(DesktopEntry, ValidatesAndStartsTheInstalledProgramWithItsIcon) {
  const fs::path entry = kRoot / "share/applications/tallyvane.desktop";
  ASSERT_TRUE(OnPath("desktop-file-validate")) << "scripts/deps.sh installs desktop-file-utils";
  const CommandOutcome validate =
      RunCommand("desktop-file-validate " + ShellQuoted(entry.string()));
  EXPECT_EQ(validate.status, 0) << validate.output;
  EXPECT_EQ(validate.output, "");
  const std::string text = ReadFile(entry);
  EXPECT_TRUE(fs::is_regular_file(kRoot / "bin" / Setting(text, "Exec")));
  EXPECT_TRUE(fs::is_regular_file(kRoot / "share/icons/hicolor/48x48/apps" /
                                  (Setting(text, "Icon") + ".png")));
}

// Each package gets its own part of the installation, and together they make all of it: the
// programs and the service; the library under its soname; the files to build against it.
TEST(InstalledTree, SplitsIntoTheProgramTheLibraryAndItsDevelopmentFiles) {
  const std::string libDir = fs::path(TV_LIBDIR).string();
  const struct {
    std::string component;
    std::string path;  // under the prefix
  } owners[] = {
      {"program", "bin/tallyvane"},
      {"program", "bin/tallyvane-gallery"},
      {"program", "lib/systemd/system/tallyvane.service"},
      {"program", "share/man/man1/tallyvane-gallery.1.gz"},
      {"program", "share/doc/tallyvane/copyright"},
      {"library", libDir + "/libtallyvane-components.so.0"},
      {"library", "share/doc/libtallyvane-components0/changelog.gz"},
      {"development", libDir + "/libtallyvane-components.so"},
      {"development", "include/tallyvane/components/Cgauges/Cgauges.h"},
      {"development", libDir + "/pkgconfig/tallyvane-components.pc"},
      {"development", libDir + "/cmake/TallyvaneComponents/TallyvaneComponentsConfig.cmake"},
      {"development", "share/doc/libtallyvane-components-dev/copyright"},
  };
  auto part = [](const std::string& component) {
    return fs::path(std::string(TV_STAGE) + "-" + component);
  };
  for (const auto& owner : owners) {
    for (const char* component : {"program", "library", "development"}) {
      const fs::path path = part(component) / fs::path(TV_PREFIX).relative_path() / owner.path;
      EXPECT_EQ(fs::exists(fs::symlink_status(path)), owner.component == component)
          << component << " " << owner.path;
    }
  }
  EXPECT_TRUE(
      fs::is_regular_file(part("program") / fs::path(kSettings).lexically_relative(TV_STAGE)));
  size_t files = 0;
  size_t partFiles = 0;
  for (const auto& entry : fs::recursive_directory_iterator(TV_STAGE))
    files += !entry.is_directory();
  for (const char* component : {"program", "library", "development"})
    for (const auto& entry : fs::recursive_directory_iterator(part(component)))
      partFiles += !entry.is_directory();
  EXPECT_EQ(partFiles, files);
}

// The service's settings: nothing set, so the defaults stand, and every option explained.
TEST(ServiceSettings, AreAllCommentedOutAndExplainEveryOption) {
  const std::string text = ReadFile(kSettings);
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);)
    EXPECT_TRUE(line.empty() || line[0] == '#') << line;
  for (const char* option : {"--port", "--listen", "--allow", "--log-lines", "TALLYVANE_OPTIONS="})
    EXPECT_NE(text.find(option), std::string::npos) << option;
}

TEST(ServiceUnit, ParsesAndStartsTheInstalledProgram) {
  const fs::path unit = kRoot / "lib/systemd/system/tallyvane.service";
  const std::string text = ReadFile(unit);
  const std::string program = std::string(TV_PREFIX) + "/bin/tallyvane";
  ASSERT_EQ(Setting(text, "ExecStart"), program + " $TALLYVANE_OPTIONS");
  EXPECT_EQ(Setting(text, "EnvironmentFile"),
            "-" + std::string(TV_SYSCONFDIR) + "/default/tallyvane");

  if (!OnPath("systemd-analyze")) GTEST_SKIP() << "systemd-analyze is not installed";
  // systemd-analyze checks that ExecStart and the manual page exist, so the copy it reads starts
  // the staged program and man looks in the staged manual.
  const fs::path folder = fs::path(TV_OUTSIDE_BUILD) / "unit";
  fs::remove_all(folder);
  fs::create_directories(folder);
  std::string staged = text;
  staged.replace(staged.find("ExecStart=") + 10, program.size(),
                 (kRoot / "bin/tallyvane").string());
  std::ofstream(folder / "tallyvane.service") << staged;
  std::ofstream(folder / "tv-probe.service") << "[Service]\nExecStart=/bin/true\n";
  const std::string verify = "MANPATH=" + ShellQuoted((kRoot / "share/man").string()) +
                             " systemd-analyze verify " + ShellQuoted(folder.string()) + "/";
  const CommandOutcome baseline = RunCommand(verify + "tv-probe.service");
  if (baseline.status != 0 || !baseline.output.empty())
    GTEST_SKIP() << "systemd-analyze verify does not run here: " << baseline.output;
  const CommandOutcome outcome = RunCommand(verify + "tallyvane.service");
  EXPECT_EQ(outcome.status, 0) << outcome.output;
  EXPECT_EQ(outcome.output, "");

  // Locked down to what the server needs: an exposure of at most 2.0 of 10.
  const CommandOutcome security =
      RunCommand("systemd-analyze security --offline=true --threshold=20 " +
                 ShellQuoted((folder / "tallyvane.service").string()));
  EXPECT_EQ(security.status, 0) << security.output;
}

TEST(ManPages, FormatWithoutWarningsOrPlaceholders) {
  if (!OnPath("groff")) GTEST_SKIP() << "groff is not installed";
  for (const char* page : {"tallyvane.1.gz", "tallyvane-gallery.1.gz"}) {
    const std::string path = ShellQuoted((kRoot / "share/man/man1" / page).string());
    const CommandOutcome outcome = RunCommand("zcat " + path + " | groff -man -Tutf8 -ww -z");
    EXPECT_EQ(outcome.status, 0) << page << outcome.output;
    EXPECT_EQ(outcome.output, "") << page;
    const CommandOutcome text = RunCommand("zcat " + path);
    for (const char* unwanted : {"@CMAKE_", "@PROJECT_", "@TV_", TV_SOURCE_DIR, TV_BUILD_DIR})
      EXPECT_EQ(text.output.find(unwanted), std::string::npos) << page << " " << unwanted;
  }
}

// The theme's icons are the window's icon, pixel for pixel, at every size.
TEST(Icons, AreTheWindowIconEnlarged) {
  const QImage window = QImage(kTallyvaneIcon).convertToFormat(QImage::Format_ARGB32);
  ASSERT_FALSE(window.isNull());
  for (int size : {16, 32, 48, 64, 128, 256}) {
    const std::string side = std::to_string(size);
    const fs::path file =
        kRoot / "share/icons/hicolor" / (side + "x" + side) / "apps/tallyvane.png";
    const QImage icon =
        QImage(QString::fromStdString(file.string())).convertToFormat(QImage::Format_ARGB32);
    ASSERT_FALSE(icon.isNull()) << file;
    ASSERT_EQ(icon.width(), size);
    ASSERT_EQ(icon.height(), size);
    int wrong = 0;
    for (int y = 0; y < size; ++y) {
      for (int x = 0; x < size; ++x) {
        const QRgb want = window.pixel(x * window.width() / size, y * window.height() / size);
        const QRgb got = icon.pixel(x, y);
        const bool same = qAlpha(want) == 0 ? qAlpha(got) == 0 : got == want;
        if (!same) ++wrong;
      }
    }
    EXPECT_EQ(wrong, 0) << file;
  }
}

// Someone else's program, built with find_package(TallyvaneComponents) from the staged tree.
TEST(OutsideProgram, BuildsWithTheCMakePackageAndDrawsAGauge) {
  const fs::path build = fs::path(TV_OUTSIDE_BUILD) / "cmake";
  fs::remove_all(build);
  const CommandOutcome configure = RunCommand(
      std::string(TV_CMAKE) + " -S " + ShellQuoted(TV_OUTSIDE_SOURCE) + " -B " +
      ShellQuoted(build.string()) + " -DCMAKE_PREFIX_PATH=" + ShellQuoted(kRoot.string()) +
      " -DCMAKE_CXX_COMPILER=" + ShellQuoted(TV_CXX) + " -DCMAKE_CXX_FLAGS=" +
      ShellQuoted(TV_OUTSIDE_FLAGS) + " -DCMAKE_EXE_LINKER_FLAGS=" + ShellQuoted(TV_OUTSIDE_FLAGS));
  ASSERT_EQ(configure.status, 0) << configure.output;
  EXPECT_NE(configure.output.find("TallyvaneComponents from " + kLibDir.string()),
            std::string::npos)
      << configure.output;
  const CommandOutcome compile =
      RunCommand(std::string(TV_CMAKE) + " --build " + ShellQuoted(build.string()));
  ASSERT_EQ(compile.status, 0) << compile.output;

  const std::string program = ShellQuoted((build / "gauge_program").string());
  const CommandOutcome ldd = RunCommand("ldd " + program);
  EXPECT_NE(ldd.output.find((kLibDir / "libtallyvane-components.so.0").string()), std::string::npos)
      << ldd.output;
  const CommandOutcome run = RunCommand(program);
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("gauge at 40%: drawn"), std::string::npos) << run.output;
}

// The same program, compiled with the flags of the staged pkg-config file, which names the
// installation's own prefix; the sysroot moves it into the stage as for any staged library.
TEST(OutsideProgram, BuildsWithThePkgConfigFileAndDrawsAGauge) {
  const fs::path build = fs::path(TV_OUTSIDE_BUILD) / "pkg-config";
  fs::remove_all(build);
  fs::create_directories(build);
  const std::string pkgConfig = "PKG_CONFIG_PATH=" + ShellQuoted((kLibDir / "pkgconfig").string()) +
                                " PKG_CONFIG_SYSROOT_DIR=" + ShellQuoted(TV_STAGE) + " pkg-config ";
  const CommandOutcome validate = RunCommand(pkgConfig + "--validate tallyvane-components");
  EXPECT_EQ(validate.status, 0) << validate.output;
  const CommandOutcome libdir = RunCommand(pkgConfig + "--variable=libdir tallyvane-components");
  ASSERT_EQ(libdir.status, 0) << libdir.output;
  EXPECT_EQ(libdir.output, kLibDir.string() + "\n");

  const std::string program = (build / "gauge_program").string();
  const CommandOutcome compile = RunCommand(
      std::string(TV_CXX) + " -std=c++20 " + TV_OUTSIDE_FLAGS + " " +
      ShellQuoted(std::string(TV_OUTSIDE_SOURCE) + "/main.cpp") + " -o " + ShellQuoted(program) +
      " $(" + pkgConfig + "--cflags --libs tallyvane-components) -Wl,-rpath," +
      ShellQuoted(kLibDir.string()));
  ASSERT_EQ(compile.status, 0) << compile.output;
  const CommandOutcome run = RunCommand(ShellQuoted(program));
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("gauge at 40%: drawn"), std::string::npos) << run.output;
}
