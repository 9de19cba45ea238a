// CLEAR, EXIT, PRINT, ROEHRIG, IMPORT and EXPORT # in the started program, through the
// main window's command texts, over a copy of the shipped data.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "services/file_size_limit.h"
#include "services/temp_dir.h"
#include "startup/program.h"

namespace quorin {
namespace {

namespace fs = std::filesystem;
const std::string kFixtures = std::string(QUORIN_FIXTURES) + "/";

class ComparisonActions : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::is_regular_file(fs::path(QUORIN_SUPPLIED) / "quorin_bleed_2004_v1.mat"))
      GTEST_SKIP() << "the supplied data are not generated";
    fs::copy(QUORIN_SUPPLIED, start.path(), fs::copy_options::recursive);
    start_program();
  }
  void start_program() {
    program = std::make_unique<Program>(start.path(), dialogs, console);
    program->report_error = [this](const std::string& m) { errors.push_back(m); };
    program->start();
  }
  gfx::Control& control(std::string_view tag) {
    program->gfx.figure(1);
    auto* c = dynamic_cast<gfx::Control*>(program->gfx.find_by_tag(tag));
    if (!c) throw std::logic_error("no control " + std::string(tag));
    return *c;
  }
  bool action(const std::string& name) {
    return program->run_command("quorin_processor_ct('" + name + "')");
  }
  void plot(int times) {
    for (int i = 0; i < times; ++i) ASSERT_TRUE(action("view")) << errors.back();
  }
  // Solid curve lines in the comparison axes (the white reset line not counted).
  std::size_t solid_curves() {
    std::size_t n = 0;
    for (const gfx::Line* l :
         program->gfx.children_of<gfx::Line>(program->gfx.get(program->globals.plothandle)))
      n += l->line_style == "-" && !(l->color == gfx::Color{1, 1, 1});
    return n;
  }
  std::string export_text() { return test::TempDir::read(start.path() / "data" / "export.txt"); }

  test::TempDir start;
  ScriptedDialogs dialogs;
  std::ostringstream console;
  std::unique_ptr<Program> program;
  std::vector<std::string> errors;
};

TEST_F(ComparisonActions, ClearAllThenPlotMakesTheNewCurveTheOnlyCurve) {
  plot(3);
  ASSERT_EQ(control("clearall").value, 1);  // "All" is on at start
  ASSERT_TRUE(action("clear"));
  EXPECT_EQ(program->globals.counter, 1);
  EXPECT_EQ(solid_curves(), 0u);
  plot(1);
  EXPECT_EQ(program->globals.counter, 2);
  EXPECT_EQ(solid_curves(), 2u);
  EXPECT_TRUE(program->globals.plotdata[0].curveIDcompression1.starts_with("1  Comp  "));
}

TEST_F(ComparisonActions, ClearWithoutAllAfterFivePlotsKeepsCurveOne) {
  plot(5);
  const DamperCurve first = program->globals.plotdata[0];
  control("clearall").value = 0;
  ASSERT_TRUE(action("clear"));
  EXPECT_EQ(program->globals.counter, 2);
  EXPECT_EQ(solid_curves(), 2u);
  control("LSC").value = 3;
  plot(1);
  EXPECT_EQ(program->globals.counter, 3);
  EXPECT_EQ(program->globals.plotdata[0], first);
  EXPECT_TRUE(program->globals.plotdata[1].curveIDcompression1.starts_with("2  Comp  "));
  EXPECT_TRUE(program->globals.plotdata[1].curveIDcompression2.ends_with("LSC 2   HSC " +
                                                                         program->globals.chigh));
  EXPECT_EQ(solid_curves(), 4u);
}

