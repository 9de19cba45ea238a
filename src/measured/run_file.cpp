#include "measured/run_file.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

#include "services/numeric.h"
#include "services/runtime_error.h"

namespace quorin::measured {
namespace {

constexpr double kMetresPerInch = 0.0254;
constexpr double kNewtonsPerKgf = 9.80665;
constexpr double kNewtonsPerLbf = 4.4482216152605;
constexpr double kGapSteps = 10;  // a step this many times the usual one is a gap

struct UnitName {
  std::string_view text;
  double scale, offset;
};
constexpr std::array<UnitName, 4> kTimeUnits = {
    {{"s", 1, 0}, {"sec", 1, 0}, {"ms", 0.001, 0}, {"min", 60, 0}}};
constexpr std::array<UnitName, 6> kLengthUnits = {{{"mm", 0.001, 0},
                                                   {"m", 1, 0},
                                                   {"cm", 0.01, 0},
                                                   {"in", kMetresPerInch, 0},
                                                   {"inch", kMetresPerInch, 0},
                                                   {"\"", kMetresPerInch, 0}}};
constexpr std::array<UnitName, 7> kForceUnits = {{{"n", 1, 0},
                                                  {"kn", 1000, 0},
                                                  {"kgf", kNewtonsPerKgf, 0},
                                                  {"kg", kNewtonsPerKgf, 0},
                                                  {"lbf", kNewtonsPerLbf, 0},
                                                  {"lb", kNewtonsPerLbf, 0},
                                                  {"lbs", kNewtonsPerLbf, 0}}};
constexpr std::array<UnitName, 6> kVelocityUnits = {{{"m/s", 1, 0},
                                                     {"mm/s", 0.001, 0},
                                                     {"cm/s", 0.01, 0},
                                                     {"in/s", kMetresPerInch, 0},
                                                     {"ips", kMetresPerInch, 0},
                                                     {"in/sec", kMetresPerInch, 0}}};
// °F to °C: (F - 32) * 5/9 = F * 5/9 - 160/9
constexpr std::array<UnitName, 4> kTemperatureUnits = {{{"c", 1, 0},
                                                        {"degc", 1, 0},
                                                        {"f", 5.0 / 9.0, -160.0 / 9.0},
                                                        {"degf", 5.0 / 9.0, -160.0 / 9.0}}};

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') s = s.substr(1, s.size() - 2);
  return s;
}

// The words of a lower-case name: runs of letters and digits.
std::vector<std::string> words_of(const std::string& s) {
  std::vector<std::string> out;
  std::string w;
  for (char c : s) {
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
      w += c;
    } else if (!w.empty()) {
      out.push_back(std::move(w));
      w.clear();
    }
  }
  if (!w.empty()) out.push_back(std::move(w));
  return out;
}

bool has_word(const std::vector<std::string>& words, std::string_view w) {
  return std::find(words.begin(), words.end(), w) != words.end();
}
bool has_part(const std::string& s, std::string_view part) {
  return s.find(part) != std::string::npos;
}

int corner_of(const std::vector<std::string>& words, const std::string& name) {
  constexpr std::array<std::array<std::string_view, 2>, 4> kTokens = {
      {{"fl", "lf"}, {"fr", "rf"}, {"rl", "lr"}, {"rr", "rr"}}};
  for (int c = 0; c < 4; ++c)
    for (std::string_view t : kTokens[static_cast<std::size_t>(c)])
      if (has_word(words, t)) return c;
  constexpr std::array<std::string_view, 4> kLong = {"front left", "front right", "rear left",
                                                     "rear right"};
  for (int c = 0; c < 4; ++c)
    if (has_part(name, kLong[static_cast<std::size_t>(c)])) return c;
  return -1;
}

