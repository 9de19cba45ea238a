// The front/rear damping balance in the started program: forcebalancemetric and
// forcebalanceimperial through the function table, and the "balance" action, drawing into turn
// windows rebuilt by lht and rht.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <sstream>

#include "plotting/damper_curve.h"
#include "services/numeric.h"
#include "services/runtime_error.h"
#include "startup/program.h"
#include "startup/started_program.h"

namespace quorin {
namespace {

// A corner whose forces grow linearly with velocity: compression gain x v, rebound -gain x v,
// sampled every 0.0005 up to `top`.
DamperCurve corner(double compression_gain, double rebound_gain, double top = 12) {
  DamperCurve p;
  p.compression_velocity = range(0, 0.0005, top);
  p.rebound_velocity = p.compression_velocity;
  for (double v : p.compression_velocity) {
    p.compression_force.push_back(compression_gain * v);
    p.rebound_force.push_back(-rebound_gain * v);
  }
  return p;
}

struct TurnAxes {
  gfx::Handle plot, balance, key;
};

class Balance : public test::StartedProgram {
 protected:
  // Builds the two turn windows again (they are closed at the end of start-up) and points the
  // turn-window globals at their axes.
  void rebuild_turn_windows() {
    lht = build("lht", "plotwindow_lht", "balance_lht", "ID_lht");
    rht = build("rht", "plotwindow_rht", "balance_rht", "ID_rht");
    Globals& g = program.globals;
    g.plothandle_lht = lht.plot;
    g.balance_lht = lht.balance;
    g.ID_lht = lht.key;
    g.plothandle_rht = rht.plot;
    g.balance_rht = rht.balance;
    g.ID_rht = rht.key;
    program.gfx.figure(1);
  }
  TurnAxes build(const char* name, const char* plot, const char* balance, const char* key) {
    const int number = static_cast<int>(program.call(name, 1, {}).at(0).scalar());
    gfx::Window& w = *program.gfx.window(number);
    auto axes = [&](const char* tag) {
      return program.gfx.find_all_by_tag(w, tag).at(0)->handle();
    };
    return {axes(plot), axes(balance), axes(key)};
  }

  // Empties the turn windows' axes between calls, as the "balance" action does before each
  // call (the functions draw with hold on after their first line).
  void fresh() {
    for (const TurnAxes& t : {lht, rht})
      for (gfx::Handle h : {t.plot, t.balance, t.key}) {
        program.gfx.cla(axes(h));
        axes(h).hold = false;
      }
  }
  std::vector<Value> inputs(const std::vector<DamperCurve>& plotdata,
                            Value ymin = Value::number(-500)) {
    auto h = [](gfx::Handle x) { return Value::number(x.value); };
    return {to_value(plotdata), h(lht.plot),     h(lht.balance),    h(lht.key),
            h(rht.plot),        h(rht.balance),  h(rht.key),        Value::number(0),
            Value::number(10),  std::move(ymin), Value::number(500)};
  }
  std::vector<gfx::Line*> lines(gfx::Handle axes) {
    return program.gfx.children_of<gfx::Line>(program.gfx.get(axes));
  }
  std::vector<gfx::Text*> texts(gfx::Handle axes) {  // the texts drawn, not the axis labels
    std::vector<gfx::Text*> out;
    for (gfx::Text* t : program.gfx.children_of<gfx::Text>(program.gfx.get(axes)))
      if (t->handle_visible) out.push_back(t);
    return out;
  }
  gfx::Axes& axes(gfx::Handle h) { return program.gfx.get<gfx::Axes>(h); }
  std::string label(gfx::Handle text) { return program.gfx.get<gfx::Text>(text).string; }
  bool run_balance() { return program.run_command("quorin_processor_ct('balance')"); }

