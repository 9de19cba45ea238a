// The tuning items of the comparison window's menu in the started program over a copy of the
// shipped data: the clicker sweep against what PLOT stores, the closest set-up to a dyno file
// written from a synthesised set-up, the error of stored curves against it, the damping guides
// and the damping ratio window.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/tool_windows.h"
#include "analysis/tuning_windows.h"
#include "app/comparison_tools.h"
#include "app/menu_program.h"
#include "dyno/dyno_bytes.h"
#include "services/progress.h"
#include "startup/program.h"

namespace quorin {
namespace {

constexpr double kInPerM = 39.37007874015748;
constexpr double kNPerLb = 4.45374;

class Tuning : public test::MenuCopy {
 protected:
  bool menu(const std::string& item) {
    program->gfx.figure(2);
    return program->run_command("comparison_menu('" + item + "')");
  }
  void show_si() {
    control("SIUnits").value = 1;
    control("USUnits").value = 0;
    ASSERT_TRUE(action("si")) << errors.back();
  }
  const TuningTools& tuning() { return program->tools->tuning(); }
  gfx::Axes& plot_axes() { return program->gfx.get<gfx::Axes>(program->globals.plothandle); }

  // Sets the four clicks by popup row, as a user picks them.
  void set_clicks(double lsc, double hsc, double lsr, double hsr) {
    control("LSC").value = lsc;
    control("HSC").value = hsc;
    control("LSR").value = lsr;
    control("HSR").value = hsr;
  }

  // Writes stored curve `number` as a dyno file in the units shown (in/s and lbs, or m/s
  // and N): compression points at positive velocity, rebound points at negative velocity,
  // ending at rest so the drawn curve keeps its forces; `noise` scales each force by a
  // factor drawn evenly from 1 - noise to 1 + noise. Then reads it with ROEHRIG and Hold.
  void hold_dyno_of_curve(int number, double noise, bool si) {
    const DamperCurve& p = program->globals.plotdata.at(static_cast<std::size_t>(number) - 1);
    const WheelCurves w = wheel_curves(p, si ? kSIFactors : kUSFactors);
    std::mt19937 random(14);
    std::uniform_real_distribution<double> factor(1 - noise, 1 + noise);
    std::vector<float> v, f;
    for (std::size_t k = 0; k < w.compression_velocity.size(); ++k) {
      v.push_back(static_cast<float>(w.compression_velocity[k]));
      f.push_back(static_cast<float>(w.compression_force[k] * factor(random)));
    }
    for (std::size_t k = 0; k < w.rebound_velocity.size(); ++k) {
      v.push_back(static_cast<float>(-w.rebound_velocity[k]));
      f.push_back(static_cast<float>(w.rebound_force[k] * factor(random)));
    }
    v.push_back(0);
    f.push_back(0);
    test::DynoBytes file;
    file.header(1, 0).pairs(1).i16(0);
    file.f32(0.5f).i16(19).i16(30).i16(10).i16(10).i16(5).i16(1);
    file.text("Velocity").i16(0).i16(si ? 6 : 5).block(v);
    file.text("Force").i16(0).i16(si ? 10 : 9).block(f);
    start.write("measured.pvp", std::string(file.bytes.begin(), file.bytes.end()));
    control("holdroehrig").value = 1;
    dialogs.push({false, "measured.pvp", start.path().string() + "/"});
    ASSERT_TRUE(action("roehrig")) << last_error();
  }

  // Writes the samples as a dyno file in in/s and lbs and reads it with ROEHRIG and Hold.
  void hold_dyno_samples(const std::vector<float>& v, const std::vector<float>& f) {
    test::DynoBytes file;
    file.header(1, 0).pairs(1).i16(0);
    file.f32(0.5f).i16(19).i16(30).i16(10).i16(10).i16(5).i16(1);
    file.text("Velocity").i16(0).i16(5).block(v);
    file.text("Force").i16(0).i16(9).block(f);
    start.write("samples.pvp", std::string(file.bytes.begin(), file.bytes.end()));
    control("holdroehrig").value = 1;
    dialogs.push({false, "samples.pvp", start.path().string() + "/"});
    ASSERT_TRUE(action("roehrig")) << last_error();
  }

