// Curve tables, forces at velocities, differences of curves and the undo history, headless.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "analysis/curve_points.h"
#include "analysis/history.h"
#include "analysis/tool_windows.h"
#include "analysis/velocity_table.h"
#include "services/runtime_error.h"

namespace quorin::analysis {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(CurvePoints, CsvFieldsAreQuotedOnlyWhenTheyMustBe) {
  struct Row {
    const char* name;
    std::string in, out;
  };
  const std::vector<Row> rows = {
      {"plain", "1  Comp  CV-2220", "1  Comp  CV-2220"},
      {"comma", "MR:1, 12/12/40", "\"MR:1, 12/12/40\""},
      {"quote", "16\" bar", "\"16\"\" bar\""},
      {"line break", "a\nb", "\"a\nb\""},
      {"carriage return", "a\rb", "\"a\rb\""},
      {"empty", "", ""},
  };
  for (const Row& r : rows) EXPECT_EQ(csv_field(r.in), r.out) << r.name;
}

TEST(CurvePoints, NumbersAreWrittenSoTheyReadBackExactly) {
  for (double v : {0.0, 0.1, -0.2245303946795278, 24.08806001152718, 1e-300, 12345678.5}) {
    const std::string s = exact_number(v);
    EXPECT_EQ(std::stod(s), v) << s;
  }
  EXPECT_EQ(exact_number(kNaN), "NaN");
  EXPECT_EQ(exact_number(-std::numeric_limits<double>::infinity()), "-Inf");
}

TEST(CurvePoints, OneRowPerPointUnderAHeaderNamingTheUnits) {
  const std::vector<DrawnCurve> curves = {
      {1, "1  Comp, soft", Side::Compression, {0, 0.5}, {0, 10}},
      {1, "1  Comp, soft", Side::Rebound, {0, 0.5}, {0, -20}},
      {std::nullopt, "Dyno", Side::Rebound, {0.25}, {-3.5}},
  };
  EXPECT_EQ(points_csv(curves, shown_units(true)),
            "Curve,Name,Side,Velocity (m/s),Force (N)\r\n"
            "1,\"1  Comp, soft\",compression,0,0\r\n"
            "1,\"1  Comp, soft\",compression,0.5,10\r\n"
            "1,\"1  Comp, soft\",rebound,0,0\r\n"
            "1,\"1  Comp, soft\",rebound,0.5,-20\r\n"
            ",Dyno,rebound,0.25,-3.5\r\n");
  EXPECT_TRUE(points_tsv(curves, shown_units(false))
                  .starts_with("Curve\tName\tSide\tVelocity (in/s)\tForce (lbs)\n1\t1  Comp, "
                               "soft\tcompression\t0\t0\n"));
}

TEST(VelocityTable, ForceAtInterpolatesOnTheDrawnCurve) {
  const std::vector<double> v = {0, 1, 3}, f = {0, 10, 50};
  struct Row {
    const char* name;
    double at;
    std::optional<double> force;
  };
  const std::vector<Row> rows = {
      {"first point", 0, 0},          {"a point", 1, 10},
      {"last point", 3, 50},          {"within first", 0.5, 5},
      {"within second", 2, 30},       {"below", -0.1, std::nullopt},
      {"beyond", 3.01, std::nullopt}, {"not a number", kNaN, std::nullopt},
  };
  for (const Row& r : rows) EXPECT_EQ(force_at(v, f, r.at), r.force) << r.name;
  EXPECT_EQ(force_at({}, {}, 0), std::nullopt);
  // A curve drawn from right to left reads the same.
  EXPECT_EQ(force_at({3, 1, 0}, {50, 10, 0}, 2), 30);
}

TEST(VelocityTable, VelocityListsAreReadOrRefused) {
  EXPECT_EQ(parse_velocities("0 0.1, 0.25;1"), (std::vector<double>{0, 0.1, 0.25, 1}));
  EXPECT_EQ(parse_velocities("  2  "), std::vector<double>{2});
  for (const char* bad : {"", " , ", "0.1 fast", "1e999"}) {
    try {
      parse_velocities(bad);
      ADD_FAILURE() << "accepted \"" << bad << "\"";
    } catch (const RuntimeError& e) {
      EXPECT_NE(std::string(e.what()), "") << bad;
    }
  }
  EXPECT_EQ(velocities_text({0, 0.005, 10}), "0 0.005 10");
  EXPECT_EQ(default_velocities(false).back(), 10);
  EXPECT_EQ(default_velocities(true).back(), 0.25);
}

TEST(VelocityTable, ColumnsPerSideBlankWhereACurveEnds) {
  const std::vector<DrawnCurve> stored = {
      {1, "one", Side::Compression, {0, 1}, {0, 100}},
      {1, "one", Side::Rebound, {0, 2}, {0, -100}},
  };
  const VelocityTable t = velocity_table(stored, {0.5, 1.5});
  ASSERT_EQ(t.columns.size(), 2u);
  EXPECT_EQ(t.columns[0].force, (std::vector<std::optional<double>>{50, std::nullopt}));
  EXPECT_EQ(t.columns[1].force, (std::vector<std::optional<double>>{-25, -75}));
  EXPECT_EQ(table_tsv(t, shown_units(true)),
            "Velocity (m/s)\t1 compression (N)\t1 rebound (N)\n"
            "0.5\t50\t-25\n"
            "1.5\t\t-75\n");
}

TEST(Difference, OfACurveWithItselfIsZeroEverywhere) {
  std::vector<double> v, f;
  for (int k = 0; k < 500; ++k) {
    v.push_back(0.0003192 * k + 1e-7 * k * k);
    f.push_back(std::sqrt(static_cast<double>(k)) * 7.3);
  }
  const SideDifference d = side_difference(v, f, v, f);
  ASSERT_EQ(d.velocity.size(), v.size());
  for (std::size_t k = 0; k < d.force.size(); ++k) {
    EXPECT_EQ(d.force[k], 0) << k;
    if (f[k] != 0) {
      EXPECT_EQ(d.percent[k], 0) << k;
    }
  }
  EXPECT_TRUE(std::isnan(d.percent[0]));  // F_A is 0 at rest: a gap
}

TEST(Difference, BMinusAAtAsVelocitiesWithinBothRanges) {
  // A: F = 2v up to 2; B: F = 3v up to 1.5, sampled elsewhere than A.
  const SideDifference d =
      side_difference({0, 0.5, 1, 1.5, 2}, {0, 1, 2, 3, 4}, {0, 0.75, 1.5}, {0, 2.25, 4.5});
  EXPECT_EQ(d.velocity, (std::vector<double>{0, 0.5, 1, 1.5}));
  EXPECT_EQ(d.force, (std::vector<double>{0, 0.5, 1, 1.5}));
  EXPECT_TRUE(std::isnan(d.percent[0]));
  EXPECT_DOUBLE_EQ(d.percent[1], 50);
  EXPECT_DOUBLE_EQ(d.percent[3], 50);
}

TEST(Difference, RefusesACurveThatIsNotStored) {
  const std::vector<DrawnCurve> stored = {{1, "one", Side::Compression, {0, 1}, {0, 1}},
                                          {1, "one", Side::Rebound, {0, 1}, {0, -1}}};
  EXPECT_THROW(curve_difference(stored, 1, 2), RuntimeError);
  EXPECT_EQ(curve_difference(stored, 1, 1).rebound.force, (std::vector<double>{0, 0}));
}

PlotState state(double counter) {
  PlotState s;
  s.counter = counter;
  s.counter2 = counter;
  return s;
}

// A new tool window opens wholly on the screen, title bar included, moved left and down only
// as far as needed; one the user placed keeps its place when it is built again.
TEST(ToolWindow, ANewWindowOpensOnTheScreen) {
  struct Case {
    const char* name;
    gfx::Rect screen, fresh, expected;
  };
  const std::vector<Case> cases = {
      {"fits as it is", {0, 0, 1920, 1080}, {140, 90, 980, 620}, {140, 90, 980, 620}},
      {"too far right", {0, 0, 1024, 768}, {140, 90, 980, 620}, {44, 90, 980, 620}},
      {"too high", {0, 0, 1024, 700}, {10, 90, 980, 620}, {10, 50, 980, 620}},
      {"wider than the screen", {0, 0, 800, 600}, {140, 10, 980, 400}, {0, 10, 980, 400}},
      {"screen not at the origin", {100, 40, 1024, 768}, {0, 0, 600, 400}, {100, 40, 600, 400}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    gfx::Model m;
    m.screen = c.screen;
    gfx::Window& w = open_tool_window(m, "Tool", c.fresh);
    EXPECT_EQ(w.position, c.expected);
    w.position = {300, 200, 980, 620};  // the user moves it
    EXPECT_EQ(open_tool_window(m, "Tool", w.position).position, (gfx::Rect{300, 200, 980, 620}));
  }
}

TEST(History, UndoesTwentyStepsAndRedoesThemBack) {
  History h;
  for (int i = 1; i <= 25; ++i) h.record(state(i));  // the state before each of 25 actions
  EXPECT_EQ(h.undo_steps(), History::kSteps);
  PlotState now = state(26);
  for (int i = 25; i >= 6; --i) {
    std::optional<PlotState> back = h.undo(now);
    ASSERT_TRUE(back) << i;
    EXPECT_EQ(back->counter, i);
    now = *back;
  }
  EXPECT_FALSE(h.undo(now));  // the five oldest steps were let go
  std::optional<PlotState> forward = h.redo(now);
  ASSERT_TRUE(forward);
  EXPECT_EQ(forward->counter, 7);
}

TEST(History, ANewActionDropsWhatWasUndone) {
  History h;
  h.record(state(1));
  ASSERT_TRUE(h.undo(state(2)));
  EXPECT_TRUE(h.can_redo());
  h.record(state(1));
  EXPECT_FALSE(h.can_redo());
}

TEST(History, AnAxesPictureIsDrawnBackAsItWas) {
  gfx::Model m;
  gfx::Window& w = m.figure(2);
  gfx::Axes& a = m.new_axes(w);
  m.new_text(a, 0.005, 4500, "Compression");
  const std::vector<double> x{0, 1}, y{0, 5};
  m.plot(a, x, y, "b");
  a.hold = true;
  m.plot(a, x, y, "k--").visible = false;
  a.xlim = {0, 10};
  a.xlim_manual = true;
  const AxesPicture before = capture_axes(m, a);

  m.cla(a);
  m.plot(a, y, x, "r");
  a.xlim = {0, 3};
  ASSERT_FALSE(capture_axes(m, a) == before);
  restore_axes(m, a, before);
  EXPECT_EQ(capture_axes(m, a), before);
  ASSERT_EQ(m.children_of<gfx::Line>(a).size(), 2u);
  EXPECT_FALSE(m.children_of<gfx::Line>(a)[1]->visible);
}

}  // namespace
}  // namespace quorin::analysis
