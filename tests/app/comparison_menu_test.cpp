// The comparison window's menu in the started program, over a copy of the shipped data:
// curve points and tables checked against the stored records, differences, show/hide,
// undo of every plotting action, and the front/rear balance.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "analysis/history.h"
#include "app/comparison_tools.h"
#include "app/menu_program.h"
#include "services/small_disk.h"
#include "services/varfile.h"
#include "startup/global_table.h"
#include "startup/program.h"

namespace quorin {
namespace {

const std::string kFixtures = std::string(QUORIN_FIXTURES) + "/";
constexpr double kInPerM = 39.37007874015748;
constexpr double kNPerLb = 4.45374;

std::vector<std::string> split(const std::string& text, char by) {
  std::vector<std::string> out(1);
  for (char c : text) {
    if (c == by)
      out.emplace_back();
    else
      out.back() += c;
  }
  return out;
}

class ComparisonMenu : public test::MenuCopy {
 protected:
  bool menu(const std::string& item) {
    return program->run_command("comparison_menu('" + item + "')");
  }
  void plot_with_motion_ratio(const std::string& mr) {
    control("motionratio").string = mr;
    ASSERT_TRUE(action("view")) << errors.back();
  }
  // Everything undo gives back: the globals as the driver prints them and both axes.
  struct Snapshot {
    std::string globals;
    analysis::AxesPicture plot, legend;
    bool operator==(const Snapshot&) const = default;
  };
  Snapshot snapshot() {
    std::string text;
    for (const char* name : {"plotdata", "counter", "counter2", "import", "ShockData"})
      text += to_json(global_value(program->globals, name)).dump() + "\n";
    gfx::Model& m = program->gfx;
    return {text, analysis::capture_axes(m, m.get<gfx::Axes>(program->globals.plothandle)),
            analysis::capture_axes(m, m.get<gfx::Axes>(program->globals.IDhandle))};
  }
  std::vector<gfx::Line*> lines_of(gfx::Handle axes) {
    return program->gfx.children_of<gfx::Line>(program->gfx.get(axes));
  }
};

// Save curves as CSV writes the file whole or not at all: a FIFO is refused at once (nothing
// waits for a reader), and a full disk leaves the old file exactly as it was, saying why.
TEST_F(ComparisonMenu, CsvIsSavedWholeOrNotAtAll) {
  for (int i = 0; i < 7; ++i) plot_with_motion_ratio(std::to_string(1 + 0.05 * i));
  auto save_to = [&](const std::filesystem::path& file) {
    errors.clear();
    dialogs.push({false, file.filename().string(), file.parent_path().string() + "/"});
    auto done = std::async(std::launch::async, [&] { return menu("savecsv"); });
    if (done.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
      ADD_FAILURE() << "saving waits on " << file;
      const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK);  // a reader lets it go on
      done.wait();
      if (fd >= 0) ::close(fd);
      return false;
    }
    return done.get();
  };
  ASSERT_TRUE(save_to(start / "whole.csv")) << last_error();
  const std::string whole = test::TempDir::read(start / "whole.csv");

  ASSERT_EQ(::mkfifo((start / "pipe.csv").c_str(), 0600), 0);
  EXPECT_FALSE(save_to(start / "pipe.csv"));
  EXPECT_EQ(last_error(), "The file \"" + (start / "pipe.csv").string() +
                              "\" is not a regular file (a pipe (FIFO)); nothing was written.");
  EXPECT_TRUE(std::filesystem::is_fifo(start / "pipe.csv"));

