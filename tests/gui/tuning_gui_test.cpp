// The tuning items as the user reaches them: the comparison window's right-click menu and its
// keys, the buttons of the windows they open, and what lands in the clipboard, the main
// window's click popups and the painted comparison window.
#include <QClipboard>
#include <QComboBox>
#include <QImage>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>

#include "dyno/dyno_bytes.h"
#include "gui/comparison_menu.h"
#include "gui/gui_fixture.h"
#include "plotting/plotfunction.h"

namespace quorin::test {
namespace {

using TuningGui = GuiFixture;

int window_named(GuiFixture& f, std::string_view name) {
  for (int n : f.model().window_numbers())
    if (f.model().window(n)->name == name) return n;
  return 0;
}

QImage painted(GuiFixture& f, int number) {
  f.toolkit_->sync();
  QWidget* w = f.window(number);
  QImage image(w->size(), QImage::Format_RGB32);
  image.fill(Qt::white);
  w->render(&image);
  return image;
}

TEST_F(TuningGui, SweepFromTheMenuAndItsCopyButton) {
  answer_input({"LSC", "", ""});
  pick_from_menu(*this, QString::fromUtf8("Clicker sweep\u2026"));
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  const int sweep = window_named(*this, "Clicker Sweep");
  ASSERT_GE(sweep, 5);
  toolkit_->sync();
  activate(sweep);
  click(sweep, "CopySweep");
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  const QStringList rows = QGuiApplication::clipboard()->text().split('\n');
  ASSERT_EQ(rows.size(), 23);  // header, clicks 0 to 20, and the empty text after the last
  EXPECT_EQ(rows[0], "LSC\t1 in/s (lbs)\t2 in/s (lbs)\t5 in/s (lbs)\t10 in/s (lbs)");
  EXPECT_TRUE(rows[1].startsWith("0\t")) << rows[1].toStdString();
  EXPECT_TRUE(rows[21].startsWith("20\t")) << rows[21].toStdString();
}

TEST_F(TuningGui, GuidesByKeyArePaintedAndStayAfterPlot) {
  click(1, "PLOT");
  activate(2);
  const QImage before = painted(*this, 2);
  answer_input({"250", "30", "Show"});
  QTest::keyClick(window(2), Qt::Key_G, Qt::ControlModifier);
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  click(1, "PLOT");
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  const QImage after = painted(*this, 2);
  ASSERT_EQ(before.size(), after.size());
  // The guides add grey dots all over the plot: many pixels change, grey ones among them.
  int changed = 0, grey = 0;
  for (int y = 0; y < after.height(); ++y)
    for (int x = 0; x < after.width(); ++x) {
      const QRgb a = after.pixel(x, y);
      if (a == before.pixel(x, y)) continue;
      ++changed;
      grey += qRed(a) == qGreen(a) && qGreen(a) == qBlue(a) && qRed(a) > 60 && qRed(a) < 200;
    }
  EXPECT_GT(changed, 300);
  EXPECT_GT(grey, 100);
}

TEST_F(TuningGui, ClosestSetUpByKeyAndTheButtonSetsTheClicks) {
  // A dyno file of the set-up LSC 7, HSC 11, LSR 5, HSR 24, read with its Hold box ticked.
  auto pick = [&](std::string_view tag, int row) {
    auto* box = control_as<QComboBox>(1, tag);
    ASSERT_NE(box, nullptr) << tag;
    // By keys, as a user picks from a focused list: to the first row, then down.
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Home);
    for (int k = 0; k < row; ++k) QTest::keyClick(box, Qt::Key_Down);
    ASSERT_EQ(model_control(1, tag).value, row + 1) << tag;
  };
  pick("LSC", 7);
  pick("HSC", 11);
  pick("LSR", 5);
  pick("HSR", 24);
  click(1, "PLOT");
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  const DamperCurve& p = globals().plotdata.at(0);
  const WheelCurves w = wheel_curves(p, kUSFactors);
  std::vector<float> v, f;
  for (std::size_t k = 0; k < w.compression_velocity.size(); ++k) {
    v.push_back(static_cast<float>(w.compression_velocity[k]));
    f.push_back(static_cast<float>(w.compression_force[k]));
  }
  for (std::size_t k = 0; k < w.rebound_velocity.size(); ++k) {
    v.push_back(static_cast<float>(-w.rebound_velocity[k]));
    f.push_back(static_cast<float>(w.rebound_force[k]));
  }
  v.push_back(0);
  f.push_back(0);
  const DynoBytes file = DynoBytes::file(1, 1, v, f);
  std::ofstream(folder() / "measured.pvp", std::ios::binary)
      .write(reinterpret_cast<const char*>(file.bytes.data()),
             static_cast<std::streamsize>(file.bytes.size()));
  click(1, "holdroehrig");
  answer_file(folder() / "measured.pvp");
  click(1, "ROEHRIG");
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  pick("LSC", 0);
  pick("HSC", 0);
  pick("LSR", 0);
  pick("HSR", 0);

  activate(2);
  QTest::keyClick(window(2), Qt::Key_F, Qt::ControlModifier);
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  const int closest = window_named(*this, "Closest Set-up to the Dyno Curve");
  ASSERT_GE(closest, 5);
  toolkit_->sync();
  activate(closest);
  click(closest, "UseBest");
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  toolkit_->sync();
  EXPECT_EQ(control_as<QComboBox>(1, "LSC")->currentText(), "7");
  EXPECT_EQ(control_as<QComboBox>(1, "HSC")->currentText(), "11");
  EXPECT_EQ(control_as<QComboBox>(1, "LSR")->currentText(), "5");
  EXPECT_EQ(control_as<QComboBox>(1, "HSR")->currentText(), "24");
}

// The visible progress window of long work; nullptr when none shows.
QProgressDialog* shown_progress() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* d = qobject_cast<QProgressDialog*>(w); d && d->isVisible()) return d;
  return nullptr;
}

// Long work on the desktop: nothing shows in its first second; then a window with the work's
// name, how far it has come and Cancel, whose click the work learns at its next step; the
// window goes when the work ends.
TEST_F(TuningGui, LongWorkShowsProgressAfterASecondAndCancelStopsIt) {
  Progress& progress = desktop_->progress();
  progress.begin("Closest Set-up");
  EXPECT_TRUE(progress.advance(1, 40));
  EXPECT_EQ(shown_progress(), nullptr) << "work of under a second shows nothing";
  QTest::qWait(1100);
  EXPECT_TRUE(progress.advance(12, 40));
  QProgressDialog* dialog = shown_progress();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->windowTitle(), "Closest Set-up");
  EXPECT_EQ(dialog->maximum(), 40);
  EXPECT_EQ(dialog->value(), 12);
  EXPECT_TRUE(progress.advance(13, 40)) << "not cancelled";
  auto* cancel = dialog->findChild<QPushButton*>();
  ASSERT_NE(cancel, nullptr);
  EXPECT_EQ(cancel->text(), "Cancel");
  QTest::mouseClick(cancel, Qt::LeftButton);
  EXPECT_FALSE(progress.advance(14, 40));
  progress.end();
  QCoreApplication::processEvents();
  EXPECT_EQ(shown_progress(), nullptr);

  // The next work starts afresh: nothing shown, nothing cancelled.
  progress.begin("Clicker Sweep");
  EXPECT_TRUE(progress.advance(1, 9));
  EXPECT_EQ(shown_progress(), nullptr);
  progress.end();
}

}  // namespace
}  // namespace quorin::test
