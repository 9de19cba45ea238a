#include "services/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>

#include "services/runtime_error.h"

namespace quorin {
namespace {

std::string quoted(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

// The fopen mode for one of the program's modes; the file is always binary.
const char* fopen_mode(std::string_view mode) {
  if (mode == "r" || mode == "rb") return "rb";
  if (mode == "r+" || mode == "r+b" || mode == "rb+") return "r+b";
  if (mode == "w" || mode == "wb") return "wb";
  return nullptr;
}

// Little-endian decoding of one value, independent of the machine's byte order.
std::uint64_t little_endian(const std::uint8_t* p, std::size_t n) {
  std::uint64_t u = 0;
  for (std::size_t i = n; i-- > 0;) u = (u << 8) | p[i];
  return u;
}

double decode(const std::uint8_t* p, Precision prec) {
  switch (prec) {
    case Precision::Int8: return static_cast<std::int8_t>(p[0]);
    case Precision::Int16: return static_cast<std::int16_t>(static_cast<std::uint16_t>(little_endian(p, 2)));
    case Precision::Int32: return static_cast<std::int32_t>(static_cast<std::uint32_t>(little_endian(p, 4)));
    case Precision::UInt32: return static_cast<double>(little_endian(p, 4));
    case Precision::UInt64: return static_cast<double>(little_endian(p, 8));
    case Precision::Float32: {
      const auto bits = static_cast<std::uint32_t>(little_endian(p, 4));
      float f;
      std::memcpy(&f, &bits, sizeof f);
      return f;
    }
    case Precision::Float64: {
      const std::uint64_t bits = little_endian(p, 8);
      double d;
      std::memcpy(&d, &bits, sizeof d);
      return d;
    }
  }
  return 0;
}

}  // namespace

std::size_t byte_size(Precision p) {
  switch (p) {
    case Precision::Int8: return 1;
    case Precision::Int16: return 2;
    case Precision::Int32:
    case Precision::UInt32:
    case Precision::Float32: return 4;
    case Precision::UInt64:
    case Precision::Float64: return 8;
  }
  return 1;
}

File::File(const std::filesystem::path& path, std::string_view mode) : path_(path) {
  const char* m = fopen_mode(mode);
  if (!m) throw RuntimeError("Invalid mode '" + std::string(mode) + "' for file " + quoted(path) + ".");
  f_ = std::fopen(path.c_str(), m);
  if (!f_)
    throw RuntimeError("Unable to open file " + quoted(path) + ": " + std::strerror(errno) + ".");
}

File::~File() {
  if (f_) std::fclose(f_);
}

File::File(File&& other) noexcept
    : f_(std::exchange(other.f_, nullptr)), path_(std::move(other.path_)), last_(other.last_) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (f_) std::fclose(f_);
    f_ = std::exchange(other.f_, nullptr);
    path_ = std::move(other.path_);
    last_ = other.last_;
  }
  return *this;
}

std::FILE* File::stream(LastOp op) {
  if (!f_) throw RuntimeError("The file " + quoted(path_) + " is closed.");
  // A stream open for update needs a positioning call between a read and a write.
  if (last_ != LastOp::None && last_ != op) std::fseek(f_, 0, SEEK_CUR);
  last_ = op;
  return f_;
}

std::vector<std::uint8_t> File::read_bytes(std::size_t n) {
  std::FILE* f = stream(LastOp::Read);
  std::vector<std::uint8_t> out;
  // Read in chunks so a huge count on a short file allocates only what is there.
  constexpr std::size_t chunk = 1 << 16;
  while (out.size() < n) {
    const std::size_t want = std::min(chunk, n - out.size());
    const std::size_t have = out.size();
    out.resize(have + want);
    const std::size_t got = std::fread(out.data() + have, 1, want, f);
    out.resize(have + got);
    if (got < want) {
      if (std::ferror(f)) {
        std::clearerr(f);
        throw RuntimeError("Error reading file " + quoted(path_) + ".");
      }
      break;
    }
  }
  return out;
}

std::vector<double> File::read(std::size_t n, Precision p) {
  const std::size_t size = byte_size(p);
  const std::size_t bytes = n > std::numeric_limits<std::size_t>::max() / size
                                ? std::numeric_limits<std::size_t>::max()
                                : n * size;
  const auto raw = read_bytes(bytes);
  // A value cut off by the end of the file is dropped.
  std::vector<double> out(raw.size() / size);
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = decode(raw.data() + i * size, p);
  return out;
}

std::vector<std::uint8_t> File::read_all() {
  return read_bytes(std::numeric_limits<std::size_t>::max());
}

void File::seek(std::int64_t offset, Origin origin) {
  std::FILE* f = stream(LastOp::None);
  const int whence = origin == Origin::Begin ? SEEK_SET : origin == Origin::Current ? SEEK_CUR : SEEK_END;
  if (fseeko(f, static_cast<off_t>(offset), whence) != 0)
    throw RuntimeError("Unable to seek to " + std::to_string(offset) + " in file " + quoted(path_) +
                       ": " + std::strerror(errno) + ".");
  last_ = LastOp::None;
}

