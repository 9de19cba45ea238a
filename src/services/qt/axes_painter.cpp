#include "services/qt/axes_painter.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPolygonF>
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>
#include <string>
#include <type_traits>
#include <vector>

#include "services/qt/look.h"

namespace quorin::qtk {

namespace {

constexpr double kHuge = 1e6;  // pixel coordinates are kept inside +-kHuge

bool finite(double v) {
  return std::isfinite(v);
}

// Makes a range drawable: ordered, finite and of non-zero width.
std::array<double, 2> sane_range(std::array<double, 2> r) {
  if (!finite(r[0]) || !finite(r[1])) return {0, 1};
  if (r[0] > r[1]) std::swap(r[0], r[1]);
  if (r[0] == r[1]) {
    const double d = r[0] == 0 ? 1 : std::abs(r[0]) * 0.1;
    r[0] -= d;
    r[1] += d;
  }
  return r;
}

std::array<double, 2> fit_range(double lo, double hi) {
  std::array<double, 2> r = sane_range({lo, hi});
  const double step = tick_step(r[0], r[1], 10);
  const double a = std::floor(r[0] / step + 1e-9) * step;
  const double b = std::ceil(r[1] / step - 1e-9) * step;
  return sane_range({a, b});
}

// Data to pixel mapping of one axes.
struct Mapper {
  QRectF box;
  AxesLimits lim;
  bool yrev = false;
  double px(double x) const {
    const double v = box.left() + (x - lim.x[0]) / (lim.x[1] - lim.x[0]) * box.width();
    return std::clamp(v, -kHuge, kHuge);
  }
  double py(double y) const {
    const double t = (y - lim.y[0]) / (lim.y[1] - lim.y[0]);
    const double v = yrev ? box.top() + t * box.height() : box.bottom() - t * box.height();
    return std::clamp(v, -kHuge, kHuge);
  }
  double dx(double px_) const {
    return lim.x[0] + (px_ - box.left()) / box.width() * (lim.x[1] - lim.x[0]);
  }
  double dy(double py_) const {
    const double t = yrev ? (py_ - box.top()) / box.height() : (box.bottom() - py_) / box.height();
    return lim.y[0] + t * (lim.y[1] - lim.y[0]);
  }
};

QString tick_label(double v, double step) {
  const int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
  if (std::abs(v) < step * 1e-6) v = 0;
  QString s = QString::number(v, 'f', std::min(decimals, 15));
  if (s.contains('.')) {
    while (s.endsWith('0')) s.chop(1);
    if (s.endsWith('.')) s.chop(1);
  }
  if (s == "-0") s = "0";
  return s;
}

QPen line_pen(const QColor& c, double width_pt, const std::string& style) {
  QPen pen(c);
  const double w = std::max(1.0, std::round(width_pt * kPixelsPerPoint));
  pen.setWidthF(w);
  pen.setCapStyle(Qt::FlatCap);
  pen.setJoinStyle(Qt::MiterJoin);
  if (style == "--")
    pen.setDashPattern({6, 4});
  else if (style == ":")
    pen.setDashPattern({1, 3});
  else if (style == "-.")
    pen.setDashPattern({6, 3, 1, 3});
  else
    pen.setStyle(Qt::SolidLine);
  return pen;
}

// Clips the segment a-b to r (Liang-Barsky); false when nothing is left.
bool clip_segment(QPointF& a, QPointF& b, const QRectF& r) {
  double t0 = 0, t1 = 1;
  const double dx = b.x() - a.x(), dy = b.y() - a.y();
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {a.x() - r.left(), r.right() - a.x(), a.y() - r.top(), r.bottom() - a.y()};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
    } else {
      const double t = q[i] / p[i];
      if (p[i] < 0) {
        if (t > t1) return false;
        t0 = std::max(t0, t);
      } else {
        if (t < t0) return false;
        t1 = std::min(t1, t);
      }
    }
  }
  const QPointF a0 = a;
  a = QPointF(a0.x() + t0 * dx, a0.y() + t0 * dy);
  b = QPointF(a0.x() + t1 * dx, a0.y() + t1 * dy);
  return true;
}

// Whether the painter's device clips. The SVG writer does not: there, what must stay inside
// the box is cut to it before it is drawn, so the file shows what the screen shows.
bool device_clips(const QPainter& p) {
  return p.paintEngine() && p.paintEngine()->type() != QPaintEngine::SVG;
}

