// IMPORT and EXPORT # on hand-built windows: the text curve drawn, the export entry's exact
// bytes, and what a bad file or plot number leaves behind.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "processor/comparison_actions.h"
#include "plotting/plotfunction.h"
#include "services/numeric.h"

namespace quorin {
namespace {

using test_support::linear_curve;
namespace fs = std::filesystem;

class TextCurves : public test_support::ComparisonActions {
 public:
  void SetUp() override {
    ComparisonActions::SetUp();
    fs::create_directories(dir.path() / "data");
    folder = dir.path().string() + "/";
  }
  fs::path export_file() const { return dir.path() / "data" / "export.txt"; }
  void write_export(const std::string& bytes) { dir.write("data/export.txt", bytes); }
  std::string exported() const { return test::TempDir::read(export_file()); }
  void import_file(const std::string& name, const std::string& bytes) {
    dir.write(name, bytes);
    dialogs.push({false, name, folder});
  }
  std::vector<gfx::Line*> dashed_blue() {
    std::vector<gfx::Line*> out;
    for (gfx::Line* l : curve_lines())
      if (l->line_style == "--" && l->color == gfx::Color{0, 0, 1}) out.push_back(l);
    return out;
  }
  std::string folder;
};

using Import = TextCurves;

TEST_F(Import, DrawsColumnsTwoAndThreeAgainstColumnOne) {
  struct Row {
    const char* name;
    const char* text;
    std::size_t cols;
  };
  const Row rows[] = {
      {"tabs", "0\t10\t-10\n0.5\t100\t-120\n", 3},
      {"blanks and commas", "0, 10, -10\r\n0.5 100 -120", 3},
      {"semicolons, exponents", "0 1e1 -1E1; 5e-1 1.0e2 -1.2e+2", 3},
      {"more columns", "0 10 -10 7 8\n0.5 100 -120 7 8\n", 5},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    store({linear_curve(1)});
    import_file("curve.txt", row.text);
    run("import");
    EXPECT_EQ(g.fn, "curve.txt");
    EXPECT_EQ(g.pn, folder);
    EXPECT_EQ(g.import.rows, 2u);
    EXPECT_EQ(g.import.cols, row.cols);
    const auto lines = dashed_blue();
    ASSERT_GE(lines.size(), 2u);
    const gfx::Line& comp = *lines[lines.size() - 2];
    const gfx::Line& reb = *lines.back();
    EXPECT_EQ(comp.x, (std::vector<double>{0, 0.5}));
    EXPECT_EQ(comp.y, (std::vector<double>{10, 100}));
    EXPECT_EQ(reb.x, (std::vector<double>{0, 0.5}));
    EXPECT_EQ(reb.y, (std::vector<double>{-10, -120}));
    EXPECT_TRUE(curve_axes().hold);
    EXPECT_TRUE(curve_axes().xgrid && curve_axes().ygrid);
    EXPECT_EQ(curve_axes().xlim, (std::array<double, 2>{0, 10}));
    EXPECT_TRUE(gfx.window(2)->zoom);
    EXPECT_EQ(gfx.current_window()->number, 1);
  }
  EXPECT_EQ(curve_lines().size(), 2u * 4);  // earlier curves stay: hold on
}

TEST_F(Import, DialogStartsInTheLastFolderAndACancelForgetsIt) {
  run("import");  // nothing queued: cancelled
  EXPECT_EQ(dialogs.last_filter(), "*.txt");
  EXPECT_EQ(dialogs.last_title(), "Select an Import File...");
  import_file("a.txt", "1 2 3");
  run("import");
  EXPECT_EQ(dialogs.last_filter(), "*.txt");
  run("import");
  EXPECT_EQ(dialogs.last_filter(), folder + "*.txt");
  EXPECT_FALSE(g.pn.has_value());
  EXPECT_FALSE(g.fn.has_value());
  EXPECT_EQ(g.import.row_order(), (std::vector<double>{1, 2, 3}));  // a cancel keeps the curve
}

TEST_F(Import, TextThatIsNoThreeColumnCurveIsRefusedAndTheHeldCurveKept) {
  struct Row {
    const char* name;
    const char* text;
    std::string message_end;
  };
  const std::string unchanged = " The import curve is unchanged.";
  const Row rows[] = {
      {"empty", "", "holds a 0 by 0 matrix; it needs rows of velocity, compression force and "
                    "rebound force." + unchanged},
      {"two columns", "0 1\n2 3\n", "holds a 2 by 2 matrix; it needs rows of velocity, "
                                    "compression force and rebound force." + unchanged},
      {"words", "velocity force force\n1 2 3\n", "is not a matrix of numbers; the import curve "
                                                 "is unchanged."},
      {"ragged", "1 2 3\n4 5\n", "is not a matrix of numbers; the import curve is unchanged."},
  };
  g.import = Matrix{1, 3, {7, 8, 9}};
  control("holdimport").value = 1;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    import_file("bad.txt", row.text);
    const std::size_t lines = curve_lines().size();
    EXPECT_EQ(error_of("import"), "The import file \"" + folder + "bad.txt\" " + row.message_end);
    EXPECT_EQ(g.import.row_order(), (std::vector<double>{7, 8, 9}));
    EXPECT_EQ(curve_lines().size(), lines);
    EXPECT_EQ(g.fn, "bad.txt");
  }
  EXPECT_EQ(error_of("clear"), "no error");  // the held curve still redraws
}

TEST_F(Import, MissingFileIsAnErrorNamingIt) {
  dialogs.push({false, "gone.txt", folder});
  const std::string e = error_of("import");
  EXPECT_NE(e.find(folder + "gone.txt"), std::string::npos) << e;
}

using Export = TextCurves;

// Curve 1 of linear_curve: velocity 0.0005 m/s per newton up to 1000 N, so the first sample
// faster than v has force floor(v / 0.0005) + 1 (SI) at the damper.
std::string metric_entry_of_linear_curve() {
  const DamperCurve c = linear_curve(1);
  std::string e = "\n   " + c.curveIDcompression1 + "\n   " + c.curveIDcompression2 + "\n" +
                  c.curveIDrebound1 + "\n" + c.curveIDrebound2 + "\n\n";
  e += "0.000\t1.00000\t-1.00000\n"
       "0.005\t11.00000\t-11.00000\n"
       "0.010\t21.00000\t-21.00000\n"
       "0.015\t31.00000\t-31.00000\n"
       "0.020\t41.00000\t-41.00000\n"
       "0.025\t51.00000\t-51.00000\n"
       "0.030\t61.00000\t-61.00000\n"
       "0.035\t71.00000\t-71.00000\n"
       "0.040\t81.00000\t-81.00000\n"
       "0.050\t101.00000\t-101.00000\n"
       "0.060\t121.00000\t-121.00000\n"
       "0.070\t141.00000\t-141.00000\n"
       "0.080\t161.00000\t-161.00000\n"
       "0.090\t181.00000\t-181.00000\n"
       "0.100\t201.00000\t-201.00000\n"
       "0.125\t251.00000\t-251.00000\n"
       "0.150\t301.00000\t-301.00000\n"
       "0.175\t351.00000\t-351.00000\n"
       "0.200\t401.00000\t-401.00000\n"
       "0.250\t501.00000\t-501.00000\n";
  return e;
}

TEST_F(Export, AppendsEntriesWithoutTouchingEarlierContent) {
  store({linear_curve(1)});
  write_export("earlier exports\n");
  run("export");
  run("export");
  const std::string entry = metric_entry_of_linear_curve();
  EXPECT_EQ(exported(), "earlier exports\n" + entry + entry);
  EXPECT_EQ(std::count(entry.begin(), entry.end(), '\n'), 26);
  EXPECT_EQ(gfx.window(1)->pointer, "arrow");
  EXPECT_EQ(gfx.current_window()->number, 1);
}

TEST_F(Export, GridFollowsTheRadioButtonsAndFactorsTheLastSynthesis) {
  // Stored in US units: 39.37 in/s per m/s; forces in pounds. The motion ratio and scales
  // enter as at drawing time.
  DamperCurve c = linear_curve(1);
  c.compscale = 0.8;
  c.motionratio = 1.5;
  store({c});
  g.sitous_vel = 39.37007874015748;
  g.sitous_force = 4.45374;
  control("SIUnits").value = 0;
  control("USUnits").value = 1;
  write_export("");
  run("export");
  const WheelCurves w = wheel_curves(c, kUSFactors);
  const std::vector<double> us_grid = {0, 0.25, 0.5, 0.75, 1, 1.25, 1.5, 1.75, 2, 2.25,
                                       2.5, 2.75, 3, 3.5, 4, 4.5, 5, 6, 8, 10};
  std::string expected;
  for (double v : us_grid) {
    std::size_t kc = 0, kr = 0;
    while (!(w.compression_velocity[kc] > v)) ++kc;
    while (!(w.rebound_velocity[kr] > v)) ++kr;
    char line[100];
    std::snprintf(line, sizeof line, "%0.3f\t%0.5f\t%0.5f\n", v, w.compression_force[kc],
                  w.rebound_force[kr]);
    expected += line;
  }
  const std::string text = exported();
  ASSERT_GT(text.size(), expected.size());
  EXPECT_EQ(text.substr(text.size() - expected.size()), expected);
  EXPECT_NE(text.find("\n10.000\t"), std::string::npos);

  // Metric radio buttons after a curve drawn in US units: the metric grid.
  control("SIUnits").value = 1;
  control("USUnits").value = 0;
  write_export("");
  run("export");
  EXPECT_NE(exported().find("\n0.250\t"), std::string::npos);
}

// A curve drawn in one unit system and exported after a switch to the other is written in the
// units shown at export time: the grid and the forces alike. The expected lines are worked out
// by hand from the stored points (1 in = 0.0254 m; the displays' 4.45374 N per pound).
TEST_F(Export, EntryIsInTheUnitsShownAtExportWhateverTheCurveWasDrawnIn) {
  // A curve that bends, so no grid velocity falls on one of its points.
  DamperCurve c = linear_curve(1);
  for (std::size_t k = 0; k < c.cmpvelocity.size(); ++k) {
    const double v = 0.6 * std::pow(static_cast<double>(k) / 1000, 1.3);
    c.cmpvelocity[k] = c.rebvelocity[k] = v;
    c.cmpforce[k] = 2900 * std::pow(v, 0.7);
    c.rebforce[k] = -4100 * std::pow(v, 0.8);
  }
  c.compression_velocity = c.cmpvelocity;
  c.compression_force = c.cmpforce;
  c.rebound_velocity = c.rebvelocity;
  c.rebound_force = c.rebforce;

  // The data lines by hand: at each grid velocity the first stored point faster than it.
  auto expected_lines = [&c](bool us) {
    const std::vector<double> grid =
        us ? std::vector<double>{0,   0.25, 0.5, 0.75, 1, 1.25, 1.5, 1.75, 2, 2.25,
                                 2.5, 2.75, 3,   3.5,  4, 4.5,  5,   6,    8, 10}
           : std::vector<double>{0,    0.005, 0.01, 0.015, 0.02, 0.025, 0.03, 0.035, 0.04, 0.05,
                                 0.06, 0.07,  0.08, 0.09,  0.1,  0.125, 0.15, 0.175, 0.2,  0.25};
    const double metres_per_unit = us ? 0.0254 : 1, newtons_per_unit = us ? 4.45374 : 1;
    auto first_above = [&](const std::vector<double>& v, const std::vector<double>& f,
                           double shown) {
      std::size_t k = 0;
      while (!(v[k] / metres_per_unit > shown)) ++k;
      return f[k] / newtons_per_unit;
    };
    std::string lines;
    for (double v : grid) {
      char line[100];
      std::snprintf(line, sizeof line, "%0.3f\t%0.5f\t%0.5f\n", v,
                    first_above(c.cmpvelocity, c.cmpforce, v),
                    first_above(c.rebvelocity, c.rebforce, v));
      lines += line;
    }
    return lines;
  };

  struct Row {
    const char* name;
    bool drawn_us, shown_us;
  };
  const Row rows[] = {
      {"drawn and exported in Metric", false, false},
      {"drawn in Metric, exported in Imperial", false, true},
      {"drawn in Imperial, exported in Metric", true, false},
      {"drawn and exported in Imperial", true, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    // PLOT in the units shown then: its display factors are the last synthesis's.
    store({c});
    g.sitous_vel = row.drawn_us ? kUSFactors.velocity : 1;
    g.sitous_force = row.drawn_us ? kUSFactors.force : 1;
    control("SIUnits").value = row.drawn_us ? 0 : 1;
    control("USUnits").value = row.drawn_us ? 1 : 0;
    if (row.drawn_us != row.shown_us) {
      // A click on the other radio button turns it on before its command runs.
      control(row.shown_us ? "USUnits" : "SIUnits").value = 1;
      run(row.shown_us ? "us" : "si");
      ASSERT_EQ(control("USUnits").value, row.shown_us ? 1 : 0);
    }
    write_export("");
    run("export");
    const std::string text = exported();
    const std::string want = expected_lines(row.shown_us);
    ASSERT_GT(text.size(), want.size());
    EXPECT_EQ(text.substr(text.size() - want.size()), want);
  }
}

TEST_F(Export, PlotNumbersOutsideTheStoredCurvesWriteNothing) {
  struct Row {
    const char* box;
    const char* error;
  };
  const Row rows[] = {
      {"3", "There is no curve 3 to export; 2 curves are stored, curves 1 to 2."},  // = counter
      {"99", "There is no curve 99 to export; 2 curves are stored, curves 1 to 2."},
      {"Inf", "There is no curve Inf to export; 2 curves are stored, curves 1 to 2."},
      {"", "The plot number \"\" is not a number."},
      {"one", "The plot number \"one\" is not a number."},
      {"0", "The plot number 0 is not a curve number from 1 up."},
      {"-1", "The plot number -1 is not a curve number from 1 up."},
      {"1.5", "The plot number 1.5 is not a curve number from 1 up."},
      {"NaN", "The plot number NaN is not a curve number from 1 up."},
  };
  store({linear_curve(1), linear_curve(2)});
  write_export("kept\n");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.box);
    control("plotindex").string = row.box;
    EXPECT_EQ(error_of("export"), row.error);
    EXPECT_EQ(exported(), "kept\n");
    EXPECT_EQ(gfx.window(1)->pointer, "arrow");
  }
  // With one curve or none the count reads as such.
  control("plotindex").string = "2";
  store({linear_curve(1)});
  EXPECT_EQ(error_of("export"), "There is no curve 2 to export; 1 curve is stored, curve 1.");
  store({});
  EXPECT_EQ(error_of("export"), "There is no curve 2 to export; no curve is stored yet.");
  EXPECT_EQ(exported(), "kept\n");
  store({linear_curve(1), linear_curve(2)});
  control("plotindex").string = " 2 ";  // the newest curve
  run("export");
  EXPECT_NE(exported().find("\n   2  Comp  "), std::string::npos);
}

