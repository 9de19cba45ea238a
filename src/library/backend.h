// A set-up library's storage: the set-ups with their car, corner, event, notes and attached
// dyno data, kept in a database. The embedded file and the team server both answer to this.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorin::library {

// The four corners of a car, as stored.
inline constexpr std::array<std::string_view, 4> kCorners = {"LF", "RF", "LR", "RR"};

// The eight popups of a set-up, in damper-file order: compression valve, spring, low-speed
// and high-speed bleed, then the same for rebound.
inline constexpr std::size_t kPopupCount = 8;
enum Popup : std::size_t { CValve, CSpring, LSC, HSC, RValve, RSpring, LSR, HSR };

// One stored set-up. Texts are kept exactly as the main window showed them.
struct Setup {
  std::int64_t id = 0;                             // 0: not stored yet
  std::string car, corner;                         // corner: one of kCorners
  std::string track, date, session;                // the event; date as YYYY-MM-DD
  std::array<int, kPopupCount> rows{};             // 1-based popup rows
  std::array<std::string, kPopupCount> row_texts;  // what those rows read (valve, spring, clicks)
  std::string motion_ratio, internal_shaft, external_shaft, piston;  // texts as typed
  bool si_units = true;
  int curve_number = 0;               // the stored curve PLOT made of it; 0: none
  std::array<std::string, 4> legend;  // that curve's legend texts: compression 1, 2, rebound 1, 2
  std::string notes;
  std::string dyno_record;  // the held dyno record as JSON text; empty: none attached
  std::vector<double> measured_velocity_mps, measured_force_n;  // the attached measured curve
  std::string saved_at;                                         // UTC, YYYY-MM-DDTHH:MM:SSZ

  friend bool operator==(const Setup&, const Setup&) = default;
};

// What a search asks for; empty texts ask nothing. Texts match anywhere, in any case.
struct Query {
  std::string car;            // exact
  std::int64_t event_id = 0;  // 0: any event
  std::string track;
  std::string date_from, date_to;  // inclusive, YYYY-MM-DD
  std::string valve;               // compression or rebound valve
  std::string spring;              // compression or rebound spring
  std::string clicks;              // any of the four adjusters, exactly
  std::string words;               // every word somewhere in the notes
  std::size_t limit = 1000;        // at most this many, newest first
};

// A car's event, for the library's tree.
struct EventEntry {
  std::int64_t id = 0;
  std::string track, date, session;
};

// What a save did with one set-up.
struct Saved {
  std::int64_t id = 0;
  bool added = false;  // false: the same set-up was already there (its id is given)
};

// The storage a library is kept in. Every write is one transaction: all of it is kept or
// none. Every failure throws RuntimeError naming the library and what went wrong.
class Backend {
 public:
  virtual ~Backend() = default;
  // Where the library is, as the user knows it (a file path or a server).
  virtual std::string where() const = 0;
  virtual bool read_only() const = 0;
  virtual int schema_version() = 0;
  // Stores the set-ups; a set-up already in the library (same fields, whatever its id and
  // save time) is not stored twice.
  virtual std::vector<Saved> save(const std::vector<Setup>& setups) = 0;
  virtual std::optional<Setup> open(std::int64_t id) = 0;
  // Matching set-ups without their dyno record and measured curve, newest event first.
  virtual std::vector<Setup> find(const Query& q) = 0;
  // Every set-up in full, oldest first.
  virtual std::vector<Setup> all() = 0;
  virtual std::vector<std::string> cars() = 0;
  virtual std::vector<EventEntry> events_of(const std::string& car) = 0;
};

// The text that tells two set-ups apart: every field but the id and the save time.
std::string fingerprint(const Setup& s);

// The newest schema; a library of an older one is brought up to it when opened for writing.
inline constexpr int kSchemaVersion = 2;
// The mark a library carries, so that a foreign database is never taken for one.
inline constexpr std::string_view kLibraryFormat = "quorin set-up library";

// Checks what a set-up must hold before it is stored. Throws RuntimeError.
void check_storable(const Setup& s);

// Measured curves as stored: little-endian doubles, and back (throws on a bad length).
std::string pack_doubles(const std::vector<double>& v);
std::vector<double> unpack_doubles(std::string_view bytes, std::string_view what);

}  // namespace quorin::library
