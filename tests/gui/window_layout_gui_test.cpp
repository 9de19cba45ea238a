// Windows as the user finds them on the screen: none hides another at the first start, the
// two turn windows stand side by side, and the curves just plotted come to the front where
// the windows must share the screen.
#include "gui/gui_fixture.h"
#include "services/qt/axes_painter.h"

namespace quorin::test {
namespace {

using WindowLayout = GuiFixture;

// The whole screen of the offscreen platform.
const QRect kScreen(0, 0, 1920, 1080);

TEST_F(WindowLayout, AtFirstStartTheComparisonWindowStandsBesideTheMainWindow) {
  const QRect main = window(1)->geometry(), plot = window(2)->geometry();
  EXPECT_FALSE(main.intersects(plot)) << "main window over the comparison plot";
  EXPECT_TRUE(kScreen.contains(main));
  EXPECT_TRUE(kScreen.contains(plot));
  // The comparison window keeps its built size where the screen has room.
  EXPECT_EQ(plot.size(), QSize(1000, 600));
}

TEST_F(WindowLayout, PlotBringsTheCurvesInFrontOfAMainWindowThatCoversThem) {
  // A screen too small for both: the comparison window under the main window.
  window(2)->setGeometry(window(1)->geometry().translated(-100, 20).adjusted(0, 0, 500, 0));
  QApplication::processEvents();
  activate(1);
  click(1, "PLOT");
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  ASSERT_FALSE(model().stacking().empty());
  EXPECT_EQ(model().stacking().back(), 2) << "the comparison window comes to the front";
  EXPECT_EQ(model().current_window()->number, 1) << "the main window stays the current one";

  // Beside each other they keep their order.
  window(2)->setGeometry(window(1)->geometry().right() + 20, 50, 800, 600);
  QApplication::processEvents();
  activate(1);
  model().figure(1);
  click(1, "PLOT");
  EXPECT_EQ(model().stacking().back(), 1);
}

TEST_F(WindowLayout, FrontRearBalanceOpensTheTurnWindowsSideBySideInFront) {
  const char* ratios[] = {"1", "1.1", "1.2", "1.3"};
  for (const char* r : ratios) {
    type_into(1, "motionratio", r);
    click(1, "PLOT");
  }
  activate(2);
  QTest::keyClick(window(2), Qt::Key_B, Qt::ControlModifier);
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  ASSERT_NE(window(3), nullptr);
  ASSERT_NE(window(4), nullptr);
  const QRect left = window(3)->geometry(), right = window(4)->geometry();
  EXPECT_FALSE(left.intersects(right)) << "the turn windows on top of each other";
  EXPECT_LT(left.left(), right.left());
  EXPECT_TRUE(kScreen.contains(left));
  EXPECT_TRUE(kScreen.contains(right));
  const std::vector<int>& stacking = model().stacking();
  ASSERT_GE(stacking.size(), 4u);
  EXPECT_EQ(std::vector<int>(stacking.end() - 2, stacking.end()), (std::vector<int>{3, 4}))
      << "both turn windows in front of the main window";

  // The upper plot's velocity label stands whole above the lower plot, at the built size and
  // at the least size the window takes.
  for (int number : {3, 4}) {
    for (QSize size : {window(number)->size(), QSize(1, 1)}) {
      SCOPED_TRACE("window " + std::to_string(number) + " at " + std::to_string(size.width()));
      window(number)->resize(size);
      QApplication::processEvents();
      toolkit_->sync();
      QWidget* w = window(number);
      EXPECT_GE(w->height(), 400) << "no smaller than what it shows";
      QImage im(w->size(), QImage::Format_RGB32);
      w->render(&im);
      auto box = [&](std::string_view tag) {
        for (auto* a : model().children_of<gfx::Axes>(*model().window(number)))
          if (a->tag.starts_with(tag))
            if (auto* aw = qobject_cast<qtk::AxesWidget*>(toolkit_->widget(a->handle())))
              return aw->box().toRect();
        return QRect();
      };
      const QRect force = box("plotwindow_"), balance = box("balance_");
      ASSERT_FALSE(force.isNull());
      ASSERT_FALSE(balance.isNull());
      ASSERT_LT(force.bottom(), balance.top());
      // Dark ink of the label in the two rows just above the lower plot: cut by it.
      int ink = 0;
      for (int y = balance.top() - 2; y < balance.top(); ++y)
        for (int x = force.left() + 1; x < force.right(); ++x) ink += qGray(im.pixel(x, y)) < 96;
      EXPECT_EQ(ink, 0) << "the velocity label runs into the lower plot";
      // And some of it is there, between the plots.
      int label = 0;
      for (int y = force.bottom() + 2; y < balance.top(); ++y)
        for (int x = force.center().x() - 30; x < force.center().x() + 30; ++x)
          label += qGray(im.pixel(x, y)) < 96;
      EXPECT_GT(label, 20) << "no velocity label between the plots";
    }
  }
}

}  // namespace
}  // namespace quorin::test

