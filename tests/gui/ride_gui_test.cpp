// Ride and grip as the user reaches it: the key and the right-click menu of the comparison
// window, its questions answered in the real dialogs, the results window and its buttons, and
// a click on a point of the grip map setting the main window's clicks.
#include <QClipboard>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

#include "analysis/ride_windows.h"
#include "app/comparison_tools.h"
#include "gui/comparison_menu.h"
#include "gui/gui_fixture.h"
#include "services/qt/axes_painter.h"

namespace quorin::test {
namespace {

using RideGui = GuiFixture;

int window_named(GuiFixture& f, std::string_view name) {
  for (int n : f.model().window_numbers())
    if (f.model().window(n)->name == name) return n;
  return 0;
}

// The point of its window where the axes `axes` shows data point (x, y).
QPoint data_point(GuiFixture& f, gfx::Handle axes, double x, double y) {
  auto* aw = qobject_cast<qtk::AxesWidget*>(f.toolkit_->widget(axes));
  if (!aw) return {};
  const QRectF box = aw->box();
  const qtk::AxesLimits lim = aw->limits();
  return QPointF(box.left() + (x - lim.x[0]) / (lim.x[1] - lim.x[0]) * box.width(),
                 box.bottom() - (y - lim.y[0]) / (lim.y[1] - lim.y[0]) * box.height())
      .toPoint();
}

TEST_F(RideGui, RideAndGripByKeyAsksTheCornerAndTheRoadAndCopiesItsTable) {
  click(1, "PLOT");
  click(1, "PLOT");
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  activate(2);
  answer_input({"260", "38", "32", "240", "Class road"});
  answer_input({"B", "90", "10", "4"});
  QTest::keyClick(window(2), Qt::Key_R, Qt::ControlModifier);
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  const int ride = window_named(*this, analysis::kRideWindowName);
  ASSERT_GE(ride, 5);
  EXPECT_EQ(answerer_.titles, (std::vector<std::string>{"Ride and Grip", "Ride and Grip: Road"}));
  toolkit_->sync();
  activate(ride);
  click(ride, "CopyRide");
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  const QStringList rows = QGuiApplication::clipboard()->text().split('\n');
  ASSERT_EQ(rows.size(), 4);  // heading, two curves, the empty text after the last
  EXPECT_TRUE(rows[0].startsWith("Curve\tName\tTyre load RMS (N)\t")) << rows[0].toStdString();
  EXPECT_TRUE(rows[1].startsWith("1\t")) << rows[1].toStdString();
  EXPECT_TRUE(rows[2].startsWith("2\t")) << rows[2].toStdString();
  // What was asked is kept for the next time.
  EXPECT_EQ(program_->settings->value("ride/sprung_mass_kg"), "260");
  EXPECT_EQ(program_->settings->value("ride/road_class"), "B");
  EXPECT_EQ(program_->settings->value("ride/duration_s"), "10");
  const auto& study = program_->tools->ride_tools().last_study();
  ASSERT_TRUE(study);
  EXPECT_EQ(study->what.car.sprung_mass_kg, 260);
  EXPECT_EQ(study->what.speed_kmh, 90);
}

TEST_F(RideGui, KerbFromTheMenuDrawsOneTracePerCurve) {
  click(1, "PLOT");
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  answer_input({"250", "40", "30", "250", "Kerb"});
  answer_input({"40", "200", "300", "50"});
  pick_from_menu(*this, QString::fromUtf8("Ride and grip\u2026"));
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  const int ride = window_named(*this, analysis::kRideWindowName);
  ASSERT_GE(ride, 5);
  auto* plot = dynamic_cast<gfx::Axes*>(model().find_by_tag(analysis::kRidePlotTag));
  ASSERT_NE(plot, nullptr);
  // The trace of the one stored curve and the static load's dotted line.
  EXPECT_EQ(model().children_of<gfx::Line>(*plot).size(), 2u);
}

TEST_F(RideGui, ACancelledQuestionRunsNothing) {
  click(1, "PLOT");
  activate(2);
  answer_cancel();
  QTest::keyClick(window(2), Qt::Key_R, Qt::ControlModifier);
  EXPECT_TRUE(errors_.empty());
  EXPECT_EQ(window_named(*this, analysis::kRideWindowName), 0);
}

TEST_F(RideGui, AClickOnAGripMapPointSetsTheMainWindowsClicks) {
  click(1, "PLOT");
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  activate(2);
  answer_input({"250", "40", "30", "250", "LSC", "C", "100", "4", "1"});
  QTest::keyClick(window(2), Qt::Key_M, Qt::ControlModifier | Qt::ShiftModifier);
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  const int grip = window_named(*this, analysis::kGripWindowName);
  ASSERT_GE(grip, 5);
  const auto& map = program_->tools->ride_tools().last_map();
  ASSERT_TRUE(map);
  ASSERT_EQ(map->points.size(), model_control(1, "LSC").items.size());
  // The front's point with the most grip: the lowest tyre-load variation.
  std::size_t best = 0;
  for (std::size_t i = 0; i < map->points.size(); ++i)
    if (map->points[i].tyre_load_rms_n < map->points[best].tyre_load_rms_n) best = i;
  ASSERT_TRUE(map->points[best].on_front);
  // Another click first, so the map's click shows.
  model_control(1, "LSC").value = map->points[best].low_row == 1 ? 2 : 1;
  model().touch();
  toolkit_->sync();
  activate(grip);
  auto* axes = dynamic_cast<gfx::Axes*>(model().find_by_tag(analysis::kGripAxesTag));
  ASSERT_NE(axes, nullptr);
  const QPoint at = data_point(*this, axes->handle(), map->points[best].body_accel_rms,
                               map->points[best].tyre_load_rms_n);
  QTest::mouseClick(window(grip), Qt::LeftButton, Qt::NoModifier, at);
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  EXPECT_EQ(model_control(1, "LSC").value, static_cast<double>(map->points[best].low_row));
}

// A long grip map shows its progress window; its Cancel stops the map and nothing opens.
TEST_F(RideGui, CancelInTheGripMapsProgressWindowStopsIt) {
  click(1, "PLOT");
  activate(2);
  answer_input({"250", "40", "30", "250", "Compression: LSC x HSC", "C", "100", "60", "1"});
  bool seen = false;
  QTimer cancel;
  cancel.setInterval(50);
  QObject::connect(&cancel, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* d = qobject_cast<QProgressDialog*>(w); d && d->isVisible()) {
        seen = true;
        if (auto* button = d->findChild<QPushButton*>())
          QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, button->rect().center());
      }
  });
  cancel.start();
  QTest::keyClick(window(2), Qt::Key_M, Qt::ControlModifier | Qt::ShiftModifier);
  cancel.stop();
  EXPECT_TRUE(seen);
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_EQ(errors_.front(), "The grip map was cancelled; nothing was changed.");
  EXPECT_EQ(window_named(*this, analysis::kGripWindowName), 0);
  EXPECT_FALSE(program_->tools->ride_tools().last_map());
}

