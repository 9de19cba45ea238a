#include "services/numeric.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <numeric>
#include <system_error>

#include "services/runtime_error.h"

namespace quorin {
namespace {

constexpr double kEps = std::numeric_limits<double>::epsilon();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

const char* const kSplineLengths = "The abscissae and ordinates of a spline must have the same length.";
const char* const kSplineTooFew = "A spline needs at least two points.";
const char* const kSplineDistinct = "The abscissae of a spline must be distinct.";
const char* const kSplineNotNumber = "The abscissae of a spline must be finite numbers.";

// Solves a tridiagonal system in place (Thomas algorithm). Row i reads
//   sub[i] u[i-1] + diag[i] u[i] + sup[i] u[i+1] = rhs[i];
// the solution is left in rhs. The callers hand in diagonally dominant systems, so no pivoting
// is needed.
void solve_tridiagonal(std::vector<double>& sub, std::vector<double>& diag,
                       std::vector<double>& sup, std::vector<double>& rhs) {
  const std::size_t n = diag.size();
  for (std::size_t i = 1; i < n; ++i) {
    const double w = sub[i] / diag[i - 1];
    diag[i] -= w * sup[i - 1];
    rhs[i] -= w * rhs[i - 1];
  }
  rhs[n - 1] /= diag[n - 1];
  for (std::size_t i = n - 1; i-- > 0;) rhs[i] = (rhs[i] - sup[i] * rhs[i + 1]) / diag[i];
}

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  return s;
}

bool iequals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Checks that `s` (no sign) is digits[.digits][e[+-]digits] with at least one mantissa digit,
// and reports the power of ten of the leading non-zero digit (for out-of-range results).
bool decimal_form(std::string_view s, long long& lead_power, bool& all_zero) {
  std::size_t i = 0, int_digits = 0, frac_digits = 0;
  long long first_nonzero = 0;  // power of ten of the first non-zero mantissa digit
  all_zero = true;
  while (i < s.size() && is_digit(s[i])) {
    if (all_zero && s[i] != '0') all_zero = false;
    ++int_digits, ++i;
  }
  // integer part: the leading non-zero digit's power is the count of digits after it
  if (!all_zero) {
    std::size_t k = 0;
    while (s[k] == '0') ++k;
    first_nonzero = static_cast<long long>(int_digits - k - 1);
  }
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && is_digit(s[i])) {
      ++frac_digits;
      if (all_zero && s[i] != '0') {
        all_zero = false;
        first_nonzero = -static_cast<long long>(frac_digits);
      }
      ++i;
    }
  }
  if (int_digits + frac_digits == 0) return false;
  long long exponent = 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    if (i == s.size()) return false;
    while (i < s.size() && is_digit(s[i])) {
      if (exponent < 100000) exponent = exponent * 10 + (s[i] - '0');
      ++i;
    }
    if (negative) exponent = -exponent;
  }
  lead_power = first_nonzero + exponent;
  return i == s.size();
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Spline
//
// With knots x_0 < ... < x_{n-1}, widths h_i = x_{i+1} - x_i and secant slopes
// m_i = (y_{i+1} - y_i) / h_i, the piece on [x_i, x_{i+1}] is the cubic Hermite interpolant
// of the end values y_i, y_{i+1} and end slopes s_i, s_{i+1}:
//   f(t) = a_i + b_i (t - x_i) + c_i (t - x_i)^2 + d_i (t - x_i)^3
//   a_i = y_i,  b_i = s_i,  c_i = (3 m_i - 2 s_i - s_{i+1}) / h_i,
//   d_i = (s_i + s_{i+1} - 2 m_i) / h_i^2.
// The first derivative is continuous by construction. A continuous second derivative at the
// inner knot x_i (0 < i < n-1) gives the row
//   h_i s_{i-1} + 2 (h_{i-1} + h_i) s_i + h_{i-1} s_{i+1} = 3 (h_i m_{i-1} + h_{i-1} m_i).    (R_i)
// Not-a-knot: the third derivative is continuous at x_1 (d_0 = d_1), i.e. the first two pieces
// are one cubic. Combined with R_1 this reads
//   h_1 s_0 + (h_0 + h_1) s_1 = ((3 h_0 + 2 h_1) h_1 m_0 + h_0^2 m_1) / (h_0 + h_1),         (L)
// and likewise at x_{n-2} with the mirrored widths:
//   (h_{n-3} + h_{n-2}) s_{n-2} + h_{n-3} s_{n-1}
//       = ((3 h_{n-2} + 2 h_{n-3}) h_{n-3} m_{n-2} + h_{n-2}^2 m_{n-3}) / (h_{n-3} + h_{n-2}). (E)
// L and E are not diagonally dominant, so they are folded into their neighbours first:
// R_1 - L removes s_0 and R_{n-2} - E removes s_{n-1}:
//   (h_0 + h_1) s_1 + h_0 s_2 = R_1 - L                 (right sides subtracted likewise)
//   h_{n-2} s_{n-3} + (h_{n-3} + h_{n-2}) s_{n-2} = R_{n-2} - E
// leaving a strictly diagonally dominant tridiagonal system in s_1 ... s_{n-2} (n >= 4), solved
// in O(n). s_0 and s_{n-1} then follow from L and E.
// Two points give the straight line and three the parabola through them (the not-a-knot
// conditions at x_1 from both ends coincide there, and the single piece of degree two is what
// they leave).
// ---------------------------------------------------------------------------------------------

