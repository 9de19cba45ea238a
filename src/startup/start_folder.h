// Where the program reads its supplied files from: the current folder when it holds them,
// otherwise the folder of the executable, beside which the build puts them.
#pragma once

#include <filesystem>

namespace quorin {

// The current folder when it holds the supplied data files, otherwise `executable_dir`.
std::filesystem::path find_start_folder(const std::filesystem::path& cwd,
                                        const std::filesystem::path& executable_dir);

// The folder of the running executable; `argv0` serves when the system cannot say.
std::filesystem::path executable_folder(const char* argv0);

}  // namespace quorin
