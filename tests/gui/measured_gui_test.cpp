// Measured data as the user reaches it: the comparison window's menu and keys, the real file
// and input dialogs, the windows they open, the clipboard, the main window's popups and the
// bands on the comparison window.
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>

#include "analysis/measured_windows.h"
#include "app/comparison_tools.h"
#include "gui/comparison_menu.h"
#include "gui/gui_fixture.h"
#include "measured/generated_run.h"
#include "plotting/plotfunction.h"

namespace quorin::test {
namespace {

using MeasuredGui = GuiFixture;

int window_named(GuiFixture& f, std::string_view name) {
  for (int n : f.model().window_numbers())
    if (f.model().window(n)->name == name) return n;
  return 0;
}

void write(const std::filesystem::path& file, const std::string& text) {
  std::ofstream(file, std::ios::binary) << text;
}

// A dyno run of the first stored curve, as a rig would record it: a sine drive at ten speeds,
// gas force, seal friction and 2 % noise.
std::string run_of_stored_curve(GuiFixture& f) {
  const WheelCurves w = wheel_curves(f.globals().plotdata.at(0), kSIFactors);
  testing::GeneratedDamper d = testing::damper_of_curve(w.compression_velocity, w.compression_force,
                                                        w.rebound_velocity, w.rebound_force);
  return testing::generated_run_file(d);
}

const std::string kTakeOff = "Take off the curve";

TEST_F(MeasuredGui, RunFileFromTheMenuIsOverlaidAndShownAndItsFiguresCopied) {
  click(1, "PLOT");
  write(folder() / "rig.csv", run_of_stored_curve(*this));
  answer_file(folder() / "rig.csv");
  answer_input({kTakeOff, kTakeOff});
  pick_from_menu(*this, QString::fromUtf8("Read dyno run file\u2026"));
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  ASSERT_GE(window_named(*this, analysis::kDynoRunWindowName), 5);
  // The extracted curve is the dyno curve now, held on the graph.
  EXPECT_EQ(globals().ShockData.field("fn").str(), "rig.csv");
  EXPECT_EQ(model_control(1, "holdroehrig").value, 1);
  // Drawn again by the next PLOT, as a held dyno curve is.
  click(1, "PLOT");
  int dashed_black = 0;
  for (auto* l : model().children_of<gfx::Line>(model().get(globals().plothandle)))
    dashed_black += l->line_style == "--" && l->color == gfx::Color{0, 0, 0};
  EXPECT_EQ(dashed_black, 1);

  activate(2);
  QTest::keyClick(window(2), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  const QStringList lines = QGuiApplication::clipboard()->text().split('\n');
  ASSERT_GE(lines.size(), 15);
  EXPECT_EQ(lines[0], "File\trig.csv");
  EXPECT_TRUE(lines[1].startsWith("Gas force (lbs)\t33.")) << lines[1].toStdString();  // 150 N
  EXPECT_TRUE(lines[2].startsWith("Seal friction (lbs)\t")) << lines[2].toStdString();
  EXPECT_TRUE(lines[4].startsWith("Run\tRate (Hz)\tComp. v (in/s)")) << lines[4].toStdString();

  // The window again by its key, after it was closed.
  model().close(window_named(*this, analysis::kDynoRunWindowName));
  activate(2);
  QTest::keyClick(window(2), Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  EXPECT_GE(window_named(*this, analysis::kDynoRunWindowName), 5);
}

TEST_F(MeasuredGui, ColumnsNotRecognisedAreAskedAndRemembered) {
  const std::string text =
      "Stamp;Weg;Kraft\n0;0;10\n0,001;1;20\n0,002;2;30\n0,003;3;40\n0,004;2;30\n0,005;1;20\n"
      "0,006;0;10\n0,007;1;20\n0,008;2;30\n0,009;3;40\n0,010;2;30\n0,011;1;20\n0,012;0;10\n";
  write(folder() / "odd.txt", text);
  answer_file(folder() / "odd.txt");
  answer_input({"Time (s)", "Displacement (mm)", "Force (N)"});
  answer_input({kTakeOff, kTakeOff});
  activate(2);
  QTest::keyClick(window(2), Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  ASSERT_EQ(answerer_.titles.size(), 3u);
  EXPECT_EQ(answerer_.titles[1], "Columns of the File");
  // The second time the question offers the same answers: taking them as they stand reads it.
  answer_file(folder() / "odd.txt");
  answer_input({});
  answer_input({kTakeOff, kTakeOff});
  activate(2);
  QTest::keyClick(window(2), Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  EXPECT_TRUE(answerer_.unanswered.empty());
  EXPECT_EQ(globals().ShockData.field("fn").str(), "odd.txt");
  // Undo takes the reading back: the dyno curve the program started with again.
  activate(2);
  QTest::keyClick(window(2), Qt::Key_Z, Qt::ControlModifier);
  QTest::keyClick(window(2), Qt::Key_Z, Qt::ControlModifier);
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  EXPECT_FALSE(globals().ShockData.has_field("fn") && globals().ShockData.field("fn").is_text() &&
               globals().ShockData.field("fn").str() == "odd.txt");
}

TEST_F(MeasuredGui, BadRunFileIsRefusedWithItsLineAndNothingChanges) {
  write(folder() / "bad.csv", "Time (s),Displacement (mm),Force (N)\n0,1,2\n0.001,x,3\n");
  answer_file(folder() / "bad.csv");
  pick_from_menu(*this, QString::fromUtf8("Read dyno run file\u2026"));
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_NE(
      errors_[0].find("line 3: the cell \"x\" in column \"Displacement (mm)\" is not a number"),
      std::string::npos)
      << errors_[0];
  EXPECT_EQ(window_named(*this, analysis::kDynoRunWindowName), 0);
  EXPECT_EQ(model_control(1, "holdroehrig").value, 0);
}

TEST_F(MeasuredGui, WholeSetUpFittedByKeyAndItsButtonSetsValvesSpringsAndClicks) {
  click(1, "PLOT");
  const std::vector<std::string> tags = {"CompressionValve", "CompressionSpring", "LSC", "HSC",
                                         "ReboundValve",     "ReboundSpring",     "LSR", "HSR"};
  write(folder() / "rig.csv", run_of_stored_curve(*this));
  answer_file(folder() / "rig.csv");
  answer_input({kTakeOff, kTakeOff});
  activate(2);
  QTest::keyClick(window(2), Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  // Another set-up in the main window, by keys.
  for (const std::string& t : tags) {
    auto* box = control_as<QComboBox>(1, t);
    ASSERT_NE(box, nullptr) << t;
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Home);
  }
  answer_input({"Both"});
  activate(2);
  QTest::keyClick(window(2), Qt::Key_W, Qt::ControlModifier | Qt::ShiftModifier);
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  const int fitted = window_named(*this, analysis::kWholeSetupWindowName);
  ASSERT_GE(fitted, 5);
  toolkit_->sync();
  activate(fitted);
  click(fitted, "UseWholeSetup");
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  // The button sets every popup of both sides to the best found (a set-up drawing the curve
  // the run came from within the noise; several valve, spring and click sets can draw it).
  const auto& fit = *program_->tools->measured_tools().last_fit();
  ASSERT_FALSE(fit.compression.best.empty());
  ASSERT_FALSE(fit.rebound.best.empty());
  for (std::size_t k = 0; k < tags.size(); ++k) {
    const analysis::WholeCandidate& best = k < 4 ? fit.compression.best[0] : fit.rebound.best[0];
    const std::array<double, 4> rows = {double(best.valve_row), double(best.spring_row),
                                        double(best.clicks.low_row), double(best.clicks.high_row)};
    EXPECT_EQ(model_control(1, tags[k]).value, rows[k % 4]) << tags[k];
    EXPECT_NE(model_control(1, tags[k]).value, 1) << tags[k] << " left where the keys put it";
  }
  EXPECT_EQ(model_control(1, "valveseatcompression").string.empty(), false);
  EXPECT_LT(fit.compression.best[0].clicks.error.percent, 2.5);
  EXPECT_LT(fit.rebound.best[0].clicks.error.percent, 2.5);
}

TEST_F(MeasuredGui, TrackDataShadesEveryCornerAndHidesByKey) {
  std::string text = "Time (s)\tDamper FL (mm)\tDamper FR (mm)\tDamper RL (mm)\tDamper RR (mm)\n";
  for (int k = 0; k < 4000; ++k) {
    const double t = k * 0.002;
    text += std::to_string(t);
    for (int c = 0; c < 4; ++c)
      text += "\t" + std::to_string((8 + 2 * c) * std::sin(2 * 3.14159 * 1.3 * t + c));
    text += "\n";
  }
  write(folder() / "log.txt", text);
  click(1, "PLOT");
  answer_file(folder() / "log.txt");
  pick_from_menu(*this, QString::fromUtf8("Track data\u2026"));
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  EXPECT_GE(window_named(*this, analysis::kTrackWindowName), 5);
  auto bands = [&] {
    return analysis::track_band_objects(model(), model().get<gfx::Axes>(globals().plothandle))
        .size();
  };
  EXPECT_EQ(bands(), 16u);  // three shades and a label per corner
  click(1, "PLOT");         // a redraw clears the axes; the bands come back
  EXPECT_EQ(bands(), 16u);
  activate(2);
  QTest::keyClick(window(2), Qt::Key_H, Qt::ControlModifier | Qt::ShiftModifier);
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  EXPECT_EQ(bands(), 0u);
  click(1, "PLOT");
  EXPECT_EQ(bands(), 0u);
}

}  // namespace
}  // namespace quorin::test
