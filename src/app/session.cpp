#include "app/session.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>

#include "app/comparison_tools.h"
#include "processor/processor.h"
#include "services/packed_file.h"
#include "services/runtime_error.h"
#include "startup/program.h"

namespace quorin {
namespace {

constexpr std::string_view kTitle = "quorin kept session";
constexpr std::uint32_t kVersion = 1;

constexpr int kMostCurves = 7;
// Texts the program makes (legends, box texts) are short; a longer one was not made by it.
constexpr std::size_t kLongestText = 1024;
constexpr std::size_t kLongestName = 64;

// Main-window edit boxes kept besides the twelve selections: the axis limits, the UPDATE #
// and EXPORT # numbers and the valve-seat boxes.
constexpr std::array<std::string_view, 8> kBoxes = {"xmin",      "xmax",        "ymin",
                                                    "ymax",      "plotindex",   "curveselect",
                                                    "valveseatcompression", "valveseatrebound"};
constexpr std::array<std::string_view, 4> kLimitBoxes = {"xmin", "xmax", "ymin", "ymax"};
// Radio buttons and check boxes: the units, the Hold boxes and the All boxes.
constexpr std::array<std::string_view, 6> kButtons = {"SIUnits",     "USUnits",  "holdimport",
                                                      "holdroehrig", "clearall", "printall"};

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }
bool same_bits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}
bool same_bits(const SharedArray& a, const SharedArray& b) {
  return a.shares_with(b) || same_bits(a.vec(), b.vec());
}

// The eight rows of a curve record, in record order.
template <class Curve>
auto rows_of(Curve& c) {
  return std::array{&c.cmpvelocity,          &c.cmpforce,          &c.rebvelocity,
                    &c.rebforce,             &c.compression_velocity, &c.compression_force,
                    &c.rebound_velocity,     &c.rebound_force};
}
template <class Curve>
auto scales_of(Curve& c) {
  return std::array{&c.compscale, &c.rebscale, &c.gasforce, &c.motionratio};
}
template <class Curve>
auto names_of(Curve& c) {
  return std::array{&c.curveIDcompression1, &c.curveIDcompression2, &c.curveIDrebound1,
                    &c.curveIDrebound2};
}

bool same_curve(const DamperCurve& a, const DamperCurve& b) {
  const auto ra = rows_of(a), rb = rows_of(b);
  const auto sa = scales_of(a), sb = scales_of(b);
  const auto na = names_of(a), nb = names_of(b);
  for (std::size_t k = 0; k < ra.size(); ++k)
    if (!same_bits(*ra[k], *rb[k])) return false;
  for (std::size_t k = 0; k < sa.size(); ++k)
    if (!same_bits(*sa[k], *sb[k])) return false;
  for (std::size_t k = 0; k < na.size(); ++k)
    if (*na[k] != *nb[k]) return false;
  return true;
}

// Values compared with numbers bit for bit; shared number rows by identity first.
bool same_value(const Value& a, const Value& b) {
  if (a.kind() != b.kind() || a.dims() != b.dims()) return false;
  switch (a.kind()) {
    case Value::Kind::Numeric:
      return same_bits(a.shared_numbers(), b.shared_numbers());
    case Value::Kind::Text:
      return a.str() == b.str();
    case Value::Kind::Records:
      if (a.field_names() != b.field_names()) return false;
      for (std::size_t e = 1; e <= a.numel(); ++e) {
        const std::vector<Value> x = a.element(e), y = b.element(e);
        for (std::size_t k = 0; k < x.size(); ++k)
          if (!same_value(x[k], y[k])) return false;
      }
      return true;
    case Value::Kind::Cell:
      for (std::size_t k = 0; k < a.cells().size(); ++k)
        if (!same_value(a.cells()[k], b.cells()[k])) return false;
      return true;
  }
  return false;
}

bool whole_in(double v, double lo, double hi) {
  return std::isfinite(v) && v == std::floor(v) && v >= lo && v <= hi;
}