  // The texts of the closest set-up window.
  std::vector<std::string> closest_window_texts() {
    std::vector<std::string> out;
    gfx::Window* w = analysis::window_named(program->gfx, analysis::kClosestWindowName);
    if (!w) return out;
    for (gfx::Handle h : w->children())
      if (auto* a = dynamic_cast<gfx::Axes*>(program->gfx.find(h)))
        for (auto* t : program->gfx.children_of<gfx::Text>(*a)) out.push_back(t->string);
    return out;
  }
};

// The sweep's curve of the click the main window shows is what PLOT then stores, bit for bit,
// in both unit systems, for every adjuster.
TEST_F(Tuning, SweepCurveOfTheShownClickIsWhatPlotStores) {
  struct Row {
    const char* adjuster;
    bool si;
    double lsc, hsc, lsr, hsr;
  };
  const std::vector<Row> rows = {
      {"LSC", false, 8, 12, 6, 25},
      {"HSC", false, 3, 31, 21, 1},
      {"LSR", true, 21, 5, 1, 9},
      {"HSR", true, 1, 1, 12, 17},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.adjuster);
    if (r.si) show_si();
    ASSERT_TRUE(action("clear")) << last_error();
    set_clicks(r.lsc, r.hsc, r.lsr, r.hsr);
    dialogs.push_input(std::vector<std::string>{r.adjuster, "", ""});
    ASSERT_TRUE(menu("sweep")) << last_error();
    const auto& sweep = tuning().last_sweep();
    ASSERT_TRUE(sweep);
    const std::string tag = r.adjuster;
    const std::size_t shown = static_cast<std::size_t>(control(tag).value);
    ASSERT_EQ(sweep->curves.size(), control(tag).items.size());
    ASSERT_TRUE(action("view")) << last_error();
    const DamperCurve& stored = program->globals.plotdata.at(0);
    EXPECT_TRUE(sweep->curves.at(shown - 1).curve == stored);
    EXPECT_EQ(sweep->curves.at(shown - 1).curve.compression_force, stored.compression_force);
    EXPECT_EQ(sweep->curves.at(shown - 1).curve.rebound_velocity, stored.rebound_velocity);
  }
}

TEST_F(Tuning, SweepTableReadsTheDrawnCurvesAndIsCopied) {
  dialogs.push_input(std::vector<std::string>{"LSR", "5", "9"});
  ASSERT_TRUE(menu("sweep")) << last_error();
  const auto& sweep = tuning().last_sweep();
  ASSERT_TRUE(sweep);
  ASSERT_EQ(sweep->curves.size(), 5u);
  EXPECT_EQ(sweep->curves.front().click, "5");
  EXPECT_EQ(sweep->curves.back().click, "9");
  EXPECT_EQ(sweep->velocity, (std::array<double, 4>{1, 2, 5, 10}));
  for (std::size_t c = 0; c < sweep->curves.size(); ++c)
    for (const auto& f : sweep->force[c]) {
      ASSERT_TRUE(f);
      EXPECT_LT(*f, 0) << "rebound forces are drawn below zero";
    }
  // More low-speed rebound clicks open the bleed: less force at 1 in/s.
  EXPECT_GT(std::abs(*sweep->force.front()[0]), std::abs(*sweep->force.back()[0]));
  gfx::Window* w = analysis::window_named(program->gfx, analysis::kSweepWindowName);
  ASSERT_NE(w, nullptr);
  EXPECT_GE(w->number, 5);
  program->gfx.figure(w->number);
  ASSERT_TRUE(program->run_command("comparison_menu('sweepcopy')")) << last_error();
  const std::string text = program->clipboard->text();
  EXPECT_TRUE(text.starts_with("LSR\t1 in/s (lbs)\t2 in/s (lbs)\t5 in/s (lbs)\t10 in/s (lbs)\n5\t"))
      << text;
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 6);
}

