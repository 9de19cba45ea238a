#include "plotting/clearfunction.h"
#include "plotting/plotfunction.h"
#include "services/runtime_error.h"
#include "startup/entries.h"
#include "startup/program.h"

namespace quorin::entries {
namespace {

const Value& given(const std::optional<Value>& in, const char* name) {
  if (!in) throw RuntimeError(std::string("Undefined function or variable '") + name + "'.");
  return *in;
}

double number_in(const std::optional<Value>& in, const char* function, const char* name) {
  const Value& v = given(in, name);
  if (!v.is_scalar())
    throw RuntimeError(std::string(function) + ": " + name + " must be a number, found " +
                       describe(v) + ".");
  return v.scalar();
}

// An axis limit: a number, or an empty value when its box held no number.
std::optional<double> limit_in(const std::optional<Value>& in, const char* name) {
  const Value& v = given(in, name);
  if (v.is_numeric() && v.is_empty()) return std::nullopt;
  if (!v.is_scalar())
    throw RuntimeError(std::string("clearfunction: ") + name + " must be a number, found " +
                       describe(v) + ".");
  return v.scalar();
}

gfx::Handle handle_in(const std::optional<Value>& in, const char* name) {
  return gfx::Handle{number_in(in, "plotfunction", name)};
}

// A numeric matrix (rows by columns, column order in the value).
Matrix matrix_in(const std::optional<Value>& in, const char* name) {
  const Value& v = given(in, name);
  if (!v.is_numeric() || v.dims().size() != 2)
    throw RuntimeError(std::string("plotfunction: ") + name + " must be a numeric matrix, found " +
                       describe(v) + ".");
  return Matrix::from_column_order(v.dims()[0], v.dims()[1], v.numbers());
}

}  // namespace

std::vector<Value> clearfunction(Program& program, int, Inputs& inputs) {
  const auto xmin = limit_in(inputs[0], "xmin");
  const auto xmax = limit_in(inputs[1], "xmax");
  const auto ymin = limit_in(inputs[2], "ymin");
  const auto ymax = limit_in(inputs[3], "ymax");
  const double siunits = number_in(inputs[4], "clearfunction", "siunits");
  quorin::clearfunction(program.gfx, xmin, xmax, ymin, ymax, siunits);
  return {};
}

std::vector<Value> plotfunction(Program& program, int, Inputs& inputs) {
  const std::vector<DamperCurve> plotdata = plotdata_from_value(given(inputs[0], "plotdata"));
  const gfx::Handle plothandle = handle_in(inputs[1], "plothandle");
  const gfx::Handle IDhandle = handle_in(inputs[2], "IDhandle");
  const double counter = number_in(inputs[3], "plotfunction", "counter");
  const Matrix import = matrix_in(inputs[4], "import");
  const Value& ShockData = given(inputs[5], "ShockData");
  quorin::plotfunction(program.gfx, plotdata, plothandle, IDhandle, counter, import, ShockData,
                       &program.console);
  return {};
}

}  // namespace quorin::entries
