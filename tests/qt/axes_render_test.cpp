// The axes painter checked by its pixels: a window rendered offscreen to a PNG and read back.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "services/gfx/model.h"
#include "services/outputs.h"
#include "services/qt/axes_painter.h"
#include "services/qt/output.h"
#include "services/qt/toolkit.h"
#include "services/temp_dir.h"

namespace quorin::qtk {
namespace {

namespace fs = std::filesystem;

const gfx::Colormap kMap{{1, 0, 0}, {0, 0.5, 0}, {0, 0, 1}, {1, 1, 0}};

struct Scene {
  test::TempDir dir;  // each test process draws its own picture
  gfx::Model m;
  gfx::Axes* axes = nullptr;

  // A 400 by 300 window holding one axes over [0 10] by [-500 500] with a grid, a title, a
  // red dashed line along y = 0 and a 2 by 2 palette image over x 1.5..3.5, y -500..-100.
  Scene() {
    gfx::Window& w = m.figure(1);
    w.position = {100, 100, 400, 300};
    w.colormap = kMap;
    gfx::Axes& a = m.new_axes(w);
    axes = &a;
    a.xlim = {0, 10};
    a.ylim = {-500, 500};
    a.xlim_manual = a.ylim_manual = true;
    a.xgrid = a.ygrid = true;
    a.box = true;
    a.font_name = "times";
    a.font_size = 8;
    gfx::Image& im = m.new_image(a);
    im.height = 2;
    im.width = 2;
    im.cdata = {1, 2, 3, 4};  // (row, column): (1,1)=1 (2,1)=2 (1,2)=3 (2,2)=4
    im.xdata = {2, 3};
    im.ydata = {-400, -200};
    const std::vector<double> x{0, 10}, y{0, 0};
    m.plot(a, x, y, "r--");
    auto& title = m.get<gfx::Text>(a.title);
    title.string = "Damper Curve Comparison";
    title.font_name = "times";
    title.font_size = 10;
    title.font_angle = "italic";
    const std::pair<gfx::Handle, const char*> labels[] = {{a.xlabel, "Velocity (inches/s)"},
                                                          {a.ylabel, "Force (lbs)"}};
    for (const auto& [h, text] : labels) {
      auto& t = m.get<gfx::Text>(h);
      t.string = text;
      t.font_name = "times";
      t.font_size = 10;
      t.font_angle = "italic";
    }
  }

  QImage render() {
    const fs::path png = dir / "axes.png";
    EXPECT_TRUE(render_window_png(m, 1, png));
    QImage img(QString::fromStdString(png.string()));
    EXPECT_EQ(img.size(), QSize(400, 300));
    return img.convertToFormat(QImage::Format_RGB32);
  }

