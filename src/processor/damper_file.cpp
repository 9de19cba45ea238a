// Damper files: the eight popup selections and the four dimension boxes of the main window,
// saved to and loaded from a variable file.
#include <array>
#include <cmath>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "processor/processor.h"
#include "services/numeric.h"
#include "services/runtime_error.h"
#include "services/varfile.h"

namespace quorin::actions {
namespace {

constexpr std::string_view kPattern = "*.mat";
constexpr std::string_view kExtension = ".mat";
constexpr std::string_view kSaveTitle = "Save As...";
constexpr std::string_view kLoadTitle = "Select a Damper File...";

// One selection of the main window and the variable that keeps it in a damper file.
struct Selection {
  std::string_view variable;
  std::string_view tag;
};

// Popups (their Value) in the order the main window is read and set; the file keeps them in
// the order of kFileOrder.
constexpr std::array<Selection, 8> kPopups = {{
    {"cbleedvalue", "LSC"},
    {"chighvalue", "HSC"},
    {"cvalvevalue", "CompressionValve"},
    {"cspringvalue", "CompressionSpring"},
    {"rbleedvalue", "LSR"},
    {"rhighvalue", "HSR"},
    {"rvalvevalue", "ReboundValve"},
    {"rspringvalue", "ReboundSpring"},
}};
// Text boxes (their String), read and set after the popups.
constexpr std::array<Selection, 4> kBoxes = {{
    {"mrstr", "motionratio"},
    {"internalstr", "internalshaft"},
    {"externalstr", "externalshaft"},
    {"pistonstr", "piston"},
}};
// The twelve variables as a damper file holds them.
constexpr std::array<std::string_view, 12> kFileOrder = {
    "cvalvevalue", "cspringvalue", "cbleedvalue", "chighvalue",  "rvalvevalue", "rspringvalue",
    "rbleedvalue", "rhighvalue",   "mrstr",       "internalstr", "externalstr", "pistonstr"};

std::string dialog_filter(const Globals& g) {
  return g.pn.value_or("") + std::string(kPattern);
}

// Keeps the dialog's answer in pn and fn; false when it was cancelled.
bool remember_answer(Globals& g, const DialogResult& r) {
  if (r.cancelled) {
    g.pn.reset();
    g.fn.reset();
    return false;
  }
  g.pn = r.folder;
  g.fn = r.file;
  return true;
}

std::filesystem::path chosen_file(const Globals& g) {
  return std::filesystem::path(*g.pn + *g.fn);
}

const Value* find_variable(const NamedValues& vars, std::string_view name) {
  for (const auto& [key, value] : vars)
    if (key == name) return &value;
  return nullptr;
}

std::string missing(const std::filesystem::path& file, std::string_view name) {
  return "The damper file \"" + file.string() + "\" holds no " + std::string(name) + ".";
}

// A popup row from the file: a whole number naming one of the popup's rows.
double popup_row(const Value& v, const gfx::Control& popup, const std::filesystem::path& file,
                 std::string_view name) {
  const std::size_t rows = popup.items.size();
  if (!v.is_scalar())
    throw RuntimeError("The damper file \"" + file.string() + "\" holds " + describe(v) + " as " +
                       std::string(name) + "; it must be a row number of the popup \"" + popup.tag +
                       "\".");
  const double row = v.scalar();
  if (!(row >= 1) || row != std::floor(row) || row > static_cast<double>(rows))
    throw RuntimeError("The damper file \"" + file.string() + "\" sets " + std::string(name) +
                       " to " + num2str(row) + ", but the popup \"" + popup.tag +
                       "\" has rows 1 to " + std::to_string(rows) + ".");
  return row;
}

}  // namespace

void save(Processor& p) {
  Globals& g = p.g;
  if (!remember_answer(g, p.dialogs.save_file(dialog_filter(g), std::string(kSaveTitle)))) return;

  p.gfx.figure(1);
  const NamedValues read = read_selections(p.gfx);
  g.cbleedvalue = find_variable(read, "cbleedvalue")->scalar();
  g.mrstr = find_variable(read, "mrstr")->str();

  NamedValues vars;
  for (std::string_view name : kFileOrder)
    vars.emplace_back(std::string(name), *find_variable(read, name));
  // A name typed without an extension is saved as a damper file.
  std::filesystem::path file = chosen_file(g);
  if (!file.has_extension()) file += kExtension;
  save_variables(file, vars);
}

void load(Processor& p) {
  Globals& g = p.g;
  if (!remember_answer(g, p.dialogs.open_file(dialog_filter(g), std::string(kLoadTitle)))) return;

  const std::filesystem::path file = chosen_file(g);
  apply_selections(p, load_variables(file, damper_file_variables()), file);
}

std::vector<std::string> damper_file_variables() {
  return std::vector<std::string>(kFileOrder.begin(), kFileOrder.end());
}

NamedValues read_selections(gfx::Model& m) {
  NamedValues read;
  for (const Selection& s : kPopups)
    read.emplace_back(std::string(s.variable), Value::number(main_control(m, s.tag).value));
  for (const Selection& s : kBoxes)
    read.emplace_back(std::string(s.variable), Value::text(main_control(m, s.tag).string));
  return read;
}

void apply_selections(Processor& p, const NamedValues& vars, const std::filesystem::path& file) {
  Globals& g = p.g;
  gfx::Model& m = p.gfx;
  // Every value is checked against the main window before any control changes. A file without
  // cbleedvalue or mrstr keeps the selections the program holds.
  m.figure(1);
  std::array<double, kPopups.size()> rows{};
  for (std::size_t k = 0; k < kPopups.size(); ++k) {
    const Selection& s = kPopups[k];
    const gfx::Control& popup = control_by_tag(m, s.tag);
    const Value* v = find_variable(vars, s.variable);
    const Value current = Value::number(g.cbleedvalue);
    if (!v && s.variable == "cbleedvalue") v = &current;
    if (!v) throw RuntimeError(missing(file, s.variable));
    rows[k] = popup_row(*v, popup, file, s.variable);
  }
  std::array<std::string, kBoxes.size()> texts;
  for (std::size_t k = 0; k < kBoxes.size(); ++k) {
    const Selection& s = kBoxes[k];
    control_by_tag(m, s.tag);
    const Value* v = find_variable(vars, s.variable);
    if (!v && s.variable == "mrstr") {
      texts[k] = g.mrstr;
      continue;
    }
    if (!v) throw RuntimeError(missing(file, s.variable));
    if (!v->is_text())
      throw RuntimeError("The damper file \"" + file.string() + "\" holds " + describe(*v) +
                         " as " + std::string(s.variable) + "; it must be the text of the box \"" +
                         std::string(s.tag) + "\".");
    texts[k] = v->str();
  }

  g.cbleedvalue = rows[0];
  g.mrstr = texts[0];
  for (std::size_t k = 0; k < kPopups.size(); ++k)
    control_by_tag(m, kPopups[k].tag).value = rows[k];
  for (std::size_t k = 0; k < kBoxes.size(); ++k)
    control_by_tag(m, kBoxes[k].tag).string = texts[k];
  m.touch();

  quorin_processor_ct(p, "valveseatcompression");
  quorin_processor_ct(p, "valveseatrebound");
}

}  // namespace quorin::actions
