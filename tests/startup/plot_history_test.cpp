// Undo's check whether an action changed the plot, made on the live axes without copying
// their curves, agrees with comparing a fresh picture of them.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "analysis/history.h"
#include "services/gfx/model.h"

namespace quorin {
namespace {

struct Plot {
  gfx::Model m;
  gfx::Axes* axes = nullptr;
  Plot() {
    gfx::Window& w = m.figure(2);
    axes = &m.new_axes(w);
    axes->hold = true;
    m.plot(*axes, std::vector<double>{0, 1, 2}, std::vector<double>{0, 50, 90}, "b--");
    m.plot(*axes, std::vector<double>{0, 1, 2}, std::vector<double>{0, -60, -95}, "r");
    m.new_text(*axes, 1, 40, "curve 1");
    m.get<gfx::Text>(axes->title).string = "Damper Curve Comparison";
  }
  gfx::Line& line(std::size_t k) { return *m.children_of<gfx::Line>(*axes)[k]; }
};

TEST(PlotHistory, LiveAxesCompareAsTheirPicture) {
  struct Change {
    std::string name;
    std::function<void(Plot&)> apply;
  };
  const std::vector<Change> changes = {
      {"nothing", [](Plot&) {}},
      {"one point moved", [](Plot& p) { p.line(1).y.edit()[2] = -96; }},
      {"a point added", [](Plot& p) { p.line(0).x.edit().push_back(3), p.line(0).y.edit().push_back(95); }},
      {"colour",
       [](Plot& p) {
         p.line(0).color = {0, 0.5, 0};
       }},
      {"hidden", [](Plot& p) { p.line(0).visible = false; }},
      {"another line",
       [](Plot& p) { p.m.plot(*p.axes, std::vector<double>{0}, std::vector<double>{1}, "k"); }},
      {"line deleted", [](Plot& p) { p.m.delete_object(p.line(0).handle()); }},
      {"text changed",
       [](Plot& p) { p.m.children_of<gfx::Text>(*p.axes).back()->string = "curve 2"; }},
      {"title", [](Plot& p) { p.m.get<gfx::Text>(p.axes->title).string = ""; }},
      {"limits",
       [](Plot& p) {
         p.axes->xlim = {0, 5};
       }},
      {"hold", [](Plot& p) { p.axes->hold = false; }},
  };
  for (const Change& c : changes) {
    SCOPED_TRACE(c.name);
    Plot p;
    const analysis::AxesPicture before = analysis::capture_axes(p.m, *p.axes);
    c.apply(p);
    const bool same = analysis::capture_axes(p.m, *p.axes) == before;
    EXPECT_EQ(analysis::axes_shows(p.m, *p.axes, before), same);
    EXPECT_EQ(same, c.name == "nothing");

    analysis::PlotState state;
    state.plot = state.legend = before;
    EXPECT_EQ(analysis::plot_still_in(state, {}, 0, 0, {}, {}, p.m, p.axes, p.axes), same);
  }
}

TEST(PlotHistory, StoredCurvesCountersAndHeldCurvesCount) {
  Plot p;
  analysis::PlotState state;
  state.plot = state.legend = analysis::capture_axes(p.m, *p.axes);
  state.counter = 2;
  state.import = Matrix{1, 3, {0.5, 100, -120}};
  EXPECT_TRUE(analysis::plot_still_in(state, {}, 2, 0, state.import, {}, p.m, p.axes, p.axes));
  EXPECT_FALSE(analysis::plot_still_in(state, {}, 3, 0, state.import, {}, p.m, p.axes, p.axes));
  EXPECT_FALSE(analysis::plot_still_in(state, {}, 2, 0, Matrix{1, 3, {0.5, 100, -121}}, {}, p.m,
                                       p.axes, p.axes));
  EXPECT_FALSE(analysis::plot_still_in(state, {}, 2, 0, state.import, Value::number(1), p.m, p.axes,
                                       p.axes));
  EXPECT_FALSE(analysis::plot_still_in(state, {}, 2, 0, state.import, {}, p.m, nullptr, p.axes));
}

}  // namespace
}  // namespace quorin
