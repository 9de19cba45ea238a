#include "services/numeric.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <exception>
#include <limits>
#include <numeric>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>

#include "services/memory.h"
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
// in O(n) by elimination downwards and substitution upwards. s_0 and s_{n-1} then follow from
// L and E.
// Two points give the straight line and three the parabola through them (the not-a-knot
// conditions at x_1 from both ends coincide there, and the single piece of degree two is what
// they leave).
//
// The elimination is one recurrence for the reduced diagonal, D_1 = diag_1 and
//   D_i = diag_i - h_i h_{i-2} / D_{i-1},   r_i = rhs_i - h_i r_{i-1} / D_{i-1},
// and the substitution s_i = (r_i - h_{i-1} s_{i+1}) / D_i. Only 1/D_i is kept, so the one
// division per row on the recurrence's chain is the one that makes it; the widths, slopes and
// right sides are formed in the same sweep, where they overlap with that division.
// ---------------------------------------------------------------------------------------------

namespace {

constexpr std::size_t kCoefs = 4;  // a_i, b_i, c_i, d_i of one piece

// Fills the coefficients of the n - 1 pieces (coef[4i .. 4i+3]) of the spline through the
// strictly ascending knots (x, y), n >= 2. During the sweeps the slots of piece i hold, for the
// row of knot i: a the inverse width 1/h_i, b the reduced right side over the reduced diagonal
// r_i / D_i, c the secant slope m_i, d the width h_{i-1} / D_i, so that the way up is
// s_i = r_i / D_i - (h_{i-1} / D_i) s_{i+1}; two divisions per knot in all.
void build_pieces(const double* x, const double* y, std::size_t n, double* coef) {
  if (n == 2) {  // the straight line
    const double m = (y[1] - y[0]) / (x[1] - x[0]);
    coef[0] = y[0], coef[1] = m, coef[2] = 0, coef[3] = 0;
    return;
  }
  if (n == 3) {
    // p(t) = y_0 + m_0 (t - x_0) + q (t - x_0)(t - x_1), q = (m_1 - m_0) / (x_2 - x_0);
    // p'(x_0) = m_0 - q h_0, p'(x_1) = m_0 + q h_0, p'' = 2q.
    const double h0 = x[1] - x[0], h1 = x[2] - x[1];
    const double m0 = (y[1] - y[0]) / h0, m1 = (y[2] - y[1]) / h1;
    const double q = (m1 - m0) / (h0 + h1);
    coef[0] = y[0], coef[1] = m0 - q * h0, coef[2] = q, coef[3] = 0;
    coef[4] = y[1], coef[5] = m0 + q * h0, coef[6] = q, coef[7] = 0;
    return;
  }

  // Downwards: rows of the knots 1 ... n-2.
  const double h0 = x[1] - x[0], h1 = x[2] - x[1];
  const double m0 = (y[1] - y[0]) / h0, m1 = (y[2] - y[1]) / h1;
  const double left = ((3 * h0 + 2 * h1) * h1 * m0 + h0 * h0 * m1) / (h0 + h1);
  coef[0] = y[0];
  coef[2] = m0;
  double* p = coef + kCoefs;  // piece 1
  p[0] = 1 / h1;              // a_i holds 1/h_i until the way up
  p[2] = m1;
  double inv = 1 / (h0 + h1);  // R_1 - L: diag 2 (h_0 + h_1) - (h_0 + h_1), no sub-diagonal
  double r = 3 * (h1 * m0 + h0 * m1) - left;
  p[1] = r * inv;
  p[3] = h0 * inv;
  double hpp = h0, hp = h1, mp = m1;  // h_{i-2}, h_{i-1}, m_{i-1}
  const std::size_t last_row = n - 2;
  // The reduced diagonal as a ratio D_i = P_i / P_{i-1} of the leading minors
  //   P_i = diag_i P_{i-1} - h_i h_{i-2} P_{i-2},   P_0 = 1, P_1 = D_1,
  // whose recurrence needs no division; 1/D_i = P_{i-1} / P_i is then a division off the chain.
  // The minors are kept near 1 by powers of two, which leave every ratio as it is; any widths
  // whose cubic coefficients a double can hold (about 1e-100 to 1e100) stay in range.
  double minor_prev = 1, minor = h0 + h1;  // P_{i-2}, P_{i-1}
  for (std::size_t i = 2; i < last_row; ++i) {
    const double h = x[i + 1] - x[i];
    const double inv_h = 1 / h;
    const double m = (y[i + 1] - y[i]) * inv_h;
    p += kCoefs;
    p[0] = inv_h;
    p[2] = m;
    const double next = 2 * (hp + h) * minor - h * (hpp * minor_prev);
    r = 3 * (h * mp + hp * m) - h * inv * r;
    inv = minor / next;
    p[1] = r * inv;
    p[3] = hp * inv;
    minor_prev = minor, minor = next;
    if (!(std::fabs(minor) < 0x1p200 && std::fabs(minor) > 0x1p-200)) {
      int e = 0;
      std::frexp(minor, &e);
      minor = std::ldexp(minor, -e), minor_prev = std::ldexp(minor_prev, -e);
    }
    hpp = hp, hp = h, mp = m;
  }
  // R_{n-2} - E: the last row, its diagonal 2 (h_{n-3} + h_{n-2}) - (h_{n-3} + h_{n-2}) and no
  // super-diagonal.
  const std::size_t e = n - 2;
  {
    const double h = x[e + 1] - x[e];
    const double m = (y[e + 1] - y[e]) / h;
    p += kCoefs;
    p[0] = y[e];
    p[2] = m;
    const double right = ((3 * h + 2 * hp) * hp * m + h * h * mp) / (hp + h);
    const double d = (hp + h) - h * inv * hpp;
    r = 3 * (h * mp + hp * m) - right - h * inv * r;
    // Upwards: s_{n-2}, then s_{n-1} from E and the last piece.
    double s_next = r / d;                                  // s_{n-2}
    const double s_end = (right - (hp + h) * s_next) / hp;  // s_{n-1}
    p[1] = s_next;
    p[2] = (3 * m - 2 * s_next - s_end) / h;
    p[3] = (s_next + s_end - 2 * m) / (h * h);
    // The pieces n-3 ... 1.
    for (std::size_t i = e - 1; i >= 1; --i) {
      double* q = coef + kCoefs * i;
      const double inv_h = q[0];
      const double mi = q[2];
      const double s = q[1] - q[3] * s_next;
      q[0] = y[i];
      q[1] = s;
      q[2] = (3 * mi - 2 * s - s_next) * inv_h;
      q[3] = (s + s_next - 2 * mi) * inv_h * inv_h;
      s_next = s;
    }
    // s_0 from L and the first piece.
    const double s0 = (left - (h0 + h1) * s_next) / h1;
    coef[1] = s0;
    coef[2] = (3 * m0 - 2 * s0 - s_next) / h0;
    coef[3] = (s0 + s_next - 2 * m0) / (h0 * h0);
  }
}

// Halves the bracket x[lo] <= t < x[hi] (lo 0 also standing for anything below x_1) down to
// one piece.
inline std::size_t bisect(const double* x, std::size_t lo, std::size_t hi, double t) {
  while (hi - lo > 1) {
    const std::size_t mid = lo + (hi - lo) / 2;
    if (t < x[mid])
      hi = mid;
    else
      lo = mid;
  }
  return lo;
}

// The piece that holds t among pieces 0 ... last, searched from piece i: the count of inner
// knots x_1 ... x_last at or below t, so t below x_0 falls in the first piece and t beyond
// x_{n-1} (or NaN) in the last. Gallops away from i in steps 1, 2, 4, ... and halves the
// bracket it lands in, so a piece k places away costs O(log k) comparisons.
std::size_t hunt(const double* x, std::size_t last, std::size_t i, double t) {
  if (!(t < x[i + 1])) {     // at or beyond the right end of piece i (NaN goes this way too)
    std::size_t lo = i + 1;  // x[lo] <= t
    if (lo >= last) return last;
    std::size_t step = 1, hi = lo + 1;
    while (!(t < x[hi])) {
      lo = hi;
      if (lo == last) return last;
      step *= 2;
      hi = last - lo < step ? last + 1 : lo + step;
      if (hi == last + 1) break;
    }
    // x[lo] <= t < x[hi] (x[last + 1] standing for infinity)
    return bisect(x, lo, hi, t);
  }
  if (i == 0 || !(t < x[i])) return i;
  std::size_t hi = i, step = 1, lo;  // t < x[hi]
  while (true) {
    if (hi <= step) {
      lo = 0;  // the first piece holds everything below x_1
      break;
    }
    lo = hi - step;
    if (!(t < x[lo])) break;
    hi = lo;
    step *= 2;
  }
  // lo == 0 or x[lo] <= t, and t < x[hi]
  return bisect(x, lo, hi, t);
}

// f(t) on piece i, in Horner form.
inline double piece_value(const double* x, const double* coef, std::size_t i, double t) {
  const double* c = coef + kCoefs * i;
  const double u = t - x[i];
  return c[0] + u * (c[1] + u * (c[2] + u * c[3]));
}

void evaluate(const double* x, const double* coef, std::size_t pieces, std::span<const double> t,
              double* out) {
  const std::size_t last = pieces - 1;
  std::size_t i = 0;
  for (std::size_t j = 0; j < t.size(); ++j) {
    const double v = t[j];
    // The same piece or the next one is the common case of ascending abscissae.
    if (!(v < x[i + 1]) || (i > 0 && v < x[i])) {
      if (i < last && v < x[i + 2] && !(v < x[i + 1]))
        ++i;
      else
        i = hunt(x, last, i, v);
    }
    out[j] = piece_value(x, coef, i, v);
  }
}

// Knots in ascending order. Returns the abscissae and ordinates to build from: the caller's own
// when they already ascend, otherwise sorted copies (each ordinate travelling with its abscissa)
// in `sorted`, which is resized as needed. Throws RuntimeError as Spline promises.
std::pair<const double*, const double*> ordered_knots(std::span<const double> x,
                                                      std::span<const double> y,
                                                      std::vector<double>& sorted) {
  if (x.size() != y.size()) throw RuntimeError(kSplineLengths);
  const std::size_t n = x.size();
  if (n < 2) throw RuntimeError(kSplineTooFew);
  // Strictly ascending between two finite ends means every abscissa is finite and distinct.
  bool ascending = true;
  for (std::size_t i = 0; i + 1 < n; ++i) ascending &= x[i] < x[i + 1];
  if (ascending && std::isfinite(x[0]) && std::isfinite(x[n - 1])) return {x.data(), y.data()};

  for (double v : x)
    if (!std::isfinite(v)) throw RuntimeError(kSplineNotNumber);
  std::vector<std::size_t> order(n);
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t i, std::size_t j) { return x[i] < x[j]; });
  if (sorted.size() < 2 * n) sorted.resize(2 * n);
  double* sx = sorted.data();
  double* sy = sx + n;
  for (std::size_t i = 0; i < n; ++i) {
    sx[i] = x[order[i]];
    sy[i] = y[order[i]];
  }
  for (std::size_t i = 1; i < n; ++i)
    if (!(sx[i] > sx[i - 1])) throw RuntimeError(kSplineDistinct);
  return {sx, sy};
}

}  // namespace