Quantity quantity_of(const std::vector<std::string>& words, const std::string& name) {
  if (has_part(name, "temp")) return Quantity::Temperature;
  if (has_part(name, "time") || has_word(words, "t") || has_word(words, "sec"))
    return Quantity::Time;
  if (has_part(name, "vel") || has_part(name, "speed") || has_word(words, "v"))
    return Quantity::Velocity;
  if (has_part(name, "force") || has_part(name, "load") || has_word(words, "f"))
    return Quantity::Force;
  if (has_part(name, "disp") || has_part(name, "pos") || has_part(name, "travel") ||
      has_part(name, "stroke") || has_word(words, "x") || has_part(name, "damper"))
    return Quantity::Displacement;
  if (has_word(words, "run") || has_word(words, "test") || has_word(words, "speed"))
    return Quantity::Run;
  return Quantity::Unknown;
}

template <std::size_t N>
std::optional<ColumnUnit> unit_from(const std::array<UnitName, N>& known, const std::string& u) {
  for (const UnitName& k : known)
    if (k.text == u) return ColumnUnit{k.scale, k.offset, {}};
  return std::nullopt;
}

std::string_view unit_list(Quantity q) {
  switch (q) {
    case Quantity::Time:
      return "s or ms";
    case Quantity::Displacement:
      return "mm, m or in";
    case Quantity::Force:
      return "N, kN, kgf or lbf";
    case Quantity::Velocity:
      return "m/s, mm/s or in/s";
    case Quantity::Temperature:
      return "\xC2\xB0"
             "C or \xC2\xB0"
             "F";
    default:
      return "";
  }
}

std::string_view quantity_word(Quantity q) {
  switch (q) {
    case Quantity::Time:
      return "time";
    case Quantity::Displacement:
      return "length";
    case Quantity::Force:
      return "force";
    case Quantity::Velocity:
      return "velocity";
    case Quantity::Temperature:
      return "temperature";
    default:
      return "";
  }
}

// The unit text as written (inside brackets), reduced to a key: lower case, no degree sign,
// no spaces or dots.
std::string unit_key(std::string_view written) {
  std::string key;
  const std::string l = lower(written);
  for (std::size_t i = 0; i < l.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(l[i]);
    if (c == 0xC2 && i + 1 < l.size() && static_cast<unsigned char>(l[i + 1]) == 0xB0) {
      ++i;  // ° in UTF-8
      continue;
    }
    if (c == 0xB0 || c == ' ' || c == '.') continue;
    key += static_cast<char>(c);
  }
  if (key == "deg") key.clear();
  return key;
}

std::optional<ColumnUnit> unit_for(Quantity q, const std::string& key) {
  switch (q) {
    case Quantity::Time:
      return unit_from(kTimeUnits, key);
    case Quantity::Displacement:
      return unit_from(kLengthUnits, key);
    case Quantity::Force:
      return unit_from(kForceUnits, key);
    case Quantity::Velocity:
      return unit_from(kVelocityUnits, key);
    case Quantity::Temperature:
      return unit_from(kTemperatureUnits, key);
    default:
      return ColumnUnit{};
  }
}

// The unit a column of quantity q is in when its header names none.
ColumnUnit default_unit(Quantity q) {
  switch (q) {
    case Quantity::Displacement:
      return {0.001, 0, {}};  // mm
    default:
      return {1, 0, {}};  // s, N, m/s, °C
  }
}

