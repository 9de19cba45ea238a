// libFuzzer entry for damper files: any file bytes, loaded through LOAD of a started program
// (the file dialog answered with the file), either set all twelve selections of the main
// window or are refused with every selection left as it was. Which of the two is decided here
// from the variables the file holds: each of the eight popups needs a whole row number of its
// list (cbleedvalue may be missing: the program's own value stands in), each of the four boxes
// a text (mrstr may be missing: the program's own text stands in).
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "app/comparison_tools.h"
#include "same_value.h"
#include "scratch.h"
#include "services/runtime_error.h"
#include "services/varfile.h"
#include "startup/program.h"

namespace {

struct Selection {
  std::string_view variable;
  std::string_view tag;
};
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
constexpr std::array<Selection, 4> kBoxes = {{
    {"mrstr", "motionratio"},
    {"internalstr", "internalshaft"},
    {"externalstr", "externalshaft"},
    {"pistonstr", "piston"},
}};

// What the main window shows of a set-up.
struct Shown {
  std::array<double, 8> rows{};
  std::array<std::string, 4> texts;
  double cbleedvalue = 0;
  std::string mrstr;
  bool operator==(const Shown&) const = default;
};

struct LoadingProgram {
  LoadingProgram()
      : start(quorin::fuzz::start_folder_copy("damper_fuzz", QUORIN_SUPPLIED)),
        folder(quorin::fuzz::fresh_folder("damper_fuzz", "files")),
        program(std::make_unique<quorin::Program>(start, dialogs, console)) {
    program->report_error = [this](const std::string& m) { error = m; };
    quorin::ComparisonTools::attach(*program);
    program->start();
    if (program->last_error) std::abort();
  }

  quorin::gfx::Control& control(std::string_view tag) {
    program->gfx.figure(1);
    auto* c = dynamic_cast<quorin::gfx::Control*>(program->gfx.find_by_tag(tag));
    if (!c) std::abort();
    return *c;
  }
  Shown shown() {
    Shown s;
    for (std::size_t k = 0; k < kPopups.size(); ++k) s.rows[k] = control(kPopups[k].tag).value;
    for (std::size_t k = 0; k < kBoxes.size(); ++k) s.texts[k] = control(kBoxes[k].tag).string;
    s.cbleedvalue = program->globals.cbleedvalue;
    s.mrstr = program->globals.mrstr;
    return s;
  }

  std::filesystem::path start, folder;
  quorin::ScriptedDialogs dialogs;
  std::ostringstream console;
  std::unique_ptr<quorin::Program> program;
  std::string error;
};

const quorin::Value* find(const quorin::NamedValues& vars, std::string_view name) {
  for (const auto& [key, value] : vars)
    if (key == name) return &value;
  return nullptr;
}

// The selections the file sets, or nullopt when LOAD must refuse it.
std::optional<Shown> expected_load(LoadingProgram& p, const std::filesystem::path& file,
                                   const Shown& before) {
  std::vector<std::string> names;
  for (const auto& s : kPopups) names.emplace_back(s.variable);
  for (const auto& s : kBoxes) names.emplace_back(s.variable);
  quorin::NamedValues vars;
  try {
    vars = quorin::load_variables(file, names);
  } catch (const quorin::RuntimeError&) {
    return std::nullopt;
  }
  // A file every variable of which reads holds the same twelve as a file read for twelve.
  try {
    const quorin::NamedValues all = quorin::load_all_variables(file);
    for (const auto& [name, value] : vars)
      if (!find(all, name) || !quorin::fuzz::same_value(*find(all, name), value)) std::abort();
  } catch (const quorin::RuntimeError&) {
  }
  Shown after = before;
  for (std::size_t k = 0; k < kPopups.size(); ++k) {
    const quorin::Value* v = find(vars, kPopups[k].variable);
    double row = before.cbleedvalue;
    if (v) {
      if (v->kind() != quorin::Value::Kind::Numeric || v->numel() != 1) return std::nullopt;
      row = v->numbers()[0];
    } else if (k != 0) {
      return std::nullopt;
    }
    const auto rows = static_cast<double>(p.control(kPopups[k].tag).items.size());
    if (!(row >= 1 && row <= rows && row == std::floor(row))) return std::nullopt;
    after.rows[k] = row;
  }
  for (std::size_t k = 0; k < kBoxes.size(); ++k) {
    const quorin::Value* v = find(vars, kBoxes[k].variable);
    if (!v && k == 0) {
      after.texts[k] = before.mrstr;
      continue;
    }
    if (!v || v->kind() != quorin::Value::Kind::Text) return std::nullopt;
    after.texts[k] = v->str();
  }
  after.cbleedvalue = after.rows[0];
  after.mrstr = after.texts[0];
  return after;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static LoadingProgram p;
  const std::filesystem::path file = p.folder / "set-up.mat";
  quorin::fuzz::write_file(file, data, size);

  const Shown before = p.shown();
  const std::optional<Shown> want = expected_load(p, file, before);
  p.dialogs.push({false, "set-up.mat", p.folder.string() + "/"});
  p.error.clear();
  const bool loaded = p.program->run_command("quorin_processor_ct('load')");
  const Shown after = p.shown();
  if (want) {
    if (!loaded || !(after == *want)) std::abort();
  } else {
    // refused naming the file, nothing changed
    const bool names_file = p.error.find("set-up.mat") != std::string::npos;
    if (loaded || !names_file || !(after == before)) std::abort();
  }
  return 0;
}
