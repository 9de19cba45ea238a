#include "analysis/tool_windows.h"

#include <algorithm>
#include <array>

#include "analysis/window_parts.h"

namespace quorin::analysis {
namespace {

constexpr gfx::Color kKhaki{166 / 255.0, 162 / 255.0, 140 / 255.0};
constexpr int kFirstToolWindow = 5;

// Table layout, pixels.
constexpr double kColumnWidth = 80;
constexpr double kRowHeight = 17;
constexpr double kHeaderRows = 2;
constexpr double kTopBand = 48;  // the velocity box and the buttons
constexpr double kMargin = 10;
constexpr double kMinWidth = 600;
constexpr double kMaxHeight = 960;

constexpr std::string_view kMinus = "\xE2\x88\x92";  // −
constexpr std::string_view kDelta = "\xCE\x94";      // Δ

}  // namespace

gfx::Window& open_tool_window(gfx::Model& m, std::string_view name, gfx::Rect pixels) {
  gfx::Window* w = window_named(m, name);
  if (w) {
    for (gfx::Handle h : std::vector<gfx::Handle>(w->children())) m.delete_object(h);
    w = &m.figure(w->number);
  } else {
    int n = kFirstToolWindow;
    while (m.window(n)) ++n;
    w = &m.figure(n);
    w->name = std::string(name);
    w->number_title = false;
    w->color = kKhaki;
    w->menubar = "none";
    w->toolbar = "none";
    w->tag = "Fig1";
    // A new window opens wholly on the screen where it fits, its title bar included: on a
    // small screen its place moves left and down as far as needed.
    constexpr double kTitleBar = 30;
    const gfx::Rect& s = m.screen;
    pixels.left = std::max(s.left, std::min(pixels.left, s.left + s.width - pixels.width));
    pixels.bottom =
        std::max(s.bottom, std::min(pixels.bottom, s.bottom + s.height - kTitleBar - pixels.height));
  }
  w->units = gfx::Units::Pixels;
  w->position = pixels;
  return *w;
}

std::string velocities_caption(const ShownUnits& units) {
  return "Velocities (" + std::string(units.velocity) + "):";
}

gfx::Window* window_named(gfx::Model& m, std::string_view name) {
  for (int n : m.window_numbers())
    if (gfx::Window* w = m.window(n); w && w->name == name) return w;
  return nullptr;
}

gfx::Window& show_table_window(gfx::Model& m, const VelocityTable& t, const ShownUnits& units,
                               const std::string& list_text, const TableCommands& commands) {
  const double columns = 1 + static_cast<double>(t.columns.size());
  const double rows = kHeaderRows + static_cast<double>(t.velocity.size());
  const double width = std::max(kMinWidth, 2 * kMargin + columns * kColumnWidth);
  const double height = std::min(kMaxHeight, kTopBand + kMargin + rows * kRowHeight);
  gfx::Window& w = open_tool_window(m, kTableWindowName, {120, 80, width, height});

  const double top = height - 34;
  gfx::Control& caption = m.new_control(w, gfx::Control::Style::Text);
  caption.tag = std::string(kVelocitiesCaptionTag);
  caption.string = velocities_caption(units);
  caption.position = {kMargin, top, 100, 22};
  caption.background = kKhaki;
  caption.font_name = "arial";
  caption.horizontal_alignment = "left";
  gfx::Control& box = m.new_control(w, gfx::Control::Style::Edit);
  box.tag = std::string(kVelocitiesTag);
  box.string = list_text;
  box.position = {kMargin + 104, top, width - 2 * kMargin - 104 - 210, 24};
  box.background = {1, 1, 1};
  box.font_name = "arial";
  box.horizontal_alignment = "left";
  box.callback = commands.velocities;
  box.tooltip = "The velocities of the table's rows; press Enter to fill the table again.";
  tool_button(m, w, "Copy", "CopyTable", {width - kMargin - 200, top, 90, 24}, commands.copy);
  tool_button(m, w, "Difference...", "DifferenceButton", {width - kMargin - 104, top, 104, 24},
              commands.difference);

  const double table_height = height - kTopBand - kMargin;
  CellTable table(
      m, w, kTableAxesTag,
      {kMargin / width, kMargin / height, columns * kColumnWidth / width, table_height / height},
      columns, rows);
  table.cell(0, 0, "Velocity", true);
  table.cell(0, 1, "(" + std::string(units.velocity) + ")", true);
  const int decimals = units.force == "N" ? 1 : 2;
  for (std::size_t c = 0; c < t.columns.size(); ++c) {
    const TableColumn& col = t.columns[c];
    const double column = static_cast<double>(c) + 1;
    table.cell(column, 0, "Curve " + std::to_string(col.number), true);
    table.cell(column, 1,
               std::string(col.side == Side::Compression ? "compr." : "rebound") + " (" +
                   std::string(units.force) + ")",
               true);
    for (std::size_t r = 0; r < t.velocity.size(); ++r)
      if (col.force[r])
        table.cell(column, kHeaderRows + static_cast<double>(r),
                   fixed_number(*col.force[r], decimals));
  }
  for (std::size_t r = 0; r < t.velocity.size(); ++r)
    table.cell(0, kHeaderRows + static_cast<double>(r), exact_number(t.velocity[r]));
  table.rule_below(kHeaderRows);
  table.frame();
  for (std::size_t c = 1; c < static_cast<std::size_t>(columns); c += 2)
    table.rule_down(static_cast<double>(c));
  keep_parts_when_resized(m, w);
  m.touch();
  return w;
}

gfx::Window& show_difference_window(gfx::Model& m, const CurveDifference& d,
                                    const DifferenceNames& names, const ShownUnits& units) {
  gfx::Window& w = open_tool_window(m, kDifferenceWindowName, {240, 90, 800, 600});

  gfx::Axes& force = tool_plot_axes(m, w, kForceDifferenceTag, {0.1, 0.5, 0.86, 0.3});
  gfx::Axes& percent = tool_plot_axes(m, w, kPercentDifferenceTag, {0.1, 0.08, 0.86, 0.33});
  const std::string minus(kMinus), delta(kDelta);
  set_axis_label(m, force.title, "Difference B " + minus + " A");
  set_axis_label(m, force.ylabel, delta + "F (" + std::string(units.force) + ")");
  set_axis_label(m, percent.xlabel, "Velocity (" + std::string(units.velocity) + ")");
  set_axis_label(m, percent.ylabel, delta + "F / F_A (%)");
  for (auto [side, spec] : {std::pair{&d.compression, "b"}, std::pair{&d.rebound, "r"}}) {
    m.plot(force, side->velocity, side->force, spec);
    m.plot(percent, side->velocity, side->percent, spec);
  }

  gfx::Axes& key = tool_key_axes(m, w, {0.1, 0.86, 0.86, 0.12});
  key.tag = std::string(kDifferenceKeyTag);
  auto text = [&](double x, double y, std::string s, bool bold) {
    gfx::Text& t = m.new_text(key, x, y, std::move(s));
    t.font_name = "times";
    t.font_size = 9;
    if (bold) t.font_weight = "bold";
  };
  text(0, 0.85, "B " + minus + " A", true);
  text(0, 0.5, "B: " + names.b_line, false);
  text(0, 0.15, "A: " + names.a_line, false);
  for (auto [y, spec, s] :
       {std::tuple{0.75, "b", "compression"}, std::tuple{0.35, "r", "rebound"}}) {
    const std::array<double, 2> x{0.8, 0.86}, yy{y, y};
    m.plot(key, x, yy, spec);
    text(0.87, y, s, false);
  }
  keep_parts_when_resized(m, w);
  m.touch();
  return w;
}

}  // namespace quorin::analysis
