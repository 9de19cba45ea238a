#include "services/value.h"

#include <algorithm>
#include <functional>
#include <numeric>

#include "services/runtime_error.h"

namespace quorin {
namespace {

std::size_t product(const Value::Dims& d) {
  return std::accumulate(d.begin(), d.end(), std::size_t{1}, std::multiplies<>());
}

std::string dims_text(const Value::Dims& d) {
  std::string s;
  for (std::size_t i = 0; i < d.size(); ++i) s += (i ? "x" : "") + std::to_string(d[i]);
  return s;
}

}  // namespace

Value::Value() = default;

Value Value::number(double v) { return numeric({1, 1}, {v}); }

Value Value::row(std::vector<double> v) {
  Dims d{1, v.size()};
  if (v.empty()) d = {0, 0};
  return numeric(d, std::move(v));
}

Value Value::column(std::vector<double> v) {
  Dims d{v.size(), 1};
  if (v.empty()) d = {0, 0};
  return numeric(d, std::move(v));
}

Value Value::numeric(Dims dims, std::vector<double> data) {
  if (dims.size() < 2 || product(dims) != data.size())
    throw RuntimeError("numeric array of size " + dims_text(dims) + " cannot hold " +
                       std::to_string(data.size()) + " elements");
  Value v;
  v.dims_ = std::move(dims);
  v.numbers_ = std::move(data);
  return v;
}

Value Value::text(std::string s) {
  Value v;
  v.kind_ = Kind::Text;
  v.dims_ = {s.empty() ? 0u : 1u, s.size()};
  v.text_ = std::move(s);
  return v;
}

Value Value::record() {
  Value v;
  v.kind_ = Kind::Records;
  v.dims_ = {1, 1};
  v.records_.resize(1);
  return v;
}

Value Value::records(Dims dims, std::vector<std::string> fields,
                     std::vector<std::vector<Value>> elements) {
  if (dims.size() < 2 || product(dims) != elements.size())
    throw RuntimeError("record array of size " + dims_text(dims) + " cannot hold " +
                       std::to_string(elements.size()) + " records");
  for (auto& e : elements)
    if (e.size() != fields.size()) throw RuntimeError("record does not match its field names");
  Value v;
  v.kind_ = Kind::Records;
  v.dims_ = std::move(dims);
  v.fields_ = std::move(fields);
  v.records_ = std::move(elements);
  return v;
}

Value Value::cell(std::size_t rows, std::size_t cols) {
  return cell({rows, cols}, std::vector<Value>(rows * cols));
}

Value Value::cell(Dims dims, std::vector<Value> elements) {
  if (dims.size() < 2 || product(dims) != elements.size())
    throw RuntimeError("cell table of size " + dims_text(dims) + " cannot hold " +
                       std::to_string(elements.size()) + " elements");
  Value v;
  v.kind_ = Kind::Cell;
  v.dims_ = std::move(dims);
  v.cells_ = std::move(elements);
  return v;
}

Value Value::text_list(const std::vector<std::string>& items) {
  std::vector<Value> cells;
  cells.reserve(items.size());
  for (const auto& s : items) cells.push_back(text(s));
  return cell({items.empty() ? 0u : 1u, items.size()}, std::move(cells));
}

std::size_t Value::numel() const {
  switch (kind_) {
    case Kind::Numeric: return numbers_.size();
    case Kind::Text: return text_.size();
    case Kind::Records: return records_.size();
    case Kind::Cell: return cells_.size();
  }
  return 0;
}

double Value::scalar() const {
  if (kind_ != Kind::Numeric || numbers_.size() != 1)
    throw RuntimeError("expected a number, found " + describe(*this));
  return numbers_[0];
}

const std::vector<double>& Value::numbers() const {
  if (kind_ != Kind::Numeric) throw RuntimeError("expected numbers, found " + describe(*this));
  return numbers_;
}

std::vector<double>& Value::numbers() {
  if (kind_ != Kind::Numeric) throw RuntimeError("expected numbers, found " + describe(*this));
  return numbers_.edit();
}

double Value::at(std::size_t i) const {
  const auto& n = numbers();
  if (i < 1 || i > n.size())
    throw RuntimeError("Index exceeds array dimensions: element " + std::to_string(i) + " of " +
                       std::to_string(n.size()));
  return n[i - 1];
}

const std::string& Value::str() const {
  if (kind_ != Kind::Text) {
    static const std::string empty;
    if (kind_ == Kind::Numeric && numbers_.empty()) return empty;
    throw RuntimeError("expected a text, found " + describe(*this));
  }
  return text_;
}

const std::vector<std::string>& Value::field_names() const {
  if (kind_ != Kind::Records) throw RuntimeError("expected a record, found " + describe(*this));
  return fields_;
}

bool Value::has_field(std::string_view name) const {
  return kind_ == Kind::Records && std::find(fields_.begin(), fields_.end(), name) != fields_.end();
}

const Value& Value::field_of(std::size_t element, std::string_view name) const {
  const auto& f = field_names();
  auto it = std::find(f.begin(), f.end(), name);
  if (it == f.end()) throw RuntimeError("Reference to non-existent field '" + std::string(name) + "'.");
  if (element < 1 || element > records_.size())
    throw RuntimeError("Index exceeds array dimensions: record " + std::to_string(element) +
                       " of " + std::to_string(records_.size()));
  return records_[element - 1][static_cast<std::size_t>(it - f.begin())];
}

const Value& Value::field(std::string_view name) const { return field_of(1, name); }

Value& Value::field_ref(std::string_view name) {
  if (kind_ != Kind::Records) *this = record();
  if (records_.empty()) {
    records_.resize(1);
    dims_ = {1, 1};
  }
  auto it = std::find(fields_.begin(), fields_.end(), name);
  if (it == fields_.end()) {
    fields_.emplace_back(name);
    for (auto& r : records_) r.emplace_back();
    return records_[0].back();
  }
  return records_[0][static_cast<std::size_t>(it - fields_.begin())];
}

void Value::set_field(std::string_view name, Value v) { field_ref(name) = std::move(v); }

std::vector<Value> Value::element(std::size_t i) const {
  field_names();
  if (i < 1 || i > records_.size())
    throw RuntimeError("Index exceeds array dimensions: record " + std::to_string(i) + " of " +
                       std::to_string(records_.size()));
  return records_[i - 1];
}

const Value& Value::cell_at(std::size_t i) const {
  const auto& c = cells();
  if (i < 1 || i > c.size())
    throw RuntimeError("Index exceeds array dimensions: cell " + std::to_string(i) + " of " +
                       std::to_string(c.size()));
  return c[i - 1];
}

const Value& Value::cell_at(std::size_t r, std::size_t c) const {
  cells();
  if (r < 1 || c < 1 || r > dims_[0] || c > dims_[1])
    throw RuntimeError("Index exceeds array dimensions: cell {" + std::to_string(r) + "," +
                       std::to_string(c) + "} of " + dims_text(dims_));
  return cells_[(c - 1) * dims_[0] + (r - 1)];
}

Value& Value::cell_ref(std::size_t i) {
  cells();
  if (i < 1 || i > cells_.size())
    throw RuntimeError("Index exceeds array dimensions: cell " + std::to_string(i));
  return cells_[i - 1];
}

const std::vector<Value>& Value::cells() const {
  if (kind_ != Kind::Cell) throw RuntimeError("expected a cell table, found " + describe(*this));
  return cells_;
}

bool operator==(const Value& a, const Value& b) {
  return a.kind_ == b.kind_ && a.dims_ == b.dims_ && a.numbers_ == b.numbers_ &&
         a.text_ == b.text_ && a.fields_ == b.fields_ && a.records_ == b.records_ &&
         a.cells_ == b.cells_;
}

std::string describe(const Value& v) {
  switch (v.kind()) {
    case Value::Kind::Numeric: return v.is_empty() ? "an empty value" : dims_text(v.dims()) + " double";
    case Value::Kind::Text: return "text";
    case Value::Kind::Records: return dims_text(v.dims()) + " record";
    case Value::Kind::Cell: return dims_text(v.dims()) + " cell";
  }
  return "value";
}

}  // namespace quorin