TEST_F(Export, AnExportFileThatIsMissingOrNotAFileIsNamedForWhatItIs) {
  struct Row {
    const char* name;
    void (*make)(const fs::path&);
    const char* says;
  };
  const Row rows[] = {
      {"missing", [](const fs::path&) {}, "does not exist"},
      {"folder", [](const fs::path& f) { fs::create_directories(f / "inside"); },
       "is a folder, not a regular file"},
      {"fifo", [](const fs::path& f) { ASSERT_EQ(::mkfifo(f.c_str(), 0600), 0); },
       "is a pipe (FIFO), not a regular file"},
  };
  store({linear_curve(1)});
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    fs::remove_all(export_file());
    row.make(export_file());
    EXPECT_EQ(error_of("export"), "The export file \"" + export_file().string() + "\" " + row.says +
                                      "; nothing was exported.");
    EXPECT_EQ(fs::exists(export_file()), std::string(row.name) != "missing");
    EXPECT_FALSE(fs::is_regular_file(export_file())) << "nothing was made in its place";
    EXPECT_EQ(gfx.window(1)->pointer, "arrow");
  }
}

TEST_F(Export, CurveThatStopsShortOfTheGridLeavesTheFileUntouched) {
  store({linear_curve(1, 0.2)});  // tops out at 0.2 m/s, below the last grid point
  write_export("kept\n");
  EXPECT_EQ(error_of("export"),
            "Curve 1 does not reach 0.2 m/s in compression; nothing was exported.");
  EXPECT_EQ(exported(), "kept\n");
  EXPECT_EQ(gfx.window(1)->pointer, "arrow");
}

