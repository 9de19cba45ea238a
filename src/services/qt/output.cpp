#include "services/qt/output.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QFontMetricsF>
#include <QImage>
#include <QImageWriter>
#include <QLabel>
#include <QLineEdit>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPen>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QStyleOptionFrame>
#include <QSvgGenerator>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "services/file_io.h"
#include "services/qt/axes_painter.h"
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

Qt::Alignment horizontal(const std::string& a) {
  if (a == "left") return Qt::AlignLeft;
  if (a == "right") return Qt::AlignRight;
  return Qt::AlignHCenter;
}

// Draws one control as its widget shows it, with the widget's own style, font, palette and
// state, in the widget's coordinates.
void paint_control(QPainter& p, QWidget& wd, const gfx::Control& c) {
  using Style = gfx::Control::Style;
  QStyle* style = wd.style();
  const QRect r = wd.rect();
  const QPalette& pal = wd.palette();
  p.setFont(wd.font());
  p.setPen(pal.color(wd.foregroundRole()));
  p.setBrush(Qt::NoBrush);
  if (wd.autoFillBackground()) p.fillRect(r, pal.color(wd.backgroundRole()));
  switch (c.style) {
    case Style::Text:
      if (auto* l = qobject_cast<QLabel*>(&wd)) {
        const int flags = static_cast<int>(l->alignment()) | (l->wordWrap() ? Qt::TextWordWrap : 0);
        style->drawItemText(&p, l->contentsRect(), flags, pal, l->isEnabled(), l->text(),
                            l->foregroundRole());
      }
      break;
    case Style::PushButton:
      if (auto* b = qobject_cast<QPushButton*>(&wd)) {
        QStyleOptionButton opt;
        opt.initFrom(b);
        opt.features = b->isFlat() ? QStyleOptionButton::Flat : QStyleOptionButton::None;
        opt.state |= b->isDown() ? QStyle::State_Sunken : QStyle::State_Raised;
        if (b->isChecked()) opt.state |= QStyle::State_On;
        opt.text = b->text();
        const Qt::Alignment align = horizontal(c.horizontal_alignment);
        if (align == Qt::AlignHCenter) {
          style->drawControl(QStyle::CE_PushButton, &opt, &p, b);
        } else {
          const QString label = opt.text;
          opt.text.clear();
          style->drawControl(QStyle::CE_PushButton, &opt, &p, b);
          style->drawItemText(&p, r.adjusted(4, 0, -4, 0),
                              static_cast<int>(align | Qt::AlignVCenter), pal, b->isEnabled(),
                              label, QPalette::ButtonText);
        }
      }
      break;
    case Style::Popup:
      if (auto* cb = qobject_cast<QComboBox*>(&wd)) {
        QStyleOptionComboBox opt;
        opt.initFrom(cb);
        opt.editable = cb->isEditable();
        opt.frame = cb->hasFrame();
        opt.currentText = cb->currentText();
        opt.iconSize = cb->iconSize();
        opt.subControls = QStyle::SC_All;
        p.setPen(pal.color(QPalette::Text));
        style->drawComplexControl(QStyle::CC_ComboBox, &opt, &p, cb);
        style->drawControl(QStyle::CE_ComboBoxLabel, &opt, &p, cb);
      }
      break;
    case Style::Edit:
      if (auto* e = qobject_cast<QLineEdit*>(&wd)) {
        QStyleOptionFrame opt;
        opt.initFrom(e);
        opt.lineWidth =
            e->hasFrame() ? style->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, e) : 0;
        opt.midLineWidth = 0;
        opt.state |= QStyle::State_Sunken;
        if (e->isReadOnly()) opt.state |= QStyle::State_ReadOnly;
        style->drawPrimitive(QStyle::PE_PanelLineEdit, &opt, &p, e);
        // The text as the edit shows it scrolled to its start: inside the frame, two pixels
        // in from the sides, one from top and bottom.
        const QRect inner =
            style->subElementRect(QStyle::SE_LineEditContents, &opt, e).adjusted(2, 1, -2, -1);
        p.save();
        p.setClipRect(inner, Qt::IntersectClip);
        p.setPen(pal.color(QPalette::Text));
        const Qt::Alignment h = e->alignment() & Qt::AlignHorizontal_Mask;
        const QString text = e->displayText();
        const bool fits = QFontMetricsF(e->font()).horizontalAdvance(text) <= inner.width();
        p.drawText(inner, static_cast<int>((fits ? h : Qt::AlignLeft) | Qt::AlignVCenter), text);
        p.restore();
      }
      break;
    case Style::CheckBox:
    case Style::Radio:
      if (auto* b = qobject_cast<QAbstractButton*>(&wd)) {
        QStyleOptionButton opt;
        opt.initFrom(b);
        if (b->isDown()) opt.state |= QStyle::State_Sunken;
        opt.state |= b->isChecked() ? QStyle::State_On : QStyle::State_Off;
        opt.text = b->text();
        style->drawControl(c.style == Style::Radio ? QStyle::CE_RadioButton : QStyle::CE_CheckBox,
                           &opt, &p, b);
      }
      break;
    case Style::Frame: {
      // A frame: its background with a border in its foreground colour covering the outer
      // pixels, as the screen draws it.
      p.fillRect(r, to_qcolor(c.background));
      p.setPen(QPen(to_qcolor(c.foreground), 1));
      p.drawRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5));
      break;
    }
  }
}

