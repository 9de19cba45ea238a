// The windows of measured data: the dyno run (loops per speed, the peak-velocity curve with its
// spread, the absolute-velocity curve, gas force and friction found, a table per run), the
// whole set-up fitted to the dyno curve, the track data's velocity histograms, and the track
// data's bands shaded along the comparison window's velocity axis. Built in the graphics
// model like every other window.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/curve_points.h"
#include "analysis/tuning.h"
#include "measured/processing.h"
#include "measured/track.h"
#include "services/gfx/model.h"

namespace quorin::analysis {

inline constexpr std::string_view kDynoRunWindowName = "Dyno Run";
inline constexpr std::string_view kWholeSetupWindowName = "Whole Set-up Fitted to the Dyno Curve";
inline constexpr std::string_view kTrackWindowName = "Track Data";
// Tags of the axes, tables and buttons in those windows, and of the bands.
inline constexpr std::string_view kLoopsForceDisplacementTag = "loopsfx";
inline constexpr std::string_view kLoopsForceVelocityTag = "loopsfv";
inline constexpr std::string_view kPeakCurveTag = "peakcurve";
inline constexpr std::string_view kDynoRunTableTag = "dynoruntable";
inline constexpr std::string_view kWholeSetupTableTag = "wholesetuptable";
inline constexpr std::string_view kTrackTableTag = "tracktable";
inline constexpr std::string_view kTrackBandTag = "trackband";

// What the dyno run window shows: the file worked through, which corrections were taken off
// the extracted curve, and that curve.
struct DynoRunShown {
  std::string file;
  measured::Processed processed;
  bool less_gas = true, less_friction = true;
  measured::ExtractedCurve curve;
  std::vector<std::string> notes;  // from reading and working through
};

// The figures as tab-separated lines in the units shown: the gas force and friction found,
// then one line per run (speed, compression and rebound peak points with their spread, the
// energy per cycle, the temperature).
std::string dyno_run_tsv(const DynoRunShown& run, const ShownUnits& units);

// The dyno run window. `copy_command` runs from its Copy button. Leaves the window current.
gfx::Window& show_dyno_run_window(gfx::Model& m, const DynoRunShown& run, const ShownUnits& units,
                                  const std::string& copy_command);

// The whole set-up window: per side searched a table of the best candidates (valve, spring,
// clicks, RMS error) and the best of each side drawn over the measured points. `use_command`
// runs from the button that sets all of them in the main window.
gfx::Window& show_whole_setup_window(gfx::Model& m, const WholeSetup& found,
                                     const MeasuredSides& measured,
                                     const std::array<std::vector<double>, 4>& best_curves,
                                     const ShownUnits& units, bool si,
                                     const std::string& use_command);

// The track data window: per corner the percent of time in each band, compression and rebound
// apart, and the speeds below which 50, 90 and 99 % of the time is spent.
gfx::Window& show_track_window(gfx::Model& m, const std::vector<measured::CornerHistogram>& h,
                               const ShownUnits& units, const std::string& file);
std::string track_tsv(const std::vector<measured::CornerHistogram>& h, const ShownUnits& units);

// Shades, along the bottom of `axes`, one strip per corner from 0 to the speed below which 50,
// 90 and 99 % of its time is spent, darker the more often the car is there, each labelled
// with its corner; strips drawn before are replaced. With no corners the strips are only
// removed. Velocities in the units shown.
void draw_track_bands(gfx::Model& m, gfx::Axes& axes,
                      const std::vector<measured::CornerHistogram>& h, const ShownUnits& units);
std::vector<gfx::Object*> track_band_objects(gfx::Model& m, const gfx::Axes& axes);

}  // namespace quorin::analysis