// The outline of marker `mk` of half size `h` centred on `c`; empty for no marker.
QPainterPath marker_path(const std::string& mk, QPointF c, double h, double dot) {
  QPainterPath path;
  if (mk == "s") {
    path.addRect(QRectF(c.x() - h, c.y() - h, 2 * h, 2 * h));
  } else if (mk == "o") {
    path.addEllipse(c, h, h);
  } else if (mk == ".") {
    path.addEllipse(c, dot, dot);
  } else if (mk == "x" || mk == "*" || mk == "+") {
    if (mk != "+") {
      path.moveTo(c.x() - h, c.y() - h);
      path.lineTo(c.x() + h, c.y() + h);
      path.moveTo(c.x() - h, c.y() + h);
      path.lineTo(c.x() + h, c.y() - h);
    }
    if (mk != "x") {
      path.moveTo(c.x() - h, c.y());
      path.lineTo(c.x() + h, c.y());
      path.moveTo(c.x(), c.y() - h);
      path.lineTo(c.x(), c.y() + h);
    }
  } else if (mk == "d") {
    path.addPolygon(QPolygonF({QPointF(c.x(), c.y() - h), QPointF(c.x() + h, c.y()),
                               QPointF(c.x(), c.y() + h), QPointF(c.x() - h, c.y())}));
    path.closeSubpath();
  } else if (mk == "^") {
    path.addPolygon(QPolygonF(
        {QPointF(c.x(), c.y() - h), QPointF(c.x() + h, c.y() + h), QPointF(c.x() - h, c.y() + h)}));
    path.closeSubpath();
  } else if (mk == "v") {
    path.addPolygon(QPolygonF(
        {QPointF(c.x(), c.y() + h), QPointF(c.x() + h, c.y() - h), QPointF(c.x() - h, c.y() - h)}));
    path.closeSubpath();
  }
  return path;
}

// Draws a marker that crosses the edge of `box` as only its part inside: its fill and the
// outline of its stroke, each cut to the box.
void draw_marker_inside(QPainter& p, const QPainterPath& shape, const QPen& pen, const QBrush& fill,
                        const QRectF& box) {
  QPainterPath inside;
  inside.addRect(box);
  p.save();
  p.setPen(Qt::NoPen);
  if (fill.style() != Qt::NoBrush) {
    p.setBrush(fill);
    p.drawPath(shape.intersected(inside));
  }
  QPainterPathStroker stroker(pen);
  p.setBrush(pen.color());
  p.drawPath(stroker.createStroke(shape).intersected(inside));
  p.restore();
}

// How far, in the painter's coordinates, a drawn curve may stray from its points on a device
// that writes vectors (a PDF, a print, an SVG): half a dot of a 1200 dpi printer, so no point
// finer than the paper can show is written. 0 on a device of pixels, which draws every point.
double vector_tolerance(const QPainter& p) {
  const QPaintEngine* e = p.paintEngine();
  if (!e || (e->type() != QPaintEngine::Pdf && e->type() != QPaintEngine::SVG)) return 0;
  const QTransform t = p.combinedTransform();
  const double device_units = std::sqrt(std::abs(t.determinant()));  // per unit of ours
  const double dpi = p.device() ? p.device()->logicalDpiX() : 0;
  if (!(device_units > 0) || !(dpi > 0)) return 0;
  constexpr double kHalfDotInches = 0.5 / 1200;
  return kHalfDotInches * dpi / device_units;
}

// The points of a polyline to draw so that every point left out lies within `tol` of the
// line drawn (sleeve fitting: from the last point kept, the directions passing within `tol` of
// every point since narrow to a sector; a point outside it, or one turning back, ends the
// piece at the point before it). The first and last points are always kept.
std::vector<QPointF> thinned(const std::vector<QPointF>& pts, double tol) {
  if (pts.size() < 3 || !(tol > 0)) return pts;
  constexpr double kInf = std::numeric_limits<double>::infinity();
  std::vector<QPointF> out{pts.front()};
  QPointF anchor = pts.front();
  double ref = 0, lo = -kInf, hi = kInf, reach = 0;
  bool aimed = false;
  auto aim = [&](const QPointF& q) {
    const QPointF d = q - anchor;
    const double r = std::hypot(d.x(), d.y());
    if (r <= tol) return true;  // within reach of the anchor itself
    const double angle = std::atan2(d.y(), d.x());
    if (!aimed) {
      aimed = true;
      ref = angle;
    }
    const double rel = std::remainder(angle - ref, 2 * std::numbers::pi);
    if (rel < lo || rel > hi || r < reach - tol) return false;
    const double half = std::asin(tol / r);
    lo = std::max(lo, rel - half);
    hi = std::min(hi, rel + half);
    reach = std::max(reach, r);
    return true;
  };
  for (std::size_t i = 1; i + 1 < pts.size(); ++i) {
    if (aim(pts[i])) continue;
    out.push_back(pts[i - 1]);
    anchor = pts[i - 1];
    lo = -kInf;
    hi = kInf;
    reach = 0;
    aimed = false;
    aim(pts[i]);
  }
  out.push_back(pts.back());
  return out;
}

// Draws a polyline on a PDF page in whole dots of the page: the points mapped to the page,
// rounded to its dots and drawn there, the pen scaled to match, so no coordinate carries more
// digits than the page resolution. Elsewhere (or where the page is coarser than a printer's
// 600 dpi) the points are drawn as they are.
void draw_polyline_in_dots(QPainter& p, const std::vector<QPointF>& pts) {
  const QPaintEngine* e = p.paintEngine();
  const QTransform t = p.worldTransform();
  const double scale = std::sqrt(std::abs(t.determinant()));
  if (!e || e->type() != QPaintEngine::Pdf || !p.device() || p.device()->logicalDpiX() < 600 ||
      !(scale > 0) || t.isRotating()) {
    p.drawPolyline(pts.data(), static_cast<int>(pts.size()));
    return;
  }
  std::vector<QPointF> dots;
  dots.reserve(pts.size());
  for (const QPointF& q : pts) {
    const QPointF d = t.map(q);
    const QPointF whole(std::round(d.x()), std::round(d.y()));
    if (dots.empty() || dots.back() != whole) dots.push_back(whole);
  }
  if (dots.size() < 2) return;
  p.save();
  QPen pen = p.pen();
  pen.setWidthF(pen.widthF() * scale);  // a dash pattern is in pen widths and scales along
  p.setWorldTransform(QTransform());
  p.setPen(pen);
  p.drawPolyline(dots.data(), static_cast<int>(dots.size()));
  p.restore();
}