TEST_F(Tuning, SweepRefusesWhatItCannotDo) {
  struct Row {
    const char* name;
    std::vector<std::string> answer;
    const char* message;
  };
  const std::vector<Row> rows = {
      {"unknown adjuster", {"XYZ", "", ""}, "no adjuster \"XYZ\""},
      {"click not offered", {"LSC", "40", ""}, "LSC has no click \"40\""},
      {"first after last", {"HSC", "20", "10"}, "first at or before the last"},
  };
  for (const Row& r : rows) {
    dialogs.push_input(r.answer);
    EXPECT_FALSE(menu("sweep")) << r.name;
    EXPECT_NE(last_error().find(r.message), std::string::npos) << r.name << ": " << last_error();
  }
  const std::size_t errors_before = errors.size();
  dialogs.push_input(std::nullopt);
  EXPECT_TRUE(menu("sweep"));
  EXPECT_EQ(errors.size(), errors_before);
  EXPECT_FALSE(tuning().last_sweep());
}

// A dyno file written from one set-up is matched by that set-up: first of five with no error
// but round-off, and still first with +-2 % noise on every force; the button then sets the
// main window's clicks to it.
TEST_F(Tuning, DynoCurveOfASetUpIsMatchedByThatSetUp) {
  for (bool si : {false, true}) {
    SCOPED_TRACE(si ? "SI" : "US");
    if (si) show_si();
    ASSERT_TRUE(action("clear")) << last_error();
    set_clicks(8, 12, 6, 25);
    ASSERT_TRUE(action("view")) << last_error();
    for (double noise : {0.0, 0.02}) {
      SCOPED_TRACE(noise);
      hold_dyno_of_curve(1, noise, si);
      set_clicks(1, 1, 1, 1);
      ASSERT_TRUE(menu("closest")) << last_error();
      const auto& found = tuning().last_search();
      ASSERT_TRUE(found);
      for (const analysis::SideSearch* side : {&found->compression, &found->rebound}) {
        ASSERT_EQ(side->best.size(), 5u);
        EXPECT_EQ(side->refused, 0u);
        EXPECT_GT(side->best.front().error.points, 500u);
        for (std::size_t k = 1; k < side->best.size(); ++k)
          EXPECT_LE(side->best[k - 1].error.rms, side->best[k].error.rms);
      }
      const analysis::Candidate& c = found->compression.best.front();
      const analysis::Candidate& r = found->rebound.best.front();
      EXPECT_EQ(c.low_click, "7");
      EXPECT_EQ(c.high_click, "11");
      EXPECT_EQ(r.low_click, "5");
      EXPECT_EQ(r.high_click, "24");
      if (noise == 0) {
        // Round-off of the file's single-precision samples only.
        EXPECT_LT(c.error.percent, 1e-4);
        EXPECT_LT(r.error.percent, 1e-4);
        EXPECT_GT(found->compression.best[1].error.percent, 100 * c.error.percent);
      } else {
        // Noise evenly spread over +-2 % has an RMS of 2 / sqrt(3) = 1.15 %.
        EXPECT_NEAR(c.error.percent, 1.15, 0.2);
        EXPECT_NEAR(r.error.percent, 1.15, 0.2);
      }
      ASSERT_NE(analysis::window_named(program->gfx, analysis::kClosestWindowName), nullptr);
      ASSERT_TRUE(program->run_command("comparison_menu('usebest')")) << last_error();
      EXPECT_EQ(control("LSC").value, 8);
      EXPECT_EQ(control("HSC").value, 12);
      EXPECT_EQ(control("LSR").value, 6);
      EXPECT_EQ(control("HSR").value, 25);
    }
  }
}

