// The quarter car against what can be worked out by hand: a straight damper's transmissibility
// and its RMS responses to a road whose velocity is white noise, the energy over a kerb, the
// tyre leaving the road; the damper law read off a curve; roads made, saved and read back.
#include "analysis/ride.h"
#include "analysis/grip_map.h"
#include "analysis/ride_study.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <complex>
#include <functional>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "services/runtime_error.h"

namespace quorin::analysis {
namespace {

constexpr double kPi = std::numbers::pi;

// The straight damper's body-over-road and tyre-load-over-static amplitudes at f (Hz) for a
// road amplitude a (m), from the two equations of motion in complex amplitudes.
std::pair<double, double> linear_transmissibility(const QuarterCar& car, double c, double f,
                                                  double a) {
  using C = std::complex<double>;
  const double w = 2 * kPi * f, ms = car.sprung_mass_kg, mu = car.unsprung_mass_kg;
  const double k = car.wheel_rate_n_per_mm * 1000, kt = car.tyre_rate_n_per_mm * 1000;
  const C link = C(k, w * c);  // spring and damper between the masses
  const C body = C(k - w * w * ms, w * c);
  const C wheel = C(k + kt - w * w * mu, w * c);
  // (link) Zs = (body) Zu... : Zu = Zs body / link, then -link Zs + wheel Zu = kt Zr
  const C zs = kt * a / (-link + wheel * body / link);
  const C zu = zs * body / link;
  return {std::abs(zs) / a, kt * std::abs(a - zu) / static_tyre_load_n(car)};
}

TEST(Ride, StraightDamperOnTheShakerFollowsTheClosedFormTransmissibility) {
  const QuarterCar car;
  struct Row {
    const char* name;
    double c;  // N s/m
  };
  for (const Row& r : {Row{"light", 1500}, Row{"critical-ish", 4000}, Row{"heavy", 12000}}) {
    SCOPED_TRACE(r.name);
    const ShakerCase shaker{1, 0.5, 25, 40};
    const ShakerResult s = ride_on_shaker(car, DamperLaw::linear(r.c), shaker);
    ASSERT_EQ(s.frequency_hz.size(), 40u);
    EXPECT_DOUBLE_EQ(s.frequency_hz.front(), 0.5);
    EXPECT_NEAR(s.frequency_hz.back(), 25, 1e-9);
    double body_peak = 0, body_at = 0;
    for (std::size_t i = 0; i < s.frequency_hz.size(); ++i) {
      const auto [body, load] = linear_transmissibility(car, r.c, s.frequency_hz[i], 1e-3);
      EXPECT_NEAR(s.body[i], body, 5e-3 * body + 1e-6) << s.frequency_hz[i];
      EXPECT_NEAR(s.tyre_load[i], load, 5e-3 * load + 1e-6) << s.frequency_hz[i];
      if (body > body_peak) body_peak = body, body_at = s.frequency_hz[i];
    }
    // The resonance found between the frequencies lies within one frequency step of the
    // closed form's highest body amplitude.
    EXPECT_NEAR(std::log(s.body_resonance_hz), std::log(body_at), std::log(50.0) / 39);
  }
}

// The stationary covariance P of dx = A x dt + b dW (E dW^2 = q dt): A P + P A' + q b b' = 0,
// solved as one linear system in the entries of P.
std::array<std::array<double, 4>, 4> lyapunov(const std::array<std::array<double, 4>, 4>& a,
                                              std::size_t noisy, double q) {
  constexpr std::size_t n = 4, m = n * n;
  std::vector<std::vector<double>> s(m, std::vector<double>(m + 1, 0));
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < n; ++j) {
      const std::size_t row = i * n + j;
      for (std::size_t k = 0; k < n; ++k) {
        s[row][k * n + j] += a[i][k];  // (A P)_ij
        s[row][i * n + k] += a[j][k];  // (P A')_ij
      }
      s[row][m] = (i == noisy && j == noisy) ? -q : 0;
    }
  for (std::size_t c = 0; c < m; ++c) {
    std::size_t p = c;
    for (std::size_t r = c + 1; r < m; ++r)
      if (std::abs(s[r][c]) > std::abs(s[p][c])) p = r;
    std::swap(s[c], s[p]);
    for (std::size_t r = 0; r < m; ++r) {
      if (r == c) continue;
      const double f = s[r][c] / s[c][c];
      for (std::size_t k = c; k <= m; ++k) s[r][k] -= f * s[c][k];
    }
  }
  std::array<std::array<double, 4>, 4> p{};
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < n; ++j) p[i][j] = s[i * n + j][m] / s[i * n + j][i * n + j];
  return p;
}

