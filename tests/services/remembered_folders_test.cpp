// File dialogs that start in the folder the same dialog was last answered in.
#include "services/remembered_folders.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "services/temp_dir.h"

namespace quorin {
namespace {

struct Rig {
  test::TempDir dir;
  std::string dyno = (dir.path() / "dyno").string() + "/";
  std::string curves = (dir.path() / "curves").string() + "/";
  ScriptedDialogs answers;
  MemorySettings settings;
  FolderRememberingDialogs dialogs{answers, settings};
  Rig() {
    std::filesystem::create_directories(dyno);
    std::filesystem::create_directories(curves);
  }
};

constexpr const char* kDyno = "Select a Roehrig Shock File";
constexpr const char* kImport = "Select an Import File...";

TEST(FolderRememberingDialogs, APatternAloneOpensWhereTheSameDialogWasLastAnswered) {
  Rig r;
  r.answers.push({false, "run1.pvp", r.dyno});
  r.answers.push({false, "curve.txt", r.curves});
  r.dialogs.open_file("*.pvp", kDyno);
  EXPECT_EQ(r.answers.last_filter(), "*.pvp");  // nothing remembered yet
  r.dialogs.open_file("*.txt", kImport);

  // A later session: new dialogs over the same settings.
  ScriptedDialogs answers;
  FolderRememberingDialogs later(answers, r.settings);
  later.open_file("*.pvp", kDyno);
  EXPECT_EQ(answers.last_filter(), r.dyno + "*.pvp");
  later.save_file("*.txt", kImport);
  EXPECT_EQ(answers.last_filter(), r.curves + "*.txt");
}

TEST(FolderRememberingDialogs, TheProgramsOwnFolderWinsAndCancelsAreNotRemembered) {
  Rig r;
  r.answers.push({false, "run1.pvp", r.dyno});
  r.dialogs.open_file("*.pvp", kDyno);
  r.dialogs.open_file(r.curves + "*.pvp", kDyno);  // cancelled: nothing queued
  EXPECT_EQ(r.answers.last_filter(), r.curves + "*.pvp");
  EXPECT_EQ(r.settings.value(FolderRememberingDialogs::folder_key(kDyno)), r.dyno);
}

TEST(FolderRememberingDialogs, AFolderThatIsGoneOrAKeptTextThatIsNoFolderIsPassedOver) {
  Rig r;
  const std::string key = FolderRememberingDialogs::folder_key(kDyno);
  for (const std::string& kept :
       {(r.dir.path() / "gone").string(), std::string(""), std::string("\x01 not a folder")}) {
    r.settings.set_value(key, kept);
    r.dialogs.open_file("*.pvp", kDyno);
    EXPECT_EQ(r.answers.last_filter(), "*.pvp") << kept;
  }
}

TEST(SettingsKeyPart, KeepsLettersAndDigitsOnly) {
  EXPECT_EQ(settings_key_part("Damper Curve Comparison"), "Damper_Curve_Comparison");
  EXPECT_EQ(settings_key_part("a/b\\c=d"), "a_b_c_d");
  EXPECT_EQ(settings_key_part(""), "_");
  EXPECT_EQ(FolderRememberingDialogs::folder_key("Save As..."), "dialogs/Save_As___/folder");
}

}  // namespace
}  // namespace quorin
