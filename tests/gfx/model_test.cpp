#include "services/gfx/model.h"

#include <gtest/gtest.h>

#include "services/runtime_error.h"

namespace quorin::gfx {
namespace {

std::vector<int> ints(std::initializer_list<int> l) { return l; }

TEST(Windows, NewWindowTakesLowestFreeNumber) {
  Model m;
  EXPECT_EQ(m.new_window().number, 1);
  EXPECT_EQ(m.new_window().number, 2);
  EXPECT_EQ(m.new_window().number, 3);
  m.close(2);
  EXPECT_EQ(m.window_numbers(), ints({1, 3}));
  EXPECT_EQ(m.new_window().number, 2);
  EXPECT_EQ(m.new_window().number, 4);
}

TEST(Windows, FigureCreatesSelectsAndRaises) {
  Model m;
  m.figure(3);
  m.figure(1);
  m.figure(2);
  EXPECT_EQ(m.stacking(), ints({3, 1, 2}));
  EXPECT_EQ(m.current_window()->number, 2);

  const auto before = m.revision();
  Window& w = m.figure(3);  // existing: not created again, raised to the front
  EXPECT_EQ(w.number, 3);
  EXPECT_EQ(m.stacking(), ints({1, 2, 3}));
  EXPECT_EQ(m.current_window(), &w);
  EXPECT_GT(m.revision(), before);
  EXPECT_EQ(m.window_numbers(), ints({1, 2, 3}));

  EXPECT_THROW(m.figure(0), RuntimeError);
  EXPECT_THROW(m.figure(-2), RuntimeError);
}

TEST(Windows, CloseMakesTopOfStackingCurrent) {
  Model m;
  m.figure(1);
  m.figure(2);
  m.figure(4);
  m.figure(2);  // stacking 1 4 2
  m.close(2);
  EXPECT_EQ(m.current_window()->number, 4);
  m.close_current();
  EXPECT_EQ(m.current_window()->number, 1);
  m.close(1);
  EXPECT_EQ(m.current_window(), nullptr);
  EXPECT_TRUE(m.stacking().empty());
  m.close_current();  // nothing open: no effect
  EXPECT_THROW(m.close(7), RuntimeError);
}

TEST(Windows, ClosedWindowsHandlesStopWorking) {
  Model m;
  Window& w = m.figure(2);
  Axes& a = m.new_axes(w);
  const Handle ah = a.handle(), title = a.title;
  const double y[] = {1, 2};
  const Handle lh = m.plot(a, y, y, "r").handle();
  Control& c = m.new_control(w, Control::Style::Edit);
  const Handle ch = c.handle();
  m.close(2);
  for (Handle h : {ah, title, lh, ch, Handle{2}}) {
    EXPECT_FALSE(m.valid(h));
    try {
      m.get(h);
      ADD_FAILURE() << "handle " << h.value << " still works";
    } catch (const RuntimeError& e) {
      EXPECT_STREQ(e.what(), "Invalid or deleted object.");
    }
  }
  // Reopening the number gives a fresh window; the old object ids are never reused.
  Window& again = m.figure(2);
  EXPECT_TRUE(again.children().empty());
  EXPECT_FALSE(m.valid(ah));
  EXPECT_NE(m.new_axes(again).handle(), ah);
}

TEST(Objects, AxesComeWithFourHiddenCentredLabelTexts) {
  Model m;
  Axes& a = m.new_axes(m.new_window());
  ASSERT_EQ(a.children().size(), 4u);
  EXPECT_EQ(a.children()[0], a.xlabel);
  EXPECT_EQ(a.children()[1], a.ylabel);
  EXPECT_EQ(a.children()[2], a.zlabel);
  EXPECT_EQ(a.children()[3], a.title);
  for (Handle h : a.children()) {
    Text& t = m.get<Text>(h);
    EXPECT_FALSE(t.handle_visible);
    EXPECT_EQ(t.horizontal_alignment, "center");
    EXPECT_EQ(t.parent(), a.handle());
  }
  EXPECT_EQ(m.get<Text>(a.ylabel).rotation, 90);
  EXPECT_EQ(m.get<Text>(a.xlabel).rotation, 0);
  EXPECT_EQ(m.get<Text>(a.title).vertical_alignment, "bottom");
  EXPECT_THROW(m.get<Line>(a.title), RuntimeError);
}

TEST(Objects, CurrentAxesIsCreatedWhenMissingAndSelectable) {
  Model m;
  Axes& first = m.current_axes();  // creates window 1 and an axes in it
  EXPECT_EQ(m.current_window()->number, 1);
  EXPECT_EQ(&m.current_axes(), &first);

  Window& w1 = *m.current_window();
  Axes& second = m.new_axes(w1);
  EXPECT_EQ(&m.current_axes(), &second);
  Window& w2 = m.figure(2);
  Axes& other = m.current_axes();
  EXPECT_EQ(other.parent(), w2.handle());

  m.set_current_axes(first.handle());
  EXPECT_EQ(m.current_window()->number, 1);
  EXPECT_EQ(&m.current_axes(), &first);
  EXPECT_EQ(m.stacking(), ints({1, 2}));  // made current without being raised
  EXPECT_THROW(m.set_current_axes(w2.handle()), RuntimeError);

  m.delete_object(first.handle());
  EXPECT_EQ(&m.current_axes(), &second);
}

TEST(Objects, FindByTagSearchesCurrentWindowSkippingHiddenHandles) {
  Model m;
  Window& w1 = m.figure(1);
  Control& hidden = m.new_control(w1, Control::Style::Edit);
  hidden.tag = "xmin";
  hidden.handle_visible = false;
  Control& first = m.new_control(w1, Control::Style::Edit);
  first.tag = "xmin";
  Control& second = m.new_control(w1, Control::Style::Edit);
  second.tag = "xmin";
  Axes& a = m.new_axes(w1);
  a.tag = "Axes1";
  Text& label = m.get<Text>(a.title);
  label.tag = "Title1";
  Text& note = m.new_text(a, 1, 2, "note");
  note.tag = "Note";
  Menu& storage = m.new_menu(w1);
  storage.handle_visible = false;
  m.new_menu(storage).tag = "Inside";  // below a hidden object: not reached
  w1.tag = "Fig1";

  Window& w2 = m.figure(2);
  m.new_control(w2, Control::Style::Edit).tag = "only2";

  m.figure(1);
  EXPECT_EQ(m.find_by_tag("xmin"), &first);
  EXPECT_EQ(m.find_by_tag("Axes1"), &a);
  EXPECT_EQ(m.find_by_tag("Note"), &note);
  EXPECT_EQ(m.find_by_tag("Fig1"), &w1);
  EXPECT_EQ(m.find_by_tag("Title1"), nullptr);
  EXPECT_EQ(m.find_by_tag("Inside"), nullptr);
  EXPECT_EQ(m.find_by_tag("only2"), nullptr);
  EXPECT_EQ(m.find_by_tag("XMIN"), nullptr);
  EXPECT_EQ(m.find_all_by_tag(w1, "xmin"), (std::vector<Object*>{&first, &second}));

  m.close(1);
  m.close(2);
  EXPECT_EQ(m.find_by_tag("xmin"), nullptr);
}

TEST(Plot, HoldOffReplacesLinesHoldOnKeepsThem) {
  Model m;
  Axes& a = m.current_axes();
  Text& note = m.new_text(a, 0, 0, "kept");
  const std::vector<double> x{0, 1, 2}, y{3, 4, 5};
  Line& l1 = m.plot(a, x, y, "b");
  const Handle h1 = l1.handle();
  m.plot(a, x, y, "r");
  EXPECT_FALSE(m.valid(h1));
  EXPECT_EQ(m.children_of<Line>(a).size(), 1u);

  a.hold = true;
  m.plot(a, x, y, "g--");
  m.plot(a, x, y, "ks");
  auto lines = m.children_of<Line>(a);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[2]->line_style, "none");
  EXPECT_EQ(lines[2]->marker, "s");
  EXPECT_TRUE(m.valid(note.handle()));
  EXPECT_TRUE(m.valid(a.title));

