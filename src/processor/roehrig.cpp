// Overlaying a measured curve from a dyno file.
#include "processor/processor.h"

namespace quorin::actions {

void roehrig(Processor&) { not_built_yet("roehrig"); }

}  // namespace quorin::actions
