// The Metric/Imperial radio buttons and Rescale: limits converted once per real switch,
// the buttons kept exclusive, and the curves redrawn in the units of the button that is on.
#include <gtest/gtest.h>

#include <array>
#include <sstream>
#include <string>

#include "processor/processor.h"
#include "services/runtime_error.h"
#include "support/comparison_windows.h"

namespace quorin {
namespace {

using test_support::build_comparison_windows;
using test_support::main_control;

// One stored curve: 1 m/s at 1000 N in compression, 2 m/s at -2000 N in rebound.
DamperCurve straight_curve() {
  DamperCurve c;
  c.cmpvelocity = {0, 1};
  c.cmpforce = {0, 1000};
  c.rebvelocity = {0, 2};
  c.rebforce = {0, -2000};
  c.compression_velocity = c.cmpvelocity;
  c.compression_force = c.cmpforce;
  c.rebound_velocity = c.rebvelocity;
  c.rebound_force = c.rebforce;
  c.curveIDcompression1 = "1  Comp  test";
  return c;
}

// The main and comparison windows with one stored curve, Metric or Imperial on.
class Bench {
 public:
  explicit Bench(bool si) {
    const auto w = build_comparison_windows(gfx, si);
    g.plothandle = w.plothandle;
    g.IDhandle = w.IDhandle;
    g.counter = 2;
    g.counter2 = 2;
    g.plotdata = {straight_curve()};
    g.import = Matrix{1, 3, {0, 0, 0}};
    g.ShockData = Value::record();
  }
  void run(std::string_view action) {
    Processor p{g, gfx, dialogs, console, "/tmp", [] {}};
    quorin_processor_ct(p, action);
  }
  // A click toggles the clicked button before its command runs.
  void click(const char* button, std::string_view action) {
    gfx::Control& b = main_control(gfx, button);
    b.value = b.value == 1 ? 0 : 1;
    run(action);
  }
  void set_boxes(const std::array<const char*, 4>& texts) {
    for (std::size_t k = 0; k < 4; ++k) main_control(gfx, kBoxes[k]).string = texts[k];
  }
  std::array<std::string, 4> boxes() {
    std::array<std::string, 4> out;
    for (std::size_t k = 0; k < 4; ++k) out[k] = main_control(gfx, kBoxes[k]).string;
    return out;
  }
  std::pair<double, double> radios() {
    return {main_control(gfx, "SIUnits").value, main_control(gfx, "USUnits").value};
  }
  gfx::Axes& curves() { return gfx.get<gfx::Axes>(g.plothandle); }
  std::vector<gfx::Line*> lines() { return gfx.children_of<gfx::Line>(curves()); }

