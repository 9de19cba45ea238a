// Hostile files met on the desktop: a pipe chosen in the real save dialog is refused at once
// with a message (the program never waits on it), and a damaged supplied file at start is
// put back at the answer given in the real question box.
#include <sys/stat.h>

#include "gui/comparison_menu.h"
#include "gui/gui_fixture.h"
#include "services/temp_dir.h"
#include "startup/start_folder.h"

namespace quorin::test {
namespace {
namespace fs = std::filesystem;

// Each saving item of the comparison menu, with the pipe typed into its file dialog.
struct PipeRow {
  const char* label;
  const char* file;
};
const PipeRow kPipeRows[] = {
    {"Save curves as CSV\xE2\x80\xA6", "pipe.csv"},
    {"Save picture\xE2\x80\xA6", "pipe.svg"},
    {"Save picture\xE2\x80\xA6", "pipe.pdf"},
};

TEST_F(GuiFixture, SavingToAPipeIsRefusedWithAMessageAndLeavesThePipeAlone) {
  click(1, "PLOT");
  ASSERT_TRUE(errors_.empty());
  for (const PipeRow& row : kPipeRows) {
    SCOPED_TRACE(row.file);
    const fs::path pipe = folder() / row.file;
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);  // no reader: opening it to write would wait
    errors_.clear();
    answer_file(pipe);
    activate(2);
    pick_from_menu(*this, QString::fromUtf8(row.label));
    QTest::qWait(50);
    toolkit_->sync();
    ASSERT_EQ(errors_.size(), 1u);
    EXPECT_NE(errors_[0].find(row.file), std::string::npos) << errors_[0];
    EXPECT_NE(errors_[0].find("not a regular file"), std::string::npos) << errors_[0];
    EXPECT_TRUE(fs::is_fifo(pipe));
    EXPECT_TRUE(answerer_.unanswered.empty());
  }
  // The program goes on serving clicks.
  click(1, "PLOT");
  EXPECT_EQ(globals().counter, 3);
}

// An installation in a scratch folder: the installed copy beside the executables and the
// user's start folder made from it, as a first start leaves them.
struct ScratchInstallation {
  TempDir root;
  fs::path bin = root / "usr/bin", user = root / "home/.local/share/quorin";
  ScratchInstallation() {
    fs::create_directories(bin);
    fs::create_directories(root / "work");
    fs::create_directories(root / "usr/share");
    fs::copy(QUORIN_SUPPLIED, root / "usr/share/quorin", fs::copy_options::recursive);
  }
  StartPlaces places() const { return {root / "work", bin, user, installed_data_folder(bin)}; }
};

// What the desktop program does first at every start, with the question answered in the real
// message box: Yes puts the installed copy back and keeps the damaged file aside; No keeps it.
TEST_F(GuiFixture, ADamagedSuppliedFileIsPutBackAtTheAnswerInTheQuestionBox) {
  for (const bool put_back : {false, true}) {
    SCOPED_TRACE(put_back ? "Yes" : "No");
    ScratchInstallation inst;
    std::ostringstream console;
    settle_start_folder(inst.places(), *desktop_, console);  // the first start makes the folder
    const fs::path damaged = inst.user / "quorin_interface_v41.mat";
    // Damaged differently each round: a file kept at the word No is not asked about again.
    std::ofstream(damaged, std::ios::binary) << "damaged " << put_back;
    answerer_.questions.clear();
    if (put_back) answer_yes();  // an unqueued question is answered No

    const StartFolder chosen = settle_start_folder(inst.places(), *desktop_, console);
    ASSERT_EQ(answerer_.questions.size(), 1u);
    EXPECT_NE(answerer_.questions[0].find("quorin_interface_v41.mat"), std::string::npos);
    EXPECT_EQ(chosen.differing.empty(), put_back);
    EXPECT_EQ(file_checksum(damaged) == file_checksum(inst.root / "usr/share/quorin" /
                                                      "quorin_interface_v41.mat"),
              put_back);
    EXPECT_EQ(fs::exists(inst.user / "quorin_interface_v41.mat.damaged"), put_back);
  }
}

}  // namespace
}  // namespace quorin::test