TEST(Ride, StraightDamperOnAWhiteVelocityRoadGivesTheClosedFormRms) {
  // A class road's velocity is white: one-sided PSD 4 pi^2 G_d(n0) n0^2 V per Hz.
  const QuarterCar car;
  const double ms = car.sprung_mass_kg, mu = car.unsprung_mass_kg;
  const double k = car.wheel_rate_n_per_mm * 1000, kt = car.tyre_rate_n_per_mm * 1000;
  struct Row {
    const char* road_class;
    double c, speed_kmh;
  };
  for (const Row& r : {Row{"A", 2000, 60}, Row{"B", 4000, 80}, Row{"B", 9000, 50}}) {
    SCOPED_TRACE(std::string(r.road_class) + " " + std::to_string(r.c));
    const double v = r.speed_kmh / 3.6;
    const double q = 0.5 * 4 * kPi * kPi * road_class_psd(r.road_class) * kRoadN0 * kRoadN0 * v;
    // states: travel x = z_u - z_s, tyre deflection d = z_r - z_u, v_s, v_u
    const double c = r.c;
    const std::array<std::array<double, 4>, 4> a = {{{0, 0, -1, 1},
                                                     {0, 0, 0, -1},
                                                     {k / ms, 0, -c / ms, c / ms},
                                                     {-k / mu, kt / mu, c / mu, -c / mu}}};
    const auto p = lyapunov(a, 1, q);
    const double load = kt * std::sqrt(p[1][1]);
    const double travel = std::sqrt(p[0][0]);
    const double velocity = std::sqrt(p[2][2] + p[3][3] - 2 * p[2][3]);
    // body acceleration (k x + c (v_u - v_s)) / m_s
    const std::array<double, 4> g = {k / ms, 0, -c / ms, c / ms};
    double accel2 = 0;
    for (std::size_t i = 0; i < 4; ++i)
      for (std::size_t j = 0; j < 4; ++j) accel2 += g[i] * p[i][j] * g[j];

    const RoadProfile road = iso8608_road(r.road_class, v * 120, 11);
    const RoadResult sim = ride_on_road(car, DamperLaw::linear(c), road, r.speed_kmh);
    EXPECT_NEAR(sim.tyre_load_rms_n, load, 0.03 * load);
    EXPECT_NEAR(sim.body_accel_rms, std::sqrt(accel2), 0.03 * std::sqrt(accel2));
    EXPECT_NEAR(sim.travel_rms_mm, 1000 * travel, 0.03 * 1000 * travel);
    EXPECT_NEAR(sim.velocity_rms_mmps, 1000 * velocity, 0.03 * 1000 * velocity);
    EXPECT_EQ(sim.off_road_percent, 0);
    double shares = 0;
    for (std::size_t b = 0; b < kVelocityBands; ++b)
      shares += sim.compression_percent[b] + sim.rebound_percent[b];
    EXPECT_NEAR(shares, 100, 1e-9);
  }
}

