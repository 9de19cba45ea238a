// The comparison window actions: clear, exit and print.
#include "processor/processor.h"

namespace quorin::actions {

void clear(Processor&) { not_built_yet("clear"); }
void exit(Processor&) { not_built_yet("exit"); }
void print(Processor&) { not_built_yet("print"); }

}  // namespace quorin::actions
