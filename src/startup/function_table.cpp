#include "startup/function_table.h"

#include <algorithm>
#include <cctype>

#include "services/runtime_error.h"
#include "startup/entries.h"

namespace quorin {
namespace {

constexpr InputSpec count(int n) { return {Arity::Count, n}; }
constexpr InputSpec any() { return {Arity::Any, 0}; }
constexpr InputSpec one_then_any() { return {Arity::OneThenAny, 1}; }

constexpr std::array<FunctionRow, 2> kImreadSubs = {{
    {"delete_download", count(1), 0, 297, entries::imread_delete_download, {}},
    {"parse_inputs", any(), 4, 311, entries::imread_parse_inputs, {}},
}};

constexpr std::array<FunctionRow, 3> kLoadshockSubs = {{
    {"ReadVariant", count(2), 1, 251, entries::loadshock_ReadVariant, {}},
    {"RemoveInvalid", count(1), 1, 310, entries::loadshock_RemoveInvalid, {}},
    {"GetUnits", count(1), 1, 331, entries::loadshock_GetUnits, {}},
}};

constexpr std::array<FunctionRow, 20> kTable = {{
    {"quorin_interface_v41", count(0), 1, 1, entries::quorin_interface_v41, {}},
    {"quorin_processor_ct", count(1), 0, 20, entries::quorin_processor_ct, {}},
    {"imagesc", any(), 1, 1, entries::imagesc, {}},
    {"imread", any(), 3, 1, entries::imread, kImreadSubs},
    {"lht", count(0), 1, 1, entries::lht, {}},
    {"plotfigure", count(0), 1, 1, entries::plotfigure, {}},
    {"rht", count(0), 1, 1, entries::rht, {}},
    {"title", one_then_any(), 1, 1, entries::title, {}},
    {"xlabel", one_then_any(), 1, 1, entries::xlabel, {}},
    {"ylabel", one_then_any(), 1, 1, entries::ylabel, {}},
    {"loadshock", count(2), 2, 1, entries::loadshock, kLoadshockSubs},
    {"bleed", count(3), 2, 1, entries::bleed, {}},
    {"cla", any(), 1, 1, entries::cla, {}},
    {"clearfunction", count(5), 0, 1, entries::clearfunction, {}},
    {"correction", count(1), 1, 1, entries::correction, {}},
    {"curve", count(3), 3, 1, entries::curve, {}},
    {"forcebalanceimperial", count(11), 0, 1, entries::forcebalanceimperial, {}},
    {"forcebalancemetric", count(11), 0, 1, entries::forcebalancemetric, {}},
    {"plotfunction", count(6), 0, 3, entries::plotfunction, {}},
    {"warningct", count(0), 1, 1, entries::warningct, {}},
}};

std::string count_message(std::string_view qualified, const FunctionRow& row,
                          std::string_view what, int declared) {
  std::string m = "Run-time Error: File: ";
  m += qualified;
  m += " Line: " + std::to_string(row.line) + " Column: 1 The function \"";
  m += qualified;
  m += "\" was called with more than the declared number of ";
  m += what;
  m += " (" + std::to_string(declared) + ").";
  return m;
}

}  // namespace

const std::array<FunctionRow, 20>& function_table() { return kTable; }

const FunctionRow* find_function(std::string_view name) {
  auto it = std::find_if(kTable.begin(), kTable.end(), [&](const FunctionRow& r) { return r.name == name; });
  return it == kTable.end() ? nullptr : &*it;
}

const FunctionRow& subfunction(const FunctionRow& module, std::string_view name) {
  for (const auto& s : module.subfunctions)
    if (s.name == name) return s;
  throw RuntimeError("Undefined function " + std::string(module.name) + "/" + std::string(name));
}

std::string outputs_message(std::string_view qualified, const FunctionRow& row) {
  return count_message(qualified, row, "outputs", row.outputs);
}

std::string inputs_message(std::string_view qualified, const FunctionRow& row) {
  return count_message(qualified, row, "inputs", row.inputs.count);
}

std::vector<Value> call_generic(Program& program, const FunctionRow& row, int nargout,
                                std::vector<Value> inputs, const FunctionRow* module) {
  std::string qualified(row.name);
  if (module) qualified = std::string(module->name) + "/" + qualified;
  if (nargout > row.outputs) throw RuntimeError(outputs_message(qualified, row));
  if (row.inputs.arity == Arity::Count && static_cast<int>(inputs.size()) > row.inputs.count)
    throw RuntimeError(inputs_message(qualified, row));

  Inputs in;
  switch (row.inputs.arity) {
    case Arity::Count:
      for (auto& v : inputs) in.emplace_back(std::move(v));
      in.resize(static_cast<std::size_t>(row.inputs.count));  // missing inputs stay absent
      break;
    case Arity::Any: {
      // The size is taken before the list is moved: argument order is unspecified.
      const std::size_t n = inputs.size();
      in.emplace_back(Value::cell({n ? 1u : 0u, n}, std::move(inputs)));
      break;
    }
    case Arity::OneThenAny: {
      std::optional<Value> first;
      std::vector<Value> rest;
      for (std::size_t i = 0; i < inputs.size(); ++i) {
        if (i == 0)
          first = std::move(inputs[0]);
        else
          rest.push_back(std::move(inputs[i]));
      }
      in.push_back(std::move(first));
      const std::size_t n = rest.size();
      in.emplace_back(Value::cell({n ? 1u : 0u, n}, std::move(rest)));
      break;
    }
  }

  std::vector<Value> out = row.body(program, nargout, in);
  if (row.outputs == 0) return {};
  // The first output is always stored; further ones only while asked for.
  const std::size_t keep = std::max<std::size_t>(1, static_cast<std::size_t>(nargout));
  if (out.size() > keep) out.resize(keep);
  return out;
}

Command parse_command(std::string_view text) {
  auto bad = [&]() -> RuntimeError {
    return RuntimeError("Cannot run the command \"" + std::string(text) + "\"");
  };
  std::size_t i = 0;
  auto skip_blanks = [&] {
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  };
  skip_blanks();
  Command c;
  while (i < text.size() && (std::isalnum(static_cast<unsigned char>(text[i])) || text[i] == '_'))
    c.name += text[i++];
  if (c.name.empty()) throw bad();
  skip_blanks();
  if (i < text.size() && text[i] == '(') {
    ++i;
    skip_blanks();
    if (i < text.size() && text[i] == ')') {
      ++i;
    } else {
      for (;;) {
        skip_blanks();
        if (i >= text.size() || text[i] != '\'') throw bad();
        ++i;
        std::string s;
        for (;;) {
          if (i >= text.size()) throw bad();
          if (text[i] == '\'') {
            if (i + 1 < text.size() && text[i + 1] == '\'') {  // '' is a quote inside the text
              s += '\'';
              i += 2;
              continue;
            }
            ++i;
            break;
          }
          s += text[i++];
        }
        c.inputs.push_back(std::move(s));
        skip_blanks();
        if (i < text.size() && text[i] == ',') {
          ++i;
          continue;
        }
        if (i < text.size() && text[i] == ')') {
          ++i;
          break;
        }
        throw bad();
      }
    }
  } else {
    // command form: name followed by words ("domymenu update", "close")
    while (i < text.size()) {
      skip_blanks();
      std::string w;
      while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i]))) w += text[i++];
      if (!w.empty()) c.inputs.push_back(std::move(w));
    }
  }
  skip_blanks();
  if (i < text.size() && text[i] == ';') ++i;
  skip_blanks();
  if (i != text.size()) throw bad();
  return c;
}

bool is_plot_editing_command(std::string_view name) {
  return name == "dokeypress" || name == "doresize" || name == "plotedit" || name == "domymenu";
}

}  // namespace quorin
