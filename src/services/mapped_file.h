// A large text file read where it lies: its pages in the system's file cache are mapped into
// the program instead of being copied into fresh memory, which for an import of tens of MB is
// most of the reading time.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "services/file_io.h"

namespace quorin {

class MappedText {
 public:
  // Checks the file as check_readable does (a regular file within the limit) and maps it. Where
  // the system cannot map it, the file is read into memory instead. Throws RuntimeError.
  MappedText(const std::filesystem::path& path, ReadLimit limit);
  ~MappedText();
  MappedText(const MappedText&) = delete;
  MappedText& operator=(const MappedText&) = delete;

  // The file's bytes as they were when it was opened.
  std::string_view text() const { return text_; }

  // Throws RuntimeError when the file was cut short while it was mapped (another program
  // truncated it): the bytes it lost read as zeros, so what was read from them is not the
  // file. Call it after the text was used and before its result is kept.
  void check_whole() const;

 private:
  std::filesystem::path path_;
  int fd_ = -1;
  void* map_ = nullptr;
  std::size_t size_ = 0;
  int slot_ = -1;       // the mapping's place among those a cut can reach
  std::string copy_;    // the text when it could not be mapped
  std::string_view text_;
};

}  // namespace quorin
