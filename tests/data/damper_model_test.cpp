// The damper model behaves like a damper: the adjusters move the curve the way a tuner
// expects, the measurement samples it faithfully, and the logos survive their file formats.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "annotation/bmp.h"
#include "logo.h"
#include "supplied_data.h"

namespace quorin::datagen {
namespace {

const Side* const kSides[] = {&compression_side(), &rebound_side()};

TEST(DamperModel, AdjustersMoveTheCurveTheWayATunerExpects) {
  for (const Side* side : kSides) {
    for (std::size_t v = 1; v <= side->valves.size(); ++v) {
      for (std::size_t s = 1; s <= side->springs.size(); ++s) {
        // more low-speed clicks open the bleed: lower force at low speed
        Damper d = valve_damper(*side, v, s, 1);
        for (int c = 1; c <= kBleedClicks; ++c) {
          Damper more = d;
          more.bleed_clicks = c;
          d.bleed_clicks = c - 1;
          EXPECT_LT(more.force_n(0.05), d.force_n(0.05)) << side->name << " valve " << v << " LS " << c;
        }
        // more high-speed clicks raise the blow-off and never lower the force
        for (std::size_t h = 2; h <= table_entries(s); ++h) {
          const Damper lo = valve_damper(*side, v, s, h - 1), hi = valve_damper(*side, v, s, h);
          EXPECT_GT(hi.poppet_crack_pressure_pa(), lo.poppet_crack_pressure_pa());
          EXPECT_GE(hi.force_n(0.4), lo.force_n(0.4)) << side->name << " valve " << v << " entry " << h;
        }
        // a stiffer spring raises the high-speed force at the same entry
        if (s > 1) {
          for (std::size_t h = 1; h <= table_entries(s); h += 9)
            EXPECT_GE(valve_damper(*side, v, s, h).force_n(0.4),
                      valve_damper(*side, v, s - 1, h).force_n(0.4))
                << side->name << " valve " << v << " spring " << s << " entry " << h;
        }
      }
    }
  }
}

TEST(DamperModel, ForcesAtTenInchesPerSecondSpanARaceDampersRange) {
  double comp_lo = 1e9, comp_hi = 0, reb_lo = 1e9, reb_hi = 0;
  for (const Side* side : kSides)
    for (std::size_t s = 1; s <= 4; ++s)
      for (std::size_t v = 1; v <= side->valves.size(); ++v)
        for (std::size_t h = 1; h <= table_entries(s); h += 3) {
          Damper d = valve_damper(*side, v, s, h);
          for (int b : {0, 10, 20}) {
            d.bleed_clicks = b;
            const double f = d.force_n(0.25);
            (side == kSides[0] ? comp_lo : reb_lo) = std::min(side == kSides[0] ? comp_lo : reb_lo, f);
            (side == kSides[0] ? comp_hi : reb_hi) = std::max(side == kSides[0] ? comp_hi : reb_hi, f);
          }
        }
  EXPECT_GE(comp_lo, 700);
  EXPECT_LE(comp_hi, 4500);
  EXPECT_GT(reb_lo, comp_lo);
  EXPECT_GT(reb_hi, comp_hi);
  EXPECT_LE(reb_hi, 6500);
}

TEST(DamperModel, ReboundIsStifferThanCompressionForEverySetting) {
  for (std::size_t v = 1; v <= compression_side().valves.size(); ++v)
    for (std::size_t s = 1; s <= 4; ++s)
      for (std::size_t h = 1; h <= table_entries(s); h += 5)
        EXPECT_GT(valve_damper(rebound_side(), v, s, h).force_n(0.25),
                  valve_damper(compression_side(), v, s, h).force_n(0.25))
            << "valve " << v << " spring " << s << " entry " << h;
}

TEST(Measurement, SweepsTheModelWithSmallNoise) {
  for (const Side* side : kSides)
    for (std::size_t v : {std::size_t{1}, std::size_t{7}, std::size_t{13}})
      for (std::size_t s = 1; s <= 4; ++s) {
        const std::size_t h = table_entries(s);
        const Measurement m = valve_measurement(*side, v, s, h);
        const Damper d = valve_damper(*side, v, s, h);
        ASSERT_GE(m.velocity.size(), 40u);
        ASSERT_LE(m.velocity.size(), 80u);
        EXPECT_GE(m.velocity.back(), 0.5);
        EXPECT_GT(m.force.back(), 1000);
        for (std::size_t i = 0; i < m.force.size(); ++i) {
          if (i) {
            EXPECT_GT(m.velocity[i], m.velocity[i - 1]);
            EXPECT_GT(m.force[i], m.force[i - 1]);
          }
          EXPECT_NEAR(m.force[i], d.force_n(m.velocity[i]), 0.0015 * m.force[i] + 0.6);
        }
      }
}

TEST(Measurement, BleedCurvesReachTheRigLimitAndOpenWithTheClicks) {
  double previous_top = 0;
  for (int c = 0; c <= kBleedClicks; ++c) {
    const Measurement m = bleed_measurement(c);
    EXPECT_NEAR(m.force.back(), kBleedSweepLimitN, 0.01 * kBleedSweepLimitN);
    EXPECT_GT(m.velocity.back(), previous_top) << "clicks " << c;
    previous_top = m.velocity.back();
  }
}

TEST(DamperModel, ForceInvertsVelocity) {
  const Damper d = valve_damper(compression_side(), 4, 2, 12);
  for (double v : {0.001, 0.01, 0.05, 0.2, 0.508}) EXPECT_NEAR(d.velocity_mps(d.force_n(v)), v, 1e-9);
}

TEST(Logo, BitmapDecodesToTheDrawnPixels) {
  for (auto [w, h] : {std::pair{115, 51}, std::pair{167, 78}}) {
    const Picture p = draw_logo(w, h);
    const auto bytes = encode_bmp24(p);
    const annotation::Picture got = annotation::decode_bmp(bytes);
    ASSERT_EQ(got.width, static_cast<std::size_t>(w));
    ASSERT_EQ(got.height, static_cast<std::size_t>(h));
    ASSERT_EQ(got.channels, 3u);
    for (int r = 0; r < h; ++r)
      for (int c = 0; c < w; ++c) {
        const Rgb& px = p.at(c, r);
        ASSERT_EQ(got.at(r, c, 0), px.r);
        ASSERT_EQ(got.at(r, c, 1), px.g);
        ASSERT_EQ(got.at(r, c, 2), px.b);
      }
  }
}

TEST(Logo, IndexPictureThroughTheColourMapStaysCloseToTheLogo) {
  const Picture p = draw_logo(167, 78);
  const Value idx = index_picture(p);
  const auto map = brand_colormap();
  const auto& d = idx.numbers();
  EXPECT_EQ(*std::min_element(d.begin(), d.end()), 1);   // scaled mapping spans the whole map
  EXPECT_EQ(*std::max_element(d.begin(), d.end()), 64);
  for (int c = 0; c < p.width; ++c)
    for (int r = 0; r < p.height; ++r) {
      const Rgb& want = map[static_cast<std::size_t>(d[static_cast<std::size_t>(c) * p.height + r]) - 1];
      const Rgb& px = p.at(c, r);
      EXPECT_LE(std::abs(want.r - px.r) + std::abs(want.g - px.g) + std::abs(want.b - px.b), 150)
          << "pixel " << r << "," << c;
    }
}

}  // namespace
}  // namespace quorin::datagen