  static constexpr std::array<const char*, 4> kBoxes = {"xmin", "xmax", "ymin", "ymax"};
  Globals g;
  gfx::Model gfx;
  ScriptedDialogs dialogs;
  std::ostringstream console;
};

// Values only, where the text of a box is not checked.
constexpr const char* kAnyText = "";

struct SwitchCase {
  const char* name;
  bool from_si;
  std::array<const char*, 4> before;
  std::array<std::string, 4> after;
  std::array<double, 4> limits;
};

TEST(Units, RealSwitchConvertsTheLimitsAndRedrawsInTheNewUnits) {
  const SwitchCase cases[] = {
      // Forces to the nearest whole newton: -8907.48 -> -8907, 4453.74 -> 4454.
      {"us to si",
       false,
       {"0", "10", "-2000", "1000"},
       {"0", "0.254", "-8907", "4454"},
       {0, 0.254, -8907, 4454}},
      {"si to us",
       true,
       {"0", "0.25", "-500", "500"},
       {"0", "9.84251968503937", "-112", "112"},
       {0, 0.25 * 1000 / 25.4, -112, 112}},
      {"negative velocity, force to zero",
       true,
       {"-0.1", "0.3", "-1000", "2"},
       {kAnyText, kAnyText, "-225", "0"},
       {-0.1 * 1000 / 25.4, 0.3 * 1000 / 25.4, -225, 0}},
  };
  for (const SwitchCase& c : cases) {
    SCOPED_TRACE(c.name);
    Bench b(c.from_si);
    b.set_boxes(c.before);
    if (c.from_si)
      b.click("USUnits", "us");
    else
      b.click("SIUnits", "si");

    EXPECT_EQ(b.radios(), (c.from_si ? std::pair{0.0, 1.0} : std::pair{1.0, 0.0}));
    const auto shown = b.boxes();
    for (std::size_t k = 0; k < 4; ++k) {
      EXPECT_EQ(str2double(shown[k]), c.limits[k]) << Bench::kBoxes[k];
      if (!c.after[k].empty()) {
        EXPECT_EQ(shown[k], c.after[k]) << Bench::kBoxes[k];
      }
    }
    // Redrawn with the new limits, in the new units: curve 1 in place of the reset line.
    EXPECT_EQ(b.curves().xlim, (std::array{c.limits[0], c.limits[1]}));
    EXPECT_EQ(b.curves().ylim, (std::array{c.limits[2], c.limits[3]}));
    ASSERT_EQ(b.lines().size(), 2u);
    const double top_force = c.from_si ? 1000 / 4.45374 : 1000;
    EXPECT_DOUBLE_EQ(b.lines()[0]->y.back(), top_force);
    EXPECT_EQ(b.gfx.current_window()->number, 1);
  }
}

TEST(Units, ClickingTheButtonThatIsOnChangesNothing) {
  for (bool si : {true, false}) {
    SCOPED_TRACE(si ? "metric on" : "imperial on");
    Bench b(si);
    b.run("rescale");
    const auto line_count = b.lines().size();
    const auto limits = b.curves().ylim;
    b.set_boxes({"1", "2", "-3", "4"});
    const auto revision = b.gfx.revision();
    if (si)
      b.click("SIUnits", "si");
    else
      b.click("USUnits", "us");
    EXPECT_EQ(b.radios(), (si ? std::pair{1.0, 0.0} : std::pair{0.0, 1.0}));
    EXPECT_EQ(b.boxes(), (std::array<std::string, 4>{"1", "2", "-3", "4"}));
    EXPECT_EQ(b.lines().size(), line_count);
    EXPECT_EQ(b.curves().ylim, limits);
    EXPECT_LE(b.gfx.revision(), revision + 1);  // at most the buttons' own change
  }
}

TEST(Units, RefusedSwitchNamesTheBoxAndLeavesEverythingAsBeforeTheClick) {
  struct Case {
    std::array<const char*, 4> boxes;
    const char* message;
  };
  const Case cases[] = {
      {{"0", "ten", "-500", "500"},
       "The limit box xmax does not hold a number; the units were not switched."},
      {{"0", "10", "", "500"},
       "The limit box ymin does not hold a number; the units were not switched."},
      {{"0", "10", "0", "0.1"},
       "The converted limits ymin 0 and ymax 0 do not make a rising range; the units were not "
       "switched."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    Bench b(false);
    b.set_boxes(c.boxes);
    const auto ylim = b.curves().ylim;
    try {
      b.click("SIUnits", "si");
      ADD_FAILURE() << "expected a refusal";
    } catch (const RuntimeError& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
    // The clicked button is off again, as before the click.
    EXPECT_EQ(b.radios(), (std::pair{0.0, 1.0}));
    for (std::size_t k = 0; k < 4; ++k) EXPECT_EQ(b.boxes()[k], c.boxes[k]);
    EXPECT_EQ(b.curves().ylim, ylim);
    EXPECT_TRUE(b.lines().empty());
    EXPECT_EQ(b.gfx.current_window()->number, 1);
  }
}

TEST(Units, ClosedComparisonWindowRefusesTheSwitch) {
  Bench b(true);
  b.gfx.close(2);
  EXPECT_THROW(b.click("USUnits", "us"), RuntimeError);
  EXPECT_EQ(b.radios(), (std::pair{1.0, 0.0}));
  EXPECT_EQ(b.boxes()[1], "10");
  EXPECT_EQ(b.gfx.window(2), nullptr);  // no stray window made in its place
}

TEST(Units, RescaleRedrawsWithTheLimitsInTheBoxes) {
  Bench b(true);
  b.set_boxes({"0", "0.5", "-100", "100"});
  b.run("rescale");
  EXPECT_EQ(b.curves().xlim, (std::array{0.0, 0.5}));
  EXPECT_EQ(b.curves().ylim, (std::array{-100.0, 100.0}));
  EXPECT_EQ(b.lines().size(), 2u);
  EXPECT_TRUE(b.curves().xgrid);
}

}  // namespace
}  // namespace quorin
