// Numerics the curves are built with: the not-a-knot cubic spline, minimum with position,
// ranges a:d:b, and number/text conversion.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "services/shared_array.h"

namespace quorin {

// Cubic spline through (x, y) with not-a-knot end conditions; two points give the straight
// line, three the parabola. Points are taken in ascending order of x together with their y.
// Throws RuntimeError when x and y differ in length, when fewer than two points are given or
// when an abscissa repeats.
//   on [x_i, x_{i+1}]: s(t) = a_i + b_i (t - x_i) + c_i (t - x_i)^2 + d_i (t - x_i)^3
class Spline {
 public:
  Spline(std::span<const double> x, std::span<const double> y);
  // Value at t; beyond the end points the end pieces are extended.
  double operator()(double t) const;
  // Values at many abscissae; each search for the piece starts from the previous one, so
  // ascending input costs O(1) per abscissa however many knots lie between two of them.
  std::vector<double> operator()(std::span<const double> t) const;

 private:
  // One buffer: the n knots, then a_i, b_i, c_i, d_i of each of the n - 1 pieces side by side.
  std::vector<double> buf_;
  std::size_t n_ = 0;
};

// spline(x, y, t): the spline through (x, y) evaluated at t. Builds the pieces in a workspace
// kept by the calling thread, so repeated calls of similar size allocate only the result.
std::vector<double> spline(std::span<const double> x, std::span<const double> y,
                           std::span<const double> t);

// Smallest element and its 1-based position (the first when several are equal).
// Throws RuntimeError on an empty row.
struct MinResult {
  double value;
  std::size_t position;
};
MinResult min_with_position(std::span<const double> v);

// The range a:d:b, built by index (a + k*d) with the exact number of points
// floor((b - a) / d + tolerance) + 1; empty when the range holds no point.
std::vector<double> range(double a, double d, double b);

// Shortest text that reads back to the same double; whole numbers without a decimal point,
// "NaN", "Inf", "-Inf".
std::string num2str(double v);

// A text as one number; nullopt when it is not exactly one number. Accepts leading and
// trailing blanks, decimal and exponent forms, Inf and NaN; never evaluates expressions.
std::optional<double> str2double(std::string_view s);

// A matrix of numbers held by column: each column is an array of its own, shared by every
// copy of the matrix and by every curve drawn from it (an import of a million rows is drawn
// from its own columns, never from copies of them).
struct Matrix {
  std::size_t rows = 0;
  std::size_t cols = 0;
  std::vector<SharedArray> columns;  // `cols` arrays of `rows` numbers; none when empty

  Matrix() = default;
  // From rows * cols numbers in row order; throws std::invalid_argument when they do not fit.
  Matrix(std::size_t rows, std::size_t cols, const std::vector<double>& row_order);

  // From rows * cols numbers in column order (as a variable holds them).
  static Matrix from_column_order(std::size_t rows, std::size_t cols,
                                  const std::vector<double>& column_order);

  double at(std::size_t r, std::size_t c) const { return columns[c][r]; }  // 0-based
  const SharedArray& column(std::size_t c) const { return columns.at(c); }
  std::vector<double> row_order() const;
  bool empty() const { return rows == 0 || cols == 0; }
};

// A text as a numeric matrix: numbers separated by blanks, tabs or commas, rows by line
// breaks or semicolons; blank lines are skipped. Returns nullopt when the text is not a matrix
// (a word, rows of unequal length); an empty or blank text gives the 0 by 0 matrix.
// A long text is read in `parts` stretches at once (0: as many as it is long in megabytes, up
// to one per processor); the matrix is the same however many.
std::optional<Matrix> str2matrix(std::string_view s, std::size_t parts = 0);

}  // namespace quorin
