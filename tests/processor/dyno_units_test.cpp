// The dyno curve in the units shown, over every unit code a dyno file can give its channels:
// read by the dyno reader, converted by the overlay.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

#include "dyno/dyno_bytes.h"
#include "dyno/loadshock.h"
#include "plotting/overlays.h"

namespace quorin {
namespace {

// One sample each side of zero velocity; the offset is the force of the first.
Value dyno_with_units(std::int16_t velocity_unit, std::int16_t force_unit) {
  test::DynoBytes f;
  f.header(1, 0).pairs(1).i16(0);
  f.f32(0.5f).i16(19).i16(30).i16(10).i16(10).i16(5).i16(1);
  f.text("Velocity").i16(0).i16(velocity_unit).block({-2.f, 4.f});
  f.text("Force").i16(0).i16(force_unit).block({-10.f, 30.f});
  std::ostringstream console;
  return read_dyno(f.bytes, console, "units.pvp", "/dyno/");
}

// Metric factors of the speed and force units (m/s, N per unit); every other code is not a
// unit of that quantity.
const std::map<int, double> kSpeedToSI = {{5, 0.0254},  {6, 1},        {7, 0.01},    {8, 0.001},
                                          {22, 0.3048}, {23, 0.44704}, {24, 1 / 3.6}};
const std::map<int, double> kForceToSI = {{9, 4.45374}, {10, 1}, {11, 9.80665}};
constexpr double kInchesPerMetre = 39.37007874015748;
constexpr double kNewtonsPerPound = 4.45374;

std::vector<std::int16_t> all_codes() {
  std::vector<std::int16_t> codes;
  for (std::int16_t c = 0; c <= 36; ++c) codes.push_back(c);
  codes.push_back(98);
  return codes;
}

// Each channel in turn takes every code while the other stays in m/s or N.
TEST(DynoUnits, SpeedAndForceCodesAreConvertedAndEveryOtherCodeDrawnAsStoredWithAWarning) {
  struct Channel {
    const char* name;
    const char* quantity;
    const std::map<int, double>& to_si;
    double us_factor;  // from SI to Imperial
  };
  const Channel channels[] = {{"Velocity", "velocity", kSpeedToSI, kInchesPerMetre},
                              {"Force", "force", kForceToSI, 1 / kNewtonsPerPound}};
  for (const Channel& ch : channels) {
    const bool velocity = std::string_view(ch.name) == "Velocity";
    for (bool si : {true, false}) {
      for (std::int16_t code : all_codes()) {
        SCOPED_TRACE(std::string(ch.name) + (si ? ", Metric, code " : ", Imperial, code ") +
                     std::to_string(code));
        const DynoOverlay c =
            dyno_overlay_curve(velocity ? dyno_with_units(code, 10) : dyno_with_units(6, code), si);
        // Velocity samples -2 and 4 are drawn as 2 and 4; forces -10 and 30 less -10.
        const std::vector<double>& got = velocity ? c.x : c.y;
        const std::vector<double> stored =
            velocity ? std::vector<double>{2, 4} : std::vector<double>{0, 40};
        const auto known = ch.to_si.find(code);
        if (known == ch.to_si.end()) {
          EXPECT_EQ(got, stored);
          EXPECT_NE(c.warning.find("its " + std::string(ch.name) + " channel is in \""),
                    std::string::npos)
              << c.warning;
          EXPECT_NE(c.warning.find(std::string("not a ") + ch.quantity + " unit"),
                    std::string::npos);
          EXPECT_EQ(c.warning.find(velocity ? "Force" : "Velocity"), std::string::npos);
          EXPECT_EQ(c.warning.find('\n'), std::string::npos);
        } else {
          const double factor = known->second * (si ? 1 : ch.us_factor);
          ASSERT_EQ(got.size(), 2u);
          for (std::size_t k = 0; k < 2; ++k)
            EXPECT_NEAR(got[k], stored[k] * factor, 1e-12 * stored[1] * factor);
          EXPECT_EQ(c.warning, "");
        }
      }
    }
  }
}

TEST(DynoUnits, BothChannelsWrongMakeOneLineNamingBoth) {
  const DynoOverlay c = dyno_overlay_curve(dyno_with_units(1, 98), false);
  EXPECT_EQ(c.warning,
            "Dyno file \"units.pvp\": its Velocity channel is in \"inch\", not a velocity unit, "
            "and is drawn as stored instead of in in/s; its Force channel is in \"test not "
            "performed\", not a force unit, and is drawn as stored instead of in lbs.");
  EXPECT_EQ(c.x, (std::vector<double>{2, 4}));
  EXPECT_EQ(c.y, (std::vector<double>{0, 40}));
}

}  // namespace
}  // namespace quorin
