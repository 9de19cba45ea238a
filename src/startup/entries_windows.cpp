#include "startup/entries.h"
#include "startup/program.h"
#include "windows/lht.h"
#include "windows/plotfigure.h"
#include "windows/quorin_interface_v41.h"
#include "windows/rht.h"
#include "windows/warningct.h"

namespace quorin::entries {
namespace {

// Builds a window in the program's context; its handle is returned only when asked for.
std::vector<Value> build(Program& program, int nargout, gfx::Handle (*builder)(WindowContext&)) {
  WindowContext ctx{program.gfx, program.globals, program.current_folder};
  const gfx::Handle h = builder(ctx);
  if (nargout < 1) return {};
  return {Value::number(h.value)};
}

}  // namespace

std::vector<Value> quorin_interface_v41(Program& program, int nargout, Inputs&) {
  return build(program, nargout, quorin::quorin_interface_v41);
}

std::vector<Value> lht(Program& program, int nargout, Inputs&) {
  return build(program, nargout, quorin::lht);
}

std::vector<Value> plotfigure(Program& program, int nargout, Inputs&) {
  return build(program, nargout, quorin::plotfigure);
}

std::vector<Value> rht(Program& program, int nargout, Inputs&) {
  return build(program, nargout, quorin::rht);
}

std::vector<Value> warningct(Program& program, int nargout, Inputs&) {
  return build(program, nargout, quorin::warningct);
}

}  // namespace quorin::entries
