// Damper files: save and load the selections.
#include "processor/processor.h"

namespace quorin::actions {

void save(Processor&) { not_built_yet("save"); }
void load(Processor&) { not_built_yet("load"); }

}  // namespace quorin::actions