// A side with no usable measured point gets no best, the window says why, and Set best clicks
// leaves that side's clicks alone. Samples that are not finite numbers are left out and
// counted. The dyno files hold the curve of LSC 7, HSC 11, LSR 5, HSR 24 (rows 8, 12, 6, 25)
// where a side has points.
TEST_F(Tuning, SideWithoutUsablePointsGetsNoBestAndKeepsItsClicks) {
  set_clicks(8, 12, 6, 25);
  ASSERT_TRUE(action("view")) << last_error();
  const DamperCurve& p = program->globals.plotdata.at(0);
  const WheelCurves w = wheel_curves(p, kUSFactors);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  // The samples of one side of the curve: compression at positive velocity, rebound negative.
  auto side = [&](bool compression, std::vector<float>& v, std::vector<float>& f) {
    const auto& cv = compression ? w.compression_velocity : w.rebound_velocity;
    const auto& cf = compression ? w.compression_force : w.rebound_force;
    for (std::size_t k = 1; k < cv.size(); ++k) {
      v.push_back(static_cast<float>(compression ? cv[k] : -cv[k]));
      f.push_back(static_cast<float>(cf[k]));
    }
  };
  struct Row {
    const char* name;
    std::function<void(std::vector<float>&, std::vector<float>&)> samples;
    bool compression_best, rebound_best;
    std::vector<std::string> says;  // the starts of lines of the window's key
    std::size_t not_finite;
  };
  const std::vector<Row> rows = {
      {"compression only",
       [&](auto& v, auto& f) { side(true, v, f); },
       true,
       false,
       {"best compression: LSC 7  HSC 11", "best rebound: none",
        "(no rebound points in the dyno curve)"},
       0},
      {"rebound only",
       [&](auto& v, auto& f) { side(false, v, f); },
       false,
       true,
       {"best compression: none", "(no compression points in the dyno curve)",
        "best rebound: LSR 5  HSR 24"},
       0},
      {"one compression point",
       [&](auto& v, auto& f) {
         v.push_back(2);
         f.push_back(60);
       },
       true,
       false,
       {"best compression: LSC ", "best rebound: none", "(no rebound points in the dyno curve)"},
       0},
      {"rebound beyond every curve",
       [&](auto& v, auto& f) {
         side(true, v, f);
         v.push_back(-5000);
         f.push_back(-100);
       },
       true,
       false,
       {"best compression: LSC 7  HSC 11", "best rebound: none",
        "(no curve reaches the measured points)"},
       0},
      {"both sides with samples that are not numbers",
       [&](auto& v, auto& f) {
         side(true, v, f);
         side(false, v, f);
         f[10] = nan;
         f[20] = inf;
         v[30] = nan;
         f[f.size() - 5] = -inf;
         v[v.size() - 9] = -inf;
       },
       true,
       true,
       {"best compression: LSC 7  HSC 11", "best rebound: LSR 5  HSR 24",
        "5 samples left out: not a finite number"},
       5},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    std::vector<float> v, f;
    r.samples(v, f);
    v.push_back(0);  // at rest at the end, so the curve is drawn without an offset
    f.push_back(0);
    hold_dyno_samples(v, f);
    set_clicks(2, 3, 4, 5);
    ASSERT_TRUE(menu("closest")) << last_error();
    const auto& found = tuning().last_search();
    ASSERT_TRUE(found);
    EXPECT_EQ(!found->compression.best.empty(), r.compression_best);
    EXPECT_EQ(!found->rebound.best.empty(), r.rebound_best);
    for (const analysis::SideSearch* s : {&found->compression, &found->rebound}) {
      EXPECT_EQ(s->best.empty(), !s->why_none.empty()) << s->why_none;
      for (const analysis::Candidate& c : s->best) {
        EXPECT_GT(c.error.points, 0u);
        EXPECT_TRUE(std::isfinite(c.error.rms));
      }
    }
    const std::vector<std::string> texts = closest_window_texts();
    auto shows = [&](const std::string& start) {
      return std::any_of(texts.begin(), texts.end(),
                         [&](const std::string& t) { return t.starts_with(start); });
    };
    for (const std::string& line : r.says) EXPECT_TRUE(shows(line)) << line;
    EXPECT_EQ(shows("(no "), !r.compression_best || !r.rebound_best);
    EXPECT_EQ(shows(std::to_string(r.not_finite) + " samples left out"), r.not_finite > 0);

    // The rows of each side's best, or the clicks as they were.
    const auto row = [](const analysis::SideSearch& s, bool low, double kept) {
      return s.best.empty() ? kept
                            : static_cast<double>(low ? s.best[0].low_row : s.best[0].high_row);
    };
    ASSERT_TRUE(program->run_command("comparison_menu('usebest')")) << last_error();
    EXPECT_EQ(control("LSC").value, row(found->compression, true, 2));
    EXPECT_EQ(control("HSC").value, row(found->compression, false, 3));
    EXPECT_EQ(control("LSR").value, row(found->rebound, true, 4));
    EXPECT_EQ(control("HSR").value, row(found->rebound, false, 5));
  }
}

