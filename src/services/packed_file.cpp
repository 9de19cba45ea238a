#include "services/packed_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <cstring>
#include <limits>

#include "services/file_io.h"
#include "services/runtime_error.h"

namespace quorin {
namespace {

static_assert(std::endian::native == std::endian::little, "packed files are little-endian");

// A packed file of any kind: far beyond a session holding the largest import (128 MB of text
// is at most 64 MB of numbers), small enough that reading one cannot use up the machine.
constexpr std::uintmax_t kLargestPackedFile = std::uintmax_t{1} << 30;
constexpr int kDeepestValue = 32;
// A value's kind and its two sizes: no value in a file takes fewer bytes.
constexpr std::size_t kSmallestValueBytes = 1 + 3 * 8;
constexpr std::size_t kBufferBytes = std::size_t{1} << 20;
// How much is written before the disk is asked to start on it.
constexpr std::uint64_t kSendBytes = std::uint64_t{4} << 20;
enum class Tag : unsigned char { Numeric = 1, Text = 2, Records = 3, Cell = 4 };

std::uint64_t rotl(std::uint64_t x, int r) { return (x << r) | (x >> (64 - r)); }

std::string reason() { return std::strerror(errno); }

}  // namespace

void PackSum::word(std::uint64_t w) {
  h_ = rotl(h_ ^ (w * 0x87C37B91114253D5ull), 31) * 0x4CF5AD432745937Full + 0x52DCE729;
}

void PackSum::add(const void* bytes, std::size_t n) {
  if (n == 0) return;  // an empty array may lie nowhere at all
  const auto* p = static_cast<const unsigned char*>(bytes);
  total_ += n;
  if (tail_n_ > 0) {  // the word begun by the bytes before
    const std::size_t take = std::min(n, sizeof tail_ - tail_n_);
    std::memcpy(tail_ + tail_n_, p, take);
    tail_n_ += take;
    p += take;
    n -= take;
    if (tail_n_ < sizeof tail_) return;
    std::uint64_t w;
    std::memcpy(&w, tail_, 8);
    word(w);
    tail_n_ = 0;
  }
  for (; n >= 8; n -= 8, p += 8) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    word(w);
  }
  std::memcpy(tail_, p, n);
  tail_n_ = n;
}

std::uint64_t PackSum::value() const {
  PackSum last = *this;
  std::uint64_t w = 0;
  std::memcpy(&w, tail_, tail_n_);
  last.word(w);
  last.word(total_);
  return last.h_ ^ (last.h_ >> 29);
}

PackWriter::PackWriter(std::filesystem::path file, std::string_view title, std::uint32_t version)
    : file_(std::move(file)) {
  static std::atomic<unsigned> serial{0};
  temp_ = file_;
  temp_ += ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(serial++);
  fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd_ < 0) fail(reason());
  buffer_.reserve(kBufferBytes);
  text(title);
  u64(version);
}

PackWriter::~PackWriter() {
  if (fd_ >= 0) ::close(fd_);
  if (!temp_.empty()) ::unlink(temp_.c_str());
}

void PackWriter::fail(const std::string& what) {
  throw RuntimeError("Could not write \"" + file_.string() + "\": " + what + ".");
}

void PackWriter::flush_buffer() {
  write_out(buffer_.data(), buffer_.size());
  buffer_.clear();
}

void PackWriter::write_out(const unsigned char* p, std::size_t left) {
  while (left > 0) {
    const ssize_t n = ::write(fd_, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) fail(n < 0 ? reason() : "nothing more could be written");
    p += n;
    left -= static_cast<std::size_t>(n);
    written_ += static_cast<std::uint64_t>(n);
  }
#ifdef SYNC_FILE_RANGE_WRITE
  // A large file goes to the disk while the rest is still written, so the synchronisation at
  // the end waits only for its last part. Only a request: where it fails, that sync does all.
  if (written_ - sent_ >= kSendBytes) {
    ::sync_file_range(fd_, static_cast<off_t>(sent_), static_cast<off_t>(written_ - sent_),
                      SYNC_FILE_RANGE_WRITE);
    sent_ = written_;
  }
#endif
}

