// Damper files: "save" and "load" through the dispatcher on a hand-built main window.
#include <gtest/gtest.h>

#include <array>
#include <sstream>

#include "processor/processor.h"
#include "services/runtime_error.h"
#include "services/temp_dir.h"
#include "services/varfile.h"
#include "support/comparison_windows.h"

namespace quorin {
namespace {

using test_support::add_control;
using test_support::build_comparison_windows;
using test_support::main_control;

constexpr std::array<const char*, 8> kPopupTags = {
    "LSC", "HSC", "CompressionValve", "CompressionSpring",
    "LSR", "HSR", "ReboundValve",     "ReboundSpring"};
constexpr std::array<const char*, 4> kBoxTags = {"motionratio", "internalshaft", "externalshaft",
                                                 "piston"};

std::vector<std::string> rows(int n) {
  std::vector<std::string> out;
  for (int i = 1; i <= n; ++i) out.push_back("row " + std::to_string(i));
  return out;
}

// What the main window shows: the eight popup rows and the four box texts.
struct Selections {
  std::array<double, 8> popups;
  std::array<std::string, 4> boxes;
};

class DamperFile : public ::testing::Test {
 protected:
  void SetUp() override {
    using S = gfx::Control::Style;
    build_comparison_windows(gfx);
    gfx::Window& w = *gfx.window(1);
    // LSC, HSC, valves, springs: lists of 21, 31, 10 and 4 rows.
    add_control(gfx, w, S::Popup, "LSC", "", 1, rows(21));
    add_control(gfx, w, S::Popup, "HSC", "", 1, rows(31));
    add_control(gfx, w, S::Popup, "CompressionValve", "", 1, rows(10));
    add_control(gfx, w, S::Popup, "CompressionSpring", "", 1, rows(4));
    add_control(gfx, w, S::Popup, "LSR", "", 1, rows(21));
    add_control(gfx, w, S::Popup, "HSR", "", 1, rows(31));
    add_control(gfx, w, S::Popup, "ReboundValve", "", 1, rows(10));
    add_control(gfx, w, S::Popup, "ReboundSpring", "", 1, rows(4));
    add_control(gfx, w, S::Edit, "valveseatcompression", "7731-02");
    add_control(gfx, w, S::Edit, "valveseatrebound", "7731-02");
    add_control(gfx, w, S::Edit, "motionratio", "1");
    add_control(gfx, w, S::Edit, "internalshaft", "12");
    add_control(gfx, w, S::Edit, "externalshaft", "12");
    add_control(gfx, w, S::Edit, "piston", "40");
    g.counter = 1;
    g.counter2 = 1;
    g.pn = dir.path().string() + "/";
    g.mrstr = "1";
    g.cbleedvalue = 1;
  }

  void run(std::string_view action) {
    Processor p{g, gfx, dialogs, console, dir.path(), [] {}};
    quorin_processor_ct(p, action);
  }
  void answer(const std::string& file) { dialogs.push({false, file, dir.path().string() + "/"}); }

  void show(const Selections& s) {
    for (std::size_t k = 0; k < kPopupTags.size(); ++k)
      main_control(gfx, kPopupTags[k]).value = s.popups[k];
    for (std::size_t k = 0; k < kBoxTags.size(); ++k)
      main_control(gfx, kBoxTags[k]).string = s.boxes[k];
  }
  Selections shown() {
    Selections s;
    for (std::size_t k = 0; k < kPopupTags.size(); ++k)
      s.popups[k] = main_control(gfx, kPopupTags[k]).value;
    for (std::size_t k = 0; k < kBoxTags.size(); ++k)
      s.boxes[k] = main_control(gfx, kBoxTags[k]).string;
    return s;
  }
  std::string seat(const char* tag) { return main_control(gfx, tag).string; }

