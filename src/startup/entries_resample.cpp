#include "processor/resample.h"
#include "services/runtime_error.h"
#include "startup/entries.h"
#include "startup/program.h"

namespace quorin::entries {
namespace {

const Value& given(const std::optional<Value>& in, const char* name) {
  if (!in) throw RuntimeError(std::string("Undefined function or variable '") + name + "'.");
  return *in;
}

// A row or column of numbers given to a resampling function.
const std::vector<double>& numbers_in(const std::optional<Value>& in, const char* function,
                                      const char* name) {
  const Value& v = given(in, name);
  if (!v.is_numeric())
    throw RuntimeError(std::string(function) + ": " + name + " must be numbers, found " +
                       describe(v) + ".");
  return v.numbers();
}

// A result shaped like the input it was evaluated at (a column stays a column).
Value shaped_like(const Value& like, std::vector<double> data) {
  const auto& d = like.dims();
  if (d.size() == 2 && d[1] == 1 && d[0] == data.size()) return Value::column(std::move(data));
  return Value::row(std::move(data));
}

}  // namespace

std::vector<Value> bleed(Program&, int, Inputs& inputs) {
  const auto& x = numbers_in(inputs[0], "bleed", "xmeasured");
  const auto& y = numbers_in(inputs[1], "bleed", "ymeasured");
  const auto& ystep = numbers_in(inputs[2], "bleed", "ystep");
  BleedResult r = quorin::bleed(x, y, ystep);
  return {shaped_like(*inputs[2], std::move(r.xspline)), Value::row(std::move(r.yspline))};
}

std::vector<Value> correction(Program&, int, Inputs& inputs) {
  const auto& var = numbers_in(inputs[0], "correction", "var");
  return {shaped_like(*inputs[0], quorin::correction(var))};
}

std::vector<Value> curve(Program&, int, Inputs& inputs) {
  const auto& x = numbers_in(inputs[0], "curve", "xmeasured");
  const auto& y = numbers_in(inputs[1], "curve", "ymeasured");
  const auto& ystep = numbers_in(inputs[2], "curve", "ystep");
  CurveResult r = quorin::curve(x, y, ystep);
  return {shaped_like(*inputs[2], std::move(r.xspline)), Value::row(std::move(r.yspline)),
          Value::row(std::move(r.step))};
}

}  // namespace quorin::entries
