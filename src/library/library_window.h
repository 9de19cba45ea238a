// The library's windows: the library itself (cars and their events, a search, the found
// set-ups in a list sorted by any column, and the buttons that save, open, plot, compare,
// bring in and hand out set-ups) and the comparison of set-ups side by side.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "library/library.h"
#include "services/gfx/model.h"

namespace quorin::library {

inline constexpr std::string_view kLibraryWindowName = "Set-up Library";
inline constexpr std::string_view kComparisonWindowName = "Set-up Comparison";

// Each column of the list of set-ups: its width in pixels of the table as the window first
// opens, and the characters it shows of a longer text, so that the text and its ellipsis end
// clear of the next column.
struct ListColumn {
  double width;
  std::size_t chars;
};
inline constexpr std::array<ListColumn, kListColumns.size()> kListLayout = {{
    {30, 5},  {80, 10}, {44, 4},  {92, 12}, {66, 10}, {76, 9}, {92, 11}, {74, 9},
    {32, 3},  {32, 3},  {92, 11}, {74, 9},  {32, 3},  {32, 3}, {112, 15},
}};
inline constexpr double kListWidth = [] {
  double sum = 0;
  for (const ListColumn& c : kListLayout) sum += c.width;
  return sum;
}();

// What the library window shows.
struct LibraryView {
  std::string where;
  bool read_only = false;
  std::vector<std::string> cars;   // the car popup's rows after "All cars"
  std::string car;                 // empty: all
  std::vector<EventEntry> events;  // the chosen car's events, after "All events"
  std::int64_t event_id = 0;       // 0: all
  Query query;                     // the search boxes
  std::size_t sort_column = 4;     // an index of kListColumns
  bool descending = true;
  std::vector<Setup> found;  // in list order
  std::size_t selected = 0;  // index into found
  std::string status;
};

// The command each part runs.
struct LibraryCommands {
  std::string search, save, open, plot, compare, import, export_, merge, server;
};

// Shows the library window (built again in place when it is open).
gfx::Window& show_library_window(gfx::Model& m, const LibraryView& view, const LibraryCommands& c);

// What the user has set in the open library window: the car and event rows (0: all), the
// search boxes, the sort and the chosen set-up row (0-based). Nothing when it is not open.
struct LibraryChoice {
  std::size_t car_row = 0, event_row = 0;
  Query query;
  std::size_t sort_column = 4;
  bool descending = true;
  std::size_t selected = 0;
};
std::optional<LibraryChoice> read_library_window(gfx::Model& m);

// Shows the set-ups side by side, each field that differs from the reference's in bold red.
gfx::Window& show_comparison_window(gfx::Model& m, const Comparison& c);

// The one-line name of a set-up in the set-up popup.
std::string setup_line(const Setup& s);

}  // namespace quorin::library
