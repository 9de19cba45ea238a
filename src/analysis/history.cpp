#include "analysis/history.h"

#include <array>
#include <utility>

namespace quorin::analysis {
namespace {

// Each of these calls f(live, kept) for every property a picture keeps of an axes, of a line
// but its points, and of a text, so that taking, comparing and restoring name them once.
template <class A, class P, class F>
void axes_fields(A& a, P& p, F&& f) {
  f(a.xlim, p.xlim);
  f(a.ylim, p.ylim);
  f(a.xlim_manual, p.xlim_manual);
  f(a.ylim_manual, p.ylim_manual);
  f(a.xgrid, p.xgrid);
  f(a.ygrid, p.ygrid);
  f(a.zgrid, p.zgrid);
  f(a.hold, p.hold);
  f(a.visible, p.visible);
}

template <class L, class S, class F>
void line_fields(L& l, S& s, F&& f) {
  f(l.color, s.color);
  f(l.line_style, s.line_style);
  f(l.marker, s.marker);
  f(l.marker_face, s.marker_face);
  f(l.marker_edge, s.marker_edge);
  f(l.line_width, s.line_width);
  f(l.marker_size, s.marker_size);
  f(l.tag, s.tag);
  f(l.visible, s.visible);
  f(l.handle_visible, s.handle_visible);
}

template <class T, class S, class F>
void text_fields(T& t, S& s, F&& f) {
  f(t.string, s.string);
  f(t.position, s.position);
  f(t.font_name, s.font_name);
  f(t.font_angle, s.font_angle);
  f(t.font_weight, s.font_weight);
  f(t.font_size, s.font_size);
  f(t.rotation, s.rotation);
  f(t.color, s.color);
  f(t.horizontal_alignment, s.horizontal_alignment);
  f(t.vertical_alignment, s.vertical_alignment);
  f(t.tag, s.tag);
  f(t.visible, s.visible);
  f(t.handle_visible, s.handle_visible);
}

constexpr auto kKeep = [](const auto& live, auto& kept) { kept = live; };
constexpr auto kPutBack = [](auto& live, const auto& kept) { live = kept; };

// Whether every property that `fields` visits is the same in `live` and `kept`.
template <class Live, class Kept, class Fields>
bool same_fields(Live& live, Kept& kept, Fields fields) {
  bool same = true;
  fields(live, kept, [&same](const auto& a, const auto& b) { same = same && a == b; });
  return same;
}

AxesPicture::LineItem line_item(const gfx::Line& l) {
  AxesPicture::LineItem s;
  s.x = l.x;
  s.y = l.y;
  line_fields(l, s, kKeep);
  return s;
}

// line_item(l) == s, field by field, without copying the points.
bool line_is(const gfx::Line& l, const AxesPicture::LineItem& s) {
  return l.x == s.x && l.y == s.y &&
         same_fields(l, s, [](auto& a, auto& b, auto&& f) { line_fields(a, b, f); });
}

AxesPicture::TextItem text_item(const gfx::Text& t) {
  AxesPicture::TextItem s;
  text_fields(t, s, kKeep);
  return s;
}

// The title, the x label and the y label of `axes`, each nullptr when it is not a text.
std::array<gfx::Text*, 3> label_texts(gfx::Model& m, const gfx::Axes& axes) {
  return {dynamic_cast<gfx::Text*>(m.find(axes.title)),
          dynamic_cast<gfx::Text*>(m.find(axes.xlabel)),
          dynamic_cast<gfx::Text*>(m.find(axes.ylabel))};
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
  return a.rows == b.rows && a.cols == b.cols && a.columns == b.columns;
}

}  // namespace

AxesPicture capture_axes(gfx::Model& m, const gfx::Axes& axes) {
  AxesPicture p;
  axes_fields(axes, p, kKeep);
  const std::array<gfx::Text*, 3> labels = label_texts(m, axes);
  for (std::size_t k = 0; k < labels.size(); ++k)
    if (labels[k]) p.labels[k] = text_item(*labels[k]);
  for (gfx::Object* o : drawn_children(m, axes)) p.items.push_back(item_of(*o));
  return p;
}

bool axes_shows(gfx::Model& m, const gfx::Axes& axes, const AxesPicture& p) {
  if (!same_fields(axes, p, [](auto& a, auto& b, auto&& f) { axes_fields(a, b, f); })) return false;
  const std::array<gfx::Text*, 3> labels = label_texts(m, axes);
  for (std::size_t k = 0; k < labels.size(); ++k) {
    gfx::Text* t = labels[k];
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
  axes_fields(axes, p, kPutBack);
  const std::array<gfx::Text*, 3> labels = label_texts(m, axes);
  for (std::size_t k = 0; k < labels.size(); ++k)
    if (labels[k] && p.labels[k]) text_fields(*labels[k], *p.labels[k], kPutBack);

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
      line_fields(m.new_line(axes, s.x, s.y), s, kPutBack);
    } else if (item.text) {
      text_fields(m.new_text(axes, 0, 0, ""), *item.text, kPutBack);
    }
  }
  m.touch();
}

bool operator==(const PlotState& a, const PlotState& b) {
  return a.plotdata == b.plotdata && a.counter == b.counter && a.counter2 == b.counter2 &&
         same_matrix(a.import, b.import) && a.ShockData == b.ShockData && a.plot == b.plot &&
         a.legend == b.legend && a.selections == b.selections;
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