// Plain decimals ("-12.345", or "0,5" with a decimal comma) are read directly: their digits
// as a whole number up to 2^53 and a division by a power of ten up to 10^22, both exact, so
// the one division rounds just as the full reading of the text does. nullopt for anything
// else (exponents, long numbers), which the full reading takes.
std::optional<double> plain_decimal(std::string_view s, char mark) {
  static constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                            1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  constexpr std::size_t kMostDigits = 19;  // a uint64 holds any 19 digits
  constexpr std::uint64_t kExact = std::uint64_t{1} << 53;
  std::size_t i = 0;
  const bool negative = !s.empty() && s[0] == '-';
  if (negative) ++i;
  if (s.size() - i > kMostDigits + 1) return std::nullopt;
  std::uint64_t m = 0;
  std::size_t mark_at = s.size();
  for (std::size_t k = i; k < s.size(); ++k) {
    const auto d = static_cast<unsigned char>(s[k] - '0');
    if (d < 10) {
      m = m * 10 + d;
    } else if (s[k] == mark && mark_at == s.size()) {
      mark_at = k;
    } else {
      return std::nullopt;
    }
  }
  const std::size_t decimals = mark_at == s.size() ? 0 : s.size() - mark_at - 1;
  const std::size_t digits = s.size() - i - (mark_at == s.size() ? 0 : 1);
  if (digits == 0 || digits > kMostDigits || m > kExact || decimals > 22) return std::nullopt;
  double v = static_cast<double>(m);
  if (decimals) v /= kPowersOfTen[decimals];
  return negative ? -v : v;
}

// One cell as a number: spaces and quotes around it and a leading plus sign allowed; a
// decimal comma when the file writes one. nullopt when it is no number at all; a number beyond
// any double (1e999) is infinite, and refused as such by the caller.
std::optional<double> cell_number(std::string_view cell, bool decimal_comma) {
  cell = trim(cell);
  if (!cell.empty() && cell.front() == '+') cell.remove_prefix(1);
  if (cell.empty()) return std::nullopt;
  if (std::optional<double> v = plain_decimal(cell, decimal_comma ? ',' : '.')) return v;
  char buffer[64];
  if (decimal_comma) {
    if (cell.size() >= sizeof buffer) return std::nullopt;
    for (std::size_t i = 0; i < cell.size(); ++i) buffer[i] = cell[i] == ',' ? '.' : cell[i];
    cell = std::string_view(buffer, cell.size());
  }
  double v = 0;
  const auto r = std::from_chars(cell.data(), cell.data() + cell.size(), v);
  if (r.ptr != cell.data() + cell.size()) return std::nullopt;
  if (r.ec == std::errc::result_out_of_range) {
    // Too large for a double: infinite. Too small: zero, as the full reading rounds it.
    const bool large =
        cell.find_first_of("123456789") != std::string_view::npos &&
        (cell.find("e-") == std::string_view::npos && cell.find("E-") == std::string_view::npos);
    if (!large) return cell.front() == '-' ? -0.0 : 0.0;
    return cell.front() == '-' ? -HUGE_VAL : HUGE_VAL;
  }
  if (r.ec != std::errc()) return std::nullopt;
  return v;
}

// Splits one line at the delimiter. Cells are short: a plain scan finds their ends sooner
// than a library search started per cell.
void split_cells(std::string_view line, char delimiter, std::vector<std::string_view>& cells) {
  cells.clear();
  const char* p = line.data();
  const char* const end = p + line.size();
  const char* start = p;
  for (; p != end; ++p) {
    if (*p != delimiter) continue;
    cells.emplace_back(start, static_cast<std::size_t>(p - start));
    start = p + 1;
  }
  cells.emplace_back(start, static_cast<std::size_t>(end - start));
}

bool blank(std::string_view line) {
  return trim(line).empty();
}

std::string in_quotes(std::string_view s) {
  std::string out = "\"";
  for (char c : s.substr(0, 40)) out += (static_cast<unsigned char>(c) < 0x20) ? '?' : c;
  if (s.size() > 40) out += "\xE2\x80\xA6";
  return out + "\"";
}

// Walks the lines of a text: each line without its end, with its 1-based number.
class Lines {
 public:
  explicit Lines(std::string_view text) : text_(text) {}
  bool next(std::string_view& line) {
    if (pos_ >= text_.size()) return false;
    const void* hit = std::memchr(text_.data() + pos_, '\n', text_.size() - pos_);
    const std::size_t end =
        hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text_.data()) : text_.size();
    line = text_.substr(pos_, end - pos_);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos_ = end + 1;
    ++number_;
    return true;
  }
  std::size_t number() const { return number_; }

 private:
  std::string_view text_;
  std::size_t pos_ = 0, number_ = 0;
};

