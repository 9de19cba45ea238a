#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <string>
#include <vector>

#include "measured/generated_run.h"
#include "measured/processing.h"
#include "measured/run_file.h"
#include "measured/track.h"
#include "services/runtime_error.h"

namespace quorin::measured {
namespace {

RunFile read_text(const std::string& text) {
  return read_runs(text, read_layout(text), "run.csv");
}

std::string refusal(const std::string& text) {
  try {
    read_text(text);
  } catch (const RuntimeError& e) {
    return e.what();
  }
  return "(read)";
}

// The same three samples in every layout: 0, 1, 2 ms; 1.5, 2.5, -0.5 mm; 100, -50.5, 200 N.
struct LayoutRow {
  const char* name;
  std::string text;
  double tolerance = 1e-9;
};

TEST(RunFile, EveryLayoutAndUnitReadsTheSameNumbers) {
  const std::vector<LayoutRow> rows = {
      {"comma",
       "Time (s),Displacement (mm),Force (N)\n0,1.5,100\n0.001,2.5,-50.5\n0.002,-0.5,200\n"},
      {"semicolon_decimal_comma",
       "Time (s);Displacement [mm];Force [N]\n0;1,5;100\n0,001;2,5;-50,5\n0,002;-0,5;200\n"},
      {"tab_crlf",
       "Time\tPosition (mm)\tLoad (N)\r\n0\t1.5\t100\r\n0.001\t2.5\t-50.5\r\n0.002\t-0.5\t200\r\n"},
      {"milliseconds_metres",
       "Time (ms),Displacement (m),Force (kN)\n0,0.0015,0.1\n1,0.0025,-0.0505\n2,-0.0005,0.2\n"},
      {"inches_lbf",
       "Time (s),Displacement (in),Force "
       "(lbf)\n0,0.0590551181,22.4808943\n0.001,0.0984251969,-11.3528516\n"
       "0.002,-0.0196850394,44.9617886\n",
       1e-6},
      {"kgf_quoted_plus",
       "\"Time (s)\",\"Displacement (mm)\",\"Force (kgf)\"\n0,+1.5,10.19716213\n0.001,2.5,"
       "-5.149566876\n0.002,-0.5,20.39432426\n",
       1e-6},
      {"comment_and_trailing_delimiter",
       "# rig 2\nTime (s),Displacement (mm),Force "
       "(N),\n0,1.5,100,\n0.001,2.5,-50.5,\n0.002,-0.5,200,\n"},
      {"extra_columns_and_fahrenheit",
       "Time (s),Temp (\xC2\xB0"
       "F),Displacement (mm),Force (N),Channel 9\n0,212,1.5,100,7\n0.001,212,2.5,-50.5,7\n"
       "0.002,212,-0.5,200,7\n"},
  };
  for (const LayoutRow& row : rows) {
    SCOPED_TRACE(row.name);
    const RunFile f = read_text(row.text);
    ASSERT_EQ(f.runs.size(), 1u);
    const measured::Run& r = f.runs[0];
    const std::vector<double> t = {0, 0.001, 0.002}, x = {0.0015, 0.0025, -0.0005},
                              force = {100, -50.5, 200};
    ASSERT_EQ(r.time_s.size(), 3u);
    for (std::size_t k = 0; k < 3; ++k) {
      EXPECT_NEAR(r.time_s[k], t[k], 1e-12);
      EXPECT_NEAR(r.displacement_m[k], x[k], 1e-9);
      EXPECT_NEAR(r.force_n[k], force[k], std::max(row.tolerance, 1e-9) * 1e3);
    }
    if (!r.temperature_c.empty()) {
      EXPECT_NEAR(r.temperature_c[0], 100, 1e-9);
    }
  }
}

// Every cell reads to the same double the C library's full reading gives, plain decimals
// read directly as much as long ones, exponents and numbers beyond 2^53 digits.
TEST(RunFile, CellsReadToTheSameNumbersAsTheFullReading) {
  const std::vector<std::string> cells = {"0.1",
                                          "-0.3",
                                          "5.",
                                          ".5",
                                          "-0.0",
                                          "123456789012345.67",
                                          "9007199254740993",
                                          "1e5",
                                          "2.5E-3",
                                          "0.000000000000000000001",
                                          "99999999999999999999",
                                          "3.14159265358979",
                                          "-1234567.891",
                                          "0000000000000000007.25"};
  std::string text = "Time (s),Displacement (mm),Force (N)\n";
  for (std::size_t k = 0; k < cells.size(); ++k)
    text += std::to_string(k) + ",0," + cells[k] + "\n";
  const RunFile f = read_text(text);
  ASSERT_EQ(f.runs[0].force_n.size(), cells.size());
  for (std::size_t k = 0; k < cells.size(); ++k)
    EXPECT_EQ(f.runs[0].force_n[k], std::strtod(cells[k].c_str(), nullptr)) << cells[k];
  // The same with a decimal comma.
  std::string comma = "Time (s);Displacement (mm);Force (N)\n";
  for (std::size_t k = 0; k < cells.size(); ++k) {
    std::string c = cells[k];
    std::replace(c.begin(), c.end(), '.', ',');
    comma += std::to_string(k) + ";0;" + c + "\n";
  }
  const RunFile g = read_text(comma);
  for (std::size_t k = 0; k < cells.size(); ++k)
    EXPECT_EQ(g.runs[0].force_n[k], std::strtod(cells[k].c_str(), nullptr)) << cells[k];
}

TEST(RunFile, RunsSplitByRunColumnOrBlankLines) {
  const std::vector<std::pair<const char*, std::string>> rows = {
      {"run_column",
       "Run,Time (s),Displacement (mm),Force (N)\n1,0,1,10\n1,0.001,2,20\n2,0,3,30\n2,0.001,4,40\n"
       "2,0.002,5,50\n"},
      {"blank_lines",
       "Time (s),Displacement (mm),Force (N)\n0,1,10\n0.001,2,20\n\n\n0,3,30\n0.001,4,40\n"
       "0.002,5,50\n"},
      {"repeated_header",
       "Time (s),Displacement (mm),Force (N)\n0,1,10\n0.001,2,20\n\nTime (s),"
       "Displacement (mm),Force (N)\n0,3,30\n0.001,4,40\n0.002,5,50\n"},
  };
  for (const auto& [name, text] : rows) {
    SCOPED_TRACE(name);
    const RunFile f = read_text(text);
    ASSERT_EQ(f.runs.size(), 2u);
    EXPECT_EQ(f.runs[0].force_n, (std::vector<double>{10, 20}));
    EXPECT_EQ(f.runs[1].force_n, (std::vector<double>{30, 40, 50}));
    EXPECT_EQ(f.runs[1].name, "2");
  }
}

TEST(RunFile, BadFilesAreRefusedWithLineAndReason) {
  const std::string head = "Time (s),Displacement (mm),Force (N)\n";
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"", "no header line"},
      {"1,2,3\n4,5,6\n", "Line 1: the file has no header line"},
      {head, "has no rows of numbers under its header (line 1)"},
      {head + "0,1,2\n0.001,abc,3\n",
       "line 3: the cell \"abc\" in column \"Displacement (mm)\" is not a number"},
      {head + "0,1,2\n0.001,1,nan\n",
       "line 3: the cell \"nan\" in column \"Force (N)\" is not a finite number"},
      {head + "0,1,2\n0.001,1,1e999\n",
       "line 3: the cell \"1e999\" in column \"Force (N)\" is not a finite"},
      {head + "0,1,2\n0.002,1,3\n0.001,1,3\n", "line 4: time goes back from 0.002 s to 0.001 s"},
      {head + "0,1,2\n0,1,3\n", "line 3: time stands still"},
      {head + "0,1,2\n0.001,1\n", "line 3: the row has 2 cells; the header names 3 columns"},
      {"Time (s),Displacement (furlong),Force (N)\n0,1,2\n",
       "Line 1: the unit \"furlong\" of column \"Displacement (furlong)\" is not a length unit"},
      {"Time (s),Displacement (mm)\n0,1\n", "has no force column"},
  };
  for (const auto& [text, message] : rows) {
    SCOPED_TRACE(text);
    EXPECT_NE(refusal(text).find(message), std::string::npos) << refusal(text);
  }
}

