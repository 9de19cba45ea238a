// Text curves: import and export.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "plotting/plotfunction.h"
#include "plotting/overlays.h"
#include "processor/export_grid.h"
#include "processor/processor.h"
#include "services/file_io.h"
#include "services/mapped_file.h"
#include "services/numeric.h"
#include "services/runtime_error.h"

namespace quorin::actions {
namespace {

constexpr int kMainWindow = 1;
constexpr int kComparisonWindow = 2;

constexpr std::string_view kImportPattern = "*.txt";
constexpr std::string_view kImportTitle = "Select an Import File...";

constexpr std::string_view kExportFile = "export.txt";
constexpr double kExportPause = 0.8;  // seconds with the busy pointer before writing
constexpr std::string_view kCompressionIndent = "   ";


// Puts the busy pointer on the main window and takes it off again however the export ends.
class BusyMainWindow {
 public:
  explicit BusyMainWindow(gfx::Model& m) : m_(m) { set("watch"); }
  ~BusyMainWindow() { set("arrow"); }
  BusyMainWindow(const BusyMainWindow&) = delete;
  BusyMainWindow& operator=(const BusyMainWindow&) = delete;

 private:
  void set(const char* pointer) {
    if (gfx::Window* w = m_.window(kMainWindow)) {
      w->pointer = pointer;
      m_.touch();
    }
  }
  gfx::Model& m_;
};

// Fixed-point with `decimals` decimals and no field width, independent of the locale.
void append_fixed(std::string& out, double v, int decimals) {
  std::array<char, 400> buf{};
  const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), v, std::chars_format::fixed,
                               decimals);
  out.append(buf.data(), r.ptr);
}

// The force at the first sample whose velocity is strictly above v; nullopt when none is.
std::optional<double> force_above(const std::vector<double>& velocity,
                                  const std::vector<double>& force, double v) {
  const std::size_t n = std::min(velocity.size(), force.size());
  for (std::size_t k = 0; k < n; ++k)
    if (velocity[k] > v) return force[k];
  return std::nullopt;
}

// The whole entry of one curve: an empty line, the four ID lines (compression lines indented
// by three blanks), an empty line and one line per grid velocity.
std::string export_entry(const DamperCurve& rec, std::size_t number, UnitFactors units, bool us) {
  const WheelCurves w = wheel_curves(rec, units);
  const std::span<const double> grid = us ? std::span<const double>(kUSGrid) : kMetricGrid;
  const std::string_view grid_unit = us ? "in/s" : "m/s";

  std::string entry = "\n";
  entry.append(kCompressionIndent).append(rec.curveIDcompression1).append("\n");
  entry.append(kCompressionIndent).append(rec.curveIDcompression2).append("\n");
  entry.append(rec.curveIDrebound1).append("\n");
  entry.append(rec.curveIDrebound2).append("\n");
  entry.append("\n");
  for (double v : grid) {
    const auto compression = force_above(w.compression_velocity, w.compression_force, v);
    const auto rebound = force_above(w.rebound_velocity, w.rebound_force, v);
    if (!compression || !rebound)
      throw RuntimeError("Curve " + std::to_string(number) + " does not reach " + num2str(v) +
                         " " + std::string(grid_unit) + " in " +
                         (compression ? "rebound" : "compression") + "; nothing was exported.");
    append_fixed(entry, v, 3);
    entry += '\t';
    append_fixed(entry, *compression, 5);
    entry += '\t';
    append_fixed(entry, *rebound, 5);
    entry += '\n';
  }
  return entry;
}

}  // namespace

void import(Processor& p) {
  Globals& g = p.g;
  gfx::Model& m = p.gfx;
  const std::string filter = g.pn.value_or(std::string()) + std::string(kImportPattern);
  const DialogResult answer = p.dialogs.open_file(filter, std::string(kImportTitle));
  if (answer.cancelled) {
    g.fn.reset();
    g.pn.reset();
    return;
  }
  g.fn = answer.file;
  g.pn = answer.folder;

  // The file is checked whole before it replaces the import curve, so a bad file leaves the
  // held curve drawable.
  const std::string name = answer.folder + answer.file;
  // The text is read where it lies in the file cache and let go before the curve is drawn:
  // an import of a million rows is tens of MB.
  std::optional<Matrix> matrix;
  {
    const MappedText text(std::filesystem::path(name), kImportFileLimit);
    matrix = str2matrix(text.text());
    text.check_whole();
  }
  if (!matrix)
    throw RuntimeError("The import file \"" + name +
                       "\" is not a matrix of numbers; the import curve is unchanged.");
  if (!is_import_curve(*matrix))
    throw RuntimeError("The import file \"" + name + "\" holds a " + std::to_string(matrix->rows) +
                       " by " + std::to_string(matrix->cols) +
                       " matrix; it needs rows of velocity, compression force and rebound "
                       "force. The import curve is unchanged.");
  g.import = std::move(*matrix);

  gfx::Window& plot_window = m.figure(kComparisonWindow);
  m.set_current_axes(g.plothandle);
  gfx::Axes& axes = m.get<gfx::Axes>(g.plothandle);
  draw_import_curve(m, axes, g.import);
  finish_overlay(plot_window, axes, g.xmin, g.xmax, g.ymin, g.ymax);
  m.touch();
  m.figure(kMainWindow);
}

void export_curve(Processor& p) {
  Globals& g = p.g;
  gfx::Model& m = p.gfx;
  m.figure(kMainWindow);
  const std::string text = control_by_tag(m, "plotindex").string;
  const std::optional<double> index = str2double(text);
  if (!index) throw RuntimeError("The plot number \"" + text + "\" is not a number.");
  if (*index > g.counter - 1) require_stored_curve(*index, g.counter, "export");
  if (!(*index >= 1) || *index != std::floor(*index))
    throw RuntimeError("The plot number " + text + " is not a curve number from 1 up.");
  const auto number = static_cast<std::size_t>(*index);
  if (number > g.plotdata.size())
    throw RuntimeError("plotdata has no curve " + std::to_string(number) + ".");

  BusyMainWindow busy(m);
  m.pause(kExportPause);
  const std::filesystem::path file = g.directory + std::string(kExportFile);
  if (!std::filesystem::is_regular_file(file)) {
    const std::string what = what_is_at(file);
    throw RuntimeError("The export file \"" + file.string() + "\" " +
                       (what == "missing" ? std::string("does not exist")
                                          : "is " + what + ", not a regular file") +
                       "; nothing was exported.");
  }
  // The whole entry is made before the file is touched, so a curve that cannot be sampled
  // leaves the file as it was. The grid and the forces are both in the units the main window
  // shows now, whatever units the curve was drawn in when it was stored.
  const bool us = g.usunits == 1;
  const std::string entry =
      export_entry(g.plotdata[number - 1], number, us ? kUSFactors : kSIFactors, us);
  append_whole(file, entry);
  m.figure(kMainWindow);
}

}  // namespace quorin::actions