// Save road writes the class road through the file dialog; opened again as a road file it
// drives the car exactly as before.
TEST_F(RideGui, ASavedRoadOpensAgainAsARoadFileAndDrivesTheSame) {
  click(1, "PLOT");
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  activate(2);
  answer_input({"250", "40", "30", "250", "Class road"});
  answer_input({"C", "100", "5", "7"});
  QTest::keyClick(window(2), Qt::Key_R, Qt::ControlModifier);
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  const auto& study = program_->tools->ride_tools().last_study();
  ASSERT_TRUE(study);
  const double load = study->rows.at(0).road.tyre_load_rms_n;
  const int ride = window_named(*this, analysis::kRideWindowName);
  toolkit_->sync();
  activate(ride);
  answer_file(folder() / "road.txt");
  click(ride, "SaveRoad");
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  ASSERT_TRUE(std::filesystem::is_regular_file(folder() / "road.txt"));

  activate(2);
  answer_input({"250", "40", "30", "250", "Road file"});
  answer_file(folder() / "road.txt");
  answer_input({"100"});
  QTest::keyClick(window(2), Qt::Key_R, Qt::ControlModifier);
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  ASSERT_TRUE(study);
  EXPECT_NE(study->what.road.file.find("road.txt"), std::string::npos);
  EXPECT_EQ(study->rows.at(0).road.tyre_load_rms_n, load);
  // A road file has no class road to save: the button is not offered.
  toolkit_->sync();
  EXPECT_EQ(model().find_by_tag("SaveRoad"), nullptr);
}

}  // namespace
}  // namespace quorin::test