TEST(RunFile, GapInTimeLeavesTheShorterStretchOutWithANote) {
  std::string text = "Time (s),Displacement (mm),Force (N)\n";
  for (int k = 0; k < 20; ++k) text += std::to_string(k * 0.001) + ",1,1\n";
  for (int k = 0; k < 5; ++k) text += std::to_string(5 + k * 0.001) + ",1,2\n";
  const RunFile f = read_text(text);
  ASSERT_EQ(f.runs.size(), 1u);
  EXPECT_EQ(f.runs[0].time_s.size(), 20u);
  ASSERT_EQ(f.notes.size(), 1u);
  EXPECT_NE(f.notes[0].find("at line 22"), std::string::npos) << f.notes[0];
  EXPECT_NE(f.notes[0].find("only lines 2 to 21"), std::string::npos) << f.notes[0];
}

TEST(RunFile, UnknownColumnsAreReportedForTheQuestion) {
  const std::string text = "Stamp;Weg;Kraft\n0;1;2\n0,5;2;3\n";
  const Layout l = read_layout(text);
  ASSERT_EQ(l.columns.size(), 3u);
  for (const Column& c : l.columns) EXPECT_EQ(c.quantity, Quantity::Unknown);
  Layout told = l;
  told.columns[0].quantity = Quantity::Time;
  told.columns[1] = {"Weg", Quantity::Displacement, {0.001, 0, "mm"}, -1};
  told.columns[2].quantity = Quantity::Force;
  const RunFile f = read_runs(text, told, "x");
  EXPECT_DOUBLE_EQ(f.runs[0].displacement_m[1], 0.002);
  EXPECT_DOUBLE_EQ(f.runs[0].time_s[1], 0.5);
}

