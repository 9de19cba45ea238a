// The program's icon: a damper's force-velocity plot on a rounded tile, compression rising to
// the upper right, rebound falling to the lower left. One description drawn two ways, as SVG
// text and as a square PNG of any size, so both show the same picture.
#pragma once

#include <filesystem>
#include <string>

namespace quorin::icon {

// The icon as a scalable SVG document on a 256 by 256 canvas.
std::string svg();

// Writes the icon as a `size` by `size` PNG with an alpha channel. Returns false when the
// file cannot be written.
bool write_png(const std::filesystem::path& file, int size);

}  // namespace quorin::icon
