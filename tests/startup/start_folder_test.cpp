// Choosing the start folder and making the user's own from the installed copy.
#include "startup/start_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "services/desk.h"
#include "services/temp_dir.h"

namespace quorin {
namespace {
namespace fs = std::filesystem;

// The files of a folder (relative path -> content), to see what was written where.
std::map<std::string, std::string> contents(const fs::path& folder) {
  std::map<std::string, std::string> files;
  if (!fs::exists(folder)) return files;
  for (const auto& e : fs::recursive_directory_iterator(folder))
    if (e.is_regular_file())
      files[e.path().lexically_relative(folder).string()] = test::TempDir::read(e.path());
  return files;
}

// A scratch installation: <root>/usr/bin for the executables, <root>/usr/share/quorin holding
// a copy of the supplied files, a current folder and a home, all empty unless a test fills them.
struct Installation {
  test::TempDir root;
  fs::path bin = root / "usr/bin", copy = root / "usr/share/quorin";
  fs::path cwd = root / "work", home = root / "home", user = home / ".local/share/quorin";

  Installation() {
    for (const fs::path& p : {bin, copy, cwd, home}) fs::create_directories(p);
    fill(copy, "installed ");
  }
  // The two marker files, a logo and a nested file, each naming where it came from.
  static void fill(const fs::path& folder, const std::string& origin) {
    fs::create_directories(folder / "more");
    for (const char* name : {"quorin_matrix_2007_v1.mat", "quorin_interface_v41.mat",
                             "logo_plot.bmp", "more/nested.mat"})
      std::ofstream(folder / name, std::ios::binary) << origin << name;
  }
  StartPlaces places() const { return {cwd, bin, user, installed_data_folder(bin)}; }
};

TEST(UserStartFolder, FollowsXdgDataHomeElseHome) {
  struct Row {
    const char* name;
    const char* xdg;
    const char* home;
    std::optional<fs::path> expected;
  };
  const Row rows[] = {
      {"xdg_set", "/data/me", "/home/me", fs::path("/data/me/quorin")},
      {"xdg_unset", nullptr, "/home/me", fs::path("/home/me/.local/share/quorin")},
      {"xdg_empty", "", "/home/me", fs::path("/home/me/.local/share/quorin")},
      {"xdg_relative_is_ignored", "data", "/home/me", fs::path("/home/me/.local/share/quorin")},
      {"xdg_without_home", "/data/me", nullptr, fs::path("/data/me/quorin")},
      {"neither", nullptr, nullptr, std::nullopt},
      {"relative_home", nullptr, "me", std::nullopt},
  };
  for (const Row& r : rows) EXPECT_EQ(user_start_folder(r.xdg, r.home), r.expected) << r.name;
}

TEST(InstalledDataFolder, IsShareQuorinBesideTheBinFolder) {
  EXPECT_EQ(installed_data_folder("/usr/bin"), fs::path("/usr/share/quorin"));
  EXPECT_EQ(installed_data_folder("/tmp/root/usr/local/bin"),
            fs::path("/tmp/root/usr/local/share/quorin"));
}

TEST(PrepareStartFolder, CurrentFolderThenExecutablesFolderWinWithoutCopying) {
  {
    Installation inst;
    Installation::fill(inst.cwd, "cwd ");
    Installation::fill(inst.bin, "bin ");
    EXPECT_EQ(prepare_start_folder(inst.places()).folder, inst.cwd);
    EXPECT_FALSE(fs::exists(inst.user));
  }
  {
    Installation inst;
    Installation::fill(inst.bin, "bin ");  // a build folder: the files beside the program
    const StartFolder chosen = prepare_start_folder(inst.places());
    EXPECT_EQ(chosen.folder, inst.bin);
    EXPECT_TRUE(chosen.copied.empty());
    EXPECT_FALSE(fs::exists(inst.user));
  }
}

TEST(PrepareStartFolder, FirstStartCopiesTheInstalledFilesAndMakesAnEmptyExportFile) {
  Installation inst;
  const auto installed = contents(inst.copy);
  const StartFolder chosen = prepare_start_folder(inst.places());

  EXPECT_EQ(chosen.folder, inst.user);
  EXPECT_FALSE(chosen.problem.has_value());
  EXPECT_EQ(chosen.copied.size(), 4u);
  EXPECT_TRUE(chosen.made_export_file);
  auto expected = installed;
  expected["data/export.txt"] = "";
  EXPECT_EQ(contents(inst.user), expected);
  EXPECT_EQ(contents(inst.copy), installed);  // the installed copy is only read
  EXPECT_TRUE(contents(inst.cwd).empty());
  EXPECT_NE(describe_start_folder(chosen, inst.places()).find("copied 4 supplied files"),
            std::string::npos);
}

TEST(PrepareStartFolder, LaterStartsReplaceNothingAndBringBackWhatIsMissing) {
  Installation inst;
  prepare_start_folder(inst.places());
  std::ofstream(inst.user / "data/export.txt", std::ios::binary) << "exported curves\n";
  std::ofstream(inst.user / "logo_plot.bmp", std::ios::binary) << "the user's own logo";
  std::ofstream(inst.user / "damper.mat", std::ios::binary) << "a saved damper file";

  const StartFolder again = prepare_start_folder(inst.places());
  EXPECT_TRUE(again.copied.empty());
  EXPECT_FALSE(again.made_export_file);
  EXPECT_EQ(describe_start_folder(again, inst.places()), "");

  fs::remove(inst.user / "quorin_interface_v41.mat");
  fs::remove_all(inst.user / "more");
  const StartFolder mended = prepare_start_folder(inst.places());
  EXPECT_EQ(mended.folder, inst.user);
  EXPECT_EQ(mended.copied.size(), 2u);
  const auto now = contents(inst.user);
  EXPECT_EQ(now.at("quorin_interface_v41.mat"), "installed quorin_interface_v41.mat");
  EXPECT_EQ(now.at("more/nested.mat"), "installed more/nested.mat");
  EXPECT_EQ(now.at("data/export.txt"), "exported curves\n");
  EXPECT_EQ(now.at("logo_plot.bmp"), "the user's own logo");
  EXPECT_EQ(now.at("damper.mat"), "a saved damper file");
  for (const auto& [name, content] : now) EXPECT_EQ(name.find(".part-"), std::string::npos);
}

TEST(PrepareStartFolder, AUserFolderThatCannotBeMadeFallsBackToReadingTheInstalledCopy) {
  Installation inst;
  // A file where the user's folder should go cannot be made into a folder, even by root.
  fs::create_directories(inst.user.parent_path());
  std::ofstream(inst.user) << "in the way";
  const auto installed = contents(inst.copy);

  const StartFolder chosen = prepare_start_folder(inst.places());
  EXPECT_EQ(chosen.folder, installed_data_folder(inst.bin));
  ASSERT_TRUE(chosen.problem.has_value());
  EXPECT_NE(chosen.problem->find(inst.user.string()), std::string::npos) << *chosen.problem;
  EXPECT_NE(describe_start_folder(chosen, inst.places()).find("exports will fail"),
            std::string::npos);
  EXPECT_EQ(contents(inst.copy), installed);
}

TEST(PrepareStartFolder, NoHomeReadsTheInstalledCopyAndNoInstalledCopyKeepsTheExecutablesFolder) {
  Installation inst;
  StartPlaces homeless = inst.places();
  homeless.user_folder.reset();
  const StartFolder chosen = prepare_start_folder(homeless);
  EXPECT_EQ(chosen.folder, installed_data_folder(inst.bin));
  EXPECT_TRUE(chosen.problem.has_value());

  fs::remove_all(inst.copy);
  const StartFolder bare = prepare_start_folder(inst.places());
  EXPECT_EQ(bare.folder, inst.bin);  // its start-up then names the missing file
  EXPECT_FALSE(fs::exists(inst.user));
}

// A desk that answers every question the same way and records what it was asked.
class AnsweringDesk : public Desk {
 public:
  explicit AnsweringDesk(bool yes) : yes_(yes) {}
  void attach(gfx::Model&, Runner, CloseHandler) override {}
  Dialogs& dialogs() override { return dialogs_; }
  Printer& printer() override { return printer_; }
  Clipboard& clipboard() override { return clipboard_; }
  PictureWriter& pictures() override { return pictures_; }
  Settings& settings() override { return settings_; }
  void show_error(const std::string& message) override { errors.push_back(message); }
  void tell(const std::string&, const std::string& message) override { errors.push_back(message); }
  bool ask(const std::string&, const std::string& question) override {
    questions.push_back(question);
    return yes_;
  }
  bool yes_;
  std::vector<std::string> questions, errors;
  MemorySettings settings_;