bool is_comment(std::string_view line) {
  const std::string_view t = trim(line);
  return !t.empty() && (t.front() == '#' || t.front() == '%');
}

std::string file_prefix(std::string_view name, std::size_t line) {
  return "The file " + in_quotes(name) + ", line " + std::to_string(line) + ": ";
}

// The rows of a file, each cell of the columns wanted read as a number and converted to SI.
// `on_row(line, values, run_key, blank_before)` is called per row.
template <class OnRow>
void for_each_row(std::string_view text, const Layout& layout, std::string_view name,
                  const std::vector<std::size_t>& wanted, int run_column, OnRow&& on_row) {
  Lines lines(text);
  std::string_view line;
  std::string_view header;
  while (lines.next(line) && lines.number() < layout.header_line) {
  }
  if (lines.number() == layout.header_line) header = line;
  std::vector<std::string_view> cells;
  std::vector<double> values(wanted.size());
  bool blank_before = false;
  const std::size_t n_columns = layout.columns.size();
  while (lines.next(line)) {
    if (blank(line)) {
      blank_before = true;
      continue;
    }
    if (is_comment(line) || line == header) continue;
    split_cells(line, layout.delimiter, cells);
    // A delimiter closing every line gives one empty cell more.
    if (cells.size() == n_columns + 1 && blank(cells.back())) cells.pop_back();
    if (cells.size() != n_columns)
      throw RuntimeError(file_prefix(name, lines.number()) + "the row has " +
                         std::to_string(cells.size()) + " cells; the header names " +
                         std::to_string(n_columns) + " columns.");
    for (std::size_t k = 0; k < wanted.size(); ++k) {
      const std::size_t c = wanted[k];
      const Column& column = layout.columns[c];
      const std::optional<double> v = cell_number(cells[c], layout.decimal_comma);
      if (!v)
        throw RuntimeError(file_prefix(name, lines.number()) + "the cell " +
                           in_quotes(trim(cells[c])) + " in column " + in_quotes(column.header) +
                           " is not a number.");
      if (!std::isfinite(*v))
        throw RuntimeError(file_prefix(name, lines.number()) + "the cell " +
                           in_quotes(trim(cells[c])) + " in column " + in_quotes(column.header) +
                           " is not a finite number (NaN or infinity).");
      values[k] = *v * column.unit.scale + column.unit.offset;
    }
    const std::string_view key =
        run_column >= 0 ? trim(cells[static_cast<std::size_t>(run_column)]) : std::string_view{};
    on_row(lines.number(), values, key, blank_before);
    blank_before = false;
  }
}

int first_column(const Layout& layout, Quantity q, int corner = -2) {
  for (std::size_t c = 0; c < layout.columns.size(); ++c)
    if (layout.columns[c].quantity == q && (corner == -2 || layout.columns[c].corner == corner))
      return static_cast<int>(c);
  return -1;
}

// The median step of a rising time row (a few thousand steps looked at are plenty).
double usual_step(const std::vector<double>& t) {
  if (t.size() < 2) return 0;
  std::vector<double> steps;
  const std::size_t stride = std::max<std::size_t>(1, (t.size() - 1) / 4096);
  for (std::size_t k = 1; k < t.size(); k += stride) steps.push_back(t[k] - t[k - 1]);
  std::nth_element(steps.begin(), steps.begin() + static_cast<long>(steps.size() / 2), steps.end());
  return steps[steps.size() / 2];
}

template <class T>
void keep_range(std::vector<T>& v, std::size_t first, std::size_t last) {
  if (v.empty()) return;
  v.erase(v.begin() + static_cast<long>(last), v.end());
  v.erase(v.begin(), v.begin() + static_cast<long>(first));
}

