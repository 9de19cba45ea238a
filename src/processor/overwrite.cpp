// Re-synthesising a stored curve in place.
#include "processor/processor.h"

namespace quorin::actions {

void overwrite(Processor&) { not_built_yet("overwrite"); }

}  // namespace quorin::actions
