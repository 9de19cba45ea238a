#include "startup/entries.h"
#include "startup/program.h"

namespace quorin::entries {

std::vector<Value> quorin_interface_v41(Program&, int, Inputs&) { not_built("quorin_interface_v41"); }

std::vector<Value> lht(Program&, int, Inputs&) { not_built("lht"); }

std::vector<Value> plotfigure(Program&, int, Inputs&) { not_built("plotfigure"); }

std::vector<Value> rht(Program&, int, Inputs&) { not_built("rht"); }

std::vector<Value> warningct(Program&, int, Inputs&) { not_built("warningct"); }

}  // namespace quorin::entries
