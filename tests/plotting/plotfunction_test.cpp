#include "plotting/plotfunction.h"

#include <gtest/gtest.h>

#include <sstream>

#include "plotting/clearfunction.h"
#include "plotting/overlays.h"
#include "services/runtime_error.h"
#include "support/comparison_windows.h"

namespace quorin {
namespace {

using test_support::build_comparison_windows;
using test_support::ComparisonWindows;
using test_support::main_control;

// A small record: base rows of three points with the given scales and motion ratio.
DamperCurve small_record(double compscale = 1, double rebscale = 1, double motionratio = 1,
                         std::string label = "1") {
  DamperCurve p;
  p.cmpvelocity = {0, 0.1, 0.3};
  p.cmpforce = {0, 1, 2};
  p.rebvelocity = {0, 0.2, 0.5};
  p.rebforce = {0, -1, -2};
  p.compscale = compscale;
  p.rebscale = rebscale;
  p.motionratio = motionratio;
  p.curveIDcompression1 = label + "  Comp  a";
  p.curveIDcompression2 = "b " + label;
  p.curveIDrebound1 = "c " + label;
  p.curveIDrebound2 = "d " + label;
  return p;
}

Value dyno_record(std::vector<double> v, std::vector<double> f) {
  Value velocity = Value::record();
  velocity.set_field("Data", Value::row(std::move(v)));
  Value force = Value::record();
  force.set_field("Data", Value::row(std::move(f)));
  Value page = Value::record();
  page.set_field("Velocity", velocity);
  page.set_field("Force", force);
  Value shock = Value::record();
  shock.set_field("Speed_1", page);
  return shock;
}

Matrix zero_import() { return Matrix{1, 3, {0, 0, 0}}; }

class Plotting : public ::testing::Test {
 protected:
  gfx::Model m;
  ComparisonWindows w = build_comparison_windows(m);
  gfx::Axes& curves() { return m.get<gfx::Axes>(w.plothandle); }
  gfx::Axes& legend() { return m.get<gfx::Axes>(w.IDhandle); }
  std::vector<gfx::Line*> lines() { return m.children_of<gfx::Line>(curves()); }
  const std::string& text_of(gfx::Handle h) { return m.get<gfx::Text>(h).string; }
  // Children that plotting added (the axes' own title and labels have hidden handles).
  std::size_t drawn_children(gfx::Axes& a) {
    std::size_t n = 0;
    for (gfx::Handle h : a.children()) n += m.get(h).handle_visible ? 1 : 0;
    return n;
  }
  void draw(const std::vector<DamperCurve>& plotdata, double counter,
            const Value& shock = dyno_record({0}, {0}), const Matrix& import = zero_import()) {
    plotfunction(m, plotdata, w.plothandle, w.IDhandle, counter, import, shock, &console);
  }
  std::ostringstream console;
};

TEST_F(Plotting, NoRecordsLeaveOnlyTheFrameAndAnEmptyHiddenLegend) {
  // Leftovers of an earlier drawing must go.
  const std::array<double, 2> x{1, 2}, y{3, 4};
  m.plot(curves(), x, y, "r");
  m.new_text(legend(), 0.1, 0.5, "old legend");
  legend().visible = true;

  draw({}, 1);

  ASSERT_EQ(lines().size(), 1u);
  const gfx::Line& white = *lines()[0];
  EXPECT_EQ(white.x, (std::vector<double>{0, 0.25}));
  EXPECT_EQ(white.y, (std::vector<double>{-10000, 5000}));
  EXPECT_EQ(white.color, (gfx::Color{1, 1, 1}));
  EXPECT_EQ(white.line_style, "-");
  EXPECT_EQ(drawn_children(curves()), 1u);

  EXPECT_EQ(text_of(curves().title), "Damper Curve Comparison");
  EXPECT_EQ(text_of(curves().xlabel), "Velocity (m/s)");
  EXPECT_EQ(text_of(curves().ylabel), "Force (N)");
  for (gfx::Handle h : {curves().title, curves().xlabel, curves().ylabel}) {
    const auto& t = m.get<gfx::Text>(h);
    EXPECT_EQ(t.font_name, "times");
    EXPECT_EQ(t.font_size, 10);
    EXPECT_EQ(t.font_angle, "italic");
  }
  EXPECT_EQ(curves().xlim, (std::array<double, 2>{0, 10}));
  EXPECT_EQ(curves().ylim, (std::array<double, 2>{-500, 500}));
  EXPECT_TRUE(curves().xlim_manual && curves().ylim_manual);
  EXPECT_TRUE(curves().xgrid && curves().ygrid);

  EXPECT_FALSE(legend().visible);
  EXPECT_EQ(drawn_children(legend()), 0u);

  EXPECT_EQ(m.current_window()->number, 1);
  EXPECT_TRUE(m.window(2)->zoom);
}

TEST_F(Plotting, CurvesFollowTheUnitsSelectedAtDrawingTime) {
  struct Row {
    const char* name;
    bool si;
    double vel, force;
    const char* xlabel;
    const char* ylabel;
  };
  const Row rows[] = {
      {"SI", true, 1, 1, "Velocity (m/s)", "Force (N)"},
      {"US", false, 39.37007874015748, 4.45374, "Velocity (inches/s)", "Force (lbs)"},
  };
  // Stored in SI with non-trivial scales and motion ratio.
  const DamperCurve p = small_record(1.25, 0.8, 1.5);
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    main_control(m, "SIUnits").value = r.si ? 1 : 0;
    main_control(m, "USUnits").value = r.si ? 0 : 1;
    draw({p}, 2);
    // The first curve, drawn with hold still off, replaces the white reset line.
    ASSERT_EQ(lines().size(), 2u);
    const gfx::Line& comp = *lines()[0];
    const gfx::Line& reb = *lines()[1];
    for (std::size_t k = 0; k < 3; ++k) {
      EXPECT_DOUBLE_EQ(comp.x[k], p.cmpvelocity[k] * r.vel / 1.25 * 1.5);
      EXPECT_DOUBLE_EQ(comp.y[k], p.cmpforce[k] * 1.25 / r.force / 1.5);
      EXPECT_DOUBLE_EQ(reb.x[k], p.rebvelocity[k] * r.vel / 0.8 * 1.5);
      EXPECT_DOUBLE_EQ(reb.y[k], p.rebforce[k] * 0.8 / r.force / 1.5);
    }
    EXPECT_EQ(text_of(curves().xlabel), r.xlabel);
    EXPECT_EQ(text_of(curves().ylabel), r.ylabel);
  }
}

TEST_F(Plotting, RecordsTakeTheirColourAndLegendBlock) {
  std::vector<DamperCurve> plotdata;
  for (int i = 1; i <= 8; ++i) plotdata.push_back(small_record(1, 1, 1, std::to_string(i)));
  const gfx::Color expected[] = {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}, {0, 0, 0},
                                 {1, 1, 0}, {1, 0, 1}, {0, 1, 1}, {0, 0, 1}};
  draw(plotdata, 9);

