// Binary and text files as the program reads and writes them: open, read values of a
// precision, seek, formatted and literal writes, close. Closed on every path (RAII).
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quorin {

enum class Precision { Int8, Int16, Int32, UInt32, UInt64, Float32, Float64 };
std::size_t byte_size(Precision p);

class File {
 public:
  // mode "r", "r+" or "w", also spelled "rb", "r+b", "wb"; always binary. Throws RuntimeError naming the file when it cannot be opened.
  File(const std::filesystem::path& path, std::string_view mode);
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;

  // Reads up to n little-endian values of precision p; at the end of the file returns what
  // was there (possibly fewer, possibly none).
  std::vector<double> read(std::size_t n, Precision p);
  std::vector<std::uint8_t> read_bytes(std::size_t n);
  std::vector<std::uint8_t> read_all();
  enum class Origin { Begin, Current, End };
  void seek(std::int64_t offset, Origin origin);
  std::int64_t tell() const;
  std::int64_t size() const;
  void write(std::string_view text);  // literal bytes
  // printf-style formatted write for the numeric formats the program uses ("%0.3f" ...).
  void printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void close();
  const std::filesystem::path& path() const { return path_; }

 private:
  enum class LastOp { None, Read, Write };
  // The open stream for the next operation; throws when closed.
  std::FILE* stream(LastOp op);

  std::FILE* f_ = nullptr;
  std::filesystem::path path_;
  LastOp last_ = LastOp::None;
};

// The largest file each reader takes: far beyond any real file of its kind, small enough that
// reading one cannot use up the machine's memory.
struct ReadLimit {
  std::string_view kind;  // names the file in messages: "import file", "dyno file", ...
  std::uintmax_t bytes;
};
inline constexpr ReadLimit kImportFileLimit{"import file", std::uintmax_t{128} << 20};
inline constexpr ReadLimit kDynoFileLimit{"dyno file", std::uintmax_t{64} << 20};
inline constexpr ReadLimit kVariableFileLimit{"variable file", std::uintmax_t{64} << 20};
inline constexpr ReadLimit kPictureFileLimit{"picture file", std::uintmax_t{64} << 20};
inline constexpr ReadLimit kAnyFileLimit{"file", std::uintmax_t{256} << 20};

using FilePtr = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// Opens a file for reading without ever waiting on a FIFO; nullptr (errno set) when it cannot
// be opened.
FilePtr open_for_reading(const std::filesystem::path& path);
// Refuses, before a byte is read, what is not a regular file (a folder, a device such as
// /dev/zero, a FIFO) and a file larger than the limit, naming the file, its size and the
// limit. Returns the file's size. Throws RuntimeError.
std::uintmax_t check_readable(std::FILE* f, const std::filesystem::path& path, ReadLimit limit);
// open_for_reading, then check_readable: the file open for a whole read, its size in `size`.
// Throws RuntimeError naming the file when it cannot be opened or is refused.
FilePtr open_checked(const std::filesystem::path& path, ReadLimit limit, std::uintmax_t& size);

// Whole-file helpers; both check the file first as check_readable does.
std::vector<std::uint8_t> read_file_bytes(const std::filesystem::path& path,
                                          ReadLimit limit = kAnyFileLimit);  // throws RuntimeError
// The whole file as text, read into one string of the file's size (no growing copies); a file
// that grows while it is read is followed up to the limit. Throws RuntimeError.
std::string read_file_text(const std::filesystem::path& path, ReadLimit limit = kAnyFileLimit);

// Appends `text` to the end of an existing file, all or nothing: on any failure (a full disk,
// a file size limit) the file is cut back to its previous length and the RuntimeError says
// that the file is unchanged.
void append_whole(const std::filesystem::path& path, std::string_view text);

// What a file found at `path` is, in words for a message: "a folder", "a pipe (FIFO)",
// "a device", "a socket"; "missing" when nothing is there. Never opens the file.
std::string what_is_at(const std::filesystem::path& path);

// The file that a save to `path` replaces: `path` itself, or the regular file a link leads to.
// Throws RuntimeError, without opening anything, when something other than a regular file (a
// folder, a FIFO, a device) is there, so a save never blocks on a FIFO nor writes into a device.
std::filesystem::path save_target(const std::filesystem::path& path);

// Replaces (or creates) the file `path` with `bytes`, all or nothing: the bytes go to a file
// beside it, flushed to the disk, which then takes the name. On any failure (a full disk, a
// file size limit, a folder that cannot be written) the old file stays exactly as it was, the
// file beside it is removed, and the RuntimeError says why in words. A link to a regular file
// is followed and stays a link. Throws as save_target does for what is not a regular file.
// The message ends with what was not done: `not_done` ("no picture was written") when given,
// and that an old file is unchanged.
void write_whole(const std::filesystem::path& path, std::string_view bytes,
                 std::string_view not_done = {});

}  // namespace quorin
