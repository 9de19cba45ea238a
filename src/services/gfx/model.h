// The retained graphics object model: windows, axes, lines, texts, images, controls and
// menus with handles, parents, children in creation order and Tags. No toolkit code here;
// the Qt view mirrors this model.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "services/shared_array.h"
#include "services/value.h"

namespace quorin::gfx {

// A handle. Windows are addressed by their number (1, 2, ...); every other object by an id
// that is never reused, so a handle into a closed window stops working. Object ids lie halfway
// between whole numbers (1001.5, 1002.5, ...), so no window number can ever equal one.
struct Handle {
  double value = 0;
  explicit operator bool() const { return value != 0; }
  friend bool operator==(Handle, Handle) = default;
};

enum class Units { Pixels, Points, Normalized };
struct Rect {
  double left = 0, bottom = 0, width = 0, height = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};
struct Color {
  double r = 0, g = 0, b = 0;
  friend bool operator==(const Color&, const Color&) = default;
};
using Colormap = std::vector<Color>;

enum class Kind { Window, Axes, Line, Text, Image, Control, Menu, ContextMenu };
// The kind's name as the Type property shows it ("figure", "axes", "uicontrol", ...).
std::string_view type_name(Kind k);

class Object {
 public:
  virtual ~Object() = default;
  Kind kind() const { return kind_; }
  Handle handle() const { return handle_; }
  Handle parent() const { return parent_; }
  const std::vector<Handle>& children() const { return children_; }  // creation order

  std::string tag;
  bool handle_visible = true;  // false: not found by Tag, not cleared by cla
  bool visible = true;
  // Properties that are accepted and kept but change nothing the model draws (plot-editor
  // commands, renderer hints, user data), by their lower-case name.
  std::map<std::string, Value, std::less<>> extra;

 protected:
  explicit Object(Kind k) : kind_(k) {}