  ASSERT_EQ(lines().size(), 2u * 8);
  const auto markers = m.children_of<gfx::Line>(legend());
  std::vector<gfx::Text*> texts;
  for (gfx::Text* t : m.children_of<gfx::Text>(legend()))
    if (t->handle_visible) texts.push_back(t);
  ASSERT_EQ(markers.size(), 8u);
  ASSERT_EQ(texts.size(), 4u * 8);
  for (std::size_t i = 1; i <= 8; ++i) {
    SCOPED_TRACE(i);
    const gfx::Color c = expected[i - 1];
    EXPECT_EQ(lines()[2 * i - 2]->color, c);
    EXPECT_EQ(lines()[2 * i - 1]->color, c);
    EXPECT_EQ(lines()[2 * i - 1]->line_style, "-");

    const gfx::Line& mk = *markers[i - 1];
    EXPECT_EQ(mk.marker, "s");
    EXPECT_EQ(mk.line_style, "none");
    EXPECT_EQ(mk.marker_face, c);
    EXPECT_EQ(mk.marker_edge, c);
    EXPECT_EQ(mk.x, (std::vector<double>{0.05}));
    EXPECT_DOUBLE_EQ(mk.y[0], 1.1 - 0.12 * static_cast<double>(i));

    const double tops[] = {1.1, 1.08, 1.06, 1.04};
    const std::string label = std::to_string(i);
    const std::string want[] = {label + "  Comp  a", "b " + label, "c " + label, "d " + label};
    for (std::size_t k = 0; k < 4; ++k) {
      const gfx::Text& t = *texts[4 * (i - 1) + k];
      EXPECT_EQ(t.string, want[k]);
      EXPECT_DOUBLE_EQ(t.position[0], 0.1);
      EXPECT_DOUBLE_EQ(t.position[1], tops[k] - 0.12 * static_cast<double>(i));
      EXPECT_EQ(t.font_size, 7);
      EXPECT_EQ(t.font_name, "times");
    }
  }
  // Record 1 sits at 0.98 to 0.92.
  EXPECT_NEAR(texts[0]->position[1], 0.98, 1e-12);
  EXPECT_NEAR(texts[3]->position[1], 0.92, 1e-12);
  EXPECT_EQ(legend().xlim, (std::array<double, 2>{0, 1}));
  EXPECT_EQ(legend().ylim, (std::array<double, 2>{0, 1}));
  EXPECT_FALSE(legend().visible);
  EXPECT_TRUE(legend().hold);
}

