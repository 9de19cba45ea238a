// How model fonts, colours and positions become Qt fonts, colours and pixel rectangles.
#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QSize>
#include <string_view>

#include "services/gfx/model.h"

namespace quorin::qtk {

inline constexpr double kPixelsPerPoint = 96.0 / 72.0;

// "arial"/"helvetica" -> Liberation Sans, "times" -> Liberation Serif; sizes in points set
// as pixels (points x 96/72) so text looks the same on every display.
QFont make_font(std::string_view name, double size_pt, std::string_view weight,
                std::string_view angle);

QColor to_qcolor(const gfx::Color& c);

// A [left bottom width height] rectangle in `units`, measured from the lower-left corner of
// an area of `area` pixels, as a Qt rectangle from the upper-left corner.
QRect to_qrect(gfx::Units units, const gfx::Rect& r, QSize area);
QRectF to_qrectf(gfx::Units units, const gfx::Rect& r, QSizeF area);
// The inverse of to_qrect.
gfx::Rect from_qrect(gfx::Units units, const QRect& r, QSize area);

}  // namespace quorin::qtk