// Draws window `w` on `p`, whose coordinates are the window's client pixels: its colour,
// its axes with the screen's painter, then its controls as `view` shows them, each group in
// creation order and everything clipped to the client area as on screen.
void paint_window(QPainter& p, gfx::Model& m, const gfx::Window& w, const WindowView& view) {
  const QSizeF client(view.size());
  const QRectF area(QPointF(0, 0), client);
  p.save();
  p.setClipRect(area);
  p.fillRect(area, to_qcolor(w.color));
  std::vector<const gfx::Control*> controls;
  for (gfx::Handle h : w.children()) {
    gfx::Object* o = m.find(h);
    if (auto* a = dynamic_cast<gfx::Axes*>(o)) {
      paint_axes(p, client, m, *a, shown_limits(m, *a));
    } else if (auto* c = dynamic_cast<gfx::Control*>(o)) {
      controls.push_back(c);
    }
  }
  for (const gfx::Control* c : controls) {
    QWidget* wd = view.widget_of(c->handle());
    if (!wd || wd->isHidden()) continue;
    p.save();
    p.translate(wd->pos());
    p.setClipRect(wd->rect(), Qt::IntersectClip);
    paint_control(p, *wd, *c);
    p.restore();
  }
  p.restore();
}

// Writes a file whole or not at all: `write` makes the file's bytes in memory, which then go to
// a file beside it and take the name only once they are all on the disk, so a full disk or a
// missing folder leaves the old file exactly as it was (or nothing, when there was none). Only a
// regular file (or nothing) is replaced, and a FIFO is never opened. `write` returns why it
// failed, or nothing. Throws RuntimeError naming the file and saying why in words.
// (Qt's own save file is not used: on a full disk it keeps the part that fitted and reports
// success.)
void save_whole(const std::filesystem::path& file, const std::string& what,
                const std::function<std::string(QIODevice&)>& write) {
  save_target(file);  // refuses a FIFO, a device or a folder before anything is made
  QBuffer out;
  out.open(QIODevice::WriteOnly);
  std::string why = write(out);
  out.close();
  if (why.empty() && out.data().isEmpty()) why = "nothing was made to write";
  if (why == "Unknown error") why = "the picture could not be made";
  if (!why.empty())
    throw RuntimeError("Could not write \"" + file.string() + "\": " + why + "; " + what + ".");
  write_whole(file,
              std::string_view(out.data().constData(), static_cast<std::size_t>(out.data().size())),
              what);
}

void save_png(const QImage& image, const std::filesystem::path& png) {
  save_whole(png, "no picture was written", [&](QIODevice& out) -> std::string {
    QImageWriter writer(&out, "PNG");
    return writer.write(image) ? std::string() : writer.errorString().toStdString();
  });
}

}  // namespace

namespace {

// Draws the window on a page of `paper` device pixels at `res` dots per inch, as the window's
// paper settings say.
void paint_page(QPainter& p, gfx::Model& m, const gfx::Window& w, const WindowView& view,
                const QRectF& paper, double res) {
  const std::string units = lower(w.paper_units);
  const QSize client = view.size();
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
    // The window's client pixels scaled onto the paper: lines, texts and fills stay
    // vectors at the printer's resolution; only the pictures of image objects are bitmaps.
    p.translate(target.topLeft());
    p.scale(target.width() / client.width(), target.height() / client.height());
    paint_window(p, m, w, view);
  }
}

}  // namespace