// With no best on either side, Set best clicks says so and changes nothing; a dyno curve of
// nothing but samples that are not numbers is refused, counting them.
TEST_F(Tuning, NoBestOnEitherSideChangesNoClick) {
  hold_dyno_samples({5000, -5000, 0}, {100, -100, 0});
  set_clicks(2, 3, 4, 5);
  ASSERT_TRUE(menu("closest")) << last_error();
  EXPECT_FALSE(program->run_command("comparison_menu('usebest')"));
  EXPECT_NE(last_error().find("no best set-up for either side"), std::string::npos) << last_error();
  EXPECT_EQ(control("LSC").value, 2);
  EXPECT_EQ(control("HSC").value, 3);
  EXPECT_EQ(control("LSR").value, 4);
  EXPECT_EQ(control("HSR").value, 5);

  const float nan = std::numeric_limits<float>::quiet_NaN();
  hold_dyno_samples({1, nan, 3, 0}, {nan, 20, std::numeric_limits<float>::infinity(), 0});
  EXPECT_FALSE(menu("closest"));
  EXPECT_NE(last_error().find("(3 not finite)"), std::string::npos) << last_error();
}

// Long work asked to stop: the search and the sweep say they were cancelled and change
// nothing (no window, no result, no click), and the progress ends whatever happened.
TEST_F(Tuning, CancelledSearchAndSweepChangeNothing) {
  // Stops the work at the `stop_at`th step it reports.
  struct Stopper : Progress {
    std::size_t stop_at = 0, steps = 0, begun = 0, ended = 0, last_total = 0;
    void begin(const std::string&) override { ++begun, steps = 0; }
    bool advance(std::size_t, std::size_t total) override {
      last_total = total;
      return ++steps < stop_at;
    }
    void end() override { ++ended; }
  } stopper;
  program->progress = &stopper;

  ASSERT_TRUE(action("clear")) << last_error();
  set_clicks(8, 12, 6, 25);
  ASSERT_TRUE(action("view")) << last_error();
  hold_dyno_of_curve(1, 0.0, false);
  set_clicks(1, 1, 1, 1);
  stopper.stop_at = 1000000;  // a whole search, to see what a cancelled one leaves
  ASSERT_TRUE(menu("closest")) << last_error();
  const std::size_t whole = stopper.steps;
  EXPECT_EQ(stopper.last_total + 1, whole) << "one step per high-speed row, then the end";
  const analysis::SideSearch before = tuning().last_search()->compression;
  program->gfx.close(analysis::window_named(program->gfx, analysis::kClosestWindowName)->number);

  struct Row {
    const char* name;
    std::string item;
    std::size_t stop_at;
    std::string message;
  } rows[] = {
      {"search, first step", "closest", 1, "The search for the closest set-up was cancelled"},
      {"search, rebound side", "closest", whole - 2, "The search for the closest set-up"},
      {"search, at its end", "closest", whole, "The search for the closest set-up"},
      {"sweep", "sweep", 3, "The clicker sweep was cancelled; nothing was changed."},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    stopper.stop_at = r.stop_at;
    stopper.begun = stopper.ended = 0;
    if (r.item == "sweep") dialogs.push_input(std::vector<std::string>{"LSR", "1", "9"});
    const std::size_t windows = program->gfx.window_numbers().size();
    EXPECT_FALSE(menu(r.item));
    EXPECT_NE(last_error().find(r.message), std::string::npos) << last_error();
    EXPECT_EQ(stopper.begun, 1u);
    EXPECT_EQ(stopper.ended, 1u);
    EXPECT_EQ(program->gfx.window_numbers().size(), windows) << "no window opened";
    EXPECT_FALSE(tuning().last_sweep());
    ASSERT_TRUE(tuning().last_search());
    EXPECT_EQ(tuning().last_search()->compression.best.front().error.rms,
              before.best.front().error.rms);
    for (const char* tag : {"LSC", "HSC", "LSR", "HSR"}) EXPECT_EQ(control(tag).value, 1) << tag;
  }
}

