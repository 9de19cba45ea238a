#include "app/library_tools.h"

#include <sstream>

#include "analysis/tool_windows.h"
#include "app/comparison_tools.h"
#include "app/menu_parts.h"
#include "library/library_window.h"
#include "processor/processor.h"
#include "services/file_io.h"
#include "services/runtime_error.h"
#include "startup/program.h"

namespace quorin {
namespace {

constexpr int kMainWindow = 1;
constexpr std::string_view kSaveTitle = "Save to Library";
constexpr std::string_view kCompareTitle = "Compare Set-ups";
constexpr std::string_view kImportTitle = "Import Damper Files";
constexpr std::string_view kExportTitle = "Export Set-ups";
constexpr std::string_view kMergeTitle = "Merge a Library File";
constexpr std::string_view kServerTitle = "Library Server";
constexpr std::string_view kLibraryFilter = "*.sqlite";
// What the last save was filed under.
constexpr std::array<std::string_view, 5> kFilingKeys = {
    "library/car", "library/corner", "library/track", "library/date", "library/session"};
constexpr std::string_view kChosenOne = "The chosen set-up";
constexpr std::string_view kAllFound = "Every set-up found";
constexpr std::array<std::string_view, 3> kExportKinds = {"Damper files", "CSV", "Library file"};

}  // namespace

std::string shown_place(const std::string& where) {
  constexpr std::size_t kLongest = 48;
  if (where.size() <= kLongest) return where;
  const std::size_t last = where.rfind('/');
  if (last == std::string::npos || last == 0) return where;
  const std::size_t before = where.rfind('/', last - 1);
  if (before == std::string::npos || before == 0) return where;
  return "\xE2\x80\xA6" + where.substr(before);
}

std::int64_t setup_number(const std::string& text) {
  std::size_t used = 0;
  long long v = 0;
  try {
    v = std::stoll(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used == 0 || text.find_first_not_of(' ', used) != std::string::npos || v < 1)
    throw RuntimeError("\"" + text + "\" is not a set-up number.");
  return v;
}

namespace {

std::vector<std::int64_t> setup_numbers(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::int64_t> ids;
  for (std::string word; in >> word;) {
    for (char& c : word)
      if (c == ',') c = ' ';
    std::istringstream parts(word);
    for (std::string part; parts >> part;) ids.push_back(setup_number(part));
  }
  if (ids.empty()) throw RuntimeError("Name at least one set-up number to compare.");
  return ids;
}

}  // namespace

LibraryTools::~LibraryTools() = default;

std::filesystem::path LibraryTools::library_file() const {
  return p_.current_folder / library::kLibraryFileName;
}

library::Backend& LibraryTools::backend() {
  if (!backend_)
    backend_ =
        library::open_backend(library_file(), p_.settings->value(kLibraryServerKey).value_or(""));
  return *backend_;
}

void LibraryTools::use_server(const std::string& connection) {
  std::unique_ptr<library::Backend> b = library::open_backend(library_file(), connection);
  backend_ = std::move(b);
  if (connection.find_first_not_of(' ') == std::string::npos)
    p_.settings->remove(kLibraryServerKey);
  else
    p_.settings->set_value(kLibraryServerKey, connection);
  found_.clear();
}

void LibraryTools::show() {
  backend();
  refresh(status_);
  p_.gfx.figure(analysis::window_named(p_.gfx, library::kLibraryWindowName)->number);
}

void LibraryTools::refresh(const std::string& status, std::int64_t choose) {
  library::Backend& b = backend();
  const std::optional<library::LibraryChoice> choice = library::read_library_window(p_.gfx);
  library::LibraryView v;
  v.where = b.where();
  v.read_only = b.read_only();
  v.cars = b.cars();
  if (choice) {
    // A car or event no longer offered falls back to all.
    if (choice->car_row >= 1 && choice->car_row <= cars_.size()) v.car = cars_[choice->car_row - 1];
    if (std::find(v.cars.begin(), v.cars.end(), v.car) == v.cars.end()) v.car.clear();
    v.query = choice->query;
    v.sort_column = choice->sort_column;
    v.descending = choice->descending;
  }
  if (!v.car.empty()) {
    v.events = b.events_of(v.car);
    if (choice && choice->event_row >= 1 && choice->event_row <= events_.size()) {
      const std::int64_t wanted = events_[choice->event_row - 1].id;
      for (const library::EventEntry& e : v.events)
        if (e.id == wanted) v.event_id = wanted;
    }
  }
  std::int64_t selected_id = 0;
  if (choice && choice->selected < found_.size()) selected_id = found_[choice->selected].id;
  if (choose != 0) selected_id = choose;
  v.query.car = v.car;
  v.query.event_id = v.event_id;
  v.found = b.find(v.query);
  library::sort_setups(v.found, v.sort_column, v.descending);
  for (std::size_t k = 0; k < v.found.size(); ++k)
    if (v.found[k].id == selected_id) v.selected = k;
  status_ = status;
  v.status = std::to_string(v.found.size()) + (v.found.size() == 1 ? " set-up" : " set-ups") +
             " found in " + shown_place(b.where()) + (b.read_only() ? " (read-only)" : "") +
             (status.empty() ? "" : ". " + status);
  cars_ = v.cars;
  events_ = v.events;
  found_ = v.found;
  library::show_library_window(
      p_.gfx, v,
      {command_text("librarysearch"), command_text("librarysave"), command_text("libraryopen"),
       command_text("libraryplot"), command_text("librarycompare"), command_text("libraryimport"),
       command_text("libraryexport"), command_text("librarymerge"), command_text("libraryserver")});
}

void LibraryTools::search() {
  if (!analysis::window_named(p_.gfx, library::kLibraryWindowName)) return show();
  refresh({});
}

std::int64_t LibraryTools::chosen() const {
  const std::optional<library::LibraryChoice> c = library::read_library_window(p_.gfx);
  if (!c || c->selected >= found_.size())
    throw RuntimeError(
        "No set-up is chosen: search the library and choose one in its Set-up list.");
  return found_[c->selected].id;
}

library::Setup LibraryTools::stored(std::int64_t id) {
  std::optional<library::Setup> s = backend().open(id);
  if (!s) throw RuntimeError("The library has no set-up " + std::to_string(id) + ".");
  return *s;
}

std::optional<std::int64_t> LibraryTools::save_from_main() {
  library::Backend& b = backend();
  if (b.read_only())
    throw RuntimeError("The library " + b.where() + " is read-only; nothing was saved.");
  Settings& kept = *p_.settings;
  auto remembered = [&](std::size_t k, std::string fallback) {
    return kept.value(kFilingKeys[k]).value_or(std::move(fallback));
  };
  std::vector<std::string> corners(library::kCorners.begin(), library::kCorners.end());
  const InputAnswer a = p_.dialogs.input(
      std::string(kSaveTitle), {{"Car", remembered(0, ""), {}},
                                {"Corner", remembered(1, "LF"), corners},
                                {"Track", remembered(2, ""), {}},
                                {"Date (YYYY-MM-DD)", remembered(3, library::today()), {}},
                                {"Session", remembered(4, ""), {}},
                                {"Notes", "", {}}});
  if (!a) return std::nullopt;
  const library::Filing filing{a->at(0), a->at(1), a->at(2), a->at(3), a->at(4), a->at(5)};
  const library::Setup s = library::read_main_window(p_.gfx, p_.globals, filing);
  const library::Saved saved = b.save({s}).at(0);
  last_saved_ = saved.id;
  for (std::size_t k = 0; k < kFilingKeys.size(); ++k) kept.set_value(kFilingKeys[k], a->at(k));
  const std::string status = saved.added ? "Saved as set-up " + std::to_string(saved.id) + "."
                                         : "Already in the library as set-up " +
                                               std::to_string(saved.id) + "; not saved twice.";
  // The library window stays in front, showing the set-up saved.
  if (analysis::window_named(p_.gfx, library::kLibraryWindowName)) refresh(status, saved.id);
  return saved.id;
}

void LibraryTools::open(const std::string& number) {
  const library::Setup s = stored(number.empty() ? chosen() : setup_number(number));
  Processor proc = p_.processor();
  library::put_in_main_window(proc, s);
  p_.gfx.figure(kMainWindow);
}

void LibraryTools::plot(const std::string& number) {
  open(number);
  Processor proc = p_.processor();
  quorin_processor_ct(proc, "view");
  p_.gfx.figure(kMainWindow);
}

void LibraryTools::ask_compare() {
  std::string initial;
  if (const auto c = library::read_library_window(p_.gfx); c && c->selected < found_.size())
    initial = std::to_string(found_[c->selected].id);
  std::vector<std::string> refs(library::kReferenceNames.begin(), library::kReferenceNames.end());
  const InputAnswer a = p_.dialogs.input(std::string(kCompareTitle),
                                         {{"Set-ups (numbers)", initial, {}},
                                          {"Compared against", refs[0], refs},
                                          {"Reference set-up (when of my choice)", "", {}}});
  if (!a) return;
  const std::vector<std::int64_t> ids = setup_numbers(a->at(0));
  const auto ref = std::find(refs.begin(), refs.end(), a->at(1));
  if (ref == refs.end())
    throw RuntimeError("\"" + a->at(1) + "\" is no reference to compare against.");
  const auto reference = static_cast<library::Reference>(ref - refs.begin());
  const std::int64_t chosen = reference == library::Reference::Chosen ? setup_number(a->at(2)) : 0;
  library::show_comparison_window(p_.gfx, library::compare(backend(), ids, reference, chosen));
}

void LibraryTools::ask_import() {
  library::Backend& b = backend();
  if (b.read_only())
    throw RuntimeError("The library " + b.where() + " is read-only; nothing was imported.");
  Settings& kept = *p_.settings;
  std::vector<std::string> corners(library::kCorners.begin(), library::kCorners.end());
  const std::string folder = p_.globals.pn.value_or(p_.current_folder.string() + "/");
  const InputAnswer a = p_.dialogs.input(
      std::string(kImportTitle), {{"Folder of damper files", folder, {}},
                                  {"Car", kept.value(kFilingKeys[0]).value_or(""), {}},
                                  {"Corner", kept.value(kFilingKeys[1]).value_or("LF"), corners},
                                  {"Track (empty: each file's name)", "", {}},
                                  {"Date (empty: each file's date)", "", {}},
                                  {"Session", "", {}}});
  if (!a) return;
  library::ImportOptions opts{a->at(1), a->at(2), a->at(3), a->at(4), a->at(5), true};
  opts.si_units = main_control(p_.gfx, "SIUnits").value == 1;
  const library::ImportReport r =
      library::import_folder(b, a->at(0), opts, library::popup_texts(p_.gfx));
  std::string status =
      std::to_string(r.added) + " damper file" + (r.added == 1 ? "" : "s") + " imported";
  if (r.already) status += ", " + std::to_string(r.already) + " already in the library";
  if (!r.skipped.empty()) {
    status += ", " + std::to_string(r.skipped.size()) + " skipped (" + r.skipped.front() +
              (r.skipped.size() > 1 ? "; ..." : "") + ")";
  }
  refresh(status + ".");
  if (!r.skipped.empty()) {
    std::string all = "Some damper files were not imported:";
    for (const std::string& s : r.skipped) all += "\n" + s;
    throw RuntimeError(all);
  }
}

void LibraryTools::ask_export() {
  std::vector<std::string> which = {std::string(kChosenOne), std::string(kAllFound)};
  std::vector<std::string> kinds(kExportKinds.begin(), kExportKinds.end());
  const InputAnswer a = p_.dialogs.input(std::string(kExportTitle),
                                         {{"Set-ups", which[0], which}, {"As", kinds[0], kinds}});
  if (!a) return;
  std::vector<library::Setup> setups;
  if (a->at(0) == kAllFound) {
    if (!analysis::window_named(p_.gfx, library::kLibraryWindowName) || found_.empty())
      throw RuntimeError("No set-up is found: search the library first.");
    for (const library::Setup& s : found_) setups.push_back(stored(s.id));
  } else {
    setups.push_back(stored(chosen()));
  }
  const std::string folder = p_.globals.pn.value_or(p_.current_folder.string() + "/");
  const std::string kind = a->at(1);
  const std::string filter = kind == kExportKinds[0]   ? "*.mat"
                             : kind == kExportKinds[1] ? "*.csv"
                                                       : std::string(kLibraryFilter);
  const DialogResult r = p_.dialogs.save_file(folder + filter, std::string(kExportTitle));
  if (r.cancelled) return;
  std::filesystem::path file = std::filesystem::path(r.folder) / r.file;
  std::string status;
  if (kind == kExportKinds[0]) {
    const auto written = library::export_damper_files(setups, r.folder);
    status = std::to_string(written.size()) + " damper file" + (written.size() == 1 ? "" : "s") +
             " written to " + r.folder + ".";
  } else if (kind == kExportKinds[1]) {
    if (!file.has_extension()) file += ".csv";
    write_whole(file, library::setups_csv(setups));
    status = "Written to " + file.string() + ".";
  } else {
    if (!file.has_extension()) file += ".sqlite";
    std::error_code ec;
    if (std::filesystem::equivalent(file, library_file(), ec))
      throw RuntimeError("A library file cannot be written over the library in use.");
    library::export_library_file(setups, file);
    status = "Written to " + file.string() + ".";
  }
  if (analysis::window_named(p_.gfx, library::kLibraryWindowName)) refresh(status);
}

void LibraryTools::ask_merge() {
  library::Backend& b = backend();
  if (b.read_only())
    throw RuntimeError("The library " + b.where() + " is read-only; nothing was merged.");
  const std::string folder = p_.globals.pn.value_or(p_.current_folder.string() + "/");
  const DialogResult r =
      p_.dialogs.open_file(folder + std::string(kLibraryFilter), std::string(kMergeTitle));
  if (r.cancelled) return;
  const library::MergeReport m =
      library::merge_library_file(b, std::filesystem::path(r.folder) / r.file);
  refresh(std::to_string(m.added) + " set-up" + (m.added == 1 ? "" : "s") + " merged in, " +
          std::to_string(m.already) + " already in the library.");
}

void LibraryTools::ask_server() {
  const InputAnswer a = p_.dialogs.input(
      std::string(kServerTitle),
      {{"Connection, such as host=db.team dbname=setups user=ann (empty: this computer's "
        "library file; the password comes from your PostgreSQL password file)",
        p_.settings->value(kLibraryServerKey).value_or(""),
        {}}});
  if (!a) return;
  use_server(a->at(0));
  refresh("Now using " + backend().where() + ".");
}

}  // namespace quorin