std::int64_t File::tell() const {
  if (!f_) throw RuntimeError("The file " + quoted(path_) + " is closed.");
  const off_t pos = ftello(f_);
  if (pos < 0) throw RuntimeError("Unable to tell the position in file " + quoted(path_) + ".");
  return pos;
}

std::int64_t File::size() const {
  if (!f_) throw RuntimeError("The file " + quoted(path_) + " is closed.");
  std::fflush(f_);
  struct stat st {};
  if (fstat(fileno(f_), &st) != 0)
    throw RuntimeError("Unable to find the size of file " + quoted(path_) + ".");
  return st.st_size;
}

void File::write(std::string_view text) {
  std::FILE* f = stream(LastOp::Write);
  if (!text.empty() && std::fwrite(text.data(), 1, text.size(), f) != text.size())
    throw RuntimeError("Error writing file " + quoted(path_) + ": " + std::strerror(errno) + ".");
}

void File::printf(const char* format, ...) {
  std::FILE* f = stream(LastOp::Write);
  va_list args;
  va_start(args, format);
  const int r = std::vfprintf(f, format, args);
  va_end(args);
  if (r < 0) throw RuntimeError("Error writing file " + quoted(path_) + ": " + std::strerror(errno) + ".");
}

void File::close() {
  if (!f_) return;
  std::FILE* f = std::exchange(f_, nullptr);
  if (std::fclose(f) != 0)
    throw RuntimeError("Error closing file " + quoted(path_) + ": " + std::strerror(errno) + ".");
}

FilePtr open_for_reading(const std::filesystem::path& path) {
  // Without O_NONBLOCK, opening a FIFO waits for a writer that may never come.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return FilePtr(nullptr, &std::fclose);
  // Reads of regular files do not block; the flag goes so a device reads as usual.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  std::FILE* f = ::fdopen(fd, "rb");
  if (!f) {
    const int e = errno;
    ::close(fd);
    errno = e;
  }
  return FilePtr(f, &std::fclose);
}

namespace {

// A file size as people read it: bytes below a megabyte, else megabytes to one decimal.
std::string megabytes(std::uintmax_t bytes) {
  if (bytes < (1 << 20)) return std::to_string(bytes) + " bytes";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (1 << 20));
  return text;
}

std::string article(std::string_view kind) {
  return std::string(kind.empty() || std::string_view("aeiou").find(kind[0]) == std::string_view::npos
                         ? "a "
                         : "an ") +
         std::string(kind);
}

[[noreturn]] void too_large(const std::filesystem::path& path, std::uintmax_t size, ReadLimit limit) {
  throw RuntimeError("The file \"" + path.string() + "\" is " + megabytes(size) + ", more than the " +
                     megabytes(limit.bytes) + " " + article(limit.kind) +
                     " may hold; it was not read.");
}

// Reads the whole stream into `out`, which starts at the size the file announced; a file that
// grows while it is read is followed up to the limit.
template <class Bytes>
void read_whole(std::FILE* f, const std::filesystem::path& path, std::uintmax_t announced,
                ReadLimit limit, Bytes& out) {
  out.resize(static_cast<std::size_t>(announced));
  std::size_t have = 0;
  while (true) {
    have += std::fread(out.data() + have, 1, out.size() - have, f);
    if (have < out.size()) break;
    // Full: the file may hold more than it announced.
    const int c = std::fgetc(f);
    if (c == EOF) break;
    if (have + 1 > limit.bytes) too_large(path, have + 1, limit);
    out.resize(std::min<std::size_t>(out.size() + out.size() / 2 + (1 << 16), limit.bytes));
    out[have++] = static_cast<typename Bytes::value_type>(c);
  }
  if (std::ferror(f)) throw RuntimeError("Error reading file " + quoted(path) + ".");
  out.resize(have);
}

template <class Bytes>
Bytes read_checked(const std::filesystem::path& path, ReadLimit limit) {
  std::uintmax_t size = 0;
  FilePtr f = open_checked(path, limit, size);
  Bytes out;
  read_whole(f.get(), path, size, limit, out);
  return out;
}

}  // namespace

std::uintmax_t check_readable(std::FILE* f, const std::filesystem::path& path, ReadLimit limit) {
  struct stat st {};
  if (::fstat(fileno(f), &st) != 0)
    throw RuntimeError("Unable to find the size of file " + quoted(path) + ": " +
                       std::strerror(errno) + ".");
  if (!S_ISREG(st.st_mode))
    throw RuntimeError("The file \"" + path.string() + "\" is not a regular file (" +
                       (S_ISDIR(st.st_mode) ? "a folder" : S_ISFIFO(st.st_mode) ? "a pipe" : "a device") +
                       "); it was not read.");
  const auto size = static_cast<std::uintmax_t>(st.st_size);
  if (size > limit.bytes) too_large(path, size, limit);
  return size;
}

