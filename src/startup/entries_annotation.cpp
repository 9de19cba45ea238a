#include "startup/entries.h"
#include "startup/program.h"

namespace quorin::entries {

std::vector<Value> imagesc(Program&, int, Inputs&) { not_built("imagesc"); }

std::vector<Value> imread(Program&, int, Inputs&) { not_built("imread"); }

std::vector<Value> imread_delete_download(Program&, int, Inputs&) { not_built("imread/delete_download"); }

std::vector<Value> imread_parse_inputs(Program&, int, Inputs&) { not_built("imread/parse_inputs"); }

std::vector<Value> title(Program&, int, Inputs&) { not_built("title"); }

std::vector<Value> xlabel(Program&, int, Inputs&) { not_built("xlabel"); }

std::vector<Value> ylabel(Program&, int, Inputs&) { not_built("ylabel"); }

std::vector<Value> cla(Program&, int, Inputs&) { not_built("cla"); }

}  // namespace quorin::entries
