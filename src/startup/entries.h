// The bodies behind the function table: each turns the generic entry's values into a typed
// call of its module and the results back into values. One source per subsystem.
#pragma once

#include "startup/function_table.h"

namespace quorin::entries {

#define QUORIN_BODY(name) std::vector<Value> name(Program& program, int nargout, Inputs& inputs)

// windows
QUORIN_BODY(quorin_interface_v41);
QUORIN_BODY(lht);
QUORIN_BODY(plotfigure);
QUORIN_BODY(rht);
QUORIN_BODY(warningct);
// processor
QUORIN_BODY(quorin_processor_ct);
QUORIN_BODY(bleed);
QUORIN_BODY(correction);
QUORIN_BODY(curve);
// annotation
QUORIN_BODY(imagesc);
QUORIN_BODY(imread);
QUORIN_BODY(imread_delete_download);
QUORIN_BODY(imread_parse_inputs);
QUORIN_BODY(title);
QUORIN_BODY(xlabel);
QUORIN_BODY(ylabel);
QUORIN_BODY(cla);
// dyno
QUORIN_BODY(loadshock);
QUORIN_BODY(loadshock_ReadVariant);
QUORIN_BODY(loadshock_RemoveInvalid);
QUORIN_BODY(loadshock_GetUnits);
// plotting
QUORIN_BODY(clearfunction);
QUORIN_BODY(plotfunction);
// balance
QUORIN_BODY(forcebalanceimperial);
QUORIN_BODY(forcebalancemetric);

#undef QUORIN_BODY

// Raised by bodies whose module is not built yet.
[[noreturn]] void not_built(std::string_view name);

}  // namespace quorin::entries