  test::SmallDisk disk(whole.size() / 2);
  const std::string old_text =
      "Curve,Name,Side,Velocity (m/s),Force (N)\r\n1,old,compression,0,0\r\n";
  std::filesystem::path old_file = disk / "curves.csv";
  { std::ofstream(old_file, std::ios::binary) << old_text; }
  {
    const auto full = disk.full();
    EXPECT_FALSE(save_to(old_file));
  }
  EXPECT_EQ(test::TempDir::read(old_file), old_text) << "the old file is as it was";
  EXPECT_NE(last_error().find(disk.is_tmpfs() ? "No space left on device" : "File too large"),
            std::string::npos)
      << last_error();
  EXPECT_NE(last_error().find("the file is unchanged"), std::string::npos) << last_error();
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(disk.folder())) ++files;
  EXPECT_EQ(files, 1u) << "nothing is left beside it";
}

TEST_F(ComparisonMenu, CsvRowsAreTheStoredWheelCurvesInTheUnitsShown) {
  // Curve 1 made in US units, curve 2 in SI units; the CSV is written with SI shown.
  plot_with_motion_ratio("1");
  control("SIUnits").value = 1;
  control("USUnits").value = 0;
  ASSERT_TRUE(action("si")) << errors.back();
  plot_with_motion_ratio("1.3");
  dialogs.push({false, "curves.csv", start.path().string() + "/"});
  ASSERT_TRUE(menu("savecsv")) << errors.back();

  const std::vector<std::string> lines = split(test::TempDir::read(start / "curves.csv"), '\n');
  ASSERT_GT(lines.size(), 2u);
  EXPECT_EQ(lines[0], "Curve,Name,Side,Velocity (m/s),Force (N)\r");
  const DamperCurve& us = program->globals.plotdata[0];
  const DamperCurve& si = program->globals.plotdata[1];
  // Expected rows from the records: curve 1's wheel rows back from US units, curve 2's as
  // stored; compression before rebound.
  std::vector<std::array<double, 2>> expected;
  std::vector<std::string> sides;
  auto add = [&](const std::vector<double>& v, const std::vector<double>& f, double vs, double fs,
                 const char* side) {
    for (std::size_t k = 0; k < v.size(); ++k) {
      expected.push_back({v[k] / vs, f[k] * fs});
      sides.emplace_back(side);
    }
  };
  add(us.compression_velocity, us.compression_force, kInPerM, kNPerLb, "compression");
  add(us.rebound_velocity, us.rebound_force, kInPerM, kNPerLb, "rebound");
  add(si.compression_velocity, si.compression_force, 1, 1, "compression");
  add(si.rebound_velocity, si.rebound_force, 1, 1, "rebound");
  ASSERT_EQ(lines.size(), expected.size() + 2);  // header and the empty end
  for (std::size_t k = 0; k < expected.size(); ++k) {
    const std::vector<std::string> cells = split(lines[k + 1], ',');
    ASSERT_EQ(cells.size(), 5u) << lines[k + 1];
    EXPECT_EQ(cells[0],
              k < us.compression_velocity.size() + us.rebound_velocity.size() ? "1" : "2");
    EXPECT_EQ(cells[2], sides[k]);
    EXPECT_NEAR(std::stod(cells[3]), expected[k][0], 1e-12 * (1 + std::abs(expected[k][0])));
    EXPECT_NEAR(std::stod(cells[4]), expected[k][1], 1e-9 * (1 + std::abs(expected[k][1])));
  }
  EXPECT_EQ(split(lines[1], ',')[1], us.curveIDcompression1);

  // The clipboard gets the same rows, tab-separated.
  ASSERT_TRUE(menu("copycurves"));
  const std::vector<std::string> copied = split(program->clipboard->text(), '\n');
  ASSERT_EQ(copied.size(), lines.size());
  EXPECT_EQ(copied[0], "Curve\tName\tSide\tVelocity (m/s)\tForce (N)");
}

