// "view": synthesises the compression and rebound curves of the selected set-up, stores them
// as record `counter` of plotdata and redraws the comparison window.
#include <string>

#include "plotting/plotfunction.h"
#include "processor/bleed_data.h"
#include "processor/processor.h"
#include "processor/synthesis.h"
#include "services/gfx/window_places.h"

namespace quorin::actions {
namespace {

// At most this many curves are overlaid.
constexpr double kOverlayLimit = 7;

// Puts the busy pointer on the window the action started in and takes it off again however
// the action ends.
class BusyPointer {
 public:
  explicit BusyPointer(gfx::Model& m) : m_(m) {
    if (gfx::Window* w = m.current_window()) {
      number_ = w->number;
      w->pointer = "watch";
      m.touch();
    }
  }
  ~BusyPointer() {
    if (gfx::Window* w = number_ ? m_.window(number_) : nullptr) {
      w->pointer = "arrow";
      m_.touch();
    }
  }
  BusyPointer(const BusyPointer&) = delete;
  BusyPointer& operator=(const BusyPointer&) = delete;

 private:
  gfx::Model& m_;
  int number_ = 0;
};

// Where the comparison window and the window PLOT was pressed in cover each other (a
// screen too small for both side by side), the curves just plotted come to the front; the
// main window stays the current one.
void show_plot_in_front(gfx::Model& m, gfx::Handle plot) {
  const gfx::Window* current = m.current_window();
  if (!current || !m.valid(plot)) return;
  const gfx::Window& shown = m.window_of(plot);
  if (&shown == current) return;
  if (gfx::overlap(gfx::in_pixels(shown, m.screen), gfx::in_pixels(*current, m.screen)))
    m.raise(shown.number);
}

}  // namespace

void view(Processor& p) {
  Globals& g = p.g;
  if (g.counter > kOverlayLimit) {
    p.warningct();
    return;
  }
  BusyPointer busy(p.gfx);
  gfx::Model& m = p.gfx;

  // The selections, as the main window shows them.
  const SetupSelection setup = read_setup(m);
  g.mrstr = setup.motion_ratio_text;
  g.cbleedvalue = setup.compression.bleed_value;
  g.cbleed = setup.compression.bleed_text;
  g.cspring = setup.compression.spring_text;
  g.chigh = setup.compression.high_text;
  g.cvalve = setup.compression.valve_text;
  g.rbleed = setup.rebound.bleed_text;
  g.rspring = setup.rebound.spring_text;
  g.rhigh = setup.rebound.high_text;
  g.rvalve = setup.rebound.valve_text;

  // Everything is checked and computed before the record is stored, so a failure leaves the
  // stored curves and the counters as they were.
  check_setup(setup, g.counter);
  const BleedData fresh_bleeds = p.bleed_cache ? BleedData{} : read_bleed_data(p.current_folder);
  const BleedData& bleeds = p.bleed_cache ? p.bleed_cache->get(p.current_folder) : fresh_bleeds;
  const UnitFactors units = g.siunits == 1 ? kSIFactors : kUSFactors;
  DamperCurve rec = synthesise_setup(setup, g, bleeds, units, g.counter);
  const double i = g.counter;

  // Store: elements at or above counter are stale and are overwritten.
  g.sitous_vel = units.velocity;
  g.sitous_force = units.force;
  const auto index = static_cast<std::size_t>(i);
  if (g.plotdata.size() < index) g.plotdata.resize(index);
  g.plotdata[index - 1] = std::move(rec);
  g.counter += 1;
  g.counter2 += 1;

  plotfunction(m, g.plotdata, g.plothandle, g.IDhandle, g.counter, g.import, g.ShockData,
               &p.console);
  if (gfx::Window* w = m.current_window()) w->pointer = "arrow";
  show_plot_in_front(m, g.plothandle);
}

}  // namespace quorin::actions