Spline::Spline(std::span<const double> x, std::span<const double> y) {
  if (x.size() != y.size()) throw RuntimeError(kSplineLengths);
  const std::size_t n = x.size();
  if (n < 2) throw RuntimeError(kSplineTooFew);
  for (double v : x)
    if (!std::isfinite(v)) throw RuntimeError(kSplineNotNumber);

  // Points in ascending order of x, each ordinate travelling with its abscissa.
  std::vector<std::size_t> order(n);
  std::iota(order.begin(), order.end(), std::size_t{0});
  if (!std::is_sorted(x.begin(), x.end()))
    std::stable_sort(order.begin(), order.end(), [&](std::size_t i, std::size_t j) { return x[i] < x[j]; });
  x_.resize(n);
  std::vector<double> yy(n);
  for (std::size_t i = 0; i < n; ++i) {
    x_[i] = x[order[i]];
    yy[i] = y[order[i]];
  }
  for (std::size_t i = 1; i < n; ++i)
    if (!(x_[i] > x_[i - 1])) throw RuntimeError(kSplineDistinct);

  const std::size_t pieces = n - 1;
  std::vector<double> h(pieces), m(pieces);
  for (std::size_t i = 0; i < pieces; ++i) {
    h[i] = x_[i + 1] - x_[i];
    m[i] = (yy[i + 1] - yy[i]) / h[i];
  }

  a_.assign(yy.begin(), yy.end() - 1);
  if (n == 2) {  // the straight line
    b_ = {m[0]};
    c_ = {0.0};
    d_ = {0.0};
    return;
  }
  if (n == 3) {
    // p(t) = y_0 + m_0 (t - x_0) + q (t - x_0)(t - x_1), q = (m_1 - m_0) / (x_2 - x_0);
    // p'(x_0) = m_0 - q h_0, p'(x_1) = m_0 + q h_0, p'' = 2q.
    const double q = (m[1] - m[0]) / (h[0] + h[1]);
    b_ = {m[0] - q * h[0], m[0] + q * h[0]};
    c_ = {q, q};
    d_ = {0.0, 0.0};
    return;
  }

  // Slopes s_0 ... s_{n-1}.
  std::vector<double> s(n);
  const double left = ((3 * h[0] + 2 * h[1]) * h[1] * m[0] + h[0] * h[0] * m[1]) / (h[0] + h[1]);
  const std::size_t e = pieces - 1;  // index of the last width h_{n-2}
  const double right =
      ((3 * h[e] + 2 * h[e - 1]) * h[e - 1] * m[e] + h[e] * h[e] * m[e - 1]) / (h[e - 1] + h[e]);

  const std::size_t k = n - 2;  // unknowns s_1 ... s_{n-2}
  std::vector<double> sub(k), diag(k), sup(k), rhs(k);
  for (std::size_t r = 0; r < k; ++r) {
    const std::size_t i = r + 1;  // knot of row R_i
    sub[r] = h[i];
    diag[r] = 2 * (h[i - 1] + h[i]);
    sup[r] = h[i - 1];
    rhs[r] = 3 * (h[i] * m[i - 1] + h[i - 1] * m[i]);
  }
  // R_1 - L
  diag[0] -= h[0] + h[1];
  rhs[0] -= left;
  sub[0] = 0;
  // R_{n-2} - E
  diag[k - 1] -= h[e - 1] + h[e];
  rhs[k - 1] -= right;
  sup[k - 1] = 0;
  solve_tridiagonal(sub, diag, sup, rhs);
  std::copy(rhs.begin(), rhs.end(), s.begin() + 1);
  s[0] = (left - (h[0] + h[1]) * s[1]) / h[1];
  s[n - 1] = (right - (h[e - 1] + h[e]) * s[n - 2]) / h[e - 1];

  b_.resize(pieces);
  c_.resize(pieces);
  d_.resize(pieces);
  for (std::size_t i = 0; i < pieces; ++i) {
    b_[i] = s[i];
    c_[i] = (3 * m[i] - 2 * s[i] - s[i + 1]) / h[i];
    d_[i] = (s[i] + s[i + 1] - 2 * m[i]) / (h[i] * h[i]);
  }
}

// The piece that holds t: the count of inner knots at or below t, so that t below x_0 falls in
// the first piece and t beyond x_{n-1} (or NaN) in the last.
std::size_t Spline::piece(double t) const {
  const auto first = x_.begin() + 1, last = x_.end() - 1;
  return static_cast<std::size_t>(std::upper_bound(first, last, t) - first);
}

double Spline::operator()(double t) const {
  const std::size_t i = piece(t);
  const double u = t - x_[i];
  return a_[i] + u * (b_[i] + u * (c_[i] + u * d_[i]));  // Horner form of the piece
}