// Velocity: exact for a straight line and a parabola inside the run, zero phase for a sine.
TEST(Velocity, SavitzkyGolayDerivativeIsExactForParabolasAndZeroPhase) {
  const double dt = 0.001;
  std::vector<double> x(200), sine(2000);
  for (std::size_t k = 0; k < x.size(); ++k) {
    const double t = static_cast<double>(k) * dt;
    x[k] = 3 + 2 * t - 40 * t * t;
  }
  const std::vector<double> v = sg_velocity(x, dt, 5);
  for (std::size_t k = 5; k + 5 < x.size(); ++k)
    EXPECT_NEAR(v[k], 2 - 80 * static_cast<double>(k) * dt, 1e-9);
  const double w = 2 * std::numbers::pi * 2;
  for (std::size_t k = 0; k < sine.size(); ++k) sine[k] = std::sin(w * static_cast<double>(k) * dt);
  const std::vector<double> vs = sg_velocity(sine, dt, velocity_half_width(1 / dt));
  // The velocity's zero crossings fall on the sine's peaks: no delay.
  for (std::size_t k = 10; k + 10 < sine.size(); ++k)
    EXPECT_NEAR(vs[k], w * std::cos(w * static_cast<double>(k) * dt), 0.002 * w);
  EXPECT_EQ(velocity_half_width(1000), 4u);
  EXPECT_EQ(velocity_half_width(100), 2u);
  EXPECT_EQ(velocity_half_width(100000), 25u);
}

// A digressive damper: steep bleed below the knee, then the valve opening.
double known_curve(double v) {
  const double s = std::abs(v);
  const double comp = s < 0.05 ? 6000 * s : 300 + 1800 * (s - 0.05);
  const double reb = s < 0.05 ? 12000 * s : 600 + 3500 * (s - 0.05);
  return v >= 0 ? comp : -reb;
}

TEST(Processing, SineDriveThroughKnownCurveComesBackWithGasAndFriction) {
  struct Row {
    const char* name;
    double rate_hz;
    int displacement_decimals;
    double gas_n, friction_n;
  };
  // A fine rig, and a coarse one writing its displacement to a thousandth of a millimetre, so
  // several samples stand at each slow turn.
  const std::vector<Row> rows = {{"fine", 2000, 5, 150, 40}, {"coarse", 1000, 3, 80, 25}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    testing::GeneratedDamper d;
    d.curve = known_curve;
    d.rate_hz = row.rate_hz;
    d.displacement_decimals = row.displacement_decimals;
    d.gas_n = row.gas_n;
    d.friction_n = row.friction_n;
    const RunFile file = read_text(testing::generated_run_file(d));
    ASSERT_EQ(file.runs.size(), d.frequencies_hz.size());
    const Processed p = process(file);
    EXPECT_NEAR(p.gas_force_n, d.gas_n, 2) << p.gas_from;
    ASSERT_TRUE(p.friction_found);
    EXPECT_NEAR(p.friction_n, d.friction_n, 2);

    const ExtractedCurve c = extracted_curve(p, true, true);
    ASSERT_EQ(c.velocity.size(), 2 * d.frequencies_hz.size() + 1);
    for (std::size_t k = 0; k < c.velocity.size(); ++k) {
      const double v = c.velocity[k];
      if (v == 0) continue;
      // Rebound from its fastest run down, the origin, then compression up to its fastest.
      const std::size_t runs = d.frequencies_hz.size();
      const std::size_t run = k < runs ? runs - 1 - k : k - runs - 1;
      const double expected_v = d.amplitude_m * 2 * std::numbers::pi * d.frequencies_hz[run];
      EXPECT_NEAR(std::abs(v), expected_v, 0.01 * expected_v);
      // Within the noise: 2 % of a sample, a few samples averaged per stroke; and the gas and
      // friction found within their own error.
      EXPECT_NEAR(c.force[k], known_curve(v), 0.02 * std::abs(known_curve(v)) + 4) << "v=" << v;
    }
    // Raw numbers stay: the uncorrected curve is the corrected one plus gas and friction.
    const ExtractedCurve raw = extracted_curve(p, false, false);
    EXPECT_NEAR(raw.force.back() - c.force.back(), p.gas_force_n + p.friction_n, 1e-9);
  }
}

