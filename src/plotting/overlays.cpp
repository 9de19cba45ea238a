#include "plotting/overlays.h"

#include <array>
#include <cmath>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "plotting/axes_frame.h"
#include "plotting/plotfunction.h"
#include "services/runtime_error.h"

namespace quorin {
namespace {

// The display factors of the synthesised curves: in/s per m/s, and N per lbs.
constexpr double kInchesPerMetre = kUSFactors.velocity;
constexpr double kNewtonsPerPound = kUSFactors.force;
constexpr double kInchesPerFoot = 12;
constexpr double kInchesPerMile = 63360;
constexpr double kMetresPerMile = 1609.344;
constexpr double kSecondsPerHour = 3600;
constexpr double kMetresPerKilometre = 1000;
constexpr double kNewtonsPerKgf = 9.80665;

// A number in some unit becomes number * mul / div in the units shown. Units of the same
// system as the axes are taken over without a round trip through the other system, so
// in/s and lbs on Imperial axes, and m/s and N on Metric axes, stay exactly as stored.
struct Conversion {
  double mul = 1;
  double div = 1;
};

// A channel unit as the dyno reader names it, with its conversion onto Metric and onto
// Imperial axes.
struct ChannelUnit {
  std::string_view text;
  Conversion to_si, to_us;
};

constexpr std::array<ChannelUnit, 7> kVelocityUnits = {{
    {"MetersPerSecond", {1, 1}, {kInchesPerMetre, 1}},
    {"cmPerSecond", {1, 100}, {kInchesPerMetre, 100}},
    {"mmPerSecond", {1, 1000}, {kInchesPerMetre, 1000}},
    {"KMPH",
     {kMetresPerKilometre, kSecondsPerHour},
     {kMetresPerKilometre * kInchesPerMetre, kSecondsPerHour}},
    {"ips", {1, kInchesPerMetre}, {1, 1}},
    {"fps", {kInchesPerFoot, kInchesPerMetre}, {kInchesPerFoot, 1}},
    {"MPH", {kMetresPerMile, kSecondsPerHour}, {kInchesPerMile, kSecondsPerHour}},
}};

constexpr std::array<ChannelUnit, 3> kForceUnits = {{
    {"Newtons", {1, 1}, {1, kNewtonsPerPound}},
    {"KGF", {kNewtonsPerKgf, 1}, {kNewtonsPerKgf, kNewtonsPerPound}},
    {"pounds", {kNewtonsPerPound, 1}, {1, 1}},
}};

// One Speed_1 channel: its samples and the unit text its record names (nullptr: none).
struct Channel {
  const std::vector<double>* data = nullptr;
  const Value* units = nullptr;
};

Channel speed_channel(const Value& ShockData, std::string_view name) {
  if (!ShockData.is_record() || !ShockData.has_field("Speed_1"))
    throw RuntimeError("The dyno data hold no page Speed_1; read a dyno file first.");
  const Value& page = ShockData.field("Speed_1");
  if (!page.is_record() || !page.has_field(name) || !page.field(name).is_record() ||
      !page.field(name).has_field("Data") || !page.field(name).field("Data").is_numeric())
    throw RuntimeError("The dyno data hold no Speed_1." + std::string(name) + ".Data row.");
  const Value& c = page.field(name);
  return {&c.field("Data").numbers(), c.has_field("Units") ? &c.field("Units") : nullptr};
}

// Converts `samples` in place from the channel's unit to the units shown. Returns the part of
// the warning line for a unit that is not of the `quantity`, or an empty text.
template <std::size_t N>
std::string convert_channel(std::vector<double>& samples, const Value* units,
                            const std::array<ChannelUnit, N>& known, bool si,
                            std::string_view channel, std::string_view quantity,
                            std::string_view shown) {
  if (!units) return {};  // no unit named: taken as already in the units shown
  const std::string text = units->is_text() ? units->str() : std::string();
  for (const ChannelUnit& u : known) {
    if (u.text != text) continue;
    const Conversion c = si ? u.to_si : u.to_us;
    for (double& s : samples) s = s * c.mul / c.div;
    return {};
  }
  const std::string named = units->is_text() ? "\"" + text + "\"" : describe(*units);
  return "its " + std::string(channel) + " channel is in " + named + ", not a " +
         std::string(quantity) + " unit, and is drawn as stored instead of in " +
         std::string(shown);
}

std::string file_name_of(const Value& ShockData) {
  if (ShockData.has_field("fn") && ShockData.field("fn").is_text())
    return " \"" + ShockData.field("fn").str() + "\"";
  return {};
}

}  // namespace

bool is_import_curve(const Matrix& import) { return import.rows >= 1 && import.cols >= 3; }

void draw_import_curve(gfx::Model& m, gfx::Axes& axes, const Matrix& import) {
  if (!is_import_curve(import))
    throw RuntimeError("The import curve is a " + std::to_string(import.rows) + " by " +
                       std::to_string(import.cols) +
                       " matrix; it needs a velocity column and two force columns.");
  // Each column is gathered once per import and shared by every line that draws it, however
  // often it is drawn (an import can hold a million rows).
  for (std::size_t force : {1, 2}) {
    gfx::Line& line = m.plot(axes, {}, {}, "b--");
    line.x = import.column(0);
    line.y = import.column(force);
    axes.hold = true;
  }
}

DynoOverlay dyno_overlay_curve(const Value& ShockData, bool si) {
  const Channel velocity = speed_channel(ShockData, "Velocity");
  const Channel force = speed_channel(ShockData, "Force");
  if (velocity.data->size() != force.data->size())
    throw RuntimeError("The dyno data's Speed_1 velocity and force rows differ in length.");

  std::vector<double> v = *velocity.data, f = *force.data;
  const std::string velocity_problem = convert_channel(v, velocity.units, kVelocityUnits, si,
                                                       "Velocity", "velocity", si ? "m/s" : "in/s");
  const std::string force_problem =
      convert_channel(f, force.units, kForceUnits, si, "Force", "force", si ? "N" : "lbs");

  DynoOverlay c;
  if (!velocity_problem.empty() || !force_problem.empty()) {
    c.warning = "Dyno file" + file_name_of(ShockData) + ": " + velocity_problem;
    if (!velocity_problem.empty() && !force_problem.empty()) c.warning += "; ";
    c.warning += force_problem + ".";
  }

  // The force at the last sample, in file order, whose velocity is zero or negative; data
  // that never reach zero velocity are drawn without an offset.
  double zero_offset = 0;
  for (std::size_t k = v.size(); k-- > 0;) {
    if (v[k] <= 0) {
      zero_offset = f[k];
      break;
    }
  }
  c.x.resize(v.size());
  c.y.resize(v.size());
  for (std::size_t k = 0; k < v.size(); ++k) {
    c.x[k] = std::abs(v[k]);
    c.y[k] = f[k] - zero_offset;
  }
  return c;
}

void draw_dyno_curve(gfx::Model& m, gfx::Axes& axes, const Value& ShockData, bool si,
                     std::ostream* console) {
  const DynoOverlay c = dyno_overlay_curve(ShockData, si);
  if (console && !c.warning.empty()) {
    *console << c.warning << '\n';
    console->flush();
  }
  m.plot(axes, c.x, c.y, "k--");
  axes.hold = true;
}

void finish_overlay(gfx::Window& window, gfx::Axes& axes, std::optional<double> xmin,
                    std::optional<double> xmax, std::optional<double> ymin,
                    std::optional<double> ymax) {
  grid_on(axes);
  window.zoom = true;
  set_axis_limits(axes, {xmin, xmax, ymin, ymax});
}

}  // namespace quorin