void draw_line_data(QPainter& p, const Mapper& mp, const gfx::Line& l) {
  const std::size_t n = std::min(l.x.size(), l.y.size());
  const QColor colour = to_qcolor(l.color);
  // Where the device clips, the curve runs on a little past the box so that the clip makes its
  // edge; elsewhere it stops at the box.
  const bool clips = device_clips(p);
  const QRectF area = clips ? mp.box.adjusted(-10, -10, 10, 10) : mp.box;
  if (l.line_style != "none" && n >= 2) {
    p.setPen(line_pen(colour, l.line_width, l.line_style));
    p.setBrush(Qt::NoBrush);
    // Every point is mapped once, with the scale of each axis worked out beforehand; a point
    // that is not finite (in data or in pixels) breaks the curve.
    const double x_org = mp.box.left();
    const double x_scale = mp.box.width() / (mp.lim.x[1] - mp.lim.x[0]);
    const double y_org = mp.yrev ? mp.box.top() : mp.box.bottom();
    const double y_scale =
        (mp.yrev ? mp.box.height() : -mp.box.height()) / (mp.lim.y[1] - mp.lim.y[0]);
    std::vector<QPointF> pts(n);
    for (std::size_t i = 0; i < n; ++i)
      pts[i] = QPointF(x_org + (l.x[i] - mp.lim.x[0]) * x_scale,
                       y_org + (l.y[i] - mp.lim.y[0]) * y_scale);
    auto usable = [&](std::size_t i) { return finite(pts[i].x()) && finite(pts[i].y()); };
    auto inside = [&area](const QPointF& q) {
      return q.x() >= area.left() && q.x() <= area.right() && q.y() >= area.top() &&
             q.y() <= area.bottom();
    };
    std::vector<QPointF> run;
    run.reserve(n);
    const double tol = vector_tolerance(p);
    auto flush = [&] {
      if (run.size() >= 2) {
        if (tol > 0) {
          draw_polyline_in_dots(p, thinned(run, tol));
        } else {
          p.drawPolyline(run.data(), static_cast<int>(run.size()));
        }
      }
      run.clear();
    };
    // Runs of visible segments, so that a dash pattern runs on across the points of a densely
    // sampled curve; only segments that leave the area are clipped.
    bool usable_a = usable(0);
    for (std::size_t i = 0; i + 1 < n; ++i) {
      const bool usable_b = usable(i + 1);
      if (!usable_a || !usable_b) {
        usable_a = usable_b;
        flush();
        continue;
      }
      usable_a = usable_b;
      QPointF a = pts[i], b = pts[i + 1];
      if (inside(a) && inside(b)) {
        if (run.empty() || run.back() != a) {
          flush();
          run.push_back(a);
        }
        run.push_back(b);
        continue;
      }
      const bool beyond_one_side = (a.x() < area.left() && b.x() < area.left()) ||
                                   (a.x() > area.right() && b.x() > area.right()) ||
                                   (a.y() < area.top() && b.y() < area.top()) ||
                                   (a.y() > area.bottom() && b.y() > area.bottom());
      if (beyond_one_side || !clip_segment(a, b, area)) {
        flush();
        continue;
      }
      if (run.empty() || a != pts[i] || run.back() != a) {
        flush();
        run.push_back(a);
      }
      run.push_back(b);
      if (b != pts[i + 1]) flush();
    }
    flush();
  }
  if (l.marker == "none" || l.marker.empty()) return;
  const double size = std::max(2.0, l.marker_size * kPixelsPerPoint);
  QPen pen(l.marker_edge ? to_qcolor(*l.marker_edge) : colour);
  pen.setWidthF(std::max(1.0, std::round(l.line_width * kPixelsPerPoint)));
  pen.setCapStyle(Qt::FlatCap);
  p.setPen(pen);
  p.setBrush(l.marker_face ? QBrush(to_qcolor(*l.marker_face)) : QBrush(Qt::NoBrush));
  const double h = size / 2;
  for (std::size_t i = 0; i < n; ++i) {
    if (!finite(l.x[i]) || !finite(l.y[i])) continue;
    const QPointF c(mp.px(l.x[i]), mp.py(l.y[i]));
    if (!area.adjusted(-h, -h, h, h).contains(c)) continue;
    const std::string& mk = l.marker;
    if (!clips &&
        !mp.box.adjusted(h + pen.widthF(), h + pen.widthF(), -h - pen.widthF(), -h - pen.widthF())
             .contains(c)) {
      // Across the box's edge, on a device that does not clip.
      const bool dot = mk == ".";
      draw_marker_inside(p, marker_path(mk, c, h, std::max(1.0, size / 6)), pen,
                         dot ? QBrush(pen.color()) : p.brush(), mp.box);
      continue;
    }
    if (mk == "s") {
      p.drawRect(QRectF(c.x() - h, c.y() - h, size, size));
    } else if (mk == "o") {
      p.drawEllipse(c, h, h);
    } else if (mk == ".") {
      const double r = std::max(1.0, size / 6);
      p.save();
      p.setBrush(pen.color());
      p.drawEllipse(c, r, r);
      p.restore();
    } else if (mk == "x" || mk == "*" || mk == "+") {
      if (mk != "+") {
        p.drawLine(QPointF(c.x() - h, c.y() - h), QPointF(c.x() + h, c.y() + h));
        p.drawLine(QPointF(c.x() - h, c.y() + h), QPointF(c.x() + h, c.y() - h));
      }
      if (mk != "x") {
        p.drawLine(QPointF(c.x() - h, c.y()), QPointF(c.x() + h, c.y()));
        p.drawLine(QPointF(c.x(), c.y() - h), QPointF(c.x(), c.y() + h));
      }
    } else if (mk == "d") {
      p.drawPolygon(QPolygonF({QPointF(c.x(), c.y() - h), QPointF(c.x() + h, c.y()),
                               QPointF(c.x(), c.y() + h), QPointF(c.x() - h, c.y())}));
    } else if (mk == "^") {
      p.drawPolygon(QPolygonF({QPointF(c.x(), c.y() - h), QPointF(c.x() + h, c.y() + h),
                               QPointF(c.x() - h, c.y() + h)}));
    } else if (mk == "v") {
      p.drawPolygon(QPolygonF({QPointF(c.x(), c.y() + h), QPointF(c.x() + h, c.y() - h),
                               QPointF(c.x() - h, c.y() - h)}));
    }
  }
}