TEST(Processing, LoopEnergyOfAViscousDamperIsPiCOmegaASquared) {
  testing::GeneratedDamper d;
  d.curve = [](double v) { return 2000 * v; };
  d.gas_n = 100;
  d.friction_n = 0;
  d.noise_fraction = 0;
  d.frequencies_hz = {2};
  const Processed p = process(read_text(testing::generated_run_file(d)));
  ASSERT_EQ(p.runs.size(), 1u);
  const RunCurves& r = p.runs[0];
  ASSERT_GE(r.cycle_energy_j.size(), 2u);
  const double w = 2 * std::numbers::pi * 2;
  for (double e : r.cycle_energy_j)
    EXPECT_NEAR(e, std::numbers::pi * 2000 * w * 0.025 * 0.025, 0.01 * e);
  EXPECT_FALSE(r.loop_x.empty());
  EXPECT_EQ(r.loop_x.size(), r.loop_f.size());
  EXPECT_NEAR(p.friction_n, 0, 1);
  EXPECT_NEAR(p.gas_force_n, 100, 1);
  // With no hysteresis in the damper, both branches of the absolute-velocity curve agree.
  for (std::size_t b = 0; b < p.absolute.speed.size(); ++b) {
    const double a = p.absolute.compression_accelerating[b],
                 dcl = p.absolute.compression_decelerating[b];
    if (std::isnan(a) || std::isnan(dcl)) continue;
    EXPECT_NEAR(a, dcl, 0.05 * a + 5);
  }
}

TEST(Processing, StaticHoldGivesTheGasForceAndTemperatureFollowsEachCycle) {
  std::string text = "Time (s),Displacement (mm),Force (N),Temp (C)\n";
  for (int k = 0; k < 100; ++k) text += std::to_string(k * 0.01) + ",0,180,30\n";
  text += "\n";
  for (int k = 0; k <= 4000; ++k) {
    const double t = k * 0.001,
                 v = 0.025 * 2 * std::numbers::pi * std::sin(2 * std::numbers::pi * t);
    text += std::to_string(t) + "," + std::to_string(-25 * std::cos(2 * std::numbers::pi * t)) +
            "," + std::to_string(180 + 3000 * v) + "," + std::to_string(40 + t) + "\n";
  }
  const Processed p = process(read_text(text));
  EXPECT_NEAR(p.gas_force_n, 180, 1e-9);
  EXPECT_NE(p.gas_from.find("static hold"), std::string::npos);
  ASSERT_EQ(p.runs.size(), 2u);
  EXPECT_TRUE(p.runs[0].static_hold);
  const std::vector<double>& temps = p.runs[1].cycle_temperature_c;
  ASSERT_GE(temps.size(), 2u);
  EXPECT_LT(temps.front(), temps.back());
  EXPECT_TRUE(p.runs[1].compression.has_temperature);
}

TEST(Processing, FileWithoutAStrokeIsRefused) {
  EXPECT_THROW(process(read_text("Time (s),Displacement (mm),Force (N)\n0,0,1\n0.001,0,1\n")),
               RuntimeError);
}

TEST(Track, HistogramBandsAndSpeedsBelowShares) {
  // Front left: a velocity channel spending equal time at 10, 30, 70, 150, 300 mm/s in
  // compression and the same in rebound. Rear right: a position ramp at 40 mm/s.
  std::string text = "Time (s),Damper vel FL (mm/s),RR (mm)\n";
  const std::vector<double> speeds = {10, 30, 70, 150, 300, -10, -30, -70, -150, -300};
  for (int k = 0; k < 1000; ++k)
    text += std::to_string(k * 0.01) + "," + std::to_string(speeds[k / 100]) + "," +
            std::to_string(k * 0.4) + "\n";
  const TrackFile f = read_track(text, read_layout(text), "log.csv");
  const std::vector<CornerHistogram> h = track_histograms(f);
  ASSERT_EQ(h.size(), 2u);
  EXPECT_EQ(h[0].corner, 0);
  EXPECT_EQ(h[1].corner, 3);
  for (std::size_t b = 0; b < 5; ++b) {
    EXPECT_NEAR(h[0].compression_percent[b], 10, 1e-9);
    EXPECT_NEAR(h[0].rebound_percent[b], 10, 1e-9);
  }
  EXPECT_NEAR(h[0].speed_below[0], 0.07, 1e-9);
  EXPECT_NEAR(h[0].speed_below[1], 0.3, 1e-9);
  EXPECT_NEAR(h[1].compression_percent[1], 100, 1e-9);
  EXPECT_NEAR(h[1].speed_below[2], 0.04, 1e-6);
  EXPECT_THROW(read_track("Time (s),Force (N)\n0,1\n", read_layout("Time (s),Force (N)\n"), "x"),
               RuntimeError);
}

}  // namespace
}  // namespace quorin::measured
