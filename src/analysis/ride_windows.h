// The windows of the ride studies: the results of one case for every stored curve (table in
// the curves' colours with the histogram, the kerb trace or the transmissibilities), and the
// grip map. Built in the graphics model like every other window.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/grip_map.h"
#include "analysis/ride_study.h"
#include "services/gfx/model.h"

namespace quorin::analysis {

inline constexpr std::string_view kRideWindowName = "Ride and Grip";
inline constexpr std::string_view kGripWindowName = "Grip Map";
// Tags of the parts of those windows.
inline constexpr std::string_view kRideTableTag = "ridetable";
inline constexpr std::string_view kRidePlotTag = "rideplot";
inline constexpr std::string_view kRideSecondPlotTag = "rideplot2";
inline constexpr std::string_view kGripAxesTag = "gripmap";
inline constexpr std::string_view kGripPointTag = "grippoint";
inline constexpr std::string_view kGripFrontTag = "gripfront";
inline constexpr std::string_view kGripStoredTag = "gripstored";

// The colour stored curve `number` is drawn in on the comparison window.
gfx::Color stored_curve_colour(int number);

// The commands behind the results window's buttons; an empty one leaves its button out.
struct RideCommands {
  std::string copy;       // Copy
  std::string save_road;  // Save road...
};
// Shows the study in its window, opening it when it is not open. Leaves it current.
gfx::Window& show_ride_window(gfx::Model& m, const RideStudy& study, const RideCommands& commands);

// A stored curve on the grip map: its number and where it lands.
struct GripMark {
  int number = 0;
  double tyre_load_rms_n = 0, body_accel_rms = 0;
};
// Shows the map: one point per set-up (the command `click_command(i)` runs when point i is
// clicked), the Pareto front drawn through its points, the stored curves as squares in their
// colours, and a key naming the front's set-ups. Leaves the window current.
gfx::Window& show_grip_window(gfx::Model& m, const GripMap& map,
                              const std::vector<GripMark>& stored, const std::string& caption,
                              const std::function<std::string(std::size_t)>& click_command);

}  // namespace quorin::analysis