 private:
  friend class Model;
  Kind kind_;
  Handle handle_;
  Handle parent_;
  std::vector<Handle> children_;
};

class Window : public Object {
 public:
  Window() : Object(Kind::Window) {}
  int number = 0;
  std::string name;
  bool number_title = true;
  Color color{0.8, 0.8, 0.8};
  Colormap colormap;  // empty: the default map of 64 colours
  Units units = Units::Pixels;
  Rect position{200, 100, 560, 420};  // in `units`, on the screen from its lower-left corner
  bool resize = true;
  // The smallest width and height, in `units`, at which every part of the window shows
  // whole; 0: no such limit. The user cannot make the window smaller.
  double min_width = 0, min_height = 0;
  // Lays the window's parts out for its present size; run whenever the window's size
  // changes (empty: the parts keep their positions).
  std::function<void(Window&)> layout;
  std::string pointer = "arrow";  // "arrow" or "watch"
  Handle current_axes;
  bool zoom = false;
  // The controls in the order the Tab key visits them; empty: their creation order.
  std::vector<Handle> tab_order;
  std::string menubar = "figure", toolbar = "auto";
  std::string paper_units = "inches", paper_type = "usletter", paper_orientation = "portrait";
  std::string paper_position_mode = "manual";
  Rect paper_position{0.25, 2.5, 8, 6};
};

class Axes : public Object {
 public:
  Axes() : Object(Kind::Axes) {}
  Units units = Units::Normalized;
  Rect position{0.13, 0.11, 0.775, 0.815};
  Color color{1, 1, 1};
  bool color_none = false;  // Color "none": transparent
  Color xcolor{0, 0, 0}, ycolor{0, 0, 0}, zcolor{0, 0, 0};
  bool box = false;
  bool layer_top = false;
  std::array<double, 2> xlim{0, 1}, ylim{0, 1};
  bool xlim_manual = false, ylim_manual = false;  // auto: limits follow the data
  bool xgrid = false, ygrid = false, zgrid = false;
  bool ydir_reverse = false;
  bool hold = false;
  std::array<double, 2> clim{0, 1};
  bool clim_manual = false;
  std::vector<Color> color_order;
  std::string font_name = "helvetica";
  double font_size = 10;
  std::string font_angle = "normal", font_weight = "normal";
  bool hit_test = true;
  // Texts owned by the axes (children with hidden handles).
  Handle title, xlabel, ylabel, zlabel;
};

class Line : public Object {
 public:
  Line() : Object(Kind::Line) {}
  SharedArray x, y;
  Color color{0, 0, 1};
  std::string line_style = "-";  // "-", "--", ":", "-.", "none"
  std::string marker = "none";   // "none", "s", "o", "x", "+", "*", "."
  std::optional<Color> marker_face;  // nullopt: not filled
  std::optional<Color> marker_edge;  // nullopt: the line colour
  double line_width = 0.5;
  double marker_size = 6;
};

class Text : public Object {
 public:
  Text() : Object(Kind::Text) {}
  std::string string;
  std::array<double, 3> position{0, 0, 0};  // data units
  std::string font_name = "helvetica";
  double font_size = 10;
  std::string font_angle = "normal", font_weight = "normal";
  double rotation = 0;
  Color color{0, 0, 0};
  std::string horizontal_alignment = "left";  // "left", "center", "right"
  std::string vertical_alignment = "middle";  // "top", "cap", "middle", "baseline", "bottom"
};

class Image : public Object {
 public:
  Image() : Object(Kind::Image) {}
  // Colour data: height rows by width columns by `channels` (1: indices or grey, 3: RGB in
  // 0..1 or 0..255 for 8-bit pictures); element (r, c, k) at data[(k * width + c) * height + r].
  std::size_t height = 0, width = 0, channels = 1;
  std::vector<double> cdata;
  bool cdata_scaled = true;  // "scaled": through the axes' colour limits; else "direct"
  bool true_colour_8bit = false;  // RGB values in 0..255
  std::array<double, 2> xdata{1, 1}, ydata{1, 1};
};

class Control : public Object {
 public:
  enum class Style { PushButton, Popup, Edit, CheckBox, Radio, Text, Frame };
  Control() : Object(Kind::Control) {}
  Style style = Style::PushButton;
  std::string string;               // label or edit text
  std::vector<std::string> items;   // popup rows
  double value = 0;                 // popup: 1-based row; check/radio: 1 = on
  Units units = Units::Pixels;
  Rect position{20, 20, 60, 20};    // in `units`, in the window from its lower-left corner
  Color background{0.941, 0.941, 0.941}, foreground{0, 0, 0};
  std::string font_name = "helvetica";
  double font_size = 8;             // points
  std::string font_weight = "normal", font_angle = "normal";
  std::string horizontal_alignment = "center";
  std::string callback;             // command text run when the control is used
  std::string tooltip;
  std::string enable = "on";        // "on", "off", "inactive"
  double list_top = 1;
};

class Menu : public Object {
 public:
  explicit Menu(Kind k = Kind::Menu) : Object(k) {}
  std::string label;
  std::string callback;
  bool separator = false;
  std::string accelerator;  // the item's key in its window ("Ctrl+Shift+Z"); empty: none
};

// Parsed line specification such as "b--", "k", "rs", "b-.".
struct LineSpec {
  std::optional<Color> color;
  std::optional<std::string> line_style;
  std::optional<std::string> marker;
};
LineSpec parse_line_spec(std::string_view spec);  // throws RuntimeError on an invalid spec

[[noreturn]] void throw_wrong_kind(const Object& o);

// The whole tree of objects and the current window. Every failing operation throws
// RuntimeError naming what was wrong.
class Model {
 public:
  Model();
  ~Model();

  // Windows. `figure(n)` selects window n, making it current, showing it when it was hidden
  // and raising it, creating it when absent; `new_window` takes the lowest free number.
  Window& figure(int number);
  Window& new_window();
  Window* current_window();      // nullptr when no window is open
  Window& current_window_or_new();
  Window* window(int number);    // nullptr when not open
  std::vector<int> window_numbers() const;    // ascending
  const std::vector<int>& stacking() const { return stacking_; }  // back to front
  void close(int number);        // deletes the window and everything in it
  // Brings window `number` to the front without making it current; no effect when it is
  // not open.
  void raise(int number);
  void close_current();          // no effect when no window is open

