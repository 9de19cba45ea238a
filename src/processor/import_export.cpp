// Text curves: import and export.
#include "processor/processor.h"

namespace quorin::actions {

void import(Processor&) { not_built_yet("import"); }
void export_curve(Processor&) { not_built_yet("export"); }

}  // namespace quorin::actions
