// CLEAR, EXIT, PRINT and the dyno overlay on hand-built windows.
#include <gtest/gtest.h>

#include <filesystem>

#include "dyno/dyno_bytes.h"
#include "plotting/axes_frame.h"
#include "processor/comparison_actions.h"

namespace quorin {
namespace {

using test_support::linear_curve;
const std::string kFixtures = std::string(QUORIN_FIXTURES) + "/";
constexpr gfx::Color kKhaki{0.650980392156863, 0.635294117647059, 0.549019607843137};

class Clear : public test_support::ComparisonActions {
 public:
  // The curve axes' lines by style: solid coloured curves, dashed blue, dashed black.
  struct Drawn {
    int white = 0, solid = 0, dashed_blue = 0, dashed_black = 0;
  };
  Drawn drawn() {
    Drawn d;
    for (const gfx::Line* l : curve_lines()) {
      if (l->color == gfx::Color{1, 1, 1}) ++d.white;
      else if (l->line_style == "--" && l->color == gfx::Color{0, 0, 1}) ++d.dashed_blue;
      else if (l->line_style == "--" && l->color == gfx::Color{0, 0, 0}) ++d.dashed_black;
      else ++d.solid;
    }
    return d;
  }
  // The legend lines, without the axes' own title and labels.
  std::size_t legend_texts() {
    std::size_t n = 0;
    for (const gfx::Text* t : gfx.children_of<gfx::Text>(legend_axes())) n += t->handle_visible;
    return n;
  }
  // A dyno record of the given samples on page Speed_1.
  static Value dyno(std::vector<double> v, std::vector<double> f) {
    Value page = Value::record();
    Value vel = Value::record(), force = Value::record();
    vel.set_field("Data", Value::column(v));
    force.set_field("Data", Value::column(f));
    page.set_field("Velocity", vel);
    page.set_field("Force", force);
    Value s = Value::record();
    s.set_field("Speed_1", page);
    return s;
  }
};

TEST_F(Clear, AllAndHoldBoxesDecideCounterAndWhatIsRedrawn) {
  struct Row {
    const char* name;
    double all, holdimport, holdroehrig;
    double counter;
    int solid, dashed_blue, dashed_black, legend_texts;
  };
  const Row rows[] = {
      {"all, no holds", 1, 0, 0, 1, 0, 0, 0, 0},
      {"all, both holds", 1, 1, 1, 1, 0, 2, 1, 0},
      {"all, import held", 1, 1, 0, 1, 0, 2, 0, 0},
      {"all, dyno held", 1, 0, 1, 1, 0, 0, 1, 0},
      {"keep curve 1", 0, 0, 0, 2, 2, 0, 0, 4},
      {"keep curve 1, both holds", 0, 1, 1, 2, 2, 2, 1, 4},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    gfx.window(2)->color = gfx::Color{0.8, 0.8, 0.8};
    store({linear_curve(1), linear_curve(2), linear_curve(3), linear_curve(4), linear_curve(5)});
    g.import = Matrix{2, 3, {0, 10, -10, 5, 100, -100}};
    g.ShockData = dyno({-1, 0, 2}, {-20, 5, 40});
    control("clearall").value = row.all;
    control("holdimport").value = row.holdimport;
    control("holdroehrig").value = row.holdroehrig;
    run("clear");
    EXPECT_EQ(g.counter, row.counter);
    EXPECT_EQ(g.counter2, 6);
    EXPECT_EQ(g.plotdata.size(), 5u);  // records stay; the counter decides which exist
    const Drawn d = drawn();
    EXPECT_EQ(d.solid, row.solid);
    EXPECT_EQ(d.dashed_blue, row.dashed_blue);
    EXPECT_EQ(d.dashed_black, row.dashed_black);
    EXPECT_EQ(legend_texts(), static_cast<std::size_t>(row.legend_texts));
    EXPECT_FALSE(legend_axes().visible);
    EXPECT_EQ(gfx.window(2)->color, kKhaki);
    EXPECT_EQ(curve_axes().xlim, (std::array<double, 2>{0, 10}));
    EXPECT_EQ(curve_axes().ylim, (std::array<double, 2>{-500, 500}));
    EXPECT_TRUE(curve_axes().xgrid && curve_axes().ygrid);
    EXPECT_EQ(gfx.current_window()->number, 1);
    EXPECT_EQ(gfx.stacking().back(), 1);
  }
}

TEST_F(Clear, HeldCurvesAreTheImportPairAndTheOffsetDynoCurve) {
  store({linear_curve(1), linear_curve(2)});
  g.import = Matrix{2, 4, {0, 10, -10, 7, 5, 100, -100, 7}};
  g.ShockData = dyno({-1, 0, 2, -0.5, 3}, {-20, 5, 40, -12, 60});
  control("holdimport").value = 1;
  control("holdroehrig").value = 1;
  run("clear");
  const auto lines = curve_lines();
  // The first held curve, drawn with hold still off after the reset, replaces the reset line.
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0]->x, (std::vector<double>{0, 5}));
  EXPECT_EQ(lines[0]->y, (std::vector<double>{10, 100}));
  EXPECT_EQ(lines[1]->y, (std::vector<double>{-10, -100}));
  // The last sample at or below zero velocity has force -12: every force is raised by 12.
  EXPECT_EQ(lines[2]->x, (std::vector<double>{1, 0, 2, 0.5, 3}));
  EXPECT_EQ(lines[2]->y, (std::vector<double>{-8, 17, 52, 0, 72}));
  EXPECT_TRUE(curve_axes().hold);
  EXPECT_TRUE(gfx.window(2)->zoom);
}

