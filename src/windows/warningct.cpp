#include "windows/warningct.h"

#include "windows/window_data.h"

namespace quorin {
namespace {

using namespace windows;

constexpr std::string_view kDataFile = "warningCT";
constexpr std::string_view kName = "Valdane Racing";
constexpr std::string_view kOk = "OK";
constexpr std::string_view kHeading = "WARNING !!";
constexpr std::string_view kMessage =
    "You have reached the maximum number of overlays. Press CLEAR to start over.";
// "close" with the trailing blanks its stored command carries.
constexpr std::string_view kCloseCommand = "close             ";

gfx::Control& control(gfx::Model& m, gfx::Window& w, gfx::Control::Style style,
                      std::string_view tag, std::string_view s, const gfx::Rect& pt) {
  gfx::Control& c = m.new_control(w, style);
  c.tag = tag;
  c.string = s;
  c.units = gfx::Units::Points;
  c.position = pt;
  c.font_name = "arial";
  c.list_top = 0;
  return c;
}

}  // namespace

gfx::Handle warningct(WindowContext& ctx) {
  gfx::Model& m = ctx.gfx;
  const WindowData data(ctx.folder, kDataFile, 2);

  gfx::Window& w = m.new_window();
  w.name = kName;
  w.number_title = false;
  w.tag = "Fig1";
  w.position = {348, 298, 320, 133};
  w.resize = false;
  w.color = colour::khaki;
  w.colormap = data.colours(0);
  w.menubar = "none";
  w.toolbar = "none";
  w.paper_units = "points";
  w.paper_position = {18, 180, 576, 432};

  gfx::Control& ok = control(m, w, gfx::Control::Style::PushButton, "Pushbutton1", kOk,
                             {101.25, 14.25, 43.5, 19.5});
  ok.background = colour::blue;
  ok.foreground = colour::yellow;
  ok.font_weight = "bold";
  ok.font_size = data.number(1);
  ok.callback = kCloseCommand;

  gfx::Control& heading = control(m, w, gfx::Control::Style::Text, "StaticText1", kHeading,
                                  {74.25, 75.75, 103.5, 14.25});
  heading.background = colour::khaki;
  heading.foreground = colour::dark_red;
  heading.font_size = 8.941176470588236;
  heading.font_weight = "demi";
  heading.horizontal_alignment = "center";

  gfx::Control& message = control(m, w, gfx::Control::Style::Text, "StaticText2", kMessage,
                                  {27, 37.5, 199.5, 34.5});
  message.background = colour::khaki;
  message.horizontal_alignment = "left";
  return w.handle();
}

}  // namespace quorin
