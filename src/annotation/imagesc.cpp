#include "annotation/imagesc.h"

#include <cmath>
#include <limits>

#include "services/runtime_error.h"

namespace quorin::annotation {
namespace {

// The smallest and largest value of the picture, ignoring values that are not numbers; a
// flat picture gets a span of 1 either side so the limits still increase.
std::array<double, 2> value_span(const std::vector<double>& data) {
  double lo = std::numeric_limits<double>::infinity(), hi = -lo;
  for (double d : data) {
    if (!std::isfinite(d)) continue;
    lo = std::min(lo, d);
    hi = std::max(hi, d);
  }
  if (lo > hi) return {0, 1};
  if (lo == hi) return {lo - 1, hi + 1};
  return {lo, hi};
}

}  // namespace

gfx::Handle imagesc(gfx::Model& m, const Picture& picture,
                    std::optional<std::array<double, 2>> clim) {
  if (picture.data.size() != picture.height * picture.width * picture.channels ||
      (picture.channels != 1 && picture.channels != 3))
    throw RuntimeError("The picture's size does not match its data.");
  if (clim && !((*clim)[0] < (*clim)[1]))
    throw RuntimeError("Colour limits must be two increasing numbers [low high].");

  gfx::Axes& axes = m.current_axes();
  if (!axes.hold) m.cla(axes);
  gfx::Image& image = m.new_image(axes);
  image.height = picture.height;
  image.width = picture.width;
  image.channels = picture.channels;
  image.cdata = picture.data;
  image.cdata_scaled = true;
  image.true_colour_8bit = picture.true_colour_8bit;
  image.xdata = {1, static_cast<double>(std::max<std::size_t>(picture.width, 1))};
  image.ydata = {1, static_cast<double>(std::max<std::size_t>(picture.height, 1))};

  if (!axes.hold) {
    if (picture.width > 0 && picture.height > 0) {
      axes.xlim = {0.5, static_cast<double>(picture.width) + 0.5};
      axes.ylim = {0.5, static_cast<double>(picture.height) + 0.5};
      axes.xlim_manual = axes.ylim_manual = true;
    }
    axes.ydir_reverse = true;
  }
  if (clim) {
    axes.clim = *clim;
    axes.clim_manual = true;
  } else if (!axes.hold) {
    axes.clim = value_span(picture.data);
    axes.clim_manual = false;
  }
  m.touch();
  return image.handle();
}

}  // namespace quorin::annotation
