#include "dyno/loadshock.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <ostream>
#include <system_error>
#include <unordered_map>
#include <vector>

#include "dyno/loadshock_parts.h"
#include "services/file_io.h"
#include "services/runtime_error.h"

namespace quorin {
namespace dyno {
namespace {

template <typename T>
T load_le(const std::uint8_t* p) {
  if constexpr (std::endian::native == std::endian::little) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
  } else {
    std::array<std::uint8_t, sizeof(T)> b;
    for (std::size_t i = 0; i < sizeof(T); ++i) b[i] = p[sizeof(T) - 1 - i];
    return std::bit_cast<T>(b);
  }
}

// Unit texts of the codes 1 to 34; 35 and 98 mean the test was not performed.
constexpr std::array<std::string_view, 34> kUnitTexts = {
    "inch",        "m",         "cm",         "mm",           "ips",     "MetersPerSecond",
    "cmPerSecond", "mmPerSecond", "pounds",   "Newtons",      "KGF",     "Farenheit",
    "Celcius",     "RPM",       "Hz",         "feet",         "miles",   "kilometers",
    "Seconds",     "Minutes",   "Hours",      "fps",          "MPH",     "KMPH",
    "G",           "fps^2",     "MPerSecond^2", "InchPound",  "FootPound", "NewtonMeter",
    "psi",         "Bar",       "Pascal",     "Volts"};

constexpr std::string_view kInvalidNameChars = " #-()+,.[]{}=;%!";

}  // namespace

ByteReader::ByteReader(std::FILE* file, std::uint64_t announced, std::string name)
    : file_(file), window_(std::size_t{1} << 16), announced_(announced), name_(std::move(name)) {
  bytes_ = {window_.data(), 0};
}

std::uint64_t ByteReader::remaining() const {
  const std::uint64_t in_window = bytes_.size() - pos_;
  return in_window + (announced_ > window_end_ ? announced_ - window_end_ : 0);
}

bool ByteReader::ready(std::size_t n) {
  if (bytes_.size() - pos_ >= n) return true;
  if (!file_) return false;
  // Keep the unread tail, then read on behind it.
  const std::size_t tail = bytes_.size() - pos_;
  if (window_.size() < n) window_.resize(n);
  std::memmove(window_.data(), window_.data() + pos_, tail);
  std::size_t have = tail;
  while (have < n) {
    const std::size_t got = std::fread(window_.data() + have, 1, window_.size() - have, file_);
    if (got == 0) break;
    have += got;
    window_end_ += got;
  }
  if (std::ferror(file_))
    throw RuntimeError("loadshock: cannot read the dyno file \"" + name_ + "\".");
  bytes_ = {window_.data(), have};
  pos_ = 0;
  return have >= n;
}

template <typename T>
std::optional<T> ByteReader::take() {
  if (!ready(sizeof(T))) return std::nullopt;
  T v = load_le<T>(bytes_.data() + pos_);
  pos_ += sizeof(T);
  return v;
}

std::optional<std::int8_t> ByteReader::i8() { return take<std::int8_t>(); }
std::optional<std::int16_t> ByteReader::i16() { return take<std::int16_t>(); }
std::optional<std::int32_t> ByteReader::i32() { return take<std::int32_t>(); }
std::optional<std::uint32_t> ByteReader::u32() { return take<std::uint32_t>(); }
std::optional<std::uint64_t> ByteReader::u64() { return take<std::uint64_t>(); }
std::optional<float> ByteReader::f32() { return take<float>(); }
std::optional<double> ByteReader::f64() { return take<double>(); }

std::optional<std::span<const std::uint8_t>> ByteReader::bytes(std::size_t n) {
  if (!ready(n)) return std::nullopt;
  auto s = bytes_.subspan(pos_, n);
  pos_ += n;
  return s;
}

namespace {

// Widens the n single-precision samples held in bytes [4n, 8n) of d into d[0] ... d[n-1],
// front to back in stretches that never overwrite a sample before it is read.
void widen_in_place(double* d, std::size_t n) {
  const auto* samples = reinterpret_cast<const std::uint8_t*>(d) + 4 * n;
  for (std::size_t i = 0; i < n;) {
    const std::size_t k = std::max<std::size_t>(1, (n - i) / 2);  // 8(i + k) <= 4n + 4i
    for (std::size_t j = i; j < i + k; ++j) d[j] = load_le<float>(samples + 4 * j);
    i += k;
  }
}

}  // namespace

std::vector<double> ByteReader::f32_samples(std::uint64_t n) {
  std::vector<double> out;
  // A channel of no samples: there is nothing to read, and no array to read it into.
  if (n == 0) return out;
  if (file_ && n <= remaining() / 4) {
    // The file announces all of them: they are read into the back half of their own array and
    // widened there.
    const auto count = static_cast<std::size_t>(n);
    out.resize(count);
    auto* raw = reinterpret_cast<std::uint8_t*>(out.data()) + 4 * count;
    const std::size_t want = 4 * count;
    std::size_t have = std::min(bytes_.size() - pos_, want);
    std::memcpy(raw, bytes_.data() + pos_, have);
    pos_ += have;
    while (have < want) {
      const std::size_t got = std::fread(raw + have, 1, want - have, file_);
      if (got == 0) break;
      have += got;
      window_end_ += got;
    }
    if (std::ferror(file_))
      throw RuntimeError("loadshock: cannot read the dyno file \"" + name_ + "\".");
    if (have == want) {
      widen_in_place(out.data(), count);
      return out;
    }
    // Shorter than announced: what there is, then the end of the file.
    const std::size_t present = have / 4;  // a part of a sample at the end is dropped
    std::memmove(reinterpret_cast<std::uint8_t*>(out.data()) + 4 * present, raw, 4 * present);
    widen_in_place(out.data(), present);
    out.resize(present);
    pos_ = bytes_.size();
    return out;
  }
  out.reserve(static_cast<std::size_t>(std::min(n, remaining() / 4)));
  // The array grows a block at a time and each block is converted while it is still in the
  // cache, so each sample is written to memory once.
  constexpr std::size_t kBlock = 2048;
  std::uint64_t left = n;
  while (left > 0 && ready(4)) {
    const std::size_t k = static_cast<std::size_t>(
        std::min<std::uint64_t>({left, (bytes_.size() - pos_) / 4, kBlock}));
    const std::uint8_t* p = bytes_.data() + pos_;
    const std::size_t at = out.size();
    out.resize(at + k);
    double* d = out.data() + at;
    for (std::size_t i = 0; i < k; ++i) d[i] = load_le<float>(p + 4 * i);
    pos_ += 4 * k;
    left -= k;
  }
  // A cut-off last channel: whatever is left of the file belongs to it.
  if (left > 0) pos_ = bytes_.size();
  return out;
}

std::string text_from_file_chars(std::string_view chars) {
  std::string out;
  out.reserve(chars.size());
  for (char c : chars) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xC0 | (u >> 6));
      out += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  return out;
}

