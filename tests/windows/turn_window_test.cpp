#include <filesystem>

#include <gtest/gtest.h>

#include "services/runtime_error.h"
#include "windows/lht.h"
#include "windows/rht.h"
#include "windows/window_test_support.h"

namespace quorin {
namespace {

using test::only;

struct TurnCase {
  const char* name;
  gfx::Handle (*build)(WindowContext&);
  const char* title;
  const char* key, *plot, *balance;
  double compression_font_size;
};

class TurnWindow : public ::testing::TestWithParam<TurnCase> {};

TEST_P(TurnWindow, HoldsItsTaggedAxesCaptionsAndLogo) {
  const TurnCase& tc = GetParam();
  test::WindowRig rig;
  const gfx::Handle h = tc.build(rig.ctx);
  gfx::Window& w = rig.gfx.get<gfx::Window>(h);
  EXPECT_EQ(rig.gfx.current_window(), &w);
  EXPECT_EQ(w.name, tc.title);
  EXPECT_FALSE(w.number_title);
  EXPECT_EQ(w.units, gfx::Units::Points);
  EXPECT_EQ(w.position, (gfx::Rect{150, 75, 600, 450}));
  EXPECT_EQ(w.colormap.size(), 64u);

  auto& key = only<gfx::Axes>(rig.gfx, w, tc.key);
  auto& plot = only<gfx::Axes>(rig.gfx, w, tc.plot);
  auto& balance = only<gfx::Axes>(rig.gfx, w, tc.balance);
  auto& logo = only<gfx::Axes>(rig.gfx, w, "Axes1");
  EXPECT_FALSE(key.visible);
  EXPECT_TRUE(plot.visible);
  EXPECT_EQ(plot.xlim, (std::array<double, 2>{0, 10}));
  EXPECT_EQ(plot.ylim, (std::array<double, 2>{-500, 500}));
  EXPECT_TRUE(plot.xlim_manual && plot.ylim_manual && plot.xgrid && plot.ygrid);
  EXPECT_EQ(balance.xlim, (std::array<double, 2>{0, 10}));
  EXPECT_EQ(balance.ylim, (std::array<double, 2>{0, 100}));
  EXPECT_EQ(rig.gfx.get<gfx::Text>(plot.title).string, tc.title);
  EXPECT_EQ(rig.gfx.get<gfx::Text>(plot.ylabel).string, "Force (lbs)");
  EXPECT_EQ(rig.gfx.get<gfx::Text>(plot.ylabel).rotation, 90);
  EXPECT_EQ(rig.gfx.get<gfx::Text>(balance.xlabel).string, "Velocity (inches/s)");
  EXPECT_EQ(rig.gfx.get<gfx::Text>(balance.ylabel).string, "% Front");

  // The two captions, both found by their shared Tag.
  auto captions = rig.gfx.find_all_by_tag(w, "StaticText1");
  ASSERT_EQ(captions.size(), 2u);
  auto& compression = dynamic_cast<gfx::Control&>(*captions[0]);
  auto& rebound = dynamic_cast<gfx::Control&>(*captions[1]);
  EXPECT_EQ(compression.string, "Compression");
  EXPECT_EQ(rebound.string, "Rebound");
  EXPECT_EQ(compression.units, gfx::Units::Normalized);
  EXPECT_EQ(rebound.font_size, 8);
  if (tc.compression_font_size > 0) EXPECT_EQ(compression.font_size, tc.compression_font_size);
  else EXPECT_EQ(compression.font_size, gfx::Control{}.font_size);

  // The logo fills its hidden axes, first pixel row on top.
  EXPECT_FALSE(logo.visible);
  EXPECT_EQ(logo.xlim, (std::array<double, 2>{0.5, 167.5}));
  EXPECT_EQ(logo.ylim, (std::array<double, 2>{0.5, 78.5}));
  EXPECT_TRUE(logo.ydir_reverse);
  auto images = rig.gfx.children_of<gfx::Image>(logo);
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0]->width, 167u);
  EXPECT_EQ(images[0]->height, 78u);
  EXPECT_EQ(images[0]->channels, 3u);  // the bitmap, not the stored one-channel picture
}

INSTANTIATE_TEST_SUITE_P(
    Both, TurnWindow,
    ::testing::Values(TurnCase{"lht", lht, "Left Hand Turn", "ID_lht", "plotwindow_lht", "balance_lht", 0},
                      TurnCase{"rht", rht, "Right Hand Turn", "ID_rht", "plotwindow_rht", "balance_rht", 8}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TurnWindowFiles, MissingLogoLeavesTheWindowWithItsLogoAxesVisible) {
  test::WindowRig rig;
  std::filesystem::remove(rig.folder.path() / "logo_plot.bmp");
  try {
    lht(rig.ctx);
    FAIL() << "no error";
  } catch (const RuntimeError& e) {
    EXPECT_NE(std::string(e.what()).find("\"logo_plot.bmp\""), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find(rig.folder.path().string()), std::string::npos) << e.what();
  }
  gfx::Window* w = rig.gfx.current_window();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->name, "Left Hand Turn");
}

TEST(TurnWindowFiles, RightHandTurnNeedsItsLabelPosition) {
  test::WindowRig rig;
  save_variables(rig.folder.path() / "rht", {{"mat0", test::colour_rows(8)}, {"mat1", test::colour_rows(7)},
                                             {"mat2", test::colour_rows(7)}, {"mat3", test::colour_rows(7)},
                                             {"mat4", test::colour_rows(7)}, {"mat5", test::picture(78, 167)}});
  EXPECT_THROW(
      {
        try {
          rht(rig.ctx);
        } catch (const RuntimeError& e) {
          EXPECT_NE(std::string(e.what()).find("\"mat6\""), std::string::npos) << e.what();
          throw;
        }
      },
      RuntimeError);
  // The left-hand window has no such variable and needs none.
  EXPECT_NO_THROW(lht(rig.ctx));
}

}  // namespace
}  // namespace quorin
