#include "processor/globals.h"

#include "services/runtime_error.h"

namespace quorin {

const std::vector<double>* ValvingTable::entry(std::size_t v, std::size_t s, std::size_t h) const {
  if (v < 1 || s < 1 || v > valves || s > springs) return nullptr;
  const auto& cell = cells[(s - 1) * valves + (v - 1)];
  if (h < 1 || h > cell.size() || cell[h - 1].empty()) return nullptr;
  return &cell[h - 1];
}

ValvingTable valving_table_from_value(const Value& v, const std::string& what) {
  if (!v.is_cell() || v.dims().size() != 2)
    throw RuntimeError(what + " is not a two-dimensional cell table");
  ValvingTable t;
  t.valves = v.dims()[0];
  t.springs = v.dims()[1];
  t.cells.resize(t.valves * t.springs);
  for (std::size_t s = 1; s <= t.springs; ++s) {
    for (std::size_t r = 1; r <= t.valves; ++r) {
      const Value& c = v.cell_at(r, s);
      auto& out = t.cells[(s - 1) * t.valves + (r - 1)];
      if (c.is_numeric() && c.is_empty()) continue;
      if (!c.is_record() || !c.has_field("data"))
        throw RuntimeError(what + "{" + std::to_string(r) + "," + std::to_string(s) +
                           "} is not a record array with the field data");
      out.reserve(c.numel());
      for (std::size_t h = 1; h <= c.numel(); ++h) {
        const Value& d = c.field_of(h, "data");
        if (!d.is_numeric())
          throw RuntimeError(what + "{" + std::to_string(r) + "," + std::to_string(s) + "}(" +
                             std::to_string(h) + ").data is not a row of numbers");
        out.push_back(d.numbers());
      }
    }
  }
  return t;
}

Value to_value(const ValvingTable& t) {
  std::vector<Value> cells;
  cells.reserve(t.cells.size());
  for (const auto& cell : t.cells) {
    if (cell.empty()) {
      cells.emplace_back();
      continue;
    }
    std::vector<std::vector<Value>> elements;
    for (const auto& row : cell) elements.push_back({Value::row(row)});
    const std::size_t n = elements.size();  // before the elements are moved away
    cells.push_back(Value::records({1, n}, {"data"}, std::move(elements)));
  }
  return Value::cell({t.valves, t.springs}, std::move(cells));
}

}  // namespace quorin
