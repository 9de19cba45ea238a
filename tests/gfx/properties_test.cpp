#include "services/gfx/properties.h"

#include <gtest/gtest.h>

#include "services/runtime_error.h"

namespace quorin::gfx {
namespace {

// One object of every kind in one window.
struct Scene {
  Model m;
  Window& w = m.figure(1);
  Axes& axes = m.new_axes(w);
  Line& line = m.new_line(axes, {1, 2}, {3, 4});
  Text& text = m.new_text(axes, 1, 2, "t");
  Image& image = m.new_image(axes);
  Control& edit = m.new_control(w, Control::Style::Edit);
  Control& popup = m.new_control(w, Control::Style::Popup);
  Menu& menu = m.new_menu(w);
  Menu& context = m.new_menu(w, Kind::ContextMenu);

  Object& pick(Kind k) {
    switch (k) {
      case Kind::Window: return w;
      case Kind::Axes: return axes;
      case Kind::Line: return line;
      case Kind::Text: return text;
      case Kind::Image: return image;
      case Kind::Control: return edit;
      case Kind::Menu: return menu;
      case Kind::ContextMenu: return context;
    }
    return w;
  }
};

Value rgb(double r, double g, double b) { return Value::row({r, g, b}); }
Value t(const char* s) { return Value::text(s); }

struct RoundTrip {
  Kind kind;
  const char* name;  // spelt as a caller might
  Value in;
  Value out;  // what get returns afterwards
};

TEST(PropertyFacade, RoundTrips) {
  const RoundTrip rows[] = {
      {Kind::Window, "Name", t("Valdane Racing"), t("Valdane Racing")},
      {Kind::Window, "numbertitle", t("off"), t("off")},
      {Kind::Window, "Tag", t("Fig1"), t("Fig1")},
      {Kind::Window, "Color", rgb(166 / 255.0, 162 / 255.0, 140 / 255.0),
       rgb(166 / 255.0, 162 / 255.0, 140 / 255.0)},
      {Kind::Window, "Colormap", Value::numeric({2, 3}, {0, 1, 0.5, 0.5, 1, 0}),
       Value::numeric({2, 3}, {0, 1, 0.5, 0.5, 1, 0})},
      {Kind::Window, "Position", Value::row({317, 41, 388, 696}), Value::row({317, 41, 388, 696})},
      {Kind::Window, "Resize", t("OFF"), t("off")},
      {Kind::Window, "MenuBar", t("none"), t("none")},
      {Kind::Window, "ToolBar", t("none"), t("none")},
      {Kind::Window, "PaperUnits", t("points"), t("points")},
      {Kind::Window, "PaperType", t("a4letter"), t("a4letter")},
      {Kind::Window, "PaperOrientation", t("landscape"), t("landscape")},
      {Kind::Window, "PaperPosition", Value::row({280.5, 132, 280.5, 331.5}),
       Value::row({280.5, 132, 280.5, 331.5})},
      {Kind::Window, "PaperPositionMode", t("auto"), t("auto")},
      {Kind::Window, "Pointer", t("watch"), t("watch")},
      {Kind::Window, "DoubleBuffer", t("on"), t("on")},
      {Kind::Window, "KeyPressFcn", t("dokeypress(gcbf)"), t("dokeypress(gcbf)")},
      {Kind::Window, "Type", Value(), t("figure")},
      {Kind::Axes, "Units", t("pixels"), t("pixels")},
      {Kind::Axes, "Position", Value::row({138, 8, 115, 51}), Value::row({138, 8, 115, 51})},
      {Kind::Axes, "Color", t("none"), t("none")},
      {Kind::Axes, "Color", t("white"), rgb(1, 1, 1)},
      {Kind::Axes, "XColor", rgb(0.8, 0.8, 0.8), rgb(0.8, 0.8, 0.8)},
      {Kind::Axes, "Box", t("on"), t("on")},
      {Kind::Axes, "Layer", t("top"), t("top")},
      {Kind::Axes, "XLim", Value::row({0.5, 115.5}), Value::row({0.5, 115.5})},
      {Kind::Axes, "YLimMode", t("manual"), t("manual")},
      {Kind::Axes, "YDir", t("reverse"), t("reverse")},
      {Kind::Axes, "XGrid", t("on"), t("on")},
      {Kind::Axes, "ColorOrder", Value::numeric({1, 3}, {0, 0, 1}), Value::numeric({1, 3}, {0, 0, 1})},
      {Kind::Axes, "CLim", Value::row({0, 255}), Value::row({0, 255})},
      {Kind::Axes, "FontName", t("times"), t("times")},
      {Kind::Axes, "FontSize", Value::number(8), Value::number(8)},
      {Kind::Axes, "FontAngle", t("italic"), t("italic")},
      {Kind::Axes, "HitTest", t("off"), t("off")},
      {Kind::Axes, "NextPlot", t("add"), t("add")},
      {Kind::Axes, "XTickMode", t("manual"), t("manual")},
      {Kind::Line, "XData", Value::row({1, 2, 3}), Value::row({1, 2, 3})},
      {Kind::Line, "Color", t("r"), rgb(1, 0, 0)},
      {Kind::Line, "LineStyle", t("--"), t("--")},
      {Kind::Line, "Marker", t("o"), t("o")},
      {Kind::Line, "MarkerFaceColor", rgb(0, 1, 0), rgb(0, 1, 0)},
      {Kind::Line, "LineWidth", Value::number(2), Value::number(2)},
      {Kind::Text, "String", t("Force (N)"), t("Force (N)")},
      {Kind::Text, "Position", Value::row({1, 2}), Value::row({1, 2, 0})},
      {Kind::Text, "Position", Value::row({1, 2, 3}), Value::row({1, 2, 3})},
      {Kind::Text, "Rotation", Value::number(90), Value::number(90)},
      {Kind::Text, "FontWeight", t("demi"), t("demi")},
      {Kind::Text, "VerticalAlignment", t("bottom"), t("bottom")},
      {Kind::Text, "HorizontalAlignment", t("Center"), t("center")},
      {Kind::Image, "CData", Value::numeric({2, 3}, {1, 2, 3, 4, 5, 6}),
       Value::numeric({2, 3}, {1, 2, 3, 4, 5, 6})},
      {Kind::Image, "CDataMapping", t("direct"), t("direct")},
      {Kind::Image, "XData", Value::row({1, 115}), Value::row({1, 115})},
      {Kind::Image, "YData", Value::number(3), Value::row({3, 3})},
      {Kind::Control, "Style", t("checkbox"), t("checkbox")},
      {Kind::Control, "String", t("a|b"), t("a|b")},
      {Kind::Control, "Value", Value::number(1), Value::number(1)},
      {Kind::Control, "Units", t("points"), t("points")},
      {Kind::Control, "Position", Value::row({-3.75, 474.75, 306.75, 3}),
       Value::row({-3.75, 474.75, 306.75, 3})},
      {Kind::Control, "BackgroundColor", rgb(0, 90 / 255.0, 171 / 255.0),
       rgb(0, 90 / 255.0, 171 / 255.0)},
      {Kind::Control, "ForegroundColor", rgb(1, 1, 1), rgb(1, 1, 1)},
      {Kind::Control, "FontName", t("arial"), t("arial")},
      {Kind::Control, "FontSize", Value::number(9), Value::number(9)},
      {Kind::Control, "FontWeight", t("demi"), t("demi")},
      {Kind::Control, "HorizontalAlignment", t("left"), t("left")},
      {Kind::Control, "Callback", t("quorin_processor_ct('view')      "),
       t("quorin_processor_ct('view')      ")},
      {Kind::Control, "TooltipString", t("Updates selected damper curve"),
       t("Updates selected damper curve")},
      {Kind::Control, "Enable", t("inactive"), t("inactive")},
      {Kind::Control, "ListboxTop", Value::number(0), Value::number(0)},
      {Kind::Control, "Visible", t("off"), t("off")},
      {Kind::Control, "HandleVisibility", t("off"), t("off")},
      {Kind::Control, "Type", Value(), t("uicontrol")},
      {Kind::Menu, "Label", t("Cu&t"), t("Cu&t")},
      {Kind::Menu, "Callback", t("domymenu cut"), t("domymenu cut")},
      {Kind::Menu, "Separator", t("on"), t("on")},
      {Kind::ContextMenu, "Type", Value(), t("uicontextmenu")},
      {Kind::Line, "Type", Value(), t("line")},
  };
  for (const auto& r : rows) {
    Scene s;
    Object& o = s.pick(r.kind);
    SCOPED_TRACE(std::string(type_name(r.kind)) + "." + r.name);
    if (std::string_view(r.name) != "Type") set_property(s.m, o, r.name, r.in);
    EXPECT_EQ(get_property(s.m, o, r.name), r.out);
  }
}

struct BadSet {
  Kind kind;
  const char* name;
  Value in;
  const char* message_part;
};

TEST(PropertyFacade, InvalidSettingsFailAndChangeNothing) {
  const BadSet rows[] = {
      {Kind::Axes, "Foo", Value::number(1), "There is no 'Foo' property of the axes class."},
      {Kind::Control, "XLim", Value::row({0, 1}), "There is no 'XLim' property of the uicontrol class."},
      {Kind::Window, "Type", t("axes"), "cannot be set"},
      {Kind::Axes, "Title", Value::number(3), "cannot be set"},
      {Kind::Axes, "XLim", Value::row({1, 0}), "'XLim'"},
      {Kind::Axes, "XLim", t("auto"), "'XLim'"},
      {Kind::Axes, "YDir", t("upwards"), "\"upwards\" is not one of \"normal\", \"reverse\""},
      {Kind::Axes, "Units", t("inches"), "'Units'"},
      {Kind::Axes, "Color", rgb(0, 2, 0), "'Color'"},
      {Kind::Axes, "Box", Value::number(1), "'Box'"},
      {Kind::Axes, "FontSize", Value::number(0), "'FontSize'"},
      {Kind::Axes, "ColorOrder", Value::row({1, 0, 0, 1}), "'ColorOrder'"},
      {Kind::Window, "Colormap", Value::numeric({1, 3}, {0, 0, 3}), "'Colormap'"},
      {Kind::Window, "Position", Value::row({1, 2, 3}), "'Position'"},
      {Kind::Window, "Pointer", t("hand"), "'Pointer'"},
      {Kind::Control, "Style", t("slider"), "'Style'"},
      {Kind::Control, "Value", t("1"), "'Value'"},
      {Kind::Control, "String", Value::row({1, 2}), "'String'"},
      {Kind::Control, "Enable", t("maybe"), "'Enable'"},
      {Kind::Control, "Visible", t("yes"), "'Visible'"},
      {Kind::Text, "Position", Value::row({1, 2, 3, 4}), "'Position'"},
      {Kind::Text, "FontAngle", t("slanted"), "'FontAngle'"},
      {Kind::Line, "Marker", t("q"), "'Marker'"},
      {Kind::Line, "XData", Value::numeric({2, 2}, {1, 2, 3, 4}), "'XData'"},
      {Kind::Image, "CData", Value::numeric({2, 2, 2}, std::vector<double>(8, 0)), "'CData'"},
      {Kind::Image, "CData", t("logo"), "'CData'"},
      {Kind::Image, "CDataMapping", t("linear"), "'CDataMapping'"},
      {Kind::Menu, "Separator", t("maybe"), "'Separator'"},
  };
  for (const auto& r : rows) {
    Scene s;
    Object& o = s.pick(r.kind);
    SCOPED_TRACE(std::string(type_name(r.kind)) + "." + r.name);
    const bool readable = std::string_view(r.message_part).find("There is no") == std::string_view::npos;
    const Value before = readable ? get_property(s.m, o, r.name) : Value();
    try {
      set_property(s.m, o, r.name, r.in);
      ADD_FAILURE() << "no error";
    } catch (const RuntimeError& e) {
      EXPECT_NE(std::string(e.what()).find(r.message_part), std::string::npos) << e.what();
    }
    if (readable) {
      EXPECT_EQ(get_property(s.m, o, r.name), before);
    } else {
      EXPECT_THROW(get_property(s.m, o, r.name), RuntimeError);
    }
  }
}

TEST(PropertyFacade, PopupListsAndRows) {
  Scene s;
  set_property(s.m, s.popup, "String", Value::text_list({"10", "20", "30"}));
  EXPECT_EQ(get_property(s.m, s.popup, "string"), Value::text_list({"10", "20", "30"}));
  EXPECT_EQ(s.popup.items.size(), 3u);
  set_property(s.m, s.popup, "String", t("a|b|c|d"));
  EXPECT_EQ(s.popup.items, (std::vector<std::string>{"a", "b", "c", "d"}));
  set_property(s.m, s.popup, "Value", Value::number(3));
  EXPECT_EQ(get_property(s.m, s.popup, "Value"), Value::number(3));

  // A list given before the style becomes the popup's rows once the style is set.
  Control& c = s.m.new_control(s.w, Control::Style::PushButton);
  set_properties(s.m, c, {{"String", t("x|y")}, {"Style", t("popupmenu")}});
  EXPECT_EQ(get_property(s.m, c, "String"), Value::text_list({"x", "y"}));

  // An edit box keeps its text as typed.
  set_property(s.m, s.edit, "String", t("7731-02"));
  EXPECT_EQ(get_property(s.m, s.edit, "String"), t("7731-02"));
}

TEST(PropertyFacade, PairsApplyInOrderAndStopAtTheFirstBadOne) {
  Scene s;
  const auto before = s.m.revision();
  set_properties(s.m, s.text, {{"FontSize", Value::number(8)}, {"fontsize", Value::number(10)}});
  EXPECT_EQ(s.text.font_size, 10);
  EXPECT_GT(s.m.revision(), before);
  EXPECT_THROW(set_properties(s.m, s.text, {{"FontName", t("times")}, {"Bogus", t("x")}}),
               RuntimeError);
  EXPECT_EQ(s.text.font_name, "times");  // pairs before the bad one stay applied
}

TEST(PropertyFacade, LimitsAndModesTravelTogether) {
  Scene s;
  EXPECT_EQ(get_property(s.m, s.axes, "XLimMode"), t("auto"));
  set_property(s.m, s.axes, "XLim", Value::row({0, 10}));
  EXPECT_EQ(get_property(s.m, s.axes, "XLimMode"), t("manual"));
  set_property(s.m, s.axes, "CLim", Value::row({0, 1}));
  EXPECT_TRUE(s.axes.clim_manual);
  EXPECT_EQ(get_property(s.m, s.axes, "Title"), Value::number(s.axes.title.value));
  EXPECT_EQ(get_property(s.m, s.w, "CurrentAxes"), Value::number(s.axes.handle().value));
  // The label texts are hidden, so the axes lists only the objects plotted into it.
  EXPECT_EQ(get_property(s.m, s.axes, "Children").numel(), 3u);
}

TEST(PropertyFacade, TrueColourPictures) {
  Scene s;
  std::vector<double> px(2 * 2 * 3, 200);
  set_property(s.m, s.image, "CData", Value::numeric({2, 2, 3}, px));
  EXPECT_EQ(s.image.channels, 3u);
  EXPECT_TRUE(s.image.true_colour_8bit);
  EXPECT_EQ(get_property(s.m, s.image, "CData"), Value::numeric({2, 2, 3}, px));
  set_property(s.m, s.image, "CData", Value::numeric({2, 2, 3}, std::vector<double>(12, 0.5)));
  EXPECT_FALSE(s.image.true_colour_8bit);
}

TEST(PropertyFacade, DefaultColormapHasSixtyFourColours) {
  Scene s;
  Value map = get_property(s.m, s.w, "Colormap");
  ASSERT_EQ(map.dims(), (Value::Dims{64, 3}));
  for (double d : map.numbers()) EXPECT_TRUE(d >= 0 && d <= 1);
}

}  // namespace
}  // namespace quorin::gfx
