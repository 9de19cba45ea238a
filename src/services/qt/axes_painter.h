// Our own painter for an axes: background, box, ticks, grid, title and labels, lines,
// markers, texts and images, drawn with QPainter on screen, into snapshots and on paper.
#pragma once

#include <QPointer>
#include <QRectF>
#include <QWidget>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "services/gfx/model.h"

class QPainter;

namespace quorin::qtk {

// The x and y ranges an axes shows.
struct AxesLimits {
  std::array<double, 2> x{0, 1}, y{0, 1};
  friend bool operator==(const AxesLimits&, const AxesLimits&) = default;
};

// Tick positions at a round step (1, 2 or 5 times a power of ten) with at most
// `max_intervals` steps between lo and hi; values inside [lo, hi] only.
std::vector<double> tick_values(double lo, double hi, int max_intervals);
double tick_step(double lo, double hi, int max_intervals);

// The limits the axes shows: fixed limits as set, automatic limits fitted to the data and
// rounded outward to the tick step (the set limits when there is no data).
AxesLimits shown_limits(gfx::Model& m, const gfx::Axes& a);

// The plot box of the axes inside a client area of `client` pixels.
QRectF plot_box(const gfx::Axes& a, QSizeF client);

// The 64-colour map used by windows that set none.
const gfx::Colormap& default_colormap();

// Paints the axes and its children into a client area of `client` pixels showing `limits`.
void paint_axes(QPainter& p, QSizeF client, gfx::Model& m, const gfx::Axes& a,
                const AxesLimits& limits);

// A number that stands for everything paint_axes draws of the axes: its own properties, its
// children with their data (arrays by their serial numbers), texts and images, and its
// window's colour map. Equal keys mean the same picture at the same size and view.
std::uint64_t picture_key(gfx::Model& m, const gfx::Axes& a);

// One axes on screen. Covers its window's client area, lets mouse events through to the
// window, and keeps the zoomed view (never written into the model's limits).
class AxesWidget : public QWidget {
  Q_OBJECT
 public:
  AxesWidget(gfx::Model& m, gfx::Handle axes, QWidget* parent);
  gfx::Handle axes() const { return axes_; }
  QRectF box() const;
  AxesLimits limits() const;

  // Follows the model: forgets the zoom when the program's limits changed, and repaints when
  // anything it draws changed.
  void refresh();

  // Zoom: a dragged box, a return to the program's limits, the wheel about a point.
  void band_begin(QPointF at);
  void band_move(QPointF at);
  void band_end(QPointF at);
  void band_cancel();
  void reset_view();
  void wheel_zoom(QPointF at, double steps);

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  gfx::Axes* model_axes() const;
  gfx::Model& model_;
  gfx::Handle axes_;
  std::optional<AxesLimits> view_;  // zoomed view, if any
  AxesLimits base_;                 // the program's limits the view was taken from
  std::optional<std::uint64_t> key_;  // picture_key of what was last asked to be painted
  std::optional<QPointF> band_start_;
  QPointF band_end_;
};

}  // namespace quorin::qtk
