#include "services/qt/look.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QStringList>
#include <QTextDocument>
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

namespace {

double advance(const QString& text, const QFont& font) {
  return QFontMetricsF(font).horizontalAdvance(text);
}

int pixel_size(const QFont& font) {
  return font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
}

}  // namespace

QFont fit_one_line(const QString& text, const QFont& font, int width) {
  if (std::ceil(advance(text, font)) <= width) return font;
  QFont f = font;
  const int px = pixel_size(font);
  for (int s = px - 1; s >= std::max(1, px - kMaxShrinkPixels); --s) {
    f.setPixelSize(s);
    if (std::ceil(advance(text, f)) <= width) break;
  }
  return f;
}

TextFit fit_text(const QString& text, const QFont& font, const QRect& box, Qt::Alignment align) {
  TextFit out{font, false, box};
  if (std::ceil(advance(text, font)) <= box.width()) return out;
  if (text.trimmed().contains(QLatin1Char(' '))) {
    const QRect lines = QFontMetrics(font).boundingRect(QRect(0, 0, box.width(), 1 << 20),
                                                        Qt::TextWordWrap | Qt::AlignLeft, text);
    if (lines.width() <= box.width() && lines.height() <= box.height()) {
      out.wrap = true;
      return out;
    }
  }
  out.font = fit_one_line(text, font, box.width());
  const int missing = static_cast<int>(std::ceil(advance(text, out.font))) - box.width();
  if (missing > 0) {
    if (align & Qt::AlignRight)
      out.rect.setLeft(box.left() - missing);
    else if (align & Qt::AlignLeft)
      out.rect.setRight(box.right() + missing);
    else
      out.rect.adjust(-missing / 2, 0, missing - missing / 2, 0);
  }
  return out;
}

QString wrap_tooltip(const QString& text, const QFont& font, int max_width) {
  if (text.isEmpty() || Qt::mightBeRichText(text)) return text;
  QStringList lines;
  for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
    QString line;
    for (const QString& word : paragraph.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
      const QString longer = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
      if (!line.isEmpty() && advance(longer, font) > max_width) {
        lines << line;
        line = word;
      } else {
        line = longer;
      }
    }
    lines << line;
  }
  return lines.join(QLatin1Char('\n'));
}

}  // namespace quorin::qtk
