#include "analysis/history.h"

#include <array>
#include <utility>

namespace quorin::analysis {
namespace {

AxesPicture::LineItem line_item(const gfx::Line& l) {
  return {l.x,           l.y,          l.color,       l.line_style, l.marker,  l.marker_face,
          l.marker_edge, l.line_width, l.marker_size, l.tag,        l.visible, l.handle_visible};
}

// line_item(l) == s, field by field, without copying the points.
bool line_is(const gfx::Line& l, const AxesPicture::LineItem& s) {
  return l.x == s.x && l.y == s.y && l.color == s.color && l.line_style == s.line_style &&
         l.marker == s.marker && l.marker_face == s.marker_face && l.marker_edge == s.marker_edge &&
         l.line_width == s.line_width && l.marker_size == s.marker_size && l.tag == s.tag &&
         l.visible == s.visible && l.handle_visible == s.handle_visible;
}

AxesPicture::TextItem text_item(const gfx::Text& t) {
  return {t.string,    t.position, t.font_name,     t.font_angle,           t.font_weight,
          t.font_size, t.rotation, t.color,         t.horizontal_alignment, t.vertical_alignment,
          t.tag,       t.visible,  t.handle_visible};
}

void apply(gfx::Text& t, const AxesPicture::TextItem& s) {
  t.string = s.string;
  t.position = s.position;
  t.font_name = s.font_name;
  t.font_angle = s.font_angle;
  t.font_weight = s.font_weight;
  t.font_size = s.font_size;
  t.rotation = s.rotation;
  t.color = s.color;
  t.horizontal_alignment = s.horizontal_alignment;
  t.vertical_alignment = s.vertical_alignment;
  t.tag = s.tag;
  t.visible = s.visible;
  t.handle_visible = s.handle_visible;
}

// The axes' lines and texts that a picture holds: every line and text but the four labels.
std::vector<gfx::Object*> drawn_children(gfx::Model& m, const gfx::Axes& axes) {
  std::vector<gfx::Object*> out;
  for (gfx::Handle h : axes.children()) {
    if (h == axes.title || h == axes.xlabel || h == axes.ylabel || h == axes.zlabel) continue;
    gfx::Object* o = m.find(h);
    if (o && (o->kind() == gfx::Kind::Line || o->kind() == gfx::Kind::Text)) out.push_back(o);
  }
  return out;
}

AxesPicture::Item item_of(gfx::Object& o) {
  AxesPicture::Item item;
  if (auto* l = dynamic_cast<gfx::Line*>(&o)) item.line = line_item(*l);
  if (auto* t = dynamic_cast<gfx::Text*>(&o)) item.text = text_item(*t);
  return item;
}

bool same_matrix(const Matrix& a, const Matrix& b) {
  return a.rows == b.rows && a.cols == b.cols && a.data == b.data;
}

}  // namespace

AxesPicture capture_axes(gfx::Model& m, const gfx::Axes& axes) {
  AxesPicture p;
  p.xlim = axes.xlim;
  p.ylim = axes.ylim;
  p.xlim_manual = axes.xlim_manual;
  p.ylim_manual = axes.ylim_manual;
  p.xgrid = axes.xgrid;
  p.ygrid = axes.ygrid;
  p.zgrid = axes.zgrid;
  p.hold = axes.hold;
  p.visible = axes.visible;
  const std::array<gfx::Handle, 3> labels = {axes.title, axes.xlabel, axes.ylabel};
  for (std::size_t k = 0; k < labels.size(); ++k)
    if (auto* t = dynamic_cast<gfx::Text*>(m.find(labels[k]))) p.labels[k] = text_item(*t);
  for (gfx::Object* o : drawn_children(m, axes)) p.items.push_back(item_of(*o));
  return p;
}

bool axes_shows(gfx::Model& m, const gfx::Axes& axes, const AxesPicture& p) {
  if (axes.xlim != p.xlim || axes.ylim != p.ylim || axes.xlim_manual != p.xlim_manual ||
      axes.ylim_manual != p.ylim_manual || axes.xgrid != p.xgrid || axes.ygrid != p.ygrid ||
      axes.zgrid != p.zgrid || axes.hold != p.hold || axes.visible != p.visible)
    return false;
  const std::array<gfx::Handle, 3> labels = {axes.title, axes.xlabel, axes.ylabel};
  for (std::size_t k = 0; k < labels.size(); ++k) {
    auto* t = dynamic_cast<gfx::Text*>(m.find(labels[k]));
    if (t ? !(p.labels[k] && text_item(*t) == *p.labels[k]) : p.labels[k].has_value()) return false;
  }
  const std::vector<gfx::Object*> now = drawn_children(m, axes);
  if (now.size() != p.items.size()) return false;
  for (std::size_t k = 0; k < now.size(); ++k) {
    const AxesPicture::Item& item = p.items[k];
    if (auto* l = dynamic_cast<gfx::Line*>(now[k])) {
      if (item.text || !item.line || !line_is(*l, *item.line)) return false;
    } else if (auto* t = dynamic_cast<gfx::Text*>(now[k])) {
      if (item.line || !item.text || !(text_item(*t) == *item.text)) return false;
    }
  }
  return true;
}

void restore_axes(gfx::Model& m, gfx::Axes& axes, const AxesPicture& p) {
  axes.xlim = p.xlim;
  axes.ylim = p.ylim;
  axes.xlim_manual = p.xlim_manual;
  axes.ylim_manual = p.ylim_manual;
  axes.xgrid = p.xgrid;
  axes.ygrid = p.ygrid;
  axes.zgrid = p.zgrid;
  axes.hold = p.hold;
  axes.visible = p.visible;
  const std::array<gfx::Handle, 3> labels = {axes.title, axes.xlabel, axes.ylabel};
  for (std::size_t k = 0; k < labels.size(); ++k)
    if (auto* t = dynamic_cast<gfx::Text*>(m.find(labels[k])); t && p.labels[k])
      apply(*t, *p.labels[k]);

  // What is already drawn as the picture has it stays; from the first difference on, the
  // objects are drawn again.
  const std::vector<gfx::Object*> now = drawn_children(m, axes);
  std::size_t same = 0;
  while (same < now.size() && same < p.items.size() && item_of(*now[same]) == p.items[same]) ++same;
  for (std::size_t k = same; k < now.size(); ++k) m.delete_object(now[k]->handle());
  for (std::size_t k = same; k < p.items.size(); ++k) {
    const AxesPicture::Item& item = p.items[k];
    if (item.line) {
      const AxesPicture::LineItem& s = *item.line;
      gfx::Line& l = m.new_line(axes, s.x, s.y);
      l.color = s.color;
      l.line_style = s.line_style;
      l.marker = s.marker;
      l.marker_face = s.marker_face;
      l.marker_edge = s.marker_edge;
      l.line_width = s.line_width;
      l.marker_size = s.marker_size;
      l.tag = s.tag;
      l.visible = s.visible;
      l.handle_visible = s.handle_visible;
    } else if (item.text) {
      gfx::Text& t = m.new_text(axes, 0, 0, "");
      apply(t, *item.text);
    }
  }
  m.touch();
}

bool operator==(const PlotState& a, const PlotState& b) {
  return a.plotdata == b.plotdata && a.counter == b.counter && a.counter2 == b.counter2 &&
         same_matrix(a.import, b.import) && a.ShockData == b.ShockData && a.plot == b.plot &&
         a.legend == b.legend;
}

bool plot_still_in(const PlotState& s, const std::vector<DamperCurve>& plotdata, double counter,
                   double counter2, const Matrix& import, const Value& ShockData, gfx::Model& m,
                   const gfx::Axes* plot, const gfx::Axes* legend) {
  auto shows = [&m](const gfx::Axes* a, const std::optional<AxesPicture>& p) {
    return a ? p && axes_shows(m, *a, *p) : !p;
  };
  // The counters first: an action that stores a curve moves them, and the curves need not be
  // compared point by point.
  return s.counter == counter && s.counter2 == counter2 && s.plotdata == plotdata &&
         same_matrix(s.import, import) && s.ShockData == ShockData && shows(plot, s.plot) &&
         shows(legend, s.legend);
}

void History::record(PlotState before) {
  undo_.push_back(std::move(before));
  while (undo_.size() > kSteps) undo_.pop_front();
  redo_.clear();
}

std::optional<PlotState> History::undo(PlotState now) {
  if (undo_.empty()) return std::nullopt;
  PlotState back = std::move(undo_.back());
  undo_.pop_back();
  redo_.push_back(std::move(now));
  return back;
}

std::optional<PlotState> History::redo(PlotState now) {
  if (redo_.empty()) return std::nullopt;
  PlotState forward = std::move(redo_.back());
  redo_.pop_back();
  undo_.push_back(std::move(now));
  return forward;
}

}  // namespace quorin::analysis
