// Fuzz target for the variable-file reader: any bytes must load or fail with RuntimeError.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "services/runtime_error.h"
#include "services/varfile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("quorin_varfile_fuzz_" + std::to_string(getpid()) + ".mat");
  if (std::FILE* f = std::fopen(file.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  try {
    quorin::load_all_variables(file);
  } catch (const quorin::RuntimeError&) {
  }
  try {
    quorin::parse_value(std::string(reinterpret_cast<const char*>(data), size));
  } catch (const quorin::RuntimeError&) {
  }
  return 0;
}