TEST_F(ComparisonActions, ExportedDataLinesImportBackAndStayHeldThroughAClear) {
  plot(2);
  control("plotindex").string = "2";
  ASSERT_TRUE(action("export"));
  ASSERT_TRUE(action("export"));
  const std::string text = export_text();
  ASSERT_EQ(std::count(text.begin(), text.end(), '\n'), 52);
  const std::string entry = text.substr(0, text.size() / 2);
  EXPECT_EQ(text, entry + entry);
  EXPECT_TRUE(entry.starts_with("\n   2  Comp  ")) << entry;
  EXPECT_EQ(text.find('\r'), std::string::npos);

  // The number block alone imports as a 20 by 3 curve.
  std::size_t start_of_block = 0;
  for (int line = 0; line < 6; ++line) start_of_block = entry.find('\n', start_of_block) + 1;
  start.write("block.txt", entry.substr(start_of_block));
  dialogs.push({false, "block.txt", start.path().string() + "/"});
  ASSERT_TRUE(action("import")) << errors.back();
  EXPECT_EQ(program->globals.import.rows, 20u);
  EXPECT_EQ(program->globals.import.cols, 3u);

  control("holdimport").value = 1;
  ASSERT_TRUE(action("clear"));
  std::size_t dashed = 0;
  for (const gfx::Line* l :
       program->gfx.children_of<gfx::Line>(program->gfx.get(program->globals.plothandle)))
    dashed += l->line_style == "--";
  EXPECT_EQ(dashed, 2u);
}

TEST_F(ComparisonActions, ExportOfACurveNotYetPlottedSaysSoAndWritesNothing) {
  plot(1);
  control("plotindex").string = "2";
  ASSERT_FALSE(action("export"));
  EXPECT_EQ(errors.back(), "There is no curve 2 to export; 1 curve is stored, curve 1.");
  EXPECT_EQ(export_text(), "");
  for (int n : program->gfx.window_numbers()) EXPECT_EQ(program->gfx.window(n)->pointer, "arrow");
}

TEST_F(ComparisonActions, DynoCurveHeldThroughAClearAllAndPrintGoesToThePrinter) {
  plot(1);
  dialogs.push({false, "dyno_175.pvp", kFixtures});
  ASSERT_TRUE(action("roehrig")) << errors.back();
  control("holdroehrig").value = 1;
  ASSERT_TRUE(action("clear"));
  const auto lines =
      program->gfx.children_of<gfx::Line>(program->gfx.get(program->globals.plothandle));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0]->y, (std::vector<double>{0, 75.5}));

  ASSERT_TRUE(action("print"));
  ASSERT_EQ(program->headless_printer.requests.size(), 1u);
  EXPECT_EQ(program->headless_printer.requests[0].number, 2);
}

TEST_F(ComparisonActions, ExitClosesTheComparisonAndMainWindows) {
  ASSERT_TRUE(action("exit"));
  const auto open = program->gfx.window_numbers();
  EXPECT_EQ(std::count(open.begin(), open.end(), 1), 0);
  EXPECT_EQ(std::count(open.begin(), open.end(), 2), 0);
}

// What each action does after the user closed the comparison window from the window manager:
// it works as before and brings the window back with its curves.
TEST_F(ComparisonActions, ActionsAfterTheComparisonWindowWasClosedBringItBack) {
  struct Row {
    const char* action;
    std::size_t curves_after;  // solid curve lines once the action ran
  };
  const Row rows[] = {{"view", 4}, {"rescale", 2}, {"clear", 0}, {"si", 2}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.action);
    start_program();
    plot(1);
    program->close_requested(2);
    ASSERT_TRUE(program->gfx.window(2)) << "the comparison window is only hidden";
    EXPECT_FALSE(program->gfx.window(2)->visible);
    EXPECT_EQ(solid_curves(), 2u) << "its curves stay while it is away";
    EXPECT_TRUE(action(r.action)) << (errors.empty() ? "" : errors.back());
    EXPECT_TRUE(program->gfx.window(2)->visible);
    EXPECT_EQ(solid_curves(), r.curves_after);
    EXPECT_EQ(program->gfx.window(2)->name, "Damper Curve Comparison");
    EXPECT_EQ(program->gfx.window_numbers(), (std::vector<int>{1, 2}));
  }
}

