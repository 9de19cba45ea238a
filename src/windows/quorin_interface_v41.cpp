#include "windows/quorin_interface_v41.h"

#include <array>
#include <chrono>
#include <cmath>
#include <future>
#include <mutex>
#include <optional>
#include <string>

#include "services/runtime_error.h"
#include "services/varfile.h"
#include "windows/lht.h"
#include "windows/plotfigure.h"
#include "windows/rht.h"
#include "windows/window_data.h"

namespace quorin {
namespace {

using namespace windows;
using S = gfx::Control::Style;

constexpr std::string_view kName = "Valdane Racing";
constexpr std::string_view kHelpTooltip =
    "The user guide. For questions or comments please email support@valdane-racing.example";
constexpr std::string_view kVersionTooltip =
    "For questions or comments please email engineering@valdane-racing.example";

// Look B (push buttons): blue on yellow, arial 9 demi. Look L (labels): blue on khaki, arial.
enum class Look : unsigned char { None, B, L };
enum class Paint : unsigned char { Unset, Khaki, Blue, Yellow, White, Black, LightGrey, Grey };

gfx::Color paint(Paint p) {
  switch (p) {
    case Paint::Khaki: return colour::khaki;
    case Paint::Blue: return colour::blue;
    case Paint::Yellow: return colour::yellow;
    case Paint::White: return colour::white;
    case Paint::Black: return colour::black;
    case Paint::LightGrey: return colour::light_grey;
    case Paint::Grey: return colour::grey;
    case Paint::Unset: break;
  }
  return colour::black;
}

// One control of the main window. Unset fields keep the toolkit's default; a look is applied
// first and the other fields add to it or override it. A command is its text followed by the
// trailing blanks its stored form carries; a `*_var` names the window data variable matN that
// supplies the value instead.
struct ControlRow {
  std::string_view tag;
  S style;
  std::string_view string{};
  int list_var = -1;  // popup rows
  gfx::Rect position{};
  bool points = false;  // position in points rather than pixels
  Look look = Look::None;
  Paint background = Paint::Unset, foreground = Paint::Unset;
  std::string_view font{};
  double size = 0;
  std::string_view weight{}, angle{}, align{};
  double value = -1;  // popup row or check state; -1: unset
  bool visible = true;
  std::string_view enable{};
  std::string_view command{};
  int blanks = 0;
  int command_var = -1;
  std::string_view tooltip{};
  int tooltip_var = -1;
};

// The 78 controls in creation order; where two overlap, the later lies on top.
constexpr std::array<ControlRow, 78> kControls = {{
    /*  1 */ {.tag = "Pushbutton1", .style = S::PushButton, .string = "CLEAR", .position = {199, 245, 53, 19}, .look = Look::B, .command = "quorin_processor_ct('clear')", .blanks = 43, .tooltip_var = 1},
    /*  2 */ {.tag = "Pushbutton1", .style = S::PushButton, .string = "PLOT", .position = {136, 245, 53, 19}, .look = Look::B, .command = "quorin_processor_ct('view')", .blanks = 6, .tooltip = "Plots the damper you built. You can overlay up to 7 graphs."},
    /*  3 */ {.tag = "StaticText2", .style = S::Text, .string = "Compression", .position = {63, 606, 90, 19}, .look = Look::L, .size = 10, .weight = "demi", .angle = "italic"},
    /*  4 */ {.tag = "StaticText2", .style = S::Text, .string = "Rebound", .position = {246, 607, 79, 19}, .look = Look::L, .size = 10, .weight = "demi", .angle = "italic"},
    /*  5 */ {.tag = "StaticText2", .style = S::Text, .string = " Valve/Shim Combo", .position = {18, 588, 95, 12}, .look = Look::L, .align = "left"},
    /*  6 */ {.tag = "StaticText1", .style = S::Text, .string = "Trelluce", .position = {-18, 635, 417, 23}, .background = Paint::Black, .foreground = Paint::LightGrey, .font = "arial", .size = 10, .weight = "demi", .angle = "italic"},
    /*  7 */ {.tag = "StaticText3", .style = S::Text, .string = "Mivra", .position = {-22, 657, 417, 37}, .background = Paint::Black, .foreground = Paint::LightGrey, .font = "arial", .size = 24, .weight = "bold", .angle = "italic"},
    /*  8 */ {.tag = "xmax", .style = S::Edit, .string = "10", .position = {148, 128, 40, 17}, .background = Paint::White, .font = "times", .size = 7},
    /*  9 */ {.tag = "xmin", .style = S::Edit, .string = "0", .position = {95, 128, 40, 17}, .background = Paint::White, .font = "times", .size = 7},
    /* 10 */ {.tag = "ymin", .style = S::Edit, .string = "-500", .position = {202, 128, 40, 17}, .background = Paint::White, .font = "times", .size = 7},
    /* 11 */ {.tag = "ymax", .style = S::Edit, .string = "500", .position = {255, 128, 40, 17}, .background = Paint::White, .font = "times", .size = 7},
    /* 12 */ {.tag = "StaticText5", .style = S::Text, .string = "vmin", .position = {95, 112, 40, 16}, .look = Look::L, .angle = "italic"},
    /* 13 */ {.tag = "StaticText5", .style = S::Text, .string = "vmax", .position = {148, 112, 40, 16}, .look = Look::L, .angle = "italic"},
    /* 14 */ {.tag = "StaticText5", .style = S::Text, .string = "fmax", .position = {255, 112, 40, 16}, .look = Look::L, .angle = "italic"},
    /* 15 */ {.tag = "StaticText5", .style = S::Text, .string = "fmin", .position = {202, 112, 40, 16}, .look = Look::L, .angle = "italic"},
    /* 16 */ {.tag = "HSC", .style = S::Popup, .list_var = 2, .position = {121, 425, 67, 19}, .background = Paint::White, .value = 31},
    /* 17 */ {.tag = "LSC", .style = S::Popup, .list_var = 3, .position = {121, 451, 67, 19}, .background = Paint::White, .font = "arial", .value = 21},
    /* 18 */ {.tag = "LSR", .style = S::Popup, .list_var = 4, .position = {200, 450, 67, 19}, .background = Paint::White, .font = "arial", .value = 21},
    /* 19 */ {.tag = "HSR", .style = S::Popup, .list_var = 5, .position = {200, 424, 67, 19}, .background = Paint::White, .value = 31},
    /* 20 */ {.tag = "import", .style = S::PushButton, .string = "IMPORT", .position = {199, 176, 53, 19}, .look = Look::B, .command_var = 6, .tooltip_var = 7},
    /* 21 */ {.tag = "Pushbutton1", .style = S::PushButton, .string = "EXPORT #     ", .position = {199, 210, 90, 20}, .look = Look::B, .align = "left", .command_var = 8, .tooltip_var = 9},
    /* 22 */ {.tag = "plotindex", .style = S::Edit, .string = "1", .position = {268, 211, 17, 18}, .background = Paint::White, .size = 7},
    /* 23 */ {.tag = "clearall", .style = S::CheckBox, .position = {256, 251, 14, 13}, .background = Paint::Khaki, .value = 1},
    /* 24 */ {.tag = "StaticText2", .style = S::Text, .string = "All", .position = {271, 251, 15, 14}, .look = Look::L, .align = "right"},
    /* 25 */ {.tag = "motionratio", .style = S::Edit, .string = "1", .position = {169, 288, 49, 19}, .background = Paint::White, .tooltip = "Allows to get damping force at wheel by entering motion ratio."},
    /* 26 */ {.tag = "StaticText2", .style = S::Text, .string = " Spring", .position = {18, 511, 40, 16}, .look = Look::L, .align = "left"},
    /* 27 */ {.tag = "StaticText2", .style = S::Text, .string = "LSC", .position = {73, 454, 40, 12}, .look = Look::L, .align = "right"},
    /* 28 */ {.tag = "StaticText2", .style = S::Text, .string = "HSC", .position = {73, 428, 40, 12}, .look = Look::L, .align = "right"},
    /* 29 */ {.tag = "StaticText2", .style = S::Text, .string = "Motion Ratio [W/D]", .position = {46, 288, 116, 17}, .look = Look::L, .align = "right"},
    /* 30 */ {.tag = "Pushbutton1", .style = S::PushButton, .string = "UPDATE #     ", .position = {98, 210, 90, 20}, .look = Look::B, .align = "left", .command = "quorin_processor_ct('overwrite')", .blanks = 6, .tooltip = "Updates selected damper curve"},
    /* 31 */ {.tag = "curveselect", .style = S::Edit, .string = "1", .position = {167, 211, 17, 18}, .background = Paint::White},
    /* 32 */ {.tag = "import", .style = S::PushButton, .string = "SAVE", .position = {74, 176, 53, 19}, .look = Look::B, .command_var = 10, .tooltip = "Saves latest plotted damper curve for easy access through the LOAD button"},
    /* 33 */ {.tag = "import", .style = S::PushButton, .string = "LOAD", .position = {136, 176, 53, 19}, .look = Look::B, .command_var = 11, .tooltip = "Load a saved damper curve."},
    /* 34 */ {.tag = "import", .style = S::PushButton, .string = "ROEHRIG", .position = {262, 176, 67, 19}, .look = Look::B, .command_var = 12, .tooltip = "Imports and plots a Roehrig *.PVP file"},
    /* 35 */ {.tag = "Pushbutton1", .style = S::PushButton, .string = "PRINT", .position = {171, 87, 53, 19}, .look = Look::B, .command = "quorin_processor_ct('print')", .blanks = 6},
    /* 36 */ {.tag = "Pushbutton1", .style = S::PushButton, .string = "Add 3rd", .position = {227, 288, 56, 19}, .look = Look::B, .command = "quorin_processor_ct('add3rd')", .blanks = 6, .tooltip_var = 13},
    /* 37 */ {.tag = "CompressionValve", .style = S::Popup, .list_var = 14, .position = {18, 567, 170, 19}, .background = Paint::White, .value = 3, .command = "quorin_processor_ct('valveseatcompression')", .blanks = 7},
    /* 38 */ {.tag = "ReboundValve", .style = S::Popup, .list_var = 15, .position = {201, 567, 170, 19}, .background = Paint::White, .value = 3, .command = "quorin_processor_ct('valveseatrebound')", .blanks = 7},
    /* 39 */ {.tag = "CompressionSpring", .style = S::Popup, .list_var = 16, .position = {18, 494, 170, 19}, .background = Paint::White, .value = 3},
    /* 40 */ {.tag = "ReboundSpring", .style = S::Popup, .list_var = 17, .position = {201, 494, 170, 19}, .background = Paint::White, .value = 3},
    /* 41 */ {.tag = "StaticText2", .style = S::Text, .string = " Valve/Shim Combo", .position = {275, 588, 95, 12}, .look = Look::L, .align = "right"},
    /* 42 */ {.tag = "StaticText2", .style = S::Text, .string = " Spring", .position = {329, 513, 40, 15}, .look = Look::L, .align = "right"},
    /* 43 */ {.tag = "StaticText2", .style = S::Text, .string = "HSR", .position = {276, 427, 40, 12}, .look = Look::L, .align = "left"},
    /* 44 */ {.tag = "StaticText2", .style = S::Text, .string = "LSR", .position = {276, 453, 40, 12}, .look = Look::L, .align = "left"},
    /* 45 */ {.tag = "SIUnits", .style = S::Radio, .position = {71, 137, 14, 13}, .look = Look::L, .command = "quorin_processor_ct('si')", .blanks = 22},
    /* 46 */ {.tag = "USUnits", .style = S::Radio, .position = {71, 120, 14, 13}, .look = Look::L, .value = 1, .command = "quorin_processor_ct('us')", .blanks = 22},
    /* 47 */ {.tag = "Pushbutton1", .style = S::PushButton, .string = "Rescale", .position = {307, 128, 53, 17}, .background = Paint::Blue, .foreground = Paint::Yellow, .font = "arial", .weight = "demi", .command = "quorin_processor_ct('rescale')", .blanks = 6},
    /* 48 */ {.tag = "Frame1", .style = S::Frame, .position = {91, 390, 205, 18}, .background = Paint::Khaki, .foreground = Paint::Blue},
    /* 49 */ {.tag = "StaticText4", .style = S::Text, .string = "Hold cursor over buttons for instructions", .position = {93, 392, 202, 14}, .background = Paint::Khaki, .foreground = Paint::Blue, .font = "times", .weight = "light", .angle = "italic"},
    /* 50 */ {.tag = "StaticText2", .style = S::Text, .string = " Hold", .position = {214, 161, 38, 14}, .look = Look::L, .align = "left"},
    /* 51 */ {.tag = "holdimport", .style = S::CheckBox, .position = {199, 161, 14, 13}, .background = Paint::Khaki, .tooltip = "Keep Import curve on graph"},
    /* 52 */ {.tag = "holdroehrig", .style = S::CheckBox, .position = {262, 161, 14, 13}, .background = Paint::Khaki, .tooltip = "Keep Roehrig curve on graph"},
    /* 53 */ {.tag = "StaticText2", .style = S::Text, .string = " Hold", .position = {277, 161, 38, 14}, .look = Look::L, .align = "left"},
    /* 54 */ {.tag = "Frame2", .style = S::Frame, .position = {-3.75, 474.75, 306.75, 3}, .points = true, .background = Paint::Yellow, .foreground = Paint::Yellow},
    /* 55 */ {.tag = "Frame4", .style = S::Frame, .position = {126, 5, 125, 55}, .background = Paint::Grey, .visible = false},
    /* 56 */ {.tag = "Frame3", .style = S::Frame, .position = {189, -1.5, 106.5, 51}, .points = true, .background = Paint::Black},
    /* 57 */ {.tag = "Frame3", .style = S::Frame, .position = {-15.75, -0.75, 118.5, 51}, .points = true, .background = Paint::Black},
    /* 58 */ {.tag = "Frame5", .style = S::Frame, .position = {79.5, 43.5, 130.5, 6.75}, .points = true, .background = Paint::Black},
    /* 59 */ {.tag = "Frame5", .style = S::Frame, .position = {74.25, -1.5, 130.5, 6.75}, .points = true, .background = Paint::Black},
    /* 60 */ {.tag = "Pushbutton1", .style = S::PushButton, .string = "EXIT", .position = {336, 1, 53, 19}, .look = Look::B, .command = "quorin_processor_ct('exit')", .blanks = 6},
    /* 61 */ {.tag = "Frame2", .style = S::Frame, .position = {-11.25, 49.5, 306.75, 3}, .points = true, .background = Paint::Yellow, .foreground = Paint::Yellow},
    /* 62 */ {.tag = "StaticText6", .style = S::PushButton, .string = "Help", .position = {0.75, 0, 24, 11.25}, .points = true, .background = Paint::Black, .foreground = Paint::White, .font = "arial", .weight = "demi", .command = "quorin_help('user-guide.md')", .tooltip = kHelpTooltip},
    /* 63 */ {.tag = "Frame6", .style = S::Frame, .position = {-10.5, 516.75, 311.25, 6.75}, .points = true, .background = Paint::Black},
    /* 64 */ {.tag = "StaticText6", .style = S::Text, .string = "   4.1", .position = {263.25, 508.5, 25.5, 10.5}, .points = true, .background = Paint::Black, .foreground = Paint::White, .font = "arial", .weight = "demi", .tooltip = kVersionTooltip},
    /* 65 */ {.tag = "StaticText8", .style = S::Text, .string = " Valve Seat", .position = {18, 546, 58, 16}, .look = Look::L, .align = "left"},
    /* 66 */ {.tag = "valveseatcompression", .style = S::Edit, .string = "7731-02", .position = {18, 529, 169, 19}, .background = Paint::White, .align = "left", .enable = "inactive"},
    /* 67 */ {.tag = "valveseatrebound", .style = S::Edit, .string = "7731-02", .position = {201, 529, 169, 19}, .background = Paint::White, .align = "right", .enable = "inactive"},
    /* 68 */ {.tag = "StaticText7", .style = S::Text, .string = " Valve Seat", .position = {315, 548, 58, 14}, .look = Look::L, .align = "left"},
    /* 69 */ {.tag = "StaticText2", .style = S::Text, .string = "All", .position = {243, 93, 15, 14}, .look = Look::L, .align = "right"},
    /* 70 */ {.tag = "printall", .style = S::CheckBox, .position = {228, 93, 14, 13}, .background = Paint::Khaki},
    /* 71 */ {.tag = "StaticText2", .style = S::Text, .string = "Metric", .position = {27, 138, 40, 14}, .look = Look::L, .align = "right"},
    /* 72 */ {.tag = "StaticText2", .style = S::Text, .string = "Imperial", .position = {27, 121, 40, 14}, .look = Look::L, .align = "right"},
    /* 73 */ {.tag = "StaticText2", .style = S::Text, .string = "Piston", .position = {46, 311, 116, 17}, .look = Look::L, .align = "right"},
    /* 74 */ {.tag = "piston", .style = S::Edit, .string = "40", .position = {169, 311, 49, 19}, .background = Paint::White, .tooltip = "Enter the piston diameter in millimetres (mm), in Metric and in Imperial"},
    /* 75 */ {.tag = "StaticText2", .style = S::Text, .string = "External Shaft", .position = {46, 334, 116, 17}, .look = Look::L, .align = "right"},
    /* 76 */ {.tag = "externalshaft", .style = S::Edit, .string = "12", .position = {169, 334, 49, 19}, .background = Paint::White, .tooltip = "Enter the external shaft diameter in millimetres (mm), in Metric and in Imperial"},
    /* 77 */ {.tag = "StaticText2", .style = S::Text, .string = "Internal Shaft", .position = {46, 357, 116, 17}, .look = Look::L, .align = "right"},
    /* 78 */ {.tag = "internalshaft", .style = S::Edit, .string = "12", .position = {169, 357, 49, 19}, .background = Paint::White, .tooltip = "Enter the internal shaft diameter in millimetres (mm), in Metric and in Imperial. For non through-rod damper enter 0"},
}};

// The logo axes is made between these two controls.
constexpr std::size_t kControlsBeforeLogo = 55;

// The order the Tab key visits the controls (row numbers above), following the layout: the
// compression column top to bottom, the rebound column, the dimension boxes, then the rows
// of buttons from left to right and top to bottom, Help at the foot last.
constexpr std::array<std::size_t, 37> kKeyboardOrder = {
    37, 39, 17, 16,              // CompressionValve, CompressionSpring, LSC, HSC
    38, 40, 18, 19,              // ReboundValve, ReboundSpring, LSR, HSR
    78, 76, 74, 25, 36,          // internal shaft, external shaft, piston, motion ratio, Add 3rd
    2,  1,  23,                  // PLOT, CLEAR, All
    30, 31, 21, 22,              // UPDATE # and its box, EXPORT # and its box
    32, 33, 20, 34,              // SAVE, LOAD, IMPORT, ROEHRIG
    51, 52,                      // the two Hold boxes
    45, 46, 9,  8,  10, 11, 47,  // Metric, Imperial, vmin, vmax, fmin, fmax, Rescale
    35, 70,                      // PRINT, All
    60, 62,                      // EXIT, Help
};

gfx::Handle make_control(gfx::Model& m, gfx::Window& w, const WindowData& data,
                         const ControlRow& row) {
  gfx::Control& c = m.new_control(w, row.style);
  c.tag = row.tag;
  if (row.look == Look::B) {
    c.background = colour::blue;
    c.foreground = colour::yellow;
    c.font_name = "arial";
    c.font_size = 9;
    c.font_weight = "demi";
  } else if (row.look == Look::L) {
    c.background = colour::khaki;
    c.foreground = colour::blue;
    c.font_name = "arial";
  }
  c.string = row.string;
  if (row.list_var >= 0) c.items = data.texts(row.list_var);
  c.units = row.points ? gfx::Units::Points : gfx::Units::Pixels;
  c.position = row.position;
  if (row.background != Paint::Unset) c.background = paint(row.background);
  if (row.foreground != Paint::Unset) c.foreground = paint(row.foreground);
  if (!row.font.empty()) c.font_name = row.font;
  if (row.size > 0) c.font_size = row.size;
  if (!row.weight.empty()) c.font_weight = row.weight;
  if (!row.angle.empty()) c.font_angle = row.angle;
  if (!row.align.empty()) c.horizontal_alignment = row.align;
  if (row.value >= 0) c.value = row.value;
  c.visible = row.visible;
  if (!row.enable.empty()) c.enable = row.enable;
  if (!row.command.empty()) c.callback = std::string(row.command) + std::string(row.blanks, ' ');
  if (row.command_var >= 0) c.callback = data.text(row.command_var);
  if (!row.tooltip.empty()) c.tooltip = row.tooltip;
  if (row.tooltip_var >= 0) c.tooltip = data.text(row.tooltip_var);
  c.list_top = 0;
  return c.handle();
}

void make_logo_axes(gfx::Model& m, gfx::Window& w, const WindowData& data) {
  gfx::Axes& logo = logo_axes(m, w, data, {gfx::Units::Pixels, {138, 8, 115, 51}, 115, 51, 18, 19});
  AxisTexts texts = hidden_axis_texts(m, logo, {"Axes1Text4", "Axes1Text3", "Axes1Text2", "Axes1Text1"});
  texts.ylabel.rotation = 90;
  texts.ylabel.position = data.point(20);
}

gfx::Window& build_main_window(gfx::Model& m, const WindowData& data) {
  gfx::Window& w = m.new_window();
  w.name = kName;
  w.number_title = false;
  w.tag = "Fig1";
  w.color = colour::khaki;
  w.colormap = data.colours(0);
  w.units = gfx::Units::Pixels;
  // Moved left where that leaves the comparison window room beside it.
  w.position = {317, 41, 388, 696};
  if (const std::optional<FirstPlaces> places = first_places(w.position, m.screen))
    w.position = places->main;
  w.resize = false;
  w.menubar = "none";
  w.toolbar = "none";
  w.paper_units = "points";
  w.paper_type = "a4letter";
  w.paper_orientation = "landscape";
  w.paper_position = {280.5, 132, 280.5, 331.5};
  std::array<gfx::Handle, kControls.size()> made{};
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    if (i == kControlsBeforeLogo) make_logo_axes(m, w, data);
    made[i] = make_control(m, w, data, kControls[i]);
  }
  for (std::size_t row : kKeyboardOrder) w.tab_order.push_back(made[row - 1]);
  return w;
}

void set_control(gfx::Model& m, std::string_view tag, double value) {
  auto* c = dynamic_cast<gfx::Control*>(m.find_by_tag(tag));
  if (!c) throw RuntimeError("The control \"" + std::string(tag) + "\" is not in the current window.");
  c->value = value;
}
void set_control(gfx::Model& m, std::string_view tag, std::string_view text) {
  auto* c = dynamic_cast<gfx::Control*>(m.find_by_tag(tag));
  if (!c) throw RuntimeError("The control \"" + std::string(tag) + "\" is not in the current window.");
  c->string = text;
}

// Fixed limits and the grid on an axes.
void limits_and_grid(gfx::Axes& a, std::array<double, 2> xlim, std::array<double, 2> ylim) {
  a.xlim = xlim;
  a.ylim = ylim;
  a.xlim_manual = a.ylim_manual = true;
  a.xgrid = a.ygrid = a.zgrid = true;
}

// Stores the three axes of a turn window in the globals and labels them.
void prepare_turn_window(WindowContext& ctx, const TurnWindowDesign& d, gfx::Handle& plot,
                         gfx::Handle& balance, gfx::Handle& key) {
  gfx::Axes& force = axes_by_tag(ctx.gfx, d.plot_tag);
  plot = force.handle();
  ctx.gfx.set_current_axes(plot);
  limits_and_grid(force, {0, 10}, {-500, 500});
  annotate_axes(ctx, plot, d.name, "", "Force (lbs)");
  gfx::Axes& bal = axes_by_tag(ctx.gfx, d.balance_tag);
  balance = bal.handle();
  ctx.gfx.set_current_axes(balance);
  limits_and_grid(bal, {0, 10}, {0, 100});
  annotate_axes(ctx, balance, "", "Velocity (inches/s)", "% Front");
  key = axes_by_tag(ctx.gfx, d.key_tag).handle();
}

struct ValvingTables {
  ValvingTable compforce, compvel, rebforce, rebvel;
};

ValvingTables read_valving_tables(const std::filesystem::path& folder) {
  const std::filesystem::path file = require_file(folder, varfile_path(kValvingFile).string());
  ValvingTables out;
  for (auto& [name, value] : load_variables(file, {"compforce", "compvel", "rebforce", "rebvel"})) {
    ValvingTable t = valving_table_from_value(value, name);
    if (name == "compforce") out.compforce = std::move(t);
    if (name == "compvel") out.compvel = std::move(t);
    if (name == "rebforce") out.rebforce = std::move(t);
    if (name == "rebvel") out.rebvel = std::move(t);
  }
  return out;
}

// The tables being read ahead on another thread, and the folder they come from.
struct TablesAhead {
  std::mutex lock;
  std::optional<std::filesystem::path> folder;
  std::future<ValvingTables> tables;
};

TablesAhead& tables_ahead() {
  static TablesAhead ahead;
  return ahead;
}

// The tables read ahead for this folder, perhaps still being read; none when there are none.
std::future<ValvingTables> take_tables_ahead(const std::filesystem::path& folder) {
  TablesAhead& ahead = tables_ahead();
  std::lock_guard<std::mutex> hold(ahead.lock);
  std::future<ValvingTables> taken;
  if (ahead.folder && *ahead.folder == folder) taken = std::move(ahead.tables);
  ahead.folder.reset();
  return taken;
}

void store_valving_tables(Globals& g, ValvingTables t) {
  g.compforce = std::move(t.compforce);
  g.compvel = std::move(t.compvel);
  g.rebforce = std::move(t.rebforce);
  g.rebvel = std::move(t.rebvel);
}

Value zero_dyno_record(Value shock) {
  if (!shock.is_record()) shock = Value::record();
  Value& speed = shock.field_ref("Speed_1");
  if (!speed.is_record()) speed = Value::record();
  for (std::string_view channel : {"Force", "Velocity"}) {
    Value& c = speed.field_ref(channel);
    if (!c.is_record()) c = Value::record();
    c.set_field("Data", Value::number(0));
  }
  return shock;
}

}  // namespace