Value Variant::to_value() const {
  if (!is_text) return Value::number(number);
  if (chars.empty()) return Value::text("");
  std::vector<std::string> list;
  list.reserve(chars.size());
  for (char c : chars) list.push_back(text_from_file_chars(std::string_view(&c, 1)));
  return Value::text_list(list);
}

std::string Variant::joined() const { return text_from_file_chars(chars); }

namespace {

[[noreturn]] void corrupt(std::ostream& console) {
  console << kCorruptFileLine << '\n';
  console.flush();
  throw RuntimeError(std::string(kVarValueNotAssigned));
}

template <typename T>
Variant number_or_corrupt(std::optional<T> v, std::ostream& console) {
  if (!v) corrupt(console);
  Variant out;
  out.number = static_cast<double>(*v);
  return out;
}

}  // namespace

Variant ReadVariant(ByteReader& channel, int var_type, std::ostream& console) {
  switch (var_type) {
    case 2:
    case 11:
    case 12: return number_or_corrupt(channel.i16(), console);
    case 3: return number_or_corrupt(channel.i32(), console);
    case 4: return number_or_corrupt(channel.f32(), console);
    case 5:
    case 7: return number_or_corrupt(channel.f64(), console);
    case 6: return number_or_corrupt(channel.u64(), console);
    case 17: return number_or_corrupt(channel.i8(), console);
    case 8: {
      auto length = channel.i16();
      if (!length) corrupt(console);
      Variant out;
      out.is_text = true;
      if (*length > 0) {
        auto chars = channel.bytes(static_cast<std::size_t>(*length));
        if (!chars) corrupt(console);
        out.chars.assign(reinterpret_cast<const char*>(chars->data()), chars->size());
      }
      return out;
    }
    default: corrupt(console);
  }
}