  test::TempDir dir;
  Globals g;
  gfx::Model gfx;
  ScriptedDialogs dialogs;
  std::ostringstream console;
};

struct RoundTrip {
  const char* name;
  Selections saved;
  const char* compression_seat;
  const char* rebound_seat;
};

TEST_F(DamperFile, SaveThenLoadRestoresEverySelectionAndTheSeats) {
  const RoundTrip cases[] = {
      {"valves7and8", {{11, 4, 7, 2, 3, 5, 8, 4}, {"1.5", "0", "14", "46"}}, "7731-02", "7731-01"},
      {"valves9and1",
       {{1, 31, 9, 4, 21, 1, 1, 1}, {"0.75", "12", "12", "40"}},
       "7731-01",
       "7731-02"},
      {"unparsedTexts",
       {{2, 2, 10, 3, 2, 2, 10, 3}, {"abc", "", " 12 ", "4e1"}},
       "7731-01",
       "7731-01"},
  };
  const Selections other{{5, 5, 5, 1, 5, 5, 5, 1}, {"2", "10", "10", "36"}};
  for (const RoundTrip& c : cases) {
    SCOPED_TRACE(c.name);
    show(c.saved);
    answer(std::string(c.name) + ".mat");
    run("save");
    EXPECT_EQ(g.cbleedvalue, c.saved.popups[0]);
    EXPECT_EQ(g.mrstr, c.saved.boxes[0]);

    show(other);
    run("valveseatcompression");
    run("valveseatrebound");
    g.cbleedvalue = 99;
    g.mrstr = "changed";
    answer(std::string(c.name) + ".mat");
    run("load");
    const Selections back = shown();
    EXPECT_EQ(back.popups, c.saved.popups);
    EXPECT_EQ(back.boxes, c.saved.boxes);
    EXPECT_EQ(seat("valveseatcompression"), c.compression_seat);
    EXPECT_EQ(seat("valveseatrebound"), c.rebound_seat);
    EXPECT_EQ(g.cbleedvalue, c.saved.popups[0]);
    EXPECT_EQ(g.mrstr, c.saved.boxes[0]);
    EXPECT_EQ(g.fn, std::string(c.name) + ".mat");
    EXPECT_EQ(dialogs.last_title(), "Select a Damper File...");
  }
}

TEST_F(DamperFile, SaveWritesTheTwelveVariablesInFileOrder) {
  show({{11, 4, 7, 2, 3, 5, 8, 4}, {"1.5", "0", "14", "46"}});
  answer("front");  // typed without an extension
  run("save");
  EXPECT_EQ(dialogs.last_title(), "Save As...");
  EXPECT_EQ(dialogs.last_filter(), dir.path().string() + "/*.mat");
  EXPECT_EQ(g.fn, "front");
  ASSERT_TRUE(std::filesystem::exists(dir / "front.mat"));
  const NamedValues vars = load_all_variables(dir / "front.mat");
  const NamedValues expected = {
      {"cvalvevalue", Value::number(7)},  {"cspringvalue", Value::number(2)},
      {"cbleedvalue", Value::number(11)}, {"chighvalue", Value::number(4)},
      {"rvalvevalue", Value::number(8)},  {"rspringvalue", Value::number(4)},
      {"rbleedvalue", Value::number(3)},  {"rhighvalue", Value::number(5)},
      {"mrstr", Value::text("1.5")},      {"internalstr", Value::text("0")},
      {"externalstr", Value::text("14")}, {"pistonstr", Value::text("46")}};
  EXPECT_EQ(vars, expected);
}

TEST_F(DamperFile, LoadTouchesNeitherCurvesNorCounters) {
  g.counter = 3;
  g.counter2 = 5;
  g.plotdata.resize(2);
  g.plotdata[0].curveIDcompression1 = "1  Comp";
  const auto plotdata = g.plotdata;
  // A file that also holds program globals: only the twelve selections are taken.
  save_variables(dir / "tampered.mat", {{"cvalvevalue", Value::number(9)},
                                        {"cspringvalue", Value::number(2)},
                                        {"cbleedvalue", Value::number(3)},
                                        {"chighvalue", Value::number(4)},
                                        {"rvalvevalue", Value::number(2)},
                                        {"rspringvalue", Value::number(1)},
                                        {"rbleedvalue", Value::number(5)},
                                        {"rhighvalue", Value::number(6)},
                                        {"mrstr", Value::text("1.2")},
                                        {"internalstr", Value::text("0")},
                                        {"externalstr", Value::text("12")},
                                        {"pistonstr", Value::text("40")},
                                        {"counter", Value::number(1)},
                                        {"plotdata", Value()},
                                        {"pn", Value::number(0)}});
  answer("tampered.mat");
  run("load");
  EXPECT_EQ(main_control(gfx, "CompressionValve").value, 9);
  EXPECT_EQ(seat("valveseatcompression"), "7731-01");
  EXPECT_EQ(g.counter, 3);
  EXPECT_EQ(g.counter2, 5);
  EXPECT_EQ(g.plotdata, plotdata);
  EXPECT_EQ(g.pn, dir.path().string() + "/");
}

TEST_F(DamperFile, CancelledDialogsChangeOnlyTheDialogGlobals) {
  for (const char* action : {"save", "load"}) {
    SCOPED_TRACE(action);
    const Selections before = shown();
    g.fn = "earlier.mat";
    g.pn = dir.path().string() + "/";
    run(action);  // nothing queued: the dialog is cancelled
    EXPECT_FALSE(g.pn.has_value());
    EXPECT_FALSE(g.fn.has_value());
    EXPECT_EQ(shown().popups, before.popups);
    EXPECT_EQ(shown().boxes, before.boxes);
    EXPECT_EQ(g.cbleedvalue, 1);
    EXPECT_EQ(g.mrstr, "1");
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  }
  run("load");  // after a cancel the next filter has no folder
  EXPECT_EQ(dialogs.last_filter(), "*.mat");
}

NamedValues good_file() {
  return {{"cvalvevalue", Value::number(9)},  {"cspringvalue", Value::number(2)},
          {"cbleedvalue", Value::number(3)},  {"chighvalue", Value::number(4)},
          {"rvalvevalue", Value::number(8)},  {"rspringvalue", Value::number(1)},
          {"rbleedvalue", Value::number(5)},  {"rhighvalue", Value::number(6)},
          {"mrstr", Value::text("1.2")},      {"internalstr", Value::text("0")},
          {"externalstr", Value::text("12")}, {"pistonstr", Value::text("40")}};
}

NamedValues with(NamedValues vars, const std::string& name, std::optional<Value> v) {
  for (auto it = vars.begin(); it != vars.end(); ++it)
    if (it->first == name) {
      if (v)
        it->second = *v;
      else
        vars.erase(it);
      return vars;
    }
  return vars;
}

struct BadFile {
  const char* name;
  NamedValues vars;
  const char* message;
};

TEST_F(DamperFile, LoadRefusesABadFileBeforeChangingAnything) {
  const BadFile cases[] = {
      {"missingRebound", with(good_file(), "rspringvalue", std::nullopt), "holds no rspringvalue."},
      {"missingPiston", with(good_file(), "pistonstr", std::nullopt), "holds no pistonstr."},
      {"rowBeyondList", with(good_file(), "rvalvevalue", Value::number(11)),
       "sets rvalvevalue to 11, but the popup \"ReboundValve\" has rows 1 to 10."},
      {"rowZero", with(good_file(), "chighvalue", Value::number(0)), "sets chighvalue to 0"},
      {"rowNotWhole", with(good_file(), "cspringvalue", Value::number(2.5)),
       "sets cspringvalue to 2.5"},
      {"rowAsText", with(good_file(), "rhighvalue", Value::text("6")),
       "holds text as rhighvalue; it must be a row number of the popup \"HSR\"."},
      {"rowAsMatrix", with(good_file(), "cvalvevalue", Value::row({1, 2})), "as cvalvevalue"},
      {"boxAsNumber", with(good_file(), "externalstr", Value::number(12)),
       "as externalstr; it must be the text of the box \"externalshaft\"."},
  };
  for (const BadFile& c : cases) {
    SCOPED_TRACE(c.name);
    save_variables(dir / "bad.mat", c.vars);
    const Selections before = shown();
    answer("bad.mat");
    try {
      run("load");
      ADD_FAILURE() << "expected a failure";
    } catch (const RuntimeError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find("bad.mat"), std::string::npos) << e.what();
    }
    EXPECT_EQ(shown().popups, before.popups);
    EXPECT_EQ(shown().boxes, before.boxes);
    EXPECT_EQ(seat("valveseatcompression"), "7731-02");
    EXPECT_EQ(g.cbleedvalue, 1);
    EXPECT_EQ(g.mrstr, "1");
  }
}

TEST_F(DamperFile, FileWithoutTheTwoGlobalsKeepsTheirCurrentValues) {
  save_variables(dir / "short.mat",
                 with(with(good_file(), "cbleedvalue", std::nullopt), "mrstr", std::nullopt));
  g.cbleedvalue = 17;
  g.mrstr = "0.9";
  answer("short.mat");
  run("load");
  EXPECT_EQ(main_control(gfx, "LSC").value, 17);
  EXPECT_EQ(main_control(gfx, "motionratio").string, "0.9");
  EXPECT_EQ(main_control(gfx, "HSC").value, 4);
  EXPECT_EQ(g.cbleedvalue, 17);

  // Without cbleedvalue in the file and no usable selection held, the file is refused.
  g.cbleedvalue = 0;
  answer("short.mat");
  EXPECT_THROW(run("load"), RuntimeError);
  EXPECT_EQ(main_control(gfx, "LSC").value, 17);
}

}  // namespace
}  // namespace quorin
