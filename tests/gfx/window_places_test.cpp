// Windows opening where the user left them in an earlier session.
#include "services/gfx/window_places.h"

#include <gtest/gtest.h>

namespace quorin::gfx {
namespace {

constexpr Rect kScreen{0, 0, 1920, 1080};

Window comparison() {
  Window w;
  w.number = 2;
  w.name = "Damper Curve Comparison";
  w.position = {200, 100, 900, 600};
  w.min_width = 480;  // what the window needs to show every part
  w.min_height = 300;
  return w;
}

TEST(WindowPlaces, AMovedAndResizedWindowComesBackThere) {
  MemorySettings settings;
  Window w = comparison();
  w.position = {640.5, 220, 1000, 700};
  remember_place(w, settings);

  Window fresh = comparison();
  EXPECT_TRUE(restore_place(fresh, settings, kScreen));
  EXPECT_EQ(fresh.position, (Rect{640.5, 220, 1000, 700}));
  // Windows are told apart by name; one without a name by its number.
  Window other = comparison();
  other.name = "Right Hand Turn";
  EXPECT_FALSE(restore_place(other, settings, kScreen));
  Window unnamed;
  unnamed.number = 5;
  remember_place(unnamed, settings);
  EXPECT_TRUE(settings.value("windows/window_5/place").has_value());
}

TEST(WindowPlaces, AWindowThatCannotBeResizedKeepsItsSizeAndTakesTheTopLeftCorner) {
  MemorySettings settings;
  Window w = comparison();
  w.position = {300, 200, 1000, 700};  // top edge at 900
  remember_place(w, settings);
  Window fixed = comparison();
  fixed.resize = false;
  ASSERT_TRUE(restore_place(fixed, settings, kScreen));
  EXPECT_EQ(fixed.position, (Rect{300, 300, 900, 600}));
}

TEST(WindowPlaces, KeptPlacesThatDoNotFitAreIgnored) {
  struct Row {
    const char* name;
    const char* kept;
  };
  const Row rows[] = {
      {"other_units", "normalized 0.1 0.1 0.5 0.5"},
      {"words", "pixels left bottom width height"},
      {"too_few", "pixels 10 10 500"},
      {"too_many", "pixels 10 10 500 400 7"},
      {"not_finite", "pixels nan 10 500 400"},
      {"zero_width", "pixels 10 10 0 400"},
      {"negative_height", "pixels 10 10 500 -400"},
      {"right_of_the_screen", "pixels 1900 100 500 400"},
      {"left_of_the_screen", "pixels -480 100 500 400"},
      {"title_bar_above_the_screen", "pixels 100 800 500 400"},
      {"title_bar_at_the_screen_bottom", "pixels 100 -380 500 400"},
      {"empty", ""},
      {"too_low_for_what_it_shows", "pixels 100 100 900 143"},
      {"too_narrow_for_what_it_shows", "pixels 100 100 479 600"},
  };
  for (const Row& r : rows) {
    MemorySettings settings;
    Window w = comparison();
    settings.set_value(window_place_key(w), r.kept);
    EXPECT_FALSE(restore_place(w, settings, kScreen)) << r.name;
    EXPECT_EQ(w.position, comparison().position) << r.name;
  }
}

}  // namespace
}  // namespace quorin::gfx
