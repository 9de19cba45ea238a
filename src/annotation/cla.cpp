#include "annotation/cla.h"

namespace quorin::annotation {

gfx::Handle cla(gfx::Model& m) {
  gfx::Axes& axes = m.current_axes();
  m.cla(axes);
  return axes.handle();
}

}  // namespace quorin::annotation
