#include <gtest/gtest.h>

#include "services/runtime_error.h"
#include "windows/plotfigure.h"
#include "windows/warningct.h"
#include "windows/window_test_support.h"

namespace quorin {
namespace {

using test::only;

TEST(Plotfigure, HoldsEachTagOnceWithItsLimitsCaptionsAndLogo) {
  test::WindowRig rig;
  const gfx::Handle h = plotfigure(rig.ctx);
  gfx::Window& w = rig.gfx.get<gfx::Window>(h);
  EXPECT_EQ(rig.gfx.current_window(), &w);
  EXPECT_EQ(w.name, "Damper Curve Comparison");
  EXPECT_EQ(w.units, gfx::Units::Points);
  EXPECT_EQ(w.position, (gfx::Rect{150, 75, 750, 450}));

  for (const char* tag : {"plotwindow", "ID", "Axes1", "Axes1Text1", "Axes1Text4",
                          "Axes2Text2", "plotwindowText1", "plotwindowText6"})
    EXPECT_EQ(test::all_tagged(rig.gfx, w, tag).size(), 1u) << tag;

  auto& plot = only<gfx::Axes>(rig.gfx, w, "plotwindow");
  EXPECT_EQ(plot.xlim, (std::array<double, 2>{0, 10}));
  EXPECT_EQ(plot.ylim, (std::array<double, 2>{-500, 500}));
  EXPECT_TRUE(plot.xgrid && plot.ygrid && plot.box);
  auto& title = rig.gfx.get<gfx::Text>(plot.title);
  EXPECT_EQ(title.string, "Damper Curve Comparison");
  EXPECT_EQ(title.tag, "Axes1Text1");
  EXPECT_FALSE(title.handle_visible);
  EXPECT_EQ(rig.gfx.get<gfx::Text>(plot.xlabel).string, "Velocity (inches/s)");
  EXPECT_EQ(rig.gfx.get<gfx::Text>(plot.ylabel).string, "Force (lbs)");

  // The six far texts lie outside the starting force range and never show: the corner
  // captions are the only "Compression" and "Rebound" of the window.
  int compression = 0, rebound = 0;
  for (gfx::Text* t : rig.gfx.children_of<gfx::Text>(plot)) {
    if (!t->handle_visible) continue;
    EXPECT_TRUE(t->position[1] > plot.ylim[1] || t->position[1] < plot.ylim[0]) << t->tag;
    EXPECT_FALSE(t->visible) << t->tag;
    EXPECT_EQ(t->font_size, 8);
    if (t->string == "Compression") {
      ++compression;
      EXPECT_EQ(t->position[1], 4500);
    } else {
      ++rebound;
      EXPECT_EQ(t->position[1], -9500);
    }
  }
  EXPECT_EQ(compression, 3);
  EXPECT_EQ(rebound, 3);

  auto& id = only<gfx::Axes>(rig.gfx, w, "ID");
  EXPECT_FALSE(id.visible);
  // The window is wider than its stored 600 pt layout, for the legend; the plot, the legend
  // axes and the captions keep their places and sizes in points.
  auto expect_points = [&](const gfx::Rect& r, double left, double width) {
    EXPECT_NEAR(r.left * w.position.width, left * 600, 1e-9);
    EXPECT_NEAR(r.width * w.position.width, width * 600, 1e-9);
  };
  expect_points(id.position, 0.73, 0.25);
  expect_points(plot.position, 0.06770833333333333, 0.6497395833333333);
  EXPECT_EQ(id.position.bottom, 0.3);
  EXPECT_EQ(id.position.height, 0.6);

  auto captions = rig.gfx.find_all_by_tag(w, "StaticText1");
  ASSERT_EQ(captions.size(), 2u);
  EXPECT_EQ(dynamic_cast<gfx::Control&>(*captions[0]).string, "Compression");
  EXPECT_EQ(dynamic_cast<gfx::Control&>(*captions[1]).string, "Rebound");

  auto& logo = only<gfx::Axes>(rig.gfx, w, "Axes1");
  EXPECT_FALSE(logo.visible);
  EXPECT_EQ(logo.xlim, (std::array<double, 2>{0.5, 167.5}));
  EXPECT_EQ(logo.ylim, (std::array<double, 2>{0.5, 78.5}));
  EXPECT_TRUE(logo.ydir_reverse);
  auto images = rig.gfx.children_of<gfx::Image>(logo);
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0]->width, 167u);
  EXPECT_EQ(images[0]->height, 78u);
}

TEST(Plotfigure, MissingVariableIsNamed) {
  test::WindowRig rig;
  save_variables(rig.folder.path() / "plotfigure",
                 {{"mat0", test::colour_rows(64)}, {"mat1", test::colour_rows(7)}, {"mat2", test::colour_rows(7)}});
  try {
    plotfigure(rig.ctx);
    FAIL() << "no error";
  } catch (const RuntimeError& e) {
    EXPECT_NE(std::string(e.what()).find("\"mat3\""), std::string::npos) << e.what();
  }
  // The objects made before the missing value stay.
  ASSERT_NE(rig.gfx.current_window(), nullptr);
  EXPECT_NE(rig.gfx.find_by_tag("plotwindow"), nullptr);
}

TEST(Warningct, EachCallOpensAnotherWindowAndOkClosesOnlyItsOwn) {
  test::WindowRig rig;
  const gfx::Handle first = warningct(rig.ctx);
  const gfx::Handle second = warningct(rig.ctx);
  EXPECT_NE(first, second);
  EXPECT_EQ(rig.gfx.window_numbers(), (std::vector<int>{1, 2}));
  gfx::Window& w = rig.gfx.get<gfx::Window>(second);
  EXPECT_EQ(rig.gfx.current_window(), &w);
  EXPECT_EQ(w.name, "Valdane Racing");
  EXPECT_FALSE(w.resize);
  EXPECT_EQ(w.position, (gfx::Rect{348, 298, 320, 133}));

  auto& ok = only<gfx::Control>(rig.gfx, w, "Pushbutton1");
  EXPECT_EQ(ok.string, "OK");
  EXPECT_EQ(ok.callback, "close" + std::string(13, ' '));
  EXPECT_EQ(ok.font_size, 10);  // from the window data
  EXPECT_EQ(ok.units, gfx::Units::Points);
  EXPECT_EQ(ok.position, (gfx::Rect{101.25, 14.25, 43.5, 19.5}));
  EXPECT_EQ(only<gfx::Control>(rig.gfx, w, "StaticText1").string, "WARNING !!");
  EXPECT_EQ(only<gfx::Control>(rig.gfx, w, "StaticText2").string,
            "You have reached the maximum number of overlays. Press CLEAR to start over.");
}

}  // namespace
}  // namespace quorin
