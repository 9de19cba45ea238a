// Reading an image file (the logo bitmaps) into a pixel array.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "annotation/bmp.h"

namespace quorin::annotation {

// The image format recognised from a file's first bytes: its first file extension ("bmp",
// "png", "jpg", "gif", "tif"), or nullopt when none is recognised.
std::optional<std::string> image_format(std::span<const std::uint8_t> bytes);

// Reads the picture in `filename` (relative names from `current_folder`). Throws RuntimeError
// with the file-not-found, not-readable, unknown-format or no-reader message naming
// `filename` as given, or the bitmap decoder's error for a damaged bitmap.
Picture imread(std::string_view filename, const std::filesystem::path& current_folder);

}  // namespace quorin::annotation
