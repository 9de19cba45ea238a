#include "windows/plotfigure.h"

#include <array>

#include "plotting/plotfunction.h"
#include "windows/window_data.h"

namespace quorin {
namespace {

using namespace windows;

constexpr std::string_view kDataFile = "plotfigure";
constexpr std::string_view kLogoFile = "logo_plot.bmp";
constexpr std::string_view kName = "Damper Curve Comparison";
constexpr std::string_view kTitle = "Damper Curve Comparison";
constexpr std::string_view kXLabel = "Velocity (inches/s)";
constexpr std::string_view kYLabel = "Force (lbs)";

constexpr gfx::Rect kPlotAxes{0.06770833333333333, 0.1048218029350105, 0.6497395833333333,
                              0.8301886792452831};
constexpr gfx::Rect kCompressionCaption{0.07552083333333333, 0.8867924528301887, 0.08203125,
                                        0.03144654088050315};
constexpr gfx::Rect kReboundCaption{0.07682291666666666, 0.1257861635220126,
                                    0.06119791666666666, 0.02515723270440252};
constexpr gfx::Rect kLogoAxes{0.78, 0.105, 0.1525, 0.095};

// The window is wider than the stored layout (see kComparisonPosition), and every object
// keeps its place and size on the screen, so the plot looks as before and the legend column
// gains the room.
constexpr double kStoredWidth = 600;  // points

void keep_places_in_wider_window(gfx::Model& m, gfx::Window& w, double factor) {
  auto narrow = [factor](gfx::Rect& r) {
    r.left *= factor;
    r.width *= factor;
  };
  for (gfx::Handle h : w.children()) {
    gfx::Object* o = m.find(h);
    if (auto* a = dynamic_cast<gfx::Axes*>(o); a && a->units == gfx::Units::Normalized)
      narrow(a->position);
    else if (auto* c = dynamic_cast<gfx::Control*>(o); c && c->units == gfx::Units::Normalized)
      narrow(c->position);
  }
}

// The six texts far outside the starting force range: they show only when the force axis
// reaches 4500 N or -9500 N.
struct FarText {
  std::string_view tag, string;
  double force;
};
constexpr std::array<FarText, 6> kFarTexts = {{
    {"plotwindowText2", "Rebound", -9500},
    {"plotwindowText1", "Compression", 4500},
    {"plotwindowText4", "Rebound", -9500},
    {"plotwindowText3", "Compression", 4500},
    {"plotwindowText6", "Rebound", -9500},
    {"plotwindowText5", "Compression", 4500},
}};

void axis_label(gfx::Text& t, std::string_view tag, std::string_view s,
                std::array<double, 3> at, std::string_view valign) {
  t.tag = tag;
  t.string = s;
  t.font_name = "times";
  t.font_angle = "italic";
  t.color = colour::black;
  t.horizontal_alignment = "center";
  t.vertical_alignment = valign;
  t.position = at;
  t.handle_visible = false;
}

}  // namespace

gfx::Handle plotfigure(WindowContext& ctx) {
  gfx::Model& m = ctx.gfx;
  const WindowData data(ctx.folder, kDataFile, 7);

  gfx::Window& w = new_plot_window(m, data, kName);
  const gfx::Handle window = w.handle();

  gfx::Axes& plot = m.new_axes(w);
  plot.tag = "plotwindow";
  plot.position = kPlotAxes;
  plot.box = true;
  plot.color = colour::white;
  plot.xgrid = plot.ygrid = plot.zgrid = true;
  plot.xlim = {0, 10};
  plot.ylim = {-500, 500};
  plot.xlim_manual = plot.ylim_manual = true;
  plot.color_order = data.colours(1);
  AxisTexts labels = axis_texts(m, plot);
  axis_label(labels.xlabel, "Axes1Text4", kXLabel, {4.990366088631984, -548.2897384305834, 0}, "cap");
  axis_label(labels.ylabel, "Axes1Text3", kYLabel, {-0.6936416184971099, -3.018108651911462, 0},
             "baseline");
  labels.ylabel.rotation = 90;
  axis_label(labels.zlabel, "Axes1Text2", "", {0, 0, 0}, "middle");
  labels.zlabel.visible = false;
  labels.zlabel.horizontal_alignment = "right";
  axis_label(labels.title, "Axes1Text1", kTitle, {4.990366088631984, 514.0845070422534, 0}, "bottom");

  for (const FarText& f : kFarTexts) {
    gfx::Text& t = m.new_text(plot, 0.005, f.force, std::string(f.string));
    t.tag = f.tag;
    t.font_name = "times";
    t.font_angle = "italic";
    t.font_size = 8;
    t.color = colour::black;
    // The corner captions already name both halves of the plot; these stay out of sight even
    // when the force axis reaches them, so no caption shows twice.
    t.visible = false;
  }

  gfx::Axes& id = m.new_axes(w);
  id.tag = "ID";
  id.position = data.rect(3);
  id.color = colour::white;
  id.color_order = data.colours(2);
  id.visible = false;
  AxisTexts id_texts = hidden_axis_texts(m, id, {"Axes2Text4", "Axes2Text3", "Axes2Text2", "Axes2Text1"});
  id_texts.zlabel.position = data.point(4);

  plot_caption(m, w, "Compression", kCompressionCaption, 0);
  plot_caption(m, w, "Rebound", kReboundCaption, 8);

  gfx::Axes& logo = logo_axes(m, w, data, {gfx::Units::Normalized, kLogoAxes, 167, 78, 5, 6});
  AxisTexts logo_texts = hidden_axis_texts(m, logo, {"Axes1Text8", "Axes1Text7", "Axes1Text6", "Axes1Text5"});
  logo_texts.ylabel.rotation = 90;

  keep_places_in_wider_window(m, w, kStoredWidth / kComparisonPosition.width);

  // The legend's lines stay apart at every size the window takes; it is never smaller than
  // the legend's longest line and its 28 lines need.
  w.min_width = kComparisonMinWidth;
  w.min_height = kComparisonMinHeight;
  const gfx::Handle legend = id.handle();
  gfx::Model* model = &m;
  w.layout = [model, legend](gfx::Window&) {
    if (auto* a = dynamic_cast<gfx::Axes*>(model->find(legend))) fit_legend(*model, *a);
  };

  // Shown at its final size, then the logo bitmap replaces the stored picture. Beside the
  // main window, so it hides no curve, where the screen has room for both.
  w.position = kComparisonPosition;
  if (const gfx::Window* main = m.window(1); main && main->units == gfx::Units::Pixels)
    if (const std::optional<FirstPlaces> places = first_places(main->position, m.screen))
      w.position = places->comparison;
  m.drawnow();
  gfx::Window& own = m.figure(m.get<gfx::Window>(window).number);
  show_logo(ctx, own, kLogoFile);
  return window;
}

}  // namespace quorin