TEST_F(Tuning, DynoErrorOfEveryStoredCurve) {
  set_clicks(8, 12, 6, 25);
  ASSERT_TRUE(action("view")) << last_error();
  set_clicks(3, 12, 6, 25);
  ASSERT_TRUE(action("view")) << last_error();
  hold_dyno_of_curve(1, 0, false);
  ASSERT_TRUE(menu("dynoerror")) << last_error();
  gfx::Window* w = analysis::window_named(program->gfx, analysis::kDynoErrorWindowName);
  ASSERT_NE(w, nullptr);
  // Rows: curve 1 compression, curve 1 rebound, curve 2 compression, curve 2 rebound; the
  // first cells after the side are the RMS in lbs and in percent.
  std::vector<std::string> texts;
  for (gfx::Object* o : program->gfx.find_all_by_tag(*w, analysis::kDynoErrorTableTag))
    if (auto* a = dynamic_cast<gfx::Axes*>(o))
      for (auto* t : program->gfx.children_of<gfx::Text>(*a)) texts.push_back(t->string);
  auto row = [&](const std::string& curve, const std::string& side) {
    for (std::size_t k = 0; k + 3 < texts.size(); ++k)
      if (texts[k] == curve && texts[k + 1] == side) return texts[k + 2] + " " + texts[k + 3];
    return std::string("missing");
  };
  EXPECT_EQ(row("1", "compression"), "0.00 0.00");
  EXPECT_EQ(row("1", "rebound"), "0.00 0.00");
  EXPECT_NE(row("2", "compression"), "0.00 0.00");
  EXPECT_EQ(row("2", "rebound"), "0.00 0.00");
}

TEST_F(Tuning, SearchAndErrorNeedAHeldDynoCurve) {
  ASSERT_TRUE(action("view")) << last_error();
  for (const char* item : {"closest", "dynoerror"}) {
    EXPECT_FALSE(menu(item));
    EXPECT_NE(last_error().find("tick its Hold box"), std::string::npos) << last_error();
  }
  control("holdroehrig").value = 1;  // held, but only the start-up record at rest
  EXPECT_FALSE(menu("closest"));
  EXPECT_NE(last_error().find("no points above or below zero force"), std::string::npos)
      << last_error();
}

// Guide lines F = zeta c_c v: with 250 kg and 30 N/mm, c_c = 5477.2 N s/m and zeta 0.7 gives
// 383.4 N at 0.1 m/s (86.09 lbs at 3.937 in/s).
TEST_F(Tuning, DampingGuidesPassThroughHandComputedPointsBehindTheCurves) {
  struct Row {
    bool si;
    double velocity, force;
  };
  for (const Row& r : {Row{false, 0.1 * kInPerM, 383.4058 / kNPerLb}, Row{true, 0.1, 383.4058}}) {
    if (r.si) show_si();
    ASSERT_TRUE(action("view")) << last_error();
    dialogs.push_input(std::vector<std::string>{"250", "30", "Show"});
    ASSERT_TRUE(menu("guides")) << last_error();
    ASSERT_TRUE(action("view")) << last_error();  // a redraw keeps them
    gfx::Model& m = program->gfx;
    std::vector<gfx::Line*> guides;
    for (gfx::Object* o : analysis::damping_guide_objects(m, plot_axes()))
      if (auto* l = dynamic_cast<gfx::Line*>(o)) guides.push_back(l);
    ASSERT_EQ(guides.size(), 8u);
    // Compression 0.2, 0.4, 0.7, 1.0, then rebound: 0.7 compression is the third.
    const gfx::Line& l = *guides[2];
    EXPECT_EQ(l.line_style, ":");
    EXPECT_NEAR(l.y[1] / l.x[1] * r.velocity, r.force, 1e-3);
    const gfx::Line& rebound = *guides[6];
    EXPECT_NEAR(rebound.y[1] / rebound.x[1] * r.velocity, -r.force, 1e-3);
    // Behind: the guides and their labels are the axes' first children.
    const auto& children = plot_axes().children();
    for (std::size_t k = 0; k < 16; ++k)
      EXPECT_EQ(m.find(children[k])->tag, analysis::kGuideTag) << k;
    bool labelled = false;
    for (auto* t : m.children_of<gfx::Text>(plot_axes()))
      labelled = labelled || t->string == "\xCE\xB6 = 0.7";
    EXPECT_TRUE(labelled);
  }
}

