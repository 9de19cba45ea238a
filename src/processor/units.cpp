// Units and rescale.
#include "processor/processor.h"

namespace quorin::actions {

void si(Processor&) { not_built_yet("si"); }
void us(Processor&) { not_built_yet("us"); }
void rescale(Processor&) { not_built_yet("rescale"); }

}  // namespace quorin::actions