  QRectF box() const { return plot_box(*axes, QSizeF(400, 300)); }
  QPointF at(double x, double y) const {
    const QRectF b = box();
    const double t = (y + 500) / 1000;
    const double yy = axes->ydir_reverse ? b.top() + t * b.height() : b.bottom() - t * b.height();
    return {b.left() + x / 10 * b.width(), yy};
  }
};

QColor pixel(const QImage& img, QPointF p) {
  return img.pixelColor(static_cast<int>(std::floor(p.x())), static_cast<int>(std::floor(p.y())));
}

bool near(const QColor& c, int r, int g, int b, int tol = 8) {
  return std::abs(c.red() - r) <= tol && std::abs(c.green() - g) <= tol &&
         std::abs(c.blue() - b) <= tol;
}

// How many pixels of the row y between x0 and x1 satisfy `pred`.
template <class Pred>
int count_row(const QImage& img, int y, int x0, int x1, Pred pred) {
  int n = 0;
  for (int x = x0; x <= x1; ++x) n += pred(img.pixelColor(x, y)) ? 1 : 0;
  return n;
}

TEST(AxesRender, LineGridImageTitleAndBackground) {
  ensure_application();
  Scene s;
  const QImage img = s.render();
  if (const char* docs = std::getenv("QUORIN_DOCS_PNG")) img.save(docs);

  // The dashed red line along y = 0: red in dashes, gaps between them.
  const QPointF zero = s.at(0, 0);
  const int x0 = static_cast<int>(s.at(4, 0).x()), x1 = static_cast<int>(s.at(9.5, 0).x());
  int red = 0;
  for (int dy = -1; dy <= 1; ++dy)
    red = std::max(red, count_row(img, static_cast<int>(zero.y()) + dy, x0, x1,
                                  [](QColor c) { return near(c, 255, 0, 0); }));
  EXPECT_GT(red, (x1 - x0) / 3);
  EXPECT_LT(red, x1 - x0);  // dashed, not solid

  // Grid lines along y = 300: grey dots, and white between the x grid lines.
  const int gy = static_cast<int>(std::round(s.at(0, 300).y()));
  int grey = 0;
  for (int dy = -1; dy <= 1; ++dy)
    grey = std::max(grey, count_row(img, gy + dy, x0, x1, [](QColor c) {
                      return c.red() == c.green() && c.green() == c.blue() && c.red() > 140 &&
                             c.red() < 230;
                    }));
  EXPECT_GT(grey, (x1 - x0) / 5);
  EXPECT_TRUE(near(pixel(img, s.at(7.5, 350)), 255, 255, 255)) << "white background";

  // The palette image through the window's colour map: 1 -> red, 2 -> green, 3 -> blue,
  // 4 -> yellow; row 1 below row 2 as y grows upwards.
  struct Cell {
    double x, y;
    int r, g, b;
  };
  for (const Cell& c : {Cell{2, -400, 255, 0, 0}, Cell{2, -200, 0, 128, 0},
                        Cell{3, -400, 0, 0, 255}, Cell{3, -200, 255, 255, 0}}) {
    EXPECT_TRUE(near(pixel(img, s.at(c.x, c.y)), c.r, c.g, c.b))
        << "cell at " << c.x << ", " << c.y << " is "
        << pixel(img, s.at(c.x, c.y)).name().toStdString();
  }

  // The title above the box has dark pixels; the same band below the box has none there.
  const QRectF b = s.box();
  int dark = 0;
  for (int y = static_cast<int>(b.top()) - 18; y < static_cast<int>(b.top()) - 2; ++y)
    dark += count_row(img, y, static_cast<int>(b.center().x()) - 80,
                      static_cast<int>(b.center().x()) + 80,
                      [](QColor c) { return c.red() + c.green() + c.blue() < 200; });
  EXPECT_GT(dark, 20);
}

TEST(AxesRender, ReversedYPutsTheFirstRowOnTop) {
  ensure_application();
  Scene s;
  s.axes->ydir_reverse = true;
  const QImage img = s.render();
  EXPECT_TRUE(near(pixel(img, s.at(2, -400)), 255, 0, 0));
  EXPECT_TRUE(near(pixel(img, s.at(2, -200)), 0, 128, 0));
  EXPECT_LT(s.at(2, -400).y(), s.at(2, -200).y());
}

TEST(AxesRender, InvisibleAxesShowOnlyTheirChildren) {
  ensure_application();
  Scene s;
  s.axes->visible = false;
  const QImage img = s.render();
  // No white background, no grid: the window's colour shows through; the image stays.
  EXPECT_TRUE(near(pixel(img, s.at(7.5, 350)), 204, 204, 204));
  EXPECT_TRUE(near(pixel(img, s.at(3, -200)), 255, 255, 0));
  const QPointF zero = s.at(0, 0);
  int red = 0;
  for (int dy = -1; dy <= 1; ++dy)
    red += count_row(img, static_cast<int>(zero.y()) + dy, 0, 399,
                     [](QColor c) { return near(c, 255, 0, 0); });
  EXPECT_GT(red, 50);
}

TEST(AxesRender, LinesStayInsideTheBoxAndTextsMayLeaveIt) {
  ensure_application();
  Scene s;
  gfx::Axes& a = *s.axes;
  const std::vector<double> x{-100, 100}, y{450, 450};
  a.hold = true;
  s.m.plot(a, x, y, "b");
  gfx::Text& t = s.m.new_text(a, 10.2, 0, "Outside");
  t.color = {0, 0.5, 0};
  t.font_size = 12;
  const QImage img = s.render();
  const QRectF b = s.box();
  const int row = static_cast<int>(std::round(s.at(0, 450).y()));
  auto blue = [](QColor c) { return near(c, 0, 0, 255); };
  int inside = 0, outside = 0;
  for (int dy = -1; dy <= 1; ++dy) {
    inside += count_row(img, row + dy, static_cast<int>(b.left()) + 2,
                        static_cast<int>(b.right()) - 2, blue);
    outside += count_row(img, row + dy, 0, static_cast<int>(b.left()) - 2, blue);
  }
  EXPECT_GT(inside, b.width() / 2);
  EXPECT_EQ(outside, 0);
  int green = 0;
  for (int y = 0; y < 300; ++y)
    green += count_row(img, y, static_cast<int>(b.right()) + 3, 399,
                       [](QColor c) { return c.green() > 80 && c.red() < 60 && c.blue() < 60; });
  EXPECT_GT(green, 5) << "the text right of the box shows";
}

TEST(AxesRender, AutomaticLimitsFitTheDataAtRoundSteps) {
  gfx::Model m;
  gfx::Axes& a = m.new_axes(m.figure(1));
  const std::vector<double> x{0.3, 7.2}, y{-13, 88};
  m.plot(a, x, y, "k");
  const AxesLimits lim = shown_limits(m, a);
  EXPECT_DOUBLE_EQ(lim.x[0], 0);
  EXPECT_DOUBLE_EQ(lim.x[1], 8);
  EXPECT_DOUBLE_EQ(lim.y[0], -20);
  EXPECT_DOUBLE_EQ(lim.y[1], 100);
  a.xlim = {2, 3};
  a.xlim_manual = true;
  EXPECT_DOUBLE_EQ(shown_limits(m, a).x[0], 2);
  EXPECT_DOUBLE_EQ(shown_limits(m, a).x[1], 3);
}

TEST(AxesRender, TicksAtRoundSteps) {
  struct Row {
    double lo, hi;
    int max_intervals;
    double first, step;
    std::size_t count;
  };
  for (const Row& r : {Row{0, 10, 10, 0, 1, 11}, Row{-500, 500, 10, -500, 100, 11},
                       Row{0, 100, 6, 0, 20, 6}, Row{0.13, 0.87, 10, 0.2, 0.1, 7},
                       Row{0.5, 167.5, 10, 20, 20, 8}, Row{-3e-4, 7e-4, 5, -2e-4, 2e-4, 5}}) {
    const std::vector<double> t = tick_values(r.lo, r.hi, r.max_intervals);
    ASSERT_EQ(t.size(), r.count) << r.lo << " to " << r.hi;
    EXPECT_NEAR(t.front(), r.first, 1e-12);
    EXPECT_NEAR(t[1] - t[0], r.step, 1e-12);
  }
  EXPECT_TRUE(tick_values(1, 1, 10).empty());
  EXPECT_TRUE(tick_values(0, std::nan(""), 10).empty());
}

TEST(AxesRender, ZoomIsAViewThatTheProgramsLimitsReset) {
  ensure_application();
  Scene s;
  QWidget parent;
  parent.resize(400, 300);
  AxesWidget w(s.m, s.axes->handle(), &parent);
  w.setGeometry(0, 0, 400, 300);
  const QRectF b = w.box();
  w.band_begin(s.at(2, 100));
  w.band_end(s.at(4, 300));
  EXPECT_NEAR(w.limits().x[0], 2, 0.05);
  EXPECT_NEAR(w.limits().x[1], 4, 0.05);
  EXPECT_NEAR(w.limits().y[0], 100, 5);
  EXPECT_NEAR(w.limits().y[1], 300, 5);
  EXPECT_EQ(s.axes->xlim[1], 10) << "the model keeps the program's limits";
  w.reset_view();
  EXPECT_EQ(w.limits().x[1], 10);

  w.wheel_zoom(b.center(), 1);
  EXPECT_LT(w.limits().x[1] - w.limits().x[0], 10);
  w.refresh();  // model unchanged: the zoom stays
  EXPECT_LT(w.limits().x[1] - w.limits().x[0], 10);
  s.axes->xlim = {0, 20};
  w.refresh();  // the program set new limits: the zoom is gone
  EXPECT_EQ(w.limits().x[1], 20);
}

// A true-colour picture: 8-bit values in the order the picture is stored, fractions rounded
// half away from zero, values beyond 255 full, a missing value black.
TEST(AxesRender, TrueColourPictureKeepsEveryChannel) {
  ensure_application();
  Scene s;
  gfx::Image& im = *s.m.children_of<gfx::Image>(*s.axes).front();
  im.channels = 3;
  im.true_colour_8bit = true;
  const double nan = std::nan("");
  //          red: c0r0 c0r1   c1r0 c1r1   green:              blue:
  im.cdata = {255, 0, nan, 12.25, 0, 127.5, 64, 200, 0, 300, 0, 255};
  const QImage img = s.render();
  struct Cell {
    double x, y;
    int r, g, b;
  };
  for (const Cell& c : {Cell{2, -400, 255, 0, 0}, Cell{2, -200, 0, 128, 255},
                        Cell{3, -400, 0, 64, 0}, Cell{3, -200, 12, 200, 255}}) {
    EXPECT_TRUE(near(pixel(img, s.at(c.x, c.y)), c.r, c.g, c.b, 0))
        << "cell at " << c.x << ", " << c.y << " is "
        << pixel(img, s.at(c.x, c.y)).name().toStdString();
  }
}

// A curve that leaves the box far on one side, crosses it, and has a gap: drawn inside the box
// only, not across the gap.
TEST(AxesRender, CurvesAreClippedAndBrokenAtGaps) {
  ensure_application();
  Scene s;
  gfx::Axes& a = *s.axes;
  a.hold = true;
  const double nan = std::nan("");
  const std::vector<double> x{-50, -40, 1, 4, nan, 6, 9, 60, 70, 80},
      y{450, 450, 450, 450, 450, 450, 450, 450, 9000, 9000};
  s.m.plot(a, x, y, "b");
  const QImage img = s.render();
  const QRectF b = s.box();
  const int row = static_cast<int>(std::round(s.at(0, 450).y()));
  auto blue = [](QColor c) { return near(c, 0, 0, 255); };
  auto blue_between = [&](double x0, double x1) {
    int n = 0;
    for (int dy = -1; dy <= 1; ++dy)
      n += count_row(img, row + dy, static_cast<int>(s.at(x0, 0).x()),
                     static_cast<int>(s.at(x1, 0).x()), blue);
    return n;
  };
  EXPECT_GT(blue_between(0.2, 3.8), (s.at(3.8, 0).x() - s.at(0.2, 0).x()) / 2);
  EXPECT_GT(blue_between(6.2, 9.8), (s.at(9.8, 0).x() - s.at(6.2, 0).x()) / 2);
  EXPECT_EQ(blue_between(4.3, 5.7), 0) << "no line across the gap";
  int outside = 0;
  for (int dy = -1; dy <= 1; ++dy)
    outside += count_row(img, row + dy, 0, static_cast<int>(b.left()) - 2, blue);
  EXPECT_EQ(outside, 0);
}

// The SVG picture shows what the screen shows: curves, markers and pictures stop at the box's
// edge in the file too (an SVG reader draws whatever the file holds, wherever it lies).
TEST(AxesRender, SvgPictureIsCutToTheBoxAsTheScreenIs) {
  ensure_application();
  Scene s;
  gfx::Axes& a = *s.axes;
  a.hold = true;
  // A thick magenta zig-zag out through every side, cyan circles across the edges and a
  // picture half outside on the left.
  const std::vector<double> x{-5, 5, 15, 5, -5}, y{0, 900, 0, -900, 0};
  gfx::Line& zigzag = s.m.plot(a, x, y, "m");
  zigzag.line_width = 3;
  const std::vector<double> mx{0, 10, 5, 5, 0.1}, my{0, 0, 500, -500, 498};
  gfx::Line& marks = s.m.plot(a, mx, my, "co");
  marks.line_style = "none";
  marks.marker_size = 12;
  gfx::Image& im = s.m.new_image(a);
  im.height = 2;
  im.width = 2;
  im.cdata = {1, 2, 3, 4};
  im.xdata = {-1, 0};
  im.ydata = {100, 300};

  const QImage screen = s.render();
  const fs::path svg_file = s.dir / "axes.svg";
  save_window_picture(s.m, PictureRequest{1, svg_file, PictureFormat::Svg, kScreenDpi});
  QSvgRenderer reader(QString::fromStdString(svg_file.string()));
  ASSERT_TRUE(reader.isValid());
  QImage svg(screen.size(), QImage::Format_RGB32);
  svg.fill(Qt::white);
  {
    QPainter p(&svg);
    reader.render(&p, QRectF(QPointF(0, 0), QSizeF(screen.size())));
  }

  // Colour (curve, marker, picture) anywhere outside the box, two pixels of edge allowed.
  const QRect edge = s.box().adjusted(-2, -2, 2, 2).toAlignedRect();
  auto coloured = [](QColor c) {
    return std::max({c.red(), c.green(), c.blue()}) - std::min({c.red(), c.green(), c.blue()}) >
           100;
  };
  auto outside = [&](const QImage& img) {
    int n = 0;
    for (int yy = 0; yy < img.height(); ++yy)
      for (int xx = 0; xx < img.width(); ++xx)
        if (!edge.contains(xx, yy) && coloured(img.pixelColor(xx, yy))) ++n;
    return n;
  };
  auto inside = [&](const QImage& img) {
    int n = 0;
    for (int yy = edge.top() + 3; yy < edge.bottom() - 3; ++yy)
      for (int xx = edge.left() + 3; xx < edge.right() - 3; ++xx)
        if (coloured(img.pixelColor(xx, yy))) ++n;
    return n;
  };
  EXPECT_EQ(outside(screen), 0);
  EXPECT_EQ(outside(svg), 0) << "the SVG spills past the box";
  EXPECT_GT(inside(svg), 500);
  EXPECT_NEAR(inside(svg), inside(screen), inside(screen) / 10) << "the same picture inside";
}

// A densely sampled curve is written to a vector file with only the points the paper can show,
// and lies where the pixels of a bitmap four times finer put it.
TEST(AxesRender, VectorCurvesKeepOnlyThePointsThePaperCanShow) {
  ensure_application();
  Scene s;
  gfx::Axes& a = *s.axes;
  a.hold = true;
  std::vector<double> x(20001), y(x.size());
  for (std::size_t i = 0; i < x.size(); ++i) {
    x[i] = 10.0 * static_cast<double>(i) / static_cast<double>(x.size() - 1);
    y[i] = 400 * std::sin(1.3 * x[i]) * std::exp(-0.1 * x[i]);
  }
  s.m.plot(a, x, y, "b");
  const fs::path svg_file = s.dir / "dense.svg", png_file = s.dir / "dense.png";
  save_window_picture(s.m, PictureRequest{1, svg_file, PictureFormat::Svg, kScreenDpi});
  save_window_picture(s.m, PictureRequest{1, png_file, PictureFormat::Png, 4 * kScreenDpi});
  EXPECT_LT(fs::file_size(svg_file), 60u * 1024u) << "20001 points written as they came";

  const QImage png =
      QImage(QString::fromStdString(png_file.string())).convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(png.size(), QSize(1600, 1200));
  QImage svg(png.size(), QImage::Format_RGB32);
  svg.fill(Qt::white);
  {
    QSvgRenderer reader(QString::fromStdString(svg_file.string()));
    QPainter p(&svg);
    p.setRenderHint(QPainter::Antialiasing);
    reader.render(&p, QRectF(QPointF(0, 0), QSizeF(png.size())));
  }
  auto blue = [](const QImage& img, int xx, int yy) {
    if (xx < 0 || yy < 0 || xx >= img.width() || yy >= img.height()) return false;
    const QColor c = img.pixelColor(xx, yy);
    return c.blue() > 150 && c.red() < 110 && c.green() < 110;
  };
  // Pixels of the curve in one picture with none of the other's within two pixels.
  auto strays = [&](const QImage& from, const QImage& to) {
    int ink = 0, away = 0;
    for (int yy = 0; yy < from.height(); ++yy)
      for (int xx = 0; xx < from.width(); ++xx) {
        if (!blue(from, xx, yy)) continue;
        ++ink;
        bool near_ink = false;
        for (int dy = -2; dy <= 2 && !near_ink; ++dy)
          for (int dx = -2; dx <= 2 && !near_ink; ++dx) near_ink = blue(to, xx + dx, yy + dy);
        away += near_ink ? 0 : 1;
      }
    EXPECT_GT(ink, 1000);
    return away;
  };
  EXPECT_EQ(strays(svg, png), 0);
  EXPECT_EQ(strays(png, svg), 0);
}

}  // namespace
}  // namespace quorin::qtk