// Draws a possibly multi-line text with its anchor at `at`, aligned and rotated
// (degrees, counter-clockwise).
void draw_text(QPainter& p, QPointF at, const QString& text, const QFont& font,
               const QColor& colour, const std::string& halign, const std::string& valign,
               double rotation) {
  if (text.isEmpty()) return;
  const QStringList lines = text.split('\n');
  const QFontMetricsF fm(font);
  const double block = fm.height() + (lines.size() - 1) * fm.lineSpacing();
  double top;  // of the block, relative to the anchor
  if (valign == "top")
    top = 0;
  else if (valign == "cap")
    top = -(fm.ascent() - fm.capHeight());
  else if (valign == "baseline")
    top = -(block - fm.descent());
  else if (valign == "bottom")
    top = -block;
  else
    top = -block / 2;
  p.save();
  p.translate(at);
  if (finite(rotation) && rotation != 0) p.rotate(-rotation);
  p.setFont(font);
  p.setPen(colour);
  for (int i = 0; i < lines.size(); ++i) {
    const double w = fm.horizontalAdvance(lines[i]);
    double x = 0;
    if (halign == "center")
      x = -w / 2;
    else if (halign == "right")
      x = -w;
    p.drawText(QPointF(x, top + fm.ascent() + i * fm.lineSpacing()), lines[i]);
  }
  p.restore();
}

QFont text_font(const gfx::Text& t) {
  return make_font(t.font_name, t.font_size, t.font_weight, t.font_angle);
}