[[noreturn]] void refuse(const std::string& what, const std::string& fault) {
  throw RuntimeError(what + " " + fault + "; it was not restored.");
}

void check_text(const std::string& what, const std::string& text, std::string_view of) {
  if (text.size() > kLongestText)
    refuse(what, "holds a text of " + std::to_string(text.size()) + " characters as " +
                     std::string(of));
}

template <class Container>
auto find_named(Container& c, std::string_view name) {
  return std::find_if(c.begin(), c.end(), [&](const auto& kv) { return kv.first == name; });
}

void put_unchecked(Program& p, const SessionDocument& d, const std::string& what) {
  Processor proc = p.processor();
  actions::apply_selections(proc, d.selections, what);
  for (const auto& [tag, text] : d.boxes) main_control(p.gfx, tag).string = text;
  for (const auto& [tag, value] : d.buttons) main_control(p.gfx, tag).value = value;
  Globals& g = p.globals;
  g.plotdata = d.plotdata;
  g.counter = d.counter;
  g.counter2 = d.counter2;
  g.import = d.import;
  g.ShockData = d.ShockData;
  p.tools->set_hidden(std::set<int>(d.hidden.begin(), d.hidden.end()));
  std::optional<TuningTools::Corner> corner;
  if (d.guides) corner = TuningTools::Corner{(*d.guides)[0], (*d.guides)[1]};
  p.tools->tuning_tools().set_guides(corner);
  p.gfx.figure(1);
  // Redrawn as Rescale draws, with the units and limits the boxes now show.
  quorin_processor_ct(proc, "rescale");
  p.tools->after_command();  // the hidden curves and the guides, drawn again
}

}  // namespace

std::size_t SessionDocument::stored_curves() const {
  return counter >= 1 ? static_cast<std::size_t>(counter) - 1 : 0;
}

bool same_session(const SessionDocument& a, const SessionDocument& b) {
  if (!same_bits(a.counter, b.counter) || !same_bits(a.counter2, b.counter2) ||
      a.boxes != b.boxes || a.hidden != b.hidden || a.guides.has_value() != b.guides.has_value())
    return false;
  if (a.guides && (!same_bits((*a.guides)[0], (*b.guides)[0]) ||
                   !same_bits((*a.guides)[1], (*b.guides)[1])))
    return false;
  if (a.buttons.size() != b.buttons.size() || a.selections.size() != b.selections.size() ||
      a.plotdata.size() != b.plotdata.size())
    return false;
  for (std::size_t k = 0; k < a.buttons.size(); ++k)
    if (a.buttons[k].first != b.buttons[k].first ||
        !same_bits(a.buttons[k].second, b.buttons[k].second))
      return false;
  for (std::size_t k = 0; k < a.selections.size(); ++k)
    if (a.selections[k].first != b.selections[k].first ||
        !same_value(a.selections[k].second, b.selections[k].second))
      return false;
  for (std::size_t k = 0; k < a.plotdata.size(); ++k)
    if (!same_curve(a.plotdata[k], b.plotdata[k])) return false;
  if (a.import.rows != b.import.rows || a.import.cols != b.import.cols ||
      a.import.columns.size() != b.import.columns.size())
    return false;
  for (std::size_t c = 0; c < a.import.columns.size(); ++c)
    if (!same_bits(a.import.columns[c], b.import.columns[c])) return false;
  return same_value(a.ShockData, b.ShockData);
}

SessionDocument take_session(Program& p) {
  SessionDocument d;
  d.selections = actions::read_selections(p.gfx);
  for (std::string_view tag : kBoxes)
    d.boxes.emplace_back(std::string(tag), main_control(p.gfx, tag).string);
  for (std::string_view tag : kButtons)
    d.buttons.emplace_back(std::string(tag), main_control(p.gfx, tag).value);
  const Globals& g = p.globals;
  d.counter = g.counter;
  d.counter2 = g.counter2;
  d.plotdata = g.plotdata;
  d.import = g.import;
  d.ShockData = g.ShockData;
  d.hidden.assign(p.tools->hidden_curves().begin(), p.tools->hidden_curves().end());
  if (const auto& corner = p.tools->tuning().guides())
    d.guides = std::array{corner->mass_kg, corner->rate_n_per_mm};
  return d;
}