TEST(Ride, OverAKerbTheRoadsWorkIsTheDampersHeatPlusWhatIsLeft) {
  const QuarterCar car;
  struct Row {
    const char* name;
    KerbCase kerb;
    double c;
  };
  for (const Row& r :
       {Row{"low and slow", {20, 300, 500, 30}, 3000}, Row{"no plateau", {15, 400, 0, 20}, 4000},
        Row{"a dip", {-25, 400, 800, 40}, 1500}}) {
    SCOPED_TRACE(r.name);
    const KerbResult k = ride_over_kerb(car, DamperLaw::linear(r.c), r.kerb, 1e-4);
    ASSERT_GT(k.lowest_tyre_load_n, 0);  // on the road throughout
    ASSERT_GT(k.dissipated_j, 0);
    EXPECT_NEAR(k.road_work_j, k.dissipated_j + k.final_energy_j, 2e-3 * k.dissipated_j);
    EXPECT_TRUE(std::isfinite(k.settle_s));
    EXPECT_GT(k.settle_s, 0);
    EXPECT_EQ(k.time_s.size(), k.tyre_load_n.size());
  }
}

TEST(Ride, TheTyreLeavesTheRoadButNeverPulls) {
  const QuarterCar car;
  const double w = static_tyre_load_n(car);
  // A tall kerb taken fast throws the wheel off; a low one taken slowly does not.
  const KerbResult thrown = ride_over_kerb(car, DamperLaw::linear(3000), {80, 100, 300, 80});
  EXPECT_EQ(thrown.lowest_tyre_load_n, 0);
  for (double load : thrown.tyre_load_n) ASSERT_GE(load, 0);
  const KerbResult kept = ride_over_kerb(car, DamperLaw::linear(3000), {10, 300, 300, 20});
  EXPECT_GT(kept.lowest_tyre_load_n, 0.5 * w);

  // A rough road taken fast: some time in the air, reported as a share of the time.
  const RoadResult rough =
      ride_on_road(car, DamperLaw::linear(2000), iso8608_road("E", 500, 2), 120);
  EXPECT_GT(rough.off_road_percent, 0);
  EXPECT_LT(rough.off_road_percent, 100);
}

TEST(DamperLawTest, ReadsACurveAsTheComparisonWindowDrawsIt) {
  // Compression 0..2 m/s (doubling back by 1e-5 near 1), rebound 0..1 m/s.
  const DamperLaw d = DamperLaw::of_rows({0, 1, 0.99999, 1.5, 2}, {0, 500, 510, 600, 700},
                                         {0, 0.5, 1}, {0, -400, -1000});
  struct Row {
    const char* name;
    double v, force;
  };
  const std::vector<Row> rows = {
      {"at rest", 0, 0},
      {"compression between points", 0.5, 250},
      {"doubled back: the first crossing", 0.999995, 499.9975},
      {"compression point", 1.5, 600},
      {"beyond the last point along its slope", 3, 900},
      {"rebound is the rebound curve at -v", -0.25, -200},
      {"rebound point", -0.5, -400},
      {"beyond rebound's last point", -2, -2200},
  };
  for (const Row& r : rows) EXPECT_NEAR(d.force(r.v), r.force, 1e-6) << r.name;
  // v + beta F(v) = alpha, from any starting segment.
  for (std::size_t cursor : {std::size_t{0}, std::size_t{3}, std::size_t{20}}) {
    for (double want : {-1.5, -0.3, 0.0, 0.7, 1.2, 4.0}) {
      double f = 0;
      std::size_t c = cursor;
      const double alpha = want + 1e-3 * d.force(want);
      const double v = d.solve(alpha, 1e-3, c, f);
      EXPECT_NEAR(v, want, 1e-12);
      EXPECT_NEAR(f, d.force(want), 1e-9);
    }
  }
  EXPECT_THROW(DamperLaw::of_rows({}, {}, {0, 1}, {0, -1}), RuntimeError);
  EXPECT_THROW(DamperLaw::linear(-1), RuntimeError);
}

