// The started program, over the shipped data or over its own copy of them, with the comparison window's
// menus, the hidden curves and the undo history put in as the program put together has them.
#pragma once

#include "app/comparison_tools.h"
#include "startup/started_program.h"

namespace quorin::test {

class MenuProgram : public StartedProgram {
 protected:
  void put_together(Program& p) override { ComparisonTools::attach(p); }
};

class MenuCopy : public StartedCopy {
 protected:
  void put_together(Program& p) override { ComparisonTools::attach(p); }
};

}  // namespace quorin::test