void check_session(const SessionDocument& d, const std::string& what) {
  if (!whole_in(d.counter, 1, kMostCurves + 1))
    refuse(what, "counts " + std::to_string(d.counter - 1) + " stored curves");
  if (d.plotdata.size() > static_cast<std::size_t>(kMostCurves))
    refuse(what, "holds " + std::to_string(d.plotdata.size()) +
                     " stored curves, more than the seven the program keeps");
  if (d.stored_curves() > d.plotdata.size())
    refuse(what, "counts " + std::to_string(d.stored_curves()) + " curves but holds " +
                     std::to_string(d.plotdata.size()));
  if (!whole_in(d.counter2, 1, 1e9)) refuse(what, "holds a PLOT count that is not a whole number");
  for (std::size_t k = 0; k < d.plotdata.size(); ++k) {
    const DamperCurve& c = d.plotdata[k];
    const auto rows = rows_of(c);
    const std::string curve = "curve " + std::to_string(k + 1);
    for (std::size_t r = 0; r < rows.size(); r += 2)
      if (rows[r]->size() != rows[r + 1]->size())
        refuse(what, "holds " + curve + " with " + std::string(kDamperCurveFields[r < 4 ? r : r + 4]) +
                         " and " + std::string(kDamperCurveFields[r < 4 ? r + 1 : r + 5]) +
                         " of different lengths");
    for (const std::string* name : names_of(c)) check_text(what, *name, "a name of " + curve);
  }
  if (!d.import.columns.empty() && (d.import.cols != 3 || d.import.rows < 1))
    refuse(what, "holds an import of " + std::to_string(d.import.cols) +
                     " columns; an import has velocity, compression and rebound");
  for (const auto& [name, value] : d.selections)
    if (value.is_text()) check_text(what, value.str(), name);
  for (const auto& [tag, text] : d.boxes) {
    check_text(what, text, "the box " + tag);
    const bool limit = std::find(kLimitBoxes.begin(), kLimitBoxes.end(), tag) != kLimitBoxes.end();
    if (limit && text.find_first_not_of(" \t") != std::string::npos && !str2double(text))
      refuse(what, "holds \"" + text + "\" as the limit " + tag + ", which is not a number");
  }
  for (const auto& [tag, value] : d.buttons)
    if (value != 0 && value != 1) refuse(what, "holds " + std::to_string(value) + " as " + tag);
  for (int n : d.hidden)
    if (n < 1 || static_cast<std::size_t>(n) > d.stored_curves())
      refuse(what, "hides curve " + std::to_string(n) + ", which is not stored");
  if (d.guides && !(std::isfinite((*d.guides)[0]) && (*d.guides)[0] > 0 &&
                    std::isfinite((*d.guides)[1]) && (*d.guides)[1] > 0))
    refuse(what, "holds damping guides for a corner without a positive mass and rate");
}

void put_session(Program& p, const SessionDocument& d, const std::string& what) {
  check_session(d, what);
  const SessionDocument before = take_session(p);
  try {
    put_unchecked(p, d, what);
  } catch (...) {
    try {
      put_unchecked(p, before, what);
    } catch (...) {
      // The program was in `before` a moment ago; it can be drawn again by the next action.
    }
    throw;
  }
}