Spline::Spline(std::span<const double> x, std::span<const double> y) {
  std::vector<double> sorted;
  const auto [xs, ys] = ordered_knots(x, y, sorted);
  n_ = x.size();
  buf_.resize(n_ + kCoefs * (n_ - 1));
  std::copy(xs, xs + n_, buf_.begin());
  build_pieces(buf_.data(), ys, n_, buf_.data() + n_);
}

double Spline::operator()(double t) const {
  const double* x = buf_.data();
  // The count of inner knots at or below t.
  const auto i = static_cast<std::size_t>(std::upper_bound(x + 1, x + n_ - 1, t) - (x + 1));
  return piece_value(x, x + n_, i, t);
}

std::vector<double> Spline::operator()(std::span<const double> t) const {
  std::vector<double> out(t.size());
  evaluate(buf_.data(), buf_.data() + n_, n_ - 1, t, out.data());
  return out;
}

std::vector<double> spline(std::span<const double> x, std::span<const double> y,
                           std::span<const double> t) {
  // Sorted copies of unsorted knots, then the pieces; kept between calls so that building
  // spline after spline reuses the same memory instead of handing it back and forth.
  thread_local std::vector<double> sorted, pieces;
  const auto [xs, ys] = ordered_knots(x, y, sorted);
  const std::size_t n = x.size();
  if (pieces.size() < kCoefs * (n - 1)) pieces.resize(kCoefs * (n - 1));
  build_pieces(xs, ys, n, pieces.data());
  std::vector<double> out(t.size());
  evaluate(xs, pieces.data(), n - 1, t, out.data());
  return out;
}

