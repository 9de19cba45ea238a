// "view": synthesises the compression and rebound curves of the selected set-up, stores them
// as record `counter` of plotdata and redraws the comparison window.
#include <array>
#include <cmath>
#include <numbers>
#include <string>
#include <tuple>

#include "plotting/plotfunction.h"
#include "processor/bleed_data.h"
#include "processor/processor.h"
#include "processor/resample.h"
#include "services/numeric.h"
#include "services/runtime_error.h"

namespace quorin::actions {
namespace {

// Effective area of the damper the valving tables were measured on: piston 40 mm, shafts
// 12 mm, in square millimetres.
constexpr double kReferenceArea = 1143.5397259066847;
// Bleed setting the valving tables were measured with.
constexpr double kReferenceBleed = 11;
// At most this many curves are overlaid.
constexpr double kOverlayLimit = 7;
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

// Puts the busy pointer on the window the action started in and takes it off again however
// the action ends.
class BusyPointer {
 public:
  explicit BusyPointer(gfx::Model& m) : m_(m) {
    if (gfx::Window* w = m.current_window()) {
      number_ = w->number;
      w->pointer = "watch";
      m.touch();
    }
  }
  ~BusyPointer() {
    if (gfx::Window* w = number_ ? m_.window(number_) : nullptr) {
      w->pointer = "arrow";
      m_.touch();
    }
  }
  BusyPointer(const BusyPointer&) = delete;
  BusyPointer& operator=(const BusyPointer&) = delete;