TEST(RoadTest, ClassRoadsMatchTheirPsdInEveryDoublingBand) {
  for (const char* road_class : {"A", "C", "E"})
    for (std::uint64_t seed : {1u, 2u, 99u}) {
      SCOPED_TRACE(std::string(road_class) + " seed " + std::to_string(seed));
      const RoadProfile road = iso8608_road(road_class, 100 / 3.6 * 60, seed);
      const std::vector<PsdBand> bands = road_psd_bands(road, road_class);
      ASSERT_EQ(bands.size(), 9u);
      EXPECT_NEAR(bands.front().centre, 0.011, 1e-3);
      EXPECT_NEAR(bands.back().centre, 2.83, 1e-2);
      for (const PsdBand& b : bands) EXPECT_NEAR(b.measured_db, b.class_db, 1.5) << b.centre;
    }
  // One class up is 6 dB up.
  const auto c = road_psd_bands(iso8608_road("C", 500, 4), "C");
  const auto d = road_psd_bands(iso8608_road("D", 500, 4), "D");
  EXPECT_NEAR(d[4].measured_db - c[4].measured_db, 10 * std::log10(4.0), 1e-9);
}

TEST(RoadTest, SameSeedSameRoadAndTheSavedFileReadsBackExactly) {
  const RoadProfile a = iso8608_road("B", 250, 7), b = iso8608_road("B", 250, 7);
  EXPECT_EQ(a.height_m, b.height_m);
  EXPECT_NE(iso8608_road("B", 250, 8).height_m, a.height_m);
  EXPECT_DOUBLE_EQ(a.distance_m.back(), 250);
  const RoadProfile back = parse_road_profile(road_profile_text(a));
  EXPECT_EQ(back.distance_m, a.distance_m);
  EXPECT_EQ(back.height_m, a.height_m);
}

