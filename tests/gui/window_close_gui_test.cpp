// Closing windows as the window manager does: the comparison window goes away with its
// curves and comes back with the next action that draws there; the main window is EXIT.
#include <QCloseEvent>

#include "gui/gui_fixture.h"

namespace quorin::test {
namespace {

class WindowClose : public GuiFixture {
 protected:
  // The window manager's close request (the title bar's close button).
  void close_from_window_manager(int number) {
    QWidget* w = window(number);
    ASSERT_NE(w, nullptr) << "window " << number;
    QCloseEvent e;
    QApplication::sendEvent(w, &e);
    toolkit_->sync();
  }
  std::vector<int> open_windows() { return model().window_numbers(); }
};

TEST_F(WindowClose, EveryButtonWorksAfterTheComparisonWindowWasClosed) {
  struct Row {
    const char* button;
    double counter_after;
  };
  // PLOT stores a second curve; CLEAR (All ticked) empties the plot; Metric switches units;
  // Rescale redraws.
  const Row rows[] = {{"PLOT", 3}, {"CLEAR", 1}, {"SIUnits", 2}, {"Rescale", 2}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.button);
    TearDown();
    SetUp();
    click(1, "PLOT");
    ASSERT_TRUE(window(2)->isVisible());
    close_from_window_manager(2);
    EXPECT_FALSE(window(2)->isVisible());
    EXPECT_EQ(open_windows(), (std::vector<int>{1, 2}));

    activate(1);
    click(1, r.button);
    EXPECT_TRUE(errors_.empty()) << errors_.front();
    EXPECT_EQ(globals().counter, r.counter_after);
    ASSERT_NE(window(2), nullptr);
    EXPECT_TRUE(window(2)->isVisible()) << "the comparison window is back";
    EXPECT_EQ(window(2)->windowTitle(), "Damper Curve Comparison");
    EXPECT_EQ(open_windows(), (std::vector<int>{1, 2})) << "no new empty window";
  }
}

TEST_F(WindowClose, ClosingTheMainWindowIsExit) {
  type_into(1, "xmax", "not a number");  // an edit in progress never keeps the program open
  close_from_window_manager(1);
  EXPECT_TRUE(open_windows().empty());
}

TEST_F(WindowClose, ClosingTheOverlayWarningClosesOnlyIt) {
  for (int i = 0; i < 8; ++i) click(1, "PLOT");
  ASSERT_EQ(open_windows(), (std::vector<int>{1, 2, 3}));
  close_from_window_manager(3);
  EXPECT_EQ(open_windows(), (std::vector<int>{1, 2}));
  EXPECT_EQ(globals().counter, 8);
}

}  // namespace
}  // namespace quorin::test
