// The desktop keeps its session after every use of a control, commands or not: a program that
// dies after some clicks comes back with its curves and selections once the restore question
// is answered Yes; one ended with EXIT offers its session again from the main window's menu.
#include <QComboBox>
#include <QMenu>
#include <chrono>
#include <filesystem>

#include "gui/gui_fixture.h"

namespace quorin::test {
namespace {

using KeptDesktopSession = GuiFixture;

TEST_F(KeptDesktopSession, ClicksAndAListChoiceComeBackAfterAnEndWithoutExit) {
  click(1, "PLOT");
  type_into(1, "motionratio", "1.25");
  click(1, "PLOT");
  // A list with no command of its own: the choice alone is a change to keep.
  auto* hsc = control_as<QComboBox>(1, "HSC");
  ASSERT_NE(hsc, nullptr);
  hsc->setFocus();
  QTest::keyClick(hsc, Qt::Key_Up);
  ASSERT_EQ(model_control(1, "HSC").value, 30);
  const std::vector<DamperCurve> curves = globals().plotdata;
  ASSERT_EQ(curves.size(), 2u);
  crash_program();

  // The next start in the same folder asks, and Yes brings the session back.
  answer_yes();
  start_program();
  ASSERT_TRUE(started_);
  ASSERT_EQ(answerer_.questions.size(), 1u);
  EXPECT_NE(answerer_.questions[0].find("2 stored curves"), std::string::npos);
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  EXPECT_EQ(globals().plotdata, curves);
  EXPECT_EQ(globals().counter, 3);
  EXPECT_EQ(model_control(1, "HSC").value, 30);
  EXPECT_EQ(model_control(1, "motionratio").string, "1.25");
}

// Opens the main window's menu by a right click and picks `label`.
void pick_from_main_menu(GuiFixture& f, const QString& label) {
  QWidget* w = f.window(1);
  ASSERT_NE(w, nullptr);
  QTest::mouseClick(w, Qt::RightButton, Qt::NoModifier, QPoint(5, w->height() - 5));
  auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_NE(menu, nullptr) << "no menu after a right click in the main window";
  for (QAction* a : menu->actions()) {
    if (a->text() != label) continue;
    QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier, menu->actionGeometry(a).center());
    QCoreApplication::processEvents();
    return;
  }
  ADD_FAILURE() << label.toStdString() << " is not in the main window's menu";
}

TEST_F(KeptDesktopSession, ExitEndsEveryWindowAndTheSessionCanBeReopened) {
  for (int i = 0; i < 4; ++i) click(1, "PLOT");
  activate(2);
  QTest::keyClick(window(2), Qt::Key_B, Qt::ControlModifier);  // the two turn windows
  toolkit_->sync();
  ASSERT_NE(window(3), nullptr);
  const std::vector<DamperCurve> curves = globals().plotdata;

  activate(1);
  click(1, "EXIT");
  EXPECT_TRUE(app_->ended());
  EXPECT_TRUE(model().window_numbers().empty());
  QCoreApplication::processEvents();
  const QWidgetList shown = QApplication::topLevelWidgets();
  EXPECT_TRUE(std::none_of(shown.begin(), shown.end(), [](QWidget* w) { return w->isVisible(); }));

  // A clean end asks nothing at the next start; the menu brings the four curves back.
  stop_program();
  start_program();
  ASSERT_TRUE(started_);
  EXPECT_TRUE(answerer_.questions.empty());
  EXPECT_TRUE(globals().plotdata.empty());
  activate(1);
  pick_from_main_menu(*this, "Reopen last session");
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  EXPECT_EQ(globals().plotdata, curves);
  EXPECT_EQ(globals().counter, 5);
}

// Sessions left by two programs that were killed wait side by side: the next start asks
// about each in turn, newest first; No lets one go, Yes brings one back.
TEST_F(KeptDesktopSession, EveryWaitingSessionIsAskedAboutInTurnNewestFirst) {
  namespace fs = std::filesystem;
  click(1, "PLOT");
  app_->kept_session().flush();
  // What an earlier program killed in the fifth place left: one curve, kept five minutes ago.
  const fs::path older = folder() / "data" / "session-5.autosave";
  fs::copy_file(app_->kept_session().file(), older);
  fs::last_write_time(older, fs::last_write_time(older) - std::chrono::minutes(5));
  click(1, "PLOT");
  click(1, "PLOT");
  const std::vector<DamperCurve> one = {globals().plotdata.front()};
  crash_program();

  answer_cancel();  // No to the newest, with three curves
  answer_yes();     // Yes to the older one
  start_program();
  ASSERT_TRUE(started_);
  ASSERT_EQ(answerer_.questions.size(), 2u);
  EXPECT_NE(answerer_.questions[0].find("session 1 of 2"), std::string::npos);
  EXPECT_NE(answerer_.questions[0].find("3 stored curves"), std::string::npos);
  EXPECT_NE(answerer_.questions[1].find("session 2 of 2"), std::string::npos);
  EXPECT_NE(answerer_.questions[1].find("1 stored curve,"), std::string::npos);
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  EXPECT_EQ(globals().plotdata, one);
  EXPECT_EQ(globals().counter, 2);
  EXPECT_TRUE(app_->kept_session().waiting_sessions().empty());
}

TEST_F(KeptDesktopSession, ASessionThatCannotBeKeptIsToldOnceInAWindowAndWorkGoesOn) {
  app_->kept_session().flush();
  // Something in the way of the session file: no session can be written there.
  const std::filesystem::path kept = app_->kept_session().file();
  std::filesystem::remove(kept);
  std::filesystem::create_directories(kept / "in the way");
  click(1, "PLOT");
  app_->kept_session().flush();
  click(1, "PLOT");  // the failure has reached the program: it is told now, once
  app_->kept_session().flush();
  click(1, "PLOT");
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_NE(errors_[0].find("The session cannot be kept"), std::string::npos) << errors_[0];
  EXPECT_EQ(globals().counter, 4) << "the work goes on";
  std::filesystem::remove_all(kept);
}

}  // namespace
}  // namespace quorin::test