void draw_image(QPainter& p, const Mapper& mp, const gfx::Image& im, const gfx::Colormap& map,
                std::array<double, 2> clim) {
  const std::size_t w = im.width, h = im.height, ch = im.channels;
  if (w == 0 || h == 0 || (ch != 1 && ch != 3)) return;
  if (w > 1u << 15 || h > 1u << 15) return;  // no picture of ours comes near this
  if (im.cdata.size() < w * h * ch || map.empty()) return;
  QImage img(static_cast<int>(w), static_cast<int>(h), QImage::Format_RGB32);
  const double n = static_cast<double>(map.size());
  const double span = clim[1] - clim[0];
  auto at = [&](std::size_t r, std::size_t c, std::size_t k) {
    return im.cdata[(k * w + c) * h + r];
  };
  // The colours of the map once, not once per pixel.
  std::vector<QRgb> map_rgb(map.size());
  for (std::size_t i = 0; i < map.size(); ++i) map_rgb[i] = to_qcolor(map[i]).rgb();
  auto from_map = [&](double idx) {
    const double i = std::clamp(finite(idx) ? idx : 0.0, 0.0, n - 1);
    return map_rgb[static_cast<std::size_t>(i)];
  };
  // A colour fraction as a byte, as to_qcolor makes it (rounded half away from zero).
  auto byte = [](double v) {
    const double x = std::clamp(finite(v) ? v : 0.0, 0.0, 1.0) * 255.0;
    const int i = static_cast<int>(x);
    return x - i >= 0.5 ? i + 1 : i;
  };
  if (ch == 3) {
    // True colour, walked in the order the picture is stored (column by column per channel);
    // the whole numbers 0 to 255 of an 8-bit picture come from a table.
    const double s = im.true_colour_8bit ? 255.0 : 1.0;
    std::array<int, 256> table{};
    for (int k = 0; k < 256; ++k) table[static_cast<std::size_t>(k)] = byte(k / s);
    auto channel = [&](double v) {
      if (v >= 0 && v < 256) {
        const auto k = static_cast<std::size_t>(v);
        if (static_cast<double>(k) == v) return table[k];
      }
      return byte(v / s);
    };
    img.fill(0xff000000u);
    auto* bits = reinterpret_cast<QRgb*>(img.bits());
    const auto stride = static_cast<std::size_t>(img.bytesPerLine()) / sizeof(QRgb);
    for (std::size_t k = 0; k < 3; ++k) {
      const int shift = 16 - 8 * static_cast<int>(k);
      for (std::size_t c = 0; c < w; ++c) {
        const double* column = im.cdata.data() + (k * w + c) * h;
        for (std::size_t r = 0; r < h; ++r)
          bits[r * stride + c] |= static_cast<QRgb>(channel(column[r])) << shift;
      }
    }
  }
  for (std::size_t r = 0; ch != 3 && r < h; ++r) {
    auto* line = reinterpret_cast<QRgb*>(img.scanLine(static_cast<int>(r)));
    for (std::size_t c = 0; c < w; ++c) {
      if (im.cdata_scaled) {
        const double v = at(r, c, 0);
        line[c] = from_map(span > 0 ? std::floor((v - clim[0]) / span * n) : 0);
      } else {
        line[c] = from_map(std::floor(at(r, c, 0)) - 1);
      }
    }
  }
  const double dx = w > 1 ? (im.xdata[1] - im.xdata[0]) / double(w - 1) : 1;
  const double dy = h > 1 ? (im.ydata[1] - im.ydata[0]) / double(h - 1) : 1;
  double x0 = mp.px(im.xdata[0] - dx / 2), x1 = mp.px(im.xdata[1] + dx / 2);
  double y0 = mp.py(im.ydata[0] - dy / 2), y1 = mp.py(im.ydata[1] + dy / 2);
  if (!finite(x0) || !finite(x1) || !finite(y0) || !finite(y1)) return;
  const bool flip_h = x0 > x1, flip_v = y0 > y1;
  if (flip_h || flip_v) img = img.mirrored(flip_h, flip_v);
  const QRectF target(QPointF(std::min(x0, x1), std::min(y0, y1)),
                      QPointF(std::max(x0, x1), std::max(y0, y1)));
  // Only the part inside the box, taken from the same part of the picture, so that a device
  // without clipping shows what the screen shows.
  const QRectF shown = target.intersected(mp.box);
  if (shown.isEmpty() || target.width() <= 0 || target.height() <= 0) return;
  const double sx = img.width() / target.width(), sy = img.height() / target.height();
  p.drawImage(shown, img,
              QRectF((shown.left() - target.left()) * sx, (shown.top() - target.top()) * sy,
                     shown.width() * sx, shown.height() * sy));
}

std::array<double, 2> colour_limits(gfx::Model& m, const gfx::Axes& a) {
  if (a.clim_manual) return sane_range(a.clim);
  double lo = std::numeric_limits<double>::infinity(), hi = -lo;
  for (gfx::Handle h : a.children()) {
    auto* im = dynamic_cast<gfx::Image*>(m.find(h));
    if (!im || !im->cdata_scaled || im->channels != 1) continue;
    for (double v : im->cdata)
      if (finite(v)) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
      }
  }
  if (!(lo <= hi)) return sane_range(a.clim);
  return {lo, hi};
}

struct Decor {
  std::vector<double> xt, yt;
  double xstep = 1, ystep = 1;
};

void draw_decorations(QPainter& p, const Mapper& mp, const gfx::Axes& a, const Decor& d) {
  const QRectF& b = mp.box;
  const QColor xc = to_qcolor(a.xcolor), yc = to_qcolor(a.ycolor);
  p.setBrush(Qt::NoBrush);
  // Grid lines, light grey and dotted.
  QPen grid(QColor(192, 192, 192));
  grid.setWidthF(1);
  grid.setDashPattern({1, 2});
  p.setPen(grid);
  if (a.xgrid)
    for (double v : d.xt) {
      const double x = std::round(mp.px(v));
      p.drawLine(QPointF(x, b.top()), QPointF(x, b.bottom()));
    }
  if (a.ygrid)
    for (double v : d.yt) {
      const double y = std::round(mp.py(v));
      p.drawLine(QPointF(b.left(), y), QPointF(b.right(), y));
    }
  // Axis lines and box.
  const double l = std::round(b.left()), r = std::round(b.right());
  const double t = std::round(b.top()), bt = std::round(b.bottom());
  QPen xp(xc), yp(yc);
  xp.setWidthF(1);
  yp.setWidthF(1);
  const double x_axis_y = a.ydir_reverse ? t : bt;  // the x axis sits at the low y end
  p.setPen(xp);
  p.drawLine(QPointF(l, x_axis_y), QPointF(r, x_axis_y));
  if (a.box) p.drawLine(QPointF(l, a.ydir_reverse ? bt : t), QPointF(r, a.ydir_reverse ? bt : t));
  p.setPen(yp);
  p.drawLine(QPointF(l, t), QPointF(l, bt));
  if (a.box) p.drawLine(QPointF(r, t), QPointF(r, bt));
  // Ticks, pointing inwards.
  const double tl = std::max(3.0, std::round(0.01 * std::max(b.width(), b.height())));
  p.setPen(xp);
  for (double v : d.xt) {
    const double x = std::round(mp.px(v));
    p.drawLine(QPointF(x, x_axis_y), QPointF(x, x_axis_y + (a.ydir_reverse ? tl : -tl)));
    if (a.box) {
      const double oy = a.ydir_reverse ? bt : t;
      p.drawLine(QPointF(x, oy), QPointF(x, oy + (a.ydir_reverse ? -tl : tl)));
    }
  }
  p.setPen(yp);
  for (double v : d.yt) {
    const double y = std::round(mp.py(v));
    p.drawLine(QPointF(l, y), QPointF(l + tl, y));
    if (a.box) p.drawLine(QPointF(r, y), QPointF(r - tl, y));
  }
}

}  // namespace

