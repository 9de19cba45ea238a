// Where the main window and the comparison window open at the first start, on the screens
// race engineers bring to the track.
#include "services/gfx/window_places.h"
#include "windows/quorin_interface_v41.h"
#include "windows/window_data.h"
#include "windows/window_test_support.h"

namespace quorin::test {
namespace {

constexpr double kPixelsPerPoint = 96.0 / 72.0;

bool on_screen(const gfx::Rect& r, const gfx::Rect& screen) {
  return r.left >= screen.left && r.bottom >= screen.bottom &&
         r.left + r.width <= screen.left + screen.width &&
         r.bottom + r.height + gfx::kTitleBarRoom <= screen.bottom + screen.height;
}

TEST(FirstPlaces, TheComparisonWindowStandsBesideTheMainWindowWhereTheScreenHasRoom) {
  struct Row {
    const char* name;
    gfx::Rect screen;
    bool beside;  // room for both
  };
  const Row rows[] = {
      {"laptop_1366x768", {0, 0, 1366, 768}, true},
      {"full_hd_1920x1080", {0, 0, 1920, 1080}, true},
      {"wide_2560x1440", {0, 0, 2560, 1440}, true},
      {"old_1024x768", {0, 0, 1024, 768}, false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    WindowRig rig;
    rig.gfx.screen = r.screen;
    quorin_interface_v41(rig.ctx);
    const gfx::Rect main = gfx::in_pixels(*rig.gfx.window(1), r.screen);
    const gfx::Rect plot = gfx::in_pixels(*rig.gfx.window(2), r.screen);
    if (!r.beside) {
      // Nothing moves where nothing fits; PLOT brings the curves to the front instead.
      EXPECT_EQ(main, (gfx::Rect{317, 41, 388, 696}));
      EXPECT_TRUE(gfx::overlap(main, plot));
      continue;
    }
    EXPECT_FALSE(gfx::overlap(main, plot)) << "the main window hides part of the plot";
    EXPECT_GE(plot.left, main.left + main.width + gfx::kWindowGap);
    EXPECT_TRUE(on_screen(main, r.screen));
    EXPECT_TRUE(on_screen(plot, r.screen));
    EXPECT_GE(plot.width, windows::kComparisonMinWidth * kPixelsPerPoint);
    EXPECT_GE(plot.height, windows::kComparisonMinHeight * kPixelsPerPoint);
    // Tops level, so the eye goes across from the controls to the curves.
    EXPECT_DOUBLE_EQ(main.bottom + main.height, plot.bottom + plot.height);
  }
}

TEST(FirstPlaces, TurnWindowsStandSideBySide) {
  struct Row {
    const char* name;
    gfx::Rect screen;
    bool fits;
  };
  const Row rows[] = {
      {"laptop_1366x768", {0, 0, 1366, 768}, true},
      {"full_hd_1920x1080", {0, 0, 1920, 1080}, true},
      {"tiny_800x600", {0, 0, 800, 600}, false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    WindowRig rig;
    rig.gfx.screen = r.screen;
    gfx::Window& left = rig.gfx.figure(3);
    gfx::Window& right = rig.gfx.figure(4);
    for (gfx::Window* w : {&left, &right}) {
      w->units = gfx::Units::Points;
      w->position = windows::kPlotWindowPosition;
    }
    windows::place_side_by_side(rig.gfx, left, right);
    const gfx::Rect a = gfx::in_pixels(left, r.screen), b = gfx::in_pixels(right, r.screen);
    if (!r.fits) {
      EXPECT_EQ(left.position, windows::kPlotWindowPosition);
      EXPECT_EQ(right.position, windows::kPlotWindowPosition);
      continue;
    }
    EXPECT_FALSE(gfx::overlap(a, b));
    EXPECT_LT(a.left, b.left);
    EXPECT_TRUE(on_screen(a, r.screen));
    EXPECT_TRUE(on_screen(b, r.screen));
    EXPECT_GE(left.position.width, windows::kPlotWindowMinWidth);
    EXPECT_DOUBLE_EQ(left.position.width, right.position.width);
  }
}

}  // namespace
}  // namespace quorin::test
