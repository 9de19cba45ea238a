// The front/rear damping balance action.
#include "processor/processor.h"

namespace quorin::actions {

void balance(Processor&) { not_built_yet("balance"); }

}  // namespace quorin::actions
