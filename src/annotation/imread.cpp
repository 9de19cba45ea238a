#include "annotation/imread.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <system_error>
#include <vector>

#include "annotation/messages.h"
#include "services/file_io.h"
#include "services/runtime_error.h"

namespace quorin::annotation {
namespace {

std::string with_name(std::string_view pattern, std::string_view name) {
  std::string out(pattern);
  if (auto at = out.find("%s"); at != std::string::npos) out.replace(at, 2, name);
  return out;
}

struct Signature {
  std::string_view format;  // first file extension
  std::string_view start;   // the file's first bytes
};
constexpr std::array<Signature, 7> kSignatures{{
    {"bmp", "BM"},
    {"png", "\x89PNG\r\n\x1a\n"},
    {"jpg", "\xFF\xD8\xFF"},
    {"gif", "GIF87a"},
    {"gif", "GIF89a"},
    {"tif", std::string_view("II*\0", 4)},
    {"tif", std::string_view("MM\0*", 4)},
}};

}  // namespace

std::optional<std::string> image_format(std::span<const std::uint8_t> bytes) {
  for (const auto& s : kSignatures) {
    if (bytes.size() < s.start.size()) continue;
    if (std::equal(s.start.begin(), s.start.end(), bytes.begin(),
                   [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; }))
      return std::string(s.format);
  }
  return std::nullopt;
}

Picture imread(std::string_view filename, const std::filesystem::path& current_folder) {
  std::filesystem::path path(filename);
  if (path.is_relative()) path = current_folder / path;

  std::error_code ec;
  const bool listed = std::filesystem::exists(std::filesystem::symlink_status(path, ec));
  FilePtr file(nullptr, &std::fclose);
  if (!std::filesystem::is_directory(path, ec)) file = open_for_reading(path);
  if (!file) {
    if (listed) throw RuntimeError(with_name(kFileNotReadable, filename));
    throw RuntimeError(with_name(kFileMissing, filename));
  }
  const std::uintmax_t size = check_readable(file.get(), path, kPictureFileLimit);

  // The signature first: a file of another kind is refused before the rest is read.
  constexpr std::size_t kLongestSignature = 8;
  std::vector<std::uint8_t> bytes(std::min<std::uintmax_t>(size, kLongestSignature));
  std::size_t have = std::fread(bytes.data(), 1, bytes.size(), file.get());
  bytes.resize(have);
  const auto format = image_format(bytes);
  if (!format && !std::ferror(file.get())) throw RuntimeError(std::string(kUnknownFormat));
  if (format && *format != "bmp") throw RuntimeError(with_name(kNoReader, *format));

  bytes.resize(static_cast<std::size_t>(size));
  have += std::fread(bytes.data() + have, 1, bytes.size() - have, file.get());
  if (std::ferror(file.get())) throw RuntimeError(with_name(kFileNotReadable, filename));
  bytes.resize(have);
  return decode_bmp(bytes);
}

}  // namespace quorin::annotation