namespace quorin::test {
namespace {

// The table window's velocity box, buttons and table at every size the user gives it.
TEST_F(WindowLayout, TheTableWindowKeepsEveryPartVisibleWhenResized) {
  click(1, "PLOT");
  activate(2);
  QTest::keyClick(window(2), Qt::Key_T, Qt::ControlModifier);
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  int table = 0;
  for (int n : model().window_numbers())
    if (model().window(n)->name == "Curves at Velocities") table = n;
  ASSERT_GE(table, 5);
  toolkit_->sync();
  QWidget* w = window(table);
  const QSize built = w->size();
  gfx::Axes* cells = nullptr;
  for (auto* a : model().children_of<gfx::Axes>(*model().window(table)))
    if (a->tag == "table") cells = a;
  ASSERT_NE(cells, nullptr);

  struct Row {
    const char* name;
    QSize size;
  };
  const Row rows[] = {
      {"as_built", built},
      {"taller", built + QSize(0, 300)},
      {"wider_and_taller", built + QSize(400, 400)},
      {"crushed_to_143_px", QSize(built.width(), 143)},
      {"narrowed", QSize(200, built.height())},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    w->resize(r.size);
    QApplication::processEvents();
    toolkit_->sync();
    // Never smaller than what it must show.
    EXPECT_GE(w->width(), built.width());
    EXPECT_GE(w->height(), built.height());
    auto* aw = qobject_cast<qtk::AxesWidget*>(toolkit_->widget(cells->handle()));
    ASSERT_NE(aw, nullptr);
    const QRectF headers = aw->box();
    for (const char* name : {"velocitiescaption", "velocities", "CopyTable", "DifferenceButton"}) {
      const QRect part = control(table, name)->geometry();
      EXPECT_TRUE(w->rect().contains(part)) << name << " leaves the window";
      EXPECT_LE(part.bottom(), headers.top()) << name << " over the column headers";
    }
  }
}

}  // namespace
}  // namespace quorin::test

namespace quorin::test {
namespace {

// Runs of rows holding dark ink within columns [left, right) of the rows [top, bottom).
int ink_runs(const QImage& im, int left, int right, int top, int bottom) {
  int runs = 0;
  bool in_run = false;
  for (int y = top; y < bottom; ++y) {
    bool ink = false;
    for (int x = left; x < right && !ink; ++x) ink = qGray(im.pixel(x, y)) < 110;
    if (ink && !in_run) ++runs;
    in_run = ink;
  }
  return runs;
}

// The comparison window made smaller by the user: the force label whole inside the window
// and each of the legend's 28 lines apart from its neighbours.
TEST_F(WindowLayout, TheComparisonWindowKeepsItsTextsWholeAndApartWhenMadeSmaller) {
  for (int i = 0; i < 7; ++i) click(1, "PLOT");
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  gfx::Handle plot = globals().plothandle, legend = globals().IDhandle;
  for (QSize size : {QSize(800, 480), QSize(600, 380), QSize(1000, 600)}) {
    SCOPED_TRACE(std::to_string(size.width()) + "x" + std::to_string(size.height()));
    QWidget* w = window(2);
    w->resize(size);
    QApplication::processEvents();
    toolkit_->sync();
    EXPECT_GE(w->width(), 800) << "narrower than the legend's longest line";
    EXPECT_GE(w->height(), 480);
    QImage im(w->size(), QImage::Format_RGB32);
    w->render(&im);
    auto box = [&](gfx::Handle h) {
      auto* aw = qobject_cast<qtk::AxesWidget*>(toolkit_->widget(h));
      return aw ? aw->box().toRect() : QRect();
    };
    const QRect curves = box(plot), key = box(legend);
    ASSERT_FALSE(curves.isNull());
    ASSERT_FALSE(key.isNull());
    // Nothing of the force label in the window's first columns: it is not cut at the edge.
    EXPECT_EQ(ink_runs(im, 0, 2, curves.top(), curves.bottom()), 0) << "force label cut";
    EXPECT_GT(ink_runs(im, 0, curves.left() - 30, curves.top(), curves.bottom()), 0)
        << "no force label";
    // The legend's texts, right of the coloured markers.
    const int text_left = key.left() + key.width() / 10;
    EXPECT_EQ(ink_runs(im, text_left, w->width(), 0, key.bottom()), 28)
        << "legend lines run into each other";
  }
}

}  // namespace
}  // namespace quorin::test
