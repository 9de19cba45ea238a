#include "library/library_window.h"

#include <algorithm>
#include <cmath>

#include "analysis/tool_windows.h"
#include "analysis/window_parts.h"

namespace quorin::library {
namespace {

constexpr gfx::Color kKhaki{166 / 255.0, 162 / 255.0, 140 / 255.0};
constexpr gfx::Color kWhite{1, 1, 1};
constexpr gfx::Color kDifferent{0.8, 0, 0};
constexpr double kWidth = 980, kHeight = 620, kMargin = 10;
constexpr std::size_t kShownRows = 22;

static_assert(kListWidth == kWidth - 2 * kMargin, "the list's columns fill the table");
constexpr std::string_view kAllCars = "All cars";
constexpr std::string_view kAllEvents = "All events";

// The search boxes: label, Tag, and the part of the query each fills.
struct SearchBox {
  std::string_view label, tag;
  std::string Query::*field;
};
constexpr std::array<SearchBox, 7> kSearchBoxes = {{
    {"Track", "LibraryTrack", &Query::track},
    {"From", "LibraryFrom", &Query::date_from},
    {"To", "LibraryTo", &Query::date_to},
    {"Valve", "LibraryValve", &Query::valve},
    {"Spring", "LibrarySpring", &Query::spring},
    {"Clicks", "LibraryClicks", &Query::clicks},
    {"Notes", "LibraryWords", &Query::words},
}};

gfx::Control& label(gfx::Model& m, gfx::Window& w, std::string text, gfx::Rect at,
                    std::string_view tag = {}) {
  gfx::Control& c = m.new_control(w, gfx::Control::Style::Text);
  c.string = std::move(text);
  c.position = at;
  c.background = kKhaki;
  c.font_name = "arial";
  c.horizontal_alignment = "left";
  c.tag = std::string(tag);
  return c;
}

gfx::Control& popup(gfx::Model& m, gfx::Window& w, std::string_view tag,
                    std::vector<std::string> items, std::size_t row, gfx::Rect at,
                    const std::string& command) {
  gfx::Control& c = m.new_control(w, gfx::Control::Style::Popup);
  c.tag = std::string(tag);
  c.items = std::move(items);
  c.value = static_cast<double>(std::min(row, c.items.size() - 1) + 1);
  c.position = at;
  c.background = kWhite;
  c.font_name = "arial";
  c.callback = command;
  return c;
}

std::string event_line(const EventEntry& e) {
  std::string s = e.track.empty() ? e.date : e.date + " " + e.track;
  if (!e.session.empty()) s += " (" + e.session + ")";
  return s;
}

gfx::Control* control(gfx::Model& m, gfx::Window& w, std::string_view tag) {
  for (gfx::Object* o : m.find_all_by_tag(w, tag))
    if (auto* c = dynamic_cast<gfx::Control*>(o)) return c;
  return nullptr;
}

// The 0-based row a popup shows; 0 for a popup that shows none of its rows.
std::size_t row_of(const gfx::Control* c) {
  if (!c || !(c->value >= 1) || c->value > static_cast<double>(c->items.size())) return 0;
  return static_cast<std::size_t>(c->value) - 1;
}

// At most `chars` characters of `text` on one line, with an ellipsis when cut (whole UTF-8
// characters only).
std::string shortened(std::string text, std::size_t chars) {
  std::replace(text.begin(), text.end(), '\n', ' ');
  std::size_t count = 0, k = 0;
  for (; k < text.size(); ++k) {
    if ((static_cast<unsigned char>(text[k]) & 0xC0) == 0x80) continue;
    if (count++ == chars) break;
  }
  if (k >= text.size()) return text;
  return text.substr(0, k) + "\xE2\x80\xA6";
}

// An existing window keeps the place the user gave it.
gfx::Window& open_in_place(gfx::Model& m, std::string_view name, gfx::Rect fresh) {
  if (gfx::Window* old = analysis::window_named(m, name);
      old && old->units == gfx::Units::Pixels && old->position.width == fresh.width)
    fresh = old->position;
  return analysis::open_tool_window(m, name, fresh);
}

}  // namespace

std::string setup_line(const Setup& s) {
  std::string line = std::to_string(s.id) + ": " + s.car + " " + s.corner + ", " + s.date;
  if (!s.track.empty()) line += " " + s.track;
  if (!s.session.empty()) line += " (" + s.session + ")";
  return line + ", " + s.row_texts[CValve] + " / " + s.row_texts[RValve];
}

gfx::Window& show_library_window(gfx::Model& m, const LibraryView& v, const LibraryCommands& c) {
  gfx::Window& w = open_in_place(m, kLibraryWindowName, {140, 90, kWidth, kHeight});
  const double width = kWidth, height = kHeight;

  // Cars and their events: the tree's two upper levels.
  double top = height - 36;
  std::vector<std::string> cars = {std::string(kAllCars)};
  cars.insert(cars.end(), v.cars.begin(), v.cars.end());
  const auto car_at = std::find(v.cars.begin(), v.cars.end(), v.car);
  const std::size_t car_row =
      v.car.empty() || car_at == v.cars.end() ? 0 : 1 + (car_at - v.cars.begin());
  label(m, w, "Car", {kMargin, top, 30, 20});
  popup(m, w, "LibraryCar", cars, car_row, {kMargin + 32, top, 180, 24}, c.search);
  std::vector<std::string> events = {std::string(kAllEvents)};
  std::size_t event_row = 0;
  for (std::size_t k = 0; k < v.events.size(); ++k) {
    events.push_back(event_line(v.events[k]));
    if (v.events[k].id == v.event_id) event_row = k + 1;
  }
  label(m, w, "Event", {kMargin + 224, top, 40, 20});
  popup(m, w, "LibraryEvent", events, event_row, {kMargin + 266, top, 260, 24}, c.search);
  // Two lines for what was found and what was just done.
  gfx::Control& status = label(
      m, w, v.status, {kMargin + 540, top - 12, width - 2 * kMargin - 540, 32}, "LibraryStatus");
  status.font_weight = "bold";
  if (v.read_only) status.foreground = kDifferent;

  // The search.
  top -= 36;
  double x = kMargin;
  for (const SearchBox& b : kSearchBoxes) {
    label(m, w, std::string(b.label), {x, top, 40, 20});
    gfx::Control& box = m.new_control(w, gfx::Control::Style::Edit);
    box.tag = std::string(b.tag);
    box.string = v.query.*b.field;
    box.position = {x + 40, top, 80, 24};
    box.background = kWhite;
    box.font_name = "arial";
    box.horizontal_alignment = "left";
    box.callback = c.search;
    x += 126;
  }
  analysis::tool_button(m, w, "Search", "LibrarySearch", {width - kMargin - 80, top, 80, 24},
                        c.search, "Find the set-ups that match every box filled in.");

  // The list's sort and the chosen set-up.
  top -= 36;
  std::vector<std::string> columns(kListColumns.begin(), kListColumns.end());
  label(m, w, "Sort by", {kMargin, top, 50, 20});
  popup(m, w, "LibrarySort", columns, v.sort_column, {kMargin + 52, top, 110, 24}, c.search);
  gfx::Control& desc = m.new_control(w, gfx::Control::Style::CheckBox);
  desc.tag = "LibraryDescending";
  desc.value = v.descending ? 1 : 0;
  desc.position = {kMargin + 170, top, 20, 24};
  desc.tooltip = "Newest, largest or last in the alphabet first.";
  desc.background = kKhaki;
  desc.font_name = "arial";
  desc.callback = c.search;
  label(m, w, "Descending", {kMargin + 192, top, 80, 20});
  std::vector<std::string> lines;
  for (const Setup& s : v.found) lines.push_back(setup_line(s));
  if (lines.empty()) lines.push_back("(no set-up found)");
  label(m, w, "Set-up", {kMargin + 280, top, 50, 20});
  // Choosing a set-up marks its row in the list.
  popup(m, w, "LibrarySetup", lines, v.selected,
        {kMargin + 332, top, width - 2 * kMargin - 332, 24}, c.search);

  // The found set-ups, as many as fit.
  const std::size_t shown = std::min(kShownRows, v.found.size());
  const double table_top = top - 10, table_bottom = 50;
  analysis::CellTable table(m, w, "LibraryList",
                            {kMargin / width, table_bottom / height, (width - 2 * kMargin) / width,
                             (table_top - table_bottom) / height},
                            kListWidth, static_cast<double>(kShownRows + 1));
  // A cell's text starts 5 pixels into its column (the table puts it 0.08 of a unit in).
  double left = 0;
  for (std::size_t col = 0; col < kListColumns.size(); ++col) {
    const double at = left + 5 - 0.08;
    std::string head(kListColumns[col]);
    if (col == v.sort_column) head += v.descending ? " \xE2\x96\xBC" : " \xE2\x96\xB2";
    table.cell(at, 0, head, true, "left");
    for (std::size_t r = 0; r < shown; ++r) {
      gfx::Text& t = table.cell(at, static_cast<double>(r + 1),
                                shortened(list_cell(v.found[r], col), kListLayout[col].chars),
                                r == v.selected, "left");
      t.font_size = 8;
    }
    left += kListLayout[col].width;
  }
  table.rule_below(1);
  table.frame();

  // What can be done.
  const std::array<
      std::tuple<std::string_view, std::string_view, const std::string*, std::string_view>, 8>
      buttons = {{
          {"Save to library", "LibrarySave", &c.save,
           "Keep the main window's set-up in the library, with its car, corner, event and notes."},
          {"Open", "LibraryOpen", &c.open, "Put the chosen set-up in the main window."},
          {"PLOT", "LibraryPlot", &c.plot, "Put the chosen set-up in the main window and plot it."},
          {"Compare...", "LibraryCompare", &c.compare,
           "Show set-ups side by side with every difference marked."},
          {"Import...", "LibraryImport", &c.import, "Bring in a folder of damper files."},
          {"Export...", "LibraryExport", &c.export_,
           "Write set-ups as damper files, CSV or a library file."},
          {"Merge...", "LibraryMerge", &c.merge,
           "Bring in a colleague's library file; set-ups already here are not added twice."},
          {"Server...", "LibraryServer", &c.server,
           "Keep the library on a team's PostgreSQL server, or in this computer's file."},
      }};
  double bx = kMargin;
  const double bw = (width - 2 * kMargin - 7 * 8) / 8;
  for (const auto& [text, tag, command, tip] : buttons) {
    gfx::Control& b = analysis::tool_button(m, w, text, tag, {bx, 12, bw, 28}, *command, tip);
    if (v.read_only && (tag == "LibrarySave" || tag == "LibraryImport" || tag == "LibraryMerge"))
      b.enable = "off";
    bx += bw + 8;
  }
  analysis::keep_parts_when_resized(m, w);
  m.touch();
  return w;
}

std::optional<LibraryChoice> read_library_window(gfx::Model& m) {
  gfx::Window* w = analysis::window_named(m, kLibraryWindowName);
  if (!w) return std::nullopt;
  LibraryChoice c;
  c.car_row = row_of(control(m, *w, "LibraryCar"));
  c.event_row = row_of(control(m, *w, "LibraryEvent"));
  for (const SearchBox& b : kSearchBoxes)
    if (gfx::Control* box = control(m, *w, b.tag)) c.query.*b.field = box->string;
  c.sort_column = std::min(row_of(control(m, *w, "LibrarySort")), kListColumns.size() - 1);
  if (gfx::Control* d = control(m, *w, "LibraryDescending")) c.descending = d->value == 1;
  c.selected = row_of(control(m, *w, "LibrarySetup"));
  return c;
}

gfx::Window& show_comparison_window(gfx::Model& m, const Comparison& c) {
  const double columns = 1 + static_cast<double>(c.setups.size());
  const double rows = static_cast<double>(c.fields.size()) + 1;
  const double width = std::max(600.0, 2 * kMargin + 200 * columns);
  const double height = 2 * kMargin + 18 * rows + 24;
  gfx::Window& w = analysis::open_tool_window(m, kComparisonWindowName, {180, 60, width, height});
  label(m, w, "Each field that differs from the reference (first column) is in bold red.",
        {kMargin, height - kMargin - 20, width - 2 * kMargin, 20});
  analysis::CellTable table(m, w, "ComparisonTable",
                            {kMargin / width, kMargin / height, (width - 2 * kMargin) / width,
                             (height - 2 * kMargin - 24) / height},
                            columns, rows);
  table.cell(0, 0, "Field", true, "left");
  for (std::size_t k = 0; k < c.setups.size(); ++k)
    table.cell(static_cast<double>(k + 1), 0,
               (k == 0 ? "Reference " : "Set-up ") + std::to_string(c.setups[k].id), true, "left");
  for (std::size_t f = 0; f < c.fields.size(); ++f) {
    table.cell(0, static_cast<double>(f + 1), c.fields[f], true, "left");
    for (std::size_t k = 0; k < c.setups.size(); ++k) {
      const std::string text = shortened(c.cells[f][k], 28);
      gfx::Text& t = table.cell(static_cast<double>(k + 1), static_cast<double>(f + 1), text,
                                c.differs[f][k], "left");
      t.font_size = 8;
      if (c.differs[f][k]) t.color = kDifferent;
    }
  }
  table.rule_below(1);
  table.rule_down(1);
  table.frame();
  analysis::keep_parts_when_resized(m, w);
  m.touch();
  return w;
}

}  // namespace quorin::library