TEST(RoadTest, RoadFilesAreReadOrRefusedByLine) {
  struct Row {
    const char* name;
    const char* text;
    std::size_t points;  // 0: refused
    const char* message;
  };
  const std::vector<Row> rows = {
      {"heading, comment, commas", "x,z\n# metres\n0,0\n1.5,0.01\r\n3;0.02\n", 3, ""},
      {"tabs and blank lines", "0\t0\n\n2\t-0.01\n", 2, ""},
      {"a word in the middle", "0 0\nten 1\n2 0\n", 0, "Line 2"},
      {"three numbers", "0 0\n1 0 5\n", 0, "Line 2"},
      {"falling distance", "0 0\n2 0\n1 0\n", 0, "line 3"},
      {"not finite", "0 0\n1 inf\n", 0, "Line 2"},
      {"one point", "0 0\n", 0, "fewer than two"},
      {"empty", "", 0, "fewer than two"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    if (r.points) {
      EXPECT_EQ(parse_road_profile(r.text).distance_m.size(), r.points);
      continue;
    }
    try {
      parse_road_profile(r.text);
      ADD_FAILURE() << "not refused";
    } catch (const RuntimeError& e) {
      EXPECT_NE(std::string(e.what()).find(r.message), std::string::npos) << e.what();
    }
  }
}

TEST(RoadTest, UnusableInputsAreRefusedByName) {
  const QuarterCar car;
  const DamperLaw d = DamperLaw::linear(3000);
  const RoadProfile road = iso8608_road("C", 50, 1);
  struct Row {
    const char* name;
    std::function<void()> run;
    const char* message;
  };
  QuarterCar no_mass = car;
  no_mass.unsprung_mass_kg = 0;
  const std::vector<Row> rows = {
      {"class F", [] { iso8608_road("F", 100, 1); }, "road class"},
      {"no length", [] { iso8608_road("C", 0, 1); }, "length"},
      {"no speed", [&] { ride_on_road(car, d, road, 0); }, "speed"},
      {"no unsprung mass", [&] { ride_on_road(no_mass, d, road, 50); }, "unsprung mass"},
      {"flat kerb",
       [&] {
         ride_over_kerb(car, d, {0, 100, 100, 30});
       },
       "height"},
      {"few frequencies",
       [&] {
         ride_on_shaker(car, d, {5, 0.5, 25, 10});
       },
       "40"},
      {"a road file with a gap of a million km",
       [&] {
         ride_on_road(car, d, RoadProfile{{0, 1e9}, {0, 0}}, 100);
       },
       "an hour"},
      {"a kerb crossed at a snail's pace",
       [&] {
         ride_over_kerb(car, d, {50, 200, 500, 1e-6});
       },
       "an hour"},
      {"a shaker that never turns",
       [&] {
         ride_on_shaker(car, d, {5, 1e-7, 25, 40});
       },
       "0.05 Hz"},
      {"NaN amplitude",
       [&] {
         ride_on_shaker(car, d, {std::numeric_limits<double>::quiet_NaN(), 0.5, 25, 40});
       },
       "amplitude"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    try {
      r.run();
      ADD_FAILURE() << "not refused";
    } catch (const RuntimeError& e) {
      EXPECT_NE(std::string(e.what()).find(r.message), std::string::npos) << e.what();
    }
  }
}

TEST(GripMapTest, ParetoFrontKeepsWhatNothingBeatsOnBoth) {
  struct Row {
    const char* name;
    std::vector<std::pair<double, double>> points;  // load, accel
    std::vector<bool> front;
  };
  const std::vector<Row> rows = {
      {"a trade-off", {{1, 3}, {2, 2}, {3, 1}}, {true, true, true}},
      {"one beaten on both", {{1, 3}, {2, 2}, {2.5, 2.5}, {3, 1}}, {true, true, false, true}},
      {"equal on one, worse on the other", {{1, 3}, {1, 4}}, {true, false}},
      {"the same point twice", {{2, 2}, {2, 2}, {3, 3}}, {true, true, false}},
      {"one point", {{5, 5}}, {true}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    std::vector<GripPoint> points;
    for (auto [load, accel] : r.points) {
      GripPoint p;
      p.tyre_load_rms_n = load;
      p.body_accel_rms = accel;
      points.push_back(p);
    }
    mark_pareto_front(points);
    for (std::size_t i = 0; i < points.size(); ++i) EXPECT_EQ(points[i].on_front, r.front[i]) << i;
  }
}

TEST(RideStudyTest, SweepNamesCaseNamesAndSetUpListsReadBack) {
  for (std::string_view name : kGripSweepNames)
    EXPECT_EQ(grip_sweep_name(grip_sweep_named(name)), name);
  EXPECT_THROW(grip_sweep_named("LSC and HSR"), RuntimeError);
  EXPECT_EQ(ride_case_named("kerb"), RideCaseKind::Kerb);
  EXPECT_THROW(ride_case_named("track"), RuntimeError);
  const std::vector<ClickSet> sets = parse_click_sets("# clicks\nLSC=3 HSC=12\n\nLSR=5, HSR=9\r\n");
  ASSERT_EQ(sets.size(), 2u);
  EXPECT_EQ(sets[0].lsc, "3");
  EXPECT_EQ(sets[0].hsc, "12");
  EXPECT_FALSE(sets[0].lsr);
  EXPECT_EQ(sets[1].hsr, "9");
  for (const char* bad : {"LSC=3 XYZ=4", "LSC=", "HSC=ten", ""}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(parse_click_sets(bad), RuntimeError);
  }
}

TEST(RideStudyTest, CsvHoldsEveryColumnAndKerbsThatNeverSettleAreLeftBlank) {
  RideStudy s;
  s.what.kind = RideCaseKind::Kerb;
  RideRow r;
  r.number = 3;
  r.name = "3  Comp, odd";
  r.kerb.lowest_tyre_load_n = 1000;
  r.kerb.largest_body_accel = 5;
  r.kerb.largest_travel_mm = 20;
  r.kerb.settle_s = std::numeric_limits<double>::quiet_NaN();
  s.rows.push_back(r);
  EXPECT_EQ(ride_csv(s),
            "Curve,Name,Lowest tyre load (N),Largest body accel (m/s2),Largest travel (mm),"
            "Settles in (s)\r\n3,\"3  Comp, odd\",1000,5,20,\r\n");
  EXPECT_EQ(ride_tsv(s),
            "Curve\tName\tLowest tyre load (N)\tLargest body accel (m/s2)\tLargest travel "
            "(mm)\tSettles in (s)\n3\t3  Comp, odd\t1000\t5.00\t20.0\t\n");
}

}  // namespace
}  // namespace quorin::analysis
