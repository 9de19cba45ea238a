#include "processor/synthesis.h"

#include <array>
#include <cmath>
#include <numbers>
#include <string>
#include <tuple>

#include "processor/processor.h"
#include "processor/resample.h"
#include "services/numeric.h"
#include "services/runtime_error.h"

namespace quorin {
namespace {

// Effective area of the damper the valving tables were measured on: piston 40 mm, shafts
// 12 mm, in square millimetres.
constexpr double kReferenceArea = 1143.5397259066847;
// Bleed setting the valving tables were measured with.
constexpr double kReferenceBleed = 11;
// The resamplers work on the first 100 grid forces, so a curve must reach 99 N.
constexpr double kLowestTopForce = 99;

// Legend pieces, joined without other separators.
constexpr std::string_view kCompLabel = "  Comp  ";
constexpr std::string_view kRebLabel = "     Reb     ";
constexpr std::string_view kIndent = "                  ";  // 18 blanks
constexpr std::string_view kDash = "  -  ";
constexpr std::string_view kShortDash = " - ";
constexpr std::string_view kLSC = "LSC ";
constexpr std::string_view kHSC = "HSC ";
constexpr std::string_view kLSR = "LSR ";
constexpr std::string_view kHSR = "HSR ";
constexpr std::string_view kCompHighGap = "   ";
constexpr std::string_view kMotionRatio = "  -  MR:";
constexpr std::size_t kValveNameLength = 7;
constexpr std::size_t kShimStackStart = 8;  // 0-based: the ninth character

// Refused set-ups store nothing; the message ends by saying so.
constexpr std::string_view kNothingStored = " No curve was stored.";

double number_in(const std::string& text, std::string_view what) {
  const auto n = str2double(text);
  if (!n) throw RuntimeError("The " + std::string(what) + " \"" + text + "\" is not a number.");
  return *n;
}

std::string entry_name(std::string_view table, double v, double s, double h) {
  return std::string(table) + "{" + num2str(v) + "," + num2str(s) + "}(" + num2str(h) + ")";
}

std::size_t table_index(double x) {
  return (x >= 1 && x == std::floor(x)) ? static_cast<std::size_t>(x) : 0;
}

const std::vector<double>& table_entry(const ValvingTable& t, std::string_view table, double v,
                                       double s, double h) {
  const std::vector<double>* row = t.entry(table_index(v), table_index(s), table_index(h));
  if (!row)
    throw RuntimeError("The valving table has no entry " + entry_name(table, v, s, h) + ".");
  return *row;
}

const MeasuredCurve& bleed_setting(const BleedData& bleeds, double k) {
  const MeasuredCurve* c = bleeds.setting(k);
  if (!c || c->velocity.empty() || c->force.empty())
    throw RuntimeError("The bleed data have no entry bleedvel(" + num2str(k) + ").");
  return *c;
}

// The shim flow of a measured valve curve at each whole newton: measured velocity minus the
// reference bleed's, straightened at low force.
ShimFlow shim_flow(const std::vector<double>& measured_velocity,
                   const std::vector<double>& measured_force, const std::string& force_entry,
                   const BleedData& bleeds, const MeasuredCurve& reference) {
  if (measured_force.back() < kLowestTopForce)
    throw RuntimeError("The valving table entry " + force_entry + " ends at " +
                       num2str(measured_force.back()) + " N; a curve must reach " +
                       num2str(kLowestTopForce) + " N.");
  ShimFlow out;
  const double top = std::floor(measured_force.back());
  out.force.resize(static_cast<std::size_t>(top) + 1);
  for (std::size_t k = 0; k < out.force.size(); ++k) out.force[k] = static_cast<double>(k);

  const std::vector<double> measured = curve_velocity(measured_velocity, measured_force, out.force);
  out.reference_bleed = bleeds.bleed_velocity(reference, out.force);
  std::vector<double> shim(measured.size());
  for (std::size_t k = 0; k < shim.size(); ++k) shim[k] = measured[k] - out.reference_bleed[k];
  out.shim = correction(std::move(shim));
  return out;
}

// The curve with the reference bleed replaced by the selected one: shim flow plus the
// selected bleed's velocity at each grid force.
SideCurve with_bleed(const ShimFlow& flow, const BleedData& bleeds, const MeasuredCurve& selected,
                     bool is_reference) {
  SideCurve out;
  out.force = flow.force;
  const std::vector<double>& selected_bleed =
      is_reference ? flow.reference_bleed : bleeds.bleed_velocity(selected, flow.force);
  out.velocity.resize(flow.shim.size());
  for (std::size_t k = 0; k < flow.shim.size(); ++k)
    out.velocity[k] = flow.shim[k] + selected_bleed[k];
  return out;
}

ShimFlow side_flow(const ValvingTable& vel, const ValvingTable& force, std::string_view vel_name,
                   std::string_view force_name, double v, double s, double h,
                   const BleedData& bleeds) {
  const std::vector<double>& measured_velocity = table_entry(vel, vel_name, v, s, h);
  const std::vector<double>& measured_force = table_entry(force, force_name, v, s, h);
  const MeasuredCurve& reference = bleed_setting(bleeds, kReferenceBleed);
  return shim_flow(measured_velocity, measured_force, entry_name(force_name, v, s, h), bleeds,
                   reference);
}

std::string valve_name(const std::string& valve_text, std::string_view side) {
  if (valve_text.size() < kValveNameLength)
    throw RuntimeError("The " + std::string(side) + " valve \"" + valve_text +
                       "\" is shorter than seven characters.");
  return valve_text.substr(0, kValveNameLength);
}

std::string shim_stack(const std::string& valve_text) {
  return valve_text.size() > kShimStackStart ? valve_text.substr(kShimStackStart) : std::string();
}

double box_number(const std::string& text, std::string_view name) {
  const auto n = str2double(text);
  if (!n) throw RuntimeError("The " + std::string(name) + " box does not hold a number.");
  return *n;
}

// The motion ratio scales velocities up and forces down: it must be a finite number above 0.
double checked_motion_ratio(const std::string& text) {
  const auto motion_ratio = str2double(text);
  if (!motion_ratio) throw RuntimeError("The motion ratio box does not hold a number.");
  if (!(*motion_ratio > 0) || !std::isfinite(*motion_ratio))
    throw RuntimeError(
        "The motion ratio must be a number greater than 0 (wheel travel over "
        "damper travel); the motionratio box holds \"" +
        text + "\"." + std::string(kNothingStored));
  return *motion_ratio;
}

// Diameters are millimetres in both unit systems. The piston must be larger than both shafts,
// or the oil has no area to push on and the curve would be zero or of the wrong sign.
void check_diameters(double di, double de, double dp, const std::string& di_text,
                     const std::string& de_text, const std::string& dp_text) {
  const std::array<std::tuple<double, std::string_view, const std::string*>, 3> boxes = {
      {{di, "internal shaft", &di_text},
       {de, "external shaft", &de_text},
       {dp, "piston", &dp_text}}};
  for (const auto& [d, name, text] : boxes)
    if (!(d >= 0) || !std::isfinite(d))
      throw RuntimeError("The " + std::string(name) +
                         " diameter must be a number of millimetres from 0 up; its box holds \"" +
                         *text + "\"." + std::string(kNothingStored));
  if (!(dp > di) || !(dp > de))
    throw RuntimeError("The piston must be larger than the shafts: a piston of " + num2str(dp) +
                       " mm with an internal shaft of " + num2str(di) +
                       " mm and an external shaft of " + num2str(de) +
                       " mm leaves no area for the oil to push on." + std::string(kNothingStored));
}

double record_index(double counter) {
  if (!(counter >= 1) || counter != std::floor(counter))
    throw RuntimeError("The curve counter " + num2str(counter) +
                       " is not a whole number from 1 up.");
  return counter;
}

SideSelection read_side(gfx::Model& m, std::string_view bleed_tag, std::string_view spring_tag,
                        std::string_view high_tag, std::string_view valve_tag,
                        std::string_view seat_tag) {
  // The row the popup tagged `tag` shows: its number and its text.
  auto read_popup = [&m](std::string_view tag, double& row, std::string& text) {
    gfx::Control& popup = control_by_tag(m, tag);
    row = popup.value;
    text = selected_row_text(popup);
  };
  SideSelection s;
  read_popup(bleed_tag, s.bleed_value, s.bleed_text);
  read_popup(spring_tag, s.spring, s.spring_text);
  read_popup(high_tag, s.high_value, s.high_text);
  read_popup(valve_tag, s.valve, s.valve_text);
  s.seat_text = control_by_tag(m, seat_tag).string;
  return s;
}

}  // namespace

double high_speed_index(double spring, double n, double row, double threshold) {
  // Spring 1 counts from the row text plus 1, springs 2 and 3 do so only below the threshold
  // row, spring 4 uses entry 1 below row 6.
  if (spring == 1) return n + 1;
  if (spring == 2 || spring == 3) return row < threshold ? n + 1 : n;
  if (spring == 4) return row < 6 ? 1 : n - 2;
  return n;
}

SetupSelection read_setup(gfx::Model& m) {
  SetupSelection s;
  s.motion_ratio_text = control_by_tag(m, "motionratio").string;
  s.compression =
      read_side(m, "LSC", "CompressionSpring", "HSC", "CompressionValve", "valveseatcompression");
  s.rebound = read_side(m, "LSR", "ReboundSpring", "HSR", "ReboundValve", "valveseatrebound");
  m.figure(1);
  s.internal_shaft_text = control_by_tag(m, "internalshaft").string;
  s.external_shaft_text = control_by_tag(m, "externalshaft").string;
  s.piston_text = control_by_tag(m, "piston").string;
  return s;
}

ShimFlow compression_shim_flow(const SideSelection& c, const Globals& g, const BleedData& bleeds) {
  const double hc =
      high_speed_index(c.spring, number_in(c.high_text, "HSC setting"), c.high_value, 2);
  return side_flow(g.compvel, g.compforce, "compvel", "compforce", c.valve, c.spring, hc, bleeds);
}

ShimFlow rebound_shim_flow(const SideSelection& r, const Globals& g, const BleedData& bleeds) {
  const double hr =
      high_speed_index(r.spring, number_in(r.high_text, "HSR setting"), r.high_value, 3);
  return side_flow(g.rebvel, g.rebforce, "rebvel", "rebforce", r.valve, r.spring, hr, bleeds);
}

SideCurve add_bleed(const ShimFlow& flow, const std::string& bleed_text, std::string_view what,
                    const BleedData& bleeds) {
  const double k = number_in(bleed_text, what) + 1;
  const MeasuredCurve& reference = bleed_setting(bleeds, kReferenceBleed);
  const bool is_reference = k == kReferenceBleed;
  return with_bleed(flow, bleeds, is_reference ? reference : bleed_setting(bleeds, k),
                    is_reference);
}

SideCurve synthesise_compression(const SideSelection& c, const Globals& g,
                                 const BleedData& bleeds) {
  number_in(c.bleed_text, "LSC setting");
  return add_bleed(compression_shim_flow(c, g, bleeds), c.bleed_text, "LSC setting", bleeds);
}

SideCurve synthesise_rebound(const SideSelection& r, const Globals& g, const BleedData& bleeds) {
  number_in(r.bleed_text, "LSR setting");
  return add_bleed(rebound_shim_flow(r, g, bleeds), r.bleed_text, "LSR setting", bleeds);
}

// The first legend line of one side after `lead`: valve, seat and spring.
std::string valve_line(std::string lead, std::string_view valve_name, const SideSelection& side) {
  lead.append(valve_name).append("/").append(side.seat_text).append(kDash).append(side.spring_text);
  return lead;
}

// The second legend line of one side: the shim stack, then the low- and high-speed clicks
// with `gap` between them.
std::string clicks_line(const SideSelection& side, std::string_view low, std::string_view gap,
                        std::string_view high) {
  std::string line(kIndent);
  line.append(shim_stack(side.valve_text))
      .append(kDash)
      .append(low)
      .append(side.bleed_text)
      .append(gap)
      .append(high)
      .append(side.high_text);
  return line;
}

SetupScales setup_scales(const SetupSelection& s) {
  SetupScales out;
  out.motionratio = checked_motion_ratio(s.motion_ratio_text);
  const double di = box_number(s.internal_shaft_text, "internal shaft");
  const double de = box_number(s.external_shaft_text, "external shaft");
  const double dp = box_number(s.piston_text, "piston");
  check_diameters(di, de, dp, s.internal_shaft_text, s.external_shaft_text, s.piston_text);
  constexpr double pi = std::numbers::pi;
  const double compression_area = dp * dp * pi / 4 - di * di * pi / 4;
  const double rebound_area = dp * dp * pi / 4 - de * de * pi / 4;
  out.compscale = compression_area / kReferenceArea;
  out.rebscale = rebound_area / kReferenceArea;
  return out;
}

void check_setup(const SetupSelection& s, double record_number) {
  checked_motion_ratio(s.motion_ratio_text);
  record_index(record_number);
  number_in(s.compression.bleed_text, "LSC setting");
  number_in(s.compression.high_text, "HSC setting");
  number_in(s.rebound.bleed_text, "LSR setting");
  number_in(s.rebound.high_text, "HSR setting");
  valve_name(s.compression.valve_text, "compression");
  valve_name(s.rebound.valve_text, "rebound");
}

DamperCurve synthesise_setup(const SetupSelection& s, const Globals& g, const BleedData& bleeds,
                             UnitFactors units, double record_number) {
  check_setup(s, record_number);
  const double i = record_number;
  const SideSelection& c = s.compression;
  const SideSelection& r = s.rebound;
  const std::string cvalve_name = valve_name(c.valve_text, "compression");
  const std::string rvalve_name = valve_name(r.valve_text, "rebound");

  const SideCurve comp = synthesise_compression(c, g, bleeds);
  const SideCurve reb = synthesise_rebound(r, g, bleeds);
  const SetupScales scales = setup_scales(s);

  DamperCurve rec;
  rec.cmpvelocity = comp.velocity;
  rec.cmpforce = comp.force;
  rec.rebvelocity = reb.velocity;
  rec.rebforce.resize(reb.force.size());
  for (std::size_t k = 0; k < reb.force.size(); ++k) rec.rebforce[k] = -1 * reb.force[k];
  rec.compscale = scales.compscale;
  rec.rebscale = scales.rebscale;
  rec.gasforce = 0;
  rec.motionratio = scales.motionratio;
  WheelCurves wheel = wheel_curves(rec, units);
  rec.compression_velocity = std::move(wheel.compression_velocity);
  rec.compression_force = std::move(wheel.compression_force);
  rec.rebound_velocity = std::move(wheel.rebound_velocity);
  rec.rebound_force = std::move(wheel.rebound_force);

  rec.curveIDcompression1 = valve_line(num2str(i).append(kCompLabel), cvalve_name, c);
  rec.curveIDcompression2 = clicks_line(c, kLSC, kCompHighGap, kHSC);
  rec.curveIDrebound1 = valve_line(std::string(kRebLabel), rvalve_name, r);
  rec.curveIDrebound2 = clicks_line(r, kLSR, kShortDash, kHSR);
  rec.curveIDrebound2.append(kMotionRatio)
      .append(s.motion_ratio_text)
      .append(kShortDash)
      .append(s.internal_shaft_text)
      .append("/")
      .append(s.external_shaft_text)
      .append("/")
      .append(s.piston_text);
  return rec;
}

}  // namespace quorin