double tick_step(double lo, double hi, int max_intervals) {
  const double range = hi - lo;
  if (!(range > 0) || !finite(range)) return 1;
  const double raw = range / std::max(1, max_intervals);
  const double mag = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0, 10.0})
    if (m * mag >= raw * (1 - 1e-9)) return m * mag;
  return 10 * mag;
}

std::vector<double> tick_values(double lo, double hi, int max_intervals) {
  std::vector<double> out;
  if (!finite(lo) || !finite(hi) || !(hi > lo)) return out;
  const double step = tick_step(lo, hi, max_intervals);
  const double first = std::ceil(lo / step - 1e-9);
  for (int i = 0; i <= 1000; ++i) {
    double v = (first + i) * step;
    if (v > hi + step * 1e-9) break;
    if (std::abs(v) < step * 1e-9) v = 0;
    out.push_back(v);
  }
  return out;
}

namespace {

// 64-bit FNV-1a over the bytes of each part.
class KeyHash {
 public:
  template <class T>
    requires std::is_arithmetic_v<T> || std::is_enum_v<T>
  KeyHash& operator<<(T v) {
    return bytes(&v, sizeof v);
  }
  KeyHash& operator<<(const std::string& s) { return *this << s.size(), bytes(s.data(), s.size()); }
  KeyHash& operator<<(const gfx::Color& c) { return *this << c.r << c.g << c.b; }
  KeyHash& operator<<(const std::optional<gfx::Color>& c) {
    *this << c.has_value();
    return c ? *this << *c : *this;
  }
  KeyHash& operator<<(const gfx::Rect& r) { return *this << r.left << r.bottom << r.width << r.height; }
  template <class T, std::size_t N>
  KeyHash& operator<<(const std::array<T, N>& a) {
    for (const T& v : a) *this << v;
    return *this;
  }
  KeyHash& operator<<(const SharedArray& a) { return *this << a.serial() << a.size(); }
  KeyHash& bytes(const void* p, std::size_t n) {
    const auto* b = static_cast<const unsigned char*>(p);
    for (std::size_t i = 0; i < n; ++i) h_ = (h_ ^ b[i]) * 1099511628211ull;
    return *this;
  }
  std::uint64_t value() const { return h_; }

 private:
  std::uint64_t h_ = 14695981039346656037ull;
};

void add_object(KeyHash& k, gfx::Model& m, gfx::Handle h) {
  const gfx::Object* o = m.find(h);
  if (!o) return;
  k << h.value << o->kind() << o->visible;
  if (const auto* l = dynamic_cast<const gfx::Line*>(o)) {
    k << l->x << l->y << l->color << l->line_style << l->marker << l->marker_face
      << l->marker_edge << l->line_width << l->marker_size;
  } else if (const auto* t = dynamic_cast<const gfx::Text*>(o)) {
    k << t->string << t->position << t->font_name << t->font_size << t->font_angle
      << t->font_weight << t->rotation << t->color << t->horizontal_alignment
      << t->vertical_alignment;
  } else if (const auto* im = dynamic_cast<const gfx::Image*>(o)) {
    k << im->height << im->width << im->channels << im->cdata_scaled << im->true_colour_8bit
      << im->xdata << im->ydata << im->cdata.size();
    k.bytes(im->cdata.data(), im->cdata.size() * sizeof(double));
  }
  for (gfx::Handle c : o->children()) add_object(k, m, c);
}

}  // namespace

std::uint64_t picture_key(gfx::Model& m, const gfx::Axes& a) {
  KeyHash k;
  k << a.units << a.position << a.color << a.color_none << a.xcolor << a.ycolor << a.zcolor
    << a.box << a.layer_top << a.xlim << a.ylim << a.xlim_manual << a.ylim_manual << a.xgrid
    << a.ygrid << a.zgrid << a.ydir_reverse << a.clim << a.clim_manual << a.font_name
    << a.font_size << a.font_angle << a.font_weight << a.visible << a.title.value
    << a.xlabel.value << a.ylabel.value << a.zlabel.value << a.color_order.size();
  for (const gfx::Color& c : a.color_order) k << c;
  const gfx::Window& w = m.window_of(a.handle());
  k << w.colormap.size();
  for (const gfx::Color& c : w.colormap) k << c;
  for (gfx::Handle c : a.children()) add_object(k, m, c);
  return k.value();
}

AxesLimits shown_limits(gfx::Model& m, const gfx::Axes& a) {
  AxesLimits lim{sane_range(a.xlim), sane_range(a.ylim)};
  if (!a.xlim_manual || !a.ylim_manual) {
    if (auto e = m.data_limits(a)) {
      if (!a.xlim_manual) lim.x = fit_range((*e)[0], (*e)[1]);
      if (!a.ylim_manual) lim.y = fit_range((*e)[2], (*e)[3]);
    }
  }
  return lim;
}

QRectF plot_box(const gfx::Axes& a, QSizeF client) {
  return to_qrectf(a.units, a.position, client);
}