Variant read_item(ByteReader& channel, std::ostream& console) {
  auto type = channel.i16();
  if (!type) corrupt(console);
  return ReadVariant(channel, *type, console);
}

std::string RemoveInvalid(std::string_view bad_name) {
  std::string good;
  good.reserve(bad_name.size());
  for (char c : bad_name)
    if (kInvalidNameChars.find(c) == std::string_view::npos) good += c;
  return good;
}

std::string_view GetUnits(double unit_int) {
  if (unit_int == 35 || unit_int == 98) return kTestNotPerformed;
  if (unit_int >= 1 && unit_int <= 34 && unit_int == std::floor(unit_int))
    return kUnitTexts[static_cast<std::size_t>(unit_int) - 1];
  return kUnknownUnit;
}

std::string_view GetUnits(const Variant& unit_int) {
  return unit_int.is_text ? kUnknownUnit : GetUnits(unit_int.number);
}

namespace {

// A record being filled from the file: fields in order of creation, a repeated name
// replacing the earlier value. Looks names up by hash, so a file of many names stays linear.
class FieldList {
 public:
  Value& operator[](const std::string& name) {
    auto [it, inserted] = index_.try_emplace(name, values_.size());
    if (inserted) {
      names_.push_back(name);
      values_.emplace_back();
    }
    return values_[it->second];
  }
  Value build() && {
    std::vector<std::vector<Value>> element;
    element.push_back(std::move(values_));
    return Value::records({1, 1}, std::move(names_), std::move(element));
  }

