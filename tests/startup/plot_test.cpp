// PLOT and the plotting functions in the started program, through command texts and the
// function table, over the shipped data.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "plotting/plotfunction.h"
#include "services/runtime_error.h"
#include "startup/global_table.h"
#include "startup/program.h"
#include "startup/started_program.h"

namespace quorin {
namespace {

class Plot : public test::StartedProgram {
 protected:
  bool plot() { return run("view"); }
  Value global(std::string_view name) { return global_value(program.globals, name); }
};

TEST_F(Plot, SevenCurvesThenTheWarning) {
  for (int i = 1; i <= 7; ++i) {
    control("LSC").value = i;
    ASSERT_TRUE(plot()) << errors.back();
  }
  EXPECT_EQ(program.globals.counter, 8);
  EXPECT_EQ(curve_lines().size(), 14u);
  const auto windows = program.gfx.window_numbers();
  const auto plotdata = program.globals.plotdata;
  control("LSC").value = 10;
  ASSERT_TRUE(plot());
  EXPECT_EQ(program.gfx.window_numbers().size(), windows.size() + 1);  // the warning window
  EXPECT_EQ(program.globals.plotdata, plotdata);
  EXPECT_EQ(program.globals.counter, 8);
  EXPECT_EQ(program.globals.counter2, 8);
}

TEST_F(Plot, DefaultSetUpInSiKeepsTheBaseRowsAtTheWheel) {
  control("SIUnits").value = 1;
  control("USUnits").value = 0;
  ASSERT_TRUE(plot());
  const DamperCurve& p = program.globals.plotdata.at(0);
  EXPECT_EQ(p.compscale, 1);
  EXPECT_EQ(p.rebscale, 1);
  EXPECT_EQ(p.compression_velocity, p.cmpvelocity);
  EXPECT_EQ(p.compression_force, p.cmpforce);
  EXPECT_EQ(p.rebound_force, p.rebforce);
  EXPECT_TRUE(p.curveIDrebound2.ends_with("  -  MR:1 - 12/12/40")) << p.curveIDrebound2;
  EXPECT_EQ(global("plotdata").numel(), 1u);  // the record reaches the globals table whole
}

TEST_F(Plot, FailedPlotKeepsTheCurvesAndPutsThePointerBack) {
  ASSERT_TRUE(plot());
  control("motionratio").string = "one";
  EXPECT_FALSE(plot());
  EXPECT_EQ(errors.back(), "The motion ratio box does not hold a number.");
  EXPECT_EQ(program.globals.counter, 2);
  EXPECT_EQ(program.globals.counter2, 2);
  EXPECT_EQ(program.globals.plotdata.size(), 1u);
  for (int n : program.gfx.window_numbers()) EXPECT_EQ(program.gfx.window(n)->pointer, "arrow");
}

TEST_F(Plot, StartUpDynoRecordHeldDrawsOnePointAtTheOrigin) {
  control("holdroehrig").value = 1;
  const std::vector<Value> in = {global("plotdata"), global("plothandle"), global("IDhandle"),
                                 global("counter"),  global("import"),     global("ShockData")};
  program.call("plotfunction", 0, in);
  ASSERT_EQ(curve_lines().size(), 1u);
  EXPECT_EQ(curve_lines()[0]->x, (std::vector<double>{0}));
  EXPECT_EQ(curve_lines()[0]->y, (std::vector<double>{0}));
  EXPECT_EQ(curve_lines()[0]->line_style, "--");
  EXPECT_EQ(program.gfx.current_window()->number, 1);
}

TEST_F(Plot, ClearfunctionRefusesAnEmptyLimit) {
  program.gfx.set_current_axes(program.globals.plothandle);
  try {
    program.call(
        "clearfunction", 0,
        {Value(), Value::number(10), Value::number(-500), Value::number(500), Value::number(0)});
    FAIL() << "expected a failure";
  } catch (const RuntimeError& e) {
    EXPECT_STREQ(e.what(), "The axis limit xmin is not a number.");
  }
}

}  // namespace
}  // namespace quorin