const gfx::Colormap& default_colormap() {
  // Dark blue through blue, cyan, yellow and red to dark red, in 64 steps.
  static const gfx::Colormap map = [] {
    gfx::Colormap m;
    for (int i = 0; i < 64; ++i) {
      const double x = (i + 0.5) / 64.0 * 4.0;  // 0..4
      auto ramp = [](double v) { return std::clamp(v, 0.0, 1.0); };
      const double r = ramp(std::min(x - 1.5, 4.5 - x));
      const double g = ramp(std::min(x - 0.5, 3.5 - x));
      const double b = ramp(std::min(x + 0.5, 2.5 - x));
      m.push_back({r, g, b});
    }
    return m;
  }();
  return map;
}

// How much smaller than its own font a y label may be drawn to stay whole.
constexpr int kLabelShrinkPixels = 3;

void paint_axes(QPainter& p, QSizeF client, gfx::Model& m, const gfx::Axes& a,
                const AxesLimits& limits) {
  const QRectF box = plot_box(a, client);
  if (!(box.width() > 0) || !(box.height() > 0)) return;
  Mapper mp{box, {sane_range(limits.x), sane_range(limits.y)}, a.ydir_reverse};
  p.save();
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setRenderHint(QPainter::TextAntialiasing, true);

  const QFont axes_font = make_font(a.font_name, a.font_size, a.font_weight, a.font_angle);
  const QFontMetricsF afm(axes_font);
  Decor d;
  // As many ticks as fit (at most ten steps): x labels an em apart, y labels a line apart.
  auto fitting = [&](std::array<double, 2> r, double length, bool horizontal_labels) {
    for (int k = 10; k > 1; --k) {
      const double step = tick_step(r[0], r[1], k);
      double need = afm.height() * 1.5;
      if (horizontal_labels) {
        double widest = 0;
        for (double v : tick_values(r[0], r[1], k))
          widest = std::max(widest, afm.horizontalAdvance(tick_label(v, step)));
        need = widest + afm.height();
      }
      if (step / (r[1] - r[0]) * length >= need) return k;
    }
    return 1;
  };
  const int xmax = fitting(mp.lim.x, box.width(), true);
  const int ymax = fitting(mp.lim.y, box.height(), false);
  d.xstep = tick_step(mp.lim.x[0], mp.lim.x[1], xmax);
  d.ystep = tick_step(mp.lim.y[0], mp.lim.y[1], ymax);
  d.xt = tick_values(mp.lim.x[0], mp.lim.x[1], xmax);
  d.yt = tick_values(mp.lim.y[0], mp.lim.y[1], ymax);

  if (a.visible) {
    if (!a.color_none) p.fillRect(box, to_qcolor(a.color));
    if (!a.layer_top) draw_decorations(p, mp, a, d);
  }

  // Children in creation order, the later on top. Lines and images stay inside the box;
  // texts are free to leave it.
  const gfx::Window* win = nullptr;
  try {
    win = &m.window_of(a.handle());
  } catch (...) {
    win = nullptr;
  }
  const gfx::Colormap& map = win && !win->colormap.empty() ? win->colormap : default_colormap();
  const auto clim = colour_limits(m, a);
  for (gfx::Handle h : a.children()) {
    if (h == a.title || h == a.xlabel || h == a.ylabel || h == a.zlabel) continue;
    gfx::Object* o = m.find(h);
    if (!o || !o->visible) continue;
    // Inside any clip the caller set (the window's area on paper).
    if (auto* l = dynamic_cast<gfx::Line*>(o)) {
      p.save();
      p.setClipRect(box, Qt::IntersectClip);
      draw_line_data(p, mp, *l);
      p.restore();
    } else if (auto* im = dynamic_cast<gfx::Image*>(o)) {
      p.save();
      p.setClipRect(box, Qt::IntersectClip);
      draw_image(p, mp, *im, map, clim);
      p.restore();
    } else if (auto* t = dynamic_cast<gfx::Text*>(o)) {
      const QPointF at(mp.px(t->position[0]), mp.py(t->position[1]));
      draw_text(p, at, QString::fromStdString(t->string), text_font(*t), to_qcolor(t->color),
                t->horizontal_alignment, t->vertical_alignment, t->rotation);
    }
  }

  double below = 0, left_of = 0;  // room taken by the tick labels
  if (a.visible) {
    if (a.layer_top) draw_decorations(p, mp, a, d);
    p.setFont(axes_font);
    const double gap = 3;
    p.setPen(to_qcolor(a.xcolor));
    const double label_y = a.ydir_reverse ? box.top() : box.bottom();
    for (double v : d.xt)
      draw_text(p, QPointF(std::round(mp.px(v)), label_y + gap), tick_label(v, d.xstep), axes_font,
                to_qcolor(a.xcolor), "center", "top", 0);
    if (!d.xt.empty()) below = gap + afm.height();
    for (double v : d.yt) {
      const QString s = tick_label(v, d.ystep);
      left_of = std::max(left_of, afm.horizontalAdvance(s) + gap + 2);
      draw_text(p, QPointF(box.left() - gap - 2, std::round(mp.py(v))), s, axes_font,
                to_qcolor(a.ycolor), "right", "middle", 0);
    }
  }

  // Title above the box, x label below it, y label to its left reading upwards.
  auto label = [&](gfx::Handle h) -> const gfx::Text* {
    auto* t = dynamic_cast<gfx::Text*>(m.find(h));
    return t && t->visible && !t->string.empty() ? t : nullptr;
  };
  if (const gfx::Text* t = label(a.title))
    draw_text(p, QPointF(box.center().x(), box.top() - 4), QString::fromStdString(t->string),
              text_font(*t), to_qcolor(t->color), "center", "bottom", 0);
  if (const gfx::Text* t = label(a.xlabel))
    draw_text(p, QPointF(box.center().x(), box.bottom() + below + 3),
              QString::fromStdString(t->string), text_font(*t), to_qcolor(t->color), "center",
              "top", 0);
  if (const gfx::Text* t = label(a.ylabel)) {
    // Whole between the window's left edge and the tick labels: where that room is short, in
    // a font a few pixels smaller, and never past the edge.
    QFont font = text_font(*t);
    const double room = box.left() - left_of - 4;
    for (int i = 0; i < kLabelShrinkPixels && QFontMetricsF(font).height() > room &&
                    font.pixelSize() > kLabelShrinkPixels + 6;
         ++i)
      font.setPixelSize(font.pixelSize() - 1);
    const double x = std::max(box.left() - left_of - 4, QFontMetricsF(font).height());
    draw_text(p, QPointF(x, box.center().y()), QString::fromStdString(t->string), font,
              to_qcolor(t->color), "center", "bottom", 90);
  }
  p.restore();
}

