#include <optional>
#include <string>

#include "balance/forcebalance.h"
#include "plotting/damper_curve.h"
#include "processor/balance_corners.h"
#include "services/runtime_error.h"
#include "startup/entries.h"
#include "startup/program.h"

namespace quorin::entries {
namespace {

using BalanceFunction = void (*)(gfx::Model&, std::span<const CornerCurves>, const BalanceAxes&,
                                 const BalanceLimits&);

const Value& given(const std::optional<Value>& in, const char* name) {
  if (!in) throw RuntimeError(std::string("Undefined function or variable '") + name + "'.");
  return *in;
}

gfx::Handle handle_in(const std::optional<Value>& in, const char* function, const char* name) {
  const Value& v = given(in, name);
  if (!v.is_scalar())
    throw RuntimeError(std::string(function) + ": " + name + " must be an axes handle, found " +
                       describe(v) + ".");
  return gfx::Handle{v.scalar()};
}

// An axis limit: a number, or an empty value when its box held no number.
std::optional<double> limit_in(const std::optional<Value>& in, const char* function,
                               const char* name) {
  const Value& v = given(in, name);
  if (v.is_numeric() && v.is_empty()) return std::nullopt;
  if (!v.is_scalar())
    throw RuntimeError(std::string(function) + ": " + name + " must be a number, found " +
                       describe(v) + ".");
  return v.scalar();
}

// The eleven inputs: plotdata, the six turn-window axes, xmin, xmax, ymin, ymax.
std::vector<Value> run_balance(Program& program, Inputs& inputs, const char* function,
                               BalanceFunction draw) {
  const std::vector<DamperCurve> plotdata = plotdata_from_value(given(inputs[0], "plotdata"));
  const BalanceAxes axes{handle_in(inputs[1], function, "plothandle_lht"),
                         handle_in(inputs[2], function, "balance_lht"),
                         handle_in(inputs[3], function, "ID_lht"),
                         handle_in(inputs[4], function, "plothandle_rht"),
                         handle_in(inputs[5], function, "balance_rht"),
                         handle_in(inputs[6], function, "ID_rht")};
  const BalanceLimits limits{
      limit_in(inputs[7], function, "xmin"), limit_in(inputs[8], function, "xmax"),
      limit_in(inputs[9], function, "ymin"), limit_in(inputs[10], function, "ymax")};
  draw(program.gfx, corner_curves(plotdata), axes, limits);
  return {};
}

}  // namespace

std::vector<Value> forcebalanceimperial(Program& program, int, Inputs& inputs) {
  return run_balance(program, inputs, "forcebalanceimperial", quorin::forcebalanceimperial);
}

std::vector<Value> forcebalancemetric(Program& program, int, Inputs& inputs) {
  return run_balance(program, inputs, "forcebalancemetric", quorin::forcebalancemetric);
}

}  // namespace quorin::entries
