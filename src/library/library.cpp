#include "library/library.h"

#include <sys/stat.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <fstream>
#include <map>
#include <random>

#include "library/postgresql_backend.h"
#include "library/sqlite_backend.h"
#include "plotting/overlays.h"
#include "processor/processor.h"
#include "services/file_io.h"
#include "services/numeric.h"
#include "services/runtime_error.h"

namespace quorin::library {
namespace {

// The main window's popups, in set-up order.
constexpr std::array<std::string_view, kPopupCount> kPopupTags = {
    "CompressionValve", "CompressionSpring", "LSC", "HSC",
    "ReboundValve",     "ReboundSpring",     "LSR", "HSR"};
// The damper-file variables of the same popups, and of the four boxes.
constexpr std::array<std::string_view, kPopupCount> kPopupVariables = {
    "cvalvevalue", "cspringvalue", "cbleedvalue", "chighvalue",
    "rvalvevalue", "rspringvalue", "rbleedvalue", "rhighvalue"};
constexpr std::array<std::string_view, 4> kBoxVariables = {"mrstr", "internalstr", "externalstr",
                                                           "pistonstr"};

const Value* variable(const NamedValues& vars, std::string_view name) {
  for (const auto& [k, v] : vars)
    if (k == name) return &v;
  return nullptr;
}

std::string date_of(std::time_t t, bool utc_time) {
  std::tm tm{};
  if (utc_time)
    gmtime_r(&t, &tm);
  else
    localtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, utc_time ? "%Y-%m-%dT%H:%M:%SZ" : "%Y-%m-%d", &tm);
  return buf;
}

std::string popup_cell(const Setup& s, std::size_t k) {
  return s.row_texts[k].empty() ? "row " + std::to_string(s.rows[k]) : s.row_texts[k];
}

std::string csv_quoted(const std::string& s) {
  if (s.find_first_of(",\"\n\r") == std::string::npos) return s;
  std::string out = "\"";
  for (char c : s) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

// A file-name part made of the text: letters, digits, '-' and '.' kept, the rest '_'.
std::string file_part(const std::string& s) {
  std::string out;
  for (unsigned char c : s)
    out += (std::isalnum(c) || c == '-' || c == '.') ? static_cast<char>(c) : '_';
  while (!out.empty() && out.front() == '.') out.erase(out.begin());
  return out.empty() ? "_" : out;
}

}  // namespace

std::unique_ptr<Backend> open_backend(const std::filesystem::path& file,
                                      const std::string& server) {
  if (server.find_first_not_of(' ') != std::string::npos)
    return std::make_unique<PostgresBackend>(server);
  return std::make_unique<SqliteBackend>(file);
}

std::string today() {
  return date_of(std::time(nullptr), false);
}
std::string now_utc() {
  return date_of(std::time(nullptr), true);
}

Setup read_main_window(gfx::Model& m, const Globals& g, const Filing& filing) {
  Setup s;
  s.car = filing.car;
  s.corner = filing.corner;
  s.track = filing.track;
  s.date = filing.date;
  s.session = filing.session;
  s.notes = filing.notes;
  const NamedValues sel = actions::read_selections(m);
  for (std::size_t k = 0; k < kPopupCount; ++k) {
    const gfx::Control& popup = main_control(m, kPopupTags[k]);
    s.row_texts[k] = selected_row_text(popup);  // refuses a row the popup does not have
    s.rows[k] = static_cast<int>(variable(sel, kPopupVariables[k])->scalar());
  }
  s.motion_ratio = variable(sel, "mrstr")->str();
  s.internal_shaft = variable(sel, "internalstr")->str();
  s.external_shaft = variable(sel, "externalstr")->str();
  s.piston = variable(sel, "pistonstr")->str();
  s.si_units = main_control(m, "SIUnits").value == 1;
  const int stored = g.counter >= 1 ? static_cast<int>(g.counter) - 1 : 0;
  if (stored >= 1 && static_cast<std::size_t>(stored) <= g.plotdata.size()) {
    const DamperCurve& c = g.plotdata[stored - 1];
    s.curve_number = stored;
    s.legend = {c.curveIDcompression1, c.curveIDcompression2, c.curveIDrebound1, c.curveIDrebound2};
  }
  if (main_control(m, "holdroehrig").value == 1 && g.ShockData.is_record()) {
    s.dyno_record = dump_value(g.ShockData);
    DynoOverlay curve = dyno_overlay_curve(g.ShockData, true);
    s.measured_velocity_mps = std::move(curve.x);
    s.measured_force_n = std::move(curve.y);
  }
  s.saved_at = now_utc();
  return s;
}

NamedValues damper_variables(const Setup& s) {
  NamedValues vars;
  for (std::size_t k = 0; k < kPopupCount; ++k)
    vars.emplace_back(std::string(kPopupVariables[k]), Value::number(s.rows[k]));
  const std::array<const std::string*, 4> boxes = {&s.motion_ratio, &s.internal_shaft,
                                                   &s.external_shaft, &s.piston};
  for (std::size_t k = 0; k < boxes.size(); ++k)
    vars.emplace_back(std::string(kBoxVariables[k]), Value::text(*boxes[k]));
  return vars;
}

void put_in_main_window(Processor& p, const Setup& s) {
  actions::apply_selections(p, damper_variables(s), "library set-up " + std::to_string(s.id));
}

std::string list_cell(const Setup& s, std::size_t column) {
  switch (column) {
    case 0:
      return std::to_string(s.id);
    case 1:
      return s.car;
    case 2:
      return s.corner;
    case 3:
      return s.track;
    case 4:
      return s.date;
    case 5:
      return s.session;
    case 14:
      return s.notes.substr(0, s.notes.find('\n'));
    default:
      if (column >= 6 && column < 6 + kPopupCount) return popup_cell(s, column - 6);
      throw RuntimeError("A set-up list has no column " + std::to_string(column + 1) + ".");
  }
}

void sort_setups(std::vector<Setup>& setups, std::size_t column, bool descending) {
  if (column >= kListColumns.size())
    throw RuntimeError("A set-up list has no column " + std::to_string(column + 1) + ".");
  auto key = [&](const Setup& s) {
    const std::string t = list_cell(s, column);
    std::optional<double> v = str2double(t);
    if (v && !std::isfinite(*v)) v.reset();  // "nan" and the like sort as texts
    return std::pair{v, t};
  };
  // Numbers before texts, numbers by value and texts as written: one consistent order even
  // when a column holds both.
  auto before = [](const std::pair<std::optional<double>, std::string>& x,
                   const std::pair<std::optional<double>, std::string>& y) {
    if (x.first.has_value() != y.first.has_value()) return x.first.has_value();
    return x.first ? *x.first < *y.first : x.second < y.second;
  };
  std::stable_sort(setups.begin(), setups.end(), [&](const Setup& a, const Setup& b) {
    const auto ka = key(a), kb = key(b);
    const bool less = before(ka, kb), greater = before(kb, ka);
    if (!less && !greater) return a.id < b.id;
    return descending ? greater : less;
  });
}

std::vector<std::string> comparison_fields() {
  return {"No.",
          "Car",
          "Corner",
          "Track",
          "Date",
          "Session",
          "C valve",
          "C spring",
          "LSC",
          "HSC",
          "R valve",
          "R spring",
          "LSR",
          "HSR",
          "Motion ratio",
          "Internal shaft",
          "External shaft",
          "Piston",
          "Units",
          "Curve",
          "Legend compression",
          "Legend rebound",
          "Notes",
          "Dyno record",
          "Measured curve",
          "Saved"};
}

std::vector<std::string> field_texts(const Setup& s) {
  std::vector<std::string> t = {std::to_string(s.id), s.car, s.corner, s.track, s.date, s.session};
  for (std::size_t k = 0; k < kPopupCount; ++k) t.push_back(popup_cell(s, k));
  t.push_back(s.motion_ratio);
  t.push_back(s.internal_shaft);
  t.push_back(s.external_shaft);
  t.push_back(s.piston);
  t.push_back(s.si_units ? "SI" : "US");
  t.push_back(s.curve_number ? std::to_string(s.curve_number) : "none");
  t.push_back(s.legend[0] + (s.legend[1].empty() ? "" : " " + s.legend[1]));
  t.push_back(s.legend[2] + (s.legend[3].empty() ? "" : " " + s.legend[3]));
  t.push_back(s.notes);
  t.push_back(s.dyno_record.empty()
                  ? "none"
                  : "attached (" + std::to_string(s.dyno_record.size()) + " bytes)");
  t.push_back(s.measured_velocity_mps.empty()
                  ? "none"
                  : std::to_string(s.measured_velocity_mps.size()) + " points");
  t.push_back(s.saved_at);
  return t;
}

Comparison compare(Backend& b, const std::vector<std::int64_t>& ids, Reference reference,
                   std::int64_t chosen) {
  if (ids.empty()) throw RuntimeError("Choose at least one set-up to compare.");
  std::vector<Setup> setups;
  for (std::int64_t id : ids) {
    std::optional<Setup> s = b.open(id);
    if (!s) throw RuntimeError("The library has no set-up " + std::to_string(id) + ".");
    setups.push_back(std::move(*s));
  }
  const Setup& first = setups.front();
  std::optional<Setup> ref;
  if (reference == Reference::Chosen) {
    ref = b.open(chosen);
    if (!ref) throw RuntimeError("The library has no set-up " + std::to_string(chosen) + ".");
  } else {
    Query q;
    q.car = first.car;
    q.limit = 1000000;
    if (reference == Reference::FirstOfEvent) {
      for (const EventEntry& e : b.events_of(first.car))
        if (e.track == first.track && e.date == first.date && e.session == first.session)
          q.event_id = e.id;
      if (q.event_id == 0)
        throw RuntimeError("Set-up " + std::to_string(first.id) + " has no event in the library.");
    }
    std::vector<Setup> found = b.find(q);
    std::optional<std::int64_t> pick;
    if (reference == Reference::FirstOfEvent) {
      for (const Setup& s : found)
        if (!pick || s.id < *pick) pick = s.id;
    } else {
      // The newest of those before the first, ordered by event date and then as saved.
      for (const Setup& s : found) {
        if (s.corner != first.corner) continue;
        const bool before = s.date < first.date || (s.date == first.date && s.id < first.id);
        if (before && (!pick || s.date > ref->date || (s.date == ref->date && s.id > *pick))) {
          pick = s.id;
          ref = s;
        }
      }
    }
    if (!pick)
      throw RuntimeError(
          reference == Reference::FirstOfEvent
              ? "Set-up " + std::to_string(first.id) + " has no event in the library."
              : "Set-up " + std::to_string(first.id) + " (" + first.car + ", " + first.corner +
                    ") has no earlier set-up of its corner to "
                    "compare with.");
    ref = b.open(*pick);
    if (!ref) throw RuntimeError("The library has no set-up " + std::to_string(*pick) + ".");
  }
  Comparison c;
  c.fields = comparison_fields();
  c.setups.push_back(*ref);
  for (Setup& s : setups)
    if (s.id != ref->id) c.setups.push_back(std::move(s));
  if (c.setups.size() < 2)
    throw RuntimeError("Set-up " + std::to_string(ref->id) +
                       " is its own reference; choose another set-up to compare it with.");
  std::vector<std::vector<std::string>> by_setup;
  for (const Setup& s : c.setups) by_setup.push_back(field_texts(s));
  c.cells.assign(c.fields.size(), {});
  c.differs.assign(c.fields.size(), {});
  for (std::size_t f = 0; f < c.fields.size(); ++f)
    for (std::size_t k = 0; k < c.setups.size(); ++k) {
      c.cells[f].push_back(by_setup[k][f]);
      // The number and the save time always differ; they are not marked.
      const bool compared = c.fields[f] != "No." && c.fields[f] != "Saved";
      bool differs = compared && k > 0 && by_setup[k][f] != by_setup[0][f];
      if (compared && k > 0 && c.fields[f] == "Dyno record")
        differs = c.setups[k].dyno_record != c.setups[0].dyno_record;
      if (compared && k > 0 && c.fields[f] == "Measured curve")
        differs = c.setups[k].measured_velocity_mps != c.setups[0].measured_velocity_mps ||
                  c.setups[k].measured_force_n != c.setups[0].measured_force_n;
      c.differs[f].push_back(differs);
    }
  return c;
}

PopupTexts popup_texts(gfx::Model& m) {
  PopupTexts t;
  for (std::size_t k = 0; k < kPopupCount; ++k) t[k] = main_control(m, kPopupTags[k]).items;
  return t;
}

ImportReport import_folder(Backend& b, const std::filesystem::path& folder,
                           const ImportOptions& options, const PopupTexts& texts) {
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec))
    throw RuntimeError("The folder \"" + folder.string() + "\" does not exist.");
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
    if (entry.path().extension() == ".mat" && entry.is_regular_file(ec))
      files.push_back(entry.path());
  if (ec) throw RuntimeError("The folder \"" + folder.string() + "\" could not be read.");
  std::sort(files.begin(), files.end());
  ImportReport report;
  std::vector<Setup> setups;
  for (const std::filesystem::path& file : files) {
    try {
      const NamedValues vars = load_variables(file, actions::damper_file_variables());
      Setup s;
      s.car = options.car;
      s.corner = options.corner;
      s.track = options.track.empty() ? file.stem().string() : options.track;
      if (options.date.empty()) {
        struct stat st {};
        s.date = ::stat(file.c_str(), &st) == 0 ? date_of(st.st_mtime, false) : today();
      } else {
        s.date = options.date;
      }
      s.session = options.session;
      s.si_units = options.si_units;
      for (std::size_t k = 0; k < kPopupCount; ++k) {
        const Value* v = variable(vars, kPopupVariables[k]);
        if (!v || !v->is_scalar())
          throw RuntimeError("it holds no row for " + std::string(kPopupVariables[k]));
        const double row = v->scalar();
        if (!(row >= 1) || row != std::floor(row) || row > static_cast<double>(texts[k].size()))
          throw RuntimeError(std::string(kPopupVariables[k]) + " is " + num2str(row) +
                             ", but the popup " + std::string(kPopupTags[k]) + " has rows 1 to " +
                             std::to_string(texts[k].size()));
        s.rows[k] = static_cast<int>(row);
        s.row_texts[k] = texts[k][s.rows[k] - 1];
      }
      const std::array<std::string*, 4> boxes = {&s.motion_ratio, &s.internal_shaft,
                                                 &s.external_shaft, &s.piston};
      for (std::size_t k = 0; k < boxes.size(); ++k) {
        const Value* v = variable(vars, kBoxVariables[k]);
        if (!v || !v->is_text())
          throw RuntimeError("it holds no text for " + std::string(kBoxVariables[k]));
        *boxes[k] = v->str();
      }
      s.saved_at = now_utc();
      check_storable(s);
      setups.push_back(std::move(s));
    } catch (const RuntimeError& e) {
      report.skipped.push_back(file.filename().string() + ": " + e.what());
    }
  }
  for (const Saved& s : b.save(setups)) (s.added ? report.added : report.already)++;
  return report;
}