TEST_F(ComparisonMenu, HeldImportAndDynoCurvesFollowTheStoredOnes) {
  plot_with_motion_ratio("1");
  start.write("pair.txt", "0 0 0\n1 10 -12\n2 25 -30\n");
  dialogs.push({false, "pair.txt", start.path().string() + "/"});
  ASSERT_TRUE(action("import")) << errors.back();
  dialogs.push({false, "dyno_175.pvp", kFixtures});
  ASSERT_TRUE(action("roehrig")) << errors.back();
  ASSERT_TRUE(menu("copycurves"));
  const std::string text = program->clipboard->text();
  EXPECT_NE(text.find("\tImport column 2\tcompression\t1\t10\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\tImport column 3\trebound\t2\t-30\n"), std::string::npos);
  EXPECT_NE(text.find("\tDyno\t"), std::string::npos);
}

TEST_F(ComparisonMenu, TableValuesAreTheRecordsInterpolatedAtEachVelocity) {
  plot_with_motion_ratio("1");
  plot_with_motion_ratio("0.8");
  ASSERT_TRUE(menu("table")) << errors.back();
  ASSERT_TRUE(menu("tablecopy")) << errors.back();
  const std::vector<std::string> rows = split(program->clipboard->text(), '\n');
  ASSERT_EQ(rows.size(), 22u);  // header, the 20 export velocities (in/s), the empty end
  EXPECT_EQ(rows[0],
            "Velocity (in/s)\t1 compression (lbs)\t1 rebound (lbs)\t2 compression (lbs)\t2 "
            "rebound (lbs)");
  // Linear interpolation between the record's neighbouring points, found here by a plain
  // walk along the record's rows (made in US units, shown in US units).
  auto expected = [](const std::vector<double>& v, const std::vector<double>& f, double at) {
    for (std::size_t k = 0; k + 1 < v.size(); ++k)
      if (v[k] <= at && at <= v[k + 1])
        return f[k] + (f[k + 1] - f[k]) * (at - v[k]) / (v[k + 1] - v[k]);
    return std::nan("");
  };
  for (std::size_t r = 1; r <= 20; ++r) {
    const std::vector<std::string> cells = split(rows[r], '\t');
    ASSERT_EQ(cells.size(), 5u) << rows[r];
    const double at = std::stod(cells[0]);
    for (std::size_t c = 0; c < 2; ++c) {
      const DamperCurve& p = program->globals.plotdata[c];
      const double comp = expected(p.compression_velocity, p.compression_force, at);
      const double reb = expected(p.rebound_velocity, p.rebound_force, at);
      for (auto [cell, want] :
           {std::pair{cells[1 + 2 * c], comp}, std::pair{cells[2 + 2 * c], reb}}) {
        if (std::isnan(want))
          EXPECT_EQ(cell, "") << "row " << r;
        else
          EXPECT_NEAR(std::stod(cell), want, 1e-9 * (1 + std::abs(want))) << "row " << r;
      }
    }
  }

  // An edited list fills the table again; a curve that does not reach a velocity leaves a
  // blank cell.
  gfx::Window* table = nullptr;
  for (int n : program->gfx.window_numbers())
    if (program->gfx.window(n)->name == "Curves at Velocities") table = program->gfx.window(n);
  ASSERT_NE(table, nullptr);
  EXPECT_GE(table->number, 5);
  // The table is built again each time, so its box is looked up each time.
  auto box = [&] {
    return dynamic_cast<gfx::Control*>(program->gfx.find_all_by_tag(*table, "velocities")[0]);
  };
  box()->string = "1.5, 1000";
  ASSERT_TRUE(program->run_command(box()->callback)) << errors.back();
  ASSERT_TRUE(menu("tablecopy"));
  const std::vector<std::string> edited = split(program->clipboard->text(), '\n');
  ASSERT_EQ(edited.size(), 4u);
  EXPECT_EQ(edited[2], "1000\t\t\t\t");
  EXPECT_EQ(box()->string, "1.5 1000");
  box()->string = "1.5 fast";
  EXPECT_FALSE(program->run_command(box()->callback));
  EXPECT_EQ(errors.back(), "The velocity \"fast\" is not a number.");

  // After a switch to SI units the list in inches per second is not taken as metres per
  // second: the table starts again from the metric export grid.
  box()->string = "1.5";
  control("SIUnits").value = 1;
  control("USUnits").value = 0;
  ASSERT_TRUE(action("si")) << errors.back();
  ASSERT_TRUE(menu("table")) << errors.back();
  EXPECT_EQ(box()->string.substr(0, 12), "0 0.005 0.01");
}

