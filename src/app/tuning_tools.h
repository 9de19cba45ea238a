// The tuning items of the comparison window's menu: the clicker sweep, the closest set-up to
// the dyno curve and the error of the stored curves against it, the damping guides behind
// the curves and the damping ratio window. The corner's sprung mass and wheel rate are kept
// between sessions.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "analysis/tuning.h"

namespace quorin {

class Program;

// Settings keys of the corner the damping guides are drawn for.
inline constexpr std::string_view kSprungMassKey = "tuning/sprung_mass_kg";
inline constexpr std::string_view kWheelRateKey = "tuning/wheel_rate_n_per_mm";

class TuningTools {
 public:
  explicit TuningTools(Program& program) : p_(program) {}

  // Draws the damping guides again when they are on (after every command, since a redraw of
  // the comparison window clears its axes), or removes them when they are off.
  void apply_guides();

  // The corner the guides are drawn for while they are on.
  struct Corner {
    double mass_kg = 0, rate_n_per_mm = 0;
  };
  const std::optional<Corner>& guides() const { return guides_; }
  // Draws the guides for this corner from the next command on (none: no guides).
  void set_guides(std::optional<Corner> corner) { guides_ = corner; }
  // The last sweep and search shown (what Copy and Set best clicks work on).
  const std::optional<analysis::ClickerSweep>& last_sweep() const { return sweep_; }
  const std::optional<analysis::ClosestSetup>& last_search() const { return closest_; }

  // The tuning items of the comparison window's menu and tool windows. Throw RuntimeError.
  void sweep();
  void copy_sweep();
  void closest();
  void use_best();
  void dyno_error();
  void ask_guides();
  void ratio();

  // The held dyno curve split into its sides in the units shown. Throws RuntimeError when no
  // dyno curve is held or it has no points off zero force.
  analysis::MeasuredSides held_dyno_curve(bool si);

 private:
  // Asks for the corner's mass and rate (the kept values first); nothing when cancelled.
  std::optional<Corner> ask_corner(const std::string& title, bool with_show, bool& show);
  bool si_shown();

  Program& p_;
  std::optional<analysis::ClickerSweep> sweep_;
  std::optional<analysis::ClosestSetup> closest_;
  std::optional<Corner> guides_;
  // What the guides in the comparison axes were drawn for: c_c, the units, the limits.
  std::array<double, 6> drawn_for_{};
};

}  // namespace quorin
