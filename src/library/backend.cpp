#include "library/backend.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "services/runtime_error.h"

namespace quorin::library {
namespace {

// Each field as its length and its bytes, so no two different set-ups read alike.
void put(std::string& out, std::string_view field) {
  out += std::to_string(field.size());
  out += ':';
  out += field;
}

// Two independent 64-bit FNV-1a hashes (different offsets), written as 32 hex digits.
std::string hash_text(std::string_view s) {
  std::uint64_t a = 14695981039346656037ull, b = 0x84222325cbf29ce4ull ^ s.size();
  for (unsigned char c : s) {
    a = (a ^ c) * 1099511628211ull;
    b = (b ^ (c + 0x5bu)) * 0x100000001b3ull;
    b ^= b >> 29;
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (std::uint64_t v : {a, b})
    for (int k = 60; k >= 0; k -= 4) out += kHex[(v >> k) & 0xF];
  return out;
}

bool valid_date(std::string_view d) {
  if (d.size() != 10 || d[4] != '-' || d[7] != '-') return false;
  for (std::size_t k : {0, 1, 2, 3, 5, 6, 8, 9})
    if (d[k] < '0' || d[k] > '9') return false;
  const int month = (d[5] - '0') * 10 + (d[6] - '0');
  const int day = (d[8] - '0') * 10 + (d[9] - '0');
  return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

}  // namespace

std::string fingerprint(const Setup& s) {
  std::string t;
  for (std::string_view f :
       {std::string_view(s.car), std::string_view(s.corner), std::string_view(s.track),
        std::string_view(s.date), std::string_view(s.session)})
    put(t, f);
  for (int r : s.rows) put(t, std::to_string(r));
  for (const std::string& r : s.row_texts) put(t, r);
  for (const std::string* f : {&s.motion_ratio, &s.internal_shaft, &s.external_shaft, &s.piston})
    put(t, *f);
  put(t, s.si_units ? "SI" : "US");
  put(t, std::to_string(s.curve_number));
  for (const std::string& l : s.legend) put(t, l);
  put(t, s.notes);
  put(t, s.dyno_record);
  put(t, pack_doubles(s.measured_velocity_mps));
  put(t, pack_doubles(s.measured_force_n));
  return hash_text(t);
}

void check_storable(const Setup& s) {
  if (s.car.find_first_not_of(' ') == std::string::npos)
    throw RuntimeError("A set-up needs the name of its car.");
  if (std::find(kCorners.begin(), kCorners.end(), s.corner) == kCorners.end())
    throw RuntimeError("The corner \"" + s.corner + "\" is not one of LF, RF, LR or RR.");
  if (!valid_date(s.date))
    throw RuntimeError("The event date \"" + s.date + "\" is not a date written YYYY-MM-DD.");
  for (int r : s.rows)
    if (r < 1)
      throw RuntimeError("A set-up's popup rows are numbered from 1, not " + std::to_string(r) +
                         ".");
  if (s.measured_velocity_mps.size() != s.measured_force_n.size())
    throw RuntimeError("The measured curve has " + std::to_string(s.measured_velocity_mps.size()) +
                       " velocities but " + std::to_string(s.measured_force_n.size()) + " forces.");
}

std::string pack_doubles(const std::vector<double>& v) {
  std::string out(v.size() * 8, '\0');
  for (std::size_t i = 0; i < v.size(); ++i) {
    std::uint64_t bits = std::bit_cast<std::uint64_t>(v[i]);
    for (int k = 0; k < 8; ++k) out[i * 8 + k] = static_cast<char>((bits >> (8 * k)) & 0xFF);
  }
  return out;
}

std::vector<double> unpack_doubles(std::string_view bytes, std::string_view what) {
  if (bytes.size() % 8 != 0)
    throw RuntimeError("The stored " + std::string(what) + " is damaged (" +
                       std::to_string(bytes.size()) + " bytes is not a whole number of values).");
  std::vector<double> v(bytes.size() / 8);
  for (std::size_t i = 0; i < v.size(); ++i) {
    std::uint64_t bits = 0;
    for (int k = 0; k < 8; ++k)
      bits |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes[i * 8 + k])) << (8 * k);
    v[i] = std::bit_cast<double>(bits);
  }
  return v;
}

}  // namespace quorin::library
