#include "windows/turn_window.h"

#include "windows/window_data.h"

namespace quorin {
namespace {

using namespace windows;

constexpr gfx::Rect kKeyAxes{0.73, 0.08, 0.25, 0.88};
// The force axes' velocity label and tick labels need room above the balance axes even at
// the window's least height: the force axes end higher than the stored layout has them,
// with the "Rebound" caption in their lower-left corner as before.
constexpr gfx::Rect kForceAxes{0.08, 0.44, 0.65, 0.52};
constexpr gfx::Rect kBalanceAxes{0.0794270833333333, 0.079664570230608, 0.651041666666667,
                                 0.249475890985325};
constexpr gfx::Rect kReboundCaption{0.08463541666666666, 0.4507442348008386, 0.08333333333333333,
                                    0.02935010482180294};
constexpr gfx::Rect kLogoAxes{0.78, 0.105, 0.1525, 0.095};

constexpr std::string_view kForceLabel = "Force (lbs)";
constexpr std::string_view kVelocityLabel = "Velocity (inches/s)";
constexpr std::string_view kFrontLabel = "% Front";
constexpr std::string_view kLogoFile = "logo_plot.bmp";

// Each axis text of the turn windows: black, centred, hidden from searches.
void plain_text(gfx::Text& t, std::string_view s, bool shown) {
  t.string = s;
  t.color = colour::black;
  t.horizontal_alignment = "center";
  t.handle_visible = false;
  t.visible = shown;
  if (!s.empty()) {
    t.font_name = "times";
    t.font_angle = "italic";
  }
}

void label_axes(gfx::Model& m, gfx::Axes& a, std::string_view title, std::string_view xlabel,
                std::string_view ylabel, bool shown) {
  AxisTexts t = axis_texts(m, a);
  plain_text(t.xlabel, xlabel, shown);
  plain_text(t.ylabel, ylabel, shown);
  t.ylabel.rotation = 90;
  plain_text(t.zlabel, "", false);
  plain_text(t.title, title, shown);
}

gfx::Axes& plot_axes(gfx::Model& m, gfx::Window& w, std::string_view tag, const gfx::Rect& pos,
                     std::array<double, 2> ylim, gfx::Colormap order) {
  gfx::Axes& a = m.new_axes(w);
  a.tag = tag;
  a.position = pos;
  a.box = true;
  a.xgrid = a.ygrid = a.zgrid = true;
  a.xlim = {0, 10};
  a.ylim = ylim;
  a.xlim_manual = a.ylim_manual = true;
  a.font_name = "times";
  a.font_size = 8;
  a.color_order = std::move(order);
  return a;
}

}  // namespace

gfx::Handle build_turn_window(WindowContext& ctx, const TurnWindowDesign& d) {
  gfx::Model& m = ctx.gfx;
  const WindowData data(ctx.folder, d.data_file, d.variables);

  gfx::Window& w = new_plot_window(m, data, d.name);
  const gfx::Handle window = w.handle();

  gfx::Axes& key = m.new_axes(w);
  key.tag = d.key_tag;
  key.position = kKeyAxes;
  key.visible = false;
  key.color_order = data.colours(1);
  label_axes(m, key, "", "", "", false);

  gfx::Axes& force = plot_axes(m, w, d.plot_tag, kForceAxes, {-500, 500}, data.colours(2));
  label_axes(m, force, d.name, "", kForceLabel, true);

  plot_caption(m, w, "Compression", d.compression_caption, d.compression_font_size);

  gfx::Axes& balance = plot_axes(m, w, d.balance_tag, kBalanceAxes, {0, 100}, data.colours(3));
  label_axes(m, balance, "", kVelocityLabel, kFrontLabel, true);

  plot_caption(m, w, "Rebound", kReboundCaption, 8);

  gfx::Axes& logo = logo_axes(m, w, data, {gfx::Units::Normalized, kLogoAxes, 167, 78, 4, 5});
  label_axes(m, logo, "", "", "", false);
  if (d.logo_xlabel_position) axis_texts(m, logo).xlabel.position = data.point(6);

  // Shown at its final size, then the logo bitmap replaces the stored picture.
  w.position = kPlotWindowPosition;
  m.drawnow();
  gfx::Window& own = m.figure(m.get<gfx::Window>(window).number);
  show_logo(ctx, own, kLogoFile);
  return window;
}

}  // namespace quorin
