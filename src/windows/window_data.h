// The supplied files a window builder reads (its variable file of stored property values and
// the logo bitmaps), the conversions of those values into typed properties, and the pieces
// every builder shares: colours, axis label texts and the logo.
#pragma once

#include <array>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "services/gfx/model.h"
#include "services/value.h"
#include "windows/window_context.h"

namespace quorin::windows {

// The program's named colours (8-bit components over 255).
namespace colour {
inline constexpr gfx::Color khaki{166 / 255.0, 162 / 255.0, 140 / 255.0};
inline constexpr gfx::Color blue{0 / 255.0, 90 / 255.0, 171 / 255.0};
inline constexpr gfx::Color yellow{248 / 255.0, 190 / 255.0, 44 / 255.0};
inline constexpr gfx::Color white{1, 1, 1};
inline constexpr gfx::Color black{0, 0, 0};
inline constexpr gfx::Color light_grey{240 / 255.0, 240 / 255.0, 240 / 255.0};
inline constexpr gfx::Color grey{192 / 255.0, 192 / 255.0, 192 / 255.0};
inline constexpr gfx::Color dark_red{128 / 255.0, 0, 0};
}  // namespace colour

// Throws RuntimeError naming the file and the folder when `name` is not a readable file in
// `folder`; returns its full path.
std::filesystem::path require_file(const std::filesystem::path& folder, std::string_view name);

// The variables mat0 .. mat<count - 1> of a window's variable file in the start folder (a bare
// name gains ".mat"). Only those names are read; a missing one is an error when it is used.
class WindowData {
 public:
  WindowData(const std::filesystem::path& folder, std::string_view file, int count);
  // Throws RuntimeError naming the variable and the file when the file did not supply it.
  const Value& mat(int n) const;
  const std::string& file_name() const { return file_name_; }

  gfx::Colormap colours(int n) const;          // n by 3 rows of red, green, blue in 0..1
  std::vector<std::string> texts(int n) const;  // popup rows: a cell list of texts
  std::string text(int n) const;
  double number(int n) const;
  gfx::Rect rect(int n) const;                  // [left bottom width height]
  std::array<double, 3> point(int n) const;     // 2 or 3 coordinates
  void picture(int n, gfx::Image& image) const;  // height by width (by 3) colour data

 private:
  std::string file_name_;
  std::map<int, Value> vars_;
};

// Sets the title, x label, y label and z label texts of an axes (created with it): Tag and
// String; further properties are set by the caller on the returned texts.
struct AxisTexts {
  gfx::Text& xlabel;
  gfx::Text& ylabel;
  gfx::Text& zlabel;
  gfx::Text& title;
};
AxisTexts axis_texts(gfx::Model& m, gfx::Axes& axes);
// Empty, black, invisible texts with the given Tags (x label, y label, z label, title).
AxisTexts hidden_axis_texts(gfx::Model& m, gfx::Axes& axes, const std::array<std::string_view, 4>& tags);

// Reads a logo bitmap from the start folder and shows it, colour-scaled, in the window's logo
// axes (Tag "Axes1"), which is then hidden so only the picture remains. Throws RuntimeError
// naming the file and the folder when the bitmap cannot be read.
void show_logo(WindowContext& ctx, gfx::Window& window, std::string_view file);

// Title, x label and y label in "times" 10 italic on an axes, made current first.
void annotate_axes(WindowContext& ctx, gfx::Handle axes, std::string_view title,
                   std::string_view xlabel, std::string_view ylabel);

// The plot windows (comparison and turn windows) share one frame: 600 by 450 points at
// [150 75] on the screen, khaki, the colour map `mat0`, no menu or tool bar, A4 landscape
// paper. `kPlotWindowPosition` is set again once the window is built.
inline constexpr gfx::Rect kPlotWindowPosition{150, 75, 600, 450};  // points
gfx::Window& new_plot_window(gfx::Model& m, const WindowData& data, std::string_view name);

// The legend right of the comparison plot names each set-up in four lines, the last of them
// (rebound shims, clicks, motion ratio and diameters) the longest: the stored 600 pt wide
// layout cuts it off. The comparison window is wider instead (points).
inline constexpr gfx::Rect kComparisonPosition{kPlotWindowPosition.left, kPlotWindowPosition.bottom,
                                               750, kPlotWindowPosition.height};
// The least size of the plot windows (points): below it the plot's labels and the legend no
// longer show whole and apart. The comparison window's legend needs more room.
inline constexpr double kPlotWindowMinWidth = 480, kPlotWindowMinHeight = 300;
inline constexpr double kComparisonMinWidth = 600, kComparisonMinHeight = 360;

// The first places of the main window (`main`, pixels) and of the comparison window beside it
// where the screen has room for both: {main, comparison in points}; nullopt where it has not,
// and both keep their built places.
struct FirstPlaces {
  gfx::Rect main, comparison;
};
std::optional<FirstPlaces> first_places(const gfx::Rect& main, const gfx::Rect& screen);

// Two plot windows side by side along the top of the screen, each narrowed alike (not below
// the plot windows' least size) where the screen is too small for both; left where they are
// when even that does not fit.
void place_side_by_side(gfx::Model& m, gfx::Window& left, gfx::Window& right);

// A "Compression" or "Rebound" caption in a plot corner: white static text, "times" italic,
// left aligned, normalized units, Tag "StaticText1"; font size 0 keeps the default.
gfx::Control& plot_caption(gfx::Model& m, gfx::Window& w, std::string_view s, const gfx::Rect& pos,
                           double font_size);

// The logo axes (Tag "Axes1") of a window with its stored picture (Tag "Axes1Image1"):
// boxed, white, limits fitted to a width by height picture with the first row on top, the
// colour order and picture from the window's variables, and hidden until the logo bitmap
// replaces the picture.
struct LogoAxes {
  gfx::Units units;
  gfx::Rect position;
  std::size_t width, height;
  int color_order_var, picture_var;
};
gfx::Axes& logo_axes(gfx::Model& m, gfx::Window& w, const WindowData& data, const LogoAxes& spec);

// The axes with this Tag in the current window; throws RuntimeError naming the Tag.
gfx::Axes& axes_by_tag(gfx::Model& m, std::string_view tag);

}  // namespace quorin::windows
