// The comparison window as the user reads it: a legend whole at the default size, and each
// corner caption once whatever the limits.
#include <QImage>

#include "gui/gui_fixture.h"

namespace quorin::test {
namespace {

using ComparisonWindow = GuiFixture;

// The x of the rightmost pixel, over rows top..bottom, that is not the window's colour.
int rightmost_ink(const QImage& im, QColor background, int top, int bottom) {
  for (int x = im.width() - 1; x >= 0; --x)
    for (int y = top; y < bottom; ++y)
      if (im.pixelColor(x, y) != background) return x;
  return -1;
}

TEST_F(ComparisonWindow, SevenLongLegendEntriesShowWhole) {
  // Long fourth lines: a motion ratio and diameters with decimals, rebound clicks of two digits.
  type_into(1, "internalshaft", "12.5");
  type_into(1, "externalshaft", "12.5");
  type_into(1, "piston", "46.25");
  type_into(1, "motionratio", "1.375");
  for (int i = 0; i < 7; ++i) click(1, "PLOT");
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  ASSERT_EQ(globals().counter, 8);
  const std::string& longest = globals().plotdata[0].curveIDrebound2;
  ASSERT_NE(longest.find("MR:1.375 - 12.5/12.5/46.25"), std::string::npos) << longest;

  QWidget* w = window(2);
  const QImage im = w->grab().toImage();
  const QColor khaki = im.pixelColor(im.width() - 1, 0);
  // The legend column above the logo: ink there, and none in the last few columns.
  const int ink = rightmost_ink(im, khaki, 0, im.height() * 6 / 10);
  EXPECT_GT(ink, im.width() * 3 / 4) << "the legend is drawn";
  EXPECT_LT(ink, im.width() - 8) << "the legend ends inside the window";
}

TEST_F(ComparisonWindow, EachCornerCaptionShowsOnceWhateverTheLimits) {
  struct Row {
    const char* fmin;
    const char* fmax;
    bool metric;
  };
  // The last two reach far past 4500 N and -9500 N.
  const Row rows[] = {{"-500", "500", false}, {"-500", "500", true}, {"-3000", "3000", true},
                      {"-3000", "3000", false}};
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(r.fmin) + ".." + r.fmax + (r.metric ? " metric" : " imperial"));
    TearDown();
    SetUp();
    click(1, "PLOT");
    type_into(1, "ymin", r.fmin);
    type_into(1, "ymax", r.fmax);
    click(1, "Rescale");
    if (r.metric) click(1, "SIUnits");
    ASSERT_TRUE(errors_.empty()) << errors_.front();

    // Every shown text of the window: controls, and texts of shown axes or legend.
    int compression = 0, rebound = 0;
    gfx::Window& plot = *model().window(2);
    auto count = [&](const std::string& s) {
      std::string t = s;
      t.erase(0, t.find_first_not_of(' '));
      compression += t == "Compression";
      rebound += t == "Rebound";
    };
    for (auto* c : model().children_of<gfx::Control>(plot))
      if (c->visible) count(c->string);
    for (auto* a : model().children_of<gfx::Axes>(plot)) {
      for (auto* t : model().children_of<gfx::Text>(*a)) {
        if (!t->visible) continue;
        const bool inside = t->position[1] >= a->ylim[0] && t->position[1] <= a->ylim[1];
        if (inside) count(t->string);
      }
    }
    EXPECT_EQ(compression, 1);
    EXPECT_EQ(rebound, 1);
  }
}

}  // namespace
}  // namespace quorin::test
