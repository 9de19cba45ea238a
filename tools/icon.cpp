#include "icon.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <array>
#include <sstream>

namespace quorin::icon {
namespace {

constexpr double kCanvas = 256;

struct Tile {
  double margin = 8, radius = 44;
  const char* fill = "#1d3557";
};

struct Segment {  // a straight stroke
  double x1, y1, x2, y2;
};

struct Curve {                   // one cubic from the origin of the plot
  std::array<double, 8> points;  // start, two controls, end
  const char* colour;
};

constexpr Tile kTile;
constexpr double kAxisWidth = 10;
constexpr const char* kAxisColour = "#e9eef4";
// The axes cross in the middle: velocity across, force up.
constexpr std::array<Segment, 2> kAxes = {{{40, 128, 216, 128}, {128, 40, 128, 216}}};
// Digressive curves: steep at low speed, flattening when the valves open.
constexpr double kCurveWidth = 18;
constexpr std::array<Curve, 2> kCurves = {{
    {{128, 128, 146, 70, 172, 60, 214, 54}, "#f4a261"},   // compression
    {{128, 128, 110, 186, 84, 196, 42, 202}, "#2ec4b6"},  // rebound
}};

}  // namespace

std::string svg() {
  std::ostringstream s;
  s << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" "
       "viewBox=\"0 0 256 256\">\n"
    << "  <rect x=\"" << kTile.margin << "\" y=\"" << kTile.margin << "\" width=\""
    << kCanvas - 2 * kTile.margin << "\" height=\"" << kCanvas - 2 * kTile.margin << "\" rx=\""
    << kTile.radius << "\" fill=\"" << kTile.fill << "\"/>\n";
  for (const Segment& a : kAxes)
    s << "  <line x1=\"" << a.x1 << "\" y1=\"" << a.y1 << "\" x2=\"" << a.x2 << "\" y2=\"" << a.y2
      << "\" stroke=\"" << kAxisColour << "\" stroke-width=\"" << kAxisWidth
      << "\" stroke-linecap=\"round\"/>\n";
  for (const Curve& c : kCurves) {
    const auto& p = c.points;
    s << "  <path d=\"M" << p[0] << ' ' << p[1] << " C" << p[2] << ' ' << p[3] << ' ' << p[4] << ' '
      << p[5] << ' ' << p[6] << ' ' << p[7] << "\" fill=\"none\" stroke=\"" << c.colour
      << "\" stroke-width=\"" << kCurveWidth << "\" stroke-linecap=\"round\"/>\n";
  }
  s << "</svg>\n";
  return s.str();
}

bool write_png(const std::filesystem::path& file, int size) {
  QImage image(size, size, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  {
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / kCanvas, size / kCanvas);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(kTile.fill));
    const double side = kCanvas - 2 * kTile.margin;
    p.drawRoundedRect(QRectF(kTile.margin, kTile.margin, side, side), kTile.radius, kTile.radius);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(kAxisColour), kAxisWidth, Qt::SolidLine, Qt::RoundCap));
    for (const Segment& a : kAxes) p.drawLine(QPointF(a.x1, a.y1), QPointF(a.x2, a.y2));
    for (const Curve& c : kCurves) {
      const auto& q = c.points;
      QPainterPath path(QPointF(q[0], q[1]));
      path.cubicTo(QPointF(q[2], q[3]), QPointF(q[4], q[5]), QPointF(q[6], q[7]));
      p.setPen(QPen(QColor(c.colour), kCurveWidth, Qt::SolidLine, Qt::RoundCap));
      p.drawPath(path);
    }
  }
  return image.save(QString::fromStdString(file.string()), "PNG");
}

}  // namespace quorin::icon