// The file line of each sample of a run: the run's samples stand on consecutive lines but
// where a blank or comment line comes between, so only those places are kept.
class LineMap {
 public:
  void add(std::size_t sample, std::size_t line) {
    if (breaks_.empty() || line != next_) breaks_.emplace_back(sample, line);
    next_ = line + 1;
  }
  std::size_t line_of(std::size_t sample) const {
    auto it = std::upper_bound(breaks_.begin(), breaks_.end(), std::pair{sample, ~std::size_t{0}});
    if (it == breaks_.begin()) return 0;
    --it;
    return it->second + (sample - it->first);
  }

 private:
  std::vector<std::pair<std::size_t, std::size_t>> breaks_;
  std::size_t next_ = 0;
};

// Leaves out all of a run but its longest stretch without a gap in time, with a note.
void drop_gaps(Run& r, const LineMap& lines, std::vector<std::string>& notes) {
  const double step = usual_step(r.time_s);
  if (!(step > 0)) return;
  std::size_t best_first = 0, best_last = r.time_s.size(), first = 0;
  std::size_t best_len = 0;
  std::vector<std::size_t> gaps;
  for (std::size_t k = 1; k <= r.time_s.size(); ++k) {
    const bool gap = k < r.time_s.size() && r.time_s[k] - r.time_s[k - 1] > kGapSteps * step;
    if (gap) gaps.push_back(k);
    if (gap || k == r.time_s.size()) {
      if (k - first > best_len) {
        best_len = k - first;
        best_first = first;
        best_last = k;
      }
      first = k;
    }
  }
  if (gaps.empty()) return;
  const std::size_t g = gaps.front();
  notes.push_back("Run " + r.name + ": time jumps by " + num2str(r.time_s[g] - r.time_s[g - 1]) +
                  " s at line " + std::to_string(lines.line_of(g)) + " (the usual step is " +
                  num2str(step) + " s); only lines " + std::to_string(lines.line_of(best_first)) +
                  " to " + std::to_string(lines.line_of(best_last - 1)) + " of the run are used.");
  keep_range(r.time_s, best_first, best_last);
  keep_range(r.displacement_m, best_first, best_last);
  keep_range(r.force_n, best_first, best_last);
  keep_range(r.velocity_mps, best_first, best_last);
  keep_range(r.temperature_c, best_first, best_last);
  r.first_line = lines.line_of(best_first);
}

}  // namespace

std::string_view quantity_label(Quantity q) {
  switch (q) {
    case Quantity::Time:
      return "Time (s)";
    case Quantity::Displacement:
      return "Displacement (mm)";
    case Quantity::Force:
      return "Force (N)";
    case Quantity::Velocity:
      return "Velocity (m/s)";
    case Quantity::Temperature:
      return "Temperature (\xC2\xB0"
             "C)";
    case Quantity::Run:
      return "Run number";
    case Quantity::Ignore:
      return "Not used";
    case Quantity::Unknown:
      break;
  }
  return "Unknown";
}

std::vector<Quantity> askable_quantities() {
  return {Quantity::Ignore,   Quantity::Time,        Quantity::Displacement, Quantity::Force,
          Quantity::Velocity, Quantity::Temperature, Quantity::Run};
}

Quantity quantity_labelled(std::string_view label) {
  for (Quantity q : askable_quantities())
    if (quantity_label(q) == label) return q;
  return Quantity::Unknown;
}

