#include "services/gfx/properties.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <span>
#include <string>

#include "services/runtime_error.h"

namespace quorin::gfx {
namespace {

// ---------------------------------------------------------------------------------------
// Value conversions. Each checks the whole value before anything is changed and throws a
// message naming the property and what it expects.

std::string lower(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

struct Context {
  std::string_view kind;  // "axes", "uicontrol", ...
  std::string_view name;  // the property as it is spelt in the table
};

[[noreturn]] void bad_value(const Context& cx, const Value& v, std::string_view expected) {
  throw RuntimeError("Bad value for " + std::string(cx.kind) + " property '" +
                     std::string(cx.name) + "': expected " + std::string(expected) + ", found " +
                     describe(v) + ".");
}

std::string as_text(const Context& cx, const Value& v) {
  if (v.is_text()) return v.str();
  if (v.is_numeric() && v.is_empty()) return {};
  bad_value(cx, v, "a text");
}

// A text matched against the allowed words, letter case ignored; returns the word as listed.
std::string as_word(const Context& cx, const Value& v, std::span<const std::string_view> words) {
  std::string expected = "one of";
  for (std::size_t i = 0; i < words.size(); ++i)
    expected += std::string(i ? ", " : " ") + "\"" + std::string(words[i]) + "\"";
  if (!v.is_text()) bad_value(cx, v, expected);
  const std::string s = lower(v.str());
  for (auto w : words)
    if (s == w) return std::string(w);
  throw RuntimeError("Bad value for " + std::string(cx.kind) + " property '" +
                     std::string(cx.name) + "': \"" + v.str() + "\" is not " + expected + ".");
}

constexpr std::array<std::string_view, 2> kOnOff{"on", "off"};
bool as_on_off(const Context& cx, const Value& v) { return as_word(cx, v, kOnOff) == "on"; }
Value on_off(bool b) { return Value::text(b ? "on" : "off"); }

double as_number(const Context& cx, const Value& v) {
  if (!v.is_scalar() || std::isnan(v.numbers()[0])) bad_value(cx, v, "a number");
  return v.numbers()[0];
}

double as_positive(const Context& cx, const Value& v) {
  if (!v.is_scalar() || !(v.numbers()[0] > 0)) bad_value(cx, v, "a positive number");
  return v.numbers()[0];
}

std::vector<double> as_numbers(const Context& cx, const Value& v, std::size_t n,
                               std::string_view expected) {
  if (!v.is_numeric() || v.numel() != n) bad_value(cx, v, expected);
  for (double d : v.numbers())
    if (!std::isfinite(d)) bad_value(cx, v, expected);
  return v.numbers();
}

std::vector<double> as_vector(const Context& cx, const Value& v) {
  if (!v.is_numeric() || (v.dims().size() != 2) ||
      (v.dims()[0] > 1 && v.dims()[1] > 1))
    bad_value(cx, v, "a row or column of numbers");
  return v.numbers();
}

struct ColourName {
  std::string_view short_name, long_name;
  Color color;
};
constexpr std::array<ColourName, 8> kColourNames{{
    {"y", "yellow", {1, 1, 0}},
    {"m", "magenta", {1, 0, 1}},
    {"c", "cyan", {0, 1, 1}},
    {"r", "red", {1, 0, 0}},
    {"g", "green", {0, 1, 0}},
    {"b", "blue", {0, 0, 1}},
    {"w", "white", {1, 1, 1}},
    {"k", "black", {0, 0, 0}},
}};

Color as_color(const Context& cx, const Value& v) {
  constexpr std::string_view expected = "a colour [r g b] with parts from 0 to 1 or a colour name";
  if (v.is_text()) {
    const std::string s = lower(v.str());
    for (const auto& n : kColourNames)
      if (s == n.short_name || s == n.long_name) return n.color;
    bad_value(cx, v, expected);
  }
  if (!v.is_numeric() || v.numel() != 3) bad_value(cx, v, expected);
  for (double d : v.numbers())
    if (!(d >= 0 && d <= 1)) bad_value(cx, v, expected);
  return {v.numbers()[0], v.numbers()[1], v.numbers()[2]};
}
Value color_value(const Color& c) { return Value::row({c.r, c.g, c.b}); }

// A colour, or one of the given words meaning "no colour of its own".
std::optional<Color> as_color_or(const Context& cx, const Value& v,
                                 std::span<const std::string_view> words) {
  if (v.is_text())
    for (auto w : words)
      if (lower(v.str()) == w) return std::nullopt;
  return as_color(cx, v);
}

Rect as_rect(const Context& cx, const Value& v) {
  auto d = as_numbers(cx, v, 4, "a position [left bottom width height]");
  if (d[2] < 0 || d[3] < 0) bad_value(cx, v, "a position with a width and height of at least 0");
  return {d[0], d[1], d[2], d[3]};
}
Value rect_value(const Rect& r) { return Value::row({r.left, r.bottom, r.width, r.height}); }

std::array<double, 2> as_limits(const Context& cx, const Value& v) {
  auto d = as_numbers(cx, v, 2, "two increasing numbers [low high]");
  if (!(d[0] < d[1])) bad_value(cx, v, "two increasing numbers [low high]");
  return {d[0], d[1]};
}

std::array<double, 2> as_pair(const Context& cx, const Value& v) {
  if (v.is_scalar()) return {as_number(cx, v), as_number(cx, v)};
  auto d = as_numbers(cx, v, 2, "two numbers [first last]");
  return {d[0], d[1]};
}
Value pair_value(std::array<double, 2> a) { return Value::row({a[0], a[1]}); }

// An n by 3 table of colours with parts from 0 to 1 (colour maps and colour orders).
std::vector<Color> as_color_table(const Context& cx, const Value& v) {
  constexpr std::string_view expected = "an n by 3 table of colours with parts from 0 to 1";
  if (!v.is_numeric() || v.dims().size() != 2 || v.dims()[1] != 3) bad_value(cx, v, expected);
  const std::size_t n = v.dims()[0];
  const auto& d = v.numbers();
  std::vector<Color> out(n);
  for (std::size_t i = 0; i < n; ++i) {
    out[i] = {d[i], d[n + i], d[2 * n + i]};
    for (double p : {out[i].r, out[i].g, out[i].b})
      if (!(p >= 0 && p <= 1)) bad_value(cx, v, expected);
  }
  return out;
}
Value color_table_value(const std::vector<Color>& t) {
  const std::size_t n = t.size();
  std::vector<double> d(3 * n);
  for (std::size_t i = 0; i < n; ++i) {
    d[i] = t[i].r;
    d[n + i] = t[i].g;
    d[2 * n + i] = t[i].b;
  }
  return Value::numeric({n, 3}, std::move(d));
}

// The default colour map: 64 colours running from dark blue through cyan, yellow and red to
// dark red.
Colormap default_colormap() {
  Colormap map(64);
  auto ramp = [](double x) { return std::clamp(x, 0.0, 1.0); };
  for (std::size_t i = 0; i < map.size(); ++i) {
    const double t = (static_cast<double>(i) + 1) / 64.0;
    map[i] = {ramp(1.5 - std::abs(4 * t - 3)), ramp(1.5 - std::abs(4 * t - 2)),
              ramp(1.5 - std::abs(4 * t - 1))};
  }
  return map;
}

constexpr std::array<std::string_view, 3> kUnits{"pixels", "points", "normalized"};
Units as_units(const Context& cx, const Value& v) {
  const std::string w = as_word(cx, v, kUnits);
  return w == "pixels" ? Units::Pixels : w == "points" ? Units::Points : Units::Normalized;
}
Value units_value(Units u) {
  return Value::text(std::string(kUnits[static_cast<std::size_t>(u)]));
}

constexpr std::array<std::string_view, 3> kFontAngles{"normal", "italic", "oblique"};
constexpr std::array<std::string_view, 4> kFontWeights{"normal", "bold", "demi", "light"};
std::string as_font_angle(const Context& cx, const Value& v) {
  return as_word(cx, v, kFontAngles);
}
std::string as_font_weight(const Context& cx, const Value& v) {
  return as_word(cx, v, kFontWeights);
}
std::string as_font_name(const Context& cx, const Value& v) {
  std::string s = as_text(cx, v);
  if (s.empty()) bad_value(cx, v, "a font name");
  return s;
}
constexpr std::array<std::string_view, 3> kHorizontal{"left", "center", "right"};
constexpr std::array<std::string_view, 5> kVertical{"top", "cap", "middle", "baseline", "bottom"};

std::vector<std::string> split_bars(const std::string& s) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (;;) {
    std::size_t bar = s.find('|', start);
    out.push_back(s.substr(start, bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  return out;
}

// A list of texts: a cell table of texts (read in column order) or one text with '|'
// between the items.
std::vector<std::string> as_text_list(const Context& cx, const Value& v) {
  if (v.is_text()) return split_bars(v.str());
  if (v.is_numeric() && v.is_empty()) return {};
  if (!v.is_cell()) bad_value(cx, v, "a list of texts or a text with '|' between the items");
  std::vector<std::string> out;
  for (const Value& c : v.cells()) {
    if (!c.is_text() && !(c.is_numeric() && c.is_empty()))
      bad_value(cx, v, "a list of texts");
    out.push_back(c.is_text() ? c.str() : std::string());
  }
  return out;
}

std::string join(const std::vector<std::string>& items, char sep) {
  std::string out;
  for (std::size_t i = 0; i < items.size(); ++i) out += (i ? std::string(1, sep) : "") + items[i];
  return out;
}

constexpr std::array<std::string_view, 7> kStyles{"pushbutton", "popupmenu", "edit", "checkbox",
                                                  "radiobutton", "text", "frame"};

Value handle_value(Handle h) { return Value::number(h.value); }

// ---------------------------------------------------------------------------------------
// The tables: one per kind of object, plus the properties every object has.

template <class T>
struct Prop {
  std::string_view name;
  Value (*get)(Model&, T&);
  void (*set)(Model&, T&, const Value&, const Context&);  // nullptr: read-only
};

// Entries are written as GET(expression of `o`) and SET(statement using `v`, checked by the
// conversions above before anything is assigned).
#define GET(...) [](Model & m, auto& o) -> Value { (void)m; return __VA_ARGS__; }
#define SET(...) \
  [](Model & m, auto& o, const Value& v, const Context& cx) { (void)m; (void)cx; __VA_ARGS__; }

const auto kCommon = std::to_array<Prop<Object>>({
    {"Type", GET(Value::text(std::string(type_name(o.kind())))), nullptr},
    {"Tag", GET(Value::text(o.tag)), SET(o.tag = as_text(cx, v))},
    {"Visible", GET(on_off(o.visible)), SET(o.visible = as_on_off(cx, v))},
    {"HandleVisibility", GET(on_off(o.handle_visible)),
     SET({
       // Every lookup of the program runs inside a control's command, where "callback"
       // handles are visible.
       constexpr std::array<std::string_view, 3> words{"on", "off", "callback"};
       o.handle_visible = as_word(cx, v, words) != "off";
     })},
    {"Parent", GET(handle_value(o.parent())), nullptr},
    {"Children", GET(([&] {
       std::vector<double> hs;
       for (Handle h : o.children())
         if (m.get(h).handle_visible) hs.push_back(h.value);
       return Value::column(std::move(hs));
     }())),
     nullptr},
});

const auto kWindow = std::to_array<Prop<Window>>({
    {"Number", GET(Value::number(o.number)), nullptr},
    {"Name", GET(Value::text(o.name)), SET(o.name = as_text(cx, v))},
    {"NumberTitle", GET(on_off(o.number_title)), SET(o.number_title = as_on_off(cx, v))},
    {"Color", GET(color_value(o.color)), SET(o.color = as_color(cx, v))},
    {"Colormap", GET(color_table_value(o.colormap.empty() ? default_colormap() : o.colormap)),
     SET({
       auto t = as_color_table(cx, v);
       if (t.empty()) bad_value(cx, v, "at least one colour");
       o.colormap = std::move(t);
     })},
    {"Units", GET(units_value(o.units)), SET(o.units = as_units(cx, v))},
    {"Position", GET(rect_value(o.position)), SET(o.position = as_rect(cx, v))},
    {"Resize", GET(on_off(o.resize)), SET(o.resize = as_on_off(cx, v))},
    {"Pointer", GET(Value::text(o.pointer)), SET({
       constexpr std::array<std::string_view, 2> words{"arrow", "watch"};
       o.pointer = as_word(cx, v, words);
     })},
    {"CurrentAxes", GET(handle_value(o.current_axes)), SET({
       const Handle h{as_number(cx, v)};
       Object* a = m.find(h);
       if (!a || a->kind() != Kind::Axes || a->parent() != o.handle())
         bad_value(cx, v, "an axes of this window");
       o.current_axes = h;
     })},
    {"MenuBar", GET(Value::text(o.menubar)), SET({
       constexpr std::array<std::string_view, 2> words{"figure", "none"};
       o.menubar = as_word(cx, v, words);
     })},
    {"ToolBar", GET(Value::text(o.toolbar)), SET({
       constexpr std::array<std::string_view, 3> words{"auto", "figure", "none"};
       o.toolbar = as_word(cx, v, words);
     })},
    {"PaperUnits", GET(Value::text(o.paper_units)), SET({
       constexpr std::array<std::string_view, 4> words{"inches", "centimeters", "normalized",
                                                       "points"};
       o.paper_units = as_word(cx, v, words);
     })},
    {"PaperType", GET(Value::text(o.paper_type)), SET({
       std::string s = lower(as_text(cx, v));
       if (s.empty()) bad_value(cx, v, "a paper type");
       o.paper_type = s;
     })},
    {"PaperOrientation", GET(Value::text(o.paper_orientation)), SET({
       constexpr std::array<std::string_view, 3> words{"portrait", "landscape", "rotated"};
       o.paper_orientation = as_word(cx, v, words);
     })},
    {"PaperPositionMode", GET(Value::text(o.paper_position_mode)), SET({
       constexpr std::array<std::string_view, 2> words{"auto", "manual"};
       o.paper_position_mode = as_word(cx, v, words);
     })},
    {"PaperPosition", GET(rect_value(o.paper_position)), SET(o.paper_position = as_rect(cx, v))},
});

constexpr std::array<std::string_view, 2> kLimitModes{"auto", "manual"};

const auto kAxes = std::to_array<Prop<Axes>>({
    {"Units", GET(units_value(o.units)), SET(o.units = as_units(cx, v))},
    {"Position", GET(rect_value(o.position)), SET(o.position = as_rect(cx, v))},
    {"Color", GET(o.color_none ? Value::text("none") : color_value(o.color)), SET({
       constexpr std::array<std::string_view, 1> none{"none"};
       auto c = as_color_or(cx, v, none);
       o.color_none = !c;
       if (c) o.color = *c;
     })},
    {"XColor", GET(color_value(o.xcolor)), SET(o.xcolor = as_color(cx, v))},
    {"YColor", GET(color_value(o.ycolor)), SET(o.ycolor = as_color(cx, v))},
    {"ZColor", GET(color_value(o.zcolor)), SET(o.zcolor = as_color(cx, v))},
    {"Box", GET(on_off(o.box)), SET(o.box = as_on_off(cx, v))},
    {"Layer", GET(Value::text(o.layer_top ? "top" : "bottom")), SET({
       constexpr std::array<std::string_view, 2> words{"top", "bottom"};
       o.layer_top = as_word(cx, v, words) == "top";
     })},
    {"XLim", GET(pair_value(o.xlim)), SET({
       o.xlim = as_limits(cx, v);
       o.xlim_manual = true;
     })},
    {"YLim", GET(pair_value(o.ylim)), SET({
       o.ylim = as_limits(cx, v);
       o.ylim_manual = true;
     })},
    {"XLimMode", GET(Value::text(o.xlim_manual ? "manual" : "auto")),
     SET(o.xlim_manual = as_word(cx, v, kLimitModes) == "manual")},
    {"YLimMode", GET(Value::text(o.ylim_manual ? "manual" : "auto")),
     SET(o.ylim_manual = as_word(cx, v, kLimitModes) == "manual")},
    {"XGrid", GET(on_off(o.xgrid)), SET(o.xgrid = as_on_off(cx, v))},
    {"YGrid", GET(on_off(o.ygrid)), SET(o.ygrid = as_on_off(cx, v))},
    {"ZGrid", GET(on_off(o.zgrid)), SET(o.zgrid = as_on_off(cx, v))},
    {"YDir", GET(Value::text(o.ydir_reverse ? "reverse" : "normal")), SET({
       constexpr std::array<std::string_view, 2> words{"normal", "reverse"};
       o.ydir_reverse = as_word(cx, v, words) == "reverse";
     })},
    {"NextPlot", GET(Value::text(o.hold ? "add" : "replace")), SET({
       constexpr std::array<std::string_view, 3> words{"add", "replace", "replacechildren"};
       o.hold = as_word(cx, v, words) == "add";
     })},
    {"CLim", GET(pair_value(o.clim)), SET({
       o.clim = as_limits(cx, v);
       o.clim_manual = true;
     })},
    {"CLimMode", GET(Value::text(o.clim_manual ? "manual" : "auto")),
     SET(o.clim_manual = as_word(cx, v, kLimitModes) == "manual")},
    {"ColorOrder", GET(color_table_value(o.color_order)), SET({
       auto t = as_color_table(cx, v);
       if (t.empty()) bad_value(cx, v, "at least one colour");
       o.color_order = std::move(t);
     })},
    {"FontName", GET(Value::text(o.font_name)), SET(o.font_name = as_font_name(cx, v))},
    {"FontSize", GET(Value::number(o.font_size)), SET(o.font_size = as_positive(cx, v))},
    {"FontAngle", GET(Value::text(o.font_angle)), SET(o.font_angle = as_font_angle(cx, v))},
    {"FontWeight", GET(Value::text(o.font_weight)), SET(o.font_weight = as_font_weight(cx, v))},
    {"HitTest", GET(on_off(o.hit_test)), SET(o.hit_test = as_on_off(cx, v))},
    {"Title", GET(handle_value(o.title)), nullptr},
    {"XLabel", GET(handle_value(o.xlabel)), nullptr},
    {"YLabel", GET(handle_value(o.ylabel)), nullptr},
    {"ZLabel", GET(handle_value(o.zlabel)), nullptr},
});

constexpr std::array<std::string_view, 5> kLineStyles{"-", "--", ":", "-.", "none"};
constexpr std::array<std::string_view, 10> kMarkers{"none", "s", "o", "x", "+",
                                                    "*",    ".", "d", "^", "v"};

const auto kLine = std::to_array<Prop<Line>>({
    {"XData", GET(Value::row(o.x)), SET(o.x = as_vector(cx, v))},
    {"YData", GET(Value::row(o.y)), SET(o.y = as_vector(cx, v))},
    {"Color", GET(color_value(o.color)), SET(o.color = as_color(cx, v))},
    {"LineStyle", GET(Value::text(o.line_style)), SET(o.line_style = as_word(cx, v, kLineStyles))},
    {"Marker", GET(Value::text(o.marker)), SET(o.marker = as_word(cx, v, kMarkers))},
    {"MarkerFaceColor", GET(o.marker_face ? color_value(*o.marker_face) : Value::text("none")),
     SET({
       constexpr std::array<std::string_view, 1> none{"none"};
       o.marker_face = as_color_or(cx, v, none);
     })},
    {"MarkerEdgeColor", GET(o.marker_edge ? color_value(*o.marker_edge) : Value::text("auto")),
     SET({
       constexpr std::array<std::string_view, 1> line_colour{"auto"};
       o.marker_edge = as_color_or(cx, v, line_colour);
     })},
    {"LineWidth", GET(Value::number(o.line_width)), SET(o.line_width = as_positive(cx, v))},
    {"MarkerSize", GET(Value::number(o.marker_size)), SET(o.marker_size = as_positive(cx, v))},
});

const auto kText = std::to_array<Prop<Text>>({
    {"String", GET(Value::text(o.string)), SET({
       // A list of lines is kept as one text with line breaks.
       if (v.is_cell())
         o.string = join(as_text_list(cx, v), '\n');
       else
         o.string = as_text(cx, v);
     })},
    {"Position", GET(Value::row({o.position[0], o.position[1], o.position[2]})), SET({
       if (v.numel() == 2) {
         auto d = as_numbers(cx, v, 2, "a position [x y] or [x y z]");
         o.position = {d[0], d[1], 0};
       } else {
         auto d = as_numbers(cx, v, 3, "a position [x y] or [x y z]");
         o.position = {d[0], d[1], d[2]};
       }
     })},
    {"FontName", GET(Value::text(o.font_name)), SET(o.font_name = as_font_name(cx, v))},
    {"FontSize", GET(Value::number(o.font_size)), SET(o.font_size = as_positive(cx, v))},
    {"FontAngle", GET(Value::text(o.font_angle)), SET(o.font_angle = as_font_angle(cx, v))},
    {"FontWeight", GET(Value::text(o.font_weight)), SET(o.font_weight = as_font_weight(cx, v))},
    {"Rotation", GET(Value::number(o.rotation)), SET(o.rotation = as_number(cx, v))},
    {"Color", GET(color_value(o.color)), SET(o.color = as_color(cx, v))},
    {"HorizontalAlignment", GET(Value::text(o.horizontal_alignment)),
     SET(o.horizontal_alignment = as_word(cx, v, kHorizontal))},
    {"VerticalAlignment", GET(Value::text(o.vertical_alignment)),
     SET(o.vertical_alignment = as_word(cx, v, kVertical))},
});

// Colour data: h by w (indices or grey) or h by w by 3 (red, green, blue).
void set_cdata(Image& o, const Value& v, const Context& cx) {
  constexpr std::string_view expected = "an h by w or h by w by 3 array of numbers";
  if (!v.is_numeric()) bad_value(cx, v, expected);
  const auto& d = v.dims();
  std::size_t channels = 1;
  if (d.size() == 3)
    channels = d[2];
  else if (d.size() != 2)
    bad_value(cx, v, expected);
  if (channels != 1 && channels != 3) bad_value(cx, v, expected);
  o.height = d[0];
  o.width = d[1];
  o.channels = channels;
  o.cdata = v.numbers();
  // Colours beyond 1 can only be 8-bit values.
  o.true_colour_8bit =
      channels == 3 && std::any_of(o.cdata.begin(), o.cdata.end(), [](double x) { return x > 1; });
}

Value cdata_value(const Image& o) {
  if (o.channels == 1) return Value::numeric({o.height, o.width}, o.cdata);
  return Value::numeric({o.height, o.width, o.channels}, o.cdata);
}

const auto kImage = std::to_array<Prop<Image>>({
    {"CData", GET(cdata_value(o)), SET(set_cdata(o, v, cx))},
    {"CDataMapping", GET(Value::text(o.cdata_scaled ? "scaled" : "direct")), SET({
       constexpr std::array<std::string_view, 2> words{"scaled", "direct"};
       o.cdata_scaled = as_word(cx, v, words) == "scaled";
     })},
    {"XData", GET(pair_value(o.xdata)), SET(o.xdata = as_pair(cx, v))},
    {"YData", GET(pair_value(o.ydata)), SET(o.ydata = as_pair(cx, v))},
});

const auto kControl = std::to_array<Prop<Control>>({
    {"Style", GET(Value::text(std::string(kStyles[static_cast<std::size_t>(o.style)]))), SET({
       const std::string w = as_word(cx, v, kStyles);
       const auto i = std::find(kStyles.begin(), kStyles.end(), w) - kStyles.begin();
       o.style = static_cast<Control::Style>(i);
       // A list given while the control was another style becomes the popup's rows.
       if (o.style == Control::Style::Popup && o.items.empty() && !o.string.empty())
         o.items = split_bars(o.string);
     })},
    {"String",
     GET(o.style == Control::Style::Popup ? Value::text_list(o.items) : Value::text(o.string)),
     SET({
       if (o.style == Control::Style::Popup || v.is_cell()) {
         auto items = as_text_list(cx, v);
         o.string = o.style == Control::Style::Popup ? join(items, '|') : join(items, '\n');
         o.items = std::move(items);
       } else {
         o.string = as_text(cx, v);
         o.items.clear();
       }
     })},
    {"Value", GET(Value::number(o.value)), SET(o.value = as_number(cx, v))},
    {"Units", GET(units_value(o.units)), SET(o.units = as_units(cx, v))},
    {"Position", GET(rect_value(o.position)), SET(o.position = as_rect(cx, v))},
    {"BackgroundColor", GET(color_value(o.background)), SET(o.background = as_color(cx, v))},
    {"ForegroundColor", GET(color_value(o.foreground)), SET(o.foreground = as_color(cx, v))},
    {"FontName", GET(Value::text(o.font_name)), SET(o.font_name = as_font_name(cx, v))},
    {"FontSize", GET(Value::number(o.font_size)), SET(o.font_size = as_positive(cx, v))},
    {"FontWeight", GET(Value::text(o.font_weight)), SET(o.font_weight = as_font_weight(cx, v))},
    {"FontAngle", GET(Value::text(o.font_angle)), SET(o.font_angle = as_font_angle(cx, v))},
    {"HorizontalAlignment", GET(Value::text(o.horizontal_alignment)),
     SET(o.horizontal_alignment = as_word(cx, v, kHorizontal))},
    {"Callback", GET(Value::text(o.callback)), SET(o.callback = as_text(cx, v))},
    {"TooltipString", GET(Value::text(o.tooltip)), SET(o.tooltip = as_text(cx, v))},
    {"Enable", GET(Value::text(o.enable)), SET({
       constexpr std::array<std::string_view, 3> words{"on", "off", "inactive"};
       o.enable = as_word(cx, v, words);
     })},
    {"ListboxTop", GET(Value::number(o.list_top)), SET(o.list_top = as_number(cx, v))},
});

const auto kMenu = std::to_array<Prop<Menu>>({
    {"Label", GET(Value::text(o.label)), SET(o.label = as_text(cx, v))},
    {"Callback", GET(Value::text(o.callback)), SET(o.callback = as_text(cx, v))},
    {"Separator", GET(on_off(o.separator)), SET(o.separator = as_on_off(cx, v))},
});

#undef GET
#undef SET

// Properties that are accepted and kept as given but change nothing the model draws: the
// plot editor's commands, renderer hints, tick settings the painter chooses itself.
constexpr auto kInertCommon = std::to_array<std::string_view>(
    {"userdata", "buttondownfcn", "createfcn", "deletefcn", "busyaction", "interruptible",
     "selected", "selectionhighlight", "uicontextmenu", "clipping", "erasemode"});
constexpr auto kInertWindow = std::to_array<std::string_view>(
    {"doublebuffer", "renderer", "renderermode", "keypressfcn", "resizefcn",
     "defaultaxescreatefcn", "closerequestfcn", "integerhandle", "inverthardcopy",
     "windowstyle", "windowbuttondownfcn", "windowbuttonmotionfcn", "windowbuttonupfcn",
     "nextplot", "hittest", "filename", "sharecolors", "dithermap", "dithermapmode",
     "minColormap", "backingstore", "papersize"});
constexpr auto kInertAxes = std::to_array<std::string_view>(
    {"zlim", "zlimmode", "zdir", "xdir", "xtick", "ytick", "ztick", "xtickmode", "ytickmode",
     "ztickmode", "xticklabel", "yticklabel", "zticklabel", "xticklabelmode", "yticklabelmode",
     "zticklabelmode", "xscale", "yscale", "zscale", "xaxislocation", "yaxislocation",
     "tickdir", "tickdirmode", "ticklength", "linewidth", "linestyleorder", "gridlinestyle",
     "drawmode", "fontunits", "view", "cameraposition", "cameratarget", "cameraupvector",
     "cameraviewangle", "cameraviewanglemode", "camerapositionmode", "cameratargetmode",
     "cameraupvectormode", "dataaspectratio", "dataaspectratiomode", "plotboxaspectratio",
     "plotboxaspectratiomode", "projection", "ambientlightcolor", "xminortick",
     "yminortick", "zminortick", "xminorgrid", "yminorgrid", "zminorgrid", "alim",
     "alimmode"});
constexpr auto kInertText = std::to_array<std::string_view>(
    {"units", "interpreter", "fontunits", "editing", "extent", "hittest", "margin",
     "edgecolor", "backgroundcolor", "linestyle", "linewidth"});
constexpr auto kInertLine = std::to_array<std::string_view>({"zdata", "hittest"});
constexpr auto kInertImage = std::to_array<std::string_view>(
    {"alphadata", "alphadatamapping", "hittest"});
constexpr auto kInertControl = std::to_array<std::string_view>(
    {"max", "min", "sliderstep", "fontunits", "keypressfcn", "hittest"});
constexpr auto kInertMenu = std::to_array<std::string_view>(
    {"checked", "enable", "accelerator", "foregroundcolor", "position", "hittest"});

std::span<const std::string_view> inert_names(Kind k) {
  switch (k) {
    case Kind::Window: return kInertWindow;
    case Kind::Axes: return kInertAxes;
    case Kind::Line: return kInertLine;
    case Kind::Text: return kInertText;
    case Kind::Image: return kInertImage;
    case Kind::Control: return kInertControl;
    case Kind::Menu:
    case Kind::ContextMenu: return kInertMenu;
  }
  return {};
}

bool is_inert(Kind k, const std::string& lname) {
  auto in = [&lname](std::span<const std::string_view> names) {
    return std::any_of(names.begin(), names.end(),
                       [&lname](std::string_view n) { return lower(n) == lname; });
  };
  return in(kInertCommon) || in(inert_names(k));
}

template <class T, std::size_t N>
const Prop<T>* lookup(const std::array<Prop<T>, N>& table, const std::string& lname) {
  for (const auto& p : table)
    if (lower(p.name) == lname) return &p;
  return nullptr;
}

[[noreturn]] void no_such_property(const Object& o, std::string_view name) {
  throw RuntimeError("There is no '" + std::string(name) + "' property of the " +
                     std::string(type_name(o.kind())) + " class.");
}

[[noreturn]] void read_only(const Object& o, std::string_view name) {
  throw RuntimeError("The '" + std::string(name) + "' property of the " +
                     std::string(type_name(o.kind())) + " class cannot be set.");
}

// Runs `found` on the entry of `o`'s own table or the common table that matches `lname`;
// returns false when neither has it.
template <class F>
bool with_property(Object& o, const std::string& lname, F&& found) {
  auto typed = [&]<class T, std::size_t N>(const std::array<Prop<T>, N>& table) {
    if (const auto* p = lookup(table, lname)) {
      found(*p, static_cast<T&>(o));
      return true;
    }
    return false;
  };
  bool hit = false;
  switch (o.kind()) {
    case Kind::Window: hit = typed(kWindow); break;
    case Kind::Axes: hit = typed(kAxes); break;
    case Kind::Line: hit = typed(kLine); break;
    case Kind::Text: hit = typed(kText); break;
    case Kind::Image: hit = typed(kImage); break;
    case Kind::Control: hit = typed(kControl); break;
    case Kind::Menu:
    case Kind::ContextMenu: hit = typed(kMenu); break;
  }
  return hit || typed(kCommon);
}

}  // namespace

Value get_property(Model& m, Object& o, std::string_view name) {
  const std::string lname = lower(name);
  Value out;
  bool done = with_property(o, lname, [&](const auto& p, auto& obj) { out = p.get(m, obj); });
  if (done) return out;
  if (is_inert(o.kind(), lname)) {
    auto it = o.extra.find(lname);
    return it == o.extra.end() ? Value() : it->second;
  }
  no_such_property(o, name);
}

void set_property(Model& m, Object& o, std::string_view name, const Value& v) {
  const std::string lname = lower(name);
  bool done = with_property(o, lname, [&](const auto& p, auto& obj) {
    if (!p.set) read_only(o, p.name);
    p.set(m, obj, v, Context{type_name(o.kind()), p.name});
  });
  if (!done) {
    if (!is_inert(o.kind(), lname)) no_such_property(o, name);
    o.extra[lname] = v;
  }
  m.touch();
}

void set_properties(Model& m, Object& o, const std::vector<std::pair<std::string, Value>>& pairs) {
  for (const auto& [name, value] : pairs) set_property(m, o, name, value);
}

}  // namespace quorin::gfx