std::vector<double> Spline::operator()(std::span<const double> t) const {
  std::vector<double> out(t.size());
  const std::size_t last = a_.size() - 1;
  // Walks along the pieces while the abscissae ascend (one sweep for sorted input) and falls
  // back to a binary search whenever t leaves the current or the next piece.
  auto holds = [&](std::size_t i, double v) {
    return (i == 0 || v >= x_[i]) && (i == last || v < x_[i + 1]);
  };
  std::size_t i = 0;
  for (std::size_t j = 0; j < t.size(); ++j) {
    const double v = t[j];
    if (!holds(i, v)) {
      if (i < last && holds(i + 1, v))
        ++i;
      else
        i = piece(v);
    }
    const double u = v - x_[i];
    out[j] = a_[i] + u * (b_[i] + u * (c_[i] + u * d_[i]));
  }
  return out;
}

std::vector<double> spline(std::span<const double> x, std::span<const double> y,
                           std::span<const double> t) {
  return Spline(x, y)(t);
}

MinResult min_with_position(std::span<const double> v) {
  if (v.empty()) throw RuntimeError("The minimum of an empty row is not defined.");
  // NaN never is the minimum unless every element is NaN; then the first one is returned.
  std::size_t best = v.size();
  for (std::size_t i = 0; i < v.size(); ++i)
    if (!std::isnan(v[i]) && (best == v.size() || v[i] < v[best])) best = i;
  if (best == v.size()) return {v[0], 1};
  return {v[best], best + 1};
}

std::vector<double> range(double a, double d, double b) {
  if (std::isnan(a) || std::isnan(d) || std::isnan(b) || d == 0) return {};
  const double q = (b - a) / d;
  if (std::isnan(q)) return {};
  if (q < 0) return {};
  if (!std::isfinite(q) || q > 1e9)
    throw RuntimeError("The range " + num2str(a) + ":" + num2str(d) + ":" + num2str(b) +
                       " has too many elements.");
  // (b - a) carries a rounding error relative to the larger of |a| and |b|, and the division
  // one relative to q; a few units of that keep 0:0.1:1 at eleven points.
  const double tol = 3 * kEps * (q + std::max(std::fabs(a), std::fabs(b)) / std::fabs(d));
  const auto count = static_cast<std::size_t>(std::floor(q + tol)) + 1;
  std::vector<double> out(count);
  for (std::size_t k = 0; k < count; ++k) out[k] = a + static_cast<double>(k) * d;
  return out;
}

std::string num2str(double v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "Inf" : "-Inf";
  if (v == 0) return "0";  // also -0
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

std::optional<double> str2double(std::string_view s) {
  s = trim(s);
  if (s.empty()) return std::nullopt;
  bool negative = false;
  std::string_view body = s;
  if (body.front() == '+' || body.front() == '-') {
    negative = body.front() == '-';
    body.remove_prefix(1);
  }
  if (iequals(body, "inf") || iequals(body, "infinity")) return negative ? -kInf : kInf;
  if (iequals(body, "nan")) return kNaN;

  long long lead_power = 0;
  bool all_zero = true;
  if (!decimal_form(body, lead_power, all_zero)) return std::nullopt;
  double value = 0;
  const auto r = std::from_chars(body.data(), body.data() + body.size(), value,
                                 std::chars_format::general);
  if (r.ec == std::errc::result_out_of_range) {
    value = (!all_zero && lead_power > 0) ? kInf : 0.0;
  } else if (r.ec != std::errc() || r.ptr != body.data() + body.size()) {
    return std::nullopt;
  }
  return negative ? -value : value;
}

std::optional<Matrix> str2matrix(std::string_view s) {
  Matrix out;
  std::size_t start = 0;
  while (start <= s.size()) {
    std::size_t end = s.find_first_of("\n;", start);
    if (end == std::string_view::npos) end = s.size();
    const std::string_view line = s.substr(start, end - start);
    start = end + 1;

    // One row: tokens between blanks or commas; a comma needs a number on either side.
    std::vector<double> row;
    std::size_t i = 0;
    bool after_comma = false;
    while (true) {
      while (i < line.size() && is_blank(line[i])) ++i;
      if (i == line.size()) break;
      if (line[i] == ',') {
        if (row.empty() || after_comma) return std::nullopt;
        after_comma = true;
        ++i;
        continue;
      }
      std::size_t j = i;
      while (j < line.size() && !is_blank(line[j]) && line[j] != ',') ++j;
      const auto v = str2double(line.substr(i, j - i));
      if (!v) return std::nullopt;
      row.push_back(*v);
      after_comma = false;
      i = j;
    }
    if (after_comma) return std::nullopt;
    if (row.empty()) continue;  // blank line
    if (out.rows == 0)
      out.cols = row.size();
    else if (row.size() != out.cols)
      return std::nullopt;
    out.data.insert(out.data.end(), row.begin(), row.end());
    ++out.rows;
  }
  return out;
}

}  // namespace quorin
