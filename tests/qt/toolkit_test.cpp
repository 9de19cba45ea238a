// The toolkit mirrors the model into widgets and writes the user's edits back before a
// control's command runs.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPrinter>
#include <QTimer>
#include <QWheelEvent>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "services/file_size_limit.h"
#include "services/gfx/model.h"
#include "services/qt/axes_painter.h"
#include "services/qt/look.h"
#include "services/qt/output.h"
#include "services/qt/qt_dialogs.h"
#include "services/qt/toolkit.h"
#include "services/runtime_error.h"
#include "services/temp_dir.h"

namespace quorin::qtk {
namespace {

namespace fs = std::filesystem;
using Style = gfx::Control::Style;

// What the command runner saw when a control's command ran.
struct Seen {
  std::string command;
  double value = 0;
  std::string string;
  int current_window = 0;
};

struct Fixture {
  gfx::Model m;
  std::vector<Seen> seen;
  gfx::Control* watched = nullptr;
  Toolkit tk{m, [this](const std::string& cmd) {
               Seen s;
               s.command = cmd;
               if (watched) {
                 s.value = watched->value;
                 s.string = watched->string;
               }
               if (gfx::Window* w = m.current_window()) s.current_window = w->number;
               seen.push_back(s);
               if (cmd == "close") m.close_current();
             }};

  gfx::Control& control(int window, Style style, std::string callback = {}) {
    gfx::Control& c = m.new_control(*m.window(window), style);
    c.callback = std::move(callback);
    return c;
  }
  template <class W>
  W* widget(const gfx::Object& o) {
    tk.sync();
    return qobject_cast<W*>(tk.widget(o.handle()));
  }
};

TEST(Toolkit, PopupChoiceIsInTheModelBeforeItsCommandRuns) {
  Fixture f;
  f.m.figure(1);
  gfx::Control& c = f.control(1, Style::Popup, "quorin_processor_ct('valveseatcompression')");
  c.items = {"first", "second", "third"};
  c.value = 3;
  f.m.figure(2);  // another window is current when the user picks
  f.watched = &c;
  auto* cb = f.widget<QComboBox>(c);
  ASSERT_NE(cb, nullptr);
  EXPECT_EQ(cb->count(), 3);
  EXPECT_EQ(cb->currentIndex(), 2);
  cb->setCurrentIndex(1);
  emit cb->activated(1);
  ASSERT_EQ(f.seen.size(), 1u);
  EXPECT_EQ(f.seen[0].command, "quorin_processor_ct('valveseatcompression')");
  EXPECT_EQ(f.seen[0].value, 2);
  EXPECT_EQ(f.seen[0].current_window, 1) << "the control's window becomes current";
  EXPECT_EQ(c.value, 2);
}

TEST(Toolkit, EditTextIsWrittenWhenEditingFinishes) {
  Fixture f;
  f.m.figure(1);
  gfx::Control& c = f.control(1, Style::Edit, "typed");
  c.string = "0";
  f.watched = &c;
  auto* e = f.widget<QLineEdit>(c);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->text(), "0");
  e->setText("12.5");
  EXPECT_EQ(c.string, "0") << "nothing is written while typing";
  emit e->editingFinished();
  EXPECT_EQ(c.string, "12.5");
  ASSERT_EQ(f.seen.size(), 1u);
  EXPECT_EQ(f.seen[0].string, "12.5");
  emit e->editingFinished();  // unchanged text: no second command
  EXPECT_EQ(f.seen.size(), 1u);