void PackWriter::bytes(const void* data, std::size_t n) {
  sum_.add(data, n);
  const auto* p = static_cast<const unsigned char*>(data);
  if (buffer_.size() + n > kBufferBytes) flush_buffer();
  if (n >= kBufferBytes) {  // a large array goes straight from where it lies
    write_out(p, n);
    return;
  }
  buffer_.insert(buffer_.end(), p, p + n);
}

void PackWriter::u64(std::uint64_t v) { bytes(&v, sizeof v); }
void PackWriter::f64(double v) { bytes(&v, sizeof v); }

void PackWriter::text(std::string_view s) {
  u64(s.size());
  bytes(s.data(), s.size());
}

void PackWriter::rows_of(const std::vector<const double*>& columns, std::size_t rows) {
  const std::size_t cols = columns.size();
  u64(rows * cols);
  if (cols == 0) return;
  // A block of rows at a time, filled a column at a time: the numbers are never copied whole,
  // and a block of the buffer's size goes to the file from where it lies.
  const std::size_t per_block = (kBufferBytes / sizeof(double) + cols - 1) / cols;
  std::vector<double> block(std::min(per_block, rows) * cols);
  for (std::size_t first = 0; first < rows; first += per_block) {
    const std::size_t n = std::min(per_block, rows - first);
    for (std::size_t c = 0; c < cols; ++c) {
      const double* from = columns[c] + first;
      double* to = block.data() + c;
      for (std::size_t r = 0; r < n; ++r) to[r * cols] = from[r];
    }
    bytes(block.data(), n * cols * sizeof(double));
  }
}

void PackWriter::doubles(const double* data, std::size_t n) {
  u64(n);
  // Written in slices, so a large array never needs a second copy of itself.
  constexpr std::size_t kSlice = kBufferBytes / sizeof(double);
  for (std::size_t k = 0; k < n; k += kSlice) bytes(data + k, std::min(kSlice, n - k) * 8);
}

void PackWriter::value(const Value& v) {
  auto tag = [this](Tag t) { bytes(&t, 1); };
  auto dims = [this, &v] {
    u64(v.dims().size());
    for (std::size_t d : v.dims()) u64(d);
  };
  switch (v.kind()) {
    case Value::Kind::Numeric:
      tag(Tag::Numeric);
      dims();
      doubles(v.numbers());
      return;
    case Value::Kind::Text:
      tag(Tag::Text);
      dims();
      text(v.str());
      return;
    case Value::Kind::Records: {
      tag(Tag::Records);
      dims();
      u64(v.field_names().size());
      for (const std::string& f : v.field_names()) text(f);
      for (std::size_t e = 1; e <= v.numel(); ++e)
        for (const Value& field : v.element(e)) value(field);
      return;
    }
    case Value::Kind::Cell:
      tag(Tag::Cell);
      dims();
      for (const Value& c : v.cells()) value(c);
      return;
  }
}

void PackWriter::commit() {
  const std::uint64_t sum = sum_.value();
  buffer_.insert(buffer_.end(), reinterpret_cast<const unsigned char*>(&sum),
                 reinterpret_cast<const unsigned char*>(&sum) + sizeof sum);
  flush_buffer();
  if (::fsync(fd_) != 0) fail(reason());
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) fail(reason());
  if (::rename(temp_.c_str(), file_.c_str()) != 0) fail(reason());
  temp_.clear();
}

PackReader::PackReader(std::filesystem::path file, std::string_view title,
                       std::uint32_t newest_version)
    : file_(std::move(file)) {
  FilePtr f = open_for_reading(file_);
  if (!f) fail(reason());
  left_ = check_readable(f.get(), file_, ReadLimit{"kept session", kLargestPackedFile});
  in_ = f.release();
  if (left_ < 8) fail("it is not a packed file");
  left_ -= 8;  // the checksum at the end is not part of what is read
  std::string found;
  try {
    found = text(title.size());
  } catch (const RuntimeError&) {
    fail("it is not a packed file");
  }
  if (found != title) fail("it is not a packed file");
  const std::uint64_t v = u64();
  if (v < 1 || v > newest_version)
    fail("it is of format version " + std::to_string(v) + ", newer than this program reads");
  version_ = static_cast<std::uint32_t>(v);
}

