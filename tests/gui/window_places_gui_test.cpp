// Windows open where the user left them: a window moved or resized by the window manager
// keeps its place in the settings, and the next session opens it there.
#include <QCloseEvent>

#include "gui/gui_fixture.h"
#include "services/gfx/window_places.h"
#include "services/settings.h"

namespace quorin::test {
namespace {

class WindowPlaces : public GuiFixture {
 protected:
  void close_from_window_manager(int number) {
    QCloseEvent e;
    QApplication::sendEvent(window(number), &e);
    toolkit_->sync();
  }
  // The window manager moves and resizes a window.
  void place(int number, const QRect& r) {
    window(number)->setGeometry(r);
    QApplication::processEvents();
  }
  std::optional<std::string> kept(int number) {
    return desktop_->settings().value(gfx::window_place_key(*model().window(number)));
  }
  // A later session over the same settings file, started as the desktop program starts.
  void next_session() {
    stop_program();
    start_program();
    ASSERT_TRUE(started_);
  }
};

TEST_F(WindowPlaces, MovedWindowsOpenThereInTheNextSession) {
  const QRect main_place = window(1)->geometry();
  const QRect first(250, 140, 1000, 640), second(420, 200, 1100, 700);

  // The comparison window is laid out in points (three quarters of a pixel here), from the
  // screen's lower-left corner.
  place(2, first);
  click(1, "PLOT");  // the places are kept before a command runs
  EXPECT_EQ(kept(2), "points 187.5 225 750 480");
  place(2, second);
  close_from_window_manager(2);  // and before a window closes
  EXPECT_EQ(kept(2), "points 315 135 825 525");
  close_from_window_manager(1);  // EXIT
  ASSERT_TRUE(model().window_numbers().empty());

  next_session();
  EXPECT_EQ(window(2)->geometry(), second);
  EXPECT_EQ(model().window(2)->position, (gfx::Rect{315, 135, 825, 525}));
  EXPECT_EQ(window(1)->geometry(), main_place) << "the main window was not moved";
  EXPECT_TRUE(errors_.empty()) << errors_.front();
}

TEST_F(WindowPlaces, APlaceOffTheScreenIsNotTaken) {
  const QRect built = window(2)->geometry();
  const std::string key = gfx::window_place_key(*model().window(2));
  close_from_window_manager(1);  // EXIT keeps the places as they are
  // A screen that was bigger in the last session.
  desktop_->settings().set_value(key, "pixels 5000 3000 800 600");
  next_session();
  EXPECT_EQ(window(2)->geometry(), built);
}

TEST_F(WindowPlaces, AWindowTallerThanTheRoomAboveItComesDownUntilItsTitleBarShows) {
  // Laid out from the lower-left corner of the 1080-line screen: 100 up and 1000 tall.
  gfx::Window& w = *model().window(2);
  w.units = gfx::Units::Pixels;
  w.position = {100, 100, 800, 1000};
  model().touch();
  toolkit_->sync();
  EXPECT_EQ(window(2)->geometry().top(), 32) << "its title bar would sit above the screen";
  EXPECT_EQ(window(2)->geometry().size(), QSize(800, 1000));

  // One that fits stays where it was laid out.
  w.position = {100, 20, 800, 1000};
  model().touch();
  toolkit_->sync();
  EXPECT_EQ(window(2)->geometry(), QRect(100, 60, 800, 1000));
}

}  // namespace
}  // namespace quorin::test