FilePtr open_checked(const std::filesystem::path& path, ReadLimit limit, std::uintmax_t& size) {
  FilePtr f = open_for_reading(path);
  if (!f)
    throw RuntimeError("Unable to open file " + quoted(path) + ": " + std::strerror(errno) + ".");
  size = check_readable(f.get(), path, limit);
  return f;
}

std::vector<std::uint8_t> read_file_bytes(const std::filesystem::path& path, ReadLimit limit) {
  return read_checked<std::vector<std::uint8_t>>(path, limit);
}

std::string read_file_text(const std::filesystem::path& path, ReadLimit limit) {
  return read_checked<std::string>(path, limit);
}

void append_whole(const std::filesystem::path& path, std::string_view text) {
  // Plain descriptor writes: nothing is left in a buffer to reach the file after it was cut
  // back.
  const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0)
    throw RuntimeError("Unable to open file " + quoted(path) + ": " + std::strerror(errno) + ".");
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    throw RuntimeError("The file " + quoted(path) + " is not a regular file; nothing was written.");
  }
  const off_t before = st.st_size;
  std::string why;
  std::size_t done = 0;
  while (why.empty() && done < text.size()) {
    const ssize_t n = ::pwrite(fd, text.data() + done, text.size() - done,
                               before + static_cast<off_t>(done));
    if (n > 0)
      done += static_cast<std::size_t>(n);
    else if (n < 0 && errno == EINTR)
      continue;
    else
      why = n < 0 ? std::strerror(errno) : "nothing more could be written";
  }
  if (why.empty() && ::fsync(fd) != 0 && errno != EINVAL) why = std::strerror(errno);
  if (::close(fd) != 0 && why.empty()) why = std::strerror(errno);
  if (why.empty()) return;
  // Cut back whatever part of the text reached the file.
  const std::string failed = "Error writing file " + quoted(path) + ": " + why + ".";
  if (::truncate(path.c_str(), before) != 0)
    throw RuntimeError(failed + " It could not be put back to its " + std::to_string(before) +
                       " bytes: " + std::strerror(errno) + ".");
  throw RuntimeError(failed + " The file is unchanged.");
}

namespace {

std::string kind_of(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a pipe (FIFO)";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISREG(mode)) return "a regular file";
  return "an unknown kind of file";
}

// Writes all of `bytes` to `fd`; the reason in words when that fails.
std::string write_all(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      return n < 0 ? std::strerror(errno) : "the disk took no more bytes";
    }
  }
  return {};
}

}  // namespace

std::string what_is_at(const std::filesystem::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return "missing";
  return kind_of(st.st_mode);
}

std::filesystem::path save_target(const std::filesystem::path& path) {
  struct stat st {};
  // stat follows links and never opens the file, so a FIFO cannot make it wait.
  if (::stat(path.c_str(), &st) != 0) return path;  // absent, or a link to nothing: made anew
  if (!S_ISREG(st.st_mode))
    throw RuntimeError("The file \"" + path.string() + "\" is not a regular file (" +
                       kind_of(st.st_mode) + "); nothing was written.");
  struct stat link {};
  if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    std::error_code ec;
    std::filesystem::path target = std::filesystem::canonical(path, ec);
    if (!ec) return target;
  }
  return path;
}

void write_whole(const std::filesystem::path& path, std::string_view bytes,
                 std::string_view not_done) {
  const std::filesystem::path target = save_target(path);
  struct stat old {};
  const bool existed = ::stat(target.c_str(), &old) == 0;
  const std::string unchanged =
      not_done.empty()
          ? (existed ? "; the file is unchanged." : "; nothing was written.")
          : "; " + std::string(not_done) + (existed ? " and the old file is unchanged." : ".");
  auto failed = [&](const std::string& why) {
    return RuntimeError("Could not write \"" + path.string() + "\": " + why + unchanged);
  };

  static std::atomic<unsigned> counter{0};
  const std::filesystem::path folder =
      target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
  std::filesystem::path part;
  int fd = -1;
  for (int tries = 0; fd < 0 && tries < 100; ++tries) {
    part = folder / ("." + target.filename().string() + ".part" + std::to_string(::getpid()) + "-" +
                     std::to_string(counter++));
    fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) throw failed(std::strerror(errno));
  // The new file keeps the permissions of the one it replaces.
  if (existed) ::fchmod(fd, old.st_mode & 07777);

  std::string why = write_all(fd, bytes);
  if (why.empty() && ::fsync(fd) != 0 && errno != EINVAL) why = std::strerror(errno);
  if (::close(fd) != 0 && why.empty()) why = std::strerror(errno);
  if (why.empty() && ::rename(part.c_str(), target.c_str()) != 0) why = std::strerror(errno);
  if (why.empty()) return;
  ::unlink(part.c_str());
  throw failed(why);
}

}  // namespace quorin
