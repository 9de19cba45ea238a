// The user's settings file: kept between sessions, and a damaged or unreadable one never
// stops the program.
#include "services/qt/qt_settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "services/temp_dir.h"

namespace quorin::qtk {
namespace {
namespace fs = std::filesystem;

int lines(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

TEST(QtSettings, KeepsTextsBetweenSessions) {
  test::TempDir dir;
  const fs::path file = dir / "quorin/quorin.conf";  // the folder is made when written
  std::ostringstream warnings;
  {
    QtSettings s(file, warnings);
    EXPECT_TRUE(s.kept_in_file());
    s.set_value("dialogs/Save_As___/folder", "/home/me/dampers with blanks/");
    s.set_value("windows/Damper_Curve_Comparison/place", "pixels 10.5 20 900 600");
    s.set_value("analysis/odd", "a=b; c,\"d\" \xc3\xa9");
    s.set_value("gone", "x");
    s.remove("gone");
  }
  QtSettings again(file, warnings);
  EXPECT_EQ(again.value("dialogs/Save_As___/folder"), "/home/me/dampers with blanks/");
  EXPECT_EQ(again.value("windows/Damper_Curve_Comparison/place"), "pixels 10.5 20 900 600");
  EXPECT_EQ(again.value("analysis/odd"), "a=b; c,\"d\" \xc3\xa9");
  EXPECT_EQ(again.value("gone"), std::nullopt);
  EXPECT_EQ(warnings.str(), "");
}

TEST(QtSettings, ADamagedFileIsMovedAsideWithOneWarningAndTheSettingsStartAfresh) {
  test::TempDir dir;
  const char raw[] = "[windows\n\x00\xff garbage = = \n";
  const std::string damaged(raw, sizeof raw - 1);
  const fs::path file = dir.write("quorin.conf", damaged);
  std::ostringstream warnings;
  {
    QtSettings s(file, warnings);
    EXPECT_TRUE(s.kept_in_file());
    EXPECT_EQ(s.value("windows/x"), std::nullopt);
    s.set_value("dialogs/a/folder", "/tmp/");
  }
  EXPECT_EQ(lines(warnings.str()), 1) << warnings.str();
  EXPECT_NE(warnings.str().find("damaged"), std::string::npos) << warnings.str();
  EXPECT_EQ(test::TempDir::read(dir / "quorin.conf.bad"), damaged);
  EXPECT_EQ(QtSettings(file, warnings).value("dialogs/a/folder"), "/tmp/");
  EXPECT_EQ(lines(warnings.str()), 1) << "the fresh file warns no more";
}

TEST(QtSettings, AnUnreadableFileIsIgnoredWithOneWarningAndLeftAsItIs) {
  test::TempDir dir;
  // A folder where the file should be cannot be read as one, even by root.
  const fs::path file = dir / "quorin.conf";
  fs::create_directories(file / "inside");
  std::ostringstream warnings;
  {
    QtSettings s(file, warnings);
    EXPECT_FALSE(s.kept_in_file());
    s.set_value("windows/w/place", "pixels 1 2 3 4");  // kept for this session only
    EXPECT_EQ(s.value("windows/w/place"), "pixels 1 2 3 4");
  }
  EXPECT_EQ(lines(warnings.str()), 1) << warnings.str();
  EXPECT_NE(warnings.str().find("cannot be read"), std::string::npos) << warnings.str();
  EXPECT_TRUE(fs::is_directory(file / "inside"));
}

}  // namespace
}  // namespace quorin::qtk