std::vector<std::filesystem::path> export_damper_files(const std::vector<Setup>& setups,
                                                       const std::filesystem::path& folder) {
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec))
    throw RuntimeError("The folder \"" + folder.string() + "\" does not exist.");
  std::vector<std::filesystem::path> written;
  for (const Setup& s : setups) {
    const std::filesystem::path file =
        folder / (file_part(s.car) + "_" + s.corner + "_" + file_part(s.track) + "_" + s.date +
                  "_" + std::to_string(s.id) + ".mat");
    save_variables(file, damper_variables(s));
    written.push_back(file);
  }
  return written;
}

std::string setups_csv(const std::vector<Setup>& setups) {
  std::string out;
  const std::vector<std::string> fields = comparison_fields();
  for (std::size_t k = 0; k < fields.size(); ++k) out += (k ? "," : "") + csv_quoted(fields[k]);
  out += "\n";
  for (const Setup& s : setups) {
    const std::vector<std::string> t = field_texts(s);
    for (std::size_t k = 0; k < t.size(); ++k) out += (k ? "," : "") + csv_quoted(t[k]);
    out += "\n";
  }
  return out;
}

void export_library_file(const std::vector<Setup>& setups, const std::filesystem::path& file) {
  std::error_code ec;
  if (std::filesystem::exists(file, ec) && !std::filesystem::is_regular_file(file, ec))
    throw RuntimeError("\"" + file.string() + "\" is not a file; no library file was written.");
  std::filesystem::path partial = file;
  partial += ".partial-" + std::to_string(std::random_device{}());
  try {
    {
      SqliteBackend out(partial);
      out.save(setups);
    }
    std::filesystem::rename(partial, file);
  } catch (const std::exception& e) {
    for (const char* tail : {"", "-wal", "-shm"})
      std::filesystem::remove(partial.string() + tail, ec);
    throw RuntimeError("The library file \"" + file.string() + "\" was not written: " + e.what());
  }
}

MergeReport merge_library_file(Backend& into, const std::filesystem::path& file) {
  std::error_code ec;
  if (std::filesystem::equivalent(file, into.where(), ec))
    throw RuntimeError("The library file \"" + file.string() + "\" is the library itself.");
  SqliteBackend from(file, true);
  MergeReport r;
  for (const Saved& s : into.save(from.all())) (s.added ? r.added : r.already)++;
  return r;
}

}  // namespace quorin::library