MinResult min_with_position(std::span<const double> v) {
  if (v.empty()) throw RuntimeError("The minimum of an empty row is not defined.");
  // NaN never is the minimum unless every element is NaN; then the first one is returned.
  // The smallest value first, in four independent running minima (NaN never compares below
  // one), then the first element equal to it (of 0 and -0 the first, as it stands).
  const std::size_t n = v.size();
  std::array<double, 4> low = {kInf, kInf, kInf, kInf};
  std::size_t i = 0;
  for (; i + 4 <= n; i += 4)
    for (std::size_t k = 0; k < 4; ++k) low[k] = v[i + k] < low[k] ? v[i + k] : low[k];
  for (; i < n; ++i) low[0] = v[i] < low[0] ? v[i] : low[0];
  double least = low[0];
  for (std::size_t k = 1; k < 4; ++k) least = low[k] < least ? low[k] : least;
  for (std::size_t j = 0; j < n; ++j)
    if (v[j] == least) return {v[j], j + 1};
  return {v[0], 1};
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

namespace {

// What a character is to a matrix text.
enum class CharKind : unsigned char { Token, Blank, Comma, RowEnd };

constexpr std::array<CharKind, 256> kCharKinds = [] {
  std::array<CharKind, 256> k{};
  k.fill(CharKind::Token);
  for (unsigned char c : {' ', '\t', '\r', '\v', '\f'}) k[c] = CharKind::Blank;
  k[static_cast<unsigned char>(',')] = CharKind::Comma;
  k[static_cast<unsigned char>('\n')] = CharKind::RowEnd;
  k[static_cast<unsigned char>(';')] = CharKind::RowEnd;
  return k;
}();

CharKind kind_of(char c) {
  return kCharKinds[static_cast<unsigned char>(c)];
}

// The number token that starts at p; p is left at the first character after the token. A
// plain decimal is read by the standard reader, which rounds correctly as str2double does (it
// reads the same digits the same way); every other token (a leading +, Inf, NaN, numbers out
// of range, words) goes through str2double.
std::optional<double> matrix_number(const char*& p, const char* end) {
  double v = 0;
  const auto r = std::from_chars(p, end, v, std::chars_format::general);
  if (r.ec == std::errc() && std::isfinite(v) &&
      (r.ptr == end || kind_of(*r.ptr) != CharKind::Token)) {
    p = r.ptr;
    return v;
  }
  const char* const start = p;
  while (p != end && kind_of(*p) == CharKind::Token) ++p;
  return str2double(std::string_view(start, static_cast<std::size_t>(p - start)));
}

}  // namespace

namespace {

// Refuses `n` numbers that are not rows times cols of them (a product too large included).
void check_fits(std::size_t rows, std::size_t cols, std::size_t n) {
  if (rows * cols != n || (cols != 0 && rows != n / cols))
    throw std::invalid_argument("a matrix of " + std::to_string(rows) + " by " +
                                std::to_string(cols) + " needs that many numbers");
}

}  // namespace

Matrix::Matrix(std::size_t rows_, std::size_t cols_, const std::vector<double>& row_order)
    : rows(rows_), cols(cols_) {
  check_fits(rows, cols, row_order.size());
  if (empty()) return;
  columns.reserve(cols);
  for (std::size_t c = 0; c < cols; ++c) {
    std::vector<double> column;
    column.reserve(rows);
    for (std::size_t r = 0; r < rows; ++r) column.push_back(row_order[r * cols + c]);
    columns.emplace_back(std::move(column));
  }
}

Matrix Matrix::from_column_order(std::size_t rows, std::size_t cols,
                                 const std::vector<double>& column_order) {
  check_fits(rows, cols, column_order.size());
  Matrix m;
  m.rows = rows;
  m.cols = cols;
  if (m.empty()) return m;
  const auto at = [&](std::size_t c) {
    return column_order.begin() + static_cast<std::ptrdiff_t>(c * rows);
  };
  for (std::size_t c = 0; c < cols; ++c) m.columns.emplace_back(at(c), at(c + 1));
  return m;
}

std::vector<double> Matrix::row_order() const {
  std::vector<double> out;
  if (empty()) return out;
  out.reserve(rows * cols);
  for (std::size_t r = 0; r < rows; ++r)
    for (std::size_t c = 0; c < cols; ++c) out.push_back(columns[c][r]);
  return out;
}

namespace {

// Reads one row of a matrix text from p, up to and past its row end (or to the end of the
// text), handing each number to `take`. Returns the count of numbers, 0 for a blank line, or -1
// when the row is no row of numbers (a word, a comma without a number on either side) or `take`
// refuses a number.
template <class Take>
long read_row(const char*& p, const char* end, Take&& take) {
  long in_row = 0;
  bool after_comma = false;
  while (p != end) {
    switch (kind_of(*p)) {
      case CharKind::Blank:
        ++p;
        break;
      case CharKind::RowEnd:
        ++p;
        return after_comma ? -1 : in_row;
      case CharKind::Comma:  // a comma needs a number on either side
        if (in_row == 0 || after_comma) return -1;
        after_comma = true;
        ++p;
        break;
      case CharKind::Token: {
        const auto v = matrix_number(p, end);
        if (!v || !take(*v)) return -1;
        ++in_row;
        after_comma = false;
        break;
      }
    }
  }
  return after_comma ? -1 : in_row;
}

}  // namespace

namespace {

// The text a stretch of a long matrix text is read in at least: below it, starting a thread
// costs more than it saves.
constexpr std::size_t kLeastStretchBytes = std::size_t{1} << 20;

// How many rows of `cols` numbers a stretch of matrix text can hold at most: one per row end
// and one more for a last row without one, and no more than its length allows (a number and a
// separator take a character each), so a text of blank lines never asks for more room than
// four times its length.
std::size_t most_rows(const char* p, const char* end, std::size_t cols) {
  const auto length = static_cast<std::size_t>(end - p);
  std::size_t n = 1;
  for (; p != end; ++p) n += static_cast<std::size_t>((*p == '\n') | (*p == ';'));
  return std::min(n, length / (2 * cols) + 1);
}

// Reads the rows of the stretch [p, end) into the columns from row `at` on. Returns the count
// of rows read, or -1 when a row is no row of numbers or not `cols` long.
long read_rows(const char* p, const char* end, double* const* column, std::size_t cols,
               std::size_t at) {
  long rows = 0;
  while (p != end) {
    std::size_t k = 0;
    const std::size_t r = at + static_cast<std::size_t>(rows);
    const long n = read_row(p, end, [&k, r, cols, column](double v) {
      if (k == cols) return false;
      column[k++][r] = v;
      return true;
    });
    if (n < 0 || (n > 0 && static_cast<std::size_t>(n) != cols)) return -1;
    if (n > 0) ++rows;
  }
  return rows;
}

// Splits [p, end) into up to `parts` stretches of about equal length, each but the last ending
// just after a line break: a line break always ends a row, so the stretches read alone read as
// the whole does.
std::vector<std::string_view> split_at_line_breaks(const char* p, const char* end,
                                                   std::size_t parts) {
  std::vector<std::string_view> out;
  const auto length = static_cast<std::size_t>(end - p);
  for (std::size_t i = 1; i < parts && p != end; ++i) {
    const char* aim = p + std::max<std::size_t>(1, (length / parts));
    if (aim >= end) break;
    const void* nl = std::memchr(aim, '\n', static_cast<std::size_t>(end - aim));
    if (!nl) break;
    const char* cut = static_cast<const char*>(nl) + 1;
    out.emplace_back(p, static_cast<std::size_t>(cut - p));
    p = cut;
  }
  if (p != end) out.emplace_back(p, static_cast<std::size_t>(end - p));
  return out;
}

}  // namespace

std::optional<Matrix> str2matrix(std::string_view s, std::size_t parts) {
  const char* p = s.data();
  const char* const end = p + s.size();
  // The first row is read aside: its length is the matrix's width.
  std::vector<double> first;
  while (p != end && first.empty())
    if (read_row(p, end, [&first](double v) {
          first.push_back(v);
          return true;
        }) < 0)
      return std::nullopt;
  Matrix out;
  if (first.empty()) return out;  // an empty or blank text
  const std::size_t cols = first.size();
  out.cols = cols;

  // A long text is read in stretches at once, one per processor; each stretch fills its own
  // rows of the columns, which have room for as many rows as the text can hold.
  if (parts == 0) {
    const std::size_t by_size = static_cast<std::size_t>(end - p) / kLeastStretchBytes + 1;
    parts = std::min<std::size_t>({by_size, std::max(1u, std::thread::hardware_concurrency()), 8});
  }
  const std::vector<std::string_view> stretches = split_at_line_breaks(p, end, parts);
  std::vector<std::size_t> at(stretches.size() + 1, 1);
  for (std::size_t i = 0; i < stretches.size(); ++i)
    at[i + 1] =
        at[i] + most_rows(stretches[i].data(), stretches[i].data() + stretches[i].size(), cols);
  const std::size_t room = at.back();

  std::vector<std::vector<double>> columns(cols);
  std::vector<double*> column(cols);
  for (std::size_t c = 0; c < cols; ++c) {
    columns[c].reserve(room);
    prepare_for_writing(columns[c].data(), room * sizeof(double));
    columns[c].resize(room);
    columns[c][0] = first[c];
    column[c] = columns[c].data();
  }
  std::vector<long> rows(stretches.size(), 0);
  std::vector<std::exception_ptr> failures(stretches.size());
  const auto read = [&](std::size_t i) noexcept {
    try {
      const std::string_view t = stretches[i];
      rows[i] = read_rows(t.data(), t.data() + t.size(), column.data(), cols, at[i]);
    } catch (...) {
      failures[i] = std::current_exception();
    }
  };
  {
    std::vector<std::thread> helpers;
    helpers.reserve(stretches.size());
    for (std::size_t i = 1; i < stretches.size(); ++i) {
      try {
        helpers.emplace_back(read, i);
      } catch (const std::system_error&) {  // no thread to be had: read it here
        read(i);
      }
    }
    if (!stretches.empty()) read(0);
    for (std::thread& t : helpers) t.join();
  }
  for (const std::exception_ptr& f : failures)
    if (f) std::rethrow_exception(f);
  // The stretches' rows closed up where blank lines left room unused.
  std::size_t total = 1;
  for (std::size_t i = 0; i < stretches.size(); ++i) {
    if (rows[i] < 0) return std::nullopt;
    const auto n = static_cast<std::size_t>(rows[i]);
    if (total != at[i])
      for (double* c : column) std::memmove(c + total, c + at[i], n * sizeof(double));
    total += n;
  }
  out.rows = total;
  out.columns.reserve(cols);
  for (std::vector<double>& c : columns) {
    c.resize(total);
    out.columns.emplace_back(std::move(c));
  }
  return out;
}

}  // namespace quorin
