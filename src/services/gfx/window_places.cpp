#include "services/gfx/window_places.h"

#include <cmath>
#include <optional>
#include <sstream>

namespace quorin::gfx {
namespace {

constexpr const char* kUnitNames[] = {"pixels", "points", "normalized"};

const char* unit_name(Units u) {
  return kUnitNames[static_cast<int>(u)];
}

// "pixels 200 100 560 420" back into a rectangle, when the units match and the numbers are
// finite with a positive size.
std::optional<Rect> parse_place(const std::string& text, Units units) {
  std::istringstream in(text);
  std::string name;
  Rect r;
  if (!(in >> name >> r.left >> r.bottom >> r.width >> r.height)) return std::nullopt;
  std::string rest;
  if (in >> rest) return std::nullopt;
  if (name != unit_name(units)) return std::nullopt;
  for (double v : {r.left, r.bottom, r.width, r.height})
    if (!std::isfinite(v)) return std::nullopt;
  if (!(r.width > 0) || !(r.height > 0)) return std::nullopt;
  return r;
}

// Whether the window's top edge can be reached: a tenth of the screen's width of it lies on
// the screen, and the top edge is neither above the screen nor within a tenth of its height
// of the bottom.
bool reachable(const Rect& r, const Rect& screen) {
  const double margin_x = screen.width / 10, margin_y = screen.height / 10;
  const double top = r.bottom + r.height;
  const double screen_top = screen.bottom + screen.height;
  const double overlap =
      std::min(r.left + r.width, screen.left + screen.width) - std::max(r.left, screen.left);
  return overlap >= margin_x && top <= screen_top && top >= screen.bottom + margin_y;
}

}  // namespace

std::string window_place_key(const Window& w) {
  const std::string name = w.name.empty() ? "window " + std::to_string(w.number) : w.name;
  return "windows/" + settings_key_part(name) + "/place";
}

void remember_place(const Window& w, Settings& settings) {
  std::ostringstream out;
  out.precision(17);
  const Rect& r = w.position;
  out << unit_name(w.units) << ' ' << r.left << ' ' << r.bottom << ' ' << r.width << ' '
      << r.height;
  settings.set_value(window_place_key(w), out.str());
}

bool restore_place(Window& w, const Settings& settings, const Rect& screen) {
  const std::optional<std::string> text = settings.value(window_place_key(w));
  if (!text) return false;
  std::optional<Rect> kept = parse_place(*text, w.units);
  if (!kept) return false;
  if (!w.resize) {
    // Same top-left corner, the window's own size.
    kept->bottom += kept->height - w.position.height;
    kept->width = w.position.width;
    kept->height = w.position.height;
  }
  if (!reachable(*kept, screen)) return false;
  if (*kept == w.position) return false;
  w.position = *kept;
  return true;
}

}  // namespace quorin::gfx
