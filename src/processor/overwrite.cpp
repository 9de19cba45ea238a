// "UPDATE #": rebuilds the stored curve whose number is in the curveselect box from the
// current main-window settings, in place, and redraws all curves. A number that names no
// stored curve is refused.
#include <cmath>
#include <string>

#include "plotting/plotfunction.h"
#include "processor/processor.h"
#include "services/numeric.h"
#include "services/runtime_error.h"

namespace quorin::actions {
namespace {

// Puts the curve counter back however the nested PLOT ends.
class CounterRestore {
 public:
  CounterRestore(double& counter, double reset) : counter_(counter), reset_(reset) {}
  ~CounterRestore() { counter_ = reset_; }
  CounterRestore(const CounterRestore&) = delete;
  CounterRestore& operator=(const CounterRestore&) = delete;

 private:
  double& counter_;
  double reset_;
};

// The curve number typed into the box: a whole number from 1 up. Anything else would make
// the nested PLOT store its record at no curve's place, so it is refused here.
double curve_number(const std::string& text) {
  const auto n = str2double(text);
  if (!n || !std::isfinite(*n) || *n < 1 || *n != std::floor(*n))
    throw RuntimeError("The curveselect box's \"" + text + "\" is not a curve number.");
  return *n;
}

}  // namespace

void overwrite(Processor& p) {
  Globals& g = p.g;
  const double curveselect = curve_number(control_by_tag(p.gfx, "curveselect").string);
  // Only a stored curve can be updated; a PLOT into a free place would store a curve that is
  // neither drawn nor counted.
  require_stored_curve(curveselect, g.counter, "update");
  {
    const double reset = g.counter;
    CounterRestore restore(g.counter, reset);
    g.counter = curveselect;
    // Through the dispatcher, so the limits and unit flags are read afresh as for PLOT.
    quorin_processor_ct(p, "view");
  }
  plotfunction(p.gfx, g.plotdata, g.plothandle, g.IDhandle, g.counter, g.import, g.ShockData,
               &p.console);
}

}  // namespace quorin::actions
