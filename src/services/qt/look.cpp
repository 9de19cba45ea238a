#include "services/qt/look.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>

namespace quorin::qtk {

namespace {

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

double unit_scale(gfx::Units units, double area_extent) {
  switch (units) {
    case gfx::Units::Pixels:
      return 1.0;
    case gfx::Units::Points:
      return kPixelsPerPoint;
    case gfx::Units::Normalized:
      return area_extent;
  }
  return 1.0;
}

}  // namespace

QFont make_font(std::string_view name, double size_pt, std::string_view weight,
                std::string_view angle) {
  const std::string n = lower(name);
  QString family;
  if (n == "arial" || n == "helvetica")
    family = QStringLiteral("Liberation Sans");
  else if (n == "times" || n == "times new roman")
    family = QStringLiteral("Liberation Serif");
  else if (n == "courier" || n == "courier new")
    family = QStringLiteral("Liberation Mono");
  else
    family = QString::fromStdString(std::string(name));
  QFont f(family);
  const double px = (std::isfinite(size_pt) && size_pt > 0 ? size_pt : 8) * kPixelsPerPoint;
  f.setPixelSize(std::max(1, static_cast<int>(std::lround(px))));
  const std::string w = lower(weight);
  if (w == "light")
    f.setWeight(QFont::Light);
  else if (w == "demi")
    f.setWeight(QFont::DemiBold);
  else if (w == "bold")
    f.setWeight(QFont::Bold);
  else
    f.setWeight(QFont::Normal);
  const std::string a = lower(angle);
  f.setItalic(a == "italic" || a == "oblique");
  f.setStyleStrategy(QFont::PreferAntialias);
  return f;
}

QColor to_qcolor(const gfx::Color& c) {
  auto ch = [](double v) {
    if (!std::isfinite(v)) v = 0;
    return static_cast<int>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0));
  };
  return QColor(ch(c.r), ch(c.g), ch(c.b));
}

QRectF to_qrectf(gfx::Units units, const gfx::Rect& r, QSizeF area) {
  const double sx = unit_scale(units, area.width());
  const double sy = unit_scale(units, area.height());
  const double left = r.left * sx, bottom = r.bottom * sy;
  const double w = r.width * sx, h = r.height * sy;
  return QRectF(left, area.height() - bottom - h, w, h);
}

QRect to_qrect(gfx::Units units, const gfx::Rect& r, QSize area) {
  const QRectF f = to_qrectf(units, r, QSizeF(area));
  auto rd = [](double v) {
    if (!std::isfinite(v)) return 0L;
    return std::lround(std::clamp(v, -1e6, 1e6));
  };
  // Round the edges, not the size, so neighbouring controls meet without gaps.
  const long x0 = rd(f.left()), x1 = rd(f.right()), y0 = rd(f.top()), y1 = rd(f.bottom());
  return QRect(static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1 - x0),
               static_cast<int>(y1 - y0));
}

gfx::Rect from_qrect(gfx::Units units, const QRect& r, QSize area) {
  const double sx = unit_scale(units, area.width());
  const double sy = unit_scale(units, area.height());
  gfx::Rect out;
  out.left = sx != 0 ? r.x() / sx : 0;
  out.width = sx != 0 ? r.width() / sx : 0;
  out.bottom = sy != 0 ? (area.height() - r.y() - r.height()) / sy : 0;
  out.height = sy != 0 ? r.height() / sy : 0;
  return out;
}

}  // namespace quorin::qtk