// ---- the widget -------------------------------------------------------------------------

AxesWidget::AxesWidget(gfx::Model& m, gfx::Handle axes, QWidget* parent)
    : QWidget(parent), model_(m), axes_(axes) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_NoSystemBackground);
  setAutoFillBackground(false);
  if (gfx::Axes* a = model_axes()) base_ = shown_limits(model_, *a);
}

gfx::Axes* AxesWidget::model_axes() const {
  return dynamic_cast<gfx::Axes*>(model_.find(axes_));
}

QRectF AxesWidget::box() const {
  gfx::Axes* a = model_axes();
  return a ? plot_box(*a, QSizeF(size())) : QRectF();
}

AxesLimits AxesWidget::limits() const {
  if (view_) return *view_;
  gfx::Axes* a = model_axes();
  return a ? shown_limits(model_, *a) : AxesLimits{};
}

void AxesWidget::refresh() {
  gfx::Axes* a = model_axes();
  if (!a) return;
  const AxesLimits now = shown_limits(model_, *a);
  const bool limits_changed = now != base_;
  if (limits_changed) view_.reset();
  base_ = now;
  // Nothing drawn changed (a click in another window, say): the picture stands as it is.
  const std::uint64_t key = picture_key(model_, *a);
  if (key_ == key && !limits_changed) return;
  key_ = key;
  update();
}

void AxesWidget::band_begin(QPointF at) {
  band_start_ = at;
  band_end_ = at;
  update();
}

void AxesWidget::band_move(QPointF at) {
  if (!band_start_) return;
  band_end_ = at;
  update();
}

void AxesWidget::band_end(QPointF at) {
  if (!band_start_) return;
  const QPointF s = *band_start_;
  band_start_.reset();
  gfx::Axes* a = model_axes();
  if (a && std::abs(at.x() - s.x()) > 3 && std::abs(at.y() - s.y()) > 3) {
    const Mapper mp{box(), limits(), a->ydir_reverse};
    double x0 = mp.dx(s.x()), x1 = mp.dx(at.x()), y0 = mp.dy(s.y()), y1 = mp.dy(at.y());
    view_ = AxesLimits{{std::min(x0, x1), std::max(x0, x1)}, {std::min(y0, y1), std::max(y0, y1)}};
  }
  update();
}

void AxesWidget::band_cancel() {
  band_start_.reset();
  update();
}

void AxesWidget::reset_view() {
  view_.reset();
  update();
}

void AxesWidget::wheel_zoom(QPointF at, double steps) {
  gfx::Axes* a = model_axes();
  if (!a || !finite(steps) || steps == 0) return;
  const AxesLimits cur = limits();
  const Mapper mp{box(), cur, a->ydir_reverse};
  const double f = std::pow(0.8, std::clamp(steps, -10.0, 10.0));
  const double cx = mp.dx(at.x()), cy = mp.dy(at.y());
  AxesLimits v;
  v.x = {cx - (cx - cur.x[0]) * f, cx + (cur.x[1] - cx) * f};
  v.y = {cy - (cy - cur.y[0]) * f, cy + (cur.y[1] - cy) * f};
  if (v.x[1] - v.x[0] < 1e-12 * std::max(1.0, std::abs(cx)) ||
      v.y[1] - v.y[0] < 1e-12 * std::max(1.0, std::abs(cy)))
    return;
  view_ = v;
  update();
}

void AxesWidget::paintEvent(QPaintEvent*) {
  gfx::Axes* a = model_axes();
  if (!a) return;
  QPainter p(this);
  paint_axes(p, QSizeF(size()), model_, *a, limits());
  if (band_start_) {
    QPen pen(Qt::black);
    pen.setStyle(Qt::DashLine);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(*band_start_, band_end_).normalized());
  }
}

}  // namespace quorin::qtk
