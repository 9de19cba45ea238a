// Actions whose work is still to be built: each says so instead of doing nothing.
#include "processor/processor.h"
#include "services/runtime_error.h"

namespace quorin::actions {
namespace {
[[noreturn]] void pending(const char* name) {
  throw RuntimeError(std::string("The action \"") + name + "\" is not built yet.");
}
}  // namespace

void clear(Processor&) { pending("clear"); }
void exit(Processor&) { pending("exit"); }
void print(Processor&) { pending("print"); }
void import(Processor&) { pending("import"); }
void export_curve(Processor&) { pending("export"); }
void save(Processor&) { pending("save"); }
void load(Processor&) { pending("load"); }
void roehrig(Processor&) { pending("roehrig"); }
void add3rd(Processor&) { pending("add3rd"); }
void overwrite(Processor&) { pending("overwrite"); }
void rescale(Processor&) { pending("rescale"); }
void si(Processor&) { pending("si"); }
void us(Processor&) { pending("us"); }
void balance(Processor&) { pending("balance"); }

}  // namespace quorin::actions
