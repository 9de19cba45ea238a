#include "startup/start_folder.h"

#include <array>
#include <cstdlib>
#include <string_view>
#include <system_error>

#include <unistd.h>

namespace quorin {
namespace fs = std::filesystem;
namespace {

// Files whose presence marks a folder as a start folder.
constexpr std::array<std::string_view, 2> kMarkers = {"quorin_matrix_2007_v1.mat",
                                                      "quorin_interface_v41.mat"};

constexpr std::string_view kExportFile = "data/export.txt";

// Copies `from` to `to` through a temporary name in the same folder, so `to` only ever
// appears whole. Leaves nothing behind on failure.
void copy_whole(const fs::path& from, const fs::path& to, std::error_code& ec) {
  fs::path part = to;
  part += ".part-" + std::to_string(::getpid());
  fs::copy_file(from, part, fs::copy_options::overwrite_existing, ec);
  if (!ec) fs::rename(part, to, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(part, ignored);
  }
}

std::string failure(const std::string& what, const fs::path& p, const std::error_code& ec) {
  return "cannot " + what + " " + p.string() + ": " + ec.message();
}

// Completes `user` from `copy`; returns what went wrong, if anything.
std::optional<std::string> complete_user_folder(const fs::path& user, const fs::path& copy,
                                                StartFolder& chosen) {
  std::error_code ec;
  fs::create_directories(user, ec);
  if (ec) return failure("make the folder", user, ec);
  fs::recursive_directory_iterator it(copy, ec), end;
  if (ec) return failure("read the folder", copy, ec);
  for (; it != end; it.increment(ec)) {
    if (ec) return failure("read the folder", copy, ec);
    const fs::path relative = it->path().lexically_relative(copy);
    const fs::path target = user / relative;
    if (fs::exists(fs::symlink_status(target, ec))) continue;  // never replaced
    if (it->is_directory(ec)) {
      fs::create_directories(target, ec);
      if (ec) return failure("make the folder", target, ec);
    } else if (it->is_regular_file(ec)) {
      copy_whole(it->path(), target, ec);
      if (ec) return failure("copy the file", it->path(), ec);
      chosen.copied.push_back(relative);
    }
  }
  const fs::path export_file = user / kExportFile;
  if (!fs::exists(fs::symlink_status(export_file, ec))) {
    fs::create_directories(export_file.parent_path(), ec);
    if (ec) return failure("make the folder", export_file.parent_path(), ec);
    // Made empty: the export appends to this file and never creates it.
    FILE* f = std::fopen(export_file.c_str(), "ab");
    if (!f)
      return failure("make the file", export_file, std::error_code(errno, std::generic_category()));
    std::fclose(f);
    chosen.made_export_file = true;
  }
  if (!holds_supplied_files(user))
    return "the folder " + user.string() + " still lacks the supplied files after copying";
  return std::nullopt;
}

}  // namespace

bool holds_supplied_files(const fs::path& folder) {
  std::error_code ec;
  for (std::string_view f : kMarkers)
    if (!fs::is_regular_file(folder / f, ec)) return false;
  return true;
}

fs::path find_start_folder(const fs::path& cwd, const fs::path& executable_dir) {
  return holds_supplied_files(cwd) ? cwd : executable_dir;
}

fs::path executable_folder(const char* argv0) {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec || exe.empty()) exe = fs::absolute(fs::path(argv0 ? argv0 : ""), ec);
  return exe.parent_path();
}

std::optional<fs::path> user_start_folder(const char* xdg_data_home, const char* home) {
  if (xdg_data_home && *xdg_data_home && fs::path(xdg_data_home).is_absolute())
    return fs::path(xdg_data_home) / "quorin";
  if (home && *home && fs::path(home).is_absolute())
    return fs::path(home) / ".local" / "share" / "quorin";
  return std::nullopt;
}

fs::path installed_data_folder(const fs::path& executable_dir) {
  return (executable_dir.parent_path() / "share" / "quorin").lexically_normal();
}

StartFolder prepare_start_folder(const StartPlaces& places) {
  StartFolder chosen;
  if (holds_supplied_files(places.cwd)) {
    chosen.folder = places.cwd;
    return chosen;
  }
  if (holds_supplied_files(places.executable_dir) || !holds_supplied_files(places.installed_copy)) {
    chosen.folder = places.executable_dir;
    return chosen;
  }
  if (!places.user_folder) {
    chosen.folder = places.installed_copy;
    chosen.problem = "neither XDG_DATA_HOME nor HOME names a folder for the start folder";
    return chosen;
  }
  chosen.folder = *places.user_folder;
  if (auto problem = complete_user_folder(*places.user_folder, places.installed_copy, chosen)) {
    chosen.folder = places.installed_copy;
    chosen.problem = std::move(problem);
  }
  return chosen;
}

StartPlaces start_places(const char* argv0) {
  StartPlaces p;
  std::error_code ec;
  p.cwd = fs::current_path(ec);
  p.executable_dir = executable_folder(argv0);
  p.user_folder = user_start_folder(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
  p.installed_copy = installed_data_folder(p.executable_dir);
  return p;
}

std::string describe_start_folder(const StartFolder& chosen, const StartPlaces& places) {
  if (chosen.problem)
    return *chosen.problem + "; reading the supplied files from " + chosen.folder.string() +
           ", where nothing is written (exports will fail)";
  if (chosen.copied.empty() && !chosen.made_export_file) return {};
  std::string line = "start folder " + chosen.folder.string() + ": ";
  if (!chosen.copied.empty())
    line += "copied " + std::to_string(chosen.copied.size()) + " supplied file" +
            (chosen.copied.size() == 1 ? "" : "s") + " from " + places.installed_copy.string();
  if (chosen.made_export_file)
    line += std::string(chosen.copied.empty() ? "" : ", ") + "made an empty data/export.txt";
  return line;
}

std::string_view start_folder_help() {
  return "The start folder, where the program reads its supplied data files and appends\n"
         "exports to data/export.txt, is the first of:\n"
         "  1. the current folder, when it holds the supplied files;\n"
         "  2. the folder of the executable, when it holds them (a build folder);\n"
         "  3. the user's start folder $XDG_DATA_HOME/quorin (default ~/.local/share/quorin),\n"
         "     made on first start from the installed copy PREFIX/share/quorin; a file missing\n"
         "     there is copied again on the next start, an existing one is never replaced.\n"
         "An installed program writes nothing under its installation prefix.\n";
}

}  // namespace quorin