TEST_F(ComparisonMenu, DifferenceOfACurveWithItselfIsZeroEverywhere) {
  plot_with_motion_ratio("1");
  plot_with_motion_ratio("1.2");
  dialogs.push_input(std::vector<std::string>{"2", "2"});
  ASSERT_TRUE(menu("difference")) << errors.back();
  gfx::Model& m = program->gfx;
  gfx::Window* w = m.current_window();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->name, "Difference");
  std::size_t points = 0;
  for (auto* a : m.children_of<gfx::Axes>(*w)) {
    if (a->tag != "forcedifference" && a->tag != "percentdifference") continue;
    for (auto* l : m.children_of<gfx::Line>(*a)) {
      for (double y : l->y)
        if (!std::isnan(y)) {
          EXPECT_EQ(y, 0) << a->tag;
        }
      points += l->y.size();
    }
  }
  EXPECT_GT(points, 4000u);

  // Curve 1 against curve 2: the legend names both; a third curve is refused.
  dialogs.push_input(std::vector<std::string>{"1", "2"});
  ASSERT_TRUE(menu("difference"));
  std::string key;
  for (auto* a : m.children_of<gfx::Axes>(*m.current_window()))
    if (a->tag == "differencekey")
      for (auto* t : m.children_of<gfx::Text>(*a)) key += t->string + "|";
  EXPECT_NE(key.find("B \xE2\x88\x92 A|B: 2  Comp"), std::string::npos) << key;
  EXPECT_NE(key.find("|A: 1  Comp"), std::string::npos) << key;
  dialogs.push_input(std::vector<std::string>{"1", "3"});
  EXPECT_FALSE(menu("difference"));
  EXPECT_EQ(errors.back(),
            "There is no curve 3 to take as curve B; 2 curves are stored, curves 1 to 2.");
}

TEST_F(ComparisonMenu, AHiddenCurveStaysStoredAndHiddenThroughARedraw) {
  plot_with_motion_ratio("1");
  plot_with_motion_ratio("1.2");
  ASSERT_TRUE(program->run_command("comparison_menu('togglecurve', '1')"));
  auto check = [&](bool first_shown) {
    std::vector<gfx::Line*> solid;
    for (gfx::Line* l : lines_of(program->globals.plothandle))
      if (l->line_style == "-" && !(l->color == gfx::Color{1, 1, 1})) solid.push_back(l);
    ASSERT_EQ(solid.size(), 4u);
    EXPECT_EQ(solid[0]->visible, first_shown);
    EXPECT_EQ(solid[1]->visible, first_shown);
    EXPECT_TRUE(solid[2]->visible && solid[3]->visible);
    std::vector<gfx::Line*> markers;
    for (gfx::Line* l : lines_of(program->globals.IDhandle))
      if (l->marker == "s") markers.push_back(l);
    ASSERT_EQ(markers.size(), 2u);
    EXPECT_EQ(markers[0]->marker_face.has_value(), first_shown);
    EXPECT_TRUE(markers[1]->marker_face.has_value());
  };
  check(false);
  EXPECT_EQ(program->globals.counter, 3);
  ASSERT_TRUE(action("rescale"));
  check(false);
  ASSERT_TRUE(program->run_command("comparison_menu('togglecurve', '1')"));
  check(true);
}

