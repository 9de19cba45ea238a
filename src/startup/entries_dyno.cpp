#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "dyno/loadshock.h"
#include "dyno/loadshock_parts.h"
#include "services/runtime_error.h"
#include "startup/entries.h"
#include "startup/program.h"

namespace quorin::entries {
namespace {

const Value& given(const std::optional<Value>& in, const char* name) {
  if (!in) throw RuntimeError(std::string("Undefined function or variable '") + name + "'.");
  return *in;
}

// The folder of the last file dialog: a text, or the cancel value 0 (also the empty value).
std::optional<std::string> folder_in(const Value& pn) {
  if (pn.is_text()) return pn.str();
  if (pn.is_empty() || (pn.is_scalar() && pn.scalar() == 0)) return std::nullopt;
  throw RuntimeError("loadshock: pn must be a folder or 0, found " + describe(pn) + ".");
}

}  // namespace

std::vector<Value> loadshock(Program& program, int, Inputs& inputs) {
  // fn is accepted and not used: the dialog gives the file name.
  const auto pn = folder_in(given(inputs[0], "pn"));
  LoadshockResult r = quorin::loadshock(program.dialogs, program.console, pn);
  return {std::move(r.ShockData), r.pn ? Value::text(*r.pn) : Value::number(0)};
}

// ReadVariant reads from the file that loadshock holds open. Called on its own, Channel names a
// file and the payload of type VarType is read from that file's start.
std::vector<Value> loadshock_ReadVariant(Program& program, int, Inputs& inputs) {
  const Value& channel = given(inputs[0], "Channel");
  const Value& var_type = given(inputs[1], "VarType");
  if (!channel.is_text())
    throw RuntimeError("loadshock/ReadVariant: Channel must name a dyno file, found " +
                       describe(channel) + ".");
  const double code = var_type.scalar();
  std::ifstream in(std::filesystem::path(channel.str()), std::ios::binary);
  if (!in) throw RuntimeError("loadshock/ReadVariant: cannot open the file \"" + channel.str() + "\".");
  const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  dyno::ByteReader reader(bytes);
  // A code that is no whole 16-bit number is as unknown as any other.
  const bool whole16 = code >= -32768 && code <= 32767 && code == std::floor(code);
  const int type = whole16 ? static_cast<int>(code) : -1;
  return {dyno::ReadVariant(reader, type, program.console).to_value()};
}

std::vector<Value> loadshock_RemoveInvalid(Program&, int, Inputs& inputs) {
  const Value& bad_name = given(inputs[0], "BadName");
  if (!bad_name.is_text() && !bad_name.is_empty())
    throw RuntimeError("loadshock/RemoveInvalid: BadName must be a text, found " +
                       describe(bad_name) + ".");
  return {Value::text(dyno::RemoveInvalid(bad_name.str()))};
}

std::vector<Value> loadshock_GetUnits(Program&, int, Inputs& inputs) {
  const Value& unit_int = given(inputs[0], "UnitInt");
  const std::string_view text =
      unit_int.is_scalar() ? dyno::GetUnits(unit_int.scalar()) : dyno::kUnknownUnit;
  return {Value::text(std::string(text))};
}

}  // namespace quorin::entries