TEST_F(Plotting, MoreRecordsThanColoursAndMissingRecordsFail) {
  std::vector<DamperCurve> plotdata(12, small_record());
  EXPECT_THROW(draw(plotdata, 13), RuntimeError);
  try {
    draw({small_record()}, 3);
    FAIL() << "record 2 is missing";
  } catch (const RuntimeError& e) {
    EXPECT_STREQ(e.what(), "plotdata has no curve 2.");
  }
}

TEST_F(Plotting, HeldDynoCurveIsOffsetByTheLastNonPositiveVelocitySample) {
  struct Row {
    const char* name;
    std::vector<double> v, f, want_x, want_y;
  };
  const Row rows[] = {
      {"start-up record", {0}, {0}, {0}, {0}},
      {"last sample at or below zero wins",
       {-1, 0.5, -0.2, 0.7},
       {10, 20, 5, 30},
       {1, 0.5, 0.2, 0.7},
       {5, 15, 0, 25}},
      {"no sample at or below zero: no offset", {0.1, 0.2}, {7, 9}, {0.1, 0.2}, {7, 9}},
  };
  main_control(m, "holdroehrig").value = 1;
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    draw({}, 1, dyno_record(r.v, r.f));
    // Without records hold is still off, so the dyno curve replaces the reset line.
    ASSERT_EQ(lines().size(), 1u);
    const gfx::Line& dyno = *lines()[0];
    EXPECT_EQ(dyno.color, (gfx::Color{0, 0, 0}));
    EXPECT_EQ(dyno.line_style, "--");
    EXPECT_EQ(dyno.x, r.want_x);
    EXPECT_EQ(dyno.y, r.want_y);
    EXPECT_TRUE(curves().hold);
  }
  // Channels that name no unit are taken as they stand, without a word.
  EXPECT_EQ(console.str(), "");
  // A cancelled dyno dialog leaves the number 1 instead of a record.
  EXPECT_THROW(draw({}, 1, Value::number(1)), RuntimeError);
}

// A dyno file in m/s and N holding the base rows of a damper curve lands exactly on that
// curve's compression line, in either unit system.
TEST_F(Plotting, HeldDynoCurveLandsOnASynthesisedCurveOfTheSameNumbers) {
  const DamperCurve p = small_record();
  Value shock = dyno_record(p.cmpvelocity, p.cmpforce);
  Value& page = shock.field_ref("Speed_1");
  page.field_ref("Velocity").set_field("Units", Value::text("MetersPerSecond"));
  page.field_ref("Force").set_field("Units", Value::text("Newtons"));
  main_control(m, "holdroehrig").value = 1;
  for (bool si : {true, false}) {
    SCOPED_TRACE(si ? "Metric" : "Imperial");
    main_control(m, "SIUnits").value = si ? 1 : 0;
    main_control(m, "USUnits").value = si ? 0 : 1;
    draw({p}, 2, shock);
    ASSERT_EQ(lines().size(), 3u);
    const gfx::Line& compression = *lines()[0];
    const gfx::Line& dyno = *lines()[2];
    EXPECT_EQ(dyno.line_style, "--");
    EXPECT_EQ(dyno.x, compression.x);
    EXPECT_EQ(dyno.y, compression.y);
    EXPECT_EQ(dyno_overlay_curve(shock, si).x, dyno.x);
  }
  EXPECT_EQ(console.str(), "");
}

