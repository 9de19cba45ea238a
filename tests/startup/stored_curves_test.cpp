// UPDATE #, Add 3rd and the Metric button in the started program over the shipped data, with
// three curves stored: an updated curve is rebuilt in place, the curve counter always comes
// back, and a box that names no stored curve changes nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "services/runtime_error.h"
#include "startup/program.h"
#include "startup/started_program.h"

namespace quorin {
namespace {

class StoredCurves : public test::StartedProgram {
 protected:
  void SetUp() override {
    StartedProgram::SetUp();
    if (IsSkipped()) return;
    // Three curves, LSC settings 1, 2 and 3.
    for (int i = 1; i <= 3; ++i) {
      control("LSC").value = i;
      ASSERT_TRUE(run("view")) << errors.back();
    }
  }
  bool update(std::string_view number) {
    control("curveselect").string = std::string(number);
    return run("overwrite");
  }
};

TEST_F(StoredCurves, ExistingCurveIsReplacedInPlaceAndAllCurvesRedrawn) {
  const auto before = program.globals.plotdata;
  control("LSC").value = 9;
  ASSERT_TRUE(update("2")) << errors.back();
  const auto& after = program.globals.plotdata;
  ASSERT_EQ(after.size(), 3u);
  EXPECT_EQ(after[0], before[0]);
  EXPECT_EQ(after[2], before[2]);
  EXPECT_NE(after[1].cmpvelocity, before[1].cmpvelocity);
  EXPECT_TRUE(after[1].curveIDcompression1.starts_with("2  Comp")) << after[1].curveIDcompression1;
  EXPECT_EQ(program.globals.counter, 4);
  EXPECT_EQ(program.globals.counter2, 5);
  EXPECT_EQ(curve_lines().size(), 2 * 3u);  // compression and rebound of each curve

  // The same settings as a new PLOT give the same curve.
  ASSERT_TRUE(run("view"));
  EXPECT_EQ(program.globals.plotdata.at(3).cmpvelocity, after[1].cmpvelocity);
}

// Only stored curves can be updated: a number past them, up to the overlay limit or beyond,
// is refused by name, with no record written, no warning window and the counters kept.
TEST_F(StoredCurves, NumberPastTheStoredCurvesIsRefusedAndChangesNothing) {
  const auto before = program.globals.plotdata;
  const auto windows = program.gfx.window_numbers().size();
  for (const char* number : {"4", "6", "7", "8", "99"}) {
    SCOPED_TRACE(number);
    ASSERT_FALSE(update(number));
    EXPECT_EQ(errors.back(), "There is no curve " + std::string(number) +
                                 " to update; 3 curves are stored, curves 1 to 3.");
    EXPECT_EQ(program.gfx.window_numbers().size(), windows);
    EXPECT_EQ(program.globals.plotdata, before);
    EXPECT_EQ(program.globals.counter, 4);
    EXPECT_EQ(program.globals.counter2, 4);
    EXPECT_EQ(curve_lines().size(), 2 * 3u);
  }
}

// UPDATE # refuses a set-up PLOT refuses, and the curve it would replace stays.
TEST_F(StoredCurves, ImpossibleSetUpLeavesTheCurveToUpdateAsItWas) {
  const auto before = program.globals.plotdata;
  control("piston").string = "10";
  ASSERT_FALSE(update("2"));
  EXPECT_EQ(errors.back(),
            "The piston must be larger than the shafts: a piston of 10 mm with an internal shaft "
            "of 12 mm and an external shaft of 12 mm leaves no area for the oil to push on. No "
            "curve was stored.");
  control("piston").string = "40";
  control("motionratio").string = "0";
  ASSERT_FALSE(update("2"));
  EXPECT_TRUE(errors.back().starts_with("The motion ratio must be a number greater than 0"));
  EXPECT_EQ(program.globals.plotdata, before);
  EXPECT_EQ(program.globals.counter, 4);
  EXPECT_EQ(program.globals.counter2, 4);
}

TEST_F(StoredCurves, BoxNamingNoCurveChangesNothing) {
  const auto before = program.globals.plotdata;
  for (const char* text : {"", " ", "0", "-1", "1.5", "two", "Inf", "NaN"}) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(update(text));
    EXPECT_EQ(errors.back(),
              "The curveselect box's \"" + std::string(text) + "\" is not a curve number.");
    EXPECT_EQ(program.globals.plotdata, before);
    EXPECT_EQ(program.globals.counter, 4);
    EXPECT_EQ(program.globals.counter2, 4);
  }
}

TEST_F(StoredCurves, FailedRebuildRestoresTheCounter) {
  const auto before = program.globals.plotdata;
  control("motionratio").string = "one";
  EXPECT_FALSE(update("1"));
  EXPECT_EQ(errors.back(), "The motion ratio box does not hold a number.");
  EXPECT_EQ(program.globals.counter, 4);
  EXPECT_EQ(program.globals.plotdata, before);
  // The next PLOT still goes to curve 4.
  control("motionratio").string = "1";
  ASSERT_TRUE(run("view")) << errors.back();
  EXPECT_EQ(program.globals.counter, 5);
  EXPECT_EQ(program.globals.plotdata.at(0), before.at(0));
}

// The Add 3rd button over the shipped curves: curves 2 and 3 combined, nothing stored.
TEST_F(StoredCurves, AddThirdDrawsTwoLinesOverTheStoredCurves) {
  const auto before = program.globals.plotdata;
  ASSERT_TRUE(run("add3rd")) << errors.back();
  EXPECT_EQ(curve_lines().size(), 2 * 3u + 2);
  EXPECT_EQ(program.globals.plotdata, before);
  EXPECT_EQ(program.globals.counter, 4);
}

// The shipped window starts in Imperial; Metric converts its limit boxes.
TEST_F(StoredCurves, MetricButtonConvertsTheStartingLimits) {
  control("SIUnits").value = 1;
  ASSERT_TRUE(run("si")) << errors.back();
  EXPECT_EQ(control("xmin").string, "0");
  EXPECT_EQ(control("xmax").string, "0.254");
  EXPECT_EQ(control("ymin").string, "-2227");
  EXPECT_EQ(control("ymax").string, "2227");
  EXPECT_EQ(control("USUnits").value, 0);
  EXPECT_EQ(curve_lines().size(), 2 * 3u);
}

}  // namespace
}  // namespace quorin
