// The comparison window's context menu and shortcuts as the user uses them: a right click,
// the keys, a click on a legend marker; the results in the clipboard, in files and in new
// windows.
#include <QClipboard>
#include <QImage>
#include <QMenu>

#include "app/comparison_tools.h"
#include "gui/comparison_menu.h"
#include "gui/gui_fixture.h"
#include "services/qt/axes_painter.h"

namespace quorin::test {
namespace {

using ComparisonMenuGui = GuiFixture;

// The point of window `number` where the axes `axes` shows data point (x, y).
QPoint data_point(GuiFixture& f, gfx::Handle axes, double x, double y) {
  auto* aw = qobject_cast<qtk::AxesWidget*>(f.toolkit_->widget(axes));
  if (!aw) return {};
  const QRectF box = aw->box();
  const qtk::AxesLimits lim = aw->limits();
  return QPointF(box.left() + (x - lim.x[0]) / (lim.x[1] - lim.x[0]) * box.width(),
                 box.bottom() - (y - lim.y[0]) / (lim.y[1] - lim.y[0]) * box.height())
      .toPoint();
}

TEST_F(ComparisonMenuGui, RightClickOffersEveryItemWithItsShortcut) {
  QMenu* menu = open_comparison_menu(*this);
  ASSERT_NE(menu, nullptr);
  QStringList items;
  for (QAction* a : menu->actions())
    if (!a->isSeparator()) items << a->text() + " " + a->shortcut().toString();
  EXPECT_EQ(items.join(" | ").toStdString(),
            "Save picture\u2026 Ctrl+S | Copy curves Ctrl+C | Save curves as CSV\u2026 Ctrl+E | "
            "Table at velocities\u2026 Ctrl+T | Difference\u2026 Ctrl+D | Front/rear balance "
            "Ctrl+B | Clicker sweep\u2026 Ctrl+K | Closest set-up to the dyno curve\u2026 Ctrl+F | "
            "Error against the dyno curve Ctrl+Shift+F | Damping guides\u2026 Ctrl+G | Damping "
            "ratio\u2026 Ctrl+Shift+G | Ride and grip\u2026 Ctrl+R | Grip map\u2026 "
            "Ctrl+Shift+M | Read dyno run file\u2026 Ctrl+Shift+R | Dyno run window "
            "Ctrl+Shift+N | Copy dyno run figures Ctrl+Shift+C | Whole set-up fitted\u2026 "
            "Ctrl+Shift+W | Track data\u2026 Ctrl+Shift+L | Hide track data bands Ctrl+Shift+H | "
            "Undo Ctrl+Z | Redo Ctrl+Shift+Z | Library\u2026 Ctrl+L");
  menu->close();
}

TEST_F(ComparisonMenuGui, CopyCurvesFromTheMenuFillsTheClipboard) {
  click(1, "PLOT");
  pick_from_menu(*this, "Copy curves");
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  const QString text = QGuiApplication::clipboard()->text();
  EXPECT_TRUE(text.startsWith("Curve\tName\tSide\tVelocity (in/s)\tForce (lbs)\n1\t1  Comp"))
      << text.left(120).toStdString();
  const auto& p = globals().plotdata[0];
  EXPECT_EQ(text.count('\n'), 1 + p.cmpvelocity.size() + p.rebvelocity.size());
}

TEST_F(ComparisonMenuGui, UndoAndRedoByKeysInBothWindows) {
  click(1, "PLOT");
  type_into(1, "motionratio", "1.3");
  click(1, "PLOT");
  ASSERT_EQ(globals().counter, 3);
  const auto two = globals().plotdata;

  activate(1);
  QTest::keyClick(window(1), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(globals().counter, 2);
  activate(2);
  QTest::keyClick(window(2), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(globals().counter, 1);
  EXPECT_EQ(globals().counter2, 1);
  QTest::keyClick(window(2), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  QTest::keyClick(window(2), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(globals().counter, 3);
  EXPECT_TRUE(globals().plotdata == two);
  ASSERT_TRUE(errors_.empty()) << errors_.front();

  // Undo from the menu, too.
  pick_from_menu(*this, "Undo");
  EXPECT_EQ(globals().counter, 2);
}

TEST_F(ComparisonMenuGui, ClickOnALegendMarkerHidesAndShowsTheCurve) {
  click(1, "PLOT");
  click(1, "PLOT");
  // A solid line drawn first by something else (an overlay) is not taken for a curve's.
  auto& plot = model().get<gfx::Axes>(globals().plothandle);
  gfx::Line& other = model().new_line(plot, {0, 1}, {0, 100});
  model().send_to_back(other.handle());
  toolkit_->sync();
  const QPoint marker = data_point(*this, globals().IDhandle, 0.05, 1.1 - 0.12 * 2);
  QTest::mouseClick(window(2), Qt::LeftButton, Qt::NoModifier, marker);
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  EXPECT_EQ(program_->tools->hidden_curves(), (std::set<int>{2}));
  // Curve 2 no longer drawn: its two red lines hidden, every other line shown.
  std::vector<gfx::Color> hidden;
  for (auto* l : model().children_of<gfx::Line>(plot))
    if (!l->visible) hidden.push_back(l->color);
  EXPECT_EQ(hidden, (std::vector<gfx::Color>{{1, 0, 0}, {1, 0, 0}}));
  QTest::mouseClick(window(2), Qt::LeftButton, Qt::NoModifier, marker);
  EXPECT_TRUE(program_->tools->hidden_curves().empty());
}

TEST_F(ComparisonMenuGui, TableWindowByKeyEditedAndCopied) {
  click(1, "PLOT");
  activate(2);
  QTest::keyClick(window(2), Qt::Key_T, Qt::ControlModifier);
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  int table = 0;
  for (int n : model().window_numbers())
    if (model().window(n)->name == "Curves at Velocities") table = n;
  ASSERT_GE(table, 5);
  toolkit_->sync();
  activate(table);
  type_into(table, "velocities", "1 2");
  QTest::keyClick(control(table, "velocities"), Qt::Key_Return);
  EXPECT_EQ(model_control(table, "velocities").string, "1 2");
  click(table, "Copy");
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  const QStringList rows = QGuiApplication::clipboard()->text().split('\n');
  ASSERT_EQ(rows.size(), 4);
  EXPECT_EQ(rows[0], "Velocity (in/s)\t1 compression (lbs)\t1 rebound (lbs)");
  EXPECT_TRUE(rows[1].startsWith("1\t")) << rows[1].toStdString();
  EXPECT_TRUE(rows[2].startsWith("2\t")) << rows[2].toStdString();

  // Difference... from the table window asks for the two curves.
  answer_input({"1", "1"});
  click(table, "Difference...");
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  bool difference = false;
  for (int n : model().window_numbers()) difference |= model().window(n)->name == "Difference";
  EXPECT_TRUE(difference);
}

TEST_F(ComparisonMenuGui, SavePictureAndCsvByKeys) {
  click(1, "PLOT");
  activate(2);
  const std::string folder = folder_.string() + "/";
  answer_file(folder + "plot.png");
  answer_input({"150"});
  QTest::keyClick(window(2), Qt::Key_S, Qt::ControlModifier);
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  const QImage im(QString::fromStdString(folder + "plot.png"));
  EXPECT_EQ(im.width(), std::lround(window(2)->width() * 150 / 96.0));
  EXPECT_NEAR(im.dotsPerMeterX() * 0.0254, 150, 0.5);

  answer_file(folder + "plot");
  activate(2);  // back in the window once the picture is saved
  QTest::keyClick(window(2), Qt::Key_E, Qt::ControlModifier);
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  std::ifstream csv(folder_ / "plot.csv");
  std::string header;
  std::getline(csv, header);
  EXPECT_EQ(header, "Curve,Name,Side,Velocity (in/s),Force (lbs)\r");
}

TEST_F(ComparisonMenuGui, BalanceByKeyOpensBothTurnWindows) {
  for (int i = 0; i < 4; ++i) click(1, "PLOT");
  activate(2);
  QTest::keyClick(window(2), Qt::Key_B, Qt::ControlModifier);
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  toolkit_->sync();
  ASSERT_NE(window(3), nullptr);
  ASSERT_NE(window(4), nullptr);
  EXPECT_TRUE(window(3)->isVisible());
  EXPECT_TRUE(window(4)->isVisible());
}

}  // namespace
}  // namespace quorin::test
