// The third-valve curve.
#include "processor/processor.h"

namespace quorin::actions {

void add3rd(Processor&) { not_built_yet("add3rd"); }

}  // namespace quorin::actions