  TurnAxes lht, rht;
};

const std::vector<DamperCurve> kFourCorners = {corner(100, 80), corner(300, 60), corner(200, 40),
                                               corner(100, 20)};

struct Variant {
  const char* function;
  double last_x;
  double top;
  const char* force_label;
  const char* velocity_label;
};
constexpr Variant kVariants[] = {
    {"forcebalancemetric", 0.249, 0.25, "Force (N)", "Velocity (m/s)"},
    {"forcebalanceimperial", 9.96, 10, "Force (lbs)", "Velocity (inches/s)"},
};

TEST_F(Balance, FourIdenticalCurvesShareExactlyHalf) {
  rebuild_turn_windows();
  for (const Variant& v : kVariants) {
    SCOPED_TRACE(v.function);
    fresh();
    program.call(v.function, 0, inputs(std::vector<DamperCurve>(4, corner(250, 120))));
    for (gfx::Handle b : {lht.balance, rht.balance}) {
      const auto shares = lines(b);
      ASSERT_EQ(shares.size(), 2u);
      for (const gfx::Line* l : shares) {
        ASSERT_EQ(l->x.size(), 167u);
        EXPECT_DOUBLE_EQ(l->x.back(), v.last_x);
        EXPECT_EQ(l->y, std::vector<double>(167, 50));
      }
    }
  }
}

TEST_F(Balance, SwappingFrontAndRearSwapsTheShares) {
  rebuild_turn_windows();
  auto shares = [&](const std::vector<DamperCurve>& plotdata) {
    fresh();
    program.call("forcebalancemetric", 0, inputs(plotdata));
    std::vector<std::vector<double>> out;
    for (gfx::Handle b : {lht.balance, rht.balance})
      for (const gfx::Line* l : lines(b)) out.push_back(l->y);
    return out;
  };
  const auto p = shares(kFourCorners);
  const auto q = shares({kFourCorners[2], kFourCorners[3], kFourCorners[0], kFourCorners[1]});
  ASSERT_EQ(p.size(), 4u);
  // Left-hand turn: RF against RR in compression (300 : 100), LF against LR in rebound
  // (80 : 40); right-hand turn: LF against LR in compression, RF against RR in rebound.
  const double expected[] = {75, 100.0 * 80 / 120, 100.0 / 3, 75};
  for (std::size_t k = 0; k < 4; ++k) {
    SCOPED_TRACE(k);
    for (std::size_t i = 1; i < 167; ++i) {
      EXPECT_NEAR(p[k][i], expected[k], 1e-12);
      EXPECT_NEAR(q[k][i], 100 - p[k][i], 1e-12);
    }
  }
}

TEST_F(Balance, EachPointTakesTheFirstSampleStrictlyFaster) {
  rebuild_turn_windows();
  // RF compression samples lie exactly on the velocity points, with force = sample number.
  std::vector<DamperCurve> plotdata = kFourCorners;
  plotdata[1].compression_velocity = range(0, 0.0015, 0.3);
  plotdata[1].compression_force.clear();
  for (std::size_t k = 0; k < plotdata[1].compression_velocity.size(); ++k)
    plotdata[1].compression_force.push_back(static_cast<double>(k));
  program.call("forcebalancemetric", 0, inputs(plotdata));
  const auto forces = lines(lht.plot);
  ASSERT_EQ(forces.size(), 4u);
  for (std::size_t i = 0; i < 167; ++i) EXPECT_EQ(forces[0]->y[i], static_cast<double>(i + 1));
}

TEST_F(Balance, CurvesBeyondTheFourthAreIgnored) {
  rebuild_turn_windows();
  program.call("forcebalancemetric", 0, inputs(kFourCorners));
  const std::vector<double> four = lines(lht.balance)[0]->y;
  std::vector<DamperCurve> seven = kFourCorners;
  for (int k = 0; k < 3; ++k) seven.push_back(corner(5000, 5000, 0.01));  // too slow to sample
  fresh();
  program.call("forcebalancemetric", 0, inputs(seven));
  EXPECT_EQ(lines(lht.balance)[0]->y, four);
}

TEST_F(Balance, DrawsForcesSharesAndFramesInTheFunctionsUnits) {
  rebuild_turn_windows();
  for (const Variant& v : kVariants) {
    SCOPED_TRACE(v.function);
    fresh();
    program.call(v.function, 0, inputs(kFourCorners, Value::number(-300)));
    for (auto [turn, title] : {std::pair{lht, "Left Hand Turn"}, {rht, "Right Hand Turn"}}) {
      const auto forces = lines(turn.plot);
      ASSERT_EQ(forces.size(), 4u);
      const char* colours[] = {"b", "r", "b", "r"};
      for (std::size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(forces[k]->color, *gfx::parse_line_spec(colours[k]).color);
        EXPECT_EQ(forces[k]->line_style, "-");
      }
      EXPECT_GT(forces[0]->y.back(), 0);  // compression up, rebound down
      EXPECT_LT(forces[2]->y.back(), 0);
      gfx::Axes& f = axes(turn.plot);
      EXPECT_EQ(label(f.title), title);
      EXPECT_EQ(label(f.ylabel), v.force_label);
      EXPECT_EQ(program.gfx.get<gfx::Text>(f.title).font_name, "times");
      EXPECT_EQ(program.gfx.get<gfx::Text>(f.title).font_angle, "italic");
      EXPECT_EQ(f.xlim, (std::array<double, 2>{0, v.top}));
      EXPECT_EQ(f.ylim, (std::array<double, 2>{-300, 500}));
      EXPECT_TRUE(f.hold && f.xgrid && f.ygrid);

      gfx::Axes& b = axes(turn.balance);
      const auto shares = lines(turn.balance);
      ASSERT_EQ(shares.size(), 2u);
      EXPECT_EQ(shares[0]->color, (gfx::Color{0, 0, 0}));
      EXPECT_EQ(shares[1]->color, (gfx::Color{0, 1, 0}));
      EXPECT_EQ(label(b.ylabel), "% Front");
      EXPECT_EQ(label(b.xlabel), v.velocity_label);
      EXPECT_FALSE(b.xlim_manual || b.ylim_manual);
      EXPECT_TRUE(program.gfx.window_of(turn.plot).zoom);
    }
    EXPECT_EQ(program.gfx.current_window()->number, 1);
  }
}

struct KeyCase {
  const char* turn;
  std::array<const char*, 6> texts;
};

TEST_F(Balance, KeyNamesEachLineInItsColour) {
  rebuild_turn_windows();
  program.call("forcebalancemetric", 0, inputs(kFourCorners));
  const KeyCase cases[] = {
      {"lht",
       {"RF Compression", "RR Compression", "LF Rebound", "LR Rebound", "Compression Balance",
        "Rebound Balance"}},
      {"rht",
       {"LF Compression", "LR Compression", "RF Rebound", "RR Rebound", "Compression Balance",
        "Rebound Balance"}},
  };
  const double ys[] = {0.98, 0.93, 0.88, 0.83, 0.78, 0.73};
  const char* colours[] = {"b", "r", "b", "r", "k", "g"};
  for (const KeyCase& c : cases) {
    SCOPED_TRACE(c.turn);
    const gfx::Handle key = std::string(c.turn) == "lht" ? lht.key : rht.key;
    const auto markers = lines(key);
    const auto words = texts(key);
    ASSERT_EQ(markers.size(), 6u);
    ASSERT_EQ(words.size(), 6u);
    for (std::size_t k = 0; k < 6; ++k) {
      const gfx::Color colour = *gfx::parse_line_spec(colours[k]).color;
      EXPECT_EQ(markers[k]->marker, "s");
      EXPECT_EQ(markers[k]->marker_face, colour);
      EXPECT_EQ(markers[k]->marker_edge, colour);
      EXPECT_EQ(markers[k]->x, (std::vector<double>{0.05}));
      EXPECT_EQ(markers[k]->y, (std::vector<double>{ys[k]}));
      EXPECT_EQ(words[k]->string, c.texts[k]);
      EXPECT_EQ(words[k]->position[0], 0.1);
      EXPECT_EQ(words[k]->position[1], ys[k]);
      EXPECT_EQ(words[k]->font_name, "times");
      EXPECT_EQ(words[k]->font_size, 7);
    }
    EXPECT_FALSE(axes(key).visible);
    EXPECT_EQ(axes(key).xlim, (std::array<double, 2>{0, 1}));
    EXPECT_EQ(axes(key).ylim, (std::array<double, 2>{0, 1}));
  }
}

TEST_F(Balance, ForcesSummingToZeroLeaveAGap) {
  rebuild_turn_windows();
  std::vector<DamperCurve> plotdata = kFourCorners;
  plotdata[3] = corner(-300, 20);  // RR pushes back exactly as hard as RF
  program.call("forcebalancemetric", 0, inputs(plotdata));
  for (double y : lines(lht.balance)[0]->y) EXPECT_TRUE(std::isnan(y));
  EXPECT_NEAR(lines(lht.balance)[1]->y[10], 100.0 * 80 / 120, 1e-12);
}

struct Refusal {
  const char* name;
  std::function<void(std::vector<Value>&)> spoil;
  const char* message;
};

TEST_F(Balance, RefusesBadInputsBeforeDrawing) {
  rebuild_turn_windows();
  program.call("forcebalancemetric", 0, inputs(kFourCorners));
  const std::vector<double> drawn = lines(lht.plot)[0]->y;
  std::vector<DamperCurve> slow = kFourCorners;
  slow[2] = corner(200, 40, 0.2);
  const Refusal cases[] = {
      {"threeCurves",
       [](std::vector<Value>& in) {
         in[0] = to_value(std::vector<DamperCurve>(kFourCorners.begin(), kFourCorners.end() - 1));
       },
       "The balance needs four stored curves (LF, RF, LR, RR); 3 are stored."},
      {"slowCurve", [&](std::vector<Value>& in) { in[0] = to_value(slow); },
       "The balance cannot use curve 3 (LR): its rebound velocities never exceed 0.201; the "
       "fastest is "
       "0.2."},
      {"emptyYmin", [](std::vector<Value>& in) { in[9] = Value(); },
       "The axis limit ymin is not a number."},
      {"closedWindow",
       [&](std::vector<Value>& in) { in[5] = Value::number(rht.balance.value + 1e6); },
       "The Right Hand Turn window is closed: balance_rht is an invalid or deleted object."},
      {"textHandle", [](std::vector<Value>& in) { in[1] = Value::text("h"); },
       "forcebalancemetric: plothandle_lht must be an axes handle, found text."},
  };
  for (const Refusal& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<Value> in = inputs(kFourCorners);
    c.spoil(in);
    try {
      program.call("forcebalancemetric", 0, in);
      ADD_FAILURE() << "expected a failure";
    } catch (const RuntimeError& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
    ASSERT_EQ(lines(lht.plot).size(), 4u);
    EXPECT_EQ(lines(lht.plot)[0]->y, drawn);
    EXPECT_EQ(lines(lht.key).size(), 6u);
  }
}

TEST_F(Balance, ActionBelowCounter100DoesNothing) {
  program.globals.plotdata = kFourCorners;
  program.globals.counter = 99;
  const auto windows = program.gfx.window_numbers();
  EXPECT_TRUE(run_balance());
  EXPECT_EQ(program.gfx.window_numbers(), windows);
}

TEST_F(Balance, ActionWithTheTurnWindowsClosedFailsNamingThem) {
  program.globals.plotdata = kFourCorners;
  program.globals.counter = 100;
  ASSERT_EQ(program.gfx.window_numbers(), (std::vector<int>{1, 2}));
  EXPECT_FALSE(run_balance());
  EXPECT_EQ(errors.back(),
            "The Left Hand Turn window is closed: plothandle_lht is an invalid or deleted object.");
  EXPECT_EQ(program.gfx.window_numbers(), (std::vector<int>{1, 2}));  // no empty window 3
}

TEST_F(Balance, ActionResetsAndDrawsBothTurnWindowsInTheSelectedUnits) {
  rebuild_turn_windows();
  program.globals.plotdata = kFourCorners;
  program.globals.counter = 100;
  for (bool si : {true, false, true}) {
    SCOPED_TRACE(si);
    control("SIUnits").value = si ? 1 : 0;
    control("USUnits").value = si ? 0 : 1;
    ASSERT_TRUE(run_balance()) << errors.back();
    EXPECT_EQ(program.globals.siunits, si ? 1 : 0);
    for (const TurnAxes& t : {lht, rht}) {
      EXPECT_EQ(lines(t.plot).size(), 4u);  // the reset line is replaced by the first force
      EXPECT_EQ(lines(t.balance).size(), 2u);
      EXPECT_EQ(lines(t.key).size(), 6u);
      EXPECT_EQ(texts(t.key).size(), 6u);
      EXPECT_EQ(label(axes(t.plot).xlabel), si ? "Velocity (m/s)" : "Velocity (inches/s)");
      EXPECT_EQ(label(axes(t.plot).ylabel), si ? "Force (N)" : "Force (lbs)");
      EXPECT_EQ(axes(t.plot).xlim[1], si ? 0.25 : 10);
      gfx::Window& w = program.gfx.window_of(t.plot);
      EXPECT_EQ(w.color, (gfx::Color{0.650980392156863, 0.635294117647059, 0.549019607843137}));
      EXPECT_TRUE(w.zoom);
    }
    EXPECT_EQ(program.gfx.current_window()->number, 1);
  }
}

TEST_F(Balance, ActionRefusesBadCurvesBeforeClearingTheTurnWindows) {
  rebuild_turn_windows();
  program.globals.plotdata = kFourCorners;
  program.globals.counter = 100;
  ASSERT_TRUE(run_balance());
  program.globals.plotdata.pop_back();
  EXPECT_FALSE(run_balance());
  EXPECT_EQ(errors.back(), "The balance needs four stored curves (LF, RF, LR, RR); 3 are stored.");
  EXPECT_EQ(lines(lht.plot).size(), 4u);
  EXPECT_EQ(lines(rht.key).size(), 6u);

  program.globals.plotdata = kFourCorners;
  control("ymin").string = "low";
  EXPECT_FALSE(run_balance());
  EXPECT_EQ(errors.back(), "The axis limit ymin is not a number.");
  EXPECT_EQ(lines(lht.plot).size(), 4u);
}

}  // namespace
}  // namespace quorin
