// The set-up library as the user works with it: opening the embedded file or the team
// server, set-ups read from and put into the main window, search lists sorted by any
// column, comparisons against a chosen reference, and bringing set-ups in from damper files
// and library files and out to damper files, CSV and library files.
#pragma once

#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "library/backend.h"
#include "processor/globals.h"
#include "services/gfx/model.h"
#include "services/varfile.h"

namespace quorin {
struct Processor;
}

namespace quorin::library {

// The embedded library's file name in the start folder, beside data/.
inline constexpr std::string_view kLibraryFileName = "library.sqlite";

// The library at `server` (a PostgreSQL connection text) or, when it is empty, the file
// `file`. Throws RuntimeError.
std::unique_ptr<Backend> open_backend(const std::filesystem::path& file, const std::string& server);

// The car, corner and event a set-up is filed under, and its notes.
struct Filing {
  std::string car, corner, track, date, session, notes;
};

// The main window's set-up: its twelve selections with what the popups read, the units shown,
// the last stored curve and its legend, and the held dyno record and its measured curve (SI).
// Throws RuntimeError when the main window is not open.
Setup read_main_window(gfx::Model& m, const Globals& g, const Filing& filing);
// The twelve selections of a set-up as a damper file holds them.
NamedValues damper_variables(const Setup& s);
// Puts the set-up's selections in the main window as LOAD does (checked against its popups
// first; nothing changes when one does not fit). Throws RuntimeError.
void put_in_main_window(Processor& p, const Setup& s);

// Columns a list of set-ups can be sorted by.
inline constexpr std::array<std::string_view, 15> kListColumns = {
    "No.", "Car", "Corner",  "Track",    "Date", "Session", "C valve", "C spring",
    "LSC", "HSC", "R valve", "R spring", "LSR",  "HSR",     "Notes"};
// The text of column `column` (an index of kListColumns) for `s`.
std::string list_cell(const Setup& s, std::size_t column);
// Sorts by a column, numbers as numbers, ties by id; stable.
void sort_setups(std::vector<Setup>& setups, std::size_t column, bool descending);

// What a comparison is made against.
enum class Reference { PreviousOfCorner, FirstOfEvent, Chosen };
inline constexpr std::array<std::string_view, 3> kReferenceNames = {
    "Previous set-up of the corner", "First set-up of the event", "A set-up of my choice"};

// Set-ups side by side: the reference first, then the others; a field that differs from the
// reference's is marked.
struct Comparison {
  std::vector<Setup> setups;  // setups[0] is the reference
  std::vector<std::string> fields;
  std::vector<std::vector<std::string>> cells;  // [field][set-up]
  std::vector<std::vector<bool>> differs;       // [field][set-up]
};
// The fields a comparison shows, as texts.
std::vector<std::string> comparison_fields();
std::vector<std::string> field_texts(const Setup& s);
// Compares the set-ups `ids` against the reference: the set-up of the same car and corner
// saved before the first of them (by event date, then as saved), the first set-up saved
// for the same car at the first one's event, or set-up `chosen`. Throws RuntimeError when a
// set-up or the reference is not in the library.
Comparison compare(Backend& b, const std::vector<std::int64_t>& ids, Reference reference,
                   std::int64_t chosen = 0);

// What the popups of the main window read, row by row, for the set-ups brought in from damper
// files (which keep only row numbers).
using PopupTexts = std::array<std::vector<std::string>, kPopupCount>;
PopupTexts popup_texts(gfx::Model& m);

// How a folder of damper files is filed: each file is a set-up of `car` at `corner`; its
// event is the file's name and date unless `track`, `date` or `session` are given.
struct ImportOptions {
  std::string car, corner, track, date, session;
  bool si_units = true;
};
struct ImportReport {
  int added = 0, already = 0;
  std::vector<std::string> skipped;  // "file: why"
};
ImportReport import_folder(Backend& b, const std::filesystem::path& folder,
                           const ImportOptions& options, const PopupTexts& texts);

// Writes each set-up as a damper file into `folder`, named after its car, corner, event and
// number; returns the files written. Throws RuntimeError.
std::vector<std::filesystem::path> export_damper_files(const std::vector<Setup>& setups,
                                                       const std::filesystem::path& folder);
// Every field of the set-ups as comma-separated text, one line each under a header.
std::string setups_csv(const std::vector<Setup>& setups);
// Writes a library file holding just these set-ups, replacing `file` whole only once the new
// one is complete. Throws RuntimeError.
void export_library_file(const std::vector<Setup>& setups, const std::filesystem::path& file);
// Brings the set-ups of the library file `file` in; those already there are not added again.
struct MergeReport {
  int added = 0, already = 0;
};
MergeReport merge_library_file(Backend& into, const std::filesystem::path& file);

// Today's date (local), YYYY-MM-DD, and the time now (UTC), YYYY-MM-DDTHH:MM:SSZ.
std::string today();
std::string now_utc();

}  // namespace quorin::library
