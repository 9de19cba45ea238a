#include "startup/entries.h"
#include "startup/program.h"

namespace quorin::entries {

std::vector<Value> loadshock(Program&, int, Inputs&) { not_built("loadshock"); }

std::vector<Value> loadshock_ReadVariant(Program&, int, Inputs&) { not_built("loadshock/ReadVariant"); }

std::vector<Value> loadshock_RemoveInvalid(Program&, int, Inputs&) { not_built("loadshock/RemoveInvalid"); }

std::vector<Value> loadshock_GetUnits(Program&, int, Inputs&) { not_built("loadshock/GetUnits"); }

}  // namespace quorin::entries
