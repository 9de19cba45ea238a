// A hand-built main window and comparison window with the controls the clear, print, import,
// export and dyno actions read, and the processor context they run in.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "plotting/damper_curve.h"
#include "processor/processor.h"
#include "services/dialogs.h"
#include "services/runtime_error.h"
#include "services/temp_dir.h"
#include "support/comparison_windows.h"

namespace quorin::test_support {

// A stored curve whose base velocities rise linearly from 0 to `top_velocity` m/s over forces
// 0 .. n newtons (rebound forces negative), with legend texts naming `number`.
inline DamperCurve linear_curve(int number, double top_velocity = 0.5, int n = 1000) {
  DamperCurve c;
  for (int k = 0; k <= n; ++k) {
    c.cmpforce.push_back(k);
    c.cmpvelocity.push_back(top_velocity * k / n);
    c.rebforce.push_back(-1.0 * k);
    c.rebvelocity.push_back(top_velocity * k / n);
  }
  c.compression_velocity = c.cmpvelocity;
  c.compression_force = c.cmpforce;
  c.rebound_velocity = c.rebvelocity;
  c.rebound_force = c.rebforce;
  const std::string n_text = std::to_string(number);
  c.curveIDcompression1 = n_text + "  Comp  MV-000" + n_text + "/7731-02  -  S1";
  c.curveIDcompression2 = "                  A 10x0.15  -  LSC 5   HSC 3";
  c.curveIDrebound1 = "     Reb     MV-000" + n_text + "/7731-01  -  S2";
  c.curveIDrebound2 = "                  B 12x0.2  -  LSR 7 - HSR 2  -  MR:1 - 12/12/40";
  return c;
}

class ComparisonActions : public ::testing::Test {
 public:
  void SetUp() override {
    using S = gfx::Control::Style;
    const auto windows = build_comparison_windows(gfx);
    g.plothandle = windows.plothandle;
    g.IDhandle = windows.IDhandle;
    g.counter = 1;
    g.counter2 = 1;
    g.siunits = 1;
    g.sitous_vel = 1;
    g.sitous_force = 1;
    g.xmin = 0;
    g.xmax = 10;
    g.ymin = -500;
    g.ymax = 500;
    g.import = Matrix{1, 3, {0, 0, 0}};
    g.ShockData = Value::record();
    gfx::Window& w = *gfx.window(1);
    add_control(gfx, w, S::CheckBox, "clearall", "", 1);
    add_control(gfx, w, S::CheckBox, "printall", "", 0);
    add_control(gfx, w, S::Edit, "plotindex", "1");
    gfx.figure(1);
  }

  Processor processor() {
    Processor p{g, gfx, dialogs, console, dir.path(), [] {}};
    p.printer = &printer;
    return p;
  }
  void run(std::string_view action) {
    Processor p = processor();
    quorin_processor_ct(p, action);
  }
  // The message of the run-time error the action ends with, or "no error".
  std::string error_of(std::string_view action) {
    try {
      run(action);
    } catch (const RuntimeError& e) {
      return e.what();
    }
    return "no error";
  }
  void store(std::vector<DamperCurve> curves) {
    g.plotdata = std::move(curves);
    g.counter = static_cast<double>(g.plotdata.size()) + 1;
    g.counter2 = g.counter;
  }
  gfx::Control& control(const char* tag) { return main_control(gfx, tag); }
  std::vector<gfx::Line*> curve_lines() {
    return gfx.children_of<gfx::Line>(gfx.get(g.plothandle));
  }
  gfx::Axes& curve_axes() { return gfx.get<gfx::Axes>(g.plothandle); }
  gfx::Axes& legend_axes() { return gfx.get<gfx::Axes>(g.IDhandle); }

  quorin::test::TempDir dir;
  Globals g;
  gfx::Model gfx;
  ScriptedDialogs dialogs;
  ScriptedPrinter printer;
  std::ostringstream console;
};

}  // namespace quorin::test_support
