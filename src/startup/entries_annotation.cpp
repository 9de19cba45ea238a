#include <algorithm>
#include <span>

#include "annotation/cla.h"
#include "annotation/imagesc.h"
#include "annotation/imread.h"
#include "annotation/messages.h"
#include "annotation/title.h"
#include "services/runtime_error.h"
#include "startup/entries.h"
#include "startup/program.h"

namespace quorin::entries {
namespace {

// The values of a packed list of inputs (a 1 by n cell); none when absent.
std::span<const Value> packed(const Inputs& inputs, std::size_t i) {
  if (i >= inputs.size() || !inputs[i] || !inputs[i]->is_cell()) return {};
  return inputs[i]->cells();
}

// The text of a title or label: a text, an empty value, or a list of lines.
std::string label_text(const Value& v) {
  if (v.is_text()) return v.str();
  if (v.is_numeric() && v.is_empty()) return {};
  if (v.is_cell() && std::all_of(v.cells().begin(), v.cells().end(),
                                 [](const Value& c) { return c.is_text(); })) {
    std::string out;
    for (std::size_t i = 0; i < v.cells().size(); ++i)
      out += (i ? "\n" : "") + v.cells()[i].str();
    return out;
  }
  throw RuntimeError("The label text must be a text, not " + describe(v) + ".");
}

using Annotate = gfx::Handle (*)(gfx::Model&, std::string, const annotation::PropertyPairs&);

std::vector<Value> annotate(Program& program, Inputs& inputs, Annotate f) {
  if (inputs.empty() || !inputs[0]) throw RuntimeError("Not enough input arguments.");
  // The pairs are checked before anything changes.
  const auto pairs = annotation::property_pairs(packed(inputs, 1));
  const std::string text = label_text(*inputs[0]);
  return {Value::number(f(program.gfx, text, pairs).value)};
}

}  // namespace

std::vector<Value> imagesc(Program& program, int, Inputs& inputs) {
  auto args = packed(inputs, 0);
  if (args.empty()) throw RuntimeError("Not enough input arguments.");
  std::optional<std::array<double, 2>> clim;
  if (args.size() == 2) {
    const Value& limits = args[1];
    if (!limits.is_numeric() || limits.numel() != 2)
      throw RuntimeError("The colour limits must be two numbers [low high].");
    clim = {limits.numbers()[0], limits.numbers()[1]};
  } else if (args.size() > 2) {
    throw RuntimeError("imagesc with picture coordinates is not built yet.");
  }
  const auto picture = annotation::picture_from_value(args[0]);
  return {Value::number(annotation::imagesc(program.gfx, picture, clim).value)};
}

std::vector<Value> imread(Program& program, int nargout, Inputs& inputs) {
  auto args = packed(inputs, 0);
  if (args.empty()) throw RuntimeError(std::string(annotation::kTooFewInputs));
  if (!args[0].is_text()) throw RuntimeError("The file name must be a text, not " + describe(args[0]) + ".");
  if (args.size() > 1) throw RuntimeError("imread with a format name or reader options is not built yet.");
  const auto picture = annotation::imread(args[0].str(), program.current_folder);
  std::vector<Value> out{annotation::to_value(picture)};
  if (nargout >= 2) out.push_back(annotation::palette_value(picture));
  if (nargout >= 3) out.emplace_back();  // bitmaps carry no separate transparency
  return out;
}

// The reader never downloads a file, so there is never a downloaded copy to delete; the
// name is only checked.
std::vector<Value> imread_delete_download(Program&, int, Inputs& inputs) {
  if (!inputs.empty() && inputs[0] && !inputs[0]->is_text())
    throw RuntimeError("The file name must be a text, not " + describe(*inputs[0]) + ".");
  return {};
}

// Splits imread's arguments: the file name, the format name (empty when not given), the
// further arguments for the format's reader, and a message (empty when all is well).
std::vector<Value> imread_parse_inputs(Program&, int, Inputs& inputs) {
  auto args = packed(inputs, 0);
  if (args.empty()) throw RuntimeError(std::string(annotation::kTooFewInputs));
  if (!args[0].is_text()) throw RuntimeError("The file name must be a text, not " + describe(args[0]) + ".");
  Value format = Value::text("");
  std::size_t rest = 1;
  if (args.size() > 1 && args[1].is_text()) {
    format = args[1];
    rest = 2;
  }
  std::vector<Value> extra(args.begin() + static_cast<std::ptrdiff_t>(rest), args.end());
  const std::size_t n = extra.size();
  return {args[0], format, Value::cell({n ? 1u : 0u, n}, std::move(extra)), Value::text("")};
}

std::vector<Value> title(Program& program, int, Inputs& inputs) {
  return annotate(program, inputs, annotation::title);
}

std::vector<Value> xlabel(Program& program, int, Inputs& inputs) {
  return annotate(program, inputs, annotation::xlabel);
}

std::vector<Value> ylabel(Program& program, int, Inputs& inputs) {
  return annotate(program, inputs, annotation::ylabel);
}

std::vector<Value> cla(Program& program, int, Inputs& inputs) {
  if (!packed(inputs, 0).empty())
    throw RuntimeError("cla with an axes or an option is not built yet; make the axes current first.");
  return {Value::number(annotation::cla(program.gfx).value)};
}

}  // namespace quorin::entries