  // The program writes a new text: the box shows it.
  c.string = "7731-02";
  f.tk.sync();
  EXPECT_EQ(e->text(), "7731-02");
}

TEST(Toolkit, CheckBoxesAndRadioButtonsToggleAndAreNotExclusive) {
  Fixture f;
  f.m.figure(1);
  gfx::Control& si = f.control(1, Style::Radio, "quorin_processor_ct('si')");
  gfx::Control& us = f.control(1, Style::Radio, "quorin_processor_ct('us')");
  gfx::Control& box = f.control(1, Style::CheckBox);
  us.value = 1;
  auto* rsi = f.widget<QAbstractButton>(si);
  auto* rus = f.widget<QAbstractButton>(us);
  auto* cb = f.widget<QAbstractButton>(box);
  ASSERT_TRUE(rsi && rus && cb);
  EXPECT_TRUE(rus->isChecked());
  EXPECT_FALSE(rsi->isChecked());

  f.watched = &si;
  rsi->click();
  EXPECT_EQ(si.value, 1);
  EXPECT_EQ(us.value, 1) << "the other radio button is left to the action";
  EXPECT_TRUE(rus->isChecked());
  ASSERT_EQ(f.seen.size(), 1u);
  EXPECT_EQ(f.seen[0].value, 1);

  rsi->click();  // a click on a radio button that is on turns it off
  EXPECT_EQ(si.value, 0);
  EXPECT_EQ(f.seen.back().value, 0);

  cb->click();
  EXPECT_EQ(box.value, 1);
  cb->click();
  EXPECT_EQ(box.value, 0);
  EXPECT_EQ(f.seen.size(), 2u) << "a check box without a command runs none";

  si.value = 1;  // the program sets the pair back
  us.value = 0;
  f.tk.sync();
  EXPECT_TRUE(rsi->isChecked());
  EXPECT_FALSE(rus->isChecked());
}

TEST(Toolkit, InactiveEditShowsTextThatCannotBeTyped) {
  Fixture f;
  f.m.figure(1);
  gfx::Control& c = f.control(1, Style::Edit);
  c.string = "7731-02";
  c.enable = "inactive";
  gfx::Control& off = f.control(1, Style::PushButton);
  off.enable = "off";
  auto* e = f.widget<QLineEdit>(c);
  ASSERT_NE(e, nullptr);
  EXPECT_TRUE(e->isReadOnly());
  EXPECT_TRUE(e->isEnabled());
  EXPECT_EQ(e->text(), "7731-02");
  EXPECT_FALSE(f.widget<QAbstractButton>(off)->isEnabled());
  c.enable = "on";
  f.tk.sync();
  EXPECT_FALSE(e->isReadOnly());
}

TEST(Toolkit, WindowTitlesFollowNameAndNumberTitle) {
  Fixture f;
  struct Row {
    int number;
    std::string name;
    bool number_title;
    QString title;
  };
  for (const Row& r : {Row{1, "Valdane Racing", false, "Valdane Racing"},
                       Row{2, "Damper Curve Comparison", true, "Figure 2: Damper Curve Comparison"},
                       Row{3, "", true, "Figure 3"}}) {
    gfx::Window& w = f.m.figure(r.number);
    w.name = r.name;
    w.number_title = r.number_title;
    f.tk.sync();
    QWidget* view = f.tk.widget(w.handle());
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->windowTitle(), r.title);
  }
}

TEST(Toolkit, ControlsArePlacedFromTheLowerLeftInTheirUnits) {
  Fixture f;
  gfx::Window& w = f.m.figure(1);
  w.position = {317, 41, 388, 696};
  w.resize = false;
  struct Row {
    gfx::Units units;
    gfx::Rect pos;
    QRect expected;
  };
  const std::vector<Row> rows{
      {gfx::Units::Pixels, {199, 245, 53, 19}, QRect(199, 696 - 245 - 19, 53, 19)},
      {gfx::Units::Points, {-3.75, 474.75, 306.75, 3}, QRect(-5, 696 - 633 - 4, 409, 4)},
      {gfx::Units::Normalized, {0.5, 0, 0.25, 0.5}, QRect(194, 348, 97, 348)},
  };
  std::vector<gfx::Control*> made;
  for (const Row& r : rows) {
    gfx::Control& c = f.control(1, Style::Frame);
    c.units = r.units;
    c.position = r.pos;
    made.push_back(&c);
  }
  f.tk.sync();
  QWidget* view = f.tk.widget(w.handle());
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->size(), QSize(388, 696));
  EXPECT_EQ(view->geometry().topLeft(), QPoint(317, 1080 - 41 - 696))
      << "from the screen's lower-left corner";
  EXPECT_EQ(view->minimumSize(), view->maximumSize()) << "Resize off fixes the size";
  for (std::size_t i = 0; i < rows.size(); ++i)
    EXPECT_EQ(f.tk.widget(made[i]->handle())->geometry(), rows[i].expected) << i;
}

