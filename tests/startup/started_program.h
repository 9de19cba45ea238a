// Fixtures for tests of the started program: over the shipped data where the build put them,
// or over a copy of them in a start folder of its own that the test may write into. Both skip
// the test when the data have not been generated.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "services/temp_dir.h"
#include "startup/program.h"

namespace quorin::test {

inline bool supplied_data_generated() {
  return std::filesystem::is_regular_file(std::filesystem::path(QUORIN_SUPPLIED) /
                                          "quorin_bleed_2004_v1.mat");
}

// The program started over the shipped data in place; every error it reports is kept.
class StartedProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!supplied_data_generated()) GTEST_SKIP() << "the supplied data are not generated";
    program.report_error = [this](const std::string& m) { errors.push_back(m); };
    put_together(program);
    program.start();
  }
  // What the fixture adds to the program before it starts (the menus, in the layers above).
  virtual void put_together(Program&) {}
  // The main window's control tagged `tag`, with the main window made current.
  gfx::Control& control(std::string_view tag) {
    program.gfx.figure(1);
    auto* c = dynamic_cast<gfx::Control*>(program.gfx.find_by_tag(tag));
    if (!c) throw std::logic_error("no control " + std::string(tag));
    return *c;
  }
  // Runs a main-window action as its control would.
  bool run(std::string_view action) {
    return program.run_command("quorin_processor_ct('" + std::string(action) + "')");
  }
  // The lines in the comparison axes.
  std::vector<gfx::Line*> curve_lines() {
    return program.gfx.children_of<gfx::Line>(program.gfx.get(program.globals.plothandle));
  }

  ScriptedDialogs dialogs;
  std::ostringstream console;
  Program program{QUORIN_SUPPLIED, dialogs, console};
  std::vector<std::string> errors;
};

// The program started over its own copy of the shipped data in `start`; every error it reports
// is kept.
class StartedCopy : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!supplied_data_generated()) GTEST_SKIP() << "the supplied data are not generated";
    std::filesystem::copy(QUORIN_SUPPLIED, start.path(), std::filesystem::copy_options::recursive);
    program = std::make_unique<Program>(start.path(), dialogs, console);
    program->report_error = [this](const std::string& m) { errors.push_back(m); };
    put_together(*program);
    program->start();
  }
  // What the fixture adds to the program before it starts (the menus, in the layers above).
  virtual void put_together(Program&) {}
  // The main window's control tagged `tag`.
  gfx::Control& control(std::string_view tag) {
    for (gfx::Object* o : program->gfx.find_all_by_tag(*program->gfx.window(1), tag))
      if (auto* c = dynamic_cast<gfx::Control*>(o)) return *c;
    throw std::logic_error("no control " + std::string(tag));
  }
  // Runs a main-window action with the main window current, as its control would.
  bool action(const std::string& name) {
    program->gfx.figure(1);
    return program->run_command("quorin_processor_ct('" + name + "')");
  }
  // The last error reported, or an empty text.
  std::string last_error() const { return errors.empty() ? std::string() : errors.back(); }

  TempDir start;
  ScriptedDialogs dialogs;
  std::ostringstream console;
  std::unique_ptr<Program> program;
  std::vector<std::string> errors;
};

}  // namespace quorin::test
