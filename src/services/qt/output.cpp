#include "services/qt/output.h"

#include <QApplication>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <algorithm>
#include <cctype>
#include <string>

#include "services/qt/look.h"
#include "services/qt/toolkit.h"
#include "services/qt/window_view.h"
#include "services/runtime_error.h"

namespace quorin::qtk {

namespace {

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

QPageSize page_size(const std::string& type) {
  const std::string t = lower(type);
  if (t == "a4" || t == "a4letter") return QPageSize(QPageSize::A4);
  if (t == "a3") return QPageSize(QPageSize::A3);
  if (t == "a5") return QPageSize(QPageSize::A5);
  if (t == "uslegal") return QPageSize(QPageSize::Legal);
  if (t == "tabloid") return QPageSize(QPageSize::Tabloid);
  return QPageSize(QPageSize::Letter);
}

gfx::Window& open_window(gfx::Model& m, int window) {
  gfx::Window* w = m.window(window);
  if (!w) throw RuntimeError("Window " + std::to_string(window) + " is not open.");
  return *w;
}

void prepare_printer(const gfx::Window& w, QPrinter& printer) {
  printer.setPageSize(page_size(w.paper_type));
  printer.setPageOrientation(lower(w.paper_orientation) == "landscape" ? QPageLayout::Landscape
                                                                       : QPageLayout::Portrait);
  printer.setFullPage(true);
}

// A snapshot view of the window: never on screen, laid out at the window's size.
struct OffscreenView {
  WindowView view;
  OffscreenView(gfx::Model& m, int window) : view(m, window, {}, false) {
    view.setAttribute(Qt::WA_DontShowOnScreen);
    view.reconcile();
    view.show();
    view.reconcile();
  }
  ~OffscreenView() { view.hide(); }
};

}  // namespace

void print_window_to(gfx::Model& m, int window, QPrinter& printer) {
  gfx::Window& w = open_window(m, window);
  prepare_printer(w, printer);
  OffscreenView snap(m, window);
  QPainter p;
  if (!p.begin(&printer)) throw RuntimeError("The printer could not be started.");
  const QRectF paper = printer.paperRect(QPrinter::DevicePixel);
  const double res = printer.resolution();
  const std::string units = lower(w.paper_units);
  const QSize client = snap.view.size();
  QRectF target;
  if (lower(w.paper_position_mode) == "auto") {
    const QSizeF s(client.width() * res / 96.0, client.height() * res / 96.0);
    target = QRectF(paper.center() - QPointF(s.width() / 2, s.height() / 2), s);
  } else {
    double sx = res, sy = res;  // inches
    if (units == "points") sx = sy = res / 72.0;
    if (units == "centimeters") sx = sy = res / 2.54;
    if (units == "normalized") {
      sx = paper.width();
      sy = paper.height();
    }
    const gfx::Rect& r = w.paper_position;
    target = QRectF(r.left * sx, paper.height() - (r.bottom + r.height) * sy, r.width * sx,
                    r.height * sy);
  }
  if (client.width() > 0 && client.height() > 0 && target.width() > 0 && target.height() > 0) {
    p.translate(target.topLeft());
    p.scale(target.width() / client.width(), target.height() / client.height());
    snap.view.render(&p, QPoint(), QRegion(),
                     QWidget::DrawWindowBackground | QWidget::DrawChildren);
  }
  p.end();
}

bool print_window(gfx::Model& m, int window, bool show_dialog) {
  ensure_application();
  gfx::Window& w = open_window(m, window);
  QPrinter printer(QPrinter::HighResolution);
  prepare_printer(w, printer);
  if (show_dialog) {
    QPrintDialog dialog(&printer, QApplication::activeWindow());
    if (dialog.exec() != QDialog::Accepted) return false;
  }
  if (!printer.isValid()) throw RuntimeError("No printer is available.");
  print_window_to(m, window, printer);
  return true;
}

bool render_window_png(gfx::Model& m, int window, const std::filesystem::path& png) {
  ensure_application();
  if (!m.window(window)) return false;
  OffscreenView snap(m, window);
  QImage image(snap.view.size(), QImage::Format_RGB32);
  image.fill(to_qcolor(m.window(window)->color));
  snap.view.render(&image);
  return image.save(QString::fromStdString(png.string()), "PNG");
}

}  // namespace quorin::qtk
