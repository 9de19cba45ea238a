// Exact comparison of values for the fuzz targets: numbers compare by their bits (so -0 and 0
// differ) except that every NaN equals every other NaN.
#pragma once

#include <cmath>
#include <cstring>

#include "services/value.h"

namespace quorin::fuzz {

inline bool same_number(double a, double b) {
  if (std::isnan(a)) return std::isnan(b);
  return std::memcmp(&a, &b, sizeof a) == 0;
}

inline bool same_value(const Value& a, const Value& b) {
  if (a.kind() != b.kind() || a.dims() != b.dims()) return false;
  switch (a.kind()) {
    case Value::Kind::Numeric: {
      const auto& x = a.numbers();
      const auto& y = b.numbers();
      if (x.size() != y.size()) return false;
      for (std::size_t k = 0; k < x.size(); ++k)
        if (!same_number(x[k], y[k])) return false;
      return true;
    }
    case Value::Kind::Text:
      return a.str() == b.str();
    case Value::Kind::Records:
      if (a.field_names() != b.field_names()) return false;
      for (std::size_t e = 1; e <= a.numel(); ++e)
        for (const auto& name : a.field_names())
          if (!same_value(a.field_of(e, name), b.field_of(e, name))) return false;
      return true;
    case Value::Kind::Cell: {
      const auto& x = a.cells();
      const auto& y = b.cells();
      if (x.size() != y.size()) return false;
      for (std::size_t k = 0; k < x.size(); ++k)
        if (!same_value(x[k], y[k])) return false;
      return true;
    }
  }
  return false;
}

}  // namespace quorin::fuzz
