// The measured-data items of the comparison window's menu: a raw dyno run read and worked
// through, its curve overlaid as the dyno curve, its window and figures; the whole set-up
// fitted to the dyno curve; logged track data with its bands on the velocity axis. The
// columns a user told for a file's header are kept between sessions.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "analysis/measured_windows.h"
#include "analysis/tuning.h"
#include "measured/run_file.h"
#include "measured/track.h"

namespace quorin {

class Program;

// Settings key prefix of the columns told for a header line.
inline constexpr std::string_view kColumnsKey = "measured/columns_";

class MeasuredTools {
 public:
  explicit MeasuredTools(Program& program) : p_(program) {}

  // The menu items. Throw RuntimeError.
  void read_run();         // file dialog, the columns it cannot name, the corrections
  void show_run_window();  // the last run read
  void copy_figures();
  void whole_setup();      // asks which sides, searches, shows its window
  void use_whole_setup();  // sets valves, springs and clicks in the main window
  void read_track();       // file dialog
  void hide_track_bands();

  // The same without the file dialogs, for the script driver: read `file`, work it through and
  // overlay its curve. False when the question of its columns was cancelled (nothing read).
  // Throws RuntimeError.
  bool load_run(const std::filesystem::path& file, bool less_gas, bool less_friction);
  bool load_track(const std::filesystem::path& file);
  void fit(bool compression, bool rebound);

  // Draws the track bands again when they are shown (after every command: a redraw of the
  // comparison window clears its axes), or removes them.
  void apply_track_bands();

  const std::optional<analysis::DynoRunShown>& last_run() const { return run_; }
  const std::optional<analysis::WholeSetup>& last_fit() const { return fit_; }
  const std::vector<measured::CornerHistogram>& track() const { return track_; }
  bool bands_shown() const { return bands_shown_; }

 private:
  // The layout of a file's text with every column named: unknown columns are asked for (the
  // answers kept for the next file with the same header); nullopt when the user cancelled.
  std::optional<measured::Layout> named_layout(const std::string& text, const std::string& file,
                                               bool ask);
  void overlay_curve();
  bool si_shown();

  Program& p_;
  std::optional<analysis::DynoRunShown> run_;
  std::optional<analysis::WholeSetup> fit_;
  std::vector<measured::CornerHistogram> track_;
  bool bands_shown_ = false;
  std::array<double, 6> bands_drawn_for_{};
};

}  // namespace quorin
