// Measured data in the started program over a copy of the shipped data: a dyno run generated
// from a synthesised set-up with 2 % noise is read, its curve overlaid as the dyno curve, and
// the whole set-up fitted to it comes back to that set-up (or to one drawing the same curve
// within the noise).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "analysis/tuning.h"
#include "app/comparison_tools.h"
#include "app/menu_program.h"
#include "measured/generated_run.h"
#include "plotting/plotfunction.h"

namespace quorin {
namespace {

class MeasuredTools : public test::MenuCopy {
 protected:
  quorin::MeasuredTools& tools() { return program->tools->measured_tools(); }
  // Writes a run of stored curve 1 and reads it as the menu item does, gas and friction off.
  void read_run_of_curve_1() {
    const WheelCurves w = wheel_curves(program->globals.plotdata.at(0), kSIFactors);
    testing::GeneratedDamper d = testing::damper_of_curve(
        w.compression_velocity, w.compression_force, w.rebound_velocity, w.rebound_force);
    const std::filesystem::path file = start.path() / "rig.csv";
    std::ofstream(file) << testing::generated_run_file(d);
    tools().load_run(file, true, true);
  }
};

struct ChosenSetup {
  const char* name;
  std::array<double, 8> rows;  // CompressionValve, CompressionSpring, LSC, HSC, then rebound
};

TEST_F(MeasuredTools, WholeSetUpFittedToARunOfAKnownSetUpFindsItWithinTheNoise) {
  const std::array<std::string_view, 8> tags = {
      "CompressionValve", "CompressionSpring", "LSC", "HSC",
      "ReboundValve",     "ReboundSpring",     "LSR", "HSR"};
  const std::vector<ChosenSetup> rows = {
      {"start_up_set_up", {0, 0, 0, 0, 0, 0, 0, 0}},
      {"soft_compression_firm_rebound", {5, 1, 12, 8, 10, 4, 4, 20}},
  };
  for (const ChosenSetup& row : rows) {
    SCOPED_TRACE(row.name);
    for (std::size_t k = 0; k < tags.size(); ++k)
      if (row.rows[k] > 0) control(tags[k]).value = row.rows[k];
    ASSERT_TRUE(action("valveseatcompression"));
    ASSERT_TRUE(action("valveseatrebound"));
    control("clearall").value = 1;
    ASSERT_TRUE(action("clear"));
    ASSERT_TRUE(action("view")) << last_error();
    std::array<double, 8> chosen{};
    for (std::size_t k = 0; k < tags.size(); ++k) chosen[k] = control(tags[k]).value;
    auto t0 = std::chrono::steady_clock::now();
    read_run_of_curve_1();
    auto t1 = std::chrono::steady_clock::now();
    ASSERT_TRUE(tools().last_run());
    EXPECT_NEAR(tools().last_run()->processed.gas_force_n, 150, 3);
    EXPECT_NEAR(tools().last_run()->processed.friction_n, 40, 3);
    tools().fit(true, true);
    auto t2 = std::chrono::steady_clock::now();
    std::printf("read %.3f s fit %.3f s\n", std::chrono::duration<double>(t1 - t0).count(),
                std::chrono::duration<double>(t2 - t1).count());
    const analysis::WholeSetup& fit = *tools().last_fit();
    ASSERT_FALSE(fit.compression.best.empty());
    ASSERT_FALSE(fit.rebound.best.empty());
    for (const analysis::WholeSide* side : {&fit.compression, &fit.rebound}) {
      const analysis::WholeCandidate& b = side->best.front();
      std::printf("[ fit      ] %s: rows %zu %zu %zu %zu: %s / %s / %s %s  rms %.2f (%.2f %%)\n",
                  row.name, b.valve_row, b.spring_row, b.clicks.low_row, b.clicks.high_row,
                  b.valve_text.c_str(), b.spring_text.c_str(), b.clicks.low_click.c_str(),
                  b.clicks.high_click.c_str(), b.clicks.error.rms, b.clicks.error.percent);
      EXPECT_LT(b.clicks.error.percent, 2.5);
    }
    std::printf("[ chosen   ] rows %g %g %g %g / %g %g %g %g\n", chosen[0], chosen[1], chosen[2],
                chosen[3], chosen[4], chosen[5], chosen[6], chosen[7]);
    // Nothing the search passed over fits better than the set-up the run came from.
    const analysis::ShownUnits units = analysis::shown_units(false);
    const WheelCurves truth = wheel_curves(program->globals.plotdata.at(0), units.factors);
    const analysis::MeasuredSides measured = program->tools->tuning_tools().held_dyno_curve(false);
    const std::array<double, 3> edges = analysis::band_edges(false);
    const analysis::FitError truth_c =
        analysis::fit_error(truth.compression_velocity, truth.compression_force,
                            measured.compression_velocity, measured.compression_force, edges);
    const analysis::FitError truth_r =
        analysis::fit_error(truth.rebound_velocity, truth.rebound_force, measured.rebound_velocity,
                            measured.rebound_force, edges);
    EXPECT_LE(fit.compression.best[0].clicks.error.rms, truth_c.rms * (1 + 1e-9));
    EXPECT_LE(fit.rebound.best[0].clicks.error.rms, truth_r.rms * (1 + 1e-9));
    // Set in the main window and plotted, the fitted set-up draws the curve the run came from,
    // within the noise, wherever the run measured.
    tools().use_whole_setup();
    ASSERT_TRUE(action("view")) << last_error();
    const WheelCurves fitted = wheel_curves(program->globals.plotdata.at(1), units.factors);
    auto measured_range = [](const std::vector<double>& v, const std::vector<double>& f,
                             const std::vector<double>& m) {
      std::vector<double> cv, cf;
      const double top = *std::max_element(m.begin(), m.end());
      for (std::size_t k = 0; k < v.size(); ++k)
        if (v[k] <= top) {
          cv.push_back(v[k]);
          cf.push_back(f[k]);
        }
      return std::pair{cv, cf};
    };
    const auto [tcv, tcf] = measured_range(truth.compression_velocity, truth.compression_force,
                                           measured.compression_velocity);
    const auto [trv, trf] =
        measured_range(truth.rebound_velocity, truth.rebound_force, measured.rebound_velocity);
    const double comp_apart =
        analysis::fit_error(fitted.compression_velocity, fitted.compression_force, tcv, tcf, edges)
            .percent;
    const double reb_apart =
        analysis::fit_error(fitted.rebound_velocity, fitted.rebound_force, trv, trf, edges).percent;
    std::printf("[ apart    ] fitted against chosen curve: compression %.2f %%, rebound %.2f %%\n",
                comp_apart, reb_apart);
    EXPECT_LT(comp_apart, 2.0);
    EXPECT_LT(reb_apart, 2.0);
  }
}

}  // namespace
}  // namespace quorin
