#include "startup/start_folder.h"

#include <array>
#include <string_view>
#include <system_error>

namespace quorin {
namespace fs = std::filesystem;
namespace {

// Files whose presence marks a folder as a start folder.
constexpr std::array<std::string_view, 2> kMarkers = {"quorin_matrix_2007_v1.mat",
                                                      "quorin_interface_v41.mat"};

bool holds_supplied_files(const fs::path& folder) {
  std::error_code ec;
  for (std::string_view f : kMarkers)
    if (!fs::is_regular_file(folder / f, ec)) return false;
  return true;
}

}  // namespace

fs::path find_start_folder(const fs::path& cwd, const fs::path& executable_dir) {
  return holds_supplied_files(cwd) ? cwd : executable_dir;
}

fs::path executable_folder(const char* argv0) {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec || exe.empty()) exe = fs::absolute(fs::path(argv0 ? argv0 : ""), ec);
  return exe.parent_path();
}

}  // namespace quorin
