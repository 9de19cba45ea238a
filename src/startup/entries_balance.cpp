#include "startup/entries.h"
#include "startup/program.h"

namespace quorin::entries {

std::vector<Value> forcebalanceimperial(Program&, int, Inputs&) { not_built("forcebalanceimperial"); }

std::vector<Value> forcebalancemetric(Program&, int, Inputs&) { not_built("forcebalancemetric"); }

}  // namespace quorin::entries
