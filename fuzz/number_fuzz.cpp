// libFuzzer entry for the edit boxes' text-to-number conversion: any text is either refused or
// read as one number, and the answer agrees with a plain check written here: blanks around a
// signed decimal (digits, point, exponent) or Inf, Infinity or NaN in any case are a number,
// nothing else is; a decimal reads as the C library's correctly rounded strtod reads it,
// beyond the largest double as an infinity and below the smallest as a signed zero or a
// subnormal.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "same_value.h"
#include "services/numeric.h"

namespace {

bool blank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}
bool digit(char c) {
  return c >= '0' && c <= '9';
}

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// digits[.digits][(e|E)[+|-]digits] with at least one digit before the exponent.
bool decimal(std::string_view s) {
  std::size_t k = 0, mantissa_digits = 0;
  while (k < s.size() && digit(s[k])) ++k, ++mantissa_digits;
  if (k < s.size() && s[k] == '.') {
    ++k;
    while (k < s.size() && digit(s[k])) ++k, ++mantissa_digits;
  }
  if (mantissa_digits == 0) return false;
  if (k < s.size() && (s[k] == 'e' || s[k] == 'E')) {
    ++k;
    if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
    const std::size_t first = k;
    while (k < s.size() && digit(s[k])) ++k;
    if (k == first) return false;
  }
  return k == s.size();
}

// What the text should read as: nullopt when it is not one number.
std::optional<double> expected_number(std::string_view s) {
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  std::string_view body = s;
  bool negative = false;
  if (!body.empty() && (body.front() == '+' || body.front() == '-')) {
    negative = body.front() == '-';
    body.remove_prefix(1);
  }
  const std::string word = lower(body);
  if (word == "inf" || word == "infinity") return negative ? -HUGE_VAL : HUGE_VAL;
  if (word == "nan") return std::nan("");
  if (!decimal(body)) return std::nullopt;
  const std::string whole(s);  // sign and body, no blanks
  char* end = nullptr;
  const double v = std::strtod(whole.c_str(), &end);
  if (end != whole.c_str() + whole.size())
    std::abort();  // the check above let through a non-number
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A text with a zero byte cannot be typed into an edit box, but it must still be refused.
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::optional<double> got = quorin::str2double(text);
  const std::optional<double> want =
      std::memchr(data, 0, size) ? std::nullopt : expected_number(text);
  if (got.has_value() != want.has_value()) std::abort();
  if (got && !quorin::fuzz::same_number(*got, *want)) std::abort();
  return 0;
}