  // Objects. `get` throws RuntimeError "Invalid or deleted object." for a dead handle.
  Object* find(Handle h);
  bool valid(Handle h) const;
  Object& get(Handle h);
  template <class T>
  T& get(Handle h);
  Window& window_of(Handle h);   // the window an object lives in

  Axes& new_axes(Window& parent);  // with its four label texts; becomes the current axes
  Control& new_control(Window& parent, Control::Style style);
  Menu& new_menu(Object& parent, Kind kind = Kind::Menu);
  Text& new_text(Axes& parent, double x, double y, std::string s);
  Line& new_line(Axes& parent, SharedArray x, SharedArray y);
  Image& new_image(Axes& parent);
  void delete_object(Handle h);
  // Moves the object to the front of its parent's children, so it is drawn first (behind its
  // siblings).
  void send_to_back(Handle h);

  // The current axes of the current window, created when it has none.
  Axes& current_axes();
  // Makes the axes current in its window and its window current (without raising it).
  void set_current_axes(Handle axes);

  // Plots y against x into the axes as one line; with hold off the axes' lines are removed
  // first. Throws when x and y differ in length.
  Line& plot(Axes& axes, std::span<const double> x, std::span<const double> y,
             std::string_view spec);
  // Deletes the axes' children whose handles are visible; keeps every axes property.
  void cla(Axes& axes);

  // First object with this Tag in the current window whose handle is visible, in creation
  // order (depth first); nullptr when none.
  Object* find_by_tag(std::string_view tag);
  std::vector<Object*> find_all_by_tag(Window& w, std::string_view tag);

  // The children of an object that are of type T, in creation order.
  template <class T>
  std::vector<T*> children_of(const Object& o);

  // The extent of the axes' lines and images as {xmin, xmax, ymin, ymax} (an image spans
  // half a cell beyond its first and last pixel centres); nullopt when there is no data.
  std::optional<std::array<double, 4>> data_limits(const Axes& axes) const;

  // The part of the screen windows may take, in pixels from its lower-left corner; the
  // toolkit sets it from the display.
  Rect screen{0, 0, 1920, 1080};

  // Hooks for the toolkit: `drawnow` flushes pending drawing, `pause` waits and serves events.
  std::function<void()> on_drawnow;
  std::function<void(double)> on_pause;
  void drawnow();
  void pause(double seconds);

  // While one of these lives, drawnow does nothing: windows built only to be closed again
  // are never drawn.
  class DrawingHeld {
   public:
    explicit DrawingHeld(Model& m) : model_(m) { ++model_.drawing_held_; }
    ~DrawingHeld() { --model_.drawing_held_; }
    DrawingHeld(const DrawingHeld&) = delete;
    DrawingHeld& operator=(const DrawingHeld&) = delete;

   private:
    Model& model_;
  };

  // Increases with every change of the tree; the view uses it to know when to reconcile.
  std::uint64_t revision() const { return revision_; }
  void touch() { ++revision_; }

 private:
  Handle attach(std::unique_ptr<Object> obj, Object* parent);
  void erase_tree(Handle h);
  std::map<double, std::unique_ptr<Object>> objects_;
  std::vector<int> stacking_;  // open window numbers, back to front
  int current_ = 0;            // current window number, 0 when none
  double next_id_ = 1001.5;
  std::uint64_t revision_ = 0;
  int drawing_held_ = 0;
};

template <class T>
T& Model::get(Handle h) {
  Object& o = get(h);
  auto* t = dynamic_cast<T*>(&o);
  if (!t) throw_wrong_kind(o);
  return *t;
}

template <class T>
std::vector<T*> Model::children_of(const Object& o) {
  std::vector<T*> out;
  for (Handle h : o.children())
    if (auto* t = dynamic_cast<T*>(find(h))) out.push_back(t);
  return out;
}

}  // namespace quorin::gfx
