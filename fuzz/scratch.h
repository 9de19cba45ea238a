// Scratch folders for the fuzz targets that run the program's own file actions: a private copy
// of the start folder, a folder the file dialogs are answered with, and a HOME of their own, so
// nothing a fuzz input makes the program write lands outside them.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace quorin::fuzz {

namespace fs = std::filesystem;

// The target's own folder: $QUORIN_FUZZ_SCRATCH/<name>-<pid> when set, otherwise one under the
// system's temporary folder; made on first use and removed when the process ends normally.
inline const fs::path& scratch_root(std::string_view name) {
  static const fs::path root = [&] {
    const char* base = std::getenv("QUORIN_FUZZ_SCRATCH");
    const fs::path parent = base && *base ? fs::path(base) : fs::temp_directory_path();
    fs::path r = parent / ("quorin-" + std::string(name) + "-" + std::to_string(::getpid()));
    fs::remove_all(r);
    fs::create_directories(r);
    std::atexit([] {
      std::error_code ignored;
      fs::remove_all(scratch_root({}), ignored);
    });
    return r;
  }();
  return root;
}

// A copy of the supplied data `supplied` (a start folder) inside the scratch folder, and HOME
// and the XDG folders pointed into the scratch folder as well.
inline fs::path start_folder_copy(std::string_view name, const fs::path& supplied) {
  const fs::path root = scratch_root(name);
  const fs::path start = root / "start";
  fs::remove_all(start);
  fs::copy(supplied, start, fs::copy_options::recursive);
  for (const char* var : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME",
                          "XDG_STATE_HOME", "XDG_RUNTIME_DIR"}) {
    const fs::path dir = root / "home" / var;
    fs::create_directories(dir);
    ::setenv(var, dir.c_str(), 1);
  }
  return start;
}

// An emptied folder inside the scratch folder.
inline fs::path fresh_folder(std::string_view name, std::string_view folder) {
  const fs::path dir = scratch_root(name) / folder;
  std::error_code ignored;
  fs::remove_all(dir, ignored);
  fs::create_directories(dir);
  return dir;
}

// Writes the bytes as the whole file; aborts when it cannot (the scratch folder is ours).
inline void write_file(const fs::path& file, const std::uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(file.c_str(), "wb");
  if (!f) std::abort();
  if (size && std::fwrite(data, 1, size, f) != size) std::abort();
  if (std::fclose(f) != 0) std::abort();
}

}  // namespace quorin::fuzz