TEST_F(Export, IdTextsAreWrittenAsTheyStand) {
  DamperCurve c = linear_curve(1);
  c.curveIDrebound2 = "  -  MR:100% - 12\\n/12/40";
  store({c});
  write_export("");
  run("export");
  EXPECT_NE(exported().find("\n  -  MR:100% - 12\\n/12/40\n"), std::string::npos);
}

TEST_F(Export, DataLinesImportBackAsTheCurve) {
  store({linear_curve(1)});
  write_export("");
  run("export");
  const std::string entry = exported();
  // Lines 7 to 26: the number block alone reads as a 20 by 3 matrix; the whole entry does not.
  std::size_t start = 0;
  for (int line = 0; line < 6; ++line) start = entry.find('\n', start) + 1;
  const std::string block = entry.substr(start);
  dir.write("block.txt", block);
  dialogs.push({false, "block.txt", folder});
  run("import");
  EXPECT_EQ(g.import.rows, 20u);
  EXPECT_EQ(g.import.cols, 3u);
  EXPECT_EQ(g.import.at(19, 0), 0.25);
  EXPECT_EQ(g.import.at(19, 1), 501);
  EXPECT_EQ(g.import.at(19, 2), -501);
  EXPECT_EQ(dashed_blue().size(), 2u);

  dialogs.push({false, "data/export.txt", folder});
  EXPECT_NE(error_of("import").find("is not a matrix of numbers"), std::string::npos);
  EXPECT_EQ(g.import.rows, 20u);
}

}  // namespace
}  // namespace quorin