  EXPECT_THROW(m.plot(a, x, std::vector<double>{1}, "b"), RuntimeError);
  EXPECT_THROW(m.plot(a, x, y, "bq"), RuntimeError);
  EXPECT_EQ(m.children_of<Line>(a).size(), 3u);  // failed calls change nothing

  a.hold = false;
  EXPECT_THROW(m.plot(a, x, y, "zz"), RuntimeError);
  EXPECT_EQ(m.children_of<Line>(a).size(), 3u);
}

TEST(Plot, ClaKeepsAxesPropertiesAndLabels) {
  Model m;
  Axes& a = m.current_axes();
  a.xlim = {0, 10};
  a.ylim = {-500, 500};
  a.xlim_manual = a.ylim_manual = true;
  a.xgrid = a.ygrid = true;
  a.tag = "Plot";
  m.get<Text>(a.title).string = "Damper Curve Comparison";
  a.hold = true;
  const std::vector<double> x{0, 10}, y{-500, 500};
  for (auto spec : {"b", "r", "g"}) m.plot(a, x, y, spec);
  m.new_text(a, 1, 1, "legend");
  m.new_image(a);
  const Handle title = a.title;

  m.cla(a);
  EXPECT_EQ(a.children().size(), 4u);  // the four label texts
  EXPECT_TRUE(m.children_of<Line>(a).empty());
  EXPECT_EQ(a.xlim, (std::array<double, 2>{0, 10}));
  EXPECT_EQ(a.ylim, (std::array<double, 2>{-500, 500}));
  EXPECT_TRUE(a.xlim_manual && a.ylim_manual && a.xgrid && a.ygrid && a.hold);
  EXPECT_EQ(a.tag, "Plot");
  EXPECT_EQ(a.title, title);
  EXPECT_EQ(m.get<Text>(title).string, "Damper Curve Comparison");
}

TEST(Plot, DataLimitsCoverLinesAndImageCells) {
  Model m;
  Axes& a = m.current_axes();
  EXPECT_FALSE(m.data_limits(a).has_value());
  a.hold = true;
  m.plot(a, std::vector<double>{1, 3}, std::vector<double>{-2, 5}, "");
  Image& im = m.new_image(a);
  im.width = 10;
  im.height = 4;
  im.cdata.assign(40, 0);
  im.xdata = {1, 10};
  im.ydata = {1, 4};
  auto box = m.data_limits(a);
  ASSERT_TRUE(box);
  EXPECT_EQ(*box, (std::array<double, 4>{0.5, 10.5, -2, 5}));
}

TEST(Plot, DrawnowAndPauseReachTheToolkit) {
  Model m;
  m.drawnow();  // no toolkit: nothing happens
  m.pause(0.1);
  int drawn = 0;
  double waited = 0;
  m.on_drawnow = [&] { ++drawn; };
  m.on_pause = [&](double s) { waited += s; };
  m.drawnow();
  m.pause(0.25);
  EXPECT_EQ(drawn, 1);
  EXPECT_EQ(waited, 0.25);
}

struct SpecRow {
  const char* spec;
  std::optional<Color> color;
  std::optional<std::string> style;
  std::optional<std::string> marker;
};

TEST(LineSpecParsing, Table) {
  const SpecRow rows[] = {
      {"", {}, {}, {}},
      {"b", Color{0, 0, 1}, {}, {}},
      {"r", Color{1, 0, 0}, {}, {}},
      {"g", Color{0, 1, 0}, {}, {}},
      {"k", Color{0, 0, 0}, {}, {}},
      {"y", Color{1, 1, 0}, {}, {}},
      {"m", Color{1, 0, 1}, {}, {}},
      {"c", Color{0, 1, 1}, {}, {}},
      {"w", Color{1, 1, 1}, {}, {}},
      {"b--", Color{0, 0, 1}, "--", {}},
      {"--b", Color{0, 0, 1}, "--", {}},
      {"b-.", Color{0, 0, 1}, "-.", {}},
      {"k:", Color{0, 0, 0}, ":", {}},
      {"-", {}, "-", {}},
      {"rs", Color{1, 0, 0}, {}, "s"},
      {"o-", {}, "-", "o"},
      {"gx:", Color{0, 1, 0}, ":", "x"},
      {"+", {}, {}, "+"},
      {"*", {}, {}, "*"},
      {".", {}, {}, "."},
      {"md", Color{1, 0, 1}, {}, "d"},
      {"^", {}, {}, "^"},
      {"v-.", {}, "-.", "v"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.spec);
    LineSpec s = parse_line_spec(r.spec);
    EXPECT_EQ(s.color, r.color);
    EXPECT_EQ(s.line_style, r.style);
    EXPECT_EQ(s.marker, r.marker);
  }
  for (const char* bad : {"q", "bb", "b-:", "so", "---", "r g", "1"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(parse_line_spec(bad), RuntimeError);
  }
}

TEST(LineSpecParsing, PlotAppliesDefaults) {
  Model m;
  Axes& a = m.current_axes();
  a.hold = true;
  const std::vector<double> x{0, 1};
  Line& colour_only = m.plot(a, x, x, "k");
  EXPECT_EQ(colour_only.line_style, "-");
  EXPECT_EQ(colour_only.marker, "none");
  Line& marker_only = m.plot(a, x, x, "o");
  EXPECT_EQ(marker_only.line_style, "none");
  a.color_order = {{0.5, 0, 0}, {0, 0.5, 0}};
  Line& third = m.plot(a, x, x, "");  // third line takes the order's first colour again
  EXPECT_EQ(third.color, (Color{0.5, 0, 0}));
}

}  // namespace
}  // namespace quorin::gfx
