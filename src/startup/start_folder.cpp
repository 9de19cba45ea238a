#include "startup/start_folder.h"

#include <sys/stat.h>
#include <array>
#include <cstdlib>
#include <string_view>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <ostream>

#include "services/desk.h"
#include "services/packed_file.h"

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

// Whether the user's copy `target` of the installed file `installed` differs from it in size
// or checksum. Only regular files are compared, and never the export file, which grows.
bool differs_from_installed(const fs::path& installed, const fs::path& target,
                            const fs::path& relative) {
  std::error_code ec;
  if (relative == fs::path(kExportFile) || !fs::is_regular_file(fs::symlink_status(target, ec)) ||
      !fs::is_regular_file(fs::symlink_status(installed, ec)))
    return false;
  const auto size = fs::file_size(target, ec);
  if (ec) return false;
  if (size != fs::file_size(installed, ec)) return !ec;
  const std::optional<std::uint64_t> theirs = file_checksum(installed);
  return theirs && file_checksum(target) != theirs;
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
    if (fs::exists(fs::symlink_status(target, ec))) {  // never replaced without asking
      if (differs_from_installed(it->path(), target, relative))
        chosen.differing.push_back(relative);
      continue;
    }
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

std::optional<std::uint64_t> file_checksum(const fs::path& file) {
  // Never blocks on a FIFO and reads only a regular file.
  const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  PackSum sum;
  std::vector<char> buffer(1 << 16);
  for (;;) {
    const ssize_t n = ::read(fd, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    sum.add(buffer.data(), static_cast<std::size_t>(n));
  }
  ::close(fd);
  return sum.value();
}

std::optional<std::string> put_back_installed_copy(const StartFolder& chosen,
                                                   const StartPlaces& places,
                                                   const fs::path& relative) {
  const fs::path target = chosen.folder / relative;
  const fs::path installed = places.installed_copy / relative;
  std::error_code ec;
  if (relative.is_absolute() || relative.lexically_normal().string().rfind("..", 0) == 0)
    return "the file " + relative.string() + " is not in the start folder";
  if (!fs::is_regular_file(fs::symlink_status(installed, ec)))
    return "the installed copy " + installed.string() + " is not a file";
  // The installed copy first, beside the damaged file, so that a failure changes nothing.
  fs::path part = target;
  part += ".part-" + std::to_string(::getpid());
  fs::copy_file(installed, part, fs::copy_options::overwrite_existing, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(part, ignored);
    return failure("copy the file", installed, ec);
  }
  fs::path aside = target.string() + ".damaged";
  for (int n = 2; fs::exists(fs::symlink_status(aside, ec)); ++n)
    aside = target.string() + ".damaged-" + std::to_string(n);
  fs::rename(target, aside, ec);
  if (!ec) fs::rename(part, target, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(part, ignored);
    return failure("put back the file", target, ec);
  }
  return std::nullopt;
}

void offer_installed_copies(StartFolder& chosen, const StartPlaces& places, Desk& desk,
                            std::ostream& console) {
  // A file kept at the user's word is known by its checksum; only a change asks again.
  auto key = [](const fs::path& relative) { return "startfolder/kept/" + relative.string(); };
  std::vector<fs::path> asked;
  for (const fs::path& relative : chosen.differing) {
    const std::optional<std::uint64_t> sum = file_checksum(chosen.folder / relative);
    const std::optional<std::string> kept = desk.settings().value(key(relative));
    if (!(sum && kept && *kept == std::to_string(*sum))) asked.push_back(relative);
  }
  if (asked.empty()) return;
  std::string names;
  for (const fs::path& relative : asked) names += "\n  " + relative.string();
  const bool put_back = desk.ask(
      "quorin",
      "These supplied files in the start folder " + chosen.folder.string() +
          " differ from the installed copy in " + places.installed_copy.string() +
          " (damaged, or changed by hand):" + names +
          "\n\nPut the installed copies back? The files found are kept aside as "
          "<name>.damaged. No keeps them as they are and does not ask again until they change.");
  for (const fs::path& relative : asked) {
    if (!put_back) {
      if (const std::optional<std::uint64_t> sum = file_checksum(chosen.folder / relative))
        desk.settings().set_value(key(relative), std::to_string(*sum));
      continue;
    }
    if (std::optional<std::string> problem = put_back_installed_copy(chosen, places, relative)) {
      console << "quorin: " << *problem << std::endl;
      desk.show_error("The installed copy could not be put back: " + *problem + ".");
      continue;
    }
    desk.settings().remove(key(relative));
    std::erase(chosen.differing, relative);
  }
}

StartFolder settle_start_folder(const StartPlaces& places, Desk& desk, std::ostream& console) {
  StartFolder chosen = prepare_start_folder(places);
  if (std::string note = describe_start_folder(chosen, places); !note.empty())
    console << "quorin: " << note << std::endl;
  offer_installed_copies(chosen, places, desk, console);
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
