#include "data_pictures.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QString>

#include <algorithm>
#include <cmath>
#include <vector>

#include "services/runtime_error.h"
#include "supplied_data.h"

namespace quorin::datagen {
namespace {

struct Series {
  QString label;
  QColor colour;
  std::vector<double> x, y;
};

constexpr std::size_t kSpringRow = 3;  // the spring rows the main window starts on
constexpr std::size_t kHighSpeedEntry = 30;  // HSC / HSR "30" on spring row 3

double nice_step(double span) {
  const double raw = span / 6;
  const double mag = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 2.5, 5.0, 10.0})
    if (m * mag >= raw) return m * mag;
  return 10 * mag;
}

void panel(QPainter& p, const QRect& area, const QString& title, const std::vector<Series>& series,
           double xmax, double ymax, int legend_columns = 1, int legend_width = 170) {
  const QRect plot(area.left() + 70, area.top() + 34,
                   area.width() - 70 - legend_width * legend_columns - 20,
                   area.height() - 34 - 50);
  p.setPen(Qt::black);
  QFont f = p.font();
  f.setPointSize(12);
  f.setBold(true);
  p.setFont(f);
  p.drawText(QRect(area.left(), area.top(), area.width(), 28), Qt::AlignLeft | Qt::AlignVCenter,
             title);
  f.setBold(false);
  f.setPointSize(9);
  p.setFont(f);

  auto px = [&](double x) { return plot.left() + x / xmax * plot.width(); };
  auto py = [&](double y) { return plot.bottom() - y / ymax * plot.height(); };

  const double xs = nice_step(xmax), ys = nice_step(ymax);
  p.setPen(QPen(QColor(225, 225, 225), 1));
  for (double x = 0; x <= xmax + 1e-9; x += xs) p.drawLine(QPointF(px(x), plot.top()), QPointF(px(x), plot.bottom()));
  for (double y = 0; y <= ymax + 1e-9; y += ys) p.drawLine(QPointF(plot.left(), py(y)), QPointF(plot.right(), py(y)));
  p.setPen(Qt::black);
  p.drawRect(plot);
  for (double x = 0; x <= xmax + 1e-9; x += xs)
    p.drawText(QRectF(px(x) - 30, plot.bottom() + 4, 60, 16), Qt::AlignCenter, QString::number(x, 'g', 3));
  for (double y = 0; y <= ymax + 1e-9; y += ys)
    p.drawText(QRectF(plot.left() - 64, py(y) - 8, 58, 16), Qt::AlignRight | Qt::AlignVCenter,
               QString::number(y, 'f', 0));
  p.drawText(QRect(plot.left(), plot.bottom() + 22, plot.width(), 18), Qt::AlignCenter,
             "velocity (m/s)");
  p.save();
  p.translate(area.left() + 12, plot.center().y());
  p.rotate(-90);
  p.drawText(QRect(-100, -10, 200, 20), Qt::AlignCenter, "force (N)");
  p.restore();

  p.save();
  p.setClipRect(plot);
  for (const Series& s : series) {
    QPainterPath path;
    path.moveTo(px(s.x[0]), py(s.y[0]));
    for (std::size_t i = 1; i < s.x.size(); ++i) path.lineTo(px(s.x[i]), py(s.y[i]));
    p.setPen(QPen(s.colour, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    p.setBrush(s.colour);
    p.setPen(Qt::NoPen);
    for (std::size_t i = 0; i < s.x.size(); ++i) p.drawEllipse(QPointF(px(s.x[i]), py(s.y[i])), 1.8, 1.8);
  }
  p.restore();

  const int rows = static_cast<int>((series.size() + legend_columns - 1) / legend_columns);
  for (std::size_t i = 0; i < series.size(); ++i) {
    const int col = static_cast<int>(i) / rows, row = static_cast<int>(i) % rows;
    const int lx = plot.right() + 16 + col * legend_width, ly = plot.top() + 4 + row * 17;
    p.setPen(QPen(series[i].colour, 3));
    p.drawLine(lx, ly + 8, lx + 18, ly + 8);
    p.setPen(Qt::black);
    p.drawText(QRect(lx + 24, ly, legend_width - 26, 16), Qt::AlignLeft | Qt::AlignVCenter, series[i].label);
  }
}

QColor spread_colour(std::size_t i, std::size_t n) {
  return QColor::fromHsv(static_cast<int>(i * 300 / std::max<std::size_t>(n - 1, 1)), 230,
                         i % 2 ? 170 : 215);
}

std::vector<Series> every_valve(const Side& side) {
  std::vector<Series> out;
  for (std::size_t v = 1; v <= side.valves.size(); ++v) {
    Measurement m = valve_measurement(side, v, kSpringRow, kHighSpeedEntry);
    out.push_back({QString::fromStdString(side.valves[v - 1].option_text()),
                   spread_colour(v - 1, side.valves.size()), m.velocity, m.force});
  }
  return out;
}

double top_force(const std::vector<Series>& s) {
  double top = 0;
  for (const auto& x : s) top = std::max(top, x.y.back());
  return std::ceil(top / 1000) * 1000;
}

}  // namespace

void draw_data_pictures(const std::filesystem::path& dir) {
  QImage img(2000, 1240, QImage::Format_RGB32);
  img.fill(Qt::white);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  QFont f("DejaVu Sans");
  p.setFont(f);

  const Side& comp = compression_side();
  const Side& reb = rebound_side();
  const auto cs = every_valve(comp);
  const auto rs = every_valve(reb);
  const double ymax = std::max(top_force(cs), top_force(rs));
  panel(p, QRect(10, 10, 980, 600),
        QString("Compression, every valve, spring %1")
            .arg(QString::fromStdString(comp.springs[kSpringRow - 1].label)),
        cs, 0.55, ymax, 1, 300);
  panel(p, QRect(1000, 10, 990, 600),
        QString("Rebound, every valve, spring %1")
            .arg(QString::fromStdString(reb.springs[kSpringRow - 1].label)),
        rs, 0.55, ymax, 1, 300);

  std::vector<Series> bleeds;
  for (int c = 0; c <= kBleedClicks; ++c) {
    Measurement m = bleed_measurement(c);
    bleeds.push_back({QString("LS %1 clicks%2").arg(c).arg(c == kReferenceBleedClicks ? " (reference)" : ""),
                      spread_colour(static_cast<std::size_t>(c), kBleedClicks + 1), m.velocity, m.force});
  }
  panel(p, QRect(10, 620, 980, 600), "Bleed alone (shims and adjuster blocked), every LS setting",
        bleeds, 0.55, 8000, 2);

  std::vector<Series> hs;
  const std::size_t valve = 5;
  for (std::size_t s = 1; s <= comp.springs.size(); ++s)
    for (std::size_t h : {std::size_t{1}, std::size_t{15}, std::size_t{28}}) {
      Measurement m = valve_measurement(comp, valve, s, h);
      hs.push_back({QString("%1, entry %2").arg(QString::fromStdString(comp.springs[s - 1].label)).arg(h),
                    spread_colour((s - 1) * 3 + (h == 1 ? 0 : h == 15 ? 1 : 2), 12), m.velocity,
                    m.force});
    }
  panel(p, QRect(1000, 620, 990, 600),
        QString::fromStdString("Compression " + comp.valves[valve - 1].name +
                               ": high-speed spring and adjuster entry"),
        hs, 0.55, top_force(hs), 1, 200);

  p.setPen(Qt::darkGray);
  p.drawText(QRect(10, 1218, 1980, 20), Qt::AlignLeft,
             "Dots: the measured points of the supplied tables. Top: spring row 3 (where the main "
             "window starts), high-speed entry 30 (HSC/HSR \"30\"), measured with the reference bleed "
             "(LS 10). Regenerate with quorin-gendata --pictures docs.");
  p.end();
  const std::filesystem::path file = dir / "data.png";
  if (!img.save(QString::fromStdString(file.string()), "PNG"))
    throw RuntimeError("cannot write " + file.string());
}

}  // namespace quorin::datagen
