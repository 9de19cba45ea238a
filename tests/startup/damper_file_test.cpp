// SAVE and LOAD on the started program's main window over the shipped data.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "services/temp_dir.h"
#include "startup/program.h"

namespace quorin {
namespace {

namespace fs = std::filesystem;

TEST(DamperFileProgram, SavedSetUpComesBackIntoTheMainWindow) {
  if (!fs::is_regular_file(fs::path(QUORIN_SUPPLIED) / "quorin_bleed_2004_v1.mat"))
    GTEST_SKIP() << "the supplied data are not generated";
  test::TempDir dir;
  ScriptedDialogs dialogs;
  std::ostringstream console;
  Program program{QUORIN_SUPPLIED, dialogs, console};
  std::vector<std::string> errors;
  program.report_error = [&](const std::string& m) { errors.push_back(m); };
  program.start();
  auto control = [&](std::string_view tag) -> gfx::Control& {
    program.gfx.figure(1);
    return *dynamic_cast<gfx::Control*>(program.gfx.find_by_tag(tag));
  };
  const char* popups[] = {"LSC", "HSC", "CompressionValve", "CompressionSpring",
                          "LSR", "HSR", "ReboundValve",     "ReboundSpring"};
  const char* boxes[] = {"motionratio", "internalshaft", "externalshaft", "piston"};
  std::vector<double> saved_rows;
  for (const char* tag : popups) {
    gfx::Control& c = control(tag);
    ASSERT_GE(c.items.size(), 2u) << tag;
    c.value = static_cast<double>(c.items.size());  // the last row of every list
    saved_rows.push_back(c.value);
  }
  const std::vector<std::string> saved_texts = {"1.15", "0", "14", "46"};
  for (std::size_t k = 0; k < 4; ++k) control(boxes[k]).string = saved_texts[k];
  const std::string folder = dir.path().string() + "/";
  dialogs.push({false, "corner.mat", folder});
  ASSERT_TRUE(program.run_command("quorin_processor_ct('save')")) << errors.back();

  for (const char* tag : popups) control(tag).value = 1;
  for (const char* tag : boxes) control(tag).string = "7";
  ASSERT_TRUE(program.run_command("quorin_processor_ct('valveseatcompression')"));
  ASSERT_EQ(control("valveseatcompression").string, "7731-02");
  dialogs.push({false, "corner.mat", folder});
  ASSERT_TRUE(program.run_command("quorin_processor_ct('load')")) << errors.back();
  for (std::size_t k = 0; k < 8; ++k)
    EXPECT_EQ(control(popups[k]).value, saved_rows[k]) << popups[k];
  for (std::size_t k = 0; k < 4; ++k)
    EXPECT_EQ(control(boxes[k]).string, saved_texts[k]) << boxes[k];
  const auto seat = [](double row) { return row > 7 ? "7731-01" : "7731-02"; };
  EXPECT_EQ(control("valveseatcompression").string, seat(saved_rows[2]));
  EXPECT_EQ(control("valveseatrebound").string, seat(saved_rows[6]));
  EXPECT_EQ(program.globals.counter, 1);
}

}  // namespace
}  // namespace quorin
