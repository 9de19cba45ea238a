// The array value used at the program's dynamic edges: variable files, the generic entry of
// the function table, command-text inputs, the dyno record and the property facade.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "services/shared_array.h"

namespace quorin {

// One value: an empty or numeric array (dimensions plus doubles in column order), a text row,
// a record array with ordered field names, or a cell table. Indices are 1-based where the
// program indexes. Values are copied on assignment.
class Value {
 public:
  enum class Kind { Numeric, Text, Records, Cell };
  using Dims = std::vector<std::size_t>;

  Value();  // the empty numeric value [] (0 by 0)

  static Value number(double v);
  static Value row(std::vector<double> v);     // 1 by n
  static Value column(std::vector<double> v);  // n by 1
  // Any numeric array: `data` in column order, product of `dims` elements.
  static Value numeric(Dims dims, std::vector<double> data);
  static Value text(std::string s);
  static Value record();  // a single record without fields
  static Value records(Dims dims, std::vector<std::string> fields,
                       std::vector<std::vector<Value>> elements);
  static Value cell(std::size_t rows, std::size_t cols);  // filled with empty values
  static Value cell(Dims dims, std::vector<Value> elements);
  static Value text_list(const std::vector<std::string>& items);  // 1 by n cell of texts

  Kind kind() const { return kind_; }
  const Dims& dims() const { return dims_; }
  std::size_t numel() const;
  bool is_empty() const { return numel() == 0; }
  bool is_numeric() const { return kind_ == Kind::Numeric; }
  bool is_text() const { return kind_ == Kind::Text; }
  bool is_record() const { return kind_ == Kind::Records; }
  bool is_cell() const { return kind_ == Kind::Cell; }
  bool is_scalar() const { return kind_ == Kind::Numeric && numel() == 1; }

  // Numeric access. `scalar` throws RuntimeError unless this is a 1 by 1 number.
  double scalar() const;
  const std::vector<double>& numbers() const;  // throws unless numeric
  std::vector<double>& numbers();
  // The numbers as shared with the copies of this value (empty unless numeric).
  const SharedArray& shared_numbers() const { return numbers_; }
  double at(std::size_t i) const;  // 1-based linear index, throws when out of range

  // Text access; throws unless text.
  const std::string& str() const;

  // Records. A field read throws naming the field when absent.
  const std::vector<std::string>& field_names() const;
  bool has_field(std::string_view name) const;
  const Value& field(std::string_view name) const;  // of record 1
  // Sets a field of record 1, appending the field name when new (creation order kept).
  void set_field(std::string_view name, Value v);
  Value& field_ref(std::string_view name);  // creates an empty field when absent
  const Value& field_of(std::size_t element, std::string_view name) const;  // 1-based element
  std::vector<Value> element(std::size_t i) const;  // 1-based; values in field order

  // Cells (1-based, column order for the linear form).
  const Value& cell_at(std::size_t i) const;
  const Value& cell_at(std::size_t r, std::size_t c) const;
  Value& cell_ref(std::size_t i);
  const std::vector<Value>& cells() const;

  friend bool operator==(const Value& a, const Value& b);

 private:
  Kind kind_ = Kind::Numeric;
  Dims dims_{0, 0};
  SharedArray numbers_;
  std::string text_;
  std::vector<std::string> fields_;
  std::vector<std::vector<Value>> records_;  // one vector per element, aligned with fields_
  std::vector<Value> cells_;
};

// A short description of a value's kind and size for error messages ("1x3 double", "text").
std::string describe(const Value& v);

}  // namespace quorin
