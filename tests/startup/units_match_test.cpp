// Units that match and set-ups that cannot be built, in the started program over the shipped
// data: the diameter boxes say millimetres, the dyno curve follows the unit buttons, Add 3rd
// combines curves plotted in either units, and PLOT refuses an impossible damper.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "startup/global_table.h"
#include "startup/program.h"
#include "startup/started_program.h"

namespace quorin {
namespace {

const std::string kFixtures = std::string(QUORIN_FIXTURES) + "/";

class UnitsMatch : public test::StartedProgram {
 protected:
  // A click on a unit button toggles it before its command runs.
  void click_units(bool si) {
    control(si ? "SIUnits" : "USUnits").value = 1;
    ASSERT_TRUE(run(si ? "si" : "us")) << errors.back();
  }
  const gfx::Line& dyno_line() {
    for (const gfx::Line* l : curve_lines())
      if (l->line_style == "--" && l->color == gfx::Color{0, 0, 0}) return *l;
    throw std::logic_error("no dyno curve drawn");
  }
  // The two dash-dot lines of the latest Add 3rd.
  std::pair<gfx::Line, gfx::Line> third_valve_lines() {
    const auto lines = curve_lines();
    EXPECT_GE(lines.size(), 2u);
    const gfx::Line& comp = *lines[lines.size() - 2];
    const gfx::Line& reb = *lines.back();
    EXPECT_EQ(comp.line_style, "-.");
    EXPECT_EQ(reb.line_style, "-.");
    return {comp, reb};
  }
};

TEST_F(UnitsMatch, DiameterBoxesSayTheyAreInMillimetresInBothUnitSystems) {
  for (const char* tag : {"piston", "externalshaft", "internalshaft"}) {
    SCOPED_TRACE(tag);
    const std::string& tip = control(tag).tooltip;
    EXPECT_NE(tip.find("diameter in millimetres (mm), in Metric and in Imperial"),
              std::string::npos)
        << tip;
  }
  EXPECT_NE(control("internalshaft").tooltip.find("For non through-rod damper enter 0"),
            std::string::npos);
}

// The shipped window starts in Imperial; the fixture file holds ips and pounds.
TEST_F(UnitsMatch, HeldDynoCurveFollowsTheUnitButtons) {
  ASSERT_EQ(control("USUnits").value, 1);
  dialogs.push({false, "dyno_175.pvp", kFixtures});
  ASSERT_TRUE(run("roehrig")) << errors.back();
  EXPECT_EQ(dyno_line().x, (std::vector<double>{1.5, 2.25}));
  EXPECT_EQ(dyno_line().y, (std::vector<double>{0, 75.5}));
  control("holdroehrig").value = 1;

  click_units(true);
  ASSERT_EQ(dyno_line().x.size(), 2u);
  EXPECT_DOUBLE_EQ(dyno_line().x[1], 2.25 * 0.0254);
  EXPECT_DOUBLE_EQ(dyno_line().y[1], 75.5 * 4.45374);
  ASSERT_TRUE(run("view")) << errors.back();  // PLOT redraws it the same way
  EXPECT_DOUBLE_EQ(dyno_line().y[1], 75.5 * 4.45374);

  click_units(false);
  EXPECT_EQ(dyno_line().x, (std::vector<double>{1.5, 2.25}));
  EXPECT_EQ(dyno_line().y, (std::vector<double>{0, 75.5}));
  EXPECT_EQ(console.str(), "");
}

TEST_F(UnitsMatch, AddThirdOverCurvesPlottedInEitherUnitsIsTheSame) {
  // Both curves plotted in Imperial.
  control("LSC").value = 2;
  ASSERT_TRUE(run("view")) << errors.back();
  control("LSC").value = 5;
  ASSERT_TRUE(run("view")) << errors.back();
  ASSERT_TRUE(run("add3rd")) << errors.back();
  const auto alike = third_valve_lines();

  // The same two curves, the first plotted in Metric.
  ASSERT_TRUE(run("clear"));
  click_units(true);
  control("LSC").value = 2;
  ASSERT_TRUE(run("view")) << errors.back();
  click_units(false);
  control("LSC").value = 5;
  ASSERT_TRUE(run("view")) << errors.back();
  ASSERT_TRUE(run("add3rd")) << errors.back();
  const auto mixed = third_valve_lines();

  EXPECT_EQ(mixed.first.x, alike.first.x);
  EXPECT_EQ(mixed.first.y, alike.first.y);
  EXPECT_EQ(mixed.second.y, alike.second.y);
}

TEST_F(UnitsMatch, ImpossibleSetUpIsRefusedAndTakesNoPlace) {
  struct Row {
    const char* tag;
    const char* text;
    const char* message_start;
  };
  const Row rows[] = {
      {"motionratio", "0", "The motion ratio must be a number greater than 0"},
      {"motionratio", "-0.5", "The motion ratio must be a number greater than 0"},
      {"motionratio", "Inf", "The motion ratio must be a number greater than 0"},
      {"piston", "12", "The piston must be larger than the shafts"},
      {"externalshaft", "41", "The piston must be larger than the shafts"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(r.tag) + " " + r.text);
    const std::string kept = control(r.tag).string;
    control(r.tag).string = r.text;
    ASSERT_FALSE(run("view"));
    EXPECT_TRUE(errors.back().starts_with(r.message_start)) << errors.back();
    EXPECT_TRUE(errors.back().ends_with("No curve was stored.")) << errors.back();
    EXPECT_TRUE(program.globals.plotdata.empty());
    EXPECT_EQ(program.globals.counter, 1);
    EXPECT_EQ(program.globals.counter2, 1);
    EXPECT_TRUE(curve_lines().empty());  // nothing drawn
    control(r.tag).string = kept;
  }
  // The first possible set-up is curve 1.
  ASSERT_TRUE(run("view")) << errors.back();
  EXPECT_TRUE(program.globals.plotdata.at(0).curveIDcompression1.starts_with("1  Comp"));
  for (int n : program.gfx.window_numbers()) EXPECT_EQ(program.gfx.window(n)->pointer, "arrow");
}

// The plotting function called through the function table writes the dyno curve's warning to
// the program's console.
TEST_F(UnitsMatch, PlotfunctionThroughTheTableWarnsOfAChannelInNoForceUnit) {
  Value shock = global_value(program.globals, "ShockData");
  shock.field_ref("Speed_1").field_ref("Force").set_field("Units", Value::text("psi"));
  control("holdroehrig").value = 1;
  program.call(
      "plotfunction", 0,
      {global_value(program.globals, "plotdata"), global_value(program.globals, "plothandle"),
       global_value(program.globals, "IDhandle"), global_value(program.globals, "counter"),
       global_value(program.globals, "import"), shock});
  EXPECT_EQ(console.str(),
            "Dyno file: its Force channel is in \"psi\", not a force unit, and is drawn as stored "
            "instead of in lbs.\n");
}

}  // namespace
}  // namespace quorin
