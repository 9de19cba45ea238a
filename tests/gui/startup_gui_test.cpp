// The desktop program started as the user starts it, driven by mouse clicks.
#include "gui/gui_fixture.h"

namespace quorin::test {
namespace {

using Desktop = GuiFixture;

TEST_F(Desktop, StartShowsTheMainAndComparisonWindows) {
  ASSERT_NE(window(1), nullptr);
  ASSERT_NE(window(2), nullptr);
  EXPECT_TRUE(window(1)->isVisible());
  EXPECT_TRUE(window(2)->isVisible());
  EXPECT_EQ(window(1)->windowTitle(), "Valdane Racing");
  EXPECT_EQ(window(3), nullptr) << "the turn windows are closed after start-up";
  EXPECT_NE(control_as<QLineEdit>(1, "piston"), nullptr);
  EXPECT_NE(control_as<QAbstractButton>(1, "PLOT"), nullptr);
}

TEST_F(Desktop, ClickingPlotStoresACurveAndClearEmptiesThePlot) {
  click(1, "PLOT");
  EXPECT_TRUE(errors_.empty()) << errors_.front();
  EXPECT_EQ(globals().counter, 2);
  EXPECT_EQ(globals().plotdata.size(), 1u);
  click(1, "PLOT");
  EXPECT_EQ(globals().counter, 3);
  click(1, "CLEAR");
  EXPECT_EQ(globals().counter, 1) << "CLEAR with All ticked forgets the stored curves";
}

}  // namespace
}  // namespace quorin::test