gfx::Handle quorin_interface_v41(WindowContext& ctx) {
  gfx::Model& m = ctx.gfx;
  Globals& g = ctx.g;

  g.counter = 1;
  g.counter2 = 1;
  // Read ahead, the tables may still be parsed on the other core while the windows are made
  // and shown; they are in the globals before the sequence ends. A read ahead that failed
  // fails where they are taken, with the message reading them here would give.
  std::future<ValvingTables> tables = take_tables_ahead(ctx.folder);
  if (!tables.valid())
    store_valving_tables(g, read_valving_tables(ctx.folder));
  else if (tables.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
    store_valving_tables(g, tables.get());
  else  // a missing file still stops the sequence before any window is made
    require_file(ctx.folder, varfile_path(kValvingFile).string());
  const WindowData data(ctx.folder, kMainWindowFile, 22);

  gfx::Window& main = build_main_window(m, data);
  const gfx::Handle main_handle = main.handle();

  set_control(m, "USUnits", 1);
  set_control(m, "SIUnits", 0);
  set_control(m, "xmin", "0");
  set_control(m, "xmax", "10");
  set_control(m, "ymin", "-500");
  set_control(m, "ymax", "500");

  const gfx::Handle comparison = plotfigure(ctx);
  g.IDhandle = axes_by_tag(m, "ID").handle();
  gfx::Axes& plot = axes_by_tag(m, "plotwindow");
  g.plothandle = plot.handle();
  m.set_current_axes(g.plothandle);
  limits_and_grid(plot, {0, 10}, {-500, 500});
  annotate_axes(ctx, g.plothandle, "Damper Curve Comparison", "Velocity (inches/s)", "Force (lbs)");

  // The turn windows are built only to hold their axes until the balance needs them and are
  // closed again below: they are never drawn.
  gfx::Handle left, right;
  {
    const gfx::Model::DrawingHeld unseen(m);
    left = lht(ctx);
    prepare_turn_window(ctx, kLeftHandTurn, g.plothandle_lht, g.balance_lht, g.ID_lht);
    right = rht(ctx);
    prepare_turn_window(ctx, kRightHandTurn, g.plothandle_rht, g.balance_rht, g.ID_rht);
  }

  gfx::Window& own = m.figure(m.get<gfx::Window>(main_handle).number);
  show_logo(ctx, own, kMainLogoFile);

  g.pn = (ctx.folder / "data" / "").string();

  auto number_of = [&](gfx::Handle h) { return m.get<gfx::Window>(h).number; };
  m.figure(number_of(right));
  m.close_current();
  m.figure(number_of(left));
  m.close_current();
  m.figure(number_of(comparison));
  m.figure(number_of(main_handle));

  g.ShockData = zero_dyno_record(std::move(g.ShockData));
  g.import = Matrix{1, 3, {0, 0, 0}};
  if (tables.valid()) store_valving_tables(g, tables.get());
  return main_handle;
}

void read_valving_tables_ahead(const std::filesystem::path& folder) {
  TablesAhead& ahead = tables_ahead();
  std::lock_guard<std::mutex> hold(ahead.lock);
  ahead.tables = std::async(std::launch::async, read_valving_tables, folder);
  ahead.folder = folder;
}

void open_turn_windows(WindowContext& ctx) {
  Globals& g = ctx.g;
  gfx::Model& m = ctx.gfx;
  if (!m.valid(g.plothandle_lht) || !m.valid(g.balance_lht) || !m.valid(g.ID_lht)) {
    if (m.valid(g.plothandle_lht)) m.close(m.window_of(g.plothandle_lht).number);
    lht(ctx);
    prepare_turn_window(ctx, kLeftHandTurn, g.plothandle_lht, g.balance_lht, g.ID_lht);
  }
  if (!m.valid(g.plothandle_rht) || !m.valid(g.balance_rht) || !m.valid(g.ID_rht)) {
    if (m.valid(g.plothandle_rht)) m.close(m.window_of(g.plothandle_rht).number);
    rht(ctx);
    prepare_turn_window(ctx, kRightHandTurn, g.plothandle_rht, g.balance_rht, g.ID_rht);
  }
}

}  // namespace quorin
