#include "startup/entries.h"
#include "startup/program.h"

namespace quorin::entries {

std::vector<Value> clearfunction(Program&, int, Inputs&) { not_built("clearfunction"); }

std::vector<Value> plotfunction(Program&, int, Inputs&) { not_built("plotfunction"); }

}  // namespace quorin::entries