TEST_F(Plotting, HeldImportCurveDrawsBothForceColumns) {
  main_control(m, "holdimport").value = 1;
  const Matrix import{2, 3, {0.1, 10, -10, 0.2, 20, -20}};
  draw({small_record()}, 2, dyno_record({0}, {0}), import);
  ASSERT_EQ(lines().size(), 4u);
  for (std::size_t k : {2u, 3u}) {
    EXPECT_EQ(lines()[k]->color, (gfx::Color{0, 0, 1}));
    EXPECT_EQ(lines()[k]->line_style, "--");
    EXPECT_EQ(lines()[k]->x, (std::vector<double>{0.1, 0.2}));
  }
  EXPECT_EQ(lines()[2]->y, (std::vector<double>{10, 20}));
  EXPECT_EQ(lines()[3]->y, (std::vector<double>{-10, -20}));

  EXPECT_THROW(draw({}, 1, dyno_record({0}, {0}), Matrix{1, 2, {0, 0}}), RuntimeError);
}

TEST_F(Plotting, LimitBoxWithoutANumberFailsAfterTheCurvesAreDrawn) {
  main_control(m, "ymin").string = "abc";
  try {
    draw({small_record()}, 2);
    FAIL() << "expected a failure";
  } catch (const RuntimeError& e) {
    EXPECT_STREQ(e.what(), "The axis limit ymin is not a number.");
  }
  EXPECT_EQ(lines().size(), 2u);
}

class AxesReset : public Plotting {};

TEST_F(AxesReset, EmptiesTheCurrentAxesAndFramesItInTheUnits) {
  struct Row {
    double siunits;
    const char* xlabel;
    const char* ylabel;
  };
  for (const Row& r : {Row{1, "Velocity (m/s)", "Force (N)"},
                       Row{0, "Velocity (inches/s)", "Force (lbs)"}}) {
    SCOPED_TRACE(r.siunits);
    draw({small_record()}, 2);
    m.set_current_axes(w.plothandle);
    clearfunction(m, -1, 5, -100, 200, r.siunits);
    ASSERT_EQ(lines().size(), 1u);
    EXPECT_EQ(lines()[0]->y, (std::vector<double>{-10000, 5000}));
    EXPECT_EQ(curves().xlim, (std::array<double, 2>{-1, 5}));
    EXPECT_EQ(curves().ylim, (std::array<double, 2>{-100, 200}));
    EXPECT_TRUE(curves().xgrid && curves().ygrid);
    EXPECT_FALSE(curves().hold);
    EXPECT_EQ(text_of(curves().title), "Damper Curve Comparison");
    EXPECT_EQ(text_of(curves().xlabel), r.xlabel);
    EXPECT_EQ(text_of(curves().ylabel), r.ylabel);
  }
}

TEST_F(AxesReset, EmptyLimitFailsNamingItWithTheAxesAlreadyEmpty) {
  draw({small_record()}, 2);
  m.set_current_axes(w.plothandle);
  try {
    clearfunction(m, 0, std::nullopt, -500, 500, 1);
    FAIL() << "expected a failure";
  } catch (const RuntimeError& e) {
    EXPECT_STREQ(e.what(), "The axis limit xmax is not a number.");
  }
  EXPECT_EQ(lines().size(), 1u);
  EXPECT_EQ(curves().ylim, (std::array<double, 2>{-500, 500}));
}

TEST(DamperCurveValue, PlotdataSurvivesTheValueEdge) {
  const std::vector<DamperCurve> plotdata = {small_record(1.1, 0.9, 1.5, "1"),
                                             small_record(1, 1, 2, "2")};
  const Value v = to_value(plotdata);
  ASSERT_TRUE(v.is_record());
  EXPECT_EQ(v.numel(), 2u);
  EXPECT_EQ(v.field_names().size(), 16u);
  EXPECT_EQ(plotdata_from_value(v), plotdata);
  EXPECT_TRUE(plotdata_from_value(to_value({})).empty());
}

}  // namespace
}  // namespace quorin
