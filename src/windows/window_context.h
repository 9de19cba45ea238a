// What a window builder works with: the graphics model, the program's globals and the start
// folder its data files and logos are read from.
#pragma once

#include <filesystem>

#include "processor/globals.h"
#include "services/gfx/model.h"

namespace quorin {

struct WindowContext {
  gfx::Model& gfx;
  Globals& g;
  std::filesystem::path folder;
};

}  // namespace quorin