PackReader::~PackReader() {
  if (in_) std::fclose(in_);
}

void PackReader::fail(const std::string& what) const {
  throw RuntimeError("The file \"" + file_.string() + "\" cannot be read: " + what + ".");
}

void PackReader::bytes(void* data, std::size_t n) {
  if (n > left_) fail("it ends early");
  if (n > 0 && std::fread(data, 1, n, in_) != n) fail("it ends early");
  left_ -= n;
  sum_.add(data, n);
}

std::uint64_t PackReader::u64() {
  std::uint64_t v;
  bytes(&v, sizeof v);
  return v;
}

double PackReader::f64() {
  double v;
  bytes(&v, sizeof v);
  return v;
}

std::size_t PackReader::count(std::size_t item_bytes, const char* what) {
  const std::uint64_t n = u64();
  if (item_bytes > 0 && n > left_ / item_bytes)
    fail(std::string("it holds a ") + what + " longer than the file");
  return static_cast<std::size_t>(n);
}

std::string PackReader::text(std::size_t longest) {
  const std::size_t n = count(1, "text");
  if (n > longest) fail("it holds a text of " + std::to_string(n) + " bytes");
  std::string s(n, '\0');
  bytes(s.data(), n);
  return s;
}

std::vector<double> PackReader::doubles() {
  const std::size_t n = count(sizeof(double), "row of numbers");
  std::vector<double> v(n);
  bytes(v.data(), n * sizeof(double));
  return v;
}

Value PackReader::value() { return value_at(0); }

Value PackReader::value_at(int depth) {
  if (depth > kDeepestValue) fail("it holds values nested too deep");
  unsigned char tag = 0;
  bytes(&tag, 1);
  Value::Dims dims(count(8, "list of sizes"));
  std::size_t numel = 1;
  for (std::size_t& d : dims) {
    d = static_cast<std::size_t>(u64());
    if (d != 0 && numel > std::numeric_limits<std::size_t>::max() / d) fail("it holds a value too large");
    numel *= d;
  }
  if (dims.size() < 2) fail("it holds a value of fewer than two dimensions");
  // Every element takes at least one byte of the file, so a size the file cannot hold is
  // refused before anything is made.
  if (numel > left_ + 1) fail("it holds a value larger than the file");
  switch (static_cast<Tag>(tag)) {
    case Tag::Numeric: {
      std::vector<double> data = doubles();
      if (data.size() != numel) fail("it holds a numeric value whose size does not match");
      return Value::numeric(std::move(dims), std::move(data));
    }
    case Tag::Text:
      return Value::text(text(std::numeric_limits<std::size_t>::max()));
    case Tag::Records: {
      std::vector<std::string> fields(count(8, "list of fields"));
      for (std::string& f : fields) f = text(4096);
      if (numel * std::max<std::size_t>(1, fields.size()) > left_ / kSmallestValueBytes)
        fail("it holds more records than the file");
      std::vector<std::vector<Value>> elements(numel);
      for (auto& e : elements) {
        e.reserve(fields.size());
        for (std::size_t k = 0; k < fields.size(); ++k) e.push_back(value_at(depth + 1));
      }
      return Value::records(std::move(dims), std::move(fields), std::move(elements));
    }
    case Tag::Cell: {
      if (numel > left_ / kSmallestValueBytes) fail("it holds more cells than the file");
      std::vector<Value> cells;
      cells.reserve(numel);
      for (std::size_t k = 0; k < numel; ++k) cells.push_back(value_at(depth + 1));
      return Value::cell(std::move(dims), std::move(cells));
    }
  }
  fail("it holds a value of unknown kind " + std::to_string(tag));
}

void PackReader::finish() {
  if (left_ != 0) fail("it holds more than its contents");
  const std::uint64_t expected = sum_.value();
  std::uint64_t found = 0;
  left_ = sizeof found;
  if (std::fread(&found, 1, sizeof found, in_) != sizeof found) fail("it ends early");
  if (found != expected) fail("it is damaged (its checksum does not match)");
}

}  // namespace quorin