TEST_F(Clear, ClearedAxesCarryTheFrameOfTheSelectedUnits) {
  store({linear_curve(1)});
  control("SIUnits").value = 0;
  control("USUnits").value = 1;
  run("clear");
  const gfx::Axes& a = curve_axes();
  EXPECT_EQ(gfx.get<gfx::Text>(a.title).string, kPlotTitle);
  EXPECT_EQ(gfx.get<gfx::Text>(a.xlabel).string, kVelocityLabelUS);
  EXPECT_EQ(gfx.get<gfx::Text>(a.ylabel).string, kForceLabelUS);
}

TEST_F(Clear, NothingHappensBeforeTheCounterOfBuiltCurvesStarts) {
  store({linear_curve(1), linear_curve(2)});
  g.counter2 = 0;
  const std::size_t lines = curve_lines().size();
  for (double all : {1.0, 0.0}) {
    control("clearall").value = all;
    run("clear");
    EXPECT_EQ(g.counter, 3);
    EXPECT_EQ(curve_lines().size(), lines);
    EXPECT_NE(gfx.window(2)->color, kKhaki);
  }
}

TEST_F(Clear, KeepingCurveOneWithNoCurveShownClearsAll) {
  control("clearall").value = 0;
  EXPECT_EQ(error_of("clear"), "no error");  // no record at all
  EXPECT_EQ(g.counter, 1);
  // A record forgotten by an earlier clear-all does not come back.
  store({linear_curve(1)});
  g.counter = 1;
  EXPECT_EQ(error_of("clear"), "no error");
  EXPECT_EQ(g.counter, 1);
  EXPECT_EQ(drawn().solid, 0);
}

TEST_F(Clear, HeldImportThatIsNoCurveIsAnErrorAfterTheAxesAreCleared) {
  store({linear_curve(1)});
  g.import = Matrix{};
  control("holdimport").value = 1;
  EXPECT_EQ(error_of("clear"),
            "The import curve is a 0 by 0 matrix; it needs a velocity column and two force "
            "columns.");
  EXPECT_EQ(g.counter, 1);
  EXPECT_EQ(curve_lines().size(), 1u);
}

using Exit = test_support::ComparisonActions;

TEST_F(Exit, ClosesTheComparisonAndMainWindowsOnly) {
  gfx.figure(3);
  gfx.figure(1);
  run("exit");
  EXPECT_EQ(gfx.window_numbers(), (std::vector<int>{3}));
}

TEST_F(Exit, SkipsAWindowTheUserClosedBefore) {
  gfx.close(2);
  gfx.figure(1);
  run("exit");
  EXPECT_TRUE(gfx.window_numbers().empty());
}

using Print = test_support::ComparisonActions;

TEST_F(Print, PrintsTheComparisonWindowOnItsPaperPlaceThroughTheDialog) {
  for (double printall : {0.0, 1.0}) {
    SCOPED_TRACE(printall);
    printer.requests.clear();
    control("printall").value = printall;
    gfx.window(2)->zoom = false;
    run("print");
    ASSERT_EQ(printer.requests.size(), 1u);
    EXPECT_EQ(printer.requests[0].number, 2);
    EXPECT_TRUE(printer.requests[0].show_dialog);
    const gfx::Window& w = *gfx.window(2);
    EXPECT_EQ(w.paper_position_mode, "manual");
    EXPECT_EQ(w.paper_units, "normalized");
    EXPECT_EQ(w.paper_position, (gfx::Rect{0, 0, 0.90909, 1}));
    EXPECT_TRUE(w.zoom);
    EXPECT_EQ(gfx.current_window()->number, 1);
  }
}