TEST(Toolkit, ZoomByDragDoubleClickAndWheelLeavesTheModelAlone) {
  Fixture f;
  gfx::Window& w = f.m.figure(1);
  w.position = {0, 0, 400, 300};
  w.zoom = true;
  gfx::Axes& a = f.m.new_axes(w);
  a.xlim = {0, 10};
  a.ylim = {0, 10};
  a.xlim_manual = a.ylim_manual = true;
  f.tk.sync();
  QWidget* view = f.tk.widget(w.handle());
  auto* aw = qobject_cast<AxesWidget*>(f.tk.widget(a.handle()));
  ASSERT_TRUE(view && aw);
  const QRectF b = aw->box();
  auto send = [&](QEvent::Type type, QPointF p) {
    QMouseEvent e(type, p, view->mapToGlobal(p), Qt::LeftButton,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                  Qt::NoModifier);
    QCoreApplication::sendEvent(view, &e);
  };
  const QPointF from(b.left() + b.width() * 0.2, b.bottom() - b.height() * 0.2);
  const QPointF to(b.left() + b.width() * 0.6, b.bottom() - b.height() * 0.8);
  send(QEvent::MouseButtonPress, from);
  send(QEvent::MouseMove, to);
  send(QEvent::MouseButtonRelease, to);
  EXPECT_NEAR(aw->limits().x[0], 2, 0.05);
  EXPECT_NEAR(aw->limits().x[1], 6, 0.05);
  EXPECT_NEAR(aw->limits().y[0], 2, 0.05);
  EXPECT_NEAR(aw->limits().y[1], 8, 0.05);
  EXPECT_EQ(a.xlim[1], 10);
  send(QEvent::MouseButtonDblClick, b.center());
  EXPECT_EQ(aw->limits().x[1], 10) << "a double click returns to the program's limits";
  QWheelEvent wheel(b.center(), view->mapToGlobal(b.center()), QPoint(), QPoint(0, 120),
                    Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(view, &wheel);
  EXPECT_NEAR(aw->limits().x[1] - aw->limits().x[0], 8, 0.01) << "the wheel zooms about the cursor";
  EXPECT_NEAR(aw->limits().x[0] + aw->limits().x[1], 10, 0.05);

  w.zoom = false;  // zoom off: the mouse changes nothing
  aw->reset_view();
  send(QEvent::MouseButtonPress, from);
  send(QEvent::MouseButtonRelease, to);
  EXPECT_EQ(aw->limits().x[0], 0);
}

// Counts the paint events a widget gets.
struct PaintCounter : QObject {
  int paints = 0;
  bool eventFilter(QObject*, QEvent* e) override {
    paints += e->type() == QEvent::Paint;
    return false;
  }
};

// An axes is painted again when anything it draws changed, and only then: a click elsewhere
// costs it nothing, however much data it holds.
TEST(Toolkit, AnAxesIsRepaintedWhenWhatItDrawsChangesAndOnlyThen) {
  struct Scene {
    gfx::Model& m;
    gfx::Axes& a;
    gfx::Line& l;
    gfx::Text& t;
    gfx::Control& elsewhere;
  };
  struct Row {
    const char* name;
    std::function<void(Scene&)> change;
    bool repainted;
  };
  const Row rows[] = {
      {"nothing", [](Scene&) {}, false},
      {"a control of another window", [](Scene& s) { s.elsewhere.string = "typed"; }, false},
      {"the same numbers set again", [](Scene& s) { s.a.xlim = {0, 10}; }, false},
      {"line colour", [](Scene& s) { s.l.color = {1, 0, 0}; }, true},
      {"line data written in place", [](Scene& s) { s.l.y.edit()[1] = 7; }, true},
      {"line data of the same length", [](Scene& s) { s.l.x = {0, 4, 9}; }, true},
      {"line hidden", [](Scene& s) { s.l.visible = false; }, true},
      {"text", [](Scene& s) { s.t.string = "rebound"; }, true},
      {"axes limits", [](Scene& s) { s.a.xlim = {0, 20}; }, true},
      {"grid", [](Scene& s) { s.a.xgrid = true; }, true},
      {"title", [](Scene& s) { s.m.get<gfx::Text>(s.a.title).string = "Damper"; }, true},
      {"a new line", [](Scene& s) { s.m.new_line(s.a, {1, 2}, {3, 4}); }, true},
      {"colour map", [](Scene& s) { s.m.window(2)->colormap = {{0, 0, 0}, {1, 1, 1}}; }, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Fixture f;
    f.m.figure(1);
    gfx::Control& elsewhere = f.control(1, Style::Edit);
    gfx::Window& w = f.m.figure(2);
    w.position = {0, 0, 400, 300};
    gfx::Axes& a = f.m.new_axes(w);
    a.xlim = {0, 10};
    a.ylim = {0, 10};
    a.xlim_manual = a.ylim_manual = true;
    gfx::Line& l = f.m.new_line(a, {0, 5, 10}, {0, 5, 10});
    gfx::Text& t = f.m.new_text(a, 1, 1, "compression");
    f.tk.sync();
    auto* aw = qobject_cast<AxesWidget*>(f.tk.widget(a.handle()));
    ASSERT_NE(aw, nullptr);
    PaintCounter counter;
    aw->installEventFilter(&counter);
    QCoreApplication::processEvents();
    counter.paints = 0;
    Scene scene{f.m, a, l, t, elsewhere};
    row.change(scene);
    f.m.touch();
    f.tk.sync();
    QCoreApplication::processEvents();
    EXPECT_EQ(counter.paints > 0, row.repainted) << counter.paints << " paints";
  }
}

TEST(Toolkit, BusyPointerShowsOnItsWindow) {
  Fixture f;
  gfx::Window& w = f.m.figure(1);
  w.pointer = "watch";
  f.tk.sync();
  QWidget* view = f.tk.widget(w.handle());
  EXPECT_EQ(view->cursor().shape(), Qt::WaitCursor);
  w.pointer = "arrow";
  f.tk.sync();
  EXPECT_EQ(view->cursor().shape(), Qt::ArrowCursor);
}

TEST(Toolkit, NormalizedChildrenFollowAResize) {
  Fixture f;
  gfx::Window& w = f.m.figure(1);
  w.position = {0, 0, 400, 200};
  gfx::Control& c = f.control(1, Style::Text);
  c.units = gfx::Units::Normalized;
  c.position = {0.25, 0.5, 0.5, 0.25};
  f.tk.sync();
  QWidget* view = f.tk.widget(w.handle());
  view->resize(800, 400);
  QCoreApplication::processEvents();
  EXPECT_EQ(f.tk.widget(c.handle())->geometry(), QRect(200, 100, 400, 100));
}

TEST(Toolkit, DeletedObjectsAndClosedWindowsLoseTheirWidgets) {
  Fixture f;
  f.m.figure(1);
  f.m.figure(2);
  gfx::Control& c = f.control(2, Style::PushButton);
  const gfx::Handle h = c.handle();
  f.tk.sync();
  ASSERT_NE(f.tk.widget(h), nullptr);
  f.m.delete_object(h);
  f.tk.sync();
  EXPECT_EQ(f.tk.widget(h), nullptr);

  // The user closes window 2 with the title bar's close button.
  QWidget* view = f.tk.widget(gfx::Handle{2});
  ASSERT_NE(view, nullptr);
  view->close();
  EXPECT_EQ(f.m.window(2), nullptr);
  EXPECT_EQ(f.tk.widget(gfx::Handle{2}), nullptr);
  EXPECT_NE(f.m.window(1), nullptr);
}

TEST(Toolkit, AButtonWhoseCommandClosesItsOwnWindow) {
  Fixture f;
  f.m.figure(1);
  f.m.figure(3);
  gfx::Control& ok = f.control(3, Style::PushButton, "close");
  auto* b = f.widget<QAbstractButton>(ok);
  ASSERT_NE(b, nullptr);
  f.m.figure(1);  // the warning window is not current when OK is pressed
  b->click();
  EXPECT_EQ(f.m.window(3), nullptr) << "OK closed its own window";
  EXPECT_NE(f.m.window(1), nullptr);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST(Toolkit, ExecEndsWhenTheLastWindowIsClosed) {
  Fixture f;
  EXPECT_EQ(f.tk.exec(), 0) << "no windows: nothing to serve";
  f.m.figure(1);
  f.m.figure(2);
  QTimer::singleShot(0, [&] {
    f.m.close(2);
    f.tk.sync();
    f.tk.widget(gfx::Handle{1})->close();
  });
  EXPECT_EQ(f.tk.exec(), 0);
  EXPECT_TRUE(f.m.window_numbers().empty());
}

TEST(Toolkit, PauseAndDrawnowServeTheModelsHooks) {
  Fixture f;
  f.m.figure(1);
  f.m.drawnow();
  EXPECT_NE(f.tk.widget(gfx::Handle{1}), nullptr) << "drawnow brings the windows in step";
  f.m.figure(2);
  f.m.pause(0.01);
  EXPECT_NE(f.tk.widget(gfx::Handle{2}), nullptr);
}

TEST(Toolkit, StaticTextAndFrameColoursInASnapshot) {
  ensure_application();
  gfx::Model m;
  gfx::Window& w = m.figure(1);
  w.position = {0, 0, 200, 100};
  w.color = {166 / 255.0, 162 / 255.0, 140 / 255.0};
  gfx::Control& frame = m.new_control(w, Style::Frame);
  frame.position = {10, 10, 50, 30};
  frame.background = {0, 0, 0};
  frame.foreground = {248 / 255.0, 190 / 255.0, 44 / 255.0};
  gfx::Control& label = m.new_control(w, Style::Text);
  label.position = {100, 10, 90, 30};
  label.background = {0, 90 / 255.0, 171 / 255.0};
  label.string = "x";
  gfx::Control& hidden = m.new_control(w, Style::Frame);
  hidden.position = {0, 0, 200, 5};
  hidden.background = {1, 0, 0};
  hidden.visible = false;
  const test::TempDir dir;
  const fs::path png = dir / "controls.png";
  ASSERT_TRUE(render_window_png(m, 1, png));
  QImage img(QString::fromStdString(png.string()));
  EXPECT_EQ(img.pixelColor(5, 5), QColor(166, 162, 140)) << "window colour";
  EXPECT_EQ(img.pixelColor(150, 97), QColor(166, 162, 140)) << "an invisible frame";
  EXPECT_EQ(img.pixelColor(30, 75), QColor(0, 0, 0)) << "frame fill";
  EXPECT_EQ(img.pixelColor(10, 75), QColor(248, 190, 44)) << "frame border";
  EXPECT_EQ(img.pixelColor(185, 85), QColor(0, 90, 171)) << "label background";
  EXPECT_FALSE(render_window_png(m, 5, png)) << "no window 5";
}

// A snapshot that cannot be written says why and leaves no file, whole or empty, behind.
TEST(Toolkit, AFailedSnapshotLeavesNoFile) {
  ensure_application();
  gfx::Model m;
  m.figure(1).position = {0, 0, 300, 200};
  const test::TempDir dir;
  const fs::path& folder = dir.path();
  struct Row {
    fs::path png;
    std::uintmax_t room;  // bytes any file may grow to
  } rows[] = {{folder / "absent" / "w.png", 1 << 30}, {folder / "full.png", 100}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.png.string());
    std::string error;
    {
      test::FileSizeLimit disk(r.room);
      try {
        render_window_png(m, 1, r.png);
      } catch (const RuntimeError& e) {
        error = e.what();
      }
    }
    EXPECT_NE(error.find(r.png.string()), std::string::npos) << error;
    EXPECT_NE(error.find("no picture was written"), std::string::npos) << error;
    EXPECT_TRUE(fs::is_empty(folder)) << "nothing left behind";
  }
}

TEST(Toolkit, PrintingDrawsTheWindowOnThePage) {
  ensure_application();
  gfx::Model m;
  gfx::Window& w = m.figure(2);
  w.paper_units = "points";
  w.paper_type = "A4";
  w.paper_orientation = "landscape";
  w.paper_position = {58.5, 99, 723.75, 396.75};
  const std::vector<double> x{0, 1}, y{0, 1};
  m.plot(m.new_axes(w), x, y, "r");
  const test::TempDir dir;
  const fs::path pdf = dir / "print.pdf";
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(pdf.string()));
  print_window_to(m, 2, printer);
  EXPECT_EQ(printer.pageLayout().orientation(), QPageLayout::Landscape);
  ASSERT_TRUE(fs::exists(pdf));
  EXPECT_GT(fs::file_size(pdf), 1000u);
}

TEST(Toolkit, FontsMapToInstalledFamiliesInPixels) {
  struct Row {
    const char* name;
    double points;
    const char* weight;
    const char* angle;
    QString family;
    int pixels;
    int qweight;
    bool italic;
  };
  for (const Row& r :
       {Row{"arial", 9, "demi", "normal", "Liberation Sans", 12, QFont::DemiBold, false},
        Row{"times", 10, "normal", "italic", "Liberation Serif", 13, QFont::Normal, true},
        Row{"Times", 7, "light", "italic", "Liberation Serif", 9, QFont::Light, true},
        Row{"helvetica", 24, "bold", "normal", "Liberation Sans", 32, QFont::Bold, false}}) {
    const QFont f = make_font(r.name, r.points, r.weight, r.angle);
    EXPECT_EQ(f.family(), r.family) << r.name;
    EXPECT_EQ(f.pixelSize(), r.pixels) << r.name;
    EXPECT_EQ(f.weight(), r.qweight) << r.name;
    EXPECT_EQ(f.italic(), r.italic) << r.name;
  }
}

TEST(Toolkit, DialogFiltersSplitIntoFolderAndPattern) {
  struct Row {
    std::string filter, folder, pattern;
  };
  for (const Row& r : {Row{"/x/y/data/*.pvp", "/x/y/data/", "*.pvp"}, Row{"*.mat", "", "*.mat"},
                       Row{"C:\\quorin\\data\\*.txt", "C:\\quorin\\data\\", "*.txt"},
                       Row{"/x/y/data/", "/x/y/data/", ""}}) {
    const FilterParts p = split_filter(r.filter);
    EXPECT_EQ(p.folder, r.folder) << r.filter;
    EXPECT_EQ(p.pattern, r.pattern) << r.filter;
  }
}

}  // namespace
}  // namespace quorin::qtk