Column recognise_column(std::string_view header) {
  Column c;
  c.header = std::string(trim(header));
  std::string name = c.header;
  std::string unit_text;
  bool has_unit = false;
  // The unit stands in brackets at the end: "Force (N)", "Displacement [mm]".
  for (auto [open, close] : {std::pair{'(', ')'}, std::pair{'[', ']'}}) {
    const std::size_t o = name.rfind(open);
    const std::size_t e = name.rfind(close);
    if (o != std::string::npos && e != std::string::npos && e > o) {
      unit_text = name.substr(o + 1, e - o - 1);
      name = name.substr(0, o);
      has_unit = true;
      break;
    }
  }
  const std::string l = lower(name);
  const std::vector<std::string> words = words_of(l);
  c.quantity = quantity_of(words, l);
  c.corner = corner_of(words, l);
  // A logger channel named only by its corner ("FL (mm)") is the damper's position.
  if (c.quantity == Quantity::Unknown && c.corner >= 0)
    c.quantity = has_unit && unit_for(Quantity::Velocity, unit_key(unit_text))
                     ? Quantity::Velocity
                     : Quantity::Displacement;
  if (c.quantity == Quantity::Unknown || c.quantity == Quantity::Run) return c;
  if (!has_unit || unit_key(unit_text).empty()) {
    c.unit = default_unit(c.quantity);
    return c;
  }
  if (std::optional<ColumnUnit> u = unit_for(c.quantity, unit_key(unit_text))) {
    c.unit = *u;
    c.unit.text = unit_text;
    return c;
  }
  c.unit.text = unit_text;
  c.unit.scale = std::numeric_limits<double>::quiet_NaN();  // known quantity, unknown unit
  return c;
}

Layout read_layout(std::string_view text) {
  Layout layout;
  Lines lines(text);
  std::string_view line;
  while (lines.next(line)) {
    if (blank(line) || is_comment(line)) continue;
    layout.header_line = lines.number();
    break;
  }
  if (layout.header_line == 0)
    throw RuntimeError("The file has no header line naming its columns; it is empty.");
  const auto count = [&](char c) { return std::count(line.begin(), line.end(), c); };
  layout.delimiter = count('\t') > 0 ? '\t' : count(';') > 0 ? ';' : ',';
  std::vector<std::string_view> cells;
  split_cells(line, layout.delimiter, cells);
  if (cells.size() > 1 && blank(cells.back())) cells.pop_back();
  bool any_name = false;
  for (std::string_view cell : cells) {
    Column c = recognise_column(cell);
    if (cell_number(cell, false)) continue;
    any_name = true;
    if (std::isnan(c.unit.scale))
      throw RuntimeError("Line " + std::to_string(layout.header_line) + ": the unit " +
                         in_quotes(c.unit.text) + " of column " + in_quotes(c.header) +
                         " is not a " + std::string(quantity_word(c.quantity)) + " unit; use " +
                         std::string(unit_list(c.quantity)) + ".");
  }
  if (!any_name || cells.size() < 2)
    throw RuntimeError("Line " + std::to_string(layout.header_line) +
                       ": the file has no header line naming its columns (time, displacement, "
                       "force, ...) separated by commas, semicolons or tabs.");
  for (std::string_view cell : cells) layout.columns.push_back(recognise_column(cell));
  // A decimal comma: where commas separate nothing, a row among the first under the header
  // writes one (whole numbers need no decimal mark, so one row is not enough to tell).
  constexpr std::size_t kRowsLookedAt = 1000;
  for (std::size_t rows = 0; layout.delimiter != ',' && rows < kRowsLookedAt && lines.next(line);
       ++rows) {
    if (line.find(',') != std::string_view::npos) {
      layout.decimal_comma = true;
      break;
    }
  }
  return layout;
}

