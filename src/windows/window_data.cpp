#include "windows/window_data.h"

#include <fstream>

#include "annotation/imagesc.h"
#include "annotation/imread.h"
#include "annotation/title.h"
#include "services/gfx/window_places.h"
#include "services/runtime_error.h"
#include "services/varfile.h"

namespace quorin::windows {
namespace fs = std::filesystem;

fs::path require_file(const fs::path& folder, std::string_view name) {
  const fs::path full = folder / fs::path(name);
  std::error_code ec;
  const std::string where = "the start folder \"" + folder.string() + "\"";
  if (!fs::exists(full, ec))
    throw RuntimeError("File \"" + std::string(name) + "\" does not exist in " + where + ".");
  if (!fs::is_regular_file(full, ec) || !std::ifstream(full, std::ios::binary))
    throw RuntimeError("Can't open file \"" + std::string(name) + "\" in " + where +
                       " for reading;\nyou may not have read permission.");
  return full;
}

WindowData::WindowData(const fs::path& folder, std::string_view file, int count)
    : file_name_(varfile_path(fs::path(file)).string()) {
  std::vector<std::string> wanted;
  for (int i = 0; i < count; ++i) wanted.push_back("mat" + std::to_string(i));
  const fs::path full = require_file(folder, file_name_);
  for (auto& [name, value] : load_variables(full, wanted))
    vars_.emplace(std::stoi(name.substr(3)), std::move(value));
}

const Value& WindowData::mat(int n) const {
  auto it = vars_.find(n);
  if (it == vars_.end())
    throw RuntimeError("Undefined variable \"mat" + std::to_string(n) +
                       "\": the window data file \"" + file_name_ + "\" does not hold it.");
  return it->second;
}

namespace {

[[noreturn]] void wrong(const WindowData& d, int n, const std::string& expected) {
  throw RuntimeError("The variable \"mat" + std::to_string(n) + "\" of \"" + d.file_name() +
                     "\" is " + describe(d.mat(n)) + ", not " + expected + ".");
}

}  // namespace

gfx::Colormap WindowData::colours(int n) const {
  const Value& v = mat(n);
  if (!v.is_numeric() || v.dims().size() != 2 || v.dims()[1] != 3) wrong(*this, n, "rows of 3 colour values");
  const std::size_t rows = v.dims()[0];
  const auto& d = v.numbers();
  gfx::Colormap out;
  out.reserve(rows);
  for (std::size_t r = 0; r < rows; ++r) out.push_back({d[r], d[rows + r], d[2 * rows + r]});
  return out;
}

std::vector<std::string> WindowData::texts(int n) const {
  const Value& v = mat(n);
  std::vector<std::string> out;
  if (v.is_text()) {
    // A single text lists its rows separated by "|".
    const std::string& s = v.str();
    std::size_t start = 0;
    for (std::size_t bar; (bar = s.find('|', start)) != std::string::npos; start = bar + 1)
      out.push_back(s.substr(start, bar - start));
    out.push_back(s.substr(start));
    return out;
  }
  if (!v.is_cell()) wrong(*this, n, "a list of texts");
  for (const Value& c : v.cells()) {
    if (!c.is_text()) wrong(*this, n, "a list of texts");
    out.push_back(c.str());
  }
  return out;
}

std::string WindowData::text(int n) const {
  const Value& v = mat(n);
  if (!v.is_text()) wrong(*this, n, "a text");
  return v.str();
}

double WindowData::number(int n) const {
  const Value& v = mat(n);
  if (!v.is_scalar()) wrong(*this, n, "a number");
  return v.scalar();
}

gfx::Rect WindowData::rect(int n) const {
  const Value& v = mat(n);
  if (!v.is_numeric() || v.numel() != 4) wrong(*this, n, "a position of 4 numbers");
  const auto& d = v.numbers();
  return {d[0], d[1], d[2], d[3]};
}

std::array<double, 3> WindowData::point(int n) const {
  const Value& v = mat(n);
  if (!v.is_numeric() || (v.numel() != 2 && v.numel() != 3)) wrong(*this, n, "a position of 2 or 3 numbers");
  const auto& d = v.numbers();
  return {d[0], d[1], v.numel() == 3 ? d[2] : 0.0};
}

void WindowData::picture(int n, gfx::Image& image) const {
  const Value& v = mat(n);
  const auto& dims = v.dims();
  const bool shaped = v.is_numeric() && (dims.size() == 2 || (dims.size() == 3 && dims[2] == 3));
  if (!shaped || v.numel() == 0) wrong(*this, n, "a picture of height by width (by 3) values");
  image.height = dims[0];
  image.width = dims[1];
  image.channels = dims.size() == 3 ? 3 : 1;
  image.cdata = v.numbers();  // column order matches the image's layout
  image.true_colour_8bit = false;
  for (double x : image.cdata)
    if (image.channels == 3 && x > 1) {
      image.true_colour_8bit = true;
      break;
    }
}

AxisTexts axis_texts(gfx::Model& m, gfx::Axes& axes) {
  return {m.get<gfx::Text>(axes.xlabel), m.get<gfx::Text>(axes.ylabel),
          m.get<gfx::Text>(axes.zlabel), m.get<gfx::Text>(axes.title)};
}

AxisTexts hidden_axis_texts(gfx::Model& m, gfx::Axes& axes,
                            const std::array<std::string_view, 4>& tags) {
  AxisTexts t = axis_texts(m, axes);
  std::array<gfx::Text*, 4> all{&t.xlabel, &t.ylabel, &t.zlabel, &t.title};
  for (std::size_t i = 0; i < all.size(); ++i) {
    all[i]->tag = tags[i];
    all[i]->string.clear();
    all[i]->color = colour::black;
    all[i]->visible = false;
    all[i]->handle_visible = false;
  }
  return t;
}

gfx::Axes& axes_by_tag(gfx::Model& m, std::string_view tag) {
  auto* a = dynamic_cast<gfx::Axes*>(m.find_by_tag(tag));
  if (!a) throw RuntimeError("The axes \"" + std::string(tag) + "\" is not in the current window.");
  return *a;
}

void show_logo(WindowContext& ctx, gfx::Window& window, std::string_view file) {
  gfx::Model& m = ctx.gfx;
  gfx::Axes& logo = axes_by_tag(m, "Axes1");
  if (m.window_of(logo.handle()).handle() != window.handle())
    throw RuntimeError("The logo axes \"Axes1\" is not in the window \"" + window.name + "\".");
  m.set_current_axes(logo.handle());
  require_file(ctx.folder, file);
  const annotation::Picture picture = annotation::imread(file, ctx.folder);
  annotation::imagesc(m, picture);
  logo.visible = false;
  m.touch();
}

void annotate_axes(WindowContext& ctx, gfx::Handle axes, std::string_view title,
                   std::string_view xlabel, std::string_view ylabel) {
  const annotation::PropertyPairs font = {{"FontName", Value::text("times")},
                                          {"FontSize", Value::number(10)},
                                          {"FontAngle", Value::text("italic")}};
  ctx.gfx.set_current_axes(axes);
  if (!title.empty()) annotation::title(ctx.gfx, std::string(title), font);
  if (!xlabel.empty()) annotation::xlabel(ctx.gfx, std::string(xlabel), font);
  if (!ylabel.empty()) annotation::ylabel(ctx.gfx, std::string(ylabel), font);
}

gfx::Control& plot_caption(gfx::Model& m, gfx::Window& w, std::string_view s, const gfx::Rect& pos,
                           double font_size) {
  gfx::Control& c = m.new_control(w, gfx::Control::Style::Text);
  c.tag = "StaticText1";
  c.string = s;
  c.units = gfx::Units::Normalized;
  c.position = pos;
  c.background = colour::white;
  c.font_name = "times";
  c.font_angle = "italic";
  if (font_size > 0) c.font_size = font_size;
  c.horizontal_alignment = "left";
  c.list_top = 0;
  return c;
}

gfx::Axes& logo_axes(gfx::Model& m, gfx::Window& w, const WindowData& data, const LogoAxes& spec) {
  gfx::Axes& logo = m.new_axes(w);
  logo.tag = "Axes1";
  logo.units = spec.units;
  logo.position = spec.position;
  logo.box = true;
  logo.color = colour::white;
  logo.layer_top = true;
  logo.xlim = {0.5, static_cast<double>(spec.width) + 0.5};
  logo.ylim = {0.5, static_cast<double>(spec.height) + 0.5};
  logo.xlim_manual = logo.ylim_manual = true;
  logo.ydir_reverse = true;
  logo.color_order = data.colours(spec.color_order_var);
  logo.visible = false;
  gfx::Image& image = m.new_image(logo);
  image.tag = "Axes1Image1";
  data.picture(spec.picture_var, image);
  image.cdata_scaled = true;
  image.xdata = {1, static_cast<double>(spec.width)};
  image.ydata = {1, static_cast<double>(spec.height)};
  return logo;
}

gfx::Window& new_plot_window(gfx::Model& m, const WindowData& data, std::string_view name) {
  gfx::Window& w = m.new_window();
  w.name = name;
  w.number_title = false;
  w.tag = "Fig1";
  w.units = gfx::Units::Points;
  w.position = kPlotWindowPosition;
  w.color = colour::khaki;
  w.colormap = data.colours(0);
  w.menubar = "none";
  w.toolbar = "none";
  w.paper_units = "points";
  w.paper_type = "A4";
  w.paper_orientation = "landscape";
  w.paper_position = {58.5, 99, 723.75, 396.75};
  w.min_width = kPlotWindowMinWidth;
  w.min_height = kPlotWindowMinHeight;
  return w;
}

std::optional<FirstPlaces> first_places(const gfx::Rect& main, const gfx::Rect& screen) {
  constexpr double k = 96.0 / 72.0;  // pixels per point
  const gfx::Rect comparison{kComparisonPosition.left * k, kComparisonPosition.bottom * k,
                             kComparisonPosition.width * k, kComparisonPosition.height * k};
  const gfx::Rect moved = gfx::make_room_beside(main, comparison.width, screen);
  const std::optional<gfx::Rect> beside = gfx::place_beside(
      moved, comparison, kComparisonMinWidth * k, kComparisonMinHeight * k, screen);
  if (!beside) return std::nullopt;
  return FirstPlaces{moved,
                     {beside->left / k, beside->bottom / k, beside->width / k, beside->height / k}};
}

void place_side_by_side(gfx::Model& m, gfx::Window& left, gfx::Window& right) {
  constexpr double k = 96.0 / 72.0;  // pixels per point
  std::array<gfx::Rect, 2> places{gfx::in_pixels(left, m.screen), gfx::in_pixels(right, m.screen)};
  if (!gfx::side_by_side(places, kPlotWindowMinWidth * k, kPlotWindowMinHeight * k, m.screen))
    return;
  std::array<gfx::Window*, 2> windows{&left, &right};
  for (std::size_t i = 0; i < windows.size(); ++i) {
    const gfx::Rect& r = places[i];
    gfx::Window& w = *windows[i];
    if (w.units == gfx::Units::Points)
      w.position = {r.left / k, r.bottom / k, r.width / k, r.height / k};
    else if (w.units == gfx::Units::Pixels)
      w.position = r;
  }
  m.touch();
}

}  // namespace quorin::windows
