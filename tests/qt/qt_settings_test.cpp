// The user's settings file: kept between sessions, and a damaged or unreadable one never
// stops the program.
#include "services/qt/qt_settings.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <sstream>

#include "services/small_disk.h"
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

// Opens the settings in a thread of their own, so that a settings file which makes them wait
// (a FIFO without a writer) fails the test instead of hanging it: after a few seconds the FIFO
// is given a writer, which lets them go on.
std::string open_and_keep(const fs::path& file, bool& kept) {
  std::ostringstream warnings;
  auto done = std::async(std::launch::async, [&] {
    QtSettings s(file, warnings);
    kept = s.kept_in_file();
    s.set_value("dialogs/a/folder", "/tmp/");
  });
  if (done.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
    ADD_FAILURE() << "opening the settings waits on " << file;
    const int fd = ::open(file.c_str(), O_WRONLY | O_NONBLOCK);
    done.wait();
    if (fd >= 0) ::close(fd);
  }
  return warnings.str();
}

// What is found in the settings file's place: only a regular file holding settings is read and
// written; a FIFO, a device or a folder (also through a link) is left exactly as it is, and
// anyone else's text is moved aside whole before anything is written.
TEST(QtSettings, OnlyARegularSettingsFileIsReadOrWritten) {
  struct Row {
    const char* name;
    std::function<void(const test::TempDir&)> make;
    bool kept;
    const char* warns;
    std::function<void(const test::TempDir&)> check;
  };
  const std::string notes = "Shopping list\nmilk\ntyres for Sunday\n";
  auto fresh_settings = [](const test::TempDir& d) {
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(d / "quorin.conf")));
    EXPECT_EQ(QtSettings(d / "quorin.conf", std::cerr).value("dialogs/a/folder"), "/tmp/");
  };
  const Row rows[] = {
      {"fifo",
       [](const test::TempDir& d) { ASSERT_EQ(::mkfifo((d / "quorin.conf").c_str(), 0600), 0); },
       false, "cannot be read (it is a pipe (FIFO))",
       [](const test::TempDir& d) { EXPECT_TRUE(fs::is_fifo(d / "quorin.conf")); }},
      {"link to a device",
       [](const test::TempDir& d) {
         // A device node of our own, as /dev/null is, so that no real device is at stake.
         if (::mknod((d / "node").c_str(), S_IFCHR | 0600, makedev(1, 3)) != 0) {
           ASSERT_EQ(::mkfifo((d / "node").c_str(), 0600), 0);  // not allowed: a FIFO instead
         }
         fs::create_symlink(d / "node", d / "quorin.conf");
       },
       false, "cannot be read (it is a ",
       [](const test::TempDir& d) {
         EXPECT_TRUE(fs::is_symlink(d / "quorin.conf"));
         EXPECT_FALSE(fs::is_regular_file(d / "node")) << "the node was replaced";
       }},
      {"folder", [](const test::TempDir& d) { fs::create_directories(d / "quorin.conf" / "in"); },
       false, "cannot be read (it is a folder)",
       [](const test::TempDir& d) { EXPECT_TRUE(fs::is_directory(d / "quorin.conf" / "in")); }},
      {"link to someone else's text",
       [&](const test::TempDir& d) {
         d.write("notes.txt", notes);
         fs::create_symlink(d / "notes.txt", d / "quorin.conf");
       },
       true, "is damaged; it was moved to",
       [&](const test::TempDir& d) {
         EXPECT_EQ(test::TempDir::read(d / "notes.txt"), notes);
         EXPECT_TRUE(fs::is_symlink(d / "quorin.conf.bad")) << "the link is moved aside";
         fresh_settings(d);
       }},
      {"someone else's text", [&](const test::TempDir& d) { d.write("quorin.conf", notes); }, true,
       "is damaged; it was moved to",
       [&](const test::TempDir& d) {
         EXPECT_EQ(test::TempDir::read(d / "quorin.conf.bad"), notes);
         fresh_settings(d);
       }},
      {"link to settings",
       [](const test::TempDir& d) {
         d.write("kept.conf", "[windows]\nw=1\n");
         fs::create_symlink(d / "kept.conf", d / "quorin.conf");
       },
       true, "",
       [](const test::TempDir& d) {
         EXPECT_TRUE(fs::is_symlink(d / "quorin.conf")) << "a link to settings is followed";
         EXPECT_EQ(QtSettings(d / "kept.conf", std::cerr).value("dialogs/a/folder"), "/tmp/");
         EXPECT_EQ(QtSettings(d / "kept.conf", std::cerr).value("windows/w"), "1");
       }},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    test::TempDir dir;
    r.make(dir);
    bool kept = false;
    const std::string warnings = open_and_keep(dir / "quorin.conf", kept);
    EXPECT_EQ(kept, r.kept);
    if (*r.warns) {
      EXPECT_EQ(lines(warnings), 1) << warnings;
      EXPECT_NE(warnings.find(r.warns), std::string::npos) << warnings;
    } else {
      EXPECT_EQ(warnings, "");
    }
    r.check(dir);
  }
}

// Settings that do not fit on the disk leave the file exactly as it was, with one warning
// saying why; what fitted before is still there at the next start.
TEST(QtSettings, AFullDiskLeavesTheFileAsItWasWithOneWarning) {
  test::SmallDisk disk(16 * 1024);
  const fs::path file = disk / "quorin.conf";
  std::ostringstream warnings;
  {
    QtSettings s(file, warnings);
    s.set_value("dialogs/a/folder", "/tmp/");
  }
  const std::string before = test::TempDir::read(file);
  ASSERT_NE(before.find("/tmp/"), std::string::npos);
  {
    const auto full = disk.full();
    QtSettings s(file, warnings);
    s.set_value("windows/w/place", std::string(64 * 1024, '7'));
    s.sync();
    EXPECT_EQ(s.value("windows/w/place")->size(), 64u * 1024) << "kept for this session";
  }
  EXPECT_EQ(test::TempDir::read(file), before);
  EXPECT_EQ(lines(warnings.str()), 1) << warnings.str();
  EXPECT_NE(warnings.str().find("the settings were not kept"), std::string::npos) << warnings.str();
  EXPECT_NE(warnings.str().find(disk.is_tmpfs() ? "No space left on device" : "took only part"),
            std::string::npos)
      << warnings.str();
  EXPECT_EQ(QtSettings(file, warnings).value("dialogs/a/folder"), "/tmp/");
  EXPECT_EQ(std::distance(fs::directory_iterator(disk.folder()), fs::directory_iterator()), 1)
      << "nothing is left beside it";
}

}  // namespace
}  // namespace quorin::qtk
