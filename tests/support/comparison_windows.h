// A hand-built main window (window 1) with the controls the plotting and the "view" action
// read, and a comparison window (window 2) with its curve and legend axes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "services/gfx/model.h"

namespace quorin::test_support {

struct ComparisonWindows {
  gfx::Handle plothandle, IDhandle;
};

inline gfx::Control& add_control(gfx::Model& m, gfx::Window& w, gfx::Control::Style style,
                                 std::string_view tag, std::string text = {}, double value = 0,
                                 std::vector<std::string> items = {}) {
  gfx::Control& c = m.new_control(w, style);
  c.tag = std::string(tag);
  c.string = std::move(text);
  c.value = value;
  c.items = std::move(items);
  return c;
}

// Window 1 with units radio buttons (SI selected when `si`), the hold boxes off and the limit
// boxes "0", "10", "-500", "500"; window 2 with the curve axes and the hidden legend axes.
// Window 1 is current at the end.
inline ComparisonWindows build_comparison_windows(gfx::Model& m, bool si = true) {
  using S = gfx::Control::Style;
  gfx::Window& main = m.figure(1);
  add_control(m, main, S::Radio, "SIUnits", "Metric", si ? 1 : 0);
  add_control(m, main, S::Radio, "USUnits", "Imperial", si ? 0 : 1);
  add_control(m, main, S::CheckBox, "holdimport", "Hold", 0);
  add_control(m, main, S::CheckBox, "holdroehrig", "Hold", 0);
  add_control(m, main, S::Edit, "xmin", "0");
  add_control(m, main, S::Edit, "xmax", "10");
  add_control(m, main, S::Edit, "ymin", "-500");
  add_control(m, main, S::Edit, "ymax", "500");

  gfx::Window& plot = m.figure(2);
  gfx::Axes& curves = m.new_axes(plot);
  curves.tag = "plotwindow";
  gfx::Axes& legend = m.new_axes(plot);
  legend.tag = "ID";
  legend.visible = false;
  ComparisonWindows out{curves.handle(), legend.handle()};
  m.figure(1);
  return out;
}

inline gfx::Control& main_control(gfx::Model& m, std::string_view tag) {
  for (gfx::Object* o : m.find_all_by_tag(*m.window(1), tag))
    if (auto* c = dynamic_cast<gfx::Control*>(o)) return *c;
  throw std::logic_error("no control " + std::string(tag));
}

}  // namespace quorin::test_support