RunFile read_runs(std::string_view text, const Layout& layout, std::string_view name) {
  const int time = first_column(layout, Quantity::Time);
  const int disp = first_column(layout, Quantity::Displacement);
  const int force = first_column(layout, Quantity::Force);
  const int velocity = first_column(layout, Quantity::Velocity);
  const int temperature = first_column(layout, Quantity::Temperature);
  const int run = first_column(layout, Quantity::Run);
  std::string missing;
  for (auto [c, what] :
       {std::pair{time, "time"}, std::pair{disp, "displacement"}, std::pair{force, "force"}})
    if (c < 0) missing += std::string(missing.empty() ? "" : " and ") + what;
  if (!missing.empty())
    throw RuntimeError("The file " + in_quotes(name) + " has no " + missing +
                       " column; a run file needs time, displacement and force.");
  std::vector<std::size_t> wanted = {static_cast<std::size_t>(time), static_cast<std::size_t>(disp),
                                     static_cast<std::size_t>(force)};
  if (velocity >= 0) wanted.push_back(static_cast<std::size_t>(velocity));
  if (temperature >= 0) wanted.push_back(static_cast<std::size_t>(temperature));
  const std::size_t temperature_at = velocity >= 0 ? 4 : 3;

  RunFile out;
  out.layout = layout;
  std::vector<LineMap> lines_of;
  std::string current_key;
  for_each_row(
      text, layout, name, wanted, run,
      [&](std::size_t line, const std::vector<double>& v, std::string_view key, bool blank_before) {
        const bool new_run = out.runs.empty() || (run >= 0 ? key != current_key : blank_before);
        if (new_run) {
          Run r;
          r.name = run >= 0 ? std::string(key) : std::to_string(out.runs.size() + 1);
          r.first_line = line;
          out.runs.push_back(std::move(r));
          lines_of.emplace_back();
          current_key = std::string(key);
        }
        Run& r = out.runs.back();
        if (!r.time_s.empty() && !(v[0] > r.time_s.back()))
          throw RuntimeError(file_prefix(name, line) + "time " +
                             (v[0] < r.time_s.back() ? "goes back" : "stands still") + " from " +
                             num2str(r.time_s.back()) + " s to " + num2str(v[0]) +
                             " s within run " + r.name + ".");
        r.time_s.push_back(v[0]);
        r.displacement_m.push_back(v[1]);
        r.force_n.push_back(v[2]);
        if (velocity >= 0) r.velocity_mps.push_back(v[3]);
        if (temperature >= 0) r.temperature_c.push_back(v[temperature_at]);
        lines_of.back().add(r.time_s.size() - 1, line);
      });
  if (out.runs.empty())
    throw RuntimeError("The file " + in_quotes(name) +
                       " has no rows of numbers under its header (line " +
                       std::to_string(layout.header_line) + ").");
  for (std::size_t k = 0; k < out.runs.size(); ++k) drop_gaps(out.runs[k], lines_of[k], out.notes);
  return out;
}

std::string run_file_text(const std::filesystem::path& path) {
  return read_file_text(path, kRunFileLimit);
}

TrackFile read_track(std::string_view text, const Layout& layout, std::string_view name) {
  const int time = first_column(layout, Quantity::Time);
  if (time < 0)
    throw RuntimeError("The file " + in_quotes(name) +
                       " has no time column; a logger file needs "
                       "time and a damper position or velocity per corner.");
  TrackFile out;
  std::vector<std::size_t> wanted = {static_cast<std::size_t>(time)};
  for (int corner = 0; corner < 4; ++corner) {
    int c = first_column(layout, Quantity::Velocity, corner);
    const bool is_velocity = c >= 0;
    if (c < 0) c = first_column(layout, Quantity::Displacement, corner);
    if (c < 0) continue;
    wanted.push_back(static_cast<std::size_t>(c));
    out.channels.push_back({corner, is_velocity, {}});
  }
  if (out.channels.empty())
    throw RuntimeError("The file " + in_quotes(name) +
                       " has no damper position or velocity column named after a corner (FL, "
                       "FR, RL, RR).");
  for_each_row(text, layout, name, wanted, -1,
               [&](std::size_t line, const std::vector<double>& v, std::string_view, bool) {
                 if (!out.time_s.empty() && !(v[0] > out.time_s.back()))
                   throw RuntimeError(file_prefix(name, line) + "time does not rise (from " +
                                      num2str(out.time_s.back()) + " s to " + num2str(v[0]) +
                                      " s).");
                 out.time_s.push_back(v[0]);
                 for (std::size_t k = 0; k < out.channels.size(); ++k)
                   out.channels[k].samples.push_back(v[k + 1]);
               });
  if (out.time_s.empty())
    throw RuntimeError("The file " + in_quotes(name) +
                       " has no rows of numbers under its header (line " +
                       std::to_string(layout.header_line) + ").");
  return out;
}

}  // namespace quorin::measured
