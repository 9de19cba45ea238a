// The program started as the user starts it: the entry function through the function table,
// the start folder, the warning windows and the valve seats driven by their command texts.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <sstream>

#include "services/runtime_error.h"
#include "startup/program.h"
#include "startup/start_folder.h"
#include "windows/start_folder_fixture.h"

namespace quorin {
namespace {

namespace fs = std::filesystem;

bool supplied_data_present() {
  return fs::is_regular_file(fs::path(QUORIN_SUPPLIED) / "quorin_matrix_2007_v1.mat");
}

// A program over the shipped data when it is there, else over a scratch start folder.
class StartedProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::path folder = QUORIN_SUPPLIED;
    if (!supplied_data_present()) {
      fixture_ = std::make_unique<test::StartFolderFixture>();
      folder = fixture_->path();
    }
    program_ = std::make_unique<Program>(folder, dialogs_, console_);
    program_->report_error = [this](const std::string& m) { errors_.push_back(m); };
  }
  gfx::Control& control(std::string_view tag) {
    auto* c = dynamic_cast<gfx::Control*>(program_->gfx.find_by_tag(tag));
    if (!c) throw std::logic_error("no control " + std::string(tag));
    return *c;
  }

  std::unique_ptr<test::StartFolderFixture> fixture_;
  ScriptedDialogs dialogs_;
  std::ostringstream console_;
  std::unique_ptr<Program> program_;
  std::vector<std::string> errors_;
};

TEST_F(StartedProgram, EntryReturnsWindowOneOnlyWhenAsked) {
  EXPECT_TRUE(program_->call("quorin_interface_v41", 0, {}).empty());
  EXPECT_EQ(program_->gfx.window_numbers(), (std::vector<int>{1, 2}));

  SetUp();
  const std::vector<Value> out = program_->call("quorin_interface_v41", 1, {});
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0], Value::number(1));
}

TEST_F(StartedProgram, StartLeavesTheStartingState) {
  program_->start();
  gfx::Model& m = program_->gfx;
  EXPECT_EQ(m.stacking(), (std::vector<int>{2, 1}));
  EXPECT_EQ(m.current_window()->number, 1);
  for (auto [tag, value] : {std::pair{"USUnits", 1}, {"SIUnits", 0}, {"clearall", 1}, {"holdimport", 0},
                            {"holdroehrig", 0}, {"printall", 0}, {"CompressionValve", 3}, {"ReboundValve", 3},
                            {"CompressionSpring", 3}, {"ReboundSpring", 3}, {"LSC", 21}, {"LSR", 21},
                            {"HSC", 31}, {"HSR", 31}}) {
    const gfx::Control& c = control(tag);
    EXPECT_EQ(c.value, value) << tag;
    if (c.style == gfx::Control::Style::Popup) {
      EXPECT_LE(c.value, double(c.items.size())) << tag;
    }
  }
  for (auto [tag, text] : {std::pair{"xmin", "0"}, {"xmax", "10"}, {"ymin", "-500"}, {"ymax", "500"},
                           {"valveseatcompression", "7731-02"}, {"valveseatrebound", "7731-02"},
                           {"piston", "40"}, {"externalshaft", "12"}, {"internalshaft", "12"},
                           {"motionratio", "1"}, {"curveselect", "1"}, {"plotindex", "1"}})
    EXPECT_EQ(control(tag).string, text) << tag;
  // The shipped command texts run the actions their buttons name.
  for (auto [label, action] : {std::pair{"IMPORT", "'import'"}, {"EXPORT #     ", "'export'"},
                               {"SAVE", "'save'"}, {"LOAD", "'load'"}, {"ROEHRIG", "'roehrig'"}}) {
    bool found = false;
    for (gfx::Control* c : m.children_of<gfx::Control>(*m.window(1)))
      if (c->string == label) {
        found = true;
        EXPECT_NE(c->callback.find("quorin_processor_ct(" + std::string(action) + ")"), std::string::npos)
            << label << ": " << c->callback;
      }
    EXPECT_TRUE(found) << label;
  }
  const Globals& g = program_->globals;
  EXPECT_EQ(g.counter, 1);
  ASSERT_TRUE(g.pn.has_value());
  EXPECT_TRUE(g.pn->ends_with("/data/")) << *g.pn;
  EXPECT_EQ(g.import.row_order(), (std::vector<double>{0, 0, 0}));
  EXPECT_EQ(g.ShockData.field("Speed_1").field("Velocity").field("Data"), Value::number(0));
  EXPECT_EQ(m.get<gfx::Axes>(g.plothandle).tag, "plotwindow");
  EXPECT_EQ(m.get<gfx::Axes>(g.IDhandle).tag, "ID");
  EXPECT_GT(g.compvel.valves, 0u);
}

