// libFuzzer entry for the value encoding of variable files and of the script driver: values
// built from the fuzz bytes (numbers of every kind, texts, records and cells, nested) are
// saved as a variable file and loaded again, and encoded as one JSON text and decoded again;
// what comes back must equal what was written. A value the encoding cannot hold (a text or
// name that is not UTF-8, a field name that is empty or begins with '$', a size above 10^15)
// must be refused by the save, which then leaves the file saved before as it was.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "same_value.h"
#include "scratch.h"
#include "services/runtime_error.h"
#include "services/value.h"
#include "services/varfile.h"

namespace {

using quorin::Value;

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool utf8(const std::string& s) {
  std::size_t k = 0;
  while (k < s.size()) {
    const auto c = static_cast<unsigned char>(s[k]);
    std::size_t n = 0;
    std::uint32_t cp = 0, min = 0;
    if (c < 0x80) {
      ++k;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      n = 1, cp = c & 0x1Fu, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
      n = 2, cp = c & 0x0Fu, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
      n = 3, cp = c & 0x07u, min = 0x10000;
    } else {
      return false;
    }
    if (k + n >= s.size()) return false;
    for (std::size_t i = 1; i <= n; ++i) {
      const auto d = static_cast<unsigned char>(s[k + i]);
      if ((d & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (d & 0x3Fu);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    k += n + 1;
  }
  return true;
}

// Builds values from the fuzz bytes and notes whether the encoding can hold them.
class Builder {
 public:
  explicit Builder(FuzzedDataProvider& in) : in_(in) {}
  bool savable = true;

  Value value(int depth) {
    switch (in_.ConsumeIntegralInRange<int>(0, depth > 0 ? 4 : 1)) {
      case 0:
        return numeric();
      case 1:
        return text();
      case 2:
        return records(depth - 1);
      case 3:
        return cell(depth - 1);
      default:
        return single_record(depth - 1);
    }
  }

  std::string name() {
    std::string s = in_.ConsumeRandomLengthString(12);
    if (!utf8(s)) savable = false;
    return s;
  }

 private:
  // Two to four sizes: now and then an empty array with one large size, otherwise small
  // sizes holding at most `max_elements` elements.
  Value::Dims dims(std::size_t max_elements) {
    Value::Dims d(in_.ConsumeIntegralInRange<std::size_t>(2, 4));
    if (in_.ConsumeIntegralInRange<int>(0, 15) == 0) {
      for (std::size_t& n : d) n = in_.ConsumeIntegralInRange<std::size_t>(0, 4);
      d[in_.ConsumeIntegralInRange<std::size_t>(0, d.size() - 1)] =
          in_.ConsumeIntegral<std::size_t>();
      d[in_.ConsumeIntegralInRange<std::size_t>(0, d.size() - 1)] = 0;
      for (std::size_t n : d)
        if (n > 1'000'000'000'000'000) savable = false;  // no file gives such a size back
      return d;
    }
    for (std::size_t& n : d) n = in_.ConsumeIntegralInRange<std::size_t>(0, 4);
    if (count(d) > max_elements) d = {1, in_.ConsumeIntegralInRange<std::size_t>(0, max_elements)};
    return d;
  }

  static std::size_t count(const Value::Dims& d) {
    std::size_t p = 1;
    for (std::size_t n : d) p = n == 0 ? 0 : p * n;
    return p;
  }

  double number() {
    switch (in_.ConsumeIntegralInRange<int>(0, 7)) {
      case 0:
        return std::numeric_limits<double>::quiet_NaN();
      case 1:
        return std::numeric_limits<double>::infinity();
      case 2:
        return -std::numeric_limits<double>::infinity();
      case 3:
        return -0.0;
      case 4:
        return static_cast<double>(in_.ConsumeIntegral<std::int64_t>());
      case 5:
        return std::numeric_limits<double>::denorm_min() * in_.ConsumeIntegralInRange<int>(1, 9);
      default: {
        double v;
        const auto bits = in_.ConsumeIntegral<std::uint64_t>();
        std::memcpy(&v, &bits, sizeof v);
        return v;
      }
    }
  }

  Value numeric() {
    switch (in_.ConsumeIntegralInRange<int>(0, 3)) {
      case 0:
        return Value();
      case 1:
        return Value::number(number());
      default: {
        Value::Dims d = dims(24);
        std::vector<double> x(count(d));
        for (double& v : x) v = number();
        return Value::numeric(std::move(d), std::move(x));
      }
    }
  }

  Value text() {
    std::string s = in_.ConsumeRandomLengthString(40);
    if (!utf8(s)) savable = false;
    return Value::text(std::move(s));
  }

  // Distinct field names; `named` is whether each can name a field of a record in a file
  // (an array of no records keeps any names, as long as they are UTF-8).
  std::vector<std::string> field_names(bool& named) {
    named = true;
    std::vector<std::string> names;
    std::set<std::string> seen;
    const int n = in_.ConsumeIntegralInRange<int>(0, 4);
    for (int k = 0; k < n; ++k) {
      std::string s = name();
      if (!seen.insert(s).second) continue;  // a record's field names are distinct
      if (s.empty() || s.front() == '$') named = false;
      names.push_back(std::move(s));
    }
    return names;
  }

  Value single_record(int depth) {
    bool named = true;
    const std::vector<std::string> names = field_names(named);
    if (!named) savable = false;
    std::vector<Value> values;
    for (std::size_t k = 0; k < names.size(); ++k) values.push_back(value(depth));
    return Value::records({1, 1}, names, {std::move(values)});
  }

  Value records(int depth) {
    Value::Dims d = dims(6);
    bool named = true;
    const std::vector<std::string> names = field_names(named);
    if (!named && count(d) > 0) savable = false;
    std::vector<std::vector<Value>> elements(count(d));
    for (auto& e : elements)
      for (std::size_t k = 0; k < names.size(); ++k) e.push_back(value(depth));
    return Value::records(std::move(d), names, std::move(elements));
  }

  Value cell(int depth) {
    Value::Dims d = dims(8);
    std::vector<Value> elements(count(d));
    for (Value& e : elements) e = value(depth);
    return Value::cell(std::move(d), std::move(elements));
  }

  FuzzedDataProvider& in_;
};

std::string contents(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::filesystem::path file =
      quorin::fuzz::scratch_root("roundtrip_fuzz") / "values.mat";
  static const quorin::NamedValues kBefore = {{"before", Value::number(1)}};
  FuzzedDataProvider in(data, size);
  Builder build(in);
  quorin::NamedValues vars;
  std::set<std::string> names;
  const int n = in.ConsumeIntegralInRange<int>(1, 3);
  for (int k = 0; k < n; ++k) {
    std::string name = build.name();
    if (!names.insert(name).second) continue;
    vars.emplace_back(std::move(name), build.value(3));
  }

  // One value as the script driver writes and reads it.
  for (const auto& [name, value] : vars) {
    std::string json;
    try {
      json = quorin::dump_value(value);
    } catch (const quorin::RuntimeError&) {
      continue;  // judged with the file below
    }
    try {
      if (!quorin::fuzz::same_value(quorin::parse_value(json), value)) std::abort();
      if (!quorin::fuzz::same_value(quorin::from_json(quorin::to_json(value)), value)) std::abort();
    } catch (const quorin::RuntimeError&) {
      std::abort();  // written, then refused
    }
  }

  quorin::save_variables(file, kBefore);
  const std::string saved_before = contents(file);
  bool saved = true;
  try {
    quorin::save_variables(file, vars);
  } catch (const quorin::RuntimeError&) {
    saved = false;
  }
  if (saved != build.savable) std::abort();
  if (!saved) {
    if (contents(file) != saved_before) std::abort();
    return 0;
  }
  quorin::NamedValues back;
  try {
    back = quorin::load_all_variables(file);
  } catch (const quorin::RuntimeError&) {
    std::abort();  // saved, then refused
  }
  if (back.size() != vars.size()) std::abort();
  for (std::size_t k = 0; k < vars.size(); ++k)
    if (back[k].first != vars[k].first || !quorin::fuzz::same_value(back[k].second, vars[k].second))
      std::abort();
  return 0;
}