TEST_F(ComparisonActions, ClosingTheMainWindowExitsAndAWarningWindowCloses) {
  plot(7);
  ASSERT_TRUE(action("view"));  // the eighth PLOT opens the overlay warning
  ASSERT_EQ(program->gfx.window_numbers(), (std::vector<int>{1, 2, 3}));
  program->close_requested(3);
  EXPECT_EQ(program->gfx.window_numbers(), (std::vector<int>{1, 2}));
  control("xmax").string = "not a number";  // a bad box never keeps the program open
  program->close_requested(1);
  EXPECT_TRUE(program->gfx.window_numbers().empty());
}

// Every PLOT past the seventh opens one more warning window; window numbers climb past the
// first object handles and every window stays a sound object.
TEST_F(ComparisonActions, AThousandOverlayWarningsOpenAThousandWindows) {
  plot(7);
  constexpr int kWarnings = 1005;
  for (int i = 0; i < kWarnings; ++i) {
    program->gfx.figure(1);  // PLOT is pressed in the main window
    ASSERT_TRUE(action("view")) << i << ": " << errors.back();
  }
  const std::vector<int> open = program->gfx.window_numbers();
  ASSERT_EQ(open.size(), 2u + kWarnings);
  EXPECT_EQ(open.back(), 2 + kWarnings);
  for (int n : {1003, 1004, 2 + kWarnings}) {
    gfx::Window* w = program->gfx.window(n);
    ASSERT_NE(w, nullptr) << n;
    EXPECT_EQ(w->name, "Valdane Racing");
    EXPECT_EQ(program->gfx.children_of<gfx::Control>(*w).size(), 3u) << n;
  }
  EXPECT_EQ(control("plotindex").string, "1");  // the main window's controls still answer
  EXPECT_TRUE(action("view"));
}

// Files no reader should take, a disk that fills up during EXPORT # and memory that runs out:
// each action fails with a message and leaves every stored curve, counter and held curve.
TEST_F(ComparisonActions, HostileFilesAFullDiskAndNoMemoryChangeNothingStored) {
  plot(2);
  const std::string fifo = (start.path() / "pipe").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);  // no writer: opening it must not wait
  ASSERT_EQ(::mkfifo((fifo + ".mat").c_str(), 0600), 0);  // LOAD adds the damper files' ending
  struct Row {
    const char* action;
    std::string folder, file;
    const char* says;
  } rows[] = {{"import", "/dev/", "zero", "not a regular file"},
              {"import", start.path().string() + "/", "pipe", "not a regular file"},
              {"roehrig", "/dev/", "zero", "not a regular file"},
              {"roehrig", start.path().string() + "/", "pipe", "not a regular file"},
              {"load", start.path().string() + "/", "pipe", "not a regular file"},
              {"export", "", "", "unchanged"}};
  const std::string exported = export_text();
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(r.action) + " " + r.folder + r.file);
    const std::vector<DamperCurve> curves = program->globals.plotdata;
    const double counter = program->globals.counter;
    errors.clear();
    if (r.file.empty()) {
      test::FileSizeLimit full(exported.size() + 100);  // room for part of an entry only
      EXPECT_FALSE(action(r.action));
    } else {
      dialogs.push({false, r.file, r.folder});
      EXPECT_FALSE(action(r.action));
    }
    ASSERT_FALSE(errors.empty());
    EXPECT_NE(errors.back().find(r.says), std::string::npos) << errors.back();
    EXPECT_EQ(program->globals.counter, counter);
    EXPECT_EQ(program->globals.plotdata.size(), curves.size());
    EXPECT_EQ(export_text(), exported);
  }
  EXPECT_FALSE(program->guarded([] { throw std::bad_alloc(); }));
  EXPECT_NE(errors.back().find("Out of memory"), std::string::npos) << errors.back();
  EXPECT_FALSE(program->guarded([] { throw std::length_error("vector"); }));
  EXPECT_NE(errors.back().find("unexpected failure"), std::string::npos) << errors.back();
  EXPECT_EQ(program->globals.counter, 3);
  plot(1);  // the program goes on
  EXPECT_EQ(program->globals.counter, 4);
  EXPECT_TRUE(action("export"));
  EXPECT_GT(export_text().size(), exported.size());
}

}  // namespace
}  // namespace quorin
