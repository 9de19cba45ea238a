#include "services/gfx/model.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "services/numeric.h"
#include "services/runtime_error.h"

namespace quorin::gfx {
namespace {

constexpr const char* kDeadObject = "Invalid or deleted object.";

struct NamedColor {
  char letter;
  Color color;
};
constexpr std::array<NamedColor, 8> kSpecColors{{
    {'b', {0, 0, 1}},
    {'r', {1, 0, 0}},
    {'g', {0, 1, 0}},
    {'k', {0, 0, 0}},
    {'y', {1, 1, 0}},
    {'m', {1, 0, 1}},
    {'c', {0, 1, 1}},
    {'w', {1, 1, 1}},
}};
constexpr std::string_view kSpecMarkers = "sox+*.d^v";

[[noreturn]] void bad_spec(std::string_view spec, std::string_view why) {
  throw RuntimeError("Invalid line specification \"" + std::string(spec) + "\": " +
                     std::string(why) + ".");
}

}  // namespace

std::string_view type_name(Kind k) {
  switch (k) {
    case Kind::Window: return "figure";
    case Kind::Axes: return "axes";
    case Kind::Line: return "line";
    case Kind::Text: return "text";
    case Kind::Image: return "image";
    case Kind::Control: return "uicontrol";
    case Kind::Menu: return "uimenu";
    case Kind::ContextMenu: return "uicontextmenu";
  }
  return "object";
}

LineSpec parse_line_spec(std::string_view spec) {
  LineSpec out;
  for (std::size_t i = 0; i < spec.size();) {
    const char c = spec[i];
    if (c == '-' || c == ':') {
      std::string style(1, c);
      if (c == '-' && i + 1 < spec.size() && (spec[i + 1] == '-' || spec[i + 1] == '.'))
        style += spec[i + 1];
      if (out.line_style) bad_spec(spec, "more than one line style");
      out.line_style = style;
      i += style.size();
      continue;
    }
    auto col = std::find_if(kSpecColors.begin(), kSpecColors.end(),
                            [c](const NamedColor& n) { return n.letter == c; });
    if (col != kSpecColors.end()) {
      if (out.color) bad_spec(spec, "more than one colour");
      out.color = col->color;
    } else if (kSpecMarkers.find(c) != std::string_view::npos) {
      if (out.marker) bad_spec(spec, "more than one marker");
      out.marker = std::string(1, c);
    } else {
      bad_spec(spec, std::string("unknown character '") + c + "'");
    }
    ++i;
  }
  return out;
}

void throw_wrong_kind(const Object& o) {
  throw RuntimeError("The object is a " + std::string(type_name(o.kind())) +
                     ", which cannot be used here.");
}

Model::Model() = default;
Model::~Model() = default;

// ---------------------------------------------------------------------------------------
// Windows

Window& Model::figure(int number) {
  if (number < 1) throw RuntimeError("Window numbers are whole numbers from 1 up.");
  Window* w = window(number);
  if (!w) {
    auto obj = std::make_unique<Window>();
    obj->number = number;
    obj->handle_ = Handle{static_cast<double>(number)};
    w = obj.get();
    attach(std::move(obj), nullptr);
  }
  // A window the user closed but the program keeps (hidden) comes back when it is selected.
  w->visible = true;
  std::erase(stacking_, number);
  stacking_.push_back(number);
  current_ = number;
  touch();
  return *w;
}

Window& Model::new_window() {
  int n = 1;
  while (window(n)) ++n;
  return figure(n);
}

Window* Model::current_window() { return current_ ? window(current_) : nullptr; }

Window& Model::current_window_or_new() {
  if (Window* w = current_window()) return *w;
  return new_window();
}

Window* Model::window(int number) {
  if (number < 1) return nullptr;
  return dynamic_cast<Window*>(find(Handle{static_cast<double>(number)}));
}

std::vector<int> Model::window_numbers() const {
  std::vector<int> out(stacking_);
  std::sort(out.begin(), out.end());
  return out;
}

void Model::close(int number) {
  if (!window(number)) throw RuntimeError("There is no open window " + std::to_string(number) + ".");
  erase_tree(Handle{static_cast<double>(number)});
  std::erase(stacking_, number);
  current_ = stacking_.empty() ? 0 : stacking_.back();
  touch();
}

void Model::raise(int number) {
  if (!window(number)) return;
  std::erase(stacking_, number);
  stacking_.push_back(number);
  touch();
}

void Model::close_current() {
  if (current_) close(current_);
}

// ---------------------------------------------------------------------------------------
// Objects

Object* Model::find(Handle h) {
  auto it = objects_.find(h.value);
  return it == objects_.end() ? nullptr : it->second.get();
}

bool Model::valid(Handle h) const { return objects_.count(h.value) != 0; }

Object& Model::get(Handle h) {
  Object* o = find(h);
  if (!o) throw RuntimeError(kDeadObject);
  return *o;
}

Window& Model::window_of(Handle h) {
  Object* o = &get(h);
  while (o->kind() != Kind::Window) o = &get(o->parent());
  return static_cast<Window&>(*o);
}

Handle Model::attach(std::unique_ptr<Object> obj, Object* parent) {
  if (!obj->handle_) obj->handle_ = Handle{next_id_++};
  const Handle h = obj->handle_;
  // Refused before anything changes: the object is freed here, and no caller has been given
  // a reference to it yet.
  if (objects_.count(h.value))
    throw RuntimeError("The handle " + num2str(h.value) + " is already in use.");
  if (parent) {
    obj->parent_ = parent->handle_;
    parent->children_.push_back(h);
  }
  objects_.emplace(h.value, std::move(obj));
  touch();
  return h;
}

void Model::erase_tree(Handle h) {
  auto it = objects_.find(h.value);
  if (it == objects_.end()) return;
  std::unique_ptr<Object> obj = std::move(it->second);
  objects_.erase(it);
  for (Handle c : obj->children_) erase_tree(c);
}

Axes& Model::new_axes(Window& parent) {
  auto obj = std::make_unique<Axes>();
  Axes& a = *obj;
  attach(std::move(obj), &parent);
  // The four texts of the axes, in the order x label, y label, z label, title.
  std::array<Handle*, 4> slots{&a.xlabel, &a.ylabel, &a.zlabel, &a.title};
  for (std::size_t i = 0; i < slots.size(); ++i) {
    Text& t = new_text(a, 0, 0, "");
    t.handle_visible = false;
    t.horizontal_alignment = "center";
    t.font_name = a.font_name;
    t.font_size = a.font_size;
    if (i == 0) t.vertical_alignment = "cap";
    if (i == 1) {
      t.rotation = 90;
      t.vertical_alignment = "bottom";
    }
    if (i == 3) t.vertical_alignment = "bottom";
    *slots[i] = t.handle();
  }
  parent.current_axes = a.handle();
  return a;
}

Control& Model::new_control(Window& parent, Control::Style style) {
  auto obj = std::make_unique<Control>();
  obj->style = style;
  Control& c = *obj;
  attach(std::move(obj), &parent);
  return c;
}

Menu& Model::new_menu(Object& parent, Kind kind) {
  if (kind != Kind::Menu && kind != Kind::ContextMenu)
    throw RuntimeError("A menu must be a menu or a context menu, not a " +
                       std::string(type_name(kind)) + ".");
  if (parent.kind() != Kind::Window && parent.kind() != Kind::Menu &&
      parent.kind() != Kind::ContextMenu)
    throw_wrong_kind(parent);
  if (kind == Kind::ContextMenu && parent.kind() != Kind::Window) throw_wrong_kind(parent);
  auto obj = std::make_unique<Menu>(kind);
  Menu& m = *obj;
  attach(std::move(obj), &parent);
  return m;
}

Text& Model::new_text(Axes& parent, double x, double y, std::string s) {
  auto obj = std::make_unique<Text>();
  obj->position = {x, y, 0};
  obj->string = std::move(s);
  Text& t = *obj;
  attach(std::move(obj), &parent);
  return t;
}

Line& Model::new_line(Axes& parent, SharedArray x, SharedArray y) {
  if (x.size() != y.size()) throw RuntimeError("Vectors must be the same lengths.");
  auto obj = std::make_unique<Line>();
  obj->x = std::move(x);
  obj->y = std::move(y);
  Line& l = *obj;
  attach(std::move(obj), &parent);
  return l;
}

Image& Model::new_image(Axes& parent) {
  auto obj = std::make_unique<Image>();
  Image& i = *obj;
  attach(std::move(obj), &parent);
  return i;
}

void Model::send_to_back(Handle h) {
  Object& o = get(h);
  if (o.kind() == Kind::Window) return;
  std::vector<Handle>& siblings = get(o.parent()).children_;
  std::erase(siblings, h);
  siblings.insert(siblings.begin(), h);
  touch();
}

void Model::delete_object(Handle h) {
  Object& o = get(h);
  if (o.kind() == Kind::Window) {
    close(static_cast<Window&>(o).number);
    return;
  }
  Window& w = window_of(h);
  Object& parent = get(o.parent());
  std::erase(parent.children_, h);
  erase_tree(h);
  if (!valid(w.current_axes)) {
    // The window's most recent remaining axes takes over.
    w.current_axes = Handle{};
    for (auto it = w.children_.rbegin(); it != w.children_.rend(); ++it)
      if (find(*it)->kind() == Kind::Axes) {
        w.current_axes = *it;
        break;
      }
  }
  touch();
}

Axes& Model::current_axes() {
  Window& w = current_window_or_new();
  if (Object* o = find(w.current_axes); o && o->kind() == Kind::Axes)
    return static_cast<Axes&>(*o);
  return new_axes(w);
}

void Model::set_current_axes(Handle axes) {
  Axes& a = get<Axes>(axes);
  Window& w = window_of(a.handle());
  w.current_axes = axes;
  current_ = w.number;
  touch();
}

// ---------------------------------------------------------------------------------------
// Plotting

Line& Model::plot(Axes& axes, std::span<const double> x, std::span<const double> y,
                  std::string_view spec) {
  if (x.size() != y.size()) throw RuntimeError("Vectors must be the same lengths.");
  const LineSpec ls = parse_line_spec(spec);
  if (!axes.hold) {
    std::vector<Handle> lines;
    for (Handle c : axes.children())
      if (Object* o = find(c); o->kind() == Kind::Line && o->handle_visible) lines.push_back(c);
    for (Handle c : lines) delete_object(c);
  }
  std::size_t line_count = children_of<Line>(axes).size();
  Line& l = new_line(axes, {x.begin(), x.end()}, {y.begin(), y.end()});
  if (ls.color)
    l.color = *ls.color;
  else if (!axes.color_order.empty())
    l.color = axes.color_order[line_count % axes.color_order.size()];
  if (ls.marker) l.marker = *ls.marker;
  if (ls.line_style)
    l.line_style = *ls.line_style;
  else
    l.line_style = ls.marker ? "none" : "-";
  return l;
}

void Model::cla(Axes& axes) {
  std::vector<Handle> doomed;
  for (Handle c : axes.children())
    if (find(c)->handle_visible) doomed.push_back(c);
  for (Handle c : doomed) delete_object(c);
  touch();
}

std::optional<std::array<double, 4>> Model::data_limits(const Axes& axes) const {
  constexpr double inf = std::numeric_limits<double>::infinity();
  std::array<double, 4> box{inf, -inf, inf, -inf};
  auto take = [&box](double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    box[0] = std::min(box[0], x);
    box[1] = std::max(box[1], x);
    box[2] = std::min(box[2], y);
    box[3] = std::max(box[3], y);
  };
  for (Handle c : axes.children()) {
    const Object* o = objects_.at(c.value).get();
    if (const auto* l = dynamic_cast<const Line*>(o)) {
      for (std::size_t i = 0; i < std::min(l->x.size(), l->y.size()); ++i) take(l->x[i], l->y[i]);
    } else if (const auto* im = dynamic_cast<const Image*>(o)) {
      if (im->width == 0 || im->height == 0) continue;
      // Pixel centres run from xdata[0] to xdata[1]; each cell is one step wide.
      auto half = [](std::array<double, 2> d, std::size_t n) {
        return n > 1 ? std::abs(d[1] - d[0]) / double(n - 1) / 2 : 0.5;
      };
      const double hx = half(im->xdata, im->width), hy = half(im->ydata, im->height);
      take(std::min(im->xdata[0], im->xdata[1]) - hx, std::min(im->ydata[0], im->ydata[1]) - hy);
      take(std::max(im->xdata[0], im->xdata[1]) + hx, std::max(im->ydata[0], im->ydata[1]) + hy);
    }
  }
  if (box[0] > box[1]) return std::nullopt;
  return box;
}

// ---------------------------------------------------------------------------------------
// Look-ups

namespace {

void collect_by_tag(Model& m, Object& o, std::string_view tag, std::vector<Object*>& out,
                    bool first_only) {
  for (Handle c : o.children()) {
    if (first_only && !out.empty()) return;
    Object* child = m.find(c);
    if (!child || !child->handle_visible) continue;
    if (child->tag == tag) out.push_back(child);
    collect_by_tag(m, *child, tag, out, first_only);
  }
}

}  // namespace

Object* Model::find_by_tag(std::string_view tag) {
  Window* w = current_window();
  if (!w) return nullptr;
  if (w->handle_visible && w->tag == tag) return w;
  std::vector<Object*> out;
  collect_by_tag(*this, *w, tag, out, true);
  return out.empty() ? nullptr : out.front();
}

std::vector<Object*> Model::find_all_by_tag(Window& w, std::string_view tag) {
  std::vector<Object*> out;
  if (w.handle_visible && w.tag == tag) out.push_back(&w);
  collect_by_tag(*this, w, tag, out, false);
  return out;
}

// ---------------------------------------------------------------------------------------
// Toolkit hooks

void Model::drawnow() {
  if (on_drawnow && drawing_held_ == 0) on_drawnow();
}

void Model::pause(double seconds) {
  if (on_pause) on_pause(seconds);
}

}  // namespace quorin::gfx
