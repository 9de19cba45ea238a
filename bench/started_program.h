// A started program reading the supplied data beside the executables, for benchmarks: any
// error it reports ends the benchmark by an exception.
#pragma once

#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>

#include "app/comparison_tools.h"
#include "processor/synthesis.h"
#include "services/dialogs.h"
#include "startup/program.h"

namespace quorin::bench {

struct StartedProgram {
  ScriptedDialogs dialogs;
  std::ostringstream console;
  Program program{QUORIN_BIN_DIR, dialogs, console};
  StartedProgram() {
    program.report_error = [](const std::string& m) { throw std::runtime_error(m); };
    ComparisonTools::attach(program);
    program.start();
  }
  // The main window's control tagged `tag`.
  gfx::Control& control(std::string_view tag) {
    for (gfx::Object* o : program.gfx.find_all_by_tag(*program.gfx.window(1), tag))
      if (auto* c = dynamic_cast<gfx::Control*>(o)) return *c;
    throw std::logic_error("no control " + std::string(tag));
  }
  // The set-up the main window shows.
  SetupSelection setup() {
    program.gfx.figure(1);
    return read_setup(program.gfx);
  }
  // PLOT, as its button runs it.
  void plot() {
    if (!program.run_command("quorin_processor_ct('view')"))
      throw std::runtime_error("PLOT failed");
  }
};

}  // namespace quorin::bench