TEST_F(Print, WithoutAPrinterOrAComparisonWindowIsAnError) {
  {
    Processor p = processor();
    p.printer = nullptr;
    EXPECT_THROW(quorin_processor_ct(p, "print"), RuntimeError);
  }
  gfx.close(2);
  gfx.figure(1);
  EXPECT_EQ(error_of("print"), "The comparison window is not open; there is nothing to print.");
  EXPECT_TRUE(printer.requests.empty());
  EXPECT_EQ(gfx.window(2), nullptr);  // no empty window made up to print
}

class Roehrig : public Clear {};

TEST_F(Roehrig, DrawsTheDynoFileAsADashedBlackCurveAndKeepsIt) {
  store({linear_curve(1)});
  control("clearall").value = 0;
  run("clear");  // draws curve 1
  g.pn = std::string("/last/");
  dialogs.push({false, "dyno_175.pvp", kFixtures});
  run("roehrig");
  EXPECT_EQ(dialogs.last_filter(), "/last/*.pvp");
  EXPECT_EQ(g.pn, kFixtures);
  EXPECT_EQ(g.ShockData.field("fn").str(), "dyno_175.pvp");
  const auto lines = curve_lines();
  ASSERT_FALSE(lines.empty());
  const gfx::Line& l = *lines.back();
  EXPECT_EQ(l.line_style, "--");
  EXPECT_EQ(l.color, (gfx::Color{0, 0, 0}));
  // The file holds ips and pounds; the axes show m/s and N.
  ASSERT_EQ(l.x.size(), 2u);
  EXPECT_DOUBLE_EQ(l.x[0], 1.5 * 0.0254);
  EXPECT_DOUBLE_EQ(l.x[1], 2.25 * 0.0254);
  EXPECT_EQ(l.y[0], 0);
  EXPECT_DOUBLE_EQ(l.y[1], 75.5 * 4.45374);
  EXPECT_EQ(console.str(), "");
  EXPECT_EQ(drawn().solid, 2);  // the stored curve stays
  EXPECT_TRUE(curve_axes().hold);
  EXPECT_TRUE(curve_axes().xgrid);
  EXPECT_EQ(curve_axes().ylim, (std::array<double, 2>{-500, 500}));
  EXPECT_TRUE(gfx.window(2)->zoom);
  EXPECT_EQ(gfx.current_window()->number, 1);
}

TEST_F(Roehrig, CancelKeepsTheDynoCurveSoAHeldRedrawStillWorks) {
  dialogs.push({false, "dyno_175.pvp", kFixtures});
  run("roehrig");
  const Value before = g.ShockData;
  const std::size_t lines = curve_lines().size();
  run("roehrig");  // nothing queued: cancelled
  EXPECT_EQ(g.ShockData, before);
  EXPECT_FALSE(g.pn.has_value());
  EXPECT_EQ(curve_lines().size(), lines);
  control("holdroehrig").value = 1;
  EXPECT_EQ(error_of("clear"), "no error");
  EXPECT_EQ(drawn().dashed_black, 1);
}

TEST_F(Roehrig, FileWithoutASpeedPageIsRefusedAndTheOldCurveKept) {
  dialogs.push({false, "dyno_175.pvp", kFixtures});
  run("roehrig");
  const Value before = g.ShockData;
  test::DynoBytes f;
  f.header(1, 0).pairs(1).i16(-3);  // no test page
  const std::string bytes(f.bytes.begin(), f.bytes.end());
  dir.write("empty.pvp", bytes);
  const std::string folder = dir.path().string() + "/";
  dialogs.push({false, "empty.pvp", folder});
  const std::size_t lines = curve_lines().size();
  EXPECT_EQ(error_of("roehrig"),
            "The dyno file \"" + folder +
                "empty.pvp\" holds no Speed_1 velocity and force samples of equal length; the "
                "dyno curve is unchanged.");
  EXPECT_EQ(g.ShockData, before);
  EXPECT_EQ(curve_lines().size(), lines);
}

