// The script driver: one JSON line per command, errors reported and the script going on,
// malformed lines ending the script with their number.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "analysis/history.h"
#include "app/script_driver.h"
#include "services/runtime_error.h"
#include "services/temp_dir.h"

namespace quorin {
namespace {

struct ScriptRun {
  int status;
  std::string out, err;
};

ScriptRun run(const std::string& script) {
  std::ostringstream console;
  ScriptDriver driver(std::filesystem::temp_directory_path(), console);
  std::istringstream in(script);
  std::ostringstream out, err;
  int status = run_script(in, out, err, driver);
  return {status, out.str(), err.str()};
}

TEST(ScriptDriver, ReportsCountMessagesAndGoesOn) {
  ScriptRun r =
      run("# a comment\n"
          "\n"
          "call bleed 0 [1,2,3,4]\n"
          "call quorin_processor_ct 1 [\"view\"]\n"
          "call plotfunction 0 [1,2,3,4,5,6,7]\n"
          "call imread 4 []\n"
          "global counter\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(
      r.out,
      "{\"error\":\"Run-time Error: File: bleed Line: 1 Column: 1 The function \\\"bleed\\\" "
      "was called with more than the declared number of inputs (3).\"}\n"
      "{\"error\":\"Run-time Error: File: quorin_processor_ct Line: 20 Column: 1 The function "
      "\\\"quorin_processor_ct\\\" was called with more than the declared number of outputs "
      "(0).\"}\n"
      "{\"error\":\"Run-time Error: File: plotfunction Line: 3 Column: 1 The function "
      "\\\"plotfunction\\\" was called with more than the declared number of inputs (6).\"}\n"
      "{\"error\":\"Run-time Error: File: imread Line: 1 Column: 1 The function \\\"imread\\\" "
      "was called with more than the declared number of outputs (3).\"}\n"
      "{\"value\":0}\n");
}

TEST(ScriptDriver, MalformedLineEndsTheScriptNamingItsNumber) {
  struct Row {
    const char* line;
  } rows[] = {{"frobnicate"}, {"call bleed x"},     {"call bleed 1 [1,"}, {"dialog maybe"},
              {"set Tag"},    {"snapshot x y.png"}, {"dialog print"}};
  for (const auto& row : rows) {
    ScriptRun r = run(std::string("global counter\n") + row.line + "\nglobal counter\n");
    EXPECT_EQ(r.status, 2) << row.line;
    EXPECT_EQ(r.out, "{\"value\":0}\n") << row.line;
    EXPECT_NE(r.err.find("line 2"), std::string::npos) << r.err;
  }
}

// Bytes of a line that are not UTF-8 (a name typed in another encoding) come back in the
// error line as U+FFFD: each answer is still one JSON line and the script goes on.
TEST(ScriptDriver, BytesThatAreNotUtf8ComeBackReplaced) {
  ScriptRun r = run("call caf\xE9 0\nglobal \xFF\xFE\nglobal counter\n");
  EXPECT_EQ(r.status, 0) << r.err;
  std::istringstream lines(r.out);
  std::vector<std::string> answers;
  for (std::string line; std::getline(lines, line);) answers.push_back(line);
  ASSERT_EQ(answers.size(), 3u) << r.out;
  EXPECT_NE(answers[0].find("\"error\""), std::string::npos) << answers[0];
  EXPECT_NE(answers[0].find("caf\xEF\xBF\xBD"), std::string::npos) << answers[0];
  EXPECT_NE(answers[1].find("\"error\""), std::string::npos) << answers[1];
  EXPECT_EQ(answers[2], "{\"value\":0}");
}

TEST(ScriptDriver, DialogAnswersAndUnknownGlobals) {
  ScriptRun r = run("dialog cancel\ndialog open /tmp x.pvp\nglobal nosuch\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "{\"ok\": true}\n{\"ok\": true}\n"
            "{\"error\":\"There is no global named \\\"nosuch\\\".\"}\n");
}

// A start in a folder without the supplied files fails like any command, and the driver goes
// on with the new, empty program.
TEST(ScriptDriver, AFailedStartIsReportedAndTheScriptGoesOn) {
  ScriptRun r = run("start /nonexistent/quorin\nglobal counter\nstart /nonexistent/quorin\n");
  EXPECT_EQ(r.status, 0) << r.err;
  std::istringstream lines(r.out);
  std::string first, second, third;
  std::getline(lines, first);
  std::getline(lines, second);
  std::getline(lines, third);
  EXPECT_NE(first.find("\"error\""), std::string::npos) << first;
  EXPECT_NE(first.find("/nonexistent/quorin"), std::string::npos) << first;
  EXPECT_EQ(second.rfind("{\"value\":", 0), 0u) << second;
  EXPECT_EQ(third, first);
}

// PRINT in a started program with a curve shown: what each print dialog answer does, with a
// PDF writer that records what it was asked to write.
TEST(ScriptDriver, PrintDialogAnswers) {
  namespace fs = std::filesystem;
  if (!fs::is_regular_file(fs::path(QUORIN_BIN_DIR) / "quorin_bleed_2004_v1.mat"))
    GTEST_SKIP() << "the supplied data are not generated";
  enum class Writer { Records, Fails, None };
  struct Row {
    const char* name;
    std::string answers;  // script lines before PRINT
    Writer writer;
    std::string result;  // of PRINT
    std::vector<std::string> written;
  };
  const std::vector<Row> rows = {
      {"no answer: recorded only", "", Writer::Records, R"({"ok": true})", {}},
      {"a PDF printer",
       "dialog print out.pdf\n",
       Writer::Records,
       R"({"ok": true})",
       {"2 out.pdf"}},
      {"a path with blanks",
       "dialog print /tmp/my prints/a.pdf\n",
       Writer::Records,
       R"({"ok": true})",
       {"2 /tmp/my prints/a.pdf"}},
      {"cancelled", "dialog print cancel\n", Writer::Records, R"({"ok": true})", {}},
      {"file-dialog answers are not taken",
       "dialog cancel\ndialog print b.pdf\n",
       Writer::Records,
       R"({"ok": true})",
       {"2 b.pdf"}},
      {"the file cannot be written",
       "dialog print c.pdf\n",
       Writer::Fails,
       R"({"error":"Could not write \"c.pdf\"."})",
       {}},
      {"a driver that cannot print",
       "dialog print d.pdf\n",
       Writer::None,
       R"({"error":"This driver cannot print."})",
       {}},
  };
  for (const Row& row : rows) {
    std::vector<std::string> written;
    ScriptHooks hooks;
    if (row.writer != Writer::None)
      hooks.print_pdf = [&](gfx::Model& m, int n, const fs::path& pdf) {
        if (row.writer == Writer::Fails)
          throw RuntimeError("Could not write \"" + pdf.string() + "\".");
        ASSERT_NE(m.window(n), nullptr);
        written.push_back(std::to_string(n) + " " + pdf.string());
      };
    std::ostringstream console;
    ScriptDriver driver(QUORIN_BIN_DIR, console, hooks);
    std::istringstream in("start\npress PLOT\n" + row.answers + "press PRINT\n");
    std::ostringstream out, err;
    ASSERT_EQ(run_script(in, out, err, driver), 0) << row.name << err.str();
    std::string last = out.str();
    last.pop_back();
    last = last.substr(last.rfind('\n') + 1);
    EXPECT_EQ(last, row.result) << row.name;
    EXPECT_EQ(written, row.written) << row.name;
    EXPECT_EQ(driver.program().headless_printer.requests.size(), 1u) << row.name;
  }
}

// PLOT in one unit system, a click on the other, EXPORT #: the entry is in the units shown at
// export time, its grid and its forces alike, checked against the stored curve's points
// converted by hand (1 in = 0.0254 m; the displays' 4.45374 N per pound).
TEST(ScriptDriver, ExportAfterAUnitSwitchIsInTheUnitsShown) {
  namespace fs = std::filesystem;
  if (!fs::is_regular_file(fs::path(QUORIN_SUPPLIED) / "quorin_bleed_2004_v1.mat"))
    GTEST_SKIP() << "the supplied data are not generated";
  struct Row {
    const char* name;
    bool drawn_si, shown_si;
  };
  const Row rows[] = {
      {"Imperial to Metric", false, true},
      {"Metric to Imperial", true, false},
      {"Imperial throughout", false, false},
      {"Metric throughout", true, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    test::TempDir start;
    fs::copy(QUORIN_SUPPLIED, start.path(), fs::copy_options::recursive);
    std::ostringstream console;
    ScriptDriver driver(start.path(), console);
    std::string script = "start " + start.path().string() + "\n";
    if (row.drawn_si) script += "press SIUnits\n";
    script += "press PLOT\n";
    if (row.shown_si != row.drawn_si)
      script += row.shown_si ? "press SIUnits\n" : "press USUnits\n";
    script += "window 1\nset plotindex String \"1\"\npress EXPORT #\n";
    std::istringstream in(script);
    std::ostringstream out, err;
    ASSERT_EQ(run_script(in, out, err, driver), 0) << err.str();
    EXPECT_EQ(out.str().find("error"), std::string::npos) << out.str();

    const DamperCurve& c = driver.program().globals.plotdata.at(0);
    const double metres = row.shown_si ? 1 : 0.0254, newtons = row.shown_si ? 1 : 4.45374;
    const std::vector<double> grid =
        row.shown_si
            ? std::vector<double>{0,    0.005, 0.01, 0.015, 0.02, 0.025, 0.03, 0.035, 0.04, 0.05,
                                  0.06, 0.07,  0.08, 0.09,  0.1,  0.125, 0.15, 0.175, 0.2,  0.25}
            : std::vector<double>{0,   0.25, 0.5, 0.75, 1, 1.25, 1.5, 1.75, 2, 2.25,
                                  2.5, 2.75, 3,   3.5,  4, 4.5,  5,   6,    8, 10};
    // At the wheel: velocity / scale x motion ratio, (force x scale + gas force) / motion
    // ratio; the first point faster than the grid velocity.
    auto first_above = [&](const std::vector<double>& v, const std::vector<double>& f, double scale,
                           double at) {
      for (std::size_t k = 0; k < v.size(); ++k)
        if (v[k] / scale * c.motionratio / metres > at)
          return (f[k] * scale + c.gasforce) / c.motionratio / newtons;
      ADD_FAILURE() << "the curve does not reach " << at;
      return 0.0;
    };
    std::string want;
    for (double v : grid) {
      char line[100];
      std::snprintf(line, sizeof line, "%0.3f\t%0.5f\t%0.5f\n", v,
                    first_above(c.cmpvelocity, c.cmpforce, c.compscale, v),
                    first_above(c.rebvelocity, c.rebforce, c.rebscale, v));
      want += line;
    }
    const std::string text = test::TempDir::read(start.path() / "data" / "export.txt");
    ASSERT_GT(text.size(), want.size());
    EXPECT_EQ(text.substr(text.size() - want.size()), want);
  }
}

// The ride verb: a study of the stored curves or of a list of set-ups into a CSV file, the
// class road kept as a road file and read back as the same road.
TEST(ScriptDriver, RideWritesStudiesOfStoredCurvesAndOfSetUpLists) {
  namespace fs = std::filesystem;
  if (!fs::is_regular_file(fs::path(QUORIN_SUPPLIED) / "quorin_bleed_2004_v1.mat"))
    GTEST_SKIP() << "the supplied data are not generated";
  test::TempDir start;
  fs::copy(QUORIN_SUPPLIED, start.path(), fs::copy_options::recursive);
  const fs::path dir = start.path();
  std::ofstream(dir / "setups.txt") << "# two set-ups\nLSC=3 HSC=12\nLSR=5\n";
  std::ostringstream console;
  ScriptDriver driver(dir, console);
  const std::string d = dir.string() + "/";
  std::istringstream in("start " + dir.string() +
                        "\n"
                        "press PLOT\n"
                        "press PLOT\n"
                        "ride case=kerb out=" + d + "kerb.csv\n"
                        "ride duration=5 seed=3 out=" + d + "road.csv saveroad=" + d + "road.txt\n"
                        "ride road=" + d + "road.txt out=" + d + "again.csv\n"
                        "ride setups=" + d + "setups.txt case=shaker out=" + d + "list.csv\n"
                        "ride colour=red out=" + d + "x.csv\n"
                        "ride case=kerb\n"
                        "ride ms=0 out=" + d + "x.csv\n");
  std::ostringstream out, err;
  ASSERT_EQ(run_script(in, out, err, driver), 0) << err.str();
  std::vector<std::string> lines;
  std::istringstream o(out.str());
  for (std::string l; std::getline(o, l);) lines.push_back(l);
  ASSERT_EQ(lines.size(), 10u) << out.str();
  EXPECT_EQ(lines[3], "{\"value\":2}");
  EXPECT_EQ(lines[4], "{\"value\":2}");
  EXPECT_EQ(lines[5], "{\"value\":2}");
  EXPECT_EQ(lines[6], "{\"value\":2}");
  EXPECT_EQ(lines[7], "{\"error\":\"ride: there is no key \\\"colour\\\".\"}");
  EXPECT_NE(lines[8].find("out=FILE.csv"), std::string::npos) << lines[8];
  EXPECT_NE(lines[9].find("sprung mass"), std::string::npos) << lines[9];
  const std::string kerb = test::TempDir::read(dir / "kerb.csv");
  EXPECT_EQ(kerb.rfind("Curve,Name,Lowest tyre load (N),", 0), 0u) << kerb;
  EXPECT_EQ(std::count(kerb.begin(), kerb.end(), '\n'), 3);
  // The saved road drives the car exactly as the class road did.
  EXPECT_EQ(test::TempDir::read(dir / "again.csv"), test::TempDir::read(dir / "road.csv"));
  const std::string list = test::TempDir::read(dir / "list.csv");
  EXPECT_NE(list.find("1,LSC 3 HSC 12 LSR"), std::string::npos) << list;
  EXPECT_NE(list.find("Curve,Frequency (Hz),Body (ratio),Tyre load (of static)"),
            std::string::npos);
}

// The measured verbs: a run read and overlaid, the whole set-up fitted to it, a logger file's
// bands; a file whose columns are asked about reads only with the question answered.
TEST(ScriptDriver, MeasuredVerbsReadARunFitTheWholeSetUpAndReadTrackData) {
  namespace fs = std::filesystem;
  if (!fs::is_regular_file(fs::path(QUORIN_SUPPLIED) / "quorin_bleed_2004_v1.mat"))
    GTEST_SKIP() << "the supplied data are not generated";
  test::TempDir start;
  fs::copy(QUORIN_SUPPLIED, start.path(), fs::copy_options::recursive);
  std::string run = "Time (s),Displacement (mm),Force (N)\n", odd = "Stamp,Weg,Kraft\n";
  for (int k = 0; k <= 4000; ++k) {
    const double t = k * 0.001, w = 2 * 3.141592653589793;
    const std::string row = std::to_string(t) + "," + std::to_string(-25 * std::cos(w * t)) +
                            "," + std::to_string(120 + 9000 * 0.025 * w * std::sin(w * t)) + "\n";
    run += row;
    odd += row;
  }
  std::ofstream(start.path() / "rig.csv") << run;
  std::ofstream(start.path() / "odd.csv") << odd;
  std::ofstream(start.path() / "log.csv") << "Time (s),FL (mm/s),RR (mm/s)\n0,10,-300\n0.01,30,-60\n";
  std::ostringstream console;
  ScriptDriver driver(start.path(), console);
  auto line = [&](const std::string& l) { return driver.run_line(l).value_or(""); };
  line("start " + start.path().string());
  const std::string read = line("measured run " + (start.path() / "rig.csv").string());
  EXPECT_NE(read.find("\"runs\":1,\"gas_force_n\":1"), std::string::npos) << read;  // 120 N
  EXPECT_EQ(line("measured fit compression").rfind("{\"value\":{\"compression\":{\"best\":[{\"valve\"", 0), 0u);
  EXPECT_NE(line("measured run " + (start.path() / "odd.csv").string()).find("cancelled"),
            std::string::npos);
  line("dialog input [\"Time (s)\", \"Displacement (mm)\", \"Force (N)\"]");
  EXPECT_NE(line("measured run " + (start.path() / "odd.csv").string()).find("\"runs\":1"),
            std::string::npos);
  const std::string track = line("measured track " + (start.path() / "log.csv").string());
  EXPECT_NE(track.find("\"corner\":\"Front left\",\"compression_percent\":[50.0,50.0,0.0"),
            std::string::npos)
      << track;
  EXPECT_THROW(line("measured fit sideways"), ScriptSyntaxError);
}

TEST(ScriptDriver, PrintAndFileDialogAnswersKeepTheirOwnQueues) {
  std::ostringstream console;
  ScriptDriver driver(std::filesystem::temp_directory_path(), console);
  ASSERT_TRUE(driver.run_line("dialog print first.pdf"));
  ASSERT_TRUE(driver.run_line("dialog open /data x.pvp"));
  ASSERT_TRUE(driver.run_line("dialog print cancel"));
  const DialogResult file = driver.dialogs().open_file("/data/*.pvp", "Load");
  EXPECT_FALSE(file.cancelled);
  EXPECT_EQ(file.file, "x.pvp");
  EXPECT_TRUE(driver.dialogs().save_file("/data/*.pvp", "Save").cancelled) << "nothing left";
  const auto first = driver.dialogs().next_print();
  ASSERT_TRUE(first);
  EXPECT_FALSE(first->cancelled);
  EXPECT_EQ(first->pdf, "first.pdf");
  const auto second = driver.dialogs().next_print();
  ASSERT_TRUE(second);
  EXPECT_TRUE(second->cancelled);
  EXPECT_FALSE(driver.dialogs().next_print());
}

// Every command the driver takes is listed, with its arguments, by --help and by the manual
// page (both written from the driver's own table) and has its row in the scripting document;
// a line whose verb is not in the table is not taken.
TEST(ScriptDriver, EveryVerbItTakesIsInTheHelpTheManualPageAndTheScriptingDocument) {
  const std::string help = script_help();
  const std::string manual = script_manual_commands();
  const std::string scripting =
      test::TempDir::read(std::filesystem::path(QUORIN_BIN_DIR) / "docs" / "scripting.md");
  ASSERT_FALSE(scripting.empty()) << "the build copies the documents next to the executables";
  auto roff = [](std::string_view text) {
    std::string out;
    for (char c : text) out += c == '-' ? std::string("\\-") : std::string(1, c);
    return out;
  };
  std::ostringstream console;
  ScriptDriver driver(std::filesystem::temp_directory_path(), console);
  ASSERT_GE(ScriptDriver::verbs().size(), 20u);
  for (const ScriptVerb& v : ScriptDriver::verbs()) {
    const std::string verb(v.verb);
    SCOPED_TRACE(verb);
    // Taken by the dispatcher: whatever the line then says, it is not an unknown verb.
    try {
      driver.run_line(verb);
    } catch (const ScriptSyntaxError& e) {
      EXPECT_EQ(std::string(e.what()).find("unknown verb"), std::string::npos) << e.what();
      EXPECT_EQ(std::string(e.what()).find(" takes "), std::string::npos) << e.what();
    }
    const std::string form = v.arguments.empty() ? verb : verb + " " + std::string(v.arguments);
    const std::size_t at = help.find("\n  " + form);
    ASSERT_NE(at, std::string::npos) << "not in --help: " << form;
    EXPECT_TRUE(std::isspace(help.at(at + 3 + form.size()))) << "not in --help: " << form;
    EXPECT_NE(help.find(std::string(v.help.substr(0, 20))), std::string::npos);
    const std::string page_line =
        v.arguments.empty() ? ".B \"" + roff(verb) + "\"\n"
                            : ".BI \"" + roff(verb) + "\" \" " + roff(v.arguments) + "\"\n";
    EXPECT_NE(manual.find(".TP\n" + page_line), std::string::npos) << "not in the manual page";
    EXPECT_NE(scripting.find("`" + verb), std::string::npos) << "not in scripting.md";
  }
  for (const char* line : {"restart", "dialogs open /tmp/ a", "help"})
    EXPECT_THROW(driver.run_line(line), ScriptSyntaxError) << line;
  try {
    driver.run_line("dialog");
    ADD_FAILURE() << "dialog without its form was taken";
  } catch (const ScriptSyntaxError& e) {
    EXPECT_STREQ(e.what(), "dialog takes open, save, cancel, print or input");
  }
}

// The main window's Help button opens the user guide through the dialogs of the desk; the
// driver's desk records it.
TEST(ScriptDriver, HelpOpensTheUserGuide) {
  namespace fs = std::filesystem;
  if (!fs::is_regular_file(fs::path(QUORIN_SUPPLIED) / "quorin_bleed_2004_v1.mat"))
    GTEST_SKIP() << "the supplied data are not generated";
  test::TempDir start;
  fs::copy(QUORIN_SUPPLIED, start.path(), fs::copy_options::recursive);
  std::ostringstream console;
  ScriptDriver driver(start.path(), console);
  std::istringstream in("start " + start.path().string() + "\npress Help\n" +
                        "command quorin_help('scripting.md')\n");
  std::ostringstream out, err;
  ASSERT_EQ(run_script(in, out, err, driver), 0) << err.str();
  EXPECT_EQ(out.str(), "{\"ok\": true}\n{\"ok\": true}\n{\"ok\": true}\n");
  EXPECT_EQ(driver.dialogs().documents_opened(),
            (std::vector<std::string>{"user-guide.md", "scripting.md"}));
}

// Undo and redo after a switch of units draw the plot in the units the main window shows.
TEST(ScriptDriver, UndoAndRedoAfterAUnitSwitchDrawInTheUnitsShown) {
  namespace fs = std::filesystem;
  if (!fs::is_regular_file(fs::path(QUORIN_SUPPLIED) / "quorin_bleed_2004_v1.mat"))
    GTEST_SKIP() << "the supplied data are not generated";
  struct Row {
    const char* name;
    const char* drawn;  // the radio button pressed before the PLOTs
    const char* shown;  // the one pressed after them
    const char* velocity;
  };
  const Row rows[] = {{"Imperial to Metric", "USUnits", "SIUnits", "(m/s)"},
                      {"Metric to Imperial", "SIUnits", "USUnits", "(inches/s)"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    test::TempDir start;
    fs::copy(QUORIN_SUPPLIED, start.path(), fs::copy_options::recursive);
    std::ostringstream console;
    ScriptDriver driver(start.path(), console);
    const std::string script = "start " + start.path().string() + "\nset " + row.drawn +
                               " Value 0\npress " + row.drawn +
                               "\npress PLOT\npress PLOT\nwindow 1\npress " + row.shown + "\n";
    std::istringstream in(script);
    std::ostringstream out, err;
    ASSERT_EQ(run_script(in, out, err, driver), 0) << err.str();
    ASSERT_EQ(out.str().find("error"), std::string::npos) << out.str();
    Program& p = driver.program();
    auto x_label = [&p] {
      const auto picture = analysis::capture_axes(p.gfx, p.gfx.get<gfx::Axes>(p.globals.plothandle));
      return picture.labels[1] ? picture.labels[1]->string : std::string();
    };
    for (const char* line : {"menu 2 Undo", "menu 2 Redo"}) {
      SCOPED_TRACE(line);
      ASSERT_EQ(*driver.run_line(line), "{\"ok\": true}");
      EXPECT_NE(x_label().find(row.velocity), std::string::npos) << x_label();
    }
  }
}

}  // namespace
}  // namespace quorin