 private:
  gfx::Model& m_;
  int number_ = 0;
};

// One side's selections as read from the main window.
struct SideSelection {
  double valve = 0, spring = 0, high_value = 0;
  std::string valve_text, seat_text, spring_text, bleed_text, high_text;
};

double number_in(const std::string& text, std::string_view what) {
  const auto n = str2double(text);
  if (!n) throw RuntimeError("The " + std::string(what) + " \"" + text + "\" is not a number.");
  return *n;
}

// The high-speed index into the valving table: spring 1 counts from the row text plus 1,
// springs 2 and 3 do so only below the threshold row, spring 4 uses entry 1 below row 6.
double high_speed_index(double spring, double n, double row, double threshold) {
  if (spring == 1) return n + 1;
  if (spring == 2 || spring == 3) return row < threshold ? n + 1 : n;
  if (spring == 4) return row < 6 ? 1 : n - 2;
  return n;
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
  if (!row) throw RuntimeError("The valving table has no entry " + entry_name(table, v, s, h) + ".");
  return *row;
}

const MeasuredCurve& bleed_setting(const BleedData& bleeds, double k) {
  const MeasuredCurve* c = bleeds.setting(k);
  if (!c || c->velocity.empty() || c->force.empty())
    throw RuntimeError("The bleed data have no entry bleedvel(" + num2str(k) + ").");
  return *c;
}

// Velocity at each whole newton of the selected valve curve with the reference bleed replaced
// by the selected one: shim flow = measured - reference bleed, straightened at low force,
// plus the selected bleed.
struct SideCurve {
  std::vector<double> velocity, force;
};

SideCurve synthesise(const std::vector<double>& measured_velocity,
                     const std::vector<double>& measured_force, const std::string& force_entry,
                     const MeasuredCurve& reference, const MeasuredCurve& selected) {
  if (measured_force.back() < kLowestTopForce)
    throw RuntimeError("The valving table entry " + force_entry + " ends at " +
                       num2str(measured_force.back()) + " N; a curve must reach " +
                       num2str(kLowestTopForce) + " N.");
  SideCurve out;
  const double top = std::floor(measured_force.back());
  out.force.resize(static_cast<std::size_t>(top) + 1);
  for (std::size_t k = 0; k < out.force.size(); ++k) out.force[k] = static_cast<double>(k);

  const std::vector<double> measured = curve(measured_velocity, measured_force, out.force).xspline;
  const std::vector<double> reference_bleed =
      bleed(reference.velocity, reference.force, out.force).xspline;
  const std::vector<double> selected_bleed =
      &selected == &reference ? reference_bleed
                              : bleed(selected.velocity, selected.force, out.force).xspline;
  std::vector<double> shim(measured.size());
  for (std::size_t k = 0; k < shim.size(); ++k) shim[k] = measured[k] - reference_bleed[k];
  shim = correction(std::move(shim));
  out.velocity.resize(shim.size());
  for (std::size_t k = 0; k < shim.size(); ++k) out.velocity[k] = shim[k] + selected_bleed[k];
  return out;
}

SideCurve side_curve(const ValvingTable& vel, const ValvingTable& force, std::string_view vel_name,
                     std::string_view force_name, double v, double s, double h,
                     const BleedData& bleeds, double k) {
  const std::vector<double>& measured_velocity = table_entry(vel, vel_name, v, s, h);
  const std::vector<double>& measured_force = table_entry(force, force_name, v, s, h);
  const MeasuredCurve& reference = bleed_setting(bleeds, kReferenceBleed);
  const MeasuredCurve& selected = k == kReferenceBleed ? reference : bleed_setting(bleeds, k);
  return synthesise(measured_velocity, measured_force, entry_name(force_name, v, s, h), reference,
                    selected);
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

double box_number(gfx::Model& m, std::string_view tag, std::string_view name, std::string& text) {
  text = control_by_tag(m, tag).string;
  const auto n = str2double(text);
  if (!n) throw RuntimeError("The " + std::string(name) + " box does not hold a number.");
  return *n;
}

// Refused set-ups store nothing; the message ends by saying so.
constexpr std::string_view kNothingStored = " No curve was stored.";

// The motion ratio scales velocities up and forces down: it must be a finite number above 0.
void check_motion_ratio(double motion_ratio, const std::string& text) {
  if (!(motion_ratio > 0) || !std::isfinite(motion_ratio))
    throw RuntimeError(
        "The motion ratio must be a number greater than 0 (wheel travel over "
        "damper travel); the motionratio box holds \"" +
        text + "\"." + std::string(kNothingStored));
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
    throw RuntimeError("The curve counter " + num2str(counter) + " is not a whole number from 1 up.");
  return counter;
}

}  // namespace

void view(Processor& p) {
  Globals& g = p.g;
  if (g.counter > kOverlayLimit) {
    p.warningct();
    return;
  }
  BusyPointer busy(p.gfx);
  gfx::Model& m = p.gfx;

  // The selections, as the main window shows them.
  g.mrstr = control_by_tag(m, "motionratio").string;
  const auto motion_ratio = str2double(g.mrstr);

  SideSelection c, r;
  gfx::Control& lsc = control_by_tag(m, "LSC");
  g.cbleedvalue = lsc.value;
  g.cbleed = c.bleed_text = selected_row_text(lsc);
  gfx::Control& cspring = control_by_tag(m, "CompressionSpring");
  c.spring = cspring.value;
  g.cspring = c.spring_text = selected_row_text(cspring);
  gfx::Control& hsc = control_by_tag(m, "HSC");
  c.high_value = hsc.value;
  g.chigh = c.high_text = selected_row_text(hsc);
  gfx::Control& cvalve = control_by_tag(m, "CompressionValve");
  c.valve = cvalve.value;
  g.cvalve = c.valve_text = selected_row_text(cvalve);
  c.seat_text = control_by_tag(m, "valveseatcompression").string;

  g.rbleed = r.bleed_text = selected_row_text(control_by_tag(m, "LSR"));
  gfx::Control& rspring = control_by_tag(m, "ReboundSpring");
  r.spring = rspring.value;
  g.rspring = r.spring_text = selected_row_text(rspring);
  gfx::Control& hsr = control_by_tag(m, "HSR");
  r.high_value = hsr.value;
  g.rhigh = r.high_text = selected_row_text(hsr);
  gfx::Control& rvalve = control_by_tag(m, "ReboundValve");
  r.valve = rvalve.value;
  g.rvalve = r.valve_text = selected_row_text(rvalve);
  r.seat_text = control_by_tag(m, "valveseatrebound").string;

  // Everything is checked and computed before the record is stored, so a failure leaves the
  // stored curves and the counters as they were.
  if (!motion_ratio) throw RuntimeError("The motion ratio box does not hold a number.");
  check_motion_ratio(*motion_ratio, g.mrstr);
  const double i = record_index(g.counter);
  const double kc = number_in(c.bleed_text, "LSC setting") + 1;
  const double hc = high_speed_index(c.spring, number_in(c.high_text, "HSC setting"),
                                     c.high_value, 2);
  const double kr = number_in(r.bleed_text, "LSR setting") + 1;
  const double hr = high_speed_index(r.spring, number_in(r.high_text, "HSR setting"),
                                     r.high_value, 3);
  const std::string cvalve_name = valve_name(c.valve_text, "compression");
  const std::string rvalve_name = valve_name(r.valve_text, "rebound");

  const BleedData fresh_bleeds = p.bleed_cache ? BleedData{} : read_bleed_data(p.current_folder);
  const BleedData& bleeds = p.bleed_cache ? p.bleed_cache->get(p.current_folder) : fresh_bleeds;

  const SideCurve comp = side_curve(g.compvel, g.compforce, "compvel", "compforce", c.valve,
                                    c.spring, hc, bleeds, kc);
  const SideCurve reb =
      side_curve(g.rebvel, g.rebforce, "rebvel", "rebforce", r.valve, r.spring, hr, bleeds, kr);

  m.figure(1);
  std::string di_text, de_text, dp_text;
  const double di = box_number(m, "internalshaft", "internal shaft", di_text);
  const double de = box_number(m, "externalshaft", "external shaft", de_text);
  const double dp = box_number(m, "piston", "piston", dp_text);
  check_diameters(di, de, dp, di_text, de_text, dp_text);

  constexpr double pi = std::numbers::pi;
  const double compression_area = dp * dp * pi / 4 - di * di * pi / 4;
  const double rebound_area = dp * dp * pi / 4 - de * de * pi / 4;
  const UnitFactors units = g.siunits == 1 ? kSIFactors : kUSFactors;

  DamperCurve rec;
  rec.cmpvelocity = comp.velocity;
  rec.cmpforce = comp.force;
  rec.rebvelocity = reb.velocity;
  rec.rebforce.resize(reb.force.size());
  for (std::size_t k = 0; k < reb.force.size(); ++k) rec.rebforce[k] = -1 * reb.force[k];
  rec.compscale = compression_area / kReferenceArea;
  rec.rebscale = rebound_area / kReferenceArea;
  rec.gasforce = 0;
  rec.motionratio = *motion_ratio;
  WheelCurves wheel = wheel_curves(rec, units);
  rec.compression_velocity = std::move(wheel.compression_velocity);
  rec.compression_force = std::move(wheel.compression_force);
  rec.rebound_velocity = std::move(wheel.rebound_velocity);
  rec.rebound_force = std::move(wheel.rebound_force);

  rec.curveIDcompression1 = num2str(i);
  rec.curveIDcompression1.append(kCompLabel)
      .append(cvalve_name)
      .append("/")
      .append(c.seat_text)
      .append(kDash)
      .append(c.spring_text);
  rec.curveIDcompression2 = std::string(kIndent);
  rec.curveIDcompression2.append(shim_stack(c.valve_text))
      .append(kDash)
      .append(kLSC)
      .append(c.bleed_text)
      .append(kCompHighGap)
      .append(kHSC)
      .append(c.high_text);
  rec.curveIDrebound1 = std::string(kRebLabel);
  rec.curveIDrebound1.append(rvalve_name)
      .append("/")
      .append(r.seat_text)
      .append(kDash)
      .append(r.spring_text);
  rec.curveIDrebound2 = std::string(kIndent);
  rec.curveIDrebound2.append(shim_stack(r.valve_text))
      .append(kDash)
      .append(kLSR)
      .append(r.bleed_text)
      .append(kShortDash)
      .append(kHSR)
      .append(r.high_text)
      .append(kMotionRatio)
      .append(g.mrstr)
      .append(kShortDash)
      .append(di_text)
      .append("/")
      .append(de_text)
      .append("/")
      .append(dp_text);

  // Store: elements at or above counter are stale and are overwritten.
  g.sitous_vel = units.velocity;
  g.sitous_force = units.force;
  const auto index = static_cast<std::size_t>(i);
  if (g.plotdata.size() < index) g.plotdata.resize(index);
  g.plotdata[index - 1] = std::move(rec);
  g.counter += 1;
  g.counter2 += 1;

  plotfunction(m, g.plotdata, g.plothandle, g.IDhandle, g.counter, g.import, g.ShockData,
               &p.console);
  if (gfx::Window* w = m.current_window()) w->pointer = "arrow";
}

}  // namespace quorin::actions