TEST_F(ComparisonMenu, UndoOfEachPlottingActionGivesEverythingBack) {
  start.write("pair.txt", "0 0 0\n1 10 -12\n2 25 -30\n");
  struct Step {
    const char* name;
    std::function<void()> act;
  };
  const std::vector<Step> steps = {
      {"PLOT", [&] { ASSERT_TRUE(action("view")); }},
      {"UPDATE #",
       [&] {
         control("curveselect").string = "1";
         control("motionratio").string = "1.4";
         ASSERT_TRUE(action("overwrite")) << errors.back();
       }},
      {"Add 3rd", [&] { ASSERT_TRUE(action("add3rd")) << errors.back(); }},
      {"IMPORT",
       [&] {
         dialogs.push({false, "pair.txt", start.path().string() + "/"});
         ASSERT_TRUE(action("import")) << errors.back();
       }},
      {"dyno overlay",
       [&] {
         dialogs.push({false, "dyno_175.pvp", kFixtures});
         ASSERT_TRUE(action("roehrig")) << errors.back();
       }},
      {"CLEAR", [&] { ASSERT_TRUE(action("clear")) << errors.back(); }},
  };
  plot_with_motion_ratio("1");
  plot_with_motion_ratio("1.2");
  for (const Step& s : steps) {
    const Snapshot before = snapshot();
    s.act();
    const Snapshot after = snapshot();
    ASSERT_FALSE(after == before) << s.name << " changed nothing";
    ASSERT_TRUE(menu("undo")) << errors.back();
    EXPECT_EQ(snapshot().globals, before.globals) << s.name;
    EXPECT_TRUE(snapshot() == before) << s.name;
    ASSERT_TRUE(menu("redo"));
    EXPECT_TRUE(snapshot() == after) << s.name;
  }
}

TEST_F(ComparisonMenu, TenStepsBackToAnEmptyPlot) {
  const Snapshot empty = snapshot();
  for (int i = 0; i < 7; ++i) plot_with_motion_ratio(std::to_string(1 + 0.1 * i));
  // A PLOT at the limit opens the warning and changes nothing: no step.
  for (int i = 0; i < 2; ++i) ASSERT_TRUE(action("view"));
  ASSERT_TRUE(action("clear"));
  for (int i = 0; i < 3; ++i) plot_with_motion_ratio("1");
  EXPECT_EQ(program->tools->history().undo_steps(), 11u);
  for (int i = 0; i < 11; ++i) ASSERT_TRUE(menu("undo"));
  EXPECT_TRUE(snapshot() == empty);
  EXPECT_TRUE(menu("undo"));  // nothing more to undo is not an error
  EXPECT_TRUE(snapshot() == empty);
}

TEST_F(ComparisonMenu, BalanceOfFourCurvesOpensBothTurnWindows) {
  for (int i = 0; i < 3; ++i) plot_with_motion_ratio(std::to_string(1 + 0.1 * i));
  EXPECT_FALSE(menu("balance"));
  EXPECT_EQ(errors.back(),
            "The front/rear balance needs four stored curves (left front, right front, left "
            "rear, right rear); 3 are stored.");
  EXPECT_EQ(program->gfx.window(3), nullptr);
  plot_with_motion_ratio("1.3");
  ASSERT_TRUE(menu("balance")) << errors.back();
  gfx::Model& m = program->gfx;
  ASSERT_NE(m.window(3), nullptr);
  ASSERT_NE(m.window(4), nullptr);
  EXPECT_EQ(m.window_of(program->globals.plothandle_lht).number, 3);
  EXPECT_EQ(m.window_of(program->globals.plothandle_rht).number, 4);
  EXPECT_GE(lines_of(program->globals.plothandle_lht).size(), 4u);
  EXPECT_GE(lines_of(program->globals.balance_rht).size(), 2u);
  // The main window's own gate stays shut.
  const std::size_t drawn = lines_of(program->globals.plothandle_lht).size();
  ASSERT_TRUE(action("balance"));
  EXPECT_EQ(lines_of(program->globals.plothandle_lht).size(), drawn);
  // Run again, the windows are reused.
  ASSERT_TRUE(menu("balance"));
  EXPECT_EQ(m.window_numbers().size(), 4u);
}

}  // namespace
}  // namespace quorin