// PLOT, CLEAR with Hold, Rescale and the unit buttons all draw the dyno curve as ROEHRIG
// does in the units shown.
TEST_F(Roehrig, EveryDrawingOfTheDynoCurveAgreesInTheUnitsShown) {
  struct Row {
    const char* name;
    bool si;
    std::vector<double> x, y;  // the fixture's ips and pounds in the units shown
  };
  const Row rows[] = {
      {"Metric", true, {1.5 * 0.0254, 2.25 * 0.0254}, {0, 75.5 * 4.45374}},
      {"Imperial", false, {1.5, 2.25}, {0, 75.5}},
  };
  auto dyno_line = [this]() -> const gfx::Line& {
    const gfx::Line* found = nullptr;
    for (const gfx::Line* l : curve_lines())
      if (l->line_style == "--" && l->color == gfx::Color{0, 0, 0}) found = l;
    if (!found) throw std::logic_error("no dyno curve drawn");
    return *found;
  };
  auto expect_near = [](const std::vector<double>& got, const std::vector<double>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t k = 0; k < want.size(); ++k) EXPECT_DOUBLE_EQ(got[k], want[k]);
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    control("SIUnits").value = r.si ? 1 : 0;
    control("USUnits").value = r.si ? 0 : 1;
    control("holdroehrig").value = 0;
    store({linear_curve(1)});
    dialogs.push({false, "dyno_175.pvp", kFixtures});
    run("roehrig");
    const gfx::Line roehrig = dyno_line();
    expect_near(roehrig.x, r.x);
    expect_near(roehrig.y, r.y);

    control("holdroehrig").value = 1;
    struct Redraw {
      const char* action;
      double clearall;
    };
    for (const Redraw& d : {Redraw{"rescale", 1}, Redraw{"clear", 1}, Redraw{"clear", 0}}) {
      SCOPED_TRACE(std::string(d.action) + (d.clearall == 1 ? ", All on" : ", All off"));
      control("clearall").value = d.clearall;
      run(d.action);
      EXPECT_EQ(dyno_line().x, roehrig.x);
      EXPECT_EQ(dyno_line().y, roehrig.y);
    }
  }
  // Now shown in Imperial: the Metric button redraws the held curve in m/s and N, the
  // Imperial button brings back the file's own numbers.
  control("SIUnits").value = 1;
  run("si");
  expect_near(dyno_line().x, rows[0].x);
  expect_near(dyno_line().y, rows[0].y);
  control("USUnits").value = 1;
  run("us");
  EXPECT_EQ(dyno_line().x, rows[1].x);
  EXPECT_EQ(dyno_line().y, rows[1].y);
  EXPECT_EQ(console.str(), "");
}

// A dyno file whose channels name the given unit codes (Velocity, then Force).
std::string dyno_file_with_units(std::int16_t velocity_unit, std::int16_t force_unit) {
  test::DynoBytes f;
  f.header(1, 0).pairs(1).i16(0);
  f.f32(0.5f).i16(19).i16(30).i16(10).i16(10).i16(5).i16(1);
  f.text("Velocity").i16(0).i16(velocity_unit).block({-1.5f, 2.25f});
  f.text("Force").i16(0).i16(force_unit).block({-30.f, 45.5f});
  return std::string(f.bytes.begin(), f.bytes.end());
}

TEST_F(Roehrig, ChannelInAUnitOfNoSpeedIsDrawnAsStoredWithAWarningLine) {
  control("SIUnits").value = 0;
  control("USUnits").value = 1;
  dir.write("inch.pvp", dyno_file_with_units(1, 10));  // "inch" and "Newtons"
  dialogs.push({false, "inch.pvp", dir.path().string() + "/"});
  run("roehrig");
  const gfx::Line& l = *curve_lines().back();
  EXPECT_EQ(l.x, (std::vector<double>{1.5, 2.25}));  // as stored
  ASSERT_EQ(l.y.size(), 2u);
  EXPECT_DOUBLE_EQ(l.y[1], 75.5 / 4.45374);  // newtons shown in pounds
  const std::string line =
      "Dyno file \"inch.pvp\": its Velocity channel is in \"inch\", not a velocity unit, and is "
      "drawn as stored instead of in in/s.\n";
  EXPECT_EQ(console.str(), line);
  // Every drawing says it again, once.
  control("holdroehrig").value = 1;
  run("rescale");
  EXPECT_EQ(console.str(), line + line);
}

}  // namespace
}  // namespace quorin
