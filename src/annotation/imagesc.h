// Showing a pixel array as a picture in the current axes, its values spread over the
// window's colour map.
#pragma once

#include <array>
#include <optional>

#include "annotation/bmp.h"
#include "services/gfx/model.h"

namespace quorin::annotation {

// Adds `picture` to the current axes of the current window as an image with scaled colour
// mapping, pixel (1,1) at the top left and each pixel a unit cell centred on its column and
// row number. Unless the axes is held, the axes' previous content (children with visible
// handles) is replaced, its limits are fixed to [0.5 width+0.5] by [0.5 height+0.5], rows run
// downwards, and the colour limits follow the picture's smallest and largest value (or
// `clim` when given, which is then kept fixed). Returns the image's handle.
gfx::Handle imagesc(gfx::Model& m, const Picture& picture,
                    std::optional<std::array<double, 2>> clim = std::nullopt);

}  // namespace quorin::annotation
