// Packed files: numbers, texts and array values written as they are in memory (little-endian
// doubles, lengths before contents) behind a title line and a format version, closed by a
// checksum of everything before it. Large curves go in and out at the speed of the disk, every
// number comes back bit for bit (NaN included), and a damaged or cut file is refused whole.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "services/value.h"

namespace quorin {

// The running checksum of a packed file (64-bit, over 8-byte words; not for secrets).
class PackSum {
 public:
  void add(const void* bytes, std::size_t n);
  std::uint64_t value() const;

 private:
  std::uint64_t h_ = 0x9E3779B97F4A7C15ull;
  std::uint64_t total_ = 0;
  unsigned char tail_[8] = {};
  std::size_t tail_n_ = 0;
  void word(std::uint64_t w);
};

// Writes a packed file whole or not at all: into a file beside it, flushed to the disk and
// renamed over `file` by `commit`; a writer dropped without commit removes its file. Throws
// RuntimeError naming the file and the reason (a full disk, no permission).
class PackWriter {
 public:
  PackWriter(std::filesystem::path file, std::string_view title, std::uint32_t version);
  ~PackWriter();
  PackWriter(const PackWriter&) = delete;
  PackWriter& operator=(const PackWriter&) = delete;

  void u64(std::uint64_t v);
  void f64(double v);
  void text(std::string_view s);
  void doubles(const double* data, std::size_t n);  // the count, then the numbers
  void doubles(const std::vector<double>& v) { doubles(v.data(), v.size()); }
  // Columns of `rows` numbers each, written as doubles() writes the same numbers in row order.
  void rows_of(const std::vector<const double*>& columns, std::size_t rows);
  void value(const Value& v);
  // Writes the checksum, flushes and renames into place.
  void commit();

 private:
  void bytes(const void* data, std::size_t n);
  void flush_buffer();
  void write_out(const unsigned char* p, std::size_t n);
  [[noreturn]] void fail(const std::string& what);
  std::filesystem::path file_, temp_;
  int fd_ = -1;
  std::vector<unsigned char> buffer_;
  PackSum sum_;
  std::uint64_t written_ = 0;  // bytes in the file so far
  std::uint64_t sent_ = 0;     // of which the disk was asked to start writing
};

// Reads a packed file written by PackWriter, checking every length against what is left of
// the file, so a damaged file never asks for more memory than it holds. Throws RuntimeError
// naming the file and what is wrong.
class PackReader {
 public:
  // Opens `file` (a regular file only, never blocking on a FIFO) and checks its title and
  // version; `version_found` receives the file's version.
  PackReader(std::filesystem::path file, std::string_view title, std::uint32_t newest_version);
  ~PackReader();
  PackReader(const PackReader&) = delete;
  PackReader& operator=(const PackReader&) = delete;

  std::uint32_t version() const { return version_; }
  const std::filesystem::path& path() const { return file_; }
  std::uint64_t u64();
  double f64();
  std::string text(std::size_t longest);
  std::vector<double> doubles();
  Value value();
  // Checks the checksum and that nothing follows it.
  void finish();

 private:
  void bytes(void* data, std::size_t n);
  std::size_t count(std::size_t item_bytes, const char* what);
  Value value_at(int depth);
  [[noreturn]] void fail(const std::string& what) const;
  std::filesystem::path file_;
  std::FILE* in_ = nullptr;
  std::uint64_t left_ = 0;  // bytes of the file not read yet
  std::uint32_t version_ = 0;
  PackSum sum_;
};

}  // namespace quorin
