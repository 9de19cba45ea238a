#include "services/runtime_error.h"
#include "startup/entries.h"

namespace quorin::entries {

void not_built(std::string_view name) {
  throw RuntimeError("The function \"" + std::string(name) + "\" is not built yet.");
}

}  // namespace quorin::entries