void write_session(const std::filesystem::path& file, const SessionDocument& d) {
  PackWriter w(file, kTitle, kVersion);
  w.f64(d.counter);
  w.f64(d.counter2);
  w.u64(d.selections.size());
  for (const auto& [name, value] : d.selections) {
    w.text(name);
    w.value(value);
  }
  w.u64(d.boxes.size());
  for (const auto& [tag, text] : d.boxes) {
    w.text(tag);
    w.text(text);
  }
  w.u64(d.buttons.size());
  for (const auto& [tag, value] : d.buttons) {
    w.text(tag);
    w.f64(value);
  }
  w.u64(d.plotdata.size());
  for (const DamperCurve& c : d.plotdata) {
    for (const std::vector<double>* row : rows_of(c)) w.doubles(*row);
    for (const double* s : scales_of(c)) w.f64(*s);
    for (const std::string* name : names_of(c)) w.text(*name);
  }
  w.u64(d.import.rows);
  w.u64(d.import.cols);
  std::vector<const double*> columns;
  for (const SharedArray& c : d.import.columns) columns.push_back(c.data());
  w.rows_of(columns, d.import.columns.empty() ? 0 : d.import.rows);
  w.value(d.ShockData);
  w.u64(d.hidden.size());
  for (int n : d.hidden) w.u64(static_cast<std::uint64_t>(n));
  w.u64(d.guides ? 1 : 0);
  if (d.guides) {
    w.f64((*d.guides)[0]);
    w.f64((*d.guides)[1]);
  }
  w.commit();
}

SessionDocument read_session(const std::filesystem::path& file) {
  PackReader r(file, kTitle, kVersion);
  SessionDocument d;
  d.counter = r.f64();
  d.counter2 = r.f64();
  auto small_count = [&r](std::size_t most, const char* what) {
    const std::uint64_t n = r.u64();
    if (n > most)
      throw RuntimeError("The file \"" + r.path().string() + "\" cannot be read: it holds " +
                         std::to_string(n) + " " + what + ".");
    return static_cast<std::size_t>(n);
  };
  for (std::size_t k = small_count(64, "selections"); k > 0; --k) {
    std::string name = r.text(kLongestName);
    d.selections.emplace_back(std::move(name), r.value());
  }
  for (std::size_t k = small_count(64, "boxes"); k > 0; --k) {
    std::string tag = r.text(kLongestName);
    d.boxes.emplace_back(std::move(tag), r.text(kLongestText));
  }
  for (std::size_t k = small_count(64, "buttons"); k > 0; --k) {
    std::string tag = r.text(kLongestName);
    d.buttons.emplace_back(std::move(tag), r.f64());
  }
  d.plotdata.resize(small_count(64, "stored curves"));
  for (DamperCurve& c : d.plotdata) {
    for (std::vector<double>* row : rows_of(c)) *row = r.doubles();
    for (double* s : scales_of(c)) *s = r.f64();
    for (std::string* name : names_of(c)) *name = r.text(kLongestText);
  }
  const std::size_t rows = static_cast<std::size_t>(std::min<std::uint64_t>(r.u64(), SIZE_MAX));
  const std::size_t cols = static_cast<std::size_t>(std::min<std::uint64_t>(r.u64(), SIZE_MAX));
  try {
    d.import = Matrix(rows, cols, r.doubles());
  } catch (const std::invalid_argument&) {
    throw RuntimeError("The file \"" + file.string() +
                       "\" cannot be read: its import does not hold rows times columns numbers.");
  }
  d.ShockData = r.value();
  for (std::size_t k = small_count(64, "hidden curves"); k > 0; --k)
    d.hidden.push_back(static_cast<int>(std::min<std::uint64_t>(r.u64(), 1u << 20)));
  if (r.u64() != 0) d.guides = std::array{r.f64(), r.f64()};
  r.finish();
  return d;
}

std::size_t read_session_curves(const std::filesystem::path& file) {
  PackReader r(file, kTitle, kVersion);
  const double counter = r.f64();
  return whole_in(counter, 1, kMostCurves + 1) ? static_cast<std::size_t>(counter) - 1 : 0;
}

}  // namespace quorin
