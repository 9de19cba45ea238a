#include "plotting/damper_curve.h"

#include "services/runtime_error.h"

namespace quorin {
namespace {

Value row_value(const std::vector<double>& v) { return Value::row(v); }

std::vector<double> row_of(const Value& v, std::string_view field) {
  if (!v.is_numeric()) throw RuntimeError("plotdata field " + std::string(field) + " is not numeric");
  return v.numbers();
}

double scalar_of(const Value& v, std::string_view field) {
  if (!v.is_scalar()) throw RuntimeError("plotdata field " + std::string(field) + " is not a number");
  return v.scalar();
}

std::string text_of(const Value& v, std::string_view field) {
  if (!v.is_text() && !(v.is_numeric() && v.is_empty()))
    throw RuntimeError("plotdata field " + std::string(field) + " is not a text");
  return v.str();
}

}  // namespace

Value to_value(const std::vector<DamperCurve>& plotdata) {
  std::vector<std::string> fields(kDamperCurveFields.begin(), kDamperCurveFields.end());
  std::vector<std::vector<Value>> elements;
  elements.reserve(plotdata.size());
  for (const auto& p : plotdata) {
    elements.push_back({row_value(p.cmpvelocity), row_value(p.cmpforce), row_value(p.rebvelocity),
                        row_value(p.rebforce), Value::number(p.compscale),
                        Value::number(p.rebscale), Value::number(p.gasforce),
                        Value::number(p.motionratio), row_value(p.compression_velocity),
                        row_value(p.compression_force), row_value(p.rebound_velocity),
                        row_value(p.rebound_force), Value::text(p.curveIDcompression1),
                        Value::text(p.curveIDcompression2), Value::text(p.curveIDrebound1),
                        Value::text(p.curveIDrebound2)});
  }
  if (elements.empty()) return Value();
  const std::size_t n = elements.size();  // before the elements are moved away
  return Value::records({1, n}, std::move(fields), std::move(elements));
}

std::vector<DamperCurve> plotdata_from_value(const Value& v) {
  std::vector<DamperCurve> out;
  if (v.is_numeric() && v.is_empty()) return out;
  if (!v.is_record()) throw RuntimeError("plotdata is not a record array");
  for (std::size_t i = 1; i <= v.numel(); ++i) {
    auto f = [&](std::string_view name) -> const Value& { return v.field_of(i, name); };
    DamperCurve p;
    p.cmpvelocity = row_of(f("cmpvelocity"), "cmpvelocity");
    p.cmpforce = row_of(f("cmpforce"), "cmpforce");
    p.rebvelocity = row_of(f("rebvelocity"), "rebvelocity");
    p.rebforce = row_of(f("rebforce"), "rebforce");
    p.compscale = scalar_of(f("compscale"), "compscale");
    p.rebscale = scalar_of(f("rebscale"), "rebscale");
    p.gasforce = scalar_of(f("gasforce"), "gasforce");
    p.motionratio = scalar_of(f("motionratio"), "motionratio");
    p.compression_velocity = row_of(f("compression_velocity"), "compression_velocity");
    p.compression_force = row_of(f("compression_force"), "compression_force");
    p.rebound_velocity = row_of(f("rebound_velocity"), "rebound_velocity");
    p.rebound_force = row_of(f("rebound_force"), "rebound_force");
    p.curveIDcompression1 = text_of(f("curveIDcompression1"), "curveIDcompression1");
    p.curveIDcompression2 = text_of(f("curveIDcompression2"), "curveIDcompression2");
    p.curveIDrebound1 = text_of(f("curveIDrebound1"), "curveIDrebound1");
    p.curveIDrebound2 = text_of(f("curveIDrebound2"), "curveIDrebound2");
    out.push_back(std::move(p));
  }
  return out;
}

}  // namespace quorin
