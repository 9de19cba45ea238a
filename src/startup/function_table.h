// The table of the twenty program functions, their generic entry with its argument-count
// checks, and the parsing of control command texts.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "services/value.h"

namespace quorin {

class Program;

// Declared inputs: a count, any number (packed into one list), or one then any (the first by
// itself, the rest packed into one list).
enum class Arity { Count, Any, OneThenAny };
struct InputSpec {
  Arity arity = Arity::Count;
  int count = 0;
};

// Inputs as the body receives them: absent inputs are nullopt. A packed list is a 1 by n cell.
using Inputs = std::vector<std::optional<Value>>;
using Body = std::vector<Value> (*)(Program& program, int nargout, Inputs& inputs);

struct FunctionRow {
  std::string_view name;
  InputSpec inputs;
  int outputs;
  int line;  // the line its messages cite
  Body body;
  std::span<const FunctionRow> subfunctions;
};

const std::array<FunctionRow, 20>& function_table();
const FunctionRow* find_function(std::string_view name);  // top-level rows only
// A sub-function's row, reachable only through its module's row.
const FunctionRow& subfunction(const FunctionRow& module, std::string_view name);

// The outputs and inputs messages ("Run-time Error: File: bleed Line: 1 Column: 1 ...").
// `qualified` is the name as messages show it ("loadshock/GetUnits").
std::string outputs_message(std::string_view qualified, const FunctionRow& row);
std::string inputs_message(std::string_view qualified, const FunctionRow& row);

// The generic entry: checks the counts (outputs first, then inputs) before the body runs,
// packs inputs for Any and OneThenAny, runs the body with nargout, and returns the outputs
// stored: the first always (when the function declares outputs and the body gave one), the
// others only up to nargout. `module` is set for sub-functions (messages take the slash form).
std::vector<Value> call_generic(Program& program, const FunctionRow& row, int nargout,
                                std::vector<Value> inputs, const FunctionRow* module = nullptr);

// A control command such as "quorin_processor_ct('view')   ": the function name and its
// quoted text inputs. Throws RuntimeError when the text is not of that form.
struct Command {
  std::string name;
  std::vector<std::string> inputs;
};
Command parse_command(std::string_view text);

// Names of the plot-editing commands, which are accepted and do nothing.
bool is_plot_editing_command(std::string_view name);

}  // namespace quorin
