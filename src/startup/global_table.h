// The table of the 47 globals: each name bound to its storage in the typed state, in byte
// order of the names, for the script driver and tests.
#pragma once

#include <array>
#include <string_view>

#include "processor/globals.h"
#include "services/value.h"

namespace quorin {

struct GlobalRow {
  std::string_view name;
  Value (*get)(const Globals& g);
};

const std::array<GlobalRow, 47>& global_table();
// The global's value in the value encoding; throws RuntimeError for an unknown name.
Value global_value(const Globals& g, std::string_view name);

Value to_value(const Matrix& m);                 // rows by cols numeric array
Value handle_value(gfx::Handle h);               // empty when unset
Value dialog_text_value(const DialogText& t);    // text, or the number 0 after a cancel

}  // namespace quorin