void print_window_to(gfx::Model& m, int window, QPrinter& printer) {
  gfx::Window& w = open_window(m, window);
  prepare_printer(w, printer);
  OffscreenView snap(m, window);
  const QString file = printer.outputFileName();
  if (printer.outputFormat() == QPrinter::PdfFormat && !file.isEmpty()) {
    // Printed to a PDF file: the same page, written whole through a file beside it, so a
    // failed print leaves an older file as it was.
    save_whole(file.toStdString(), "nothing was printed", [&](QIODevice& out) -> std::string {
      QPdfWriter pdf(&out);
      pdf.setTitle(printer.docName());
      pdf.setCreator(printer.creator());
      pdf.setResolution(printer.resolution());
      pdf.setPageLayout(printer.pageLayout());
      QPainter p;
      if (!p.begin(&pdf)) return "the page could not be started";
      paint_page(p, m, w, snap.view, pdf.pageLayout().fullRectPixels(pdf.resolution()),
                 pdf.resolution());
      return p.end() ? std::string() : "the page could not be finished";
    });
    return;
  }
  QPainter p;
  if (!p.begin(&printer)) {
    throw RuntimeError(file.isEmpty() ? std::string("The printer could not be started.")
                                      : "Could not write \"" + file.toStdString() + "\".");
  }
  paint_page(p, m, w, snap.view, printer.paperRect(QPrinter::DevicePixel), printer.resolution());
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

void print_window_pdf(gfx::Model& m, int window, const std::filesystem::path& pdf) {
  ensure_application();
  open_window(m, window);
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(pdf.string()));
  print_window_to(m, window, printer);
}

void save_window_picture(gfx::Model& m, const PictureRequest& r) {
  ensure_application();
  gfx::Window& w = open_window(m, r.window);
  OffscreenView snap(m, r.window);
  const QSize client = snap.view.size();
  const std::string cannot = "Could not write \"" + r.file.string() + "\".";
  QPainter p;
  switch (r.format) {
    case PictureFormat::Png: {
      if (!(r.dpi > 0)) throw RuntimeError("A picture needs a resolution above 0 dpi.");
      const double scale = r.dpi / static_cast<double>(kScreenDpi);
      const QSize size(static_cast<int>(std::lround(client.width() * scale)),
                       static_cast<int>(std::lround(client.height() * scale)));
      QImage image(size, QImage::Format_RGB32);
      if (image.isNull()) throw RuntimeError("A picture of that size cannot be made. " + cannot);
      const int per_metre = static_cast<int>(std::lround(r.dpi / 0.0254));
      image.setDotsPerMeterX(per_metre);
      image.setDotsPerMeterY(per_metre);
      image.fill(to_qcolor(w.color));
      p.begin(&image);
      p.setRenderHint(QPainter::Antialiasing);
      p.setRenderHint(QPainter::TextAntialiasing);
      p.scale(scale, scale);
      paint_window(p, m, w, snap.view);
      p.end();
      save_png(image, r.file);
      return;
    }
    case PictureFormat::Svg:
      save_whole(r.file, "no picture was written", [&](QIODevice& out) -> std::string {
        QSvgGenerator svg;
        svg.setOutputDevice(&out);
        svg.setSize(client);
        svg.setViewBox(QRect(QPoint(0, 0), client));
        svg.setResolution(kScreenDpi);
        svg.setTitle(QString::fromStdString(w.name));
        if (!p.begin(&svg)) return "the picture could not be started";
        paint_window(p, m, w, snap.view);
        return p.end() ? std::string() : "the picture could not be finished";
      });
      return;
    case PictureFormat::Pdf:
      save_whole(r.file, "no picture was written", [&](QIODevice& out) -> std::string {
        QPdfWriter pdf(&out);
        pdf.setTitle(QString::fromStdString(w.name));
        pdf.setPageSize(QPageSize(
            QSizeF(client.width() * 72.0 / kScreenDpi, client.height() * 72.0 / kScreenDpi),
            QPageSize::Point));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        if (!p.begin(&pdf)) return "the picture could not be started";
        const double scale = pdf.resolution() / static_cast<double>(kScreenDpi);
        p.scale(scale, scale);
        paint_window(p, m, w, snap.view);
        return p.end() ? std::string() : "the picture could not be finished";
      });
      return;
  }
}

bool render_window_png(gfx::Model& m, int window, const std::filesystem::path& png) {
  ensure_application();
  if (!m.window(window)) return false;
  OffscreenView snap(m, window);
  QImage image(snap.view.size(), QImage::Format_RGB32);
  image.fill(to_qcolor(m.window(window)->color));
  snap.view.render(&image);
  save_png(image, png);
  return true;
}

}  // namespace quorin::qtk