 private:
  std::vector<std::string> names_;
  std::vector<Value> values_;
  std::unordered_map<std::string, std::size_t> index_;
};

double number_of(const Variant& v, const std::string& what) {
  if (v.is_text)
    throw RuntimeError("loadshock: the " + what + " in the dyno file is a text, not a number");
  return v.number;
}

// How many times a loop "for i = 1 to bound" runs, as the last i (0 when it does not run).
double last_index(double bound) { return bound >= 1 ? std::floor(bound) : 0; }

std::string name_of(const Variant& v, const std::string& what) {
  if (!v.is_text)
    throw RuntimeError("loadshock: the " + what + " in the dyno file is a number, not a name");
  return RemoveInvalid(v.joined());
}

Value units_text(const Variant& unit) { return Value::text(std::string(GetUnits(unit))); }

// A value followed by its unit code; a code of 98 or 35 replaces the value by the unit text.
void read_value_unit_pair(ByteReader& r, std::ostream& console, Value& target) {
  Variant value = read_item(r, console);
  Variant unit = read_item(r, console);
  const bool not_performed = !unit.is_text && (unit.number == 98 || unit.number == 35);
  target.set_field("Data", not_performed ? units_text(unit) : value.to_value());
  target.set_field("Units", units_text(unit));
}

// A value followed by its unit code, the value kept as read.
void read_value_and_units(ByteReader& r, std::ostream& console, Value& target) {
  Variant value = read_item(r, console);
  Variant unit = read_item(r, console);
  target.set_field("Data", value.to_value());
  target.set_field("Units", units_text(unit));
}

Value read_page(ByteReader& r, std::ostream& console, double version, const std::string& page_name) {
  FieldList page;
  read_value_and_units(r, console, page["TestPeriod"]);
  read_value_unit_pair(r, console, page["GasTest"]);
  read_value_and_units(r, console, page["TestSpeed"]);
  if (version == 4) {
    Variant stroke = read_item(r, console);
    const double doubled = 2 * number_of(stroke, "test stroke of page " + page_name);
    Variant unit = read_item(r, console);
    Value& target = page["TestStroke"];
    target.set_field("Data", Value::number(doubled));
    target.set_field("Units", units_text(unit));
  }
  const double last_channel =
      last_index(number_of(read_item(r, console), "channel count of page " + page_name) + 1);
  for (double j = 1; j <= last_channel; ++j) {
    const std::string where = "channel " + std::to_string(static_cast<std::uint64_t>(j)) +
                              " of page " + page_name;
    const std::string name = name_of(read_item(r, console), "name of " + where);
    Variant offset = read_item(r, console);
    Variant unit = read_item(r, console);
    // Data block: type code and a 16-bit value (both unused), the sample count, four unused
    // bytes, then the samples as single-precision floats.
    r.i16();
    r.i16();
    const auto array_length = r.u32();
    r.bytes(4);
    std::vector<double> samples = array_length ? r.f32_samples(*array_length) : std::vector<double>{};
    Value& channel = page[name];
    channel.set_field("Offset", offset.to_value());
    channel.set_field("Units", units_text(unit));
    channel.set_field("Data", Value::column(std::move(samples)));
  }
  return std::move(page).build();
}

// The whole file, from either kind of reader.
Value read_shock(ByteReader& r, std::ostream& console, std::string_view fn, std::string_view pn) {
  FieldList shock;
  shock["fn"] = Value::text(std::string(fn));
  shock["pn"] = Value::text(std::string(pn));

  read_item(r, console);
  const Variant version = read_item(r, console);
  read_item(r, console);
  read_item(r, console);
  const Variant prop_count = read_item(r, console);
  read_item(r, console);
  read_item(r, console);
  shock["Version"] = version.to_value();

  const double last_prop = last_index(number_of(prop_count, "property count"));
  for (double i = 1; i <= last_prop; ++i) {
    const std::string name = name_of(
        read_item(r, console), "name of property " + std::to_string(static_cast<std::uint64_t>(i)));
    Variant value = read_item(r, console);
    shock[name] = value.to_value();
  }

  read_value_unit_pair(r, console, shock["SealDrag"]);
  read_value_unit_pair(r, console, shock["TestTemp"]);
  read_value_unit_pair(r, console, shock["Stroke"]);
  read_value_unit_pair(r, console, shock["PeakVelocity"]);

  const double version_number = number_of(version, "format version");
  if (version_number > 1) {
    read_item(r, console);
    read_item(r, console);
  }

  const double num_pages = number_of(read_item(r, console), "page count");
  shock["NumberTests"] = Value::number(num_pages + 1);
  shock["TestType"] = Value::text(num_pages == 0 ? "CVP" : "PVP");
  const double last_page = last_index(num_pages + 1);
  for (double i = 1; i <= last_page; ++i) {
    const std::string page_name = "Speed_" + std::to_string(static_cast<std::uint64_t>(i));
    Value page = read_page(r, console, version_number, page_name);
    shock[page_name] = std::move(page);
  }
  return std::move(shock).build();
}

}  // namespace
}  // namespace dyno

Value read_dyno(std::span<const std::uint8_t> bytes, std::ostream& console, std::string_view fn,
                std::string_view pn) {
  dyno::ByteReader r(bytes);
  return dyno::read_shock(r, console, fn, pn);
}

LoadshockResult loadshock(Dialogs& dialogs, std::ostream& console,
                          const std::optional<std::string>& pn) {
  const std::string filter = pn.value_or("") + std::string(kLoadshockPattern);
  const DialogResult answer = dialogs.open_file(filter, std::string(kLoadshockDialogTitle));
  if (answer.cancelled) return {Value::number(1), std::nullopt};
  const std::string full_name = answer.folder + answer.file;
  // Read through a small window: the samples go from the file straight into their channels.
  FilePtr f = open_for_reading(full_name);
  if (!f) throw RuntimeError("loadshock: cannot open the dyno file \"" + full_name + "\".");
  const std::uintmax_t announced = check_readable(f.get(), full_name, kDynoFileLimit);
  dyno::ByteReader r(f.get(), static_cast<std::uint64_t>(announced), full_name);
  return {dyno::read_shock(r, console, answer.file, answer.folder), answer.folder};
}

}  // namespace quorin