 private:
  ScriptedDialogs dialogs_;
  ScriptedPrinter printer_;
  ScriptedClipboard clipboard_;
  RecordingPictureWriter pictures_;
};

// Every later start compares the user's copies of the supplied files with the installed ones:
// a file cut short or changed within its size is found; an untouched one, the growing export
// file and the user's own files are not.
TEST(PrepareStartFolder, FindsTheSuppliedFilesThatDifferFromTheInstalledCopy) {
  Installation inst;
  prepare_start_folder(inst.places());
  std::ofstream(inst.user / "data/export.txt", std::ios::binary) << "exported curves\n";
  std::ofstream(inst.user / "damper.mat", std::ios::binary) << "a saved damper file";
  struct Row {
    const char* file;
    std::string content;  // nothing: left as installed
    bool differs;
  } rows[] = {
      {"quorin_matrix_2007_v1.mat", "installed quorin_matr", true},              // cut short
      {"quorin_interface_v41.mat", "installed quorin_interface_v41.maX", true},  // same size
      {"logo_plot.bmp", "", false},
      {"more/nested.mat", "", false},
  };
  for (const Row& r : rows)
    if (!r.content.empty()) std::ofstream(inst.user / r.file, std::ios::binary) << r.content;
  const StartFolder again = prepare_start_folder(inst.places());
  EXPECT_EQ(again.folder, inst.user);
  for (const Row& r : rows) {
    const bool listed = std::find(again.differing.begin(), again.differing.end(),
                                  fs::path(r.file)) != again.differing.end();
    EXPECT_EQ(listed, r.differs) << r.file;
  }
  EXPECT_EQ(again.differing.size(), 2u);
  EXPECT_EQ(file_checksum(inst.user / "logo_plot.bmp"), file_checksum(inst.copy / "logo_plot.bmp"));
  EXPECT_NE(file_checksum(inst.user / "quorin_interface_v41.mat"),
            file_checksum(inst.copy / "quorin_interface_v41.mat"));
}

// Yes puts the installed copies back and keeps the damaged ones aside; No keeps them and is
// not asked again until the file changes.
TEST(OfferInstalledCopies, PutsBackOrKeepsAsAnsweredKeepingTheDamagedFileAside) {
  Installation inst;
  prepare_start_folder(inst.places());
  const std::string installed = "installed quorin_interface_v41.mat";
  const fs::path damaged = inst.user / "quorin_interface_v41.mat";
  std::ofstream(damaged, std::ios::binary) << "damaged";
  std::ofstream(inst.user / "quorin_interface_v41.mat.damaged", std::ios::binary) << "earlier";
  std::ostringstream console;

  AnsweringDesk no(false);
  StartFolder chosen = prepare_start_folder(inst.places());
  offer_installed_copies(chosen, inst.places(), no, console);
  ASSERT_EQ(no.questions.size(), 1u);
  EXPECT_NE(no.questions[0].find("quorin_interface_v41.mat"), std::string::npos);
  EXPECT_EQ(test::TempDir::read(damaged), "damaged");
  chosen = prepare_start_folder(inst.places());
  offer_installed_copies(chosen, inst.places(), no, console);
  EXPECT_EQ(no.questions.size(), 1u) << "a file kept as it is is not asked about again";
  std::ofstream(damaged, std::ios::binary) << "damaged again";
  chosen = prepare_start_folder(inst.places());
  offer_installed_copies(chosen, inst.places(), no, console);
  EXPECT_EQ(no.questions.size(), 2u) << "until it changes";

  AnsweringDesk yes(true);
  chosen = prepare_start_folder(inst.places());
  offer_installed_copies(chosen, inst.places(), yes, console);
  ASSERT_EQ(yes.questions.size(), 1u);
  EXPECT_TRUE(yes.errors.empty());
  EXPECT_TRUE(chosen.differing.empty());
  const auto now = contents(inst.user);
  EXPECT_EQ(now.at("quorin_interface_v41.mat"), installed);
  EXPECT_EQ(now.at("quorin_interface_v41.mat.damaged"), "earlier");
  EXPECT_EQ(now.at("quorin_interface_v41.mat.damaged-2"), "damaged again");
  for (const auto& [name, content] : now) EXPECT_EQ(name.find(".part-"), std::string::npos);
  EXPECT_TRUE(prepare_start_folder(inst.places()).differing.empty());

  // An installed copy that cannot be read changes nothing and says so.
  std::ofstream(damaged, std::ios::binary) << "damaged once more";
  fs::remove(inst.copy / "quorin_interface_v41.mat");
  fs::create_directory(inst.copy / "quorin_interface_v41.mat");
  chosen.differing = {"quorin_interface_v41.mat"};
  EXPECT_TRUE(put_back_installed_copy(chosen, inst.places(), "quorin_interface_v41.mat"));
  EXPECT_EQ(test::TempDir::read(damaged), "damaged once more");
}

}  // namespace
}  // namespace quorin
