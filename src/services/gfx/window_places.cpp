#include "services/gfx/window_places.h"

#include <algorithm>
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
  // A place too small to show every part of the window is not taken.
  if (kept->width < w.min_width || kept->height < w.min_height) return false;
  if (!reachable(*kept, screen)) return false;
  if (*kept == w.position) return false;
  w.position = *kept;
  return true;
}

Rect make_room_beside(const Rect& first, double width, const Rect& screen) {
  const double right_edge = screen.left + screen.width;
  const double wanted_left = right_edge - kWindowGap - width - kWindowGap - first.width;
  Rect moved = first;
  moved.left = std::max(screen.left + kWindowGap, std::min(first.left, wanted_left));
  return moved;
}

std::optional<Rect> place_beside(const Rect& shown, const Rect& opening, double min_width,
                                 double min_height, const Rect& screen) {
  const double right_edge = screen.left + screen.width;
  const double top_edge = screen.bottom + screen.height - kTitleBarRoom;
  const double min_w = std::min(min_width, opening.width);
  const double min_h = std::min(min_height, opening.height);
  // To the right, tops level.
  {
    Rect r = opening;
    r.left = shown.left + shown.width + kWindowGap;
    r.width = std::min(opening.width, right_edge - kWindowGap - r.left);
    const double top = std::min(shown.bottom + shown.height, top_edge);
    r.height = std::min(opening.height, top - screen.bottom);
    r.bottom = top - r.height;
    if (r.width >= min_w && r.height >= min_h) return r;
  }
  // Below, left edges level.
  {
    Rect r = opening;
    r.left = std::max(screen.left, std::min(shown.left, right_edge - opening.width));
    r.width = std::min(opening.width, right_edge - r.left);
    const double top = shown.bottom - kTitleBarRoom;
    r.height = std::min(opening.height, top - screen.bottom);
    r.bottom = top - r.height;
    if (r.width >= min_w && r.height >= min_h) return r;
  }
  return std::nullopt;
}

bool side_by_side(std::span<Rect> windows, double min_width, double min_height,
                  const Rect& screen) {
  if (windows.empty()) return true;
  const double n = static_cast<double>(windows.size());
  double wanted = 0;
  for (const Rect& r : windows) wanted += r.width;
  const double room = screen.width - (n + 1) * kWindowGap;
  const double scale = std::min(1.0, room / wanted);
  const double top = screen.bottom + screen.height - kTitleBarRoom;
  for (const Rect& r : windows)
    if (r.width * scale < std::min(min_width, r.width) ||
        std::min(r.height, top - screen.bottom) < std::min(min_height, r.height))
      return false;
  double left = screen.left + kWindowGap;
  for (Rect& r : windows) {
    r.width *= scale;
    r.height = std::min(r.height, top - screen.bottom);
    r.left = left;
    r.bottom = top - r.height;
    left += r.width + kWindowGap;
  }
  return true;
}

Rect in_pixels(const Window& w, const Rect& screen) {
  const Rect& r = w.position;
  switch (w.units) {
    case Units::Points: {
      constexpr double k = 96.0 / 72.0;
      return {r.left * k, r.bottom * k, r.width * k, r.height * k};
    }
    case Units::Normalized:
      return {screen.left + r.left * screen.width, screen.bottom + r.bottom * screen.height,
              r.width * screen.width, r.height * screen.height};
    case Units::Pixels:
      break;
  }
  return r;
}

bool overlap(const Rect& a, const Rect& b) {
  return std::min(a.left + a.width, b.left + b.width) > std::max(a.left, b.left) &&
         std::min(a.bottom + a.height, b.bottom + b.height) > std::max(a.bottom, b.bottom);
}

}  // namespace quorin::gfx
