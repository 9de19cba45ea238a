// Raw dyno runs and logger files as delimited text: a header line naming the columns (with
// their units), then rows of numbers separated by commas, semicolons or tabs, with a decimal
// point or a decimal comma. Everything read is held in SI: seconds, metres, newtons, metres
// per second and degrees Celsius.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "services/file_io.h"

namespace quorin::measured {

// The largest run or logger file read: a long logger session at 1 kHz on many channels is far
// below it.
inline constexpr ReadLimit kRunFileLimit{"run file", std::uintmax_t{512} << 20};

// What a column holds.
enum class Quantity { Unknown, Ignore, Time, Displacement, Force, Velocity, Temperature, Run };

// A column's unit: SI value = number * scale + offset.
struct ColumnUnit {
  double scale = 1, offset = 0;
  std::string text;  // as the header spells it; empty when it names none
};

// One column as the header names it and as it is read.
struct Column {
  std::string header;  // the header cell as written
  Quantity quantity = Quantity::Unknown;
  ColumnUnit unit;
  // For logger files: the corner a position or velocity column belongs to (0..3: front left,
  // front right, rear left, rear right), or -1.
  int corner = -1;
};

// What the header line of a delimited file says: the separator, the decimal mark and the
// columns as recognised from their names (Unknown where a name says nothing known).
struct Layout {
  char delimiter = ',';
  bool decimal_comma = false;
  std::size_t header_line = 0;  // 1-based
  std::vector<Column> columns;
};

// Reads the layout of `text`. Throws RuntimeError when there is no header line or a unit in
// it is not known ("Line 1: the unit \"furlong\" of column \"Force (furlong)\" is not a force
// unit; use N, kN, kgf or lbf.").
Layout read_layout(std::string_view text);

// The quantity and unit a header cell names, as read_layout recognises it.
Column recognise_column(std::string_view header);
// The quantity's name as the program asks for it ("Time (s)", "Displacement (mm)", ...).
std::string_view quantity_label(Quantity q);
// The quantities a column can be told to be, for the question asked when one is not known.
std::vector<Quantity> askable_quantities();
// The quantity whose label is `label`; Unknown for none.
Quantity quantity_labelled(std::string_view label);

// One run: samples in file order. velocity and temperature are empty when the file has none.
struct Run {
  std::string name;            // the run column's value, or its number in the file
  std::size_t first_line = 0;  // 1-based line of its first sample
  std::vector<double> time_s, displacement_m, force_n, velocity_mps, temperature_c;
};

struct RunFile {
  Layout layout;
  std::vector<Run> runs;
  // What was left out and why, one line each ("Run 2: time jumps by 0.5 s at line 812, ...").
  std::vector<std::string> notes;
};

// Reads a run file's text with `layout` (from read_layout, with the unknown columns told).
// Runs are split by a run column where there is one, else by blank lines. Rows are refused
// with their line and the reason: a cell that is not a number, NaN or infinity, the wrong
// number of cells, time that does not rise within a run; a file with no rows is refused.
// A jump in time of more than ten times the run's usual step leaves the shorter side of the
// run out, with a note. Throws RuntimeError naming the file `name`.
RunFile read_runs(std::string_view text, const Layout& layout, std::string_view name);

// The file at `path` as text, with the limits every reader keeps (regular files only, the
// size limit, never waiting on a FIFO). Throws RuntimeError.
std::string run_file_text(const std::filesystem::path& path);

// Logged track data: time and one damper channel (position or velocity) per corner.
struct TrackChannel {
  int corner = 0;               // 0..3
  bool is_velocity = false;     // else a position
  std::vector<double> samples;  // m or m/s
};
struct TrackFile {
  std::vector<double> time_s;
  std::vector<TrackChannel> channels;  // in corner order, at most one per corner
};
// Reads a logger file: a time column and position or velocity columns named after the
// corners (FL/LF, FR/RF, RL/LR, RR). Throws RuntimeError as read_runs does, and when no
// corner's channel is found.
TrackFile read_track(std::string_view text, const Layout& layout, std::string_view name);

// Names of the four corners as the program shows them.
inline constexpr std::string_view kCornerNames[4] = {"Front left", "Front right", "Rear left",
                                                     "Rear right"};

}  // namespace quorin::measured
