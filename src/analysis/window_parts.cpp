#include "analysis/window_parts.h"

#include <array>
#include <charconv>
#include <vector>

namespace quorin::analysis {
namespace {

constexpr gfx::Color kButtonBlue{0, 90 / 255.0, 171 / 255.0};
constexpr gfx::Color kButtonYellow{248 / 255.0, 190 / 255.0, 44 / 255.0};
constexpr gfx::Color kRule{0.75, 0.75, 0.75};

}  // namespace

std::string fixed_number(double v, int decimals) {
  std::array<char, 64> buf{};
  const auto r =
      std::to_chars(buf.data(), buf.data() + buf.size(), v, std::chars_format::fixed, decimals);
  return std::string(buf.data(), r.ptr);
}

gfx::Control& tool_button(gfx::Model& m, gfx::Window& w, std::string_view label,
                          std::string_view tag, gfx::Rect at, const std::string& command,
                          std::string_view tooltip) {
  gfx::Control& b = m.new_control(w, gfx::Control::Style::PushButton);
  b.string = std::string(label);
  b.tag = std::string(tag);
  b.position = at;
  b.background = kButtonBlue;
  b.foreground = kButtonYellow;
  b.font_name = "arial";
  b.font_weight = "bold";
  b.font_size = 9;
  b.callback = command;
  b.tooltip = std::string(tooltip);
  return b;
}

gfx::Axes& tool_plot_axes(gfx::Model& m, gfx::Window& w, std::string_view tag, gfx::Rect at) {
  gfx::Axes& a = m.new_axes(w);
  a.tag = std::string(tag);
  a.position = at;
  a.box = true;
  a.xgrid = a.ygrid = true;
  a.hold = true;
  return a;
}

gfx::Axes& tool_key_axes(gfx::Model& m, gfx::Window& w, gfx::Rect at) {
  gfx::Axes& key = m.new_axes(w);
  key.position = at;
  key.xlim = {0, 1};
  key.ylim = {0, 1};
  key.xlim_manual = key.ylim_manual = true;
  key.visible = false;
  key.hold = true;
  return key;
}

void set_axis_label(gfx::Model& m, gfx::Handle text, std::string s) {
  auto& t = m.get<gfx::Text>(text);
  t.string = std::move(s);
  t.font_name = "times";
  t.font_angle = "italic";
  t.font_size = 10;
}

gfx::Line& tool_line(gfx::Model& m, gfx::Axes& a, std::vector<double> x, std::vector<double> y,
                     gfx::Color c, std::string_view style) {
  gfx::Line& l = m.new_line(a, std::move(x), std::move(y));
  l.color = c;
  l.line_style = std::string(style);
  return l;
}

void keep_parts_when_resized(gfx::Model& m, gfx::Window& w) {
  if (w.units != gfx::Units::Pixels) return;
  const double width = w.position.width, height = w.position.height;
  w.min_width = width;
  w.min_height = height;
  struct Pinned {
    gfx::Handle control;
    double from_side;  // from the left edge, or from the right edge when `right`
    bool right;
    double from_top;
  };
  std::vector<Pinned> pinned;
  for (gfx::Control* c : m.children_of<gfx::Control>(w)) {
    if (c->units != gfx::Units::Pixels) continue;
    const gfx::Rect& r = c->position;
    const double right_gap = width - (r.left + r.width);
    const bool right = right_gap < r.left;
    pinned.push_back({c->handle(), right ? right_gap : r.left, right, height - r.bottom});
  }
  gfx::Model* model = &m;
  w.layout = [model, pinned](gfx::Window& resized) {
    const gfx::Rect& size = resized.position;
    for (const Pinned& p : pinned) {
      auto* c = dynamic_cast<gfx::Control*>(model->find(p.control));
      if (!c) continue;
      gfx::Rect& r = c->position;
      r.left = p.right ? size.width - p.from_side - r.width : p.from_side;
      r.bottom = size.height - p.from_top;
    }
  };
}

CellTable::CellTable(gfx::Model& m, gfx::Window& w, std::string_view tag, gfx::Rect at,
                     double columns, double rows)
    : m_(m), a_(m.new_axes(w)), columns_(columns), rows_(rows) {
  a_.tag = std::string(tag);
  a_.units = gfx::Units::Normalized;
  a_.position = at;
  a_.xlim = {0, columns};
  a_.ylim = {0, rows};
  a_.xlim_manual = a_.ylim_manual = true;
  a_.ydir_reverse = true;
  a_.visible = false;  // no ticks or box: the rules divide the cells
  a_.hold = true;
}

gfx::Text& CellTable::cell(double column, double row, std::string s, bool bold,
                           std::string_view align) {
  const double x = align == "left" ? column + 0.08 : column + 0.92;
  gfx::Text& t = m_.new_text(a_, x, row + 0.5, std::move(s));
  t.horizontal_alignment = std::string(align);
  t.vertical_alignment = "middle";
  t.font_name = "helvetica";
  t.font_size = 8;
  if (bold) t.font_weight = "bold";
  return t;
}

void CellTable::rule_below(double row) {
  tool_line(m_, a_, {0, columns_}, {row, row}, kRule, "-");
}

void CellTable::rule_down(double column) {
  tool_line(m_, a_, {column, column}, {0, rows_}, kRule, "-");
}

void CellTable::frame() {
  tool_line(m_, a_, {0, columns_, columns_, 0, 0}, {0, 0, rows_, rows_, 0}, kRule, "-");
}

void CellTable::swatch(double column, double row, gfx::Color c) {
  gfx::Line& l = tool_line(m_, a_, {column + 0.08, column + 0.4}, {row + 0.5, row + 0.5}, c, "-");
  l.line_width = 2;
}

}  // namespace quorin::analysis
