// The ride items of the comparison window's menu: what each stored curve does to a car's
// corner on a road, over a kerb or on the shaker, the grip map of a clicker sweep, and the
// batch study of a list of set-ups. The corner and the cases asked for are kept between
// sessions.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/grip_map.h"
#include "analysis/ride_study.h"

namespace quorin {

class Program;

// Settings keys of the corner and the cases, under "ride/".
inline constexpr std::string_view kRideSettingsPrefix = "ride/";

class RideTools {
 public:
  explicit RideTools(Program& program) : p_(program) {}

  // Ride and grip: asks for the corner and the case, runs it for every stored curve and
  // shows the results window. Throws RuntimeError.
  void ride();
  // Copies the results table shown, tab-separated.
  void copy();
  // Saves the class road of the results shown as a road file, through the file dialog.
  void save_road();
  // Grip map: asks for the corner, the sweep and the road, maps the sweep (with the progress
  // window) and shows it.
  void grip();
  // Sets the main window's clicks to point `index` (0-based, as text) of the grip map shown.
  void grip_click(const std::string& index);
  // A batch study without windows: KEY=VALUE words (see docs/scripting.md); writes the CSV
  // named by out=. Returns how many set-ups were run.
  std::size_t batch(std::string_view words);

  const std::optional<analysis::RideStudy>& last_study() const { return study_; }
  const std::optional<analysis::GripMap>& last_map() const { return map_; }

 private:
  std::string kept(std::string_view key, std::string_view fallback) const;
  void keep(std::string_view key, const std::string& text);
  analysis::ClickRows click_rows();

  Program& p_;
  std::optional<analysis::RideStudy> study_;
  std::optional<analysis::RoadProfile> road_;  // the road of the study shown
  std::optional<analysis::GripMap> map_;
};

}  // namespace quorin
