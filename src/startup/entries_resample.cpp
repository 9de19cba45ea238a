#include "startup/entries.h"
#include "startup/program.h"

namespace quorin::entries {

std::vector<Value> bleed(Program&, int, Inputs&) { not_built("bleed"); }

std::vector<Value> correction(Program&, int, Inputs&) { not_built("correction"); }

std::vector<Value> curve(Program&, int, Inputs&) { not_built("curve"); }

}  // namespace quorin::entries