TEST_F(StartedProgram, TurnWindowsBuiltThroughTheTableHoldTheirTags) {
  program_->start();
  for (auto [name, tag] : {std::pair{"lht", "balance_lht"}, {"rht", "plotwindow_rht"}}) {
    const std::vector<Value> out = program_->call(name, 1, {});
    ASSERT_EQ(out.size(), 1u);
    gfx::Object* o = program_->gfx.find_by_tag(tag);
    ASSERT_NE(o, nullptr) << tag;
    EXPECT_EQ(program_->gfx.window_of(o->handle()).handle().value, out[0].scalar());
  }
}

TEST_F(StartedProgram, TwoWarningsGiveTwoWindowsAndOkClosesOnlyItsOwn) {
  program_->start();
  program_->processor().warningct();
  program_->processor().warningct();
  gfx::Model& m = program_->gfx;
  EXPECT_EQ(m.window_numbers(), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(m.current_window()->number, 4);
  auto* ok = dynamic_cast<gfx::Control*>(m.find_by_tag("Pushbutton1"));
  ASSERT_NE(ok, nullptr);
  EXPECT_TRUE(program_->run_command(ok->callback));
  EXPECT_EQ(m.window_numbers(), (std::vector<int>{1, 2, 3}));
  m.figure(3);
  EXPECT_TRUE(program_->run_command("close             "));
  EXPECT_EQ(m.window_numbers(), (std::vector<int>{1, 2}));
  EXPECT_TRUE(errors_.empty());
}

TEST_F(StartedProgram, ValvePopupCommandsWriteTheSeatBoxes) {
  program_->start();
  struct Row {
    const char* popup;
    double row;
    const char* box;
    const char* seat;
  };
  for (const Row r : {Row{"CompressionValve", 8, "valveseatcompression", "7731-01"},
                      Row{"CompressionValve", 7, "valveseatcompression", "7731-02"},
                      Row{"ReboundValve", 9, "valveseatrebound", "7731-01"}}) {
    gfx::Control& popup = control(r.popup);
    popup.value = r.row;
    EXPECT_TRUE(program_->run_command(popup.callback)) << errors_.back();
    EXPECT_EQ(control(r.box).string, r.seat) << r.popup << " row " << r.row;
  }
}

TEST(StartUpFailure, MissingValvingFileNamesFileAndFolderAndOpensNoWindow) {
  test::StartFolderFixture folder;
  fs::remove(folder.path() / "quorin_matrix_2007_v1.mat");
  ScriptedDialogs dialogs;
  std::ostringstream console;
  Program program(folder.path(), dialogs, console);
  try {
    program.start();
    FAIL() << "no error";
  } catch (const RuntimeError& e) {
    const std::string m = e.what();
    EXPECT_NE(m.find("quorin_matrix_2007_v1.mat"), std::string::npos) << m;
    EXPECT_NE(m.find(folder.path().string()), std::string::npos) << m;
  }
  EXPECT_TRUE(program.gfx.window_numbers().empty());
}

TEST(StartFolder, CurrentFolderWhenItHoldsTheSuppliedFilesElseTheExecutables) {
  test::StartFolderFixture with_files;
  const fs::path empty = with_files.path() / "data";
  const fs::path exe = "/opt/quorin/bin";
  EXPECT_EQ(find_start_folder(with_files.path(), exe), with_files.path());
  EXPECT_EQ(find_start_folder(empty, exe), exe);
  fs::remove(with_files.path() / "quorin_interface_v41.mat");
  EXPECT_EQ(find_start_folder(with_files.path(), exe), exe);
  EXPECT_TRUE(fs::is_directory(executable_folder(nullptr)));
}

}  // namespace
}  // namespace quorin
