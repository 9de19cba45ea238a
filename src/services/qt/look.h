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

// How a text is laid into a control's box so that it shows whole.
struct TextFit {
  QFont font;
  bool wrap = false;  // over several lines
  QRect rect;         // the box, or a wider one when the text needs it
};
// One line in `font` when it fits the box's width; several lines when the text has several
// words and the box is tall enough for them; otherwise one line in a font at most
// kMaxShrinkPixels smaller, in a box widened by what is still missing on the side away from
// the text's alignment (`align`: left, right or centre).
inline constexpr int kMaxShrinkPixels = 2;
TextFit fit_text(const QString& text, const QFont& font, const QRect& box, Qt::Alignment align);
// One line in `font` when it fits `width` pixels; otherwise the largest font at most
// kMaxShrinkPixels smaller in which it fits, or the smallest of those.
QFont fit_one_line(const QString& text, const QFont& font, int width);

// A plain-text tooltip broken into lines no wider than `max_width` pixels in `font` (a word
// longer than that keeps a line of its own); rich text is left as it is.
inline constexpr int kTooltipWidth = 320;
QString wrap_tooltip(const QString& text, const QFont& font, int max_width = kTooltipWidth);

}  // namespace quorin::qtk