TEST_F(Tuning, CornerIsRememberedAndGuidesCanBeHidden) {
  ASSERT_TRUE(action("view")) << last_error();
  dialogs.push_input(std::vector<std::string>{"300", "45", "Show"});
  ASSERT_TRUE(menu("guides")) << last_error();
  EXPECT_EQ(program->settings->value(kSprungMassKey), "300");
  EXPECT_EQ(program->settings->value(kWheelRateKey), "45");
  // A refused corner changes nothing.
  dialogs.push_input(std::vector<std::string>{"-3", "45", "Show"});
  EXPECT_FALSE(menu("guides"));
  EXPECT_NE(last_error().find("sprung mass"), std::string::npos);
  ASSERT_TRUE(tuning().guides());
  EXPECT_EQ(tuning().guides()->mass_kg, 300);
  // The next dialog starts from the kept values: an answer of no fields takes them.
  dialogs.push_input(std::vector<std::string>{});
  ASSERT_TRUE(menu("ratio")) << last_error();
  gfx::Window* w = analysis::window_named(program->gfx, analysis::kRatioWindowName);
  ASSERT_NE(w, nullptr);
  bool titled = false;
  for (gfx::Object* o : program->gfx.find_all_by_tag(*w, analysis::kRatioCompressionTag))
    if (auto* a = dynamic_cast<gfx::Axes*>(o))
      titled = program->gfx.get<gfx::Text>(a->title).string.find("m = 300 kg,  k = 45 N/mm") !=
               std::string::npos;
  EXPECT_TRUE(titled);
  dialogs.push_input(std::vector<std::string>{"300", "45", "Hide"});
  ASSERT_TRUE(menu("guides")) << last_error();
  EXPECT_TRUE(analysis::damping_guide_objects(program->gfx, plot_axes()).empty());
  EXPECT_FALSE(tuning().guides());
}

TEST_F(Tuning, GuidesAreNotCopiedAsCurvesAndSurviveUndo) {
  ASSERT_TRUE(action("view")) << last_error();
  ASSERT_TRUE(menu("copycurves"));
  const std::string without = program->clipboard->text();
  dialogs.push_input(std::vector<std::string>{"250", "30", "Show"});
  ASSERT_TRUE(menu("guides")) << last_error();
  ASSERT_TRUE(menu("copycurves"));
  EXPECT_EQ(program->clipboard->text(), without);
  ASSERT_TRUE(action("view")) << last_error();
  ASSERT_TRUE(menu("undo")) << last_error();
  EXPECT_EQ(program->globals.counter, 2);
  EXPECT_EQ(analysis::damping_guide_objects(program->gfx, plot_axes()).size(), 16u);
}

TEST_F(Tuning, DampingRatioOfEveryStoredCurve) {
  show_si();
  ASSERT_TRUE(action("view")) << last_error();
  dialogs.push_input(std::vector<std::string>{"250", "30"});
  ASSERT_TRUE(menu("ratio")) << last_error();
  gfx::Window* w = analysis::window_named(program->gfx, analysis::kRatioWindowName);
  ASSERT_NE(w, nullptr);
  const DamperCurve& p = program->globals.plotdata.at(0);
  const double cc = 2 * std::sqrt(30000.0 * 250);
  for (const auto& [tag, velocity, force] :
       {std::tuple{analysis::kRatioCompressionTag, &p.compression_velocity, &p.compression_force},
        std::tuple{analysis::kRatioReboundTag, &p.rebound_velocity, &p.rebound_force}}) {
    auto* a = dynamic_cast<gfx::Axes*>(program->gfx.find_all_by_tag(*w, tag).at(0));
    ASSERT_NE(a, nullptr);
    const gfx::Line* curve = program->gfx.children_of<gfx::Line>(*a).at(0);
    // v = 0 is left out: the first point drawn is the curve's second.
    ASSERT_EQ(curve->x.size() + 1, velocity->size());
    const std::size_t k = velocity->size() / 2;
    EXPECT_DOUBLE_EQ(curve->x[k - 1], (*velocity)[k]);
    EXPECT_DOUBLE_EQ(curve->y[k - 1], std::abs((*force)[k]) / (*velocity)[k] / cc);
  }
}

}  // namespace
}  // namespace quorin
