#include "processor/processor.h"
#include "services/runtime_error.h"
#include "startup/entries.h"
#include "startup/program.h"

namespace quorin::entries {

std::vector<Value> quorin_processor_ct(Program& program, int, Inputs& inputs) {
  if (!inputs[0]) throw RuntimeError("Undefined function or variable 'action'.");
  const Value& action = *inputs[0];
  if (!action.is_text()) throw RuntimeError("The action name must be a text.");
  Processor p = program.processor();
  quorin::quorin_processor_ct(p, action.str());
  return {};
}

}  // namespace quorin::entries
